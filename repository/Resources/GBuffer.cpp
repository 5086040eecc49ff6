// G-buffer resource: pooled layers, depth buffers and shadow targets, their clearing and binding.
#include "repository/Resources/GBuffer.h"

#include "Compositing/Graph.h"
#include "Demo.h"
#include "Graphics/DepthStencil.h"
#include "Graphics/RenderTarget.h"
#include "Graphics/RenderTargetPool.h"
#include "Graphics/System.h"
#include "Graphics/TextureCube.h"
#include "Graphics/TextureFlags.h"
#include "Utility/Log.h"
#include "repository/Resources/Texture.h"

#include <d3d11.h>

using Brivet::Graphics::DepthStencil;
using Brivet::Graphics::ITexture;
using Brivet::Graphics::RenderTarget;
using Brivet::Graphics::RenderTargetPool;
using Brivet::Graphics::TextureCube;

namespace
{
constexpr uint32_t MaxBoundLayers = 8;

// Layers and depth buffers: shader-readable depth, render target.
constexpr uint32_t TargetFlags =
    Brivet::Graphics::TextureFlags::DepthReadable | Brivet::Graphics::TextureFlags::RenderTarget;
// Shadow targets add a mip chain, built after they are drawn.
constexpr uint32_t ShadowFlags = TargetFlags | Brivet::Graphics::TextureFlags::MipChain;

RenderTargetPool::Description Describe(uint32_t width, uint32_t height, uint32_t type, uint32_t format, uint32_t flags)
{
    RenderTargetPool::Description description;
    description.width = width;
    description.height = height;
    description.depth = 0;
    description.type = type;
    description.format = format;
    description.flags = flags;
    return description;
}

void ClearColour(ITexture* target)
{
    if (!target || !target->GetRenderTargetView())
        return;
    const float black[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    target->GetSystem()->GetContext()->ClearRenderTargetView(target->GetRenderTargetView(), black);
}

void ClearCube(TextureCube* cube)
{
    if (!cube)
        return;
    const float black[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    for (uint32_t face = 0; face < TextureCube::FaceCount; ++face)
    {
        if (ID3D11RenderTargetView* view = cube->GetFaceView(face))
            cube->GetSystem()->GetContext()->ClearRenderTargetView(view, black);
    }
}

void ClearDepth(DepthStencil* depth)
{
    if (depth && depth->GetDepthStencilView())
        depth->GetSystem()->GetContext()->ClearDepthStencilView(depth->GetDepthStencilView(), D3D11_CLEAR_DEPTH, 1.0f,
                                                                0);
}

// Colour targets to transparent black, depth buffers to 1.0.
void ClearTarget(RenderTarget* target)
{
    ClearColour(target);
}

void ClearTarget(TextureCube* cube)
{
    ClearCube(cube);
}

void ClearTarget(DepthStencil* depth)
{
    ClearDepth(depth);
}

uint32_t MemoryOf(const ITexture* target)
{
    if (!target)
        return 0;
    const uint64_t bytes = target->GetMemorySize();
    return bytes > 0xFFFFFFFFu ? 0xFFFFFFFFu : (uint32_t)bytes;
}

void NameView(ID3D11View* view, const Brivet::Base::String& text)
{
    if (view)
        view->SetPrivateData(WKPDID_D3DDebugObjectName, text.GetLength(), text.GetText());
}

// The shader-resource, render-target and (for a depth buffer) depth-stencil views of a
// target, named "<name> (<what> SRV)" and so on.
void NameTarget(ITexture* target, const char* name, const char* what, bool depth)
{
    if (!target)
        return;
    Brivet::Base::String text;
    NameView(target->GetShaderResourceView(), text.Format("%s (%s SRV)", name, what));
    NameView(target->GetRenderTargetView(), text.Format("%s (%s RTV)", name, what));
    if (depth)
        NameView(static_cast<DepthStencil*>(target)->GetDepthStencilView(), text.Format("%s (%s DSV)", name, what));
}
} // namespace

GBuffer::GBuffer(Brivet::Compositing::Graph* graph)
    : IResource(graph, graph ? graph->demo : nullptr), useCount(0), depthTarget(nullptr), camera{}, ambient{},
      cubeDepthTarget(nullptr), shadowBytes(0), warnedShadowBudget(false)
{
}

GBuffer::~GBuffer()
{
    // Destroyed while acquired, its targets go back rather than stay lent for the rest of
    // the run (the texture resource does the same).
    if (useCount != 0)
        ReleaseAll();
}

template <typename Visit>
void GBuffer::ForEachTarget(Visit visit)
{
    for (Layer& layer : layers)
        visit(layer.target);
    visit(depthTarget);
    for (ShadowMap& record : shadowMaps)
    {
        visit(record.colourTarget);
        visit(record.depthTarget);
    }
    for (ShadowCube& record : shadowCubes)
        visit(record.target);
    visit(cubeDepthTarget);
}

void GBuffer::GetTypeName(Brivet::Base::StaticString<64>& type) const
{
    type = Brivet::Base::StaticString<64>("gbuffer");
}

bool GBuffer::Load(const char* path)
{
    return false;
}

bool GBuffer::CreateDynamic(const Brivet::Utility::XML::Node* xml)
{
    Texture::GetOutputSize(graph, settings.width, settings.height);
    if (!settings.Parse(xml))
        return false;
    layers.Empty();
    for (const GBufferSettings::Layer& description : settings.layers)
        layers.Add(Layer{description.name, description.format, nullptr});
    return true;
}

bool GBuffer::WriteXml(const Brivet::Utility::XML::Node& xml)
{
    return settings.Write(xml);
}

void GBuffer::Unload()
{
    shadowMaps.Empty();
    shadowCubes.Empty();
}

uint32_t GBuffer::GetMemorySize()
{
    uint64_t bytes = 0;
    ForEachTarget([&bytes](auto* target) { bytes += MemoryOf(target); });
    return bytes > 0xFFFFFFFFu ? 0xFFFFFFFFu : (uint32_t)bytes;
}

uint32_t GBuffer::AcquireTarget()
{
    if (useCount == 0 && demo)
    {
        RenderTargetPool& pool = demo->renderTargetPool;
        // A target the pool cannot make stays null (the pool logs it): its layer is bound
        // as no view.
        for (Layer& layer : layers)
        {
            layer.target = static_cast<RenderTarget*>(pool.Acquire(
                Describe(settings.width, settings.height, RenderTargetPool::Type2D, layer.format, TargetFlags)));
        }
        if (settings.depthFormat)
        {
            depthTarget = static_cast<DepthStencil*>(pool.Acquire(Describe(
                settings.width, settings.height, RenderTargetPool::Type2D, settings.depthFormat, TargetFlags)));
            if (settings.shadowCubeSize)
            {
                cubeDepthTarget = static_cast<DepthStencil*>(
                    pool.Acquire(Describe(settings.shadowCubeSize, settings.shadowCubeSize, RenderTargetPool::Type2D,
                                          settings.depthFormat, TargetFlags)));
            }
        }
        for (ShadowMap& record : shadowMaps)
            AcquireShadowMap(record);
        for (ShadowCube& record : shadowCubes)
            AcquireShadowCube(record);
        Clear();
    }
    return ++useCount;
}

uint32_t GBuffer::ReleaseTarget()
{
    if (useCount == 0)
        return 0;
    if (useCount == 1)
        ReleaseAll();
    return --useCount;
}

template <typename Target>
void GBuffer::GiveBack(Target*& target)
{
    // The pool asserts on a pointer it does not hold, null included.
    if (target && demo)
        demo->renderTargetPool.Release(target);
    target = nullptr;
}

void GBuffer::ReleaseAll()
{
    ForEachTarget([this](auto*& target) { GiveBack(target); });
    shadowBytes = 0;
}

// 16 bytes a pixel bounds every colour format; a third more for the mip chain.
uint64_t GBuffer::ShadowMapBytes() const
{
    const uint64_t pixels = uint64_t(settings.shadowMapSize) * settings.shadowMapSize;
    return pixels * 16 * 4 / 3 + (settings.depthFormat ? pixels * 4 : 0);
}

uint64_t GBuffer::ShadowCubeBytes() const
{
    const uint64_t pixels = uint64_t(settings.shadowCubeSize) * settings.shadowCubeSize;
    return pixels * TextureCube::FaceCount * 16 * 4 / 3;
}

bool GBuffer::ShadowFits(uint64_t bytes)
{
    if (shadowBytes + bytes <= MaxShadowBytes)
        return true;
    if (!warnedShadowBudget)
    {
        warnedShadowBudget = true;
        Brivet::Utility::Log::Warning("[gbuffer] Shadow targets past %llu MiB are not made: the lights beyond "
                                      "them draw without shadows",
                                      (unsigned long long)(MaxShadowBytes >> 20));
    }
    return false;
}

void GBuffer::Invalidate()
{
    if (useCount != 0)
        Clear();
}

void GBuffer::OnResize()
{
    // A fixed size is the description's own.
    if (!settings.fixedSize)
        Texture::GetOutputSize(graph, settings.width, settings.height);
}

void GBuffer::SetDebugName(const Brivet::Base::String& name)
{
    const char* text = name.GetText();
    for (const Layer& layer : layers)
        NameTarget(layer.target, text, layer.name.GetText(), false);
    NameTarget(depthTarget, text, "Depth", true);
    Brivet::Base::String what;
    for (uint32_t i = 0; i < shadowMaps.GetCount(); ++i)
    {
        NameTarget(shadowMaps[i].colourTarget, text, what.Format("Shadow Map %u", i).GetText(), false);
        NameTarget(shadowMaps[i].depthTarget, text, "Shadow Map Depth", true);
    }
    for (uint32_t i = 0; i < shadowCubes.GetCount(); ++i)
        NameTarget(shadowCubes[i].target, text, what.Format("Shadow Cube %u", i).GetText(), false);
    NameTarget(cubeDepthTarget, text, "Shadow Cube Depth", true);
}

void GBuffer::Clear()
{
    ForEachTarget([](auto* target) { ClearTarget(target); });
}

bool GBuffer::AcquireShadowMap(ShadowMap& record)
{
    if (!record.enabled || !record.castsShadow)
    {
        if (record.colourTarget)
            shadowBytes -= ShadowMapBytes();
        GiveBack(record.colourTarget);
        GiveBack(record.depthTarget);
        return true;
    }
    if (!demo)
        return false;
    // A record is counted while it holds its colour target.
    if (!record.colourTarget && !ShadowFits(ShadowMapBytes()))
        return false;

    // Each missing target on its own: a held one is never overwritten, and a G-buffer
    // without a depth format gives its shadow maps none.
    RenderTargetPool& pool = demo->renderTargetPool;
    const uint32_t size = settings.shadowMapSize;
    if (!record.colourTarget)
    {
        record.colourTarget = static_cast<RenderTarget*>(
            pool.Acquire(Describe(size, size, RenderTargetPool::Type2D, settings.shadowMapFormat, ShadowFlags)));
        if (record.colourTarget)
            shadowBytes += ShadowMapBytes();
        ClearColour(record.colourTarget);
    }
    if (!record.depthTarget && settings.depthFormat)
    {
        record.depthTarget = static_cast<DepthStencil*>(
            pool.Acquire(Describe(size, size, RenderTargetPool::Type2D, settings.depthFormat, TargetFlags)));
        ClearDepth(record.depthTarget);
    }
    return record.colourTarget && (record.depthTarget || !settings.depthFormat);
}

bool GBuffer::AcquireShadowCube(ShadowCube& record)
{
    if (!record.enabled || !record.castsShadow)
    {
        if (record.target)
            shadowBytes -= ShadowCubeBytes();
        GiveBack(record.target);
        return true;
    }
    if (!demo)
        return false;
    if (!record.target)
    {
        if (!ShadowFits(ShadowCubeBytes()))
            return false;
        record.target = static_cast<TextureCube*>(demo->renderTargetPool.Acquire(
            Describe(settings.shadowCubeSize, 0, RenderTargetPool::TypeCube, settings.shadowCubeFormat, ShadowFlags)));
        if (record.target)
            shadowBytes += ShadowCubeBytes();
        ClearCube(record.target);
    }
    return record.target != nullptr;
}

void GBuffer::Bind(DepthStencil* depth)
{
    ID3D11RenderTargetView* views[MaxBoundLayers] = {};
    for (uint32_t i = 0; i < layers.GetCount() && i < MaxBoundLayers; ++i)
        views[i] = layers[i].target ? layers[i].target->GetRenderTargetView() : nullptr;
    if (!depth)
        depth = depthTarget;
    if (!demo)
        return;
    ID3D11DeviceContext* context = demo->system.GetContext();
    context->OMSetRenderTargets(MaxBoundLayers, views, depth ? depth->GetDepthStencilView() : nullptr);

    D3D11_VIEWPORT viewport = {};
    viewport.Width = (float)settings.width;
    viewport.Height = (float)settings.height;
    viewport.MinDepth = 0.0f;
    viewport.MaxDepth = 1.0f;
    context->RSSetViewports(1, &viewport);
}

GBuffer::Layer* GBuffer::FindLayer(const Brivet::Base::String& name)
{
    for (Layer& layer : layers)
    {
        if (layer.name.GetHashLower() == name.GetHashLower())
            return &layer;
    }
    return nullptr;
}

GBuffer::ShadowMap* GBuffer::FindShadowMap(uint32_t lightType, uint32_t lightIndex)
{
    for (ShadowMap& record : shadowMaps)
    {
        if (record.lightType == lightType && record.lightIndex == lightIndex)
            return &record;
    }
    return nullptr;
}

GBuffer::ShadowCube* GBuffer::FindShadowCube(uint32_t lightType, uint32_t lightIndex)
{
    for (ShadowCube& record : shadowCubes)
    {
        if (record.lightType == lightType && record.lightIndex == lightIndex)
            return &record;
    }
    return nullptr;
}
