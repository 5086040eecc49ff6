// Log and assertion-box capture shared by the test executables.
#include "LogCapture.h"

#include "Utility/Assert.h"

LogCapture& LogCapture::Get()
{
    static LogCapture capture;
    return capture;
}

LogCapture::LogCapture()
{
    Brivet::Utility::Log::Instance().AddConsumer(this, Brivet::Utility::Log::LevelInfo);
    Brivet::Utility::SetAssertBox(&LogCapture::Box);
}

void LogCapture::Clear()
{
    std::lock_guard<std::mutex> guard(mutex);
    lines.clear();
    boxes.clear();
    boxAnswer = false;
}

std::vector<LogCapture::Line> LogCapture::Lines() const
{
    std::lock_guard<std::mutex> guard(mutex);
    return lines;
}

std::vector<LogCapture::Line> LogCapture::Lines(int32_t level) const
{
    std::lock_guard<std::mutex> guard(mutex);
    std::vector<Line> selected;
    for (const Line& line : lines)
    {
        if (line.level == level)
            selected.push_back(line);
    }
    return selected;
}

std::vector<std::string> LogCapture::Boxes() const
{
    std::lock_guard<std::mutex> guard(mutex);
    return boxes;
}

void LogCapture::SetBoxAnswer(bool yes)
{
    std::lock_guard<std::mutex> guard(mutex);
    boxAnswer = yes;
}

void LogCapture::Write(int32_t level, const char* text)
{
    std::lock_guard<std::mutex> guard(mutex);
    lines.push_back(Line{level, text});
}

bool LogCapture::Box(const char* text)
{
    LogCapture& capture = Get();
    std::lock_guard<std::mutex> guard(capture.mutex);
    capture.boxes.push_back(text);
    return capture.boxAnswer;
}

namespace
{
// Registered before main so that no test ever reaches a real message box.
const bool installed = (LogCapture::Get(), true);
} // namespace
