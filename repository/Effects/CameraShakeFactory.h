// The factory of the "CameraShake" effect.
#pragma once

#include "Assets/Effect/IEffectFactory.h"

class CameraShakeFactory : public Brivet::Assets::Effect::IEffectFactory
{
public:
    Brivet::Base::StaticString<64> GetName() override; // "CameraShake"
    Brivet::Assets::Effect::IEffect* Create(Brivet::Demo* demo) override;

    static CameraShakeFactory instance;
};
