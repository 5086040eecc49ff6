// "Renderer3D": the 3D renderer that draws a render chunk into its output texture, in the
// normal and transparent passes of each entry's effect (or its "Default Shader").
#pragma once

#include "repository/Effects/Renderer3DBase.h"

class Texture;

using Renderer3D = Renderer3DBase<Texture>;

template <>
const char* Renderer3DBase<Texture>::OutputTypeName();
template <>
bool Renderer3DBase<Texture>::DrawsKind(uint32_t kind);
template <>
const char* Renderer3DBase<Texture>::LogName();
template <>
bool Renderer3DBase<Texture>::HasShadowTarget(uint32_t kind, uint32_t light) const;
template <>
float Renderer3DBase<Texture>::OutputAspectRatio() const;
template <>
bool Renderer3DBase<Texture>::PrepareCommand(const Command& previous, const Command& current);
template <>
void Renderer3DBase<Texture>::Render(const Brivet::RenderContext& context);

extern template class Renderer3DBase<Texture>;
