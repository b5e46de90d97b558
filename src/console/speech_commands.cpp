// Speech commands: FALAHORA says a time of day; SINTCONFIG chooses the voice.
#include "console/settings_file.h"
#include "console/speech_front.h"
#include "interp/argument_reader.h"
#include "interp/commands.h"
#include "interp/interpreter.h"
#include "text/cp1252.h"

namespace parlendo {

// FALAHORA "09:05": hours and minutes of five characters with the colon third.
bool cmdFalaHora(Interpreter& in, std::string_view args, int) {
    std::string value;
    if (!readValue(in, args, value)) return false;
    if (value.size() != 5 || value[2] != ':') return false;
    std::optional<int32_t> hours = toInteger(std::string_view(value).substr(0, 2));
    std::optional<int32_t> minutes = toInteger(std::string_view(value).substr(3, 2));
    // Negative values are no time of day.
    if (!hours || !minutes || *hours < 0 || *minutes < 0) return false;
    in.services.speech.sayTime(*hours, *minutes, in.speakInFull);
    in.services.speech.waitSpeech();
    return true;
}

// SINTCONFIG modo velocidade tipo voz velocidadeVoz tom: -1 takes the value of the settings;
// modo 2 takes the SAPI setting (first letter S: an engine).
bool cmdSintConfig(Interpreter& in, std::string_view args, int) {
    int32_t v[6];
    for (int32_t& value : v) {
        std::optional<int32_t> read = readInteger(in, args, true);
        if (!read) return false;
        value = *read;
    }
    if (!text::trim(args).empty()) return false;
    if (v[0] < 0 || v[0] > 2) return false;
    SettingsFile& settings = in.services.settings;
    auto setting = [&](const char* section, const char* key) {
        std::optional<int32_t> n = toInteger(text::trim(settings.readSetting(section, key)));
        return n ? *n : 0;
    };
    SpeechConfig c;
    if (v[0] == 2) {
        std::string sapi = settings.readSetting("TRADUTOR", "SAPI");
        c.mode = !sapi.empty() && text::upperChar(sapi[0]) == 'S' ? 1 : 0;
    } else {
        c.mode = v[0];
    }
    c.speed = v[1] == -1 ? setting("TRADUTOR", "VELOCIDADE") : v[1];
    c.type = v[2] == -1 ? setting("SERVFALA", "TIPOSAPI") : v[2];
    c.voice = v[3] == -1 ? setting("SERVFALA", "VOZ") : v[3];
    c.engineSpeed = v[4] == -1 ? setting("SERVFALA", "VELOCIDADE") : v[4];
    c.pitch = v[5] == -1 ? setting("SERVFALA", "TOM") : v[5];
    in.services.speech.configureSpeech(c);
    return true;
}

}  // namespace parlendo
