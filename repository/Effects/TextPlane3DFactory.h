// The factory of the "TextPlane3D" effect.
#pragma once

#include "Assets/Effect/IEffectFactory.h"

class TextPlane3DFactory : public Brivet::Assets::Effect::IEffectFactory
{
public:
    Brivet::Base::StaticString<64> GetName() override; // "TextPlane3D"
    Brivet::Assets::Effect::IEffect* Create(Brivet::Demo* demo) override;

    static TextPlane3DFactory instance;
};
