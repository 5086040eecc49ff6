// "CubeRenderer3D": the 3D renderer that draws a render chunk into the six faces of a cube
// render target, one 90-degree view per face around "Cubemap center": an environment
// map for reflections in later passes.
#pragma once

#include "repository/Effects/Renderer3DBase.h"

class CubeTextureRenderTarget;

template <>
const char* Renderer3DBase<CubeTextureRenderTarget>::OutputTypeName();
template <>
bool Renderer3DBase<CubeTextureRenderTarget>::DrawsKind(uint32_t kind);
template <>
const char* Renderer3DBase<CubeTextureRenderTarget>::LogName();
template <>
bool Renderer3DBase<CubeTextureRenderTarget>::HasShadowTarget(uint32_t kind, uint32_t light) const;
template <>
float Renderer3DBase<CubeTextureRenderTarget>::OutputAspectRatio() const;
template <>
bool Renderer3DBase<CubeTextureRenderTarget>::PrepareCommand(const Command& previous, const Command& current);
template <>
void Renderer3DBase<CubeTextureRenderTarget>::Render(const Brivet::RenderContext& context);

extern template class Renderer3DBase<CubeTextureRenderTarget>;

class CubeRenderer3D : public Renderer3DBase<CubeTextureRenderTarget>
{
public:
    // Look direction and up of each face, in the cube texture's face order.
    struct Face
    {
        D3DXVECTOR3 look;
        D3DXVECTOR3 up;
    };
    static const Face Faces[6];
    // The far plane used when the chunk's camera block has none (no camera).
    static constexpr float NearPlane = 0.01f;
    static constexpr float FallbackFarPlane = 25000.0f;

    explicit CubeRenderer3D(Brivet::Demo* demo);

    // The renderer's declarations, then "Cubemap center".
    void OnInputsChanged() override;
    // Six faces: each cleared to depth 1.0 and drawn with the whole command list.
    void Render(const Brivet::RenderContext& context) override;

    // The view from center through face (0 to 5).
    static D3DXMATRIX FaceView(const D3DXVECTOR3& center, uint32_t face);
    // The 90-degree square projection out to the chunk camera's far plane.
    static D3DXMATRIX FaceProjection(float farPlane);

    Brivet::Parameters::Parameter<D3DXVECTOR3>* center; // "Cubemap center"
};
