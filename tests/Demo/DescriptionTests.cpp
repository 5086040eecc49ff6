// Reading "brivet.xml": the archive and parse failures, the sections, the preheat
// times, the demo length over the clips and the node count behind the loading bar.
#include "DemoDescription.h"
#include "Utility/XML/Document.h"

#include "LogCapture.h"
#include "MemoryArchive.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace Brivet;
using Base::String;
using Utility::XML::Document;
using Utility::XML::Node;

namespace
{
std::vector<std::string> Errors()
{
    std::vector<std::string> texts;
    for (const LogCapture::Line& line : LogCapture::Get().Lines(Utility::Log::LevelError))
        texts.push_back(line.text);
    return texts;
}

Audio::Renderer::Clip MakeClip(float position, float duration)
{
    Audio::Renderer::Clip clip;
    clip.position = position;
    clip.duration = duration;
    return clip;
}
} // namespace

TEST(DemoDescription, LoadXmlReportsEachWayTheEntryCanFail)
{
    struct Case
    {
        const char* what;
        bool present, sizeMissing, readFails;
        const char* text;
        const char* error;
    } cases[] = {
        { "missing", false, false, false, "", "[demo] brivet.xml not found" },
        { "no size", true, true, false, "<brivet/>", "[demo] Unable to find size for brivet.xml" },
        { "unreadable", true, false, true, "<brivet/>", "[demo] Unable to read brivet.xml" },
        { "not XML", true, false, false, "this is not XML", "[demo] Failed to parse brivet.xml" },
        { "empty", true, false, false, "", "[demo] Failed to parse brivet.xml" },
        { "unclosed", true, false, false, "<brivet><properties>", "[demo] Failed to parse brivet.xml" },
    };
    for (const Case& c : cases)
    {
        MemoryArchive archive;
        if (c.present)
            archive.entries["brivet.xml"] = c.text;
        archive.sizeMissing = c.sizeMissing;
        archive.readFails = c.readFails;
        LogCapture::Get().Clear();
        Document document;
        EXPECT_FALSE(Description::LoadXml(&archive, document)) << c.what;
        EXPECT_EQ(Errors(), std::vector<std::string>{ c.error }) << c.what;
    }
}

TEST(DemoDescription, ParsesOnlyTheEntrysSizeAndReadsProperties)
{
    // Bytes beyond the reported size are not part of the text.
    MemoryArchive archive;
    const std::string text = "<brivet><properties name='Caf\xc3\xa9'/></brivet>";
    archive.entries["brivet.xml"] = text + "<trailing garbage";
    archive.size = static_cast<uint32_t>(text.size());
    Document document;
    LogCapture::Get().Clear();
    ASSERT_TRUE(Description::LoadXml(&archive, document));
    EXPECT_TRUE(Errors().empty());

    String name("kept"), shader("kept too");
    Description::ReadProperties(Description::GetSection(document, "properties"), name, shader);
    EXPECT_STREQ(name.GetText(), "Caf\xc3\xa9"); // UTF-8 bytes as they are
    EXPECT_STREQ(shader.GetText(), "kept too");  // absent: left as it was
}

TEST(DemoDescription, SectionsComeFromTheFirstBrivetRootOnly)
{
    Document document;
    ASSERT_TRUE(document.Load("<other><properties name='wrong'/></other>"));
    EXPECT_FALSE(Description::GetSection(document, "properties").GetHandle());

    ASSERT_TRUE(document.Load("<brivet><Properties name='case'/><properties name='right'/></brivet>"));
    String name, shader;
    Description::ReadProperties(Description::GetSection(document, "properties"), name, shader);
    EXPECT_STREQ(name.GetText(), "right");
    EXPECT_FALSE(Description::GetSection(document, "audio").GetHandle());
}

TEST(DemoDescription, PreheatTimesInOrderAndZeroForAMarkerWithoutNumber)
{
    Document document;
    ASSERT_TRUE(document.Load(R"(<brivet><preheat>
        <marker>1</marker><marker> 2.5 </marker><other>7</other><marker>4</marker>
        <marker/><marker>soon</marker><marker>3e-1s</marker>
    </preheat></brivet>)"));
    Base::Array<float> times;
    times.Add(99.0f); // emptied first
    Description::LoadPreheatTimes(Description::GetSection(document, "preheat"), times);
    const float expected[] = { 1.0f, 2.5f, 4.0f, 0.0f, 0.0f, 0.3f };
    ASSERT_EQ(times.GetCount(), 6u);
    for (uint32_t i = 0; i < 6; i++)
        EXPECT_FLOAT_EQ(times[i], expected[i]) << i;

    // A missing section: no preheat times.
    Description::LoadPreheatTimes(Description::GetSection(document, "nothing"), times);
    EXPECT_EQ(times.GetCount(), 0u);
}

// Each marker renders every graph at start-up: a description of a million markers would
// freeze it. The first ones are kept, the rest dropped with one warning.
TEST(DemoDescription, PreheatTimesStopAtTheirLimit)
{
    std::string text = "<brivet><preheat>";
    for (uint32_t i = 0; i < 100000; ++i)
        text += "<marker>" + std::to_string(i) + "</marker>";
    text += "</preheat></brivet>";
    Document document;
    ASSERT_TRUE(document.Load(text.c_str()));
    LogCapture::Get().Clear();
    Base::Array<float> times;
    Description::LoadPreheatTimes(Description::GetSection(document, "preheat"), times);
    ASSERT_EQ(times.GetCount(), Description::MaxPreheatTimes);
    EXPECT_FLOAT_EQ(times[Description::MaxPreheatTimes - 1], float(Description::MaxPreheatTimes - 1));
    const auto warnings = LogCapture::Get().Lines(Brivet::Utility::Log::LevelWarning);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_EQ(warnings[0].text, "[demo] " + std::to_string(100000 - Description::MaxPreheatTimes) +
                                    " preheat markers past the first 64 dropped");
}

TEST(DemoDescription, LengthIsTheLatestClipEndOrSixtySeconds)
{
    Base::Array<Audio::Renderer::Clip> clips;
    EXPECT_FLOAT_EQ(Description::GetLength(clips), 60.0f);

    clips.Add(MakeClip(0.0f, 40.0f));
    clips.Add(MakeClip(30.0f, 20.0f));
    EXPECT_FLOAT_EQ(Description::GetLength(clips), 50.0f);

    clips.Add(MakeClip(2.0f, 1.0f)); // an earlier end changes nothing
    EXPECT_FLOAT_EQ(Description::GetLength(clips), 50.0f);

    // Clips that end before 0 give 0, not a negative length.
    Base::Array<Audio::Renderer::Clip> early;
    early.Add(MakeClip(-5.0f, 2.0f));
    EXPECT_FLOAT_EQ(Description::GetLength(early), 0.0f);
}

TEST(DemoDescription, NodeCountCoversTheNodesOfEveryGraph)
{
    // Graphs of 4 and 6 nodes; nodes outside a graph and nested deeper do not count.
    Document document;
    ASSERT_TRUE(document.Load(R"(<brivet><compositing>
        <graph><node/><node/><connection/><node/><node><node/></node></graph>
        <node/>
        <graph><node/><node/><node/><node/><node/><node/></graph>
        <graph/>
    </compositing></brivet>)"));
    EXPECT_EQ(Description::CountNodes(Description::GetSection(document, "compositing")), 10u);
    EXPECT_EQ(Description::CountNodes(Description::GetSection(document, "missing")), 0u);
}
