// Captures what the engine reports in a test executable: log lines and assertion boxes.
#pragma once

#include "Utility/Log.h"

#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

// One capture per test executable, registered with Log::Instance() at level 1 before
// main (the log has no removal) and installed as the assertion box, which answers No
// unless told otherwise. Tests call Clear() first and read what arrived after it.
class LogCapture : public Brivet::Utility::Log::ILogConsumer
{
public:
    struct Line
    {
        int32_t level;
        std::string text;
    };

    static LogCapture& Get();

    void Clear(); // forgets lines and boxes, answers No again

    std::vector<Line> Lines() const;
    std::vector<Line> Lines(int32_t level) const;
    std::vector<std::string> Boxes() const;

    // The answer the next assertion boxes give (true = Yes, break).
    void SetBoxAnswer(bool yes);

    void Write(int32_t level, const char* text) override;

private:
    LogCapture();
    static bool Box(const char* text);

    mutable std::mutex mutex;
    std::vector<Line> lines;
    std::vector<std::string> boxes;
    bool boxAnswer = false;
};
