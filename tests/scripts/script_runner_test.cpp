// Runs every script test: each *.plo file under tests/scripts is run headless, in process, and
// its exit status, screen and speech log are compared with the expectations written in it.
//
// Expectations are comment lines (the interpreter skips lines starting with "*"), best kept at
// the end of the script so that the line numbers of the code stay easy to read:
//
//   *> keys: {#13}           the --keys text (optional); everything after "keys: " is taken
//   *> args: um "dois tres"  program arguments for PARAMS (optional); split on blanks, and a
//                            double-quoted argument may hold blanks
//   *> exit: 1               the exit status (required)
//   *> screen:               each following "*| text" line is one screen row, from row 1;
//                            rows after the last one given must be empty
//   *> speech:               each following "*~ text" line is one speech-log line; the log must
//                            hold exactly these lines, in order
//   *> stderr:               each following "*! text" line is one line of standard error, where
//                            the script is named by its path under tests/scripts
//
// One blank after "*|" or "*~" is the separator; the rest of the line, trailing blanks
// included, is the expected text. A script without "screen:", "speech:" or "stderr:" does not
// check that.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "app/host.h"
#include "console/key_queue.h"

namespace fs = std::filesystem;

namespace {

const fs::path kScriptsFolder = fs::path(PARLENDO_SOURCE_DIR) / "tests" / "scripts";
constexpr int kScreenRows = 25;

std::string readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream buf;
    buf << in.rdbuf();
    return buf.str();
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

struct Expectations {
    std::optional<std::string> keys;
    std::vector<std::string> args;
    std::optional<int> exit;
    std::optional<std::vector<std::string>> screen;
    std::optional<std::vector<std::string>> speech;
    std::optional<std::vector<std::string>> stderrLines;
    std::vector<std::string> errors;  // malformed expectation lines
};

// Blank-separated words; a double-quoted word may hold blanks.
std::vector<std::string> splitArgs(const std::string& text) {
    std::vector<std::string> words;
    size_t i = 0;
    while (i < text.size()) {
        if (text[i] == ' ') {
            ++i;
            continue;
        }
        std::string word;
        if (text[i] == '"') {
            size_t close = text.find('"', i + 1);
            if (close == std::string::npos) close = text.size();
            word = text.substr(i + 1, close - i - 1);
            i = close + 1;
        } else {
            size_t end = text.find(' ', i);
            if (end == std::string::npos) end = text.size();
            word = text.substr(i, end - i);
            i = end;
        }
        words.push_back(word);
    }
    return words;
}

// The text after a two-character marker and the one blank that separates it.
std::string afterMarker(const std::string& line) {
    std::string rest = line.substr(2);
    if (!rest.empty() && rest[0] == ' ') rest.erase(0, 1);
    return rest;
}

Expectations parseExpectations(const std::string& scriptText) {
    Expectations e;
    enum class Section { None, Screen, Speech, Stderr } section = Section::None;
    for (const std::string& line : splitLines(scriptText)) {
        if (line.rfind("*>", 0) == 0) {
            std::string directive = afterMarker(line);
            size_t colon = directive.find(':');
            std::string key = directive.substr(0, colon);
            std::string value;
            if (colon != std::string::npos) {
                value = directive.substr(colon + 1);
                if (!value.empty() && value[0] == ' ') value.erase(0, 1);
            }
            section = Section::None;
            if (key == "keys") {
                e.keys = value;
            } else if (key == "args") {
                e.args = splitArgs(value);
            } else if (key == "exit") {
                try {
                    e.exit = std::stoi(value);
                } catch (...) {
                    e.errors.push_back("bad exit status: " + line);
                }
            } else if (key == "screen") {
                e.screen.emplace();
                section = Section::Screen;
            } else if (key == "speech") {
                e.speech.emplace();
                section = Section::Speech;
            } else if (key == "stderr") {
                e.stderrLines.emplace();
                section = Section::Stderr;
            } else {
                e.errors.push_back("unknown expectation: " + line);
            }
        } else if (line.rfind("*|", 0) == 0) {
            if (section != Section::Screen)
                e.errors.push_back("screen row outside screen: " + line);
            else
                e.screen->push_back(afterMarker(line));
        } else if (line.rfind("*~", 0) == 0) {
            if (section != Section::Speech)
                e.errors.push_back("speech line outside speech: " + line);
            else
                e.speech->push_back(afterMarker(line));
        } else if (line.rfind("*!", 0) == 0) {
            if (section != Section::Stderr)
                e.errors.push_back("stderr line outside stderr: " + line);
            else
                e.stderrLines->push_back(afterMarker(line));
        }
    }
    if (!e.exit) e.errors.push_back("no \"*> exit:\" line");
    if (e.keys && !parlendo::parseKeyNotation(*e.keys)) e.errors.push_back("malformed keys: " + *e.keys);
    if (e.screen && e.screen->size() > kScreenRows) e.errors.push_back("more than 25 screen rows");
    return e;
}

std::string numbered(const std::vector<std::string>& lines) {
    std::string out;
    for (size_t i = 0; i < lines.size(); ++i) out += std::to_string(i + 1) + "|" + lines[i] + "\n";
    return out;
}

std::vector<fs::path> scriptFiles() {
    std::vector<fs::path> files;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(kScriptsFolder, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
        if (it->is_regular_file() && it->path().extension() == ".plo") files.push_back(it->path());
    std::sort(files.begin(), files.end());
    return files;
}

// "control/repete_zero.plo" becomes "control_repete_zero", a name GoogleTest accepts.
std::string testName(const fs::path& script) {
    std::string name = fs::relative(script, kScriptsFolder).replace_extension().generic_string();
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return name;
}

// A fresh folder for the settings file and the dumps of one run.
class TempFolder {
public:
    TempFolder() {
        std::random_device rd;
        path_ =
            fs::temp_directory_path() / ("parlendo-script-" + std::to_string(rd()) + std::to_string(rd()));
        fs::create_directories(path_);
    }
    ~TempFolder() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

class ScriptTest : public ::testing::TestWithParam<fs::path> {};

TEST_P(ScriptTest, MatchesItsExpectations) {
    const fs::path& script = GetParam();
    std::string source = readFile(script);
    Expectations expected = parseExpectations(source);
    for (const std::string& error : expected.errors) ADD_FAILURE() << script << ": " << error;
    if (!expected.errors.empty()) return;

    TempFolder temp;
    fs::path settings = temp.path() / "oralix.ini";
    std::ofstream(settings).close();
    parlendo::HostOptions options;
    options.headless = true;
    options.keys = expected.keys;
    options.dumpScreen = (temp.path() / "screen.txt").string();
    options.speechLog = (temp.path() / "speech.txt").string();
    options.audio = "null";
    options.settings = settings.string();
    // The name diagnostics give the script; the lines come from `source`.
    options.script = fs::relative(script, kScriptsFolder).generic_string();
    options.params = expected.args;

    // A script that asks for the speech server never reaches one: an address of no kind
    // libspeechd knows makes it fail at once, the same on every machine, and starts no server.
    ::setenv("SPEECHD_ADDRESS", "none", 1);
    std::ostringstream errorText;  // standard error, taken while the script runs
    std::streambuf* standardError = std::cerr.rdbuf(errorText.rdbuf());
    int status = parlendo::runScript(options, parlendo::splitScript(source), "PARLENDO");
    std::cerr.rdbuf(standardError);

    std::vector<std::string> screen = splitLines(readFile(*options.dumpScreen));
    std::vector<std::string> speech = splitLines(readFile(*options.speechLog));
    EXPECT_EQ(status, *expected.exit) << "exit status of " << script << "\nscreen:\n"
                                      << numbered(screen) << "speech:\n"
                                      << numbered(speech);
    if (expected.screen) {
        std::vector<std::string> want = *expected.screen;
        want.resize(kScreenRows);
        screen.resize(kScreenRows);
        EXPECT_EQ(screen, want) << "screen of " << script << "\nexpected:\n"
                                << numbered(want) << "got:\n"
                                << numbered(screen);
    }
    if (expected.speech) {
        EXPECT_EQ(speech, *expected.speech) << "speech of " << script << "\nexpected:\n"
                                            << numbered(*expected.speech) << "got:\n"
                                            << numbered(speech);
    }
    if (expected.stderrLines) {
        std::vector<std::string> errors = splitLines(errorText.str());
        EXPECT_EQ(errors, *expected.stderrLines) << "standard error of " << script << "\nexpected:\n"
                                                 << numbered(*expected.stderrLines) << "got:\n"
                                                 << numbered(errors);
    }
}

INSTANTIATE_TEST_SUITE_P(Scripts, ScriptTest, ::testing::ValuesIn(scriptFiles()),
                         [](const ::testing::TestParamInfo<fs::path>& info) { return testName(info.param); });
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(ScriptTest);

// An empty or misplaced folder would otherwise pass by running nothing.
TEST(ScriptFiles, FolderHoldsScripts) {
    EXPECT_FALSE(scriptFiles().empty()) << "no *.plo under " << kScriptsFolder;
}

// The expectation format itself: a script's own comment lines are read as its expectations.
TEST(ScriptFiles, ExpectationLinesAreParsed) {
    Expectations e = parseExpectations(
        "escreve \"x\"\n*> keys: a{#13}\n*> args: um \"dois tres\"\n*> exit: 1\n*> screen:\n*| x\n*|\n"
        "*> speech:\n*~ Erro de linha \n*> stderr:\n*! a.plo:1: b\n");
    EXPECT_TRUE(e.errors.empty());
    EXPECT_EQ(e.keys, "a{#13}");
    EXPECT_EQ(e.args, (std::vector<std::string>{"um", "dois tres"}));
    EXPECT_EQ(e.exit, 1);
    EXPECT_EQ(e.screen, (std::vector<std::string>{"x", ""}));
    EXPECT_EQ(e.speech, (std::vector<std::string>{"Erro de linha "}));
    EXPECT_EQ(e.stderrLines, (std::vector<std::string>{"a.plo:1: b"}));

    EXPECT_FALSE(parseExpectations("escreve 1\n").errors.empty()) << "a script without exit: is malformed";
    EXPECT_FALSE(parseExpectations("*> exit: 0\n*| row\n").errors.empty()) << "a row outside screen:";
    EXPECT_FALSE(parseExpectations("*> exit: 0\n*> sreen:\n").errors.empty()) << "a misspelt directive";
}

}  // namespace
