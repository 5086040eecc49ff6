// The factory of the "LayerGBuffer2D" effect.
#pragma once

#include "Assets/Effect/IEffectFactory.h"

class LayerGBuffer2DFactory : public Brivet::Assets::Effect::IEffectFactory
{
public:
    Brivet::Base::StaticString<64> GetName() override; // "LayerGBuffer2D"
    Brivet::Assets::Effect::IEffect* Create(Brivet::Demo* demo) override;

    static LayerGBuffer2DFactory instance;
};
