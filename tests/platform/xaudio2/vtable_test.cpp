// The XAudio2 2.7 interfaces sit slot for slot where the June 2010 SDK puts
// them, so a program built against the real header (the Windows build) and
// our engine call the same methods. The slot numbers below are counted by
// hand from the SDK's declaration order, and each call goes through the raw
// vtable, not through the C++ names.
#include <gtest/gtest.h>
#include <xaudio2.h>

namespace {

// Slot i of the object's vtable, as a plain function taking `this` first.
template <typename Fn>
Fn Slot(void* object, int index) {
    void** vtable = *static_cast<void***>(object);
    return reinterpret_cast<Fn>(vtable[index]);
}

// Our IUnknown (Linux only) adds a virtual destructor after Release, which the
// Itanium C++ ABI gives two slots; the SDK's has none. So IXAudio2's own
// methods start at slot 5 here and at slot 3 on Windows: kEngine shifts the
// SDK's numbers below by that difference.
const int kEngine = 5 - 3;

// IXAudio2: IUnknown (0-2), GetDeviceCount 3, GetDeviceDetails 4, Initialize 5,
// RegisterForCallbacks 6, UnregisterForCallbacks 7, CreateSourceVoice 8,
// CreateSubmixVoice 9, CreateMasteringVoice 10, StartEngine 11, StopEngine 12,
// CommitChanges 13, GetPerformanceData 14, SetDebugConfiguration 15.
// IXAudio2Voice: GetVoiceDetails 0 ... SetVolume 12, GetVolume 13, ...
// DestroyVoice 18; IXAudio2SourceVoice then Start 19, Stop 20,
// SubmitSourceBuffer 21, FlushSourceBuffers 22, Discontinuity 23, ExitLoop 24,
// GetState 25, SetFrequencyRatio 26, GetFrequencyRatio 27, SetSourceSampleRate 28.
TEST(XAudio2Layout, EveryMethodTheGameCallsIsInItsSdkSlot) {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(NULL, COINIT_MULTITHREADED)));
    void* engine = NULL;
    ASSERT_EQ(CoCreateInstance(CLSID_XAudio2, NULL, CLSCTX_INPROC_SERVER, IID_IXAudio2, &engine), S_OK);

    EXPECT_EQ((Slot<HRESULT (*)(void*, UINT32, XAUDIO2_PROCESSOR)>(engine, kEngine + 5))(engine, 0,
                                                                                         XAUDIO2_DEFAULT_PROCESSOR),
              S_OK);
    UINT32 devices = 0;
    EXPECT_EQ((Slot<HRESULT (*)(void*, UINT32*)>(engine, kEngine + 3))(engine, &devices), S_OK);
    EXPECT_GE(devices, 1u) << "the dummy audio driver offers one device";

    void* master = NULL;
    ASSERT_EQ((Slot<HRESULT (*)(void*, void**, UINT32, UINT32, UINT32, UINT32, const void*)>(engine, kEngine + 10))(
                  engine, &master, 0, 0, 0, 0, NULL),
              S_OK);
    ASSERT_NE(master, nullptr);

    const WAVEFORMATEX format = {WAVE_FORMAT_PCM, 1, 44100, 88200, 2, 16, 0};
    void* source = NULL;
    ASSERT_EQ((Slot<HRESULT (*)(void*, void**, const WAVEFORMATEX*, UINT32, float, void*, const void*, const void*)>(
                  engine, kEngine + 8))(engine, &source, &format, 0, XAUDIO2_DEFAULT_FREQ_RATIO, NULL, NULL, NULL),
              S_OK);
    ASSERT_NE(source, nullptr);

    EXPECT_EQ((Slot<HRESULT (*)(void*, float, UINT32)>(source, 12))(source, 0.25f, XAUDIO2_COMMIT_NOW), S_OK);
    float volume = 0.0f;
    (Slot<void (*)(void*, float*)>(source, 13))(source, &volume);
    EXPECT_FLOAT_EQ(volume, 0.25f);

    static const short kSilence[256] = {};
    XAUDIO2_BUFFER buffer = {};
    buffer.AudioBytes = sizeof(kSilence);
    buffer.pAudioData = reinterpret_cast<const BYTE*>(kSilence);
    EXPECT_EQ((Slot<HRESULT (*)(void*, const XAUDIO2_BUFFER*, const void*)>(source, 21))(source, &buffer, NULL), S_OK);
    XAUDIO2_VOICE_STATE state = {};
    (Slot<void (*)(void*, XAUDIO2_VOICE_STATE*)>(source, 25))(source, &state);
    EXPECT_EQ(state.BuffersQueued, 1u);
    EXPECT_EQ((Slot<HRESULT (*)(void*, UINT32, UINT32)>(source, 19))(source, 0, XAUDIO2_COMMIT_NOW), S_OK);
    EXPECT_EQ((Slot<HRESULT (*)(void*, UINT32, UINT32)>(source, 20))(source, 0, XAUDIO2_COMMIT_NOW), S_OK);
    EXPECT_EQ((Slot<HRESULT (*)(void*)>(source, 22))(source), S_OK);

    (Slot<void (*)(void*)>(source, 18))(source);
    (Slot<void (*)(void*)>(master, 18))(master);
    EXPECT_EQ((Slot<ULONG (*)(void*)>(engine, 2))(engine), 0u);
    CoUninitialize();
}

}  // namespace
