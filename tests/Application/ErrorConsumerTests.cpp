// The error consumer: what the error box of a failed start-up shows, and that a run
// logging on every frame does not grow the text once playback started.
#include "application/ErrorConsumer.h"

#include "Utility/Log.h"

#include <gtest/gtest.h>

#include <cstdarg>

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
