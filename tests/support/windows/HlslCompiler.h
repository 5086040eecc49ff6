// Which HLSL compiler the Windows tests run with. Under Wine, tools/with-wine provides
// a d3dcompiler_47.dll that compiles most of HLSL and names its choice in
// BRIVET_HLSL_COMPILER: "vkd3d2" (vkd3d-shader 2.x, the default once set up), "vkd3d1"
// (the 1.14 fallback, also BRIVET_HLSL=vkd3d1) or "wine" (BRIVET_HLSL=wine, Wine's own,
// which compiles only a small part of HLSL). Tests that need more than Wine's own part
// skip there with BRIVET_SKIP_WITHOUT_FULLER_HLSL(); tests of what only vkd3d 2.x
// compiles skip with the fallback too, with BRIVET_SKIP_WITHOUT_HLSL_2(feature). On
// Windows (no variable) the system's compiler takes everything.
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

// The compiler of this run when it is not vkd3d 2.x or the system's: "vkd3d1", "wine" or null.
inline const char* HlslCompilerBefore2()
{
    for (const char* name : {"BRIVET_HLSL_COMPILER", "BRIVET_HLSL"})
    {
        const char* choice = std::getenv(name);
        if (choice && (std::strcmp(choice, "vkd3d1") == 0 || std::strcmp(choice, "wine") == 0))
            return choice;
    }
    return nullptr;
}

} // namespace WindowsTest

#define BRIVET_SKIP_WITHOUT_FULLER_HLSL()                                                                 \
    if (WindowsTest::UsesWinesOwnHlslCompiler())                                                          \
    GTEST_SKIP() << "needs the fuller HLSL compiler: this run uses Wine's own (BRIVET_HLSL=wine), which " \
                    "compiles only a small part of HLSL"

// feature: what the test needs, e.g. "geometry shaders".
#define BRIVET_SKIP_WITHOUT_HLSL_2(feature)                                                                \
    if (const char* brivetHlslBefore2 = WindowsTest::HlslCompilerBefore2())                                \
    GTEST_SKIP() << "needs " << (feature) << ", which only vkd3d-shader 2.x compiles under Wine: this run " \
                 << "uses " << (std::strcmp(brivetHlslBefore2, "wine") == 0 ? "Wine's own compiler" : "vkd3d-shader 1.14") \
                 << " (BRIVET_HLSL_COMPILER=" << brivetHlslBefore2 << ")"
