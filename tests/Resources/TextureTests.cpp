// The texture resource on a device: render targets lent by the pool (acquire, release,
// clears, depth, failures), file textures through the loader their first bytes pick
// (formats, sRGB, dimensions, damaged files), adopting a loader's result, debug names.
#include "ResourcesFixture.h"

#include "Compositing/NodeOutput.h"
#include "Graphics/DepthStencil.h"
#include "Graphics/ITexture.h"
#include "Graphics/Texture2D.h"
#include "DdsBuilder.h"
#include "LogCapture.h"
#include "Utility/XML/Document.h"
#include "Utility/XML/Node.h"
#include "repository/Resources/Texture.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <d3d11.h>

#include <cstdlib>
#include <string>

using namespace ResourcesTest;
using Brivet::Graphics::ITexture;
using Brivet::Utility::Log;

namespace
{
class TextureTest : public DemoTest
{
protected:
    void TearDown() override
    {
        for (Brivet::Assets::Resource::IResource* resource : made)
            demo->resourceManager.DestroyDynamic("texture", resource);
        graph.reset();
    }

    // A texture made by the factory from a node description (empty: no element).
    Texture* Dynamic(const std::string& xml)
    {
        Brivet::Utility::XML::Document document;
        Brivet::Assets::Resource::IResource* resource = nullptr;
        if (xml.empty())
        {
            resource = demo->resourceManager.CreateDynamic(graph.get(), "texture", nullptr);
        }
        else
        {
            EXPECT_TRUE(document.Load(xml.c_str()));
            const Brivet::Utility::XML::Node element(document.GetHandle()->document_element(), &document);
            resource = demo->resourceManager.CreateDynamic(graph.get(), "texture", &element);
        }
        EXPECT_NE(resource, nullptr);
        made.push_back(resource);
        return static_cast<Texture*>(resource);
    }

    uint32_t InUse() const
    {
        uint32_t count = 0;
        for (const auto& entry : demo->renderTargetPool.GetEntries())
            count += entry.inUse ? 1 : 0;
        return count;
    }

    static ID3D11Texture2D* Native(ITexture* texture)
    {
        return static_cast<Brivet::Graphics::Texture2D*>(texture)->GetTexture();
    }

    void Clear(ITexture* texture, float r, float g, float b, float a)
    {
        const float colour[4] = {r, g, b, a};
        demo->system.GetContext()->ClearRenderTargetView(texture->GetRenderTargetView(), colour);
    }

    std::vector<Brivet::Assets::Resource::IResource*> made;
};
} // namespace

TEST_F(TextureTest, RenderTargetHoldsPooledTargetsFromFirstAcquireToLastRelease)
{
    Texture* texture = Dynamic("<dynamic type=\"texture\"><rendertarget dimensions=\"demo/2\" "
                               "format=\"R8G8B8A8_UNORM\" depthFormat=\"D24_UNORM_S8_UINT\"/></dynamic>");
    ASSERT_NE(texture, nullptr);
    EXPECT_TRUE(texture->IsRenderTarget());
    EXPECT_EQ(texture->GetWidth(), 32u);
    EXPECT_EQ(texture->GetHeight(), 16u);
    EXPECT_EQ(texture->GetTexture(), nullptr); // no GPU memory until acquired
    EXPECT_EQ(texture->GetDepthTexture(), nullptr);
    const uint32_t inUse = InUse();

    EXPECT_EQ(texture->AcquireTarget(), 1u);
    ITexture* colour = texture->GetTexture();
    ASSERT_NE(colour, nullptr);
    ASSERT_NE(texture->GetDepthTexture(), nullptr);
    EXPECT_EQ(colour->GetWidth(), 32u);
    EXPECT_EQ(colour->GetHeight(), 16u);
    EXPECT_EQ(colour->GetFormat(), 28u);
    EXPECT_EQ(InUse(), inUse + 2);

    EXPECT_EQ(texture->AcquireTarget(), 2u);
    EXPECT_EQ(texture->GetTexture(), colour);
    EXPECT_EQ(texture->ReleaseTarget(), 1u);
    EXPECT_EQ(texture->GetTexture(), colour); // still held
    EXPECT_EQ(InUse(), inUse + 2);

    EXPECT_EQ(texture->ReleaseTarget(), 0u);
    EXPECT_EQ(texture->GetTexture(), nullptr);
    EXPECT_EQ(texture->GetDepthTexture(), nullptr);
    EXPECT_EQ(InUse(), inUse);

    // At count 0 a release does nothing: no assertion, nothing given back twice.
    EXPECT_EQ(texture->ReleaseTarget(), 0u);
    EXPECT_EQ(texture->GetAcquireCount(), 0u);
    EXPECT_TRUE(LogCapture::Get().Boxes().empty());
}

TEST_F(TextureTest, FirstAcquisitionStartsFromClearedTargets)
{
    Texture* texture = Dynamic("<dynamic><rendertarget dimensions=\"8*8\" format=\"R8G8B8A8_UNORM\"/></dynamic>");
    ASSERT_EQ(texture->AcquireTarget(), 1u);
    ITexture* colour = texture->GetTexture();
    Clear(colour, 1.0f, 0.0f, 0.0f, 1.0f);
    texture->ReleaseTarget();

    // The pool lends the same target again; the acquisition clears it to transparent black.
    ASSERT_EQ(texture->AcquireTarget(), 1u);
    ASSERT_EQ(texture->GetTexture(), colour);
    for (uint32_t pixel : ReadPixels(Native(colour)))
        ASSERT_EQ(pixel, 0u) << ColourText(pixel);

    // A second acquisition keeps what was drawn.
    Clear(colour, 0.0f, 1.0f, 0.0f, 1.0f);
    texture->AcquireTarget();
    EXPECT_EQ(ReadPixels(Native(colour))[0], Rgba(0, 255, 0));
    texture->ReleaseTarget();
    texture->ReleaseTarget();
}

TEST_F(TextureTest, FirstAcquisitionClearsTheDepthToOne)
{
    Texture* texture = Dynamic("<dynamic><rendertarget dimensions=\"8*8\" format=\"R8G8B8A8_UNORM\" "
                               "depthFormat=\"D24_UNORM_S8_UINT\"/></dynamic>");
    ASSERT_EQ(texture->AcquireTarget(), 1u);
    auto* depth = static_cast<Brivet::Graphics::DepthStencil*>(texture->GetDepthTexture());
    ASSERT_NE(depth, nullptr);
    demo->system.GetContext()->ClearDepthStencilView(depth->GetDepthStencilView(), D3D11_CLEAR_DEPTH, 0.0f, 0);
    texture->ReleaseTarget();

    ASSERT_EQ(texture->AcquireTarget(), 1u);
    ASSERT_EQ(texture->GetDepthTexture(), depth);
    // D24_UNORM_S8_UINT words: the depth in the low 24 bits (Wine's GL path stores 1.0 as
    // 0xFFFF00, so the check allows the last bits).
    const std::vector<uint32_t> words = ReadPixels(depth->GetTexture());
    ASSERT_EQ(words.size(), 64u);
    for (uint32_t word : words)
        ASSERT_GE(word & 0xFFFFFFu, 0xFFF000u) << std::hex << word;
    texture->ReleaseTarget();
}

TEST_F(TextureTest, DestroyingAnAcquiredTargetGivesItBackToThePool)
{
    Texture* texture = Dynamic("<dynamic><rendertarget dimensions=\"12*12\" format=\"R8G8B8A8_UNORM\" "
                               "depthFormat=\"D24_UNORM_S8_UINT\"/></dynamic>");
    ASSERT_EQ(texture->AcquireTarget(), 1u);
    ITexture* colour = texture->GetTexture();
    ITexture* depth = texture->GetDepthTexture();
    const uint32_t inUse = InUse();
    const uint32_t entries = demo->renderTargetPool.GetEntries().GetCount();

    demo->resourceManager.DestroyDynamic("texture", texture);
    made.clear();

    // The targets were given back, not deleted: the pool lends the same, working objects.
    EXPECT_EQ(InUse(), inUse - 2);
    EXPECT_EQ(demo->renderTargetPool.GetEntries().GetCount(), entries);
    Texture* again = Dynamic("<dynamic><rendertarget dimensions=\"12*12\" format=\"R8G8B8A8_UNORM\" "
                             "depthFormat=\"D24_UNORM_S8_UINT\"/></dynamic>");
    ASSERT_EQ(again->AcquireTarget(), 1u);
    EXPECT_EQ(again->GetTexture(), colour);
    EXPECT_EQ(again->GetDepthTexture(), depth);
    Clear(colour, 0.0f, 0.0f, 1.0f, 1.0f);
    EXPECT_EQ(ReadPixels(Native(colour))[0], Rgba(0, 0, 255));
    again->ReleaseTarget();
    EXPECT_TRUE(LogCapture::Get().Boxes().empty());
}

TEST_F(TextureTest, AcquireWithoutATargetFailsAndCountsNothing)
{
    // Format 0 (a name not in the table): the pool cannot create the target.
    Texture* texture = Dynamic("<dynamic><rendertarget format=\"R16G16_FLOAT\"/></dynamic>");
    EXPECT_EQ(texture->GetFormat(), 0u);
    EXPECT_EQ(texture->AcquireTarget(), 0u);
    EXPECT_EQ(texture->GetAcquireCount(), 0u);
    EXPECT_EQ(texture->GetTexture(), nullptr);
    EXPECT_EQ(LinesContaining("[texture] No render target for 64 x 32 (format 0)").size(), 1u);

    // The consumers' releases change nothing and raise no assertion.
    EXPECT_EQ(texture->ReleaseTarget(), 0u);
    EXPECT_TRUE(LogCapture::Get().Boxes().empty());
}

TEST_F(TextureTest, DepthTargetOnlyWithADepthFormat)
{
    Texture* plain = Dynamic("<dynamic><rendertarget format=\"R8G8B8A8_UNORM\"/></dynamic>");
    Texture* deep = Dynamic("<dynamic><rendertarget format=\"R8G8B8A8_UNORM\" depthFormat=\"D24_UNORM_S8_UINT\"/></dynamic>");
    ASSERT_EQ(plain->AcquireTarget(), 1u);
    ASSERT_EQ(deep->AcquireTarget(), 1u);
    EXPECT_EQ(plain->GetDepthTexture(), nullptr);
    ASSERT_NE(deep->GetDepthTexture(), nullptr);

    ID3D11DeviceContext* context = demo->system.GetContext();
    auto bound = [&](ID3D11RenderTargetView** view, ID3D11DepthStencilView** depth) {
        context->OMGetRenderTargets(1, view, depth);
        if (*view)
            (*view)->Release();
        if (*depth)
            (*depth)->Release();
    };
    ID3D11RenderTargetView* view = nullptr;
    ID3D11DepthStencilView* depth = nullptr;

    plain->BindAsRenderTarget();
    bound(&view, &depth);
    EXPECT_EQ(view, plain->GetTexture()->GetRenderTargetView());
    EXPECT_EQ(depth, nullptr);

    deep->BindAsRenderTarget();
    bound(&view, &depth);
    EXPECT_EQ(depth, static_cast<Brivet::Graphics::DepthStencil*>(deep->GetDepthTexture())->GetDepthStencilView());

    // A given depth target wins over the own one.
    plain->BindAsRenderTarget(static_cast<Brivet::Graphics::DepthStencil*>(deep->GetDepthTexture()));
    bound(&view, &depth);
    EXPECT_EQ(view, plain->GetTexture()->GetRenderTargetView());
    EXPECT_EQ(depth, static_cast<Brivet::Graphics::DepthStencil*>(deep->GetDepthTexture())->GetDepthStencilView());

    D3D11_VIEWPORT viewport = {};
    UINT viewports = 1;
    context->RSGetViewports(&viewports, &viewport);
    EXPECT_EQ(viewport.Width, 64.0f);
    EXPECT_EQ(viewport.Height, 32.0f);

    plain->ReleaseTarget();
    deep->ReleaseTarget();
    EXPECT_EQ(deep->GetDepthTexture(), nullptr);
}

TEST_F(TextureTest, SizeFollowsTheGraphOutputOnResize)
{
    Texture* demoSized = Dynamic("<dynamic><rendertarget dimensions=\"demo2x\" format=\"R8G8B8A8_UNORM\"/></dynamic>");
    Texture* fixed = Dynamic("<dynamic><rendertarget dimensions=\"640*360\" format=\"R8G8B8A8_UNORM\"/></dynamic>");
    Texture* bare = Dynamic("");
    EXPECT_EQ(demoSized->GetWidth(), 128u);
    EXPECT_EQ(demoSized->GetHeight(), 64u);
    EXPECT_EQ(bare->GetWidth(), 64u); // no element: the output size, R8G8B8A8_UNORM
    EXPECT_EQ(bare->GetFormat(), 28u);
    EXPECT_TRUE(bare->IsRenderTarget());

    graph->outputNode->width = 100;
    graph->outputNode->height = 50;
    demoSized->OnResize();
    fixed->OnResize();
    EXPECT_EQ(demoSized->GetWidth(), 200u);
    EXPECT_EQ(demoSized->GetHeight(), 100u);
    EXPECT_EQ(fixed->GetWidth(), 640u);
    EXPECT_EQ(fixed->GetHeight(), 360u);
}

TEST_F(TextureTest, FileTexturesPickTheirLoaderByTheFirstBytes)
{
    const char* folder = getenv("BRIVET_IMAGE_FIXTURES");
    ASSERT_NE(folder, nullptr);
    const std::string images(folder);
    ASSERT_TRUE(Archive().AddFile("images/rgb.png", images + "/rgb.png"));
    ASSERT_TRUE(Archive().AddFile("images/linear.png", images + "/rgb.png"));
    ASSERT_TRUE(Archive().AddFile("images/png-named.dds", images + "/rgb.png"));
    ASSERT_TRUE(Archive().AddFile("images/grey.png", images + "/grey.png"));
    Archive().entries["images/dds-named.png"] = BuildDds(DdsSpec().Size(6, 3), PatternBytes(72, 1));
    Archive().entries["images/bc1.dds"] = BuildDds(DdsSpec::FourCC("DXT1").Size(8, 8), PatternBytes(32, 2));
    Archive().entries["images/bc1-linear.dds"] = BuildDds(DdsSpec::FourCC("DXT1").Size(8, 8), PatternBytes(32, 2));
    Archive().entries["images/cube.dds"] = BuildDds(DdsSpec().Cube(), PatternBytes(6 * 64, 3));
    Archive().entries["images/volume.dds"] = BuildDds(DdsSpec().Size(4, 2).Volume(3), PatternBytes(96, 4));
    Archive().entries["images/line.dds"] =
        BuildDds(DdsSpec::Dx10(DXGI_FORMAT_R8G8B8A8_UNORM, 2).Size(16, 1), PatternBytes(64, 5));

    Brivet::Utility::XML::Document document;
    ASSERT_TRUE(document.Load("<loadSettings srgb=\"false\"/>"));
    const Brivet::Utility::XML::Node linear(document.GetHandle()->document_element(), &document);

    struct Case
    {
        const char* path;
        bool srgb;
        uint32_t width;
        uint32_t height;
        uint32_t depth;
        DXGI_FORMAT format;
        D3D11_SRV_DIMENSION view;
    };
    const Case cases[] = {
        {"images/rgb.png", true, 4, 2, 1, DXGI_FORMAT_R8G8B8A8_UNORM_SRGB, D3D11_SRV_DIMENSION_TEXTURE2D},
        {"images/linear.png", false, 4, 2, 1, DXGI_FORMAT_R8G8B8A8_UNORM, D3D11_SRV_DIMENSION_TEXTURE2D},
        {"images/png-named.dds", true, 4, 2, 1, DXGI_FORMAT_R8G8B8A8_UNORM_SRGB, D3D11_SRV_DIMENSION_TEXTURE2D},
        {"images/grey.png", true, 4, 2, 1, DXGI_FORMAT_R8_UNORM, D3D11_SRV_DIMENSION_TEXTURE2D},
        {"images/dds-named.png", true, 6, 3, 1, DXGI_FORMAT_R8G8B8A8_UNORM_SRGB, D3D11_SRV_DIMENSION_TEXTURE2D},
        {"images/bc1.dds", true, 8, 8, 1, DXGI_FORMAT_BC1_UNORM_SRGB, D3D11_SRV_DIMENSION_TEXTURE2D},
        {"images/bc1-linear.dds", false, 8, 8, 1, DXGI_FORMAT_BC1_UNORM, D3D11_SRV_DIMENSION_TEXTURE2D},
        {"images/cube.dds", true, 4, 4, 1, DXGI_FORMAT_R8G8B8A8_UNORM_SRGB, D3D11_SRV_DIMENSION_TEXTURECUBE},
        {"images/volume.dds", false, 4, 2, 3, DXGI_FORMAT_R8G8B8A8_UNORM, D3D11_SRV_DIMENSION_TEXTURE3D},
        {"images/line.dds", true, 16, 1, 1, DXGI_FORMAT_R8G8B8A8_UNORM_SRGB, D3D11_SRV_DIMENSION_TEXTURE1D},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.path);
        auto* texture =
            static_cast<Texture*>(demo->GetResource(graph.get(), "texture", c.path, c.srgb ? nullptr : &linear));
        ASSERT_NE(texture, nullptr);
        EXPECT_EQ(texture->sRGB, c.srgb ? 1 : 0);
        EXPECT_FALSE(texture->IsRenderTarget());
        EXPECT_EQ(texture->GetWidth(), c.width);
        EXPECT_EQ(texture->GetHeight(), c.height);
        EXPECT_EQ(texture->GetFormat(), (uint32_t)c.format);
        ITexture* made = texture->GetTexture();
        ASSERT_NE(made, nullptr);
        EXPECT_EQ(made->GetDepth(), c.depth);
        ASSERT_NE(made->GetShaderResourceView(), nullptr);
        D3D11_SHADER_RESOURCE_VIEW_DESC view = {};
        made->GetShaderResourceView()->GetDesc(&view);
        EXPECT_EQ(view.ViewDimension, c.view);
        demo->resourceManager.ReleaseResource(texture);
    }
    EXPECT_TRUE(Lines(Log::LevelError).empty());
    EXPECT_EQ(demo->resourceManager.GetCache().GetCount(), 0u);
}

TEST_F(TextureTest, DamagedImageFilesFailByTheirResultAlone)
{
    const std::string good = BuildDds(DdsSpec().Size(8, 8).Levels(2), PatternBytes(320, 6));
    Archive().entries["bad/truncated.dds"] = good.substr(0, good.size() - 1);
    Archive().entries["bad/lying.dds"] = BuildDds(DdsSpec().Size(16384, 16384).Levels(15), PatternBytes(64, 7));
    Archive().entries["bad/header.dds"] = good.substr(0, 100);
    Archive().entries["bad/short.dds"] = "DDS"; // shorter than the magic: handed to WIC
    Archive().entries["bad/pic.png"] = std::string("\x89PNG\r\n\x1a\n", 8) + std::string(64, 'x');
    Archive().entries["bad/empty.png"] = "";
    Archive().entries["bad/unreadable.png"] = "x";
    Archive().MakeUnreadable("bad/unreadable.png");

    // Load logs nothing: the node that asked for the file reports it.
    for (const char* path : {"bad/truncated.dds", "bad/lying.dds", "bad/header.dds", "bad/short.dds", "bad/pic.png",
                             "bad/empty.png", "bad/unreadable.png", "bad/missing.png"})
    {
        EXPECT_EQ(demo->GetResource(graph.get(), "texture", path, nullptr), nullptr) << path;
        Texture texture(graph.get());
        EXPECT_FALSE(texture.Load(path)) << path;
        EXPECT_EQ(texture.GetTexture(), nullptr) << path;
    }
    EXPECT_TRUE(Lines(Log::LevelError).empty());
    EXPECT_TRUE(LogCapture::Get().Boxes().empty());
    EXPECT_EQ(demo->resourceManager.GetCache().GetCount(), 0u);
}

TEST_F(TextureTest, AdoptsWhatALoaderMadeByItsDimension)
{
    ID3D11Device* device = demo->system.GetDevice();

    D3D11_TEXTURE2D_DESC desc2D = {};
    desc2D.Width = 20;
    desc2D.Height = 10;
    desc2D.MipLevels = 1;
    desc2D.ArraySize = 1;
    desc2D.Format = DXGI_FORMAT_R8G8B8A8_UNORM_SRGB;
    desc2D.SampleDesc.Count = 1;
    desc2D.BindFlags = D3D11_BIND_SHADER_RESOURCE;
    ID3D11Texture2D* texture2D = nullptr;
    ASSERT_HRESULT_SUCCEEDED(device->CreateTexture2D(&desc2D, nullptr, &texture2D));
    ID3D11ShaderResourceView* view2D = nullptr;
    ASSERT_HRESULT_SUCCEEDED(device->CreateShaderResourceView(texture2D, nullptr, &view2D));

    Texture file(graph.get());
    ASSERT_TRUE(file.AdoptLoaded(texture2D, view2D));
    EXPECT_FALSE(file.IsRenderTarget());
    ASSERT_NE(file.GetTexture(), nullptr);
    EXPECT_EQ(file.GetTexture()->GetShaderResourceView(), view2D);
    EXPECT_EQ(file.GetWidth(), 20u);
    EXPECT_EQ(file.GetHeight(), 10u);
    EXPECT_EQ(file.GetFormat(), (uint32_t)DXGI_FORMAT_R8G8B8A8_UNORM_SRGB);
    EXPECT_EQ(file.GetMemorySize(), 20u * 10u * 4u);
    // File textures take no pooled targets.
    EXPECT_EQ(file.AcquireTarget(), 0u);
    EXPECT_EQ(file.ReleaseTarget(), 0u);

    D3D11_TEXTURE3D_DESC desc3D = {};
    desc3D.Width = 4;
    desc3D.Height = 4;
    desc3D.Depth = 4;
    desc3D.MipLevels = 1;
    desc3D.Format = DXGI_FORMAT_R8G8B8A8_UNORM;
    desc3D.BindFlags = D3D11_BIND_SHADER_RESOURCE;
    ID3D11Texture3D* texture3D = nullptr;
    ASSERT_HRESULT_SUCCEEDED(device->CreateTexture3D(&desc3D, nullptr, &texture3D));
    Texture volume(graph.get());
    ASSERT_TRUE(volume.AdoptLoaded(texture3D, nullptr));
    EXPECT_EQ(volume.GetWidth(), 4u);
    EXPECT_EQ(volume.GetTexture()->GetDepth(), 4u);

    // Another resource dimension is refused and its references released.
    D3D11_BUFFER_DESC bufferDesc = {};
    bufferDesc.ByteWidth = 64;
    bufferDesc.BindFlags = D3D11_BIND_VERTEX_BUFFER;
    ID3D11Buffer* buffer = nullptr;
    ASSERT_HRESULT_SUCCEEDED(device->CreateBuffer(&bufferDesc, nullptr, &buffer));
    buffer->AddRef();
    Texture refused(graph.get());
    EXPECT_FALSE(refused.AdoptLoaded(buffer, nullptr));
    EXPECT_EQ(refused.GetTexture(), nullptr);
    EXPECT_EQ(buffer->Release(), 0u); // ours was the last reference
}

TEST_F(TextureTest, DebugNamesOfTheViews)
{
    Texture* texture = Dynamic("<dynamic><rendertarget format=\"R8G8B8A8_UNORM\"/></dynamic>");
    texture->SetDebugName(Brivet::Base::String("before")); // nothing held: nothing named
    ASSERT_EQ(texture->AcquireTarget(), 1u);
    texture->SetDebugName(Brivet::Base::String("blur"));

    auto name = [](ID3D11DeviceChild* view) {
        char text[64] = {};
        UINT size = sizeof(text) - 1;
        if (FAILED(view->GetPrivateData(WKPDID_D3DDebugObjectName, &size, text)))
            return std::string("<none>");
        return std::string(text, size);
    };
    EXPECT_EQ(name(texture->GetTexture()->GetShaderResourceView()), "blur (SRV)");
    EXPECT_EQ(name(texture->GetTexture()->GetRenderTargetView()), "blur (RTV)");
    texture->ReleaseTarget();
}
