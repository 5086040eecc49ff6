// Program: the stages of one HLSL source, bound together and fed by name.
#include "Graphics/Program.h"

#include <d3d11.h>

#include "Graphics/System.h"

namespace Brivet::Graphics
{

Program::Program(System* system)
    : system(system), stageMask(0), pixelShader(system), vertexShader(system), geometryShader(system),
      macros(nullptr), pixelEntry("ps_main"), vertexEntry("vs_main"), geometryEntry("gs_main")
{
}

Program::~Program() = default;

bool Program::Compile(const char* source, uint32_t length, uint32_t mask)
{
    stageMask = mask;
    const int64_t sourceLength = length; // ZeroTerminated keeps its meaning in the low 32 bits
    if ((mask & StagePixel) && !pixelShader.Compile(source, sourceLength, pixelEntry.GetText(), macros))
        return false;
    if ((mask & StageVertex) && !vertexShader.Compile(source, sourceLength, vertexEntry.GetText(), macros))
        return false;
    if ((mask & StageGeometry) && !geometryShader.Compile(source, sourceLength, geometryEntry.GetText(), macros))
        return false;
    return true;
}

void Program::Bind()
{
    // A stage the program lacks must not keep the shader of an earlier draw.
    ID3D11DeviceContext* context = system->GetContext();
    if (stageMask & StagePixel)
        pixelShader.Bind();
    else
        context->PSSetShader(nullptr, nullptr, 0);
    if (stageMask & StageVertex)
        vertexShader.Bind();
    else
        context->VSSetShader(nullptr, nullptr, 0);
    if (stageMask & StageGeometry)
        geometryShader.Bind();
    else
        context->GSSetShader(nullptr, nullptr, 0);
}

bool Program::HasVariable(const char* name) const
{
    const Shader* stages[3] = {&pixelShader, &vertexShader, &geometryShader};
    const uint32_t bits[3] = {StagePixel, StageVertex, StageGeometry};
    for (int i = 0; i < 3; ++i)
    {
        if (!(stageMask & bits[i]))
            continue;
        const Shader* stage = stages[i];
        uint32_t bindPoint;
        if (stage->GetConstantBuffer()->HasVariable(name) || stage->FindBindPoint(name, &bindPoint))
            return true;
    }
    return false;
}

void Program::SetValue(const char* name, const void* value, uint32_t bytes)
{
    if (stageMask & StagePixel)
        pixelShader.GetConstantBuffer()->SetVariable(name, value, bytes);
    if (stageMask & StageVertex)
        vertexShader.GetConstantBuffer()->SetVariable(name, value, bytes);
    if (stageMask & StageGeometry)
        geometryShader.GetConstantBuffer()->SetVariable(name, value, bytes);
}

void Program::SetBool(const char* name, bool value)
{
    const uint32_t word = value ? 1 : 0;
    SetValue(name, &word, sizeof(word));
}

void Program::SetFloat(const char* name, float value)
{
    SetValue(name, &value, sizeof(value));
}

void Program::SetFloat2(const char* name, const float* value)
{
    SetValue(name, value, 2 * sizeof(float));
}

void Program::SetFloat3(const char* name, const float* value)
{
    SetValue(name, value, 3 * sizeof(float));
}

void Program::SetFloat4(const char* name, const float* value)
{
    SetValue(name, value, 4 * sizeof(float));
}

void Program::SetMatrix(const char* name, const D3DXMATRIX* value)
{
    SetValue(name, value, sizeof(D3DXMATRIX));
}

void Program::SetMatrixArray(const char* name, const D3DXMATRIX* values, uint32_t count)
{
    // No constant buffer holds 2^26 matrices; the cap keeps the byte count in 32 bits.
    const uint32_t maxCount = 0xFFFFFFFFu / sizeof(D3DXMATRIX);
    SetValue(name, values, (count < maxCount ? count : maxCount) * (uint32_t)sizeof(D3DXMATRIX));
}

} // namespace Brivet::Graphics
