// The host shared by parlendo and sintonix: the command line of the harness, the services, the
// run and the exit status.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace parlendo {

struct HostOptions {
    bool headless = false;
    bool window = false;                    // --janela: the console in a window of its own
    std::optional<std::string> keys;        // key notation, UTF-8
    std::optional<std::string> dumpScreen;  // file for the 25 rows at exit
    std::optional<std::string> speechLog;   // file for the speech log
    std::string audio = "system";           // system | null | dir:PATH
    std::optional<std::string> settings;    // settings file
    std::optional<std::string> script;      // parlendo: the script file
    std::vector<std::string> params;        // arguments for PARAMS
    bool help = false;                      // --help: the help is shown, nothing runs
    bool version = false;                   // --version: the version is shown, nothing runs
};

// Parses the options; `takesScript` is true for parlendo, whose first non-option argument is the
// script and everything after it the script's arguments. --help and --version end the parsing:
// what follows them is not looked at. Nothing, with a message in `error` (Portuguese,
// Windows-1252), on a bad command line.
std::optional<HostOptions> parseHostOptions(const std::vector<std::string>& args, bool takesScript,
                                            std::string& error);

// Splits script text into lines: UTF-8 is converted, anything else is taken as Windows-1252;
// line ends are LF or CR LF.
std::vector<std::string> splitScript(std::string_view fileBytes);

// Runs a script with the options and returns the exit status: 0 finished, 1 execution error,
// 2 bad command line, 3 keys exhausted.
int runScript(const HostOptions& options, const std::vector<std::string>& lines, std::string_view title);

// The line tellUser writes: the program's name, then the message (Windows-1252) as UTF-8.
std::string userLine(std::string_view program, std::string_view message);
// Writes "PROGRAM: MESSAGE" on standard error as UTF-8; the message is Windows-1252.
void tellUser(std::string_view program, std::string_view message);

// The whole of a main: parse, load, run. --help and --version are answered on standard output
// before anything else starts.
int hostMain(int argc, char** argv, bool takesScript, std::string_view embeddedScript,
             std::string_view title);

// As hostMain, with `prepare` run once the command line is understood and before the script
// runs (sintonix makes and enters its folder there); the file names of the options are made
// absolute first, so they still name the same files after a change of folder. A non-zero
// result of `prepare` ends the program with that status (sintonix: 4, its folder failed).
int hostMainWith(int argc, char** argv, bool takesScript, std::string_view embeddedScript,
                 std::string_view title, const std::function<int()>& prepare);

}  // namespace parlendo
