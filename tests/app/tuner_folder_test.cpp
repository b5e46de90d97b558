// The tuner's folder: where it is, seeding without ever replacing the user's files, the help
// file's sections, and options that keep naming the same files after sintonix enters its folder.
#include "app/tuner_folder.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "app/host.h"

namespace parlendo {
namespace {

namespace fs = std::filesystem;

std::string readFile(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

struct TempFolder {
    TempFolder() {
        char name[] = "/tmp/tuner_folder_XXXXXX";
        path = mkdtemp(name);
    }
    ~TempFolder() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
    fs::path path;
};

// Sets an environment variable for the life of the object, then puts the old value back.
struct ScopedEnv {
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~ScopedEnv() {
        if (old_)
            setenv(name_, old_->c_str(), 1);
        else
            unsetenv(name_);
    }
    const char* name_;
    std::optional<std::string> old_;
};

TEST(TunerFolder, PlaceFollowsTheEnvironment) {
    ScopedEnv dir("SINTONIX_DIR", nullptr), data("XDG_DATA_HOME", nullptr), home("HOME", "/home/ana");
    EXPECT_EQ(tunerFolderPath(), "/home/ana/.local/share/sintonix");
    ScopedEnv data2("XDG_DATA_HOME", "/dados");
    EXPECT_EQ(tunerFolderPath(), "/dados/sintonix");
    ScopedEnv dir2("SINTONIX_DIR", "/tmp/sx");
    EXPECT_EQ(tunerFolderPath(), "/tmp/sx");
}

TEST(TunerFolder, SeedsWhatIsMissingAndKeepsWhatExists) {
    TempFolder t;
    fs::path folder = t.path / "a" / "sintonix";
    std::vector<SeedFile> seeds = {{"sintonix.cfg", "SITE=padr\xE3o\n"}, {"segmentos.lst", "Rock\n/rock\n"}};
    std::string error;
    ASSERT_TRUE(prepareTunerFolder(folder.string(), seeds, error)) << error;
    for (const char* sub : {"temp", "listas", "mp3"}) EXPECT_TRUE(fs::is_directory(folder / sub)) << sub;
    EXPECT_EQ(readFile(folder / "sintonix.cfg"), "SITE=padr\xE3o\n") << "written byte for byte";
    EXPECT_EQ(readFile(folder / "segmentos.lst"), "Rock\n/rock\n");

    // The user's own configuration and lists stay; a deleted seed comes back; nothing is left
    // behind under a temporary name.
    std::ofstream(folder / "sintonix.cfg", std::ios::trunc) << "SITE=meu\n";
    std::ofstream(folder / "listas" / "minha") << "x\n";
    fs::remove(folder / "segmentos.lst");
    ASSERT_TRUE(prepareTunerFolder(folder.string(), seeds, error)) << error;
    EXPECT_EQ(readFile(folder / "sintonix.cfg"), "SITE=meu\n");
    EXPECT_EQ(readFile(folder / "listas" / "minha"), "x\n");
    EXPECT_EQ(readFile(folder / "segmentos.lst"), "Rock\n/rock\n");
    size_t count = 0;
    for (auto& e : fs::directory_iterator(folder)) count += e.is_regular_file();
    EXPECT_EQ(count, 2u);

    // A seed name held by a folder or a dangling link is not replaced either.
    fs::remove(folder / "segmentos.lst");
    fs::create_symlink(t.path / "nowhere", folder / "segmentos.lst");
    ASSERT_TRUE(prepareTunerFolder(folder.string(), seeds, error)) << error;
    EXPECT_TRUE(fs::is_symlink(folder / "segmentos.lst"));
}

TEST(TunerFolder, FailsClearlyWhenTheFolderCannotBeMade) {
    TempFolder t;
    std::ofstream(t.path / "ocupado") << "a file, not a folder";
    std::string error;
    EXPECT_FALSE(prepareTunerFolder((t.path / "ocupado").string(), {}, error));
    EXPECT_NE(error.find("ocupado"), std::string::npos) << error;
    error.clear();
    EXPECT_FALSE(prepareTunerFolder("", {}, error));
    EXPECT_FALSE(error.empty());
}

// Every screen has its help section, closed by "--" (F1 writes up to that line).
TEST(TunerFolder, AFileAsAnEarlierVersionWroteItIsBroughtUpToDate) {
    TempFolder t;
    const std::vector<SeedFile> seeds = {
        {"ajuda", "nova"}, {"ajuda~1", "velha"}, {"ajuda~2", "mais velha"}, {"outro", "novo"}};
    std::ofstream(t.path / "ajuda", std::ios::binary) << "mais velha";
    std::ofstream(t.path / "outro", std::ios::binary) << "velha";
    std::string error;
    ASSERT_TRUE(prepareTunerFolder(t.path.string(), seeds, error)) << error;
    EXPECT_EQ(readFile(t.path / "ajuda"), "nova");
    EXPECT_EQ(readFile(t.path / "outro"), "velha") << "an earlier version of another file";
    EXPECT_FALSE(fs::exists(t.path / "ajuda~1")) << "earlier versions are not written";
    std::ofstream(t.path / "ajuda", std::ios::binary) << "velha, editada";
    ASSERT_TRUE(prepareTunerFolder(t.path.string(), seeds, error)) << error;
    EXPECT_EQ(readFile(t.path / "ajuda"), "velha, editada") << "an edited file is the user's";
}

// The language holds 101 named variables; the tuner would stop with an execution error on
// the first one past them, whichever screen reached it.
TEST(TunerFolder, TheTunerScriptFitsTheNamedVariables) {
    std::ifstream f(fs::path(PARLENDO_SOURCE_DIR) / "src" / "app" / "tuner.plo");
    ASSERT_TRUE(f);
    std::set<std::string> names;
    std::string line;
    while (std::getline(f, line)) {
        size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '*') continue;
        bool quoted = false;
        for (size_t i = first; i < line.size(); ++i) {
            if (line[i] == '"') quoted = !quoted;
            if (quoted || line[i] != '$') continue;
            size_t end = i + 1;
            while (end < line.size() &&
                   (std::isalnum(static_cast<unsigned char>(line[end])) || line[end] == '_'))
                ++end;
            if (end > i + 1) names.insert(line.substr(i, end - i));
            i = end - 1;
        }
    }
    EXPECT_GT(names.size(), 50u) << "the counting found the variables";
    EXPECT_LE(names.size(), 101u);
}

// Every routine the script calls says, in the comment block right above its label, what it takes
// (Recebe), what it gives back (Deixa) and what it changes on its own (Usa): with every variable
// global, that block is what tells a caller which variables survive the call.
TEST(TunerFolder, EveryCalledRoutineSaysWhatItTakesAndGives) {
    std::ifstream f(fs::path(PARLENDO_SOURCE_DIR) / "src" / "app" / "tuner.plo");
    ASSERT_TRUE(f);
    auto lower = [](std::string s) {
        for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return s;
    };
    std::vector<std::string> lines;
    std::map<std::string, size_t> labels;
    std::set<std::string> called;
    for (std::string line; std::getline(f, line);) {
        if (line.starts_with("@")) labels.emplace(lower(line.substr(1)), lines.size());
        const std::string low = lower(line);
        for (size_t at = low.find("chama @"); at != std::string::npos; at = low.find("chama @", at + 1)) {
            const size_t end = low.find(' ', at + 7);
            called.insert(low.substr(at + 7, end == std::string::npos ? end : end - at - 7));
        }
        lines.push_back(line);
    }
    EXPECT_GT(called.size(), 40u) << "the reading found the calls";
    for (const std::string& name : called) {
        ASSERT_TRUE(labels.contains(name)) << "@" << name << " is called but has no label";
        std::string head;
        for (size_t i = labels[name]; i > 0 && lines[i - 1].starts_with("*"); --i)
            head.insert(0, lines[i - 1]);
        for (const char* word : {"Recebe:", "Deixa:", "Usa:"})
            EXPECT_NE(head.find(word), std::string::npos) << "@" << name << " does not say " << word;
    }
}

TEST(TunerFolder, HelpFileHasASectionPerScreen) {
    std::ifstream f(fs::path(PARLENDO_SOURCE_DIR) / "data" / "sintonix" / "sintonix.ajd");
    ASSERT_TRUE(f);
    std::string line;
    std::vector<std::string> opened;
    bool inSection = false;
    while (std::getline(f, line)) {
        if (line.size() == 2 && line[0] == '@') {
            EXPECT_FALSE(inSection) << "section " << line << " opens before the previous one ends";
            opened.push_back(line);
            inSection = true;
        } else if (line == "--") {
            EXPECT_TRUE(inSection) << "an end mark outside a section";
            inSection = false;
        }
    }
    EXPECT_FALSE(inSection);
    EXPECT_EQ(opened, (std::vector<std::string>{"@1", "@2", "@3", "@4", "@5", "@6", "@7"}));
}

// sintonix changes folder before the script runs: the options' files are still the ones the
// user named from where the program was started.
TEST(TunerFolder, OptionFilesKeepTheirPlaceAfterTheChangeOfFolder) {
    TempFolder t;
    fs::path before = fs::current_path();
    fs::create_directories(t.path / "start");
    fs::create_directories(t.path / "tuner");
    fs::current_path(t.path / "start");
    std::ofstream("settings.ini") << "";
    std::vector<std::string> args = {"sintonix",     "--headless", "--dump-screen", "tela.txt",
                                     "--speech-log", "fala.txt",   "--settings",    "settings.ini"};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    bool prepared = false;
    int status =
        hostMainWith(static_cast<int>(argv.size()), argv.data(), false, "escreve \"oi\"", "teste", [&] {
            prepared = true;
            fs::current_path(t.path / "tuner");
            return 0;
        });
    fs::current_path(before);
    EXPECT_TRUE(prepared);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(readFile(t.path / "start" / "tela.txt").substr(0, 3), "oi\n");
    EXPECT_EQ(readFile(t.path / "start" / "fala.txt").substr(0, 3), "oi\n");
    EXPECT_FALSE(fs::exists(t.path / "tuner" / "tela.txt"));

    // A preparation that fails ends the program with its status, before the script.
    fs::current_path(t.path / "start");
    status = hostMainWith(static_cast<int>(argv.size()), argv.data(), false, "escreve \"nunca\"", "teste",
                          [] { return 2; });
    fs::current_path(before);
    EXPECT_EQ(status, 2);
    EXPECT_EQ(readFile(t.path / "start" / "fala.txt").substr(0, 3), "oi\n") << "the script did not run again";
}

}  // namespace
}  // namespace parlendo
