// Spline evaluation by clips and keys, key setting and the clip list.
#include "Parameters/Spline.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using namespace Brivet::Parameters;
using Brivet::Base::String;

namespace {

// Clip (start 2, length 3) with keys (0, 10, first kind) and (2, 20).
Spline<float> MakeFloatSpline(Interpolation firstKind, float firstKeyTime = 0.0f)
{
    Spline<float> spline;
    spline.AddClip(2.0f, 3.0f);
    auto* clip = static_cast<Clip<float>*>(spline.GetClip(0));
    clip->AddKey(firstKeyTime, 10.0f, firstKind, 1.0f);
    clip->AddKey(2.0f, 20.0f, Interpolation::Linear, 1.0f);
    return spline;
}

template <typename T>
uint32_t ClipCount(Spline<T>& spline)
{
    uint32_t count = 0;
    while (spline.GetClip(count))
        ++count;
    return count;
}

template <typename T>
Clip<T>& ClipAt(Spline<T>& spline, uint32_t index)
{
    return *static_cast<Clip<T>*>(spline.GetClip(index));
}

} // namespace

TEST(Spline, FloatClipTable)
{
    struct Case { Interpolation firstKind; float firstKeyTime; float time; float value; bool animated; };
    const Case cases[] = {
        { Interpolation::Linear, 0.0f, 1.9f, 0.0f, false },   // before the clip
        { Interpolation::Linear, 0.0f, 2.0f, 10.0f, true },
        { Interpolation::Linear, 0.0f, 3.0f, 15.0f, true },
        { Interpolation::Linear, 0.0f, 4.0f, 20.0f, true },   // at the last key
        { Interpolation::Linear, 0.0f, 5.0f, 20.0f, true },   // the end is inclusive
        { Interpolation::Linear, 0.0f, 5.01f, 0.0f, false },  // after the clip: zero, not the last key
        { Interpolation::SmoothStep, 0.0f, 2.5f, 11.5625f, true }, // f = 0.25, e = 5/32
        { Interpolation::Hold, 0.0f, 3.5f, 10.0f, true },
        { Interpolation::Linear, 1.0f, 2.0f, 10.0f, true },   // before the first key: its value
        { Interpolation::Linear, 1.0f, 3.5f, 15.0f, true },
        { Interpolation::Linear, 0.0f, NAN, 0.0f, false },
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message() << "time " << c.time << " kind " << uint32_t(c.firstKind) << " first key " << c.firstKeyTime);
        Spline<float> spline = MakeFloatSpline(c.firstKind, c.firstKeyTime);
        EXPECT_EQ(spline.GetValue(c.time), c.value);
        EXPECT_EQ(spline.IsAnimatedAt(c.time), c.animated);
    }
}

TEST(Spline, VectorsEaseAllComponentsByOneFraction)
{
    Spline<D3DXVECTOR3> spline;
    spline.AddClip(0.0f, 4.0f);
    auto& clip = ClipAt(spline, 0);
    clip.AddKey(0.0f, D3DXVECTOR3(0.0f, 10.0f, -4.0f), Interpolation::SpeedUp, 2.0f);
    clip.AddKey(2.0f, D3DXVECTOR3(8.0f, 10.0f, 4.0f), Interpolation::Linear, 1.0f);

    const D3DXVECTOR3 v = spline.GetValue(1.0f); // f = 0.5, e = 0.25
    EXPECT_EQ(v.x, 2.0f);
    EXPECT_EQ(v.y, 10.0f);
    EXPECT_EQ(v.z, -2.0f);

    const D3DXVECTOR3 outside = spline.GetValue(5.0f);
    EXPECT_EQ(outside.x, 0.0f);
    EXPECT_EQ(outside.y, 0.0f);
    EXPECT_EQ(outside.z, 0.0f);
}

TEST(Spline, SteppingTypesHoldKeyJWhateverTheKind)
{
    Spline<int> ints;
    ints.AddClip(3.0f, 2.0f);
    ClipAt(ints, 0).AddKey(0.0f, 1, Interpolation::Linear, 1.0f);
    ClipAt(ints, 0).AddKey(1.0f, 5, Interpolation::Linear, 1.0f);
    EXPECT_EQ(ints.GetValue(3.5f), 1);
    EXPECT_EQ(ints.GetValue(3.999f), 1);
    EXPECT_EQ(ints.GetValue(4.0f), 5);
    EXPECT_EQ(ints.GetValue(6.0f), 0);

    Spline<String> texts;
    texts.AddClip(0.0f, 2.0f);
    ClipAt(texts, 0).AddKey(0.0f, String("first"), Interpolation::SmoothStep, 1.0f);
    ClipAt(texts, 0).AddKey(1.0f, String("second"), Interpolation::Linear, 1.0f);
    EXPECT_STREQ(texts.GetValue(0.9f).GetText(), "first");
    EXPECT_STREQ(texts.GetValue(1.5f).GetText(), "second");
    const String outside = texts.GetValue(3.0f);
    EXPECT_EQ(outside.GetLength(), 0u);
    EXPECT_EQ(outside.GetHash(), Brivet::Base::NameHashOffsetBasis); // the empty text

    Spline<bool> flags;
    flags.AddClip(0.0f, 1.0f);
    ClipAt(flags, 0).AddKey(0.0f, true, Interpolation::Linear, 1.0f);
    EXPECT_TRUE(flags.GetValue(0.5f));
    EXPECT_FALSE(flags.GetValue(1.5f));
}

TEST(Spline, TouchingClipsGiveTheSeamToTheFirstInArrayOrder)
{
    Spline<float> spline;
    spline.AddClip(0.0f, 2.0f);
    spline.AddClip(2.0f, 2.0f);
    ClipAt(spline, 0).AddKey(0.0f, 1.0f, Interpolation::Linear, 1.0f);
    ClipAt(spline, 1).AddKey(0.0f, 7.0f, Interpolation::Linear, 1.0f);
    EXPECT_EQ(spline.GetValue(2.0f), 1.0f);
    EXPECT_EQ(spline.GetValue(2.001f), 7.0f);
}

TEST(Spline, CoveringClipWithoutKeysIsZeroYetAnimated)
{
    Spline<float> spline;
    EXPECT_EQ(spline.GetValue(0.0f), 0.0f);
    EXPECT_FALSE(spline.IsAnimatedAt(0.0f));
    EXPECT_FALSE(spline.SetValue(0.0f, 1.0f, 0.1f));
    EXPECT_EQ(ClipCount(spline), 0u);

    spline.AddClip(1.0f, 1.0f);
    EXPECT_EQ(spline.GetValue(1.5f), 0.0f);
    EXPECT_TRUE(spline.IsAnimatedAt(1.5f));
    EXPECT_FALSE(spline.IsAnimatedAt(2.5f));
}

TEST(Spline, ArrayOrderGovernsEvaluationUntilSorted)
{
    // B (start 4) before A (start 0), as a description may list them.
    Spline<float> spline;
    spline.AddClip(4.0f, 1.0f);
    spline.DuplicateClip(0, nullptr);
    ClipAt(spline, 0).AddKey(0.0f, 4.0f, Interpolation::Linear, 1.0f);
    ClipAt(spline, 1).SetStart(0.0f);
    ClipAt(spline, 1).SetLength(2.0f);
    ClipAt(spline, 1).AddKey(0.0f, 1.0f, Interpolation::Linear, 1.0f);

    EXPECT_EQ(spline.GetValue(1.0f), 0.0f);
    EXPECT_FALSE(spline.IsAnimatedAt(1.0f));
    EXPECT_TRUE(spline.SetValue(1.0f, 3.0f, 0.0f)); // SetValue has no quick rejects
    EXPECT_EQ(ClipAt(spline, 1).GetKeys().GetCount(), 2u);

    spline.SortClips();
    EXPECT_EQ(ClipAt(spline, 0).GetStart(), 0.0f);
    EXPECT_EQ(spline.GetValue(1.0f), 3.0f);
    EXPECT_TRUE(spline.IsAnimatedAt(1.0f));
    EXPECT_EQ(spline.GetValue(4.5f), 4.0f);
}

TEST(Spline, SetValueToleranceIsStrict)
{
    struct Case { float time; float tolerance; bool replaced; };
    const Case cases[] = {
        { 2.125f, 0.25f, true },   // 0.125 from the key at local 0
        { 1.875f, 0.25f, false },  // before the clip: nothing covers the time, nothing changes
        { 2.25f, 0.25f, false },   // exactly the tolerance away: a new key
        { 2.0f, 0.0f, false },     // a tolerance of 0 never matches
        { 2.0f, -1.0f, false },
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message() << "time " << c.time << " tolerance " << c.tolerance);
        Spline<float> spline;
        spline.AddClip(2.0f, 3.0f);
        ClipAt(spline, 0).AddKey(0.0f, 10.0f, Interpolation::SmoothStep, 3.0f);
        ClipAt(spline, 0).AddKey(2.0f, 20.0f, Interpolation::Linear, 1.0f);
        const bool covered = c.time >= 2.0f;
        EXPECT_EQ(spline.SetValue(c.time, 99.0f, c.tolerance), covered);

        const auto& keys = ClipAt(spline, 0).GetKeys();
        if (!covered)
        {
            EXPECT_EQ(keys.GetCount(), 2u);
            continue;
        }
        if (c.replaced)
        {
            ASSERT_EQ(keys.GetCount(), 2u);
            EXPECT_EQ(keys[0].time, 0.0f);
            EXPECT_EQ(keys[0].value, 99.0f);
            EXPECT_EQ(keys[0].interpolation, Interpolation::SmoothStep);
            EXPECT_EQ(keys[0].factor, 3.0f);
            continue;
        }
        // Appended as a Linear key with factor 1 and sorted into place.
        ASSERT_EQ(keys.GetCount(), 3u);
        const float local = c.time - 2.0f;
        const uint32_t at = local > 0.0f ? 1 : 0;
        EXPECT_EQ(keys[at].time, local);
        EXPECT_EQ(keys[at].value, 99.0f);
        EXPECT_EQ(keys[at].interpolation, Interpolation::Linear);
        EXPECT_EQ(keys[at].factor, 1.0f);
        EXPECT_EQ(keys[2].time, 2.0f);
    }
}

TEST(Spline, MergeClipsKeepsTheEarlierInArrayWhateverTheArgumentOrder)
{
    Spline<float> spline;
    spline.AddClip(0.0f, 1.0f);
    spline.AddClip(3.0f, 2.0f);
    ClipAt(spline, 0).AddKey(0.0f, 1.0f, Interpolation::SmoothStep, 1.0f);
    ClipAt(spline, 1).AddKey(0.5f, 2.0f, Interpolation::Linear, 3.0f);

    IClip* a = spline.GetClip(0);
    IClip* b = spline.GetClip(1);
    spline.MergeClips(b, a);

    ASSERT_EQ(ClipCount(spline), 1u);
    const Clip<float>& merged = ClipAt(spline, 0);
    EXPECT_EQ(merged.GetStart(), 0.0f);
    EXPECT_EQ(merged.GetEnd(), 5.0f);
    ASSERT_EQ(merged.GetKeys().GetCount(), 2u);
    EXPECT_EQ(merged.GetKeys()[0].interpolation, Interpolation::Hold);
    EXPECT_EQ(merged.GetKeys()[1].time, 3.5f);
    EXPECT_EQ(merged.GetKeys()[1].factor, 1.0f);

    // Clips that are not in the spline, or the same clip twice, change nothing.
    Clip<float> stranger;
    spline.MergeClips(spline.GetClip(0), &stranger);
    spline.MergeClips(&stranger, spline.GetClip(0));
    spline.MergeClips(spline.GetClip(0), spline.GetClip(0));
    spline.MergeClips(nullptr, nullptr);
    EXPECT_EQ(ClipCount(spline), 1u);
    EXPECT_EQ(spline.IndexOfClip(&stranger), 0xFFFFFFFFu);
}

TEST(Spline, AddClipSortsAndEqualStartsTradePlaces)
{
    Spline<float> spline;
    spline.AddClip(5.0f, 1.0f);
    spline.AddClip(1.0f, 2.0f);
    spline.AddClip(3.0f, 3.0f);
    EXPECT_EQ(ClipAt(spline, 0).GetStart(), 1.0f);
    EXPECT_EQ(ClipAt(spline, 1).GetStart(), 3.0f);
    EXPECT_EQ(ClipAt(spline, 2).GetStart(), 5.0f);

    // Two clips with the same start swap whole (length and keys) on each sort.
    Spline<float> twins;
    twins.AddClip(0.0f, 1.0f);
    twins.AddClip(0.0f, 2.0f);
    EXPECT_EQ(ClipAt(twins, 0).GetLength(), 2.0f);
    twins.SortClips();
    EXPECT_EQ(ClipAt(twins, 0).GetLength(), 1.0f);
}

TEST(Spline, DuplicateClipCopiesEvenWhenTheArrayGrows)
{
    Spline<String> spline;
    for (int i = 0; i < 8; ++i)
        spline.AddClip(float(i), 1.0f);
    ClipAt(spline, 3).AddKey(0.25f, String("kept"), Interpolation::Hold, 2.0f);

    // The ninth clip moves the array: the copy must not read the old block.
    IClip* copy = nullptr;
    const uint32_t index = spline.DuplicateClip(3, &copy);
    EXPECT_EQ(index, 8u);
    ASSERT_EQ(copy, spline.GetClip(8));
    EXPECT_EQ(spline.IndexOfClip(copy), 8u);
    const Clip<String>& duplicate = ClipAt(spline, 8);
    EXPECT_EQ(duplicate.GetStart(), 3.0f);
    ASSERT_EQ(duplicate.GetKeys().GetCount(), 1u);
    EXPECT_STREQ(duplicate.GetKeys()[0].value.GetText(), "kept");
    EXPECT_EQ(duplicate.GetKeys()[0].factor, 2.0f);

    IClip* untouched = reinterpret_cast<IClip*>(0x1);
    EXPECT_EQ(spline.DuplicateClip(9, &untouched), 0xFFFFFFFFu);
    EXPECT_EQ(untouched, reinterpret_cast<IClip*>(0x1));
    EXPECT_EQ(spline.GetClip(9), nullptr);
    EXPECT_EQ(ClipCount(spline), 9u);
}

TEST(Spline, RemoveClipShiftsDownAndIsSafeWhenEmpty)
{
    Spline<float> spline;
    spline.RemoveClip(0);
    EXPECT_EQ(ClipCount(spline), 0u);

    for (int i = 0; i < 3; ++i)
        spline.AddClip(float(i), 1.0f);
    spline.RemoveClip(0);
    ASSERT_EQ(ClipCount(spline), 2u);
    EXPECT_EQ(ClipAt(spline, 0).GetStart(), 1.0f);
    EXPECT_EQ(ClipAt(spline, 1).GetStart(), 2.0f);
    spline.RemoveClip(7);
    ASSERT_EQ(ClipCount(spline), 1u);
    EXPECT_EQ(ClipAt(spline, 0).GetStart(), 1.0f);
}
