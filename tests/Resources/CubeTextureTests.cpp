// The cube render target on a device: the description (edge, formats, depth buffer), the
// types it stands in for, faces cleared by Invalidate, owned targets that the graph's
// acquisitions and resizes leave alone, its XML, and descriptions Direct3D refuses.
#include "ResourcesFixture.h"

#include "Compositing/NodeOutput.h"
#include "Graphics/DepthStencil.h"
#include "Graphics/TextureCube.h"
#include "LogCapture.h"
#include "Utility/XML/Document.h"
#include "Utility/XML/Node.h"
#include "repository/Resources/CubeTextureRenderTarget.h"
#include "repository/Resources/Texture.h"

#include <gtest/gtest.h>

#include <d3d11.h>

#include <string>
#include <vector>

using namespace ResourcesTest;
using Brivet::Base::StaticString;

namespace
{
class CubeTextureTest : public DemoTest
{
protected:
    void TearDown() override
    {
        for (Brivet::Assets::Resource::IResource* resource : made)
            demo->resourceManager.DestroyDynamic("cubetexture", resource);
        graph.reset();
    }

    // A cube made by the factory from a node description ("": no element); null when the
    // factory refused it.
    CubeTextureRenderTarget* Dynamic(const std::string& xml)
    {
        Brivet::Utility::XML::Document document;
        Brivet::Assets::Resource::IResource* resource = nullptr;
        if (xml.empty())
        {
            resource = demo->resourceManager.CreateDynamic(graph.get(), "cubetexture", nullptr);
        }
        else
        {
            EXPECT_TRUE(document.Load(xml.c_str()));
            const Brivet::Utility::XML::Node element(document.GetHandle()->document_element(), &document);
            resource = demo->resourceManager.CreateDynamic(graph.get(), "cubetexture", &element);
        }
        if (resource)
            made.push_back(resource);
        return static_cast<CubeTextureRenderTarget*>(resource);
    }

    struct CubeShape
    {
        UINT edge = 0;
        UINT arraySize = 0;
        DXGI_FORMAT format = DXGI_FORMAT_UNKNOWN;
        bool cube = false;
    };
    static CubeShape ShapeOf(const CubeTextureRenderTarget& target)
    {
        CubeShape shape;
        if (!target.GetCube() || !target.GetCube()->GetTexture())
            return shape;
        D3D11_TEXTURE2D_DESC desc = {};
        target.GetCube()->GetTexture()->GetDesc(&desc);
        shape.edge = desc.Width == desc.Height ? desc.Width : 0;
        shape.arraySize = desc.ArraySize;
        shape.format = desc.Format;
        shape.cube = (desc.MiscFlags & D3D11_RESOURCE_MISC_TEXTURECUBE) != 0;
        return shape;
    }

    std::vector<Brivet::Assets::Resource::IResource*> made;
};

TEST_F(CubeTextureTest, DescriptionsGiveEdgeFormatAndDepthBuffer)
{
    struct Case
    {
        const char* xml;
        UINT edge;
        DXGI_FORMAT format;
        bool depth;
    };
    const Case cases[] = {
        {"", 256, DXGI_FORMAT_R8G8B8A8_UNORM, false},
        {"<dynamic type=\"cubetexture\"/>", 256, DXGI_FORMAT_R8G8B8A8_UNORM, false},
        {"<dynamic><rendertarget dimensions=\"512\" format=\"R8G8B8A8_UNORM\"/></dynamic>", 512,
         DXGI_FORMAT_R8G8B8A8_UNORM, false},
        {"<dynamic><rendertarget dimensions=\"32\" format=\"R32G32B32A32_FLOAT\" depthFormat=\"D24_UNORM_S8_UINT\"/>"
         "</dynamic>",
         32, DXGI_FORMAT_R32G32B32A32_FLOAT, true},
        // A depth format name that is not in the table gives no depth buffer.
        {"<dynamic><rendertarget dimensions=\"16\" format=\"R8G8B8A8_UNORM\" depthFormat=\"D24\"/></dynamic>", 16,
         DXGI_FORMAT_R8G8B8A8_UNORM, false},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.xml);
        CubeTextureRenderTarget* target = Dynamic(c.xml);
        ASSERT_NE(target, nullptr);
        const CubeShape shape = ShapeOf(*target);
        EXPECT_EQ(shape.edge, c.edge);
        EXPECT_EQ(shape.arraySize, 6u);
        EXPECT_TRUE(shape.cube);
        EXPECT_EQ(shape.format, c.format);
        EXPECT_EQ(target->GetEdge(), c.edge);
        EXPECT_EQ(target->GetWidth(), c.edge);
        EXPECT_EQ(target->GetHeight(), c.edge);
        // The cube is what an effect input samples; the depth buffer is the face's depth.
        EXPECT_EQ(target->GetTexture(), target->GetCube());
        EXPECT_NE(target->GetTexture()->GetShaderResourceView(), nullptr);
        for (uint32_t face = 0; face < 6; ++face)
            EXPECT_NE(target->GetCube()->GetFaceView(face), nullptr) << face;
        EXPECT_EQ(target->GetDepthTexture() != nullptr, c.depth);
        if (c.depth)
        {
            EXPECT_EQ(target->GetDepthTexture()->GetWidth(), c.edge);
            EXPECT_EQ(target->GetDepthTexture()->GetHeight(), c.edge);
        }
        EXPECT_EQ(target->GetMemorySize(), 6u * c.edge * c.edge * (c.format == DXGI_FORMAT_R8G8B8A8_UNORM ? 4 : 16));
    }
}

TEST_F(CubeTextureTest, StandsInForTexturesOnly)
{
    CubeTextureRenderTarget* cube = Dynamic("");
    ASSERT_NE(cube, nullptr);
    struct Case
    {
        const char* type;
        bool compatible;
    };
    for (const Case& c : {Case{"cubetexture", true}, Case{"CubeTexture", true}, Case{"texture", true},
                          Case{"TEXTURE", true}, Case{"Texture", true}, Case{"gbuffer", false},
                          Case{"RenderChunk", false}, Case{"", false}})
    {
        EXPECT_EQ(cube->IsCompatible(StaticString<64>(c.type)), c.compatible) << c.type;
    }
    StaticString<64> type;
    cube->GetTypeName(type);
    EXPECT_STREQ(type.GetText(), "cubetexture");

    // A plain texture is no cube.
    Texture plain(graph.get());
    EXPECT_FALSE(plain.IsCompatible(StaticString<64>("cubetexture")));
    EXPECT_TRUE(plain.IsCompatible(StaticString<64>("texture")));
}

TEST_F(CubeTextureTest, InvalidateClearsEveryFaceAndTheDepth)
{
    CubeTextureRenderTarget* target =
        Dynamic("<dynamic><rendertarget dimensions=\"8\" format=\"R8G8B8A8_UNORM\" depthFormat=\"D24_UNORM_S8_UINT\"/>"
                "</dynamic>");
    ASSERT_NE(target, nullptr);
    Brivet::Graphics::TextureCube* cube = target->GetCube();
    ID3D11DeviceContext* context = demo->system.GetContext();
    // Created cleared.
    for (uint32_t face = 0; face < 6; ++face)
    {
        const std::vector<uint32_t> pixels = ReadPixels(cube->GetTexture(), face);
        ASSERT_EQ(pixels.size(), 64u);
        EXPECT_EQ(pixels[0], 0u) << face;
    }

    const float red[4] = {1.0f, 0.0f, 0.0f, 1.0f};
    for (uint32_t face = 0; face < 6; ++face)
        context->ClearRenderTargetView(cube->GetFaceView(face), red);
    context->ClearDepthStencilView(target->GetDepth()->GetDepthStencilView(), D3D11_CLEAR_DEPTH, 0.25f, 0);
    ASSERT_EQ(ReadPixels(cube->GetTexture(), 3)[5], Rgba(255, 0, 0));

    target->Invalidate();
    for (uint32_t face = 0; face < 6; ++face)
    {
        const std::vector<uint32_t> pixels = ReadPixels(cube->GetTexture(), face);
        ASSERT_EQ(pixels.size(), 64u);
        for (uint32_t pixel : pixels)
            ASSERT_EQ(pixel, 0u) << "face " << face << ": " << ColourText(pixel);
    }
    // The depth reads 1.0 again (24-bit depth under the stencil byte; the 0.25 of the
    // clear above is about 0x3FFFFF).
    const std::vector<uint32_t> depth =
        ReadPixels(static_cast<Brivet::Graphics::Texture2D*>(target->GetDepthTexture())->GetTexture());
    ASSERT_EQ(depth.size(), 64u);
    EXPECT_GE(depth[0] & 0xFFFFFF, 0xFFFF00u);
}

TEST_F(CubeTextureTest, OwnedTargetsIgnoreAcquisitionsAndResizes)
{
    CubeTextureRenderTarget* target =
        Dynamic("<dynamic><rendertarget dimensions=\"16\" format=\"R8G8B8A8_UNORM\"/></dynamic>");
    ASSERT_NE(target, nullptr);
    Brivet::Graphics::ITexture* cube = target->GetTexture();
    const uint32_t pooled = demo->renderTargetPool.GetEntries().GetCount();

    EXPECT_EQ(target->AcquireTarget(), 0u);
    EXPECT_EQ(target->AcquireTarget(), 0u);
    EXPECT_EQ(demo->renderTargetPool.GetEntries().GetCount(), pooled) << "no pooled 2D target is lent";
    EXPECT_EQ(target->GetTexture(), cube);
    EXPECT_EQ(target->ReleaseTarget(), 0u);
    EXPECT_EQ(target->GetTexture(), cube);

    // The edge does not follow the output size.
    graph->outputNode->width = 300;
    graph->outputNode->height = 100;
    target->OnResize();
    EXPECT_EQ(target->GetWidth(), 16u);
    EXPECT_EQ(target->GetHeight(), 16u);

    EXPECT_FALSE(target->Load("anything.png"));
    target->Unload();
    EXPECT_EQ(target->GetTexture(), nullptr);
    EXPECT_EQ(target->GetMemorySize(), 0u);
}

TEST_F(CubeTextureTest, WritesTheDescriptionItReads)
{
    struct Case
    {
        const char* xml;
        const char* dimensions;
        const char* format;
        const char* depthFormat;
    };
    const Case cases[] = {
        {"", "256", "R8G8B8A8_UNORM", nullptr},
        {"<dynamic><rendertarget dimensions=\"64\" format=\"R32G32B32A32_FLOAT\" depthFormat=\"D24_UNORM_S8_UINT\"/>"
         "</dynamic>",
         "64", "R32G32B32A32_FLOAT", "D24_UNORM_S8_UINT"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.xml);
        CubeTextureRenderTarget* target = Dynamic(c.xml);
        ASSERT_NE(target, nullptr);
        Brivet::Utility::XML::Document out;
        ASSERT_TRUE(out.Load("<dynamic type=\"cubetexture\"/>"));
        const Brivet::Utility::XML::Node node(out.GetHandle()->document_element(), &out);
        ASSERT_TRUE(target->WriteXml(node));
        const pugi::xml_node written = node.GetHandle().child("rendertarget");
        ASSERT_TRUE(written);
        EXPECT_STREQ(written.attribute("dimensions").value(), c.dimensions);
        EXPECT_STREQ(written.attribute("format").value(), c.format);
        EXPECT_EQ(bool(written.attribute("depthFormat")), c.depthFormat != nullptr);
        if (c.depthFormat)
        {
            EXPECT_STREQ(written.attribute("depthFormat").value(), c.depthFormat);
        }

        // What is written makes the same cube again.
        CubeTextureRenderTarget* again = Dynamic(std::string("<dynamic>") + [&] {
            Brivet::Utility::XML::Document::Writer writer;
            written.print(writer);
            return std::string(writer.GetText().GetText());
        }() + "</dynamic>");
        ASSERT_NE(again, nullptr);
        EXPECT_EQ(ShapeOf(*again).edge, ShapeOf(*target).edge);
        EXPECT_EQ(ShapeOf(*again).format, ShapeOf(*target).format);
        EXPECT_EQ(again->GetDepthTexture() != nullptr, target->GetDepthTexture() != nullptr);
    }
}

TEST_F(CubeTextureTest, CubesDirect3DRefusesFailTheCreationWithALine)
{
    for (const char* xml : {
             "<dynamic><rendertarget dimensions=\"0\" format=\"R8G8B8A8_UNORM\"/></dynamic>",
             "<dynamic><rendertarget dimensions=\"64\" format=\"R8G8B8A8\"/></dynamic>", // no such name: format 0
             "<dynamic><rendertarget dimensions=\"100000\" format=\"R8G8B8A8_UNORM\"/></dynamic>",
         })
    {
        SCOPED_TRACE(xml);
        LogCapture::Get().Clear();
        EXPECT_EQ(Dynamic(xml), nullptr);
        EXPECT_EQ(LinesContaining("[cubetexture] Cannot create a cube").size(), 1u);
    }
}
} // namespace
