// D3DX vector and matrix helpers against hand-worked values and the
// geometric properties the game relies on.
#include <d3dx9.h>
#include <gtest/gtest.h>

namespace {

D3DXVECTOR3 Coord(D3DXVECTOR3 v, const D3DXMATRIX& m) { return *D3DXVec3TransformCoord(&v, &v, &m); }

void ExpectVec(const D3DXVECTOR3& v, float x, float y, float z, float eps = 1e-5f) {
    EXPECT_NEAR(v.x, x, eps);
    EXPECT_NEAR(v.y, y, eps);
    EXPECT_NEAR(v.z, z, eps);
}

void ExpectMatrix(const D3DXMATRIX& a, const D3DXMATRIX& b, float eps) {
    for (int i = 0; i < 16; ++i) EXPECT_NEAR((&a._11)[i], (&b._11)[i], eps) << "entry " << i;
}

TEST(D3DXMath, VectorsNormaliseAndCrossInPlace) {
    D3DXVECTOR3 v(3, 0, -4), zero(0, 0, 0), a(1, 2, 3), b(4, 5, 6);
    EXPECT_FLOAT_EQ(D3DXVec3Length(&v), 5.0f);
    ExpectVec(*D3DXVec3Normalize(&v, &v), 0.6f, 0, -0.8f);
    ExpectVec(*D3DXVec3Normalize(&v, &zero), 0, 0, 0, 0);  // no direction: zero, never NaN
    EXPECT_FLOAT_EQ(D3DXVec3Dot(&a, &b), 32.0f);
    ExpectVec(*D3DXVec3Cross(&a, &a, &b), -3, 6, -3);
}

TEST(D3DXMath, RotationsAreLeftHandedAndRotationAxisAgrees) {
    D3DXMATRIX m, axis;
    ExpectVec(Coord(D3DXVECTOR3(0, 1, 0), *D3DXMatrixRotationX(&m, D3DX_PI / 2)), 0, 0, 1);
    ExpectVec(Coord(D3DXVECTOR3(0, 0, 1), *D3DXMatrixRotationY(&m, D3DX_PI / 2)), 1, 0, 0);
    ExpectVec(Coord(D3DXVECTOR3(1, 0, 0), *D3DXMatrixRotationZ(&m, D3DX_PI / 2)), 0, 1, 0);
    D3DXVECTOR3 up(0, 5, 0), odd(1, -2, 0.5f), unit, w(3, 1, -2);  // axes need not be unit length
    ExpectMatrix(*D3DXMatrixRotationAxis(&axis, &up, 0.0017453292f), *D3DXMatrixRotationY(&m, 0.0017453292f), 1e-7f);
    D3DXMatrixRotationAxis(&axis, &odd, 0.7f);
    D3DXVec3Normalize(&unit, &odd);
    D3DXVECTOR3 onAxis = unit;
    D3DXVec3TransformNormal(&onAxis, &onAxis, &axis);
    ExpectVec(onAxis, unit.x, unit.y, unit.z);
    EXPECT_NEAR(D3DXVec3Length(D3DXVec3TransformNormal(&unit, &w, &axis)), D3DXVec3Length(&w), 1e-5f);

    // The boat's steering: 900 steps of 0.1 degree make a right turn, 3600 a full circle.
    D3DXVECTOR3 front(0, 0, 1), quarter;
    D3DXMatrixRotationAxis(&axis, &up, 0.0017453292f);
    for (int i = 0; i < 3600; ++i) {
        D3DXVec3TransformNormal(&front, &front, &axis);
        if (i == 899) quarter = front;
    }
    ExpectVec(quarter, 1, 0, 0, 2e-3f);
    ExpectVec(front, 0, 0, 1, 2e-3f);
}

TEST(D3DXMath, MultiplyAppliesTheLeftFirstAndNormalsIgnoreTranslation) {
    D3DXMATRIX rot, move, rm, mr, sq, scale;
    D3DXMatrixRotationY(&rot, D3DX_PI / 2);
    D3DXMatrixTranslation(&move, 10, 0, 0);
    D3DXMatrixMultiply(&rm, &rot, &move);
    ExpectVec(Coord(D3DXVECTOR3(0, 0, 1), rm), 11, 0, 0);
    ExpectVec(Coord(D3DXVECTOR3(0, 0, 1), *D3DXMatrixMultiply(&mr, &move, &rot)), 1, 0, -10);
    D3DXVECTOR3 n(0, 0, 1);
    ExpectVec(*D3DXVec3TransformNormal(&n, &n, &rm), 1, 0, 0);
    const D3DXMATRIX rr = rot * rot;
    ExpectMatrix(*D3DXMatrixMultiply(&mr, &mr, &rot), *D3DXMatrixMultiply(&sq, &move, &rr), 1e-6f);  // aliasing
    ExpectVec(Coord(D3DXVECTOR3(1, 1, 1), *D3DXMatrixScaling(&scale, 2, 3, 4)), 2, 3, 4);
}

TEST(D3DXMath, LookAtOfTheFirstCameraFrameAndOfAnyView) {
    D3DXVECTOR3 eye(0, 3, -6), at(0, 3, 0), up(0, 1, 0), right;
    D3DXMATRIX v;
    ExpectMatrix(*D3DXMatrixLookAtLH(&v, &eye, &at, &up), D3DXMATRIX(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, -3, 6, 1),
                 1e-6f);
    // Any view: the target straight ahead at its distance, up stays up, cross(up, dir) is right.
    eye = D3DXVECTOR3(1, 2, 3);
    at = D3DXVECTOR3(4, -1, 7);
    D3DXMatrixLookAtLH(&v, &eye, &at, &up);
    D3DXVECTOR3 d = at - eye;
    ExpectVec(Coord(at, v), 0, 0, D3DXVec3Length(&d), 1e-4f);
    EXPECT_GT(Coord(eye + up, v).y, 0.0f);
    EXPECT_GT(Coord(eye + *D3DXVec3Cross(&right, &up, &d), v).x, 0.0f);
}

TEST(D3DXMath, PerspectiveOfTheGame) {
    const float aspect = 1680.0f / 900.0f, zn = 0.1f, zf = 300.0f, ys = sqrtf(3.0f);  // 1 / tan(30 degrees)
    D3DXMATRIX p;
    D3DXMatrixPerspectiveFovLH(&p, 1.0471976f, aspect, zn, zf);
    ExpectMatrix(p,
                 D3DXMATRIX(ys / aspect, 0, 0, 0, 0, ys, 0, 0, 0, 0, zf / (zf - zn), 1, 0, 0, -zn * zf / (zf - zn), 0),
                 1e-5f);
    // Through the divide by w: near plane at depth 0, far plane at 1, the top of the view at y = 1.
    EXPECT_NEAR(Coord(D3DXVECTOR3(0, 0, zn), p).z, 0.0f, 1e-5f);
    EXPECT_NEAR(Coord(D3DXVECTOR3(0, 0, zf), p).z, 1.0f, 1e-5f);
    EXPECT_NEAR(Coord(D3DXVECTOR3(0, 10 / ys, 10), p).y, 1.0f, 1e-5f);
}

}  // namespace
