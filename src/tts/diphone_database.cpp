// The diphone database: the index in memory, the samples read on demand.
#include "tts/diphone_database.h"

#include <algorithm>

namespace parlendo {

namespace {

// An index larger than this is no index of this voice (some 5000 diphones take 75 KB).
constexpr uint64_t kLargestIndex = 16u << 20;

uint8_t byteAt(const std::string& s, size_t at) { return static_cast<uint8_t>(s[at]); }

}  // namespace

bool DiphoneDatabase::open(const std::string& indexFile, const std::string& sampleFile) {
    close();
    SysError error = 0;
    FileHandle index = FileHandle::open(indexFile, FileHandle::Mode::Read, error);
    if (!index.isOpen()) return false;
    std::optional<uint64_t> size = index.size(error);
    if (!size || *size > kLargestIndex) return false;
    std::string bytes(static_cast<size_t>(*size), '\0');
    IoResult r = index.readAt(bytes.data(), bytes.size(), 0);
    if (r.error != 0) return false;
    bytes.resize(r.count);
    FileHandle samples = FileHandle::open(sampleFile, FileHandle::Mode::Read, error);
    if (!samples.isOpen()) return false;
    index_ = std::move(bytes);
    samples_ = std::move(samples);
    return true;
}

void DiphoneDatabase::useIndex(std::string indexBytes) { index_ = std::move(indexBytes); }

void DiphoneDatabase::close() {
    samples_.close();
    index_.clear();
    index_.shrink_to_fit();
}

std::string_view DiphoneDatabase::nameAt(size_t record) const {
    const size_t at = record * kRecordSize;
    size_t length = std::min<size_t>(byteAt(index_, at), kLongestName);
    return std::string_view(index_).substr(at + 1, length);
}

std::optional<DiphoneEntry> DiphoneDatabase::find(std::string_view name) const {
    if (name.size() > kLongestName) return std::nullopt;
    // Byte order, as unsigned bytes: the order the index is written in.
    auto compare = [](std::string_view a, std::string_view b) {
        const size_t n = std::min(a.size(), b.size());
        for (size_t i = 0; i < n; ++i) {
            uint8_t x = static_cast<uint8_t>(a[i]), y = static_cast<uint8_t>(b[i]);
            if (x != y) return x < y ? -1 : 1;
        }
        return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
    };
    size_t low = 0, high = size();
    while (low < high) {
        const size_t middle = low + (high - low) / 2;
        const int c = compare(nameAt(middle), name);
        if (c == 0) {
            const size_t at = middle * kRecordSize + 1 + kLongestName;
            DiphoneEntry e;
            e.count = static_cast<uint16_t>(byteAt(index_, at) | byteAt(index_, at + 1) << 8);
            e.offset = static_cast<uint32_t>(byteAt(index_, at + 2)) |
                       static_cast<uint32_t>(byteAt(index_, at + 3)) << 8 |
                       static_cast<uint32_t>(byteAt(index_, at + 4)) << 16 |
                       static_cast<uint32_t>(byteAt(index_, at + 5)) << 24;
            return e;
        }
        if (c < 0)
            low = middle + 1;
        else
            high = middle;
    }
    return std::nullopt;
}

size_t DiphoneDatabase::readSamples(uint64_t offset, size_t count, uint8_t* out) const {
    if (count == 0 || !samples_.isOpen()) return 0;
    IoResult r = samples_.readAt(reinterpret_cast<char*>(out), count, offset);
    return r.count;
}

}  // namespace parlendo
