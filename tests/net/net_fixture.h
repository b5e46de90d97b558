// The web server of the network tests (tests/net/fixture_server.py) on the loopback, with a
// certificate signed by a test CA that the programs trust through SSL_CERT_FILE; and running
// scripts through the built parlendo.
#pragma once

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "../commands/file_test_support.h"
#include "../interp/fixture.h"

extern char** environ;

namespace parlendo::testing {

inline bool commandWorks(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

class FixtureServer {
public:
    // Starts the server in a fresh folder; `why` says what is missing when it cannot.
    bool start(std::string& why) {
        if (!commandWorks("python3 -c 'import ssl'")) {
            why = "python3 with ssl is not installed";
            return false;
        }
        if (!commandWorks("openssl version")) {
            why = "the openssl program is not installed";
            return false;
        }
        folder = freshTempFolder("net-server");
        if (!makeCertificates(why)) return false;
        std::string script = std::string(PARLENDO_SOURCE_DIR) + "/tests/net/fixture_server.py";
        std::string ready = (folder / "ready").string();
        std::string cert = (folder / "server.pem").string(), key = (folder / "server.key").string();
        std::string root = folder.string();
        std::vector<char*> argv = {const_cast<char*>("python3"),
                                   script.data(),
                                   root.data(),
                                   ready.data(),
                                   cert.data(),
                                   key.data(),
                                   nullptr};
        if (posix_spawnp(&pid_, "python3", nullptr, nullptr, argv.data(), environ) != 0) {
            why = "python3 could not be started";
            return false;
        }
        for (int i = 0; i < 300 && !std::filesystem::exists(ready); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        std::ifstream r(ready);
        if (!(r >> plainPort >> tlsPort >> mutePort) || plainPort == 0) {
            why = "the fixture server could not listen on the loopback";
            stop();
            return false;
        }
        return true;
    }
    void stop() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
        pid_ = -1;
        std::error_code ec;
        if (!folder.empty()) std::filesystem::remove_all(folder, ec);
    }

    std::string url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(plainPort) + path;
    }
    std::string tlsUrl(const std::string& path, const std::string& host = "localhost") const {
        return "https://" + host + ":" + std::to_string(tlsPort) + path;
    }
    // A TLS URL of the port that takes connections and never answers.
    std::string muteTlsUrl() const { return "https://127.0.0.1:" + std::to_string(mutePort) + "/"; }
    std::string caFile() const { return (folder / "ca.pem").string(); }
    // The request heads received so far, then forgotten.
    std::string takeRequests() {
        std::string log = readBytes(folder / "requests.log");
        std::filesystem::remove(folder / "requests.log");
        return log;
    }
    // A file the server hands out under /file/NAME and the other paths.
    void put(const std::string& name, const std::string& bytes) { writeBytes(folder / name, bytes); }

    std::filesystem::path folder;
    int plainPort = 0;
    int tlsPort = 0;
    int mutePort = 0;

private:
    bool makeCertificates(std::string& why) {
        std::string f = folder.string();
        std::ofstream(folder / "ext.cnf") << "subjectAltName=DNS:localhost,IP:127.0.0.1\n";
        std::string ec = " -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes ";
        bool ok = commandWorks("cd " + f + " && openssl req -x509" + ec +
                               "-keyout ca.key -out ca.pem -days 2 -subj /CN=TesteCA") &&
                  commandWorks("cd " + f + " && openssl req" + ec +
                               "-keyout server.key -out server.csr -subj /CN=localhost") &&
                  commandWorks("cd " + f +
                               " && openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key "
                               "-CAcreateserial -out server.pem -days 2 -extfile ext.cnf");
        if (!ok) why = "openssl could not make the test certificates";
        return ok;
    }

    pid_t pid_ = -1;
};

struct ScriptRun {
    int status = -1;
    std::string screen;  // UTF-8, rows joined by LF, trailing blank rows removed
    std::string speech;
};

// Runs a script (UTF-8) through the built parlendo, headless, in `folder`, with a settings file
// holding `settings` (profile text). `env` goes in front of the command (e.g. "SSL_CERT_FILE=x").
inline ScriptRun runParlendo(const std::filesystem::path& folder, const std::string& script,
                             const std::string& settings = "", const std::string& env = "",
                             const std::string& args = "") {
    static int counter = 0;
    std::string tag = std::to_string(++counter);
    writeBytes(folder / ("script" + tag + ".plo"), script);
    writeBytes(folder / ("oralix" + tag + ".ini"), settings);
    std::string command = "cd " + folder.string() + " && " + env + " " + PARLENDO_BINARY_DIR +
                          "/parlendo --headless --audio null --keys {#13} --settings oralix" + tag +
                          ".ini --dump-screen screen" + tag + ".txt --speech-log speech" + tag +
                          ".txt script" + tag + ".plo " + args + " </dev/null >/dev/null 2>&1";
    ScriptRun run;
    int raw = std::system(command.c_str());
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.screen = readBytes(folder / ("screen" + tag + ".txt"));
    while (!run.screen.empty() && (run.screen.back() == '\n' || run.screen.back() == ' '))
        run.screen.pop_back();
    run.speech = readBytes(folder / ("speech" + tag + ".txt"));
    return run;
}

}  // namespace parlendo::testing
