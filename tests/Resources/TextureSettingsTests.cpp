// The texture's description rules: size modes, format names, depth formats, the "srgb"
// load setting, the written "rendertarget" element and the DDS magic test.
#include "repository/Resources/TextureSettings.h"

#include "LogCapture.h"
#include "Utility/XML/Document.h"
#include "Utility/XML/Node.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

using Brivet::Utility::XML::Document;
using Brivet::Utility::XML::Node;

namespace
{
constexpr uint32_t OutputWidth = 1001; // odd: divisions truncate
constexpr uint32_t OutputHeight = 563;

Node Root(Document& document, const std::string& xml)
{
    EXPECT_TRUE(document.Load(xml.c_str())) << xml;
    return Node(document.GetHandle()->document_element(), &document);
}

// What CreateDynamic does: output size and defaults, the element, then the size.
TextureSettings FromElement(const std::string& xml, uint32_t width = OutputWidth, uint32_t height = OutputHeight)
{
    Document document;
    TextureSettings settings;
    settings.width = width;
    settings.height = height;
    settings.ParseRenderTarget(Root(document, xml));
    settings.UpdateSize(width, height);
    return settings;
}

std::string Attribute(const Node& element, const char* name)
{
    pugi::xml_attribute attribute = element.GetHandle().attribute(name);
    return attribute ? attribute.value() : "<absent>";
}
} // namespace

TEST(TextureSettings, DimensionsPickTheSizeMode)
{
    struct Case
    {
        const char* dimensions;
        uint32_t mode;
        uint32_t width;
        uint32_t height;
    };
    const Case cases[] = {
        {"demo", 0, 1001, 563},
        {"DEMO", 0, 1001, 563},
        {"demo2x", 1, 2002, 1126},
        {"Demo4X", 2, 4004, 2252},
        {"demo8x", 3, 8008, 4504},
        {"demo/2", 4, 500, 281},
        {"DEMO/4", 5, 250, 140},
        {"demo/4", 5, 250, 140},
        {"demo/8", 6, 125, 70},
        {"640*360", 7, 640, 360},
        {"12*abc", 7, 12, 563},     // the field that does not parse keeps its value
        {"*", 7, 1001, 563},        // neither field parses
        {"garbage", 0, 1001, 563},  // no name, no "*": the mode stays
        {"demo/3", 0, 1001, 563},
        {"", 0, 1001, 563},
    };
    for (const Case& c : cases)
    {
        const TextureSettings settings =
            FromElement(std::string("<rendertarget dimensions=\"") + c.dimensions + "\" format=\"R8G8B8A8_UNORM\"/>");
        EXPECT_EQ(settings.sizeMode, c.mode) << c.dimensions;
        EXPECT_EQ(settings.width, c.width) << c.dimensions;
        EXPECT_EQ(settings.height, c.height) << c.dimensions;
    }
}

TEST(TextureSettings, ResizeFollowsTheOutputExceptForAFixedSize)
{
    TextureSettings quarter = FromElement("<rendertarget dimensions=\"demo/4\"/>");
    quarter.UpdateSize(640, 360);
    EXPECT_EQ(quarter.width, 160u);
    EXPECT_EQ(quarter.height, 90u);

    TextureSettings fixed = FromElement("<rendertarget dimensions=\"640*360\"/>");
    fixed.UpdateSize(1920, 1080);
    EXPECT_EQ(fixed.width, 640u);
    EXPECT_EQ(fixed.height, 360u);

    // Without "dimensions" the texture is the output's size.
    TextureSettings plain = FromElement("<rendertarget/>");
    EXPECT_EQ(plain.sizeMode, 0u);
    plain.UpdateSize(800, 600);
    EXPECT_EQ(plain.width, 800u);
    EXPECT_EQ(plain.height, 600u);
}

TEST(TextureSettings, FormatsAreLookedUpByExactName)
{
    struct Case
    {
        const char* attributes;
        uint32_t format;
        uint32_t depthFormat;
    };
    const Case cases[] = {
        {"", 28, 0}, // absent: the R8G8B8A8_UNORM set before parsing, no depth
        {"format=\"R32G32B32A32_FLOAT\"", 2, 0},
        {"format=\"R8G8B8A8_UNORM_SRGB\"", 29, 0},
        {"format=\"r8g8b8a8_unorm\"", 0, 0}, // another case is another name
        {"format=\"R16G16_FLOAT\"", 0, 0},   // not in the table
        {"depthFormat=\"D24_UNORM_S8_UINT\"", 28, 45},
        {"depthFormat=\"D32_FLOAT\"", 28, 40},
        {"depthFormat=\"D16_UNORM\"", 28, 55},
        {"depthFormat=\"d24_unorm_s8_uint\"", 28, 0},
        {"depthFormat=\"\"", 28, 0},
    };
    for (const Case& c : cases)
    {
        const TextureSettings settings = FromElement(std::string("<rendertarget ") + c.attributes + "/>");
        EXPECT_EQ(settings.format, c.format) << c.attributes;
        EXPECT_EQ(settings.depthFormat, c.depthFormat) << c.attributes;
    }
}

TEST(TextureSettings, AColourFormatIsNoDepthFormat)
{
    LogCapture::Get().Clear();
    const TextureSettings settings = FromElement("<rendertarget depthFormat=\"R8G8B8A8_UNORM\"/>");
    EXPECT_EQ(settings.depthFormat, 0u);
    const auto warnings = LogCapture::Get().Lines(Brivet::Utility::Log::LevelWarning);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_EQ(warnings[0].text, "[texture] 'R8G8B8A8_UNORM' is not a depth format; the target has no depth");
}

TEST(TextureSettings, SrgbSetting)
{
    EXPECT_TRUE(TextureSettings::ReadSrgb(nullptr));

    struct Case
    {
        const char* element;
        bool srgb;
    };
    const Case cases[] = {
        {"<loadSettings/>", true},
        {"<loadSettings srgb=\"true\"/>", true},
        {"<loadSettings srgb=\"YES\"/>", true},
        {"<loadSettings srgb=\"1\"/>", true},
        {"<loadSettings srgb=\"True\"/>", true},
        {"<loadSettings srgb=\"No\"/>", false},
        {"<loadSettings srgb=\"0\"/>", false},
        {"<loadSettings srgb=\"false\"/>", false},
        {"<loadSettings srgb=\"\"/>", false},
        {"<loadSettings srgb=\"yess\"/>", false},
        {"<loadSettings SRGB=\"no\"/>", true}, // another attribute name: not read
    };
    for (const Case& c : cases)
    {
        Document document;
        const Node element = Root(document, c.element);
        EXPECT_EQ(TextureSettings::ReadSrgb(&element), c.srgb) << c.element;
    }
}

TEST(TextureSettings, WrittenElementReadsBackTheSame)
{
    const char* const elements[] = {
        "<rendertarget dimensions=\"demo/4\" format=\"R32G32B32A32_FLOAT\" depthFormat=\"D24_UNORM_S8_UINT\"/>",
        "<rendertarget dimensions=\"640*360\" format=\"R8G8B8A8_UNORM\"/>",
        "<rendertarget dimensions=\"DEMO8X\" format=\"R8G8B8A8_UNORM_SRGB\"/>",
    };
    for (const char* xml : elements)
    {
        const TextureSettings settings = FromElement(xml);
        Document out;
        const Node node = Root(out, "<node/>");
        ASSERT_TRUE(settings.WriteRenderTarget(node));
        const Node written(node.GetHandle().child("rendertarget"), &out);
        ASSERT_TRUE(written.GetHandle()) << xml;

        TextureSettings again;
        again.width = OutputWidth;
        again.height = OutputHeight;
        again.ParseRenderTarget(written);
        again.UpdateSize(OutputWidth, OutputHeight);
        EXPECT_EQ(again.sizeMode, settings.sizeMode) << xml;
        EXPECT_EQ(again.width, settings.width) << xml;
        EXPECT_EQ(again.height, settings.height) << xml;
        EXPECT_EQ(again.format, settings.format) << xml;
        EXPECT_EQ(again.depthFormat, settings.depthFormat) << xml;
    }
}

TEST(TextureSettings, WrittenAttributes)
{
    TextureSettings settings = FromElement("<rendertarget dimensions=\"Demo/2\" format=\"R32_FLOAT\"/>");
    Document out;
    const Node node = Root(out, "<node/>");
    ASSERT_TRUE(settings.WriteRenderTarget(node));
    const Node written(node.GetHandle().child("rendertarget"), &out);
    EXPECT_EQ(Attribute(written, "dimensions"), "demo/2"); // the mode's own name
    EXPECT_EQ(Attribute(written, "format"), "R32_FLOAT");
    EXPECT_EQ(Attribute(written, "depthFormat"), "<absent>"); // only with a depth format

    // A format without a name is written as its number.
    settings.format = 87;
    settings.sizeMode = TextureSettings::SizeFixed;
    settings.width = 300;
    settings.height = 200;
    Document other;
    const Node second = Root(other, "<node/>");
    ASSERT_TRUE(settings.WriteRenderTarget(second));
    const Node target(second.GetHandle().child("rendertarget"), &other);
    EXPECT_EQ(Attribute(target, "dimensions"), "300*200");
    EXPECT_EQ(Attribute(target, "format"), "87");

    EXPECT_FALSE(settings.WriteRenderTarget(Node()));
}

TEST(TextureSettings, DdsMagicNeedsFourBytes)
{
    // Exact-size heap blocks: reading past them is caught by the address sanitizer.
    auto block = [](const char* bytes, size_t size) {
        std::unique_ptr<char[]> copy(new char[size ? size : 1]);
        memcpy(copy.get(), bytes, size);
        return copy;
    };
    EXPECT_TRUE(IsDDSFile(block("DDS ", 4).get(), 4));
    EXPECT_TRUE(IsDDSFile(block("DDS |\0\0\0", 8).get(), 8));
    EXPECT_FALSE(IsDDSFile(block("DDS", 3).get(), 3));
    EXPECT_FALSE(IsDDSFile(block("", 0).get(), 0));
    EXPECT_FALSE(IsDDSFile(block("dds ", 4).get(), 4));
    EXPECT_FALSE(IsDDSFile(block("\x89PNG\r\n", 6).get(), 6));
    EXPECT_FALSE(IsDDSFile(nullptr, 16));
}
