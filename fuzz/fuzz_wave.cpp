// fuzz_wave.cpp: libFuzzer entry for the sound module's wave reader. Each
// input is written to a file and read back through ReadWaveFile, over the
// same CreateFileA / SetFilePointer / ReadFile calls the game makes at
// start-up. Any input must give either a warning with nothing allocated or a
// sample block that lies wholly inside the file; anything else (a crash, a
// sanitizer report, a leak, a block larger than the file) is a finding.
//
// State: the scratch file the inputs are written to, made on the first input
// and reused for the whole run.
#include "device/sound.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>

namespace {

void Check(bool condition) {
    if (!condition) abort();
}

const std::string& ScratchPath() {
    static const std::string path = [] {
        const char* dir = getenv("TMPDIR");
        std::string tmpl = std::string(dir && *dir ? dir : "/tmp") + "/fuzz_wave.XXXXXX";
        int fd = mkstemp(&tmpl[0]);
        Check(fd >= 0);
        close(fd);
        return tmpl;
    }();
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FILE* f = fopen(ScratchPath().c_str(), "wb");
    Check(f != nullptr);
    Check(size == 0 || fwrite(data, 1, size, f) == size);
    Check(fclose(f) == 0);

    HANDLE file = CreateFileA(ScratchPath().c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    Check(file != INVALID_HANDLE_VALUE);
    WAVEFORMATEXTENSIBLE format;
    BYTE* samples = reinterpret_cast<BYTE*>(1);
    DWORD sampleBytes = 12345;
    const char* failure = ReadWaveFile(file, &format, &samples, &sampleBytes);
    Check(CloseHandle(file));
    if (failure != nullptr) {
        Check(samples == nullptr && sampleBytes == 0 && *failure != '\0');
        return 0;
    }
    Check(samples != nullptr && sampleBytes <= size);
    // The block is the file's bytes: it must be found somewhere in the input.
    Check(sampleBytes == 0 || memmem(data, size, samples, sampleBytes) != nullptr);
    delete[] samples;
    return 0;
}
