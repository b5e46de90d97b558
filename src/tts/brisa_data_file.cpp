// Reading the Brisa voice's data files.
#include "tts/brisa_data_file.h"

#include <memory>

#include "platform/file.h"

namespace parlendo {

bool readBrisaFile(const std::string& path, std::string& contents) {
    std::unique_ptr<File> f = File::open(path, "rb");
    if (!f) return false;
    contents.clear();
    char buffer[16384];
    while (size_t n = f->read(buffer, sizeof buffer)) contents.append(buffer, n);
    return !f->failed();
}

}  // namespace parlendo
