// Texture classes on a real device: creation per flag set, binding and clearing render
// targets, depth buffers and cube faces, uploads, initial data with mip chains and the
// unordered-access clear, all read back through staging copies.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include <windows.h>
#include <d3d11.h>
#include <d3dcompiler.h>

#include "Graphics/DepthStencil.h"
#include "Graphics/Format.h"
#include "Graphics/RenderTarget.h"
#include "Graphics/Texture1D.h"
#include "Graphics/Texture2D.h"
#include "Graphics/Texture3D.h"
#include "Graphics/TextureCube.h"
#include "Graphics/TextureFlags.h"
#include "GraphicsFixture.h"
#include "LogCapture.h"

using namespace Brivet::Graphics;
using namespace GraphicsTest;

namespace
{

constexpr uint32_t R8G8B8A8_UNORM = 28;
constexpr uint32_t R32_FLOAT = 41;

uint32_t Halved(uint32_t size, uint32_t level)
{
    size >>= level;
    return size ? size : 1;
}

// The 32-bit texels of one subresource of any texture, rows and slices packed.
std::vector<uint32_t> ReadTexels(System* system, ID3D11Resource* resource, UINT subresource)
{
    std::vector<uint32_t> texels;
    ID3D11Device* device = system->GetDevice();
    ID3D11DeviceContext* context = system->GetContext();
    D3D11_RESOURCE_DIMENSION dimension = D3D11_RESOURCE_DIMENSION_UNKNOWN;
    resource->GetType(&dimension);
    ID3D11Resource* staging = nullptr;
    uint32_t width = 1, height = 1, depth = 1;
    if (dimension == D3D11_RESOURCE_DIMENSION_TEXTURE1D)
    {
        D3D11_TEXTURE1D_DESC desc = {};
        static_cast<ID3D11Texture1D*>(resource)->GetDesc(&desc);
        width = Halved(desc.Width, subresource % desc.MipLevels);
        desc.Usage = D3D11_USAGE_STAGING;
        desc.BindFlags = 0;
        desc.CPUAccessFlags = D3D11_CPU_ACCESS_READ;
        desc.MiscFlags = 0;
        ID3D11Texture1D* copy = nullptr;
        device->CreateTexture1D(&desc, nullptr, &copy);
        staging = copy;
    }
    else if (dimension == D3D11_RESOURCE_DIMENSION_TEXTURE2D)
    {
        D3D11_TEXTURE2D_DESC desc = {};
        static_cast<ID3D11Texture2D*>(resource)->GetDesc(&desc);
        width = Halved(desc.Width, subresource % desc.MipLevels);
        height = Halved(desc.Height, subresource % desc.MipLevels);
        desc.Usage = D3D11_USAGE_STAGING;
        desc.BindFlags = 0;
        desc.CPUAccessFlags = D3D11_CPU_ACCESS_READ;
        desc.MiscFlags = 0;
        ID3D11Texture2D* copy = nullptr;
        device->CreateTexture2D(&desc, nullptr, &copy);
        staging = copy;
    }
    else if (dimension == D3D11_RESOURCE_DIMENSION_TEXTURE3D)
    {
        D3D11_TEXTURE3D_DESC desc = {};
        static_cast<ID3D11Texture3D*>(resource)->GetDesc(&desc);
        width = Halved(desc.Width, subresource);
        height = Halved(desc.Height, subresource);
        depth = Halved(desc.Depth, subresource);
        desc.Usage = D3D11_USAGE_STAGING;
        desc.BindFlags = 0;
        desc.CPUAccessFlags = D3D11_CPU_ACCESS_READ;
        desc.MiscFlags = 0;
        ID3D11Texture3D* copy = nullptr;
        device->CreateTexture3D(&desc, nullptr, &copy);
        staging = copy;
    }
    if (!staging)
        return texels;
    context->CopyResource(staging, resource);
    D3D11_MAPPED_SUBRESOURCE mapped = {};
    if (SUCCEEDED(context->Map(staging, subresource, D3D11_MAP_READ, 0, &mapped)))
    {
        texels.resize((size_t)width * height * depth);
        for (uint32_t z = 0; z < depth; ++z)
            for (uint32_t y = 0; y < height; ++y)
                memcpy(&texels[((size_t)z * height + y) * width],
                       (const uint8_t*)mapped.pData + (size_t)z * mapped.DepthPitch + (size_t)y * mapped.RowPitch,
                       width * 4);
        context->Unmap(staging, subresource);
    }
    staging->Release();
    return texels;
}

// Depths of a D24_UNORM_S8_UINT buffer with stencil 0, from 0.0 to 1.0. Direct3D keeps the
// depth in the low 24 bits; Wine's copy hands it over in the high 24 (OpenGL's packing),
// which a depth above 1/256 tells apart by a non-zero high byte.
std::vector<double> ReadDepth(System* system, ID3D11Texture2D* texture)
{
    std::vector<double> depths;
    for (uint32_t texel : ReadTexels(system, texture, 0))
        depths.push_back(((texel >> 24) ? texel >> 8 : texel) / 16777215.0);
    return depths;
}

// Draws one triangle over the whole bound target in a colour at a depth (no culling, the
// default depth test).
class ColourDraw
{
public:
    explicit ColourDraw(System* system)
        : system(system)
    {
        const char* source =
            "cbuffer constants { float4 vColour; float4 vDepth; };\n"
            "float4 vs_main(uint id : SV_VertexID) : SV_POSITION\n"
            "{ float4 p = float4(-1, -1, vDepth.x, 1); if (id == 1) p.y = 3; if (id == 2) p.x = 3; return p; }\n"
            "float4 ps_main(float4 position : SV_POSITION) : SV_TARGET { return vColour; }\n";
        ID3DBlob* vertexCode = Compile(source, "vs_main", "vs_5_0");
        ID3DBlob* pixelCode = Compile(source, "ps_main", "ps_5_0");
        ID3D11Device* device = system->GetDevice();
        if (vertexCode)
            device->CreateVertexShader(vertexCode->GetBufferPointer(), vertexCode->GetBufferSize(), nullptr, &vertex);
        if (pixelCode)
            device->CreatePixelShader(pixelCode->GetBufferPointer(), pixelCode->GetBufferSize(), nullptr, &pixel);
        if (vertexCode)
            vertexCode->Release();
        if (pixelCode)
            pixelCode->Release();
        D3D11_BUFFER_DESC bufferDesc = {};
        bufferDesc.ByteWidth = 32;
        bufferDesc.Usage = D3D11_USAGE_DEFAULT;
        bufferDesc.BindFlags = D3D11_BIND_CONSTANT_BUFFER;
        device->CreateBuffer(&bufferDesc, nullptr, &constants);
        D3D11_RASTERIZER_DESC rasterizerDesc = {};
        rasterizerDesc.FillMode = D3D11_FILL_SOLID;
        rasterizerDesc.CullMode = D3D11_CULL_NONE;
        rasterizerDesc.DepthClipEnable = TRUE;
        device->CreateRasterizerState(&rasterizerDesc, &rasterizer);
    }

    ~ColourDraw()
    {
        for (IUnknown* object : {(IUnknown*)vertex, (IUnknown*)pixel, (IUnknown*)constants, (IUnknown*)rasterizer})
            if (object)
                object->Release();
    }

    bool Ready() const { return vertex && pixel && constants && rasterizer; }

    void Draw(float r, float g, float b, float depth)
    {
        ID3D11DeviceContext* context = system->GetContext();
        const float values[8] = {r, g, b, 1.0f, depth, 0, 0, 0};
        context->UpdateSubresource(constants, 0, nullptr, values, 0, 0);
        context->IASetInputLayout(nullptr);
        context->IASetPrimitiveTopology(D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST);
        context->VSSetShader(vertex, nullptr, 0);
        context->VSSetConstantBuffers(0, 1, &constants);
        context->PSSetShader(pixel, nullptr, 0);
        context->PSSetConstantBuffers(0, 1, &constants);
        context->RSSetState(rasterizer);
        context->OMSetDepthStencilState(nullptr, 0);
        context->OMSetBlendState(nullptr, nullptr, 0xFFFFFFFF);
        context->Draw(3, 0);
    }

private:
    static ID3DBlob* Compile(const char* source, const char* entry, const char* target)
    {
        ID3DBlob* code = nullptr;
        ID3DBlob* errors = nullptr;
        const HRESULT hr = D3DCompile(source, strlen(source), nullptr, nullptr, nullptr, entry, target, 0, 0, &code, &errors);
        if (errors)
        {
            if (FAILED(hr))
                ADD_FAILURE() << (const char*)errors->GetBufferPointer();
            errors->Release();
        }
        return SUCCEEDED(hr) ? code : nullptr;
    }

    System* system;
    ID3D11VertexShader* vertex = nullptr;
    ID3D11PixelShader* pixel = nullptr;
    ID3D11Buffer* constants = nullptr;
    ID3D11RasterizerState* rasterizer = nullptr;
};

using TextureTest = DeviceTest;

template <typename Desc>
void ExpectDescription(const Desc& desc, const TextureDescription& expected, const std::string& what)
{
    EXPECT_EQ(desc.Usage, (D3D11_USAGE)expected.usage) << what;
    EXPECT_EQ(desc.BindFlags, expected.bindFlags) << what;
    EXPECT_EQ(desc.CPUAccessFlags, expected.cpuAccessFlags) << what;
    EXPECT_EQ(desc.MiscFlags, expected.miscFlags) << what;
}

void ExpectViews(const ITexture& texture, const TextureDescription& expected, const std::string& what)
{
    EXPECT_EQ(texture.GetShaderResourceView() != nullptr, expected.shaderResourceView) << what;
    EXPECT_EQ(texture.GetUnorderedAccessView() != nullptr, expected.unorderedAccessView) << what;
}

} // namespace

TEST_F(TextureTest, EachClassIsCreatedWithEachMeaningfulFlagSet)
{
    // Texture1D
    for (uint32_t flags : {0u, 4u})
    {
        Texture1D texture(system);
        const std::string what = "Texture1D " + std::to_string(flags);
        ASSERT_TRUE(texture.Create(64, R32_FLOAT, flags, nullptr)) << what;
        D3D11_TEXTURE1D_DESC desc = {};
        texture.GetTexture()->GetDesc(&desc);
        const TextureDescription expected = DescribeTexture(TextureKind::Texture1D, 64, 1, 1, R32_FLOAT, flags);
        ExpectDescription(desc, expected, what);
        ExpectViews(texture, expected, what);
        EXPECT_EQ(texture.GetResource(), static_cast<ID3D11Resource*>(texture.GetTexture()));
        EXPECT_EQ(texture.GetWidth(), 64u);
        EXPECT_EQ(texture.GetHeight(), 1u);
        EXPECT_EQ(texture.GetDepth(), 1u);
        EXPECT_EQ(texture.GetMemorySize(), 256u);
    }

    // Texture2D
    for (uint32_t flags : {0u, 2u, 2u | 4u, 8u, 16u, 8u | 16u, 2u | 32u})
    {
        Texture2D texture(system);
        const std::string what = "Texture2D " + std::to_string(flags);
        ASSERT_TRUE(texture.Create(32, 16, R8G8B8A8_UNORM, flags, nullptr)) << what;
        D3D11_TEXTURE2D_DESC desc = {};
        texture.GetTexture()->GetDesc(&desc);
        const TextureDescription expected = DescribeTexture(TextureKind::Texture2D, 32, 16, 1, R8G8B8A8_UNORM, flags);
        ExpectDescription(desc, expected, what);
        ExpectViews(texture, expected, what);
        EXPECT_EQ(texture.GetRenderTargetView() != nullptr, expected.renderTargetView) << what;
        EXPECT_EQ(desc.MipLevels, expected.mipLevels) << what;
        EXPECT_EQ(texture.GetFormat(), R8G8B8A8_UNORM);
        EXPECT_EQ(texture.GetWidth(), 32u);
        EXPECT_EQ(texture.GetHeight(), 16u);
        EXPECT_EQ(texture.GetDepth(), 1u);
        // 32x16, 16x8, 8x4, 4x2, 2x1 with the mip chain (5 levels).
        EXPECT_EQ(texture.GetMemorySize(), (flags & 32) ? (512u + 128u + 32u + 8u + 2u) * 4u : 2048u) << what;
    }

    // Texture3D
    for (uint32_t flags : {0u, 2u, 4u, 2u | 32u})
    {
        Texture3D texture(system);
        const std::string what = "Texture3D " + std::to_string(flags);
        ASSERT_TRUE(texture.Create(8, 4, 2, R8G8B8A8_UNORM, flags, nullptr)) << what;
        D3D11_TEXTURE3D_DESC desc = {};
        texture.GetTexture()->GetDesc(&desc);
        const TextureDescription expected = DescribeTexture(TextureKind::Texture3D, 8, 4, 2, R8G8B8A8_UNORM, flags);
        ExpectDescription(desc, expected, what);
        ExpectViews(texture, expected, what);
        EXPECT_EQ(texture.GetRenderTargetView(), nullptr) << what; // bound, but no view
        EXPECT_EQ(desc.MipLevels, (flags & 32) ? 3u : 4u) << what; // 8|4|2 has bit 3; full chain is 4
        EXPECT_EQ(texture.GetDepth(), 2u);
        // 8x4x2, 4x2x1, 2x1x1 and, in the full chain, 1x1x1.
        EXPECT_EQ(texture.GetMemorySize(), (flags & 32) ? (64u + 8u + 2u) * 4u : (64u + 8u + 2u + 1u) * 4u) << what;
    }

    // TextureCube
    for (uint32_t flags : {0u, 2u, 2u | 32u})
    {
        TextureCube cube(system);
        const std::string what = "TextureCube " + std::to_string(flags);
        ASSERT_TRUE(cube.Create(16, R32_FLOAT, flags, nullptr)) << what;
        D3D11_TEXTURE2D_DESC desc = {};
        cube.GetTexture()->GetDesc(&desc);
        const TextureDescription expected = DescribeTexture(TextureKind::Cube, 16, 16, 1, R32_FLOAT, flags);
        ExpectDescription(desc, expected, what);
        ExpectViews(cube, expected, what);
        EXPECT_EQ(desc.ArraySize, 6u);
        for (uint32_t face = 0; face < 6; ++face)
            EXPECT_EQ(cube.GetFaceView(face) != nullptr, (flags & 2) != 0) << what << " face " << face;
        EXPECT_EQ(cube.GetRenderTargetView(), nullptr);
        EXPECT_EQ(cube.GetWidth(), 16u);
        EXPECT_EQ(cube.GetHeight(), 16u);
        EXPECT_EQ(cube.GetDepth(), 16u);
        EXPECT_EQ(cube.GetMemorySize(), (flags & 32) ? (256u + 64u + 16u + 4u) * 6u * 4u : 6144u) << what;
    }

    // RenderTarget: flag 2 is always added.
    for (uint32_t flags : {0u, 1u, 32u})
    {
        RenderTarget target(system);
        ASSERT_TRUE(target.Create(1024, 512, R8G8B8A8_UNORM, flags)) << flags;
        D3D11_TEXTURE2D_DESC desc = {};
        target.GetTexture()->GetDesc(&desc);
        EXPECT_NE(target.GetRenderTargetView(), nullptr);
        EXPECT_NE(target.GetShaderResourceView(), nullptr);
        EXPECT_EQ(desc.MipLevels, (flags & 32) ? 10u : 1u);
    }

    // DepthStencil: always D24_UNORM_S8_UINT, readable with flag 1.
    for (uint32_t flags : {0u, 1u, 3u})
    {
        DepthStencil depth(system);
        ASSERT_TRUE(depth.Create(64, 64, R32_FLOAT, flags)) << flags;
        EXPECT_EQ(depth.GetFormat(), 45u);
        D3D11_TEXTURE2D_DESC desc = {};
        depth.GetTexture()->GetDesc(&desc);
        EXPECT_EQ(desc.Format, DXGI_FORMAT_R24G8_TYPELESS);
        ASSERT_NE(depth.GetDepthStencilView(), nullptr);
        D3D11_DEPTH_STENCIL_VIEW_DESC depthDesc = {};
        depth.GetDepthStencilView()->GetDesc(&depthDesc);
        EXPECT_EQ(depthDesc.Format, DXGI_FORMAT_D24_UNORM_S8_UINT);
        EXPECT_EQ(depth.GetRenderTargetView(), nullptr);
        EXPECT_EQ(depth.GetShaderResourceView() != nullptr, (flags & 1) != 0) << flags;
        if (depth.GetShaderResourceView())
        {
            D3D11_SHADER_RESOURCE_VIEW_DESC viewDesc = {};
            depth.GetShaderResourceView()->GetDesc(&viewDesc);
            EXPECT_EQ(viewDesc.Format, DXGI_FORMAT_R24_UNORM_X8_TYPELESS);
        }
        EXPECT_EQ(depth.GetMemorySize(), 64u * 64u * 4u);
    }
    EXPECT_TRUE(LogCapture::Get().Lines(Brivet::Utility::Log::LevelError).empty());
}

TEST_F(TextureTest, RefusedFlagCombinationsFailWithALogLine)
{
    struct Case
    {
        const char* line;
        bool (*create)(System* system);
    };
    const Case cases[] = {
        {"[graphics] Unable to create Texture2D with flags 20: mip generation needs a render target that shaders read",
         [](System* s) { return Texture2D(s).Create(16, 16, R8G8B8A8_UNORM, 32, nullptr); }},
        {"[graphics] Unable to create Texture2D with flags A: a dynamic texture cannot be a render target or have "
         "unordered access",
         [](System* s) { return Texture2D(s).Create(16, 16, R8G8B8A8_UNORM, 2 | 8, nullptr); }},
        {"[graphics] Unable to create Texture1D with flags 20: mip generation needs a render target that shaders read",
         [](System* s) { return Texture1D(s).Create(16, R8G8B8A8_UNORM, 32, nullptr); }},
        {"[graphics] Unable to create Texture3D with flags 20: mip generation needs a render target that shaders read",
         [](System* s) { return Texture3D(s).Create(16, 16, 4, R8G8B8A8_UNORM, 32, nullptr); }},
        {"[graphics] Unable to create TextureCube with flags 10: CPU access needs a dynamic or staging texture",
         [](System* s) { return TextureCube(s).Create(16, R8G8B8A8_UNORM, 16, nullptr); }},
        {"[graphics] Unable to create TextureCube with flags 4: a cube has no unordered-access view over its six faces",
         [](System* s) { return TextureCube(s).Create(16, R8G8B8A8_UNORM, 4, nullptr); }},
        {"[graphics] Unable to create TextureCube with flags 8: a dynamic texture has a single level and a single slice",
         [](System* s) { return TextureCube(s).Create(16, R8G8B8A8_UNORM, 8, nullptr); }},
        {"[graphics] Unable to create Texture2D with flags 2A: a dynamic texture cannot be a render target or have "
         "unordered access",
         [](System* s) { return RenderTarget(s).Create(16, 16, R8G8B8A8_UNORM, 8 | 32); }},
    };
    for (const Case& c : cases)
    {
        LogCapture::Get().Clear();
        EXPECT_FALSE(c.create(system)) << c.line;
        const std::vector<std::string> errors = LogLinesContaining("[graphics]");
        ASSERT_EQ(errors.size(), 1u) << c.line;
        EXPECT_EQ(errors[0], c.line);
    }
}

TEST_F(TextureTest, RenderTargetBindsItselfAndItsDepthBuffer)
{
    ColourDraw draw(system);
    ASSERT_TRUE(draw.Ready());

    RenderTarget target(system);
    DepthStencil depth(system);
    ASSERT_TRUE(target.Create(32, 16, R8G8B8A8_UNORM, 0));
    ASSERT_TRUE(depth.Create(32, 16, 0, 1));
    ID3D11DeviceContext* context = system->GetContext();

    // Cleared to a colour and read back.
    const float red[4] = {1.0f, 0.0f, 0.0f, 1.0f};
    context->ClearRenderTargetView(target.GetRenderTargetView(), red);
    context->ClearDepthStencilView(depth.GetDepthStencilView(), D3D11_CLEAR_DEPTH, 1.0f, 0);
    std::vector<uint32_t> pixels = ReadPixels(system, target.GetTexture());
    ASSERT_EQ(pixels.size(), 32u * 16u);
    EXPECT_TRUE(SameColour(pixels[0], Rgba(255, 0, 0))) << ColourText(pixels[0]);
    const std::vector<double> cleared = ReadDepth(system, depth.GetTexture());
    ASSERT_EQ(cleared.size(), 32u * 16u);
    EXPECT_EQ(cleared[0], 1.0);
    EXPECT_EQ(cleared[32 * 16 - 1], 1.0);

    // Bound with the depth buffer: a draw at depth 0.25 covers the whole target and writes its depth.
    target.Bind(&depth);
    ID3D11RenderTargetView* boundTarget = nullptr;
    ID3D11DepthStencilView* boundDepth = nullptr;
    context->OMGetRenderTargets(1, &boundTarget, &boundDepth);
    EXPECT_EQ(boundTarget, target.GetRenderTargetView());
    EXPECT_EQ(boundDepth, depth.GetDepthStencilView());
    if (boundTarget)
        boundTarget->Release();
    if (boundDepth)
        boundDepth->Release();
    UINT count = 1;
    D3D11_VIEWPORT viewport = {};
    context->RSGetViewports(&count, &viewport);
    EXPECT_EQ(viewport.Width, 32.0f);
    EXPECT_EQ(viewport.Height, 16.0f);
    EXPECT_EQ(viewport.MaxDepth, 1.0f);

    draw.Draw(0.0f, 0.0f, 1.0f, 0.25f);
    pixels = ReadPixels(system, target.GetTexture());
    EXPECT_TRUE(SameColour(pixels[0], Rgba(0, 0, 255))) << ColourText(pixels[0]);
    EXPECT_TRUE(SameColour(pixels[32 * 16 - 1], Rgba(0, 0, 255))) << ColourText(pixels[32 * 16 - 1]);
    const std::vector<double> drawn = ReadDepth(system, depth.GetTexture());
    EXPECT_NEAR(drawn[0], 0.25, 0.001);
    EXPECT_NEAR(drawn[32 * 16 - 1], 0.25, 0.001);

    // Bound without a depth buffer.
    target.Bind(nullptr);
    context->OMGetRenderTargets(1, &boundTarget, &boundDepth);
    EXPECT_EQ(boundTarget, target.GetRenderTargetView());
    EXPECT_EQ(boundDepth, nullptr);
    if (boundTarget)
        boundTarget->Release();
    if (boundDepth)
        boundDepth->Release();
}

TEST_F(TextureTest, CubeFacesBindAndClearOneByOne)
{
    ColourDraw draw(system);
    ASSERT_TRUE(draw.Ready());

    TextureCube cube(system);
    DepthStencil depth(system);
    ASSERT_TRUE(cube.Create(8, R8G8B8A8_UNORM, 2, nullptr));
    ASSERT_TRUE(depth.Create(8, 8, 0, 0));
    ID3D11DeviceContext* context = system->GetContext();

    // Each face is cleared through its own view, then drawn into through BindFace.
    const uint32_t cleared[6] = {Rgba(255, 0, 0), Rgba(0, 255, 0), Rgba(0, 0, 255),
                                 Rgba(255, 255, 0), Rgba(0, 255, 255), Rgba(255, 0, 255)};
    for (uint32_t face = 0; face < 6; ++face)
    {
        const uint32_t c = cleared[face];
        const float colour[4] = {(c & 0xFF) / 255.0f, ((c >> 8) & 0xFF) / 255.0f, ((c >> 16) & 0xFF) / 255.0f, 1.0f};
        context->ClearRenderTargetView(cube.GetFaceView(face), colour);
    }
    for (uint32_t face = 0; face < 6; ++face)
    {
        const std::vector<uint32_t> pixels = ReadTexels(system, cube.GetTexture(), face);
        ASSERT_EQ(pixels.size(), 64u);
        EXPECT_TRUE(SameColour(pixels[0], cleared[face])) << face << " " << ColourText(pixels[0]);
        EXPECT_TRUE(SameColour(pixels[63], cleared[face])) << face << " " << ColourText(pixels[63]);
    }

    // Faces 1 and 4 get a draw; the others keep their colour.
    for (uint32_t face : {1u, 4u})
    {
        context->ClearDepthStencilView(depth.GetDepthStencilView(), D3D11_CLEAR_DEPTH, 1.0f, 0);
        cube.BindFace(face, &depth);
        UINT count = 1;
        D3D11_VIEWPORT viewport = {};
        context->RSGetViewports(&count, &viewport);
        EXPECT_EQ(viewport.Width, 8.0f);
        EXPECT_EQ(viewport.Height, 8.0f);
        draw.Draw(face / 4.0f, 0.5f, 0.0f, 0.5f);
    }
    for (uint32_t face = 0; face < 6; ++face)
    {
        const std::vector<uint32_t> pixels = ReadTexels(system, cube.GetTexture(), face);
        uint32_t expected = cleared[face];
        if (face == 1 || face == 4)
            expected = Rgba(face == 4 ? 255 : 64, 128, 0);
        EXPECT_TRUE(SameColour(pixels[27], expected)) << face << " " << ColourText(pixels[27]);
    }

    // A face out of range binds nothing.
    context->OMSetRenderTargets(0, nullptr, nullptr);
    cube.BindFace(6, &depth);
    ID3D11RenderTargetView* bound = nullptr;
    context->OMGetRenderTargets(1, &bound, nullptr);
    EXPECT_EQ(bound, nullptr);
    if (bound)
        bound->Release();
}

TEST_F(TextureTest, UploadRewritesTheRowsOfADynamicTextureAndFailsCleanlyOtherwise)
{
    // 4x2 floats: two rows of 16 bytes copied at the mapped pitch.
    Texture2D dynamic(system);
    ASSERT_TRUE(dynamic.Create(4, 2, R32_FLOAT, 8, nullptr));
    const float rows[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_TRUE(dynamic.Upload(rows));
    std::vector<uint32_t> texels = ReadTexels(system, dynamic.GetTexture(), 0);
    ASSERT_EQ(texels.size(), 8u);
    EXPECT_EQ(memcmp(texels.data(), rows, sizeof(rows)), 0);

    const float again[8] = {-1, -2, -3, -4, -5, -6, -7, -8};
    EXPECT_TRUE(dynamic.Upload(again));
    texels = ReadTexels(system, dynamic.GetTexture(), 0);
    EXPECT_EQ(memcmp(texels.data(), again, sizeof(again)), 0);

    // Textures that cannot be mapped for writing report it and keep their content.
    LogCapture::Get().Clear();
    const float colour[4] = {0.5f, 0.5f, 0.5f, 0.5f};
    Texture2D plain(system);
    ASSERT_TRUE(plain.Create(4, 2, R32_FLOAT, 0, colour));
    EXPECT_FALSE(plain.Upload(rows));
    Texture1D line(system);
    ASSERT_TRUE(line.Create(4, R32_FLOAT, 8, nullptr)); // 1D textures are never dynamic
    EXPECT_FALSE(line.Upload(rows));
    Texture3D volume(system);
    ASSERT_TRUE(volume.Create(4, 2, 1, R32_FLOAT, 0, nullptr));
    EXPECT_FALSE(volume.Upload(rows));
    DepthStencil depth(system);
    ASSERT_TRUE(depth.Create(4, 2, 0, 0));
    EXPECT_FALSE(depth.Upload(rows));
    EXPECT_EQ(LogLinesContaining("[graphics] Unable to map texture for upload").size(), 4u);

    // Cubes and never-created textures do not upload, silently.
    LogCapture::Get().Clear();
    TextureCube cube(system);
    ASSERT_TRUE(cube.Create(4, R32_FLOAT, 0, nullptr));
    EXPECT_FALSE(cube.Upload(rows));
    Texture2D empty(system);
    EXPECT_FALSE(empty.Upload(rows));
    EXPECT_TRUE(LogCapture::Get().Lines().empty());
}

TEST_F(TextureTest, InitialDataFillsLevelZeroOfEveryKindIncludingMipChains)
{
    // A 2D mip chain from data: level 0 is the data, the lower levels are generated from it.
    std::vector<uint32_t> image(8 * 8, Rgba(10, 200, 30));
    image[0] = Rgba(250, 0, 0);
    Texture2D mipped(system);
    ASSERT_TRUE(mipped.Create(8, 8, R8G8B8A8_UNORM, 2 | 32, image.data()));
    D3D11_TEXTURE2D_DESC desc = {};
    mipped.GetTexture()->GetDesc(&desc);
    EXPECT_EQ(desc.MipLevels, 3u);
    EXPECT_EQ(ReadTexels(system, mipped.GetTexture(), 0), image);
    const std::vector<uint32_t> level2 = ReadTexels(system, mipped.GetTexture(), 2);
    ASSERT_EQ(level2.size(), 4u); // 2x2
    EXPECT_TRUE(SameColour(level2[3], Rgba(10, 200, 30))) << ColourText(level2[3]);

    // A 3D texture always has its full chain (4x2x2: three levels); level 0 is the data.
    std::vector<uint32_t> volume(4 * 2 * 2);
    for (size_t i = 0; i < volume.size(); ++i)
        volume[i] = Rgba((uint32_t)i * 10, 255 - (uint32_t)i * 10, 7);
    Texture3D texture3D(system);
    ASSERT_TRUE(texture3D.Create(4, 2, 2, R8G8B8A8_UNORM, 0, volume.data()));
    D3D11_TEXTURE3D_DESC desc3D = {};
    texture3D.GetTexture()->GetDesc(&desc3D);
    EXPECT_EQ(desc3D.MipLevels, 3u);
    EXPECT_EQ(ReadTexels(system, texture3D.GetTexture(), 0), volume);
    EXPECT_EQ(ReadTexels(system, texture3D.GetTexture(), 1), std::vector<uint32_t>(2, 0u)); // 2x1x1 of zeros

    // A cube: the six faces of level 0 one after another.
    std::vector<uint32_t> faces(6 * 4 * 4);
    for (uint32_t face = 0; face < 6; ++face)
        for (uint32_t i = 0; i < 16; ++i)
            faces[face * 16 + i] = Rgba(face * 40, i * 15, 100);
    TextureCube cube(system);
    ASSERT_TRUE(cube.Create(4, R8G8B8A8_UNORM, 0, faces.data()));
    for (uint32_t face = 0; face < 6; ++face)
        EXPECT_EQ(ReadTexels(system, cube.GetTexture(), face),
                  std::vector<uint32_t>(faces.begin() + face * 16, faces.begin() + face * 16 + 16))
            << face;

    // A 1D texture and a cube with mip chains from data.
    std::vector<uint32_t> row(16, Rgba(1, 2, 3));
    Texture1D line(system);
    ASSERT_TRUE(line.Create(16, R8G8B8A8_UNORM, 0, row.data()));
    EXPECT_EQ(ReadTexels(system, line.GetTexture(), 0), row);
    TextureCube mippedCube(system);
    ASSERT_TRUE(mippedCube.Create(4, R8G8B8A8_UNORM, 2 | 32, faces.data()));
    cube.GetTexture()->GetDesc(&desc);
    mippedCube.GetTexture()->GetDesc(&desc);
    EXPECT_EQ(desc.MipLevels, 2u);
    // Face 5 sits at subresource 5 × 2 levels.
    EXPECT_EQ(ReadTexels(system, mippedCube.GetTexture(), 10),
              std::vector<uint32_t>(faces.begin() + 80, faces.begin() + 96));
}

TEST_F(TextureTest, UnorderedAccessClearWritesOnlyThroughItsView)
{
    Texture2D target(system);
    ASSERT_TRUE(target.Create(4, 4, R32_FLOAT, 4, nullptr));
    const float quarter[4] = {0.25f, 0.25f, 0.25f, 0.25f};
    target.ClearUnorderedAccessView(quarter);
    std::vector<uint32_t> texels = ReadTexels(system, target.GetTexture(), 0);
    ASSERT_EQ(texels.size(), 16u);
    float value = 0;
    memcpy(&value, &texels[5], 4);
    EXPECT_EQ(value, 0.25f);

    // Without flag 4 nothing happens.
    std::vector<float> ones(16, 1.0f);
    Texture2D plain(system);
    ASSERT_TRUE(plain.Create(4, 4, R32_FLOAT, 0, ones.data()));
    EXPECT_EQ(plain.GetUnorderedAccessView(), nullptr);
    plain.ClearUnorderedAccessView(quarter);
    texels = ReadTexels(system, plain.GetTexture(), 0);
    memcpy(&value, &texels[5], 4);
    EXPECT_EQ(value, 1.0f);
}

TEST_F(TextureTest, AdoptedTexturesReportTheirSizesAndFormat)
{
    D3D11_TEXTURE2D_DESC desc = {};
    desc.Width = 20;
    desc.Height = 10;
    desc.MipLevels = 1;
    desc.ArraySize = 1;
    desc.Format = DXGI_FORMAT_R8G8B8A8_UNORM;
    desc.SampleDesc.Count = 1;
    desc.Usage = D3D11_USAGE_DEFAULT;
    desc.BindFlags = D3D11_BIND_SHADER_RESOURCE;
    ID3D11Texture2D* made = nullptr;
    ASSERT_HRESULT_SUCCEEDED(system->GetDevice()->CreateTexture2D(&desc, nullptr, &made));
    ID3D11ShaderResourceView* view = nullptr;
    ASSERT_HRESULT_SUCCEEDED(system->GetDevice()->CreateShaderResourceView(made, nullptr, &view));

    Texture2D texture(system);
    texture.Adopt(made, view);
    EXPECT_EQ(texture.GetWidth(), 20u);
    EXPECT_EQ(texture.GetHeight(), 10u);
    EXPECT_EQ(texture.GetFormat(), R8G8B8A8_UNORM);
    EXPECT_EQ(texture.GetShaderResourceView(), view);
    EXPECT_EQ(texture.GetResource(), static_cast<ID3D11Resource*>(made));
    EXPECT_EQ(texture.GetMemorySize(), 800u);
}
