// Sound: the four pieces of music, read whole at start-up, one voice each.
#pragma once

#include <windows.h>
#include <xaudio2.h>

enum { BGM_TITLE = 0, BGM_GAME1, BGM_GAME2, BGM_RESULT, BGM_COUNT };

bool InitSound(HWND hWnd);
void UninitSound(void);
void PlaySound(int index);
void StopSound(int index);
void StopSoundAll(void);

// The RIFF chunk reader behind InitSound.
// Reads a wave file from its open handle: the "fmt " record (at most the 40
// bytes of a WAVEFORMATEXTENSIBLE, zero-filled beyond the chunk) and a new[]
// block with the samples of the "data" chunk, which the caller then owns.
// nullptr on success; else the warning of the step that failed, with nothing
// allocated (*data null, *dataSize 0).
const char* ReadWaveFile(HANDLE file, WAVEFORMATEXTENSIBLE* format, BYTE** data, DWORD* dataSize);
HRESULT SearchChunk(HANDLE file, DWORD code, DWORD* chunkSize, DWORD* chunkDataPosition);
HRESULT ReadChunk(HANDLE file, void* buffer, DWORD bufferSize, DWORD bufferOffset);
