// xfile_tokens.cpp: header check, MSZIP inflation and the text and binary
// token readers of the X-file loader.
//
// State: each reader object keeps only its cursor into the caller's bytes;
// readers live for one parse. The free functions keep nothing.
#include "xfile_tokens.h"

#include "xfile_parser.h"

#include <string.h>

#include <charconv>
#include <limits>

#if WINAPI_HAVE_ZLIB
#include <zlib.h>
#endif

namespace xfile {

namespace {

uint16_t Le16(const uint8_t* p) { return (uint16_t)(p[0] | (p[1] << 8)); }
uint32_t Le32(const uint8_t* p) {
    return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}

// The printable form of a 4-byte header field, for messages.
std::string Field(const uint8_t* p) {
    std::string s;
    for (int i = 0; i < 4; ++i) {
        if (p[i] >= 0x20 && p[i] < 0x7f) {
            s += (char)p[i];
        } else {
            char hex[8];
            snprintf(hex, sizeof hex, "\\x%02x", p[i]);
            s += hex;
        }
    }
    return s;
}

// ---------------------------------------------------------------- text ----

bool IsNameStart(uint8_t c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c >= 0x80; }
bool IsNameChar(uint8_t c) { return IsNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.'; }
bool IsDigit(uint8_t c) { return c >= '0' && c <= '9'; }
int HexValue(uint8_t c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

class TextReader : public TokenReader {
public:
    TextReader(const uint8_t* data, size_t size) : p_(data), end_(data + size) {}

    bool Next(Token* t, std::string* error) override {
        SkipBlanks();
        t->text.clear();
        t->negative = false;
        t->integer = 0;
        t->number = 0.0;
        if (p_ >= end_) {
            t->type = TokenType::End;
            return true;
        }
        uint8_t c = *p_;
        switch (c) {
        case '{':
            ++p_;
            t->type = TokenType::OBrace;
            return true;
        case '}':
            ++p_;
            t->type = TokenType::CBrace;
            return true;
        case ',':
        case ';':
            ++p_;
            t->type = TokenType::Separator;
            return true;
        case '(':
        case ')':
        case '[':
        case ']':
        case '>':
        case '*':
            ++p_;
            t->type = TokenType::Other;
            return true;
        case '<': return ReadGuid(t, error);
        case '"': return ReadString(t, error);
        default: break;
        }
        if (IsDigit(c) || ((c == '-' || c == '+' || c == '.') && p_ + 1 < end_ &&
                           (IsDigit(p_[1]) || (p_[1] == '.' && p_ + 2 < end_ && IsDigit(p_[2]))))) {
            return ReadNumber(t, error);
        }
        if (c == '.') {  // "..." of an open template
            ++p_;
            t->type = TokenType::Other;
            return true;
        }
        if (IsNameStart(c)) return ReadName(t, error);
        char msg[64];
        snprintf(msg, sizeof msg, "unexpected character 0x%02x", c);
        *error = Where() + ": " + msg;
        return false;
    }

    uint64_t MaxValuesLeft() const override {
        // Two values need at least one separating byte between them.
        return ((uint64_t)(end_ - p_) + 1) / 2;
    }

    std::string Where() const override { return "line " + std::to_string(line_); }

private:
    void SkipBlanks() {
        while (p_ < end_) {
            uint8_t c = *p_;
            if (c == '\n') {
                ++line_;
                ++p_;
            } else if (c <= ' ' || c == 0x7f) {
                ++p_;
            } else if (c == '#' || (c == '/' && p_ + 1 < end_ && p_[1] == '/')) {
                while (p_ < end_ && *p_ != '\n') ++p_;
            } else {
                break;
            }
        }
    }

    bool ReadGuid(Token* t, std::string* error) {
        // <XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX>, stored as the binary form is:
        // Data1 and Data2/Data3 little-endian, then Data4 byte by byte.
        static const int groups[5] = {8, 4, 4, 4, 12};
        const uint8_t* q = p_ + 1;
        uint8_t digits[32];
        int n = 0;
        for (int g = 0; g < 5; ++g) {
            if (g > 0) {
                if (q >= end_ || *q != '-') break;
                ++q;
            }
            for (int i = 0; i < groups[g]; ++i, ++q) {
                int v = q < end_ ? HexValue(*q) : -1;
                if (v < 0) break;
                digits[n++] = (uint8_t)v;
            }
        }
        if (n != 32 || q >= end_ || *q != '>') {
            *error = Where() + ": malformed GUID";
            return false;
        }
        p_ = q + 1;
        auto byte = [&](int i) { return (uint8_t)(digits[2 * i] << 4 | digits[2 * i + 1]); };
        t->guid[0] = byte(3);
        t->guid[1] = byte(2);
        t->guid[2] = byte(1);
        t->guid[3] = byte(0);
        t->guid[4] = byte(5);
        t->guid[5] = byte(4);
        t->guid[6] = byte(7);
        t->guid[7] = byte(6);
        for (int i = 8; i < 16; ++i) t->guid[i] = byte(i);
        t->type = TokenType::Guid;
        return true;
    }

    bool ReadString(Token* t, std::string* error) {
        const uint8_t* start = p_ + 1;
        const uint8_t* q = start;
        while (q < end_ && *q != '"') ++q;
        if (q >= end_) {
            *error = Where() + ": unterminated string";
            return false;
        }
        if ((size_t)(q - start) > kMaxNameLength) {
            *error = Where() + ": string longer than " + std::to_string(kMaxNameLength) + " bytes";
            return false;
        }
        for (const uint8_t* r = start; r < q; ++r)
            if (*r == '\n') ++line_;
        t->text.assign((const char*)start, (size_t)(q - start));
        t->type = TokenType::String;
        p_ = q + 1;
        return true;
    }

    bool ReadName(Token* t, std::string* error) {
        const uint8_t* start = p_;
        while (p_ < end_ && IsNameChar(*p_)) ++p_;
        if ((size_t)(p_ - start) > kMaxNameLength) {
            *error = Where() + ": name longer than " + std::to_string(kMaxNameLength) + " bytes";
            return false;
        }
        t->text.assign((const char*)start, (size_t)(p_ - start));
        t->type = t->text == "template" ? TokenType::Template : TokenType::Name;
        return true;
    }

    bool ReadNumber(Token* t, std::string* error) {
        const uint8_t* start = p_;
        const uint8_t* q = p_;
        bool negative = false;
        if (*q == '-' || *q == '+') {
            negative = *q == '-';
            ++q;
        }
        const uint8_t* mantissa = q;
        bool isFloat = false, nonZero = false, negativeExponent = false;
        uint64_t magnitude = 0;
        bool overflow = false;
        while (q < end_ && IsDigit(*q)) {
            if (*q != '0') nonZero = true;
            if (magnitude > (std::numeric_limits<uint64_t>::max() - 9) / 10)
                overflow = true;
            else
                magnitude = magnitude * 10 + (uint64_t)(*q - '0');
            ++q;
        }
        if (q < end_ && *q == '.') {
            isFloat = true;
            ++q;
            while (q < end_ && IsDigit(*q)) {
                if (*q != '0') nonZero = true;
                ++q;
            }
        }
        if (q < end_ && (*q == 'e' || *q == 'E')) {
            const uint8_t* e = q + 1;
            if (e < end_ && (*e == '-' || *e == '+')) {
                negativeExponent = *e == '-';
                ++e;
            }
            if (e < end_ && IsDigit(*e)) {
                isFloat = true;
                q = e;
                while (q < end_ && IsDigit(*q)) ++q;
            }
        }
        if (q < end_ && IsNameChar(*q)) {
            *error = Where() + ": malformed number";
            return false;
        }
        p_ = q;
        if (!isFloat) {
            t->type = TokenType::Integer;
            t->integer = overflow ? std::numeric_limits<uint64_t>::max() : magnitude;
            t->negative = negative && magnitude != 0;
            t->number = negative ? -(double)t->integer : (double)t->integer;
            return true;
        }
        double value = 0.0;
        auto r = std::from_chars((const char*)mantissa, (const char*)q, value);
        if (r.ec == std::errc::result_out_of_range) {
            if (nonZero && !negativeExponent) {
                *error = Where() + ": number out of range";
                return false;
            }
            value = 0.0;  // underflow
        } else if (r.ec != std::errc() || r.ptr != (const char*)q) {
            *error = Where() + ": malformed number '" + std::string((const char*)start, (size_t)(q - start)) + "'";
            return false;
        }
        t->type = TokenType::Float;
        t->number = negative ? -value : value;
        return true;
    }

    const uint8_t* p_;
    const uint8_t* end_;
    uint32_t line_ = 1;
};

// -------------------------------------------------------------- binary ----

enum BinaryToken : uint16_t {
    TOKEN_NAME = 1,
    TOKEN_STRING = 2,
    TOKEN_INTEGER = 3,
    TOKEN_GUID = 5,
    TOKEN_INTEGER_LIST = 6,
    TOKEN_FLOAT_LIST = 7,
    TOKEN_OBRACE = 10,
    TOKEN_CBRACE = 11,
    TOKEN_OPAREN = 12,
    TOKEN_DOT = 18,
    TOKEN_COMMA = 19,
    TOKEN_SEMICOLON = 20,
    TOKEN_TEMPLATE = 31,
    TOKEN_WORD = 40,
    TOKEN_ARRAY = 52,
};

class BinaryReader : public TokenReader {
public:
    BinaryReader(const uint8_t* data, size_t size, int floatBits)
        : begin_(data), p_(data), end_(data + size), floatBytes_(floatBits == 64 ? 8 : 4) {}

    bool Next(Token* t, std::string* error) override {
        t->text.clear();
        t->negative = false;
        t->integer = 0;
        t->number = 0.0;
        for (;;) {
            if (listLeft_ > 0) return NextListValue(t);
            if (p_ == end_) {
                t->type = TokenType::End;
                return true;
            }
            if (Left() < 2) return Truncated(error);
            uint16_t type = Le16(p_);
            size_t at = Offset();
            p_ += 2;
            switch (type) {
            case TOKEN_NAME:
            case TOKEN_STRING: {
                if (Left() < 4) return Truncated(error);
                uint32_t count = Le32(p_);
                p_ += 4;
                if (count > kMaxNameLength) {
                    *error = Where(at) + ": " + (type == TOKEN_NAME ? "name" : "string") + " longer than " +
                             std::to_string(kMaxNameLength) + " bytes";
                    return false;
                }
                if (Left() < count) return Truncated(error);
                t->text.assign((const char*)p_, count);
                p_ += count;
                if (type == TOKEN_NAME) {
                    t->type = TokenType::Name;
                } else {
                    // A string ends with its terminator, a COMMA or SEMICOLON
                    // token written as a DWORD.
                    if (Left() >= 4 && (Le32(p_) == TOKEN_COMMA || Le32(p_) == TOKEN_SEMICOLON)) p_ += 4;
                    t->type = TokenType::String;
                }
                return true;
            }
            case TOKEN_INTEGER:
                if (Left() < 4) return Truncated(error);
                t->type = TokenType::Integer;
                t->integer = Le32(p_);
                t->number = (double)t->integer;
                p_ += 4;
                return true;
            case TOKEN_GUID:
                if (Left() < 16) return Truncated(error);
                memcpy(t->guid, p_, 16);
                p_ += 16;
                t->type = TokenType::Guid;
                return true;
            case TOKEN_INTEGER_LIST:
            case TOKEN_FLOAT_LIST: {
                if (Left() < 4) return Truncated(error);
                uint32_t count = Le32(p_);
                p_ += 4;
                size_t each = type == TOKEN_INTEGER_LIST ? 4 : floatBytes_;
                if ((uint64_t)count * each > Left()) {
                    *error = Where(at) + ": list of " + std::to_string(count) + " values runs past the end";
                    return false;
                }
                listLeft_ = count;
                listIsFloat_ = type == TOKEN_FLOAT_LIST;
                continue;  // an empty list yields nothing
            }
            case TOKEN_OBRACE: t->type = TokenType::OBrace; return true;
            case TOKEN_CBRACE: t->type = TokenType::CBrace; return true;
            case TOKEN_COMMA:
            case TOKEN_SEMICOLON: t->type = TokenType::Separator; return true;
            case TOKEN_TEMPLATE: t->type = TokenType::Template; return true;
            default:
                if ((type >= TOKEN_OPAREN && type <= TOKEN_DOT) || (type >= TOKEN_WORD && type <= TOKEN_ARRAY)) {
                    t->type = TokenType::Other;
                    return true;
                }
                *error = Where(at) + ": unknown binary token " + std::to_string(type);
                return false;
            }
        }
    }

    uint64_t MaxValuesLeft() const override { return listLeft_ + Left() / 4; }

    std::string Where() const override { return Where(Offset()); }

private:
    size_t Left() const { return (size_t)(end_ - p_); }
    size_t Offset() const { return (size_t)(p_ - begin_); }
    std::string Where(size_t offset) const { return "byte " + std::to_string(offset) + " of the data"; }

    bool Truncated(std::string* error) {
        *error = Where() + ": data ends inside a token";
        return false;
    }

    bool NextListValue(Token* t) {
        --listLeft_;
        if (!listIsFloat_) {
            t->type = TokenType::Integer;
            t->integer = Le32(p_);
            t->number = (double)t->integer;
            p_ += 4;
        } else if (floatBytes_ == 4) {
            uint32_t bits = Le32(p_);
            float f;
            memcpy(&f, &bits, 4);
            t->type = TokenType::Float;
            t->number = f;
            p_ += 4;
        } else {
            uint64_t bits = (uint64_t)Le32(p_) | ((uint64_t)Le32(p_ + 4) << 32);
            double d;
            memcpy(&d, &bits, 8);
            t->type = TokenType::Float;
            t->number = d;
            p_ += 8;
        }
        return true;
    }

    const uint8_t* begin_;
    const uint8_t* p_;
    const uint8_t* end_;
    size_t floatBytes_;
    uint32_t listLeft_ = 0;
    bool listIsFloat_ = false;
};

}  // namespace

bool ReadFileHeader(const uint8_t* data, size_t size, FileHeader* header, std::string* error) {
    if (size < 16) {
        *error = "file is " + std::to_string(size) + " bytes, shorter than an X-file header";
        return false;
    }
    if (memcmp(data, "xof ", 4) != 0) {
        *error = "not an X file (magic '" + Field(data) + "', expected 'xof ')";
        return false;
    }
    if (memcmp(data + 4, "0302", 4) != 0 && memcmp(data + 4, "0303", 4) != 0) {
        *error = "unsupported X-file version '" + Field(data + 4) + "'";
        return false;
    }
    const uint8_t* format = data + 8;
    if (memcmp(format, "txt ", 4) == 0) {
        header->encoding = Encoding::Text;
        header->compressed = false;
    } else if (memcmp(format, "bin ", 4) == 0) {
        header->encoding = Encoding::Binary;
        header->compressed = false;
    } else if (memcmp(format, "tzip", 4) == 0) {
        header->encoding = Encoding::Text;
        header->compressed = true;
    } else if (memcmp(format, "bzip", 4) == 0) {
        header->encoding = Encoding::Binary;
        header->compressed = true;
    } else {
        *error = "unknown X-file format '" + Field(format) + "'";
        return false;
    }
    if (memcmp(data + 12, "0032", 4) == 0) {
        header->floatBits = 32;
    } else if (memcmp(data + 12, "0064", 4) == 0) {
        header->floatBits = 64;
    } else {
        *error = "unsupported X-file float size '" + Field(data + 12) + "'";
        return false;
    }
    return true;
}

bool InflateMsZip(const uint8_t* data, size_t size, std::vector<uint8_t>* out, std::string* error) {
#if WINAPI_HAVE_ZLIB
    out->clear();
    if (size < 4) {
        *error = "compressed file ends before its size field";
        return false;
    }
    // The size field counts the whole uncompressed file; writers differ on
    // whether that takes in the 16-byte header, so both readings are accepted.
    uint32_t declared = Le32(data);
    if (declared > kMaxFileBytes) {
        *error = "compressed file claims " + std::to_string(declared) + " bytes uncompressed, over the limit";
        return false;
    }
    size_t pos = 4;
    while (pos < size && out->size() < declared) {
        if (size - pos < 6) {
            *error = "compressed block header cut short at byte " + std::to_string(16 + pos);
            return false;
        }
        uint16_t blockSize = Le16(data + pos);
        uint16_t packedSize = Le16(data + pos + 2);
        if (data[pos + 4] != 'C' || data[pos + 5] != 'K') {
            *error = "compressed block without its CK signature at byte " + std::to_string(16 + pos);
            return false;
        }
        if (out->size() + blockSize > declared) {
            *error = "compressed blocks inflate past the declared size";
            return false;
        }
        size_t avail = size - pos - 6;
        if (avail > packedSize) avail = packedSize;

        z_stream zs;
        memset(&zs, 0, sizeof zs);
        if (inflateInit2(&zs, -MAX_WBITS) != Z_OK) {
            *error = "zlib could not start inflating";
            return false;
        }
        size_t history = out->size() < 32768 ? out->size() : 32768;
        if (history > 0 && inflateSetDictionary(&zs, out->data() + out->size() - history, (uInt)history) != Z_OK) {
            inflateEnd(&zs);
            *error = "zlib refused the block dictionary";
            return false;
        }
        size_t start = out->size();
        out->resize(start + blockSize);
        zs.next_in = const_cast<Bytef*>(data + pos + 6);
        zs.avail_in = (uInt)avail;
        zs.next_out = out->data() + start;
        zs.avail_out = blockSize;
        int rc = inflate(&zs, Z_FINISH);
        size_t consumed = avail - zs.avail_in;
        size_t produced = blockSize - zs.avail_out;
        inflateEnd(&zs);
        if (rc != Z_STREAM_END || produced != blockSize) {
            *error = "compressed block at byte " + std::to_string(16 + pos) + " is corrupt";
            return false;
        }
        pos += 6 + consumed;
    }
    if (out->size() != declared && out->size() + 16 != declared) {
        *error = "compressed data inflates to " + std::to_string(out->size()) + " bytes, not the declared " +
                 std::to_string(declared);
        return false;
    }
    return true;
#else
    (void)data;
    (void)size;
    out->clear();
    *error = "compressed X files are not supported by this build (no zlib)";
    return false;
#endif
}

std::unique_ptr<TokenReader> MakeTextReader(const uint8_t* data, size_t size) {
    return std::unique_ptr<TokenReader>(new TextReader(data, size));
}

std::unique_ptr<TokenReader> MakeBinaryReader(const uint8_t* data, size_t size, int floatBits) {
    return std::unique_ptr<TokenReader>(new BinaryReader(data, size, floatBits));
}

}  // namespace xfile
