// COM start-up, the XAudio2 engine and its voices over FAudio, played
// through SDL's dummy audio driver (timing like a real device, no sound) and
// its disk driver (the mixed output lands in a file the test reads).
#include <gtest/gtest.h>
#include <xaudio2.h>
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

WAVEFORMATEX Pcm(WORD channels = 1, WORD bits = 16, DWORD rate = kRate) {
    const WORD align = WORD(channels * bits / 8);
    return WAVEFORMATEX{WAVE_FORMAT_PCM, channels, rate, rate * align, align, bits, 0};
}

std::vector<short> Sine(size_t frames) {
    std::vector<short> s(frames);
    for (size_t i = 0; i < frames; ++i) s[i] = short(0.5 * 32767 * sin(i * 2 * M_PI * 440.0 / kRate));
    return s;
}

XAUDIO2_BUFFER BufferOf(const std::vector<short>& pcm, void* context = NULL, bool last = true) {
    XAUDIO2_BUFFER b = {};
    b.Flags = last ? XAUDIO2_END_OF_STREAM : 0;
    b.AudioBytes = UINT32(pcm.size() * sizeof(short));
    b.pAudioData = reinterpret_cast<const BYTE*>(pcm.data());
    b.pContext = context;
    return b;
}

XAUDIO2_VOICE_STATE StateOf(IXAudio2SourceVoice* v) {
    XAUDIO2_VOICE_STATE s;
    v->GetState(&s);
    return s;
}

// Polls until `done` holds, for at most `ms` milliseconds.
template <typename F>
bool WaitFor(F done, int ms = 2000) {
    for (int t = 0; t < ms && !done(); t += 2) SDL_Delay(2);
    return done();
}

struct ScopedEnv {
    ScopedEnv(const char* n, const char* v) : name(n), had(getenv(n) != NULL), old(had ? getenv(n) : "") {
        setenv(n, v, 1);
    }
    ~ScopedEnv() { had ? setenv(name.c_str(), old.c_str(), 1) : unsetenv(name.c_str()); }
    std::string name;
    bool had;
    std::string old;
};

// An engine and its mastering voice, made as the game makes them.
class XAudio2Test : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(NULL, COINIT_MULTITHREADED)));
        ASSERT_EQ(XAudio2Create(&engine, 0, XAUDIO2_DEFAULT_PROCESSOR), S_OK);
        ASSERT_EQ(
            engine->CreateMasteringVoice(&master, XAUDIO2_DEFAULT_CHANNELS, XAUDIO2_DEFAULT_SAMPLERATE, 0, 0, NULL),
            S_OK)
            << "no audio device: run with SDL_AUDIODRIVER=dummy";
    }
    void TearDown() override {
        for (IXAudio2SourceVoice* v : voices) v->DestroyVoice();
        if (master) master->DestroyVoice();
        if (engine) {
            EXPECT_EQ(engine->Release(), 0u);
        }
        CoUninitialize();
        EXPECT_EQ(WinapiTest_LiveSourceVoices(), 0);
    }
    IXAudio2SourceVoice* NewVoice(const WAVEFORMATEX& f) {
        IXAudio2SourceVoice* v = NULL;
        EXPECT_EQ(engine->CreateSourceVoice(&v, &f, 0, XAUDIO2_DEFAULT_FREQ_RATIO, NULL, NULL, NULL), S_OK);
        if (v) voices.push_back(v);
        return v;
    }
    // Samples played when `next` becomes the current buffer.
    UINT64 PlayedUntil(IXAudio2SourceVoice* v, void* next) {
        UINT64 at = 0;
        EXPECT_TRUE(WaitFor([&] {
            XAUDIO2_VOICE_STATE s = StateOf(v);
            at = s.SamplesPlayed;
            return s.pCurrentBufferContext == next;
        }));
        return at;
    }

    IXAudio2* engine = NULL;
    IXAudio2MasteringVoice* master = NULL;
    std::vector<IXAudio2SourceVoice*> voices;
};

TEST(Com, InitialisationIsCountedPerThreadAndClassesAreChecked) {
    std::thread([] {
        void* p = reinterpret_cast<void*>(1);
        EXPECT_EQ(CoCreateInstance(CLSID_XAudio2, NULL, CLSCTX_INPROC_SERVER, IID_IXAudio2, &p), CO_E_NOTINITIALIZED);
        EXPECT_EQ(p, nullptr);
        EXPECT_EQ(CoInitializeEx(NULL, COINIT_MULTITHREADED), S_OK);
        EXPECT_EQ(CoInitializeEx(NULL, COINIT_MULTITHREADED), S_FALSE);
        EXPECT_EQ(CoInitializeEx(NULL, COINIT_APARTMENTTHREADED), RPC_E_CHANGED_MODE);
        CoUninitialize();  // still initialised once

        const GUID unknown = {0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};
        p = reinterpret_cast<void*>(1);
        EXPECT_EQ(CoCreateInstance(unknown, NULL, CLSCTX_INPROC_SERVER, IID_IXAudio2, &p), HRESULT(0x80040154));
        EXPECT_EQ(p, nullptr);
        EXPECT_EQ(CoCreateInstance(CLSID_XAudio2, NULL, CLSCTX_INPROC_SERVER, unknown, &p), E_NOINTERFACE);
        EXPECT_EQ(p, nullptr);
        IXAudio2* x = NULL;
        ASSERT_EQ(XAudio2Create(&x, XAUDIO2_DEBUG_ENGINE), S_OK);  // the debug class is the same engine
        EXPECT_EQ(x->Initialize(0), XAUDIO2_E_INVALID_CALL) << "initialised twice";
        EXPECT_EQ(x->Release(), 0u);

        CoUninitialize();
        EXPECT_EQ(CoCreateInstance(CLSID_XAudio2, NULL, CLSCTX_INPROC_SERVER, IID_IXAudio2, &p), CO_E_NOTINITIALIZED);
        EXPECT_EQ(CoInitializeEx(NULL, COINIT_APARTMENTTHREADED), S_OK) << "all undone: any model again";
        CoUninitialize();
    }).join();
}

TEST_F(XAudio2Test, VoicesCheckTheirFormatAndBuffers) {
    IXAudio2MasteringVoice* second = NULL;
    EXPECT_EQ(engine->CreateMasteringVoice(&second), XAUDIO2_E_INVALID_CALL);
    EXPECT_NE(NewVoice(Pcm(2, 8, 22050)), nullptr);
    WAVEFORMATEXTENSIBLE ext = {Pcm(), {16}, 4, {1, 0, 0x10, {0x80, 0, 0, 0xaa, 0, 0x38, 0x9b, 0x71}}};
    ext.Format.wFormatTag = WAVE_FORMAT_EXTENSIBLE;
    ext.Format.cbSize = 22;
    EXPECT_NE(NewVoice(ext.Format), nullptr) << "extensible with the PCM subformat";
    IXAudio2SourceVoice* v = NewVoice(Pcm());
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(WinapiTest_LiveSourceVoices(), 3);

    WAVEFORMATEX bad[] = {Pcm(1, 12), Pcm(0), Pcm(1, 16, 500), Pcm(), Pcm()};
    bad[3].nBlockAlign = 3;
    bad[4].wFormatTag = 0x55;  // MP3
    WAVEFORMATEXTENSIBLE wrongSub = ext, shortExt = ext;
    wrongSub.SubFormat.Data1 = 0x55;
    shortExt.Format.cbSize = 0;
    std::vector<const WAVEFORMATEX*> formats = {&bad[0], &bad[1],          &bad[2],          &bad[3],
                                                &bad[4], &wrongSub.Format, &shortExt.Format, NULL};
    for (size_t i = 0; i < formats.size(); ++i) {
        IXAudio2SourceVoice* no = reinterpret_cast<IXAudio2SourceVoice*>(1);
        EXPECT_TRUE(FAILED(engine->CreateSourceVoice(&no, formats[i]))) << "format " << i;
        EXPECT_EQ(no, nullptr);
    }
    EXPECT_EQ(WinapiTest_LiveSourceVoices(), 3);

    const std::vector<short> pcm = Sine(1000);
    const XAUDIO2_BUFFER b = BufferOf(pcm);
    XAUDIO2_BUFFER badBuffers[6] = {b, b, b, b, b, b};
    badBuffers[0].AudioBytes = 0;
    badBuffers[1].pAudioData = NULL;
    badBuffers[2].PlayBegin = 1000;  // past the end
    badBuffers[3].PlayBegin = 500, badBuffers[3].PlayLength = 501;
    badBuffers[4].LoopLength = 10;  // a loop region without loops
    badBuffers[5].Flags = 0x1000;
    EXPECT_TRUE(FAILED(v->SubmitSourceBuffer(NULL)));
    for (int i = 0; i < 6; ++i) EXPECT_TRUE(FAILED(v->SubmitSourceBuffer(&badBuffers[i]))) << "buffer " << i;
    EXPECT_EQ(StateOf(v).BuffersQueued, 0u);
    XAUDIO2_BUFFER region = b;
    region.PlayBegin = 500, region.PlayLength = 500, region.LoopBegin = 600, region.LoopLength = 100,
    region.LoopCount = 2;
    EXPECT_EQ(v->SubmitSourceBuffer(&region), S_OK);
    for (int i = 1; i < XAUDIO2_MAX_QUEUED_BUFFERS; ++i) ASSERT_EQ(v->SubmitSourceBuffer(&b), S_OK) << i;
    EXPECT_TRUE(FAILED(v->SubmitSourceBuffer(&b))) << "at most 64 buffers wait on a voice";

    float vol = 0;
    EXPECT_EQ(v->SetVolume(0.25f), S_OK);
    v->GetVolume(&vol);
    EXPECT_FLOAT_EQ(vol, 0.25f);
}

TEST_F(XAudio2Test, StopKeepsThePositionFlushDropsBuffersAndNothingLoops) {
    IXAudio2SourceVoice* v = NewVoice(Pcm());
    ASSERT_NE(v, nullptr);
    // A (0.5 s) then a short B: the moment B becomes current tells how much of A was played.
    const std::vector<short> a = Sine(kRate / 2), b = Sine(kRate / 20);
    int ctxA, ctxB;
    XAUDIO2_BUFFER ba = BufferOf(a, &ctxA, false), bb = BufferOf(b, &ctxB);
    auto submitBoth = [&] { ASSERT_TRUE(v->SubmitSourceBuffer(&ba) == S_OK && v->SubmitSourceBuffer(&bb) == S_OK); };
    auto playSomeThenStop = [&] {
        ASSERT_EQ(v->Start(0, XAUDIO2_COMMIT_NOW), S_OK);
        ASSERT_TRUE(WaitFor([&] { return StateOf(v).SamplesPlayed >= kRate / 5; })) << "playback does not advance";
        ASSERT_EQ(v->Stop(0, XAUDIO2_COMMIT_NOW), S_OK);
        SDL_Delay(30);
    };
    submitBoth();
    SDL_Delay(100);
    EXPECT_EQ(StateOf(v).SamplesPlayed, 0u) << "a voice plays only once started";
    playSomeThenStop();
    const UINT64 stoppedAt = StateOf(v).SamplesPlayed;
    SDL_Delay(150);
    EXPECT_EQ(StateOf(v).SamplesPlayed, stoppedAt) << "a stopped voice does not advance";
    EXPECT_EQ(StateOf(v).BuffersQueued, 2u) << "stopping keeps the buffers";
    // Started again it carries on where it stopped: A ends after its own length in total.
    ASSERT_EQ(v->Start(), S_OK);
    EXPECT_NEAR(double(PlayedUntil(v, &ctxB)), double(a.size()), kRate * 0.05);
    ASSERT_TRUE(WaitFor([&] { return StateOf(v).BuffersQueued == 0; })) << "B plays to its end";
    SDL_Delay(50);
    EXPECT_EQ(StateOf(v).BuffersQueued, 0u) << "nothing loops";

    // The game's restart: stop, flush, submit again, start. All of A plays again.
    submitBoth();
    playSomeThenStop();
    ASSERT_EQ(v->FlushSourceBuffers(), S_OK);
    EXPECT_EQ(StateOf(v).pCurrentBufferContext, nullptr) << "a stopped voice loses its current buffer too";
    EXPECT_TRUE(WaitFor([&] { return StateOf(v).BuffersQueued == 0; }, 1000)) << "flushed buffers stay queued";
    const UINT64 before = StateOf(v).SamplesPlayed;
    submitBoth();
    ASSERT_EQ(v->Start(), S_OK);
    EXPECT_NEAR(double(PlayedUntil(v, &ctxB) - before), double(a.size()), kRate * 0.05);

    // A started voice keeps the buffer it is playing.
    ASSERT_TRUE(v->SubmitSourceBuffer(&ba) == S_OK && v->SubmitSourceBuffer(&ba) == S_OK);
    PlayedUntil(v, &ctxA);
    ASSERT_EQ(v->FlushSourceBuffers(), S_OK);
    EXPECT_TRUE(WaitFor([&] { return StateOf(v).BuffersQueued == 1; }, 1000));
    EXPECT_EQ(StateOf(v).pCurrentBufferContext, &ctxA);
    // A stopped engine processes nothing until started again.
    engine->StopEngine();
    const UINT64 frozen = StateOf(v).SamplesPlayed;
    SDL_Delay(100);
    EXPECT_EQ(StateOf(v).SamplesPlayed, frozen);
    ASSERT_EQ(engine->StartEngine(), S_OK);
    EXPECT_TRUE(WaitFor([&] { return StateOf(v).SamplesPlayed > frozen; }));
}

TEST(XAudio2Lifetime, ReleasingTheEngineTearsDownLeftoverVoicesSafely) {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(NULL, COINIT_MULTITHREADED)));
    IXAudio2* x = NULL;
    IXAudio2MasteringVoice* m = NULL;
    IXAudio2SourceVoice *v1 = NULL, *v2 = NULL;
    const WAVEFORMATEX f = Pcm();
    ASSERT_EQ(XAudio2Create(&x), S_OK);
    EXPECT_EQ(x->CreateSourceVoice(&v1, &f), XAUDIO2_E_INVALID_CALL) << "no mastering voice to feed yet";
    ASSERT_EQ(x->CreateMasteringVoice(&m), S_OK);
    ASSERT_EQ(x->CreateSourceVoice(&v1, &f), S_OK);
    m->DestroyVoice();  // refused: v1 still feeds it
    ASSERT_EQ(x->CreateSourceVoice(&v2, &f), S_OK);
    const std::vector<short> pcm = Sine(kRate);
    const XAUDIO2_BUFFER b = BufferOf(pcm);
    ASSERT_TRUE(v1->SubmitSourceBuffer(&b) == S_OK && v1->Start() == S_OK);
    EXPECT_EQ(WinapiTest_LiveSourceVoices(), 2);
    EXPECT_EQ(x->Release(), 0u);
    EXPECT_EQ(WinapiTest_LiveSourceVoices(), 0);
    // Voices of a released engine fail or do nothing; destroying them frees them.
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
    EXPECT_TRUE(FAILED(x->CreateMasteringVoice(&m)));
    EXPECT_EQ(m, nullptr);
    EXPECT_EQ(x->Release(), 0u);
    CoUninitialize();
}

// The samples SDL's disk driver wrote while a sine buffer was (or was not) started.
std::vector<float> Capture(bool start) {
    const std::string path = testing::TempDir() + "xaudio2_capture_" + std::to_string(getpid()) + ".raw";
    unlink(path.c_str());
    {
        ScopedEnv driver("SDL_AUDIODRIVER", "disk"), file("SDL_DISKAUDIOFILE", path.c_str());
        EXPECT_TRUE(SUCCEEDED(CoInitializeEx(NULL, COINIT_MULTITHREADED)));
        IXAudio2* x = NULL;
        IXAudio2MasteringVoice* m = NULL;
        IXAudio2SourceVoice* v = NULL;
        const WAVEFORMATEX f = Pcm();
        const std::vector<short> sine = Sine(kRate);
        const XAUDIO2_BUFFER b = BufferOf(sine);
        EXPECT_EQ(XAudio2Create(&x), S_OK);
        EXPECT_EQ(x->CreateMasteringVoice(&m), S_OK);
        EXPECT_EQ(x->CreateSourceVoice(&v, &f), S_OK);
        EXPECT_EQ(v->SubmitSourceBuffer(&b), S_OK);
        if (start) {
            EXPECT_EQ(v->Start(), S_OK);
        }
        SDL_Delay(300);
        v->DestroyVoice();
        m->DestroyVoice();
        x->Release();
        CoUninitialize();
    }
    std::vector<float> out(1 << 20);
    FILE* fp = fopen(path.c_str(), "rb");
    out.resize(fp ? fread(out.data(), sizeof(float), out.size(), fp) : 0);
    if (fp) fclose(fp);
    unlink(path.c_str());
    return out;
}

TEST(XAudio2Devices, ASubmittedSineReallyReachesTheOutput) {
    const std::vector<float> played = Capture(true), idle = Capture(false);
    ASSERT_GT(played.size(), 4000u) << "the disk driver wrote (almost) nothing";
    ASSERT_GT(idle.size(), 4000u);
    float peak = 0, idlePeak = 0;
    size_t loud = 0;
    for (float s : played) peak = fmaxf(peak, fabsf(s)), loud += fabsf(s) > 0.05f;
    for (float s : idle) idlePeak = fmaxf(idlePeak, fabsf(s));
    EXPECT_NEAR(peak, 0.5f, 0.05f) << "the sine comes through at its amplitude";
    EXPECT_GT(loud, played.size() / 4);
    EXPECT_EQ(idlePeak, 0.0f) << "never started, nothing is heard";
}

}  // namespace
