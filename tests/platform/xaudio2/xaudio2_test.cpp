// COM start-up, the XAudio2 engine and its voices over FAudio, played
// through SDL's dummy audio driver (timing like a real device, no sound) and
// its disk driver (the mixed output lands in a file we can inspect).
#include <xaudio2.h>
#include <gtest/gtest.h>
#include <xaudio2_testing.h>

#include <SDL.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>
#include <thread>
#include <vector>

namespace {

const UINT32 kRate = 44100;

WAVEFORMATEX MonoPcm16(UINT32 rate = kRate) {
    WAVEFORMATEX f = {};
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nChannels = 1;
    f.nSamplesPerSec = rate;
    f.wBitsPerSample = 16;
    f.nBlockAlign = 2;
    f.nAvgBytesPerSec = rate * 2;
    return f;
}

std::vector<short> Sine(size_t frames, double amplitude = 0.5) {
    std::vector<short> s(frames);
    for (size_t i = 0; i < frames; ++i) s[i] = static_cast<short>(amplitude * 32767 * sin(i * 2 * M_PI * 440.0 / kRate));
    return s;
}

XAUDIO2_BUFFER BufferOf(const std::vector<short>& pcm, void* context, bool endOfStream = true) {
    XAUDIO2_BUFFER b = {};
    b.Flags = endOfStream ? XAUDIO2_END_OF_STREAM : 0;
    b.AudioBytes = static_cast<UINT32>(pcm.size() * sizeof(short));
    b.pAudioData = reinterpret_cast<const BYTE*>(pcm.data());
    b.pContext = context;
    return b;
}

XAUDIO2_VOICE_STATE StateOf(IXAudio2SourceVoice* v) {
    XAUDIO2_VOICE_STATE s;
    v->GetState(&s);
    return s;
}

// Polls until `done` holds or `ms` milliseconds have passed; true if it held.
template <typename F>
bool WaitFor(F done, int ms = 2000) {
    for (int t = 0; t < ms; t += 2) {
        if (done()) return true;
        SDL_Delay(2);
    }
    return done();
}

// Sets an environment variable for the lifetime of the object.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        const char* old = getenv(name);
        had_ = old != NULL;
        if (had_) old_ = old;
        setenv(name, value, 1);
    }
    ~ScopedEnv() {
        if (had_)
            setenv(name_.c_str(), old_.c_str(), 1);
        else
            unsetenv(name_.c_str());
    }

private:
    std::string name_, old_;
    bool had_ = false;
};

// An engine with its mastering voice, made as the game makes them.
class XAudio2Test : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(NULL, COINIT_MULTITHREADED)));
        ASSERT_EQ(XAudio2Create(&engine, 0, XAUDIO2_DEFAULT_PROCESSOR), S_OK);
        ASSERT_NE(engine, nullptr);
        HRESULT hr = engine->CreateMasteringVoice(&master, XAUDIO2_DEFAULT_CHANNELS, XAUDIO2_DEFAULT_SAMPLERATE, 0, 0,
                                                  NULL);
        ASSERT_EQ(hr, S_OK) << "no audio device: run with SDL_AUDIODRIVER=dummy";
    }
    void TearDown() override {
        for (IXAudio2SourceVoice* v : voices) v->DestroyVoice();
        if (master) master->DestroyVoice();
        if (engine) engine->Release();
        CoUninitialize();
        EXPECT_EQ(WinapiTest_LiveSourceVoices(), 0);
    }
    IXAudio2SourceVoice* NewVoice(const WAVEFORMATEX& f) {
        IXAudio2SourceVoice* v = NULL;
        EXPECT_EQ(engine->CreateSourceVoice(&v, &f, 0, XAUDIO2_DEFAULT_FREQ_RATIO, NULL, NULL, NULL), S_OK);
        if (v) voices.push_back(v);
        return v;
    }

    IXAudio2* engine = NULL;
    IXAudio2MasteringVoice* master = NULL;
    std::vector<IXAudio2SourceVoice*> voices;
};

TEST(Com, InitialisationIsCountedPerThreadAsOnWindows) {
    std::thread([] {
        IUnknown* p = reinterpret_cast<IUnknown*>(1);
        EXPECT_EQ(CoCreateInstance(CLSID_XAudio2, NULL, CLSCTX_INPROC_SERVER, IID_IXAudio2, (void**)&p),
                  CO_E_NOTINITIALIZED);
        EXPECT_EQ(p, nullptr);
        EXPECT_EQ(CoInitializeEx(NULL, COINIT_MULTITHREADED), S_OK);
        EXPECT_EQ(CoInitializeEx(NULL, COINIT_MULTITHREADED), S_FALSE);
        EXPECT_EQ(CoInitializeEx(NULL, COINIT_APARTMENTTHREADED), RPC_E_CHANGED_MODE);
        CoUninitialize();
        // Still initialised once: creation works.
        IXAudio2* x = NULL;
        EXPECT_EQ(CoCreateInstance(CLSID_XAudio2, NULL, CLSCTX_INPROC_SERVER, IID_IXAudio2, (void**)&x), S_OK);
        ASSERT_NE(x, nullptr);
        EXPECT_EQ(x->Release(), 0u);
        CoUninitialize();
        EXPECT_EQ(CoCreateInstance(CLSID_XAudio2, NULL, CLSCTX_INPROC_SERVER, IID_IXAudio2, (void**)&x),
                  CO_E_NOTINITIALIZED);
        // The other thread model is accepted once everything was undone.
        EXPECT_EQ(CoInitializeEx(NULL, COINIT_APARTMENTTHREADED), S_OK);
        CoUninitialize();
    }).join();
}

TEST(Com, CreateInstanceRejectsUnknownClassesAndInterfaces) {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(NULL, COINIT_MULTITHREADED)));
    const GUID unknown = {0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};
    void* p = reinterpret_cast<void*>(1);
    EXPECT_EQ(CoCreateInstance(unknown, NULL, CLSCTX_INPROC_SERVER, IID_IXAudio2, &p), static_cast<HRESULT>(0x80040154));
    EXPECT_EQ(p, nullptr);
    p = reinterpret_cast<void*>(1);
    EXPECT_EQ(CoCreateInstance(CLSID_XAudio2, NULL, CLSCTX_INPROC_SERVER, unknown, &p), E_NOINTERFACE);
    EXPECT_EQ(p, nullptr);
    // The debug class is the same engine.
    IXAudio2* x = NULL;
    ASSERT_EQ(XAudio2Create(&x, XAUDIO2_DEBUG_ENGINE), S_OK);
    IUnknown* u = NULL;
    EXPECT_EQ(x->QueryInterface(IID_IUnknown, (void**)&u), S_OK);
    EXPECT_EQ(u->Release(), 1u);
    EXPECT_EQ(x->Initialize(0), XAUDIO2_E_INVALID_CALL) << "initialised twice";
    EXPECT_EQ(x->Release(), 0u);
    CoUninitialize();
}

TEST_F(XAudio2Test, VoiceCreationChecksFormatsAndTheMasteringVoice) {
    IXAudio2MasteringVoice* second = NULL;
    EXPECT_EQ(engine->CreateMasteringVoice(&second), XAUDIO2_E_INVALID_CALL);
    EXPECT_EQ(second, nullptr);

    EXPECT_NE(NewVoice(MonoPcm16()), nullptr);
    WAVEFORMATEX stereo8 = MonoPcm16(22050);
    stereo8.nChannels = 2;
    stereo8.wBitsPerSample = 8;
    stereo8.nBlockAlign = 2;
    EXPECT_NE(NewVoice(stereo8), nullptr);

    // The extensible form with a PCM subformat, as a wave file's "fmt " chunk may hold it.
    WAVEFORMATEXTENSIBLE ext = {};
    ext.Format = MonoPcm16();
    ext.Format.wFormatTag = WAVE_FORMAT_EXTENSIBLE;
    ext.Format.cbSize = 22;
    ext.Samples.wValidBitsPerSample = 16;
    ext.dwChannelMask = 4;
    ext.SubFormat = {0x00000001, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
    EXPECT_NE(NewVoice(ext.Format), nullptr);
    EXPECT_EQ(WinapiTest_LiveSourceVoices(), 3);

    struct Bad {
        const char* what;
        WAVEFORMATEX f;
    };
    std::vector<Bad> bad;
    WAVEFORMATEX f = MonoPcm16();
    f.wBitsPerSample = 12;
    bad.push_back({"12-bit samples", f});
    f = MonoPcm16();
    f.nBlockAlign = 3;
    bad.push_back({"block align not channels x bytes", f});
    f = MonoPcm16();
    f.nChannels = 0;
    f.nBlockAlign = 0;
    bad.push_back({"no channels", f});
    f = MonoPcm16(500);
    bad.push_back({"sample rate below 1000", f});
    f = MonoPcm16();
    f.wFormatTag = 0x55;  // MP3
    bad.push_back({"compressed format", f});
    for (const Bad& b : bad) {
        IXAudio2SourceVoice* v = reinterpret_cast<IXAudio2SourceVoice*>(1);
        EXPECT_TRUE(FAILED(engine->CreateSourceVoice(&v, &b.f))) << b.what;
        EXPECT_EQ(v, nullptr) << b.what;
    }
    WAVEFORMATEXTENSIBLE wrongSub = ext;
    wrongSub.SubFormat.Data1 = 0x55;
    IXAudio2SourceVoice* v = NULL;
    EXPECT_TRUE(FAILED(engine->CreateSourceVoice(&v, &wrongSub.Format))) << "unknown subformat";
    WAVEFORMATEXTENSIBLE shortExt = ext;
    shortExt.Format.cbSize = 0;
    EXPECT_TRUE(FAILED(engine->CreateSourceVoice(&v, &shortExt.Format))) << "extensible without its extension";
    EXPECT_TRUE(FAILED(engine->CreateSourceVoice(&v, NULL)));
    EXPECT_EQ(WinapiTest_LiveSourceVoices(), 3);

    // Voices can be destroyed one by one.
    voices.back()->DestroyVoice();
    voices.pop_back();
    EXPECT_EQ(WinapiTest_LiveSourceVoices(), 2);
}

TEST_F(XAudio2Test, SubmitChecksTheBufferAndItsRegions) {
    IXAudio2SourceVoice* v = NewVoice(MonoPcm16());
    ASSERT_NE(v, nullptr);
    std::vector<short> pcm = Sine(1000);
    XAUDIO2_BUFFER b = BufferOf(pcm, NULL);
    EXPECT_TRUE(FAILED(v->SubmitSourceBuffer(NULL)));
    XAUDIO2_BUFFER x = b;
    x.AudioBytes = 0;
    EXPECT_TRUE(FAILED(v->SubmitSourceBuffer(&x))) << "empty buffer";
    x = b;
    x.pAudioData = NULL;
    EXPECT_TRUE(FAILED(v->SubmitSourceBuffer(&x))) << "no data";
    x = b;
    x.PlayBegin = 1000;
    EXPECT_TRUE(FAILED(v->SubmitSourceBuffer(&x))) << "play region starts past the end";
    x = b;
    x.PlayBegin = 500;
    x.PlayLength = 501;
    EXPECT_TRUE(FAILED(v->SubmitSourceBuffer(&x))) << "play region runs past the end";
    x = b;
    x.LoopLength = 10;
    EXPECT_TRUE(FAILED(v->SubmitSourceBuffer(&x))) << "loop region without loops";
    x = b;
    x.Flags = 0x1000;
    EXPECT_TRUE(FAILED(v->SubmitSourceBuffer(&x))) << "unknown flag";
    EXPECT_EQ(StateOf(v).BuffersQueued, 0u);

    x = b;
    x.PlayBegin = 500;
    x.PlayLength = 500;
    EXPECT_EQ(v->SubmitSourceBuffer(&x), S_OK);
    x = b;
    x.LoopBegin = 100;
    x.LoopLength = 200;
    x.LoopCount = 2;
    EXPECT_EQ(v->SubmitSourceBuffer(&x), S_OK);
    // At most 64 buffers may wait on a voice.
    for (int i = 2; i < XAUDIO2_MAX_QUEUED_BUFFERS; ++i) ASSERT_EQ(v->SubmitSourceBuffer(&b), S_OK) << i;
    EXPECT_EQ(StateOf(v).BuffersQueued, static_cast<UINT32>(XAUDIO2_MAX_QUEUED_BUFFERS));
    EXPECT_TRUE(FAILED(v->SubmitSourceBuffer(&b)));
}

TEST_F(XAudio2Test, PlaybackAdvancesStopKeepsThePositionAndItPlaysOnce) {
    IXAudio2SourceVoice* v = NewVoice(MonoPcm16());
    ASSERT_NE(v, nullptr);
    // A: 0.5 s, then a short B: the moment B becomes current tells how much of A was played.
    // (The current buffer's context is reported once the mixer has begun it.)
    std::vector<short> a = Sine(kRate / 2), b = Sine(kRate / 20);
    int ctxA = 0, ctxB = 0;
    XAUDIO2_BUFFER ba = BufferOf(a, &ctxA, false), bb = BufferOf(b, &ctxB, true);
    ASSERT_EQ(v->SubmitSourceBuffer(&ba), S_OK);
    ASSERT_EQ(v->SubmitSourceBuffer(&bb), S_OK);
    EXPECT_EQ(StateOf(v).BuffersQueued, 2u);
    SDL_Delay(100);
    EXPECT_EQ(StateOf(v).SamplesPlayed, 0u) << "a voice plays only once started";

    ASSERT_EQ(v->Start(0, XAUDIO2_COMMIT_NOW), S_OK);
    ASSERT_TRUE(WaitFor([&] { return StateOf(v).SamplesPlayed >= kRate / 5; })) << "playback does not advance";
    EXPECT_EQ(StateOf(v).pCurrentBufferContext, &ctxA);
    ASSERT_EQ(v->Stop(0, XAUDIO2_COMMIT_NOW), S_OK);
    SDL_Delay(30);
    const UINT64 stoppedAt = StateOf(v).SamplesPlayed;
    SDL_Delay(150);
    XAUDIO2_VOICE_STATE s = StateOf(v);
    EXPECT_EQ(s.SamplesPlayed, stoppedAt) << "a stopped voice does not advance";
    EXPECT_EQ(s.BuffersQueued, 2u) << "stopping keeps the queued buffers";
    EXPECT_LT(stoppedAt, a.size());

    // Started again it carries on where it stopped: A ends after its own length in total.
    ASSERT_EQ(v->Start(), S_OK);
    UINT64 atSwitch = 0;
    ASSERT_TRUE(WaitFor([&] {
        XAUDIO2_VOICE_STATE st = StateOf(v);
        atSwitch = st.SamplesPlayed;
        return st.pCurrentBufferContext == &ctxB;
    }));
    EXPECT_NEAR(static_cast<double>(atSwitch), static_cast<double>(a.size()), kRate * 0.05);
    // Then B plays to its end and nothing is left: no looping.
    ASSERT_TRUE(WaitFor([&] { return StateOf(v).BuffersQueued == 0; }));
    SDL_Delay(50);
    EXPECT_EQ(StateOf(v).BuffersQueued, 0u);
}

TEST_F(XAudio2Test, FlushDropsBuffersAndTheNextSubmitPlaysFromTheStart) {
    IXAudio2SourceVoice* v = NewVoice(MonoPcm16());
    ASSERT_NE(v, nullptr);
    std::vector<short> a = Sine(kRate / 2), b = Sine(kRate / 20);
    int ctxA = 0, ctxB = 0;
    XAUDIO2_BUFFER ba = BufferOf(a, &ctxA, false), bb = BufferOf(b, &ctxB, true);
    ASSERT_EQ(v->SubmitSourceBuffer(&ba), S_OK);
    ASSERT_EQ(v->SubmitSourceBuffer(&bb), S_OK);
    ASSERT_EQ(v->Start(), S_OK);
    ASSERT_TRUE(WaitFor([&] { return StateOf(v).SamplesPlayed >= kRate / 5; }));

    // The game's restart: stop, flush, submit again, start.
    ASSERT_EQ(v->Stop(), S_OK);
    ASSERT_EQ(v->FlushSourceBuffers(), S_OK);
    EXPECT_EQ(StateOf(v).pCurrentBufferContext, nullptr) << "the stopped voice's current buffer is flushed too";
    EXPECT_TRUE(WaitFor([&] { return StateOf(v).BuffersQueued == 0; }, 1000)) << "flushed buffers stay queued";
    const UINT64 before = StateOf(v).SamplesPlayed;

    ASSERT_EQ(v->SubmitSourceBuffer(&ba), S_OK);
    ASSERT_EQ(v->SubmitSourceBuffer(&bb), S_OK);
    EXPECT_EQ(StateOf(v).BuffersQueued, 2u);
    ASSERT_EQ(v->Start(), S_OK);
    UINT64 atSwitch = 0;
    ASSERT_TRUE(WaitFor([&] {
        XAUDIO2_VOICE_STATE st = StateOf(v);
        atSwitch = st.SamplesPlayed;
        return st.pCurrentBufferContext == &ctxB;
    }));
    // All of A was played again, not just what was left of it.
    EXPECT_NEAR(static_cast<double>(atSwitch - before), static_cast<double>(a.size()), kRate * 0.05);

    // Flushing a started voice keeps the buffer it is playing.
    ASSERT_EQ(v->SubmitSourceBuffer(&ba), S_OK);
    ASSERT_EQ(v->SubmitSourceBuffer(&ba), S_OK);
    ASSERT_TRUE(WaitFor([&] { return StateOf(v).pCurrentBufferContext == &ctxA; }));
    ASSERT_EQ(v->FlushSourceBuffers(), S_OK);
    EXPECT_TRUE(WaitFor([&] { return StateOf(v).BuffersQueued == 1; }, 1000));
    EXPECT_EQ(StateOf(v).pCurrentBufferContext, &ctxA);
}

TEST_F(XAudio2Test, VolumeAndEngineStopStart) {
    IXAudio2SourceVoice* v = NewVoice(MonoPcm16());
    ASSERT_NE(v, nullptr);
    float vol = -1;
    v->GetVolume(&vol);
    EXPECT_FLOAT_EQ(vol, 1.0f);
    EXPECT_EQ(v->SetVolume(0.25f), S_OK);
    v->GetVolume(&vol);
    EXPECT_FLOAT_EQ(vol, 0.25f);
    EXPECT_TRUE(FAILED(v->SetVolume(1e30f)));
    EXPECT_EQ(master->SetVolume(0.5f), S_OK);
    master->GetVolume(&vol);
    EXPECT_FLOAT_EQ(vol, 0.5f);

    std::vector<short> a = Sine(kRate);
    XAUDIO2_BUFFER ba = BufferOf(a, NULL);
    ASSERT_EQ(v->SubmitSourceBuffer(&ba), S_OK);
    engine->StopEngine();
    ASSERT_EQ(v->Start(), S_OK);
    SDL_Delay(100);
    EXPECT_EQ(StateOf(v).SamplesPlayed, 0u) << "a stopped engine processes nothing";
    ASSERT_EQ(engine->StartEngine(), S_OK);
    EXPECT_TRUE(WaitFor([&] { return StateOf(v).SamplesPlayed > 0; }));
}

TEST(XAudio2Lifetime, ReleasingTheEngineTearsDownLeftoverVoicesSafely) {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(NULL, COINIT_MULTITHREADED)));
    IXAudio2* x = NULL;
    ASSERT_EQ(XAudio2Create(&x), S_OK);
    IXAudio2SourceVoice* early = NULL;
    WAVEFORMATEX f = MonoPcm16();
    EXPECT_EQ(x->CreateSourceVoice(&early, &f), XAUDIO2_E_INVALID_CALL) << "no mastering voice to feed yet";
    IXAudio2MasteringVoice* m = NULL;
    ASSERT_EQ(x->CreateMasteringVoice(&m), S_OK);
    IXAudio2SourceVoice *v1 = NULL, *v2 = NULL;
    ASSERT_EQ(x->CreateSourceVoice(&v1, &f), S_OK);
    ASSERT_EQ(x->CreateSourceVoice(&v2, &f), S_OK);
    EXPECT_EQ(WinapiTest_LiveSourceVoices(), 2);

    // The mastering voice is still fed: destroying it is refused and it keeps working.
    m->DestroyVoice();
    IXAudio2SourceVoice* v3 = NULL;
    EXPECT_EQ(x->CreateSourceVoice(&v3, &f), S_OK);
    v3->DestroyVoice();

    std::vector<short> pcm = Sine(kRate);
    XAUDIO2_BUFFER b = BufferOf(pcm, NULL);
    ASSERT_EQ(v1->SubmitSourceBuffer(&b), S_OK);
    ASSERT_EQ(v1->Start(), S_OK);
    EXPECT_EQ(x->Release(), 0u);
    EXPECT_EQ(WinapiTest_LiveSourceVoices(), 0);
    // Calls on voices of a released engine fail or do nothing; destroying them frees them.
    EXPECT_TRUE(FAILED(v1->Start()));
    EXPECT_EQ(StateOf(v2).BuffersQueued, 0u);
    v1->DestroyVoice();
    v2->DestroyVoice();
    m->DestroyVoice();
    CoUninitialize();
}

TEST(XAudio2Devices, WithoutASoundDeviceTheMasteringVoiceFails) {
    ScopedEnv driver("SDL_AUDIODRIVER", "nonexistent");
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(NULL, COINIT_MULTITHREADED)));
    IXAudio2* x = NULL;
    ASSERT_EQ(XAudio2Create(&x), S_OK);
    IXAudio2MasteringVoice* m = reinterpret_cast<IXAudio2MasteringVoice*>(1);
    const HRESULT hr = x->CreateMasteringVoice(&m);
    EXPECT_TRUE(FAILED(hr)) << std::hex << hr;
    EXPECT_EQ(m, nullptr);
    IXAudio2SourceVoice* v = NULL;
    WAVEFORMATEX f = MonoPcm16();
    EXPECT_TRUE(FAILED(x->CreateSourceVoice(&v, &f)));
    EXPECT_EQ(x->Release(), 0u);
    CoUninitialize();
}

// Plays `seconds` of a buffer through the disk driver into a file and returns the mixed samples.
std::vector<float> CaptureThroughDiskDriver(const std::string& path, bool start, const std::vector<short>& pcm,
                                            int ms) {
    unlink(path.c_str());
    std::vector<float> out;
    {
        ScopedEnv driver("SDL_AUDIODRIVER", "disk");
        ScopedEnv file("SDL_DISKAUDIOFILE", path.c_str());
        EXPECT_TRUE(SUCCEEDED(CoInitializeEx(NULL, COINIT_MULTITHREADED)));
        IXAudio2* x = NULL;
        EXPECT_EQ(XAudio2Create(&x), S_OK);
        if (!x) return out;
        IXAudio2MasteringVoice* m = NULL;
        EXPECT_EQ(x->CreateMasteringVoice(&m), S_OK);
        IXAudio2SourceVoice* v = NULL;
        WAVEFORMATEX f = MonoPcm16();
        if (m) {
            EXPECT_EQ(x->CreateSourceVoice(&v, &f), S_OK);
        }
        if (v) {
            XAUDIO2_BUFFER b = BufferOf(pcm, NULL);
            EXPECT_EQ(v->SubmitSourceBuffer(&b), S_OK);
            if (start) {
                EXPECT_EQ(v->Start(), S_OK);
            }
            SDL_Delay(ms);
            v->DestroyVoice();
        }
        if (m) m->DestroyVoice();
        x->Release();
        CoUninitialize();
    }
    FILE* fp = fopen(path.c_str(), "rb");
    if (!fp) return out;
    float buf[4096];
    size_t n;
    while ((n = fread(buf, sizeof(float), 4096, fp)) > 0) out.insert(out.end(), buf, buf + n);
    fclose(fp);
    unlink(path.c_str());
    return out;
}

float Peak(const std::vector<float>& s) {
    float p = 0;
    for (float x : s) p = fmaxf(p, fabsf(x));
    return p;
}

TEST(XAudio2Devices, ASubmittedSineReallyReachesTheOutput) {
    const std::string path = std::string(testing::TempDir()) + "xaudio2_capture_" + std::to_string(getpid()) + ".raw";
    const std::vector<short> sine = Sine(kRate, 0.5);
    const std::vector<float> played = CaptureThroughDiskDriver(path, true, sine, 300);
    ASSERT_GT(played.size(), 4000u) << "the disk driver wrote (almost) nothing";
    EXPECT_NEAR(Peak(played), 0.5f, 0.05f) << "the sine's amplitude should come through unchanged";
    size_t loud = 0;
    for (float s : played) loud += fabsf(s) > 0.05f;
    EXPECT_GT(loud, played.size() / 4);

    // The same, never started: the output stays silent.
    const std::vector<float> idle = CaptureThroughDiskDriver(path, false, sine, 300);
    ASSERT_GT(idle.size(), 4000u);
    EXPECT_EQ(Peak(idle), 0.0f);
}

}  // namespace
