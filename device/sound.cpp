// Sound: the game's four pieces of background music, played through XAudio2.
//
// State: the engine (g_xaudio2) and its mastering voice, and per sound index a
// source voice, the heap block with the samples of the file's "data" chunk and
// the block's size. InitSound creates all of it at start-up; it lives until
// UninitSound, which the game's Uninit calls last, after every scene has ended. Each voice gets its one buffer queued at load time
// and is not started until PlaySound. A sample block is freed only after its
// voice is destroyed, because the mixer threads read it while the voice lives.
//
// Wave files are parsed by a small RIFF reader of our own (SearchChunk,
// ReadChunk). It trusts nothing in the file: every chunk size is checked
// against the real file size before anything is skipped, read or allocated,
// so a damaged file is reported instead of played as garbage.
#include "device/sound.h"
#include "device/sound_testing.h"

#include <new>
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

// Four-character codes as little-endian 32-bit words.
const DWORD SOUND_FOURCC_RIFF = 0x46464952;  // "RIFF"
const DWORD SOUND_FOURCC_WAVE = 0x45564157;  // "WAVE"
const DWORD SOUND_FOURCC_FMT = 0x20746D66;   // "fmt "
const DWORD SOUND_FOURCC_DATA = 0x61746164;  // "data"

// The format record the "fmt " chunk is read into (a WAVEFORMATEXTENSIBLE).
const DWORD SOUND_FORMAT_RECORD_SIZE = 40;
// The fixed part of a WAVEFORMATEX, up to and including cbSize.
const DWORD SOUND_FORMAT_BASE_SIZE = 18;

static_assert(sizeof(WAVEFORMATEXTENSIBLE) == SOUND_FORMAT_RECORD_SIZE, "format record is 40 bytes");

const char* const SOUND_CAPTION = "警告！";

IXAudio2* g_xaudio2 = nullptr;
IXAudio2MasteringVoice* g_masteringVoice = nullptr;
IXAudio2SourceVoice* g_sourceVoice[BGM_COUNT] = {};
BYTE* g_audioData[BGM_COUNT] = {};
DWORD g_audioSize[BGM_COUNT] = {};
bool g_comInitialized = false;

// The last Win32 error as an HRESULT; never a success code, even when the
// failing call left no error number behind.
HRESULT LastErrorResult(void) {
    HRESULT hr = HRESULT_FROM_WIN32(GetLastError());
    return FAILED(hr) ? hr : E_FAIL;
}

DWORD ReadLittleEndian32(const BYTE* p) {
    return (DWORD)p[0] | ((DWORD)p[1] << 8) | ((DWORD)p[2] << 16) | ((DWORD)p[3] << 24);
}

// Size of the open file in bytes, found by seeking to its end. Files of
// 4 GiB and more fail here, as the position has no high part.
HRESULT GetSoundFileSize(HANDLE file, DWORD* size) {
    SetLastError(0);
    DWORD end = SetFilePointer(file, 0, NULL, FILE_END);
    if (end == INVALID_SET_FILE_POINTER && GetLastError() != 0) {
        return LastErrorResult();
    }
    *size = end;
    return S_OK;
}

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

// Steps of loading one wave file into a new voice; the file is open and is
// closed by the caller whatever happens here. Shows the message of the step
// that fails and returns false.
bool LoadSoundFromFile(HWND hWnd, int index, HANDLE file) {
    WAVEFORMATEXTENSIBLE format;
    memset(&format, 0, sizeof(format));
    DWORD chunkSize = 0;
    DWORD chunkPosition = 0;
    DWORD fileType = 0;
    DWORD fileSize = 0;

    if (FAILED(GetSoundFileSize(file, &fileSize)) ||
        SetFilePointer(file, 0, NULL, FILE_BEGIN) == INVALID_SET_FILE_POINTER) {
        return SoundFailure(hWnd, "サウンドデータファイルの生成に失敗！(2)");
    }

    // The RIFF header. A file that does not start with one leaves the offset
    // at 0, so its first four bytes are taken as the form type and rejected.
    if (FAILED(SearchChunk(file, SOUND_FOURCC_RIFF, &chunkSize, &chunkPosition))) {
        return SoundFailure(hWnd, "WAVEファイルのチェックに失敗！(1)");
    }
    if (FAILED(ReadChunk(file, &fileType, sizeof(DWORD), chunkPosition))) {
        return SoundFailure(hWnd, "WAVEファイルのチェックに失敗！(2)");
    }
    if (fileType != SOUND_FOURCC_WAVE) {
        return SoundFailure(hWnd, "WAVEファイルのチェックに失敗！(3)");
    }

    // The format: at most the 40 bytes of the record.
    HRESULT hr = SearchChunk(file, SOUND_FOURCC_FMT, &chunkSize, &chunkPosition);
    if (hr != S_OK) {
        return SoundFailure(hWnd, "フォーマットチェックに失敗！(1)");
    }
    if (chunkSize > SOUND_FORMAT_RECORD_SIZE || FAILED(ReadChunk(file, &format, chunkSize, chunkPosition))) {
        return SoundFailure(hWnd, "フォーマットチェックに失敗！(2)");
    }
    // Extra format bytes announced beyond the record would be read past its
    // end. PCM has no extra bytes and XAudio2 ignores its cbSize, whatever it
    // says, so only the other formats are held to it.
    if (chunkSize >= SOUND_FORMAT_BASE_SIZE && format.Format.wFormatTag != WAVE_FORMAT_PCM &&
        SOUND_FORMAT_BASE_SIZE + format.Format.cbSize > SOUND_FORMAT_RECORD_SIZE) {
        return SoundFailure(hWnd, "フォーマットチェックに失敗！(2)");
    }

    // The samples: the block is only allocated once the file is known to hold them.
    hr = SearchChunk(file, SOUND_FOURCC_DATA, &g_audioSize[index], &chunkPosition);
    if (hr != S_OK) {
        g_audioSize[index] = 0;
        return SoundFailure(hWnd, "オーディオデータ読み込みに失敗！(1)");
    }
    if ((unsigned long long)chunkPosition + g_audioSize[index] > fileSize) {
        g_audioSize[index] = 0;
        return SoundFailure(hWnd, "オーディオデータ読み込みに失敗！(2)");
    }
    g_audioData[index] = new (std::nothrow) BYTE[g_audioSize[index] > 0 ? g_audioSize[index] : 1];
    if (g_audioData[index] == nullptr ||
        FAILED(ReadChunk(file, g_audioData[index], g_audioSize[index], chunkPosition))) {
        FreeSoundData(index);
        return SoundFailure(hWnd, "オーディオデータ読み込みに失敗！(2)");
    }

    hr = g_xaudio2->CreateSourceVoice(&g_sourceVoice[index], &format.Format, 0, XAUDIO2_DEFAULT_FREQ_RATIO, NULL,
                                      NULL, NULL);
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

    hr = g_xaudio2->CreateMasteringVoice(&g_masteringVoice, XAUDIO2_DEFAULT_CHANNELS, XAUDIO2_DEFAULT_SAMPLERATE, 0,
                                         0, NULL);
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
        HANDLE file = CreateFileA(g_soundTable[index].fileName, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0,
                                  NULL);
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

// Finds a chunk by its code, always searching from the start of the file and
// stepping into the RIFF chunk rather than over it. S_OK with the chunk's
// data size (4 for "RIFF": its form type) and the file offset of its data;
// S_FALSE when the file or the RIFF data ends first, or when the file does not
// start with a RIFF chunk; an error code when the file cannot be read.
HRESULT SearchChunk(HANDLE file, DWORD code, DWORD* chunkSize, DWORD* chunkDataPosition) {
    DWORD fileSize = 0;
    HRESULT hr = GetSoundFileSize(file, &fileSize);
    if (FAILED(hr)) {
        return hr;
    }
    if (SetFilePointer(file, 0, NULL, FILE_BEGIN) == INVALID_SET_FILE_POINTER) {
        return LastErrorResult();
    }

    unsigned long long offset = 0;
    unsigned long long riffEnd = 0;
    DWORD riffDataSize = 0;
    for (;;) {
        BYTE header[8];
        DWORD bytesRead = 0;
        if (!ReadFile(file, header, sizeof(header), &bytesRead, NULL)) {
            return LastErrorResult();
        }
        if (bytesRead < sizeof(header)) {
            return S_FALSE;  // the file ends before another chunk header
        }
        DWORD chunkType = ReadLittleEndian32(header);
        DWORD dataSize = ReadLittleEndian32(header + 4);
        offset += 8;

        if (chunkType == SOUND_FOURCC_RIFF) {
            riffDataSize = dataSize;
            riffEnd = offset + riffDataSize;
            dataSize = 4;
            DWORD formType = 0;
            if (!ReadFile(file, &formType, sizeof(formType), &bytesRead, NULL)) {
                return LastErrorResult();
            }
        }

        if (chunkType == code) {
            *chunkSize = dataSize;
            *chunkDataPosition = (DWORD)offset;
            return S_OK;
        }

        if (chunkType != SOUND_FOURCC_RIFF) {
            // A chunk that claims more bytes than the file holds cannot be
            // skipped; nothing can follow it.
            if (offset + dataSize > fileSize || dataSize > 0x7FFFFFFF) {
                return S_FALSE;
            }
            if (SetFilePointer(file, (LONG)dataSize, NULL, FILE_CURRENT) == INVALID_SET_FILE_POINTER) {
                return LastErrorResult();
            }
        }
        offset += dataSize;

        if (riffDataSize == 0 || offset >= riffEnd) {
            return S_FALSE;
        }
    }
}

// Reads exactly bufferSize bytes at bufferOffset. A file that ends before
// that is an error, so a damaged chunk is never taken as complete.
HRESULT ReadChunk(HANDLE file, void* buffer, DWORD bufferSize, DWORD bufferOffset) {
    if (SetFilePointer(file, (LONG)bufferOffset, NULL, FILE_BEGIN) == INVALID_SET_FILE_POINTER) {
        return LastErrorResult();
    }
    DWORD bytesRead = 0;
    if (!ReadFile(file, buffer, bufferSize, &bytesRead, NULL)) {
        return LastErrorResult();
    }
    if (bytesRead != bufferSize) {
        return HRESULT_FROM_WIN32(ERROR_HANDLE_EOF);
    }
    return S_OK;
}

IXAudio2SourceVoice* GetSoundVoice(int index) {
    if (index < 0 || index >= BGM_COUNT) {
        return nullptr;
    }
    return g_sourceVoice[index];
}
