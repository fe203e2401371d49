// Internal declarations of the Direct3D 9 layer over OpenGL 3.3 core.
//
// Object model:
// - Direct3D9: the factory returned by Direct3DCreate9. Lives until its last
//   Release; every device holds one reference on it.
// - Device: one GL 3.3 core context on one SDL window. It keeps a shadow copy
//   of every Direct3D state and turns it into GL state at draw time (only what
//   changed since the last draw). Lives until its last Release; each resource
//   it created holds one public reference on it, so the GL context outlives
//   every GL object it owns.
// - VertexBuffer, IndexBuffer, Texture: a CPU copy of the data (the truth for
//   Lock) plus a GL object filled from it. Each has a public reference count
//   (AddRef/Release, what callers see) and a binding count (the device's own
//   references while the resource is set as texture, stream or indices). The
//   object is freed when both reach zero, so a resource released while bound
//   keeps drawing until it is replaced.
// Everything runs on the thread that created the device; there are no locks.
#pragma once

#include <d3d9.h>
#include <stdint.h>
#include <stddef.h>
#include <memory>
#include <vector>

#include <epoxy/gl.h>

#include "common/com_object.h"
#include "testing/d3d9_testing.h"

struct SDL_Window;

namespace d3d9 {

class Device;
class Direct3D9;

// Prints a message once per call site (unsupported state that a draw meets).
void WarnOnce(bool* flag, const char* message);

// ---- flexible vertex format layout ----
struct VertexLayout {
    bool rhw = false;        // D3DFVF_XYZRHW (else D3DFVF_XYZ)
    int posOffset = 0;
    int normalOffset = -1;   // -1: absent
    int diffuseOffset = -1;
    int specularOffset = -1;
    int texCount = 0;
    int texOffset[8] = {};
    int texSize[8] = {};     // floats per coordinate set
    UINT size = 0;           // bytes one vertex of this format occupies
};
// Fills `out` for an FVF code; false for formats this layer does not draw
// (no position, blend weights, XYZW).
bool ParseFVF(DWORD fvf, VertexLayout* out);

// ---- reference counting shared by the resources ----
template <class Iface>
class ResourceBase : public Iface {
public:
    ResourceBase(Device* device, D3DRESOURCETYPE type);
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetDevice(IDirect3DDevice9** ppDevice) override;
    D3DRESOURCETYPE STDMETHODCALLTYPE GetType() override { return m_type; }

    // The device's own references while the resource is bound.
    void BindRef() { ++m_bind; }
    void BindRelease();
    Device* OwnerDevice() const { return m_device; }
    ULONG PublicRefs() const { return m_ref; }

protected:
    ~ResourceBase() override {}

private:
    ULONG m_ref = 1;
    ULONG m_bind = 0;
    Device* m_device;
    D3DRESOURCETYPE m_type;
};

// ---- buffers ----
// State shared by vertex and index buffers: CPU copy, GL object, the byte
// range written since the GL copy was last brought up to date.
struct BufferStore {
    std::unique_ptr<uint8_t[]> data;
    UINT size = 0;
    DWORD usage = 0;
    D3DPOOL pool = D3DPOOL_DEFAULT;
    GLuint gl = 0;             // lazily created, `size` bytes of storage
    UINT dirtyBegin = 0;       // dirty byte range [dirtyBegin, dirtyEnd)
    UINT dirtyEnd = 0;
    bool writtenSinceDraw = false;  // locked for writing since its last draw
    int lockCount = 0;

    bool Dirty() const { return dirtyEnd > dirtyBegin; }
    void MarkDirty(UINT begin, UINT end);
    void ClearDirty() { dirtyBegin = dirtyEnd = 0; }
    HRESULT Lock(UINT offset, UINT size, void** out, DWORD flags);
    HRESULT Unlock();
};

class VertexBuffer final : public ResourceBase<IDirect3DVertexBuffer9> {
public:
    VertexBuffer(Device* device, UINT length, DWORD usage, DWORD fvf, D3DPOOL pool);
    HRESULT STDMETHODCALLTYPE Lock(UINT OffsetToLock, UINT SizeToLock, void** ppbData, DWORD Flags) override;
    HRESULT STDMETHODCALLTYPE Unlock() override;
    HRESULT STDMETHODCALLTYPE GetDesc(D3DVERTEXBUFFER_DESC* pDesc) override;

    BufferStore store;
    DWORD fvf;
    // Repacked GL copy: the first `packSize` bytes of every vertex that starts
    // at packOffset + i * packStride, stored tightly. Valid when packStride != 0.
    UINT packOffset = 0;
    UINT packStride = 0;
    UINT packSize = 0;

protected:
    ~VertexBuffer() override;
};

class IndexBuffer final : public ResourceBase<IDirect3DIndexBuffer9> {
public:
    IndexBuffer(Device* device, UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool);
    HRESULT STDMETHODCALLTYPE Lock(UINT OffsetToLock, UINT SizeToLock, void** ppbData, DWORD Flags) override;
    HRESULT STDMETHODCALLTYPE Unlock() override;
    HRESULT STDMETHODCALLTYPE GetDesc(D3DINDEXBUFFER_DESC* pDesc) override;

    UINT IndexSize() const { return format == D3DFMT_INDEX32 ? 4 : 2; }
    UINT IndexCount() const { return store.size / IndexSize(); }
    // Smallest and largest index of the whole buffer (cached until the next
    // write lock).
    void WholeRange(uint32_t* lo, uint32_t* hi);

    BufferStore store;
    D3DFORMAT format;

private:
    bool m_rangeValid = false;
    uint32_t m_min = 0, m_max = 0;

protected:
    ~IndexBuffer() override;
};

// ---- textures ----
struct TextureFormat {
    D3DFORMAT d3d;
    UINT bytes;           // per texel
    GLenum internal, format, type;
    GLint swizzle[4];     // GL_TEXTURE_SWIZZLE_RGBA
};
const TextureFormat* FindTextureFormat(D3DFORMAT format);

class Texture final : public ResourceBase<IDirect3DTexture9> {
public:
    Texture(Device* device, UINT width, UINT height, UINT levels, DWORD usage, const TextureFormat* format,
            D3DPOOL pool);
    bool Allocate();  // CPU copies; false when out of memory

    DWORD STDMETHODCALLTYPE GetLevelCount() override { return m_levels; }
    void STDMETHODCALLTYPE GenerateMipSubLevels() override;
    HRESULT STDMETHODCALLTYPE GetLevelDesc(UINT Level, D3DSURFACE_DESC* pDesc) override;
    HRESULT STDMETHODCALLTYPE LockRect(UINT Level, D3DLOCKED_RECT* pLockedRect, CONST RECT* pRect,
                                       DWORD Flags) override;
    HRESULT STDMETHODCALLTYPE UnlockRect(UINT Level) override;

    D3DPOOL Pool() const { return m_pool; }
    // The GL texture, created and filled on first use.
    GLuint GLName();

    static const UINT kMaxLevels = 16;

private:
    UINT LevelWidth(UINT level) const { return m_width >> level ? m_width >> level : 1; }
    UINT LevelHeight(UINT level) const { return m_height >> level ? m_height >> level : 1; }
    void UploadLevel(UINT level, const RECT& area);

    UINT m_width, m_height, m_levels;
    UINT m_glLevels;  // levels of the GL texture (the full chain for AUTOGENMIPMAP)
    DWORD m_usage;
    const TextureFormat* m_format;
    D3DPOOL m_pool;
    std::unique_ptr<uint8_t[]> m_data[kMaxLevels];
    bool m_locked[kMaxLevels] = {};
    bool m_lockWrites[kMaxLevels] = {};
    RECT m_lockRect[kMaxLevels] = {};
    GLuint m_gl = 0;

protected:
    ~Texture() override;
};

// ---- the factory object ----
class Direct3D9 final : public winapi::ComObject<IDirect3D9> {
public:
    UINT STDMETHODCALLTYPE GetAdapterCount() override;
    HRESULT STDMETHODCALLTYPE GetAdapterDisplayMode(UINT Adapter, D3DDISPLAYMODE* pMode) override;
    HRESULT STDMETHODCALLTYPE CreateDevice(UINT Adapter, D3DDEVTYPE DeviceType, HWND hFocusWindow,
                                           DWORD BehaviorFlags, D3DPRESENT_PARAMETERS* pPresentationParameters,
                                           IDirect3DDevice9** ppReturnedDeviceInterface) override;
};

// Creates a device on an SDL window that has SDL_WINDOW_OPENGL. `parent` (may
// be null) gets a reference for the device's lifetime.
HRESULT CreateDeviceOnWindow(IDirect3D9* parent, SDL_Window* window, DWORD behaviorFlags,
                             D3DPRESENT_PARAMETERS* params, IDirect3DDevice9** out);

// Device counters read by the test hooks.
struct DeviceCounters {
    uint64_t drawCalls = 0;
    uint64_t bufferUploadBytes = 0;  // bytes handed to GL for vertex/index data
    bool recordDraws = false;
    std::vector<WinapiDrawRecord> draws;  // while recordDraws
};
DeviceCounters* CountersOf(IDirect3DDevice9* device);
// Reads back the back buffer; see WinapiTest_ReadBackBuffer.
bool ReadBack(IDirect3DDevice9* device, int x, int y, int w, int h, uint32_t* out);

}  // namespace d3d9
