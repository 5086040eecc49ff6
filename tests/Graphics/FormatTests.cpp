// Format name table and element sizes.
#include <gtest/gtest.h>

#include <cstring>

#include "Graphics/Format.h"
#include "LogCapture.h"

using namespace Brivet::Graphics;

TEST(FormatNames, NamesAndValuesMapBothWays)
{
    struct Case
    {
        const char* name;
        uint32_t format;
    };
    const Case cases[] = {
        {"R8G8B8A8_TYPELESS", 27}, {"R8G8B8A8_UNORM", 28}, {"R8G8B8A8_UNORM_SRGB", 29}, {"R8G8B8A8_UINT", 30},
        {"R8G8B8A8_SNORM", 31},    {"R8G8B8A8_SINT", 32},  {"R32_TYPELESS", 39},        {"R32_FLOAT", 41},
        {"R32_UINT", 42},          {"R32_SINT", 43},       {"R32G32_TYPELESS", 15},     {"R32G32_FLOAT", 16},
        {"R32G32_UINT", 17},       {"R32G32_SINT", 18},    {"R32G32B32_TYPELESS", 5},   {"R32G32B32_FLOAT", 6},
        {"R32G32B32_UINT", 7},     {"R32G32B32_SINT", 8},  {"R32G32B32A32_TYPELESS", 1}, {"R32G32B32A32_FLOAT", 2},
        {"R32G32B32A32_UINT", 3},  {"R32G32B32A32_SINT", 4}, {"D16_UNORM", 55},         {"D24_UNORM_S8_UINT", 45},
        {"D32_FLOAT", 40},
    };
    for (const Case& c : cases)
    {
        uint32_t format = 0;
        EXPECT_TRUE(FormatFromName(c.name, &format)) << c.name;
        EXPECT_EQ(format, c.format) << c.name;
        ASSERT_NE(FormatToName(c.format), nullptr) << c.format;
        EXPECT_STREQ(FormatToName(c.format), c.name);
    }

    // The table has exactly these rows, in this order, and ends with {0, null}.
    size_t rows = 0;
    while (FormatNames[rows].name)
    {
        EXPECT_STREQ(FormatNames[rows].name, cases[rows].name);
        ++rows;
    }
    EXPECT_EQ(rows, sizeof(cases) / sizeof(cases[0]));
    EXPECT_EQ(FormatNames[rows].format, 0u);
}

TEST(FormatNames, UnknownNamesAndValuesHaveNoMatch)
{
    uint32_t format = 1234;
    EXPECT_FALSE(FormatFromName("r32g32_float", &format)); // case-sensitive
    EXPECT_FALSE(FormatFromName("R32G32_FLOAT ", &format));
    EXPECT_FALSE(FormatFromName("", &format));
    EXPECT_FALSE(FormatFromName(nullptr, &format));
    EXPECT_EQ(format, 1234u);
    EXPECT_EQ(FormatToName(44), nullptr); // R24G8_TYPELESS
    EXPECT_EQ(FormatToName(0), nullptr);
    EXPECT_EQ(FormatToName(87), nullptr);
}

TEST(FormatSize, ListedFormats)
{
    struct Case
    {
        uint32_t first, last, bytes;
    };
    const Case cases[] = {
        {1, 4, 16}, {5, 8, 12}, {9, 18, 8}, {27, 32, 4}, {39, 39, 4}, {41, 43, 4},
        {45, 45, 4}, {87, 87, 4}, {90, 91, 4}, {60, 64, 1},
    };
    LogCapture::Get().Clear();
    for (const Case& c : cases)
        for (uint32_t format = c.first; format <= c.last; ++format)
            EXPECT_EQ(FormatSize(format), c.bytes) << format;
    EXPECT_TRUE(LogCapture::Get().Boxes().empty());
}

TEST(FormatSize, UnlistedFormatsAssertAndGiveZero)
{
    // D32_FLOAT and D16_UNORM are named formats without a size; 44 and 40 sit between listed ones.
    const uint32_t unlisted[] = {0, 19, 26, 33, 38, 40, 44, 46, 55, 59, 65, 86, 88, 89, 92, 1000};
    for (uint32_t format : unlisted)
    {
        LogCapture::Get().Clear();
        EXPECT_EQ(FormatSize(format), 0u) << format;
        std::vector<std::string> boxes = LogCapture::Get().Boxes();
        ASSERT_EQ(boxes.size(), 1u) << format;
        std::string expected = "File: Graphics/System\nLine: 460\n\nUnhandled FormatSize: " + std::to_string(format);
        EXPECT_NE(boxes[0].find(expected), std::string::npos) << boxes[0];
        std::vector<LogCapture::Line> errors = LogCapture::Get().Lines(Brivet::Utility::Log::LevelError);
        ASSERT_EQ(errors.size(), 1u);
        EXPECT_EQ(errors[0].text, "*** ASSERT:\n" + expected + "\n*******");
    }
}
