// The effect factory.
#include "repository/Resources/EffectFactory.h"

#include "repository/Resources/Effect.h"

EffectFactory EffectFactory::instance;

bool EffectFactory::GetInfo(Brivet::Assets::Resource::FactoryInfo& info)
{
    info.name = Brivet::Base::StaticString<64>("effect");
    info.extensions.Add(Brivet::Base::StaticString<10>("fx"));
    return true;
}

Brivet::Assets::Resource::IResource* EffectFactory::LoadFromFile(Brivet::Compositing::Graph* graph, const char* path,
                                                                 const Brivet::Utility::XML::Node* loadSettings)
{
    Effect* effect = new Effect(graph);
    if (!effect->Load(path))
    {
        delete effect;
        return nullptr;
    }
    return effect;
}
