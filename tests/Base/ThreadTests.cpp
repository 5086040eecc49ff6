// Thread base on Windows: EntryPoint as the CreateThread procedure and the running flag.
#include "Base/Thread.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace
{
class CountingThread : public Brivet::Base::Thread
{
public:
    void Run() override
    {
        runningInside = IsRunning();
        ++runs;
    }

    // The owner's side of the protocol.
    bool Start()
    {
        running = 1;
        DWORD id = 0;
        handle = CreateThread(nullptr, 0, &Thread::EntryPoint, static_cast<Thread*>(this), 0, &id);
        threadId = id;
        if (!handle)
            running = 0;
        return handle != nullptr;
    }

    HANDLE Handle() const { return static_cast<HANDLE>(handle); }

    bool runningInside = false;
    int runs = 0;
};

// A second base first, as the audio backend has: EntryPoint receives the Thread base.
struct OtherBase
{
    virtual ~OtherBase() = default;
    int padding = 7;
};

class MixedThread : public OtherBase, public CountingThread
{
};

TEST(Thread, EntryPointClearsRunningAfterRun)
{
    CountingThread thread;
    EXPECT_FALSE(thread.IsRunning()); // created stopped
    EXPECT_EQ(Brivet::Base::Thread::EntryPoint(static_cast<Brivet::Base::Thread*>(&thread)), 0u);
    EXPECT_TRUE(thread.runningInside);
    EXPECT_FALSE(thread.IsRunning());
    EXPECT_EQ(thread.runs, 1);
}

TEST(Thread, OwnerStartedThreadEndsWithRunningZero)
{
    MixedThread thread;
    ASSERT_TRUE(thread.Start());
    EXPECT_EQ(WaitForSingleObject(thread.Handle(), 10000), WAIT_OBJECT_0);
    // Polled as the owner's stop does.
    for (int i = 0; i < 1000 && thread.IsRunning(); ++i)
        Sleep(1);
    EXPECT_FALSE(thread.IsRunning());
    EXPECT_TRUE(thread.runningInside);
    EXPECT_EQ(thread.runs, 1);
    EXPECT_EQ(thread.padding, 7);

    thread.CloseHandle();
    EXPECT_EQ(thread.Handle(), nullptr);
    thread.CloseHandle(); // no handle: nothing to do
}
} // namespace
