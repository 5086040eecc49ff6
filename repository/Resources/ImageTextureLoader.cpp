// The DDS and WIC image loaders.
#include "repository/Resources/ImageTextureLoader.h"

#include "repository/Resources/ImageLayout.h"
#include "Utility/Log.h"
#include "Utility/SafeRelease.h"

#include <objbase.h>
#include <wincodec.h>

#include <new>

using Brivet::Utility::Log;
using Brivet::Utility::SafeRelease;

namespace ImageTextureLoader
{
static_assert(Result::Fail == E_FAIL);
static_assert(Result::InvalidArgument == E_INVALIDARG);
static_assert(Result::OutOfMemory == E_OUTOFMEMORY);
static_assert(Result::Unexpected == E_UNEXPECTED);
static_assert(Result::NoInterface == E_NOINTERFACE);
static_assert(Result::Pointer == E_POINTER);
static_assert(Result::InvalidData == HRESULT_FROM_WIN32(ERROR_INVALID_DATA));
static_assert(Result::HandleEof == HRESULT_FROM_WIN32(ERROR_HANDLE_EOF));
static_assert(Result::NotSupported == HRESULT_FROM_WIN32(ERROR_NOT_SUPPORTED));
static_assert(Result::FileTooLarge == HRESULT_FROM_WIN32(ERROR_FILE_TOO_LARGE));
static_assert(Result::ArithmeticOverflow == HRESULT_FROM_WIN32(ERROR_ARITHMETIC_OVERFLOW));
static_assert((uint32_t)Dimension1D == (uint32_t)D3D11_RESOURCE_DIMENSION_TEXTURE1D);
static_assert((uint32_t)Dimension2D == (uint32_t)D3D11_RESOURCE_DIMENSION_TEXTURE2D);
static_assert((uint32_t)Dimension3D == (uint32_t)D3D11_RESOURCE_DIMENSION_TEXTURE3D);
static_assert((uint32_t)FeatureLevel9_1 == (uint32_t)D3D_FEATURE_LEVEL_9_1);
static_assert((uint32_t)FeatureLevel10_0 == (uint32_t)D3D_FEATURE_LEVEL_10_0);

namespace
{
// Hands a made resource and view to the caller's outputs; a resource the caller did not
// ask for is released (the view keeps it alive).
void HandOver(ID3D11Resource* resource, ID3D11ShaderResourceView* view, ID3D11Resource** textureOut,
              ID3D11ShaderResourceView** viewOut)
{
    if (textureOut)
        *textureOut = resource;
    else
        resource->Release();
    if (viewOut)
        *viewOut = view;
    else
        SafeRelease(view);
}

// Fills the levels below the just uploaded top level of view's texture.
void GenerateBelowUploadedTop(ID3D11DeviceContext* context, ID3D11ShaderResourceView* view)
{
    // Under Wine's GL path on llvmpipe, work still queued before GenerateMips can leave the levels empty.
    context->Flush();
    context->GenerateMips(view);
}

// ---------------------------------------------------------------------------------------
// DDS

// The texture of t's dimension at width × height × depth with mipCount levels (0: the full
// chain) and its view when view is given (released again when the view fails).
HRESULT CreateDdsResources(ID3D11Device* device, const DdsTexture& t, uint32_t width, uint32_t height, uint32_t depth,
                           uint32_t mipCount, D3D11_USAGE usage, UINT bindFlags, UINT cpuAccessFlags, UINT miscFlags,
                           bool forceSrgb, const D3D11_SUBRESOURCE_DATA* initialData, ID3D11Resource** texture,
                           ID3D11ShaderResourceView** view)
{
    if (!device || !texture)
        return E_POINTER;
    const DXGI_FORMAT format = (DXGI_FORMAT)(forceSrgb ? ToSrgbFormat(t.format) : t.format);
    const UINT viewLevels = mipCount ? mipCount : (UINT)-1;
    D3D11_SHADER_RESOURCE_VIEW_DESC viewDesc = {};
    viewDesc.Format = format;

    // What the three texture descriptions share; the cube bit only on a cube.
    auto describe = [&](auto& desc) {
        desc.Width = width;
        desc.MipLevels = mipCount;
        desc.Format = format;
        desc.Usage = usage;
        desc.BindFlags = bindFlags;
        desc.CPUAccessFlags = cpuAccessFlags;
        desc.MiscFlags = t.cube ? (miscFlags | D3D11_RESOURCE_MISC_TEXTURECUBE)
                                : (miscFlags & ~(UINT)D3D11_RESOURCE_MISC_TEXTURECUBE);
    };

    ID3D11Resource* resource = nullptr;
    HRESULT hr = E_FAIL;
    switch (t.dimension)
    {
    case Dimension1D:
    {
        D3D11_TEXTURE1D_DESC desc = {};
        describe(desc);
        desc.ArraySize = t.arraySize;
        ID3D11Texture1D* made = nullptr;
        hr = device->CreateTexture1D(&desc, initialData, &made);
        resource = made;
        if (t.arraySize > 1)
        {
            viewDesc.ViewDimension = D3D11_SRV_DIMENSION_TEXTURE1DARRAY;
            viewDesc.Texture1DArray.MipLevels = viewLevels;
            viewDesc.Texture1DArray.ArraySize = t.arraySize;
        }
        else
        {
            viewDesc.ViewDimension = D3D11_SRV_DIMENSION_TEXTURE1D;
            viewDesc.Texture1D.MipLevels = viewLevels;
        }
        break;
    }
    case Dimension2D:
    {
        D3D11_TEXTURE2D_DESC desc = {};
        describe(desc);
        desc.Height = height;
        desc.ArraySize = t.arraySize;
        desc.SampleDesc.Count = 1;
        ID3D11Texture2D* made = nullptr;
        hr = device->CreateTexture2D(&desc, initialData, &made);
        resource = made;
        if (t.cube && t.arraySize > 6)
        {
            viewDesc.ViewDimension = D3D11_SRV_DIMENSION_TEXTURECUBEARRAY;
            viewDesc.TextureCubeArray.MipLevels = viewLevels;
            viewDesc.TextureCubeArray.NumCubes = t.arraySize / 6;
        }
        else if (t.cube)
        {
            viewDesc.ViewDimension = D3D11_SRV_DIMENSION_TEXTURECUBE;
            viewDesc.TextureCube.MipLevels = viewLevels;
        }
        else if (t.arraySize > 1)
        {
            viewDesc.ViewDimension = D3D11_SRV_DIMENSION_TEXTURE2DARRAY;
            viewDesc.Texture2DArray.MipLevels = viewLevels;
            viewDesc.Texture2DArray.ArraySize = t.arraySize;
        }
        else
        {
            viewDesc.ViewDimension = D3D11_SRV_DIMENSION_TEXTURE2D;
            viewDesc.Texture2D.MipLevels = viewLevels;
        }
        break;
    }
    case Dimension3D:
    {
        D3D11_TEXTURE3D_DESC desc = {};
        describe(desc);
        desc.Height = height;
        desc.Depth = depth;
        ID3D11Texture3D* made = nullptr;
        hr = device->CreateTexture3D(&desc, initialData, &made);
        resource = made;
        viewDesc.ViewDimension = D3D11_SRV_DIMENSION_TEXTURE3D;
        viewDesc.Texture3D.MipLevels = viewLevels;
        break;
    }
    default:
        return E_FAIL;
    }
    if (FAILED(hr))
        return hr;

    if (view)
    {
        hr = device->CreateShaderResourceView(resource, &viewDesc, view);
        if (FAILED(hr))
        {
            resource->Release();
            return hr;
        }
    }
    *texture = resource;
    return S_OK;
}

// The levels of a view.
bool ViewMipLevels(ID3D11ShaderResourceView* view, UINT* levels)
{
    D3D11_SHADER_RESOURCE_VIEW_DESC desc = {};
    view->GetDesc(&desc);
    switch (desc.ViewDimension)
    {
    case D3D11_SRV_DIMENSION_TEXTURE1D:
        *levels = desc.Texture1D.MipLevels;
        return true;
    case D3D11_SRV_DIMENSION_TEXTURE1DARRAY:
        *levels = desc.Texture1DArray.MipLevels;
        return true;
    case D3D11_SRV_DIMENSION_TEXTURE2D:
        *levels = desc.Texture2D.MipLevels;
        return true;
    case D3D11_SRV_DIMENSION_TEXTURE2DARRAY:
        *levels = desc.Texture2DArray.MipLevels;
        return true;
    case D3D11_SRV_DIMENSION_TEXTURECUBE:
        *levels = desc.TextureCube.MipLevels;
        return true;
    case D3D11_SRV_DIMENSION_TEXTURECUBEARRAY:
        *levels = desc.TextureCubeArray.MipLevels;
        return true;
    case D3D11_SRV_DIMENSION_TEXTURE3D:
        *levels = desc.Texture3D.MipLevels;
        return true;
    default:
        return false;
    }
}

// Fills the levels below the top from it. A cube's faces are generated through a view of
// them as a 2D array: the same levels, and Wine leaves them empty through a cube view.
void GenerateMips(ID3D11Device* device, ID3D11DeviceContext* context, const DdsTexture& t, ID3D11Resource* resource,
                  ID3D11ShaderResourceView* view)
{
    ID3D11ShaderResourceView* faces = nullptr;
    if (t.cube)
    {
        D3D11_SHADER_RESOURCE_VIEW_DESC desc = {};
        view->GetDesc(&desc);
        desc.ViewDimension = D3D11_SRV_DIMENSION_TEXTURE2DARRAY;
        desc.Texture2DArray.MostDetailedMip = 0;
        desc.Texture2DArray.MipLevels = (UINT)-1;
        desc.Texture2DArray.FirstArraySlice = 0;
        desc.Texture2DArray.ArraySize = t.arraySize;
        if (FAILED(device->CreateShaderResourceView(resource, &desc, &faces)))
            faces = nullptr;
    }
    GenerateBelowUploadedTop(context, faces ? faces : view);
    SafeRelease(faces);
}

// A single level with its full chain generated on the GPU: the texture is made with every
// level, render-target binding and mip generation, each array item's top level is uploaded
// and the view generates the rest.
HRESULT CreateDdsWithGeneratedMips(ID3D11Device* device, ID3D11DeviceContext* context, const DdsTexture& t,
                                   const uint8_t* pixels, D3D11_USAGE usage, UINT bindFlags, UINT cpuAccessFlags,
                                   UINT miscFlags, bool forceSrgb, ID3D11Resource** textureOut,
                                   ID3D11ShaderResourceView** viewOut)
{
    // Where each item's top level lies, every depth slice of it checked against the data
    // before anything is created or uploaded.
    DdsSubresource* records = new (std::nothrow) DdsSubresource[t.arraySize];
    if (!records)
        return E_OUTOFMEMORY;
    DdsLevels levels = {};
    HRESULT hr = FillDdsSubresources(t, 0, records, &levels);
    if (FAILED(hr))
    {
        delete[] records;
        return hr;
    }

    ID3D11Resource* resource = nullptr;
    ID3D11ShaderResourceView* view = nullptr;
    hr = CreateDdsResources(device, t, t.width, t.height, t.depth, 0, usage,
                            bindFlags | D3D11_BIND_SHADER_RESOURCE | D3D11_BIND_RENDER_TARGET, cpuAccessFlags,
                            miscFlags | D3D11_RESOURCE_MISC_GENERATE_MIPS, forceSrgb, nullptr, &resource, &view);
    if (FAILED(hr))
    {
        delete[] records;
        return hr;
    }

    UINT mipLevels = 0;
    if (!ViewMipLevels(view, &mipLevels))
    {
        delete[] records;
        view->Release();
        resource->Release();
        return E_UNEXPECTED;
    }
    for (uint32_t item = 0; item < t.arraySize; ++item)
    {
        const DdsSubresource& record = records[item];
        context->UpdateSubresource(resource, D3D11CalcSubresource(0, item, mipLevels), nullptr,
                                   pixels + record.offset, record.rowPitch, record.slicePitch);
    }
    delete[] records;
    GenerateMips(device, context, t, resource, view);
    HandOver(resource, view, textureOut, viewOut);
    return S_OK;
}

// Every level the file holds, as initial data; levels above maxSize (when not 0) dropped.
HRESULT CreateDdsWithStoredMips(ID3D11Device* device, const DdsTexture& t, const uint8_t* pixels, uint32_t maxSize,
                                D3D11_USAGE usage, UINT bindFlags, UINT cpuAccessFlags, UINT miscFlags, bool forceSrgb,
                                ID3D11Resource** textureOut, ID3D11ShaderResourceView** viewOut)
{
    const size_t count = (size_t)t.arraySize * t.mipCount; // at most 2048 × 15
    DdsSubresource* records = new (std::nothrow) DdsSubresource[count];
    D3D11_SUBRESOURCE_DATA* initial = new (std::nothrow) D3D11_SUBRESOURCE_DATA[count];
    if (!records || !initial)
    {
        delete[] records;
        delete[] initial;
        return E_OUTOFMEMORY;
    }

    ID3D11Resource* resource = nullptr;
    ID3D11ShaderResourceView* view = nullptr;
    bool retried = false;
    HRESULT hr = S_OK;
    for (;;)
    {
        DdsLevels levels = {};
        hr = FillDdsSubresources(t, maxSize, records, &levels);
        if (FAILED(hr))
            break;
        for (size_t i = 0; i < (size_t)t.arraySize * levels.count; ++i)
        {
            initial[i].pSysMem = pixels + records[i].offset;
            initial[i].SysMemPitch = records[i].rowPitch;
            initial[i].SysMemSlicePitch = records[i].slicePitch;
        }
        hr = CreateDdsResources(device, t, levels.width, levels.height, levels.depth, levels.count, usage, bindFlags,
                                cpuAccessFlags, miscFlags, forceSrgb, initial, &resource, viewOut ? &view : nullptr);
        // Refused with every level: once more without the levels the feature level cannot hold.
        if (SUCCEEDED(hr) || retried || maxSize != 0 || t.mipCount <= 1)
            break;
        maxSize = DdsRetryMaxSize((uint32_t)device->GetFeatureLevel(), t.dimension, t.cube);
        retried = true;
    }
    delete[] records;
    delete[] initial;
    if (SUCCEEDED(hr))
        HandOver(resource, view, textureOut, viewOut);
    return hr;
}

HRESULT CreateTextureFromDdsData(ID3D11Device* device, ID3D11DeviceContext* context, const DdsTexture& t,
                                 const uint8_t* pixels, size_t maxSize, D3D11_USAGE usage, UINT bindFlags,
                                 UINT cpuAccessFlags, UINT miscFlags, bool forceSrgb, ID3D11Resource** texture,
                                 ID3D11ShaderResourceView** view)
{
    bool generate = false;
    if (t.mipCount == 1 && context && view)
    {
        // The format that will be created: its sRGB variant may differ in what it supports.
        const DXGI_FORMAT format = (DXGI_FORMAT)(forceSrgb ? ToSrgbFormat(t.format) : t.format);
        UINT support = 0;
        if (SUCCEEDED(device->CheckFormatSupport(format, &support)) && (support & D3D11_FORMAT_SUPPORT_MIP_AUTOGEN))
            generate = t.dimension != Dimension3D || device->GetFeatureLevel() >= D3D_FEATURE_LEVEL_10_0;
    }
    if (generate)
        return CreateDdsWithGeneratedMips(device, context, t, pixels, usage, bindFlags, cpuAccessFlags, miscFlags,
                                          forceSrgb, texture, view);
    const uint32_t limit = maxSize > 0xFFFFFFFFu ? 0xFFFFFFFFu : (uint32_t)maxSize;
    return CreateDdsWithStoredMips(device, t, pixels, limit, usage, bindFlags, cpuAccessFlags, miscFlags, forceSrgb,
                                   texture, view);
}

// ---------------------------------------------------------------------------------------
// WIC

IWICImagingFactory* wicFactory = nullptr; // created once, never released
bool wicFactory2 = false;
INIT_ONCE wicOnce = INIT_ONCE_STATIC_INIT;

BOOL CALLBACK CreateWicFactoryOnce(PINIT_ONCE, PVOID, PVOID*)
{
    // Nothing else in the program uses COM: it is initialised here, once, and never left
    // (the factory lives as long as the process). On a thread already in another
    // apartment this fails harmlessly and that apartment is used.
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);

    IWICImagingFactory2* factory2 = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory2, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory2,
                                   reinterpret_cast<void**>(&factory2))))
    {
        wicFactory = factory2;
        wicFactory2 = true;
        return TRUE;
    }
    IWICImagingFactory* factory = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory1, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                   reinterpret_cast<void**>(&factory))))
        wicFactory = factory;
    return TRUE;
}

IWICImagingFactory* GetWicFactory(bool* isFactory2)
{
    InitOnceExecuteOnce(&wicOnce, CreateWicFactoryOnce, nullptr, nullptr);
    if (isFactory2)
        *isFactory2 = wicFactory2;
    return wicFactory;
}

struct WicFormatRow
{
    const GUID* wic;
    DXGI_FORMAT dxgi;
};

// Decoded formats a texture takes as they are.
const WicFormatRow WicFormats[] = {
    {&GUID_WICPixelFormat128bppRGBAFloat, DXGI_FORMAT_R32G32B32A32_FLOAT},
    {&GUID_WICPixelFormat64bppRGBAHalf, DXGI_FORMAT_R16G16B16A16_FLOAT},
    {&GUID_WICPixelFormat64bppRGBA, DXGI_FORMAT_R16G16B16A16_UNORM},
    {&GUID_WICPixelFormat32bppRGBA, DXGI_FORMAT_R8G8B8A8_UNORM},
    {&GUID_WICPixelFormat32bppBGRA, DXGI_FORMAT_B8G8R8A8_UNORM},
    {&GUID_WICPixelFormat32bppBGR, DXGI_FORMAT_B8G8R8X8_UNORM},
    {&GUID_WICPixelFormat32bppRGBA1010102XR, DXGI_FORMAT_R10G10B10_XR_BIAS_A2_UNORM},
    {&GUID_WICPixelFormat32bppRGBA1010102, DXGI_FORMAT_R10G10B10A2_UNORM},
    {&GUID_WICPixelFormat16bppBGRA5551, DXGI_FORMAT_B5G5R5A1_UNORM},
    {&GUID_WICPixelFormat16bppBGR565, DXGI_FORMAT_B5G6R5_UNORM},
    {&GUID_WICPixelFormat32bppGrayFloat, DXGI_FORMAT_R32_FLOAT},
    {&GUID_WICPixelFormat16bppGrayHalf, DXGI_FORMAT_R16_FLOAT},
    {&GUID_WICPixelFormat16bppGray, DXGI_FORMAT_R16_UNORM},
    {&GUID_WICPixelFormat8bppGray, DXGI_FORMAT_R8_UNORM},
    {&GUID_WICPixelFormat8bppAlpha, DXGI_FORMAT_A8_UNORM},
};

struct WicConversionRow
{
    const GUID* source;
    const GUID* target;
};

// Decoded formats converted first, to a format of the table above.
const WicConversionRow WicConversions[] = {
    {&GUID_WICPixelFormatBlackWhite, &GUID_WICPixelFormat8bppGray},
    {&GUID_WICPixelFormat2bppGray, &GUID_WICPixelFormat8bppGray},
    {&GUID_WICPixelFormat4bppGray, &GUID_WICPixelFormat8bppGray},
    {&GUID_WICPixelFormat1bppIndexed, &GUID_WICPixelFormat32bppRGBA},
    {&GUID_WICPixelFormat2bppIndexed, &GUID_WICPixelFormat32bppRGBA},
    {&GUID_WICPixelFormat4bppIndexed, &GUID_WICPixelFormat32bppRGBA},
    {&GUID_WICPixelFormat8bppIndexed, &GUID_WICPixelFormat32bppRGBA},
    {&GUID_WICPixelFormat16bppGrayFixedPoint, &GUID_WICPixelFormat16bppGrayHalf},
    {&GUID_WICPixelFormat32bppGrayFixedPoint, &GUID_WICPixelFormat32bppGrayFloat},
    {&GUID_WICPixelFormat16bppBGR555, &GUID_WICPixelFormat16bppBGRA5551},
    {&GUID_WICPixelFormat32bppBGR101010, &GUID_WICPixelFormat32bppRGBA1010102},
    {&GUID_WICPixelFormat24bppBGR, &GUID_WICPixelFormat32bppRGBA},
    {&GUID_WICPixelFormat24bppRGB, &GUID_WICPixelFormat32bppRGBA},
    {&GUID_WICPixelFormat32bppPBGRA, &GUID_WICPixelFormat32bppRGBA},
    {&GUID_WICPixelFormat32bppPRGBA, &GUID_WICPixelFormat32bppRGBA},
    {&GUID_WICPixelFormat48bppRGB, &GUID_WICPixelFormat64bppRGBA},
    {&GUID_WICPixelFormat48bppBGR, &GUID_WICPixelFormat64bppRGBA},
    {&GUID_WICPixelFormat64bppBGRA, &GUID_WICPixelFormat64bppRGBA},
    {&GUID_WICPixelFormat64bppPRGBA, &GUID_WICPixelFormat64bppRGBA},
    {&GUID_WICPixelFormat64bppPBGRA, &GUID_WICPixelFormat64bppRGBA},
    {&GUID_WICPixelFormat48bppRGBFixedPoint, &GUID_WICPixelFormat64bppRGBAHalf},
    {&GUID_WICPixelFormat48bppBGRFixedPoint, &GUID_WICPixelFormat64bppRGBAHalf},
    {&GUID_WICPixelFormat64bppRGBAFixedPoint, &GUID_WICPixelFormat64bppRGBAHalf},
    {&GUID_WICPixelFormat64bppBGRAFixedPoint, &GUID_WICPixelFormat64bppRGBAHalf},
    {&GUID_WICPixelFormat64bppRGBFixedPoint, &GUID_WICPixelFormat64bppRGBAHalf},
    {&GUID_WICPixelFormat64bppRGBHalf, &GUID_WICPixelFormat64bppRGBAHalf},
    {&GUID_WICPixelFormat48bppRGBHalf, &GUID_WICPixelFormat64bppRGBAHalf},
    {&GUID_WICPixelFormat128bppPRGBAFloat, &GUID_WICPixelFormat128bppRGBAFloat},
    {&GUID_WICPixelFormat128bppRGBFloat, &GUID_WICPixelFormat128bppRGBAFloat},
    {&GUID_WICPixelFormat128bppRGBAFixedPoint, &GUID_WICPixelFormat128bppRGBAFloat},
    {&GUID_WICPixelFormat128bppRGBFixedPoint, &GUID_WICPixelFormat128bppRGBAFloat},
    {&GUID_WICPixelFormat32bppRGBE, &GUID_WICPixelFormat128bppRGBAFloat},
    {&GUID_WICPixelFormat32bppCMYK, &GUID_WICPixelFormat32bppRGBA},
    {&GUID_WICPixelFormat40bppCMYKAlpha, &GUID_WICPixelFormat32bppRGBA},
    {&GUID_WICPixelFormat64bppCMYK, &GUID_WICPixelFormat64bppRGBA},
    {&GUID_WICPixelFormat80bppCMYKAlpha, &GUID_WICPixelFormat64bppRGBA},
    {&GUID_WICPixelFormat32bppRGB, &GUID_WICPixelFormat32bppRGBA},
    {&GUID_WICPixelFormat64bppRGB, &GUID_WICPixelFormat64bppRGBA},
    {&GUID_WICPixelFormat64bppPRGBAHalf, &GUID_WICPixelFormat64bppRGBAHalf},
};

DXGI_FORMAT WicToDxgiFormat(const GUID& format, bool factory2)
{
    for (const WicFormatRow& row : WicFormats)
    {
        if (*row.wic == format)
            return row.dxgi;
    }
    if (factory2 && format == GUID_WICPixelFormat96bppRGBFloat)
        return DXGI_FORMAT_R32G32B32_FLOAT;
    return DXGI_FORMAT_UNKNOWN;
}

uint32_t WicBitsPerPixel(const GUID& format)
{
    IWICImagingFactory* factory = GetWicFactory(nullptr);
    if (!factory)
        return 0;
    IWICComponentInfo* info = nullptr;
    if (FAILED(factory->CreateComponentInfo(format, &info)))
        return 0;
    WICComponentType type = WICDecoder;
    IWICPixelFormatInfo* pixelInfo = nullptr;
    UINT bits = 0;
    if (SUCCEEDED(info->GetComponentType(&type)) && type == WICPixelFormat &&
        SUCCEEDED(info->QueryInterface(IID_IWICPixelFormatInfo, reinterpret_cast<void**>(&pixelInfo))))
    {
        if (FAILED(pixelInfo->GetBitsPerPixel(&bits)))
            bits = 0;
        pixelInfo->Release();
    }
    info->Release();
    return bits;
}

// Converts source (a frame or a scaler) into target's pixel format in buffer.
HRESULT ConvertPixels(IWICImagingFactory* factory, IWICBitmapSource* source, const GUID& sourceFormat,
                      const GUID& targetFormat, UINT rowPitch, UINT imageSize, uint8_t* buffer)
{
    IWICFormatConverter* converter = nullptr;
    HRESULT hr = factory->CreateFormatConverter(&converter);
    if (FAILED(hr))
        return hr;
    BOOL canConvert = FALSE;
    hr = converter->CanConvert(sourceFormat, targetFormat, &canConvert);
    if (FAILED(hr) || !canConvert)
    {
        converter->Release();
        return E_UNEXPECTED;
    }
    hr = converter->Initialize(source, targetFormat, WICBitmapDitherTypeErrorDiffusion, nullptr, 0,
                               WICBitmapPaletteTypeMedianCut);
    if (SUCCEEDED(hr))
        hr = converter->CopyPixels(nullptr, rowPitch, imageSize, buffer);
    converter->Release();
    return hr;
}

HRESULT RefuseLargeImage(uint32_t width, uint32_t height, uint32_t bits)
{
    Log::Error("[texture] Image of %ux%u at %u bits per pixel decodes to more than %u MiB; refused", width, height,
               bits, (uint32_t)(MaxDecodedBytes >> 20));
    return ImageTooLarge;
}

HRESULT CreateTextureFromWicFrame(ID3D11Device* device, ID3D11DeviceContext* context, IWICBitmapFrameDecode* frame,
                                  size_t maxSize, D3D11_USAGE usage, UINT bindFlags, UINT cpuAccessFlags,
                                  UINT miscFlags, uint32_t loadFlags, ID3D11Resource** textureOut,
                                  ID3D11ShaderResourceView** viewOut)
{
    UINT width = 0;
    UINT height = 0;
    HRESULT hr = frame->GetSize(&width, &height);
    if (FAILED(hr))
        return hr;
    if (width == 0 || height == 0)
        return E_FAIL;
    if (maxSize > 0xFFFFFFFFu)
        return E_INVALIDARG;
    if (maxSize == 0)
        maxSize = MaxTexture2DSize((uint32_t)device->GetFeatureLevel());
    uint32_t targetWidth = 0;
    uint32_t targetHeight = 0;
    FitToMaxSize(width, height, (uint32_t)maxSize, &targetWidth, &targetHeight);

    // The pixel format: taken as decoded, or converted to one that is.
    WICPixelFormatGUID pixelFormat = {};
    hr = frame->GetPixelFormat(&pixelFormat);
    if (FAILED(hr))
        return hr;
    bool factory2 = false;
    GetWicFactory(&factory2);
    WICPixelFormatGUID convertTo = pixelFormat;
    uint32_t bits = 0;
    DXGI_FORMAT format = WicToDxgiFormat(pixelFormat, factory2);
    if (format != DXGI_FORMAT_UNKNOWN)
    {
        bits = WicBitsPerPixel(pixelFormat);
    }
    else if (pixelFormat == GUID_WICPixelFormat96bppRGBFixedPoint)
    {
        convertTo = factory2 ? GUID_WICPixelFormat96bppRGBFloat : GUID_WICPixelFormat128bppRGBAFloat;
        format = factory2 ? DXGI_FORMAT_R32G32B32_FLOAT : DXGI_FORMAT_R32G32B32A32_FLOAT;
        bits = factory2 ? 96 : 128;
    }
    else
    {
        for (const WicConversionRow& row : WicConversions)
        {
            if (*row.source == pixelFormat)
            {
                convertTo = *row.target;
                format = WicToDxgiFormat(convertTo, factory2);
                bits = WicBitsPerPixel(convertTo);
                break;
            }
        }
        if (format == DXGI_FORMAT_UNKNOWN)
            return HRESULT_FROM_WIN32(ERROR_NOT_SUPPORTED);
    }

    if (format == DXGI_FORMAT_R32G32B32_FLOAT && context && viewOut)
    {
        // Mips are generated for this format only where the device can.
        UINT support = 0;
        if (FAILED(device->CheckFormatSupport(format, &support)) || !(support & D3D11_FORMAT_SUPPORT_MIP_AUTOGEN))
        {
            convertTo = GUID_WICPixelFormat128bppRGBAFloat;
            format = DXGI_FORMAT_R32G32B32A32_FLOAT;
            bits = 128;
        }
    }
    if (bits == 0)
        return E_FAIL;

    if (loadFlags & LoadForceSrgb)
        format = (DXGI_FORMAT)ToSrgbFormat(format);

    UINT support = 0;
    if (FAILED(device->CheckFormatSupport(format, &support)) || !(support & D3D11_FORMAT_SUPPORT_TEXTURE2D))
    {
        convertTo = GUID_WICPixelFormat32bppRGBA;
        format = DXGI_FORMAT_R8G8B8A8_UNORM;
        bits = 32;
    }

    const uint64_t rowPitch64 = ((uint64_t)targetWidth * bits + 7) / 8;
    const uint64_t imageSize64 = rowPitch64 * targetHeight;
    // The decoder holds the whole image in its own format before any conversion or scaling.
    const uint32_t sourceBits = convertTo == pixelFormat ? bits : WicBitsPerPixel(pixelFormat);
    if (imageSize64 > MaxDecodedBytes || DecodedBytes(width, height, sourceBits) > MaxDecodedBytes)
        return RefuseLargeImage(width, height, sourceBits > bits ? sourceBits : bits);
    if (rowPitch64 > 0xFFFFFFFFu || imageSize64 > 0xFFFFFFFFu)
        return HRESULT_FROM_WIN32(ERROR_ARITHMETIC_OVERFLOW);
    const UINT rowPitch = (UINT)rowPitch64;
    const UINT imageSize = (UINT)imageSize64;
    uint8_t* pixels = new (std::nothrow) uint8_t[imageSize];
    if (!pixels)
        return E_OUTOFMEMORY;

    // The pixels, in the target format and size.
    IWICImagingFactory* factory = GetWicFactory(nullptr);
    if (!factory)
        hr = E_NOINTERFACE;
    else if (convertTo == pixelFormat && targetWidth == width && targetHeight == height)
        hr = frame->CopyPixels(nullptr, rowPitch, imageSize, pixels);
    else if (targetWidth == width && targetHeight == height)
        hr = ConvertPixels(factory, frame, pixelFormat, convertTo, rowPitch, imageSize, pixels);
    else
    {
        IWICBitmapScaler* scaler = nullptr;
        hr = factory->CreateBitmapScaler(&scaler);
        if (SUCCEEDED(hr))
            hr = scaler->Initialize(frame, targetWidth, targetHeight, WICBitmapInterpolationModeFant);
        WICPixelFormatGUID scaledFormat = {};
        if (SUCCEEDED(hr))
            hr = scaler->GetPixelFormat(&scaledFormat);
        if (SUCCEEDED(hr))
        {
            if (scaledFormat == convertTo)
                hr = scaler->CopyPixels(nullptr, rowPitch, imageSize, pixels);
            else
                hr = ConvertPixels(factory, scaler, scaledFormat, convertTo, rowPitch, imageSize, pixels);
        }
        SafeRelease(scaler);
    }
    if (FAILED(hr))
    {
        delete[] pixels;
        return hr;
    }

    bool generate = false;
    if (context && viewOut)
    {
        UINT formatSupport = 0;
        generate = SUCCEEDED(device->CheckFormatSupport(format, &formatSupport)) &&
                   (formatSupport & D3D11_FORMAT_SUPPORT_MIP_AUTOGEN);
    }

    D3D11_TEXTURE2D_DESC desc = {};
    desc.Width = targetWidth;
    desc.Height = targetHeight;
    desc.MipLevels = generate ? 0 : 1;
    desc.ArraySize = 1;
    desc.Format = format;
    desc.SampleDesc.Count = 1;
    desc.Usage = usage;
    desc.CPUAccessFlags = cpuAccessFlags;
    desc.BindFlags = generate ? (bindFlags | D3D11_BIND_SHADER_RESOURCE | D3D11_BIND_RENDER_TARGET) : bindFlags;
    desc.MiscFlags = generate ? (miscFlags | D3D11_RESOURCE_MISC_GENERATE_MIPS) : miscFlags;
    D3D11_SUBRESOURCE_DATA initial = {};
    initial.pSysMem = pixels;
    initial.SysMemPitch = rowPitch;
    initial.SysMemSlicePitch = imageSize;

    ID3D11Texture2D* texture = nullptr;
    hr = device->CreateTexture2D(&desc, generate ? nullptr : &initial, &texture);
    ID3D11ShaderResourceView* view = nullptr;
    if (SUCCEEDED(hr) && viewOut)
    {
        D3D11_SHADER_RESOURCE_VIEW_DESC viewDesc = {};
        viewDesc.Format = format;
        viewDesc.ViewDimension = D3D11_SRV_DIMENSION_TEXTURE2D;
        viewDesc.Texture2D.MipLevels = generate ? (UINT)-1 : 1;
        hr = device->CreateShaderResourceView(texture, &viewDesc, &view);
        if (FAILED(hr))
            SafeRelease(texture);
        else if (generate)
        {
            context->UpdateSubresource(texture, 0, nullptr, pixels, rowPitch, imageSize);
            GenerateBelowUploadedTop(context, view);
        }
    }
    delete[] pixels;
    if (FAILED(hr))
        return hr;
    HandOver(texture, view, textureOut, viewOut);
    return S_OK;
}
} // namespace

HRESULT LoadDdsTextureFromMemory(ID3D11Device* device, ID3D11DeviceContext* context, const uint8_t* data, size_t size,
                                 size_t maxSize, D3D11_USAGE usage, UINT bindFlags, UINT cpuAccessFlags,
                                 UINT miscFlags, bool forceSrgb, ID3D11Resource** texture,
                                 ID3D11ShaderResourceView** view)
{
    if (texture)
        *texture = nullptr;
    if (view)
        *view = nullptr;
    if (!device || !data || (!texture && !view))
        return E_INVALIDARG;
    if (view && !(bindFlags & D3D11_BIND_SHADER_RESOURCE))
        return E_INVALIDARG;

    DdsTexture t = {};
    const HRESULT hr = ReadDdsHeader(data, size, &t);
    if (FAILED(hr))
        return hr;
    return CreateTextureFromDdsData(device, context, t, data + t.dataOffset, maxSize, usage, bindFlags,
                                    cpuAccessFlags, miscFlags, forceSrgb, texture, view);
}

HRESULT LoadWicTextureFromMemory(ID3D11Device* device, ID3D11DeviceContext* context, const uint8_t* data, size_t size,
                                 size_t maxSize, D3D11_USAGE usage, UINT bindFlags, UINT cpuAccessFlags,
                                 UINT miscFlags, uint32_t loadFlags, ID3D11Resource** texture,
                                 ID3D11ShaderResourceView** view)
{
    if (texture)
        *texture = nullptr;
    if (view)
        *view = nullptr;
    if (!device || !data || (!texture && !view))
        return E_INVALIDARG;
    if (view && !(bindFlags & D3D11_BIND_SHADER_RESOURCE))
        return E_INVALIDARG;
    if (size == 0)
        return E_FAIL;
    if (size > 0xFFFFFFFFu)
        return HRESULT_FROM_WIN32(ERROR_FILE_TOO_LARGE);

    // Decoders may decode the whole image when they open it: its header is read first.
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t bits = 0;
    if (PeekImageHeader(data, size, &width, &height, &bits) && DecodedBytes(width, height, bits) > MaxDecodedBytes)
        return RefuseLargeImage(width, height, bits);

    IWICImagingFactory* factory = GetWicFactory(nullptr);
    if (!factory)
        return E_NOINTERFACE;

    IWICStream* stream = nullptr;
    IWICBitmapDecoder* decoder = nullptr;
    IWICBitmapFrameDecode* frame = nullptr;
    HRESULT hr = factory->CreateStream(&stream);
    if (SUCCEEDED(hr))
        hr = stream->InitializeFromMemory(const_cast<BYTE*>(data), (DWORD)size);
    if (SUCCEEDED(hr))
        hr = factory->CreateDecoderFromStream(stream, nullptr, WICDecodeMetadataCacheOnDemand, &decoder);
    if (SUCCEEDED(hr))
        hr = decoder->GetFrame(0, &frame);
    if (SUCCEEDED(hr))
        hr = CreateTextureFromWicFrame(device, context, frame, maxSize, usage, bindFlags, cpuAccessFlags, miscFlags,
                                       loadFlags, texture, view);
    SafeRelease(frame);
    SafeRelease(decoder);
    SafeRelease(stream);
    return hr;
}
} // namespace ImageTextureLoader
