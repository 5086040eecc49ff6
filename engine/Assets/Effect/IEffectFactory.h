// The factory of one effect type, and the creation of a named, initialised effect by type name.
#pragma once

#include "Base/Dictionary.h"
#include "Base/StaticString.h"
#include "Base/String.h"

namespace Brivet
{
class Demo;
}

namespace Brivet::Assets::Effect
{
class IEffect;

// One static object per effect type; the demo's effect registry keys it by GetName.
class IEffectFactory
{
public:
    virtual Base::StaticString<64> GetName() = 0; // the effect type name, spelled exactly
    // A new effect of the type (plain new: IEffect's allocation zero-fills it); never null.
    virtual IEffect* Create(Demo* demo) = 0;

protected:
    ~IEffectFactory() = default; // static objects, never deleted through this interface
};

using EffectFactories = Base::Dictionary<Base::StaticString<64>, IEffectFactory*>;

// The effect of an effect node: created by the factory registered for type, given the
// node's name, initialised. Null on failure, after logging "[effect] Failed to
// instantiate effect: '%s'" (no factory) or "[effect] Effect failed to initialize:
// '%s'" (the effect is shut down and deleted), then "[effect] Failed to create effect:
// '%s'"; the caller adds no line of its own.
IEffect* CreateEffect(const EffectFactories& factories, Demo* demo, const Base::StaticString<64>& type,
                      const Base::String& name);
} // namespace Brivet::Assets::Effect
