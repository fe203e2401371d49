// The Direct3D 9 device: the front end of one window's drawing.
//
// State: the shadow state (State, d3d9_state.h), the dirty groups and uniform
// group versions a back end reads, the derived matrices and lights, the
// device's counters, its back end (GL or null, chosen at creation) and the
// worker that prepares texture contents in the background (made when first
// needed, joined when the device goes).
// Lifetime: from CreateDevice until the last Release (see d3d9_private.h for
// how resources keep it alive); the back end is destroyed with it, after the
// resources still bound have gone.
//
// Calls are checked here and keep all of Direct3D's results whichever back
// end draws; the back end is reached only while the window is alive.
#pragma once

#include <memory>
#include <vector>

#include "d3d9_state.h"
#include "testing/d3d9_testing.h"

namespace d3d9 {

class ContentsWorker;  // d3d9_contents.h
struct ContentsJob;

class Device final : public winapi::ComObject<IDirect3DDevice9> {
public:
    // Takes ownership of `backend`.
    Device(IDirect3D9* parent, SDL_Window* window, Backend* backend, const D3DPRESENT_PARAMETERS& params);

    // IDirect3DDevice9
    HRESULT STDMETHODCALLTYPE TestCooperativeLevel() override;
    HRESULT STDMETHODCALLTYPE Present(CONST RECT* pSourceRect, CONST RECT* pDestRect, HWND hDestWindowOverride,
                                      CONST RGNDATA* pDirtyRegion) override;
    HRESULT STDMETHODCALLTYPE CreateTexture(UINT Width, UINT Height, UINT Levels, DWORD Usage, D3DFORMAT Format,
                                            D3DPOOL Pool, IDirect3DTexture9** ppTexture,
                                            HANDLE* pSharedHandle) override;
    HRESULT STDMETHODCALLTYPE CreateVertexBuffer(UINT Length, DWORD Usage, DWORD FVF, D3DPOOL Pool,
                                                 IDirect3DVertexBuffer9** ppVertexBuffer,
                                                 HANDLE* pSharedHandle) override;
    HRESULT STDMETHODCALLTYPE CreateIndexBuffer(UINT Length, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                                                IDirect3DIndexBuffer9** ppIndexBuffer, HANDLE* pSharedHandle) override;
    HRESULT STDMETHODCALLTYPE BeginScene() override;
    HRESULT STDMETHODCALLTYPE EndScene() override;
    HRESULT STDMETHODCALLTYPE Clear(DWORD Count, CONST D3DRECT* pRects, DWORD Flags, D3DCOLOR Color, float Z,
                                    DWORD Stencil) override;
    HRESULT STDMETHODCALLTYPE SetTransform(D3DTRANSFORMSTATETYPE State, CONST D3DMATRIX* pMatrix) override;
    HRESULT STDMETHODCALLTYPE GetTransform(D3DTRANSFORMSTATETYPE State, D3DMATRIX* pMatrix) override;
    HRESULT STDMETHODCALLTYPE SetViewport(CONST D3DVIEWPORT9* pViewport) override;
    HRESULT STDMETHODCALLTYPE GetViewport(D3DVIEWPORT9* pViewport) override;
    HRESULT STDMETHODCALLTYPE SetMaterial(CONST D3DMATERIAL9* pMaterial) override;
    HRESULT STDMETHODCALLTYPE GetMaterial(D3DMATERIAL9* pMaterial) override;
    HRESULT STDMETHODCALLTYPE SetLight(DWORD Index, CONST D3DLIGHT9* pLight) override;
    HRESULT STDMETHODCALLTYPE GetLight(DWORD Index, D3DLIGHT9* pLight) override;
    HRESULT STDMETHODCALLTYPE LightEnable(DWORD Index, BOOL Enable) override;
    HRESULT STDMETHODCALLTYPE SetRenderState(D3DRENDERSTATETYPE State, DWORD Value) override;
    HRESULT STDMETHODCALLTYPE GetRenderState(D3DRENDERSTATETYPE State, DWORD* pValue) override;
    HRESULT STDMETHODCALLTYPE GetTexture(DWORD Stage, IDirect3DBaseTexture9** ppTexture) override;
    HRESULT STDMETHODCALLTYPE SetTexture(DWORD Stage, IDirect3DBaseTexture9* pTexture) override;
    HRESULT STDMETHODCALLTYPE GetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD* pValue) override;
    HRESULT STDMETHODCALLTYPE SetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD Value) override;
    HRESULT STDMETHODCALLTYPE GetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD* pValue) override;
    HRESULT STDMETHODCALLTYPE SetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD Value) override;
    HRESULT STDMETHODCALLTYPE DrawPrimitive(D3DPRIMITIVETYPE PrimitiveType, UINT StartVertex,
                                            UINT PrimitiveCount) override;
    HRESULT STDMETHODCALLTYPE DrawIndexedPrimitive(D3DPRIMITIVETYPE PrimitiveType, INT BaseVertexIndex,
                                                   UINT MinVertexIndex, UINT NumVertices, UINT startIndex,
                                                   UINT primCount) override;
    HRESULT STDMETHODCALLTYPE DrawPrimitiveUP(D3DPRIMITIVETYPE PrimitiveType, UINT PrimitiveCount,
                                              CONST void* pVertexStreamZeroData, UINT VertexStreamZeroStride) override;
    HRESULT STDMETHODCALLTYPE DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE PrimitiveType, UINT MinVertexIndex,
                                                     UINT NumVertices, UINT PrimitiveCount, CONST void* pIndexData,
                                                     D3DFORMAT IndexDataFormat, CONST void* pVertexStreamZeroData,
                                                     UINT VertexStreamZeroStride) override;
    HRESULT STDMETHODCALLTYPE SetFVF(DWORD FVF) override;
    HRESULT STDMETHODCALLTYPE GetFVF(DWORD* pFVF) override;
    HRESULT STDMETHODCALLTYPE SetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer9* pStreamData,
                                              UINT OffsetInBytes, UINT Stride) override;
    HRESULT STDMETHODCALLTYPE SetIndices(IDirect3DIndexBuffer9* pIndexData) override;

    // ---- for the resources and the test hooks ----
    // Makes the back end current; false once the window has been destroyed
    // (the back end is then left alone, CPU copies keep working).
    bool Activate();
    DeviceCounters Counters() const;
    void ResetCounters();
    // The draw record of the test hooks: on clears it and starts recording.
    void RecordDraws(bool on);
    const std::vector<WinapiDrawRecord>& RecordedDraws() const { return m_draws; }
    bool ReadBackBuffer(int x, int y, int w, int h, uint32_t* out);
    Backend* GetBackend() { return m_backend; }
    // A resource's back-end copy is no longer wanted / was written.
    void ReleaseBackendCopy(BufferStore& store);
    void ReleaseBackendCopy(Texture& texture);
    void TextureWritten(Texture& texture, UINT level, const RECT& area);
    void TextureMipsFromTop(Texture& texture);
    bool ReadBackendTexture(Texture& texture, UINT level, uint8_t* out);
    void TextureFilled(Texture& texture);
    // While on, creating resources of this type fails as when out of memory.
    void FailCreation(D3DRESOURCETYPE type, bool on);
    // Texture contents prepared in the background (d3d9_contents.h): queues
    // the job (false when no thread can be had); takes it back; counts those
    // queued or running.
    bool QueueContentsJob(const std::shared_ptr<ContentsJob>& job);
    void TakeContentsJob(ContentsJob* job);
    size_t ContentsJobsPending();

private:
    ~Device() override;

    void ResetBindings();
    bool CreationFails(D3DRESOURCETYPE type) const { return (m_failCreation >> type) & 1; }
    void Touch(int group) { m_groupVersion[group] = ++m_versionCounter; }
    // Hands a checked draw to the back end with the state it is made in.
    bool Submit(const DrawCall& call);
    // Direct3D clears the stream binding that a user-pointer draw replaces.
    void FinishUpDraw();

    IDirect3D9* m_parent;
    SDL_Window* m_window;
    uint32_t m_windowId;
    bool m_windowGone = false;
    Backend* m_backend;
    uint64_t m_drawCalls = 0;
    bool m_recordDraws = false;
    std::vector<WinapiDrawRecord> m_draws;  // while m_recordDraws
    D3DPRESENT_PARAMETERS m_params;
    int m_bbWidth, m_bbHeight;
    bool m_hasDepth, m_hasStencil;
    bool m_inScene = false;
    uint32_t m_failCreation = 0;  // bit per D3DRESOURCETYPE (test hook)

    State m_state;
    uint32_t m_dirty = kDirtyAll;
    uint64_t m_versionCounter = 1;
    uint64_t m_groupVersion[kUniformGroups] = {1, 1, 1, 1};
    Derived m_derived;
    std::unique_ptr<ContentsWorker> m_contentsWorker;  // made with the first job
};

}  // namespace d3d9
