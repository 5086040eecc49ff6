// The factory of the "CameraMod" effect.
#include "repository/Effects/CameraModFactory.h"

#include "repository/Effects/CameraMod.h"

CameraModFactory CameraModFactory::instance;

Brivet::Base::StaticString<64> CameraModFactory::GetName()
{
    return Brivet::Base::StaticString<64>("CameraMod");
}

Brivet::Assets::Effect::IEffect* CameraModFactory::Create(Brivet::Demo* demo)
{
    return new CameraMod(demo);
}
