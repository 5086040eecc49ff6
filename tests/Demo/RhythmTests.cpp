// The "rhythm" section: tempo changes with carried-over attributes, markers, the default.
#include "Audio/Rhythm.h"
#include "Utility/XML/Document.h"
#include "Utility/XML/Node.h"

#include <gtest/gtest.h>

using Brivet::Audio::Rhythm;
using Brivet::Utility::XML::Document;
using Brivet::Utility::XML::Node;

namespace
{
// Loads the root element of xml into a rhythm that first held something else.
Rhythm LoadRhythm(const char* xml)
{
    Document document;
    EXPECT_TRUE(document.Load(xml));
    Rhythm rhythm;
    rhythm.changes.Add(Rhythm::Change{ 9.0f, 9, 9, 9 });
    rhythm.markers.Add(9.0f);
    EXPECT_TRUE(rhythm.Load(Node(document.GetHandle()->first_child(), &document)));
    return rhythm;
}

void ExpectChange(const Rhythm::Change& change, float time, uint32_t numerator, uint32_t denominator, uint32_t bpm)
{
    EXPECT_FLOAT_EQ(change.time, time);
    EXPECT_EQ(change.numerator, numerator);
    EXPECT_EQ(change.denominator, denominator);
    EXPECT_EQ(change.bpm, bpm);
}
} // namespace

TEST(Rhythm, StartsWithTheDefaultChange)
{
    Rhythm rhythm;
    ASSERT_EQ(rhythm.changes.GetCount(), 1u);
    ExpectChange(rhythm.changes[0], 0.0f, 4, 4, 120);
    EXPECT_EQ(rhythm.markers.GetCount(), 0u);
}

TEST(Rhythm, ReadsSignaturesAndCarriesMissingAttributesOver)
{
    Rhythm rhythm = LoadRhythm(R"(<rhythm>
        <change time="0" bpm="140" signature="3/4"/>
        <change time="12.5" signature="NONE"/>
        <change bpm="90" signature="none"/>
        <change time="20" signature="7/8"/>
        <change time="30"/>
    </rhythm>)");
    ASSERT_EQ(rhythm.changes.GetCount(), 5u);
    ExpectChange(rhythm.changes[0], 0.0f, 3, 4, 140);
    ExpectChange(rhythm.changes[1], 12.5f, 0, 0, 140); // no bpm: the first change's
    ExpectChange(rhythm.changes[2], 12.5f, 0, 0, 90);  // no time: the previous one's
    ExpectChange(rhythm.changes[3], 20.0f, 7, 8, 90);
    ExpectChange(rhythm.changes[4], 30.0f, 7, 8, 90);  // no signature: the previous one's
}

TEST(Rhythm, FirstChangeStartsFromTheDefault)
{
    Rhythm rhythm = LoadRhythm(R"(<rhythm><change time="4"/><change bpm="100" signature="5/x"/></rhythm>)");
    ASSERT_EQ(rhythm.changes.GetCount(), 2u);
    ExpectChange(rhythm.changes[0], 4.0f, 4, 4, 120);
    ExpectChange(rhythm.changes[1], 4.0f, 5, 4, 100); // "5/x": only the numerator scans
}

TEST(Rhythm, WithoutChangesHoldsExactlyTheDefault)
{
    for (const char* xml : { "<rhythm/>", "<rhythm><marker time='2'/><tempo bpm='99'/></rhythm>" })
    {
        Rhythm rhythm = LoadRhythm(xml);
        ASSERT_EQ(rhythm.changes.GetCount(), 1u) << xml;
        ExpectChange(rhythm.changes[0], 0.0f, 4, 4, 120);
    }

    // A missing section (null element) is the same.
    Rhythm rhythm;
    EXPECT_TRUE(rhythm.Load(Node()));
    ASSERT_EQ(rhythm.changes.GetCount(), 1u);
    ExpectChange(rhythm.changes[0], 0.0f, 4, 4, 120);
}

TEST(Rhythm, MarkersDefaultToZero)
{
    Rhythm rhythm = LoadRhythm(R"(<rhythm><marker time="1.5"/><marker/><marker time="abc"/><marker time="8"/></rhythm>)");
    ASSERT_EQ(rhythm.markers.GetCount(), 4u);
    EXPECT_FLOAT_EQ(rhythm.markers[0], 1.5f);
    EXPECT_FLOAT_EQ(rhythm.markers[1], 0.0f);
    EXPECT_FLOAT_EQ(rhythm.markers[2], 0.0f);
    EXPECT_FLOAT_EQ(rhythm.markers[3], 8.0f);
}
