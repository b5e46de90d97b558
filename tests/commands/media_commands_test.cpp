// The sound commands against a folder audio device: TOCA and MCI rendering WAV and MP3 files made
// here with ffmpeg (the captured sound as long as the file), a key stopping TOCA and taken from
// the queue, the replies of MCI, ALARME's tone measured in its capture, MENSAGEM finding a file
// whatever the case of its name.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "../interp/fixture.h"
#include "commands/media_player.h"
#include "platform/audio_device.h"
#include "tts/wave_player.h"

namespace parlendo {
namespace {

namespace fs = std::filesystem;
using testing::Machine;

struct Capture {
    WavData wav;
    std::vector<uint8_t> image;
    int64_t milliseconds() const {
        const int64_t frame = static_cast<int64_t>(wav.format.channels) * (wav.format.bits / 8);
        return static_cast<int64_t>(wav.dataLength) * 1000 / (frame * wav.format.rate);
    }
};

// A machine whose sound goes to numbered WAV files, with media rendered into it.
struct SoundMachine : Machine {
    SoundMachine() : sounds(folder / "sons") {
        player = createWavePlayerOn(createFolderAudioDevice(sounds.string()), keys, nullptr);
        in.services.player = player.get();
        mediaPlayer().setOutput(MediaOutput::Render);
    }
    ~SoundMachine() { mediaPlayer().closeAll(); }

    std::vector<Capture> captures() {
        std::vector<fs::path> files;
        std::error_code ec;
        for (const auto& e : fs::directory_iterator(sounds, ec)) files.push_back(e.path());
        std::sort(files.begin(), files.end());
        std::vector<Capture> out;
        for (const auto& f : files) {
            std::ifstream in(f, std::ios::binary);
            Capture c;
            c.image.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
            std::optional<WavData> wav = findWavData(c.image.data(), c.image.size());
            EXPECT_TRUE(wav) << f;
            if (wav) c.wav = *wav;
            out.push_back(std::move(c));
        }
        return out;
    }
    // A sine of `hertz` for `seconds`, written by ffmpeg with the options given (the file's
    // extension chooses the format).
    std::string makeSound(const std::string& name, double seconds, const std::string& options,
                          int hertz = 440) {
        fs::path path = folder / name;
        fs::create_directories(path.parent_path());
        std::string command = "ffmpeg -loglevel error -y -f lavfi -i sine=f=" + std::to_string(hertz) +
                              ":r=22050:d=" + std::to_string(seconds) + " " + options + " '" + path.string() +
                              "'";
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
        return path.string();
    }
    std::string mci(const std::string& command) {
        EXPECT_TRUE(exec("mci $r \"" + command + "\"")) << command;
        return var("$r");
    }

    fs::path sounds;
    std::unique_ptr<WavePlayer> player;
};

bool ffmpegMissing() { return std::system("ffmpeg -version >/dev/null 2>&1") != 0; }

TEST(Toca, CapturedSoundIsAsLongAsTheFile) {
    if (ffmpegMissing()) GTEST_SKIP() << "ffmpeg missing";
    SoundMachine m;
    std::string wav = m.makeSound("tom.wav", 1.5, "-ac 1 -c:a pcm_s16le");
    std::string mp3 = m.makeSound("tom.mp3", 2.0, "-ac 2 -ar 44100 -b:a 128k");
    ASSERT_TRUE(m.exec("toca \"" + wav + "\""));
    ASSERT_TRUE(m.exec("toca \"" + mp3 + "\""));
    std::vector<Capture> c = m.captures();
    ASSERT_EQ(c.size(), 2u);
    EXPECT_EQ(c[0].wav.format, (AudioFormat{22050, 1, 16}));
    EXPECT_NEAR(c[0].milliseconds(), 1500, 20);
    EXPECT_EQ(c[1].wav.format, (AudioFormat{44100, 2, 16}));
    EXPECT_NEAR(c[1].milliseconds(), 2000, 60);
    // A file that is no media plays nothing and TOCA still goes on; with text after it, it fails.
    std::ofstream(m.folder / "nada.mp3") << "isto nao e som";
    EXPECT_TRUE(m.exec("toca \"" + (m.folder / "nada.mp3").string() + "\""));
    EXPECT_TRUE(m.exec("toca \"" + (m.folder / "falta.wav").string() + "\""));
    EXPECT_FALSE(m.exec("toca \"" + wav + "\" demais"));
    EXPECT_EQ(m.captures().size(), 2u);
    // With "&" it starts and goes on; the sound is there once it has been rendered.
    ASSERT_TRUE(m.exec("toca \"" + wav + "\" &"));
    for (int i = 0; i < 200 && m.captures().size() < 3; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        mediaPlayer().pump();
    }
    ASSERT_EQ(m.captures().size(), 3u);
    EXPECT_NEAR(m.captures()[2].milliseconds(), 1500, 20);
}

TEST(Toca, KeyStopsItAndIsNotLeftInTheQueue) {
    if (ffmpegMissing()) GTEST_SKIP() << "ffmpeg missing";
    SoundMachine m;
    // Ten minutes render in well under a second here; a key already waiting stops it at once.
    std::string mp3 = m.makeSound("longo.mp3", 600, "-ac 1 -ar 8000 -b:a 16k");
    m.keys.pushKey('x');
    m.keys.pushKey('y');
    auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(m.exec("toca \"" + mp3 + "\""));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(m.keys.size(), 0u);
    // The key was waiting before it started: at most the first moments were rendered.
    std::vector<Capture> c = m.captures();
    ASSERT_LE(c.size(), 1u);
    if (!c.empty()) {
        EXPECT_LT(c[0].milliseconds(), 60000);
    }
    EXPECT_EQ(m.mci("status myfile mode"), "Erro MCI: dispositivo desconhecido: myfile");
}

TEST(Mci, RepliesOfOpenPlayStatusStopClose) {
    if (ffmpegMissing()) GTEST_SKIP() << "ffmpeg missing";
    SoundMachine m;
    std::string wav = m.makeSound("tom.wav", 1.5, "-ac 1 -c:a pcm_s16le");
    std::string mp3 = m.makeSound("longo.mp3", 600, "-ac 1 -ar 8000 -b:a 16k");
    EXPECT_EQ(m.mci("open \"\"" + wav + "\"\" alias Som type waveaudio"), "");
    EXPECT_EQ(m.mci("open \"\"" + wav + "\"\" alias som"), "Erro MCI: apelido em uso: som");
    EXPECT_EQ(m.mci("set som time format milliseconds"), "");
    EXPECT_EQ(m.mci("status som mode"), "stopped");
    EXPECT_EQ(m.mci("status SOM length"), "1500");
    EXPECT_EQ(m.mci("status som ready"), "true");
    EXPECT_EQ(m.mci("status som time format"), "milliseconds");
    // A stretch of the file: from 500 to 1000 ms is half a second of sound.
    EXPECT_EQ(m.mci("play som from 500 to 1000 wait"), "");
    EXPECT_EQ(m.mci("status som mode"), "stopped");
    EXPECT_EQ(m.mci("status som position"), "1000");
    EXPECT_EQ(m.mci("seek som to start"), "");
    EXPECT_EQ(m.mci("status som position"), "0");
    EXPECT_EQ(m.mci("close som"), "");
    EXPECT_EQ(m.mci("status som mode"), "Erro MCI: dispositivo desconhecido: som");
    std::vector<Capture> c = m.captures();
    ASSERT_EQ(c.size(), 1u);
    EXPECT_NEAR(c[0].milliseconds(), 500, 20);

    // A long file stays playing between commands; pause, resume and stop say so.
    EXPECT_EQ(m.mci("open \"\"" + mp3 + "\"\" alias longo"), "");
    // An MP3's length carries its encoder's padding: a few frames over.
    EXPECT_NEAR(std::stoll(m.mci("status longo length")), 600000, 300);
    EXPECT_EQ(m.mci("setaudio longo volume to 500"), "");
    EXPECT_EQ(m.mci("status longo volume"), "500");
    EXPECT_EQ(m.mci("play longo"), "");
    EXPECT_EQ(m.mci("status longo mode"), "playing");
    EXPECT_EQ(m.mci("pause longo"), "");
    EXPECT_EQ(m.mci("status longo mode"), "paused");
    EXPECT_EQ(m.mci("resume longo"), "");
    EXPECT_EQ(m.mci("status longo mode"), "playing");
    // Rendering goes on between commands: the position moves on while the run does other things.
    for (int i = 0; i < 250 && m.mci("status longo position") == "0"; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(m.mci("stop longo"), "");
    EXPECT_EQ(m.mci("status longo mode"), "stopped");
    int64_t at = std::stoll(m.mci("status longo position"));
    EXPECT_GT(at, 0);
    EXPECT_LT(at, 600000);
    EXPECT_EQ(m.captures().size(), 2u);
    EXPECT_EQ(m.mci("close all"), "");
    EXPECT_EQ(m.mci("stop longo"), "Erro MCI: dispositivo desconhecido: longo");

    // What is not known gets an error text, never a success.
    EXPECT_EQ(m.mci("gira som"), "Erro MCI: comando desconhecido: gira");
    EXPECT_EQ(m.mci(""), "Erro MCI: comando vazio");
    EXPECT_EQ(m.mci("play"), "Erro MCI: falta o dispositivo");
    EXPECT_EQ(m.mci("status x cor"), "Erro MCI: item desconhecido: cor");
    EXPECT_EQ(m.mci("play x from"), "Erro MCI: falta um valor depois de from");
    EXPECT_EQ(m.mci("play x from -5"), "Erro MCI: valor incorreto: -5");
    EXPECT_EQ(m.mci("set x time format frames"), "Erro MCI: formato de tempo desconhecido: frames");
    EXPECT_EQ(m.mci("setaudio x volume to 1001"), "Erro MCI: volume acima de 1000");
    EXPECT_EQ(m.mci("open \"\"" + (m.folder / "falta.wav").string() + "\"\" alias f")
                  .rfind(testing::cp("Erro MCI: não foi possível abrir: "), 0),
              0u);
    EXPECT_EQ(m.mci("status f mode"), "Erro MCI: dispositivo desconhecido: f");
    // Command and reply within their buffers: 1,024 characters in, 1,023 out.
    EXPECT_EQ(m.mci("status " + std::string(1017, 'a')), "Erro MCI: item desconhecido: ");
    EXPECT_EQ(m.mci("status " + std::string(1018, 'a')), "Erro MCI: comando longo demais");
    EXPECT_EQ(m.mci("status " + std::string(1000, 'a') + " mode").size(), 1023u);
    EXPECT_FALSE(m.exec("mci $r"));
    EXPECT_FALSE(m.exec("mci $r \"status x mode\" demais"));
}

// A server that takes the connection and never answers: the open gives up with an error reply
// within its time limit instead of holding the run.
TEST(Mci, StreamThatNeverAnswersGivesAnErrorInTime) {
    int server = ::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(server, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(server, reinterpret_cast<sockaddr*>(&address), length), 0);
    ASSERT_EQ(::listen(server, 4), 0);  // connections wait in the backlog, never accepted
    ASSERT_EQ(::getsockname(server, reinterpret_cast<sockaddr*>(&address), &length), 0);
    const std::string url = "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/radio.mp3";
    SoundMachine m;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(m.mci("open \"\"" + url + "\"\" alias radio"),
              testing::cp("Erro MCI: não foi possível abrir: ") + url);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(15));
    EXPECT_EQ(m.mci("status radio mode"), "Erro MCI: dispositivo desconhecido: radio");
    // The request it sent, still waiting in the connection, names the program.
    int connection = ::accept(server, nullptr, nullptr);
    ASSERT_GE(connection, 0);
    timeval limit{2, 0};
    ::setsockopt(connection, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    std::string request(4096, '\0');
    ssize_t got = ::recv(connection, request.data(), request.size(), 0);
    request.resize(got > 0 ? static_cast<size_t>(got) : 0);
    EXPECT_NE(request.find("User-Agent: Sintonix/" SINTONIX_VERSION "\r\n"), std::string::npos) << request;
    ::close(connection);
    ::close(server);
}

// The frequency of a captured 8-bit tone, from its upward crossings of the middle.
double measuredHertz(const Capture& c) {
    const uint8_t* s = c.image.data() + c.wav.dataOffset;
    int crossings = 0, first = -1, last = -1;
    for (size_t i = 1; i < c.wav.dataLength; ++i)
        if (s[i - 1] < 128 && s[i] >= 128) {
            if (first < 0) first = static_cast<int>(i);
            last = static_cast<int>(i);
            ++crossings;
        }
    if (crossings < 2) return 0;
    return (crossings - 1) * static_cast<double>(c.wav.format.rate) / (last - first);
}

TEST(Alarme, ToneOfTheFrequencyAndLengthGiven) {
    SoundMachine m;
    ASSERT_TRUE(m.exec("alarme 440 200"));
    ASSERT_TRUE(m.exec("alarme 1000 \"50\" o resto nao conta"));
    ASSERT_TRUE(m.exec("alarme 440 0"));
    EXPECT_FALSE(m.exec("alarme 440 20001"));
    EXPECT_FALSE(m.exec("alarme 20001 10"));
    EXPECT_FALSE(m.exec("alarme -1 10"));
    EXPECT_FALSE(m.exec("alarme 440"));
    std::vector<Capture> c = m.captures();
    ASSERT_EQ(c.size(), 2u);
    EXPECT_NEAR(c[0].milliseconds(), 200, 1);
    EXPECT_NEAR(measuredHertz(c[0]), 440, 3);
    EXPECT_NEAR(c[1].milliseconds(), 50, 1);
    EXPECT_NEAR(measuredHertz(c[1]), 1000, 10);
}

TEST(Mensagem, FindsTheFileWhateverTheCase) {
    if (ffmpegMissing()) GTEST_SKIP() << "ffmpeg missing";
    SoundMachine m;
    m.makeSound("Sons/Ola.Wav", 0.3, "-ac 1 -c:a pcm_s16le");
    m.makeSound("Sons/rapido/ola.wav", 0.2, "-ac 1 -c:a pcm_s16le");
    m.makeSound("Sons/Tchau.wav", 0.1, "-ac 1 -c:a pcm_s16le");
    // The name is upper-cased and ".WAV" added: every part found without regard to case, the
    // temporary folder's own included.
    ASSERT_TRUE(m.exec("mensagem \"" + (m.folder / "sons/ola").string() + "\""));
    ASSERT_TRUE(m.exec("mensagem \"" + (m.folder / "SONS/tchau.wav").string() + "\""));
    m.player->rapidPlayback = true;
    ASSERT_TRUE(m.exec("mensagem \"" + (m.folder / "sons/Ola").string() + "\""));
    // A missing file plays nothing and is no error.
    ASSERT_TRUE(m.exec("mensagem \"" + (m.folder / "sons/falta").string() + "\""));
    EXPECT_FALSE(m.exec("mensagem"));
    std::vector<Capture> c = m.captures();
    ASSERT_EQ(c.size(), 3u);
    EXPECT_NEAR(c[0].milliseconds(), 300, 5);
    EXPECT_NEAR(c[1].milliseconds(), 100, 5);
    EXPECT_NEAR(c[2].milliseconds(), 200, 5);
}

}  // namespace
}  // namespace parlendo
