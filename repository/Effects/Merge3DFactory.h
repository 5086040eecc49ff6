// The factory of the "Merge3D" effect.
#pragma once

#include "Assets/Effect/IEffectFactory.h"

class Merge3DFactory : public Brivet::Assets::Effect::IEffectFactory
{
public:
    Brivet::Base::StaticString<64> GetName() override; // "Merge3D"
    Brivet::Assets::Effect::IEffect* Create(Brivet::Demo* demo) override;

    static Merge3DFactory instance;
};
