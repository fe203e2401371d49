// Wave files made by the sound and title tests, and a scratch working
// directory with an SE/ folder to put them in.
#pragma once

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

typedef std::vector<uint8_t> Bytes;

inline void AppendU16(Bytes& b, uint32_t v) {
    b.push_back((uint8_t)(v & 0xFF));
    b.push_back((uint8_t)((v >> 8) & 0xFF));
}
inline void AppendU32(Bytes& b, uint32_t v) {
    AppendU16(b, v & 0xFFFF);
    AppendU16(b, v >> 16);
}
inline void AppendTag(Bytes& b, const char* tag) { b.insert(b.end(), tag, tag + 4); }

// A chunk: code, the given size field (the real size unless overridden), data.
inline Bytes Chunk(const char* tag, const Bytes& data, int64_t sizeField = -1) {
    Bytes b;
    AppendTag(b, tag);
    AppendU32(b, sizeField < 0 ? (uint32_t)data.size() : (uint32_t)sizeField);
    b.insert(b.end(), data.begin(), data.end());
    return b;
}

// A 16-byte PCM format record: 16-bit samples.
inline Bytes PcmFormat(uint32_t channels = 1, uint32_t rate = 22050) {
    Bytes b;
    AppendU16(b, 1);
    AppendU16(b, channels);
    AppendU32(b, rate);
    AppendU32(b, rate * channels * 2);
    AppendU16(b, channels * 2);
    AppendU16(b, 16);
    return b;
}

// A loud square wave, never silent: `frames` mono 16-bit samples.
inline Bytes ToneSamples(uint32_t frames) {
    Bytes b;
    for (uint32_t i = 0; i < frames; i++) AppendU16(b, (i / 25) % 2 ? 0x3000 : 0xD000);
    return b;
}

// "RIFF" <size> "WAVE" followed by the chunks.
inline Bytes RiffWave(const std::vector<Bytes>& chunks) {
    Bytes body;
    AppendTag(body, "WAVE");
    for (const Bytes& c : chunks) body.insert(body.end(), c.begin(), c.end());
    return Chunk("RIFF", body);
}

inline Bytes ValidWave(uint32_t frames = 2205) {
    return RiffWave({Chunk("fmt ", PcmFormat()), Chunk("data", ToneSamples(frames))});
}

inline void WriteBytes(const std::string& path, const Bytes& bytes) {
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) abort();
    if (!bytes.empty()) fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
}

inline const char* const SOUND_TEST_FILES[4] = {"SE/BGM_TITLE.wav", "SE/BGM_GAME1.wav", "SE/BGM_GAME2.wav",
                                                "SE/BGM_RESULT.wav"};

// Makes a fresh directory with SE/ in it and works in it until destroyed.
class ScratchWorkDir {
public:
    ScratchWorkDir() {
        m_old = std::filesystem::current_path();
        char tmpl[] = "/tmp/tideangler-scenes-XXXXXX";
        if (!mkdtemp(tmpl)) abort();
        m_dir = tmpl;
        std::filesystem::create_directory(m_dir / "SE");
        std::filesystem::current_path(m_dir);
    }
    ~ScratchWorkDir() {
        std::filesystem::current_path(m_old);
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
    }
    const std::filesystem::path& Path() const { return m_dir; }
    // Writes all four music files with valid content.
    void WriteAllSounds(uint32_t frames = 2205) const {
        for (const char* name : SOUND_TEST_FILES) WriteBytes(name, ValidWave(frames));
    }
    // Number of this process's open file descriptors on files in the directory.
    int OpenFilesInside() const {
        int count = 0;
        for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
            std::error_code ec;
            std::filesystem::path target = std::filesystem::read_symlink(entry.path(), ec);
            if (!ec && target.string().rfind(m_dir.string(), 0) == 0) count++;
        }
        return count;
    }

private:
    std::filesystem::path m_old;
    std::filesystem::path m_dir;
};
