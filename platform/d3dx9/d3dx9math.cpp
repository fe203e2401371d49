// D3DX vector and matrix helpers.
//
// Stateless: every function reads its inputs and writes *pOut, returning pOut,
// in single precision with the same formulas as the D3DX library, so results
// match the numbers the game was tuned with. Conventions are D3DX's: row
// vectors (v * M), left-handed coordinates, a product A * B applies A first.
// Every function is safe when pOut aliases one of its inputs.
#include <d3dx9.h>

#include <math.h>

FLOAT WINAPI D3DXVec3Length(CONST D3DXVECTOR3* pV) {
    if (!pV) return 0.0f;
    return sqrtf(pV->x * pV->x + pV->y * pV->y + pV->z * pV->z);
}

FLOAT WINAPI D3DXVec3Dot(CONST D3DXVECTOR3* pV1, CONST D3DXVECTOR3* pV2) {
    if (!pV1 || !pV2) return 0.0f;
    return pV1->x * pV2->x + pV1->y * pV2->y + pV1->z * pV2->z;
}

D3DXVECTOR3* WINAPI D3DXVec3Cross(D3DXVECTOR3* pOut, CONST D3DXVECTOR3* pV1, CONST D3DXVECTOR3* pV2) {
    if (!pOut || !pV1 || !pV2) return pOut;
    const FLOAT x = pV1->y * pV2->z - pV1->z * pV2->y;
    const FLOAT y = pV1->z * pV2->x - pV1->x * pV2->z;
    const FLOAT z = pV1->x * pV2->y - pV1->y * pV2->x;
    pOut->x = x;
    pOut->y = y;
    pOut->z = z;
    return pOut;
}

// A zero vector has no direction: it normalises to the zero vector, not to NaN.
D3DXVECTOR3* WINAPI D3DXVec3Normalize(D3DXVECTOR3* pOut, CONST D3DXVECTOR3* pV) {
    if (!pOut || !pV) return pOut;
    const FLOAT norm = D3DXVec3Length(pV);
    if (norm == 0.0f) {
        pOut->x = 0.0f;
        pOut->y = 0.0f;
        pOut->z = 0.0f;
    } else {
        const FLOAT x = pV->x / norm, y = pV->y / norm, z = pV->z / norm;
        pOut->x = x;
        pOut->y = y;
        pOut->z = z;
    }
    return pOut;
}

// (x, y, z, 1) * M, then divided by the resulting w.
D3DXVECTOR3* WINAPI D3DXVec3TransformCoord(D3DXVECTOR3* pOut, CONST D3DXVECTOR3* pV, CONST D3DXMATRIX* pM) {
    if (!pOut || !pV || !pM) return pOut;
    const FLOAT vx = pV->x, vy = pV->y, vz = pV->z;
    const FLOAT w = pM->_14 * vx + pM->_24 * vy + pM->_34 * vz + pM->_44;
    pOut->x = (pM->_11 * vx + pM->_21 * vy + pM->_31 * vz + pM->_41) / w;
    pOut->y = (pM->_12 * vx + pM->_22 * vy + pM->_32 * vz + pM->_42) / w;
    pOut->z = (pM->_13 * vx + pM->_23 * vy + pM->_33 * vz + pM->_43) / w;
    return pOut;
}

// (x, y, z, 0) * M: only the upper 3x3 acts, translation is ignored.
D3DXVECTOR3* WINAPI D3DXVec3TransformNormal(D3DXVECTOR3* pOut, CONST D3DXVECTOR3* pV, CONST D3DXMATRIX* pM) {
    if (!pOut || !pV || !pM) return pOut;
    const FLOAT vx = pV->x, vy = pV->y, vz = pV->z;
    pOut->x = pM->_11 * vx + pM->_21 * vy + pM->_31 * vz;
    pOut->y = pM->_12 * vx + pM->_22 * vy + pM->_32 * vz;
    pOut->z = pM->_13 * vx + pM->_23 * vy + pM->_33 * vz;
    return pOut;
}

D3DXMATRIX* WINAPI D3DXMatrixIdentity(D3DXMATRIX* pOut) {
    if (!pOut) return pOut;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) pOut->m[r][c] = (r == c) ? 1.0f : 0.0f;
    return pOut;
}

D3DXMATRIX* WINAPI D3DXMatrixTranslation(D3DXMATRIX* pOut, FLOAT x, FLOAT y, FLOAT z) {
    if (!pOut) return pOut;
    D3DXMatrixIdentity(pOut);
    pOut->_41 = x;
    pOut->_42 = y;
    pOut->_43 = z;
    return pOut;
}

D3DXMATRIX* WINAPI D3DXMatrixScaling(D3DXMATRIX* pOut, FLOAT sx, FLOAT sy, FLOAT sz) {
    if (!pOut) return pOut;
    D3DXMatrixIdentity(pOut);
    pOut->_11 = sx;
    pOut->_22 = sy;
    pOut->_33 = sz;
    return pOut;
}

D3DXMATRIX* WINAPI D3DXMatrixRotationX(D3DXMATRIX* pOut, FLOAT Angle) {
    if (!pOut) return pOut;
    const FLOAT s = sinf(Angle), c = cosf(Angle);
    D3DXMatrixIdentity(pOut);
    pOut->_22 = c;
    pOut->_23 = s;
    pOut->_32 = -s;
    pOut->_33 = c;
    return pOut;
}

D3DXMATRIX* WINAPI D3DXMatrixRotationY(D3DXMATRIX* pOut, FLOAT Angle) {
    if (!pOut) return pOut;
    const FLOAT s = sinf(Angle), c = cosf(Angle);
    D3DXMatrixIdentity(pOut);
    pOut->_11 = c;
    pOut->_13 = -s;
    pOut->_31 = s;
    pOut->_33 = c;
    return pOut;
}

D3DXMATRIX* WINAPI D3DXMatrixRotationZ(D3DXMATRIX* pOut, FLOAT Angle) {
    if (!pOut) return pOut;
    const FLOAT s = sinf(Angle), c = cosf(Angle);
    D3DXMatrixIdentity(pOut);
    pOut->_11 = c;
    pOut->_12 = s;
    pOut->_21 = -s;
    pOut->_22 = c;
    return pOut;
}

// Rotation by Angle about the axis pV (normalised first), clockwise when
// looking along the axis towards the origin, as the axis rotations above.
D3DXMATRIX* WINAPI D3DXMatrixRotationAxis(D3DXMATRIX* pOut, CONST D3DXVECTOR3* pV, FLOAT Angle) {
    if (!pOut || !pV) return pOut;
    D3DXVECTOR3 n;
    D3DXVec3Normalize(&n, pV);
    const FLOAT s = sinf(Angle), c = cosf(Angle), d = 1.0f - c;
    D3DXMatrixIdentity(pOut);
    pOut->_11 = d * n.x * n.x + c;
    pOut->_21 = d * n.x * n.y - s * n.z;
    pOut->_31 = d * n.x * n.z + s * n.y;
    pOut->_12 = d * n.y * n.x + s * n.z;
    pOut->_22 = d * n.y * n.y + c;
    pOut->_32 = d * n.y * n.z - s * n.x;
    pOut->_13 = d * n.z * n.x - s * n.y;
    pOut->_23 = d * n.z * n.y + s * n.x;
    pOut->_33 = d * n.z * n.z + c;
    return pOut;
}

// pM1 * pM2 (pM1 applied first). Computed into a temporary so pOut may alias either input.
D3DXMATRIX* WINAPI D3DXMatrixMultiply(D3DXMATRIX* pOut, CONST D3DXMATRIX* pM1, CONST D3DXMATRIX* pM2) {
    if (!pOut || !pM1 || !pM2) return pOut;
    D3DMATRIX r;
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            r.m[i][j] = pM1->m[i][0] * pM2->m[0][j] + pM1->m[i][1] * pM2->m[1][j] + pM1->m[i][2] * pM2->m[2][j] +
                        pM1->m[i][3] * pM2->m[3][j];
        }
    }
    memcpy(pOut->m, r.m, sizeof(r.m));
    return pOut;
}

// Left-handed view matrix: the eye at the origin looking down +z, up along +y.
D3DXMATRIX* WINAPI D3DXMatrixLookAtLH(D3DXMATRIX* pOut, CONST D3DXVECTOR3* pEye, CONST D3DXVECTOR3* pAt,
                                      CONST D3DXVECTOR3* pUp) {
    if (!pOut || !pEye || !pAt || !pUp) return pOut;
    const D3DXVECTOR3 eye = *pEye;
    D3DXVECTOR3 zaxis(pAt->x - eye.x, pAt->y - eye.y, pAt->z - eye.z);
    D3DXVec3Normalize(&zaxis, &zaxis);
    D3DXVECTOR3 xaxis;
    D3DXVec3Cross(&xaxis, pUp, &zaxis);
    D3DXVec3Normalize(&xaxis, &xaxis);
    D3DXVECTOR3 yaxis;
    D3DXVec3Cross(&yaxis, &zaxis, &xaxis);

    pOut->_11 = xaxis.x;
    pOut->_12 = yaxis.x;
    pOut->_13 = zaxis.x;
    pOut->_14 = 0.0f;
    pOut->_21 = xaxis.y;
    pOut->_22 = yaxis.y;
    pOut->_23 = zaxis.y;
    pOut->_24 = 0.0f;
    pOut->_31 = xaxis.z;
    pOut->_32 = yaxis.z;
    pOut->_33 = zaxis.z;
    pOut->_34 = 0.0f;
    pOut->_41 = -D3DXVec3Dot(&xaxis, &eye);
    pOut->_42 = -D3DXVec3Dot(&yaxis, &eye);
    pOut->_43 = -D3DXVec3Dot(&zaxis, &eye);
    pOut->_44 = 1.0f;
    return pOut;
}

// Left-handed perspective projection onto Direct3D's 0..1 depth range.
D3DXMATRIX* WINAPI D3DXMatrixPerspectiveFovLH(D3DXMATRIX* pOut, FLOAT fovy, FLOAT Aspect, FLOAT zn, FLOAT zf) {
    if (!pOut) return pOut;
    const FLOAT yScale = 1.0f / tanf(fovy / 2.0f);
    const FLOAT xScale = yScale / Aspect;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) pOut->m[r][c] = 0.0f;
    pOut->_11 = xScale;
    pOut->_22 = yScale;
    pOut->_33 = zf / (zf - zn);
    pOut->_34 = 1.0f;
    pOut->_43 = -zn * zf / (zf - zn);
    pOut->_44 = 0.0f;
    return pOut;
}
