// The demo object: loading of the description, system start and stop, frame
// rendering and the ordered release of everything the run built.
#include "Demo.h"

#include "Assets/Effect/IEffectFactory.h"
#include "Assets/Resource/IResourceFactory.h"
#include "Audio/BackendDirectSound.h"
#include "Compositing/Graph.h"
#include "DemoDescription.h"
#include "Graphics/DepthStencil.h"
#include "Graphics/StartupSettings.h"
#include "Utility/Log.h"
#include "Utility/XML/ChildIterator.h"
#include "Utility/XML/Document.h"
#include "Utility/XML/Node.h"

#include <d3d11.h>
#include <dxgi.h>

using Brivet::Utility::Log;

namespace Brivet
{
Demo::Demo()
    : backend(nullptr), renderTargetPool(&system), archive(nullptr), resourceManager(this), nodesLoaded(0),
      nodesTotal(0)
{
}

Demo::~Demo()
{
    archive = nullptr;
    DestroyGraphs();
    preheatTimes = Base::Array<float>();

    // The pool's targets go before the device they were made on.
    renderTargetPool.Clear();
    system.Shutdown();

    // A backend whose shutdown fails may still hold the ring: it is not deleted.
    if (backend)
    {
        backend->Stop();
        if (backend->Shutdown())
            delete backend;
        backend = nullptr;
    }
    renderer.Unload();
}

void Demo::DestroyGraphs()
{
    for (GraphPage& page : graphs)
        delete page.graph;
    graphs = Base::Array<GraphPage>();
}

bool Demo::StartSystems(const StartupSettings& settings)
{
    Log::Info("[demo] Starting systems...");
    if (!system.Init(settings))
    {
        Log::Error("[demo] Graphics initialization failed!");
        return false;
    }

    renderer.sampleRate = settings.sampleRate;
    if (settings.noAudio == 0)
    {
        Audio::BackendDirectSound* directSound = new Audio::BackendDirectSound(&renderer);
        if (directSound->Init(settings.sampleRate, system.GetWindow(), reinterpret_cast<const GUID*>(settings.audioDevice)))
        {
            backend = directSound;
            return true;
        }
        delete directSound;
    }
    Log::Error("[demo] Audio initialization failed!");
    return false;
}

bool Demo::StopSystems()
{
    if (backend)
    {
        backend->Stop();
        if (!backend->Shutdown())
        {
            Log::Error("[demo] Audio shutdown failed!");
            return false;
        }
        delete backend;
        backend = nullptr;
    }
    if (!renderer.Unload())
    {
        Log::Error("[demo] Audio shutdown failed!");
        return false;
    }
    if (!system.Shutdown())
    {
        Log::Error("[demo] Graphics shutdown failed!");
        return false;
    }
    return true;
}

bool Demo::RegisterResourceFactory(Assets::Resource::IResourceFactory* factory)
{
    return resourceManager.RegisterFactory(factory);
}

bool Demo::RegisterEffectFactory(Assets::Effect::IEffectFactory* factory)
{
    const Base::StaticString<64> typeName = factory->GetName();
    effectFactories.Set(typeName, factory);
    return true;
}

Assets::Resource::IResource* Demo::GetResource(Compositing::Graph* graph, Base::StaticString<64> type, const char* path,
                                               const Utility::XML::Node* loadSettings)
{
    return resourceManager.GetResource(graph, type, path, loadSettings);
}

void Demo::RenderFrame(float time)
{
    system.BeginFrame();
    Render(time);
    system.GetSwapChain()->Present(system.GetVsync() ? 1 : 0, 0);
}

uint32_t Demo::GetWidth()
{
    return system.GetWidth();
}

uint32_t Demo::GetHeight()
{
    return system.GetHeight();
}

void Demo::BindBackBuffer(Graphics::DepthStencil* depthStencil)
{
    ID3D11RenderTargetView* view = system.GetBackBufferView();
    system.GetContext()->OMSetRenderTargets(1, &view, depthStencil ? depthStencil->GetDepthStencilView() : nullptr);

    D3D11_VIEWPORT viewport = {};
    viewport.Width = (float)system.GetWidth();
    viewport.Height = (float)system.GetHeight();
    viewport.MinDepth = 0.0f;
    viewport.MaxDepth = 1.0f;
    system.GetContext()->RSSetViewports(1, &viewport);
}

void Demo::BindBackBuffer()
{
    system.BindBackBuffer();
}

bool Demo::Preload(Utility::Archive::IArchive* source)
{
    Log::Info("[demo] Preloading demo from archive...");
    if (!source)
    {
        Log::Error("[demo] Archive invalid");
        return false;
    }

    archive = source;
    Utility::XML::Document document;
    const bool loaded = LoadXml(document);
    if (loaded)
        Description::ReadProperties(Description::GetSection(document, "properties"), name, loadingShader);
    else
        Log::Error("[demo] Failed to load XML");
    archive = nullptr;
    return loaded;
}

bool Demo::Load(Utility::Archive::IArchive* source)
{
    Log::Info("[demo] Loading demo from archive...");
    if (!source)
    {
        Log::Error("[demo] Archive invalid");
        return false;
    }

    archive = source;
    OnLoadProgress(0.0f);

    Utility::XML::Document document;
    if (!LoadXml(document))
    {
        Log::Error("[demo] Failed to load XML");
        return false;
    }

    // Properties and preheat times
    const Utility::XML::Node properties = Description::GetSection(document, "properties");
    Description::ReadProperties(properties, name, loadingShader);
    Description::LoadPreheatTimes(Description::GetSection(document, "preheat"), preheatTimes);

    // Music: the clips of "properties", then those of "audio"
    if (!renderer.Load(archive, properties) || !renderer.Load(archive, Description::GetSection(document, "audio")))
    {
        Log::Error("[demo] Failed to load Audio");
        return false;
    }

    if (!rhythm.Load(Description::GetSection(document, "rhythm")))
    {
        Log::Error("[demo] Failed to load Rhythm");
        return false;
    }

    if (!LoadCompositing(Description::GetSection(document, "compositing")))
    {
        Log::Error("[demo] Failed to load Compositing");
        return false;
    }

    OnLoadProgress(1.0f);
    return true;
}

bool Demo::LoadXml(Utility::XML::Document& document)
{
    return Description::LoadXml(archive, document);
}

bool Demo::LoadCompositing(const Utility::XML::Node& element)
{
    nodesLoaded = 0;
    nodesTotal = Description::CountNodes(element);

    Utility::XML::ChildIterator it("graph");
    while (it.Next(element))
    {
        // A graph that fails is deleted at once: its nodes give their resources
        // back to the manager, which still exists.
        Compositing::Graph* graph = new Compositing::Graph(this);
        if (!graph->Load(it.GetCurrent()))
        {
            delete graph;
            return false;
        }
        graphs.Add(GraphPage{ graph, false, false });
    }
    return true;
}

float Demo::GetLength()
{
    return Description::GetLength(renderer.clips);
}

void Demo::Render(float time)
{
    const RenderContext context = RenderContext::ForTime(time);
    // Graphs whose output composed draw in order; one that did not would paint its old
    // picture over them. A pass in which none composed shows the last pass that drew
    // again (the frame start has cleared the back buffer).
    bool drawn = false;
    for (GraphPage& page : graphs)
    {
        page.composed = page.graph->RenderNodes(context);
        if (page.composed)
        {
            page.graph->Present();
            drawn = true;
        }
    }
    for (GraphPage& page : graphs)
    {
        if (drawn)
            page.shown = page.composed;
        else if (page.shown)
            page.graph->Present();
    }
}
} // namespace Brivet
