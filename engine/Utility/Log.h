// The process-wide log: every message of the system passes through it to the consumers.
#pragma once

#include "Base/Array.h"
#include "Base/Compiler.h"

#include <atomic>
#include <cstdarg>
#include <cstdint>
#include <mutex>

namespace Brivet::Utility
{
// Levels: 1 Info, 2 Warning, 3 Error. Nothing reaches anybody until a consumer is
// added. The text handed to a consumer is exactly the formatted message (no prefix,
// time or newline) and lives only for the call.
class Log
{
public:
    enum : int32_t
    {
        LevelInfo = 1,
        LevelWarning = 2,
        LevelError = 3,
    };

    class ILogConsumer
    {
    public:
        virtual void Write(int32_t level, const char* text) = 0;

    protected:
        ~ILogConsumer() = default; // not deleted through the log
    };

    struct Consumer
    {
        ILogConsumer* consumer; // not owned
        int32_t level;
    };

    // A log of its own (tests); the system writes to Instance().
    Log();
    virtual ~Log();
    Log(const Log&) = delete;
    Log& operator=(const Log&) = delete;

    // The one process-wide log, created on first use.
    static Log& Instance();

    // Consumers are never removed; level is the lowest level the consumer receives.
    void AddConsumer(ILogConsumer* consumer, int32_t level);

    // A level below the minimum returns before the format is expanded. Consumers are
    // called in registration order on the writing thread, one message at a time.
    void Write(int32_t level, const char* format, va_list arguments);

    // Write on Instance() at level 1, 2 and 3.
    static void Info(const char* format, ...) BRIVET_PRINTF_FORMAT(1, 2);
    static void Warning(const char* format, ...) BRIVET_PRINTF_FORMAT(1, 2);
    static void Error(const char* format, ...) BRIVET_PRINTF_FORMAT(1, 2);

private:
    std::atomic<int32_t> minimumLevel;
    Base::Array<Consumer> consumers;
    std::recursive_mutex lock; // serialises the fan-out: the main and audio threads both write
};
} // namespace Brivet::Utility
