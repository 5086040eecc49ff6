// The interface of every GPU texture: the computable face, the three common views, memory
// size, unordered-access clear and upload from memory.
#pragma once

#include <cstdint>

#include "Graphics/IComputable.h"
#include "Graphics/TextureFlags.h"

struct ID3D11Resource;
struct ID3D11ShaderResourceView;
struct ID3D11RenderTargetView;
struct ID3D11UnorderedAccessView;
struct D3D11_SUBRESOURCE_DATA;

namespace Brivet::Graphics
{

class System;

// Fields common to all textures: the system, the DXGI format and the shader-resource,
// render-target and unordered-access views (owned, null when absent). Each class holds its
// own Direct3D texture and adds a Create with its own arguments.
class ITexture : public IComputable
{
public:
    virtual ~ITexture(); // releases the three views

    ID3D11UnorderedAccessView* GetUnorderedAccessView() const override { return unorderedAccessView; }

    // Bytes over all mip levels of the created texture; 0 without one.
    virtual uint64_t GetMemorySize() const = 0;

    // Clears the unordered-access view with the four floats; nothing without the view.
    virtual void ClearUnorderedAccessView(const float values[4]);

    // Rewrites the top level of a dynamic texture from packed rows of FormatSize × width
    // bytes. False (with a log line when a map failed) when nothing was written; the base
    // writes nothing.
    virtual bool Upload(const void* bytes);

    System* GetSystem() const { return system; }
    uint32_t GetFormat() const { return format; }
    ID3D11ShaderResourceView* GetShaderResourceView() const { return shaderResourceView; }
    ID3D11RenderTargetView* GetRenderTargetView() const { return renderTargetView; }

protected:
    explicit ITexture(System* system);

    // Logs and returns false when Direct3D would refuse the description made for flags.
    static bool IsAccepted(const char* className, uint32_t flags, const TextureDescription& description);

    // Direct3D's initial data for every subresource of a new texture whose level 0 (of each
    // face, the faces one after another) is data; the levels below are zeros. Get() is null
    // without data.
    class InitialData
    {
    public:
        InitialData(const void* data, uint32_t width, uint32_t height, uint32_t depth, uint32_t faces,
                    uint32_t levels, uint32_t format);
        ~InitialData();
        const D3D11_SUBRESOURCE_DATA* Get() const { return records; }
        bool Failed() const { return failed; } // data was given but no memory for the records


    private:
        InitialData(const InitialData&) = delete;
        InitialData& operator=(const InitialData&) = delete;

        D3D11_SUBRESOURCE_DATA* records;
        void* zeros;
        bool failed;
    };

    // The views description asks for over a new texture of kind, in this order: the
    // shader-resource view of every level, the render-target view and the unordered-access
    // view of level 0 (every depth slice of a 3D texture). A cube makes its face views
    // itself and has no unordered-access view. False at the first that fails.
    bool CreateViews(ID3D11Resource* texture, TextureKind kind, const TextureDescription& description);

    // After a creation with data and mip generation: derives the lower levels from level 0.
    void GenerateMipsFromData(const void* data, const TextureDescription& description);

    void ReleaseViews();

    System* system;
    uint32_t format;
    ID3D11ShaderResourceView* shaderResourceView;
    ID3D11RenderTargetView* renderTargetView;
    ID3D11UnorderedAccessView* unorderedAccessView;

private:
    ITexture(const ITexture&) = delete;
    ITexture& operator=(const ITexture&) = delete;
};

} // namespace Brivet::Graphics
