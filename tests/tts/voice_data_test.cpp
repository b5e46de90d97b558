// The recordings the build makes for the built-in voice: every name the recorded voice may ask
// for is there, as a valid 8-bit mono 11025 Hz WAV file that is not silent.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/file.h"
#include "tts/wave_player.h"

namespace parlendo {
namespace {

namespace fs = std::filesystem;

// The names as the program builds them (Windows-1252), without ".wav".
std::vector<std::string> requiredNames() {
    std::vector<std::string> names;
    for (int c = 32; c <= 255; ++c) {
        if (c == 127 || c == 129 || c == 141 || c == 143 || c == 144 || c == 157) continue;
        names.push_back("_" + std::to_string(c));
    }
    for (int c = 'A'; c <= 'Z'; ++c) {
        names.push_back("_FON" + std::to_string(c));
        names.push_back("_FON" + std::to_string(c + 32));
    }
    names.push_back("_FON9");
    for (const char* w : {"_zero",
                          "_um",
                          "_dois",
                          "_tr\xEAs",
                          "_quatro",
                          "_cinco",
                          "_seis",
                          "_sete",
                          "_oito",
                          "_nove",
                          "_dez",
                          "_onze",
                          "_doze",
                          "_treze",
                          "_quatorz",
                          "_quinze",
                          "_dezesse",
                          "_dezeset",
                          "_dezoito",
                          "_dezenov",
                          "_vinte",
                          "_trinta",
                          "_quarent",
                          "_cinq\xFC"
                          "en",
                          "_sessent",
                          "_setenta",
                          "_oitenta",
                          "_noventa",
                          "_cento",
                          "_duzento",
                          "_trezent",
                          "_quatroc",
                          "_quinhen",
                          "_seiscen",
                          "_setecen",
                          "_oitocen",
                          "_novecen",
                          "_cem",
                          "_trilhao",
                          "_bilhao",
                          "_milhao",
                          "_mil",
                          "_trilhoe",
                          "_bilhoes",
                          "_milhoes",
                          "_e",
                          "_uma",
                          "_duas"})
        names.push_back(w);
    for (const char* w :
         {"_MENOS",   "_DEL",     "_APFCPO",  "_APICPO",  "_CPOAPA", "_FALACI", "_FALDLG",  "_VELOC",
          "_primeir", "_de",      "_hora",    "_horas",   "_EHORA",  "_minuto", "_minutos", "_SEMBAT",
          "_SEMENER", "_unknown", "_Domingo", "_Segunda", "_Terca",  "_Quarta", "_Quinta",  "_Sexta",
          "_Sabado",  "_Janeiro", "_Feverei", "_Marco",   "_Abril",  "_Maio",   "_Junho",   "_Julho",
          "_Agosto",  "_Setembr", "_Outubro", "_Novembr", "_Dezembr"})
        names.push_back(w);
    for (const char* t : {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "#", "X"})
        names.push_back(std::string("dtmf_") + t);
    return names;
}

TEST(VoiceData, EveryRecordingIsThereAndSounds) {
#ifndef PARLENDO_VOICE_DATA_DIR
    GTEST_SKIP() << "the build was configured without the voice data (PARLENDO_VOICE_DATA=OFF)";
#else
    const fs::path folder = PARLENDO_VOICE_DATA_DIR;
    ASSERT_TRUE(fs::is_directory(folder)) << folder;
    for (const std::string& name : requiredNames()) {
        fs::path p = fs::path(nativePath(folder.string() + "/" + name + ".wav"));
        std::ifstream in(p, std::ios::binary);
        if (!in) {
            ADD_FAILURE() << "missing " << p;
            continue;
        }
        std::stringstream ss;
        ss << in.rdbuf();
        std::string s = ss.str();
        std::vector<uint8_t> bytes(s.begin(), s.end());
        std::optional<WavData> wav = findWavData(bytes.data(), bytes.size());
        if (!wav) {
            ADD_FAILURE() << "not a WAV file: " << p;
            continue;
        }
        EXPECT_EQ(wav->formatTag, 1) << p;
        EXPECT_EQ(wav->format, (AudioFormat{11025, 1, 8})) << p;
        EXPECT_EQ(wav->dataOffset + wav->dataLength, bytes.size()) << p;
        EXPECT_EQ(bytes[4] | bytes[5] << 8 | bytes[6] << 16, static_cast<int>(bytes.size() - 8)) << p;
        int loudest = 0;
        for (size_t i = wav->dataOffset; i < bytes.size(); ++i)
            loudest = std::max(loudest, std::abs(bytes[i] - 128));
        EXPECT_GT(loudest, 40) << "silent: " << p;
        EXPECT_GT(wav->dataLength, 500u) << "too short to hear: " << p;
    }
#endif
}

}  // namespace
}  // namespace parlendo
