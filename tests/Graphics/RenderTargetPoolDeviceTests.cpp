// Render-target pool with its Direct3D targets: the class per description, the depth
// buffers, reuse, a refused request and clearing.
#include <gtest/gtest.h>

#include <d3d11.h>

#include "Graphics/DepthStencil.h"
#include "Graphics/RenderTarget.h"
#include "Graphics/RenderTargetPool.h"
#include "Graphics/Texture1D.h"
#include "Graphics/Texture3D.h"
#include "Graphics/TextureCube.h"
#include "GraphicsFixture.h"
#include "LogCapture.h"

using namespace Brivet::Graphics;
using namespace GraphicsTest;

namespace
{

RenderTargetPool::Description Describe(uint32_t width, uint32_t height, uint32_t depth, uint32_t type,
                                       uint32_t format, uint32_t flags)
{
    RenderTargetPool::Description d;
    d.width = width;
    d.height = height;
    d.depth = depth;
    d.type = type;
    d.format = format;
    d.flags = flags;
    return d;
}

} // namespace

TEST(RenderTargetPoolDevice, LendsTheClassItsDescriptionImplies)
{
    System* system = SharedSystem();
    ASSERT_NE(system, nullptr) << "no Direct3D 11 device";
    LogCapture::Get().Clear();
    RenderTargetPool pool(system);

    // A 2D colour target, readable and renderable (the default flags).
    ITexture* colour = pool.Acquire(Describe(64, 32, 0, RenderTargetPool::Type2D, 28, 3));
    RenderTarget* target = dynamic_cast<RenderTarget*>(colour);
    ASSERT_NE(target, nullptr);
    EXPECT_EQ(target->GetWidth(), 64u);
    EXPECT_EQ(target->GetHeight(), 32u);
    EXPECT_NE(target->GetRenderTargetView(), nullptr);
    EXPECT_NE(target->GetShaderResourceView(), nullptr);

    // Depth formats give 24/8 depth buffers, one per format.
    ITexture* depth16 = pool.Acquire(Describe(64, 32, 0, RenderTargetPool::Type2D, 55, 3));
    ITexture* depth32 = pool.Acquire(Describe(64, 32, 0, RenderTargetPool::Type2D, 40, 3));
    DepthStencil* depthBuffer = dynamic_cast<DepthStencil*>(depth16);
    ASSERT_NE(depthBuffer, nullptr);
    ASSERT_NE(dynamic_cast<DepthStencil*>(depth32), nullptr);
    EXPECT_NE(depth16, depth32);
    EXPECT_EQ(depthBuffer->GetFormat(), 45u);
    EXPECT_NE(depthBuffer->GetDepthStencilView(), nullptr);
    EXPECT_NE(depthBuffer->GetShaderResourceView(), nullptr);

    // A shadow cube: six faces with a mip chain.
    ITexture* cubeTarget = pool.Acquire(Describe(32, 0, 0, RenderTargetPool::TypeCube, 41, 0x23));
    TextureCube* cube = dynamic_cast<TextureCube*>(cubeTarget);
    ASSERT_NE(cube, nullptr);
    for (uint32_t face = 0; face < 6; ++face)
        EXPECT_NE(cube->GetFaceView(face), nullptr) << face;
    EXPECT_EQ(cube->GetMemorySize(), (1024u + 256u + 64u + 16u + 4u) * 6u * 4u);

    // 1D and 3D descriptions get textures of their own kind.
    ITexture* line = pool.Acquire(Describe(256, 0, 0, RenderTargetPool::Type1D, 41, 4));
    ASSERT_NE(dynamic_cast<Texture1D*>(line), nullptr);
    EXPECT_EQ(line->GetWidth(), 256u);
    EXPECT_NE(line->GetUnorderedAccessView(), nullptr);
    ITexture* volume = pool.Acquire(Describe(16, 8, 4, RenderTargetPool::Type3D, 28, 4));
    ASSERT_NE(dynamic_cast<Texture3D*>(volume), nullptr);
    EXPECT_EQ(volume->GetDepth(), 4u);
    EXPECT_NE(volume->GetUnorderedAccessView(), nullptr);

    // Given back and asked again: the same objects.
    pool.Release(colour);
    pool.Release(cubeTarget);
    EXPECT_EQ(pool.Acquire(Describe(64, 32, 0, RenderTargetPool::Type2D, 28, 3)), colour);
    EXPECT_EQ(pool.Acquire(Describe(32, 0, 0, RenderTargetPool::TypeCube, 41, 0x23)), cubeTarget);
    EXPECT_TRUE(LogCapture::Get().Lines(Brivet::Utility::Log::LevelError).empty());
    EXPECT_TRUE(LogCapture::Get().Boxes().empty());
    EXPECT_EQ(pool.GetEntries().GetCount(), 6u);

    pool.Clear();
    EXPECT_EQ(pool.GetEntries().GetCount(), 0u);
}

TEST(RenderTargetPoolDevice, ARefusedRequestIsLoggedTwiceAndKeepsNoEntry)
{
    System* system = SharedSystem();
    ASSERT_NE(system, nullptr) << "no Direct3D 11 device";
    LogCapture::Get().Clear();
    RenderTargetPool pool(system);

    // A staging cube (CPU read on a default texture) and a dynamic render target.
    EXPECT_EQ(pool.Acquire(Describe(16, 0, 0, RenderTargetPool::TypeCube, 28, 16)), nullptr);
    EXPECT_EQ(pool.Acquire(Describe(16, 16, 0, RenderTargetPool::Type2D, 28, 8)), nullptr);
    const std::vector<LogCapture::Line> errors = LogCapture::Get().Lines(Brivet::Utility::Log::LevelError);
    ASSERT_EQ(errors.size(), 4u);
    EXPECT_EQ(errors[0].text,
              "[graphics] Unable to create TextureCube with flags 10: CPU access needs a dynamic or staging texture");
    EXPECT_EQ(errors[1].text, "[rendertargetpool] Failed to create render target cube in pool!");
    EXPECT_EQ(errors[2].text, "[graphics] Unable to create Texture2D with flags A: a dynamic texture cannot be a "
                              "render target or have unordered access");
    EXPECT_EQ(errors[3].text, "[rendertargetpool] Failed to create render target in pool!");
    EXPECT_EQ(pool.GetEntries().GetCount(), 0u);
}
