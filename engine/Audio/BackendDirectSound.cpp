// DirectSound 8 device, primary buffer and the two-second looping ring, the audio
// thread that refills what the play cursor has passed, and the play position.
#include "Audio/BackendDirectSound.h"

#include "Audio/Renderer.h"
#include "Utility/Assert.h"
#include "Utility/Log.h"
#include "Utility/SafeRelease.h"

#include <dsound.h>
#include <dr_mp3.h>

#include <cstdlib>

using Brivet::Utility::Log;
using Brivet::Utility::SafeRelease;

namespace Brivet::Audio
{
namespace
{
} // namespace

BackendDirectSound::BackendDirectSound(Renderer* renderer)
    : IBackend(renderer)
{
}

BackendDirectSound::~BackendDirectSound()
{
    // The owner stops the thread first; one still running would use the ring after it.
    if (IsRunning())
        Stop();
    ReleaseObjects();
    CloseHandle();
}

uint32_t BackendDirectSound::GetSampleRate()
{
    return sampleRate;
}

bool BackendDirectSound::Init(uint32_t rate)
{
    return Init(rate, GetForegroundWindow(), nullptr);
}

bool BackendDirectSound::Init(uint32_t rate, HWND window, const GUID* deviceGuid)
{
    ReleaseObjects();
    sampleRate = rate;
    ringFrames = 2 * rate;

    // Device
    HRESULT hr = DirectSoundCreate8(deviceGuid, &device, nullptr);
    if (FAILED(hr))
    {
        Log::Error("[audio] DirectSoundCreate8 failed");
        return false;
    }
    hr = device->SetCooperativeLevel(window, DSSCL_PRIORITY);
    if (FAILED(hr))
    {
        Log::Error("[audio] SetCooperativeLevel failed");
        return false;
    }

    // Primary buffer
    DSBUFFERDESC desc = {};
    desc.dwSize = sizeof(DSBUFFERDESC);
    desc.dwFlags = DSBCAPS_PRIMARYBUFFER;
    hr = device->CreateSoundBuffer(&desc, &primary, nullptr);
    if (FAILED(hr))
    {
        Log::Error("[audio] Primary sound buffer creation failed");
        return false;
    }

    // Output format: 32-bit float stereo, else 16-bit stereo
    hr = E_FAIL;
    if (floatOutput)
    {
        format = {};
        format.wFormatTag = WAVE_FORMAT_IEEE_FLOAT;
        format.nChannels = 2;
        format.nSamplesPerSec = rate;
        format.nAvgBytesPerSec = rate * 8;
        format.nBlockAlign = 8;
        format.wBitsPerSample = 32;
        format.cbSize = 0;
        bytesPerSample = 4;
        hr = primary->SetFormat(&format);
    }
    if (FAILED(hr))
    {
        Log::Warning("[audio] SetWaveFormat (float) failed");
        format = {};
        format.wFormatTag = WAVE_FORMAT_PCM;
        format.nChannels = 2;
        format.nSamplesPerSec = rate;
        format.nAvgBytesPerSec = rate * 4;
        format.nBlockAlign = 4;
        format.wBitsPerSample = 16;
        format.cbSize = 0;
        bytesPerSample = 2;
        hr = primary->SetFormat(&format);
        if (FAILED(hr))
        {
            Log::Error("[audio] SetWaveFormat (short) failed");
            return false;
        }
    }

    // What the audio thread mixes into when it cannot write the ring straight away (16-bit
    // conversion, a stretch that cannot be locked); it must not allocate.
    scratch = static_cast<float*>(malloc(sizeof(float) * 2 * ringFrames));
    if (!scratch)
    {
        Log::Error("[audio] Conversion buffer allocation failed");
        return false;
    }

    // The ring
    desc = {};
    desc.dwSize = sizeof(DSBUFFERDESC);
    desc.dwFlags = DSBCAPS_CTRLPOSITIONNOTIFY | DSBCAPS_GLOBALFOCUS | DSBCAPS_GETCURRENTPOSITION2;
    desc.dwBufferBytes = ringFrames * bytesPerSample * 2;
    desc.lpwfxFormat = &format;
    hr = device->CreateSoundBuffer(&desc, &ring, nullptr);
    if (FAILED(hr))
    {
        Log::Error("[audio] Secondary sound buffer creation failed");
        return false;
    }
    return true;
}

bool BackendDirectSound::Shutdown()
{
    ReleaseObjects();
    return true;
}

void BackendDirectSound::ReleaseObjects()
{
    SafeRelease(ring);
    SafeRelease(primary);
    SafeRelease(device);
    free(scratch);
    scratch = nullptr;
}

bool BackendDirectSound::Start()
{
    if (!ring)
    {
        BRIVET_ASSERT("Audio/BackendDirectSound", "Start needs a successful Init");
        return false;
    }
    if (IsRunning())
        return true;
    CloseHandle(); // of a thread that an earlier Stop ended

    // Prefill the whole ring: the first two seconds from the mixing position (a ring
    // that cannot be locked is skipped, as in the refill)
    ring->SetCurrentPosition(0);
    progress = PackProgress(0, 0);
    lockFailed = false;
    FillBuffer(0, ringFrames);

    // Playback starts here rather than in the thread, so that a failure ends the start
    // instead of leaving the clock at 0 for the whole run.
    if (FAILED(ring->Play(0, 0, DSBPLAY_LOOPING)))
    {
        Log::Error("[audio] Play failed");
        return false;
    }

    // The flags are set before the thread exists, so that a Stop right after this
    // returns neither early nor never.
    stop = 0;
    running = 1;
    DWORD id = 0;
    HANDLE thread = CreateThread(nullptr, 0, &Thread::EntryPoint, static_cast<Thread*>(this), 0, &id);
    if (!thread)
    {
        running = 0;
        ring->Stop();
        Log::Error("[audio] StartThread failed");
        return false;
    }
    handle = thread;
    threadId = id;
    SetThreadPriority(thread, THREAD_PRIORITY_TIME_CRITICAL);
    return true;
}

bool BackendDirectSound::Stop()
{
    stop = 1;
    while (IsRunning())
        Sleep(1);
    // The body has returned; let the thread itself finish before its handle goes.
    if (handle)
        WaitForSingleObject(static_cast<HANDLE>(handle), INFINITE);
    CloseHandle();
    return true;
}

bool BackendDirectSound::IsRunning()
{
    return Thread::IsRunning();
}

bool BackendDirectSound::GetPassedFrames(uint32_t writeFrame, uint32_t& passed)
{
    DWORD cursor = 0;
    if (!ring || FAILED(ring->GetCurrentPosition(&cursor, nullptr)))
        return false;
    passed = (cursor / (bytesPerSample * 2) - writeFrame + ringFrames) % ringFrames;
    if (passed > ringFrames / 2)
        passed = 0;
    return true;
}

uint32_t BackendDirectSound::GetPosition()
{
    const uint64_t current = progress.load(std::memory_order_acquire);
    const uint32_t framesPlayed = static_cast<uint32_t>(current >> 32);
    uint32_t passed = 0;
    if (!GetPassedFrames(static_cast<uint32_t>(current), passed))
        return framesPlayed;
    return framesPlayed + passed;
}

void BackendDirectSound::Run()
{
    if (!ring)
        return;

    do
    {
        // Refill the stretch the play cursor has passed. One that cannot be locked is
        // skipped and counted all the same: left pending, it would hold the count while
        // the cursor runs on, and the clock would fall back once it passed half the ring.
        const uint64_t current = progress.load(std::memory_order_relaxed);
        const uint32_t framesPlayed = static_cast<uint32_t>(current >> 32);
        const uint32_t writeFrame = static_cast<uint32_t>(current);
        uint32_t passed = 0;
        if (GetPassedFrames(writeFrame, passed) && passed > 0)
        {
            FillBuffer(writeFrame, passed);
            progress.store(PackProgress(framesPlayed + passed, (writeFrame + passed) % ringFrames), std::memory_order_release);
        }

        Sleep(3);
    } while (!stop);

    ring->Stop();
}

bool BackendDirectSound::FillBuffer(uint32_t startFrame, uint32_t frames)
{
    if (!ring || !renderer)
        return true;

    const uint32_t frameBytes = bytesPerSample * 2;
    void* regions[2] = {};
    DWORD sizes[2] = {};
    HRESULT hr = DSERR_BUFFERLOST;
    if (!failLocks)
        hr = ring->Lock(startFrame * frameBytes, frames * frameBytes, &regions[0], &sizes[0], &regions[1], &sizes[1], 0);
    if (FAILED(hr))
    {
        if (!lockFailed)
            Log::Error("[audio] Lock failed: %08X", static_cast<unsigned>(hr));
        lockFailed = true;
        // The music moves on with the clock; the ring keeps what it held there.
        for (uint32_t done = 0; done < frames && scratch;)
        {
            const uint32_t chunk = frames - done < ringFrames ? frames - done : ringFrames;
            renderer->Mix(scratch, chunk);
            done += chunk;
        }
        return false;
    }
    lockFailed = false;

    // The ring wraps: the stretch may come as two regions, mixed in order.
    const uint32_t tag = format.wFormatTag;
    if (tag == WAVE_FORMAT_IEEE_FLOAT)
    {
        for (int i = 0; i < 2; ++i)
        {
            if (regions[i])
                renderer->Mix(static_cast<float*>(regions[i]), sizes[i] / frameBytes);
        }
    }
    else if (tag == WAVE_FORMAT_PCM)
    {
        for (int i = 0; i < 2; ++i)
        {
            if (!regions[i])
                continue;
            const uint32_t samples = sizes[i] / bytesPerSample;
            renderer->Mix(scratch, samples / 2);
            drmp3dec_f32_to_s16(scratch, static_cast<drmp3_int16*>(regions[i]), samples);
        }
    }
    else
    {
        BRIVET_ASSERT("Audio/BackendDirectSound", "Unknown format: %d", static_cast<int>(tag));
    }

    ring->Unlock(regions[0], sizes[0], regions[1], sizes[1]);
    return true;
}
} // namespace Brivet::Audio
