// parlendo stops at start-up when the built-in voice's data are missing: the two-line message,
// Enter, and the end of the program, with error 1 for the database and 2 for the rule files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "../interp/fixture.h"
#include "diphone_test_data.h"

namespace parlendo::testing {
namespace {

namespace fs = std::filesystem;

class VoiceStartup : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = freshTempFolder("voice-startup");
        fs::create_directories(folder_ / "letras");
        std::ofstream(folder_ / "s.plo") << "escreve \"nunca\"\n";
    }
    void TearDown() override { fs::remove_all(folder_); }

    // Runs the script with DIRDIFONES at `data`; the exit status, and the screen in `screen`.
    int run(const fs::path& data, std::string& screen) {
        std::ofstream(folder_ / "oralix.ini", std::ios::binary)
            << "[TRADUTOR]\r\ndirLetras=" << (folder_ / "letras").string()
            << "\r\nDIRDIFONES=" << data.string() << "\r\n";
        std::string command = std::string("cd ") + folder_.string() + " && " + PARLENDO_BINARY_DIR +
                              "/parlendo --headless --keys '{#13}' --audio dir:out --dump-screen tela.txt"
                              " --settings oralix.ini s.plo >saida.txt 2>&1";
        int status = std::system(command.c_str());
        std::ifstream in(folder_ / "tela.txt");
        std::stringstream ss;
        ss << in.rdbuf();
        screen = ss.str();
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    fs::path folder_;
};

TEST_F(VoiceStartup, MissingDataStopThePlayerWithTheirErrorNumber) {
    std::string screen;
    fs::create_directories(folder_ / "vazio");
    EXPECT_EQ(run(folder_ / "vazio", screen), 1);
    EXPECT_NE(screen.find("Erro de inicializa\xC3\xA7\xC3\xA3o: 1"), std::string::npos) << screen;
    EXPECT_NE(screen.find("Banco de dados de voz: DIFONES2"), std::string::npos) << screen;
    EXPECT_EQ(screen.find("nunca"), std::string::npos) << "the script never ran";

    EXPECT_EQ(run(folder_ / "no-such-folder", screen), 1);
    EXPECT_NE(screen.find("Erro de inicializa\xC3\xA7\xC3\xA3o: 1"), std::string::npos) << screen;

    writeTinyDatabase(folder_ / "sem-regras", {{"$KA", {100, 10}}});
    EXPECT_EQ(run(folder_ / "sem-regras", screen), 1);
    EXPECT_NE(screen.find("Erro de inicializa\xC3\xA7\xC3\xA3o: 2"), std::string::npos) << screen;

    // With everything there the script runs.
    std::ofstream(folder_ / "sem-regras" / "regras.rgr") << "(K)=k\n(A)=a \n";
    std::ofstream(folder_ / "sem-regras" / "portug.exc") << "\n";
    EXPECT_EQ(run(folder_ / "sem-regras", screen), 0);
    EXPECT_NE(screen.find("nunca"), std::string::npos) << screen;
    EXPECT_FALSE(fs::is_empty(folder_ / "out")) << "its words were played";
}

}  // namespace
}  // namespace parlendo::testing
