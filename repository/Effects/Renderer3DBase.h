// The 3D renderers' shared part: turns the render chunk bound to "Input 1" into a sorted
// list of draw commands (one per entry and pass, and per shadow-casting light and cube
// face for the shadow passes), culls entries wholly behind the viewer, sends the camera
// constants only when the pass, effect or pass kind changes, and draws.
//
// T is the output resource type. Each renderer provides, as specialisations of the
// members marked "per T" below, its output type name, the pass kinds it draws, its
// aspect ratio, its PrepareCommand and its Render, in its own .cpp, which includes
// Renderer3DBaseImpl.h and instantiates the template for T.
#pragma once

#include "Assets/Effect/IEffect.h"
#include "Base/Array.h"
#include "Rendering/D3DX10Math.h"
#include "repository/Resources/EffectMetadata.h"
#include "repository/Resources/ReflectedShaderState.h"
#include "repository/Resources/RenderChunk.h"

#include <cstdint>

class Effect;
class GBuffer;

namespace Brivet::Graphics
{
class DepthStencil;
class Program;
}

template <typename T>
class Renderer3DBase : public Brivet::Assets::Effect::IEffect
{
public:
    static constexpr uint32_t None = 0xFFFFFFFF;
    // Draw commands a frame may hold: entries times passes times shadow-casting lights
    // (six per shadow cube) would otherwise grow without bound. Commands beyond it are not
    // drawn (one warning).
    static constexpr uint32_t MaxCommands = 1u << 18;

    // The pass kinds of an effect pass.
    enum Kind : uint32_t
    {
        KindNormal = EffectMetadata::Pass::KindNormal,
        KindShadowCube = EffectMetadata::Pass::KindShadowCube, // "shadowcube"
        KindShadow = EffectMetadata::Pass::KindShadow, // "shadow"
        KindTransparent = EffectMetadata::Pass::KindTransparent, // "transparent"
    };

    // One draw of one entry with one pass. A plain record.
    struct Command
    {
        uint32_t pass;
        Effect* effect;
        ReflectedShaderState* state;
        RenderChunk::Entry* entry;
        uint32_t entryIndex; // the entry's index in the chunk, sent as "nObjectID"
        uint32_t kind; // Kind
        uint32_t light; // shadow record index; None for normal and transparent commands
        uint32_t face; // cube face 0 to 5 of "shadowcube" commands; None otherwise
    };

    // Stands before the first command and after the last.
    static constexpr Command NoCommand() { return Command{None, nullptr, nullptr, nullptr, None, None, None, None}; }

    explicit Renderer3DBase(Brivet::Demo* demo);
    // Frees the command list; the default shader state goes with the object.
    ~Renderer3DBase() override;

    // Output type name, the cube-face projection, the first declaration pass; true.
    bool Initialize() override;
    // "Inherit camera from GBuffer", then the inputs "Default Shader", "Existing GBuffer"
    // and "Input 1", then the default shader's listed constants and resources.
    void OnInputsChanged() override;
    void OnInputsResolved() override; // the chunk bound to "Input 1"
    void OnParameterChanged(Brivet::Parameters::IParameter* parameter) override; // sets changed
    void OnResize() override; // resolves the default shader's resources again
    // Keeps resource as the output when it is of the renderer's output type; otherwise
    // the renderer has no output (and draws nothing).
    void SetOutput(Brivet::Assets::Resource::IResource* resource) override;
    Brivet::Assets::Resource::IResource* GetOutput() override;
    void Render(const Brivet::RenderContext& context) override; // per T

    // Draws the command list in order.
    virtual void RenderCommands();

    // Rebuilds and sorts the command list from the chunk; nothing without a chunk or a
    // default shader with passes. Only commands that will be drawn are built: passes of a
    // kind the renderer serves, shadow commands of records with a target, and at most
    // MaxCommands.
    void BuildCommands();
    // qsort order: pass, light, face, effect, entry index.
    static int CompareCommands(const void* a, const void* b);
    // Switches pass and resources between two commands and sends the camera constants
    // when the pass, effect or kind changed; true when it sent them. Per T.
    bool PrepareCommand(const Command& previous, const Command& current);
    // Ends previous's pass and begins current's when the effect or pass differs; true when
    // it did.
    bool SwitchPass(const Command& previous, const Command& current);
    static bool SwitchesPass(const Command& previous, const Command& current); // effect or pass differ
    // The command's state's values (at the time of the last UpdateShaderStates) on every
    // variation program of its pass.
    void ApplyState(const Command& command);
    // The pass's samplers, the command's state's resources and the existing G-buffer's
    // layers on program, the one that draws the command.
    void BindDrawViews(const Command& command, Brivet::Graphics::Program* program);
    // "matView", "matViewPrevious", "matProjection" and "v4CameraPosition" on every
    // variation program of the pass.
    void SetCameraConstants(Effect* effect, uint32_t pass);
    // The default shader state's values at time, and each entry state's, into every
    // program of every pass of their effects.
    void UpdateShaderStates(float time);
    // Takes the chunk's (or the existing G-buffer's) camera and computes the projection;
    // a chunk without camera keeps the last frame's matrices. used, when given, receives
    // the block with the projection the renderer uses; false when no camera was taken.
    bool UpdateCamera(const Brivet::RenderContext& context, RenderChunk::CameraBlock* used = nullptr);

    // Per T.
    static const char* OutputTypeName(); // "texture", "gbuffer", "cubetexture"
    static const char* LogName(); // the effect type name that starts its log lines
    static bool DrawsKind(uint32_t kind); // the pass kinds this renderer serves
    // Whether the shadow command of kind for shadow record light has a target to draw
    // into (the G-buffer renderer's records; false for the others).
    bool HasShadowTarget(uint32_t kind, uint32_t light) const;
    float OutputAspectRatio() const; // width over height of the output
    // The G-buffer renderer only: fills the output G-buffer's ambient colour and shadow
    // records from the chunk's lights and lends or takes back their targets.
    void PrepareShadowRecords();

    // Sets or clears the effect's "SKINNING_ENABLED" bit from the entry's bone count.
    static void SetSkinningBit(Effect* effect, const RenderChunk::Entry& entry);
    // Every variation program of the pass (2^V of them), or null.
    static Brivet::Graphics::Program** PassPrograms(Effect* effect, uint32_t pass);

    T* output; // borrowed; set by SetOutput
    GBuffer* existingGBuffer; // borrowed: the resource bound to "Existing GBuffer"
    Brivet::Parameters::Parameter<bool>* inheritCamera; // "Inherit camera from GBuffer"
    Effect* defaultShader; // borrowed: the resource bound to "Default Shader"
    ReflectedShaderState defaultShaderState;
    RenderChunk* chunk; // borrowed: the resource bound to "Input 1"
    float aspectRatio;
    float stateTime; // the time of the last UpdateShaderStates
    Brivet::Base::Array<Command> commands; // rebuilt every frame, capacity kept
    D3DXMATRIX view; // row-major, row vectors, as D3DX uses them
    D3DXMATRIX previousView;
    D3DXMATRIX projection;
    D3DXVECTOR4 cameraPosition;
    D3DXMATRIX cubeFaceProjection; // π/2, aspect 1, 0.1 to 25000: the shadow-cube faces
    // The view a shadow command's entries are culled against (the light's or the cube
    // face's, set by PrepareCommand); null: they are not culled.
    const D3DXMATRIX* shadowView;
    D3DXMATRIX lightView;
    // Whether the current pass has a target to draw into (PrepareCommand); its commands are
    // not drawn otherwise.
    bool passHasTarget;
    bool reportedNoTarget; // the warning of a pass without a target is given once
    bool reportedTooManyCommands; // the warning of commands beyond MaxCommands is given once

protected:
    // The existing G-buffer's pieces: its depth target (depth-tests the entries), its
    // camera block and its layers bound by name as shader resources.
    Brivet::Graphics::DepthStencil* ExistingDepth() const;
    const RenderChunk::CameraBlock* ExistingCamera() const;
    void BindExistingLayers(Brivet::Graphics::Program* program) const;
};
