// xaudio2.h: the XAudio2 2.7 interfaces (DirectX SDK of June 2010), with the
// names, values and vtable layout of that release: the engine's
// GetDeviceCount/GetDeviceDetails, a device index for the mastering voice,
// creation through COM. Today's Windows SDKs (and mingw-w64) declare only the
// 2.8+ interfaces, whose vtables differ, so both builds use this one: the
// Windows build against the real xaudio2_7.dll of the DirectX runtime, the
// Linux build against our engine on FAudio in platform/xaudio2/.
//
// Everything here is declared in full and in order, whether or not the game
// calls it, because the order of the methods is the ABI.
#pragma once

#include <windows.h>

// ---- wave formats (mmreg.h; on Windows already declared by windows.h) ----
#pragma pack(push, 1)
#ifndef _WAVEFORMATEX_
#define _WAVEFORMATEX_
typedef struct tWAVEFORMATEX {
    WORD wFormatTag;
    WORD nChannels;
    DWORD nSamplesPerSec;
    DWORD nAvgBytesPerSec;
    WORD nBlockAlign;
    WORD wBitsPerSample;
    WORD cbSize;
} WAVEFORMATEX, *PWAVEFORMATEX, *LPWAVEFORMATEX;
#endif
#ifndef _WAVEFORMATEXTENSIBLE_
#define _WAVEFORMATEXTENSIBLE_
typedef struct {
    WAVEFORMATEX Format;
    union {
        WORD wValidBitsPerSample;
        WORD wSamplesPerBlock;
        WORD wReserved;
    } Samples;
    DWORD dwChannelMask;
    GUID SubFormat;
} WAVEFORMATEXTENSIBLE, *PWAVEFORMATEXTENSIBLE;
#endif
#pragma pack(pop)

#ifndef WAVE_FORMAT_PCM
#define WAVE_FORMAT_PCM 1
#endif
#ifndef WAVE_FORMAT_IEEE_FLOAT
#define WAVE_FORMAT_IEEE_FLOAT 0x0003
#endif
#ifndef WAVE_FORMAT_EXTENSIBLE
#define WAVE_FORMAT_EXTENSIBLE 0xFFFE
#endif

// ---- constants ----
typedef UINT32 XAUDIO2_PROCESSOR;
#define XAUDIO2_ANY_PROCESSOR 0xffffffff
#define XAUDIO2_DEFAULT_PROCESSOR XAUDIO2_ANY_PROCESSOR
#define XAUDIO2_DEBUG_ENGINE 0x0001
#define XAUDIO2_COMMIT_NOW 0
#define XAUDIO2_COMMIT_ALL 0
#define XAUDIO2_END_OF_STREAM 0x0040
#define XAUDIO2_PLAY_TAILS 0x0020
#define XAUDIO2_DEFAULT_CHANNELS 0
#define XAUDIO2_DEFAULT_SAMPLERATE 0
#define XAUDIO2_DEFAULT_FREQ_RATIO 2.0f
#define XAUDIO2_MAX_QUEUED_BUFFERS 64
#define XAUDIO2_NO_LOOP_REGION 0
#define XAUDIO2_LOOP_INFINITE 255
#define XAUDIO2_MAX_LOOP_COUNT 254

#define XAUDIO2_MAX_BUFFER_BYTES 0x80000000
#define XAUDIO2_MAX_AUDIO_CHANNELS 64
#define XAUDIO2_MIN_SAMPLE_RATE 1000
#define XAUDIO2_MAX_SAMPLE_RATE 200000
#define XAUDIO2_MAX_VOLUME_LEVEL 16777216.0f
#define XAUDIO2_MIN_FREQ_RATIO (1 / 1024.0f)
#define XAUDIO2_MAX_FREQ_RATIO 1024.0f
#define XAUDIO2_VOICE_NOPITCH 0x0002
#define XAUDIO2_VOICE_NOSRC 0x0004
#define XAUDIO2_VOICE_USEFILTER 0x0008
#define XAUDIO2_VOICE_MUSIC 0x0010

// COM results the engine's creation can report (winerror.h, which the SDK's
// xaudio2.h brings in through objbase.h).
#ifndef REGDB_E_CLASSNOTREG
#define REGDB_E_CLASSNOTREG ((HRESULT)0x80040154L)
#endif
#ifndef CLASS_E_NOAGGREGATION
#define CLASS_E_NOAGGREGATION ((HRESULT)0x80040110L)
#endif
#ifndef CO_E_NOTINITIALIZED
#define CO_E_NOTINITIALIZED ((HRESULT)0x800401F0L)
#endif
#ifndef RPC_E_CHANGED_MODE
#define RPC_E_CHANGED_MODE ((HRESULT)0x80010106L)
#endif

#define FACILITY_XAUDIO2 0x896
#define XAUDIO2_E_INVALID_CALL ((HRESULT)0x88960001)
#define XAUDIO2_E_XMA_DECODER_ERROR ((HRESULT)0x88960002)
#define XAUDIO2_E_XAPO_CREATION_FAILED ((HRESULT)0x88960003)
#define XAUDIO2_E_DEVICE_INVALIDATED ((HRESULT)0x88960004)

// XAudio2 2.7 class and interface ids. Defined here in every unit that
// includes the header (no import library carries the 2.7 ids).
static const GUID CLSID_XAudio2 = {0x5a508685, 0xa254, 0x4fba, {0x9b, 0x82, 0x9a, 0x24, 0xb0, 0x03, 0x06, 0xaf}};
static const GUID CLSID_XAudio2_Debug = {0xdb05ea35, 0x0329, 0x4d4b, {0xa5, 0x3a, 0x6d, 0xea, 0xd0, 0x3d, 0x38, 0x52}};
static const GUID IID_IXAudio2 = {0x8bcf1f58, 0x9fe7, 0x4583, {0x8a, 0xc6, 0xe2, 0xad, 0xc4, 0x65, 0xc8, 0xbb}};

// ---- records ----
typedef struct XAUDIO2_BUFFER {
    UINT32 Flags;
    UINT32 AudioBytes;
    const BYTE* pAudioData;
    UINT32 PlayBegin;
    UINT32 PlayLength;
    UINT32 LoopBegin;
    UINT32 LoopLength;
    UINT32 LoopCount;
    void* pContext;
} XAUDIO2_BUFFER;

typedef struct XAUDIO2_BUFFER_WMA {
    const UINT32* pDecodedPacketCumulativeBytes;
    UINT32 PacketCount;
} XAUDIO2_BUFFER_WMA;

typedef struct XAUDIO2_VOICE_STATE {
    void* pCurrentBufferContext;
    UINT32 BuffersQueued;
    UINT64 SamplesPlayed;
} XAUDIO2_VOICE_STATE;

struct IXAudio2Voice;
typedef struct XAUDIO2_SEND_DESCRIPTOR {
    UINT32 Flags;
    IXAudio2Voice* pOutputVoice;
} XAUDIO2_SEND_DESCRIPTOR;
typedef struct XAUDIO2_VOICE_SENDS {
    UINT32 SendCount;
    XAUDIO2_SEND_DESCRIPTOR* pSends;
} XAUDIO2_VOICE_SENDS;
typedef struct XAUDIO2_EFFECT_DESCRIPTOR {
    IUnknown* pEffect;
    BOOL InitialState;
    UINT32 OutputChannels;
} XAUDIO2_EFFECT_DESCRIPTOR;
typedef struct XAUDIO2_EFFECT_CHAIN {
    UINT32 EffectCount;
    XAUDIO2_EFFECT_DESCRIPTOR* pEffectDescriptors;
} XAUDIO2_EFFECT_CHAIN;

typedef enum XAUDIO2_DEVICE_ROLE {
    NotDefaultDevice = 0x0,
    DefaultConsoleDevice = 0x1,
    DefaultMultimediaDevice = 0x2,
    DefaultCommunicationsDevice = 0x4,
    DefaultGameDevice = 0x8,
    GlobalDefaultDevice = 0xf,
    InvalidDeviceRole = ~GlobalDefaultDevice
} XAUDIO2_DEVICE_ROLE;

typedef struct XAUDIO2_DEVICE_DETAILS {
    WCHAR DeviceID[256];
    WCHAR DisplayName[256];
    XAUDIO2_DEVICE_ROLE Role;
    WAVEFORMATEXTENSIBLE OutputFormat;
} XAUDIO2_DEVICE_DETAILS;

typedef struct XAUDIO2_VOICE_DETAILS {
    UINT32 CreationFlags;
    UINT32 InputChannels;
    UINT32 InputSampleRate;
} XAUDIO2_VOICE_DETAILS;

typedef enum XAUDIO2_FILTER_TYPE { LowPassFilter, BandPassFilter, HighPassFilter, NotchFilter } XAUDIO2_FILTER_TYPE;

typedef struct XAUDIO2_FILTER_PARAMETERS {
    XAUDIO2_FILTER_TYPE Type;
    float Frequency;
    float OneOverQ;
} XAUDIO2_FILTER_PARAMETERS;

typedef struct XAUDIO2_PERFORMANCE_DATA {
    UINT64 AudioCyclesSinceLastQuery;
    UINT64 TotalCyclesSinceLastQuery;
    UINT32 MinimumCyclesPerQuantum;
    UINT32 MaximumCyclesPerQuantum;
    UINT32 MemoryUsageInBytes;
    UINT32 CurrentLatencyInSamples;
    UINT32 GlitchesSinceEngineStarted;
    UINT32 ActiveSourceVoiceCount;
    UINT32 TotalSourceVoiceCount;
    UINT32 ActiveSubmixVoiceCount;
    UINT32 ActiveResamplerCount;
    UINT32 ActiveMatrixMixCount;
    UINT32 ActiveXmaSourceVoices;
    UINT32 ActiveXmaStreams;
} XAUDIO2_PERFORMANCE_DATA;

typedef struct XAUDIO2_DEBUG_CONFIGURATION {
    UINT32 TraceMask;
    UINT32 BreakMask;
    BOOL LogThreadID;
    BOOL LogFileline;
    BOOL LogFunctionName;
    BOOL LogTiming;
} XAUDIO2_DEBUG_CONFIGURATION;

// The game registers no callbacks; the types exist for the signatures.
struct IXAudio2VoiceCallback;
struct IXAudio2EngineCallback;

// ---- interfaces, each method in its vtable slot ----
struct IXAudio2Voice {
    virtual void STDMETHODCALLTYPE GetVoiceDetails(XAUDIO2_VOICE_DETAILS* pVoiceDetails) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetOutputVoices(const XAUDIO2_VOICE_SENDS* pSendList) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetEffectChain(const XAUDIO2_EFFECT_CHAIN* pEffectChain) = 0;
    virtual HRESULT STDMETHODCALLTYPE EnableEffect(UINT32 EffectIndex, UINT32 OperationSet = XAUDIO2_COMMIT_NOW) = 0;
    virtual HRESULT STDMETHODCALLTYPE DisableEffect(UINT32 EffectIndex, UINT32 OperationSet = XAUDIO2_COMMIT_NOW) = 0;
    virtual void STDMETHODCALLTYPE GetEffectState(UINT32 EffectIndex, BOOL* pEnabled) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetEffectParameters(UINT32 EffectIndex, const void* pParameters,
                                                          UINT32 ParametersByteSize,
                                                          UINT32 OperationSet = XAUDIO2_COMMIT_NOW) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetEffectParameters(UINT32 EffectIndex, void* pParameters,
                                                          UINT32 ParametersByteSize) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetFilterParameters(const XAUDIO2_FILTER_PARAMETERS* pParameters,
                                                          UINT32 OperationSet = XAUDIO2_COMMIT_NOW) = 0;
    virtual void STDMETHODCALLTYPE GetFilterParameters(XAUDIO2_FILTER_PARAMETERS* pParameters) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetOutputFilterParameters(IXAudio2Voice* pDestinationVoice,
                                                                const XAUDIO2_FILTER_PARAMETERS* pParameters,
                                                                UINT32 OperationSet = XAUDIO2_COMMIT_NOW) = 0;
    virtual void STDMETHODCALLTYPE GetOutputFilterParameters(IXAudio2Voice* pDestinationVoice,
                                                             XAUDIO2_FILTER_PARAMETERS* pParameters) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetVolume(float Volume, UINT32 OperationSet = XAUDIO2_COMMIT_NOW) = 0;
    virtual void STDMETHODCALLTYPE GetVolume(float* pVolume) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetChannelVolumes(UINT32 Channels, const float* pVolumes,
                                                        UINT32 OperationSet = XAUDIO2_COMMIT_NOW) = 0;
    virtual void STDMETHODCALLTYPE GetChannelVolumes(UINT32 Channels, float* pVolumes) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetOutputMatrix(IXAudio2Voice* pDestinationVoice, UINT32 SourceChannels,
                                                      UINT32 DestinationChannels, const float* pLevelMatrix,
                                                      UINT32 OperationSet = XAUDIO2_COMMIT_NOW) = 0;
    virtual void STDMETHODCALLTYPE GetOutputMatrix(IXAudio2Voice* pDestinationVoice, UINT32 SourceChannels,
                                                   UINT32 DestinationChannels, float* pLevelMatrix) = 0;
    virtual void STDMETHODCALLTYPE DestroyVoice() = 0;

protected:
    ~IXAudio2Voice() {}
};

struct IXAudio2SourceVoice : public IXAudio2Voice {
    virtual HRESULT STDMETHODCALLTYPE Start(UINT32 Flags = 0, UINT32 OperationSet = XAUDIO2_COMMIT_NOW) = 0;
    virtual HRESULT STDMETHODCALLTYPE Stop(UINT32 Flags = 0, UINT32 OperationSet = XAUDIO2_COMMIT_NOW) = 0;
    virtual HRESULT STDMETHODCALLTYPE SubmitSourceBuffer(const XAUDIO2_BUFFER* pBuffer,
                                                         const XAUDIO2_BUFFER_WMA* pBufferWMA = NULL) = 0;
    virtual HRESULT STDMETHODCALLTYPE FlushSourceBuffers() = 0;
    virtual HRESULT STDMETHODCALLTYPE Discontinuity() = 0;
    virtual HRESULT STDMETHODCALLTYPE ExitLoop(UINT32 OperationSet = XAUDIO2_COMMIT_NOW) = 0;
    virtual void STDMETHODCALLTYPE GetState(XAUDIO2_VOICE_STATE* pVoiceState) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetFrequencyRatio(float Ratio, UINT32 OperationSet = XAUDIO2_COMMIT_NOW) = 0;
    virtual void STDMETHODCALLTYPE GetFrequencyRatio(float* pRatio) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetSourceSampleRate(UINT32 NewSourceSampleRate) = 0;

protected:
    ~IXAudio2SourceVoice() {}
};

struct IXAudio2SubmixVoice : public IXAudio2Voice {
protected:
    ~IXAudio2SubmixVoice() {}
};

struct IXAudio2MasteringVoice : public IXAudio2Voice {
protected:
    ~IXAudio2MasteringVoice() {}
};

struct IXAudio2 : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetDeviceCount(UINT32* pCount) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDeviceDetails(UINT32 Index, XAUDIO2_DEVICE_DETAILS* pDeviceDetails) = 0;
    virtual HRESULT STDMETHODCALLTYPE Initialize(UINT32 Flags = 0,
                                                 XAUDIO2_PROCESSOR XAudio2Processor = XAUDIO2_DEFAULT_PROCESSOR) = 0;
    virtual HRESULT STDMETHODCALLTYPE RegisterForCallbacks(IXAudio2EngineCallback* pCallback) = 0;
    virtual void STDMETHODCALLTYPE UnregisterForCallbacks(IXAudio2EngineCallback* pCallback) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateSourceVoice(IXAudio2SourceVoice** ppSourceVoice,
                                                        const WAVEFORMATEX* pSourceFormat, UINT32 Flags = 0,
                                                        float MaxFrequencyRatio = XAUDIO2_DEFAULT_FREQ_RATIO,
                                                        IXAudio2VoiceCallback* pCallback = NULL,
                                                        const XAUDIO2_VOICE_SENDS* pSendList = NULL,
                                                        const XAUDIO2_EFFECT_CHAIN* pEffectChain = NULL) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateSubmixVoice(IXAudio2SubmixVoice** ppSubmixVoice, UINT32 InputChannels,
                                                        UINT32 InputSampleRate, UINT32 Flags = 0,
                                                        UINT32 ProcessingStage = 0,
                                                        const XAUDIO2_VOICE_SENDS* pSendList = NULL,
                                                        const XAUDIO2_EFFECT_CHAIN* pEffectChain = NULL) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateMasteringVoice(IXAudio2MasteringVoice** ppMasteringVoice,
                                                           UINT32 InputChannels = XAUDIO2_DEFAULT_CHANNELS,
                                                           UINT32 InputSampleRate = XAUDIO2_DEFAULT_SAMPLERATE,
                                                           UINT32 Flags = 0, UINT32 DeviceIndex = 0,
                                                           const XAUDIO2_EFFECT_CHAIN* pEffectChain = NULL) = 0;
    virtual HRESULT STDMETHODCALLTYPE StartEngine() = 0;
    virtual void STDMETHODCALLTYPE StopEngine() = 0;
    virtual HRESULT STDMETHODCALLTYPE CommitChanges(UINT32 OperationSet) = 0;
    virtual void STDMETHODCALLTYPE GetPerformanceData(XAUDIO2_PERFORMANCE_DATA* pPerfData) = 0;
    virtual void STDMETHODCALLTYPE SetDebugConfiguration(const XAUDIO2_DEBUG_CONFIGURATION* pDebugConfiguration,
                                                         void* pReserved = NULL) = 0;
};

// As the 2.7 header defines it: the engine comes from COM, then is initialised.
inline HRESULT XAudio2Create(IXAudio2** ppXAudio2, UINT32 Flags = 0,
                             XAUDIO2_PROCESSOR XAudio2Processor = XAUDIO2_DEFAULT_PROCESSOR) {
    IXAudio2* pXAudio2 = NULL;
    HRESULT hr = CoCreateInstance((Flags & XAUDIO2_DEBUG_ENGINE) ? CLSID_XAudio2_Debug : CLSID_XAudio2, NULL,
                                  CLSCTX_INPROC_SERVER, IID_IXAudio2, (void**)&pXAudio2);
    if (SUCCEEDED(hr)) {
        hr = pXAudio2->Initialize(Flags, XAudio2Processor);
        if (SUCCEEDED(hr)) {
            *ppXAudio2 = pXAudio2;
        } else {
            pXAudio2->Release();
        }
    }
    return hr;
}
