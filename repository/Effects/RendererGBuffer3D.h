// "RendererGBuffer3D": the 3D renderer that draws a render chunk into a G-buffer's layers,
// records the camera and ambient colour it used and one shadow record per light in the
// G-buffer, and draws the "shadow" passes into shadow maps and the "shadowcube" passes
// into each face of shadow cubes.
#pragma once

#include "repository/Effects/Renderer3DBase.h"

class GBuffer;

using RendererGBuffer3D = Renderer3DBase<GBuffer>;

template <>
const char* Renderer3DBase<GBuffer>::OutputTypeName();
template <>
bool Renderer3DBase<GBuffer>::DrawsKind(uint32_t kind);
template <>
const char* Renderer3DBase<GBuffer>::LogName();
template <>
bool Renderer3DBase<GBuffer>::HasShadowTarget(uint32_t kind, uint32_t light) const;
template <>
float Renderer3DBase<GBuffer>::OutputAspectRatio() const;
template <>
bool Renderer3DBase<GBuffer>::PrepareCommand(const Command& previous, const Command& current);
template <>
void Renderer3DBase<GBuffer>::Render(const Brivet::RenderContext& context);
template <>
void Renderer3DBase<GBuffer>::PrepareShadowRecords();

extern template class Renderer3DBase<GBuffer>;

// The look direction and up vector of cube face 0 to 5, in the cube texture's face order.
void CubeFaceAxes(uint32_t face, D3DXVECTOR3* look, D3DXVECTOR3* up);
