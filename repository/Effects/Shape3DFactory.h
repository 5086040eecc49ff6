// The factory of the "Shape3D" effect.
#pragma once

#include "Assets/Effect/IEffectFactory.h"

class Shape3DFactory : public Brivet::Assets::Effect::IEffectFactory
{
public:
    Brivet::Base::StaticString<64> GetName() override; // "Shape3D"
    Brivet::Assets::Effect::IEffect* Create(Brivet::Demo* demo) override;

    static Shape3DFactory instance;
};
