// Comparisons of floats, vectors and D3DX matrices for the tests, with a message that
// names the first component out of tolerance.
#pragma once

#include "Rendering/D3DX10Math.h"

#include <gtest/gtest.h>

#include <cmath>

// Each component within tolerance, relative to the expected value's size once above 1.
inline testing::AssertionResult Near(const float* actual, const float* expected, int count, float tolerance = 2e-5f)
{
    for (int i = 0; i < count; ++i)
    {
        const float limit = tolerance * std::fmax(1.0f, std::fabs(expected[i]));
        if (!(std::fabs(actual[i] - expected[i]) <= limit))
        {
            testing::AssertionResult failure = testing::AssertionFailure();
            failure << "component " << i << ": " << actual[i] << " vs expected " << expected[i] << "\n  actual:";
            for (int k = 0; k < count; ++k)
                failure << " " << actual[k];
            return failure;
        }
    }
    return testing::AssertionSuccess();
}

inline testing::AssertionResult MatrixNear(const D3DXMATRIX& actual, const D3DXMATRIX& expected,
                                           float tolerance = 2e-5f)
{
    return Near(actual, expected, 16, tolerance);
}
