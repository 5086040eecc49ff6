// Look-at orientation and transformed bounds (see MathRoutines.h).
#include "Rendering/MathRoutines.h"

namespace Brivet::Rendering
{

D3DXMATRIX* LookAtOrientation(D3DXMATRIX* pOut, const D3DXVECTOR3* pEye, const D3DXVECTOR3* pTarget,
                              const D3DXVECTOR3* pUp)
{
    // The view matrix holds right, up and forward as its columns; the
    // orientation holds them as rows, followed by the eye.
    D3DXMATRIX view;
    D3DXMatrixLookAtLH(&view, pEye, pTarget, pUp);
    const D3DXVECTOR3 eye = *pEye;
    *pOut = D3DXMATRIX(view._11, view._21, view._31, 0,
                       view._12, view._22, view._32, 0,
                       view._13, view._23, view._33, 0,
                       eye.x, eye.y, eye.z, 1);
    return pOut;
}

void TransformBounds(D3DXVECTOR3* pOutMin, D3DXVECTOR3* pOutMax, const D3DXMATRIX* pM,
                     const D3DXVECTOR3* pMin, const D3DXVECTOR3* pMax)
{
    const float a[3] = {pMin->x, pMin->y, pMin->z};
    const float b[3] = {pMax->x, pMax->y, pMax->z};
    float lo[3], hi[3];
    for (int j = 0; j < 3; ++j)
    {
        lo[j] = hi[j] = pM->m[3][j];
        for (int i = 0; i < 3; ++i)
        {
            const float ea = pM->m[i][j] * a[i];
            const float eb = pM->m[i][j] * b[i];
            lo[j] += ea < eb ? ea : eb;
            hi[j] += ea < eb ? eb : ea;
        }
    }
    *pOutMin = D3DXVECTOR3(lo);
    *pOutMax = D3DXVECTOR3(hi);
}

} // namespace Brivet::Rendering
