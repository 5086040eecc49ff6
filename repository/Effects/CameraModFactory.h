// The factory of the "CameraMod" effect.
#pragma once

#include "Assets/Effect/IEffectFactory.h"

class CameraModFactory : public Brivet::Assets::Effect::IEffectFactory
{
public:
    Brivet::Base::StaticString<64> GetName() override; // "CameraMod"
    Brivet::Assets::Effect::IEffect* Create(Brivet::Demo* demo) override;

    static CameraModFactory instance;
};
