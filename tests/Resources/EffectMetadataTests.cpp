// The metadata block of an effect file: finding and parsing it, variations, pass
// attributes and states, internal targets and samplers.
#include "repository/Resources/EffectMetadata.h"

#include "LogCapture.h"
#include "MemoryArchive.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using Brivet::Base::Array;
using Brivet::Base::String;
using Brivet::Utility::Log;
using Brivet::Utility::XML::Node;

namespace
{
std::vector<std::string> Lines(int32_t level)
{
    std::vector<std::string> texts;
    for (const LogCapture::Line& line : LogCapture::Get().Lines(level))
        texts.push_back(line.text);
    return texts;
}

// Parses text from a block of exactly its size (no terminator to lean on).
bool ParseExact(EffectMetadata& metadata, const std::string& text)
{
    std::vector<char> block(text.begin(), text.end());
    return metadata.Parse(block.data(), (uint32_t)block.size());
}

std::vector<std::string> Texts(const Array<String>& strings)
{
    std::vector<std::string> texts;
    for (const String& s : strings)
        texts.push_back(s.GetText());
    return texts;
}

// The first element named name inside a parsed "<metadata>" block.
class MetadataTest : public ::testing::Test
{
protected:
    void SetUp() override { LogCapture::Get().Clear(); }

    Node Load(const std::string& inner)
    {
        const std::string text = "/* <metadata>" + inner + "</metadata> */ float4 main() : SV_Target { return 0; }";
        EXPECT_TRUE(ParseExact(metadata, text)) << inner;
        return metadata.GetElement();
    }

    Node First(const std::string& inner, const char* name)
    {
        return Node(Load(inner).GetHandle().child(name), metadata.GetElement().GetDocument());
    }

    EffectMetadata::Pass ReadPass(const std::string& passElement)
    {
        EffectMetadata::Pass pass;
        EffectMetadata::ReadPass(First(passElement, "pass"), pass);
        return pass;
    }

    EffectMetadata metadata;
};
} // namespace

TEST_F(MetadataTest, BlockIsFoundAndParsed)
{
    EXPECT_TRUE(ParseExact(metadata, "// text\n<metadata><passes><pass name=\"a\"/></passes></metadata>\nrest"));
    const Node element = metadata.GetElement();
    ASSERT_TRUE(element.GetHandle());
    EXPECT_STREQ(element.GetHandle().name(), "metadata");
    EXPECT_STREQ(element.GetHandle().child("passes").child("pass").attribute("name").value(), "a");
    EXPECT_TRUE(LogCapture::Get().Lines().empty());
}

TEST_F(MetadataTest, MissingOrBrokenBlocksFailWithTheirLine)
{
    struct Case
    {
        const char* text;
        const char* error;
    };
    const Case cases[] = {
        {"float4 main() : SV_Target { return 0; }", "[effect] Metadata tag not found"},
        {"", "[effect] Metadata tag not found"},
        {"<metadata><passes/>", "[effect] Metadata XML malformed"},                    // never closed
        {"</metadata> <metadata><passes/>", "[effect] Metadata XML malformed"},        // closed only before it opens
        {"<metadata><passes></metadata>", "[effect] Metadata XML malformed"},          // broken XML
        {"<metadata><passes><pass name='a></passes></metadata>", "[effect] Metadata XML malformed"},
    };
    for (const Case& c : cases)
    {
        LogCapture::Get().Clear();
        EffectMetadata fresh;
        EXPECT_FALSE(ParseExact(fresh, c.text)) << c.text;
        EXPECT_EQ(Lines(Log::LevelError), std::vector<std::string>{c.error}) << c.text;
        EXPECT_FALSE(fresh.GetElement().GetHandle()) << c.text;
    }
}

TEST_F(MetadataTest, BlockMustLieWithinTheGivenLength)
{
    const std::string text = "<metadata><passes/></metadata>";
    // The closing tag lies beyond the length: not seen.
    EXPECT_FALSE(metadata.Parse(text.c_str(), (uint32_t)text.size() - 1));
    EXPECT_EQ(Lines(Log::LevelError), std::vector<std::string>{"[effect] Metadata XML malformed"});
    EXPECT_FALSE(metadata.Parse(nullptr, 100));
}

TEST_F(MetadataTest, VariationsInOrderAndCapped)
{
    Array<String> variations;
    EXPECT_TRUE(EffectMetadata::ReadVariations(
        Load("<variation>ENABLE_SHADOWS</variation><input>x</input><variation>SKINNING_ENABLED</variation>"),
        variations));
    EXPECT_EQ(Texts(variations), (std::vector<std::string>{"ENABLE_SHADOWS", "SKINNING_ENABLED"}));

    std::string eight;
    for (int i = 0; i < 8; ++i)
        eight += "<variation>V" + std::to_string(i) + "</variation>";
    EXPECT_TRUE(EffectMetadata::ReadVariations(Load(eight), variations));
    EXPECT_EQ(variations.GetCount(), 8u);
    EXPECT_TRUE(Lines(Log::LevelError).empty());

    // A ninth would make 512 compiles per pass; twenty would shift past 32 bits' worth.
    EXPECT_FALSE(EffectMetadata::ReadVariations(Load(eight + "<variation>V8</variation>"), variations));
    EXPECT_EQ(variations.GetCount(), 0u);
    std::string twenty;
    for (int i = 0; i < 40; ++i)
        twenty += "<variation>W" + std::to_string(i) + "</variation>";
    EXPECT_FALSE(EffectMetadata::ReadVariations(Load(twenty), variations));
    EXPECT_EQ(Lines(Log::LevelError), (std::vector<std::string>{"[effect] 9 variations; at most 8 are compiled",
                                                                 "[effect] 40 variations; at most 8 are compiled"}));
}

TEST_F(MetadataTest, PassAttributes)
{
    const EffectMetadata::Pass pass = ReadPass(
        "<pass name=\"lit\" type=\"ShadowCube\" lighttype=\"AREASPHERE\" renderTargets=\"albedo,normals\" vs=\"v\" ps=\"p\"/>");
    EXPECT_STREQ(pass.name.GetText(), "lit");
    EXPECT_EQ(pass.kind, EffectMetadata::Pass::KindShadowCube);
    EXPECT_EQ(pass.lightType, 5u);
    EXPECT_EQ(Texts(pass.renderTargets), (std::vector<std::string>{"albedo", "normals"}));
    EXPECT_STREQ(pass.vertexEntry.GetText(), "v");
    EXPECT_STREQ(pass.pixelEntry.GetText(), "p");
    EXPECT_EQ(pass.stageMask, 3u);
    EXPECT_FALSE(pass.hasDepth);
    EXPECT_FALSE(pass.hasRasterizer);
    EXPECT_FALSE(pass.hasBlend);

    struct KindCase
    {
        const char* attributes;
        uint32_t kind;
        uint32_t lightType;
        uint32_t stageMask;
    };
    const KindCase cases[] = {
        {"type=\"shadow\" lighttype=\"ambient\" gs=\"g\"", 2, 1, 4},
        {"type=\"TRANSPARENT\" lighttype=\"Directional\" ps=\"p\"", 3, 2, 1},
        {"type=\"other\" lighttype=\"point\" vs=\"v\" gs=\"g\" ps=\"p\"", 0, 3, 7},
        {"lighttype=\"spot\"", 0, 4, 0}, // no stage: nothing is compiled
        {"lighttype=\"areatube\"", 0, 6, 0},
        {"lighttype=\"sun\"", 0, 0, 0},
    };
    for (const KindCase& c : cases)
    {
        const EffectMetadata::Pass p = ReadPass(std::string("<pass ") + c.attributes + "/>");
        EXPECT_EQ(p.kind, c.kind) << c.attributes;
        EXPECT_EQ(p.lightType, c.lightType) << c.attributes;
        EXPECT_EQ(p.stageMask, c.stageMask) << c.attributes;
    }
}

TEST_F(MetadataTest, RenderTargetLists)
{
    struct Case
    {
        const char* list;
        std::vector<std::string> names;
    };
    const Case cases[] = {
        {"one", {"one"}},
        {"a,b", {"a", "b"}},
        {",a,,b,", {"a", "b"}},   // empty pieces are skipped
        {"a, b", {"a", " b"}},    // no trimming
        {"", {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Texts(ReadPass(std::string("<pass renderTargets=\"") + c.list + "\"/>").renderTargets), c.names)
            << c.list;

    // Direct3D binds eight: the rest is dropped with a warning.
    const EffectMetadata::Pass many = ReadPass("<pass name=\"m\" renderTargets=\"a,b,c,d,e,f,g,h,i,j\"/>");
    EXPECT_EQ(Texts(many.renderTargets), (std::vector<std::string>{"a", "b", "c", "d", "e", "f", "g", "h"}));
    EXPECT_EQ(Lines(Log::LevelWarning),
              std::vector<std::string>{"[effect] Pass 'm' names 10 render targets; only the first 8 are bound"});
}

TEST_F(MetadataTest, DepthAndRasterizerStates)
{
    EffectMetadata::Pass pass = ReadPass("<pass><depth read=\"TRUE\" write=\"false\"/><depth read=\"false\"/></pass>");
    EXPECT_TRUE(pass.hasDepth);
    EXPECT_TRUE(pass.depthRead); // the first "depth" element counts
    EXPECT_FALSE(pass.depthWrite);

    pass = ReadPass("<pass><depth/></pass>");
    EXPECT_TRUE(pass.hasDepth);
    EXPECT_FALSE(pass.depthRead); // only "true" turns them on
    EXPECT_FALSE(pass.depthWrite);

    pass = ReadPass("<pass><depth read=\"yes\" write=\"True\"/></pass>");
    EXPECT_FALSE(pass.depthRead);
    EXPECT_TRUE(pass.depthWrite);

    struct Case
    {
        const char* cull;
        uint32_t mode;
    };
    const Case cases[] = {
        {"front", EffectMetadata::CullFront}, {"FRONT", EffectMetadata::CullFront}, {"None", EffectMetadata::CullNone},
        {"back", EffectMetadata::CullBack},   {"sideways", EffectMetadata::CullBack},
    };
    for (const Case& c : cases)
    {
        pass = ReadPass(std::string("<pass><rasterizer cullMode=\"") + c.cull + "\"/></pass>");
        EXPECT_TRUE(pass.hasRasterizer);
        EXPECT_EQ(pass.cullMode, c.mode) << c.cull;
    }
    EXPECT_EQ(ReadPass("<pass><rasterizer/></pass>").cullMode, (uint32_t)EffectMetadata::CullBack);
}

TEST_F(MetadataTest, BlendEntries)
{
    const EffectMetadata::Pass pass = ReadPass(
        "<pass>"
        "<blend renderTarget=\"1\"><color src=\"SRC_ALPHA\" dst=\"INV_SRC_ALPHA\"/><alpha src=\"ONE\" dst=\"ONE\"/></blend>"
        "<blend renderTarget=\"2\" enabled=\"FALSE\"><color src=\"ONE\" dst=\"ONE\"/></blend>"
        "<blend renderTarget=\"3\" enabled=\"true\"><color src=\"src_alpha\" dst=\"BLEND_FACTOR\"/></blend>"
        "<blend enabled=\"true\"/>"
        "</pass>");
    EXPECT_TRUE(pass.hasBlend);

    const EffectMetadata::BlendTarget& one = pass.blend[1];
    EXPECT_TRUE(one.enable);
    EXPECT_EQ(one.sourceColor, 5u);
    EXPECT_EQ(one.destinationColor, 6u);
    EXPECT_EQ(one.sourceAlpha, 2u);
    EXPECT_EQ(one.destinationAlpha, 2u);

    EXPECT_FALSE(pass.blend[2].enable);
    EXPECT_EQ(pass.blend[2].sourceColor, 2u); // a disabled entry keeps the defaults

    EXPECT_TRUE(pass.blend[3].enable);
    EXPECT_EQ(pass.blend[3].sourceColor, 1u); // names are exact: an unknown one is ZERO
    EXPECT_EQ(pass.blend[3].destinationColor, 14u);
    EXPECT_EQ(pass.blend[3].sourceAlpha, 1u); // no "alpha" child: nothing to look up

    // Entries no element names stay at the defaults (the element without renderTarget too).
    for (uint32_t i : {0u, 4u, 7u})
    {
        EXPECT_FALSE(pass.blend[i].enable) << i;
        EXPECT_EQ(pass.blend[i].sourceColor, 2u) << i;
        EXPECT_EQ(pass.blend[i].destinationColor, 1u) << i;
    }
}

TEST_F(MetadataTest, BlendIndexOutsideTheEightEntriesIsRejected)
{
    for (const char* index : {"8", "4294967295", "-1", "x", ""})
    {
        LogCapture::Get().Clear();
        const EffectMetadata::Pass pass =
            ReadPass(std::string("<pass><blend renderTarget=\"") + index + "\"><color src=\"ONE\" dst=\"ONE\"/></blend></pass>");
        EXPECT_TRUE(pass.hasBlend) << index;
        for (const EffectMetadata::BlendTarget& target : pass.blend)
            EXPECT_FALSE(target.enable) << index;
        EXPECT_EQ(Lines(Log::LevelWarning),
                  std::vector<std::string>{std::string("[effect] Blend renderTarget '") + index +
                                           "' is not 0 to 7; the element is passed over"});
    }
    EXPECT_TRUE(ReadPass("<pass><blend renderTarget=\"7\"/></pass>").blend[7].enable);
}

TEST_F(MetadataTest, InternalTargets)
{
    EffectMetadata::RenderTarget target;
    EffectMetadata::ReadRenderTarget(
        First("<renderTarget name=\"blur\" dimensions=\"256*128\" format=\"R32G32B32A32_FLOAT\"/>", "renderTarget"),
        target);
    EXPECT_STREQ(target.name.GetText(), "blur");
    EXPECT_TRUE(target.fixedSize);
    EXPECT_EQ(target.width, 256u);
    EXPECT_EQ(target.height, 128u);
    EXPECT_EQ(target.format, 2u);

    EffectMetadata::RenderTarget sized;
    EffectMetadata::ReadRenderTarget(First("<renderTarget name=\"full\" format=\"bogus\"/>", "renderTarget"), sized);
    EXPECT_FALSE(sized.fixedSize); // the graph's output size
    EXPECT_EQ(sized.format, 0u);

    EffectMetadata::RenderTarget negative;
    EffectMetadata::ReadRenderTarget(First("<renderTarget name=\"n\" dimensions=\"-5*10\"/>", "renderTarget"), negative);
    EXPECT_TRUE(negative.fixedSize);
    EXPECT_EQ(negative.width, 0u); // refused by the creation, not wrapped to 4 billion
    EXPECT_EQ(negative.height, 10u);
    EXPECT_EQ(negative.format, 0u);
}

TEST_F(MetadataTest, Samplers)
{
    struct Case
    {
        const char* attributes;
        uint32_t u, v, w, filter;
    };
    const Case cases[] = {
        {"", 3, 3, 3, 0x15},
        {"u=\"WRAP\" v=\"Clamp\" w=\"mirror\"", 1, 3, 3, 0x15},
        {"u=\"clamp\" v=\"wrap\" w=\"Wrap\" filter=\"POINT\"", 3, 1, 1, 0},
        {"filter=\"ANISOTROPIC\"", 3, 3, 3, 0x55},
        {"filter=\"LINEAR\"", 3, 3, 3, 0x15},
        {"filter=\"linear\"", 3, 3, 3, 0}, // filter names are exact
        {"filter=\"\"", 3, 3, 3, 0},
    };
    for (const Case& c : cases)
    {
        EffectMetadata::Sampler sampler;
        EffectMetadata::ReadSampler(First(std::string("<sampler name=\"s\" ") + c.attributes + "/>", "sampler"), sampler);
        EXPECT_STREQ(sampler.name.GetText(), "s");
        EXPECT_EQ(sampler.addressU, c.u) << c.attributes;
        EXPECT_EQ(sampler.addressV, c.v) << c.attributes;
        EXPECT_EQ(sampler.addressW, c.w) << c.attributes;
        EXPECT_EQ(sampler.filter, c.filter) << c.attributes;
    }
}

TEST(EffectNameTables, BlendFactorsAndFilters)
{
    uint32_t rows = 0;
    for (const Brivet::Graphics::BlendFactorName* row = Brivet::Graphics::BlendFactorNames; row->name; ++row)
        ++rows;
    EXPECT_EQ(rows, 17u);
    EXPECT_EQ(EffectMetadata::BlendFactorFromName(String("INV_SRC1_ALPHA")), 19u);
    EXPECT_EQ(EffectMetadata::BlendFactorFromName(String("SRC_ALPHA_SAT")), 11u);
    EXPECT_EQ(EffectMetadata::BlendFactorFromName(String("ZERO")), 1u);
    EXPECT_EQ(EffectMetadata::BlendFactorFromName(String("MAX")), 1u);
    EXPECT_EQ(EffectMetadata::FilterFromName(String("ANISOTROPIC")), 0x55u);
    EXPECT_EQ(EffectMetadata::FilterFromName(String("Point")), 0u);
}

TEST_F(MetadataTest, ShaderSourceIsReadWholeAndZeroTerminated)
{
    MemoryArchive archive;
    archive.entries["shader.fx"] = std::string("abc\0def", 7);
    uint32_t size = 0;
    char* text = ReadShaderSource(&archive, "shader.fx", &size);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(size, 7u);
    EXPECT_EQ(std::string(text, 8), std::string("abc\0def\0", 8));
    delete[] text;
    EXPECT_TRUE(Lines(Log::LevelError).empty());

    const struct
    {
        Brivet::Utility::Archive::IArchive* archive;
        const char* path;
        const char* error;
    } failures[] = {
        {&archive, "absent.fx", "[effect] File not found: 'absent.fx'"},
        {nullptr, "shader.fx", "[effect] No archive to load 'shader.fx' from"},
    };
    for (const auto& f : failures)
    {
        LogCapture::Get().Clear();
        EXPECT_EQ(ReadShaderSource(f.archive, f.path, &size), nullptr) << f.path;
        EXPECT_EQ(Lines(Log::LevelError), std::vector<std::string>{f.error});
    }
    LogCapture::Get().Clear();
    archive.MakeUnreadable("shader.fx");
    EXPECT_EQ(ReadShaderSource(&archive, "shader.fx", &size), nullptr);
    EXPECT_EQ(Lines(Log::LevelError), std::vector<std::string>{"[effect] Failed to read 'shader.fx'"});
}
