// The assertion routine: logs a broken consistency check and asks whether to break.
#pragma once

#include "Base/Compiler.h"

#include <cstdint>

namespace Brivet::Utility
{
// Logs "*** ASSERT:\n<message>\n*******" as an error, where the message is
// "File: <file>\nLine: <line>\n\n" followed by the expanded format, and shows it in a
// Yes/No box. file is the caller's source path without extension ("Graphics/System").
// True when the user asked to break into the debugger; the caller then breaks and
// goes on with its own fallback.
bool Assert(const char* file, int32_t line, const char* format, ...) BRIVET_PRINTF_FORMAT(3, 4);

// Shows the box text and answers true for Yes. The default is a MessageBoxA titled
// "BRIVET ASSERT!" on Windows and answers No elsewhere.
using AssertBox = bool (*)(const char* text);

// Replaces the box (tests); null restores the default. Returns the previous box.
AssertBox SetAssertBox(AssertBox box);

// Breaks into the debugger (a breakpoint trap).
void BreakIntoDebugger();
} // namespace Brivet::Utility

// Asserts at the caller's line and breaks into the debugger when asked; the caller
// continues with its fallback afterwards.
#define BRIVET_ASSERT(FILE, ...)                                              \
    do                                                                        \
    {                                                                         \
        if (::Brivet::Utility::Assert((FILE), __LINE__, __VA_ARGS__))         \
            ::Brivet::Utility::BreakIntoDebugger();                           \
    } while (0)
