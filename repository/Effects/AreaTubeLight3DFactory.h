// The factory of the "AreaTubeLight3D" effect.
#pragma once

#include "Assets/Effect/IEffectFactory.h"

class AreaTubeLight3DFactory : public Brivet::Assets::Effect::IEffectFactory
{
public:
    Brivet::Base::StaticString<64> GetName() override; // "AreaTubeLight3D"
    Brivet::Assets::Effect::IEffect* Create(Brivet::Demo* demo) override;

    static AreaTubeLight3DFactory instance;
};
