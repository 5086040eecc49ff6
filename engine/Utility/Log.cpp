// Log: level filter, one formatting pass into an exact buffer, fan-out to the consumers.
#include "Utility/Log.h"

#include <cstdio>

namespace Brivet::Utility
{
Log::Log()
    : minimumLevel(4)
{
}

Log::~Log() = default;

Log& Log::Instance()
{
    static Log log;
    return log;
}

void Log::AddConsumer(ILogConsumer* consumer, int32_t level)
{
    std::lock_guard<std::recursive_mutex> guard(lock);
    consumers.Add(Consumer{consumer, level});
    if (minimumLevel.load() > level)
        minimumLevel.store(level);
}

void Log::Write(int32_t level, const char* format, va_list arguments)
{
    if (level < minimumLevel.load(std::memory_order_relaxed))
        return;

    va_list measure;
    va_copy(measure, arguments);
    const int size = vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    if (size < 0)
        return;

    char* text = new char[static_cast<size_t>(size) + 1];
    vsnprintf(text, static_cast<size_t>(size) + 1, format, arguments);

    {
        std::lock_guard<std::recursive_mutex> guard(lock);
        // Read by index: a consumer that adds a consumer may move the array.
        for (uint32_t i = 0; i < consumers.GetCount(); ++i)
        {
            const Consumer entry = consumers[i];
            if (entry.level <= level)
                entry.consumer->Write(level, text);
        }
    }

    delete[] text;
}

void Log::Info(const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    Instance().Write(LevelInfo, format, arguments);
    va_end(arguments);
}

void Log::Warning(const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    Instance().Write(LevelWarning, format, arguments);
    va_end(arguments);
}

void Log::Error(const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    Instance().Write(LevelError, format, arguments);
    va_end(arguments);
}
} // namespace Brivet::Utility
