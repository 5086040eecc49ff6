// Array growth failures, reported through the log (which itself keeps an Array).
#include "Base/Array.h"

#include "Utility/Log.h"

namespace Brivet::Base
{
void ReportArrayGrowthFailure(uint64_t capacity, size_t elementSize)
{
    Utility::Log::Error("[array] Unable to grow to %llu elements of %zu bytes", (unsigned long long)capacity,
                        elementSize);
}
} // namespace Brivet::Base
