// The factory of the "AreaSphereLight3D" effect.
#pragma once

#include "Assets/Effect/IEffectFactory.h"

class AreaSphereLight3DFactory : public Brivet::Assets::Effect::IEffectFactory
{
public:
    Brivet::Base::StaticString<64> GetName() override; // "AreaSphereLight3D"
    Brivet::Assets::Effect::IEffect* Create(Brivet::Demo* demo) override;

    static AreaSphereLight3DFactory instance;
};
