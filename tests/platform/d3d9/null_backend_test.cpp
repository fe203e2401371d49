// The null back end: chosen by the hook or the environment, needs no GL,
// draws nothing, and records each draw; the live-object count for leak tests.
#include "d3d9_fixture.h"

#include <SDL.h>
#include <stdlib.h>

namespace d3d9test {
namespace {

class NullBackendTest : public D3D9Test {
public:
    void SetUp() override {
        m_null = true;
        D3D9Test::SetUp();
    }
};

// A window SDL made without OpenGL: the GL back end cannot draw on it.
struct PlainWindow {
    PlainWindow() {
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) == 0)
            window = SDL_CreateWindow("null back end", 0, 0, 64, 32, SDL_WINDOW_HIDDEN);
    }
    ~PlainWindow() {
        if (window) SDL_DestroyWindow(window);
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }
    SDL_Window* window = nullptr;
};

TEST(NullBackendChoice, HookOrEnvironmentChooseItAndNoGLIsNeeded) {
    PlainWindow plain;
    ASSERT_NE(nullptr, plain.window) << SDL_GetError();
    D3DPRESENT_PARAMETERS pp = D3D9Test::Params(64, 32);
    IDirect3DDevice9* dev = nullptr;
    EXPECT_EQ(D3DERR_NOTAVAILABLE,
              WinapiTest_CreateDeviceForSdlWindow(plain.window, D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, &dev));
    EXPECT_EQ(nullptr, dev);

    D3D9Testing_UseNullBackend(true);
    EXPECT_EQ(D3D_OK,
              WinapiTest_CreateDeviceForSdlWindow(plain.window, D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, &dev));
    D3D9Testing_UseNullBackend(false);
    ASSERT_NE(nullptr, dev);
    EXPECT_TRUE(D3D9Testing_IsNullBackend(dev));
    EXPECT_EQ(D3DFMT_X8R8G8B8, pp.BackBufferFormat);  // filled in as on the GL back end
    EXPECT_EQ(0u, dev->Release());

    setenv("WINAPI_D3D9_BACKEND", "null", 1);
    pp = D3D9Test::Params(64, 32);
    EXPECT_EQ(D3D_OK,
              WinapiTest_CreateDeviceForSdlWindow(plain.window, D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, &dev));
    unsetenv("WINAPI_D3D9_BACKEND");
    ASSERT_NE(nullptr, dev);
    EXPECT_TRUE(D3D9Testing_IsNullBackend(dev));
    // Creation still checks what it is given.
    D3DPRESENT_PARAMETERS bad = D3D9Test::Params(64, 32);
    bad.Windowed = FALSE;
    IDirect3DDevice9* none = nullptr;
    D3D9Testing_UseNullBackend(true);
    EXPECT_EQ(D3DERR_NOTAVAILABLE,
              WinapiTest_CreateDeviceForSdlWindow(plain.window, D3DCREATE_HARDWARE_VERTEXPROCESSING, &bad, &none));
    D3D9Testing_UseNullBackend(false);
    EXPECT_EQ(nullptr, none);
    EXPECT_EQ(0u, dev->Release());
}

TEST_F(NullBackendTest, DrawsAreRecordedWithTheirStateAndNothingIsDrawn) {
    ASSERT_TRUE(D3D9Testing_IsNullBackend(m_dev));
    D3D9TestingDraw draw;
    EXPECT_FALSE(D3D9Testing_LastDraw(m_dev, &draw));  // nothing drawn yet
    ClearTo(0xFF102030);
    EXPECT_EQ(D3D_OK, DrawRect(0, 0, 10, 10, 0xFFFFFFFF));
    ASSERT_TRUE(D3D9Testing_LastDraw(m_dev, &draw));
    EXPECT_EQ((DWORD)D3DPT_TRIANGLESTRIP, draw.primitiveType);
    EXPECT_EQ(4u, draw.vertexCount);
    EXPECT_FALSE(draw.indexed);
    EXPECT_EQ(kRhwFvf, draw.fvf);
    EXPECT_FALSE(draw.lighting);  // screen-space vertices are never lit
    EXPECT_FALSE(draw.textured);  // no texture bound
    EXPECT_TRUE(draw.zEnable);    // the default with a depth buffer
    EXPECT_EQ(1u, WinapiTest_DrawCallCount(m_dev));
    uint32_t px = 0;
    EXPECT_FALSE(WinapiTest_ReadBackBuffer(m_dev, 0, 0, 1, 1, &px));
    EXPECT_EQ(0u, WinapiTest_BufferUploadBytes(m_dev));
    EXPECT_EQ(D3D_OK, m_dev->Present(nullptr, nullptr, nullptr, nullptr));

    // An indexed, lit, textured, blended list of two triangles from buffers.
    IDirect3DVertexBuffer9* vb = nullptr;
    IDirect3DIndexBuffer9* ib = nullptr;
    ASSERT_EQ(D3D_OK, m_dev->CreateVertexBuffer(4 * 32, 0, D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1, D3DPOOL_MANAGED,
                                                &vb, nullptr));
    ASSERT_EQ(D3D_OK, m_dev->CreateIndexBuffer(6 * 2, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib, nullptr));
    uint16_t* idx = nullptr;
    ASSERT_EQ(D3D_OK, ib->Lock(0, 0, reinterpret_cast<void**>(&idx), 0));
    const uint16_t quad[6] = {0, 1, 2, 2, 1, 3};
    memcpy(idx, quad, sizeof quad);
    ib->Unlock();
    IDirect3DTexture9* tex = MakeTexture(2, 2, {0xFFFFFFFF, 0xFF000000, 0xFF000000, 0xFFFFFFFF});
    m_dev->SetFVF(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1);
    m_dev->SetStreamSource(0, vb, 0, 32);
    m_dev->SetIndices(ib);
    m_dev->SetTexture(0, tex);
    m_dev->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    m_dev->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    EXPECT_EQ(D3D_OK, m_dev->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2));
    ASSERT_TRUE(D3D9Testing_LastDraw(m_dev, &draw));
    EXPECT_EQ((DWORD)D3DPT_TRIANGLELIST, draw.primitiveType);
    EXPECT_EQ(6u, draw.vertexCount);
    EXPECT_TRUE(draw.indexed);
    EXPECT_TRUE(draw.lighting);
    EXPECT_TRUE(draw.textured);
    EXPECT_TRUE(draw.alphaBlend);
    EXPECT_FALSE(draw.zEnable);
    EXPECT_EQ(2u, WinapiTest_DrawCallCount(m_dev));

    // Refused as on the GL back end, and not recorded.
    EXPECT_EQ(D3DERR_INVALIDCALL, m_dev->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 1, 0, 4, 0, 2));  // index 3 + 1
    EXPECT_EQ(D3DERR_INVALIDCALL, m_dev->DrawPrimitive(D3DPT_TRIANGLELIST, 2, 1));  // vertices 2..4 of 4
    m_dev->SetStreamSource(0, nullptr, 0, 0);
    EXPECT_EQ(D3DERR_INVALIDCALL, m_dev->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1));
    EXPECT_EQ(2u, WinapiTest_DrawCallCount(m_dev));
    m_dev->SetIndices(nullptr);
    m_dev->SetTexture(0, nullptr);
    tex->Release();
    ib->Release();
    vb->Release();
}

TEST_F(NullBackendTest, LiveObjectsCountDevicesAndResourcesUntilTheyAreFreed) {
    const unsigned withDevice = D3D9Testing_LiveObjectCount();
    IDirect3DVertexBuffer9* vb = nullptr;
    IDirect3DIndexBuffer9* ib = nullptr;
    IDirect3DTexture9* tex = nullptr;
    ASSERT_EQ(D3D_OK, m_dev->CreateVertexBuffer(64, 0, 0, D3DPOOL_MANAGED, &vb, nullptr));
    ASSERT_EQ(D3D_OK, m_dev->CreateIndexBuffer(12, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib, nullptr));
    ASSERT_EQ(D3D_OK, m_dev->CreateTexture(4, 4, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &tex, nullptr));
    EXPECT_EQ(withDevice + 3, D3D9Testing_LiveObjectCount());
    tex->AddRef();  // more references are still one object
    EXPECT_EQ(withDevice + 3, D3D9Testing_LiveObjectCount());
    tex->Release();

    // Released while bound: alive until the device lets go of it.
    m_dev->SetTexture(0, tex);
    tex->Release();
    EXPECT_EQ(withDevice + 3, D3D9Testing_LiveObjectCount());
    m_dev->SetTexture(0, nullptr);
    EXPECT_EQ(withDevice + 2, D3D9Testing_LiveObjectCount());

    // A leak stays counted after its device's last public reference is gone.
    ib->Release();
    m_dev->Release();
    m_dev = nullptr;
    EXPECT_EQ(withDevice + 1, D3D9Testing_LiveObjectCount());  // the buffer and the device it holds
    vb->Release();
    EXPECT_EQ(withDevice - 1, D3D9Testing_LiveObjectCount());
}

}  // namespace
}  // namespace d3d9test
