// Atomic writing of the tuner's files (temporary name, then rename) and the status file.
#include "sources/output_files.h"

#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>

#include "text/cp1252.h"

namespace sintonix {

namespace {

struct FileClose {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

// A name beside the file that no other writer uses: the status file may be written by the
// deadline's watchdog while the command writes its results.
std::string temporaryName(const std::string& path) {
    static std::atomic<unsigned> counter{0};
    return path + ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(++counter);
}

}  // namespace

bool writeFileAtomically(const std::string& path, std::string_view bytes) {
    std::string temporary = temporaryName(path);
    bool ok;
    {
        std::unique_ptr<std::FILE, FileClose> file(std::fopen(temporary.c_str(), "wb"));
        if (!file) return false;
        ok = std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size();
        ok = std::fflush(file.get()) == 0 && ok;
        ok = std::fclose(file.release()) == 0 && ok;
    }
    if (ok) ok = std::rename(temporary.c_str(), path.c_str()) == 0;
    if (!ok) std::remove(temporary.c_str());
    return ok;
}

void removePagesFrom(const std::string& path, size_t first) {
    std::error_code ec;
    for (size_t n = first;; ++n) {
        if (!std::filesystem::remove(path + "." + std::to_string(n), ec)) break;
    }
}

bool writeStatusOk(const std::string& path, size_t count) {
    return writeFileAtomically(path, "ok\r\n" + std::to_string(count) + "\r\n");
}

bool writeStatusError(const std::string& path, std::string_view utf8Message) {
    return writeFileAtomically(path, "erro\r\n" + parlendo::text::utf8ToCp1252(utf8Message) + "\r\n");
}

}  // namespace sintonix
