// The factory of the "Duplicate3D" effect.
#pragma once

#include "Assets/Effect/IEffectFactory.h"

class Duplicate3DFactory : public Brivet::Assets::Effect::IEffectFactory
{
public:
    Brivet::Base::StaticString<64> GetName() override; // "Duplicate3D"
    Brivet::Assets::Effect::IEffect* Create(Brivet::Demo* demo) override;

    static Duplicate3DFactory instance;
};
