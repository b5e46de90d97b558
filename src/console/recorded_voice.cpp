// The recorded voice: file names of the recordings, numbers in words, time, date and tones.
#include "console/recorded_voice.h"

#include <algorithm>
#include <array>
#include <vector>

#include "console/key_queue.h"
#include "platform/file_system.h"
#include "text/cp1252.h"
#include "text/cp1252_literal.h"
#include "tts/wave_player.h"

namespace parlendo {

namespace {

constexpr std::array<const char*, 10> kUnits = {"zero",  "um",   "dois", "três"_cp, "quatro",
                                                "cinco", "seis", "sete", "oito",    "nove"};
constexpr std::array<const char*, 10> kTeens = {"dez",    "onze",      "doze",      "treze",   "quatorze",
                                                "quinze", "dezesseis", "dezessete", "dezoito", "dezenove"};
constexpr std::array<const char*, 10> kTens = {
    "", "", "vinte", "trinta", "quarenta", "cinqüenta"_cp, "sessenta", "setenta", "oitenta", "noventa"};
constexpr std::array<const char*, 10> kHundreds = {
    "",           "cento",      "duzentos",   "trezentos",  "quatrocentos",
    "quinhentos", "seiscentos", "setecentos", "oitocentos", "novecentos"};
constexpr std::array<const char*, 4> kScaleOne = {"trilhão "_cp, "bilhão "_cp, "milhão "_cp, "mil "};
constexpr std::array<const char*, 4> kScaleMany = {"trilhões "_cp, "bilhões "_cp, "milhões "_cp, "mil "};

constexpr std::array<const char*, 7> kWeekdays = {"Domingo", "Segunda", "Terca", "Quarta",
                                                  "Quinta",  "Sexta",   "Sabado"};
constexpr std::array<const char*, 12> kMonths = {"Janeiro",  "Fevereiro", "Marco",    "Abril",
                                                 "Maio",     "Junho",     "Julho",    "Agosto",
                                                 "Setembro", "Outubro",   "Novembro", "Dezembro"};

// Recordings are small; a file larger than this is not a recording of one word.
constexpr uint64_t kLargestRecording = 8u << 20;

// The words of one group of three digits.
std::string groupWords(const char* d) {
    int h = d[0] - '0', t = d[1] - '0', u = d[2] - '0';
    if (h == 0 && t == 0 && u == 0) return "";
    if (h == 1 && t == 0 && u == 0) return "cem";
    std::string w;
    if (h != 0) {
        w += kHundreds[h];
        if (t == 0 && u == 0) return w;
        w += " e ";
    }
    if (t == 1) return w + kTeens[u];
    if (t != 0) {
        w += kTens[t];
        if (u == 0) return w;
        w += " e ";
    }
    if (u != 0) w += kUnits[u];
    return w;
}

uint32_t le32(std::string_view b, size_t at) {
    return static_cast<uint32_t>(static_cast<uint8_t>(b[at])) |
           static_cast<uint32_t>(static_cast<uint8_t>(b[at + 1])) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(b[at + 2])) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(b[at + 3])) << 24;
}

uint16_t le16(std::string_view b, size_t at) {
    return static_cast<uint16_t>(static_cast<uint8_t>(b[at]) | static_cast<uint8_t>(b[at + 1]) << 8);
}

std::optional<std::string> readWholeFile(const std::string& name) {
    SysError error = 0;
    FileHandle f = FileHandle::open(name, FileHandle::Mode::Read, error);
    if (!f.isOpen()) return std::nullopt;
    std::optional<uint64_t> size = f.size(error);
    if (!size || *size > kLargestRecording) return std::nullopt;
    std::string bytes(static_cast<size_t>(*size), '\0');
    size_t got = 0;
    while (got < bytes.size()) {
        IoResult r = f.read(bytes.data() + got, bytes.size() - got);
        if (r.error != 0 || r.count == 0) break;
        got += r.count;
    }
    bytes.resize(got);
    return bytes;
}

}  // namespace

std::string numberToWords(int64_t n) {
    if (n <= 0) return "zero";
    std::string digits = std::to_string(n);
    if (digits.size() > 15) return "zero";
    digits.insert(0, 15 - digits.size(), '0');
    std::array<std::string, 5> groups;
    int last = -1;
    for (int g = 0; g < 5; ++g) {
        groups[g] = groupWords(digits.c_str() + 3 * g);
        if (groups[g].empty()) continue;
        if (g < 4)
            groups[g] +=
                std::string(" ") + (digits.compare(3 * g, 3, "001") == 0 ? kScaleOne[g] : kScaleMany[g]);
        last = g;
    }
    std::string out;
    for (int g = 0; g < last; ++g) out += groups[g];
    if (!out.empty()) out += "e ";
    out += groups[last];
    if (out.rfind("um mil", 0) == 0 && out.rfind("um milh", 0) != 0) out.erase(0, 3);
    return out;
}

std::optional<std::string> wavSamples8BitMono(std::string_view b) {
    if (b.size() < 12 || b.substr(0, 4) != "RIFF" || b.substr(8, 4) != "WAVE") return std::nullopt;
    int channels = 0, bits = 0, tag = 0;
    size_t at = 12;
    while (at + 8 <= b.size()) {
        std::string_view id = b.substr(at, 4);
        uint64_t size = le32(b, at + 4);
        size_t body = at + 8;
        if (id == "fmt " && size >= 16 && body + 16 <= b.size()) {
            tag = le16(b, body);
            channels = le16(b, body + 2);
            bits = le16(b, body + 14);
        } else if (id == "data") {
            if (tag != 1 || channels < 1 || (bits != 8 && bits != 16)) return std::nullopt;
            std::string_view data =
                b.substr(body, static_cast<size_t>(std::min<uint64_t>(size, b.size() - body)));
            size_t frame = static_cast<size_t>(channels) * static_cast<size_t>(bits / 8);
            std::string out;
            out.reserve(data.size() / frame);
            for (size_t i = 0; i + frame <= data.size(); i += frame) {
                if (bits == 8)
                    out += data[i];
                else
                    out += static_cast<char>(static_cast<uint8_t>(data[i + 1]) ^ 0x80);
            }
            return out;
        }
        at = static_cast<size_t>(std::min<uint64_t>(b.size(), body + size + (size & 1)));
    }
    return std::nullopt;
}

int weekdayOf(int day, int month, int year) {
    static constexpr int kOffsets[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
    if (month < 1 || month > 12) return 0;
    if (month < 3) year -= 1;
    int w = (year + year / 4 - year / 100 + year / 400 + kOffsets[month - 1] + day) % 7;
    return w < 0 ? w + 7 : w;
}

RecordedVoice::RecordedVoice(WavePlayer& player, KeyQueue& keys, std::function<void(int)> sleep)
    : player_(player), keys_(keys), sleep_(std::move(sleep)) {}

std::string RecordedVoice::characterFile(uint8_t code) const {
    std::string name = folders_.characters + "_" + std::to_string(code) + ".wav";
    if (pathExists(name)) return name;
    return folders_.characters + "_unknown.wav";
}

std::string RecordedVoice::wordFile(std::string_view name) const {
    const std::string& folder = !name.empty() && name[0] == '_' ? folders_.letters : folders_.words;
    return folder + std::string(name) + ".wav";
}

std::string RecordedVoice::numberWordFile(std::string_view word) const {
    std::string name = "_" + std::string(word);
    for (char& c : name) {
        if (c == '\xE3')
            c = 'a';  // a with tilde
        else if (c == '\xF5')
            c = 'o';  // o with tilde
    }
    if (size_t at = name.find("dezessete"); at != std::string::npos) name.replace(at, 9, "dezeset");
    return folders_.characters + name.substr(0, 8) + ".wav";
}

std::string RecordedVoice::toneFile(char c) const {
    return folders_.characters + "dtmf_" + (c == '*' ? 'X' : c) + ".wav";
}

void RecordedVoice::playCharacter(uint8_t code) {
    beforePlay();
    if ((code >= 1 && code <= 11) || (code >= 13 && code <= 31)) return;
    player_.playWavFile(characterFile(code));
}

void RecordedVoice::playWord(std::string_view name) {
    beforePlay();
    player_.playWavFile(wordFile(name));
}

bool RecordedVoice::wordExists(std::string_view name) const { return pathExists(wordFile(name)); }

void RecordedVoice::spell(std::string_view text) {
    for (char c : text) {
        if (keys_.keyPressed()) return;
        if (c == '\t')
            playWord("_FON9");
        else
            playCharacter(static_cast<uint8_t>(c));
    }
}

void RecordedVoice::waitIdle() {
    while (player_.playerBusy()) {
        if (keys_.keyPressed()) {
            player_.stopPlayer();
            return;
        }
        sleep_(10);
    }
}

void RecordedVoice::playBuffer(const std::string& samples) {
    if (samples.empty()) return;
    player_.playPcm(reinterpret_cast<const uint8_t*>(samples.data()), samples.size(), kRate, 1, 8);
    waitIdle();
}

void RecordedVoice::sayNumberWords(std::string_view words, bool feminine) {
    std::vector<std::string_view> list;
    size_t start = 0;
    while (start < words.size()) {
        size_t end = words.find(' ', start);
        if (end == std::string_view::npos) end = words.size();
        if (end > start) list.push_back(words.substr(start, end - start));
        start = end + 1;
    }
    std::string buffer;
    buffer.reserve(kNumberBuffer);
    for (size_t i = 0; i < list.size(); ++i) {
        std::string word(list[i]);
        if (feminine && i + 1 == list.size()) {
            if (word == "um")
                word = "uma";
            else if (word == "dois")
                word = "duas";
        }
        std::optional<std::string> image = readWholeFile(numberWordFile(word));
        if (!image) continue;
        std::optional<std::string> samples = wavSamples8BitMono(*image);
        if (!samples) continue;
        // A recording longer than the buffer goes out in buffer-sized pieces.
        std::string_view rest = *samples;
        while (!rest.empty()) {
            if (buffer.size() + rest.size() > kNumberBuffer) {
                size_t room = kNumberBuffer - buffer.size();
                if (room < rest.size() && !buffer.empty() && rest.size() <= kNumberBuffer) room = 0;
                buffer.append(rest.substr(0, room));
                rest.remove_prefix(room);
                playBuffer(buffer);
                buffer.clear();
                if (keys_.keyPressed()) return;
            } else {
                buffer.append(rest);
                rest = {};
            }
        }
    }
    playBuffer(buffer);
}

void RecordedVoice::sayTime(int hours, int minutes, bool inFull) {
    sayNumberWords(numberToWords(hours), true);
    if (!inFull && minutes != 0)
        playWord("_EHORA");
    else
        playWord(hours == 0 || hours == 1 ? "_hora" : "_horas");
    if (minutes != 0) {
        sayNumberWords(numberToWords(minutes), false);
        if (inFull) playWord(minutes == 1 ? "_minuto" : "_minutos");
    }
}

void RecordedVoice::sayDate(int day, int month, int year) {
    playWord(std::string("_") + kWeekdays[weekdayOf(day, month, year)]);
    if (day == 1)
        playWord("_primeir");
    else
        sayNumberWords(numberToWords(day), false);
    playWord("_de");
    if (month >= 1 && month <= 12) playWord("_" + std::string(kMonths[month - 1]).substr(0, 7));
    playWord("_de");
    sayNumberWords(numberToWords(year), false);
}

// Waits in 50 ms steps, so that a key pressed during a long pause is answered at once.
void RecordedVoice::pause(int milliseconds) {
    for (int waited = 0; waited < milliseconds && !keys_.keyPressed(); waited += 50)
        sleep_(std::min(50, milliseconds - waited));
}

void RecordedVoice::playTones(std::string_view text) {
    bool fast = player_.fastPlayback;
    player_.fastPlayback = false;
    for (char raw : text) {
        if (keys_.keyPressed()) break;
        char c = text::upperChar(raw);
        if (c == '#' || c == '*' || (c >= '0' && c <= '9')) {
            player_.playWavFile(toneFile(c));
            waitIdle();
            pause(100);
        } else if (c == ',') {
            pause(1000);
        }
    }
    player_.fastPlayback = fast;
}

}  // namespace parlendo
