// The speech-dispatcher engine against the tests' own SSIP server: what reaches the server on
// open, say and stop, and servers that never end a text, never answer or go away, which must
// give the engine up in about the time allowed, and never hold the caller.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "fake_ssip_server.h"
#include "tts/system_voices.h"

namespace parlendo {
namespace {

namespace fs = std::filesystem;
using parlendo::testing::FakeSsipServer;
using Ms = std::chrono::milliseconds;

const std::string kNoAnswer = "Servidor de fala n\xe3o respondeu; usando a voz interna.";

SpeechDispatcherLimits quick() {
    SpeechDispatcherLimits l;
    l.answer = Ms(300);
    l.endGrace = Ms(300);
    l.endPerCharacter = Ms(10);
    l.autospawn = false;
    return l;
}

long msSince(std::chrono::steady_clock::time_point t) {
    return std::chrono::duration_cast<Ms>(std::chrono::steady_clock::now() - t).count();
}

class SpeechDispatcher : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() / ("parlendo_speechd_" + std::to_string(::getpid()));
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }
    void TearDown() override {
        ::unsetenv("SPEECHD_ADDRESS");
        fs::remove_all(folder_);
    }
    std::unique_ptr<FakeSsipServer> serve(FakeSsipServer::Options o) {
        auto s = std::make_unique<FakeSsipServer>((folder_ / "speechd.sock").string(), std::move(o));
        EXPECT_TRUE(s->listening());
        ::setenv("SPEECHD_ADDRESS", s->address().c_str(), 1);
        return s;
    }
    // Polls isBusy as the front does until the engine is idle; false when it never is.
    static bool idle(SpeechOutput& e, int ms) {
        auto t = std::chrono::steady_clock::now();
        while (e.isBusy())
            if (msSince(t) > ms)
                return false;
            else
                std::this_thread::sleep_for(Ms(5));
        return true;
    }
    // The index of the first command that starts with the prefix (any letter case), or -1.
    static int find(const std::vector<std::string>& commands, const std::string& prefix) {
        for (size_t i = 0; i < commands.size(); ++i)
            if (commands[i].size() >= prefix.size() &&
                std::equal(prefix.begin(), prefix.end(), commands[i].begin(),
                           [](char a, char b) { return std::toupper(a) == std::toupper(b); }))
                return static_cast<int>(i);
        return -1;
    }
    fs::path folder_;
};

TEST_F(SpeechDispatcher, OpenSayAndStopReachTheServer) {
    FakeSsipServer::Options o;
    o.voices = {{"Alpha", "en-US", "none"},
                {"Brisa", "pt-BR", "none"},
                {"Clara", "PT-br", "f"},
                {"Duda", "pt-BR", "m"}};
    o.endAfterMs = 400;
    auto server = serve(o);
    {
        SpeechDispatcherLimits limits = quick();
        limits.endGrace = Ms(2000);
        auto e = createSpeechDispatcherVoice(5, limits);
        ASSERT_TRUE(e->open(2, 5, 9, ""));
        ASSERT_TRUE(idle(*e, 1000));
        auto c = server->commands();
        int language = find(c, "SET SELF LANGUAGE pt-BR");
        int voice = find(c, "SET SELF SYNTHESIS_VOICE ");
        ASSERT_GE(language, 0);
        ASSERT_GE(voice, 0);
        EXPECT_LT(language, voice) << "the language first, then the voice";
        EXPECT_EQ(c[voice].substr(25), "Clara") << "the second pt-BR voice, in any letter case";
        EXPECT_GE(find(c, "SET SELF RATE 50"), 0) << "speed 5 is rate 50";
        EXPECT_GE(find(c, "SET SELF NOTIFICATION END on"), 0);
        EXPECT_GE(find(c, "SET SELF NOTIFICATION CANCEL on"), 0);
        EXPECT_LT(find(c, "SET SELF PITCH"), 0) << "the pitch is not used";

        // A line starting with "." travels dot-stuffed and is read back whole; Windows-1252 goes
        // out as UTF-8.
        auto said = std::chrono::steady_clock::now();
        e->say("Ol\xe1\r\n.ponto");
        EXPECT_LT(msSince(said), 20) << "say returns at once";
        EXPECT_TRUE(e->isBusy());
        ASSERT_TRUE(server->waitFor([&] { return server->texts().size() == 1; }, 1000));
        EXPECT_EQ(server->texts()[0], "Ol\xc3\xa1\r\n.ponto");
        EXPECT_EQ(server->dataLines().back(), "..ponto");
        EXPECT_GE(find(server->commands(), "SET SELF PRIORITY MESSAGE"), 0);
        EXPECT_TRUE(e->isBusy()) << "busy until the END of the text";
        EXPECT_TRUE(idle(*e, 2000)) << "and idle after it";

        // Stop: the CANCEL goes out and the engine is idle at once.
        e->say("longo");
        ASSERT_TRUE(server->waitFor([&] { return server->texts().size() == 2; }, 1000));
        auto stopped = std::chrono::steady_clock::now();
        e->stop();
        EXPECT_FALSE(e->isBusy());
        EXPECT_LT(msSince(stopped), 20) << "stop returns at once";
        ASSERT_TRUE(server->waitFor([&] { return server->cancels() == 1; }, 1000));
        EXPECT_LT(std::chrono::duration_cast<Ms>(server->lastCancel() - stopped).count(), 100);

        e->say("");
        ASSERT_TRUE(server->waitFor([&] { return server->texts().size() == 3; }, 1000));
        EXPECT_EQ(server->texts()[2], " ") << "an empty text is sent as one blank";
        EXPECT_TRUE(idle(*e, 2000));
        EXPECT_EQ(e->fault(), "");
        auto closing = std::chrono::steady_clock::now();
        e->close();
        EXPECT_LT(msSince(closing), 150);
    }
    // A number past the pt-BR voices takes the first one, and speed 0.
    auto e = createSpeechDispatcherVoice(54, quick());
    ASSERT_TRUE(e->open(7, 5, 0, ""));
    ASSERT_TRUE(idle(*e, 1000));
    auto c = server->commands();
    ASSERT_GE(c.size(), 2u);
    EXPECT_EQ(find({c[c.size() - 2]}, "SET SELF SYNTHESIS_VOICE Brisa"), 0) << c[c.size() - 2];
    EXPECT_EQ(find({c.back()}, "SET SELF RATE 0"), 0) << c.back();
}

TEST_F(SpeechDispatcher, WithoutBrazilianVoicesTheModuleChoosesOne) {
    FakeSsipServer::Options o;
    o.voices = {{"Alpha", "en-US", "none"}, {"Porto", "pt-PT", "none"}};
    auto server = serve(o);
    auto e = createSpeechDispatcherVoice(5, quick());
    ASSERT_TRUE(e->open(1, -3, 0, ""));
    ASSERT_TRUE(idle(*e, 1000));
    auto c = server->commands();
    EXPECT_GE(find(c, "SET SELF LANGUAGE pt-BR"), 0);
    EXPECT_LT(find(c, "SET SELF SYNTHESIS_VOICE"), 0);
    EXPECT_EQ(find({c.back()}, "SET SELF RATE -30"), 0) << c.back();
}

TEST_F(SpeechDispatcher, NoServerIsToldAtOpen) {
    ::setenv("SPEECHD_ADDRESS", ("unix_socket:" + (folder_ / "nobody.sock").string()).c_str(), 1);
    auto e = createSpeechDispatcherVoice(5, quick());
    auto t = std::chrono::steady_clock::now();
    EXPECT_FALSE(e->open(1, 0, 0, ""));
    EXPECT_LT(msSince(t), 50);
    const std::string f = e->fault();
    EXPECT_EQ(f.rfind("Servidor de fala indispon\xedvel: ", 0), 0u) << f;
    EXPECT_NE(f.find("; usando a voz interna."), std::string::npos) << f;
    EXPECT_EQ(f.find('\n'), std::string::npos);
    EXPECT_FALSE(e->isBusy());
    e->close();
}

// Each bad server: the fault comes in about the allowed time, the engine is dead from then on,
// and closing it never waits for the thread stuck in libspeechd.
TEST_F(SpeechDispatcher, AServerThatFailsIsGivenUp) {
    struct Case {
        const char* name;
        FakeSsipServer::Options options;
        SpeechDispatcherLimits limits;
        bool say;
        bool drop;
        long atLeast, atMost;  // ms from say (or open) to the fault
    };
    FakeSsipServer::Options neverEnds, mute, hangs, goes;
    neverEnds.endAfterMs = -1;
    mute.answerNothing = true;
    hangs.hangAtSpeak = true;
    goes.endAfterMs = 60000;
    SpeechDispatcherLimits longEnd = quick();
    longEnd.endGrace = Ms(5000);
    const Case cases[] = {
        {"never ends a text", neverEnds, quick(), true, false, 300, 1500},  // 300 + 3 x 10 ms
        {"never answers", mute, quick(), false, false, 250, 1500},
        {"stops answering", hangs, quick(), true, false, 250, 1500},
        {"goes away mid-text", goes, longEnd, true, true, 0, 1000},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        auto server = serve(k.options);
        auto e = createSpeechDispatcherVoice(5, k.limits);
        auto t = std::chrono::steady_clock::now();
        bool opened = e->open(1, 0, 0, "");
        EXPECT_LT(msSince(t), 50) << "open never waits for the server";
        if (k.say) {
            ASSERT_TRUE(opened);
            ASSERT_TRUE(idle(*e, 1000));
            t = std::chrono::steady_clock::now();
            e->say("abc");
            if (!k.options.hangAtSpeak) {
                ASSERT_TRUE(server->waitFor([&] { return server->texts().size() == 1; }, 1000));
            }
            if (k.drop) server->dropClients();
        }
        while (e->fault().empty() && msSince(t) < 3000) {
            auto poll = std::chrono::steady_clock::now();
            e->isBusy();
            EXPECT_LT(msSince(poll), 10) << "isBusy never waits";
            std::this_thread::sleep_for(Ms(5));
        }
        long took = msSince(t);
        EXPECT_EQ(e->fault(), kNoAnswer);
        EXPECT_GE(took, k.atLeast);
        EXPECT_LE(took, k.atMost);
        EXPECT_FALSE(e->isBusy());
        size_t texts = server->texts().size();
        e->say("depois");
        e->stop();
        auto closing = std::chrono::steady_clock::now();
        e->close();
        e.reset();
        EXPECT_LT(msSince(closing), 150) << "close never waits for a stuck thread";
        std::this_thread::sleep_for(Ms(50));
        EXPECT_EQ(server->texts().size(), texts) << "a dead engine sends nothing";
    }
}

// The programs end to end: a settings file asking for engine type 5, and the tests' server.
class SpeechDispatcherRun : public SpeechDispatcher {
protected:
    void SetUp() override {
        SpeechDispatcher::SetUp();
        const fs::path letters = fs::path(PARLENDO_BINARY_DIR) / "share/oralix/letras";
        const fs::path difones = fs::path(PARLENDO_BINARY_DIR) / "share/oralix/difones";
        if (!fs::exists(letters / "_doze.wav") || !fs::exists(difones / "DIFONES2.IND"))
            GTEST_SKIP() << "the build made no voice data: the built-in voice cannot start";
        fs::create_directories(folder_ / "out");
        std::ofstream(folder_ / "oralix.ini")
            << "[TRADUTOR]\r\nSAPI=Sim\r\n[SERVFALA]\r\nTIPOSAPI=5\r\nVOZ=1\r\n";
        std::ofstream(folder_ / "s.plo") << "escreve \"bom dia\"\n";
    }
    // Runs the script; the speech log's lines.
    std::vector<std::string> run(const FakeSsipServer& server) {
        std::string command =
            "cd " + folder_.string() + " && SPEECHD_ADDRESS=" + server.address() + " timeout 20 " +
            PARLENDO_BINARY_DIR +
            "/parlendo --headless --audio dir:out --speech-log fala.log --settings oralix.ini s.plo "
            ">/dev/null 2>&1";
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
        std::ifstream in(folder_ / "fala.log", std::ios::binary);
        std::vector<std::string> lines;
        for (std::string l; std::getline(in, l);) lines.push_back(l.substr(0, l.find_last_not_of('\r') + 1));
        return lines;
    }
    size_t sounds() {
        return static_cast<size_t>(
            std::distance(fs::directory_iterator(folder_ / "out"), fs::directory_iterator()));
    }
};

TEST_F(SpeechDispatcherRun, TheTextGoesToTheServerAndASilentOneGivesWayToTheBuiltInVoice) {
    {
        FakeSsipServer::Options o;
        o.voices = {{"Brisa", "pt-BR", "none"}};
        o.endAfterMs = 20;
        FakeSsipServer server((folder_ / "speechd.sock").string(), o);
        auto log = run(server);
        auto texts = server.texts();
        EXPECT_NE(std::find(texts.begin(), texts.end(), "bom dia"), texts.end());
        EXPECT_NE(std::find(log.begin(), log.end(), "bom dia"), log.end());
        EXPECT_EQ(sounds(), 0u) << "the engine spoke, not the built-in voice";
    }
    FakeSsipServer::Options silent;
    silent.hangAtSpeak = true;
    FakeSsipServer server((folder_ / "speechd.sock").string(), silent);
    auto t = std::chrono::steady_clock::now();
    auto log = run(server);
    EXPECT_LT(msSince(t), 8000) << "the run ends soon after the server's 2 s";
    std::string all;
    for (const auto& l : log) all += l + "\n";
    const std::string logged =
        "Servidor de fala n\xc3\xa3o respondeu; usando a voz interna.";  // the log is UTF-8
    EXPECT_EQ(std::count(log.begin(), log.end(), logged), 1) << "the message is said once; log:\n" << all;
    EXPECT_GT(sounds(), 0u) << "the built-in voice spoke it";
}

}  // namespace
}  // namespace parlendo
