// The sound module's file functions: the RIFF chunk reader (SearchChunk,
// ReadChunk) and the wave file reader built on it (ReadWaveFile), over the
// Win32 file calls. Kept apart from the engine so they can be fuzzed alone.
//
// Stateless: every call works on the file handle it is given, which stays
// open and owned by the caller. The reader trusts nothing in the file: every
// chunk size is checked against the real file size before anything is
// skipped, read or allocated, so a damaged file is reported instead of played
// as garbage.
#include "device/sound.h"

#include <new>
#include <string.h>

namespace {

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

}  // namespace

// The steps of reading one wave file; see sound.h.
const char* ReadWaveFile(HANDLE file, WAVEFORMATEXTENSIBLE* format, BYTE** data, DWORD* dataSize) {
    memset(format, 0, sizeof(*format));
    *data = nullptr;
    *dataSize = 0;
    DWORD chunkSize = 0;
    DWORD chunkPosition = 0;
    DWORD fileType = 0;
    DWORD fileSize = 0;

    if (FAILED(GetSoundFileSize(file, &fileSize)) ||
        SetFilePointer(file, 0, NULL, FILE_BEGIN) == INVALID_SET_FILE_POINTER) {
        return "サウンドデータファイルの生成に失敗！(2)";
    }

    // The RIFF header. A file that does not start with one leaves the offset
    // at 0, so its first four bytes are taken as the form type and rejected.
    if (FAILED(SearchChunk(file, SOUND_FOURCC_RIFF, &chunkSize, &chunkPosition))) {
        return "WAVEファイルのチェックに失敗！(1)";
    }
    if (FAILED(ReadChunk(file, &fileType, sizeof(DWORD), chunkPosition))) {
        return "WAVEファイルのチェックに失敗！(2)";
    }
    if (fileType != SOUND_FOURCC_WAVE) {
        return "WAVEファイルのチェックに失敗！(3)";
    }

    // The format: at most the 40 bytes of the record.
    HRESULT hr = SearchChunk(file, SOUND_FOURCC_FMT, &chunkSize, &chunkPosition);
    if (hr != S_OK) {
        return "フォーマットチェックに失敗！(1)";
    }
    if (chunkSize > SOUND_FORMAT_RECORD_SIZE || FAILED(ReadChunk(file, format, chunkSize, chunkPosition))) {
        return "フォーマットチェックに失敗！(2)";
    }
    // Extra format bytes announced beyond the record would be read past its
    // end. PCM has no extra bytes and XAudio2 ignores its cbSize, whatever it
    // says, so only the other formats are held to it.
    if (chunkSize >= SOUND_FORMAT_BASE_SIZE && format->Format.wFormatTag != WAVE_FORMAT_PCM &&
        SOUND_FORMAT_BASE_SIZE + format->Format.cbSize > SOUND_FORMAT_RECORD_SIZE) {
        return "フォーマットチェックに失敗！(2)";
    }

    // The samples: the block is only allocated once the file is known to hold them.
    DWORD size = 0;
    hr = SearchChunk(file, SOUND_FOURCC_DATA, &size, &chunkPosition);
    if (hr != S_OK) {
        return "オーディオデータ読み込みに失敗！(1)";
    }
    if ((unsigned long long)chunkPosition + size > fileSize) {
        return "オーディオデータ読み込みに失敗！(2)";
    }
    BYTE* block = new (std::nothrow) BYTE[size > 0 ? size : 1];
    if (block == nullptr || FAILED(ReadChunk(file, block, size, chunkPosition))) {
        delete[] block;
        return "オーディオデータ読み込みに失敗！(2)";
    }
    *data = block;
    *dataSize = size;
    return nullptr;
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
