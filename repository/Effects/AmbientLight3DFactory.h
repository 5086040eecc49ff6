// The factory of the "AmbientLight3D" effect.
#pragma once

#include "Assets/Effect/IEffectFactory.h"

class AmbientLight3DFactory : public Brivet::Assets::Effect::IEffectFactory
{
public:
    Brivet::Base::StaticString<64> GetName() override; // "AmbientLight3D"
    Brivet::Assets::Effect::IEffect* Create(Brivet::Demo* demo) override;

    static AmbientLight3DFactory instance;
};
