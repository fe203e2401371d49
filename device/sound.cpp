// Sound: the game's four pieces of background music, played through XAudio2.
//
// State: the engine (g_xaudio2) and its mastering voice, and per sound index a
// source voice, the heap block with the samples of the file's "data" chunk and
// the block's size. InitSound creates all of it at start-up; it lives until
// UninitSound, which the game's Uninit calls last, after every scene has ended. Each voice gets its one buffer queued
// at load time and is not started until PlaySound. A sample block is freed only after its voice is destroyed, because
// the mixer threads read it while the voice lives.
//
// Wave files are read by ReadWaveFile (sound_file.cpp), which trusts nothing
// in the file.
#include "device/sound.h"
#include "device/sound_testing.h"

#include <string.h>

namespace {

struct SoundParam {
    const char* fileName;  // relative to the working directory
    int loopCount;         // 0: play once
};

const SoundParam g_soundTable[BGM_COUNT] = {
    {"SE/BGM_TITLE.wav", 0},
    {"SE/BGM_GAME1.wav", 0},
    {"SE/BGM_GAME2.wav", 0},
    {"SE/BGM_RESULT.wav", 0},
};

const char* const SOUND_CAPTION = "警告！";

IXAudio2* g_xaudio2 = nullptr;
IXAudio2MasteringVoice* g_masteringVoice = nullptr;
IXAudio2SourceVoice* g_sourceVoice[BGM_COUNT] = {};
BYTE* g_audioData[BGM_COUNT] = {};
DWORD g_audioSize[BGM_COUNT] = {};
bool g_comInitialized = false;

// The buffer record that plays a whole sample block once.
void FillSoundBuffer(XAUDIO2_BUFFER* buffer, int index) {
    memset(buffer, 0, sizeof(*buffer));
    buffer->Flags = XAUDIO2_END_OF_STREAM;
    buffer->AudioBytes = g_audioSize[index];
    buffer->pAudioData = g_audioData[index];
    buffer->PlayBegin = 0;
    buffer->PlayLength = 0;
    buffer->LoopBegin = 0;
    buffer->LoopLength = 0;
    buffer->LoopCount = (UINT32)g_soundTable[index].loopCount;
    buffer->pContext = NULL;
}

bool SoundFailure(HWND hWnd, const char* message) {
    MessageBoxA(hWnd, message, SOUND_CAPTION, MB_ICONWARNING);
    return false;
}

void FreeSoundData(int index) {
    delete[] g_audioData[index];
    g_audioData[index] = nullptr;
    g_audioSize[index] = 0;
}

// Loading one wave file into a new voice; the file is open and is closed by
// the caller whatever happens here. Shows the message of the step that fails
// and returns false.
bool LoadSoundFromFile(HWND hWnd, int index, HANDLE file) {
    WAVEFORMATEXTENSIBLE format;
    const char* failure = ReadWaveFile(file, &format, &g_audioData[index], &g_audioSize[index]);
    if (failure != nullptr) {
        return SoundFailure(hWnd, failure);
    }

    HRESULT hr = g_xaudio2->CreateSourceVoice(&g_sourceVoice[index], &format.Format, 0, XAUDIO2_DEFAULT_FREQ_RATIO,
                                              NULL, NULL, NULL);
    if (FAILED(hr)) {
        g_sourceVoice[index] = nullptr;
        FreeSoundData(index);
        return SoundFailure(hWnd, "ソースボイスの生成に失敗！");
    }

    XAUDIO2_BUFFER buffer;
    FillSoundBuffer(&buffer, index);
    g_sourceVoice[index]->SubmitSourceBuffer(&buffer, NULL);
    return true;
}

}  // namespace

// Engine, mastering voice and the four sounds. Stops at the first failure with
// a warning box; sounds loaded before it stay playable.
bool InitSound(HWND hWnd) {
    g_comInitialized = SUCCEEDED(CoInitializeEx(NULL, COINIT_MULTITHREADED));

    HRESULT hr = XAudio2Create(&g_xaudio2, 0, XAUDIO2_DEFAULT_PROCESSOR);
    if (FAILED(hr)) {
        g_xaudio2 = nullptr;
        MessageBoxA(hWnd, "XAudio2オブジェクトの作成に失敗！", SOUND_CAPTION, MB_ICONWARNING);
        if (g_comInitialized) {
            CoUninitialize();
            g_comInitialized = false;
        }
        return false;
    }

    hr = g_xaudio2->CreateMasteringVoice(&g_masteringVoice, XAUDIO2_DEFAULT_CHANNELS, XAUDIO2_DEFAULT_SAMPLERATE, 0, 0,
                                         NULL);
    if (FAILED(hr)) {
        g_masteringVoice = nullptr;
        MessageBoxA(hWnd, "マスターボイスの生成に失敗！", SOUND_CAPTION, MB_ICONWARNING);
        g_xaudio2->Release();
        g_xaudio2 = nullptr;
        if (g_comInitialized) {
            CoUninitialize();
            g_comInitialized = false;
        }
        return false;
    }

    for (int index = 0; index < BGM_COUNT; index++) {
        HANDLE file =
            CreateFileA(g_soundTable[index].fileName, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
        if (file == INVALID_HANDLE_VALUE) {
            MessageBoxA(hWnd, "サウンドデータファイルの生成に失敗！(1)", SOUND_CAPTION, MB_ICONWARNING);
            return false;
        }
        bool loaded = LoadSoundFromFile(hWnd, index, file);
        CloseHandle(file);
        if (!loaded) {
            return false;
        }
    }
    return true;
}

// Destroys every voice before freeing its samples, then the engine.
void UninitSound(void) {
    for (int index = 0; index < BGM_COUNT; index++) {
        if (g_sourceVoice[index] != nullptr) {
            g_sourceVoice[index]->Stop(0, XAUDIO2_COMMIT_NOW);
            g_sourceVoice[index]->DestroyVoice();
            g_sourceVoice[index] = nullptr;
        }
        FreeSoundData(index);
    }
    if (g_masteringVoice != nullptr) {
        g_masteringVoice->DestroyVoice();
        g_masteringVoice = nullptr;
    }
    if (g_xaudio2 != nullptr) {
        g_xaudio2->Release();
        g_xaudio2 = nullptr;
    }
    if (g_comInitialized) {
        CoUninitialize();
        g_comInitialized = false;
    }
}

// Plays a sound from its first sample, whether it was playing, stopped or done.
void PlaySound(int index) {
    if (index < 0 || index >= BGM_COUNT || g_sourceVoice[index] == nullptr) {
        return;
    }
    IXAudio2SourceVoice* voice = g_sourceVoice[index];
    XAUDIO2_BUFFER buffer;
    FillSoundBuffer(&buffer, index);

    XAUDIO2_VOICE_STATE state;
    memset(&state, 0, sizeof(state));
    voice->GetState(&state);
    if (state.BuffersQueued != 0) {
        voice->Stop(0, XAUDIO2_COMMIT_NOW);
        voice->FlushSourceBuffers();
    }
    voice->SubmitSourceBuffer(&buffer, NULL);
    voice->Start(0, XAUDIO2_COMMIT_NOW);
}

// Stops a sound and drops its queued buffer.
void StopSound(int index) {
    if (index < 0 || index >= BGM_COUNT || g_sourceVoice[index] == nullptr) {
        return;
    }
    XAUDIO2_VOICE_STATE state;
    memset(&state, 0, sizeof(state));
    g_sourceVoice[index]->GetState(&state);
    if (state.BuffersQueued != 0) {
        g_sourceVoice[index]->Stop(0, XAUDIO2_COMMIT_NOW);
        g_sourceVoice[index]->FlushSourceBuffers();
    }
}

// Stops every voice; their buffers stay queued.
void StopSoundAll(void) {
    for (int index = 0; index < BGM_COUNT; index++) {
        if (g_sourceVoice[index] != nullptr) {
            g_sourceVoice[index]->Stop(0, XAUDIO2_COMMIT_NOW);
        }
    }
}

IXAudio2SourceVoice* GetSoundVoice(int index) {
    if (index < 0 || index >= BGM_COUNT) {
        return nullptr;
    }
    return g_sourceVoice[index];
}
