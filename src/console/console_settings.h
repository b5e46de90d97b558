// The console's settings: colours, font, scrolling, window placement, the braille keyboard mode
// and the magnified line, read once when the console is created.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace parlendo {

class ConsoleGrid;
class SettingsFile;

inline constexpr std::array<int, 16> kIdentityColourMap = {0, 1, 2,  3,  4,  5,  6,  7,
                                                           8, 9, 10, 11, 12, 13, 14, 15};

// What the settings say of the console. The grid takes the colours and the magnified line; the
// rest is kept here for the renderers: the window renderer builds its font from the font fields
// and shows itself maximised or not, the terminal renderer may honour fast scrolling, and the
// braille keyboard starts in brailleMode.
struct ConsoleSettings {
    // Section VIDEO, read unresolved.
    std::array<int, 16> colourMap = kIdentityColourMap;  // TABCORES; entries outside 0-15 draw black
    bool fixedColours = false;                           // CORESFIXAS
    bool fastScroll = false;                             // LENTO
    int background = 0;                                  // CORFUNDO
    int foreground = 15;                                 // CORLETRA
    // FONTE, LARGURALETRA, ALTURALETRA, PESOLETRA: each is read only while it is still unset,
    // so a value set earlier in the process wins. A width or height left unset after reading is
    // worked out by the window renderer from the work area (13 pixels wide per 1024 of work-area
    // width, 28 high per 734 of its height).
    std::optional<std::string> fontFace;
    std::optional<int> fontWidth;
    std::optional<int> fontHeight;
    std::optional<int> fontWeight;
    bool maximised = false;  // CANTOTELA not beginning with S
    // Section BRAILLE, key MODO, read unresolved: 0 off, 1 or 2.
    int brailleMode = 0;
    // Section BAIXAVISAO, read resolved: the magnified line.
    int magnification = 0;  // AMPLIACAO, 0 = off, 1-10
    int magnifiedLetter = 14;
    int magnifiedBackground = 6;
    int magnifiedCursor = 3;

    uint8_t initialAttribute() const { return static_cast<uint8_t>(background * 16 + foreground); }
};

// Reads every console setting into `s`. Font fields already set are left alone.
void readConsoleSettings(SettingsFile& settings, ConsoleSettings& s);

// Gives the grid its colour map, fixed-colour mode, current attribute and magnified line. The
// attribute is the one cleared cells take, so this comes before the first clear.
void applyConsoleSettings(const ConsoleSettings& s, ConsoleGrid& console);

// Both of the above: what creating the console does with its settings.
void createConsole(SettingsFile& settings, ConsoleGrid& console, ConsoleSettings& s);

// The parsing of setting values, exposed for tests and the fuzz target.
namespace console_settings {
// A decimal integer, optionally signed, blanks around it allowed; nothing when it is not one or
// does not fit in 32 bits.
std::optional<int> parseDecimal(std::string_view text);
// TABCORES: entries are taken in order into the identity map until 16 are read, a comma is
// missing or an entry is not a number; the entries read so far stay.
std::array<int, 16> parseColourMap(std::string_view text);
// "S" or "s" as the first letter (after leading blanks): the yes of the settings file.
bool saysYes(std::string_view text);
// MODO: the low two bits of the first character's code; 3 acts as 1. An empty value is "0".
int parseBrailleMode(std::string_view text);
// A colour index 0-15, or the default when the text is not a number or out of range.
int parseColour(std::string_view text, int defaultIndex);
// AMPLIACAO: empty is 0 (off); not a number or outside 0-10 is 3.
int parseMagnification(std::string_view text);
}  // namespace console_settings

}  // namespace parlendo
