// The per-effect side of a reflected shader: declares one effect parameter per collected
// float constant and one input per collected texture or buffer, finds what the graph
// bound to those inputs, and each frame writes the values and binds the resources by name.
#pragma once

#include "Base/Dictionary.h"
#include "Base/String.h"
#include "Rendering/D3DX10Math.h"

class ShaderReflectionHostBase;
class ShaderResource;
class Texture;

struct ID3D11ShaderResourceView;

namespace Brivet::Assets::Effect
{
class IEffect;
}

namespace Brivet::Graphics
{
class ComputeShader;
class Program;
}

namespace Brivet::Parameters
{
template <typename T>
class Parameter;
}

// Every table is keyed by the plain shader variable name. The parameter objects belong to
// the effect, the resources to the nodes that output them: the state only points to them.
class ReflectedShaderState
{
public:
    ReflectedShaderState() = default;
    virtual ~ReflectedShaderState() = default;

    ReflectedShaderState(const ReflectedShaderState&) = delete;
    ReflectedShaderState& operator=(const ReflectedShaderState&) = delete;

    // Declares on effect's behalf what host collected: a parameter per constant (named
    // "<prefix> - <variable>" when prefix is not empty), zero by default, then an input per
    // reflected resource ("texture" or "shaderresource"). The parameter tables are
    // rebuilt, so they hold only the host's constants, each under exactly one value type.
    // A null host declares nothing and leaves the tables empty.
    void Declare(const Brivet::Base::String& prefix, Brivet::Assets::Effect::IEffect* effect,
                 ShaderReflectionHostBase* host);

    // Records, for every host input, what is bound to the effect's input of that name:
    // a resource of the input's type, or null (unbound, or of another type), so that the
    // binding writes a null view rather than leaving an earlier draw's resource in place.
    void ResolveInputs(Brivet::Assets::Effect::IEffect* effect, ShaderReflectionHostBase* host);

    // Each parameter's value at time into the program's constants, by variable name.
    void Update(Brivet::Graphics::Program* program, float time);
    // Each recorded texture's and shader resource's view (null for none) by name to every
    // stage of the program; a read-write binding gets the resource's unordered-access view
    // at its own register (the output merger's slot), null when it has none.
    void BindResources(Brivet::Graphics::Program* program);

    // One view by name to every stage in the program's mask.
    static void BindView(Brivet::Graphics::Program* program, const char* name, ID3D11ShaderResourceView* view);

    // Each parameter's value at time into the compute shader's constant buffer 0 (at most
    // the variable's size, never past the buffer), marking it changed; nothing for a
    // shader without constant buffer 0.
    void UpdateCompute(Brivet::Graphics::ComputeShader* shader, float time);
    // As BindResources, to the compute stage (read-write bindings at their unordered-access
    // registers).
    void BindComputeResources(Brivet::Graphics::ComputeShader* shader);
    // Null views where BindComputeResources bound: after a dispatch, so that no buffer stays
    // bound for writing while later passes read it.
    void UnbindComputeResources(Brivet::Graphics::ComputeShader* shader);

    Brivet::Base::Dictionary<Brivet::Base::String, Texture*> textures;
    Brivet::Base::Dictionary<Brivet::Base::String, ShaderResource*> shaderResources;
    Brivet::Base::Dictionary<Brivet::Base::String, Brivet::Parameters::Parameter<float>*> floatParameters;
    Brivet::Base::Dictionary<Brivet::Base::String, Brivet::Parameters::Parameter<D3DXVECTOR2>*> float2Parameters;
    Brivet::Base::Dictionary<Brivet::Base::String, Brivet::Parameters::Parameter<D3DXVECTOR3>*> float3Parameters;
    Brivet::Base::Dictionary<Brivet::Base::String, Brivet::Parameters::Parameter<D3DXVECTOR4>*> float4Parameters;
};
