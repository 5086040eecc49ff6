// The factory of the "CameraShake" effect.
#include "repository/Effects/CameraShakeFactory.h"

#include "repository/Effects/CameraShake.h"

CameraShakeFactory CameraShakeFactory::instance;

Brivet::Base::StaticString<64> CameraShakeFactory::GetName()
{
    return Brivet::Base::StaticString<64>("CameraShake");
}

Brivet::Assets::Effect::IEffect* CameraShakeFactory::Create(Brivet::Demo* demo)
{
    return new CameraShake(demo);
}
