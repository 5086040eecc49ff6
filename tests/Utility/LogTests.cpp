// Log: level filter before formatting, fan-out in registration order, one writer at a time.
#include "LogCapture.h"
#include "Utility/Log.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdarg>
#include <string>
#include <thread>
#include <vector>

using Brivet::Utility::Log;

namespace
{
struct Received
{
    int id;
    int32_t level;
    std::string text;
};

class RecordingConsumer : public Log::ILogConsumer
{
public:
    RecordingConsumer(int consumerId, std::vector<Received>& sink)
        : id(consumerId), received(sink)
    {
    }

    void Write(int32_t level, const char* text) override
    {
        received.push_back(Received{id, level, text});
    }

private:
    int id;
    std::vector<Received>& received;
};

void WriteTo(Log& log, int32_t level, const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    log.Write(level, format, arguments);
    va_end(arguments);
}

// "%n" stores how many characters were formatted so far: it shows whether a message
// was expanded at all.
int ExpandedCount(Log& log, int32_t level)
{
    int written = -1;
    WriteTo(log, level, "abc%n", &written);
    return written;
}

TEST(Log, NothingIsFormattedBeforeAConsumerIsAdded)
{
    Log log;
    for (int32_t level : {1, 2, 3})
        EXPECT_EQ(ExpandedCount(log, level), -1) << "level " << level;
}

TEST(Log, ConsumerAtWarningReceivesWarningsAndErrors)
{
    Log log;
    std::vector<Received> received;
    RecordingConsumer consumer(1, received);
    log.AddConsumer(&consumer, Log::LevelWarning);

    EXPECT_EQ(ExpandedCount(log, Log::LevelInfo), -1); // dropped before formatting
    EXPECT_TRUE(received.empty());

    WriteTo(log, Log::LevelWarning, "[demo] %s %d", "warned", 2);
    WriteTo(log, Log::LevelError, "[demo] failed: '%s'", "x.png");
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[0].level, 2);
    EXPECT_EQ(received[0].text, "[demo] warned 2"); // no prefix, no newline
    EXPECT_EQ(received[1].level, 3);
    EXPECT_EQ(received[1].text, "[demo] failed: 'x.png'");
}

TEST(Log, TwoConsumersInRegistrationOrder)
{
    Log log;
    std::vector<Received> received;
    RecordingConsumer first(1, received);
    RecordingConsumer second(2, received);
    log.AddConsumer(&first, Log::LevelInfo);
    log.AddConsumer(&second, Log::LevelError);

    struct Case
    {
        int32_t level;
        std::vector<int> consumers;
    };
    const Case cases[] = {
        {Log::LevelError, {1, 2}},
        {Log::LevelWarning, {1}},
        {Log::LevelInfo, {1}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.level);
        received.clear();
        WriteTo(log, c.level, "message %d", c.level);
        std::vector<int> ids;
        for (const Received& r : received)
        {
            ids.push_back(r.id);
            EXPECT_EQ(r.level, c.level);
            EXPECT_EQ(r.text, "message " + std::to_string(c.level));
        }
        EXPECT_EQ(ids, c.consumers);
    }
}

TEST(Log, LongMessagesArriveWhole)
{
    Log log;
    std::vector<Received> received;
    RecordingConsumer consumer(1, received);
    log.AddConsumer(&consumer, Log::LevelInfo);
    const std::string part(5000, 'z');
    WriteTo(log, Log::LevelInfo, "%s|%s|%d", part.c_str(), part.c_str(), 7);
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].text, part + "|" + part + "|7");
}

TEST(Log, StaticWritersGoToTheProcessLog)
{
    EXPECT_EQ(&Log::Instance(), &Log::Instance());
    LogCapture& capture = LogCapture::Get();
    capture.Clear();
    Log::Info("[test] info %d", 1);
    Log::Warning("[test] warning %s", "two");
    Log::Error("[test] error %.1f", 3.0);

    const std::vector<LogCapture::Line> lines = capture.Lines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].level, 1);
    EXPECT_EQ(lines[0].text, "[test] info 1");
    EXPECT_EQ(lines[1].level, 2);
    EXPECT_EQ(lines[1].text, "[test] warning two");
    EXPECT_EQ(lines[2].level, 3);
    EXPECT_EQ(lines[2].text, "[test] error 3.0");
}

// Writes from two threads reach a consumer that keeps unguarded state one at a time.
class OverlapConsumer : public Log::ILogConsumer
{
public:
    void Write(int32_t level, const char* text) override
    {
        if (inside.exchange(true))
            overlaps.fetch_add(1);
        std::this_thread::sleep_for(std::chrono::microseconds(20));
        lines.push_back(text);
        inside.store(false);
    }

    std::atomic<bool> inside{false};
    std::atomic<int> overlaps{0};
    std::vector<std::string> lines;
};

TEST(Log, WritersOnTwoThreadsAreSerialised)
{
    Log log;
    OverlapConsumer consumer;
    log.AddConsumer(&consumer, Log::LevelWarning);

    auto writer = [&log](int thread) {
        for (int i = 0; i < 200; ++i)
            WriteTo(log, Log::LevelWarning, "thread %d line %d", thread, i);
    };
    std::thread main(writer, 0);
    std::thread audio(writer, 1);
    main.join();
    audio.join();

    EXPECT_EQ(consumer.overlaps.load(), 0);
    EXPECT_EQ(consumer.lines.size(), 400u);
}
} // namespace
