// The factory of the "Particle3D" effect.
#include "repository/Effects/Particle3DFactory.h"

#include "repository/Effects/Particle3D.h"

Particle3DFactory Particle3DFactory::instance;

Brivet::Base::StaticString<64> Particle3DFactory::GetName()
{
    return Brivet::Base::StaticString<64>("Particle3D");
}

Brivet::Assets::Effect::IEffect* Particle3DFactory::Create(Brivet::Demo* demo)
{
    return new Particle3D(demo);
}
