// D3DX-compatible math and the shared math routines. Reference values were
// worked out in double precision from the textbook definitions (products of
// the axis rotations, Rodrigues' formula, Gauss-Jordan elimination,
// q1 (q1^-1 q2)^t for slerp, the eight transformed corners for bounds).
#include "Rendering/D3DX10Math.h"
#include "Rendering/MathRoutines.h"

#include "MathAssertions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

using Brivet::Rendering::LookAtOrientation;
using Brivet::Rendering::TransformBounds;

namespace
{

testing::AssertionResult AllFinite(const float* values, int count)
{
    for (int i = 0; i < count; ++i)
        if (!std::isfinite(values[i]))
            return testing::AssertionFailure() << "component " << i << " is " << values[i];
    return testing::AssertionSuccess();
}

const D3DXMATRIX kIdentity(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);

D3DXMATRIX Garbage()
{
    D3DXMATRIX m;
    for (int i = 0; i < 16; ++i)
        m.m[i / 4][i % 4] = 123.0f + i;
    return m;
}

} // namespace

TEST(D3DXMatrix, MultiplyAppliesFirstOperandFirstAndAllowsAliasing)
{
    const D3DXMATRIX a(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16);
    const D3DXMATRIX b(0.5f, -1, 0, 2, 1, 0.25f, -3, 0, 0, 2, 1, -1, 4, 0, 0.5f, 1);
    const D3DXMATRIX ab(18.5f, 5.5f, -1, 3, 40.5f, 10.5f, -7, 11, 62.5f, 15.5f, -13, 19, 84.5f, 20.5f, -19, 27);
    const D3DXMATRIX ba(21.5f, 23, 24.5f, 26, -24.75f, -26.5f, -28.25f, -30, 6, 8, 10, 12, 21.5f, 27, 32.5f, 38);
    const D3DXMATRIX aa(90, 100, 110, 120, 202, 228, 254, 280, 314, 356, 398, 440, 426, 484, 542, 600);

    D3DXMATRIX out = Garbage();
    EXPECT_EQ(D3DXMatrixMultiply(&out, &a, &b), &out);
    EXPECT_TRUE(MatrixNear(out, ab));
    EXPECT_TRUE(MatrixNear(a * b, ab));
    EXPECT_TRUE(MatrixNear(b * a, ba));

    D3DXMATRIX m = a; // out is the first operand
    EXPECT_EQ(D3DXMatrixMultiply(&m, &m, &b), &m);
    EXPECT_TRUE(MatrixNear(m, ab));

    m = a; // out is the second operand
    EXPECT_EQ(D3DXMatrixMultiply(&m, &b, &m), &m);
    EXPECT_TRUE(MatrixNear(m, ba));

    m = a; // out is both
    D3DXMatrixMultiply(&m, &m, &m);
    EXPECT_TRUE(MatrixNear(m, aa));

    m = a;
    m *= b;
    EXPECT_TRUE(MatrixNear(m, ab));
}

TEST(D3DXMatrix, TranslationAndScalingComposeInOrder)
{
    D3DXMATRIX t = Garbage(), s = Garbage();
    EXPECT_EQ(D3DXMatrixTranslation(&t, 10, 20, 30), &t);
    EXPECT_EQ(D3DXMatrixScaling(&s, 2, 3, 4), &s);
    EXPECT_EQ(t, D3DXMATRIX(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 10, 20, 30, 1));
    EXPECT_EQ(s, D3DXMATRIX(2, 0, 0, 0, 0, 3, 0, 0, 0, 0, 4, 0, 0, 0, 0, 1));

    struct Case { D3DXMATRIX m; D3DXVECTOR4 expected; } cases[] = {
        {t, {11, 22, 33, 1}},
        {s, {2, 6, 12, 1}},
        {s * t, {12, 26, 42, 1}}, // scale, then translate
        {t * s, {22, 66, 132, 1}}, // translate, then scale
    };
    for (const Case& c : cases)
    {
        const D3DXVECTOR4 point(1, 2, 3, 1);
        D3DXVECTOR4 out;
        D3DXVec4Transform(&out, &point, &c.m);
        EXPECT_TRUE(Near(out, c.expected, 4));
    }

    // Directions (w = 0) ignore the translation.
    const D3DXVECTOR4 direction(1, 2, 3, 0);
    D3DXVECTOR4 out;
    D3DXVec4Transform(&out, &direction, &t);
    EXPECT_EQ(out, direction);
}

TEST(D3DXMatrix, RotationYawPitchRollIsRollThenPitchThenYaw)
{
    struct Case { float yaw, pitch, roll; float expected[16]; } cases[] = {
        {0.3f, 0, 0, {0.955336489f, 0, -0.295520207f, 0, 0, 1, 0, 0, 0.295520207f, 0, 0.955336489f, 0, 0, 0, 0, 1}},
        {0, 0.4f, 0, {1, 0, 0, 0, 0, 0.921060994f, 0.389418342f, 0, 0, -0.389418342f, 0.921060994f, 0, 0, 0, 0, 1}},
        {0, 0, 0.5f, {0.877582562f, 0.479425539f, 0, 0, -0.479425539f, 0.877582562f, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}},
        {0.3f, 0.4f, 0.5f, {0.893559409f, 0.441580163f, -0.0809848294f, 0, -0.357019642f, 0.808307067f, 0.468163071f, 0,
                            0.272192135f, -0.389418342f, 0.879923176f, 0, 0, 0, 0, 1}},
        {-1.2f, 2.0f, 0.7f, {-0.268828471f, -0.268089153f, 0.925126726f, 0, -0.881641596f, -0.318286657f, -0.348427467f, 0,
                             0.387865117f, -0.909297427f, -0.150794033f, 0, 0, 0, 0, 1}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message() << "yaw " << c.yaw << " pitch " << c.pitch << " roll " << c.roll);
        D3DXMATRIX out = Garbage();
        EXPECT_EQ(D3DXMatrixRotationYawPitchRoll(&out, c.yaw, c.pitch, c.roll), &out);
        EXPECT_TRUE(MatrixNear(out, D3DXMATRIX(c.expected)));
    }

    // Left-handed, y up: a quarter turn of yaw turns +z (forward) to +x (right).
    D3DXMATRIX yaw;
    D3DXMatrixRotationYawPitchRoll(&yaw, std::numbers::pi_v<float> / 2, 0, 0);
    const D3DXVECTOR4 forward(0, 0, 1, 0), right(1, 0, 0, 0);
    D3DXVECTOR4 out;
    D3DXVec4Transform(&out, &forward, &yaw);
    EXPECT_TRUE(Near(out, right, 4));
}

TEST(D3DXMatrix, RotationQuaternionMatchesAxisAngleRotation)
{
    struct Case { D3DXQUATERNION q; float expected[16]; } cases[] = {
        {{0.342897807f, 0, 0, 0.939372713f}, {1, 0, 0, 0, 0, 0.764842187f, 0.644217687f, 0, 0, -0.644217687f, 0.764842187f, 0, 0, 0, 0, 1}},
        {{0, -0.522687229f, 0, 0.852524522f}, {0.453596121f, 0, 0.89120736f, 0, 0, 1, 0, 0, -0.89120736f, 0, 0.453596121f, 0, 0, 0, 0, 1}},
        {{0, 0, 0.948984619f, 0.315322362f}, {-0.801143616f, 0.598472144f, 0, 0, -0.598472144f, -0.801143616f, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}},
        {{0.10407643f, 0.20815286f, 0.312229289f, 0.921060994f}, {0.718370516f, 0.618492052f, -0.31845154f, 0, -0.531836826f, 0.783361935f, 0.321704319f, 0,
                                                                   0.448434379f, -0.0617386409f, 0.891680968f, 0, 0, 0, 0, 1}},
        {{-0.870685006f, 0.217671251f, 0.435342503f, 0.0707372017f}, {0.526192263f, -0.317456369f, -0.78888729f, 0, -0.440636011f, -0.895230949f, 0.0663434532f, 0,
                                                                       -0.727297469f, 0.312702737f, -0.610946307f, 0, 0, 0, 0, 1}},
        {{0, 0, 0, 1}, {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message() << "q " << c.q.x << " " << c.q.y << " " << c.q.z << " " << c.q.w);
        D3DXMATRIX out = Garbage();
        EXPECT_EQ(D3DXMatrixRotationQuaternion(&out, &c.q), &out);
        EXPECT_TRUE(MatrixNear(out, D3DXMATRIX(c.expected)));
    }

    // The quaternion of a yaw is the same rotation as the yaw matrix.
    const float yaw = 0.9f;
    const D3DXQUATERNION q(0, std::sin(yaw / 2), 0, std::cos(yaw / 2));
    D3DXMATRIX fromQuaternion, fromYaw;
    D3DXMatrixRotationQuaternion(&fromQuaternion, &q);
    D3DXMatrixRotationYawPitchRoll(&fromYaw, yaw, 0, 0);
    EXPECT_TRUE(MatrixNear(fromQuaternion, fromYaw));
}

TEST(D3DXMatrix, InverseTimesMatrixIsIdentity)
{
    struct Case { float m[16]; float inverse[16]; float determinant; } cases[] = {
        {{2, 0, 0, 0, 0, 3, 0, 0, 0, 0, 4, 0, 0, 0, 0, 1}, {0.5f, 0, 0, 0, 0, 0.333333333f, 0, 0, 0, 0, 0.25f, 0, 0, 0, 0, 1}, 24},
        {{1, 2, 3, 4, 0, 1, 5, 6, 7, 0, 1, 2, 3, 4, 0, 1},
         {-2.125f, 1.25f, 0.125f, 0.75f, -2.875f, 1.75f, -0.125f, 1.25f, -20.875f, 12.75f, -0.125f, 7.25f, 17.875f, -10.75f, 0.125f, -6.25f}, -8},
        {{0.5f, -1.25f, 2, 0, 3, 0.75f, -2, 0, 1, 1, 1, 0, 10, -20, 30, 1},
         {0.226804124f, 0.268041237f, 0.0824742268f, 0, -0.412371134f, -0.12371134f, 0.577319588f, 0, 0.18556701f, -0.144329897f, 0.340206186f, 0,
          -16.0824742f, -0.824742268f, 0.515463918f, 1}, 12.125f},
        // A perspective projection (near 0.1, far 100): its inverse unprojects.
        {{1.5f, 0, 0, 0, 0, 2, 0, 0, 0, 0, 1.001001f, 1, 0, 0, -0.1001001f, 0},
         {0.666666667f, 0, 0, 0, 0, 0.5f, 0, 0, 0, 0, 0, -9.99f, 0, 0, 1, 10}, 0.3003003f},
    };
    for (const Case& c : cases)
    {
        const D3DXMATRIX m(c.m);
        D3DXMATRIX inverse = Garbage();
        float determinant = -1;
        EXPECT_EQ(D3DXMatrixInverse(&inverse, &determinant, &m), &inverse);
        EXPECT_TRUE(MatrixNear(inverse, D3DXMATRIX(c.inverse), 1e-4f));
        EXPECT_NEAR(determinant, c.determinant, 1e-5f * std::fabs(c.determinant));
        EXPECT_TRUE(MatrixNear(inverse * m, kIdentity, 1e-4f));
        EXPECT_TRUE(MatrixNear(m * inverse, kIdentity, 1e-4f));

        D3DXMATRIX inPlace = m; // output aliasing the input; determinant not wanted
        EXPECT_EQ(D3DXMatrixInverse(&inPlace, nullptr, &inPlace), &inPlace);
        EXPECT_TRUE(MatrixNear(inPlace, D3DXMATRIX(c.inverse), 1e-4f));
    }
}

TEST(D3DXMatrix, SingularInverseGivesIdentityAndZeroDeterminant)
{
    const D3DXMATRIX cases[] = {
        D3DXMATRIX(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16), // rank 2
        D3DXMATRIX(1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 5, 6, 7, 1),         // scale of 0 along y
        D3DXMATRIX(1, 2, 3, 0, 2, 4, 6, 0, 0, 0, 1, 0, 0, 0, 0, 1),         // two parallel rows
        D3DXMATRIX(0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0),
    };
    for (const D3DXMATRIX& m : cases)
    {
        D3DXMATRIX out = Garbage();
        float determinant = -1;
        EXPECT_EQ(D3DXMatrixInverse(&out, &determinant, &m), &out);
        EXPECT_EQ(out, kIdentity);
        EXPECT_EQ(determinant, 0.0f);

        D3DXMATRIX inPlace = m;
        EXPECT_EQ(D3DXMatrixInverse(&inPlace, nullptr, &inPlace), &inPlace);
        EXPECT_EQ(inPlace, kIdentity);
    }
}

TEST(D3DXMatrix, PerspectiveFovLHMapsNearToZeroAndFarToOne)
{
    struct Case { float fovY, aspect, zn, zf; float expected[16]; } cases[] = {
        {0.785398163f, 1.77777778f, 0.1f, 100, {1.35799513f, 0, 0, 0, 0, 2.41421356f, 0, 0, 0, 0, 1.001001f, 1, 0, 0, -0.1001001f, 0}},
        {1.57079633f, 1, 1, 10, {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1.11111111f, 1, 0, 0, -1.11111111f, 0}},
        {1.0f, 0.5f, 2, 3, {3.66097544f, 0, 0, 0, 0, 1.83048772f, 0, 0, 0, 0, 3, 1, 0, 0, -6, 0}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message() << "fov " << c.fovY << " aspect " << c.aspect);
        D3DXMATRIX out = Garbage();
        EXPECT_EQ(D3DXMatrixPerspectiveFovLH(&out, c.fovY, c.aspect, c.zn, c.zf), &out);
        EXPECT_TRUE(MatrixNear(out, D3DXMATRIX(c.expected)));

        // The top edge of the near plane projects to y = 1, depth 0; the far plane to depth 1.
        const D3DXVECTOR4 nearTop(0, c.zn * std::tan(c.fovY / 2), c.zn, 1), farPoint(0, 0, c.zf, 1);
        D3DXVECTOR4 p;
        D3DXVec4Transform(&p, &nearTop, &out);
        EXPECT_NEAR(p.y / p.w, 1.0f, 1e-5f);
        EXPECT_NEAR(p.z / p.w, 0.0f, 1e-5f);
        D3DXVec4Transform(&p, &farPoint, &out);
        EXPECT_NEAR(p.z / p.w, 1.0f, 1e-5f);
    }
}

TEST(D3DXMatrix, OrthoLH)
{
    struct Case { float w, h, zn, zf; float expected[16]; } cases[] = {
        {800, 600, 0, 1, {0.0025f, 0, 0, 0, 0, 0.00333333333f, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}},
        {20, 10, -5, 5, {0.1f, 0, 0, 0, 0, 0.2f, 0, 0, 0, 0, 0.1f, 0, 0, 0, 0.5f, 1}},
        {2, 2, 1, 101, {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0.01f, 0, 0, 0, -0.01f, 1}},
    };
    for (const Case& c : cases)
    {
        D3DXMATRIX out = Garbage();
        EXPECT_EQ(D3DXMatrixOrthoLH(&out, c.w, c.h, c.zn, c.zf), &out);
        EXPECT_TRUE(MatrixNear(out, D3DXMATRIX(c.expected)));
    }
}

TEST(D3DXMatrix, OrthoOffCenterLHMapsTheBoxCornersToTheClipCube)
{
    struct Case { float l, r, b, t, zn, zf; float expected[16]; } cases[] = {
        {0, 800, 600, 0, 0, 1, {0.0025f, 0, 0, 0, 0, -0.00333333333f, 0, 0, 0, 0, 1, 0, -1, 1, 0, 1}}, // y down
        {-2, 6, -1, 3, 1, 11, {0.25f, 0, 0, 0, 0, 0.5f, 0, 0, 0, 0, 0.1f, 0, -0.5f, -0.5f, -0.1f, 1}},
        {-10, -4, 2, 5, -1, 1, {0.333333333f, 0, 0, 0, 0, 0.666666667f, 0, 0, 0, 0, 0.5f, 0, 2.33333333f, -2.33333333f, 0.5f, 1}},
    };
    for (const Case& c : cases)
    {
        D3DXMATRIX out = Garbage();
        EXPECT_EQ(D3DXMatrixOrthoOffCenterLH(&out, c.l, c.r, c.b, c.t, c.zn, c.zf), &out);
        EXPECT_TRUE(MatrixNear(out, D3DXMATRIX(c.expected)));

        const D3DXVECTOR4 low(c.l, c.b, c.zn, 1), high(c.r, c.t, c.zf, 1);
        const D3DXVECTOR4 clipLow(-1, -1, 0, 1), clipHigh(1, 1, 1, 1);
        D3DXVECTOR4 p;
        EXPECT_TRUE(Near(*D3DXVec4Transform(&p, &low, &out), clipLow, 4));
        EXPECT_TRUE(Near(*D3DXVec4Transform(&p, &high, &out), clipHigh, 4));
    }
}

TEST(D3DXMatrix, LookAtLHIsTheInverseOfLookAtOrientation)
{
    struct Case { D3DXVECTOR3 eye, at, up; float view[16]; float orientation[16]; } cases[] = {
        {{0, 0, -5}, {0, 0, 0}, {0, 1, 0}, {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 5, 1}, {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, -5, 1}},
        {{3, 4, 5}, {1, -2, 0.5f}, {0, 1, 0},
         {-0.913811549f, -0.313940141f, -0.257662651f, 0, 0, 0.634420702f, -0.772987952f, 0, 0.406138466f, -0.706365317f, -0.579740964f, 0,
          0.710742316f, 1.9359642f, 6.76364458f, 1},
         {-0.913811549f, 0, 0.406138466f, 0, -0.313940141f, 0.634420702f, -0.706365317f, 0, -0.257662651f, -0.772987952f, -0.579740964f, 0,
          3, 4, 5, 1}},
        {{-1, 2, -3}, {4, 0, 1}, {0.3f, 1, -0.2f}, // up not perpendicular to the view direction
         {0.513448115f, 0.425224032f, 0.745355992f, 0, -0.313773848f, 0.901474949f, -0.298142397f, 0, -0.798697068f, -0.0807925662f, 0.596284794f, 0,
          -1.25509539f, -1.62010356f, 3.13049517f, 1},
         {0.513448115f, -0.313773848f, -0.798697068f, 0, 0.425224032f, 0.901474949f, -0.0807925662f, 0, 0.745355992f, -0.298142397f, 0.596284794f, 0,
          -1, 2, -3, 1}},
        {{0, 10, 0}, {0, 0, 0}, {0, 0, 1}, {1, 0, 0, 0, 0, 0, -1, 0, 0, 1, 0, 0, 0, 0, 10, 1}, {1, 0, 0, 0, 0, 0, 1, 0, 0, -1, 0, 0, 0, 10, 0, 1}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message() << "eye " << c.eye.x << " " << c.eye.y << " " << c.eye.z);
        D3DXMATRIX view = Garbage(), orientation = Garbage();
        EXPECT_EQ(D3DXMatrixLookAtLH(&view, &c.eye, &c.at, &c.up), &view);
        EXPECT_EQ(LookAtOrientation(&orientation, &c.eye, &c.at, &c.up), &orientation);
        EXPECT_TRUE(MatrixNear(view, D3DXMATRIX(c.view)));
        EXPECT_TRUE(MatrixNear(orientation, D3DXMATRIX(c.orientation)));
        EXPECT_TRUE(MatrixNear(orientation * view, kIdentity));
        EXPECT_TRUE(MatrixNear(view * orientation, kIdentity));
    }
}

TEST(D3DXMatrix, DegenerateLookAtStaysFiniteAndRigid)
{
    struct Case { const char* name; D3DXVECTOR3 eye, at, up; } cases[] = {
        {"eye on target", {1, 2, 3}, {1, 2, 3}, {0, 1, 0}},
        {"looking straight up", {0, 0, 0}, {0, 5, 0}, {0, 1, 0}},
        {"looking straight down", {0, 5, 0}, {0, 0, 0}, {0, 1, 0}},
        {"up along a slanted view", {0, 0, 0}, {1, 1, 1}, {2, 2, 2}},
        {"zero up", {0, 0, -5}, {0, 0, 0}, {0, 0, 0}},
        {"everything zero", {0, 0, 0}, {0, 0, 0}, {0, 0, 0}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        D3DXMATRIX view, orientation;
        D3DXMatrixLookAtLH(&view, &c.eye, &c.at, &c.up);
        LookAtOrientation(&orientation, &c.eye, &c.at, &c.up);
        ASSERT_TRUE(AllFinite(view, 16));
        ASSERT_TRUE(AllFinite(orientation, 16));

        // The rotation part is orthonormal and keeps handedness (determinant +1).
        D3DXMATRIX rotation = orientation;
        rotation._41 = rotation._42 = rotation._43 = 0;
        D3DXMATRIX transpose(rotation._11, rotation._21, rotation._31, 0, rotation._12, rotation._22, rotation._32, 0,
                             rotation._13, rotation._23, rotation._33, 0, 0, 0, 0, 1);
        EXPECT_TRUE(MatrixNear(rotation * transpose, kIdentity));
        float determinant = 0;
        D3DXMATRIX unused;
        D3DXMatrixInverse(&unused, &determinant, &rotation);
        EXPECT_NEAR(determinant, 1.0f, 1e-5f);

        // Placed at the eye, and still the inverse of the view.
        const D3DXVECTOR3 placed(orientation._41, orientation._42, orientation._43);
        EXPECT_EQ(placed, c.eye);
        EXPECT_TRUE(MatrixNear(orientation * view, kIdentity));

        // Facing the target whenever there is a direction to face.
        D3DXVECTOR3 direction = c.at - c.eye;
        if (direction != D3DXVECTOR3(0, 0, 0))
        {
            D3DXVec3Normalize(&direction, &direction);
            const D3DXVECTOR3 forward(orientation._31, orientation._32, orientation._33);
            EXPECT_TRUE(Near(forward, direction, 3));
        }
    }
}

TEST(D3DXQuaternion, SlerpFollowsTheShorterArc)
{
    struct Case { D3DXQUATERNION q1, q2; float t; D3DXQUATERNION expected; } cases[] = {
        // Identity to a quarter turn about y.
        {{0, 0, 0, 1}, {0, 0.707106781f, 0, 0.707106781f}, 0, {0, 0, 0, 1}},
        {{0, 0, 0, 1}, {0, 0.707106781f, 0, 0.707106781f}, 0.5f, {0, 0.382683432f, 0, 0.923879533f}},
        {{0, 0, 0, 1}, {0, 0.707106781f, 0, 0.707106781f}, 1, {0, 0.707106781f, 0, 0.707106781f}},
        // The same quarter turn written as -q (negative dot): still the 45 degree midpoint.
        {{0, 0, 0, 1}, {0, -0.707106781f, 0, -0.707106781f}, 0, {0, 0, 0, 1}},
        {{0, 0, 0, 1}, {0, -0.707106781f, 0, -0.707106781f}, 0.5f, {0, 0.382683432f, 0, 0.923879533f}},
        {{0, 0, 0, 1}, {0, -0.707106781f, 0, -0.707106781f}, 1, {0, 0.707106781f, 0, 0.707106781f}},
        // General rotations.
        {{0.479425539f, 0, 0, 0.877582562f}, {0.38895478f, -0.77790956f, 0.19447739f, 0.453596121f}, 0.3f,
         {0.497763311f, -0.268593231f, 0.0671483078f, 0.821937021f}},
        {{0.479425539f, 0, 0, 0.877582562f}, {-0.38895478f, 0.77790956f, -0.19447739f, -0.453596121f}, 0.3f,
         {0.497763311f, -0.268593231f, 0.0671483078f, 0.821937021f}},
        {{0.38895478f, -0.77790956f, 0.19447739f, 0.453596121f}, {0.479425539f, 0, 0, 0.877582562f}, 0.75f,
         {0.49747514f, -0.224752817f, 0.0561882043f, 0.835971017f}},
        // Equal keys: no division by sin(0).
        {{0.479425539f, 0, 0, 0.877582562f}, {0.479425539f, 0, 0, 0.877582562f}, 0.5f, {0.479425539f, 0, 0, 0.877582562f}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message() << "t " << c.t << " q2 " << c.q2.x << " " << c.q2.y << " " << c.q2.z << " " << c.q2.w);
        D3DXQUATERNION out(9, 9, 9, 9);
        EXPECT_EQ(D3DXQuaternionSlerp(&out, &c.q1, &c.q2, c.t), &out);
        EXPECT_TRUE(Near(out, c.expected, 4));

        D3DXQUATERNION inPlace = c.q1;
        D3DXQuaternionSlerp(&inPlace, &inPlace, &c.q2, c.t);
        EXPECT_TRUE(Near(inPlace, c.expected, 4));
    }
}

TEST(D3DXQuaternion, Normalize)
{
    struct Case { D3DXQUATERNION q, expected; } cases[] = {
        {{1, 2, 3, 4}, {0.182574186f, 0.365148372f, 0.547722558f, 0.730296743f}},
        {{0, 0, 0, -2}, {0, 0, 0, -1}},
        {{1e-30f, 0, 1e-30f, 0}, {0.707106781f, 0, 0.707106781f, 0}}, // squares underflow in float
        {{3e30f, 0, 0, 4e30f}, {0.6f, 0, 0, 0.8f}},                   // squares overflow in float
        {{0, 0, 0, 0}, {0, 0, 0, 0}},
    };
    for (const Case& c : cases)
    {
        D3DXQUATERNION out(9, 9, 9, 9);
        EXPECT_EQ(D3DXQuaternionNormalize(&out, &c.q), &out);
        EXPECT_TRUE(Near(out, c.expected, 4));

        D3DXQUATERNION inPlace = c.q;
        D3DXQuaternionNormalize(&inPlace, &inPlace);
        EXPECT_TRUE(Near(inPlace, c.expected, 4));
    }
}

TEST(D3DXVector, Vec3Normalize)
{
    struct Case { D3DXVECTOR3 v, expected; } cases[] = {
        {{3, 4, 0}, {0.6f, 0.8f, 0}},
        {{0, -2, 0}, {0, -1, 0}},
        {{1, 1, 1}, {0.577350269f, 0.577350269f, 0.577350269f}},
        {{1e-30f, 0, 0}, {1, 0, 0}},
        {{1e30f, 1e30f, 0}, {0.707106781f, 0.707106781f, 0}},
        {{0, 0, 0}, {0, 0, 0}},
    };
    for (const Case& c : cases)
    {
        D3DXVECTOR3 out(9, 9, 9);
        EXPECT_EQ(D3DXVec3Normalize(&out, &c.v), &out);
        EXPECT_TRUE(Near(out, c.expected, 3));

        D3DXVECTOR3 inPlace = c.v;
        D3DXVec3Normalize(&inPlace, &inPlace);
        EXPECT_TRUE(Near(inPlace, c.expected, 3));
    }
}

TEST(D3DXVector, Vec4TransformIsRowVectorTimesMatrix)
{
    const D3DXMATRIX m(1, 2, 0, 0.5f, -1, 0, 3, 0, 0.25f, 4, -2, 1, 10, 20, 30, 1);
    struct Case { D3DXVECTOR4 v, expected; } cases[] = {
        {{1, 2, 3, 1}, {9.75f, 34, 30, 4.5f}},
        {{1, 2, 3, 0}, {-0.25f, 14, 0, 3.5f}},
        {{-0.5f, 4, 0.25f, 2}, {15.5625f, 40, 71.5f, 2}},
    };
    for (const Case& c : cases)
    {
        D3DXVECTOR4 out(9, 9, 9, 9);
        EXPECT_EQ(D3DXVec4Transform(&out, &c.v, &m), &out);
        EXPECT_TRUE(Near(out, c.expected, 4));

        D3DXVECTOR4 inPlace = c.v;
        D3DXVec4Transform(&inPlace, &inPlace, &m);
        EXPECT_TRUE(Near(inPlace, c.expected, 4));
    }
}

TEST(D3DXComputeBoundingBox, BoxOfStridedPositions)
{
    // Positions inside 20-byte vertices (position, texture coordinate).
    const float vertices[][5] = {
        {1, 2, 3, 0.5f, 0.5f},
        {-4, 5, 0, 9, 9},
        {2, -6, 7, -9, -9},
        {0, 0, -1, 0, 0},
    };
    // The same positions 13 bytes apart, so most are misaligned.
    std::vector<unsigned char> packed(13 * 4);
    for (int i = 0; i < 4; ++i)
        std::memcpy(&packed[13 * i], vertices[i], 12);
    const D3DXVECTOR3* first = reinterpret_cast<const D3DXVECTOR3*>(&vertices[0][0]);
    const D3DXVECTOR3* firstPacked = reinterpret_cast<const D3DXVECTOR3*>(packed.data());

    struct Case { const char* name; const D3DXVECTOR3* first; uint32_t count, stride; D3DXVECTOR3 min, max; } cases[] = {
        {"interleaved", first, 4, 20, {-4, -6, -1}, {2, 5, 7}},
        {"one vertex", first, 1, 20, {1, 2, 3}, {1, 2, 3}},
        {"first two", first, 2, 20, {-4, 2, 0}, {1, 5, 3}},
        {"misaligned", firstPacked, 4, 13, {-4, -6, -1}, {2, 5, 7}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        D3DXVECTOR3 min(99, 99, 99), max(99, 99, 99);
        EXPECT_EQ(D3DXComputeBoundingBox(c.first, c.count, c.stride, &min, &max), S_OK);
        EXPECT_EQ(min, c.min);
        EXPECT_EQ(max, c.max);
    }
}

TEST(D3DXComputeBoundingBox, InvalidCallLeavesOutputsUnchanged)
{
    const D3DXVECTOR3 positions[] = {{1, 2, 3}, {4, 5, 6}};
    const D3DXVECTOR3 untouched(99, 98, 97);
    D3DXVECTOR3 min = untouched, max = untouched;
    EXPECT_EQ(D3DXComputeBoundingBox(positions, 0, 12, &min, &max), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXComputeBoundingBox(nullptr, 2, 12, &min, &max), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXComputeBoundingBox(nullptr, 0, 12, &min, &max), D3DERR_INVALIDCALL);
    EXPECT_EQ(min, untouched);
    EXPECT_EQ(max, untouched);
    EXPECT_EQ(D3DXComputeBoundingBox(positions, 2, 12, nullptr, &max), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXComputeBoundingBox(positions, 2, 12, &min, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(min, untouched);
    EXPECT_EQ(max, untouched);
    EXPECT_LT(D3DERR_INVALIDCALL, 0); // a failure code, as FAILED() tests it
}

TEST(MathRoutines, TransformBoundsIsTheTightBoxOfTheTransformedCorners)
{
    const float c45 = 0.707106781f;
    struct Case { const char* name; D3DXMATRIX m; D3DXVECTOR3 a, b, min, max; } cases[] = {
        {"45 degrees about y", D3DXMATRIX(c45, 0, -c45, 0, 0, 1, 0, 0, c45, 0, c45, 0, 0, 0, 0, 1),
         {-1, -1, -1}, {1, 1, 1}, {-1.41421356f, -1, -1.41421356f}, {1.41421356f, 1, 1.41421356f}},
        {"scale then translate", D3DXMATRIX(2, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 5, 0, 0, 1),
         {-1, -1, -1}, {1, 1, 1}, {3, -1, -1}, {7, 1, 1}},
        {"mirror", D3DXMATRIX(-1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1),
         {0, 0, 0}, {1, 2, 3}, {-1, 0, 0}, {0, 2, 3}},
        {"general", D3DXMATRIX(1.24321994f, 0, 1.56665382f, 0, -0.152520933f, 0.460530497f, 0.121033162f, 0,
                               1.08223779f, 0.584127513f, -0.858811043f, 0, 3, -4, 5, 1),
         {-1, 0, 2}, {2, 3, 2.5f}, {3.46369285f, -2.83174497f, 1.28631857f}, {8.19203436f, -1.15808973f, 6.77878504f}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        D3DXVECTOR3 min(99, 99, 99), max(99, 99, 99);
        TransformBounds(&min, &max, &c.m, &c.a, &c.b);
        EXPECT_TRUE(Near(min, c.min, 3));
        EXPECT_TRUE(Near(max, c.max, 3));

        // The outputs may be the input records.
        D3DXVECTOR3 a = c.a, b = c.b;
        TransformBounds(&a, &b, &c.m, &a, &b);
        EXPECT_TRUE(Near(a, c.min, 3));
        EXPECT_TRUE(Near(b, c.max, 3));
    }
}
