// Creating the effect of an effect node by type name.
#include "Assets/Effect/IEffectFactory.h"

#include "Assets/Effect/IEffect.h"
#include "Utility/Log.h"

namespace Brivet::Assets::Effect
{
IEffect* CreateEffect(const EffectFactories& factories, Demo* demo, const Base::StaticString<64>& type,
                      const Base::String& name)
{
    IEffectFactory* const* factory = nullptr;
    IEffect* effect = factories.Find(type, &factory) ? (*factory)->Create(demo) : nullptr;
    if (!effect)
    {
        Utility::Log::Error("[effect] Failed to instantiate effect: '%s'", type.GetText());
        Utility::Log::Error("[effect] Failed to create effect: '%s'", type.GetText());
        return nullptr;
    }

    effect->name = name;
    if (!effect->Initialize())
    {
        Utility::Log::Error("[effect] Effect failed to initialize: '%s'", type.GetText());
        Utility::Log::Error("[effect] Failed to create effect: '%s'", type.GetText());
        effect->Shutdown();
        delete effect;
        return nullptr;
    }
    return effect;
}
} // namespace Brivet::Assets::Effect
