// The factory of the "GBufferLighting2D" effect.
#pragma once

#include "Assets/Effect/IEffectFactory.h"

class GBufferLighting2DFactory : public Brivet::Assets::Effect::IEffectFactory
{
public:
    Brivet::Base::StaticString<64> GetName() override; // "GBufferLighting2D"
    Brivet::Assets::Effect::IEffect* Create(Brivet::Demo* demo) override;

    static GBufferLighting2DFactory instance;
};
