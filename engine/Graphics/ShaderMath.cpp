// Dispatch and constant-write arithmetic of the shader stages.
#include "Graphics/ShaderMath.h"

#include <algorithm>

namespace Brivet::Graphics
{

DispatchSize ComputeDispatchSize(const uint32_t threadCount[3], const uint32_t groupSize[3])
{
    DispatchSize size = {};
    uint64_t groups[3] = {};
    for (int axis = 0; axis < 3; ++axis)
    {
        if (groupSize[axis] == 0)
            continue;
        // In integers, not single precision: a float misses counts above 2^24 and its
        // conversion of values near 2^32 is undefined.
        groups[axis] = threadCount[axis] / groupSize[axis] + (threadCount[axis] % groupSize[axis] != 0 ? 1 : 0);
        if (groups[axis] > MaxDispatchGroupsPerAxis)
        {
            groups[axis] = MaxDispatchGroupsPerAxis;
            size.cut = true;
        }
    }
    if (groups[0] * groups[1] * groups[2] > MaxDispatchGroups)
    {
        // No axis is 0 here, and each keeps at least one group.
        groups[0] = std::min(groups[0], MaxDispatchGroups);
        groups[1] = std::min(groups[1], MaxDispatchGroups / groups[0]);
        groups[2] = std::min(groups[2], MaxDispatchGroups / (groups[0] * groups[1]));
        size.cut = true;
    }
    for (int axis = 0; axis < 3; ++axis)
    {
        size.groups[axis] = uint32_t(groups[axis]);
        const uint64_t threads = groups[axis] * groupSize[axis];
        size.threads[axis] = threads > UINT32_MAX ? UINT32_MAX : uint32_t(threads);
    }
    return size;
}

uint32_t ClampVariableWrite(uint32_t offset, uint32_t valueSize, uint32_t variableSize, uint32_t bufferSize)
{
    if (offset >= bufferSize)
        return 0;
    uint32_t bytes = valueSize < variableSize ? valueSize : variableSize;
    uint32_t room = bufferSize - offset;
    return bytes < room ? bytes : room;
}

} // namespace Brivet::Graphics
