// Which HLSL compiler the Windows tests run with. Under Wine, tools/with-wine provides
// a d3dcompiler_47.dll that compiles most of HLSL; BRIVET_HLSL=wine runs with Wine's
// own instead, which compiles only a small part of it. Tests that need more than that
// part skip themselves there with BRIVET_SKIP_WITHOUT_FULLER_HLSL().
#pragma once

#include <cstdlib>
#include <cstring>

#include <gtest/gtest.h>

namespace WindowsTest
{

inline bool UsesWinesOwnHlslCompiler()
{
    const char* choice = std::getenv("BRIVET_HLSL");
    return choice && std::strcmp(choice, "wine") == 0;
}

} // namespace WindowsTest

#define BRIVET_SKIP_WITHOUT_FULLER_HLSL()                                                                 \
    if (WindowsTest::UsesWinesOwnHlslCompiler())                                                          \
    GTEST_SKIP() << "needs the fuller HLSL compiler: this run uses Wine's own (BRIVET_HLSL=wine), which " \
                    "compiles only a small part of HLSL"
