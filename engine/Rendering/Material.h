// The interface through which a material puts its constants and textures into a program.
#pragma once

namespace Brivet::Graphics
{
class Program;
}

namespace Brivet::Rendering
{

class MaterialBase
{
public:
    virtual ~MaterialBase() = default;
    virtual void Apply(Graphics::Program* program) = 0;
    // True puts the material's entries into the renderer's transparent pass.
    virtual bool IsTransparent() const { return false; }
};

} // namespace Brivet::Rendering
