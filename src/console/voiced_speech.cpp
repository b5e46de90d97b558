// The voiced speech front: the speak algorithm, the front's sounds, start-up and configuration.
#include "console/voiced_speech.h"

#include <algorithm>
#include <cstdlib>

#include "console/key_queue.h"
#include "console/settings_file.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "text/cp1252.h"
#include "tts/tones.h"
#include "tts/wave_player.h"

namespace parlendo {

namespace {

constexpr int kRate = 11025;
// The longest run of words handed to the voice at once.
constexpr size_t kLongestRun = 999;

bool isAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool isHigh(char c) { return static_cast<uint8_t>(c) >= 128; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool firstLetterIs(const std::string& v, char letter) {
    return !v.empty() && text::upperChar(v[0]) == letter;
}

// A decimal setting; `fallback` when it is not a number.
int number(const std::string& value, int fallback) {
    std::string_view t = text::trim(value);
    if (t.empty()) return fallback;
    std::string s(t);
    char* end = nullptr;
    long v = std::strtol(s.c_str(), &end, 10);
    if (end == s.c_str() || *end != '\0' || v < -1000000000L || v > 1000000000L) return fallback;
    return static_cast<int>(v);
}

}  // namespace

PunctuationLevel punctuationLevel(std::string_view setting) {
    const std::string word = text::upperCase(text::trim(setting));
    if (word == "ALGUNS") return PunctuationLevel::Some;
    if (word == "NENHUM") return PunctuationLevel::None;
    return PunctuationLevel::All;
}

bool isQuietMark(char c) {
    switch (static_cast<uint8_t>(c)) {
        case '.':
        case ',':
        case ';':
        case ':':
        case '!':
        case '?':
        case '(':
        case ')':
        case '"':
        case '\'':
        case '-':
        case 145:
        case 146:
        case 147:
        case 148:
        case 150:
        case 151:
        case 161:
        case 171:
        case 187:
        case 191:
            return true;
        default:
            return false;
    }
}

VoiceParameters loadVoiceParameters(SettingsFile& settings, int speed) {
    const std::string n = std::to_string(speed);
    auto read = [&](const char* key) { return settings.readSetting("SINTETIZADOR", std::string(key) + n); };
    VoiceParameters p;
    p.database = read("DIFONES").substr(0, 8);
    p.cut = number(read("CORTEFON"), 0);
    p.keep = number(read("SOBRAFON"), 0);
    p.wordGap = number(read("INTERPAL"), 0);
    std::string rapid = read("CORTAFALA"), fast = read("RAPIDINHO");
    p.rapid = !rapid.empty() && !firstLetterIs(rapid, 'N');
    p.fast = !fast.empty() && !firstLetterIs(fast, 'N');
    p.pauseFullStop = number(read("PAUSAPONTO"), 250);
    p.pauseComma = number(read("PAUSAVIRG"), 150);
    p.pauseColon = number(read("PAUSADOISPONTOS"), 200);
    return p;
}

std::vector<uint8_t> modeToneSamples(int hertz) {
    // Half of each period low, the rest high; a period is at least two samples.
    int period = hertz > 0 ? kRate / hertz : 2;
    if (period < 2) period = 2;
    std::vector<uint8_t> s(kRate / 5);
    for (size_t i = 0; i < s.size(); ++i)
        s[i] = static_cast<int>(i % static_cast<size_t>(period)) < period / 2 ? 96 : 160;
    s.back() = 128;
    return s;
}

std::string defaultRecordingsFolder(const std::string& executableFolder) {
    return shareDataFolder(executableFolder, "letras");
}

VoicedSpeech::VoicedSpeech(KeyQueue& keys, WavePlayer& player, SettingsFile& settings, Clock& clock,
                           std::unique_ptr<DiphoneVoice> voice, SpeechLog* log,
                           std::function<void(int)> sleep, EngineSwitch engines, std::string executableFolder)
    : keys_(keys),
      player_(player),
      settings_(settings),
      clock_(clock),
      voice_(voice ? std::move(voice) : std::make_unique<SilentDiphoneVoice>()),
      log_(log),
      sleep_(std::move(sleep)),
      engines_(std::move(engines)),
      executableFolder_(std::move(executableFolder)),
      recorded_(player, keys, sleep_) {
    recorded_.setBeforePlay([this] { waitEngine(); });
    // Read when the front starts; the echo option has no further effect.
    settings_.readSettingOrDefault("ORALIX", "ECOAROPCAO", "Sim");
    shortClicks_ = firstLetterIs(settings_.readSettingOrDefault("ORALIX", "BIPSCLECSCURTOS", "NAO"), 'S');
}

void VoicedSpeech::useParameters(int speed) {
    speed_ = speed;
    parameters_ = loadVoiceParameters(settings_, speed);
    voice_->setDiphoneTiming(parameters_.cut, parameters_.keep, parameters_.wordGap);
    voice_->setSpeed(speed);
    player_.rapidPlayback = parameters_.rapid;
    player_.fastPlayback = parameters_.fast;
}

int VoicedSpeech::startSpeech(int speed, std::string_view interpreterFolder) {
    settings_.readSetting("ORALIX", "LEGADO");
    if (speed <= 0) speed = number(settings_.readSetting("TRADUTOR", "VELOCIDADE"), 3);
    if (speed < 1 || speed > 5) speed = 3;
    useParameters(speed);
    punctuation_ = punctuationLevel(settings_.readSetting("TRADUTOR", "PONTUACAO"));

    // The character recordings are named unresolved; a value in the "@" forms is resolved all
    // the same, so that one setting can name both folders.
    const std::string fallback = defaultRecordingsFolder(executableFolder_);
    std::string characters = settings_.readRaw("TRADUTOR", "dirLetras");
    if (characters.find('@') != std::string::npos) characters = settings_.resolve(characters);
    std::string letters = settings_.readSetting("TRADUTOR", "DIRLETRAS");
    RecordingFolders folders;
    folders.characters =
        text::trim(characters).empty() ? fallback : settingFolderPrefix(std::string(text::trim(characters)));
    folders.letters =
        text::trim(letters).empty() ? fallback : settingFolderPrefix(std::string(text::trim(letters)));
    interpreterFolder_ = std::string(interpreterFolder);
    folders.words = settingFolderPrefix(interpreterFolder_);
    recorded_.setFolders(folders);

    if (!folderPrefixExists(folders.characters) || !folderPrefixExists(folders.letters)) return 1;
    if (int error = voice_->open(folders.characters); error != 0) return error;

    useParameters(speed);
    closeEngine();
    std::string wantEngine = settings_.readSetting("TRADUTOR", "SAPI");
    if (!wantEngine.empty() && !firstLetterIs(wantEngine, 'N')) {
        int voice = number(settings_.readSetting("SERVFALA", "VOZ"), 0);
        int engineSpeed = number(settings_.readSetting("SERVFALA", "VELOCIDADE"), 0);
        int pitch = number(settings_.readSetting("SERVFALA", "TOM"), 0);
        int type = number(settings_.readSetting("SERVFALA", "TIPOSAPI"), 0);
        if (type != 4 && engineSpeed > 10) engineSpeed = 0;
        openEngine(type, voice, engineSpeed, pitch);
    }
    return 0;
}

void VoicedSpeech::shutdownSpeech() {
    waitSpeech();
    stopSpeech();
    closeEngine();
    voice_->close();
}

void VoicedSpeech::openEngine(int type, int voice, int speed, int pitch) {
    if (!engines_) return;
    std::unique_ptr<SpeechOutput> engine = engines_(type);
    if (!engine) return;
    if (!engine->open(voice, speed, pitch, "")) {
        std::string why = engine->fault();
        engine->close();
        if (!why.empty()) tellOnce(why);
        return;
    }
    // The voice may still be starting up; a key ends the wait.
    while (engine->isBusy() && !keys_.keyPressed() && engine->fault().empty()) sleep_(50);
    engine_ = std::move(engine);
    engineType_ = type;
    enginePending_ = false;
    engineFailed();
}

// An engine that stopped working is closed, the user hears why once, and the built-in voice
// speaks from then on.
bool VoicedSpeech::engineFailed() {
    if (!engine_) return false;
    std::string why = engine_->fault();
    if (why.empty()) return false;
    closeEngine();
    tellOnce(why);
    return true;
}

void VoicedSpeech::tellOnce(const std::string& message) {
    if (std::find(told_.begin(), told_.end(), message) != told_.end()) return;
    told_.push_back(message);
    if (notice_) notice_(message);
    log(message);
    speakBuiltIn(message);
}

void VoicedSpeech::closeEngine() {
    if (!engine_) return;
    engine_->stop();
    engine_->close();
    engine_.reset();
    enginePending_ = false;
}

void VoicedSpeech::waitEngine() {
    if (!engine_ || !enginePending_) return;
    while (!engineFailed() && engine_->isBusy()) {
        if (keys_.keyPressed()) {
            stopSpeech();
            break;
        }
        sleep_(10);
    }
    enginePending_ = false;
}

bool VoicedSpeech::isSpeaking() {
    if (keys_.keyPressed()) {
        stopSpeech();
        return false;
    }
    if (engine_ && enginePending_ && !engineFailed()) {
        if (engine_->isBusy()) return true;
        enginePending_ = false;
    }
    return player_.playerBusy();
}

void VoicedSpeech::waitSpeech() {
    while (isSpeaking()) sleep_(10);
}

void VoicedSpeech::stopSpeech() {
    player_.stopPlayer();
    stop_ = true;
    voice_->stop();
    if (engine_ && (engineType_ == kEngineRuleBased || engine_->isBusy())) engine_->stop();
}

void VoicedSpeech::speak(std::string_view text) {
    if (!text.empty()) log(std::string(text));
    if (engine_) waitSpeech();
    if (engine_ && !engineFailed()) {
        if (!keys_.keyPressed()) {
            engine_->say(text);
            enginePending_ = true;
        }
        return;
    }
    speakBuiltIn(text);
}

void VoicedSpeech::speakWords(std::string_view words) {
    // A run is handed over in pieces of at most 999 characters, cut at a blank where there is
    // one, so that a long paragraph is said whole.
    while (!words.empty() && !stop_) {
        if (words.find_first_not_of(' ') == std::string_view::npos) return;
        size_t take = words.size();
        if (take > kLongestRun) {
            take = kLongestRun;
            size_t blank = words.rfind(' ', kLongestRun - 1);
            if (blank != std::string_view::npos && blank > 0) take = blank + 1;
        }
        voice_->speakWords(words.substr(0, take));
        words.remove_prefix(take);
        if (keys_.keyPressed()) return;
    }
}

void VoicedSpeech::speakBuiltIn(std::string_view input) {
    std::string s(input);
    s += ' ';
    stop_ = false;
    const size_t n = s.size();
    size_t i = 0;
    char repeated = 0;  // the symbol of the last step, and how many times in a row
    int times = 0;
    while (i < n && !stop_) {
        if (keys_.keyPressed()) {
            stopSpeech();
            break;
        }
        const char c = s[i];
        if (c == '0') {
            repeated = 0;
            recorded_.playWord("_zero");
            ++i;
            continue;
        }
        if (isDigit(c)) {
            repeated = 0;
            size_t j = i;
            while (j < n && (isDigit(s[j]) || s[j] == '-')) ++j;
            std::string_view run = std::string_view(s).substr(i, j - i);
            if (run.find('-') != std::string_view::npos || run.size() >= 7)
                recorded_.spell(run);
            else
                recorded_.sayNumberWords(numberToWords(std::strtoll(std::string(run).c_str(), nullptr, 10)),
                                         false);
            i = j;
            continue;
        }
        if (isAsciiLetter(c) || c == ' ' || isHigh(c)) {
            repeated = 0;
            size_t j = i;
            while (j < n && (isAsciiLetter(s[j]) || s[j] == ' ' || isHigh(s[j]))) ++j;
            std::string_view run = std::string_view(s).substr(i, j - i);
            if (text::upperCase(run) == "WWW")
                recorded_.spell(run);
            else
                speakWords(run);
            i = j;
            // A hyphenated word is read as two words.
            if (i + 1 < n && s[i] == '-' && (isAsciiLetter(s[i + 1]) || isHigh(s[i + 1]))) ++i;
            continue;
        }
        ++i;
        if (c == repeated) {
            ++times;
        } else {
            repeated = c;
            times = 1;
        }
        if (times >= 5) {
            playClick();
            continue;
        }
        const char next = i < n ? s[i] : '\0';
        // The minus word before a digit belongs to the number: it is said at every level.
        if (c == '-') {
            if (next == ' ' || next == '-' || next == '\0')
                punctuation(c, next);
            else if (isDigit(next))
                recorded_.playWord("_MENOS");
            else if (namesSymbol(c))
                recorded_.playCharacter(45);
        } else if (c == ':' && s.compare(i, 2, "//") == 0) {
            if (namesSymbol(c)) recorded_.playCharacter(':');
        } else if (c == '(' || c == ')' || c == ',' || c == '.' || c == ':' ||
                   c == ';') {  // NOLINT(bugprone-branch-clone): the hyphen's own case says the same
            punctuation(c, next);
        } else if (c == '\t') {
            recorded_.playWord("_FON9");
        } else if (c == '\n' || c == '\r') {
            // nothing
        } else if ((c == '?' || c == '!') && !namesSymbol(c)) {
            punctuation(c, next);
        } else if (!keys_.keyPressed() && namesSymbol(c)) {
            recorded_.playCharacter(static_cast<uint8_t>(c));
        }
    }
}

void VoicedSpeech::punctuation(char c, char next) {
    if (keys_.keyPressed()) return;
    waitSpeech();
    if (namesSymbol(c)) recorded_.playCharacter(static_cast<uint8_t>(c));
    if (c == '(' || c == ')' || c == ':' || c == ';')
        pause(parameters_.pauseColon);
    else if (c == ',' || (c == '-' && next == ' '))
        pause(parameters_.pauseComma);
    else if ((c == '.' || c == '?' || c == '!') && next == ' ')
        pause(parameters_.pauseFullStop);
}

// Whether running speech says this symbol's recording; ? and ! reach punctuation() only when
// they are not named, so their pause is new to the quieter levels.
bool VoicedSpeech::namesSymbol(char c) const {
    switch (punctuation_) {
        case PunctuationLevel::All:
            return true;
        case PunctuationLevel::Some:
            return !isQuietMark(c);
        case PunctuationLevel::None:
            return false;
    }
    return true;
}

void VoicedSpeech::pause(int milliseconds) {
    for (int step = 0; step < milliseconds / 50; ++step)
        if (!keys_.keyPressed()) sleep_(50);
}

void VoicedSpeech::playAndWait(const std::vector<uint8_t>& samples) {
    player_.playPcm(samples.data(), samples.size(), kRate, 1, 8);
    recorded_.waitIdle();
}

void VoicedSpeech::playClick() {
    waitEngine();
    bool rapid = player_.rapidPlayback;
    player_.rapidPlayback = false;
    playAndWait(clickSamples(shortClicks_, static_cast<uint32_t>(random_())));
    player_.rapidPlayback = rapid;
}

void VoicedSpeech::click() {
    log("<click>");
    playClick();
}

void VoicedSpeech::beep() {
    keys_.flushKeys();
    log("<beep>");
    waitEngine();
    keys_.flushKeys();
    playAndWait(beepSamples(shortClicks_));
}

void VoicedSpeech::spell(std::string_view text) {
    log("spell " + std::string(text));
    recorded_.spell(text);
}

void VoicedSpeech::playWord(std::string_view name) {
    log("word " + std::string(name));
    recorded_.playWord(name);
}

void VoicedSpeech::playChar(uint8_t code) {
    log("char " + std::to_string(code));
    recorded_.playCharacter(code);
}

void VoicedSpeech::sayNow() {
    log("<time>");
    LocalTime t = clock_.now();
    recorded_.sayTime(t.hour, t.minute, speakInFull_);
}

void VoicedSpeech::sayToday() {
    log("<date>");
    LocalTime t = clock_.now();
    recorded_.sayDate(t.day, t.month, t.year);
}

void VoicedSpeech::sayTime(int hours, int minutes, bool inFull) {
    log(timeLine(hours, minutes));
    recorded_.sayTime(hours, minutes, inFull);
}

void VoicedSpeech::playTones(std::string_view text) {
    log("tones " + std::string(text));
    recorded_.playTones(text);
}

void VoicedSpeech::playModeTone(int hertz) {
    log("tone " + std::to_string(hertz));
    // A tone still playing is stopped first; each lasts 200 ms.
    player_.stopPlayer();
    playAndWait(modeToneSamples(hertz));
}

void VoicedSpeech::restartSpeech(int speed) {
    log("<speed " + std::to_string(speed) + ">");
    shutdownSpeech();
    // The data were there at start; should they have gone, the voice goes on as it can.
    startSpeech(speed, interpreterFolder_);
}

void VoicedSpeech::configureSpeech(const SpeechConfig& config) {
    log(configLine(config));
    stopSpeech();
    closeEngine();
    useParameters(config.speed >= 1 && config.speed <= 5 ? config.speed : 3);
    if (config.mode == 1) {
        int voice = config.voice != 0 ? config.voice : number(settings_.readSetting("SERVFALA", "VOZ"), 0);
        openEngine(config.type, voice, config.engineSpeed, config.pitch);
    }
}

}  // namespace parlendo
