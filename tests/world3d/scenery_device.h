// Shared set-up for the scenery tests: one hidden game window and the game's
// renderer on it, made once per test process, plus small drawing helpers.
#pragma once

#include <d3dx9.h>
#include <gtest/gtest.h>

#include <stdint.h>
#include <string>
#include <vector>

// Creates the window and the device on first use (message boxes are answered
// without a window). False when no device can be made here.
bool EnsureSceneryDevice();
HWND SceneryWindow();
// Brings the keyboard up on the window, with the focus forced on. False if
// it cannot be made.
bool EnsureSceneryKeyboard();

// Fixture for tests that need the device: skips when there is none.
class SceneryDeviceTest : public ::testing::Test {
protected:
    void SetUp() override;
    LPDIRECT3DDEVICE9 Device() const;
};

// Starts a frame: BeginScene and a clear of colour and depth.
void BeginTestFrame(D3DCOLOR clearColor);
// Ends it (EndScene; no Present, so read-backs still see it).
void EndTestFrame();
// One pixel of the back buffer as 0xAARRGGBB.
uint32_t ReadPixel(int x, int y);

// Where a world point lands on the 1680 x 900 back buffer under a view and
// projection; false when it is behind the eye.
bool ProjectToScreen(const D3DXVECTOR3& world, const D3DXMATRIX& view, const D3DXMATRIX& projection, int* x, int* y);

// A fresh empty directory under /tmp, made the working directory; returns its path.
std::string EnterTempWorkingDirectory();
// Leaves it (back to the directory the test started in) and deletes it.
void RemoveTempWorkingDirectory(const std::string& dir);
void WriteTextFile(const std::string& path, const std::string& text);

// Read-back of a vertex or index buffer through its Lock (our layer keeps a
// CPU copy of every buffer).
template <class T>
std::vector<T> ReadBuffer(IDirect3DVertexBuffer9* buffer) {
    std::vector<T> out;
    D3DVERTEXBUFFER_DESC desc;
    void* data = nullptr;
    if (buffer == nullptr || FAILED(buffer->GetDesc(&desc)) || FAILED(buffer->Lock(0, 0, &data, D3DLOCK_READONLY))) {
        return out;
    }
    out.assign((const T*)data, (const T*)data + desc.Size / sizeof(T));
    buffer->Unlock();
    return out;
}

inline std::vector<WORD> ReadIndices(IDirect3DIndexBuffer9* buffer) {
    std::vector<WORD> out;
    D3DINDEXBUFFER_DESC desc;
    void* data = nullptr;
    if (buffer == nullptr || FAILED(buffer->GetDesc(&desc)) || FAILED(buffer->Lock(0, 0, &data, D3DLOCK_READONLY))) {
        return out;
    }
    out.assign((const WORD*)data, (const WORD*)data + desc.Size / sizeof(WORD));
    buffer->Unlock();
    return out;
}

inline int Channel(uint32_t argb, int shift) { return (int)((argb >> shift) & 0xFF); }
#define RED(c) Channel((c), 16)
#define GREEN(c) Channel((c), 8)
#define BLUE(c) Channel((c), 0)
