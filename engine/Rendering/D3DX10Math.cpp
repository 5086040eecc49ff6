// D3DX 10 compatible math functions (see D3DX10Math.h for the conventions).
// Each function computes into a local before writing, so outputs may alias inputs.
#include "Rendering/D3DX10Math.h"

#include <cmath>
#include <cstring>

namespace
{

void SetRows(D3DXMATRIX* pOut, const double r[4][4])
{
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            pOut->m[i][j] = static_cast<float>(r[i][j]);
}

double Dot3(const double a[3], const double b[3])
{
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

void Cross3(double out[3], const double a[3], const double b[3])
{
    const double c[3] = {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
    out[0] = c[0];
    out[1] = c[1];
    out[2] = c[2];
}

// Scales v to unit length; false (v untouched) when its length is 0 or not finite.
bool Normalize3(double v[3])
{
    const double length = std::sqrt(Dot3(v, v));
    if (!(length > 0.0) || !std::isfinite(length))
        return false;
    v[0] /= length;
    v[1] /= length;
    v[2] /= length;
    return true;
}

} // namespace

D3DXMATRIX* D3DXMatrixIdentity(D3DXMATRIX* pOut)
{
    *pOut = D3DXMATRIX(1, 0, 0, 0,
                       0, 1, 0, 0,
                       0, 0, 1, 0,
                       0, 0, 0, 1);
    return pOut;
}

D3DXMATRIX* D3DXMatrixMultiply(D3DXMATRIX* pOut, const D3DXMATRIX* pM1, const D3DXMATRIX* pM2)
{
    D3DXMATRIX r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            r.m[i][j] = pM1->m[i][0] * pM2->m[0][j] + pM1->m[i][1] * pM2->m[1][j] +
                        pM1->m[i][2] * pM2->m[2][j] + pM1->m[i][3] * pM2->m[3][j];
    *pOut = r;
    return pOut;
}

D3DXMATRIX* D3DXMatrixTranslation(D3DXMATRIX* pOut, float x, float y, float z)
{
    *pOut = D3DXMATRIX(1, 0, 0, 0,
                       0, 1, 0, 0,
                       0, 0, 1, 0,
                       x, y, z, 1);
    return pOut;
}

D3DXMATRIX* D3DXMatrixScaling(D3DXMATRIX* pOut, float sx, float sy, float sz)
{
    *pOut = D3DXMATRIX(sx, 0, 0, 0,
                       0, sy, 0, 0,
                       0, 0, sz, 0,
                       0, 0, 0, 1);
    return pOut;
}

D3DXMATRIX* D3DXMatrixRotationYawPitchRoll(D3DXMATRIX* pOut, float yaw, float pitch, float roll)
{
    // Rz(roll) x Rx(pitch) x Ry(yaw), multiplied out.
    const float sy = std::sin(yaw), cy = std::cos(yaw);
    const float sp = std::sin(pitch), cp = std::cos(pitch);
    const float sr = std::sin(roll), cr = std::cos(roll);
    *pOut = D3DXMATRIX(cr * cy + sr * sp * sy, sr * cp, sr * sp * cy - cr * sy, 0,
                       cr * sp * sy - sr * cy, cr * cp, sr * sy + cr * sp * cy, 0,
                       cp * sy, -sp, cp * cy, 0,
                       0, 0, 0, 1);
    return pOut;
}

D3DXMATRIX* D3DXMatrixRotationQuaternion(D3DXMATRIX* pOut, const D3DXQUATERNION* pQ)
{
    const float x = pQ->x, y = pQ->y, z = pQ->z, w = pQ->w;
    *pOut = D3DXMATRIX(1 - 2 * (y * y + z * z), 2 * (x * y + z * w), 2 * (x * z - y * w), 0,
                       2 * (x * y - z * w), 1 - 2 * (x * x + z * z), 2 * (y * z + x * w), 0,
                       2 * (x * z + y * w), 2 * (y * z - x * w), 1 - 2 * (x * x + y * y), 0,
                       0, 0, 0, 1);
    return pOut;
}

D3DXMATRIX* D3DXMatrixInverse(D3DXMATRIX* pOut, float* pDeterminant, const D3DXMATRIX* pM)
{
    // Adjugate over determinant, in double so float inputs that are exactly
    // singular give a determinant of exactly 0.
    double a[16];
    for (int i = 0; i < 16; ++i)
        a[i] = pM->m[i / 4][i % 4];

    // 2 x 2 minors of the upper two rows (s) and of the lower two rows (c).
    const double s0 = a[0] * a[5] - a[4] * a[1];
    const double s1 = a[0] * a[6] - a[4] * a[2];
    const double s2 = a[0] * a[7] - a[4] * a[3];
    const double s3 = a[1] * a[6] - a[5] * a[2];
    const double s4 = a[1] * a[7] - a[5] * a[3];
    const double s5 = a[2] * a[7] - a[6] * a[3];
    const double c5 = a[10] * a[15] - a[14] * a[11];
    const double c4 = a[9] * a[15] - a[13] * a[11];
    const double c3 = a[9] * a[14] - a[13] * a[10];
    const double c2 = a[8] * a[15] - a[12] * a[11];
    const double c1 = a[8] * a[14] - a[12] * a[10];
    const double c0 = a[8] * a[13] - a[12] * a[9];

    const double det = s0 * c5 - s1 * c4 + s2 * c3 + s3 * c2 - s4 * c1 + s5 * c0;

    // Singular when the determinant is negligible against the largest it could
    // be for rows of these lengths (Hadamard's bound); the ratio does not
    // depend on the matrix's scale.
    double bound = 1.0;
    for (int i = 0; i < 4; ++i)
        bound *= std::sqrt(a[i * 4] * a[i * 4] + a[i * 4 + 1] * a[i * 4 + 1] +
                           a[i * 4 + 2] * a[i * 4 + 2] + a[i * 4 + 3] * a[i * 4 + 3]);
    const bool singular = !(std::fabs(det) > 1e-12 * bound) || !std::isfinite(det);

    if (pDeterminant)
        *pDeterminant = std::isfinite(det) ? static_cast<float>(det) : 0.0f;
    if (singular)
        return D3DXMatrixIdentity(pOut);

    const double k = 1.0 / det;
    const double r[4][4] = {
        {( a[5] * c5 - a[6] * c4 + a[7] * c3) * k,
         (-a[1] * c5 + a[2] * c4 - a[3] * c3) * k,
         ( a[13] * s5 - a[14] * s4 + a[15] * s3) * k,
         (-a[9] * s5 + a[10] * s4 - a[11] * s3) * k},
        {(-a[4] * c5 + a[6] * c2 - a[7] * c1) * k,
         ( a[0] * c5 - a[2] * c2 + a[3] * c1) * k,
         (-a[12] * s5 + a[14] * s2 - a[15] * s1) * k,
         ( a[8] * s5 - a[10] * s2 + a[11] * s1) * k},
        {( a[4] * c4 - a[5] * c2 + a[7] * c0) * k,
         (-a[0] * c4 + a[1] * c2 - a[3] * c0) * k,
         ( a[12] * s4 - a[13] * s2 + a[15] * s0) * k,
         (-a[8] * s4 + a[9] * s2 - a[11] * s0) * k},
        {(-a[4] * c3 + a[5] * c1 - a[6] * c0) * k,
         ( a[0] * c3 - a[1] * c1 + a[2] * c0) * k,
         (-a[12] * s3 + a[13] * s1 - a[14] * s0) * k,
         ( a[8] * s3 - a[9] * s1 + a[10] * s0) * k},
    };
    SetRows(pOut, r);
    return pOut;
}

D3DXMATRIX* D3DXMatrixPerspectiveFovLH(D3DXMATRIX* pOut, float fovY, float aspect, float zn, float zf)
{
    const float yScale = 1.0f / std::tan(fovY * 0.5f);
    const float xScale = yScale / aspect;
    const float q = zf / (zf - zn);
    *pOut = D3DXMATRIX(xScale, 0, 0, 0,
                       0, yScale, 0, 0,
                       0, 0, q, 1,
                       0, 0, -zn * q, 0);
    return pOut;
}

D3DXMATRIX* D3DXMatrixOrthoLH(D3DXMATRIX* pOut, float w, float h, float zn, float zf)
{
    *pOut = D3DXMATRIX(2 / w, 0, 0, 0,
                       0, 2 / h, 0, 0,
                       0, 0, 1 / (zf - zn), 0,
                       0, 0, zn / (zn - zf), 1);
    return pOut;
}

D3DXMATRIX* D3DXMatrixOrthoOffCenterLH(D3DXMATRIX* pOut, float l, float r, float b, float t, float zn, float zf)
{
    *pOut = D3DXMATRIX(2 / (r - l), 0, 0, 0,
                       0, 2 / (t - b), 0, 0,
                       0, 0, 1 / (zf - zn), 0,
                       (l + r) / (l - r), (t + b) / (b - t), zn / (zn - zf), 1);
    return pOut;
}

D3DXMATRIX* D3DXMatrixLookAtLH(D3DXMATRIX* pOut, const D3DXVECTOR3* pEye, const D3DXVECTOR3* pAt, const D3DXVECTOR3* pUp)
{
    const double eye[3] = {pEye->x, pEye->y, pEye->z};

    // Forward axis; an eye on the target has no direction, so look along +z.
    double zAxis[3] = {double(pAt->x) - eye[0], double(pAt->y) - eye[1], double(pAt->z) - eye[2]};
    if (!Normalize3(zAxis))
    {
        zAxis[0] = 0.0;
        zAxis[1] = 0.0;
        zAxis[2] = 1.0;
    }

    // Right axis. An up (nearly) parallel to forward gives no plane: take the
    // world axis least aligned with forward as up instead.
    double up[3] = {pUp->x, pUp->y, pUp->z};
    double xAxis[3];
    Cross3(xAxis, up, zAxis);
    if (!(Dot3(xAxis, xAxis) > 1e-12 * Dot3(up, up)) || !Normalize3(xAxis))
    {
        int least = 0;
        for (int i = 1; i < 3; ++i)
            if (std::fabs(zAxis[i]) < std::fabs(zAxis[least]))
                least = i;
        up[0] = up[1] = up[2] = 0.0;
        up[least] = 1.0;
        Cross3(xAxis, up, zAxis);
        Normalize3(xAxis);
    }

    double yAxis[3];
    Cross3(yAxis, zAxis, xAxis);

    const double r[4][4] = {
        {xAxis[0], yAxis[0], zAxis[0], 0.0},
        {xAxis[1], yAxis[1], zAxis[1], 0.0},
        {xAxis[2], yAxis[2], zAxis[2], 0.0},
        {-Dot3(xAxis, eye), -Dot3(yAxis, eye), -Dot3(zAxis, eye), 1.0},
    };
    SetRows(pOut, r);
    return pOut;
}

D3DXQUATERNION* D3DXQuaternionSlerp(D3DXQUATERNION* pOut, const D3DXQUATERNION* pQ1, const D3DXQUATERNION* pQ2, float t)
{
    // q and -q are the same rotation: flip q2 onto q1's hemisphere for the shorter arc.
    float cosTheta = pQ1->x * pQ2->x + pQ1->y * pQ2->y + pQ1->z * pQ2->z + pQ1->w * pQ2->w;
    float sign = 1.0f;
    if (cosTheta < 0.0f)
    {
        cosTheta = -cosTheta;
        sign = -1.0f;
    }

    // Nearly equal rotations: sin(theta) is too small to divide by; blend linearly.
    float k1 = 1.0f - t;
    float k2 = t;
    if (1.0f - cosTheta > 0.001f)
    {
        const float theta = std::acos(cosTheta);
        const float sinTheta = std::sin(theta);
        k1 = std::sin((1.0f - t) * theta) / sinTheta;
        k2 = std::sin(t * theta) / sinTheta;
    }
    k2 *= sign;

    const D3DXQUATERNION r(k1 * pQ1->x + k2 * pQ2->x, k1 * pQ1->y + k2 * pQ2->y,
                           k1 * pQ1->z + k2 * pQ2->z, k1 * pQ1->w + k2 * pQ2->w);
    *pOut = r;
    return pOut;
}

D3DXQUATERNION* D3DXQuaternionNormalize(D3DXQUATERNION* pOut, const D3DXQUATERNION* pQ)
{
    const double x = pQ->x, y = pQ->y, z = pQ->z, w = pQ->w;
    const double length = std::sqrt(x * x + y * y + z * z + w * w);
    if (!(length > 0.0) || !std::isfinite(length))
    {
        *pOut = D3DXQUATERNION(0, 0, 0, 0);
        return pOut;
    }
    *pOut = D3DXQUATERNION(float(x / length), float(y / length), float(z / length), float(w / length));
    return pOut;
}

D3DXVECTOR3* D3DXVec3Normalize(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV)
{
    // In double: no overflow or underflow of the squared length for any finite float.
    double v[3] = {pV->x, pV->y, pV->z};
    if (!Normalize3(v))
    {
        *pOut = D3DXVECTOR3(0, 0, 0);
        return pOut;
    }
    *pOut = D3DXVECTOR3(float(v[0]), float(v[1]), float(v[2]));
    return pOut;
}

D3DXVECTOR4* D3DXVec4Transform(D3DXVECTOR4* pOut, const D3DXVECTOR4* pV, const D3DXMATRIX* pM)
{
    const float v[4] = {pV->x, pV->y, pV->z, pV->w};
    float r[4];
    for (int j = 0; j < 4; ++j)
        r[j] = v[0] * pM->m[0][j] + v[1] * pM->m[1][j] + v[2] * pM->m[2][j] + v[3] * pM->m[3][j];
    *pOut = D3DXVECTOR4(r);
    return pOut;
}

HRESULT D3DXComputeBoundingBox(const D3DXVECTOR3* pFirstPosition, uint32_t numVertices, uint32_t strideBytes,
                               D3DXVECTOR3* pMin, D3DXVECTOR3* pMax)
{
    if (!pFirstPosition || !pMin || !pMax || numVertices == 0)
        return D3DERR_INVALIDCALL;

    // Positions sit inside arbitrary vertex records: copy each out rather than
    // dereference a possibly misaligned pointer.
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(pFirstPosition);
    float lo[3], hi[3];
    std::memcpy(lo, bytes, sizeof(lo));
    std::memcpy(hi, bytes, sizeof(hi));
    for (uint32_t i = 1; i < numVertices; ++i)
    {
        float p[3];
        std::memcpy(p, bytes + size_t(i) * strideBytes, sizeof(p));
        for (int k = 0; k < 3; ++k)
        {
            if (p[k] < lo[k])
                lo[k] = p[k];
            if (p[k] > hi[k])
                hi[k] = p[k];
        }
    }
    *pMin = D3DXVECTOR3(lo);
    *pMax = D3DXVECTOR3(hi);
    return S_OK;
}
