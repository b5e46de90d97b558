// The byte buffer: appending within its 128 MiB, growing as bytes arrive.
#include "commands/byte_buffer.h"

#include <algorithm>
#include <cstring>

namespace parlendo {

bool ByteBuffer::makeRoom(size_t more) {
    if (more > kCapacity - bytes_.size()) return false;
    size_t needed = bytes_.size() + more;
    if (needed > bytes_.capacity())
        bytes_.reserve(std::min(kCapacity, std::max(needed, bytes_.capacity() * 2)));
    return true;
}

bool ByteBuffer::append(std::string_view bytes) {
    if (!makeRoom(bytes.size())) return false;
    bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
    return true;
}

bool ByteBuffer::appendFrom(FileHandle& file, size_t size) {
    if (!makeRoom(size)) return false;
    size_t start = bytes_.size();
    bytes_.resize(start + size);
    size_t got = 0;
    while (got < size) {
        IoResult r = file.read(bytes_.data() + start + got, size - got);
        if (r.error != 0) {
            bytes_.resize(start);
            return false;
        }
        if (r.count == 0) break;
        got += r.count;
    }
    bytes_.resize(start + got);
    return true;
}

}  // namespace parlendo
