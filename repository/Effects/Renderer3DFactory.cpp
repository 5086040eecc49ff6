// The factory of the "Renderer3D" effect.
#include "repository/Effects/Renderer3DFactory.h"

#include "repository/Effects/Renderer3D.h"

Renderer3DFactory Renderer3DFactory::instance;

Brivet::Base::StaticString<64> Renderer3DFactory::GetName()
{
    return Brivet::Base::StaticString<64>("Renderer3D");
}

Brivet::Assets::Effect::IEffect* Renderer3DFactory::Create(Brivet::Demo* demo)
{
    return new Renderer3D(demo);
}
