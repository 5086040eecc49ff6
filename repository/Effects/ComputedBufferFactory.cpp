// The factory of the "ComputedBuffer" effect.
#include "repository/Effects/ComputedBufferFactory.h"

#include "repository/Effects/ComputedBuffer.h"

ComputedBufferFactory ComputedBufferFactory::instance;

Brivet::Base::StaticString<64> ComputedBufferFactory::GetName()
{
    return Brivet::Base::StaticString<64>("ComputedBuffer");
}

Brivet::Assets::Effect::IEffect* ComputedBufferFactory::Create(Brivet::Demo* demo)
{
    return new ComputedBuffer(demo);
}
