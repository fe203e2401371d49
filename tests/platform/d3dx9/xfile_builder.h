// xfile_builder.h: helpers for the X-file tests: a writer of binary X-file
// token streams, an MSZIP packer, and temporary files.
#pragma once

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>
#include <vector>

#if __has_include(<zlib.h>)
#include <zlib.h>
#define XFILE_TEST_HAVE_ZLIB 1
#else
#define XFILE_TEST_HAVE_ZLIB 0
#endif

namespace xtest {

inline std::vector<uint8_t> Bytes(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

// Writes a binary X file token by token.
class BinaryWriter {
public:
    enum : uint16_t {
        NAME = 1,
        STRING = 2,
        INTEGER = 3,
        GUID = 5,
        INTEGER_LIST = 6,
        FLOAT_LIST = 7,
        OBRACE = 10,
        CBRACE = 11,
        OBRACKET = 14,
        CBRACKET = 15,
        COMMA = 19,
        SEMICOLON = 20,
        TEMPLATE = 31,
        WORD = 40,
        DWORD = 41,
        FLOAT = 42,
        ARRAY = 52,
    };

    explicit BinaryWriter(bool doubles = false, const char* format = "bin ") : doubles_(doubles) {
        Raw("xof 0303");
        Raw(format);
        Raw(doubles ? "0064" : "0032");
    }

    BinaryWriter& Token(uint16_t t) {
        U16(t);
        return *this;
    }
    BinaryWriter& Name(const std::string& s) {
        U16(NAME);
        U32((uint32_t)s.size());
        Raw(s);
        return *this;
    }
    BinaryWriter& String(const std::string& s) {
        U16(STRING);
        U32((uint32_t)s.size());
        Raw(s);
        U32(SEMICOLON);
        return *this;
    }
    BinaryWriter& Integer(uint32_t v) {
        U16(INTEGER);
        U32(v);
        return *this;
    }
    BinaryWriter& Guid(const uint8_t (&g)[16]) {
        U16(GUID);
        bytes.insert(bytes.end(), g, g + 16);
        return *this;
    }
    BinaryWriter& Ints(const std::vector<uint32_t>& v) {
        U16(INTEGER_LIST);
        U32((uint32_t)v.size());
        for (uint32_t x : v) U32(x);
        return *this;
    }
    BinaryWriter& Floats(const std::vector<double>& v) {
        U16(FLOAT_LIST);
        U32((uint32_t)v.size());
        for (double d : v) {
            if (doubles_) {
                uint64_t bits;
                memcpy(&bits, &d, 8);
                U32((uint32_t)bits);
                U32((uint32_t)(bits >> 32));
            } else {
                float f = (float)d;
                uint32_t bits;
                memcpy(&bits, &f, 4);
                U32(bits);
            }
        }
        return *this;
    }
    // "Type [name] {"
    BinaryWriter& Open(const std::string& type, const std::string& name = "") {
        Name(type);
        if (!name.empty()) Name(name);
        U16(OBRACE);
        return *this;
    }
    BinaryWriter& Close() {
        U16(CBRACE);
        return *this;
    }
    // "{ name }"
    BinaryWriter& Reference(const std::string& name) {
        U16(OBRACE);
        Name(name);
        U16(CBRACE);
        return *this;
    }

    void U16(uint16_t v) {
        bytes.push_back((uint8_t)v);
        bytes.push_back((uint8_t)(v >> 8));
    }
    void U32(uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes.push_back((uint8_t)(v >> (8 * i)));
    }
    void Raw(const std::string& s) { bytes.insert(bytes.end(), s.begin(), s.end()); }

    std::vector<uint8_t> bytes;

private:
    bool doubles_;
};

#if XFILE_TEST_HAVE_ZLIB
// Packs the body of a plain X file (everything after its 16-byte header) into
// MSZIP blocks of at most blockSize bytes, each block deflated with the data
// before it as its dictionary, behind a header with the given format.
// sizeIncludesHeader picks how the leading size field counts.
inline std::vector<uint8_t> MsZip(const std::vector<uint8_t>& plain, const char* format, size_t blockSize,
                                  bool sizeIncludesHeader) {
    std::vector<uint8_t> out(plain.begin(), plain.begin() + 16);
    memcpy(&out[8], format, 4);
    uint32_t total = (uint32_t)(sizeIncludesHeader ? plain.size() : plain.size() - 16);
    for (int i = 0; i < 4; ++i) out.push_back((uint8_t)(total >> (8 * i)));
    for (size_t pos = 16; pos < plain.size(); pos += blockSize) {
        size_t n = std::min(blockSize, plain.size() - pos);
        z_stream zs;
        memset(&zs, 0, sizeof zs);
        deflateInit2(&zs, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
        size_t history = std::min<size_t>(pos - 16, 32768);
        if (history > 0) deflateSetDictionary(&zs, plain.data() + pos - history, (uInt)history);
        std::vector<uint8_t> packed(deflateBound(&zs, (uLong)n) + 16);
        zs.next_in = const_cast<Bytef*>(plain.data() + pos);
        zs.avail_in = (uInt)n;
        zs.next_out = packed.data();
        zs.avail_out = (uInt)packed.size();
        deflate(&zs, Z_FINISH);
        size_t packedSize = packed.size() - zs.avail_out;
        deflateEnd(&zs);
        uint16_t usize = (uint16_t)n, csize = (uint16_t)(packedSize + 2);
        out.push_back((uint8_t)usize);
        out.push_back((uint8_t)(usize >> 8));
        out.push_back((uint8_t)csize);
        out.push_back((uint8_t)(csize >> 8));
        out.push_back('C');
        out.push_back('K');
        out.insert(out.end(), packed.begin(), packed.begin() + (ptrdiff_t)packedSize);
    }
    return out;
}
#endif

// A directory for one test's files, removed with everything in it afterwards.
class TempDir {
public:
    TempDir() {
        char tmpl[] = "/tmp/xfile_test_XXXXXX";
        const char* made = mkdtemp(tmpl);
        path_ = made ? made : "/tmp";
    }
    ~TempDir() {
        for (const std::string& f : files_) unlink(f.c_str());
        rmdir(path_.c_str());
    }
    std::string Write(const std::string& name, const std::vector<uint8_t>& data) {
        std::string file = path_ + "/" + name;
        FILE* f = fopen(file.c_str(), "wb");
        if (f) {
            if (!data.empty()) fwrite(data.data(), 1, data.size(), f);
            fclose(f);
        }
        files_.push_back(file);
        return file;
    }
    std::string Write(const std::string& name, const std::string& text) { return Write(name, Bytes(text)); }
    const std::string& path() const { return path_; }

private:
    std::string path_;
    std::vector<std::string> files_;
};

}  // namespace xtest
