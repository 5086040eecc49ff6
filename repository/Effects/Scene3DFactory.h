// The factory of the "Scene3D" effect.
#pragma once

#include "Assets/Effect/IEffectFactory.h"

class Scene3DFactory : public Brivet::Assets::Effect::IEffectFactory
{
public:
    Brivet::Base::StaticString<64> GetName() override; // "Scene3D"
    Brivet::Assets::Effect::IEffect* Create(Brivet::Demo* demo) override;

    static Scene3DFactory instance;
};
