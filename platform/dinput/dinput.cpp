// DirectInput 8, the system keyboard only, over the SDL key events that the
// Win32 layer pumps.
//
// State (process-wide, used from the thread that runs the game):
// - the key state: 256 bytes in the DirectInput keyboard format, set and
//   cleared by key events (or by the test hook) as they arrive, so a read
//   sees the keys as they are at that moment;
// - the keyboard focus: the SDL window that has it (from window focus events,
//   seeded from SDL_GetKeyboardFocus), or the test hook's forced answer, and a
//   count of focus losses. Every loss releases all keys: a key let go while
//   the program was in the background must not stay down. Every gain takes
//   the physical keyboard as it is (asked of the X server, or the test
//   hook's stand-in), as DirectInput reads it: a key held all through the
//   change reads as held and makes no new trigger. SDL does not know about
//   such a key and drops its release, so until SDL sees it go down again it
//   is "held by the hardware" and each read asks the hardware once more.
//   Where the hardware cannot be asked (no X11: Wayland, the offscreen
//   driver) every key starts up, and a key held through must be pressed again.
// The listener that feeds this state is installed by the first
// DirectInput8Create and stays for the life of the process. Objects are COM
// reference counted and deleted by their last Release.
#include "common/com_object.h"
#include "common/keymap.h"
#include "common/winapi_internal.h"
#include "testing/dinput_testing.h"

#include <dinput.h>
#include <windows.h>

#include <SDL2/SDL.h>
#include <string.h>

#include <atomic>

namespace winapi {
namespace {

struct KeyboardState {
    BYTE keys[256] = {};
    bool fromHardware[256] = {};  // down by the physical state, unknown to SDL
    bool physicalHooked = false;
    BYTE physical[256] = {};  // the test hook's physical keyboard
    uint32_t focusWindowId = 0;
    bool forced = false;
    bool forcedFocused = false;
    uint64_t focusLosses = 0;
    bool listening = false;
};
KeyboardState g_kb;

void ReleaseAll() {
    memset(g_kb.keys, 0, sizeof(g_kb.keys));
    memset(g_kb.fromHardware, 0, sizeof(g_kb.fromHardware));
}

bool ReadHardware(uint32_t windowId, BYTE out[256]) {
    if (g_kb.physicalHooked) {
        memcpy(out, g_kb.physical, 256);
        return true;
    }
    return ReadPhysicalKeys(SDL_GetWindowFromID(windowId), out);
}

// Focus gained: the keys are what the hardware holds now.
void TakeHardwareKeys(uint32_t windowId) {
    BYTE now[256];
    ReleaseAll();
    if (!ReadHardware(windowId, now)) return;
    for (int k = 0; k < 256; ++k) {
        g_kb.keys[k] = now[k] & 0x80;
        g_kb.fromHardware[k] = (now[k] & 0x80) != 0;
    }
}

// Before a read: a key held through the focus change whose release SDL
// dropped is let go once the hardware says so.
void RecheckHardwareKeys() {
    bool any = false;
    for (int k = 0; k < 256 && !any; ++k) any = g_kb.fromHardware[k];
    BYTE now[256];
    if (!any || !ReadHardware(g_kb.focusWindowId, now)) return;
    for (int k = 0; k < 256; ++k) {
        if (g_kb.fromHardware[k] && !(now[k] & 0x80)) {
            g_kb.keys[k] = 0;
            g_kb.fromHardware[k] = false;
        }
    }
}

void LoseFocus() {
    ++g_kb.focusLosses;
    ReleaseAll();
}

void OnSdlEvent(const SDL_Event& e, void*) {
    switch (e.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
        uint8_t dik = DikFromScancode(e.key.keysym.scancode);
        if (dik) {
            g_kb.keys[dik] = e.type == SDL_KEYDOWN ? 0x80 : 0x00;
            g_kb.fromHardware[dik] = false;
        }
        return;
    }
    case SDL_WINDOWEVENT:
        if (g_kb.forced) return;  // tests decide the focus
        if (e.window.event == SDL_WINDOWEVENT_FOCUS_GAINED) {
            if (g_kb.focusWindowId != 0 && g_kb.focusWindowId != e.window.windowID) LoseFocus();
            g_kb.focusWindowId = e.window.windowID;
            TakeHardwareKeys(e.window.windowID);
        } else if (e.window.event == SDL_WINDOWEVENT_FOCUS_LOST) {
            if (g_kb.focusWindowId == e.window.windowID) {
                g_kb.focusWindowId = 0;
                LoseFocus();
            }
        }
        return;
    default: return;
    }
}

void StartListening() {
    if (g_kb.listening) return;
    g_kb.listening = true;
    if (SDL_WasInit(SDL_INIT_VIDEO)) {
        SDL_Window* focus = SDL_GetKeyboardFocus();
        g_kb.focusWindowId = focus ? SDL_GetWindowID(focus) : 0;
    }
    AddEventListener(OnSdlEvent, nullptr);
}

// The data format a device was given: the only one known is the keyboard's.
bool IsKeyboardFormat(LPCDIDATAFORMAT f) {
    if (f == &c_dfDIKeyboard) return true;
    return f && f->dwSize == c_dfDIKeyboard.dwSize && f->dwObjSize == c_dfDIKeyboard.dwObjSize &&
           f->dwDataSize == c_dfDIKeyboard.dwDataSize && f->dwNumObjs == c_dfDIKeyboard.dwNumObjs && f->rgodf &&
           memcmp(f->rgodf, c_dfDIKeyboard.rgodf, sizeof(DIOBJECTDATAFORMAT) * f->dwNumObjs) == 0;
}

class Keyboard final : public ComObject<IDirectInputDevice8A, std::atomic<ULONG>> {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        return AnswerQuery(riid, ppv, {&IID_IDirectInputDevice8A});
    }

    HRESULT STDMETHODCALLTYPE SetDataFormat(LPCDIDATAFORMAT lpdf) override {
        if (acquired_) return DIERR_ACQUIRED;
        if (!IsKeyboardFormat(lpdf)) return DIERR_INVALIDPARAM;
        formatSet_ = true;
        return DI_OK;
    }

    HRESULT STDMETHODCALLTYPE SetCooperativeLevel(HWND hwnd, DWORD dwFlags) override {
        if (acquired_) return DIERR_ACQUIRED;
        const DWORD known = DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE | DISCL_FOREGROUND | DISCL_BACKGROUND | DISCL_NOWINKEY;
        bool exclusive = (dwFlags & DISCL_EXCLUSIVE) != 0, nonexclusive = (dwFlags & DISCL_NONEXCLUSIVE) != 0;
        bool foreground = (dwFlags & DISCL_FOREGROUND) != 0, background = (dwFlags & DISCL_BACKGROUND) != 0;
        // Exactly one of each pair, and nothing unknown.
        if ((dwFlags & ~known) || exclusive == nonexclusive || foreground == background) return DIERR_INVALIDPARAM;
        if ((dwFlags & DISCL_NOWINKEY) && background) return DIERR_INVALIDPARAM;
        if (exclusive && background) return DIERR_UNSUPPORTED;  // not for keyboards
        // A foreground or exclusive device needs a window of this program to
        // follow; a background one may have none.
        if (hwnd ? !SdlWindowFromHwnd(hwnd) : (foreground || exclusive)) return E_HANDLE;
        hwnd_ = hwnd;
        foreground_ = foreground;
        return DI_OK;
    }

    HRESULT STDMETHODCALLTYPE Acquire() override {
        if (!formatSet_) return DIERR_INVALIDPARAM;
        if (!HasFocus()) return DIERR_OTHERAPPHASPRIO;
        if (acquired_ && lossesAtAcquire_ == g_kb.focusLosses) return S_FALSE;  // already acquired
        acquired_ = true;
        lossesAtAcquire_ = g_kb.focusLosses;
        return DI_OK;
    }

    HRESULT STDMETHODCALLTYPE Unacquire() override {
        if (!acquired_) return DI_NOEFFECT;
        acquired_ = false;
        return DI_OK;
    }

    HRESULT STDMETHODCALLTYPE GetDeviceState(DWORD cbData, LPVOID lpvData) override {
        if (!lpvData || !formatSet_ || cbData != c_dfDIKeyboard.dwDataSize) return DIERR_INVALIDPARAM;
        if (!acquired_) return DIERR_NOTACQUIRED;
        // Focus lost since Acquire (even if it came back): the device is gone
        // until acquired again.
        if (!HasFocus() || lossesAtAcquire_ != g_kb.focusLosses) {
            acquired_ = false;
            return DIERR_INPUTLOST;
        }
        if (!g_kb.forced) RecheckHardwareKeys();
        memcpy(lpvData, g_kb.keys, sizeof(g_kb.keys));
        return DI_OK;
    }

private:
    ~Keyboard() = default;

    bool HasFocus() const {
        if (!foreground_) return true;  // background devices always read
        if (g_kb.forced) return g_kb.forcedFocused;
        SDL_Window* w = SdlWindowFromHwnd(hwnd_);
        return w && g_kb.focusWindowId != 0 && SDL_GetWindowID(w) == g_kb.focusWindowId;
    }

    bool formatSet_ = false;
    bool acquired_ = false;
    bool foreground_ = false;  // no cooperative level set: background, non-exclusive
    HWND hwnd_ = nullptr;
    uint64_t lossesAtAcquire_ = 0;
};

class DirectInput final : public ComObject<IDirectInput8A, std::atomic<ULONG>> {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        return AnswerQuery(riid, ppv, {&IID_IDirectInput8A});
    }

    HRESULT STDMETHODCALLTYPE CreateDevice(REFGUID rguid, LPDIRECTINPUTDEVICE8A* lplpDirectInputDevice,
                                           LPUNKNOWN pUnkOuter) override {
        if (!lplpDirectInputDevice) return DIERR_INVALIDPARAM;
        *lplpDirectInputDevice = nullptr;
        if (pUnkOuter) return DIERR_NOAGGREGATION;
        if (rguid != GUID_SysKeyboard) return DIERR_DEVICENOTREG;  // the keyboard is the only device here
        *lplpDirectInputDevice = new Keyboard();
        return DI_OK;
    }

private:
    ~DirectInput() = default;
};

// The objects of the predefined keyboard format: one optional button
// (DIDFT_OPTIONAL | DIDFT_BUTTON | instance) per key. Built at compile time,
// so the format is complete before any code runs.
struct KeyboardObjects {
    DIOBJECTDATAFORMAT items[256];
};

constexpr KeyboardObjects MakeKeyboardObjects() {
    KeyboardObjects o{};
    for (DWORD i = 0; i < 256; ++i) o.items[i] = DIOBJECTDATAFORMAT{&GUID_Key, i, 0x80000000u | (i << 8) | 0x0Cu, 0};
    return o;
}

KeyboardObjects g_keyboardObjects = MakeKeyboardObjects();

}  // namespace
}  // namespace winapi

extern "C" const DIDATAFORMAT c_dfDIKeyboard = {
    sizeof(DIDATAFORMAT), sizeof(DIOBJECTDATAFORMAT), DIDF_RELAXIS, 256, 256, winapi::g_keyboardObjects.items};

extern "C" HRESULT WINAPI DirectInput8Create(HINSTANCE hinst, DWORD dwVersion, REFIID riidltf, LPVOID* ppvOut,
                                             LPUNKNOWN punkOuter) {
    (void)hinst;  // any instance will do: nothing is loaded from it
    if (!ppvOut) return DIERR_INVALIDPARAM;
    *ppvOut = nullptr;
    if (dwVersion < 0x0800) return DIERR_OLDDIRECTINPUTVERSION;
    if (dwVersion > 0x0800) return DIERR_BETADIRECTINPUTVERSION;
    if (riidltf != IID_IDirectInput8A) return E_NOINTERFACE;
    if (punkOuter) return DIERR_NOAGGREGATION;
    winapi::StartListening();
    *ppvOut = static_cast<IDirectInput8A*>(new winapi::DirectInput());
    return DI_OK;
}

void WinapiTest_SetKey(BYTE dik, bool down) { winapi::g_kb.keys[dik] = down ? 0x80 : 0x00; }

void WinapiTest_ReleaseAllKeys() { winapi::ReleaseAll(); }

void WinapiTest_SetPhysicalKeys(const BYTE* keys) {
    winapi::g_kb.physicalHooked = keys != nullptr;
    if (keys) memcpy(winapi::g_kb.physical, keys, 256);
}

void WinapiTest_ForceKeyboardFocus(bool forced, bool focused) {
    if (forced && !focused) winapi::LoseFocus();
    winapi::g_kb.forced = forced;
    winapi::g_kb.forcedFocused = focused;
}
