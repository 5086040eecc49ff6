// The factory of the "Renderer3D" effect.
#pragma once

#include "Assets/Effect/IEffectFactory.h"

class Renderer3DFactory : public Brivet::Assets::Effect::IEffectFactory
{
public:
    Brivet::Base::StaticString<64> GetName() override; // "Renderer3D"
    Brivet::Assets::Effect::IEffect* Create(Brivet::Demo* demo) override;

    static Renderer3DFactory instance;
};
