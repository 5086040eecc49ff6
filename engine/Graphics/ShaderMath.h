// Size arithmetic of the shader stages that needs no device: compute-dispatch
// group counts and the bounds of a write into a constant buffer.
#pragma once

#include <cstdint>

namespace Brivet::Graphics
{

// The most thread groups Direct3D 11 dispatches on one axis
// (D3D11_CS_DISPATCH_MAX_THREAD_GROUPS_PER_DIMENSION).
constexpr uint32_t MaxDispatchGroupsPerAxis = 65535;
// The most thread groups of one dispatch, all axes together: a thread count read from a
// description must not stall the GPU for seconds.
constexpr uint64_t MaxDispatchGroups = uint64_t(1) << 20;

struct DispatchSize
{
    uint32_t groups[3];  // thread groups per axis
    uint32_t threads[3]; // threads actually run per axis (groups x group size)
    bool cut;            // true when the limits gave fewer groups than the threads need
};

// Enough groups of groupSize to cover threadCount on every axis (ceil(threads / size),
// in integers), at most MaxDispatchGroupsPerAxis on an axis and MaxDispatchGroups in all;
// past the total, z gives way first, then y, then x. A group size of 0 gives 0 groups.
DispatchSize ComputeDispatchSize(const uint32_t threadCount[3], const uint32_t groupSize[3]);

// Bytes a write of valueSize bytes into a variable of variableSize bytes at
// offset may copy into a buffer of bufferSize bytes: the smallest of the
// three, 0 when the offset lies outside the buffer.
uint32_t ClampVariableWrite(uint32_t offset, uint32_t valueSize, uint32_t variableSize, uint32_t bufferSize);

} // namespace Brivet::Graphics
