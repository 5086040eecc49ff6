// The factory of the "GBufferLighting2D" effect.
#include "repository/Effects/GBufferLighting2DFactory.h"

#include "repository/Effects/GBufferLighting2D.h"

GBufferLighting2DFactory GBufferLighting2DFactory::instance;

Brivet::Base::StaticString<64> GBufferLighting2DFactory::GetName()
{
    return Brivet::Base::StaticString<64>("GBufferLighting2D");
}

Brivet::Assets::Effect::IEffect* GBufferLighting2DFactory::Create(Brivet::Demo* demo)
{
    return new GBufferLighting2D(demo);
}
