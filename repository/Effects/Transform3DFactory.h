// The factory of the "Transform3D" effect.
#pragma once

#include "Assets/Effect/IEffectFactory.h"

class Transform3DFactory : public Brivet::Assets::Effect::IEffectFactory
{
public:
    Brivet::Base::StaticString<64> GetName() override; // "Transform3D"
    Brivet::Assets::Effect::IEffect* Create(Brivet::Demo* demo) override;

    static Transform3DFactory instance;
};
