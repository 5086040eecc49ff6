// Common part of the texture classes: views, creation checks and initial data.
#include "Graphics/ITexture.h"

#include <cstdlib>

#include <d3d11.h>

#include "Graphics/Format.h"
#include "Graphics/System.h"
#include "Graphics/TextureFlags.h"
#include "Utility/Log.h"
#include "Utility/SafeRelease.h"

using Brivet::Utility::Log;

namespace Brivet::Graphics
{

// The portable rules speak Direct3D's numbers.
static_assert((uint32_t)TextureDescription::UsageDefault == (uint32_t)D3D11_USAGE_DEFAULT);
static_assert((uint32_t)TextureDescription::UsageDynamic == (uint32_t)D3D11_USAGE_DYNAMIC);
static_assert((uint32_t)TextureDescription::UsageStaging == (uint32_t)D3D11_USAGE_STAGING);
static_assert((uint32_t)TextureDescription::BindShaderResource == (uint32_t)D3D11_BIND_SHADER_RESOURCE);
static_assert((uint32_t)TextureDescription::BindRenderTarget == (uint32_t)D3D11_BIND_RENDER_TARGET);
static_assert((uint32_t)TextureDescription::BindDepthStencil == (uint32_t)D3D11_BIND_DEPTH_STENCIL);
static_assert((uint32_t)TextureDescription::BindUnorderedAccess == (uint32_t)D3D11_BIND_UNORDERED_ACCESS);
static_assert((uint32_t)TextureDescription::CpuAccessWrite == (uint32_t)D3D11_CPU_ACCESS_WRITE);
static_assert((uint32_t)TextureDescription::CpuAccessRead == (uint32_t)D3D11_CPU_ACCESS_READ);
static_assert((uint32_t)TextureDescription::MiscGenerateMips == (uint32_t)D3D11_RESOURCE_MISC_GENERATE_MIPS);
static_assert((uint32_t)TextureDescription::MiscTextureCube == (uint32_t)D3D11_RESOURCE_MISC_TEXTURECUBE);
static_assert(FormatR24G8Typeless == DXGI_FORMAT_R24G8_TYPELESS);
static_assert(FormatD24UnormS8Uint == DXGI_FORMAT_D24_UNORM_S8_UINT);
static_assert(FormatR24UnormX8Typeless == DXGI_FORMAT_R24_UNORM_X8_TYPELESS);

ITexture::ITexture(System* system)
    : system(system), format(0), shaderResourceView(nullptr), renderTargetView(nullptr), unorderedAccessView(nullptr)
{
}

ITexture::~ITexture()
{
    ReleaseViews();
}

void ITexture::ReleaseViews()
{
    Utility::SafeRelease(shaderResourceView);
    Utility::SafeRelease(renderTargetView);
    Utility::SafeRelease(unorderedAccessView);
}

void ITexture::ClearUnorderedAccessView(const float values[4])
{
    if (unorderedAccessView)
        system->GetContext()->ClearUnorderedAccessViewFloat(unorderedAccessView, values);
}

bool ITexture::Upload(const void* bytes)
{
    return false;
}

bool ITexture::IsAccepted(const char* className, uint32_t flags, const TextureDescription& description)
{
    const char* reason = RefusedTextureDescription(description);
    if (!reason)
        return true;
    Log::Error("[graphics] Unable to create %s with flags %X: %s", className, (unsigned)flags, reason);
    return false;
}

bool ITexture::CreateViews(ID3D11Resource* texture, TextureKind kind, const TextureDescription& d)
{
    ID3D11Device* device = system->GetDevice();
    if (d.shaderResourceView)
    {
        D3D11_SHADER_RESOURCE_VIEW_DESC view = {};
        view.Format = (DXGI_FORMAT)format;
        switch (kind)
        {
        case TextureKind::Texture1D:
            view.ViewDimension = D3D11_SRV_DIMENSION_TEXTURE1D;
            view.Texture1D.MipLevels = (UINT)-1;
            break;
        case TextureKind::Texture3D:
            view.ViewDimension = D3D11_SRV_DIMENSION_TEXTURE3D;
            view.Texture3D.MipLevels = (UINT)-1;
            break;
        case TextureKind::Cube:
            view.ViewDimension = D3D11_SRV_DIMENSION_TEXTURECUBE;
            view.TextureCube.MipLevels = (UINT)-1;
            break;
        default:
            view.ViewDimension = D3D11_SRV_DIMENSION_TEXTURE2D;
            view.Texture2D.MipLevels = (UINT)-1;
            break;
        }
        if (FAILED(device->CreateShaderResourceView(texture, &view, &shaderResourceView)))
            return false;
    }
    if (kind == TextureKind::Cube)
        return true;
    if (d.renderTargetView)
    {
        D3D11_RENDER_TARGET_VIEW_DESC view = {};
        view.Format = (DXGI_FORMAT)format;
        view.ViewDimension = D3D11_RTV_DIMENSION_TEXTURE2D;
        view.Texture2D.MipSlice = 0;
        if (FAILED(device->CreateRenderTargetView(texture, &view, &renderTargetView)))
            return false;
    }
    if (d.unorderedAccessView)
    {
        D3D11_UNORDERED_ACCESS_VIEW_DESC view = {};
        view.Format = (DXGI_FORMAT)format;
        switch (kind)
        {
        case TextureKind::Texture1D:
            view.ViewDimension = D3D11_UAV_DIMENSION_TEXTURE1D;
            view.Texture1D.MipSlice = 0;
            break;
        case TextureKind::Texture3D:
            view.ViewDimension = D3D11_UAV_DIMENSION_TEXTURE3D;
            view.Texture3D.MipSlice = 0;
            view.Texture3D.FirstWSlice = 0;
            view.Texture3D.WSize = (UINT)-1;
            break;
        default:
            view.ViewDimension = D3D11_UAV_DIMENSION_TEXTURE2D;
            view.Texture2D.MipSlice = 0;
            break;
        }
        if (FAILED(device->CreateUnorderedAccessView(texture, &view, &unorderedAccessView)))
            return false;
    }
    return true;
}

ITexture::InitialData::InitialData(const void* data, uint32_t width, uint32_t height, uint32_t depth, uint32_t faces,
                                   uint32_t levels, uint32_t format)
    : records(nullptr), zeros(nullptr), failed(false)
{
    if (!data)
        return;
    const uint32_t elementSize = FormatSize(format);
    const uint64_t zeroBytes = LowerLevelBytes(width, height, depth, elementSize, levels);
    if (zeroBytes)
        zeros = calloc(1, (size_t)zeroBytes);
    const uint32_t count = faces * levels;
    InitialDataRecord* layout = static_cast<InitialDataRecord*>(calloc(count, sizeof(InitialDataRecord)));
    records = static_cast<D3D11_SUBRESOURCE_DATA*>(calloc(count, sizeof(D3D11_SUBRESOURCE_DATA)));
    if (!layout || !records || (zeroBytes && !zeros))
    {
        // Out of memory: no data rather than records that point nowhere.
        free(layout);
        free(records);
        records = nullptr;
        failed = true;
        return;
    }
    LayoutInitialData(width, height, depth, faces, levels, elementSize, data, zeros, layout);
    for (uint32_t i = 0; i < count; ++i)
    {
        records[i].pSysMem = layout[i].data;
        records[i].SysMemPitch = layout[i].rowPitch;
        records[i].SysMemSlicePitch = layout[i].slicePitch;
    }
    free(layout);
}

ITexture::InitialData::~InitialData()
{
    free(records);
    free(zeros);
}

void ITexture::GenerateMipsFromData(const void* data, const TextureDescription& description)
{
    if (data && shaderResourceView && (description.miscFlags & TextureDescription::MiscGenerateMips))
        system->GetContext()->GenerateMips(shaderResourceView);
}

} // namespace Brivet::Graphics
