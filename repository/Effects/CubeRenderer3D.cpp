// CubeRenderer3D: the chunk drawn six times, once into each face of a cube render target.
#include "repository/Effects/CubeRenderer3D.h"

#include "repository/Effects/Renderer3DBaseImpl.h"
#include "repository/Resources/CubeTextureRenderTarget.h"

#include "Graphics/DepthStencil.h"
#include "Graphics/System.h"
#include "Graphics/TextureCube.h"

#include <d3d11.h>

using Brivet::Graphics::Program;

template <>
const char* Renderer3DBase<CubeTextureRenderTarget>::OutputTypeName()
{
    return "cubetexture";
}

template <>
const char* Renderer3DBase<CubeTextureRenderTarget>::LogName()
{
    return "CubeRenderer3D";
}

template <>
bool Renderer3DBase<CubeTextureRenderTarget>::HasShadowTarget(uint32_t kind, uint32_t light) const
{
    return false; // no shadow targets
}

template <>
bool Renderer3DBase<CubeTextureRenderTarget>::DrawsKind(uint32_t kind)
{
    return kind == KindNormal || kind == KindTransparent;
}

template <>
float Renderer3DBase<CubeTextureRenderTarget>::OutputAspectRatio() const
{
    return 1.0f;
}

template <>
bool Renderer3DBase<CubeTextureRenderTarget>::PrepareCommand(const Command& previous, const Command& current)
{
    // Pass switch: the pass's states, samplers and program
    const bool passChanged = SwitchPass(previous, current);
    if (!current.effect)
        return false;

    // No target is bound here: Render has bound the face.
    bool send = passChanged;
    if (current.effect != previous.effect)
    {
        SetSkinningBit(current.effect, *current.entry);
        send = true;
    }
    if (previous.kind == current.kind && !send)
        return false;
    if (current.kind != KindNormal && current.kind != KindTransparent)
        return false;

    SetCameraConstants(current.effect, current.pass);
    return true;
}

template <>
void Renderer3DBase<CubeTextureRenderTarget>::Render(const Brivet::RenderContext& context)
{
    // Overridden by CubeRenderer3D, the only user of this instantiation.
}

template class Renderer3DBase<CubeTextureRenderTarget>;

const CubeRenderer3D::Face CubeRenderer3D::Faces[6] = {
    {D3DXVECTOR3(1.0f, 0.0f, 0.0f), D3DXVECTOR3(0.0f, 1.0f, 0.0f)},
    {D3DXVECTOR3(-1.0f, 0.0f, 0.0f), D3DXVECTOR3(0.0f, 1.0f, 0.0f)},
    {D3DXVECTOR3(0.0f, 1.0f, 0.0f), D3DXVECTOR3(0.0f, 0.0f, -1.0f)},
    {D3DXVECTOR3(0.0f, -1.0f, 0.0f), D3DXVECTOR3(0.0f, 0.0f, 1.0f)},
    {D3DXVECTOR3(0.0f, 0.0f, 1.0f), D3DXVECTOR3(0.0f, 1.0f, 0.0f)},
    {D3DXVECTOR3(0.0f, 0.0f, -1.0f), D3DXVECTOR3(0.0f, 1.0f, 0.0f)},
};

CubeRenderer3D::CubeRenderer3D(Brivet::Demo* demo)
    : Renderer3DBase<CubeTextureRenderTarget>(demo), center(nullptr)
{
}

void CubeRenderer3D::OnInputsChanged()
{
    Renderer3DBase<CubeTextureRenderTarget>::OnInputsChanged();
    center = AddParameter<D3DXVECTOR3>("Cubemap center", D3DXVECTOR3(0.0f, 0.0f, 0.0f));
}

D3DXMATRIX CubeRenderer3D::FaceView(const D3DXVECTOR3& eye, uint32_t face)
{
    const Face& f = Faces[face < 6 ? face : 0];
    const D3DXVECTOR3 at = eye + f.look;
    D3DXMATRIX result;
    D3DXMatrixLookAtLH(&result, &eye, &at, &f.up);
    return result;
}

D3DXMATRIX CubeRenderer3D::FaceProjection(float farPlane)
{
    // A chunk without camera has a zero far plane, which makes no projection at all.
    if (!(farPlane > NearPlane))
        farPlane = FallbackFarPlane;
    D3DXMATRIX result;
    D3DXMatrixPerspectiveFovLH(&result, 1.5707964f, 1.0f, NearPlane, farPlane);
    return result;
}

void CubeRenderer3D::Render(const Brivet::RenderContext& context)
{
    // A default shader without passes leaves the command list of an earlier frame, whose
    // entries point into chunk arrays that may have been reallocated since.
    if (!defaultShader || defaultShader->passes.GetCount() == 0 || !output || !chunk)
        return;
    Brivet::Graphics::TextureCube* cube = output->GetCube();
    if (!cube)
        return;

    BuildCommands();
    // The chunk's camera is not taken: the faces have their own views, and the previous
    // view and the camera position stay zero.

    const float time = context.time;
    UpdateShaderStates(time);

    aspectRatio = 1.0f;
    projection = FaceProjection(chunk->camera.farPlane);
    const D3DXVECTOR3 eye = center ? center->GetValue(time) : D3DXVECTOR3(0.0f, 0.0f, 0.0f);

    Brivet::Graphics::DepthStencil* depth = output->GetDepth();
    ID3D11DeviceContext* device = cube->GetSystem()->GetContext();
    for (uint32_t face = 0; face < 6; ++face)
    {
        cube->BindFace(face, depth);
        if (depth && depth->GetDepthStencilView())
            device->ClearDepthStencilView(depth->GetDepthStencilView(), D3D11_CLEAR_DEPTH, 1.0f, 0);
        view = FaceView(eye, face);
        RenderCommands();
    }
}
