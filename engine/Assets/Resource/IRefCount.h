// The reference count that the resource manager keeps for shared file resources.
#pragma once

#include <cstdint>

namespace Brivet::Base
{
// No virtual operations: a plain counter at the start of every resource.
class IRefCount
{
public:
    uint32_t refCount = 0;
};
} // namespace Brivet::Base
