// Size arithmetic of the shader stages that needs no device: compute-dispatch
// group counts and the bounds of a write into a constant buffer.
#pragma once

#include <cstdint>

namespace Brivet::Graphics
{

struct DispatchSize
{
    uint32_t groups[3];  // thread groups per axis
    uint32_t threads[3]; // threads actually run per axis (groups x group size)
};

// Enough groups of groupSize to cover threadCount on every axis, computed as
// ceil(threads / size) in single precision. A group size of 0 gives 0 groups.
DispatchSize ComputeDispatchSize(const uint32_t threadCount[3], const uint32_t groupSize[3]);

// Bytes a write of valueSize bytes into a variable of variableSize bytes at
// offset may copy into a buffer of bufferSize bytes: the smallest of the
// three, 0 when the offset lies outside the buffer.
uint32_t ClampVariableWrite(uint32_t offset, uint32_t valueSize, uint32_t variableSize, uint32_t bufferSize);

} // namespace Brivet::Graphics
