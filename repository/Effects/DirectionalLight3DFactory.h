// The factory of the "DirectionalLight3D" effect.
#pragma once

#include "Assets/Effect/IEffectFactory.h"

class DirectionalLight3DFactory : public Brivet::Assets::Effect::IEffectFactory
{
public:
    Brivet::Base::StaticString<64> GetName() override; // "DirectionalLight3D"
    Brivet::Assets::Effect::IEffect* Create(Brivet::Demo* demo) override;

    static DirectionalLight3DFactory instance;
};
