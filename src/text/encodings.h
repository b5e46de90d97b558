// Base64 and quoted-printable, and the two-byte UTF-8 folding of UTF8PARAANSI.
#pragma once

#include <string>
#include <string_view>

namespace parlendo::text {

// Standard alphabet, "=" padding, no line breaks.
std::string base64Encode(std::string_view bytes);
// Characters outside the alphabet are skipped; decoding stops at the first "="; an unfinished
// group gives the bytes it completes.
std::string base64Decode(std::string_view text);
// Bytes 0-31, "=" and 127-255 become "=" and two upper-case hexadecimal digits.
std::string quotedPrintableEncode(std::string_view bytes);
// A final "=" is removed; "=" and two hexadecimal digits become that byte.
std::string quotedPrintableDecode(std::string_view text);
// In bytes that are well-formed UTF-8, each two-byte sequence (a lead byte 192-223 and a
// continuation byte) becomes one byte and every other byte is copied. Bytes that are not UTF-8
// are Windows-1252 already and come back unchanged: a capital accented letter before a curly
// quote or an ellipsis ("JOSÉ”") looks like a two-byte sequence but is two characters.
std::string foldTwoByteUtf8(std::string_view bytes);

// Incremental Base64 encoder for files: feed bytes, take whole lines of 64 characters.
class Base64LineEncoder {
public:
    // Appends the complete 64-character lines (each followed by CR LF) to `out`.
    void feed(std::string_view bytes, std::string& out);
    // The last line, padded, with CR LF; empty when nothing is left.
    void finish(std::string& out);

private:
    unsigned char carry_[3];
    int carried_ = 0;
    std::string line_;
};

// Incremental Base64 decoder with the same rules as base64Decode.
class Base64Decoder {
public:
    // Appends the bytes of every completed group; false once an "=" ended the text.
    bool feed(std::string_view text, std::string& out);
    // The bytes an unfinished group completes.
    void finish(std::string& out);

private:
    unsigned acc_ = 0;
    int have_ = 0;
    bool ended_ = false;
};

}  // namespace parlendo::text
