// The XAudio2 2.7 engine, its mastering voice and its source voices, over
// FAudio (which mixes on SDL2's audio thread).
//
// State: an Engine owns one FAudio object from its creation (CoCreateInstance)
// until its last Release; Initialize brings FAudio up, CreateMasteringVoice
// opens the audio device. The engine keeps a list of the voices it made.
// Voices are destroyed with DestroyVoice; whatever voices are still alive at
// the engine's last Release are torn down with it, and their objects are
// left as husks whose methods do nothing until DestroyVoice frees them, so a
// late call never touches freed memory. The process-wide count of live
// source voices feeds the WinapiTest_LiveSourceVoices hook.
//
// Calls are checked as XAudio2 checks them (formats, buffer regions, queue
// limit) before they reach FAudio, and every record crosses to FAudio field
// by field. Buffer memory stays owned by the caller: FAudio reads it in place.
// Like XAudio2, a flush is carried out on the mixer's next pass, so GetState
// reports the flushed buffers as queued until then (a few milliseconds while
// the engine runs).
#include <xaudio2.h>

#include <FAudio.h>
#include <math.h>
#include <stdio.h>

#include <algorithm>
#include <atomic>
#include <vector>

#include "common/com_object.h"
#include "testing/xaudio2_testing.h"
#include "xaudio2/xaudio2_internal.h"

namespace {

std::atomic<int> g_liveSourceVoices{0};

// KSDATAFORMAT_SUBTYPE_PCM and KSDATAFORMAT_SUBTYPE_IEEE_FLOAT.
const GUID kSubtypePcm = {0x00000001, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
const GUID kSubtypeFloat = {0x00000003, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};

const UINT32 kSourceVoiceFlags =
    XAUDIO2_VOICE_NOPITCH | XAUDIO2_VOICE_NOSRC | XAUDIO2_VOICE_USEFILTER | XAUDIO2_VOICE_MUSIC;

HRESULT FromFAudio(uint32_t r) {
    if (r == 0) return S_OK;
    const HRESULT hr = static_cast<HRESULT>(r);
    return FAILED(hr) ? hr : E_FAIL;
}

// Checks a source format as XAudio2 does and copies it into FAudio's record.
// PCM (8, 16, 24 or 32 bits) and 32-bit float, plain or extensible, are accepted.
bool TranslateFormat(const WAVEFORMATEX* in, FAudioWaveFormatExtensible* out) {
    if (!in) return false;
    *out = FAudioWaveFormatExtensible();
    out->Format.wFormatTag = in->wFormatTag;
    out->Format.nChannels = in->nChannels;
    out->Format.nSamplesPerSec = in->nSamplesPerSec;
    out->Format.nAvgBytesPerSec = in->nAvgBytesPerSec;
    out->Format.nBlockAlign = in->nBlockAlign;
    out->Format.wBitsPerSample = in->wBitsPerSample;
    out->Format.cbSize = 0;

    WORD tag = in->wFormatTag;
    if (tag == WAVE_FORMAT_EXTENSIBLE) {
        if (in->cbSize < sizeof(WAVEFORMATEXTENSIBLE) - sizeof(WAVEFORMATEX)) return false;
        const WAVEFORMATEXTENSIBLE* ext = reinterpret_cast<const WAVEFORMATEXTENSIBLE*>(in);
        if (ext->SubFormat == kSubtypePcm)
            tag = WAVE_FORMAT_PCM;
        else if (ext->SubFormat == kSubtypeFloat)
            tag = WAVE_FORMAT_IEEE_FLOAT;
        else
            return false;
        if (ext->Samples.wValidBitsPerSample > in->wBitsPerSample) return false;
        out->Format.cbSize = static_cast<uint16_t>(sizeof(FAudioWaveFormatExtensible) - sizeof(FAudioWaveFormatEx));
        out->Samples.wValidBitsPerSample = ext->Samples.wValidBitsPerSample;
        out->dwChannelMask = ext->dwChannelMask;
        out->SubFormat.Data1 = ext->SubFormat.Data1;
        out->SubFormat.Data2 = ext->SubFormat.Data2;
        out->SubFormat.Data3 = ext->SubFormat.Data3;
        for (int i = 0; i < 8; ++i) out->SubFormat.Data4[i] = ext->SubFormat.Data4[i];
    }
    const WORD bits = in->wBitsPerSample;
    if (tag == WAVE_FORMAT_PCM) {
        if (bits != 8 && bits != 16 && bits != 24 && bits != 32) return false;
    } else if (tag == WAVE_FORMAT_IEEE_FLOAT) {
        if (bits != 32) return false;
    } else {
        return false;
    }
    if (in->nChannels < 1 || in->nChannels > XAUDIO2_MAX_AUDIO_CHANNELS) return false;
    if (in->nSamplesPerSec < XAUDIO2_MIN_SAMPLE_RATE || in->nSamplesPerSec > XAUDIO2_MAX_SAMPLE_RATE) return false;
    if (in->nBlockAlign != in->nChannels * (bits / 8)) return false;
    return true;
}

class Engine;

// The voice methods of the 2.7 vtable that lie outside the subset the game
// calls (effects, filters, routing, per-channel levels): they report
// E_NOTIMPL and fill what they return with zeros, so a caller sees the
// refusal instead of a silent success.
template <class Base>
class VoiceOutsideSubset : public Base {
public:
    void STDMETHODCALLTYPE GetVoiceDetails(XAUDIO2_VOICE_DETAILS* pVoiceDetails) override {
        if (pVoiceDetails) *pVoiceDetails = XAUDIO2_VOICE_DETAILS();
    }
    HRESULT STDMETHODCALLTYPE SetOutputVoices(const XAUDIO2_VOICE_SENDS*) override { return Unsupported(); }
    HRESULT STDMETHODCALLTYPE SetEffectChain(const XAUDIO2_EFFECT_CHAIN*) override { return Unsupported(); }
    HRESULT STDMETHODCALLTYPE EnableEffect(UINT32, UINT32) override { return Unsupported(); }
    HRESULT STDMETHODCALLTYPE DisableEffect(UINT32, UINT32) override { return Unsupported(); }
    void STDMETHODCALLTYPE GetEffectState(UINT32, BOOL* pEnabled) override {
        if (pEnabled) *pEnabled = FALSE;
    }
    HRESULT STDMETHODCALLTYPE SetEffectParameters(UINT32, const void*, UINT32, UINT32) override {
        return Unsupported();
    }
    HRESULT STDMETHODCALLTYPE GetEffectParameters(UINT32, void*, UINT32) override { return Unsupported(); }
    HRESULT STDMETHODCALLTYPE SetFilterParameters(const XAUDIO2_FILTER_PARAMETERS*, UINT32) override {
        return Unsupported();
    }
    void STDMETHODCALLTYPE GetFilterParameters(XAUDIO2_FILTER_PARAMETERS* pParameters) override {
        if (pParameters) *pParameters = XAUDIO2_FILTER_PARAMETERS();
    }
    HRESULT STDMETHODCALLTYPE SetOutputFilterParameters(IXAudio2Voice*, const XAUDIO2_FILTER_PARAMETERS*,
                                                        UINT32) override {
        return Unsupported();
    }
    void STDMETHODCALLTYPE GetOutputFilterParameters(IXAudio2Voice*, XAUDIO2_FILTER_PARAMETERS* pParameters) override {
        if (pParameters) *pParameters = XAUDIO2_FILTER_PARAMETERS();
    }
    HRESULT STDMETHODCALLTYPE SetChannelVolumes(UINT32, const float*, UINT32) override { return Unsupported(); }
    void STDMETHODCALLTYPE GetChannelVolumes(UINT32 Channels, float* pVolumes) override {
        for (UINT32 i = 0; pVolumes && i < Channels; ++i) pVolumes[i] = 0.0f;
    }
    HRESULT STDMETHODCALLTYPE SetOutputMatrix(IXAudio2Voice*, UINT32, UINT32, const float*, UINT32) override {
        return Unsupported();
    }
    void STDMETHODCALLTYPE GetOutputMatrix(IXAudio2Voice*, UINT32 SourceChannels, UINT32 DestinationChannels,
                                           float* pLevelMatrix) override {
        for (UINT32 i = 0; pLevelMatrix && i < SourceChannels * DestinationChannels; ++i) pLevelMatrix[i] = 0.0f;
    }

protected:
    static HRESULT Unsupported() {
        fprintf(stderr, "XAudio2: effects, filters and voice routing are not supported\n");
        return E_NOTIMPL;
    }
};

class MasteringVoice final : public VoiceOutsideSubset<IXAudio2MasteringVoice> {
public:
    MasteringVoice(Engine* engine, FAudioMasteringVoice* voice) : engine_(engine), voice_(voice) {}

    HRESULT STDMETHODCALLTYPE SetVolume(float Volume, UINT32 OperationSet) override;
    void STDMETHODCALLTYPE GetVolume(float* pVolume) override;
    void STDMETHODCALLTYPE DestroyVoice() override;

    // The engine goes away: the FAudio voice is destroyed, this object stays a husk.
    void Orphan() {
        if (voice_) FAudioVoice_DestroyVoice(voice_);
        voice_ = NULL;
        engine_ = NULL;
    }
    FAudioMasteringVoice* fvoice() const { return voice_; }

private:
    Engine* engine_;
    FAudioMasteringVoice* voice_;
};

class SourceVoice final : public VoiceOutsideSubset<IXAudio2SourceVoice> {
public:
    SourceVoice(Engine* engine, FAudioSourceVoice* voice, UINT32 blockAlign, bool feedsMaster)
        : engine_(engine), voice_(voice), blockAlign_(blockAlign), feedsMaster_(feedsMaster) {
        ++g_liveSourceVoices;
    }

    HRESULT STDMETHODCALLTYPE SetVolume(float Volume, UINT32 OperationSet) override;
    void STDMETHODCALLTYPE GetVolume(float* pVolume) override;
    void STDMETHODCALLTYPE DestroyVoice() override;
    HRESULT STDMETHODCALLTYPE Start(UINT32 Flags, UINT32 OperationSet) override;
    HRESULT STDMETHODCALLTYPE Stop(UINT32 Flags, UINT32 OperationSet) override;
    HRESULT STDMETHODCALLTYPE SubmitSourceBuffer(const XAUDIO2_BUFFER* pBuffer,
                                                 const XAUDIO2_BUFFER_WMA* pBufferWMA) override;
    HRESULT STDMETHODCALLTYPE FlushSourceBuffers() override;
    void STDMETHODCALLTYPE GetState(XAUDIO2_VOICE_STATE* pVoiceState) override;
    // Pitch and loop control, outside the game's subset.
    HRESULT STDMETHODCALLTYPE Discontinuity() override { return Unsupported(); }
    HRESULT STDMETHODCALLTYPE ExitLoop(UINT32) override { return Unsupported(); }
    HRESULT STDMETHODCALLTYPE SetFrequencyRatio(float, UINT32) override { return Unsupported(); }
    void STDMETHODCALLTYPE GetFrequencyRatio(float* pRatio) override {
        if (pRatio) *pRatio = 1.0f;
    }
    HRESULT STDMETHODCALLTYPE SetSourceSampleRate(UINT32) override { return Unsupported(); }

    void Orphan() {
        if (voice_) {
            FAudioVoice_DestroyVoice(voice_);
            --g_liveSourceVoices;
        }
        voice_ = NULL;
        engine_ = NULL;
    }
    bool feedsMaster() const { return feedsMaster_; }

private:
    Engine* engine_;
    FAudioSourceVoice* voice_;
    UINT32 blockAlign_;
    bool feedsMaster_;
};

class Engine final : public winapi::ComObject<IXAudio2> {
public:
    Engine() {}
    ~Engine() override {
        // Source voices first: they feed the mastering voice.
        for (SourceVoice* v : sources_) v->Orphan();
        sources_.clear();
        if (master_) master_->Orphan();
        master_ = NULL;
        if (audio_) FAudio_Release(audio_);
    }

    bool Construct() { return FAudioCOMConstructEXT(&audio_, 7) == 0 && audio_; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        return AnswerQuery(riid, ppv, {&IID_IXAudio2});
    }

    HRESULT STDMETHODCALLTYPE Initialize(UINT32 Flags, XAUDIO2_PROCESSOR XAudio2Processor) override {
        if (initialized_) return XAUDIO2_E_INVALID_CALL;
        if (Flags & ~static_cast<UINT32>(XAUDIO2_DEBUG_ENGINE)) return E_INVALIDARG;
        const HRESULT hr = FromFAudio(FAudio_Initialize(audio_, 0, XAudio2Processor));
        if (SUCCEEDED(hr)) initialized_ = true;
        return hr;
    }

    HRESULT STDMETHODCALLTYPE CreateSourceVoice(IXAudio2SourceVoice** ppSourceVoice, const WAVEFORMATEX* pSourceFormat,
                                                UINT32 Flags, float MaxFrequencyRatio, IXAudio2VoiceCallback* pCallback,
                                                const XAUDIO2_VOICE_SENDS* pSendList,
                                                const XAUDIO2_EFFECT_CHAIN* pEffectChain) override {
        if (!ppSourceVoice) return XAUDIO2_E_INVALID_CALL;
        *ppSourceVoice = NULL;
        if (!initialized_) return XAUDIO2_E_INVALID_CALL;
        if (pCallback || (pEffectChain && pEffectChain->EffectCount > 0)) {
            fprintf(stderr, "XAudio2: voice callbacks and effect chains are not supported\n");
            return E_NOTIMPL;
        }
        if (Flags & ~kSourceVoiceFlags) return XAUDIO2_E_INVALID_CALL;
        if (!(MaxFrequencyRatio >= XAUDIO2_MIN_FREQ_RATIO && MaxFrequencyRatio <= XAUDIO2_MAX_FREQ_RATIO))
            return XAUDIO2_E_INVALID_CALL;
        FAudioWaveFormatExtensible format;
        if (!TranslateFormat(pSourceFormat, &format)) return XAUDIO2_E_INVALID_CALL;

        // Without a send list the voice feeds the mastering voice, which must
        // exist; a list may name only the mastering voice, or nothing at all.
        bool feedsMaster = true;
        FAudioVoiceSends noSends = {0, NULL};
        const FAudioVoiceSends* sends = NULL;
        if (pSendList) {
            if (pSendList->SendCount == 0) {
                feedsMaster = false;
                sends = &noSends;
            } else {
                if (!pSendList->pSends) return XAUDIO2_E_INVALID_CALL;
                for (UINT32 i = 0; i < pSendList->SendCount; ++i)
                    if (!master_ || pSendList->pSends[i].pOutputVoice != master_) return XAUDIO2_E_INVALID_CALL;
            }
        }
        if (feedsMaster && !master_) return XAUDIO2_E_INVALID_CALL;

        FAudioSourceVoice* fv = NULL;
        const HRESULT hr = FromFAudio(
            FAudio_CreateSourceVoice(audio_, &fv, &format.Format, Flags, MaxFrequencyRatio, NULL, sends, NULL));
        if (FAILED(hr) || !fv) return FAILED(hr) ? hr : E_FAIL;
        SourceVoice* v = new SourceVoice(this, fv, format.Format.nBlockAlign, feedsMaster);
        sources_.push_back(v);
        *ppSourceVoice = v;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE CreateMasteringVoice(IXAudio2MasteringVoice** ppMasteringVoice, UINT32 InputChannels,
                                                   UINT32 InputSampleRate, UINT32 Flags, UINT32 DeviceIndex,
                                                   const XAUDIO2_EFFECT_CHAIN* pEffectChain) override {
        if (!ppMasteringVoice) return XAUDIO2_E_INVALID_CALL;
        *ppMasteringVoice = NULL;
        if (!initialized_ || master_ || Flags != 0) return XAUDIO2_E_INVALID_CALL;
        if (pEffectChain && pEffectChain->EffectCount > 0) {
            fprintf(stderr, "XAudio2: effect chains are not supported\n");
            return E_NOTIMPL;
        }
        if (InputChannels > XAUDIO2_MAX_AUDIO_CHANNELS) return XAUDIO2_E_INVALID_CALL;
        if (InputSampleRate != XAUDIO2_DEFAULT_SAMPLERATE &&
            (InputSampleRate < XAUDIO2_MIN_SAMPLE_RATE || InputSampleRate > XAUDIO2_MAX_SAMPLE_RATE))
            return XAUDIO2_E_INVALID_CALL;

        uint32_t devices = 0;
        if (FAudio_GetDeviceCount(audio_, &devices) != 0 || devices == 0) {
            fprintf(stderr, "XAudio2: no audio device can be opened\n");
            return XAUDIO2_E_DEVICE_INVALIDATED;
        }
        if (DeviceIndex >= devices) return E_INVALIDARG;
        FAudioMasteringVoice* fv = NULL;
        const uint32_t r =
            FAudio_CreateMasteringVoice(audio_, &fv, InputChannels, InputSampleRate, 0, DeviceIndex, NULL);
        if (r != 0 || !fv) {
            fprintf(stderr, "XAudio2: the audio device could not be opened (0x%08x)\n", r);
            return XAUDIO2_E_DEVICE_INVALIDATED;
        }
        master_ = new MasteringVoice(this, fv);
        *ppMasteringVoice = master_;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE GetDeviceCount(UINT32* pCount) override {
        if (!pCount) return XAUDIO2_E_INVALID_CALL;
        uint32_t devices = 0;
        const HRESULT hr = FromFAudio(FAudio_GetDeviceCount(audio_, &devices));
        *pCount = SUCCEEDED(hr) ? devices : 0;
        return hr;
    }
    // Outside the game's subset: device details, engine callbacks, submix voices.
    HRESULT STDMETHODCALLTYPE GetDeviceDetails(UINT32, XAUDIO2_DEVICE_DETAILS* pDeviceDetails) override {
        if (pDeviceDetails) *pDeviceDetails = XAUDIO2_DEVICE_DETAILS();
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE RegisterForCallbacks(IXAudio2EngineCallback*) override { return E_NOTIMPL; }
    void STDMETHODCALLTYPE UnregisterForCallbacks(IXAudio2EngineCallback*) override {}
    HRESULT STDMETHODCALLTYPE CreateSubmixVoice(IXAudio2SubmixVoice** ppSubmixVoice, UINT32, UINT32, UINT32, UINT32,
                                                const XAUDIO2_VOICE_SENDS*, const XAUDIO2_EFFECT_CHAIN*) override {
        if (ppSubmixVoice) *ppSubmixVoice = NULL;
        fprintf(stderr, "XAudio2: submix voices are not supported\n");
        return E_NOTIMPL;
    }
    // Every operation is applied at once, so there is never a set to commit.
    HRESULT STDMETHODCALLTYPE CommitChanges(UINT32) override { return S_OK; }
    void STDMETHODCALLTYPE GetPerformanceData(XAUDIO2_PERFORMANCE_DATA* pPerfData) override {
        if (pPerfData) *pPerfData = XAUDIO2_PERFORMANCE_DATA();
    }
    void STDMETHODCALLTYPE SetDebugConfiguration(const XAUDIO2_DEBUG_CONFIGURATION*, void*) override {}

    HRESULT STDMETHODCALLTYPE StartEngine() override {
        if (!initialized_) return XAUDIO2_E_INVALID_CALL;
        return FromFAudio(FAudio_StartEngine(audio_));
    }
    void STDMETHODCALLTYPE StopEngine() override {
        if (initialized_) FAudio_StopEngine(audio_);
    }

    void Forget(SourceVoice* v) { sources_.erase(std::remove(sources_.begin(), sources_.end(), v), sources_.end()); }
    void ForgetMaster() { master_ = NULL; }
    bool MasterInUse() const {
        for (const SourceVoice* v : sources_)
            if (v->feedsMaster()) return true;
        return false;
    }

private:
    FAudio* audio_ = NULL;
    bool initialized_ = false;
    MasteringVoice* master_ = NULL;
    std::vector<SourceVoice*> sources_;
};

// ---- mastering voice ----

HRESULT MasteringVoice::SetVolume(float Volume, UINT32) {
    if (!voice_ || !(fabsf(Volume) <= XAUDIO2_MAX_VOLUME_LEVEL)) return XAUDIO2_E_INVALID_CALL;
    return FromFAudio(FAudioVoice_SetVolume(voice_, Volume, FAUDIO_COMMIT_NOW));
}

void MasteringVoice::GetVolume(float* pVolume) {
    if (!pVolume) return;
    *pVolume = 0.0f;
    if (voice_) FAudioVoice_GetVolume(voice_, pVolume);
}

// As in XAudio2, a mastering voice that source voices still feed is not destroyed.
void MasteringVoice::DestroyVoice() {
    if (engine_) {
        if (engine_->MasterInUse()) {
            fprintf(stderr, "XAudio2: DestroyVoice on a mastering voice that source voices still use\n");
            return;
        }
        engine_->ForgetMaster();
    }
    if (voice_) FAudioVoice_DestroyVoice(voice_);
    delete this;
}

// ---- source voices ----

HRESULT SourceVoice::SetVolume(float Volume, UINT32) {
    if (!voice_ || !(fabsf(Volume) <= XAUDIO2_MAX_VOLUME_LEVEL)) return XAUDIO2_E_INVALID_CALL;
    return FromFAudio(FAudioVoice_SetVolume(voice_, Volume, FAUDIO_COMMIT_NOW));
}

void SourceVoice::GetVolume(float* pVolume) {
    if (!pVolume) return;
    *pVolume = 0.0f;
    if (voice_) FAudioVoice_GetVolume(voice_, pVolume);
}

void SourceVoice::DestroyVoice() {
    if (engine_) engine_->Forget(this);
    if (voice_) {
        FAudioVoice_DestroyVoice(voice_);
        --g_liveSourceVoices;
    }
    delete this;
}

// Operation sets are applied at once (CommitChanges has nothing left to do).
HRESULT SourceVoice::Start(UINT32 Flags, UINT32) {
    if (!voice_ || Flags != 0) return XAUDIO2_E_INVALID_CALL;
    return FromFAudio(FAudioSourceVoice_Start(voice_, 0, FAUDIO_COMMIT_NOW));
}

HRESULT SourceVoice::Stop(UINT32 Flags, UINT32) {
    if (!voice_ || (Flags & ~static_cast<UINT32>(XAUDIO2_PLAY_TAILS))) return XAUDIO2_E_INVALID_CALL;
    return FromFAudio(FAudioSourceVoice_Stop(voice_, Flags, FAUDIO_COMMIT_NOW));
}

HRESULT SourceVoice::SubmitSourceBuffer(const XAUDIO2_BUFFER* pBuffer, const XAUDIO2_BUFFER_WMA* pBufferWMA) {
    if (!voice_ || !pBuffer || pBufferWMA) return XAUDIO2_E_INVALID_CALL;
    const XAUDIO2_BUFFER& b = *pBuffer;
    if (b.Flags & ~static_cast<UINT32>(XAUDIO2_END_OF_STREAM)) return XAUDIO2_E_INVALID_CALL;
    if (!b.pAudioData || b.AudioBytes == 0 || b.AudioBytes > XAUDIO2_MAX_BUFFER_BYTES) return XAUDIO2_E_INVALID_CALL;
    // Sample frames in the buffer; a trailing partial frame is never played.
    const UINT64 frames = b.AudioBytes / blockAlign_;
    if (frames == 0) return XAUDIO2_E_INVALID_CALL;
    if (b.PlayBegin >= frames || static_cast<UINT64>(b.PlayBegin) + b.PlayLength > frames)
        return XAUDIO2_E_INVALID_CALL;
    const UINT64 playEnd = b.PlayLength ? static_cast<UINT64>(b.PlayBegin) + b.PlayLength : frames;
    if (b.LoopCount == 0) {
        if (b.LoopBegin != 0 || b.LoopLength != 0) return XAUDIO2_E_INVALID_CALL;
    } else {
        if (b.LoopCount > XAUDIO2_LOOP_INFINITE) return XAUDIO2_E_INVALID_CALL;
        const UINT64 loopEnd = b.LoopLength ? static_cast<UINT64>(b.LoopBegin) + b.LoopLength : playEnd;
        if (b.LoopBegin < b.PlayBegin || b.LoopBegin >= playEnd || loopEnd > playEnd) return XAUDIO2_E_INVALID_CALL;
    }
    FAudioVoiceState state;
    FAudioSourceVoice_GetState(voice_, &state, FAUDIO_VOICE_NOSAMPLESPLAYED);
    if (state.BuffersQueued >= XAUDIO2_MAX_QUEUED_BUFFERS) return XAUDIO2_E_INVALID_CALL;

    FAudioBuffer fb;
    fb.Flags = b.Flags;
    fb.AudioBytes = b.AudioBytes;
    fb.pAudioData = b.pAudioData;
    fb.PlayBegin = b.PlayBegin;
    fb.PlayLength = b.PlayLength;
    fb.LoopBegin = b.LoopBegin;
    fb.LoopLength = b.LoopLength;
    fb.LoopCount = b.LoopCount;
    fb.pContext = b.pContext;
    return FromFAudio(FAudioSourceVoice_SubmitSourceBuffer(voice_, &fb, NULL));
}

// Drops every queued buffer; the one playing survives only while the voice is started.
HRESULT SourceVoice::FlushSourceBuffers() {
    if (!voice_) return XAUDIO2_E_INVALID_CALL;
    return FromFAudio(FAudioSourceVoice_FlushSourceBuffers(voice_));
}

void SourceVoice::GetState(XAUDIO2_VOICE_STATE* pVoiceState) {
    if (!pVoiceState) return;
    pVoiceState->pCurrentBufferContext = NULL;
    pVoiceState->BuffersQueued = 0;
    pVoiceState->SamplesPlayed = 0;
    if (!voice_) return;
    FAudioVoiceState st;
    FAudioSourceVoice_GetState(voice_, &st, 0);
    pVoiceState->pCurrentBufferContext = st.pCurrentBufferContext;
    pVoiceState->BuffersQueued = st.BuffersQueued;
    pVoiceState->SamplesPlayed = st.SamplesPlayed;
}

}  // namespace

namespace winapi {

HRESULT CreateXAudio2Engine(IXAudio2** out) {
    *out = NULL;
    Engine* e = new Engine();
    if (!e->Construct()) {
        e->Release();
        return E_OUTOFMEMORY;
    }
    *out = e;
    return S_OK;
}

}  // namespace winapi

int WinapiTest_LiveSourceVoices() { return g_liveSourceVoices.load(); }
