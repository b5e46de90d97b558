// The byte buffer that ESCREVEBYTE and LEBYTE fill and GRAVABYTES writes, and the one binary
// output file it is written to.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "platform/file_system.h"

namespace parlendo {

// Up to 128 MiB of bytes. Memory is taken only as bytes arrive, so a script that never uses
// the buffer never pays for it.
class ByteBuffer {
public:
    static constexpr size_t kCapacity = size_t{128} << 20;

    size_t count() const { return bytes_.size(); }
    bool full() const { return bytes_.size() == kCapacity; }
    std::string_view contents() const { return {bytes_.data(), bytes_.size()}; }
    // False, changing nothing, when the bytes would not fit.
    bool append(std::string_view bytes);
    // Reads up to `size` bytes of a file at the end of the buffer. False, changing nothing,
    // when they would not fit or the read fails.
    bool appendFrom(FileHandle& file, size_t size);
    // The bytes were written: the count starts again from 0 (the memory is kept for reuse).
    void markWritten() { bytes_.clear(); }
    // Empty, and the memory given back.
    void clear() { std::vector<char>().swap(bytes_); }

private:
    bool makeRoom(size_t more);
    std::vector<char> bytes_;
};

// At most one file at a time, created by CRIABIN and closed by FECHABIN.
struct BinaryOutputFile {
    FileHandle file;
    bool isOpen() const { return file.isOpen(); }
};

}  // namespace parlendo
