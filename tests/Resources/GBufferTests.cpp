// The G-buffer resource on a device: the targets it takes from the pool and their
// descriptions, acquisition counting, clears, binding of at most eight layers, the shadow
// records' targets (each missing one on its own, none kept by a record that does not
// cast), refused descriptions, and targets given back when it is destroyed acquired.
#include "ResourcesFixture.h"

#include "Graphics/DepthStencil.h"
#include "Graphics/RenderTarget.h"
#include "Graphics/RenderTargetPool.h"
#include "Graphics/TextureCube.h"
#include "LogCapture.h"
#include "Utility/XML/Document.h"
#include "Utility/XML/Node.h"
#include "repository/Resources/GBuffer.h"
#include "repository/Resources/GBufferFactory.h"
#include "windows/DeviceFixture.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <d3d11.h>

#include <cstring>
#include <string>
#include <vector>

using namespace ResourcesTest;
using Brivet::Graphics::RenderTargetPool;

namespace
{
constexpr uint32_t Readable = 3;     // shader-readable depth, render target
constexpr uint32_t ShadowFlags = 35; // and a mip chain

class GBufferTest : public DemoTest
{
protected:
    void TearDown() override
    {
        for (Brivet::Assets::Resource::IResource* resource : made)
            GBufferFactory::instance.Destroy(resource);
        graph.reset();
    }

    // A G-buffer made by the factory from a node's "resource" element holding xml (no
    // element at all for "-").
    GBuffer* Make(const std::string& xml)
    {
        Brivet::Utility::XML::Document document;
        Brivet::Assets::Resource::IResource* resource = nullptr;
        if (xml == "-")
        {
            resource = GBufferFactory::instance.CreateDynamic(graph.get(), nullptr);
        }
        else
        {
            EXPECT_TRUE(document.Load(("<resource>" + xml + "</resource>").c_str()));
            const Brivet::Utility::XML::Node element(document.GetHandle()->document_element(), &document);
            resource = GBufferFactory::instance.CreateDynamic(graph.get(), &element);
        }
        if (resource)
            made.push_back(resource);
        return static_cast<GBuffer*>(resource);
    }

    uint32_t InUse() const
    {
        uint32_t count = 0;
        for (const auto& entry : demo->renderTargetPool.GetEntries())
            count += entry.inUse ? 1 : 0;
        return count;
    }

    // The pool entry lending target.
    const RenderTargetPool::RenderTargetEntry* EntryOf(const Brivet::Graphics::ITexture* target) const
    {
        for (const auto& entry : demo->renderTargetPool.GetEntries())
        {
            if (entry.target == target)
                return &entry;
        }
        return nullptr;
    }

    ::testing::AssertionResult Described(const Brivet::Graphics::ITexture* target, uint32_t width, uint32_t height,
                                         uint32_t type, uint32_t format, uint32_t flags) const
    {
        const RenderTargetPool::RenderTargetEntry* entry = EntryOf(target);
        if (!entry)
            return ::testing::AssertionFailure() << "not a target of the pool";
        if (!entry->inUse || entry->width != width || entry->height != height || entry->depth != 0 ||
            entry->type != type || entry->format != format || entry->flags != flags)
        {
            return ::testing::AssertionFailure()
                   << "lent " << int(entry->inUse) << " as {" << entry->width << ", " << entry->height << ", "
                   << entry->depth << ", " << entry->type << ", " << entry->format << ", " << entry->flags << "}";
        }
        return ::testing::AssertionSuccess();
    }

    void Fill(Brivet::Graphics::ITexture* target, float value)
    {
        const float colour[4] = {value, value, value, value};
        demo->system.GetContext()->ClearRenderTargetView(target->GetRenderTargetView(), colour);
    }

    void FillDepth(Brivet::Graphics::DepthStencil* depth, float value)
    {
        demo->system.GetContext()->ClearDepthStencilView(depth->GetDepthStencilView(), D3D11_CLEAR_DEPTH, value, 0);
    }

    std::vector<uint8_t> Bytes(Brivet::Graphics::ITexture* target, uint32_t subresource, uint32_t texelBytes)
    {
        return WindowsTest::ReadSubresource(demo->system, static_cast<ID3D11Texture2D*>(target->GetResource()),
                                            subresource, texelBytes);
    }

    static bool AllZero(const std::vector<uint8_t>& bytes)
    {
        for (uint8_t byte : bytes)
        {
            if (byte)
                return false;
        }
        return !bytes.empty();
    }

    // D24_UNORM_S8_UINT words at 1.0 (Wine's GL path stores 1.0 as 0xFFFF00: the last bits may differ).
    static bool DepthAtOne(const std::vector<uint8_t>& bytes)
    {
        for (size_t i = 0; i + 4 <= bytes.size(); i += 4)
        {
            uint32_t word;
            memcpy(&word, &bytes[i], 4);
            if ((word & 0xFFFFFFu) < 0xFFF000u)
                return false;
        }
        return !bytes.empty();
    }

    std::vector<Brivet::Assets::Resource::IResource*> made;
};

GBuffer::ShadowMap MapRecord(bool enabled, bool casts)
{
    GBuffer::ShadowMap record = {};
    record.enabled = enabled ? 1 : 0;
    record.castsShadow = casts ? 1 : 0;
    return record;
}
} // namespace

TEST_F(GBufferTest, TakesItsTargetsFromThePoolWhileAcquired)
{
    // Without an element: one R32G32B32A32_FLOAT layer "texDiffuse" of the graph's size.
    GBuffer* plain = Make("-");
    ASSERT_NE(plain, nullptr);
    ASSERT_EQ(plain->layers.GetCount(), 1u);
    EXPECT_STREQ(plain->layers[0].name.GetText(), "texDiffuse");
    EXPECT_EQ(plain->GetWidth(), 64u);
    EXPECT_EQ(plain->GetHeight(), 32u);
    EXPECT_EQ(plain->layers[0].target, nullptr); // no GPU memory until acquired
    Brivet::Base::StaticString<64> type;
    plain->GetTypeName(type);
    EXPECT_STREQ(type.GetText(), "gbuffer");
    EXPECT_FALSE(plain->Load("any.bin"));

    const uint32_t idle = InUse();
    EXPECT_EQ(plain->AcquireTarget(), 1u);
    EXPECT_TRUE(Described(plain->layers[0].target, 64, 32, RenderTargetPool::Type2D, 2, Readable));
    EXPECT_TRUE(Described(plain->depthTarget, 64, 32, RenderTargetPool::Type2D, 45, Readable));
    EXPECT_TRUE(Described(plain->cubeDepthTarget, 1024, 1024, RenderTargetPool::Type2D, 45, Readable));
    EXPECT_EQ(InUse(), idle + 3);
    EXPECT_EQ(plain->GetMemorySize(), 64u * 32 * 16 + 64 * 32 * 4 + 1024 * 1024 * 4);

    // Acquired twice and released once, it keeps everything; the second release gives it back.
    Brivet::Graphics::RenderTarget* layer = plain->layers[0].target;
    EXPECT_EQ(plain->AcquireTarget(), 2u);
    EXPECT_EQ(plain->ReleaseTarget(), 1u);
    EXPECT_EQ(plain->layers[0].target, layer);
    EXPECT_EQ(InUse(), idle + 3);
    EXPECT_EQ(plain->ReleaseTarget(), 0u);
    EXPECT_EQ(plain->layers[0].target, nullptr);
    EXPECT_EQ(plain->depthTarget, nullptr);
    EXPECT_EQ(plain->cubeDepthTarget, nullptr);
    EXPECT_EQ(InUse(), idle);
    EXPECT_EQ(plain->GetMemorySize(), 0u);

    // At count 0 a release neither wraps nor gives anything back twice.
    EXPECT_EQ(plain->ReleaseTarget(), 0u);
    EXPECT_EQ(plain->GetUseCount(), 0u);
    EXPECT_EQ(plain->AcquireTarget(), 1u);
    EXPECT_EQ(InUse(), idle + 3);
    plain->ReleaseTarget();

    // A described one: layers in order and formats, a fixed size, its own cube depth size.
    GBuffer* described = Make("<gbuffer dimensions=\"48*24\" depthFormat=\"D16_UNORM\" shadowCubeSize=\"32\">"
                              "<layer name=\"texNormal\" format=\"R32G32B32A32_FLOAT\"/>"
                              "<layer name=\"texColor\" format=\"R8G8B8A8_UNORM\"/></gbuffer>");
    ASSERT_NE(described, nullptr);
    described->AcquireTarget();
    EXPECT_TRUE(Described(described->layers[0].target, 48, 24, RenderTargetPool::Type2D, 2, Readable));
    EXPECT_TRUE(Described(described->layers[1].target, 48, 24, RenderTargetPool::Type2D, 28, Readable));
    EXPECT_TRUE(Described(described->depthTarget, 48, 24, RenderTargetPool::Type2D, 55, Readable));
    EXPECT_TRUE(Described(described->cubeDepthTarget, 32, 32, RenderTargetPool::Type2D, 55, Readable));
    EXPECT_EQ(described->FindLayer(Brivet::Base::String("TEXCOLOR")), &described->layers[1]);
    EXPECT_EQ(described->FindLayer(Brivet::Base::String("texDepth")), nullptr);
    // Resizing keeps a fixed size.
    described->OnResize();
    EXPECT_EQ(described->GetWidth(), 48u);
    described->ReleaseTarget();

    // No depth format: neither depth buffer.
    GBuffer* depthless = Make("<gbuffer depthFormat=\"\"><layer name=\"texA\" format=\"R8G8B8A8_UNORM\"/></gbuffer>");
    ASSERT_NE(depthless, nullptr);
    depthless->AcquireTarget();
    EXPECT_EQ(depthless->depthTarget, nullptr);
    EXPECT_EQ(depthless->cubeDepthTarget, nullptr);
    EXPECT_EQ(InUse(), idle + 1);
    depthless->ReleaseTarget();
    EXPECT_TRUE(LogCapture::Get().Boxes().empty());
}

TEST_F(GBufferTest, RefusedDescriptionsFailCreationWithAMessage)
{
    EXPECT_EQ(Make("<gbuffer><layer name=\"texA\" format=\"NOPE\"/></gbuffer>"), nullptr);
    EXPECT_EQ(LinesContaining("[gbuffer] Layer 'texA' has no colour format: 'NOPE'").size(), 1u);
    EXPECT_EQ(Make("<gbuffer shadowSize=\"0\"/>"), nullptr);

    // A colour depth format is only warned about: the G-buffer has no depth buffer.
    LogCapture::Get().Clear();
    GBuffer* colourDepth = Make("<gbuffer depthFormat=\"R8G8B8A8_UNORM\"/>");
    ASSERT_NE(colourDepth, nullptr);
    EXPECT_EQ(colourDepth->settings.depthFormat, 0u);
    EXPECT_EQ(Lines(Brivet::Utility::Log::LevelWarning).size(), 1u);
    colourDepth->AcquireTarget();
    EXPECT_EQ(colourDepth->depthTarget, nullptr);
    colourDepth->ReleaseTarget();
}

TEST_F(GBufferTest, ClearsLayersToZeroAndDepthToOne)
{
    GBuffer* gbuffer = Make("<gbuffer shadowSize=\"8\" shadowCubeSize=\"4\">"
                            "<layer name=\"texA\" format=\"R32G32B32A32_FLOAT\"/></gbuffer>");
    ASSERT_NE(gbuffer, nullptr);
    gbuffer->shadowMaps.Add(MapRecord(true, true));
    GBuffer::ShadowCube cube = {};
    cube.enabled = 1;
    cube.castsShadow = 1;
    gbuffer->shadowCubes.Add(cube);
    ASSERT_EQ(gbuffer->AcquireTarget(), 1u);
    GBuffer::ShadowMap& map = gbuffer->shadowMaps[0];
    ASSERT_NE(map.colourTarget, nullptr);
    ASSERT_NE(map.depthTarget, nullptr);
    ASSERT_NE(gbuffer->shadowCubes[0].target, nullptr);

    Fill(gbuffer->layers[0].target, 0.75f);
    Fill(map.colourTarget, 0.5f);
    for (uint32_t face = 0; face < 6; ++face)
    {
        const float colour[4] = {1.0f, 1.0f, 1.0f, 1.0f};
        demo->system.GetContext()->ClearRenderTargetView(gbuffer->shadowCubes[0].target->GetFaceView(face), colour);
    }
    FillDepth(gbuffer->depthTarget, 0.0f);
    FillDepth(map.depthTarget, 0.0f);
    FillDepth(gbuffer->cubeDepthTarget, 0.0f);
    EXPECT_FALSE(AllZero(Bytes(gbuffer->layers[0].target, 0, 16)));

    gbuffer->Invalidate();
    EXPECT_TRUE(AllZero(Bytes(gbuffer->layers[0].target, 0, 16)));
    EXPECT_TRUE(AllZero(Bytes(map.colourTarget, 0, 8)));
    D3D11_TEXTURE2D_DESC desc = {};
    gbuffer->shadowCubes[0].target->GetTexture()->GetDesc(&desc);
    for (uint32_t face = 0; face < 6; ++face)
        EXPECT_TRUE(AllZero(Bytes(gbuffer->shadowCubes[0].target, face * desc.MipLevels, 8))) << face;
    EXPECT_TRUE(DepthAtOne(Bytes(gbuffer->depthTarget, 0, 4)));
    EXPECT_TRUE(DepthAtOne(Bytes(map.depthTarget, 0, 4)));
    EXPECT_TRUE(DepthAtOne(Bytes(gbuffer->cubeDepthTarget, 0, 4)));
    gbuffer->ReleaseTarget();

    // Not acquired: nothing to clear, nothing happens.
    gbuffer->Invalidate();
    EXPECT_EQ(gbuffer->layers[0].target, nullptr);
}

TEST_F(GBufferTest, BindBindsAtMostEightLayersAndTheDepth)
{
    std::string layers;
    for (int i = 0; i < 9; ++i)
        layers += "<layer name=\"tex" + std::to_string(i) + "\" format=\"R8G8B8A8_UNORM\"/>";
    GBuffer* gbuffer = Make("<gbuffer dimensions=\"16*8\">" + layers + "</gbuffer>");
    ASSERT_NE(gbuffer, nullptr);
    gbuffer->AcquireTarget();
    ASSERT_NE(gbuffer->layers[8].target, nullptr);

    ID3D11DeviceContext* context = demo->system.GetContext();
    auto check = [&](Brivet::Graphics::DepthStencil* given, Brivet::Graphics::DepthStencil* expected) {
        gbuffer->Bind(given);
        ID3D11RenderTargetView* views[8] = {};
        ID3D11DepthStencilView* depth = nullptr;
        context->OMGetRenderTargets(8, views, &depth);
        for (uint32_t i = 0; i < 8; ++i)
        {
            EXPECT_EQ(views[i], gbuffer->layers[i].target->GetRenderTargetView()) << i;
            if (views[i])
                views[i]->Release();
        }
        EXPECT_EQ(depth, expected->GetDepthStencilView());
        if (depth)
            depth->Release();
        UINT count = 1;
        D3D11_VIEWPORT viewport = {};
        context->RSGetViewports(&count, &viewport);
        EXPECT_EQ(viewport.Width, 16.0f);
        EXPECT_EQ(viewport.Height, 8.0f);
        EXPECT_EQ(viewport.MaxDepth, 1.0f);
    };
    check(nullptr, gbuffer->depthTarget); // its own depth buffer
    GBuffer* other = Make("<gbuffer dimensions=\"16*8\"/>");
    other->AcquireTarget();
    check(other->depthTarget, other->depthTarget); // a given one
    other->ReleaseTarget();
    gbuffer->ReleaseTarget();
}

TEST_F(GBufferTest, ShadowRecordsGetEachMissingTargetAndGiveThemBackWhenNotCasting)
{
    GBuffer* gbuffer = Make("<gbuffer shadowSize=\"16\" shadowFormat=\"R32_FLOAT\" shadowCubeSize=\"8\""
                            " shadowCubeFormat=\"R8G8B8A8_UNORM\"/>");
    ASSERT_NE(gbuffer, nullptr);
    const uint32_t idle = InUse();

    GBuffer::ShadowMap record = MapRecord(true, true);
    EXPECT_TRUE(gbuffer->AcquireShadowMap(record));
    EXPECT_TRUE(Described(record.colourTarget, 16, 16, RenderTargetPool::Type2D, 41, ShadowFlags));
    EXPECT_TRUE(Described(record.depthTarget, 16, 16, RenderTargetPool::Type2D, 45, Readable));
    Brivet::Graphics::RenderTarget* colour = record.colourTarget;
    EXPECT_TRUE(gbuffer->AcquireShadowMap(record)); // kept
    EXPECT_EQ(record.colourTarget, colour);
    EXPECT_EQ(InUse(), idle + 2);

    // A record holding only its colour target gets a depth target and keeps the colour one.
    demo->renderTargetPool.Release(record.depthTarget);
    record.depthTarget = nullptr;
    EXPECT_TRUE(gbuffer->AcquireShadowMap(record));
    EXPECT_EQ(record.colourTarget, colour);
    EXPECT_NE(record.depthTarget, nullptr);
    EXPECT_EQ(InUse(), idle + 2);

    // Enabled but not casting: both go back.
    record.castsShadow = 0;
    EXPECT_TRUE(gbuffer->AcquireShadowMap(record));
    EXPECT_EQ(record.colourTarget, nullptr);
    EXPECT_EQ(record.depthTarget, nullptr);
    EXPECT_EQ(InUse(), idle);
    EXPECT_TRUE(gbuffer->AcquireShadowMap(record)); // nothing held: nothing to give back
    EXPECT_TRUE(LogCapture::Get().Boxes().empty());

    // Cubes likewise.
    GBuffer::ShadowCube cube = {};
    cube.enabled = 1;
    cube.castsShadow = 1;
    EXPECT_TRUE(gbuffer->AcquireShadowCube(cube));
    EXPECT_TRUE(Described(cube.target, 8, 0, RenderTargetPool::TypeCube, 28, ShadowFlags));
    cube.enabled = 0;
    EXPECT_TRUE(gbuffer->AcquireShadowCube(cube));
    EXPECT_EQ(cube.target, nullptr);
    EXPECT_EQ(InUse(), idle);

    // Without a depth format a shadow map has its colour target only, and asking again
    // every frame takes nothing more.
    GBuffer* depthless = Make("<gbuffer depthFormat=\"\" shadowSize=\"16\"/>");
    ASSERT_NE(depthless, nullptr);
    const uint32_t entries = demo->renderTargetPool.GetEntries().GetCount();
    GBuffer::ShadowMap lone = MapRecord(true, true);
    for (int frame = 0; frame < 10; ++frame)
        EXPECT_TRUE(depthless->AcquireShadowMap(lone));
    EXPECT_NE(lone.colourTarget, nullptr);
    EXPECT_EQ(lone.depthTarget, nullptr);
    EXPECT_LE(demo->renderTargetPool.GetEntries().GetCount(), entries + 1);
    EXPECT_EQ(InUse(), idle + 1);
    lone.enabled = 0;
    depthless->AcquireShadowMap(lone);
    EXPECT_EQ(InUse(), idle);
}

TEST_F(GBufferTest, ShadowTargetsStopAtTheirBudgetWithOneWarning)
{
    // 7200 x 7200 counts 1.1 GiB a map: one fits the budget, the second does not (the
    // real target is a 264 MiB R32 map without depth).
    GBuffer* gbuffer = Make("<gbuffer depthFormat=\"\" shadowSize=\"7200\" shadowFormat=\"R32_FLOAT\"/>");
    ASSERT_NE(gbuffer, nullptr);
    LogCapture::Get().Clear();
    const uint32_t idle = InUse();
    GBuffer::ShadowMap first = MapRecord(true, true), second = MapRecord(true, true);
    EXPECT_TRUE(gbuffer->AcquireShadowMap(first));
    EXPECT_NE(first.colourTarget, nullptr);
    for (int frame = 0; frame < 3; ++frame)
    {
        EXPECT_FALSE(gbuffer->AcquireShadowMap(second));
        EXPECT_EQ(second.colourTarget, nullptr);
    }
    EXPECT_EQ(InUse(), idle + 1);
    EXPECT_EQ(LinesContaining("[gbuffer] Shadow targets past 2048 MiB are not made").size(), 1u);

    // A record that gives its target back makes room for the next.
    first.castsShadow = 0;
    EXPECT_TRUE(gbuffer->AcquireShadowMap(first));
    EXPECT_TRUE(gbuffer->AcquireShadowMap(second));
    EXPECT_NE(second.colourTarget, nullptr);
    second.enabled = 0;
    gbuffer->AcquireShadowMap(second);
    EXPECT_EQ(InUse(), idle);
}

TEST_F(GBufferTest, AcquisitionLendsTheRecordsTargetsAndTheLastReleaseTakesThemBack)
{
    GBuffer* gbuffer = Make("<gbuffer shadowSize=\"16\" shadowCubeSize=\"8\"/>");
    ASSERT_NE(gbuffer, nullptr);
    gbuffer->shadowMaps.Add(MapRecord(true, true));
    gbuffer->shadowMaps.Add(MapRecord(true, false));
    const uint32_t idle = InUse();
    gbuffer->AcquireTarget();
    EXPECT_NE(gbuffer->shadowMaps[0].colourTarget, nullptr);
    EXPECT_EQ(gbuffer->shadowMaps[1].colourTarget, nullptr);
    EXPECT_EQ(InUse(), idle + 4); // depth, cube depth, one map's two targets
    gbuffer->ReleaseTarget();
    EXPECT_EQ(gbuffer->shadowMaps[0].colourTarget, nullptr);
    EXPECT_EQ(gbuffer->shadowMaps[0].depthTarget, nullptr);
    EXPECT_EQ(InUse(), idle);

    // Unload forgets the records.
    gbuffer->Unload();
    EXPECT_EQ(gbuffer->shadowMaps.GetCount(), 0u);
}

TEST_F(GBufferTest, DestroyedWhileAcquiredItGivesItsTargetsBack)
{
    GBuffer* gbuffer = Make("-");
    ASSERT_NE(gbuffer, nullptr);
    const uint32_t idle = InUse();
    gbuffer->shadowMaps.Add(MapRecord(true, true));
    gbuffer->AcquireTarget();
    EXPECT_EQ(InUse(), idle + 5);
    GBufferFactory::instance.Destroy(gbuffer);
    made.clear();
    EXPECT_EQ(InUse(), idle);
    EXPECT_TRUE(LogCapture::Get().Boxes().empty());
}

TEST_F(GBufferTest, DebugNamesOfTheViews)
{
    GBuffer* gbuffer = Make("<gbuffer shadowSize=\"8\"><layer name=\"texA\" format=\"R8G8B8A8_UNORM\"/></gbuffer>");
    ASSERT_NE(gbuffer, nullptr);
    gbuffer->shadowMaps.Add(MapRecord(true, true));
    gbuffer->AcquireTarget();
    gbuffer->SetDebugName(Brivet::Base::String("scene"));
    auto name = [](ID3D11View* view) {
        char text[128] = {};
        UINT size = sizeof(text) - 1;
        if (!view || FAILED(view->GetPrivateData(WKPDID_D3DDebugObjectName, &size, text)))
            return std::string("<none>");
        return std::string(text, size);
    };
    EXPECT_EQ(name(gbuffer->layers[0].target->GetShaderResourceView()), "scene (texA SRV)");
    EXPECT_EQ(name(gbuffer->layers[0].target->GetRenderTargetView()), "scene (texA RTV)");
    EXPECT_EQ(name(gbuffer->depthTarget->GetDepthStencilView()), "scene (Depth DSV)");
    EXPECT_EQ(name(gbuffer->shadowMaps[0].colourTarget->GetRenderTargetView()), "scene (Shadow Map 0 RTV)");
    EXPECT_EQ(name(gbuffer->shadowMaps[0].depthTarget->GetShaderResourceView()), "scene (Shadow Map Depth SRV)");
    EXPECT_EQ(name(gbuffer->cubeDepthTarget->GetDepthStencilView()), "scene (Shadow Cube Depth DSV)");
    gbuffer->ReleaseTarget();
}
