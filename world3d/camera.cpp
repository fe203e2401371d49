// Camera: the chase camera of both game stages. It sits a fixed distance
// behind the boat at the boat's height + 3, looks at the point 3 units above
// the boat, and hands the view and projection transforms to the device.
//
// State: eye, look-at point, forward direction, up and right vectors, the
// eye-to-target distance and the two matrices last built. InitCamera resets
// everything (each stage calls it from its Init); there is no Uninit.
// UpdateCamera builds the matrices from the eye and direction stored by the
// previous call and only then moves the camera behind the boat, so the boat's
// movement shows up in the view one frame later.
#include "world3d/camera.h"
#include "world3d/camera_testing.h"

#include "app/renderer.h"
#include "game/player.h"

#define CAMERA_FOV (1.0471976f)     // 60 degrees
#define CAMERA_ASPECT (1.8666667f)  // 1680 / 900
#define CAMERA_NEAR (0.1f)
#define CAMERA_FAR (300.0f)
#define CAMERA_HEIGHT (3.0f)  // look-at point and eye above the boat
#define CAMERA_DISTANCE (6.0f)

static D3DXVECTOR3 g_cameraEye;
static D3DXVECTOR3 g_cameraAt;
static D3DXVECTOR3 g_cameraDir;
static D3DXVECTOR3 g_cameraUp;
static D3DXVECTOR3 g_cameraRight;
static float g_cameraDistance;
static D3DXMATRIX g_mtxView;
static D3DXMATRIX g_mtxProjection;

// Puts the camera at its start: 6 units behind the origin, 3 up, facing +z.
void InitCamera(void) {
    g_cameraEye = D3DXVECTOR3(0.0f, CAMERA_HEIGHT, -CAMERA_DISTANCE);
    g_cameraAt = D3DXVECTOR3(0.0f, 0.0f, 0.0f);

    g_cameraDir = D3DXVECTOR3(0.0f, 0.0f, 1.0f);
    D3DXVec3Normalize(&g_cameraDir, &g_cameraDir);

    g_cameraDistance = CAMERA_DISTANCE;

    g_cameraUp = D3DXVECTOR3(0.0f, 1.0f, 0.0f);
    D3DXVec3Cross(&g_cameraRight, &g_cameraUp, &g_cameraDir);
    D3DXVec3Normalize(&g_cameraRight, &g_cameraRight);
    D3DXVec3Cross(&g_cameraUp, &g_cameraDir, &g_cameraRight);
    D3DXVec3Normalize(&g_cameraUp, &g_cameraUp);

    D3DXMatrixIdentity(&g_mtxView);
    D3DXMatrixIdentity(&g_mtxProjection);
}

// Builds and sets this frame's view and projection, then moves the camera
// behind the boat for the next frame.
void UpdateCamera(void) {
    g_cameraAt = g_cameraEye + g_cameraDir * g_cameraDistance;

    D3DXMatrixLookAtLH(&g_mtxView, &g_cameraEye, &g_cameraAt, &g_cameraUp);
    D3DXMatrixPerspectiveFovLH(&g_mtxProjection, CAMERA_FOV, CAMERA_ASPECT, CAMERA_NEAR, CAMERA_FAR);

    LPDIRECT3DDEVICE9 device = GetDevice();
    if (device != NULL) {
        device->SetTransform(D3DTS_VIEW, &g_mtxView);
        device->SetTransform(D3DTS_PROJECTION, &g_mtxProjection);
    }

    g_cameraDir = GetPlayerHeading();
    g_cameraEye = GetPlayerPosition() + D3DXVECTOR3(0.0f, CAMERA_HEIGHT, 0.0f) - g_cameraDir * g_cameraDistance;
}

// The transforms are set in UpdateCamera; nothing is left to do at draw time.
void DrawCamera(void) {}

D3DXMATRIX GetViewMatrix(void) { return g_mtxView; }

D3DXMATRIX GetProjectionMatrix(void) { return g_mtxProjection; }

// Where the next frame's view will be taken from.
D3DXVECTOR3 GetCameraEye(void) { return g_cameraEye; }

// The look-at point of the view last built.
D3DXVECTOR3 GetCameraAt(void) { return g_cameraAt; }
