// The factory of the "Particle3D" effect.
#pragma once

#include "Assets/Effect/IEffectFactory.h"

class Particle3DFactory : public Brivet::Assets::Effect::IEffectFactory
{
public:
    Brivet::Base::StaticString<64> GetName() override; // "Particle3D"
    Brivet::Assets::Effect::IEffect* Create(Brivet::Demo* demo) override;

    static Particle3DFactory instance;
};
