// Registration of the repository's resource and effect factories with the demo.
#pragma once

namespace Brivet
{
class Demo;

// Registers the resource factories, then the effect factories, each in its fixed
// order; a factory the demo refuses is passed over. Always true.
bool RegisterRepository(Demo* demo);
} // namespace Brivet
