// Assertion routine: message built in two formatting passes, logged, shown in a Yes/No box.
#include "Utility/Assert.h"

#include "Base/String.h"
#include "Utility/Log.h"

#include <atomic>
#include <cstdarg>

#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
#endif

namespace Brivet::Utility
{
namespace
{
bool DefaultAssertBox(const char* text)
{
#ifdef _WIN32
    return MessageBoxA(nullptr, text, "BRIVET ASSERT!", MB_YESNO | MB_ICONERROR) == IDYES;
#else
    (void)text;
    return false;
#endif
}

std::atomic<AssertBox> assertBox{nullptr};
} // namespace

bool Assert(const char* file, int32_t line, const char* format, ...)
{
    // File and line go in first; the result is then the format for the caller's arguments.
    Base::String located;
    located.Format("File: %s\nLine: %d\n\n%s", file, static_cast<int>(line), format);

    Base::String message;
    va_list arguments;
    va_start(arguments, format);
    message.FormatV(located.GetText(), arguments);
    va_end(arguments);

    Log::Error("*** ASSERT:\n%s\n*******", message.GetText());

    Base::String boxText;
    boxText.Format("BRIVET ASSERT:\n\n%s\n\nDo you want to break?", message.GetText());
    const AssertBox box = assertBox.load();
    return box ? box(boxText.GetText()) : DefaultAssertBox(boxText.GetText());
}

AssertBox SetAssertBox(AssertBox box)
{
    return assertBox.exchange(box);
}

void BreakIntoDebugger()
{
#ifdef _WIN32
    DebugBreak();
#elif defined(SIGTRAP)
    raise(SIGTRAP);
#endif
}
} // namespace Brivet::Utility
