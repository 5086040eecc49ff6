// Assertion routine: the logged text, the box text and the answer through the box seam.
#include "LogCapture.h"
#include "Utility/Assert.h"

#include <gtest/gtest.h>

#include <string>

using Brivet::Utility::Assert;

namespace
{
class AssertTest : public testing::Test
{
protected:
    void SetUp() override { LogCapture::Get().Clear(); }
    void TearDown() override { LogCapture::Get().Clear(); }
};

TEST_F(AssertTest, LogsSixLinesAndAsksInTheBox)
{
    EXPECT_FALSE(Assert("Graphics/System", 460, "Unhandled FormatSize: %d", 20));

    const std::string message = "File: Graphics/System\nLine: 460\n\nUnhandled FormatSize: 20";
    const std::vector<LogCapture::Line> lines = LogCapture::Get().Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].level, 3);
    EXPECT_EQ(lines[0].text, "*** ASSERT:\n" + message + "\n*******");

    const std::vector<std::string> boxes = LogCapture::Get().Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], "BRIVET ASSERT:\n\n" + message + "\n\nDo you want to break?");
}

TEST_F(AssertTest, AnswersWhatTheBoxAnswers)
{
    LogCapture::Get().SetBoxAnswer(true);
    EXPECT_TRUE(Assert("Assets/Resource/Manager", 78, "Resource not found in cache!"));
    LogCapture::Get().SetBoxAnswer(false);
    EXPECT_FALSE(Assert("Assets/Resource/Manager", 78, "Resource not found in cache!"));
    EXPECT_EQ(LogCapture::Get().Boxes().size(), 2u);
}

TEST_F(AssertTest, CallerFormatsExpandAfterFileAndLine)
{
    struct Case
    {
        std::string expected;
        bool (*call)();
    };
    const Case cases[] = {
        {"File: Utility/Archive\nLine: 12\n\ndelete not implemented yet!",
         [] { return Assert("Utility/Archive", 12, "%s not implemented yet!", "delete"); }},
        {"File: F\nLine: -1\n\n100% of 3 and 'x'",
         [] { return Assert("F", -1, "100%% of %u and '%c'", 3u, 'x'); }},
        {"File: Long\nLine: 1\n\n" + std::string(2000, 'a'),
         [] { return Assert("Long", 1, "%s", std::string(2000, 'a').c_str()); }},
    };
    for (const Case& c : cases)
    {
        LogCapture::Get().Clear();
        EXPECT_FALSE(c.call());
        const std::vector<LogCapture::Line> lines = LogCapture::Get().Lines();
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_EQ(lines[0].text, "*** ASSERT:\n" + c.expected + "\n*******");
    }
}

TEST_F(AssertTest, MacroPassesTheCallersLine)
{
    const int line = __LINE__ + 1;
    BRIVET_ASSERT("Graphics/RenderTargetPool", "Trying to release render target that's not in the pool!");
    const std::vector<LogCapture::Line> lines = LogCapture::Get().Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].text, "*** ASSERT:\nFile: Graphics/RenderTargetPool\nLine: " + std::to_string(line) +
                                 "\n\nTrying to release render target that's not in the pool!\n*******");
}
} // namespace
