// The factory of the "Instancer3D" effect.
#pragma once

#include "Assets/Effect/IEffectFactory.h"

class Instancer3DFactory : public Brivet::Assets::Effect::IEffectFactory
{
public:
    Brivet::Base::StaticString<64> GetName() override; // "Instancer3D"
    Brivet::Assets::Effect::IEffect* Create(Brivet::Demo* demo) override;

    static Instancer3DFactory instance;
};
