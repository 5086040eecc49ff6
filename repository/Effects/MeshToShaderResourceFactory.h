// The factory of the "MeshToShaderResource" effect.
#pragma once

#include "Assets/Effect/IEffectFactory.h"

class MeshToShaderResourceFactory : public Brivet::Assets::Effect::IEffectFactory
{
public:
    Brivet::Base::StaticString<64> GetName() override; // "MeshToShaderResource"
    Brivet::Assets::Effect::IEffect* Create(Brivet::Demo* demo) override;

    static MeshToShaderResourceFactory instance;
};
