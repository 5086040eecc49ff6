// The error consumer: what the error box of a failed start-up shows, and that a run
// logging on every frame does not grow the text once playback started.
#include "application/ErrorConsumer.h"

#include "Utility/Log.h"

#include <gtest/gtest.h>

#include <cstdarg>
#include <string>
#include <vector>

using Brivet::Utility::Log;

namespace
{
void Write(Log& log, int32_t level, const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    log.Write(level, format, arguments);
    va_end(arguments);
}
} // namespace

TEST(ErrorConsumer, CollectsWarningsAndErrorsUntilPlaybackStarts)
{
    Log log;
    ErrorConsumer consumer;
    log.AddConsumer(&consumer, Log::LevelWarning);

    Write(log, Log::LevelInfo, "[demo] Starting systems...");
    Write(log, Log::LevelWarning, "[audio] format fallback %d", 2);
    Write(log, Log::LevelError, "Demo load failed");
    EXPECT_STREQ(consumer.GetText().GetText(), "[audio] format fallback 2\nDemo load failed\n");

    // A pooled target that cannot be made logs in every frame of the run.
    consumer.StopCollecting();
    const Brivet::Base::String before = consumer.GetText();
    for (int frame = 0; frame < 100000; ++frame)
        Write(log, Log::LevelError, "[texture] The pool gave no target for '%s' (frame %d)", "layer", frame);

    EXPECT_STREQ(consumer.GetText().GetText(), before.GetText());
}

// A load that warns once per element (a description of thousands of dangling connections)
// shows the first lines, a long line cut, and a count of the rest.
TEST(ErrorConsumer, ShowsTheFirstLinesAndCountsTheRest)
{
    Log log;
    ErrorConsumer consumer;
    log.AddConsumer(&consumer, Log::LevelWarning);

    const std::string longName(5000, 'n');
    Write(log, Log::LevelWarning, "[graph] Node '%s' dropped", longName.c_str());
    const uint32_t lines = 50000;
    for (uint32_t i = 1; i < lines; ++i)
        Write(log, Log::LevelWarning, "[graph] Connection from %u to %u in graph 'main' names no node; dropped", i, i);

    const std::string text = consumer.GetText().GetText();
    std::vector<std::string> shown;
    for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        shown.push_back(text.substr(start, end - start));
    ASSERT_EQ(shown.size(), ErrorConsumer::MaxShownLines + 1);
    EXPECT_EQ(shown[0], "[graph] Node '" + std::string(ErrorConsumer::MaxLineLength - 14, 'n') + "...");
    EXPECT_EQ(shown[1], "[graph] Connection from 1 to 1 in graph 'main' names no node; dropped");
    EXPECT_EQ(shown[ErrorConsumer::MaxShownLines - 1],
              "[graph] Connection from 39 to 39 in graph 'main' names no node; dropped");
    EXPECT_EQ(shown.back(), "(" + std::to_string(lines - ErrorConsumer::MaxShownLines) + " more lines not shown)");

    // One line past the shown ones is counted in the singular.
    ErrorConsumer few;
    Log small;
    small.AddConsumer(&few, Log::LevelWarning);
    for (uint32_t i = 0; i <= ErrorConsumer::MaxShownLines; ++i)
        Write(small, Log::LevelError, "line %u", i);
    const std::string fewText = few.GetText().GetText();
    EXPECT_NE(fewText.find("line 39\n(1 more line not shown)\n"), std::string::npos) << fewText;
}
