// The walk over a compiled stage's reflection: bound resources and constant buffer 0.
#include "repository/Resources/ShaderReflectionHostBase.h"

#include <d3d11shader.h>
#include <d3dcommon.h>

static_assert((uint32_t)ShaderReflectionHostBase::BindTexture == (uint32_t)D3D_SIT_TEXTURE);
static_assert((uint32_t)ShaderReflectionHostBase::BindReadWriteTyped == (uint32_t)D3D_SIT_UAV_RWTYPED);
static_assert((uint32_t)ShaderReflectionHostBase::BindByteAddress == (uint32_t)D3D_SIT_BYTEADDRESS);
static_assert((uint32_t)ShaderReflectionHostBase::DimensionBuffer == (uint32_t)D3D_SRV_DIMENSION_BUFFER);
static_assert((uint32_t)ShaderReflectionHostBase::ClassScalar == (uint32_t)D3D_SVC_SCALAR);
static_assert((uint32_t)ShaderReflectionHostBase::ClassVector == (uint32_t)D3D_SVC_VECTOR);
static_assert((uint32_t)ShaderReflectionHostBase::TypeFloat == (uint32_t)D3D_SVT_FLOAT);

void ShaderReflectionHostBase::ReflectResources(ID3D11ShaderReflection* reflection)
{
    if (!reflection)
        return;
    D3D11_SHADER_DESC shader = {};
    if (FAILED(reflection->GetDesc(&shader)))
        return;
    for (UINT i = 0; i < shader.BoundResources; ++i)
    {
        D3D11_SHADER_INPUT_BIND_DESC binding = {};
        if (FAILED(reflection->GetResourceBindingDesc(i, &binding)))
            continue;
        AddReflectedResource(binding.Name, (uint32_t)binding.Type, (uint32_t)binding.Dimension);
    }
}

void ShaderReflectionHostBase::ReflectConstants(ID3D11ShaderReflectionConstantBuffer* buffer)
{
    if (!buffer)
        return;
    D3D11_SHADER_BUFFER_DESC description = {};
    if (FAILED(buffer->GetDesc(&description)))
        return;
    for (UINT i = 0; i < description.Variables; ++i)
    {
        ID3D11ShaderReflectionVariable* variable = buffer->GetVariableByIndex(i);
        D3D11_SHADER_VARIABLE_DESC variableDescription = {};
        if (!variable || FAILED(variable->GetDesc(&variableDescription)))
            continue;
        ID3D11ShaderReflectionType* type = variable->GetType();
        D3D11_SHADER_TYPE_DESC typeDescription = {};
        if (!type || FAILED(type->GetDesc(&typeDescription)))
            continue;
        AddReflectedConstant(variableDescription.Name, (uint32_t)typeDescription.Class, (uint32_t)typeDescription.Type,
                             typeDescription.Rows, typeDescription.Columns);
    }
}
