// The factory of the "RendererGBuffer3D" effect.
#include "repository/Effects/RendererGBuffer3DFactory.h"

#include "repository/Effects/RendererGBuffer3D.h"

RendererGBuffer3DFactory RendererGBuffer3DFactory::instance;

Brivet::Base::StaticString<64> RendererGBuffer3DFactory::GetName()
{
    return Brivet::Base::StaticString<64>("RendererGBuffer3D");
}

Brivet::Assets::Effect::IEffect* RendererGBuffer3DFactory::Create(Brivet::Demo* demo)
{
    return new RendererGBuffer3D(demo);
}
