// The voiced speech front: how a text is split between recordings and the word voice, the
// pauses, the click, beep and mode tone, start-up from the settings, engines and SINTCONFIG.
#include <gtest/gtest.h>

#include "app/host.h"
#include "speech_desk.h"

namespace parlendo::testing {
namespace {

using Events = std::vector<std::string>;

Events spoken(SpeechDesk& d, const std::string& text) {
    d.events.clear();
    d.speech->speak(text);
    return d.events;
}

// The characters of a text as their recordings.
Events charFiles(const std::string& text) {
    Events out;
    for (char c : text) out.push_back("file _" + std::to_string(static_cast<uint8_t>(c)) + ".wav");
    return out;
}

TEST(Speak, DigitsZerosAndHyphens) {
    SpeechDesk d;
    d.record({45, 48, 49, 50, 51, 52, 53, 54, 55, 56}, {"_zero", "_MENOS"});
    ASSERT_EQ(d.start(), 0);

    EXPECT_EQ(spoken(d, "007"), (Events{"file _zero.wav", "file _zero.wav", "pcm 10"}))
        << "blanks alone are not words";
    EXPECT_EQ(d.wordsPlayed(), Events{"sete"});

    EXPECT_EQ(spoken(d, "1234-5678"), charFiles("1234-5678")) << "a number with a hyphen is spelled";
    EXPECT_EQ(spoken(d, "1234567"), charFiles("1234567")) << "seven digits are spelled";

    size_t from = d.player.played.size();
    spoken(d, "123456");
    EXPECT_EQ(d.wordsPlayed(from),
              (Events{"cento", "e", "vinte", "e", "tr\xEAs", "mil", "e", "quatrocentos", "e",
                      "cinq\xFC"
                      "enta",
                      "e", "seis"}));

    from = d.player.played.size();
    EXPECT_EQ(spoken(d, "-5"), (Events{"file _MENOS.wav", "pcm 10"}));
    EXPECT_EQ(d.wordsPlayed(from), Events{"cinco"});

    EXPECT_EQ(spoken(d, "a - b"),
              (Events{"words a ", "file _45.wav", "sleep 50", "sleep 50", "sleep 50", "words  b "}))
        << "a hyphen between blanks is said and pauses as a comma";
    EXPECT_EQ(spoken(d, "guarda-chuva x-1"),
              (Events{"words guarda", "words chuva x", "file _MENOS.wav", "pcm 10"}))
        << "a hyphenated word is two words; a hyphen before a digit is the minus word";
}

TEST(Speak, SymbolsRepeatedAndTheLinkSigns) {
    SpeechDesk d;
    d.record({47, 58, 61, 87, 119, 46}, {"_FON9"});
    ASSERT_EQ(d.start(), 0);

    Events e = spoken(d, "=====");
    EXPECT_EQ(e, (Events{"file _61.wav", "file _61.wav", "file _61.wav", "file _61.wav", "pcm 256"}));
    const auto& click = d.player.played[4].samples;
    ASSERT_EQ(click.size(), 256u);

    EXPECT_EQ(spoken(d, "http://www.x"),
              (Events{"words http", "file _58.wav", "file _47.wav", "file _47.wav", "file _119.wav",
                      "file _119.wav", "file _119.wav", "file _46.wav", "words x "}))
        << "the colon of :// without a pause; the slashes are characters; www is spelled";
    EXPECT_EQ(spoken(d, "WWW"), (Events{"words WWW "})) << "the run holds the final blank";
    EXPECT_EQ(spoken(d, "a\tb\r\n"), (Events{"words a", "file _FON9.wav", "words b"}));
}

TEST(Speak, PausesAfterPunctuationFromTheSettings) {
    SpeechDesk d({}, "[SINTETIZADOR]\r\nPAUSAVIRG3=300\r\nPAUSAPONTO3=x\r\n");
    d.record({40, 41, 44, 46, 58, 59});
    ASSERT_EQ(d.start(), 0);
    auto sleeps = [&](const std::string& text) {
        int n = 0;
        for (const std::string& e : spoken(d, text)) n += e == "sleep 50";
        return n;
    };
    EXPECT_EQ(sleeps("a, b"), 6) << "PAUSAVIRG3=300";
    EXPECT_EQ(sleeps("a. b"), 5) << "not a number: 250";
    EXPECT_EQ(sleeps("a.b"), 0) << "a full stop inside a word does not pause";
    EXPECT_EQ(sleeps("a: b; c"), 8);
    EXPECT_EQ(sleeps("(a)"), 8);
    EXPECT_EQ(d.speech->parameters().pauseColon, 200);
}

TEST(Speak, PunctuationLevelsNameFewerSymbolsAndKeepThePauses) {
    SpeechDesk d({}, "PONTUACAO=alguns\r\n");
    d.record({33, 34, 40, 41, 44, 46, 63, 64, 37, 45, 47, 58}, {"_MENOS"});
    ASSERT_EQ(d.start(), 0);
    const std::string text = "Qual? (sim), a@b 5% \"x\" -3 e/ou!";
    const Events some = spoken(d, text);
    EXPECT_EQ(some, (Events{"words Qual", "sleep 50", "sleep 50",     "sleep 50", "sleep 50",
                            "sleep 50",   "sleep 50", "sleep 50",     "sleep 50", "sleep 50",
                            "words sim",  "sleep 50", "sleep 50",     "sleep 50", "sleep 50",
                            "sleep 50",   "sleep 50", "sleep 50",     "words  a", "file _64.wav",
                            "words b ",   "pcm 10",   "file _37.wav", "words x",  "file _MENOS.wav",
                            "pcm 10",     "words  e", "file _47.wav", "words ou", "sleep 50",
                            "sleep 50",   "sleep 50", "sleep 50",     "sleep 50"}))
        << "alguns: ? ( ) , \" ! give their pauses only; @ % / are named; minus is the number's"
        << " (the numbers are recordings: pcm 10)";
    EXPECT_EQ(d.log.lines().back(), text) << "the log keeps the request as it came";

    // The level is read again when speech restarts.
    std::ofstream(d.folder / "oralix.ini", std::ios::binary)
        << "[TRADUTOR]\r\ndirLetras=" << d.letters.string() << "\r\nPONTUACAO=nenhum\r\n";
    d.speech->restartSpeech(0);
    ASSERT_EQ(d.speech->punctuation(), PunctuationLevel::None);
    Events none = spoken(d, "a@b, c?");
    EXPECT_EQ(none, (Events{"words a", "words b", "sleep 50", "sleep 50", "sleep 50", "words  c", "sleep 50",
                            "sleep 50", "sleep 50", "sleep 50", "sleep 50"}))
        << "nenhum: nothing named, the comma and question mark still pause";

    d.events.clear();
    d.speech->spell("@?");
    d.speech->playChar('?');
    EXPECT_EQ(d.events, (Events{"file _64.wav", "file _63.wav", "file _63.wav"}))
        << "spelling and the key echo always say the symbol";

    std::ofstream(d.folder / "oralix.ini", std::ios::binary)
        << "[TRADUTOR]\r\ndirLetras=" << d.letters.string() << "\r\nPONTUACAO=\r\n";
    d.speech->restartSpeech(0);
    EXPECT_EQ(spoken(d, "a@b, c?"), (Events{"words a", "file _64.wav", "words b", "file _44.wav", "sleep 50",
                                            "sleep 50", "sleep 50", "words  c", "file _63.wav"}))
        << "todos (the default): every symbol named, ? without a pause as before";
}

TEST(Speak, AWaitingKeyStopsTheText) {
    SpeechDesk d({"x"});
    d.record({65});
    ASSERT_EQ(d.start(), 0);
    ASSERT_TRUE(d.keys.readKey());  // nothing waits yet
    d.keys.pushKey('k');
    d.player.stops = 0;
    EXPECT_TRUE(spoken(d, "um texto.").empty());
    EXPECT_GE(d.player.stops, 1);
    EXPECT_TRUE(d.keys.keyPressed()) << "the key stays for the script";
    EXPECT_FALSE(d.speech->isSpeaking());
    EXPECT_EQ(d.log.lines(), Events{"um texto."}) << "the request is logged all the same";
}

TEST(Sounds, ClickBeepAndModeTone) {
    SpeechDesk d;
    ASSERT_EQ(d.start(), 0);
    d.keys.pushKey('a');
    d.player.rapidPlayback = true;
    d.speech->click();
    EXPECT_TRUE(d.keys.keyPressed()) << "a click keeps the keys";
    ASSERT_EQ(d.player.played.size(), 1u);
    const auto& click = d.player.played[0];
    EXPECT_FALSE(click.rapid) << "played with rapidPlayback off";
    EXPECT_TRUE(d.player.rapidPlayback) << "and restored";
    EXPECT_EQ(click.rate, 11025);
    EXPECT_EQ(click.bits, 8);
    ASSERT_EQ(click.samples.size(), 256u);
    for (size_t i = 0; i < 64; ++i) EXPECT_TRUE(click.samples[i] >= 128 && click.samples[i] <= 187) << i;
    for (size_t i = 64; i < 256; ++i) EXPECT_EQ(click.samples[i], 128) << i;

    d.speech->beep();
    EXPECT_FALSE(d.keys.keyPressed()) << "a beep discards the keys";
    const auto& beep = d.player.played[1].samples;
    ASSERT_EQ(beep.size(), 512u);
    const uint8_t triangle[8] = {128, 112, 96, 80, 64, 80, 96, 112};
    for (size_t i = 0; i < beep.size(); ++i) EXPECT_EQ(beep[i], triangle[i % 8]) << i;

    d.speech->playModeTone(1000);
    const auto& tone = d.player.played[2].samples;
    ASSERT_EQ(tone.size(), 2205u) << "200 ms";
    EXPECT_EQ(std::vector<uint8_t>(tone.begin(), tone.begin() + 12),
              (std::vector<uint8_t>{96, 96, 96, 96, 96, 160, 160, 160, 160, 160, 160, 96}));
    EXPECT_EQ(tone.back(), 128);
    EXPECT_EQ(d.log.lines(), (Events{"<click>", "<beep>", "tone 1000"}));

    SpeechDesk shortOnes({}, "[ORALIX]\r\nBIPSCLECSCURTOS=Sim\r\n");
    ASSERT_EQ(shortOnes.start(), 0);
    shortOnes.speech->click();
    shortOnes.speech->beep();
    EXPECT_EQ(shortOnes.player.played[0].samples.size(), 128u);
    EXPECT_EQ(shortOnes.player.played[1].samples.size(), 256u);
}

TEST(SpeechLog, OneLinePerRequestLikeTheRecordingFront) {
    SpeechDesk d;
    d.record({48, 55, 65});
    ASSERT_EQ(d.start(), 0);
    std::ostringstream out;
    RecordingSpeech recording(d.keys, &out);
    for (SpeechFront* f :
         {static_cast<SpeechFront*>(d.speech.get()), static_cast<SpeechFront*>(&recording)}) {
        f->speak("007 =====");
        f->speak("");
        f->spell("A\xE7");
        f->playWord("_DEL");
        f->playChar(65);
        f->click();
        f->beep();
        f->sayTime(9, 5, true);
    }
    EXPECT_EQ(d.log.lines(), recording.lines());
    EXPECT_EQ(recording.lines(), (Events{"007 =====", "spell A\xE7", "word _DEL", "char 65", "<click>",
                                         "<beep>", "time 09:05"}));
    EXPECT_EQ(out.str().substr(0, 20), "007 =====\nspell A\xC3\xA7\n") << "UTF-8 in the file";
}

TEST(StartSpeech, SpeedsFoldersAndFailures) {
    {
        SpeechDesk d;
        ASSERT_EQ(d.start(), 0);
        EXPECT_EQ(d.speech->speed(), 3) << "no VELOCIDADE";
        EXPECT_EQ(d.speech->folders().characters, d.letters.string() + "/");
        EXPECT_EQ(d.speech->folders().letters, d.letters.string() + "/");
        EXPECT_EQ(d.speech->folders().words, "");
    }
    {
        SpeechDesk d({},
                     "VELOCIDADE=5\r\n[SINTETIZADOR]\r\nCORTEFON5=300\r\nSOBRAFON5=500\r\nINTERPAL5=200\r\n"
                     "CORTAFALA5=Sim\r\nRAPIDINHO5=Nao\r\nDIFONES5=DIFONESLONGO\r\n");
        ASSERT_EQ(d.speech->startSpeech(0, "/x\\y"), 0);
        EXPECT_EQ(d.speech->speed(), 5);
        EXPECT_EQ(d.voice->timing, (std::vector<int>{300, 500, 200}));
        EXPECT_TRUE(d.player.rapidPlayback);
        EXPECT_FALSE(d.player.fastPlayback);
        EXPECT_EQ(d.speech->parameters().database, "DIFONESL");
        EXPECT_EQ(d.speech->folders().words, "/x/y/");
        ASSERT_EQ(d.speech->startSpeech(9, ""), 0);
        EXPECT_EQ(d.speech->speed(), 3) << "outside 1-5";
        EXPECT_FALSE(d.player.rapidPlayback);
    }
    {
        SpeechDesk d;
        std::filesystem::remove_all(d.letters);
        EXPECT_EQ(d.start(), 1) << "the character recordings are missing";
    }
    {
        // Nothing in the settings: the folder beside the executable.
        SpeechDesk d;
        std::ofstream(d.folder / "oralix.ini", std::ios::trunc).close();
        EXPECT_EQ(d.start(), 1);
        std::filesystem::create_directories(d.folder / "share/oralix/letras");
        EXPECT_EQ(d.start(), 0);
        EXPECT_EQ(d.speech->folders().characters, d.folder.string() + "/share/oralix/letras/");
    }
    {
        // An installed copy: bin/ beside share/.
        SpeechDesk d;
        std::filesystem::create_directories(d.folder / "bin");
        std::filesystem::create_directories(d.folder / "share/oralix/letras");
        EXPECT_EQ(defaultRecordingsFolder((d.folder / "bin").string()),
                  (d.folder / "bin").string() + "/../share/oralix/letras/");
    }
    {
        // The "@" form names both folders.
        SpeechDesk d;
        std::ofstream(d.folder / "oralix.ini", std::ios::trunc) << "[TRADUTOR]\r\nDIRLETRAS=@\\letras\r\n";
        EXPECT_EQ(d.start(), 0);
        EXPECT_EQ(d.speech->folders().characters, d.folder.string() + "/letras/");
    }
}

class FakeEngine final : public SpeechOutput {
public:
    FakeEngine(Events& events, bool opens, std::string* fault = nullptr)
        : events_(events), opens_(opens), fault_(fault) {}
    bool open(int voice, int speed, int pitch, std::string_view) override {
        events_.push_back("open " + std::to_string(voice) + " " + std::to_string(speed) + " " +
                          std::to_string(pitch));
        return opens_;
    }
    void say(std::string_view text) override { events_.push_back("say " + std::string(text)); }
    bool isBusy() override { return false; }
    void stop() override {}
    void close() override { events_.push_back("close"); }
    std::string fault() const override { return fault_ ? *fault_ : std::string(); }

private:
    Events& events_;
    bool opens_;
    std::string* fault_;
};

TEST(Engines, OpenedFromTheSettingsOrKeptBuiltIn) {
    for (bool opens : {true, false}) {
        SpeechDesk d({}, "SAPI=Sim\r\n[SERVFALA]\r\nVOZ=2\r\nVELOCIDADE=50\r\nTOM=7\r\nTIPOSAPI=3\r\n");
        Events engineEvents;
        int askedType = 0;
        auto voice = std::make_unique<NotingVoice>(d.events);
        VoicedSpeech speech(
            d.keys, d.player, d.settings, d.clock, std::move(voice), &d.log, [](int) {},
            [&](int type) {
                askedType = type;
                return std::make_unique<FakeEngine>(engineEvents, opens);
            },
            d.folder.string());
        ASSERT_EQ(speech.startSpeech(0, ""), 0);
        EXPECT_EQ(askedType, 3);
        EXPECT_EQ(engineEvents.front(), "open 2 0 7") << "a speed above 10 becomes 0";
        EXPECT_EQ(speech.engineOpen(), opens);
        speech.speak("ola 12");
        if (opens) {
            EXPECT_EQ(engineEvents.back(), "say ola 12") << "the whole text to the engine";
            EXPECT_TRUE(d.events.empty());
            speech.configureSpeech(SpeechConfig{0, 4, 5, 0, 0, 0});
            EXPECT_FALSE(speech.engineOpen()) << "SINTCONFIG 0 closes it";
            EXPECT_EQ(engineEvents.back(), "close");
            EXPECT_EQ(speech.speed(), 4);
            speech.configureSpeech(SpeechConfig{1, 3, 3, 0, 5, 6});
            EXPECT_EQ(engineEvents.back(), "open 2 5 6") << "voice 0 takes VOZ";
            EXPECT_TRUE(speech.engineOpen());
        } else {
            EXPECT_EQ(d.events.front(), "words ola ") << "a failed open keeps the built-in voice";
        }
    }
}

TEST(Engines, AFailingEngineIsSaidOnceAndTheBuiltInVoiceSpeaksOn) {
    SpeechDesk d;
    Events engineEvents, notices;
    std::string fault = "sem servidor";
    bool opens = false;
    auto voice = std::make_unique<NotingVoice>(d.events);
    VoicedSpeech speech(
        d.keys, d.player, d.settings, d.clock, std::move(voice), &d.log, [](int) {},
        [&](int) { return std::make_unique<FakeEngine>(engineEvents, opens, &fault); }, d.folder.string());
    speech.setNotice([&](const std::string& m) { notices.push_back(m); });
    ASSERT_EQ(speech.startSpeech(0, ""), 0);
    // An open that fails, twice: told once, spoken by the built-in voice.
    speech.configureSpeech(SpeechConfig{1, 3, 5, 1, 0, 0});
    speech.configureSpeech(SpeechConfig{1, 3, 5, 1, 0, 0});
    EXPECT_FALSE(speech.engineOpen());
    EXPECT_EQ(notices, (Events{"sem servidor"}));
    EXPECT_EQ(d.events, (Events{"words sem servidor "}));
    // An engine that stops working after a text: closed at the next, which the built-in voice says.
    fault.clear();
    opens = true;
    speech.configureSpeech(SpeechConfig{1, 3, 5, 1, 0, 0});
    ASSERT_TRUE(speech.engineOpen());
    speech.speak("um");
    fault = "parou";
    speech.speak("dois");
    EXPECT_FALSE(speech.engineOpen());
    EXPECT_EQ(engineEvents.back(), "close");
    EXPECT_EQ(notices, (Events{"sem servidor", "parou"}));
    EXPECT_EQ(d.events, (Events{"words sem servidor ", "words parou ", "words dois "}));
    const auto& logged = d.log.lines();
    EXPECT_EQ(std::count(logged.begin(), logged.end(), "parou"), 1);
}

TEST(SintConfig, ArgumentsAndSettings) {
    Machine m;
    std::ofstream(m.folder / "oralix.ini")
        << "[TRADUTOR]\r\nVELOCIDADE=4\r\nSAPI=Sim\r\n[SERVFALA]\r\nVOZ=2\r\n"
           "VELOCIDADE=5\r\nTOM=50\r\nTIPOSAPI=54\r\n";
    EXPECT_TRUE(m.exec("SINTCONFIG 1 -1 3 0 -1 -1"));
    EXPECT_TRUE(m.exec("SINTCONFIG 2 2 -1 -1 1 1"));
    m.set("A", "0");
    EXPECT_TRUE(m.exec("SINTCONFIG A 1 1 1 1 1"));
    EXPECT_EQ(m.speech.lines(),
              (Events{"<config 1 4 3 0 5 50>", "<config 1 2 54 2 1 1>", "<config 0 1 1 1 1 1>"}));
    for (const char* bad : {"SINTCONFIG 3 1 1 1 1 1", "SINTCONFIG 1 1 1 1 1", "SINTCONFIG 1 1 1 1 1 x",
                            "SINTCONFIG 1 1 1 1 1 1 1", "SINTCONFIG -1 1 1 1 1 1"})
        EXPECT_FALSE(m.exec(bad)) << bad;
    EXPECT_EQ(m.speech.lines().size(), 3u);
}

TEST(HostStart, MissingRecordingsStopTheProgramAfterEnter) {
    auto folder = freshTempFolder("start");
    std::ofstream(folder / "oralix.ini")
        << "[TRADUTOR]\r\ndirLetras=" << (folder / "nada").string() << "\r\n";
    HostOptions o;
    o.headless = true;
    o.audio = "null";
    o.settings = (folder / "oralix.ini").string();
    o.dumpScreen = (folder / "screen.txt").string();
    o.keys = "x{#13}";
    EXPECT_EQ(runScript(o, {"escreve \"nunca\""}, "t"), 1);
    std::ifstream dump(*o.dumpScreen);
    std::string row1, row2;
    std::getline(dump, row1);
    std::getline(dump, row2);
    EXPECT_EQ(row1, "Erro de inicializa\xC3\xA7\xC3\xA3o: 1");
    EXPECT_EQ(row2, "Banco de dados de voz: DIFONES2");
    o.keys.reset();
    EXPECT_EQ(runScript(o, {"escreve \"nunca\""}, "t"), 3) << "no Enter will ever come";
    std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace parlendo::testing
