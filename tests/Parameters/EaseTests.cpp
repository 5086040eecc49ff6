// Easing per interpolation kind and the interpolation name table.
#include "Parameters/Interpolation.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace Brivet::Parameters;

TEST(Ease, EveryKindAtAQuarterAndAHalf)
{
    struct Case
    {
        Interpolation kind;
        float factor;
        float atQuarter;
        float atHalf;
    };
    const Case cases[] = {
        {Interpolation::Hold, 2.0f, 0.0f, 0.0f},
        {Interpolation::Linear, 1.0f, 0.25f, 0.5f},
        {Interpolation::Linear, 3.0f, 0.25f, 0.5f}, // factor enters only SpeedUp and SlowDown
        {Interpolation::SpeedUp, 2.0f, 0.0625f, 0.25f},
        {Interpolation::SpeedUp, 1.0f, 0.25f, 0.5f},
        {Interpolation::SlowDown, 2.0f, 0.4375f, 0.75f},
        {Interpolation::SlowDown, 1.0f, 0.25f, 0.5f},
        {Interpolation::SmoothStep, 2.0f, 5.0f / 32.0f, 0.5f}, // ignores the factor
        {static_cast<Interpolation>(7), 1.0f, 0.0f, 0.0f},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message() << "kind " << uint32_t(c.kind) << " factor " << c.factor);
        EXPECT_FLOAT_EQ(Ease(0.25f, c.kind, c.factor), c.atQuarter);
        EXPECT_FLOAT_EQ(Ease(0.5f, c.kind, c.factor), c.atHalf);
    }
}

TEST(Ease, SpeedUpWithFactorZeroJumpsAtOnce)
{
    EXPECT_EQ(Ease(0.0f, Interpolation::SpeedUp, 0.0f), 1.0f);
    EXPECT_EQ(Ease(0.0f, Interpolation::SmoothStep, 1.0f), 0.0f);
}

TEST(InterpolationNames, TableOrderAndEnd)
{
    const char* names[] = {"hold", "linear", "speedup", "slowdown", "smoothstep"};
    for (uint32_t i = 0; i < 5; ++i)
    {
        EXPECT_STREQ(InterpolationNames[i].name, names[i]);
        EXPECT_EQ(uint32_t(InterpolationNames[i].kind), i);
    }
    EXPECT_EQ(InterpolationNames[5].name, nullptr);
}

TEST(InterpolationNames, LookupIgnoresCaseAndFallsBackToLinear)
{
    struct Case
    {
        const char* text;
        Interpolation kind;
    };
    const Case cases[] = {
        {"smoothstep", Interpolation::SmoothStep},
        {"SmoothStep", Interpolation::SmoothStep},
        {"HOLD", Interpolation::Hold},
        {"SlowDown", Interpolation::SlowDown},
        {"", Interpolation::Linear},
        {"cubic", Interpolation::Linear},
        {"hold ", Interpolation::Linear},
        {"holdx", Interpolation::Linear},
        {"hol", Interpolation::Linear},
        {nullptr, Interpolation::Linear},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.text ? c.text : "(null)");
        EXPECT_EQ(InterpolationFromName(c.text), c.kind);
    }
    EXPECT_STREQ(InterpolationToName(Interpolation::SpeedUp), "speedup");
    EXPECT_EQ(InterpolationToName(static_cast<Interpolation>(7)), nullptr);
}
