// What a script writes is really heard: parlendo runs with a WAV-folder sound device and the sounds
// it played are read back. A number comes from the recordings the build made (8-bit mono 11025 Hz,
// the recording's own samples); words from the built-in voice's diphones (8-bit mono 11025 Hz,
// long enough to be speech, and not silence).
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace parlendo {
namespace {

namespace fs = std::filesystem;

struct Heard {
    int channels = 0, rate = 0, bits = 0;
    uint32_t dataSize = 0;
    std::vector<uint8_t> data;
};

uint32_t le(const std::vector<uint8_t>& b, size_t at, int bytes) {
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | b[at + i];
    return v;
}

Heard readHeard(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::vector<uint8_t> b((std::istreambuf_iterator<char>(in)), {});
    Heard h;
    if (b.size() < 44 || std::string(b.begin(), b.begin() + 4) != "RIFF") return h;
    h.channels = static_cast<int>(le(b, 22, 2));
    h.rate = static_cast<int>(le(b, 24, 4));
    h.bits = static_cast<int>(le(b, 34, 2));
    h.dataSize = le(b, 40, 4);
    h.data.assign(b.begin() + 44, b.end());
    return h;
}

class HeardSpeech : public ::testing::Test {
protected:
    void SetUp() override {
        letters_ = fs::path(PARLENDO_BINARY_DIR) / "share/oralix/letras";
        if (!fs::exists(letters_ / "_doze.wav"))
            GTEST_SKIP() << "the build made no recordings in " << letters_;
        const fs::path difones = fs::path(PARLENDO_BINARY_DIR) / "share/oralix/difones";
        if (!fs::exists(difones / "DIFONES2.IND") || !fs::exists(difones / "regras.rgr"))
            GTEST_SKIP() << "the build made no diphone database and rules in " << difones
                         << ": without them the built-in voice does not start";
        folder_ = fs::temp_directory_path() / ("parlendo_heard_" + std::to_string(::getpid()));
        fs::remove_all(folder_);
        fs::create_directories(folder_ / "out");
        std::ofstream(folder_ / "vazio.ini").close();
    }
    void TearDown() override {
        if (!folder_.empty()) fs::remove_all(folder_);
    }

    // Runs a script and gives the sounds it played, in order.
    std::vector<Heard> run(const std::string& script) {
        std::ofstream(folder_ / "s.plo") << script;
        std::string command =
            "cd " + folder_.string() + " && " + PARLENDO_BINARY_DIR +
            "/parlendo --headless --audio dir:out --settings vazio.ini s.plo >/dev/null 2>&1";
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
        std::vector<fs::path> files;
        for (const auto& e : fs::directory_iterator(folder_ / "out")) files.push_back(e.path());
        std::sort(files.begin(), files.end());
        std::vector<Heard> heard;
        for (const auto& f : files) heard.push_back(readHeard(f));
        return heard;
    }

    fs::path letters_, folder_;
};

TEST_F(HeardSpeech, NumbersComeFromTheRecordingsAndWordsFromTheDiphoneVoice) {
    std::vector<Heard> heard = run("escreve \"12\"\ntermina mudo\n");
    ASSERT_EQ(heard.size(), 1u);
    Heard doze = readHeard(letters_ / "_doze.wav");
    EXPECT_EQ(heard[0].channels, 1);
    EXPECT_EQ(heard[0].rate, 11025);
    EXPECT_EQ(heard[0].bits, 8);
    EXPECT_EQ(heard[0].dataSize, heard[0].data.size());
    EXPECT_EQ(heard[0].data, doze.data);

    fs::remove_all(folder_ / "out");
    fs::create_directories(folder_ / "out");
    heard =
        run("escreve \"Bom dia a todos os ouvintes da r\xC3\xA1"
            "dio\"\ntermina mudo\n");
    ASSERT_FALSE(heard.empty());
    size_t bytes = 0, loud = 0;
    for (const Heard& h : heard) {
        EXPECT_EQ(h.channels, 1);
        EXPECT_EQ(h.bits, 8);
        EXPECT_EQ(h.rate, 11025);
        EXPECT_EQ(h.dataSize, h.data.size());
        bytes += h.data.size();
        for (uint8_t v : h.data)
            if (v < 128 - 24 || v > 128 + 24) ++loud;
    }
    // Seven words take well over a second and far less than ten seconds, and much of it is sound.
    double seconds = static_cast<double>(bytes) / 11025.0;
    EXPECT_GT(seconds, 1.0);
    EXPECT_LT(seconds, 10.0);
    EXPECT_GT(loud, bytes / 20) << "the words are not silence";

    // A silenced run plays nothing at all.
    fs::remove_all(folder_ / "out");
    fs::create_directories(folder_ / "out");
    heard = run("escreve mudo \"Bom dia\"\ntermina mudo\n");
    EXPECT_TRUE(heard.empty());
}

}  // namespace
}  // namespace parlendo
