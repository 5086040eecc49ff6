// The factory of the "SpotLight3D" effect.
#pragma once

#include "Assets/Effect/IEffectFactory.h"

class SpotLight3DFactory : public Brivet::Assets::Effect::IEffectFactory
{
public:
    Brivet::Base::StaticString<64> GetName() override; // "SpotLight3D"
    Brivet::Assets::Effect::IEffect* Create(Brivet::Demo* demo) override;

    static SpotLight3DFactory instance;
};
