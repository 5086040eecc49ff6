// The factory of the "LayerGBuffer2D" effect.
#include "repository/Effects/LayerGBuffer2DFactory.h"

#include "repository/Effects/LayerGBuffer2D.h"

LayerGBuffer2DFactory LayerGBuffer2DFactory::instance;

Brivet::Base::StaticString<64> LayerGBuffer2DFactory::GetName()
{
    return Brivet::Base::StaticString<64>("LayerGBuffer2D");
}

Brivet::Assets::Effect::IEffect* LayerGBuffer2DFactory::Create(Brivet::Demo* demo)
{
    return new LayerGBuffer2D(demo);
}
