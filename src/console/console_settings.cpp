// Reading the console's settings and handing them to the grid.
#include "console/console_settings.h"

#include <cstdint>

#include "console/console_grid.h"
#include "console/settings_file.h"
#include "text/cp1252.h"

namespace parlendo {

namespace console_settings {

std::optional<int> parseDecimal(std::string_view text) {
    text = text::trim(text);
    bool negative = false;
    if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    if (text.empty()) return std::nullopt;
    int64_t value = 0;
    for (char c : text) {
        if (!text::isDigit(c)) return std::nullopt;
        value = value * 10 + (c - '0');
        if (value > int64_t{INT32_MAX} + 1) return std::nullopt;
    }
    if (negative) value = -value;
    if (value > INT32_MAX || value < INT32_MIN) return std::nullopt;
    return static_cast<int>(value);
}

std::array<int, 16> parseColourMap(std::string_view text) {
    std::array<int, 16> map = kIdentityColourMap;
    for (size_t i = 0; i < map.size(); ++i) {
        size_t comma = text.find(',');
        std::optional<int> entry = parseDecimal(text.substr(0, comma));
        if (!entry) break;
        map[i] = *entry;
        if (comma == std::string_view::npos) break;
        text.remove_prefix(comma + 1);
    }
    return map;
}

bool saysYes(std::string_view text) {
    text = text::trim(text);
    return !text.empty() && text::upperChar(text[0]) == 'S';
}

int parseBrailleMode(std::string_view text) {
    text = text::trim(text);
    int mode = text.empty() ? 0 : static_cast<unsigned char>(text[0]) & 3;
    return mode == 3 ? 1 : mode;
}

int parseColour(std::string_view text, int defaultIndex) {
    std::optional<int> v = parseDecimal(text);
    return v && *v >= 0 && *v <= 15 ? *v : defaultIndex;
}

int parseMagnification(std::string_view text) {
    if (text::trim(text).empty()) return 0;
    std::optional<int> v = parseDecimal(text);
    return v && *v >= 0 && *v <= 10 ? *v : 3;
}

}  // namespace console_settings

namespace {

// A size in pixels: only a positive number counts; anything else leaves the size to be worked
// out from the screen.
std::optional<int> positive(std::string_view text) {
    std::optional<int> v = console_settings::parseDecimal(text);
    if (v && *v > 0) return v;
    return std::nullopt;
}

}  // namespace

void readConsoleSettings(SettingsFile& settings, ConsoleSettings& s) {
    using namespace console_settings;
    auto video = [&](std::string_view key) { return settings.readRaw("VIDEO", key); };

    s.colourMap = parseColourMap(video("TABCORES"));
    s.fixedColours = saysYes(video("CORESFIXAS"));
    s.fastScroll = saysYes(video("LENTO"));
    s.background = parseColour(video("CORFUNDO"), 0);
    s.foreground = parseColour(video("CORLETRA"), 15);
    if (!s.fontFace) {
        std::string face = video("FONTE");
        s.fontFace = face.empty() ? "Lucida Console" : face;
    }
    if (!s.fontWidth) s.fontWidth = positive(video("LARGURALETRA"));
    if (!s.fontHeight) s.fontHeight = positive(video("ALTURALETRA"));
    if (!s.fontWeight) {
        std::optional<int> weight = parseDecimal(video("PESOLETRA"));
        s.fontWeight = weight && *weight >= 0 && *weight <= 1000 ? *weight : 700;
    }
    std::string corner = video("CANTOTELA");
    s.maximised = !corner.empty() && !saysYes(corner);
    s.brailleMode = parseBrailleMode(settings.readRaw("BRAILLE", "MODO"));

    s.magnification = parseMagnification(settings.readSetting("BAIXAVISAO", "AMPLIACAO"));
    s.magnifiedLetter = parseColour(settings.readSetting("BAIXAVISAO", "CORLETRA"), 14);
    s.magnifiedBackground = parseColour(settings.readSetting("BAIXAVISAO", "CORFUNDO"), 6);
    s.magnifiedCursor = parseColour(settings.readSetting("BAIXAVISAO", "CORCURSOR"), 3);
}

void applyConsoleSettings(const ConsoleSettings& s, ConsoleGrid& console) {
    console.setColourMap(s.colourMap);
    console.setFixedColours(s.fixedColours);
    console.setAttribute(s.initialAttribute());
    console.setMagnification(s.magnification, s.magnifiedLetter, s.magnifiedBackground, s.magnifiedCursor);
}

void createConsole(SettingsFile& settings, ConsoleGrid& console, ConsoleSettings& s) {
    readConsoleSettings(settings, s);
    applyConsoleSettings(s, console);
}

}  // namespace parlendo
