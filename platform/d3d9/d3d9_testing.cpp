// Test hooks of the Direct3D 9 layer (declared in testing/d3d9_testing.h).
#include "testing/d3d9_testing.h"
#include "d3d9_device.h"

bool WinapiTest_ReadBackBuffer(IDirect3DDevice9* device, int x, int y, int w, int h, uint32_t* out) {
    return device && d3d9::ReadBack(device, x, y, w, h, out);
}

uint64_t WinapiTest_DrawCallCount(IDirect3DDevice9* device) {
    d3d9::DeviceCounters c;
    return device && d3d9::CountersOf(device, &c) ? c.drawCalls : 0;
}

void WinapiTest_RecordDraws(IDirect3DDevice9* device, bool on) {
    if (d3d9::Device* d = d3d9::DeviceOf(device)) d->RecordDraws(on);
}

std::vector<WinapiDrawRecord> WinapiTest_RecordedDraws(IDirect3DDevice9* device) {
    d3d9::Device* d = d3d9::DeviceOf(device);
    return d ? d->RecordedDraws() : std::vector<WinapiDrawRecord>();
}

uint64_t WinapiTest_BufferUploadBytes(IDirect3DDevice9* device) {
    d3d9::DeviceCounters c;
    return device && d3d9::CountersOf(device, &c) ? c.bufferUploadBytes : 0;
}

HRESULT WinapiTest_CreateDeviceForSdlWindow(SDL_Window* window, DWORD behaviorFlags, D3DPRESENT_PARAMETERS* params,
                                            IDirect3DDevice9** device) {
    return d3d9::CreateDeviceOnWindow(nullptr, window, behaviorFlags, params, device);
}

void D3D9Testing_UseNullBackend(bool on) { d3d9::ChooseNullBackend(on); }

bool D3D9Testing_IsNullBackend(IDirect3DDevice9* device) {
    d3d9::Device* d = dynamic_cast<d3d9::Device*>(device);
    return d && !d->GetBackend()->DrawsPixels();
}

bool D3D9Testing_TextureHasCpuCopy(IDirect3DTexture9* texture) {
    d3d9::Texture* t = dynamic_cast<d3d9::Texture*>(texture);
    return t && !t->CpuCopyDropped();
}

unsigned D3D9Testing_LiveObjectCount(void) { return d3d9::LiveObjects(); }

bool D3D9Testing_LastDraw(IDirect3DDevice9* device, D3D9TestingDraw* out) {
    d3d9::Device* d = dynamic_cast<d3d9::Device*>(device);
    return d && out && d3d9::NullLastDraw(d->GetBackend(), out);
}

bool D3D9Testing_RecordDraws(IDirect3DDevice9* device, bool on) {
    d3d9::Device* d = dynamic_cast<d3d9::Device*>(device);
    return d && d3d9::NullRecordDraws(d->GetBackend(), on);
}

std::vector<D3D9TestingDraw> D3D9Testing_DrawLog(IDirect3DDevice9* device) {
    d3d9::Device* d = dynamic_cast<d3d9::Device*>(device);
    return d ? d3d9::NullDrawLog(d->GetBackend()) : std::vector<D3D9TestingDraw>();
}

void D3D9Testing_FailCreation(IDirect3DDevice9* device, D3DRESOURCETYPE type, bool on) {
    d3d9::Device* d = dynamic_cast<d3d9::Device*>(device);
    if (d) d->FailCreation(type, on);
}

size_t D3D9Testing_ContentsJobsPending(IDirect3DDevice9* device) {
    d3d9::Device* d = dynamic_cast<d3d9::Device*>(device);
    return d ? d->ContentsJobsPending() : 0;
}

void D3D9Testing_AllowDrawShortcuts(bool on) { d3d9::AllowDrawShortcuts(on); }
void D3D9Testing_SkipRasterization(bool on) { d3d9::SkipRasterization(on); }
uint64_t D3D9Testing_ShortcutDrawCount(D3D9TestingShortcut shortcut) { return d3d9::ShortcutDraws((int)shortcut); }
