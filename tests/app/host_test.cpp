// The command line of the harness and the exit statuses of a run.
#include "app/host.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace parlendo {
namespace {

std::string readFile(const std::filesystem::path& p) {
    std::ifstream f(p, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

TEST(HostOptions, ParsesTheHarness) {
    std::string error;
    auto o = parseHostOptions({"--headless", "--keys", "{#13}", "--audio", "dir:/tmp/x", "--settings",
                               "s.ini", "script.plo", "--keys", "a b"},
                              true, error);
    ASSERT_TRUE(o) << error;
    EXPECT_TRUE(o->headless);
    EXPECT_EQ(o->keys, "{#13}");
    EXPECT_EQ(o->audio, "dir:/tmp/x");
    EXPECT_EQ(o->settings, "s.ini");
    EXPECT_EQ(o->script, "script.plo");
    std::vector<std::string> params = {"--keys", "a b"};
    EXPECT_EQ(o->params, params) << "everything after the script belongs to it";

    for (std::vector<std::string> bad : std::vector<std::vector<std::string>>{
             {}, {"--keys"}, {"--bogus", "x.plo"}, {"--audio", "loud", "x.plo"}, {"--keys", "{#", "x.plo"}}) {
        EXPECT_FALSE(parseHostOptions(bad, true, error));
        EXPECT_FALSE(error.empty());
    }
    EXPECT_TRUE(parseHostOptions({"--headless"}, false, error)) << "sintonix takes no script";

    auto help = parseHostOptions({"--help", "--bogus"}, true, error);
    ASSERT_TRUE(help) << "--help needs no script and ends the options";
    EXPECT_TRUE(help->help);
    auto scripts = parseHostOptions({"x.plo", "--version"}, true, error);
    ASSERT_TRUE(scripts);
    EXPECT_FALSE(scripts->version) << "after the script, --version is the script's";
    EXPECT_EQ(scripts->params, std::vector<std::string>{"--version"});
}

TEST(HostOptions, ScriptTextIsUtf8OrWindows1252) {
    auto lines = splitScript("escreve \"a\xC3\xA7\xC3\xA3o\"\r\nfim\n\nx");
    std::vector<std::string> expected = {"escreve \"a\xE7\xE3o\"", "fim", "", "x"};
    EXPECT_EQ(lines, expected);
    EXPECT_EQ(splitScript("\"a\xE7\xE3o\"")[0], "\"a\xE7\xE3o\"") << "not UTF-8: taken as it is";
}

class HostRun : public ::testing::Test {
protected:
    void SetUp() override {
        dir =
            std::filesystem::temp_directory_path() /
            ("parlendo-host-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
        std::filesystem::create_directories(dir);
        options.headless = true;
        options.settings = (dir / "oralix.ini").string();
        options.dumpScreen = (dir / "screen.txt").string();
        options.speechLog = (dir / "speech.txt").string();
        options.audio = "null";
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    int run(const std::vector<std::string>& lines) { return runScript(options, lines, "teste"); }

    std::filesystem::path dir;
    HostOptions options;
};

TEST_F(HostRun, ExitStatusesAndReports) {
    EXPECT_EQ(run({"escreve \"oi\""}), 0);
    EXPECT_EQ(readFile(dir / "speech.txt"), "oi\nFim do script\n");
    EXPECT_EQ(readFile(dir / "screen.txt").substr(0, 3), "oi\n");

    options.keys = "{#13}";
    EXPECT_EQ(run({"escreve \"a\"", "", "xyz"}), 1);
    EXPECT_EQ(readFile(dir / "speech.txt"), "a\nComando inválido: XYZ\nErro de execução na linha \n3\n");
    std::string screen = readFile(dir / "screen.txt");
    EXPECT_EQ(screen.substr(0, screen.find("\n\n\n")), "a\nComando inválido: XYZ\n3")
        << "the line number is written, then the wait for Enter";

    options.keys.reset();
    EXPECT_EQ(run({"xyz"}), 3) << "no Enter to end the error report: the keys ran out";
    EXPECT_EQ(run({"le mudo t &"}), 3);
    options.keys = "ab";
    EXPECT_EQ(run({"le t &", "le u &", "se t == \"a\" termina mudo"}), 0);
    EXPECT_EQ(readFile(dir / "speech.txt"), "char 97\nchar 98\n");
}

TEST_F(HostRun, TooLongAScriptIsRefused) {
    EXPECT_EQ(run(std::vector<std::string>(5001, "* linha")), 2);
    EXPECT_EQ(run(std::vector<std::string>(5000, "* linha")), 0);
}

}  // namespace
}  // namespace parlendo

namespace parlendo {
namespace {

TEST_F(HostRun, TypedCharactersAreEchoedUnlessTheSettingsSayNo) {
    options.keys = "ab{#13}";
    EXPECT_EQ(run({"le x", "termina mudo"}), 0);
    EXPECT_EQ(readFile(dir / "speech.txt"), "char 97\nchar 98\n");
    std::string written = readFile(dir / "oralix.ini");
    EXPECT_NE(written.find("FALANDO=Sim"), std::string::npos) << "the default is written back";

    std::ofstream(dir / "oralix.ini", std::ios::trunc) << "[oralix]\r\nfalando=Nao\r\n";
    EXPECT_EQ(run({"le x", "termina mudo"}), 0);
    EXPECT_EQ(readFile(dir / "speech.txt"), "");
}

}  // namespace
}  // namespace parlendo
