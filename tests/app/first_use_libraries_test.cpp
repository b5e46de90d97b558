// The sound card's library (SDL2) stays out of an idle run: parlendo waits for a line on standard
// input while /proc/PID/maps is read. A run that has made a sound and spoken words has it loaded,
// and a missing sound card is told once. Words come from the built-in voice: espeak-ng is never
// loaded.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace parlendo {
namespace {

namespace fs = std::filesystem;

// parlendo running a script that waits in `le` for standard input, held open by the test.
class WaitingRun {
public:
    ~WaitingRun() {
        if (input_ >= 0) ::close(input_);
        if (output_ >= 0) ::close(output_);
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }

    // Starts it in `folder` on s.plo; standard error goes to err.txt there. SDL is pointed at a
    // driver that does not exist, so that no test plays on a real card.
    bool start(const fs::path& folder, const std::vector<std::string>& options) {
        int in[2], out[2];
        if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0) return false;
        std::vector<std::string> args = {std::string(PARLENDO_BINARY_DIR) + "/parlendo"};
        args.insert(args.end(), options.begin(), options.end());
        args.insert(args.end(), {"--settings", (folder / "vazio.ini").string(), (folder / "s.plo").string()});
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        std::vector<std::string> env;
        for (char** e = environ; *e; ++e)
            if (std::string(*e).rfind("SDL_AUDIODRIVER=", 0) != 0) env.emplace_back(*e);
        env.emplace_back("SDL_AUDIODRIVER=no-such-driver");
        std::vector<char*> envp;
        for (std::string& e : env) envp.push_back(e.data());
        envp.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], 0);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_addopen(&actions, 2, (folder / "err.txt").c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int rc = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        ::close(in[0]);
        ::close(out[1]);
        input_ = in[1];
        output_ = out[0];
        if (rc != 0) pid_ = -1;
        return rc == 0;
    }

    // Reads standard output until `mark` is in it: false after ten seconds or at its end.
    bool waitFor(const std::string& mark) {
        auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (written_.find(mark) == std::string::npos) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                until - std::chrono::steady_clock::now());
            if (left.count() <= 0) return false;
            pollfd p{output_, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
            char buffer[512];
            ssize_t n = ::read(output_, buffer, sizeof buffer);
            if (n <= 0) return false;
            written_.append(buffer, static_cast<size_t>(n));
        }
        return true;
    }

    std::string maps() const {
        std::ifstream f("/proc/" + std::to_string(pid_) + "/maps");
        std::stringstream ss;
        ss << f.rdbuf();
        return ss.str();
    }

    // Gives it its line and waits for its end: the exit status, -1 when it did not end by itself.
    int finish() {
        if (::write(input_, "\n", 1) != 1) return -1;
        ::close(input_);
        input_ = -1;
        for (int i = 0; i < 200; ++i) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            ::usleep(50000);
        }
        return -1;
    }

private:
    pid_t pid_ = -1;
    int input_ = -1;
    int output_ = -1;
    std::string written_;
};

class FirstUseLibraries : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() / ("parlendo_first_use_" + std::to_string(::getpid()));
        fs::remove_all(folder_);
        fs::create_directories(folder_);
        std::ofstream(folder_ / "vazio.ini").close();
        const fs::path difones = fs::path(PARLENDO_BINARY_DIR) / "share/oralix/difones";
        if (!fs::exists(difones / "DIFONES2.IND") || !fs::exists(difones / "regras.rgr"))
            GTEST_SKIP() << "the build made no diphone database and rules in " << difones
                         << ": without them the built-in voice does not start";
    }
    void TearDown() override { fs::remove_all(folder_); }

    void writeScript(const std::string& script) { std::ofstream(folder_ / "s.plo") << script; }
    std::string errors() const {
        std::ifstream f(folder_ / "err.txt");
        std::stringstream ss;
        ss << f.rdbuf();
        return ss.str();
    }

    fs::path folder_;
};

bool holds(const std::string& maps, const char* library) { return maps.find(library) != std::string::npos; }

TEST_F(FirstUseLibraries, AnIdleRunLoadsNeitherTheSoundNorTheVoiceLibrary) {
    writeScript("escreve mudo \"pronto\"\nle mudo k &\ntermina mudo\n");
    WaitingRun run;
    ASSERT_TRUE(run.start(folder_, {}));  // the sound card of the system, the default
    ASSERT_TRUE(run.waitFor("pronto")) << errors();
    std::string maps = run.maps();
    ASSERT_TRUE(holds(maps, "libc.so")) << "the maps were not read";
    EXPECT_FALSE(holds(maps, "libSDL2")) << maps;
    EXPECT_FALSE(holds(maps, "libespeak-ng")) << maps;
    EXPECT_FALSE(holds(maps, "libspeechd")) << maps;
    EXPECT_EQ(run.finish(), 0);
    // No sound was made, so the missing card was never looked for.
    EXPECT_EQ(errors(), "");
}

TEST_F(FirstUseLibraries, TheFirstSoundLoadsTheSoundLibraryWordsLoadNoVoiceLibraryAndAMissingCardIsToldOnce) {
    // A number from its recording and words from the word voice, twice over.
    writeScript(
        "escreve \"Bom dia 12\"\nescreve \"Boa tarde 13\"\nescreve mudo \"pronto\"\n"
        "le mudo k &\ntermina mudo\n");
    WaitingRun run;
    ASSERT_TRUE(run.start(folder_, {"--audio", "system"}));
    ASSERT_TRUE(run.waitFor("pronto")) << errors();
    std::string maps = run.maps();
    EXPECT_TRUE(holds(maps, "libSDL2")) << "the first sound loads the sound library";
    EXPECT_FALSE(holds(maps, "libespeak-ng")) << "words come from the built-in voice";
    EXPECT_EQ(run.finish(), 0);
    std::string err = errors();
    const std::string warning = "Sem dispositivo de som (";
    size_t first = err.find(warning);
    ASSERT_NE(first, std::string::npos) << err;
    EXPECT_EQ(err.find(warning, first + 1), std::string::npos) << "told more than once: " << err;
}

}  // namespace
}  // namespace parlendo
