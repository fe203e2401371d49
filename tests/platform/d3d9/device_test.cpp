// Creating the Direct3D object and its device, and the device's frame calls.
#include "d3d9_fixture.h"

#include <SDL.h>

#include "ci_skip.h"
#include <stb/stb_image_write.h>

namespace d3d9test {

void D3D9Test::DumpPng(const char* name, int w, int h, const std::vector<uint32_t>& px) {
    const char* dir = getenv("D3D9_TEST_PNG_DIR");
    if (!dir) return;
    std::vector<uint8_t> rgb((size_t)w * h * 3);
    for (size_t i = 0; i < (size_t)w * h; ++i) {
        rgb[i * 3 + 0] = (uint8_t)(px[i] >> 16);
        rgb[i * 3 + 1] = (uint8_t)(px[i] >> 8);
        rgb[i * 3 + 2] = (uint8_t)px[i];
    }
    const std::string path = std::string(dir) + "/" + name + ".png";
    stbi_write_png(path.c_str(), w, h, 3, rgb.data(), w * 3);
}

namespace {

const HRESULT kNoWindow = (HRESULT)0x80004004L;  // no window could be opened for the test

TEST(Direct3DCreate9Test, OnlyTheSdkVersionOfTheHeadersIsAccepted) {
    EXPECT_EQ(nullptr, Direct3DCreate9(31));
    EXPECT_EQ(nullptr, Direct3DCreate9(33));
    IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
    ASSERT_NE(nullptr, d3d);
    EXPECT_EQ(0u, d3d->Release());
}

class CreateDeviceTest : public D3D9Test {
protected:
    void SetUp() override {}  // each test opens what it needs

    // Tries CreateDevice on a fresh window and returns its result; the out
    // pointer must be null whenever it fails.
    HRESULT TryCreate(int winW, int winH, D3DPRESENT_PARAMETERS pp, DWORD flags = D3DCREATE_HARDWARE_VERTEXPROCESSING,
                      D3DDEVTYPE type = D3DDEVTYPE_HAL, HWND hwnd = nullptr) {
        if (!m_hwnd) m_hwnd = MakeWindow(winW, winH);
        if (!m_hwnd) return kNoWindow;
        if (!m_d3d) m_d3d = Direct3DCreate9(D3D_SDK_VERSION);
        IDirect3DDevice9* dev = reinterpret_cast<IDirect3DDevice9*>(0x1);
        const HRESULT hr = m_d3d->CreateDevice(D3DADAPTER_DEFAULT, type, hwnd ? hwnd : m_hwnd, flags, &pp, &dev);
        if (FAILED(hr)) {
            EXPECT_EQ(nullptr, dev);
        } else {
            EXPECT_NE(nullptr, dev);
            if (m_dev) m_dev->Release();
            m_dev = dev;
        }
        m_lastParams = pp;
        return hr;
    }
    D3DPRESENT_PARAMETERS m_lastParams;
};

TEST_F(CreateDeviceTest, GameParametersGiveAWindowSizedBackBuffer) {
    HRESULT hr = TryCreate(1680, 900, Params(1680, 900));
    if (hr == kNoWindow) SKIP_OR_FAIL_IN_CI() << "no window can be opened here";
    if (hr == D3DERR_NOTAVAILABLE) SKIP_OR_FAIL_IN_CI() << "no OpenGL 3.3 here";
    ASSERT_EQ(D3D_OK, hr);
    EXPECT_EQ(D3DFMT_X8R8G8B8, m_lastParams.BackBufferFormat);  // UNKNOWN is replaced by the display format
    D3DVIEWPORT9 vp;
    ASSERT_EQ(D3D_OK, m_dev->GetViewport(&vp));
    EXPECT_EQ(0u, vp.X);
    EXPECT_EQ(1680u, vp.Width);
    EXPECT_EQ(900u, vp.Height);
    EXPECT_EQ(1.0f, vp.MaxZ);
    EXPECT_EQ(D3D_OK, m_dev->TestCooperativeLevel());
    m_width = 1680;
    m_height = 900;
    ClearTo(0xFF018CFF);
    uint32_t corners[4] = {Pixel(0, 0), Pixel(1679, 0), Pixel(0, 899), Pixel(1679, 899)};
    for (uint32_t c : corners) EXPECT_EQ(0xFF018CFFu, c);
    EXPECT_EQ(D3D_OK, m_dev->Present(nullptr, nullptr, nullptr, nullptr));
}

TEST_F(CreateDeviceTest, UnusableRequestsFailWithNoDevice) {
    D3DPRESENT_PARAMETERS zero = Params(0, 0);
    HRESULT hr = TryCreate(64, 64, zero);
    if (hr == kNoWindow) SKIP_OR_FAIL_IN_CI() << "no window can be opened here";
    EXPECT_EQ(D3DERR_INVALIDCALL, hr);

    EXPECT_EQ(D3DERR_INVALIDCALL, TryCreate(64, 64, Params(64, 64),
                                            D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_SOFTWARE_VERTEXPROCESSING));
    EXPECT_EQ(D3DERR_INVALIDCALL, TryCreate(64, 64, Params(64, 64), 0));
    EXPECT_EQ(D3DERR_NOTAVAILABLE,
              TryCreate(64, 64, Params(64, 64), D3DCREATE_HARDWARE_VERTEXPROCESSING, D3DDEVTYPE_REF));
    D3DPRESENT_PARAMETERS full = Params(64, 64);
    full.Windowed = FALSE;
    EXPECT_EQ(D3DERR_NOTAVAILABLE, TryCreate(64, 64, full));
    D3DPRESENT_PARAMETERS depth = Params(64, 64);
    depth.AutoDepthStencilFormat = D3DFMT_A8R8G8B8;
    EXPECT_EQ(D3DERR_INVALIDCALL, TryCreate(64, 64, depth));
    // A handle our Win32 layer never made.
    EXPECT_EQ(D3DERR_INVALIDCALL, TryCreate(64, 64, Params(64, 64), D3DCREATE_HARDWARE_VERTEXPROCESSING, D3DDEVTYPE_HAL,
                                            reinterpret_cast<HWND>(0x7777)));
    EXPECT_EQ(nullptr, m_dev);

    IDirect3DDevice9* dev = reinterpret_cast<IDirect3DDevice9*>(0x1);
    EXPECT_EQ(D3DERR_INVALIDCALL, m_d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, m_hwnd,
                                                      D3DCREATE_HARDWARE_VERTEXPROCESSING, nullptr, &dev));
    EXPECT_EQ(nullptr, dev);
}

TEST_F(CreateDeviceTest, BackBufferSmallerThanTheWindowIsStillExact) {
    HRESULT hr = TryCreate(200, 100, Params(120, 60));
    if (hr == kNoWindow) SKIP_OR_FAIL_IN_CI() << "no window can be opened here";
    if (hr == D3DERR_NOTAVAILABLE) SKIP_OR_FAIL_IN_CI() << "no OpenGL 3.3 here";
    ASSERT_EQ(D3D_OK, hr);
    m_width = 120;
    m_height = 60;
    ClearTo(0xFF102030);
    ASSERT_EQ(D3D_OK, DrawRect(10, 5, 20, 15, 0xFFFF0000));
    std::vector<uint32_t> px = Read(0, 0, 120, 60);
    EXPECT_EQ(0xFFFF0000u, px[5 * 120 + 10]);
    EXPECT_EQ(0xFFFF0000u, px[14 * 120 + 19]);
    EXPECT_EQ(0xFF102030u, px[15 * 120 + 19]);
    EXPECT_EQ(0xFF102030u, px[59 * 120 + 119]);
    uint32_t out;
    EXPECT_FALSE(WinapiTest_ReadBackBuffer(m_dev, 120, 0, 1, 1, &out));  // outside the back buffer
    ExpectTopLeftRule(3, 2);
    EXPECT_EQ(D3D_OK, m_dev->Present(nullptr, nullptr, nullptr, nullptr));
}

TEST_F(CreateDeviceTest, AdapterQueries) {
    m_d3d = Direct3DCreate9(D3D_SDK_VERSION);
    ASSERT_NE(nullptr, m_d3d);
    const UINT count = m_d3d->GetAdapterCount();
    if (count == 0) SKIP_OR_FAIL_IN_CI() << "no display here";
    D3DDISPLAYMODE mode;
    ASSERT_EQ(D3D_OK, m_d3d->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &mode));
    EXPECT_GT(mode.Width, 0u);
    EXPECT_GT(mode.Height, 0u);
    EXPECT_EQ(D3DFMT_X8R8G8B8, mode.Format);
    EXPECT_EQ(D3DERR_INVALIDCALL, m_d3d->GetAdapterDisplayMode(count, &mode));
    EXPECT_EQ(D3DERR_INVALIDCALL, m_d3d->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, nullptr));
}

TEST_F(D3D9Test, SceneBracketsMustPair) {
    EXPECT_EQ(D3DERR_INVALIDCALL, m_dev->EndScene());
    EXPECT_EQ(D3D_OK, m_dev->BeginScene());
    EXPECT_EQ(D3DERR_INVALIDCALL, m_dev->BeginScene());
    EXPECT_EQ(D3D_OK, m_dev->EndScene());
    EXPECT_EQ(D3DERR_INVALIDCALL, m_dev->EndScene());
}

TEST_F(D3D9Test, ClearTargetsOnlyWhatExists) {
    ClearTo(0xFF018CFF);
    std::vector<uint32_t> px = Read(0, 0, kWidth, kHeight);
    for (uint32_t p : px) ASSERT_EQ(0xFF018CFFu, p);
    // The game's D16 depth buffer has no stencil.
    EXPECT_EQ(D3DERR_INVALIDCALL, m_dev->Clear(0, nullptr, D3DCLEAR_STENCIL, 0, 1.0f, 0));
    EXPECT_EQ(D3DERR_INVALIDCALL, m_dev->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 2.0f, 0));
    EXPECT_EQ(0xFF018CFFu, Pixel(3, 3));  // a failed clear changes nothing

    CloseDevice();
    D3DPRESENT_PARAMETERS pp = Params(64, 64);
    pp.EnableAutoDepthStencil = FALSE;
    ASSERT_TRUE(OpenDevice(64, 64, &pp));
    EXPECT_EQ(D3DERR_INVALIDCALL, m_dev->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0));
    DWORD z = 7;
    ASSERT_EQ(D3D_OK, m_dev->GetRenderState(D3DRS_ZENABLE, &z));
    EXPECT_EQ((DWORD)D3DZB_FALSE, z);
}

TEST_F(D3D9Test, ClearHonoursViewportAndRectangles) {
    ClearTo(0xFF000000);
    D3DVIEWPORT9 vp = {10, 20, 30, 40, 0.0f, 1.0f};
    ASSERT_EQ(D3D_OK, m_dev->SetViewport(&vp));
    ASSERT_EQ(D3D_OK, m_dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFF0000, 1.0f, 0));
    EXPECT_EQ(0xFFFF0000u, Pixel(10, 20));
    EXPECT_EQ(0xFFFF0000u, Pixel(39, 59));
    EXPECT_EQ(0xFF000000u, Pixel(9, 20));
    EXPECT_EQ(0xFF000000u, Pixel(40, 59));
    EXPECT_EQ(0xFF000000u, Pixel(10, 60));

    const D3DRECT r[2] = {{0, 0, 15, 25}, {35, 55, 100, 100}};  // each cut by the viewport
    ASSERT_EQ(D3D_OK, m_dev->Clear(2, r, D3DCLEAR_TARGET, 0xFF00FF00, 1.0f, 0));
    EXPECT_EQ(0xFF00FF00u, Pixel(14, 24));
    EXPECT_EQ(0xFFFF0000u, Pixel(15, 24));
    EXPECT_EQ(0xFF000000u, Pixel(5, 5));  // inside the rectangle, outside the viewport
    EXPECT_EQ(0xFF00FF00u, Pixel(39, 59));
    EXPECT_EQ(0xFFFF0000u, Pixel(34, 54));
    EXPECT_EQ(D3DERR_INVALIDCALL, m_dev->Clear(1, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0));

    const D3DVIEWPORT9 outside = {200, 0, 100, 10, 0.0f, 1.0f};  // past the right edge
    EXPECT_EQ(D3DERR_INVALIDCALL, m_dev->SetViewport(&outside));
    D3DVIEWPORT9 got;
    ASSERT_EQ(D3D_OK, m_dev->GetViewport(&got));
    EXPECT_EQ(30u, got.Width);
}

TEST_F(D3D9Test, ReleaseOrderOfObjectAndDeviceDoesNotMatter) {
    // The Direct3D object goes first; the device keeps working without it.
    EXPECT_GT(m_d3d->Release(), 0u);  // the device still holds it
    m_d3d = nullptr;
    ClearTo(0xFF336699);
    EXPECT_EQ(0xFF336699u, Pixel(0, 0));
}

TEST_F(D3D9Test, ShutdownAfterTheWindowIsDestroyedIsSafe) {
    // The game's order: the window goes first, then the resources, then the device.
    IDirect3DVertexBuffer9* vb = nullptr;
    ASSERT_EQ(D3D_OK, m_dev->CreateVertexBuffer(64, 0, 0, D3DPOOL_MANAGED, &vb, nullptr));
    ASSERT_EQ(D3D_OK, m_dev->SetStreamSource(0, vb, 0, 16));
    ASSERT_EQ(D3D_OK, DrawRect(0, 0, 4, 4, 0xFFFFFFFF));
    DestroyWindow(m_hwnd);
    m_hwnd = nullptr;
    WinapiTest_DrainMessages();
    m_dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    m_dev->Present(nullptr, nullptr, nullptr, nullptr);
    void* p = nullptr;
    EXPECT_EQ(D3D_OK, vb->Lock(0, 0, &p, 0));
    EXPECT_EQ(D3D_OK, vb->Unlock());
    EXPECT_EQ(0u, vb->Release());
}

TEST(SdlWindowDeviceTest, WindowDestroyedUnderTheDeviceIsALostDevice) {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) SKIP_OR_FAIL_IN_CI() << "no video here";
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
    SDL_Window* window = SDL_CreateWindow("raw", 0, 0, 64, 64, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (!window) SKIP_OR_FAIL_IN_CI() << "no OpenGL window here";
    D3DPRESENT_PARAMETERS pp = D3D9Test::Params(64, 64);
    IDirect3DDevice9* dev = nullptr;
    if (FAILED(WinapiTest_CreateDeviceForSdlWindow(window, D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, &dev))) {
        SDL_DestroyWindow(window);
        SKIP_OR_FAIL_IN_CI() << "no OpenGL 3.3 here";
    }
    IDirect3DTexture9* tex = nullptr;
    ASSERT_EQ(D3D_OK, dev->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &tex, nullptr));
    ASSERT_EQ(D3D_OK, dev->SetTexture(0, tex));
    SDL_DestroyWindow(window);
    EXPECT_EQ(D3DERR_DEVICELOST, dev->TestCooperativeLevel());
    EXPECT_EQ(D3DERR_DEVICELOST, dev->Present(nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(D3D_OK, dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0));
    D3DLOCKED_RECT lr;
    EXPECT_EQ(D3D_OK, tex->LockRect(0, &lr, nullptr, 0));  // CPU copies keep working
    EXPECT_EQ(D3D_OK, tex->UnlockRect(0));
    EXPECT_EQ(0u, tex->Release());  // still bound: the device frees it with itself
    EXPECT_EQ(0u, dev->Release());
}

}  // namespace
}  // namespace d3d9test
