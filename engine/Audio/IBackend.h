// The audio output the demo holds: plays the clip renderer's mix and is the demo clock.
#pragma once

#include <cstdint>

namespace Brivet::Audio
{
class Renderer;

class IBackend
{
public:
    explicit IBackend(Renderer* renderer)
        : renderer(renderer)
    {
    }
    virtual ~IBackend() = default;

    virtual uint32_t GetSampleRate() = 0;
    virtual bool Init(uint32_t sampleRate) = 0;
    virtual bool Shutdown() = 0;
    // Starts playback and its thread; false (logged) when it cannot, for the clock would
    // never run.
    virtual bool Start() = 0;
    virtual bool Stop() = 0;
    virtual bool IsRunning() = 0;
    // Frames played since the start; divided by the sample rate it is the demo time.
    virtual uint32_t GetPosition() = 0;

    Renderer* renderer; // borrowed
};
} // namespace Brivet::Audio
