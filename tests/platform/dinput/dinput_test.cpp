// DirectInput 8 keyboard: creation and its checks, the data format and
// cooperative level rules, reading the key state, the scancode table, and
// losing and regaining the keyboard focus.
#include <dinput.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <SDL2/SDL.h>
#include <stdlib.h>
#include <string.h>

#include <map>
#include <vector>

#include "ci_skip.h"
#include "dinput_testing.h"
#include "platform/common/keymap.h"
#include "platform/common/winapi_internal.h"
#include "sdl_events.h"
#include "test_device.h"
#include "win32_testing.h"

namespace {

const bool g_driverChosen = [] {
    if (!getenv("SDL_VIDEODRIVER") && !getenv("DISPLAY") && !getenv("WAYLAND_DISPLAY"))
        setenv("SDL_VIDEODRIVER", "offscreen", 1);
    return true;
}();

struct HINSTANCE__ g_instance;

IDirectInput8A* MakeInput() {
    void* p = nullptr;
    EXPECT_EQ(DirectInput8Create(&g_instance, DIRECTINPUT_VERSION, IID_IDirectInput8A, &p, NULL), DI_OK);
    return (IDirectInput8A*)p;
}

IDirectInputDevice8A* MakeKeyboard(IDirectInput8A* di) {
    IDirectInputDevice8A* dev = nullptr;
    EXPECT_EQ(di->CreateDevice(GUID_SysKeyboard, &dev, NULL), DI_OK);
    return dev;
}

// A keyboard read at any time, for any window.
IDirectInputDevice8A* BackgroundKeyboard(IDirectInput8A* di) {
    IDirectInputDevice8A* dev = MakeKeyboard(di);
    EXPECT_EQ(dev->SetDataFormat(&c_dfDIKeyboard), DI_OK);
    EXPECT_EQ(dev->SetCooperativeLevel(NULL, DISCL_BACKGROUND | DISCL_NONEXCLUSIVE), DI_OK);
    EXPECT_EQ(dev->Acquire(), DI_OK);
    return dev;
}

std::vector<BYTE> Read(IDirectInputDevice8A* dev, HRESULT expect = DI_OK) {
    std::vector<BYTE> keys(256, 0x55);
    EXPECT_EQ(dev->GetDeviceState(256, keys.data()), expect);
    return keys;
}

std::vector<int> Down(const std::vector<BYTE>& keys) {
    std::vector<int> down;
    for (int i = 0; i < 256; ++i)
        if (keys[i] & 0x80) down.push_back(i);
    return down;
}

void PushFocus(uint32_t id, bool gained) {
    testsupport::PushSdlWindowEvent(id, gained ? SDL_WINDOWEVENT_FOCUS_GAINED : SDL_WINDOWEVENT_FOCUS_LOST);
}

// Lets the Win32 pump hand the pushed events to the keyboard.
void Pump() {
    MSG m;
    while (PeekMessageA(&m, NULL, 0, 0, PM_REMOVE)) {
    }
}

void StartEvents() {
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_EVENTS), 0);
    Pump();
}

}  // namespace

// ---- creation ----

TEST(DirectInputCreate, ChecksVersionAndInterface) {
    void* p = (void*)1;
    EXPECT_EQ(DirectInput8Create(&g_instance, 0x0700, IID_IDirectInput8A, &p, NULL), DIERR_OLDDIRECTINPUTVERSION);
    EXPECT_EQ(p, nullptr);
    EXPECT_EQ(DirectInput8Create(&g_instance, 0x0900, IID_IDirectInput8A, &p, NULL), DIERR_BETADIRECTINPUTVERSION);
    EXPECT_EQ(DirectInput8Create(&g_instance, 0x0800, IID_IDirectInputDevice8A, &p, NULL), E_NOINTERFACE);
    EXPECT_EQ(p, nullptr);
    EXPECT_EQ(DirectInput8Create(&g_instance, 0x0800, IID_IDirectInput8A, NULL, NULL), DIERR_INVALIDPARAM);

    IDirectInput8A* di = MakeInput();
    ASSERT_NE(di, nullptr);
    void* unknown = nullptr;
    EXPECT_EQ(di->QueryInterface(IID_IUnknown, &unknown), S_OK);
    EXPECT_EQ(unknown, (void*)static_cast<IUnknown*>(di));
    EXPECT_EQ(di->Release(), 1u);
    EXPECT_EQ(di->Release(), 0u);
}

TEST(DirectInputCreate, TheSystemKeyboardIsTheOnlyDevice) {
    IDirectInput8A* di = MakeInput();
    IDirectInputDevice8A* dev = (IDirectInputDevice8A*)1;
    EXPECT_EQ(di->CreateDevice(GUID_SysMouse, &dev, NULL), DIERR_DEVICENOTREG);
    EXPECT_EQ(dev, nullptr);
    EXPECT_EQ(di->CreateDevice(GUID_SysKeyboard, NULL, NULL), DIERR_INVALIDPARAM);
    ASSERT_EQ(di->CreateDevice(GUID_SysKeyboard, &dev, NULL), DI_OK);
    ASSERT_NE(dev, nullptr);
    EXPECT_EQ(dev->Release(), 0u);
    di->Release();
}

TEST(DirectInputDevice, DataFormatAndCooperativeLevelAreChecked) {
    EXPECT_EQ(c_dfDIKeyboard.dwDataSize, 256u);
    EXPECT_EQ(c_dfDIKeyboard.dwNumObjs, 256u);
    EXPECT_EQ(c_dfDIKeyboard.dwSize, (DWORD)sizeof(DIDATAFORMAT));

    IDirectInput8A* di = MakeInput();
    IDirectInputDevice8A* dev = MakeKeyboard(di);
    DIDATAFORMAT mouseLike = c_dfDIKeyboard;
    mouseLike.dwDataSize = 16;
    mouseLike.dwNumObjs = 7;
    EXPECT_EQ(dev->SetDataFormat(&mouseLike), DIERR_INVALIDPARAM);
    EXPECT_EQ(dev->SetDataFormat(NULL), DIERR_INVALIDPARAM);
    DIDATAFORMAT copy = c_dfDIKeyboard;  // the same format by value is the same format
    EXPECT_EQ(dev->SetDataFormat(&copy), DI_OK);
    EXPECT_EQ(dev->SetDataFormat(&c_dfDIKeyboard), DI_OK);

    EXPECT_EQ(dev->SetCooperativeLevel(NULL, 0), DIERR_INVALIDPARAM);
    EXPECT_EQ(dev->SetCooperativeLevel(NULL, DISCL_FOREGROUND | DISCL_BACKGROUND | DISCL_NONEXCLUSIVE),
              DIERR_INVALIDPARAM);
    EXPECT_EQ(dev->SetCooperativeLevel(NULL, DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE | DISCL_BACKGROUND),
              DIERR_INVALIDPARAM);
    EXPECT_EQ(dev->SetCooperativeLevel(NULL, DISCL_NONEXCLUSIVE), DIERR_INVALIDPARAM);
    EXPECT_EQ(dev->SetCooperativeLevel(NULL, DISCL_BACKGROUND | DISCL_NONEXCLUSIVE | 0x100), DIERR_INVALIDPARAM);
    EXPECT_EQ(dev->SetCooperativeLevel(NULL, DISCL_EXCLUSIVE | DISCL_BACKGROUND), DIERR_UNSUPPORTED);
    // A foreground device follows a window: it needs a real one.
    EXPECT_EQ(dev->SetCooperativeLevel(NULL, DISCL_FOREGROUND | DISCL_NONEXCLUSIVE), E_HANDLE);
    EXPECT_EQ(dev->SetCooperativeLevel((HWND)(uintptr_t)0x999, DISCL_FOREGROUND | DISCL_NONEXCLUSIVE), E_HANDLE);
    EXPECT_EQ(dev->SetCooperativeLevel(NULL, DISCL_BACKGROUND | DISCL_NONEXCLUSIVE), DI_OK);

    EXPECT_EQ(dev->Acquire(), DI_OK);
    EXPECT_EQ(dev->SetDataFormat(&c_dfDIKeyboard), DIERR_ACQUIRED);
    EXPECT_EQ(dev->SetCooperativeLevel(NULL, DISCL_BACKGROUND | DISCL_NONEXCLUSIVE), DIERR_ACQUIRED);
    dev->Release();
    di->Release();
}

TEST(DirectInputDevice, ReadsNeedFormatSizeAndAcquisition) {
    IDirectInput8A* di = MakeInput();
    IDirectInputDevice8A* dev = MakeKeyboard(di);
    BYTE keys[256];
    EXPECT_EQ(dev->Acquire(), DIERR_INVALIDPARAM);  // no data format yet
    EXPECT_EQ(dev->GetDeviceState(256, keys), DIERR_INVALIDPARAM);
    ASSERT_EQ(dev->SetDataFormat(&c_dfDIKeyboard), DI_OK);
    EXPECT_EQ(dev->GetDeviceState(256, keys), DIERR_NOTACQUIRED);
    EXPECT_EQ(dev->Acquire(), DI_OK);
    EXPECT_EQ(dev->Acquire(), S_FALSE);  // already acquired
    EXPECT_EQ(dev->GetDeviceState(255, keys), DIERR_INVALIDPARAM);
    EXPECT_EQ(dev->GetDeviceState(256, NULL), DIERR_INVALIDPARAM);
    WinapiTest_ReleaseAllKeys();
    EXPECT_TRUE(Down(Read(dev)).empty());
    EXPECT_EQ(dev->Unacquire(), DI_OK);
    EXPECT_EQ(dev->Unacquire(), DI_NOEFFECT);
    EXPECT_EQ(dev->GetDeviceState(256, keys), DIERR_NOTACQUIRED);
    dev->Release();
    di->Release();
}

// ---- key state ----

TEST(DirectInputKeys, HookedKeysShowAtTheMomentOfTheRead) {
    IDirectInput8A* di = MakeInput();
    IDirectInputDevice8A* dev = BackgroundKeyboard(di);
    WinapiTest_ReleaseAllKeys();
    WinapiTest_SetKey(DIK_SPACE, true);
    WinapiTest_SetKey(DIK_UP, true);
    std::vector<BYTE> keys = Read(dev);
    EXPECT_EQ(keys[DIK_SPACE], 0x80);
    EXPECT_EQ(Down(keys), (std::vector<int>{DIK_SPACE, DIK_UP}));
    WinapiTest_SetKey(DIK_SPACE, false);
    EXPECT_EQ(Down(Read(dev)), (std::vector<int>{DIK_UP}));
    WinapiTest_ReleaseAllKeys();
    EXPECT_TRUE(Down(Read(dev)).empty());
    dev->Release();
    di->Release();
}

TEST(DirectInputKeys, KeyEventsFromThePumpSetAndClearKeys) {
    StartEvents();
    IDirectInput8A* di = MakeInput();
    IDirectInputDevice8A* dev = BackgroundKeyboard(di);
    WinapiTest_ReleaseAllKeys();

    testsupport::PushSdlKey(0, true, SDL_SCANCODE_W);
    Pump();
    EXPECT_EQ(Down(Read(dev)), (std::vector<int>{DIK_W}));
    testsupport::PushSdlKey(0, false, SDL_SCANCODE_W);
    Pump();
    EXPECT_TRUE(Down(Read(dev)).empty());

    // Pressed and let go between two reads: not seen at all.
    testsupport::PushSdlKey(0, true, SDL_SCANCODE_D);
    testsupport::PushSdlKey(0, false, SDL_SCANCODE_D);
    Pump();
    EXPECT_TRUE(Down(Read(dev)).empty());
    dev->Release();
    di->Release();
}

TEST(DirectInputKeys, ScancodesBecomeDirectInputCodes) {
    StartEvents();
    IDirectInput8A* di = MakeInput();
    IDirectInputDevice8A* dev = BackgroundKeyboard(di);
    WinapiTest_ReleaseAllKeys();
    const std::map<SDL_Scancode, int> sample = {
        {SDL_SCANCODE_A, 0x1E},           {SDL_SCANCODE_UP, 0xC8},       {SDL_SCANCODE_RCTRL, 0x9D},
        {SDL_SCANCODE_KP_ENTER, 0x9C},    {SDL_SCANCODE_SPACE, 0x39},    {SDL_SCANCODE_ESCAPE, 0x01},
        {SDL_SCANCODE_W, 0x11},           {SDL_SCANCODE_S, 0x1F},        {SDL_SCANCODE_D, 0x20},
        {SDL_SCANCODE_C, 0x2E},           {SDL_SCANCODE_DOWN, 0xD0},     {SDL_SCANCODE_LEFT, 0xCB},
        {SDL_SCANCODE_RIGHT, 0xCD},       {SDL_SCANCODE_RALT, 0xB8},     {SDL_SCANCODE_KP_DIVIDE, 0xB5},
        {SDL_SCANCODE_HOME, 0xC7},        {SDL_SCANCODE_DELETE, 0xD3},   {SDL_SCANCODE_LGUI, 0xDB},
        {SDL_SCANCODE_APPLICATION, 0xDD}, {SDL_SCANCODE_F11, 0x57},      {SDL_SCANCODE_1, 0x02},
        {SDL_SCANCODE_0, 0x0B},           {SDL_SCANCODE_KP_0, 0x52},     {SDL_SCANCODE_LSHIFT, 0x2A},
        {SDL_SCANCODE_RSHIFT, 0x36},      {SDL_SCANCODE_PAGEDOWN, 0xD1}, {SDL_SCANCODE_PRINTSCREEN, 0xB7},
    };
    for (const auto& entry : sample) {
        testsupport::PushSdlKey(0, true, entry.first);
        Pump();
        EXPECT_EQ(Down(Read(dev)), (std::vector<int>{entry.second})) << SDL_GetScancodeName(entry.first);
        testsupport::PushSdlKey(0, false, entry.first);
        Pump();
        EXPECT_TRUE(Down(Read(dev)).empty()) << SDL_GetScancodeName(entry.first);
    }
    dev->Release();
    di->Release();
}

TEST(DirectInputKeymap, EveryKeyOfAFullKeyboardHasItsOwnCode) {
    std::vector<int> keys;
    for (int sc = SDL_SCANCODE_A; sc <= SDL_SCANCODE_KP_PERIOD; ++sc)
        keys.push_back(sc);  // main block, F1-F12, nav, keypad
    for (int sc = SDL_SCANCODE_LCTRL; sc <= SDL_SCANCODE_RGUI; ++sc) keys.push_back(sc);  // modifiers
    keys.push_back(SDL_SCANCODE_NONUSBACKSLASH);
    keys.push_back(SDL_SCANCODE_APPLICATION);
    keys.push_back(SDL_SCANCODE_INTERNATIONAL1);
    keys.push_back(SDL_SCANCODE_INTERNATIONAL3);
    keys.push_back(SDL_SCANCODE_INTERNATIONAL4);
    keys.push_back(SDL_SCANCODE_INTERNATIONAL5);
    std::map<int, int> owner;  // DIK code -> scancode
    for (int sc : keys) {
        if (sc == SDL_SCANCODE_NONUSHASH) continue;  // shares the backslash position
        uint8_t dik = winapi::DikFromScancode(sc);
        EXPECT_NE(dik, 0) << SDL_GetScancodeName((SDL_Scancode)sc);
        auto clash = owner.find(dik);
        EXPECT_TRUE(clash == owner.end())
            << SDL_GetScancodeName((SDL_Scancode)sc) << " and " << SDL_GetScancodeName((SDL_Scancode)clash->second);
        owner[dik] = sc;
    }
    // Extended keys carry the 0x80 bit; their plain twins do not.
    EXPECT_EQ(winapi::DikFromScancode(SDL_SCANCODE_KP_ENTER), winapi::DikFromScancode(SDL_SCANCODE_RETURN) | 0x80);
    EXPECT_EQ(winapi::DikFromScancode(SDL_SCANCODE_RCTRL), winapi::DikFromScancode(SDL_SCANCODE_LCTRL) | 0x80);
    EXPECT_EQ(winapi::DikFromScancode(SDL_SCANCODE_UP), winapi::DikFromScancode(SDL_SCANCODE_KP_8) | 0x80);
    EXPECT_EQ(winapi::DikFromScancode(SDL_SCANCODE_UNKNOWN), 0);
}

// ---- focus ----

namespace {

class ForegroundKeyboard : public ::testing::Test {
protected:
    void SetUp() override {
        if (!winapi::EnsureVideo()) SKIP_OR_FAIL_IN_CI() << "no video driver";
        // Hidden windows: only the focus events a test pushes reach them.
        window_ = testsupport::MakePlainWindow("k", 0x00CA0000, 0, 0, 200, 100);
        other_ = testsupport::MakePlainWindow("o", 0x00CA0000, 0, 0, 200, 100);
        ASSERT_NE(window_, nullptr);
        ASSERT_NE(other_, nullptr);
        Pump();
        di_ = MakeInput();
        dev_ = MakeKeyboard(di_);
        ASSERT_EQ(dev_->SetDataFormat(&c_dfDIKeyboard), DI_OK);
        ASSERT_EQ(dev_->SetCooperativeLevel(window_, DISCL_FOREGROUND | DISCL_NONEXCLUSIVE), DI_OK);
        WinapiTest_ReleaseAllKeys();
    }
    void TearDown() override {
        WinapiTest_ForceKeyboardFocus(false, false);
        WinapiTest_SetPhysicalKeys(nullptr);
        if (dev_) dev_->Release();
        if (di_) di_->Release();
        if (window_) DestroyWindow(window_);
        if (other_) DestroyWindow(other_);
    }
    uint32_t Id(HWND h) { return SDL_GetWindowID(winapi::SdlWindowFromHwnd(h)); }

    HWND window_ = nullptr, other_ = nullptr;
    IDirectInput8A* di_ = nullptr;
    IDirectInputDevice8A* dev_ = nullptr;
};

}  // namespace

TEST_F(ForegroundKeyboard, ForcedFocusLossFailsUntilAcquiredAgain) {
    WinapiTest_ForceKeyboardFocus(true, true);
    ASSERT_EQ(dev_->Acquire(), DI_OK);
    WinapiTest_SetKey(DIK_DOWN, true);
    EXPECT_EQ(Down(Read(dev_)), (std::vector<int>{DIK_DOWN}));

    WinapiTest_ForceKeyboardFocus(true, false);
    Read(dev_, DIERR_INPUTLOST);
    Read(dev_, DIERR_NOTACQUIRED);  // lost once, then simply not acquired
    EXPECT_EQ(dev_->Acquire(), DIERR_OTHERAPPHASPRIO);
    EXPECT_EQ(dev_->Acquire(), DIERR_OTHERAPPHASPRIO);

    WinapiTest_ForceKeyboardFocus(true, true);
    Read(dev_, DIERR_NOTACQUIRED);
    ASSERT_EQ(dev_->Acquire(), DI_OK);
    EXPECT_TRUE(Down(Read(dev_)).empty());  // the key held before the loss is not stuck
}

TEST_F(ForegroundKeyboard, FollowsTheWindowsFocusEvents) {
    PushFocus(Id(window_), true);
    Pump();
    ASSERT_EQ(dev_->Acquire(), DI_OK);
    testsupport::PushSdlKey(Id(window_), true, SDL_SCANCODE_LEFT);
    Pump();
    EXPECT_EQ(Down(Read(dev_)), (std::vector<int>{DIK_LEFT}));

    PushFocus(Id(window_), false);
    Pump();
    Read(dev_, DIERR_INPUTLOST);
    EXPECT_EQ(dev_->Acquire(), DIERR_OTHERAPPHASPRIO);

    PushFocus(Id(other_), true);  // another window of ours has the keyboard: still no input
    Pump();
    EXPECT_EQ(dev_->Acquire(), DIERR_OTHERAPPHASPRIO);
    PushFocus(Id(other_), false);
    PushFocus(Id(window_), true);
    Pump();
    ASSERT_EQ(dev_->Acquire(), DI_OK);
    EXPECT_TRUE(Down(Read(dev_)).empty());  // Left was let go while the window was in the background
}

TEST_F(ForegroundKeyboard, LossAndReturnBetweenTwoReadsStillLoseTheDevice) {
    PushFocus(Id(window_), true);
    Pump();
    ASSERT_EQ(dev_->Acquire(), DI_OK);
    Read(dev_);
    PushFocus(Id(window_), false);
    PushFocus(Id(window_), true);
    Pump();
    Read(dev_, DIERR_INPUTLOST);
    EXPECT_EQ(dev_->Acquire(), DI_OK);
    Read(dev_);
}

TEST_F(ForegroundKeyboard, AKeyHeldThroughAFocusChangeStaysHeldUntilTheHardwareLetsGo) {
    BYTE physical[256] = {};
    WinapiTest_SetPhysicalKeys(physical);
    PushFocus(Id(window_), true);
    Pump();
    ASSERT_EQ(dev_->Acquire(), DI_OK);
    physical[DIK_W] = 0x80;
    WinapiTest_SetPhysicalKeys(physical);
    testsupport::PushSdlKey(Id(window_), true, SDL_SCANCODE_W);
    Pump();
    EXPECT_EQ(Down(Read(dev_)), (std::vector<int>{DIK_W}));

    PushFocus(Id(window_), false);  // W stays held while another program has the keyboard
    Pump();
    Read(dev_, DIERR_INPUTLOST);
    PushFocus(Id(window_), true);
    Pump();
    ASSERT_EQ(dev_->Acquire(), DI_OK);
    EXPECT_EQ(Down(Read(dev_)), (std::vector<int>{DIK_W}));
    EXPECT_EQ(Down(Read(dev_)), (std::vector<int>{DIK_W}));

    physical[DIK_W] = 0;  // let go: SDL never reports this release
    WinapiTest_SetPhysicalKeys(physical);
    EXPECT_TRUE(Down(Read(dev_)).empty());
}

TEST(DirectInputKeymap, XKeyCodesAreKernelNumbersPlusEight) {
    char keymap[32] = {};
    for (int x : {25, 65, 111, 116, 113, 105}) keymap[x / 8] |= (char)(1 << (x % 8));  // W Space Up Down Left RCtrl
    uint8_t keys[256];
    winapi::DikStateFromKeymap(keymap, keys);
    std::vector<BYTE> v(keys, keys + 256);
    EXPECT_EQ(Down(v), (std::vector<int>{0x11, 0x39, 0x9D, 0xC8, 0xCB, 0xD0}));
}
