// Declaration, resolution and per-frame binding of a reflected shader's variables.
#include "repository/Resources/ReflectedShaderState.h"

#include "Assets/Effect/IEffect.h"
#include "Assets/Resource/IResource.h"
#include "Base/StaticString.h"
#include "Graphics/ConstantBuffer.h"
#include "Graphics/ITexture.h"
#include "Graphics/Program.h"
#include "Graphics/Shader.h"
#include "Graphics/System.h"
#include "Parameters/Parameter.h"
#include "repository/Resources/Buffer.h"
#include "repository/Resources/ShaderReflectionHostBase.h"
#include "repository/Resources/ShaderResource.h"
#include "repository/Resources/Texture.h"

#include <d3d11.h>
#include <d3d11shader.h>

using Brivet::Base::Dictionary;
using Brivet::Base::StaticString;
using Brivet::Base::String;
using Brivet::Graphics::Program;

namespace
{
template <typename V>
void Empty(Dictionary<String, V>& table)
{
    while (table.GetCount() != 0)
    {
        const String key(table.GetEntry(0).key);
        table.Remove(key);
    }
}

// The parameter of one value type under the variable name, and no other.
template <typename T>
void Store(ReflectedShaderState& state, Dictionary<String, Brivet::Parameters::Parameter<T>*>& table,
           const String& variable, Brivet::Parameters::Parameter<T>* parameter)
{
    state.floatParameters.Remove(variable);
    state.float2Parameters.Remove(variable);
    state.float3Parameters.Remove(variable);
    state.float4Parameters.Remove(variable);
    table.Set(variable, parameter);
}

// Types whose class derives from Texture: the texture itself and the cube render target.
bool IsTextureResource(Brivet::Assets::Resource::IResource* resource)
{
    static const StaticString<64> texture("texture");
    static const StaticString<64> cube("cubetexture");
    StaticString<64> type;
    resource->GetTypeName(type);
    return type.GetHashLower() == texture.GetHashLower() || type.GetHashLower() == cube.GetHashLower();
}

ID3D11ShaderResourceView* ViewOf(Texture* texture)
{
    Brivet::Graphics::ITexture* gpu = texture ? texture->GetTexture() : nullptr;
    return gpu ? gpu->GetShaderResourceView() : nullptr;
}

ID3D11ShaderResourceView* ViewOf(ShaderResource* resource)
{
    return resource ? resource->GetShaderResource() : nullptr;
}

// Only a buffer has an unordered-access view.
ID3D11UnorderedAccessView* AccessViewOf(ShaderResource* resource)
{
    static const StaticString<64> buffer("buffer");
    return resource && resource->IsCompatible(buffer) ? static_cast<Buffer*>(resource)->GetUnorderedAccessView()
                                                       : nullptr;
}

// The bind point of name in the stage, and whether it is a read-write (unordered-access)
// binding, which has registers of its own.
bool FindBinding(const Brivet::Graphics::Shader* shader, const char* name, uint32_t* bindPoint, bool* readWrite)
{
    ID3D11ShaderReflection* reflection = shader ? shader->GetReflection() : nullptr;
    D3D11_SHADER_INPUT_BIND_DESC desc = {};
    if (!reflection || !name || FAILED(reflection->GetResourceBindingDescByName(name, &desc)))
        return false;
    *bindPoint = desc.BindPoint;
    switch (desc.Type)
    {
    case D3D_SIT_UAV_RWTYPED:
    case D3D_SIT_UAV_RWSTRUCTURED:
    case D3D_SIT_UAV_RWBYTEADDRESS:
    case D3D_SIT_UAV_APPEND_STRUCTURED:
    case D3D_SIT_UAV_CONSUME_STRUCTURED:
    case D3D_SIT_UAV_RWSTRUCTURED_WITH_COUNTER:
        *readWrite = true;
        break;
    default:
        *readWrite = false;
        break;
    }
    return true;
}

// A shader resource by name to the compute stage: its unordered-access view at a
// read-write binding, else its shader-resource view.
void BindCompute(Brivet::Graphics::ComputeShader* shader, const char* name, ShaderResource* resource)
{
    uint32_t bindPoint = 0;
    bool readWrite = false;
    if (!FindBinding(shader, name, &bindPoint, &readWrite))
        return;
    if (readWrite)
    {
        ID3D11UnorderedAccessView* view = AccessViewOf(resource);
        shader->GetSystem()->GetContext()->CSSetUnorderedAccessViews(bindPoint, 1, &view, nullptr);
    }
    else
    {
        shader->SetShaderResource(name, ViewOf(resource));
    }
}
} // namespace

void ReflectedShaderState::Declare(const String& prefix, Brivet::Assets::Effect::IEffect* effect,
                                   ShaderReflectionHostBase* host)
{
    // Rebuilt from the host: a variable the shader no longer names is not written again.
    Empty(floatParameters);
    Empty(float2Parameters);
    Empty(float3Parameters);
    Empty(float4Parameters);
    if (!effect || !host)
        return;

    // Constants in slot order
    for (uint32_t i = 0; i < host->constants.GetCapacity(); ++i)
    {
        const auto& slot = host->constants.GetSlot(i);
        if (!slot.IsLive())
            continue;
        const String variable(slot.key);
        StaticString<64> name;
        if (prefix.GetLength() == 0)
            name = StaticString<64>(variable.GetText());
        else
            name.Format("%s - %s", prefix.GetText(), variable.GetText());

        switch (slot.value)
        {
        case Brivet::Parameters::Type::Float:
            Store(*this, floatParameters, variable, effect->AddParameter<float>(name, 0.0f));
            break;
        case Brivet::Parameters::Type::Vector2:
            Store(*this, float2Parameters, variable, effect->AddParameter<D3DXVECTOR2>(name, D3DXVECTOR2(0.0f, 0.0f)));
            break;
        case Brivet::Parameters::Type::Vector3:
            Store(*this, float3Parameters, variable,
                  effect->AddParameter<D3DXVECTOR3>(name, D3DXVECTOR3(0.0f, 0.0f, 0.0f)));
            break;
        case Brivet::Parameters::Type::Vector4:
            Store(*this, float4Parameters, variable,
                  effect->AddParameter<D3DXVECTOR4>(name, D3DXVECTOR4(0.0f, 0.0f, 0.0f, 0.0f)));
            break;
        default:
            break;
        }
    }

    // Inputs in the order first met
    static const StaticString<64> textureType("texture");
    static const StaticString<64> shaderResourceType("shaderresource");
    for (const ShaderReflectionHostBase::ShaderInput& input : host->inputs)
    {
        effect->DeclareInput(StaticString<64>(input.name.GetText()),
                             input.kind == ShaderReflectionHostBase::ShaderInput::KindTexture ? textureType
                                                                                             : shaderResourceType);
    }
}

void ReflectedShaderState::ResolveInputs(Brivet::Assets::Effect::IEffect* effect, ShaderReflectionHostBase* host)
{
    Empty(textures);
    Empty(shaderResources);
    if (!effect || !host)
        return;

    for (const ShaderReflectionHostBase::ShaderInput& input : host->inputs)
    {
        Brivet::Assets::Resource::IResource* bound = nullptr;
        Brivet::Assets::Effect::IEffect::Input* record = nullptr;
        if (effect->inputs.Find(StaticString<64>(input.name.GetText()), &record))
            bound = record->bound;

        if (input.kind == ShaderReflectionHostBase::ShaderInput::KindTexture)
        {
            // Unbound inputs are recorded too and bind a null view: left alone, the stage
            // would sample whatever an earlier draw bound under that name.
            textures.Set(input.name, bound && IsTextureResource(bound) ? static_cast<Texture*>(bound) : nullptr);
        }
        else
        {
            static const StaticString<64> shaderResourceType("shaderresource");
            shaderResources.Set(input.name, bound && bound->IsCompatible(shaderResourceType)
                                                ? static_cast<ShaderResource*>(bound)
                                                : nullptr);
        }
    }
}

void ReflectedShaderState::Update(Program* program, float time)
{
    if (!program)
        return;
    for (uint32_t i = 0; i < floatParameters.GetCount(); ++i)
    {
        const auto& entry = floatParameters.GetEntry(i);
        program->SetFloat(entry.key.GetText(), entry.value->GetValue(time));
    }
    for (uint32_t i = 0; i < float2Parameters.GetCount(); ++i)
    {
        const auto& entry = float2Parameters.GetEntry(i);
        const D3DXVECTOR2 value = entry.value->GetValue(time);
        program->SetFloat2(entry.key.GetText(), value);
    }
    for (uint32_t i = 0; i < float3Parameters.GetCount(); ++i)
    {
        const auto& entry = float3Parameters.GetEntry(i);
        const D3DXVECTOR3 value = entry.value->GetValue(time);
        program->SetFloat3(entry.key.GetText(), value);
    }
    for (uint32_t i = 0; i < float4Parameters.GetCount(); ++i)
    {
        const auto& entry = float4Parameters.GetEntry(i);
        const D3DXVECTOR4 value = entry.value->GetValue(time);
        program->SetFloat4(entry.key.GetText(), value);
    }
}

void ReflectedShaderState::BindView(Program* program, const char* name, ID3D11ShaderResourceView* view)
{
    const uint32_t mask = program->GetStageMask();
    if (mask & Program::StagePixel)
        program->GetPixelShader()->SetShaderResource(name, view);
    if (mask & Program::StageVertex)
        program->GetVertexShader()->SetShaderResource(name, view);
    if (mask & Program::StageGeometry)
        program->GetGeometryShader()->SetShaderResource(name, view);
}

void ReflectedShaderState::BindResources(Program* program)
{
    if (!program)
        return;
    for (uint32_t i = 0; i < textures.GetCount(); ++i)
        BindView(program, textures.GetEntry(i).key.GetText(), ViewOf(textures.GetEntry(i).value));

    // Shader resources by name to each stage; read-write ones as unordered-access views,
    // which the graphics stages share in the output merger's slots (set in one call, as
    // the call unbinds the slots it does not set).
    ID3D11UnorderedAccessView* accessViews[D3D11_PS_CS_UAV_REGISTER_COUNT] = {};
    uint32_t firstSlot = D3D11_PS_CS_UAV_REGISTER_COUNT;
    uint32_t lastSlot = 0;
    Brivet::Graphics::Shader* stages[3] = {
        (program->GetStageMask() & Program::StagePixel) ? program->GetPixelShader() : nullptr,
        (program->GetStageMask() & Program::StageVertex) ? program->GetVertexShader() : nullptr,
        (program->GetStageMask() & Program::StageGeometry) ? program->GetGeometryShader() : nullptr,
    };
    for (uint32_t i = 0; i < shaderResources.GetCount(); ++i)
    {
        const char* name = shaderResources.GetEntry(i).key.GetText();
        ShaderResource* resource = shaderResources.GetEntry(i).value;
        for (Brivet::Graphics::Shader* stage : stages)
        {
            uint32_t bindPoint = 0;
            bool readWrite = false;
            if (!FindBinding(stage, name, &bindPoint, &readWrite))
                continue;
            if (!readWrite)
            {
                stage->SetShaderResource(name, ViewOf(resource));
            }
            else if (bindPoint < D3D11_PS_CS_UAV_REGISTER_COUNT)
            {
                accessViews[bindPoint] = AccessViewOf(resource);
                firstSlot = bindPoint < firstSlot ? bindPoint : firstSlot;
                lastSlot = bindPoint > lastSlot ? bindPoint : lastSlot;
            }
        }
    }
    if (firstSlot <= lastSlot)
    {
        program->GetPixelShader()->GetSystem()->GetContext()->OMSetRenderTargetsAndUnorderedAccessViews(
            D3D11_KEEP_RENDER_TARGETS_AND_DEPTH_STENCIL, nullptr, nullptr, firstSlot, lastSlot - firstSlot + 1,
            accessViews + firstSlot, nullptr);
    }
}

void ReflectedShaderState::UpdateCompute(Brivet::Graphics::ComputeShader* shader, float time)
{
    if (!shader)
        return;
    Brivet::Graphics::ConstantBuffer* buffer = shader->GetConstantBuffer();
    if (buffer->GetSize() == 0)
        return;
    // SetVariable writes at most the variable's reflected size and never past the buffer.
    for (uint32_t i = 0; i < floatParameters.GetCount(); ++i)
    {
        const auto& entry = floatParameters.GetEntry(i);
        const float value = entry.value->GetValue(time);
        buffer->SetVariable(entry.key.GetText(), &value, sizeof(value));
    }
    for (uint32_t i = 0; i < float2Parameters.GetCount(); ++i)
    {
        const auto& entry = float2Parameters.GetEntry(i);
        const D3DXVECTOR2 value = entry.value->GetValue(time);
        buffer->SetVariable(entry.key.GetText(), &value, sizeof(value));
    }
    for (uint32_t i = 0; i < float3Parameters.GetCount(); ++i)
    {
        const auto& entry = float3Parameters.GetEntry(i);
        const D3DXVECTOR3 value = entry.value->GetValue(time);
        buffer->SetVariable(entry.key.GetText(), &value, sizeof(value));
    }
    for (uint32_t i = 0; i < float4Parameters.GetCount(); ++i)
    {
        const auto& entry = float4Parameters.GetEntry(i);
        const D3DXVECTOR4 value = entry.value->GetValue(time);
        buffer->SetVariable(entry.key.GetText(), &value, sizeof(value));
    }
}

void ReflectedShaderState::BindComputeResources(Brivet::Graphics::ComputeShader* shader)
{
    if (!shader)
        return;
    for (uint32_t i = 0; i < textures.GetCount(); ++i)
        shader->SetShaderResource(textures.GetEntry(i).key.GetText(), ViewOf(textures.GetEntry(i).value));
    for (uint32_t i = 0; i < shaderResources.GetCount(); ++i)
        BindCompute(shader, shaderResources.GetEntry(i).key.GetText(), shaderResources.GetEntry(i).value);
}

void ReflectedShaderState::UnbindComputeResources(Brivet::Graphics::ComputeShader* shader)
{
    if (!shader)
        return;
    for (uint32_t i = 0; i < textures.GetCount(); ++i)
        shader->SetShaderResource(textures.GetEntry(i).key.GetText(), nullptr);
    for (uint32_t i = 0; i < shaderResources.GetCount(); ++i)
        BindCompute(shader, shaderResources.GetEntry(i).key.GetText(), nullptr);
}
