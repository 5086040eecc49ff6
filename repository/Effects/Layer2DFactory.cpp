// The factory of the "Layer2D" effect.
#include "repository/Effects/Layer2DFactory.h"

#include "repository/Effects/Layer2D.h"

Layer2DFactory Layer2DFactory::instance;

Brivet::Base::StaticString<64> Layer2DFactory::GetName()
{
    return Brivet::Base::StaticString<64>("Layer2D");
}

Brivet::Assets::Effect::IEffect* Layer2DFactory::Create(Brivet::Demo* demo)
{
    return new Layer2D(demo);
}
