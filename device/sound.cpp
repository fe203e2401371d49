// Placeholder so the tree links while this module is written; replaced by the real module.
#include "device/sound.h"
bool InitSound(HWND hWnd) { return false; }
void UninitSound(void) {  }
void PlaySound(int index) {  }
void StopSound(int index) {  }
void StopSoundAll(void) {  }
HRESULT SearchChunk(HANDLE file, DWORD code, DWORD* chunkSize, DWORD* chunkDataPosition) { return E_NOTIMPL; }
HRESULT ReadChunk(HANDLE file, void* buffer, DWORD bufferSize, DWORD bufferOffset) { return E_NOTIMPL; }
IXAudio2SourceVoice* GetSoundVoice(int index) { return nullptr; }
