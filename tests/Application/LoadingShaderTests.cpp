// The built-in loading-bar shader text.
#include "application/LoadingShader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

TEST(LoadingShader, IsFiveCrLfJoinedLinesOf436Bytes)
{
    EXPECT_EQ(g_LoadingShaderLength, 436u);
    EXPECT_EQ(strlen(g_LoadingShader), 436u);

    const std::string text(g_LoadingShader, g_LoadingShaderLength);
    size_t lines = 1, bareLineFeeds = 0;
    for (size_t i = 0; i < text.size(); i++)
    {
        if (text[i] == '\n')
        {
            lines++;
            if (i == 0 || text[i - 1] != '\r')
                bareLineFeeds++;
        }
    }
    EXPECT_EQ(lines, 5u);
    EXPECT_EQ(bareLineFeeds, 0u);
    EXPECT_NE(text.back(), '\n');
    EXPECT_NE(text.find("struct VS_OUTPUT { float4 Pos : SV_POSITION; }; \r\n"), std::string::npos);
    EXPECT_NE(text.find("\r\nfloat4 ps_main( float4 Pos : SV_POSITION ) : SV_TARGET {"), std::string::npos);
}
