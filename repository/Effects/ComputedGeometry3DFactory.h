// The factory of the "ComputedGeometry3D" effect.
#pragma once

#include "Assets/Effect/IEffectFactory.h"

class ComputedGeometry3DFactory : public Brivet::Assets::Effect::IEffectFactory
{
public:
    Brivet::Base::StaticString<64> GetName() override; // "ComputedGeometry3D"
    Brivet::Assets::Effect::IEffect* Create(Brivet::Demo* demo) override;

    static ComputedGeometry3DFactory instance;
};
