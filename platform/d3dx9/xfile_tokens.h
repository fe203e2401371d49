// xfile_tokens.h: the lexical layer of the X-file reader: the 16-byte file
// header, MSZIP decompression, and one token reader each for the text and the
// binary encodings, both yielding the same kind of tokens.
//
// State: a TokenReader holds a view of the body bytes (owned by the caller,
// who keeps them alive while the reader is used) and its position in them.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <memory>
#include <string>
#include <vector>

namespace xfile {

enum class Encoding { Text, Binary };

struct FileHeader {
    Encoding encoding;
    bool compressed;
    int floatBits;  // 32 or 64
};

// Checks the "xof 0302txt 0032"-style header. False (with a reason) if the
// file is under 16 bytes or any field is not one we read.
bool ReadFileHeader(const uint8_t* data, size_t size, FileHeader* header, std::string* error);

// Inflates the MSZIP body that follows the header of a "tzip"/"bzip" file:
// a DWORD of the uncompressed size, then blocks of [WORD uncompressed size]
// [WORD compressed size]["CK"][raw deflate data], each block using the output
// before it as its dictionary. False (with a reason) on any inconsistency or
// when this build has no zlib.
bool InflateMsZip(const uint8_t* data, size_t size, std::vector<uint8_t>* out, std::string* error);

enum class TokenType {
    End,      // no more input
    Name,     // identifier (text holds it)
    String,   // quoted string (text holds it, without quotes)
    Integer,  // whole number (integer/negative)
    Float,    // number with a fraction or exponent (number)
    Guid,     // <...> or a binary GUID (guid)
    OBrace,
    CBrace,
    Separator,  // ',' or ';'
    Template,   // the keyword "template"
    Other,      // any other punctuation or binary type keyword
};

struct Token {
    TokenType type = TokenType::End;
    std::string text;
    uint64_t integer = 0;   // magnitude for Integer
    bool negative = false;  // Integer below zero
    double number = 0.0;    // Float, and Integer as a double
    uint8_t guid[16] = {};
};

class TokenReader {
public:
    virtual ~TokenReader() {}
    // Reads the next token; false on a lexical error (then `error` says why).
    virtual bool Next(Token* token, std::string* error) = 0;
    // An upper bound on how many more value tokens the input can hold, used to
    // reject counts before anything is allocated for them.
    virtual uint64_t MaxValuesLeft() const = 0;
    // Where the reader is, for messages: "line N" or "byte N".
    virtual std::string Where() const = 0;
};

// Readers over a body (the bytes after the header, decompressed if need be).
std::unique_ptr<TokenReader> MakeTextReader(const uint8_t* data, size_t size);
std::unique_ptr<TokenReader> MakeBinaryReader(const uint8_t* data, size_t size, int floatBits);

}  // namespace xfile
