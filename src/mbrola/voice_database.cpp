// The diphone database's file. All numbers are little-endian:
//
//   "BRISADB1"                      8 bytes
//   u32 rate                        samples per second (16000)
//   u32 P                           phonemes, then P times:
//       u8 length (1..7), the name's bytes
//   u32 D                           diphones, then D times:
//       u16 left, u16 right         phoneme numbers below P; a pair appears once
//       u32 begin, boundary, end    begin <= boundary <= end <= samples
//       u32 samples (1..64000), then that many i16
//       u32 marks, then that many u32: bit 31 set for a voiced mark, bits 0..30 the position,
//                                   ascending and below the sample count
//   nothing after the last diphone
#include "mbrola/voice_database.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <utility>

#include "mbrola/pho_line.h"

namespace brisa {
namespace {

constexpr char kMagic[8] = {'B', 'R', 'I', 'S', 'A', 'D', 'B', '1'};
constexpr uint32_t kVoicedBit = 0x80000000u;

class Reader {
public:
    Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool take(size_t n, const uint8_t*& at) {
        if (size_ - pos_ < n) return false;
        at = data_ + pos_;
        pos_ += n;
        return true;
    }
    bool u8(uint32_t& v) {
        const uint8_t* p = nullptr;
        if (!take(1, p)) return false;
        v = p[0];
        return true;
    }
    bool u16(uint32_t& v) {
        const uint8_t* p = nullptr;
        if (!take(2, p)) return false;
        v = p[0] | p[1] << 8;
        return true;
    }
    bool u32(uint32_t& v) {
        const uint8_t* p = nullptr;
        if (!take(4, p)) return false;
        v = p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
        return true;
    }
    size_t left() const { return size_ - pos_; }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

void put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(v & 0xFF);
    out.push_back(v >> 8 & 0xFF);
}
void put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int b = 0; b < 4; ++b) out.push_back(v >> (8 * b) & 0xFF);
}

bool readDiphone(Reader& in, size_t phonemes, Diphone& d, std::string& error) {
    uint32_t left = 0, right = 0, count = 0, marks = 0;
    if (!in.u16(left) || !in.u16(right) || !in.u32(d.begin) || !in.u32(d.boundary) || !in.u32(d.end) ||
        !in.u32(count)) {
        error = "diphone cut short";
        return false;
    }
    if (left >= phonemes || right >= phonemes) {
        error = "diphone names a phoneme that does not exist";
        return false;
    }
    d.left = static_cast<uint16_t>(left);
    d.right = static_cast<uint16_t>(right);
    if (count == 0 || count > kMaxDiphoneSamples || !(d.begin <= d.boundary && d.boundary <= d.end) ||
        d.end > count) {
        error = "diphone with impossible lengths";
        return false;
    }
    const uint8_t* raw = nullptr;
    if (!in.take(static_cast<size_t>(count) * 2, raw)) {
        error = "diphone samples cut short";
        return false;
    }
    d.samples.resize(count);
    for (uint32_t i = 0; i < count; ++i)
        d.samples[i] = static_cast<int16_t>(static_cast<uint16_t>(raw[2 * i] | raw[2 * i + 1] << 8));
    if (!in.u32(marks) || marks > count || static_cast<size_t>(marks) * 4 > in.left()) {
        error = "diphone pitch marks cut short";
        return false;
    }
    d.marks.resize(marks);
    for (uint32_t i = 0; i < marks; ++i) {
        uint32_t v = 0;
        in.u32(v);
        d.marks[i].position = v & ~kVoicedBit;
        d.marks[i].voiced = (v & kVoicedBit) != 0;
        if (d.marks[i].position >= count || (i > 0 && d.marks[i].position <= d.marks[i - 1].position)) {
            error = "diphone pitch marks out of order";
            return false;
        }
    }
    return true;
}

}  // namespace

std::optional<VoiceDatabase> parseVoiceDatabase(const uint8_t* data, size_t size, std::string& error) {
    Reader in(data, size);
    const uint8_t* magic = nullptr;
    if (!in.take(sizeof kMagic, magic) || std::memcmp(magic, kMagic, sizeof kMagic) != 0) {
        error = "not a Brisa voice database";
        return std::nullopt;
    }
    VoiceDatabase db;
    uint32_t rate = 0, phonemes = 0, diphones = 0;
    if (!in.u32(rate) || rate != static_cast<uint32_t>(kDatabaseRate)) {
        error = "database of another sample rate";
        return std::nullopt;
    }
    if (!in.u32(phonemes) || phonemes == 0 || phonemes > kMaxPhonemes) {
        error = "bad phoneme count";
        return std::nullopt;
    }
    std::set<std::string> names;
    for (uint32_t i = 0; i < phonemes; ++i) {
        uint32_t length = 0;
        const uint8_t* name = nullptr;
        if (!in.u8(length) || length == 0 || length > kMaxPhonemeName || !in.take(length, name)) {
            error = "bad phoneme name";
            return std::nullopt;
        }
        std::string text(reinterpret_cast<const char*>(name), length);
        for (char c : text)
            if (static_cast<unsigned char>(c) <= ' ' || c == ';') {
                error = "bad phoneme name";
                return std::nullopt;
            }
        if (!names.insert(text).second) {
            error = "phoneme named twice";
            return std::nullopt;
        }
        db.phonemes.push_back(std::move(text));
    }
    // Each diphone takes at least 30 bytes: a count beyond what the file holds is damage.
    if (!in.u32(diphones) || diphones > kMaxDiphones || diphones > in.left() / 30) {
        error = "bad diphone count";
        return std::nullopt;
    }
    std::set<std::pair<uint16_t, uint16_t>> pairs;
    db.diphones.resize(diphones);
    for (Diphone& d : db.diphones) {
        if (!readDiphone(in, phonemes, d, error)) return std::nullopt;
        if (!pairs.insert({d.left, d.right}).second) {
            error = "diphone given twice";
            return std::nullopt;
        }
    }
    if (in.left() != 0) {
        error = "bytes after the last diphone";
        return std::nullopt;
    }
    return db;
}

std::optional<VoiceDatabase> readVoiceDatabase(const std::string& path, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot open " + path;
        return std::nullopt;
    }
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) {
        error = "cannot read " + path;
        return std::nullopt;
    }
    return parseVoiceDatabase(bytes.data(), bytes.size(), error);
}

std::vector<uint8_t> serializeVoiceDatabase(const VoiceDatabase& db) {
    std::vector<uint8_t> out(kMagic, kMagic + sizeof kMagic);
    put32(out, static_cast<uint32_t>(db.rate));
    put32(out, static_cast<uint32_t>(db.phonemes.size()));
    for (const std::string& name : db.phonemes) {
        out.push_back(static_cast<uint8_t>(name.size()));
        out.insert(out.end(), name.begin(), name.end());
    }
    put32(out, static_cast<uint32_t>(db.diphones.size()));
    for (const Diphone& d : db.diphones) {
        put16(out, d.left);
        put16(out, d.right);
        put32(out, d.begin);
        put32(out, d.boundary);
        put32(out, d.end);
        put32(out, static_cast<uint32_t>(d.samples.size()));
        for (int16_t s : d.samples) put16(out, static_cast<uint16_t>(s));
        put32(out, static_cast<uint32_t>(d.marks.size()));
        for (const PitchMark& m : d.marks) put32(out, m.position | (m.voiced ? kVoicedBit : 0));
    }
    return out;
}

}  // namespace brisa
