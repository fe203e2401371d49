// fuzz_texture.cpp: libFuzzer entry for texture loading, the decoder and the
// mip chain behind D3DXCreateTextureFromFileA, on a CPU-only device. Any
// input must give either an error and no texture or a texture whose every
// level is filled and unlocked; anything else (a crash, a sanitizer report,
// a leak, an allocation past the caps) is a finding.
//
// State: none; each input gets a fresh device.
#include <d3dx9.h>

#include <stdlib.h>

#include "tex_fake_device.h"

namespace {

void Check(bool condition) {
    if (!condition) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fake::Device device{true};
    IDirect3DTexture9* tex = reinterpret_cast<IDirect3DTexture9*>(1);
    HRESULT hr = D3DXCreateTextureFromFileInMemory(&device, data, static_cast<UINT>(size), &tex);
    if (FAILED(hr)) {
        Check(tex == nullptr);
        return 0;
    }
    Check(tex != nullptr && device.created.size() == 1);
    const fake::Texture* made = device.created.back();
    Check(made->level[0].w <= 4096 && made->level[0].h <= 4096);
    Check(static_cast<long long>(made->level[0].w) * made->level[0].h <= 4LL * 1024 * 1024);
    for (const fake::Texture::Level& level : made->level) {
        Check(!level.locked && level.bits.size() == static_cast<size_t>(level.w) * level.h * 4);
    }
    tex->Release();
    return 0;
}
