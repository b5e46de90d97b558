// The diphone database of the built-in voice: an index file of 15-byte records (a length byte and
// 8 bytes of upper-case name, a 16-bit little-endian sample count, a 32-bit little-endian offset),
// sorted by name, held whole in memory; and a sample file of 8-bit unsigned mono samples at 11025
// per second, read one diphone at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"

namespace parlendo {

struct DiphoneEntry {
    uint16_t count = 0;   // samples
    uint32_t offset = 0;  // bytes into the sample file
};

class DiphoneDatabase {
public:
    static constexpr size_t kRecordSize = 15;
    static constexpr size_t kLongestName = 8;

    // Reads the index (file names are Windows-1252) and opens the sample file; false, with
    // nothing kept, when either cannot be opened or read.
    bool open(const std::string& indexFile, const std::string& sampleFile);
    // The same index from its bytes, over an already open sample file (tests, tools).
    void useIndex(std::string indexBytes);
    void close();
    bool isOpen() const { return samples_.isOpen(); }

    // The number of records: the index's size / 15 (a cut last record is ignored).
    size_t size() const { return index_.size() / kRecordSize; }
    // Looks an upper-case name up by halving; nothing when the index does not hold it.
    std::optional<DiphoneEntry> find(std::string_view name) const;
    // Reads up to `count` samples from a byte offset of the sample file into `out`; the number
    // read (fewer when the file ends early or fails).
    size_t readSamples(uint64_t offset, size_t count, uint8_t* out) const;

private:
    std::string_view nameAt(size_t record) const;

    std::string index_;
    FileHandle samples_;
};

}  // namespace parlendo
