// A loaded mesh drawn on a real device of our Direct3D layer: each subset is
// one draw call and lands where and in the colour its file says. Skipped
// where no device can be created.
#include <d3dx9.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include "ci_skip.h"
#include "d3d9_testing.h"
#include "test_device.h"
#include "xfile_builder.h"

namespace {

const UINT kWidth = 320, kHeight = 200;

// A window and a device drawing with GL, or the reason there are none.
struct RealDevice {
    RealDevice() {
        D3DPRESENT_PARAMETERS pp = testsupport::TestParams(kWidth, kHeight);
        pp.AutoDepthStencilFormat = D3DFMT_D24S8;
        if (td.Open((int)kWidth, (int)kHeight, testsupport::Drawing::kPixels, &pp))
            device = td.Device();
        else
            why = td.Why();
    }

    testsupport::TestDevice td;
    IDirect3DDevice9* device = nullptr;
    std::string why;
};

// Three triangles in clip space: red on the left (material 0), green in the
// middle (material 3), blue on the right (material 2); material 1 is unused.
const char* kThreeColours = R"(xof 0303txt 0032
Mesh {
  9;
  -1.0;-1.0;0.5;, -1.0;1.0;0.5;, -0.4;0.0;0.5;,
  -0.2;-0.5;0.5;, 0.0;0.5;0.5;, 0.2;-0.5;0.5;,
  1.0;-1.0;0.5;, 0.4;0.0;0.5;, 1.0;1.0;0.5;;
  3; 3;0,1,2;, 3;3,4,5;, 3;6,7,8;;
  MeshVertexColors { 9;
    0;1;0;0;1;;, 1;1;0;0;1;;, 2;1;0;0;1;;,
    3;0;1;0;1;;, 4;0;1;0;1;;, 5;0;1;0;1;;,
    6;0;0;1;1;;, 7;0;0;1;1;;, 8;0;0;1;1;;; }
  MeshMaterialList { 4; 3; 0, 3, 2;;
    Material { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; }
    Material { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; }
    Material { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; }
    Material { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; }
  }
}
)";

uint32_t Pixel(IDirect3DDevice9* device, int x, int y) {
    uint32_t p = 0;
    EXPECT_TRUE(WinapiTest_ReadBackBuffer(device, x, y, 1, 1, &p));
    return p & 0x00FFFFFF;
}

TEST(MeshOnDevice, EachSubsetIsOneDrawInItsOwnPlace) {
    RealDevice rd;
    if (!rd.device) SKIP_OR_FAIL_IN_CI() << rd.why;
    IDirect3DDevice9* device = rd.device;
    xtest::TempDir dir;
    std::string path = dir.Write("colours.x", kThreeColours);

    LPD3DXMESH mesh = nullptr;
    LPD3DXBUFFER materials = nullptr;
    DWORD count = 0;
    ASSERT_EQ(D3D_OK,
              D3DXLoadMeshFromXA(path.c_str(), D3DXMESH_MANAGED, device, nullptr, &materials, nullptr, &count, &mesh));
    ASSERT_EQ(4u, count);
    EXPECT_EQ((DWORD)(D3DFVF_XYZ | D3DFVF_DIFFUSE), mesh->GetFVF());

    D3DXMATRIX identity(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
    device->SetTransform(D3DTS_WORLD, &identity);
    device->SetTransform(D3DTS_VIEW, &identity);
    device->SetTransform(D3DTS_PROJECTION, &identity);
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    device->SetTexture(0, NULL);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);

    device->Clear(0, NULL, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, D3DCOLOR_XRGB(0, 0, 0), 1.0f, 0);
    ASSERT_EQ(D3D_OK, device->BeginScene());
    const uint64_t drawsPerSubset[4] = {1, 0, 1, 1};
    for (DWORD i = 0; i < count; ++i) {
        uint64_t before = WinapiTest_DrawCallCount(device);
        EXPECT_EQ(D3D_OK, mesh->DrawSubset(i));
        EXPECT_EQ(before + drawsPerSubset[i], WinapiTest_DrawCallCount(device)) << "subset " << i;
    }
    // Top-left origin: clip-space y = 0 is row 100.
    EXPECT_EQ(0xFF0000u, Pixel(device, 32, 100));
    EXPECT_EQ(0x00FF00u, Pixel(device, 160, 110));
    EXPECT_EQ(0x0000FFu, Pixel(device, 288, 100));
    EXPECT_EQ(0x000000u, Pixel(device, 100, 20));
    device->EndScene();

    materials->Release();
    EXPECT_EQ(0u, mesh->Release());
}

}  // namespace
