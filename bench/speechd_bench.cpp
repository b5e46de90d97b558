// Key to silence with speech-dispatcher: the time from the engine's stop() (what the front calls on
// a key) to the CANCEL arriving at an SSIP server, the tests' own, on a unix socket. The peer, in
// the same run and against the same server: a plain client writing "CANCEL SELF" on its own unix
// socket, which is the least any client could take. Usage: speechd_bench [ROUNDS]
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "../tests/tts/fake_ssip_server.h"
#include "tts/system_voices.h"

using parlendo::testing::FakeSsipServer;
using SteadyClock = std::chrono::steady_clock;

namespace {

double micros(SteadyClock::duration d) { return std::chrono::duration<double, std::micro>(d).count(); }

// Waits for the server's count of CANCELs to pass `before`; the time it recorded the last one.
SteadyClock::time_point cancelAfter(FakeSsipServer& server, int before) {
    auto give = SteadyClock::now() + std::chrono::seconds(2);
    while (server.cancels() <= before && SteadyClock::now() < give) std::this_thread::yield();
    return server.lastCancel();
}

void report(const char* name, std::vector<double> v) {
    std::sort(v.begin(), v.end());
    std::printf("%-28s median %8.1f us  p90 %8.1f us  max %8.1f us\n", name, v[v.size() / 2],
                v[v.size() * 9 / 10], v.back());
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(3, std::atoi(argv[1])) : 200;
    const auto folder =
        std::filesystem::temp_directory_path() / ("speechd_bench_" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    FakeSsipServer::Options o;
    o.voices = {{"Brisa", "pt-BR", "none"}};
    o.endAfterMs = 60000;  // the texts go on until cancelled
    int status = 0;
    {
        FakeSsipServer server((folder / "speechd.sock").string(), o);
        ::setenv("SPEECHD_ADDRESS", server.address().c_str(), 1);
        parlendo::SpeechDispatcherLimits limits;
        limits.autospawn = false;
        auto engine = parlendo::createSpeechDispatcherVoice(5, limits);
        int peer = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un a{};
        a.sun_family = AF_UNIX;
        (folder / "speechd.sock").string().copy(a.sun_path, sizeof(a.sun_path) - 1);
        if (!engine->open(1, 0, 0, "") || ::connect(peer, reinterpret_cast<sockaddr*>(&a), sizeof(a)) != 0) {
            std::fprintf(stderr, "speechd_bench: the engine or the plain client could not connect\n");
            status = 1;
        } else {
            while (engine->isBusy()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
            std::vector<double> viaEngine, plain;
            char reply[256];
            for (int i = 0; i < rounds; ++i) {
                // The engine, as after a key: a text being spoken, then stop().
                size_t texts = server.texts().size();
                engine->say("um texto que ainda se fala");
                while (server.texts().size() == texts) std::this_thread::yield();
                int before = server.cancels();
                auto t0 = SteadyClock::now();
                engine->stop();
                viaEngine.push_back(micros(cancelAfter(server, before) - t0));
                // The peer, in the same round.
                before = server.cancels();
                t0 = SteadyClock::now();
                [[maybe_unused]] auto w = ::write(peer, "CANCEL SELF\r\n", 13);
                plain.push_back(micros(cancelAfter(server, before) - t0));
                [[maybe_unused]] auto r = ::read(peer, reply, sizeof reply);
            }
            std::printf("key -> CANCEL at the server, %d rounds\n", rounds);
            report("engine stop()", viaEngine);
            report("plain unix-socket write", plain);
            std::sort(viaEngine.begin(), viaEngine.end());
            std::sort(plain.begin(), plain.end());
            std::printf("median ratio engine/plain %.2f; engine max %.2f ms against the 20 ms goal\n",
                        viaEngine[viaEngine.size() / 2] / plain[plain.size() / 2], viaEngine.back() / 1000);
            if (!engine->fault().empty()) {
                std::fprintf(stderr, "speechd_bench: the engine gave up\n");
                status = 1;
            }
        }
        ::close(peer);
        engine->close();
    }
    std::filesystem::remove_all(folder);
    return status;
}
