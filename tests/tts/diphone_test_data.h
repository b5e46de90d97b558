// A tiny diphone database written by a test into a temporary folder: every diphone holds one
// sample value repeated, so that what the synthesiser played can be read back as runs.
#pragma once

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "tts/diphone_synthesiser.h"

namespace parlendo::testing {

struct TinyDiphone {
    uint16_t count;
    uint8_t value;
};

// Writes DIFONES2.IND and DIFONES2.DIF into `folder`, the index sorted by name.
inline void writeTinyDatabase(const std::filesystem::path& folder,
                              const std::map<std::string, TinyDiphone>& units) {
    std::filesystem::create_directories(folder);
    std::string index, samples;
    for (const auto& [name, unit] : units) {  // a std::map is in byte order already
        std::string record(15, '\0');
        record[0] = static_cast<char>(name.size());
        std::copy(name.begin(), name.end(), record.begin() + 1);
        const uint32_t offset = static_cast<uint32_t>(samples.size());
        record[9] = static_cast<char>(unit.count & 0xFF);
        record[10] = static_cast<char>(unit.count >> 8);
        for (int b = 0; b < 4; ++b) record[11 + b] = static_cast<char>((offset >> (8 * b)) & 0xFF);
        index += record;
        samples.append(unit.count, static_cast<char>(unit.value));
    }
    std::ofstream(folder / "DIFONES2.IND", std::ios::binary) << index;
    std::ofstream(folder / "DIFONES2.DIF", std::ios::binary) << samples;
}

// Keeps every buffer played: its header checked, its samples gathered.
class CollectingSink final : public SoundSink {
public:
    bool play(const uint8_t* image, size_t size) override {
        images.emplace_back(image, image + size);
        samples.insert(samples.end(), image + DiphoneSynthesiser::kHeaderSize, image + size);
        return !interrupt;
    }
    // The samples as runs of one value: (value, length).
    std::vector<std::pair<int, size_t>> runs() const {
        std::vector<std::pair<int, size_t>> r;
        for (uint8_t s : samples) {
            if (!r.empty() && r.back().first == s)
                ++r.back().second;
            else
                r.push_back({s, 1});
        }
        return r;
    }
    std::vector<std::vector<uint8_t>> images;
    std::vector<uint8_t> samples;
    bool interrupt = false;
};

}  // namespace parlendo::testing
