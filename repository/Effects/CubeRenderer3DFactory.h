// The factory of the "CubeRenderer3D" effect.
#pragma once

#include "Assets/Effect/IEffectFactory.h"

class CubeRenderer3DFactory : public Brivet::Assets::Effect::IEffectFactory
{
public:
    Brivet::Base::StaticString<64> GetName() override; // "CubeRenderer3D"
    Brivet::Assets::Effect::IEffect* Create(Brivet::Demo* demo) override;

    static CubeRenderer3DFactory instance;
};
