// Math routines the renderers share on top of the D3DX math: placing an object
// at a point facing a target, and the bounds of a transformed box.
#pragma once

#include "Rendering/D3DX10Math.h"

namespace Brivet::Rendering
{

// World matrix that places an object at eye facing target: rows (right, 0),
// (up, 0), (forward, 0), (eye, 1); the inverse of D3DXMatrixLookAtLH of the
// same vectors, with the same handling of degenerate input. Returns pOut.
D3DXMATRIX* LookAtOrientation(D3DXMATRIX* pOut, const D3DXVECTOR3* pEye, const D3DXVECTOR3* pTarget,
                              const D3DXVECTOR3* pUp);

// Tightest axis-aligned box around the box pMin..pMax transformed by pM (rows as
// in D3DX, translation in row 3). Outputs may alias the inputs.
void TransformBounds(D3DXVECTOR3* pOutMin, D3DXVECTOR3* pOutMax, const D3DXMATRIX* pM,
                     const D3DXVECTOR3* pMin, const D3DXVECTOR3* pMax);

} // namespace Brivet::Rendering
