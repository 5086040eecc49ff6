// The factory of the "Layer2D" effect.
#pragma once

#include "Assets/Effect/IEffectFactory.h"

class Layer2DFactory : public Brivet::Assets::Effect::IEffectFactory
{
public:
    Brivet::Base::StaticString<64> GetName() override; // "Layer2D"
    Brivet::Assets::Effect::IEffect* Create(Brivet::Demo* demo) override;

    static Layer2DFactory instance;
};
