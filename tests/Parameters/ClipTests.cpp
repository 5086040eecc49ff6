// Clip window, key removal, joining and the bubble sort of keys.
#include "Parameters/Clip.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

using namespace Brivet::Parameters;

namespace {

using FloatClip = Clip<float>;

// Key times and values, in array order.
std::vector<float> Times(const FloatClip& clip)
{
    std::vector<float> times;
    for (const FloatClip::Key& key : clip.GetKeys())
        times.push_back(key.time);
    return times;
}

std::vector<float> Values(const FloatClip& clip)
{
    std::vector<float> values;
    for (const FloatClip::Key& key : clip.GetKeys())
        values.push_back(key.value);
    return values;
}

} // namespace

TEST(Clip, StartMovesTheEndAndEndChangesOnlyTheLength)
{
    FloatClip clip;
    EXPECT_EQ(clip.GetStart(), 0.0f);
    EXPECT_EQ(clip.GetLength(), 1.0f);
    EXPECT_TRUE(clip.GetKeys().GetCount() == 0);

    clip.SetStart(2.0f);
    clip.SetLength(3.0f);
    clip.SetStart(5.0f);
    EXPECT_EQ(clip.GetLength(), 3.0f);
    EXPECT_EQ(clip.GetEnd(), 8.0f);
    clip.SetEnd(4.0f);
    EXPECT_EQ(clip.GetStart(), 5.0f);
    EXPECT_EQ(clip.GetLength(), -1.0f); // nothing keeps the length positive
}

TEST(Clip, RemoveKeyKeepsOrderAndDropsTheLastForAnyIndexPastIt)
{
    struct Case { uint32_t index; std::vector<float> left; };
    const Case cases[] = {
        { 0, { 20, 30 } },
        { 1, { 10, 30 } },
        { 2, { 10, 20 } },
        { 3, { 10, 20 } },
        { 0xFFFFFFFF, { 10, 20 } },
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.index);
        FloatClip clip;
        clip.AddKey(0.0f, 10.0f, Interpolation::Linear, 1.0f);
        clip.AddKey(1.0f, 20.0f, Interpolation::Linear, 1.0f);
        clip.AddKey(2.0f, 30.0f, Interpolation::Linear, 1.0f);
        clip.RemoveKey(c.index);
        EXPECT_EQ(Values(clip), c.left);
    }

    FloatClip empty;
    empty.RemoveKey(0);
    empty.RemoveKey(5);
    EXPECT_EQ(empty.GetKeys().GetCount(), 0u);
}

TEST(Clip, SortKeysSwapsEqualTimesOnEveryPassThatReachesThem)
{
    struct Case { std::vector<float> times; std::vector<float> sortedValues; };
    // Values name the keys by their place before the sort: 0 = A, 1 = B, ...
    const Case cases[] = {
        { { 2, 1, 1 }, { 2, 1, 0 } },       // A, B, C -> C, B, A
        { { 1, 1 }, { 1, 0 } },             // one pass swaps, the pass k = n ends it
        { { 5, 5, 5 }, { 2, 1, 0 } },       // pass 1: B C A, pass 2: C B A, pass 3 compares nothing
        { { 0, 1, 2 }, { 0, 1, 2 } },
        { { 3, 2, 1, 0 }, { 3, 2, 1, 0 } },
        { { 7 }, { 0 } },
    };
    for (const Case& c : cases)
    {
        FloatClip clip;
        for (size_t i = 0; i < c.times.size(); ++i)
            clip.AddKey(c.times[i], float(i), Interpolation::Linear, 1.0f);
        clip.SortKeys();
        std::vector<float> sortedTimes = c.times;
        std::sort(sortedTimes.begin(), sortedTimes.end());
        EXPECT_EQ(Times(clip), sortedTimes);
        EXPECT_EQ(Values(clip), c.sortedValues);
    }
}

TEST(Clip, SortMovesWholeKeys)
{
    FloatClip clip;
    clip.AddKey(1.0f, 10.0f, Interpolation::SpeedUp, 3.0f);
    clip.AddKey(0.0f, 20.0f, Interpolation::SmoothStep, 2.0f);
    clip.SortKeys();
    const FloatClip::Key& first = clip.GetKeys()[0];
    EXPECT_EQ(first.time, 0.0f);
    EXPECT_EQ(first.value, 20.0f);
    EXPECT_EQ(first.interpolation, Interpolation::SmoothStep);
    EXPECT_EQ(first.factor, 2.0f);
}

TEST(Clip, AppendHoldsTheJoinRebasesAndResetsFactors)
{
    FloatClip early;
    early.SetStart(1.0f);
    early.SetLength(2.0f);
    early.AddKey(0.0f, 1.0f, Interpolation::Linear, 1.0f);
    early.AddKey(2.0f, 2.0f, Interpolation::SmoothStep, 4.0f);

    FloatClip late;
    late.SetStart(4.0f);
    late.SetLength(2.0f);
    late.AddKey(0.0f, 3.0f, Interpolation::SpeedUp, 5.0f);
    late.AddKey(1.0f, 4.0f, Interpolation::SlowDown, 6.0f);

    early.Append(&late);
    EXPECT_EQ(early.GetStart(), 1.0f);
    EXPECT_EQ(early.GetLength(), 5.0f);
    EXPECT_EQ(Times(early), (std::vector<float>{ 0, 2, 3, 4 }));
    EXPECT_EQ(Values(early), (std::vector<float>{ 1, 2, 3, 4 }));

    const auto& keys = early.GetKeys();
    EXPECT_EQ(keys[1].interpolation, Interpolation::Hold);
    EXPECT_EQ(keys[1].factor, 4.0f); // only the appended keys lose their factor
    EXPECT_EQ(keys[2].interpolation, Interpolation::SpeedUp);
    EXPECT_EQ(keys[3].interpolation, Interpolation::SlowDown);
    EXPECT_EQ(keys[2].factor, 1.0f);
    EXPECT_EQ(keys[3].factor, 1.0f);

    // The other clip is left as it was.
    EXPECT_EQ(late.GetStart(), 4.0f);
    EXPECT_EQ(late.GetKeys()[0].factor, 5.0f);
}

TEST(Clip, AppendOfAnEarlierEndingClipShortensAndKeysMayGoNegative)
{
    FloatClip clip;
    clip.SetStart(3.0f);
    clip.SetLength(4.0f);
    FloatClip other;
    other.SetStart(1.0f);
    other.SetLength(1.0f);
    other.AddKey(0.5f, 9.0f, Interpolation::Linear, 2.0f);

    clip.Append(&other);
    EXPECT_EQ(clip.GetLength(), -1.0f);
    EXPECT_EQ(Times(clip), (std::vector<float>{ -1.5f }));
}

TEST(Clip, CopyIsDeep)
{
    Clip<Brivet::Base::String> clip;
    clip.SetStart(2.0f);
    clip.AddKey(0.0f, Brivet::Base::String("one"), Interpolation::Hold, 1.0f);

    Clip<Brivet::Base::String> copy = clip;
    clip.AddKey(1.0f, Brivet::Base::String("two"), Interpolation::Hold, 1.0f);
    clip.RemoveKey(0);

    ASSERT_EQ(copy.GetKeys().GetCount(), 1u);
    EXPECT_STREQ(copy.GetKeys()[0].value.GetText(), "one");
    EXPECT_EQ(copy.GetStart(), 2.0f);

    copy = clip;
    ASSERT_EQ(copy.GetKeys().GetCount(), 1u);
    EXPECT_STREQ(copy.GetKeys()[0].value.GetText(), "two");
}
