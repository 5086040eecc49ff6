// The G-buffer's description rules: the layers in order, the defaults with and without an
// element, a fixed size, depth formats, refused formats and sizes, and the written
// "gbuffer" element read back.
#include "repository/Resources/GBufferSettings.h"

#include "LogCapture.h"
#include "Utility/Log.h"
#include "Utility/XML/Document.h"
#include "Utility/XML/Node.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

using Brivet::Utility::Log;
using Brivet::Utility::XML::Document;
using Brivet::Utility::XML::Node;

namespace
{
constexpr uint32_t OutputWidth = 640;
constexpr uint32_t OutputHeight = 360;

struct Parsed
{
    bool ok;
    GBufferSettings settings;
};

// What creation does: the output size, then the node's element (a "resource" element
// holding xml).
Parsed FromResource(const std::string& xml)
{
    Document document;
    EXPECT_TRUE(document.Load(("<resource>" + xml + "</resource>").c_str())) << xml;
    const Node element(document.GetHandle()->document_element(), &document);
    Parsed parsed{false, {}};
    parsed.settings.width = OutputWidth;
    parsed.settings.height = OutputHeight;
    parsed.ok = parsed.settings.Parse(&element);
    return parsed;
}

std::vector<std::pair<std::string, uint32_t>> LayersOf(const GBufferSettings& settings)
{
    std::vector<std::pair<std::string, uint32_t>> layers;
    for (const GBufferSettings::Layer& layer : settings.layers)
        layers.emplace_back(layer.name.GetText(), layer.format);
    return layers;
}

std::vector<std::string> Texts(int32_t level)
{
    std::vector<std::string> texts;
    for (const LogCapture::Line& line : LogCapture::Get().Lines(level))
        texts.push_back(line.text);
    return texts;
}
} // namespace

TEST(GBufferSettings, DefaultsWithoutAnElementAndWithoutAGBufferChild)
{
    GBufferSettings none;
    ASSERT_TRUE(none.Parse(nullptr));
    EXPECT_EQ(LayersOf(none), (std::vector<std::pair<std::string, uint32_t>>{{"texDiffuse", 2}}));
    EXPECT_EQ(none.depthFormat, 45u);
    EXPECT_EQ(none.shadowMapSize, 1024u);
    EXPECT_EQ(none.shadowMapFormat, 16u);
    EXPECT_EQ(none.shadowCubeSize, 1024u);
    EXPECT_EQ(none.shadowCubeFormat, 16u);
    EXPECT_EQ(none.fixedSize, 0);

    const Parsed empty = FromResource("<rendertarget dimensions=\"8*8\"/>");
    ASSERT_TRUE(empty.ok);
    EXPECT_TRUE(empty.settings.layers.GetCount() == 0);
    EXPECT_EQ(empty.settings.depthFormat, 45u);
    EXPECT_EQ(empty.settings.width, OutputWidth);
    EXPECT_EQ(empty.settings.fixedSize, 0);
}

TEST(GBufferSettings, ReadsLayersInOrderWithSizesAndFormats)
{
    const Parsed parsed = FromResource(
        "<gbuffer depthFormat=\"D32_FLOAT\" shadowSize=\"512\" shadowFormat=\"R32_FLOAT\" shadowCubeSize=\"256\""
        " shadowCubeFormat=\"R32G32B32A32_FLOAT\">"
        "<layer name=\"texNormal\" format=\"R32G32B32A32_FLOAT\"/>"
        "<layer name=\"texDiffuse\" format=\"R8G8B8A8_UNORM\"/>"
        "<layer name=\"texVelocity\" format=\"R32G32_FLOAT\"/>"
        "</gbuffer>");
    ASSERT_TRUE(parsed.ok);
    const GBufferSettings& s = parsed.settings;
    EXPECT_EQ(LayersOf(s), (std::vector<std::pair<std::string, uint32_t>>{
                               {"texNormal", 2}, {"texDiffuse", 28}, {"texVelocity", 16}}));
    EXPECT_EQ(s.depthFormat, 40u);
    EXPECT_EQ(s.shadowMapSize, 512u);
    EXPECT_EQ(s.shadowMapFormat, 41u);
    EXPECT_EQ(s.shadowCubeSize, 256u);
    EXPECT_EQ(s.shadowCubeFormat, 2u);
}

TEST(GBufferSettings, DimensionsWithAStarFixTheSize)
{
    struct Case
    {
        const char* dimensions;
        uint8_t fixed;
        uint32_t width;
        uint32_t height;
    };
    const Case cases[] = {
        {"512*256", 1, 512, 256},
        {"512x256", 0, OutputWidth, OutputHeight}, // no "*": ignored
        {"demo/2", 0, OutputWidth, OutputHeight},
        {"100*abc", 1, 100, OutputHeight}, // the field that does not parse keeps its value
    };
    for (const Case& c : cases)
    {
        const Parsed parsed = FromResource(std::string("<gbuffer dimensions=\"") + c.dimensions + "\"/>");
        ASSERT_TRUE(parsed.ok) << c.dimensions;
        EXPECT_EQ(parsed.settings.fixedSize, c.fixed) << c.dimensions;
        EXPECT_EQ(parsed.settings.width, c.width) << c.dimensions;
        EXPECT_EQ(parsed.settings.height, c.height) << c.dimensions;
    }
}

TEST(GBufferSettings, DepthFormatTakesOnlyDepthFormats)
{
    struct Case
    {
        const char* name;
        uint32_t format;
        bool warned;
    };
    const Case cases[] = {
        {"D24_UNORM_S8_UINT", 45, false},
        {"D16_UNORM", 55, false},
        {"", 0, false},              // none
        {"R8G8B8A8_UNORM", 0, true}, // a colour target used as a depth buffer would crash
        {"NOPE", 0, true},
        {"d32_float", 0, true}, // names are exact
    };
    for (const Case& c : cases)
    {
        LogCapture::Get().Clear();
        const Parsed parsed = FromResource(std::string("<gbuffer depthFormat=\"") + c.name + "\"/>");
        EXPECT_TRUE(parsed.ok) << c.name;
        EXPECT_EQ(parsed.settings.depthFormat, c.format) << c.name;
        const std::vector<std::string> warnings = Texts(Log::LevelWarning);
        EXPECT_EQ(warnings.size(), c.warned ? 1u : 0u) << c.name;
        if (c.warned && !warnings.empty())
        {
            EXPECT_EQ(warnings[0], std::string("[gbuffer] '") + c.name +
                                       "' is not a depth format; the G-buffer has no depth buffer");
        }
        EXPECT_TRUE(Texts(Log::LevelError).empty()) << c.name;
    }
}

TEST(GBufferSettings, FormatsAndSizesNoTargetCouldHaveFailWithAMessage)
{
    struct Case
    {
        const char* attributes;
        const char* layer;
        const char* error;
    };
    const Case cases[] = {
        {"", "<layer name=\"texA\" format=\"NOPE\"/>", "[gbuffer] Layer 'texA' has no colour format: 'NOPE'"},
        {"", "<layer name=\"texA\"/>", "[gbuffer] Layer 'texA' has no colour format: ''"},
        {"", "<layer name=\"texA\" format=\"D24_UNORM_S8_UINT\"/>",
         "[gbuffer] Layer 'texA' has no colour format: 'D24_UNORM_S8_UINT'"},
        {" shadowFormat=\"r32g32_float\"", "", "[gbuffer] \"shadowFormat\" is not a colour format: 'r32g32_float'"},
        {" shadowCubeFormat=\"D32_FLOAT\"", "", "[gbuffer] \"shadowCubeFormat\" is not a colour format: 'D32_FLOAT'"},
        {" shadowSize=\"0\"", "", "[gbuffer] \"shadowSize\" of 0: '0'"},
        {" shadowCubeSize=\"0\"", "", "[gbuffer] \"shadowCubeSize\" of 0: '0'"},
        {" dimensions=\"0*256\"", "", "[gbuffer] \"dimensions\" give no pixels: '0*256'"},
    };
    for (const Case& c : cases)
    {
        LogCapture::Get().Clear();
        const Parsed parsed =
            FromResource(std::string("<gbuffer") + c.attributes +
                         "><layer name=\"texFirst\" format=\"R8G8B8A8_UNORM\"/>" + c.layer + "</gbuffer>");
        EXPECT_FALSE(parsed.ok) << c.error;
        EXPECT_EQ(Texts(Log::LevelError), std::vector<std::string>{c.error});
    }
}

TEST(GBufferSettings, WrittenElementReadsBackTheSameSettings)
{
    const std::string descriptions[] = {
        "<gbuffer depthFormat=\"D16_UNORM\" shadowSize=\"512\" shadowFormat=\"R32_FLOAT\" shadowCubeSize=\"128\""
        " shadowCubeFormat=\"R8G8B8A8_UNORM\" dimensions=\"320*200\">"
        "<layer name=\"texDiffuse\" format=\"R8G8B8A8_UNORM\"/><layer name=\"texPosition\""
        " format=\"R32G32B32A32_FLOAT\"/></gbuffer>",
        "<gbuffer depthFormat=\"\"/>", // no depth buffer stays none, not the default
        "<gbuffer/>",
    };
    for (const std::string& xml : descriptions)
    {
        const Parsed first = FromResource(xml);
        ASSERT_TRUE(first.ok) << xml;

        Document document;
        ASSERT_TRUE(document.Load("<resource/>"));
        const Node element(document.GetHandle()->document_element(), &document);
        ASSERT_TRUE(first.settings.Write(element));
        ASSERT_TRUE(element.GetHandle().child("gbuffer")) << xml;

        GBufferSettings second;
        second.width = 1;
        second.height = 1;
        ASSERT_TRUE(second.Parse(&element)) << xml;
        EXPECT_EQ(LayersOf(second), LayersOf(first.settings)) << xml;
        EXPECT_EQ(second.depthFormat, first.settings.depthFormat) << xml;
        EXPECT_EQ(second.shadowMapSize, first.settings.shadowMapSize) << xml;
        EXPECT_EQ(second.shadowMapFormat, first.settings.shadowMapFormat) << xml;
        EXPECT_EQ(second.shadowCubeSize, first.settings.shadowCubeSize) << xml;
        EXPECT_EQ(second.shadowCubeFormat, first.settings.shadowCubeFormat) << xml;
        EXPECT_EQ(second.fixedSize, first.settings.fixedSize) << xml;
        if (first.settings.fixedSize)
        {
            EXPECT_EQ(second.width, first.settings.width);
            EXPECT_EQ(second.height, first.settings.height);
        }
    }
    EXPECT_FALSE(GBufferSettings().Write(Node()));
}
