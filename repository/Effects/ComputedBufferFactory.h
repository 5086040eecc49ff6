// The factory of the "ComputedBuffer" effect.
#pragma once

#include "Assets/Effect/IEffectFactory.h"

class ComputedBufferFactory : public Brivet::Assets::Effect::IEffectFactory
{
public:
    Brivet::Base::StaticString<64> GetName() override; // "ComputedBuffer"
    Brivet::Assets::Effect::IEffect* Create(Brivet::Demo* demo) override;

    static ComputedBufferFactory instance;
};
