// Dispatch group counts within the device limits, and bounded constant-buffer writes.
#include <gtest/gtest.h>

#include "Graphics/ShaderMath.h"

#include <string>

using namespace Brivet::Graphics;

TEST(ComputeDispatchSize, CoversTheThreadCountWithWholeGroups)
{
    struct Case
    {
        uint32_t threads[3], group[3], groups[3], run[3];
    };
    const Case cases[] = {
        {{100, 50, 1}, {8, 8, 1}, {13, 7, 1}, {104, 56, 1}},
        {{64, 64, 64}, {8, 8, 1}, {8, 8, 64}, {64, 64, 64}},
        {{1, 1, 1}, {256, 1, 1}, {1, 1, 1}, {256, 1, 1}},
        {{0, 10, 10}, {8, 8, 1}, {0, 2, 10}, {0, 16, 10}},
        {{10, 10, 10}, {1, 1, 1}, {10, 10, 10}, {10, 10, 10}},
        {{1000001, 3, 7}, {64, 2, 4}, {15626, 2, 2}, {1000064, 4, 8}},
    };
    for (const Case& c : cases)
    {
        DispatchSize size = ComputeDispatchSize(c.threads, c.group);
        for (int axis = 0; axis < 3; ++axis)
        {
            EXPECT_EQ(size.groups[axis], c.groups[axis]) << c.threads[axis] << "/" << c.group[axis];
            EXPECT_EQ(size.threads[axis], c.run[axis]) << c.threads[axis] << "/" << c.group[axis];
        }
    }
}

TEST(ComputeDispatchSize, StaysWithinTheDeviceLimitsAndTheTotal)
{
    struct Case
    {
        uint32_t threads[3], group[3], groups[3], run[3];
        bool cut;
    };
    const Case cases[] = {
        // Whole numbers where single precision rounds 2^24 + 1 down and misses a group.
        {{16777217, 1, 1}, {1024, 1, 1}, {16385, 1, 1}, {16778240, 1, 1}, false},
        // 65535 groups on an axis, and no more.
        {{65535, 3, 1}, {1, 1, 1}, {65535, 3, 1}, {65535, 3, 1}, false},
        {{65536 * 8, 1, 1}, {8, 1, 1}, {65535, 1, 1}, {65535 * 8, 1, 1}, true},
        // Counts near 2^32: each axis at its limit, then z and y give way to the total.
        {{0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu}, {1, 1, 1}, {65535, 16, 1}, {65535, 16, 1}, true},
        {{0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu}, {1024, 1024, 64}, {65535, 16, 1}, {65535u * 1024, 16384, 64}, true},
        // A total of 2^20 groups passes; past it, z gives way first.
        {{1024, 1024, 1}, {1, 1, 1}, {1024, 1024, 1}, {1024, 1024, 1}, false},
        {{4096, 4096, 1}, {1, 1, 1}, {4096, 256, 1}, {4096, 256, 1}, true},
        {{64, 64, 1000}, {1, 1, 1}, {64, 64, 256}, {64, 64, 256}, true},
        // No threads on an axis: nothing to cut.
        {{0, 65535u * 65535u, 65535u * 65535u}, {1, 65535, 65535}, {0, 65535, 65535}, {0, 65535u * 65535u, 65535u * 65535u},
         false},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(std::to_string(c.threads[0]) + " x " + std::to_string(c.threads[1]) + " x " +
                     std::to_string(c.threads[2]));
        DispatchSize size = ComputeDispatchSize(c.threads, c.group);
        for (int axis = 0; axis < 3; ++axis)
        {
            EXPECT_EQ(size.groups[axis], c.groups[axis]) << "axis " << axis;
            EXPECT_EQ(size.threads[axis], c.run[axis]) << "axis " << axis;
            EXPECT_LE(size.groups[axis], MaxDispatchGroupsPerAxis);
        }
        EXPECT_LE(uint64_t(size.groups[0]) * size.groups[1] * size.groups[2], MaxDispatchGroups);
        EXPECT_EQ(size.cut, c.cut);
    }
}

TEST(ComputeDispatchSize, ZeroGroupSizeDispatchesNothing)
{
    const uint32_t threads[3] = {10, 10, 10};
    const uint32_t group[3] = {0, 0, 0};
    DispatchSize size = ComputeDispatchSize(threads, group);
    for (int axis = 0; axis < 3; ++axis)
    {
        EXPECT_EQ(size.groups[axis], 0u);
        EXPECT_EQ(size.threads[axis], 0u);
    }
}

TEST(ClampVariableWrite, NeverPastTheVariableOrTheBuffer)
{
    struct Case
    {
        uint32_t offset, value, variable, buffer, expected;
    };
    const Case cases[] = {
        {0, 16, 16, 64, 16},      // fits
        {16, 4, 16, 64, 4},       // value smaller than the variable
        {16, 16, 4, 64, 4},       // float4 into a float
        {96, 640, 128, 240, 128}, // ten matrices into an array of two
        {200, 64, 64, 240, 40},   // variable size claims more than the buffer holds
        {240, 4, 4, 240, 0},      // offset at the end
        {0xFFFFFFF0u, 64, 64, 240, 0},
        {0, 0, 16, 64, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ClampVariableWrite(c.offset, c.value, c.variable, c.buffer), c.expected)
            << c.offset << " " << c.value << " " << c.variable << " " << c.buffer;
}
