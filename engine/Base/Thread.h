// Base of a worker thread: the owner creates the platform thread with EntryPoint.
#pragma once

#include <atomic>
#include <cstdint>

namespace Brivet::Base
{
// The owner passes EntryPoint and a Thread* (static_cast to this base when the class
// has other bases first) to CreateThread, storing threadId and handle. It sets
// running = 1 before creating the thread (and back to 0 if creation fails), so that a
// stop that follows at once waits for the body; to stop it raises a flag of its own
// that Run watches and polls IsRunning until it reads false.
class Thread
{
public:
    Thread()
        : threadId(0), handle(nullptr), running(0)
    {
    }

    // Releases nothing; the handle is closed by the owner (CloseHandle).
    virtual ~Thread() = default;

    virtual void Run() = 0;

    bool IsRunning() const { return running.load() != 0; }

#ifdef _WIN32
    // The thread procedure (LPTHREAD_START_ROUTINE): running = 1, Run, running = 0.
    static unsigned long __stdcall EntryPoint(void* thread);

    // Closes the thread handle if there is one.
    void CloseHandle();
#endif

protected:
    uint32_t threadId;
    void* handle; // HANDLE
    std::atomic<uint8_t> running;
};
} // namespace Brivet::Base
