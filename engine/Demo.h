// The demo object: owns the graphics system, the audio output and the music
// clips, the render-target pool, the resource manager, the factory tables and
// the compositing graphs, and reads the description "brivet.xml" from the archive.
#pragma once

#include "Assets/Resource/Manager.h"
#include "Audio/Renderer.h"
#include "Audio/Rhythm.h"
#include "Base/Array.h"
#include "Base/Dictionary.h"
#include "Base/StaticString.h"
#include "Base/String.h"
#include "Graphics/RenderTargetPool.h"
#include "Graphics/System.h"
#include "RenderContext.h"

#include <cstdint>

namespace Brivet
{
struct StartupSettings;

namespace Audio { class IBackend; }
namespace Compositing { class Graph; }
namespace Graphics { class DepthStencil; }
namespace Utility::Archive { class IArchive; }
namespace Utility::XML { class Document; class Node; }
namespace Assets::Effect { class IEffectFactory; }
namespace Assets::Resource { class IResource; class IResourceFactory; }

// Built on zero-filled memory by the application. Other parts of the engine
// read the fields directly (graphs and nodes the manager, the factories and the
// pool; resources the system; the text effect the backend and the renderer).
class Demo
{
public:
    struct GraphPage
    {
        Compositing::Graph* graph; // owned
        bool composed; // its output composed in the last pass
        bool shown; // its picture is part of the last pass that drew
    };

    Demo();
    // Releases whatever is left: graphs, tables, the pool, the system, the audio.
    virtual ~Demo();

    // Graphics, then the DirectSound backend; false (logged) when either fails.
    virtual bool StartSystems(const StartupSettings& settings);
    // Audio thread and backend, the clips, then graphics; false at the first failure.
    virtual bool StopSystems();

    // Stores the factory under its info's type name (overwriting); false when
    // GetInfo reports false, and the factory is not stored then.
    virtual bool RegisterResourceFactory(Assets::Resource::IResourceFactory* factory);
    // Stores the factory under its name (overwriting); true.
    virtual bool RegisterEffectFactory(Assets::Effect::IEffectFactory* factory);

    // The manager's cached file resource of that path, loaded by the type's factory.
    virtual Assets::Resource::IResource* GetResource(Compositing::Graph* graph, Base::StaticString<64> type,
                                                     const char* path, const Utility::XML::Node* loadSettings);

    // One pass of a main loop: begin the frame, render the graphs, present.
    virtual void RenderFrame(float time);

    virtual uint32_t GetWidth();
    virtual uint32_t GetHeight();
    // The back buffer as the only render target with depthStencil's view (none
    // when null), full viewport.
    virtual void BindBackBuffer(Graphics::DepthStencil* depthStencil);
    // The back buffer with the system's own depth buffer.
    virtual void BindBackBuffer();

    // Called with 0 when Load begins, after every loaded node, and with 1 when it succeeded.
    virtual void OnLoadProgress(float fraction) {}

    // The description's name and loading shader; the archive is not kept.
    bool Preload(Utility::Archive::IArchive* archive);
    // The whole description; the archive stays set for the resources loaded later.
    bool Load(Utility::Archive::IArchive* archive);
    // "brivet.xml" of the archive field parsed into document.
    bool LoadXml(Utility::XML::Document& document);
    // One graph per "graph" child, in order; a null element loads none.
    bool LoadCompositing(const Utility::XML::Node& element);

    // The latest end of the music clips in seconds; 60 without clips.
    float GetLength();
    // Every graph for the time, in description order: those whose output composed draw
    // onto the back buffer; when none did, those that drew last draw their pictures again.
    void Render(float time);

    Audio::IBackend* backend; // owned; null until StartSystems
    Audio::Renderer renderer;
    Graphics::System system;
    Graphics::RenderTargetPool renderTargetPool;
    Utility::Archive::IArchive* archive; // borrowed
    Base::Array<GraphPage> graphs;
    Audio::Rhythm rhythm;
    Base::String name;
    Base::String loadingShader;
    Assets::Resource::Manager resourceManager;
    Base::Dictionary<Base::StaticString<64>, Assets::Effect::IEffectFactory*> effectFactories;
    Base::Array<float> preheatTimes;
    uint32_t nodesLoaded;
    uint32_t nodesTotal;

private:
    Demo(const Demo&) = delete;
    Demo& operator=(const Demo&) = delete;

    void DestroyGraphs();
};
} // namespace Brivet
