// The COM library calls the game makes: CoInitializeEx, CoUninitialize and
// CoCreateInstance. XAudio2 2.7 is the only class there is.
//
// State: per thread, how many times COM was initialised on it and in which
// concurrency model. The first CoInitializeEx of a thread answers S_OK, every
// further one in the same model S_FALSE, one in the other model
// RPC_E_CHANGED_MODE (not counted); each CoUninitialize undoes one counted
// initialisation, as on Windows. The state lives as long as its thread; when
// the thread ends, so does what SDL (under FAudio) keeps for it.
#include <SDL.h>
#include <xaudio2.h>

#include "xaudio2/xaudio2_internal.h"

namespace {

struct ComThreadState {
    int count = 0;
    DWORD model = 0;
    // SDL keeps per-thread data (its error text) for every thread that calls
    // it, and frees it by itself only for threads SDL started: a thread of the
    // program that used COM, and so the sound engine, gives it back here.
    ~ComThreadState() { SDL_TLSCleanup(); }
};
thread_local ComThreadState t_com;

const DWORD kModelMask = COINIT_APARTMENTTHREADED;
// COINIT_DISABLE_OLE1DDE | COINIT_SPEED_OVER_MEMORY may accompany the model.
const DWORD kKnownFlags = COINIT_APARTMENTTHREADED | 0x4 | 0x8;

}  // namespace

HRESULT WINAPI CoInitializeEx(LPVOID pvReserved, DWORD dwCoInit) {
    if (pvReserved || (dwCoInit & ~kKnownFlags)) return E_INVALIDARG;
    const DWORD model = dwCoInit & kModelMask;
    if (t_com.count > 0) {
        if (t_com.model != model) return RPC_E_CHANGED_MODE;
        ++t_com.count;
        return S_FALSE;
    }
    t_com.count = 1;
    t_com.model = model;
    return S_OK;
}

void WINAPI CoUninitialize(void) {
    if (t_com.count > 0) --t_com.count;
}

HRESULT WINAPI CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext, REFIID riid, LPVOID* ppv) {
    if (!ppv) return E_POINTER;
    *ppv = NULL;
    if (t_com.count <= 0) return CO_E_NOTINITIALIZED;
    if (rclsid != CLSID_XAudio2 && rclsid != CLSID_XAudio2_Debug) return REGDB_E_CLASSNOTREG;
    if (!(dwClsContext & CLSCTX_INPROC_SERVER)) return REGDB_E_CLASSNOTREG;
    if (pUnkOuter) return CLASS_E_NOAGGREGATION;
    if (riid != IID_IXAudio2 && riid != IID_IUnknown) return E_NOINTERFACE;
    IXAudio2* engine = NULL;
    HRESULT hr = winapi::CreateXAudio2Engine(&engine);
    if (FAILED(hr)) return hr;
    hr = engine->QueryInterface(riid, ppv);
    engine->Release();
    return hr;
}
