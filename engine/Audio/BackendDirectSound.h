// DirectSound 8 output: a looping two-second ring buffer that the audio thread keeps
// refilled from the clip renderer; its play position is the demo clock.
#pragma once

#include "Audio/IBackend.h"
#include "Base/Thread.h"

#include <windows.h>
#include <mmsystem.h> // WAVEFORMATEX (left out by WIN32_LEAN_AND_MEAN)
#include <mmreg.h>

#include <atomic>
#include <cstdint>

struct IDirectSound8;
struct IDirectSoundBuffer;

namespace Brivet::Audio
{
// The main thread calls Init, Start, GetPosition, Stop and Shutdown; from Start until
// Stop returns only the audio thread (Run) mixes. No lock is used: the flags and the
// progress counters are atomics.
class BackendDirectSound : public IBackend, public Base::Thread
{
public:
    explicit BackendDirectSound(Renderer* renderer);
    // Releases the buffers and the device when still present. The owner calls Stop and
    // Shutdown first; a thread still running is stopped before the ring goes.
    ~BackendDirectSound() override;
    BackendDirectSound(const BackendDirectSound&) = delete;
    BackendDirectSound& operator=(const BackendDirectSound&) = delete;

    uint32_t GetSampleRate() override;
    // The current foreground window and the default device.
    bool Init(uint32_t sampleRate) override;
    bool Shutdown() override;
    // Prefills the whole ring from the renderer's mixing position, starts playback and
    // the audio thread. False (logged) when playback or the thread cannot start; true
    // without doing anything while the thread runs.
    bool Start() override;
    // Returns once the thread has stopped the ring and left its loop.
    bool Stop() override;
    bool IsRunning() override;
    uint32_t GetPosition() override;

    // window is the one SetCooperativeLevel gets; device null is the default output.
    // Objects created before a failure stay until Shutdown or the destructor.
    bool Init(uint32_t sampleRate, HWND window, const GUID* device);

    // Test seam: false skips the 32-bit float format, as on an output that refuses it.
    bool floatOutput = true;
    // Test seam: while set, every lock of the ring fails, as on an output that lost its
    // buffer.
    std::atomic<bool> failLocks{false};

protected:
    // The refill loop.
    void Run() override;

private:
    // Mixes frames into the ring from ring frame startFrame; false when the ring cannot
    // be locked (the frames are mixed and dropped, so the music stays with the clock).
    bool FillBuffer(uint32_t startFrame, uint32_t frames);
    // Frames the play cursor has passed since ring frame writeFrame; a stretch over half
    // the ring counts as none. False when the cursor cannot be read.
    bool GetPassedFrames(uint32_t writeFrame, uint32_t& passed);
    void ReleaseObjects();

    // framesPlayed (high half) and writeFrame (low half) in one atomic: the clock reads
    // them as a consistent pair at any moment, during a refill too.
    static uint64_t PackProgress(uint32_t framesPlayed, uint32_t writeFrame)
    {
        return (static_cast<uint64_t>(framesPlayed) << 32) | writeFrame;
    }

    uint32_t sampleRate = 0;
    uint32_t ringFrames = 0; // 2 × sampleRate
    uint32_t bytesPerSample = 0; // 4 float, 2 16-bit
    std::atomic<uint64_t> progress{0};
    WAVEFORMATEX format = {}; // shared by the primary buffer and the ring
    IDirectSound8* device = nullptr;
    IDirectSoundBuffer* primary = nullptr;
    IDirectSoundBuffer* ring = nullptr;
    std::atomic<uint8_t> stop{0};
    float* scratch = nullptr; // the whole ring as floats, allocated by Init
    bool lockFailed = false; // the last Lock failed (logged once per run of failures)
};
} // namespace Brivet::Audio
