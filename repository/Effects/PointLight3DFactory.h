// The factory of the "PointLight3D" effect.
#pragma once

#include "Assets/Effect/IEffectFactory.h"

class PointLight3DFactory : public Brivet::Assets::Effect::IEffectFactory
{
public:
    Brivet::Base::StaticString<64> GetName() override; // "PointLight3D"
    Brivet::Assets::Effect::IEffect* Create(Brivet::Demo* demo) override;

    static PointLight3DFactory instance;
};
