// Binding, dispatch and unbinding of a compute pass's output and counter.
#include "repository/Effects/ComputePass.h"

#include "Graphics/IComputable.h"
#include "Graphics/Shader.h"
#include "Graphics/System.h"

#include <d3d11.h>

namespace
{
// The view at the bind point of name, and the thread counts from what it covers; false
// when the shader does not declare the name.
bool Bind(Brivet::Graphics::ComputeShader* shader, const char* name, Brivet::Graphics::IComputable* target)
{
    uint32_t bindPoint = 0;
    if (!shader->FindBindPoint(name, &bindPoint))
        return false;
    ID3D11UnorderedAccessView* view = target ? target->GetUnorderedAccessView() : nullptr;
    shader->GetSystem()->GetContext()->CSSetUnorderedAccessViews(bindPoint, 1, &view, nullptr);
    if (target)
        shader->SetThreadCount(target->GetWidth(), target->GetHeight(), target->GetDepth());
    else
        shader->SetThreadCount(0, 0, 0);
    return true;
}

void Unbind(Brivet::Graphics::ComputeShader* shader, const char* name)
{
    uint32_t bindPoint = 0;
    if (!shader->FindBindPoint(name, &bindPoint))
        return;
    ID3D11UnorderedAccessView* none = nullptr;
    shader->GetSystem()->GetContext()->CSSetUnorderedAccessViews(bindPoint, 1, &none, nullptr);
    shader->SetThreadCount(0, 0, 0);
}
} // namespace

namespace ComputePass
{
void Run(Brivet::Graphics::ComputeShader* shader, Brivet::Graphics::IComputable* counter,
         Brivet::Graphics::IComputable* output)
{
    if (!shader)
        return;
    // Thread counts are 0 between passes, so a shader that declares neither name runs no group.
    shader->SetThreadCount(0, 0, 0);
    Bind(shader, "gCounter", counter);
    Bind(shader, "gOutput", output);
    shader->Dispatch();
    Unbind(shader, "gOutput");
    Unbind(shader, "gCounter");
}
} // namespace ComputePass
