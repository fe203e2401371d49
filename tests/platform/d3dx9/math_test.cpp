// D3DX vector and matrix helpers against values worked out by hand and
// against the geometric properties the game relies on.
#include <d3dx9.h>
#include <gtest/gtest.h>

#include <math.h>

namespace {

const float kEps = 1e-5f;

D3DXVECTOR3 Coord(const D3DXVECTOR3& v, const D3DXMATRIX& m) {
    D3DXVECTOR3 r;
    D3DXVec3TransformCoord(&r, &v, &m);
    return r;
}

void ExpectVec(const D3DXVECTOR3& v, float x, float y, float z, float eps = kEps) {
    EXPECT_NEAR(v.x, x, eps);
    EXPECT_NEAR(v.y, y, eps);
    EXPECT_NEAR(v.z, z, eps);
}

void ExpectMatrixNear(const D3DXMATRIX& a, const D3DXMATRIX& b, float eps) {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) EXPECT_NEAR(a.m[r][c], b.m[r][c], eps) << "entry _" << r + 1 << c + 1;
}

TEST(D3DXMathVectors, NormalizeCrossDotAndLength) {
    D3DXVECTOR3 v(3.0f, 0.0f, -4.0f), n;
    EXPECT_FLOAT_EQ(D3DXVec3Length(&v), 5.0f);
    EXPECT_EQ(D3DXVec3Normalize(&n, &v), &n);
    ExpectVec(n, 0.6f, 0.0f, -0.8f);
    EXPECT_NEAR(D3DXVec3Length(&n), 1.0f, kEps);

    // A zero vector has no direction: it stays zero, never NaN.
    D3DXVECTOR3 zero(0.0f, 0.0f, 0.0f), nz(7.0f, 7.0f, 7.0f);
    D3DXVec3Normalize(&nz, &zero);
    EXPECT_EQ(nz.x, 0.0f);
    EXPECT_EQ(nz.y, 0.0f);
    EXPECT_EQ(nz.z, 0.0f);

    // In place (output aliasing the input).
    D3DXVec3Normalize(&v, &v);
    ExpectVec(v, 0.6f, 0.0f, -0.8f);

    D3DXVECTOR3 x(1, 0, 0), y(0, 1, 0), z(0, 0, 1), c;
    D3DXVec3Cross(&c, &x, &y);
    ExpectVec(c, 0, 0, 1);
    D3DXVec3Cross(&c, &z, &x);
    ExpectVec(c, 0, 1, 0);
    // Aliasing the first operand must not use half-updated components.
    D3DXVECTOR3 a(1, 2, 3), b(4, 5, 6);
    D3DXVec3Cross(&a, &a, &b);
    ExpectVec(a, 2 * 6 - 3 * 5, 3 * 4 - 1 * 6, 1 * 5 - 2 * 4);
    D3DXVECTOR3 p(1, 2, 3);
    EXPECT_FLOAT_EQ(D3DXVec3Dot(&p, &b), 32.0f);
}

TEST(D3DXMathRotations, AxisRotationsAreLeftHandedRowVector) {
    D3DXMATRIX m;
    D3DXMatrixRotationX(&m, D3DX_PI / 2);
    ExpectVec(Coord(D3DXVECTOR3(0, 1, 0), m), 0, 0, 1);
    ExpectVec(Coord(D3DXVECTOR3(0, 0, 1), m), 0, -1, 0);
    D3DXMatrixRotationY(&m, D3DX_PI / 2);
    ExpectVec(Coord(D3DXVECTOR3(0, 0, 1), m), 1, 0, 0);
    ExpectVec(Coord(D3DXVECTOR3(1, 0, 0), m), 0, 0, -1);
    D3DXMatrixRotationZ(&m, D3DX_PI / 2);
    ExpectVec(Coord(D3DXVECTOR3(1, 0, 0), m), 0, 1, 0);
    ExpectVec(Coord(D3DXVECTOR3(0, 1, 0), m), -1, 0, 0);
}

TEST(D3DXMathRotations, RotationAxisMatchesAxisRotationsAndNormalisesTheAxis) {
    const float tenthDegree = 0.0017453292f;
    D3DXMATRIX axis, ry;
    D3DXVECTOR3 up(0, 1, 0);
    D3DXMatrixRotationAxis(&axis, &up, tenthDegree);
    D3DXMatrixRotationY(&ry, tenthDegree);
    ExpectMatrixNear(axis, ry, 1e-7f);

    // A longer axis gives the same rotation.
    D3DXVECTOR3 longX(5, 0, 0);
    D3DXMATRIX rx;
    D3DXMatrixRotationAxis(&axis, &longX, 1.2f);
    D3DXMatrixRotationX(&rx, 1.2f);
    ExpectMatrixNear(axis, rx, 1e-6f);

    // Any axis is left in place, and lengths are kept.
    D3DXVECTOR3 odd(1, -2, 0.5f), unit;
    D3DXVec3Normalize(&unit, &odd);
    D3DXMatrixRotationAxis(&axis, &odd, 0.7f);
    D3DXVECTOR3 onAxis;
    D3DXVec3TransformNormal(&onAxis, &unit, &axis);
    ExpectVec(onAxis, unit.x, unit.y, unit.z);
    D3DXVECTOR3 w(3, 1, -2), rw;
    D3DXVec3TransformNormal(&rw, &w, &axis);
    EXPECT_NEAR(D3DXVec3Length(&rw), D3DXVec3Length(&w), 1e-5f);
}

TEST(D3DXMathRotations, SteeringATenthOfADegree3600TimesComesFullCircle) {
    // The boat turns its heading about its up axis by 0.1 degree per frame.
    D3DXVECTOR3 front(0, 0, 1), up(0, 1, 0);
    D3DXMATRIX turn;
    D3DXMatrixRotationAxis(&turn, &up, 0.0017453292f);
    D3DXVECTOR3 after900 = front;
    for (int i = 0; i < 3600; ++i) {
        D3DXVec3TransformNormal(&front, &front, &turn);
        if (i == 899) after900 = front;
    }
    ExpectVec(after900, 1, 0, 0, 2e-3f);  // a quarter turn to the right
    ExpectVec(front, 0, 0, 1, 2e-3f);
}

TEST(D3DXMathTransforms, TransformNormalIgnoresTranslationTransformCoordDoesNot) {
    D3DXMATRIX r, t, m;
    D3DXMatrixRotationY(&r, D3DX_PI / 2);
    D3DXMatrixTranslation(&t, 5, 6, 7);
    D3DXMatrixMultiply(&m, &r, &t);
    D3DXVECTOR3 v(0, 0, 1), n;
    D3DXVec3TransformNormal(&n, &v, &m);
    ExpectVec(n, 1, 0, 0);
    ExpectVec(Coord(v, m), 6, 6, 7);

    D3DXMATRIX s;
    D3DXMatrixScaling(&s, 2, 3, 4);
    ExpectVec(Coord(D3DXVECTOR3(1, 1, 1), s), 2, 3, 4);
    D3DXMATRIX id;
    D3DXMatrixIdentity(&id);
    ExpectVec(Coord(D3DXVECTOR3(1.5f, -2, 9), id), 1.5f, -2, 9);
}

TEST(D3DXMathTransforms, MultiplyAppliesTheLeftMatrixFirstAndMayAlias) {
    D3DXMATRIX rot, move, rotThenMove, moveThenRot;
    D3DXMatrixRotationY(&rot, D3DX_PI / 2);
    D3DXMatrixTranslation(&move, 10, 0, 0);
    D3DXMatrixMultiply(&rotThenMove, &rot, &move);
    D3DXMatrixMultiply(&moveThenRot, &move, &rot);
    ExpectVec(Coord(D3DXVECTOR3(0, 0, 1), rotThenMove), 11, 0, 0);
    ExpectVec(Coord(D3DXVECTOR3(0, 0, 1), moveThenRot), 1, 0, -10);

    D3DXMATRIX a = rot, b = move;
    D3DXMatrixMultiply(&a, &a, &move);
    ExpectMatrixNear(a, rotThenMove, 0);
    D3DXMatrixMultiply(&b, &rot, &b);
    ExpectMatrixNear(b, rotThenMove, 0);
    D3DXMATRIX sq = rot, expect;
    D3DXMatrixMultiply(&expect, &rot, &rot);
    D3DXMatrixMultiply(&sq, &sq, &sq);
    ExpectMatrixNear(sq, expect, 0);
    // The operator form goes through the same function.
    ExpectMatrixNear(rot * move, rotThenMove, 0);
}

TEST(D3DXMathCamera, LookAtOfTheFirstCameraFrame) {
    D3DXVECTOR3 eye(0, 3, -6), at(0, 3, 0), up(0, 1, 0);
    D3DXMATRIX v;
    EXPECT_EQ(D3DXMatrixLookAtLH(&v, &eye, &at, &up), &v);
    const D3DXMATRIX expect(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, -3, 6, 1);
    ExpectMatrixNear(v, expect, kEps);
    ExpectVec(Coord(eye, v), 0, 0, 0);
    ExpectVec(Coord(at, v), 0, 0, 6);
}

TEST(D3DXMathCamera, LookAtPutsTheTargetAheadAndKeepsUpUp) {
    D3DXVECTOR3 eye(1, 2, 3), at(4, -1, 7), up(0, 1, 0);
    D3DXMATRIX v;
    D3DXMatrixLookAtLH(&v, &eye, &at, &up);
    D3DXVECTOR3 d = at - eye;
    ExpectVec(Coord(at, v), 0, 0, D3DXVec3Length(&d), 1e-4f);
    // A point above the eye is above the view centre; to the right of the
    // view direction (cross(up, dir)) is +x.
    EXPECT_GT(Coord(eye + D3DXVECTOR3(0, 1, 0), v).y, 0.0f);
    D3DXVECTOR3 right;
    D3DXVec3Cross(&right, &up, &d);
    EXPECT_GT(Coord(eye + right, v).x, 0.0f);
    // The rotation part is orthonormal.
    for (int i = 0; i < 3; ++i) {
        D3DXVECTOR3 col(v.m[0][i], v.m[1][i], v.m[2][i]);
        EXPECT_NEAR(D3DXVec3Length(&col), 1.0f, 1e-5f);
    }
}

TEST(D3DXMathCamera, PerspectiveOfTheGame) {
    const float fovy = 1.0471976f, aspect = 1680.0f / 900.0f, zn = 0.1f, zf = 300.0f;
    D3DXMATRIX p;
    EXPECT_EQ(D3DXMatrixPerspectiveFovLH(&p, fovy, aspect, zn, zf), &p);
    const float yScale = 1.0f / tanf(fovy / 2);
    EXPECT_NEAR(yScale, sqrtf(3.0f), 1e-5f);
    EXPECT_NEAR(p._11, yScale / aspect, 1e-6f);
    EXPECT_NEAR(p._22, yScale, 1e-6f);
    EXPECT_NEAR(p._33, zf / (zf - zn), 1e-6f);
    EXPECT_EQ(p._34, 1.0f);
    EXPECT_NEAR(p._43, -zn * zf / (zf - zn), 1e-6f);
    EXPECT_EQ(p._44, 0.0f);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            if (!((r == 0 && c == 0) || (r == 1 && c == 1) || (r == 2 && (c == 2 || c == 3)) || (r == 3 && c == 2))) {
                EXPECT_EQ(p.m[r][c], 0.0f) << "entry _" << r + 1 << c + 1;
            }
    // Through the divide by w: the near plane lands at depth 0, the far plane at 1,
    // and the top edge of the field of view at y = 1.
    EXPECT_NEAR(Coord(D3DXVECTOR3(0, 0, zn), p).z, 0.0f, 1e-5f);
    EXPECT_NEAR(Coord(D3DXVECTOR3(0, 0, zf), p).z, 1.0f, 1e-5f);
    EXPECT_NEAR(Coord(D3DXVECTOR3(0, tanf(fovy / 2) * 10, 10), p).y, 1.0f, 1e-5f);
    EXPECT_NEAR(Coord(D3DXVECTOR3(tanf(fovy / 2) * aspect * 10, 0, 10), p).x, 1.0f, 1e-5f);
}

}  // namespace
