// DirectSound backend under a real output (PulseAudio's null sink through Wine): the
// clock runs at real time without jumps, and Stop right after Start is prompt and clean.
#include "Audio/BackendDirectSound.h"
#include "Audio/Renderer.h"

#include "ClipFixtures.h"
#include "LogCapture.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

using Brivet::Audio::BackendDirectSound;
using Brivet::Audio::Renderer;
using Brivet::Base::String;
using Brivet::Utility::Log;

namespace
{
constexpr uint32_t Rate = 44100;

double Now()
{
    LARGE_INTEGER counter, frequency;
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    return double(counter.QuadPart) / double(frequency.QuadPart);
}

std::vector<std::string> Texts(int32_t level)
{
    std::vector<std::string> texts;
    for (const LogCapture::Line& line : LogCapture::Get().Lines(level))
        texts.push_back(line.text);
    return texts;
}

class BackendTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        LogCapture::Get().Clear();
        window = CreateWindowExA(0, "STATIC", "audio test", WS_OVERLAPPED, 0, 0, 64, 64, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(window, nullptr);
        renderer.sampleRate = Rate;
        ASSERT_TRUE(AddFixture(archive, "tone.ogg"));
        ASSERT_TRUE(renderer.LoadClip(&archive, String("tone.ogg"), 0.0f));
        renderer.Seek(0);
    }

    void TearDown() override
    {
        renderer.Unload();
        DestroyWindow(window);
    }

    HWND window = nullptr;
    MemoryArchive archive;
    Renderer renderer;
};
} // namespace

TEST_F(BackendTest, PlayPositionFollowsRealTimeWithoutJumps)
{
    // Float output, and the 16-bit output that follows a refused float format.
    for (bool floatOutput : {true, false})
    {
        SCOPED_TRACE(floatOutput ? "float" : "16-bit");
        LogCapture::Get().Clear();
        renderer.framesMixed = 0;
        renderer.Seek(0);

        BackendDirectSound backend(&renderer);
        backend.floatOutput = floatOutput;
        ASSERT_TRUE(backend.Init(Rate, window, nullptr));
        EXPECT_EQ(backend.GetSampleRate(), Rate);
        const std::vector<std::string> warnings = floatOutput ? std::vector<std::string>{} : std::vector<std::string>{"[audio] SetWaveFormat (float) failed"};
        EXPECT_EQ(Texts(Log::LevelWarning), warnings);

        EXPECT_EQ(backend.GetPosition(), 0u); // before playback
        ASSERT_TRUE(backend.Start());
        EXPECT_TRUE(backend.IsRunning());
        EXPECT_EQ(renderer.framesMixed, 2 * Rate); // the prefilled ring

        // Sample the clock every millisecond for 3.5 s: it never goes back, never leaps
        // and runs at the sample rate.
        struct Sample
        {
            double time;
            uint32_t position;
        };
        std::vector<Sample> samples;
        const double begin = Now();
        for (double t = begin; t - begin < 3.5; t = Now())
        {
            samples.push_back({t - begin, backend.GetPosition()});
            Sleep(1);
        }
        uint32_t backwards = 0;
        uint32_t largestStep = 0;
        for (size_t i = 1; i < samples.size(); ++i)
        {
            if (samples[i].position < samples[i - 1].position)
                ++backwards;
            else
                largestStep = std::max(largestStep, samples[i].position - samples[i - 1].position);
        }
        EXPECT_EQ(backwards, 0u);
        // Wine's output stalls for tens of milliseconds under load and its cursor then
        // catches up; a step beyond that would be the clock leaping.
        EXPECT_LT(largestStep, Rate / 4);

        // Frames per second over the seconds from 0.5 s on. Under load Wine's output
        // pipeline underruns now and then, and its cursor stands still meanwhile (the
        // sink plays silence): no second may run fast, one at least must be on time,
        // and the whole 3 s stay within 10%.
        auto rateBetween = [&](double from, double to) {
            const Sample* first = nullptr;
            const Sample* last = nullptr;
            for (const Sample& sample : samples)
            {
                if (!first && sample.time >= from)
                    first = &sample;
                if (sample.time <= to)
                    last = &sample;
            }
            return double(last->position - first->position) / (last->time - first->time);
        };
        double fastest = 0.0;
        double closest = 0.0;
        for (double from = 0.5; from <= 2.5; from += 0.25)
        {
            const double rate = rateBetween(from, from + 1.0);
            fastest = std::max(fastest, rate);
            if (std::fabs(rate - Rate) < std::fabs(closest - Rate))
                closest = rate;
        }
        EXPECT_LT(fastest, 1.02 * Rate);
        EXPECT_NEAR(closest, double(Rate), 0.02 * Rate);
        EXPECT_NEAR(rateBetween(0.5, 3.5), double(Rate), 0.1 * Rate);

        ASSERT_TRUE(backend.Stop());
        EXPECT_FALSE(backend.IsRunning());
        // The mix runs the ring's length ahead of what was played.
        const uint32_t position = backend.GetPosition();
        EXPECT_LE(renderer.framesMixed - position, 2 * Rate);
        EXPECT_GE(renderer.framesMixed - position, 2 * Rate - Rate / 10);
        EXPECT_TRUE(backend.Shutdown());
        EXPECT_TRUE(Texts(Log::LevelError).empty());
    }
}

TEST_F(BackendTest, StopRightAfterStartIsPromptAndClean)
{
    BackendDirectSound backend(&renderer);
    const double stopBefore = Now();
    EXPECT_TRUE(backend.Stop()); // never started: returns at once
    EXPECT_LT(Now() - stopBefore, 0.05);

    ASSERT_TRUE(backend.Init(Rate, window, nullptr));
    double slowest = 0.0;
    for (int i = 0; i < 200; ++i)
    {
        ASSERT_TRUE(backend.Start());
        const double before = Now();
        ASSERT_TRUE(backend.Stop());
        slowest = std::max(slowest, Now() - before);
        ASSERT_FALSE(backend.IsRunning());
        if (i % 20 == 0)
        {
            // No thread comes to life late: the ring stays stopped, the clock stands.
            Sleep(30);
            const uint32_t position = backend.GetPosition();
            Sleep(30);
            EXPECT_FALSE(backend.IsRunning());
            EXPECT_EQ(backend.GetPosition(), position);
        }
    }
    // One pass of the thread (3 ms) and the scheduling of a loaded machine.
    EXPECT_LT(slowest, 0.5);
    EXPECT_TRUE(backend.Shutdown());

    // The same with a backend of its own each time, as at the end of a short run.
    for (int i = 0; i < 10; ++i)
    {
        BackendDirectSound fresh(&renderer);
        ASSERT_TRUE(fresh.Init(Rate, window, nullptr));
        ASSERT_TRUE(fresh.Start());
        const double before = Now();
        ASSERT_TRUE(fresh.Stop());
        EXPECT_LT(Now() - before, 0.5);
        EXPECT_FALSE(fresh.IsRunning());
        EXPECT_TRUE(fresh.Shutdown());
    }
    EXPECT_TRUE(Texts(Log::LevelError).empty());
}

TEST_F(BackendTest, ARingThatCannotBeLockedIsSkippedAndTheClockRunsOn)
{
    struct Case
    {
        const char* name;
        bool prefillFails; // the start's prefill cannot lock the ring
        double failFrom, failUntil; // seconds of playback in which every refill fails
    };
    // The refills fail for well over half the ring (a second): a count that waited for
    // them would stand while the cursor runs on, then fall back.
    for (const Case& c : {Case{"prefill", true, 0.0, 0.0}, Case{"refills", false, 0.3, 1.8}})
    {
        SCOPED_TRACE(c.name);
        LogCapture::Get().Clear();
        renderer.framesMixed = 0;
        renderer.Seek(0);

        BackendDirectSound backend(&renderer);
        ASSERT_TRUE(backend.Init(Rate, window, nullptr));
        backend.failLocks = c.prefillFails;
        ASSERT_TRUE(backend.Start());
        backend.failLocks = false;
        // The music moved on with what the ring was to hold.
        EXPECT_EQ(renderer.framesMixed, 2 * Rate);

        std::vector<uint32_t> positions;
        const double begin = Now();
        for (double t = begin; t - begin < 3.0; t = Now())
        {
            backend.failLocks = t - begin >= c.failFrom && t - begin < c.failUntil;
            positions.push_back(backend.GetPosition());
            Sleep(1);
        }
        backend.failLocks = false;
        uint32_t backwards = 0;
        for (size_t i = 1; i < positions.size(); ++i)
            backwards += positions[i] < positions[i - 1] ? 1 : 0;
        EXPECT_EQ(backwards, 0u);
        // Wine's output stalls now and then under load; the clock ran most of the 3 s.
        EXPECT_GT(positions.back(), 2 * Rate);

        ASSERT_TRUE(backend.Stop());
        // Still the ring's length ahead of what was played: the music stays with the clock.
        const uint32_t position = backend.GetPosition();
        EXPECT_LE(renderer.framesMixed - position, 2 * Rate);
        EXPECT_GE(renderer.framesMixed - position, 2 * Rate - Rate / 10);
        EXPECT_TRUE(backend.Shutdown());
        EXPECT_EQ(Texts(Log::LevelError), (std::vector<std::string>{"[audio] Lock failed: 88780096"}));
    }
}
