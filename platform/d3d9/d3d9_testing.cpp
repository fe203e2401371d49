// Test hooks of the Direct3D 9 layer (declared in testing/d3d9_testing.h).
#include "d3d9_private.h"
#include "testing/d3d9_testing.h"

bool WinapiTest_ReadBackBuffer(IDirect3DDevice9* device, int x, int y, int w, int h, uint32_t* out) {
    return device && d3d9::ReadBack(device, x, y, w, h, out);
}

uint64_t WinapiTest_DrawCallCount(IDirect3DDevice9* device) {
    const d3d9::DeviceCounters* c = device ? d3d9::CountersOf(device) : nullptr;
    return c ? c->drawCalls : 0;
}

void WinapiTest_RecordDraws(IDirect3DDevice9* device, bool on) {
    d3d9::DeviceCounters* c = device ? d3d9::CountersOf(device) : nullptr;
    if (!c) return;
    if (on) c->draws.clear();
    c->recordDraws = on;
}

std::vector<WinapiDrawRecord> WinapiTest_RecordedDraws(IDirect3DDevice9* device) {
    const d3d9::DeviceCounters* c = device ? d3d9::CountersOf(device) : nullptr;
    return c ? c->draws : std::vector<WinapiDrawRecord>();
}

uint64_t WinapiTest_BufferUploadBytes(IDirect3DDevice9* device) {
    const d3d9::DeviceCounters* c = device ? d3d9::CountersOf(device) : nullptr;
    return c ? c->bufferUploadBytes : 0;
}

HRESULT WinapiTest_CreateDeviceForSdlWindow(SDL_Window* window, DWORD behaviorFlags,
                                            D3DPRESENT_PARAMETERS* params, IDirect3DDevice9** device) {
    return d3d9::CreateDeviceOnWindow(nullptr, window, behaviorFlags, params, device);
}
