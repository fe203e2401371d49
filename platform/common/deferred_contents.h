// Texture contents made when they are first needed: a private interface
// between the texture loader (d3dx9/) and the textures of our Direct3D 9
// layer (d3d9/), which may only share this folder.
//
// The loader checks and decodes its file at once (that is what finds a bad
// file), creates the texture and then asks it, through QueryInterface with
// IID_IWinapiDeferredContents, to take a ContentsProducer: the work that
// turns the decoded image into the texture's levels. The texture decides
// when to run it: at once on a device that draws pixels, otherwise the first
// time anything reads or writes its texels. A texture that does not answer
// the interface is filled by the loader at once.
//
// Lifetime: the texture owns the producer from SetContentsProducer on. It
// takes it out of its slot before running it (the producer locks the
// texture, which must not run it again) and frees it afterwards; a texture
// released before anyone needed its contents just frees it. A producer holds
// its own data and no reference to the texture, which it gets as an argument.
#pragma once

#include <d3d9.h>

#include <memory>

namespace winapi {

class ContentsProducer {
public:
    virtual ~ContentsProducer() = default;
    // Writes every level of `texture` through LockRect/UnlockRect.
    virtual HRESULT Produce(IDirect3DTexture9* texture) = 0;
};

}  // namespace winapi

// {6B0F1C52-93A4-4E1D-B7C2-5D8E20A4F3C9}
DEFINE_GUID(IID_IWinapiDeferredContents, 0x6B0F1C52, 0x93A4, 0x4E1D, 0xB7, 0xC2, 0x5D, 0x8E, 0x20, 0xA4, 0xF3, 0xC9);

struct IWinapiDeferredContents : public IUnknown {
    // Takes `producer` (never null). Runs it at once and returns its result
    // when the texture's device draws pixels; otherwise keeps it for the
    // first use of the contents and returns S_OK. D3DERR_INVALIDCALL (and the
    // producer freed) when the texture already has one or was locked before.
    virtual HRESULT STDMETHODCALLTYPE SetContentsProducer(std::unique_ptr<winapi::ContentsProducer> producer) = 0;
};
