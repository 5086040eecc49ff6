// The resource of type "effect": an HLSL file whose "<metadata>" block declares passes,
// variations, the variables exposed as inputs and parameters, internal render targets and
// samplers. Loading compiles one program per pass and per combination of variations.
#pragma once

#include "Assets/Resource/IResource.h"
#include "Base/Array.h"
#include "Base/Dictionary.h"
#include "Base/String.h"
#include "repository/Resources/EffectMetadata.h"
#include "repository/Resources/ShaderReflectionHostBase.h"

#include <cstdint>

struct ID3D11BlendState;
struct ID3D11DepthStencilState;
struct ID3D11RasterizerState;

namespace Brivet::Graphics
{
class DepthStencil;
class Program;
class RenderTarget;
class Sampler;
}

class GBuffer;
class Texture;

class Effect : public Brivet::Assets::Resource::IResource, public ShaderReflectionHostBase
{
public:
    static constexpr uint32_t NoPass = 0xFFFFFFFF;

    // One pass; a plain record: growing the pass array copies the pointers, and only
    // Unload releases the programs and states.
    struct Pass
    {
        Brivet::Graphics::Program** programs = nullptr; // 2^V, owned; program k has the macros of the bits of k
        Brivet::Base::String name;
        Brivet::Base::String vertexEntry;
        Brivet::Base::String pixelEntry;
        Brivet::Base::String geometryEntry;
        uint32_t kind = EffectMetadata::Pass::KindNormal; // 0 normal, 1 shadow cube, 2 shadow map, 3 transparent
        uint32_t lightType = 0; // 0 none, 1 ambient ... 6 area tube
        ID3D11BlendState* blendState = nullptr; // null: the pass keeps what is set
        ID3D11RasterizerState* rasterizerState = nullptr;
        ID3D11DepthStencilState* depthStencilState = nullptr;
        Brivet::Base::Array<Brivet::Base::String> renderTargets; // internal target names
    };

    explicit Effect(Brivet::Compositing::Graph* graph); // graph may be null (nothing loads then)
    ~Effect() override;

    void GetTypeName(Brivet::Base::StaticString<64>& type) const override; // "effect"
    bool Load(const char* path) override;
    // Samplers, internal targets, states and programs; the reflected inputs and constants stay.
    void Unload() override;

    // Binds the pass's samplers (BindSamplers), the states it defines and the program of
    // the current variation, and makes the pass current. Nothing for a pass index out of
    // range.
    void BeginPass(uint32_t pass);
    // Every sampler by its name to the stages of the pass's program of the current
    // variation, the one that draws; again after a user changes the variation.
    void BindSamplers(uint32_t pass);
    // Ends a user's drawing: no current pass, and the current variation back to 0, so the
    // next effect drawing with a shared file starts from the plain programs.
    void EndPass();

    // The pass's internal targets (in its list order) as render targets, with depth's view
    // (else the output's depth target, else none), and "v2Resolution" of the last one; true.
    // False when none of the names exists (nothing bound). A pass without names draws into
    // output (BindAsRenderTarget) and sets "v2Resolution" to its size; false.
    bool BindPassTargets(uint32_t pass, Texture* output, Brivet::Graphics::DepthStencil* depth);
    // The same for a G-buffer renderer: a name that is no internal target is looked up
    // among the G-buffer's layers (a layer holding a target is used), the default depth
    // is the G-buffer's own; a pass without names draws into the G-buffer (GBuffer::Bind)
    // with "v2Resolution" of its size and gives false.
    bool BindPassTargetsGBuffer(uint32_t pass, GBuffer* gbuffer, Brivet::Graphics::DepthStencil* depth);
    // Every internal target the pass does not draw into, by its name as a shader resource,
    // to every stage of the pass's program of the current variation. The targets are those
    // of the graph size the last BindPassTargets drew for (the loading graph's before any).
    void BindInternalTextures(uint32_t pass);
    // True when a program of any pass has the name as a constant or bound resource.
    bool HasVariable(const char* name) const;

    // The bit of the variation of that name (compared without regard to case); 0 when the
    // file declares none.
    uint32_t GetVariationBit(const char* name) const;
    // 2^V: the programs of each pass.
    uint32_t GetProgramCount() const { return 1u << variations.GetCount(); }
    // programs[current variation] of the pass; null for a pass out of range.
    Brivet::Graphics::Program* GetProgram(uint32_t pass) const;

    bool ParseMetadata(const char* text, uint32_t length);
    bool ParsePass(const EffectMetadata::Pass& description, Pass& pass, const char* text, uint32_t length);

    Brivet::Base::Array<Brivet::Base::String> variations; // variation i is bit i
    Brivet::Base::Dictionary<Brivet::Base::String, Brivet::Graphics::Sampler*> samplers; // owned
    Brivet::Base::Array<Pass> passes;
    // The internal targets of the loading graph's size, owned.
    Brivet::Base::Dictionary<Brivet::Base::String, Brivet::Graphics::RenderTarget*> internalTargets;
    uint32_t currentVariation; // bit mask over the variations, written by the effects using the resource
    uint32_t currentPass; // NoPass when none

private:
    // Internal targets made for another output size than the loading graph's: a file
    // shared by graphs of different sizes gives each size targets of its own.
    struct TargetSet
    {
        uint32_t width = 0;
        uint32_t height = 0;
        Brivet::Base::Dictionary<Brivet::Base::String, Brivet::Graphics::RenderTarget*> targets; // owned
    };

    // Creates the internal targets for an output size into targets; false (logged) when
    // one cannot be created.
    bool CreateInternalTargets(uint32_t outputWidth, uint32_t outputHeight,
                               Brivet::Base::Dictionary<Brivet::Base::String, Brivet::Graphics::RenderTarget*>& targets);
    // The targets for the output size of graph (the output's), made on first use (empty
    // when they could not be made).
    Brivet::Base::Dictionary<Brivet::Base::String, Brivet::Graphics::RenderTarget*>* TargetsFor(
        const Brivet::Compositing::Graph* graph);
    void DestroyTargetSets();
    // Binds the pass's named targets (internal ones, else layers of gbuffer when given)
    // with depth's view; false, binding nothing, when no name was found.
    bool BindNamedTargets(uint32_t pass,
                          Brivet::Base::Dictionary<Brivet::Base::String, Brivet::Graphics::RenderTarget*>* targets,
                          GBuffer* gbuffer, Brivet::Graphics::DepthStencil* depth);

    Brivet::Base::Array<EffectMetadata::RenderTarget> targetDescriptions;
    bool graphSizedTargets; // a target without "dimensions": its size follows the graph
    uint32_t targetsWidth; // the output size internalTargets were made for
    uint32_t targetsHeight;
    Brivet::Base::Array<TargetSet*> otherTargets; // owned
    Brivet::Base::Dictionary<Brivet::Base::String, Brivet::Graphics::RenderTarget*>* boundTargets; // of the last BindPassTargets
};
