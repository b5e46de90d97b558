#include "console/settings_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <utility>

#include "text/cp1252.h"

using namespace parlendo;
namespace fs = std::filesystem;

namespace {

std::string readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream buf;
    buf << in.rdbuf();
    return buf.str();
}

void writeFile(const fs::path& p, const std::string& text) {
    fs::create_directories(p.parent_path());
    std::ofstream out(p, std::ios::binary);
    out << text;
}

// A user folder and a compatibility folder under a fresh temporary folder.
class SettingsFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::random_device rd;
        root_ = fs::temp_directory_path() /
                ("parlendo-settings-" + std::to_string(rd()) + "-" + std::to_string(rd()));
        fs::create_directories(root_);
        user_ = root_ / "user" / "oralix";
        compat_ = root_ / "etc";
        fs::create_directories(compat_);
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(root_, ec);
    }
    SettingsLocation location() const {
        SettingsLocation loc;
        loc.executableFolder = "/usr/lib/sintonix";
        loc.userFolder = user_.string();
        loc.compatibilityFolder = compat_.string();
        return loc;
    }
    fs::path userFile() const { return user_ / "oralix.ini"; }
    fs::path compatFile() const { return compat_ / "oralix.ini"; }

    fs::path root_, user_, compat_;
};

}  // namespace

TEST(Profile, Lookup) {
    const std::string text =
        "top=before any section\r\n"
        "[Oralix]\r\n"
        "; comentario=1\r\n"
        "Falando = Sim \r\n"
        "aspas=\" dentro \"\n"
        "uma=\"\n"
        "duplas=\"\"x\"\"\n"
        "semvalor=\n"
        "falando=segundo\n"
        "  [  Video ]  \n"
        "CorFundo=1\n"
        "[ORALIX]\n"
        "outra=no second section\n";
    EXPECT_EQ(profile::lookup(text, "ORALIX", "FALANDO"), "Sim");
    EXPECT_EQ(profile::lookup(text, "oralix", "falando"), "Sim");
    EXPECT_EQ(profile::lookup(text, "ORALIX", "ASPAS"), " dentro ");
    EXPECT_EQ(profile::lookup(text, "ORALIX", "uma"), "\"");
    EXPECT_EQ(profile::lookup(text, "ORALIX", "duplas"), "\"x\"");
    EXPECT_EQ(profile::lookup(text, "ORALIX", "semvalor"), "");
    EXPECT_EQ(profile::lookup(text, "video", "corfundo"), "1");
    EXPECT_EQ(profile::lookup(text, "ORALIX", "comentario"), std::nullopt);
    EXPECT_EQ(profile::lookup(text, "ORALIX", "top"), std::nullopt);
    EXPECT_EQ(profile::lookup(text, "ORALIX", "outra"), std::nullopt);
    EXPECT_EQ(profile::lookup(text, "ORALIX", "ausente"), std::nullopt);
    EXPECT_EQ(profile::lookup(text, "AUSENTE", "falando"), std::nullopt);
    EXPECT_EQ(profile::lookup("", "A", "b"), std::nullopt);
    // Only ASCII letters fold: an accented name must match exactly.
    EXPECT_EQ(profile::lookup("[S\xC3O]\nk=1\n", "s\xE3o", "k"), std::nullopt);
    EXPECT_EQ(profile::lookup("[S\xC3O]\nk=1\n", "s\xC3o", "K"), "1");
    // A byte-order mark does not hide the first section; a value is cut at 50000 characters.
    EXPECT_EQ(profile::lookup("\xEF\xBB\xBF[A]\nk=v", "a", "k"), "v");
    std::string longValue(60000, 'x');
    EXPECT_EQ(profile::lookup("[A]\nk=" + longValue, "A", "k"), std::string(50000, 'x'));
}

TEST(Profile, UpdateKeepsOtherLines) {
    const std::string text =
        "; cabecalho\r\n"
        "[ORALIX]\r\n"
        "Legado = nao\n"
        "Falando=Sim\r\n"
        "\r\n"
        "[VIDEO]\r\n"
        "Fonte=Courier";
    // Replacing: only that line changes, keeping its own line end.
    EXPECT_EQ(profile::update(text, "oralix", "LEGADO", "Sim"),
              "; cabecalho\r\n[ORALIX]\r\nLEGADO=Sim\nFalando=Sim\r\n\r\n[VIDEO]\r\n"
              "Fonte=Courier");
    // Adding to a section: after its last line, before the blank line.
    EXPECT_EQ(profile::update(text, "ORALIX", "Novo", "1"),
              "; cabecalho\r\n[ORALIX]\r\nLegado = nao\nFalando=Sim\r\nNovo=1\r\n\r\n"
              "[VIDEO]\r\nFonte=Courier");
    // Adding to a last section whose last line has no line end.
    EXPECT_EQ(profile::update(text, "video", "Cor", "2"), text + "\r\nCor=2\r\n");
    // A new section goes at the end.
    EXPECT_EQ(profile::update(text, "BRAILLE", "MODO", "0"), text + "\r\n[BRAILLE]\r\nMODO=0\r\n");
    EXPECT_EQ(profile::update("", "A", "k", "v"), "[A]\r\nk=v\r\n");
    EXPECT_EQ(profile::update("[A]\n", "A", "k", "v"), "[A]\nk=v\r\n");
}

TEST(Profile, UpdatedValueReadsBackUnchanged) {
    for (std::string value : {"", "plain", " blanks ", "\"quoted\"", "\"", "a=b;c", "\t"}) {
        std::string text = profile::update("[A]\nk=old\n", "A", "k", value);
        EXPECT_EQ(profile::lookup(text, "a", "K"), value) << text;
    }
    // A line break cannot be stored: the value ends there, and no section is injected.
    std::string text = profile::update("[A]\n", "A", "k", "one\r\n[B]\nx=1");
    EXPECT_EQ(profile::lookup(text, "A", "k"), "one");
    EXPECT_EQ(profile::lookup(text, "B", "x"), std::nullopt);
}

TEST_F(SettingsFileTest, LocatesTheSettingsFile) {
    EXPECT_EQ(SettingsFile(location()).filePath(), userFile().string());  // neither exists
    writeFile(compatFile(), "[ORALIX]\nK=compat\n");
    EXPECT_EQ(SettingsFile(location()).folder(), compat_.string());
    writeFile(userFile(), "[ORALIX]\nK=user\n");
    SettingsFile user(location());
    EXPECT_EQ(user.folder(), user_.string());
    EXPECT_EQ(user.readRaw("ORALIX", "K"), "user");

    SettingsLocation loc = location();
    loc.explicitFile = (root_ / "other" / "mine.ini").string();
    writeFile(*loc.explicitFile, "[ORALIX]\nK=explicit\n");
    SettingsFile s(loc);
    EXPECT_EQ(s.folder(), (root_ / "other").string());
    EXPECT_EQ(s.readSetting("oralix", "k"), "explicit");
}

TEST_F(SettingsFileTest, DefaultIsWrittenBack) {
    SettingsFile s(location());
    EXPECT_EQ(s.readSettingOrDefault("ORALIX", "FALANDO", "Sim"), "Sim");
    EXPECT_EQ(readFile(userFile()), "[ORALIX]\r\nFALANDO=Sim\r\n");  // folder and file made
    EXPECT_EQ(s.readSettingOrDefault("ORALIX", "FALANDO", "Nao"), "Sim");
    // A blank value counts as missing and is replaced.
    ASSERT_TRUE(s.writeSetting("ORALIX", "FALANDO", "   "));
    EXPECT_EQ(s.readSettingOrDefault("ORALIX", "FALANDO", "Nao"), "Nao");
    EXPECT_EQ(readFile(userFile()), "[ORALIX]\r\nFALANDO=Nao\r\n");
    // No temporary file stays behind.
    EXPECT_EQ(std::distance(fs::directory_iterator(user_), fs::directory_iterator()), 1);

    // A folder that cannot be made: the write reports failure, nothing is thrown.
    writeFile(root_ / "blocker", "a file where a folder should be");
    SettingsLocation loc = location();
    loc.userFolder = (root_ / "blocker" / "oralix").string();
    SettingsFile blocked(loc);
    EXPECT_FALSE(blocked.writeSetting("A", "k", "v"));
    EXPECT_EQ(blocked.readSettingOrDefault("A", "k", "d"), "d");
}

TEST_F(SettingsFileTest, AtForms) {
    writeFile(userFile(), "[ORALIX]\nPGMORALIX=/opt/fam\n[X]\ndados=@\\dados\n");
    SettingsFile s(location());
    EXPECT_EQ(s.readSetting("X", "dados"), "/opt/fam\\dados");
    EXPECT_EQ(s.readRaw("X", "dados"), "@\\dados");
    EXPECT_EQ(s.resolve("@"), "/usr/lib/sintonix");
    EXPECT_EQ(s.resolve("@/dados"), "/opt/fam/dados");
    EXPECT_EQ(s.resolve("@@\\x"), user_.string() + "\\x");
    EXPECT_EQ(s.resolve("@@/a;c:@\\b"), user_.string() + "/a;c:/opt/fam\\b");
    EXPECT_EQ(s.resolve("@x@@"), "@x@@");

    // PGMORALIX empty or beginning with "@": the executable's folder. Otherwise resolved.
    for (auto [pgm, expected] : {std::pair<std::string, std::string>{"", "/usr/lib/sintonix"},
                                 {"@x", "/usr/lib/sintonix"},
                                 {"@@\\fam", user_.string() + "\\fam"}}) {
        s.writeSetting("ORALIX", "PGMORALIX", pgm);
        EXPECT_EQ(s.resolve("@\\dados"), expected + "\\dados") << pgm;
    }
}

TEST_F(SettingsFileTest, SelfReferringValuesStillEnd) {
    // Each replacement of "@" by this folder brings a new "@\": the resolution stops after
    // its sixteen replacements instead of running for ever.
    SettingsLocation loc = location();
    loc.executableFolder = "/e@\\";
    SettingsFile s(loc);
    std::string expected;
    for (int i = 0; i < 16; ++i) expected += "/e";
    EXPECT_EQ(s.resolve("@\\a"), expected + "@" + std::string(17, '\\') + "a");

    // A PGMORALIX that refers to itself, or leads back to such a folder, ends as well.
    for (const char* pgm : {"@\\x@\\", "x@\\y"}) {
        s.writeSetting("ORALIX", "PGMORALIX", pgm);
        std::string v = s.resolve("@\\a@\\b");
        EXPECT_LT(v.size(), 5000u) << pgm;
        EXPECT_EQ(v.rfind(pgm[0] == '@' ? "/e" : "x/e", 0), 0u) << v;
    }
}

TEST_F(SettingsFileTest, CompatibilityFlag) {
    writeFile(compatFile(), "[ORALIX]\r\nDIRLETRAS=@\\letras\r\nPGMORALIX=/opt/antigo\r\n");
    writeFile(userFile(), "[ORALIX]\nLEGADO=nao\n");
    SettingsFile s(location());
    EXPECT_EQ(s.readSetting("ORALIX", "DIRLETRAS"), "");

    ASSERT_TRUE(s.writeSetting("oralix", "legado", "sim"));
    EXPECT_EQ(s.readSetting("ORALIX", "DIRLETRAS"), "/opt/antigo\\letras");
    EXPECT_EQ(s.readRaw("ORALIX", "DIRLETRAS"), "");
    // A value in the settings file is preferred.
    ASSERT_TRUE(s.writeSetting("ORALIX", "DIRLETRAS", "/meu"));
    EXPECT_EQ(s.readSetting("ORALIX", "DIRLETRAS"), "/meu");
    // Writes go to both files while the flag is on, and only to the settings file after.
    EXPECT_EQ(readFile(compatFile()), "[ORALIX]\r\nDIRLETRAS=/meu\r\nPGMORALIX=/opt/antigo\r\n");
    // The write that turns the flag off still reaches both files; the next one does not.
    ASSERT_TRUE(s.writeSetting("ORALIX", "LEGADO", "N"));
    ASSERT_TRUE(s.writeSetting("ORALIX", "OUTRA", "1"));
    EXPECT_EQ(readFile(compatFile()), "[ORALIX]\r\nDIRLETRAS=/meu\r\nPGMORALIX=/opt/antigo\r\nLEGADO=N\r\n");
    EXPECT_EQ(readFile(userFile()), "[ORALIX]\nLEGADO=N\nDIRLETRAS=/meu\r\nOUTRA=1\r\n");
}

// What the path names is the user's: only a regular file, reached directly or through a link, is
// ever replaced; anything else is used as missing, said, and left as it was.
TEST_F(SettingsFileTest, OnlyARegularFileIsEverWritten) {
    auto used = [&](const fs::path& path) {
        SettingsLocation loc = location();
        loc.explicitFile = path.string();
        return SettingsFile(loc);
    };
    // A link to a regular file: the file takes the default, the link stays a link.
    writeFile(root_ / "real.ini", "[A]\nx=1\n");
    fs::create_symlink("real.ini", root_ / "link.ini");
    SettingsFile linked = used(root_ / "link.ini");
    EXPECT_EQ(linked.problem(), "");
    EXPECT_EQ(linked.readSettingOrDefault("ORALIX", "FALANDO", "Sim"), "Sim");
    EXPECT_TRUE(fs::is_symlink(root_ / "link.ini"));
    EXPECT_EQ(readFile(root_ / "real.ini"), "[A]\nx=1\n[ORALIX]\r\nFALANDO=Sim\r\n");

    // A FIFO (which would hold a reader until someone writes), a link to it, a link that leads
    // nowhere, a link to itself and a folder: defaults for the run, a reason, nothing written.
    ASSERT_EQ(::mkfifo((root_ / "fila").c_str(), 0600), 0);
    fs::create_symlink("fila", root_ / "para-fila.ini");
    fs::create_symlink("sumiu.ini", root_ / "quebrado.ini");
    fs::create_symlink("laco.ini", root_ / "laco.ini");
    fs::create_directories(root_ / "pasta.ini");
    for (const char* name : {"fila", "para-fila.ini", "quebrado.ini", "laco.ini", "pasta.ini"}) {
        const fs::path path = root_ / name;
        const fs::file_type before = fs::symlink_status(path).type();
        SettingsFile s = used(path);
        const std::string said = text::cp1252ToUtf8(s.problem());
        EXPECT_EQ(said.rfind("não foi possível usar o arquivo de configurações " + path.string() + ": ", 0),
                  0u)
            << said;
        EXPECT_NE(said.find("configurações padrão"), std::string::npos) << said;
        EXPECT_EQ(s.readSettingOrDefault("ORALIX", "FALANDO", "Sim"), "Sim") << name;
        EXPECT_FALSE(s.writeSetting("ORALIX", "FALANDO", "Nao")) << name;
        EXPECT_EQ(fs::symlink_status(path).type(), before) << name;
    }
    EXPECT_NE(text::cp1252ToUtf8(used(root_ / "pasta.ini").problem()).find(": é uma pasta."),
              std::string::npos);
    EXPECT_TRUE(fs::is_empty(root_ / "pasta.ini"));
    EXPECT_FALSE(fs::exists(fs::symlink_status(root_ / "sumiu.ini")));
    EXPECT_TRUE(fs::is_fifo(root_ / "fila"));

    // A file that cannot be read, in a folder anyone may write to. Root reads any file, so the
    // reading is done by a child that has given root up.
    const fs::path locked = root_ / "aberta" / "oralix.ini";
    writeFile(locked, "[ORALIX]\r\nFALANDO=Nao\r\nMINHA=chave\r\n");
    fs::permissions(locked.parent_path(), fs::perms::all);
    fs::permissions(locked, fs::perms::none);
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(10);
        SettingsFile s = used(locked);
        bool ok = text::cp1252ToUtf8(s.problem()).find(": permissão negada.") != std::string::npos &&
                  s.readSettingOrDefault("ORALIX", "FALANDO", "Sim") == "Sim" &&
                  s.readRaw("ORALIX", "MINHA").empty();
        ::_exit(ok ? 0 : 11);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(readFile(locked), "[ORALIX]\r\nFALANDO=Nao\r\nMINHA=chave\r\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(locked.parent_path()), fs::directory_iterator()), 1);
}
