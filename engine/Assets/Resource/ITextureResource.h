// A resource that holds a colour texture the engine itself may draw: the repository's
// "texture" resource implements it, so that the output node reads its inputs without
// knowing the repository's types.
#pragma once

#include "Assets/Resource/IResource.h"

namespace Brivet::Graphics
{
class ITexture;
}

namespace Brivet::Assets::Resource
{
class ITextureResource : public IResource
{
public:
    using IResource::IResource;

    // The colour texture; null while a render target holds none.
    virtual Graphics::ITexture* GetTexture() = 0;
};
} // namespace Brivet::Assets::Resource
