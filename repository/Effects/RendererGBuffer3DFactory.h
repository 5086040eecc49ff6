// The factory of the "RendererGBuffer3D" effect.
#pragma once

#include "Assets/Effect/IEffectFactory.h"

class RendererGBuffer3DFactory : public Brivet::Assets::Effect::IEffectFactory
{
public:
    Brivet::Base::StaticString<64> GetName() override; // "RendererGBuffer3D"
    Brivet::Assets::Effect::IEffect* Create(Brivet::Demo* demo) override;

    static RendererGBuffer3DFactory instance;
};
