// Texture contents made when they are first needed: a private interface
// between the texture loader (d3dx9/) and the textures of our Direct3D 9
// layer (d3d9/), which may only share this folder.
//
// The loader checks and decodes its file at once (that is what finds a bad
// file), creates the texture and then asks it, through QueryInterface with
// IID_IWinapiDeferredContents, to take a ContentsProducer: the work that
// turns the decoded image into the texture's levels. The texture runs it the
// first time anything reads, writes or draws with its texels. A device that
// draws also starts the producer's Prepare on a background thread at once,
// so that little is left for that first use (and runs it all at once when
// it cannot have the thread). A texture that does not answer the interface
// is filled by the loader at once.
//
// Lifetime: the texture owns the producer from SetContentsProducer on (shared
// with the background thread while that prepares it). It takes it out of its
// slot before running it (the producer locks the texture, which must not run
// it again) and frees it afterwards; a texture released before anyone needed
// its contents just frees it. A producer holds
// its own data and no reference to the texture, which it gets as an argument.
#pragma once

#include <d3d9.h>

#include <memory>

namespace winapi {

class ContentsProducer {
public:
    virtual ~ContentsProducer() = default;
    // The part of the work that needs no texture and no device (for a loaded
    // image: scaling it and making the mip chain). May run on another thread,
    // at most once, and never at the same time as Produce; Produce does it
    // itself when it has not run.
    virtual void Prepare() {}
    // Writes every level of `texture` through LockRect/UnlockRect.
    virtual HRESULT Produce(IDirect3DTexture9* texture) = 0;
};

}  // namespace winapi

// {6B0F1C52-93A4-4E1D-B7C2-5D8E20A4F3C9}
DEFINE_GUID(IID_IWinapiDeferredContents, 0x6B0F1C52, 0x93A4, 0x4E1D, 0xB7, 0xC2, 0x5D, 0x8E, 0x20, 0xA4, 0xF3, 0xC9);

struct IWinapiDeferredContents : public IUnknown {
    // Takes `producer` (never null) and keeps it for the first use of the
    // contents, returning S_OK; a device that draws starts its Prepare on a
    // background thread, or runs it all at once and returns its result when it
    // cannot. D3DERR_INVALIDCALL (and the
    // producer freed) when the texture already has one or was locked before.
    virtual HRESULT STDMETHODCALLTYPE SetContentsProducer(std::unique_ptr<winapi::ContentsProducer> producer) = 0;
};
