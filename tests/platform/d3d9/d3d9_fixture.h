// Shared set-up of the Direct3D 9 layer tests: a window made through our
// Win32 layer, a device on it (GL back end, or the null one when m_null is
// set before OpenDevice), and helpers to draw and read pixels back.
// Tests skip when no window or no OpenGL 3.3 context can be had.
#pragma once

#include "test_device.h"
#include <d3d9.h>
#include <d3d9_testing.h>
#include <gtest/gtest.h>
#include <winapi_testing.h>
#include <windows.h>

#include "ci_skip.h"
#include <stdlib.h>
#include <string>
#include <vector>

namespace d3d9test {

// Pretransformed, coloured, textured: the game's 2-D vertex.
struct RhwVertex {
    float x, y, z, rhw;
    D3DCOLOR color;
    float u, v;
};
const DWORD kRhwFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;

struct ColorVertex {
    float x, y, z;
    D3DCOLOR color;
};
const DWORD kColorFvf = D3DFVF_XYZ | D3DFVF_DIFFUSE;

struct NormalVertex {
    float x, y, z;
    float nx, ny, nz;
};
const DWORD kNormalFvf = D3DFVF_XYZ | D3DFVF_NORMAL;

inline int Channel(uint32_t c, int shift) { return (int)((c >> shift) & 0xff); }

// True when every colour channel of `got` is within `tol` of `want`.
inline ::testing::AssertionResult ColorNear(uint32_t got, uint32_t want, int tol) {
    for (int s : {16, 8, 0}) {
        if (abs(Channel(got, s) - Channel(want, s)) > tol) {
            char buf[96];
            snprintf(buf, sizeof buf, "got 0x%08X, want 0x%08X (+-%d)", got, want, tol);
            return ::testing::AssertionFailure() << buf;
        }
    }
    return ::testing::AssertionSuccess();
}

class D3D9Test : public ::testing::Test {
public:
    void SetUp() override {
        if (!OpenDevice(kWidth, kHeight, nullptr)) SKIP_OR_FAIL_IN_CI() << m_skipReason;
    }

    void TearDown() override { CloseDevice(); }

    // Default presentation parameters: windowed, depth buffer, no vsync.
    static D3DPRESENT_PARAMETERS Params(UINT w, UINT h) { return testsupport::TestParams(w, h); }

    // A shown window whose client area is w x h.
    HWND MakeWindow(int w, int h) { return testsupport::MakeTestWindow(w, h); }

    // Window of (w, h), device with `pp` (or the defaults at that size), on
    // the null back end when m_null is set.
    bool OpenDevice(int w, int h, D3DPRESENT_PARAMETERS* pp) {
        testsupport::TestDevice td;
        if (!td.Open(w, h, m_null ? testsupport::Drawing::kNoPixels : testsupport::Drawing::kPixels, pp)) {
            m_skipReason = td.Why();
            return false;
        }
        m_hwnd = td.Window();
        m_d3d = td.Direct3D();
        m_dev = td.Device();
        td.Detach();
        m_width = pp ? (int)pp->BackBufferWidth : w;
        m_height = pp ? (int)pp->BackBufferHeight : h;
        return true;
    }

    void CloseDevice() {
        if (m_dev) m_dev->Release();
        if (m_d3d) m_d3d->Release();
        if (m_hwnd) DestroyWindow(m_hwnd);
        WinapiTest_DrainMessages();
        m_dev = nullptr;
        m_d3d = nullptr;
        m_hwnd = nullptr;
    }

    std::vector<uint32_t> Read(int x, int y, int w, int h) {
        std::vector<uint32_t> px((size_t)w * h, 0);
        EXPECT_TRUE(WinapiTest_ReadBackBuffer(m_dev, x, y, w, h, px.data()));
        return px;
    }
    uint32_t Pixel(int x, int y) { return Read(x, y, 1, 1)[0]; }

    void ClearTo(D3DCOLOR c) {
        ASSERT_EQ(D3D_OK, m_dev->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, c, 1.0f, 0));
    }

    // A screen-space rectangle covering pixels [x0, x1) x [y0, y1), drawn
    // with the half-pixel shift the game uses.
    HRESULT DrawRect(float x0, float y0, float x1, float y1, D3DCOLOR color, float z = 0.0f, float u0 = 0.0f,
                     float v0 = 0.0f, float u1 = 1.0f, float v1 = 1.0f) {
        const RhwVertex v[4] = {
            {x0 - 0.5f, y0 - 0.5f, z, 1.0f, color, u0, v0},
            {x1 - 0.5f, y0 - 0.5f, z, 1.0f, color, u1, v0},
            {x0 - 0.5f, y1 - 0.5f, z, 1.0f, color, u0, v1},
            {x1 - 0.5f, y1 - 0.5f, z, 1.0f, color, u1, v1},
        };
        m_dev->SetFVF(kRhwFvf);
        return m_dev->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(RhwVertex));
    }

    // A 4x4 quad whose edges run through pixel centres at (x, y): Direct3D's
    // top-left rule fills columns x..x+3 and rows y..y+3, nothing else.
    void ExpectTopLeftRule(int x, int y) {
        ClearTo(0xFF000000);
        const RhwVertex v[4] = {{(float)x, (float)y, 0, 1, 0xFFFFFFFF, 0, 0},
                                {(float)x + 4, (float)y, 0, 1, 0xFFFFFFFF, 0, 0},
                                {(float)x, (float)y + 4, 0, 1, 0xFFFFFFFF, 0, 0},
                                {(float)x + 4, (float)y + 4, 0, 1, 0xFFFFFFFF, 0, 0}};
        m_dev->SetFVF(kRhwFvf);
        ASSERT_EQ(D3D_OK, m_dev->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(RhwVertex)));
        std::vector<uint32_t> px = Read(x - 1, y - 1, 6, 6);
        for (int j = 0; j < 6; ++j)
            for (int i = 0; i < 6; ++i) {
                const bool inside = i >= 1 && i <= 4 && j >= 1 && j <= 4;
                EXPECT_EQ(inside ? 0xFFFFFFFFu : 0xFF000000u, px[j * 6 + i])
                    << "pixel (" << x - 1 + i << ", " << y - 1 + j << ")";
            }
    }

    // A texture of w x h A8R8G8B8 texels given row by row.
    IDirect3DTexture9* MakeTexture(UINT w, UINT h, const std::vector<uint32_t>& texels,
                                   D3DFORMAT format = D3DFMT_A8R8G8B8) {
        IDirect3DTexture9* tex = nullptr;
        EXPECT_EQ(D3D_OK, m_dev->CreateTexture(w, h, 1, 0, format, D3DPOOL_MANAGED, &tex, nullptr));
        if (!tex) return nullptr;
        D3DLOCKED_RECT lr;
        EXPECT_EQ(D3D_OK, tex->LockRect(0, &lr, nullptr, 0));
        for (UINT y = 0; y < h; ++y)
            memcpy(static_cast<uint8_t*>(lr.pBits) + (size_t)y * lr.Pitch, &texels[(size_t)y * w], w * 4);
        tex->UnlockRect(0);
        return tex;
    }

    // Two plays of a script, read-back by read-back: every picture the same, byte for byte.
    static void ExpectSamePictures(const std::vector<std::vector<uint32_t>>& on,
                                   const std::vector<std::vector<uint32_t>>& off) {
        ASSERT_EQ(on.size(), off.size());
        for (size_t s = 0; s < on.size(); ++s) {
            size_t differing = 0, first = 0;
            for (size_t i = 0; i < on[s].size(); ++i)
                if (on[s][i] != off[s][i] && differing++ == 0) first = i;
            EXPECT_EQ(differing, 0u) << "read-back " << s << ": first difference at (" << first % kWidth << ", "
                                     << first / kWidth << ")";
        }
    }

    // Writes a read-back to $D3D9_TEST_PNG_DIR/<name>.png for looking at.
    void DumpPng(const char* name, int w, int h, const std::vector<uint32_t>& px);

    static const int kWidth = 256;
    static const int kHeight = 128;
    HWND m_hwnd = nullptr;
    IDirect3D9* m_d3d = nullptr;
    IDirect3DDevice9* m_dev = nullptr;
    int m_width = 0, m_height = 0;
    std::string m_skipReason;
    bool m_null = false;  // open the device on the null back end
};

// Runs each test on both back ends: Direct3D's results must not depend on
// whether anything is drawn.
class BothBackendsTest : public D3D9Test, public ::testing::WithParamInterface<bool> {
public:
    void SetUp() override {
        m_null = GetParam();
        D3D9Test::SetUp();
    }
    static std::string Name(const ::testing::TestParamInfo<bool>& info) { return info.param ? "null" : "gl"; }
};
#define ON_BOTH_BACKENDS(suite) INSTANTIATE_TEST_SUITE_P(Backends, suite, ::testing::Bool(), BothBackendsTest::Name)

}  // namespace d3d9test
