// Dispatch and constant-write arithmetic of the shader stages.
#include "Graphics/ShaderMath.h"

#include <cmath>

namespace Brivet::Graphics
{

DispatchSize ComputeDispatchSize(const uint32_t threadCount[3], const uint32_t groupSize[3])
{
    DispatchSize size = {};
    for (int axis = 0; axis < 3; ++axis)
    {
        if (groupSize[axis] == 0)
            continue;
        float groups = ceilf((float)threadCount[axis] / (float)groupSize[axis]);
        size.groups[axis] = (uint32_t)groups;
        size.threads[axis] = size.groups[axis] * groupSize[axis];
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
