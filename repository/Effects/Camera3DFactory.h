// The factory of the "Camera3D" effect.
#pragma once

#include "Assets/Effect/IEffectFactory.h"

class Camera3DFactory : public Brivet::Assets::Effect::IEffectFactory
{
public:
    Brivet::Base::StaticString<64> GetName() override; // "Camera3D"
    Brivet::Assets::Effect::IEffect* Create(Brivet::Demo* demo) override;

    static Camera3DFactory instance;
};
