// The output node's letterbox arithmetic on the host, under UBSan: the ratios that fit
// and the ones that give no picture (which the float-to-integer casts must never see).
#include "Compositing/NodeOutput.h"

#include <gtest/gtest.h>

using Brivet::Base::String;
using Brivet::Compositing::NodeOutput;

TEST(NodeOutputFit, RatiosFitTheScreenWithBars)
{
    struct Case
    {
        const char* ratio;
        uint32_t screenWidth, screenHeight;
        uint32_t width, height;
        float scaleX, scaleY;
    };
    const Case cases[] = {
        { "16:9", 1920, 1080, 1920, 1080, 1.0f, 1.0f },
        { "21:9", 1920, 1080, 1920, 822, 1.0f, 16.0f / 21.0f },
        { "4:3", 1920, 1080, 1440, 1080, 0.75f, 1.0f },
        { "16:9", 1366, 768, 1365, 768, (16.0f / 9.0f) / (1366.0f / 768.0f), 1.0f },
        { "2.35", 1920, 1080, 282, 1080, (2.35f / 9.0f) / (16.0f / 9.0f), 1.0f }, // 9 stays
        { "", 1920, 1080, 1920, 1080, 1.0f, 1.0f },
        { "wide", 1920, 1080, 1920, 1080, 1.0f, 1.0f },
        { "1000:1", 1920, 1080, 1920, 1, 1.0f, (16.0f / 9.0f) / 1000.0f },
    };
    for (const Case& test : cases)
    {
        SCOPED_TRACE(test.ratio);
        NodeOutput::Letterbox box;
        ASSERT_TRUE(NodeOutput::Fit(String(test.ratio), test.screenWidth, test.screenHeight, box));
        EXPECT_EQ(box.width, test.width);
        EXPECT_EQ(box.height, test.height);
        EXPECT_NEAR(box.scale[0], test.scaleX, 1e-5f);
        EXPECT_NEAR(box.scale[1], test.scaleY, 1e-5f);
    }
}

TEST(NodeOutputFit, RatiosWithoutAPictureAreRefused)
{
    for (const char* ratio : { "0:0", "nan", "nan:1", "-16:9", "16:-9", "1:0", "0:1", "inf:1", "1:inf", "1e-30:1",
                               "1e30:1", "1:100000", "100000:1" })
    {
        SCOPED_TRACE(ratio);
        NodeOutput::Letterbox box;
        EXPECT_FALSE(NodeOutput::Fit(String(ratio), 1920, 1080, box));
        EXPECT_EQ(box.width, 0u);
        EXPECT_EQ(box.height, 0u);
    }
    // Without a screen there is nothing to fit either.
    NodeOutput::Letterbox box;
    EXPECT_FALSE(NodeOutput::Fit(String("16:9"), 0, 0, box));
}
