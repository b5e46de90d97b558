// Writes the recordings of the built-in voice into a folder: one file per character code with a
// spoken name, every number word, the named words of the console, weekdays, months and telephone
// tones. Words are spoken by espeak-ng's Brazilian Portuguese voice; the sound is made 8-bit
// unsigned mono at 11025 Hz with the silence around it trimmed. The same input gives the same
// bytes on every run.
//
//   make_voice_data FOLDER
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "espeak_capture.h"
#include "tts/tones.h"
#include "tts/wave_player.h"

namespace {

namespace voicegen = parlendo::voicegen;
namespace fs = std::filesystem;

// Names of the Windows-1252 characters that have one (UTF-8); letters of both cases share a name.
const std::pair<int, const char*> kCharacterNames[] = {
    {32, "espaço"},
    {33, "exclamação"},
    {34, "aspas"},
    {35, "sustenido"},
    {36, "cifrão"},
    {37, "por cento"},
    {38, "e comercial"},
    {39, "apóstrofo"},
    {40, "abre parênteses"},
    {41, "fecha parênteses"},
    {42, "asterisco"},
    {43, "mais"},
    {44, "vírgula"},
    {45, "hífen"},
    {46, "ponto"},
    {47, "barra"},
    {48, "zero"},
    {49, "um"},
    {50, "dois"},
    {51, "três"},
    {52, "quatro"},
    {53, "cinco"},
    {54, "seis"},
    {55, "sete"},
    {56, "oito"},
    {57, "nove"},
    {58, "dois pontos"},
    {59, "ponto e vírgula"},
    {60, "menor que"},
    {61, "igual"},
    {62, "maior que"},
    {63, "interrogação"},
    {64, "arroba"},
    {91, "abre colchetes"},
    {92, "barra invertida"},
    {93, "fecha colchetes"},
    {94, "circunflexo"},
    {95, "sublinhado"},
    {96, "crase"},
    {123, "abre chaves"},
    {124, "barra vertical"},
    {125, "fecha chaves"},
    {126, "til"},
    {128, "euro"},
    {130, "vírgula baixa"},
    {131, "florim"},
    {132, "aspas baixas"},
    {133, "reticências"},
    {134, "adaga"},
    {135, "adaga dupla"},
    {136, "acento circunflexo"},
    {137, "por mil"},
    {138, "ésse com caron"},
    {139, "aspa angular esquerda"},
    {140, "ó e ligados"},
    {142, "zê com caron"},
    {145, "aspa simples esquerda"},
    {146, "aspa simples direita"},
    {147, "abre aspas"},
    {148, "fecha aspas"},
    {149, "marcador"},
    {150, "meia risca"},
    {151, "travessão"},
    {152, "til pequeno"},
    {153, "marca comercial"},
    {154, "ésse com caron"},
    {155, "aspa angular direita"},
    {156, "ó e ligados"},
    {158, "zê com caron"},
    {159, "ípsilon trema"},
    {160, "espaço fixo"},
    {161, "exclamação invertida"},
    {162, "centavo"},
    {163, "libra"},
    {164, "moeda"},
    {165, "iene"},
    {166, "barra interrompida"},
    {167, "parágrafo"},
    {168, "trema"},
    {169, "direitos autorais"},
    {170, "ordinal feminino"},
    {171, "abre aspas angulares"},
    {172, "negação"},
    {173, "hífen opcional"},
    {174, "marca registrada"},
    {175, "mácron"},
    {176, "grau"},
    {177, "mais ou menos"},
    {178, "dois elevado"},
    {179, "três elevado"},
    {180, "acento agudo"},
    {181, "micro"},
    {182, "fim de parágrafo"},
    {183, "ponto médio"},
    {184, "cedilha"},
    {185, "um elevado"},
    {186, "ordinal masculino"},
    {187, "fecha aspas angulares"},
    {188, "um quarto"},
    {189, "um meio"},
    {190, "três quartos"},
    {191, "interrogação invertida"},
    {192, "á crase"},
    {193, "á agudo"},
    {194, "á circunflexo"},
    {195, "á til"},
    {196, "á trema"},
    {197, "á com anel"},
    {198, "á e ligados"},
    {199, "cê cedilha"},
    {200, "é crase"},
    {201, "é agudo"},
    {202, "ê circunflexo"},
    {203, "é trema"},
    {204, "í crase"},
    {205, "í agudo"},
    {206, "í circunflexo"},
    {207, "í trema"},
    {208, "dê cortado"},
    {209, "êne til"},
    {210, "ó crase"},
    {211, "ó agudo"},
    {212, "ô circunflexo"},
    {213, "ó til"},
    {214, "ó trema"},
    {215, "vezes"},
    {216, "ó cortado"},
    {217, "u crase"},
    {218, "u agudo"},
    {219, "u circunflexo"},
    {220, "u trema"},
    {221, "ípsilon agudo"},
    {222, "tórn"},
    {223, "ésse alemão"},
    {247, "dividido por"},
    {255, "ípsilon trema"},
};

const char* const kLetterNames[26] = {"á",    "bê", "cê",  "dê",  "é",      "éfe", "gê",      "agá", "í",
                                      "jóta", "cá", "éle", "ême", "êne",    "ó",   "pê",      "quê", "érre",
                                      "ésse", "tê", "u",   "vê",  "dáblio", "xis", "ípsilon", "zê"};

// The phonetic names, for telling letters apart that sound alike.
const char* const kPhoneticNames[26] = {
    "á de amor",       "bê de bola",   "cê de casa",  "dê de dado",     "é de elefante", "éfe de faca",
    "gê de gato",      "agá de hotel", "í de igreja", "jóta de janela", "cá de quilo",   "éle de lua",
    "ême de mala",     "êne de navio", "ó de ovo",    "pê de pato",     "quê de queijo", "érre de rato",
    "ésse de sapo",    "tê de tatu",   "u de uva",    "vê de vaca",     "dáblio de web", "xis de xícara",
    "ípsilon de yoga", "zê de zebra"};

// The words numbers are said with, as the number tables write them.
const char* const kNumberWords[] = {
    "zero",       "um",           "dois",       "três",       "quatro",     "cinco",
    "seis",       "sete",         "oito",       "nove",       "dez",        "onze",
    "doze",       "treze",        "quatorze",   "quinze",     "dezesseis",  "dezessete",
    "dezoito",    "dezenove",     "vinte",      "trinta",     "quarenta",   "cinqüenta",
    "sessenta",   "setenta",      "oitenta",    "noventa",    "cento",      "duzentos",
    "trezentos",  "quatrocentos", "quinhentos", "seiscentos", "setecentos", "oitocentos",
    "novecentos", "cem",          "trilhão",    "bilhão",     "milhão",     "mil",
    "trilhões",   "bilhões",      "milhões",    "e",          "uma",        "duas"};

// Named words: file name and what is said.
const std::pair<const char*, const char*> kNamedWords[] = {
    {"_zero", "zero"},
    {"_MENOS", "menos"},
    {"_FON9", "tabulação"},
    {"_DEL", "apagado"},
    {"_APFCPO", "apagado até o fim do campo"},
    {"_APICPO", "apagado até o início do campo"},
    {"_CPOAPA", "campo apagado"},
    {"_FALACI", "fala ligada"},
    {"_FALDLG", "fala desligada"},
    {"_VELOC", "velocidade"},
    {"_primeir", "primeiro"},
    {"_de", "de"},
    {"_hora", "hora"},
    {"_horas", "horas"},
    {"_EHORA", "i"},  // the joiner "e", said as it sounds between numbers
    {"_minuto", "minuto"},
    {"_minutos", "minutos"},
    {"_SEMBAT", "sem bateria"},
    {"_SEMENER", "sem energia"},
    {"_unknown", "desconhecido"},
};

const std::pair<const char*, const char*> kWeekdays[] = {
    {"Domingo", "domingo"},     {"Segunda", "segunda-feira"}, {"Terca", "terça-feira"},
    {"Quarta", "quarta-feira"}, {"Quinta", "quinta-feira"},   {"Sexta", "sexta-feira"},
    {"Sabado", "sábado"}};

const std::pair<const char*, const char*> kMonths[] = {
    {"Janeiro", "janeiro"},   {"Fevereiro", "fevereiro"}, {"Marco", "março"},       {"Abril", "abril"},
    {"Maio", "maio"},         {"Junho", "junho"},         {"Julho", "julho"},       {"Agosto", "agosto"},
    {"Setembro", "setembro"}, {"Outubro", "outubro"},     {"Novembro", "novembro"}, {"Dezembro", "dezembro"}};

// UTF-8 to code points and back: file names are cut by characters, as the program cuts its
// single-byte names.
std::u32string decode(const std::string& s) {
    std::u32string out;
    for (size_t i = 0; i < s.size();) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
        char32_t cp = extra == 0 ? c : c & (0x3F >> extra);
        for (int k = 1; k <= extra && i + k < s.size(); ++k) cp = cp << 6 | (s[i + k] & 0x3F);
        out += cp;
        i += 1 + extra;
    }
    return out;
}

std::string encode(const std::u32string& s) {
    std::string out;
    for (char32_t c : s) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | c >> 6);
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | c >> 12);
            out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

// A number word's file name: "_" + the word with ã and õ plain, "dezessete" as "dezeset", cut to
// eight characters.
std::string numberFileName(const std::string& word) {
    std::u32string w = decode("_" + (word == "dezessete" ? std::string("dezeset") : word));
    for (char32_t& c : w) {
        if (c == U'ã') c = U'a';
        if (c == U'õ') c = U'o';
    }
    if (w.size() > 8) w.resize(8);
    return encode(w);
}

// The spoken text at the voice's rate, trimmed of leading and trailing silence, resampled to
// 11025 Hz, scaled to a common loudness and made 8-bit unsigned.
std::vector<uint8_t> speakWords(const std::string& words, int sourceRate) {
    const std::vector<short> in = voicegen::speak(words, false).samples;
    size_t first = 0;
    size_t last = in.size();
    if (!voicegen::findSound(in, first, last, 30)) return {};
    const size_t margin = static_cast<size_t>(sourceRate / 100);  // 10 ms each side
    first = first > margin ? first - margin : 0;
    last = std::min(in.size(), last + margin);
    std::vector<double> out = voicegen::resampleToVoiceRate(in, first, last, sourceRate);
    return voicegen::toUnsigned8(out, 110.0 / std::max(1.0, voicegen::peakOf(out)));
}

bool writeWav(const fs::path& folder, const std::string& name, const std::vector<uint8_t>& pcm) {
    return voicegen::writeWav((folder / (name + ".wav")).string(), pcm, "make_voice_data");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_voice_data FOLDER\n");
        return 2;
    }
    fs::path folder = argv[1];
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (!fs::is_directory(folder)) {
        std::fprintf(stderr, "make_voice_data: cannot make %s\n", argv[1]);
        return 1;
    }
    int rate = voicegen::startEspeak("make_voice_data", false);
    if (rate <= 0) return 1;

    std::vector<std::pair<std::string, std::string>> spoken;  // file name, words
    for (const auto& [code, name] : kCharacterNames) spoken.emplace_back("_" + std::to_string(code), name);
    for (int i = 0; i < 26; ++i) {
        spoken.emplace_back("_" + std::to_string('A' + i), kLetterNames[i]);
        spoken.emplace_back("_" + std::to_string('a' + i), kLetterNames[i]);
        spoken.emplace_back("_FON" + std::to_string('A' + i), kPhoneticNames[i]);
        spoken.emplace_back("_FON" + std::to_string('a' + i), kPhoneticNames[i]);
    }
    // Accented letters of both cases: the lower-case ones share the upper-case names.
    for (const auto& [code, name] : kCharacterNames)
        if (code >= 192 && code <= 222 && code != 215)
            spoken.emplace_back("_" + std::to_string(code + 32), name);
    spoken.emplace_back("_FON199", "cê cedilha");
    spoken.emplace_back("_FON231", "cê cedilha");
    // The joiner "e" alone would be said as the verb "é"; spelt as it sounds instead.
    for (const char* word : kNumberWords)
        spoken.emplace_back(numberFileName(word), std::string(word) == "e" ? "i" : word);
    for (const auto& [file, words] : kNamedWords) spoken.emplace_back(file, words);
    for (const auto& [file, words] : kWeekdays) spoken.emplace_back(std::string("_") + file, words);
    for (const auto& [file, words] : kMonths)
        spoken.emplace_back(("_" + std::string(file)).substr(0, 8), words);

    int failures = 0;
    for (const auto& [file, words] : spoken) {
        std::vector<uint8_t> pcm = speakWords(words, rate);
        if (pcm.empty()) {
            std::fprintf(stderr, "make_voice_data: no sound for \"%s\"\n", words.c_str());
            ++failures;
            continue;
        }
        if (!writeWav(folder, file, pcm)) ++failures;
    }
    for (char key : std::string("0123456789#*")) {
        int low = 0;
        int high = 0;
        parlendo::telephoneTone(key, low, high);
        std::string name = std::string("dtmf_") + (key == '*' ? 'X' : key);
        if (!writeWav(folder, name, parlendo::dualToneSamples(low, high, 150))) ++failures;
    }
    voicegen::stopEspeak();
    if (failures > 0) return 1;
    std::printf("make_voice_data: %zu recordings and 12 telephone tones in %s\n", spoken.size(), argv[1]);
    return 0;
}
