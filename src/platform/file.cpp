// Files opened by script commands.
#include "platform/file.h"

#include "text/cp1252.h"

namespace parlendo {

std::string nativePath(std::string_view scriptName) { return text::cp1252ToUtf8(scriptName); }

std::unique_ptr<File> File::open(std::string_view scriptName, const char* mode) {
    std::string path = nativePath(scriptName);
    if (path.empty()) return nullptr;
    std::FILE* f = std::fopen(path.c_str(), mode);
    if (!f) return nullptr;
    return std::unique_ptr<File>(new File(f));
}

File::~File() {
    if (f_) std::fclose(f_);
}

size_t File::read(char* buffer, size_t size) { return f_ ? std::fread(buffer, 1, size, f_) : 0; }

bool File::write(std::string_view bytes) {
    if (!f_) return false;
    if (std::fwrite(bytes.data(), 1, bytes.size(), f_) != bytes.size()) writeFailed_ = true;
    return !writeFailed_;
}

bool File::close() {
    if (!f_) return !writeFailed_;
    bool ok = std::fclose(f_) == 0 && !writeFailed_;
    f_ = nullptr;
    return ok;
}

bool File::failed() const { return writeFailed_ || (f_ && std::ferror(f_)); }

}  // namespace parlendo
