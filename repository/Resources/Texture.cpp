// Texture resource: file textures and pooled render targets.
#include "repository/Resources/Texture.h"

#include "Compositing/Graph.h"
#include "Compositing/NodeOutput.h"
#include "Demo.h"
#include "Graphics/DepthStencil.h"
#include "Graphics/ITexture.h"
#include "Graphics/RenderTargetPool.h"
#include "Graphics/System.h"
#include "Graphics/Texture1D.h"
#include "Graphics/Texture2D.h"
#include "Graphics/Texture3D.h"
#include "Graphics/TextureFlags.h"
#include "Utility/Archive/EntryBytes.h"
#include "Utility/Log.h"
#include "Utility/XML/ChildIterator.h"
#include "Utility/XML/Node.h"
#include "repository/Resources/ImageTextureLoader.h"

#include <d3d11.h>

#include <cstring>
#include <new>

using Brivet::Graphics::ITexture;
using Brivet::Graphics::RenderTargetPool;
using Brivet::Utility::Log;

namespace
{
void NameView(ID3D11View* view, const char* name, const char* suffix)
{
    if (!view)
        return;
    Brivet::Base::String text;
    text.Format("%s (%s)", name, suffix);
    view->SetPrivateData(WKPDID_D3DDebugObjectName, text.GetLength(), text.GetText());
}
} // namespace

Texture::Texture(Brivet::Compositing::Graph* graph)
    : ITextureResource(graph, graph ? graph->demo : nullptr), sRGB(1), renderTarget(0), texture(nullptr),
      depthTexture(nullptr), acquireCount(0)
{
}

Texture::~Texture()
{
    DropTargets();
}

void Texture::GetTypeName(Brivet::Base::StaticString<64>& type) const
{
    type = Brivet::Base::StaticString<64>("texture");
}

void Texture::GetOutputSize(const Brivet::Compositing::Graph* graph, uint32_t& width, uint32_t& height)
{
    width = 0;
    height = 0;
    if (graph && graph->outputNode)
    {
        width = graph->outputNode->width;
        height = graph->outputNode->height;
    }
}

bool Texture::Load(const char* path)
{
    Brivet::Utility::Archive::IArchive* archive = demo ? demo->archive : nullptr;
    if (!archive || !path)
        return false;

    // The entry, zero-terminated: the archive's own block rather than a copy in a buffer
    // of its own, which would hold a large image twice (the loaders only read it).
    Brivet::Utility::Archive::EntryBytes entry;
    if (!entry.Read(*archive, path))
        return false;
    const uint8_t* bytes = entry.GetData();
    const uint32_t size = entry.GetSize();

    // The loader is picked by the first bytes, whatever the extension. Shader-resource
    // binding only: Direct3D refuses render-target binding and mip generation for block
    // formats, and the loaders add both themselves where they generate the mips.
    Brivet::Graphics::System& system = demo->system;
    ID3D11Resource* resource = nullptr;
    ID3D11ShaderResourceView* view = nullptr;
    HRESULT hr;
    if (IsDDSFile(bytes, size))
        hr = ImageTextureLoader::LoadDdsTextureFromMemory(system.GetDevice(), system.GetContext(), bytes, size, 0,
                                                          D3D11_USAGE_DEFAULT, D3D11_BIND_SHADER_RESOURCE, 0, 0,
                                                          sRGB != 0, &resource, &view);
    else
        hr = ImageTextureLoader::LoadWicTextureFromMemory(
            system.GetDevice(), system.GetContext(), bytes, size, 0, D3D11_USAGE_DEFAULT, D3D11_BIND_SHADER_RESOURCE,
            0, 0, sRGB ? ImageTextureLoader::LoadForceSrgb : ImageTextureLoader::LoadIgnoreSrgb, &resource, &view);
    if (FAILED(hr))
        return false;
    return AdoptLoaded(resource, view);
}

bool Texture::AdoptLoaded(ID3D11Resource* resource, ID3D11ShaderResourceView* view)
{
    Brivet::Graphics::System* system = demo ? &demo->system : nullptr;
    D3D11_RESOURCE_DIMENSION dimension = D3D11_RESOURCE_DIMENSION_UNKNOWN;
    if (resource)
        resource->GetType(&dimension);

    ITexture* made = nullptr;
    if (system)
    {
        // Interfaces of one object: the resource is the texture of its dimension.
        switch (dimension)
        {
        case D3D11_RESOURCE_DIMENSION_TEXTURE1D:
        {
            auto* texture1D = new Brivet::Graphics::Texture1D(system);
            texture1D->Adopt(static_cast<ID3D11Texture1D*>(resource), view);
            made = texture1D;
            break;
        }
        case D3D11_RESOURCE_DIMENSION_TEXTURE2D:
        {
            auto* texture2D = new Brivet::Graphics::Texture2D(system);
            texture2D->Adopt(static_cast<ID3D11Texture2D*>(resource), view);
            made = texture2D;
            break;
        }
        case D3D11_RESOURCE_DIMENSION_TEXTURE3D:
        {
            auto* texture3D = new Brivet::Graphics::Texture3D(system);
            texture3D->Adopt(static_cast<ID3D11Texture3D*>(resource), view);
            made = texture3D;
            break;
        }
        default:
            break;
        }
    }
    if (!made)
    {
        if (view)
            view->Release();
        if (resource)
            resource->Release();
        return false;
    }

    DropTargets();
    texture = made;
    settings.width = made->GetWidth();
    settings.height = made->GetHeight();
    settings.format = made->GetFormat();
    return true;
}

bool Texture::CreateDynamic(const Brivet::Utility::XML::Node* xml)
{
    GetOutputSize(graph, settings.width, settings.height);
    settings.format = TextureSettings::FormatR8G8B8A8Unorm;
    settings.depthFormat = 0;

    if (xml)
    {
        Brivet::Utility::XML::ChildIterator it("rendertarget");
        if (it.Next(*xml))
            ParseRenderTarget(it.GetCurrent());
    }
    UpdateSize();
    return true;
}

void Texture::ParseRenderTarget(const Brivet::Utility::XML::Node& element)
{
    settings.ParseRenderTarget(element);
}

void Texture::UpdateSize()
{
    uint32_t width = 0;
    uint32_t height = 0;
    GetOutputSize(graph, width, height);
    settings.UpdateSize(width, height);
    renderTarget = 1;
}

bool Texture::WriteXml(const Brivet::Utility::XML::Node& xml)
{
    return settings.WriteRenderTarget(xml);
}

void Texture::Unload()
{
    DropTargets();
}

void Texture::DropTargets()
{
    if (renderTarget)
    {
        // Pooled targets belong to the pool: only given back, never deleted.
        if (acquireCount && demo)
        {
            if (texture)
                demo->renderTargetPool.Release(texture);
            if (depthTexture)
                demo->renderTargetPool.Release(depthTexture);
        }
    }
    else
    {
        delete depthTexture;
        delete texture;
    }
    depthTexture = nullptr;
    texture = nullptr;
    acquireCount = 0;
}

uint32_t Texture::GetMemorySize()
{
    if (!texture)
        return 0;
    const uint64_t bytes = texture->GetMemorySize();
    return bytes > 0xFFFFFFFFu ? 0xFFFFFFFFu : (uint32_t)bytes;
}

uint32_t Texture::AcquireTarget()
{
    if (!renderTarget)
        return 0;
    if (acquireCount == 0)
    {
        if (!demo)
            return 0;
        RenderTargetPool& pool = demo->renderTargetPool;
        RenderTargetPool::Description description;
        description.width = settings.width;
        description.height = settings.height;
        description.depth = 0;
        description.type = RenderTargetPool::Type2D;
        description.format = settings.format;
        description.flags = Brivet::Graphics::TextureFlags::DepthReadable | Brivet::Graphics::TextureFlags::RenderTarget;

        ITexture* colour = pool.Acquire(description);
        if (!colour)
        {
            Log::Error("[texture] No render target for %u x %u (format %u)", settings.width, settings.height,
                       settings.format);
            return 0;
        }
        ITexture* depth = nullptr;
        if (settings.depthFormat)
        {
            description.format = settings.depthFormat;
            depth = pool.Acquire(description);
            if (!depth)
            {
                Log::Error("[texture] No depth target for %u x %u (format %u)", settings.width, settings.height,
                           settings.depthFormat);
                pool.Release(colour);
                return 0;
            }
        }
        texture = colour;
        depthTexture = depth;
        acquireCount = 1;
        // Fresh targets start cleared: the graph invalidated this output before it held any.
        Invalidate();
        return acquireCount;
    }
    return ++acquireCount;
}

uint32_t Texture::ReleaseTarget()
{
    if (!renderTarget || acquireCount == 0)
        return 0;
    if (acquireCount != 1)
        return --acquireCount;
    DropTargets();
    return 0;
}

void Texture::Invalidate()
{
    if (renderTarget && texture && texture->GetRenderTargetView())
    {
        const float black[4] = {0.0f, 0.0f, 0.0f, 0.0f};
        texture->GetSystem()->GetContext()->ClearRenderTargetView(texture->GetRenderTargetView(), black);
    }
    if (depthTexture)
    {
        auto* depth = static_cast<Brivet::Graphics::DepthStencil*>(depthTexture);
        if (depth->GetDepthStencilView())
            depth->GetSystem()->GetContext()->ClearDepthStencilView(depth->GetDepthStencilView(), D3D11_CLEAR_DEPTH,
                                                                     1.0f, 0);
    }
}

void Texture::OnResize()
{
    if (renderTarget)
        UpdateSize();
}

void Texture::SetDebugName(const Brivet::Base::String& name)
{
    if (!texture)
        return;
    NameView(texture->GetShaderResourceView(), name.GetText(), "SRV");
    NameView(texture->GetRenderTargetView(), name.GetText(), "RTV");
}

ITexture* Texture::GetTexture()
{
    return texture;
}

ITexture* Texture::GetDepthTexture()
{
    return depthTexture;
}

void Texture::BindAsRenderTarget(Brivet::Graphics::DepthStencil* depth)
{
    if (!texture)
        return;
    if (!depth && depthTexture)
        depth = static_cast<Brivet::Graphics::DepthStencil*>(depthTexture);
    ID3D11DeviceContext* context = texture->GetSystem()->GetContext();
    ID3D11RenderTargetView* view = texture->GetRenderTargetView();
    context->OMSetRenderTargets(1, &view, depth ? depth->GetDepthStencilView() : nullptr);

    D3D11_VIEWPORT viewport = {};
    viewport.Width = (float)texture->GetWidth();
    viewport.Height = (float)texture->GetHeight();
    viewport.MinDepth = 0.0f;
    viewport.MaxDepth = 1.0f;
    context->RSSetViewports(1, &viewport);
}
