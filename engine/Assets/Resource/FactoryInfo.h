// What a resource factory reports about its type.
#pragma once

#include "Base/Array.h"
#include "Base/StaticString.h"

namespace Brivet::Assets::Resource
{
struct FactoryInfo
{
    FactoryInfo()
        : dynamic(false), extra(false)
    {
        extensions.Reserve(16);
    }

    Base::StaticString<64> name; // the type name; empty until the factory fills it
    bool dynamic; // nodes may create the type from a description
    bool extra; // set only by the scene factory; nothing reads it
    // Informational: a file resource's type always comes from the description.
    Base::Array<Base::StaticString<10>> extensions;
};
} // namespace Brivet::Assets::Resource
