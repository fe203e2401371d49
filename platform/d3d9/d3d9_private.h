// Internal declarations of the Direct3D 9 layer: the front end every device
// shares, and the interface of the back ends that draw for it.
//
// The layer is one front end over two back ends:
// - the front end (d3d9_*.cpp) checks every call, keeps the shadow state and
//   what changed since the last draw (d3d9_state.*), the resources' CPU copies
//   (d3d9_stream.cpp for buffers, d3d9_resources.cpp for textures) and works
//   out the fixed-function configuration of each draw. It knows no GL.
// - a Backend turns checked draws into pixels: GL (gl/, OpenGL 3.3 core) for
//   the game, or null (d3d9_null.cpp), which records the draws and draws
//   nothing, for tests that need Direct3D's behaviour but no pixels.
//
// Object model:
// - Direct3D9: the factory returned by Direct3DCreate9. Lives until its last
//   Release; every device holds one reference on it.
// - Device (d3d9_device.h): one window and one back end. Lives until its last
//   Release; each resource it created holds one public reference on it, so
//   the back end outlives every object it made for a resource.
// - VertexBuffer, IndexBuffer, Texture: a CPU copy of the data (the truth for
//   Lock) plus, once drawn, the back end's copy named by `gpu`. A managed
//   texture is handed to the back end as soon as every level has been written
//   once, and the GL back end then drops the CPU copy (the device is never
//   lost, so it is never needed to restore one); a later lock reads it back
//   from the back end and keeps it from then on. Each has a
//   public reference count (AddRef/Release, what callers see) and a binding
//   count (the device's own references while the resource is set as texture,
//   stream or indices). The object is freed when both reach zero, so a
//   resource released while bound keeps drawing until it is replaced.
// Everything runs on the thread that created the device; there are no locks.
#pragma once

#include <d3d9.h>
#include <memory>
#include <stddef.h>
#include <stdint.h>
#include <vector>

#include "common/com_object.h"
#include "common/deferred_contents.h"

struct SDL_Window;
struct D3D9TestingDraw;

namespace d3d9 {

class Device;
class Direct3D9;
struct DrawState;

// Prints a message once per call site (unsupported state that a draw meets).
void WarnOnce(bool* flag, const char* message);

// Devices and resources alive in the process (see D3D9Testing_LiveObjectCount).
void CountObjectMade();
void CountObjectGone();
unsigned LiveObjects();

// ---- flexible vertex format layout ----
struct VertexLayout {
    bool rhw = false;  // D3DFVF_XYZRHW (else D3DFVF_XYZ)
    int posOffset = 0;
    int normalOffset = -1;  // -1: absent
    int diffuseOffset = -1;
    int specularOffset = -1;
    int texCount = 0;
    int texOffset[8] = {};
    int texSize[8] = {};  // floats per coordinate set
    UINT size = 0;        // bytes one vertex of this format occupies
};
// Fills `out` for an FVF code; false for formats this layer does not draw
// (no position, blend weights, XYZW).
bool ParseFVF(DWORD fvf, VertexLayout* out);

// Vertices (or indices) a primitive count takes; false for an unknown type
// or a count too large to draw.
bool PrimitiveVertices(D3DPRIMITIVETYPE type, UINT count, UINT* vertices);

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
    ~ResourceBase() override;

private:
    ULONG m_ref = 1;
    ULONG m_bind = 0;
    Device* m_device;
    D3DRESOURCETYPE m_type;
};

// ---- buffers ----
// State shared by vertex and index buffers: the CPU copy, the back end's
// copy, and the byte range written since the back end last took it.
struct BufferStore {
    std::unique_ptr<uint8_t[]> data;
    UINT size = 0;
    DWORD usage = 0;
    D3DPOOL pool = D3DPOOL_DEFAULT;
    uint32_t gpu = 0;     // the back end's copy (0: none yet)
    UINT dirtyBegin = 0;  // dirty byte range [dirtyBegin, dirtyEnd)
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
    // Kept by the back end: its copy holds the first `packSize` bytes of every
    // vertex that starts at packOffset + i * packStride, stored tightly.
    // Valid when packStride != 0.
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
struct ContentsJob;  // d3d9_contents.h

// Texel bytes of the formats textures can have; null for the others.
UINT TexelBytes(D3DFORMAT format);

// Also answers IWinapiDeferredContents (common/deferred_contents.h): its
// contents may come from a producer run at their first use.
class Texture final : public ResourceBase<IDirect3DTexture9>, public IWinapiDeferredContents {
public:
    Texture(Device* device, UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool);
    bool Allocate();  // CPU copies; false when out of memory

    // IUnknown, for both interfaces.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return ResourceBase::AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return ResourceBase::Release(); }
    HRESULT STDMETHODCALLTYPE SetContentsProducer(std::unique_ptr<winapi::ContentsProducer> producer) override;
    // Runs a pending producer (allocating the CPU copy it writes); false when
    // out of memory. Every path that reads or writes texels calls it first.
    bool EnsureContents();
    bool ContentsPending() const { return m_contents != nullptr; }

    DWORD STDMETHODCALLTYPE GetLevelCount() override { return m_levels; }
    void STDMETHODCALLTYPE GenerateMipSubLevels() override;
    HRESULT STDMETHODCALLTYPE GetLevelDesc(UINT Level, D3DSURFACE_DESC* pDesc) override;
    HRESULT STDMETHODCALLTYPE LockRect(UINT Level, D3DLOCKED_RECT* pLockedRect, CONST RECT* pRect,
                                       DWORD Flags) override;
    HRESULT STDMETHODCALLTYPE UnlockRect(UINT Level) override;

    D3DPOOL Pool() const { return m_pool; }
    D3DFORMAT Format() const { return m_format; }
    DWORD Usage() const { return m_usage; }
    UINT Levels() const { return m_levels; }
    UINT LevelWidth(UINT level) const { return m_width >> level ? m_width >> level : 1; }
    UINT LevelHeight(UINT level) const { return m_height >> level ? m_height >> level : 1; }
    // Null while the CPU copy is dropped (see DropCpuCopy).
    const uint8_t* LevelData(UINT level) const { return m_data[level].get(); }
    UINT Pitch(UINT level) const { return LevelWidth(level) * m_bytes; }

    uint32_t gpu = 0;        // the back end's copy (0: none yet)
    bool gpuOpaque = false;  // set by the back end: every texel of every level has alpha 255

    // Frees the CPU copy of a managed texture whose back-end copy holds every
    // level, unless a level is locked or it was read back before (a texture
    // locked again after drawing is one that changes: it keeps its copy).
    void DropCpuCopy();
    bool CpuCopyDropped() const { return m_dropped; }

    static const UINT kMaxLevels = 16;

private:
    UINT m_width, m_height, m_levels;
    DWORD m_usage;
    D3DFORMAT m_format;
    UINT m_bytes;
    D3DPOOL m_pool;
    std::unique_ptr<uint8_t[]> m_data[kMaxLevels];
    bool m_locked[kMaxLevels] = {};
    uint32_t m_levelsWritten = 0;  // bit per level unlocked after a write since creation
    bool m_dropped = false;        // CPU copy freed; the back end's copy is the truth
    bool m_readBack = false;       // the CPU copy was read back once: keep it
    // Reads the dropped CPU copy back from the back end; false when out of memory.
    bool RestoreCpuCopy();
    bool m_lockWrites[kMaxLevels] = {};
    RECT m_lockRect[kMaxLevels] = {};
    // Makes the contents at their first use; the CPU copy is not allocated
    // while it waits. Shared with the device's contents worker while queued.
    std::shared_ptr<ContentsJob> m_contents;

protected:
    ~Texture() override;
};

// ---- what the front end asks of a back end ----

// One checked Draw*Primitive* call.
struct DrawCall {
    D3DPRIMITIVETYPE type = D3DPT_TRIANGLELIST;
    UINT primitives = 0;
    UINT count = 0;  // vertices (or indices) to draw
    const VertexLayout* layout = nullptr;
    int texSet = -1;  // texture coordinate set fed to stage 0
    // Vertices: stream 0's buffer, or the caller's memory (user-pointer draws).
    VertexBuffer* buffer = nullptr;
    UINT offset = 0, stride = 0;         // stream 0's offset and stride
    UINT streamVertices = 0;             // whole vertices in the buffer from `offset`
    UINT firstVertex = 0;                // non-indexed draws
    const void* userVertices = nullptr;  // user-pointer draws: the first vertex used
    size_t userBytes = 0;
    // Indices: the bound index buffer, or the caller's memory.
    bool indexed = false;
    IndexBuffer* indices = nullptr;
    UINT startIndex = 0;
    const void* userIndices = nullptr;
    bool wideIndices = false;  // 32-bit user indices
    INT baseVertex = 0;
    UINT minIndex = 0, numVertices = 0;  // the caller's hint of the vertices used (not checked)
};

// Device counters read by the test hooks.
struct DeviceCounters {
    uint64_t drawCalls = 0;
    uint64_t bufferUploadBytes = 0;  // bytes handed to the GPU for vertex/index data
};

// A back end: the part of a device that makes pixels. The front end calls it
// only with checked arguments, and only while MakeCurrent() holds.
class Backend {
public:
    virtual ~Backend() {}
    // Makes the back end's context current for the calls that follow.
    virtual bool MakeCurrent() = 0;
    // The window is gone: the destructor frees no GPU objects, only memory.
    virtual void Abandon() {}
    // Runs once the device exists (the GL back end calibrates its rasterizer).
    virtual void Started(IDirect3DDevice9* device) {}
    virtual UINT MaxTextureSize() const = 0;
    virtual bool DrawsPixels() const = 0;
    // Clears the parts of `area` inside the rectangles (all of it when count is 0).
    virtual void Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z, DWORD stencil,
                       const D3DVIEWPORT9& area) = 0;
    virtual void Present() = 0;
    // Pixels of the back buffer as 0xAARRGGBB, rows from the top; false if
    // the back end keeps none.
    virtual bool ReadBack(int x, int y, int w, int h, uint32_t* out) = 0;
    // Draws; false when the draw is skipped (its program could not be built).
    virtual bool Draw(const DrawCall& call, const DrawState& state) = 0;
    // A resource's copy in the back end is no longer wanted / was rewritten.
    virtual void BufferGone(BufferStore& store) = 0;
    virtual void TextureGone(Texture& texture) = 0;
    virtual void TextureWritten(Texture& texture, UINT level, const RECT& area) = 0;
    virtual void TextureMipsFromTop(Texture& texture) = 0;
    // Every level of a managed texture without a back-end copy has been
    // written: the back end may take it now rather than at its first draw.
    virtual void TextureFilled(Texture& texture) {}
    // Copies one level of the texture's back-end copy into `out` (rows of
    // LevelWidth * texel bytes, no padding); false if the back end keeps none.
    virtual bool ReadTexture(Texture& texture, UINT level, uint8_t* out) { return false; }
    // Bytes of vertex and index data handed to the GPU since the last reset.
    virtual uint64_t UploadBytes() const { return 0; }
    virtual void ResetCounters() {}
};

// The back ends. GL: makes an OpenGL 3.3 core context on the window; null with the reason on
// stderr (and in *hr) when it cannot.
Backend* CreateGLBackend(SDL_Window* window, const D3DPRESENT_PARAMETERS& params, HRESULT* hr);
Backend* CreateNullBackend();
// The last draw a null back end recorded; false for a GL back end or before
// the first draw.
bool NullLastDraw(Backend* backend, D3D9TestingDraw* out);
// Starts (on) or stops and drops (off) a null back end's log of every draw;
// false for a GL back end.
bool NullRecordDraws(Backend* backend, bool on);
std::vector<D3D9TestingDraw> NullDrawLog(Backend* backend);
// True when devices made from now on use the null back end: the test hook,
// or WINAPI_D3D9_BACKEND=null in the environment.
bool NullBackendChosen();
void ChooseNullBackend(bool on);
// Whether back ends may take drawing shortcuts that leave every pixel as it
// would be without them (on by default; a test hook turns them off to
// compare the pictures). Process-wide, read at every draw.
bool DrawShortcutsAllowed();
void AllowDrawShortcuts(bool on);
// Draws that took a shortcut since the process started, per shortcut (for
// the tests): 0 nearest sampling, 1 blending left off, 2 a frame's first
// draws copied back from the kept prefix (counted once per frame), 3 a draw
// read from the sampled copy.
const int kShortcutPrefixKept = 2;
const int kShortcutSampledCopy = 3;
const int kShortcutKinds = 4;
void CountShortcutDraw(int shortcut);
uint64_t ShortcutDraws(int shortcut);
// While on (a test hook; off by default), draws, clears and presents are
// checked and their state kept, but none reaches the back end: the frames a
// test runs only to reach a state cost no rasterizing. Process-wide.
bool RasterizationSkipped();
void SkipRasterization(bool on);

// ---- the factory object ----
class Direct3D9 final : public winapi::ComObject<IDirect3D9> {
public:
    UINT STDMETHODCALLTYPE GetAdapterCount() override;
    HRESULT STDMETHODCALLTYPE GetAdapterDisplayMode(UINT Adapter, D3DDISPLAYMODE* pMode) override;
    HRESULT STDMETHODCALLTYPE CreateDevice(UINT Adapter, D3DDEVTYPE DeviceType, HWND hFocusWindow, DWORD BehaviorFlags,
                                           D3DPRESENT_PARAMETERS* pPresentationParameters,
                                           IDirect3DDevice9** ppReturnedDeviceInterface) override;
};

// Creates a device on an SDL window (made with SDL_WINDOW_OPENGL for the GL
// back end). `parent` (may be null) gets a reference for the device's lifetime.
HRESULT CreateDeviceOnWindow(IDirect3D9* parent, SDL_Window* window, DWORD behaviorFlags, D3DPRESENT_PARAMETERS* params,
                             IDirect3DDevice9** out);

// The counters of a device of this layer; false for any other object.
bool CountersOf(IDirect3DDevice9* device, DeviceCounters* out);
class Device;
// The device of this layer behind an interface pointer; null for any other.
Device* DeviceOf(IDirect3DDevice9* device);
// Reads back the back buffer; see WinapiTest_ReadBackBuffer.
bool ReadBack(IDirect3DDevice9* device, int x, int y, int w, int h, uint32_t* out);

}  // namespace d3d9
