// The factory of the "ProceduralGeometry3D" effect.
#pragma once

#include "Assets/Effect/IEffectFactory.h"

class ProceduralGeometry3DFactory : public Brivet::Assets::Effect::IEffectFactory
{
public:
    Brivet::Base::StaticString<64> GetName() override; // "ProceduralGeometry3D"
    Brivet::Assets::Effect::IEffect* Create(Brivet::Demo* demo) override;

    static ProceduralGeometry3DFactory instance;
};
