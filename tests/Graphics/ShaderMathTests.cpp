// Dispatch group counts and bounded constant-buffer writes.
#include <gtest/gtest.h>

#include "Graphics/ShaderMath.h"

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
