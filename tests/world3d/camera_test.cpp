// Chase camera: the first frames after InitCamera and how it follows the boat.
#include <math.h>

#include "ci_skip.h"
#include "device/keyboard.h"
#include "game/player.h"
#include "scenery_device.h"
#include "winapi_testing.h"
#include "world3d/camera.h"
#include "world3d/camera_testing.h"

namespace {

D3DXMATRIX LookAt(D3DXVECTOR3 eye, D3DXVECTOR3 at) {
    D3DXMATRIX m;
    D3DXVECTOR3 up(0.0f, 1.0f, 0.0f);
    D3DXMatrixLookAtLH(&m, &eye, &at, &up);
    return m;
}

void ExpectMatrixNear(const D3DXMATRIX& actual, const D3DXMATRIX& expected) {
    for (int r = 0; r < 4; r++) {
        for (int c = 0; c < 4; c++) {
            EXPECT_NEAR(actual.m[r][c], expected.m[r][c], 1e-4f) << "element " << r << "," << c;
        }
    }
}

void ExpectVectorNear(const D3DXVECTOR3& actual, const D3DXVECTOR3& expected) {
    EXPECT_NEAR(actual.x, expected.x, 1e-4f);
    EXPECT_NEAR(actual.y, expected.y, 1e-4f);
    EXPECT_NEAR(actual.z, expected.z, 1e-4f);
}

class CameraTest : public SceneryDeviceTest {};

TEST_F(CameraTest, FirstFrameLooksFromTheDefaultThenSettlesBehindTheBoat) {
    InitPlayer();  // the boat at (0, 0.5, -20) facing +z
    InitCamera();
    UpdateCamera();
    ExpectVectorNear(GetCameraAt(), D3DXVECTOR3(0.0f, 3.0f, 0.0f));
    ExpectMatrixNear(GetViewMatrix(), LookAt(D3DXVECTOR3(0, 3, -6), D3DXVECTOR3(0, 3, 0)));

    D3DXMATRIX projection;
    D3DXMatrixPerspectiveFovLH(&projection, D3DX_PI / 3.0f, 1680.0f / 900.0f, 0.1f, 300.0f);
    ExpectMatrixNear(GetProjectionMatrix(), projection);

    // Both transforms are on the device.
    D3DXMATRIX onDevice;
    ASSERT_EQ(Device()->GetTransform(D3DTS_VIEW, &onDevice), D3D_OK);
    ExpectMatrixNear(onDevice, GetViewMatrix());
    ASSERT_EQ(Device()->GetTransform(D3DTS_PROJECTION, &onDevice), D3D_OK);
    ExpectMatrixNear(onDevice, projection);

    UpdateCamera();
    ExpectVectorNear(GetCameraAt(), D3DXVECTOR3(0.0f, 3.5f, -20.0f));
    ExpectMatrixNear(GetViewMatrix(), LookAt(D3DXVECTOR3(0, 3.5f, -26), D3DXVECTOR3(0, 3.5f, -20)));

    // It stays there while the boat does not move.
    UpdateCamera();
    ExpectMatrixNear(GetViewMatrix(), LookAt(D3DXVECTOR3(0, 3.5f, -26), D3DXVECTOR3(0, 3.5f, -20)));

    // InitCamera starts over from the default, wherever the boat is.
    InitCamera();
    UpdateCamera();
    ExpectMatrixNear(GetViewMatrix(), LookAt(D3DXVECTOR3(0, 3, -6), D3DXVECTOR3(0, 3, 0)));
}

TEST_F(CameraTest, FollowsATurningBoatOneFrameLateWithoutTilting) {
    if (!EnsureSceneryKeyboard()) {
        SKIP_OR_FAIL_IN_CI() << "no keyboard device";
    }
    InitPlayer();
    InitCamera();
    WinapiTest_ReleaseAllKeys();
    WinapiTest_SetKey(DIK_D, true);  // turning on the spot at (0, -20), 0.1 degrees a frame
    D3DXVECTOR3 previousEye = GetCameraEye();
    for (int frame = 1; frame <= 1801; frame++) {
        UpdateKeyboard();
        UpdateCamera();
        // This frame's view is taken from where the previous call left the
        // eye, upright, towards the point 3 above the boat.
        ExpectMatrixNear(GetViewMatrix(), LookAt(previousEye, GetCameraAt()));
        previousEye = GetCameraEye();
        if (frame == 901 || frame == 1801) {
            // 900 turns: the boat faces +x, so the eye is 6 to its -x side;
            // 1800: it faces -z, the eye is 6 to its +z side. Always 3 above it.
            SCOPED_TRACE(frame);
            const D3DXVECTOR3 eye = GetCameraEye();
            EXPECT_NEAR(eye.x, frame == 901 ? -6.0f : 0.0f, 1e-2f);
            EXPECT_NEAR(eye.z, frame == 901 ? -20.0f : -14.0f, 1e-2f);
            EXPECT_NEAR(eye.y - GetPlayerPosition().y, 3.0f, 1e-5f);
        }
        UpdatePlayerGame1();
        if (HasFailure()) {
            FAIL() << "frame " << frame;
        }
    }
    WinapiTest_ReleaseAllKeys();
    UpdateKeyboard();
}

}  // namespace
