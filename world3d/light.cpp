// Light: one white directional light shining straight down, plus the global
// ambient colour, for everything drawn with lighting on (the X models).
//
// State: only g_lightAmbient, a constant colour. The light itself lives on the
// device: InitLight hands it over and keeps no copy. There is no Uninit; each
// game stage calls InitLight from its Init, and the light, the ambient colour
// and normal renormalisation stay set on the device until something changes
// them (nothing else does).
#include "world3d/light.h"

#include <string.h>

#include <d3dx9.h>

#include "app/renderer.h"

// Ambient colour added to every lit face (scaled by the material's ambient).
static D3DCOLOR g_lightAmbient = 0xFF443355;

// Sets light 0 (white, pointing down), the ambient colour and normal
// renormalisation on the device.
void InitLight(void) {
    LPDIRECT3DDEVICE9 device = GetDevice();
    if (device == NULL) {
        return;
    }

    D3DLIGHT9 dirLight;
    memset(&dirLight, 0, sizeof(dirLight));
    dirLight.Type = D3DLIGHT_DIRECTIONAL;

    D3DXVECTOR3 vecDir(0.0f, -1.0f, 0.0f);
    D3DXVec3Normalize(&vecDir, &vecDir);
    dirLight.Direction = vecDir;

    dirLight.Diffuse.r = 1.0f;
    dirLight.Diffuse.g = 1.0f;
    dirLight.Diffuse.b = 1.0f;
    dirLight.Diffuse.a = 1.0f;

    device->SetLight(0, &dirLight);
    device->LightEnable(0, TRUE);
    device->SetRenderState(D3DRS_AMBIENT, g_lightAmbient);
    device->SetRenderState(D3DRS_NORMALIZENORMALS, TRUE);
}
