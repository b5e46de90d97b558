// Console commands: writing, speaking, beeping, reading keys and lines, the screen and colours.
#include <optional>

#include "commands/files.h"
#include "commands/processes.h"
#include "console/console_grid.h"
#include "console/key_queue.h"
#include "console/line_editor.h"
#include "console/settings_file.h"
#include "console/speech_front.h"
#include "interp/argument_reader.h"
#include "interp/commands.h"
#include "interp/interpreter.h"
#include "text/cp1252.h"
#include "text/cp1252_literal.h"

namespace parlendo {

namespace {

constexpr std::string_view kFileError = "Erro no processamento de arquivo";

using text::takeUpperPrefix;

// Reads one key and gives its key text: "#13", "#0#59", "a", or with the flags of Shift, Ctrl
// and Alt held when the key was typed, "000#13".
std::optional<std::string> readKeyText(Interpreter& in, bool echo, bool withFlags) {
    std::optional<uint8_t> b = in.services.keys.readKey();
    if (!b) return std::nullopt;
    if (echo) {
        in.services.speech.stopSpeech();
        if (*b == 0 || *b == 12 || *b >= 32) in.services.speech.playChar(*b);
    }
    Modifiers held = in.services.keys.modifiers();
    std::string flags;
    if (withFlags) {
        flags += held.shift ? '1' : '0';
        flags += held.ctrl ? '1' : '0';
        flags += held.alt ? '1' : '0';
    }
    if (*b == 0) {
        std::optional<uint8_t> code = in.services.keys.readKey();
        if (!code) return std::nullopt;
        return flags + "#0#" + std::to_string(*code);
    }
    if (*b < 32 || withFlags) return flags + "#" + std::to_string(*b);
    return std::string(1, static_cast<char>(*b));
}

// The position of a word standing alone (between blanks or the ends), so that a variable
// such as $tecla is not taken for the option.
size_t findWord(const std::string& upper, std::string_view word) {
    for (size_t at = upper.find(word); at != std::string::npos; at = upper.find(word, at + 1)) {
        bool before = at == 0 || upper[at - 1] == ' ';
        size_t end = at + word.size();
        bool after = end == upper.size() || upper[end] == ' ' || upper[end] == '&';
        if (before && after) return at;
    }
    return std::string::npos;
}

// LE MOUSE [TELA] x y, or RATO: where the pointer was at the last mouse report. The position
// is kept from the window's origin; a terminal's window starts at the screen's origin, so the
// screen position of TELA is the same.
bool readPointer(Interpreter& in, std::string_view rest) {
    if (!takeUpperPrefix(rest, "MOUSE") && !takeUpperPrefix(rest, "RATO")) return false;
    if (!rest.empty() && !text::isBlank(rest[0])) return false;
    dropBlanks(rest);
    std::string_view afterScreen = rest;
    if (takeUpperPrefix(afterScreen, "TELA") && (afterScreen.empty() || text::isBlank(afterScreen[0]))) {
        rest = afterScreen;
        dropBlanks(rest);
    }
    int x, y;
    if (!readVariable(in, rest, x) || !readVariable(in, rest, y) || !text::trim(rest).empty()) return false;
    in.variables.set(x, std::to_string(in.services.keys.pointerX()));
    in.variables.set(y, std::to_string(in.services.keys.pointerY()));
    return true;
}

// LE EDITA var (the value proposed, up to 1024 characters, the cursor left on the line) and
// LE var (an empty line of up to 255, then a line end) through the spoken line editor. Esc
// gives the line up: the variable is left empty and the typed text erased.
bool editVariable(Interpreter& in, std::string_view rest, bool proposeValue) {
    dropBlanks(rest);
    int slot;
    if (!readVariable(in, rest, slot)) return false;
    ConsoleGrid& console = in.services.console;
    const int column = console.cursorColumn();
    const int row = console.cursorRow();
    std::string line = proposeValue ? in.variables.text(slot) : std::string();
    EditExit exit = editLine(in, line, column, row, proposeValue ? 1024 : 255);
    if (exit.inputEnded) return false;
    if (!exit.extended && exit.code == 27) {
        line.clear();
        console.gotoXY(column, row);
        console.clearToEndOfLine();
        console.gotoXY(column, row);
    }
    in.variables.set(slot, std::move(line));
    if (!proposeValue) in.write("\r\n");
    return true;
}

}  // namespace

bool cmdEscreve(Interpreter& in, std::string_view args, int) {
    in.ioStatus = 0;
    bool sameLine = takeTrailingAmpersand(args);
    if (!args.empty() && args[0] == '#') {
        // "#12" is no channel: taking it as channel 1 would write a wrong line to its file.
        int channel;
        if (!readChannel(args, channel)) {
            in.showMessage(kFileError);
            return in.fail(std::string(kBadChannel) + std::string(args));
        }
        bool ok = writeChannelText(in, channel, args, !sameLine);
        in.services.speech.waitSpeech();
        return ok;
    }
    bool mute = takeUpperPrefix(args, "MUDO");
    std::string textOut;
    bool allRead = readValueList(in, args, textOut);
    in.write(textOut);
    if (!sameLine) in.write("\r\n");
    if (!mute) in.speak(textOut);
    in.services.speech.waitSpeech();
    return allRead || failNoValue(in, args);
}

bool cmdFala(Interpreter& in, std::string_view args, int) {
    bool noWait = takeTrailingAmpersand(args);
    if (args.empty()) {
        in.services.speech.stopSpeech();
        if (!noWait) in.services.speech.waitSpeech();
        return true;
    }
    std::string said;
    bool allRead = readValueList(in, args, said);
    in.speak(said);
    if (!noWait) in.services.speech.waitSpeech();
    return allRead || failNoValue(in, args);
}

bool cmdSoletra(Interpreter& in, std::string_view args, int) {
    std::string value;
    if (!readValue(in, args, value)) return failNoValue(in, args);
    in.services.speech.spell(value);
    in.write(value);
    in.services.speech.waitSpeech();
    return true;
}

bool cmdBipa(Interpreter& in, std::string_view args, int) {
    std::string value = "0";
    if (!args.empty() && !readValue(in, args, value)) return false;
    if (value == "1")
        in.services.speech.click();
    else
        in.services.speech.beep();
    return true;
}

bool cmdLe(Interpreter& in, std::string_view args, int) {
    in.ioStatus = 0;
    if (args.empty()) {
        std::string discarded;
        return in.readLine(discarded);
    }
    std::string upper = text::upperCase(args);
    if (upper.rfind("MOUSE", 0) == 0 || upper.rfind("RATO", 0) == 0) return readPointer(in, args);
    std::string owned(args);
    bool withFlags = false;
    if (size_t at = findWord(upper, "TECLA"); at != std::string::npos) {
        size_t len = 5 + (at + 5 < owned.size() && owned[at + 5] == ' ' ? 1 : 0);
        owned.erase(at, len);
        withFlags = true;
        std::string_view t = text::trim(owned);
        owned = std::string(t);
        if (owned.empty() || owned.back() != '&') owned += '&';
    }
    std::string_view rest = owned;
    if (takeTrailingAmpersand(rest)) {
        rest = text::trim(rest);
        if (rest.empty()) return in.services.keys.readKey().has_value();
        bool silent = takeUpperPrefix(rest, "MUDO") || takeUpperPrefix(rest, "SENHA");
        int slot;
        if (!readVariable(in, rest, slot)) return false;
        std::optional<std::string> key = readKeyText(in, !silent, withFlags);
        if (!key) return false;
        in.variables.set(slot, std::move(*key));
        return true;
    }
    if (rest[0] == '#') {
        int channel;
        if (!readChannel(rest, channel)) return in.fail(std::string(kBadChannel) + std::string(rest));
        return readChannelLine(in, channel, rest);
    }
    std::string_view word = rest;
    if (takeUpperPrefix(word, "CONSOLE ")) {
        int slot;
        if (!readVariable(in, word, slot)) return false;
        return in.assign(slot, readChildOutput(in));
    }
    if (takeUpperPrefix(word, "EDITA ")) return editVariable(in, word, true);
    bool password = false;
    if (takeUpperPrefix(word, "MUDO ") || (password = takeUpperPrefix(word, "SENHA "))) {
        int slot;
        if (!readVariable(in, word, slot)) return false;
        std::string line;
        uint8_t saved = in.services.console.attribute();
        if (password) in.services.console.setAttribute(0);
        bool got = in.readLine(line);
        in.services.console.setAttribute(saved);
        if (!got) return false;
        in.variables.set(slot, std::move(line));
        return true;
    }
    return editVariable(in, rest, false);
}

bool cmdTela(Interpreter& in, std::string_view args, int) {
    if (args.empty()) return in.fail("falta LIMPA, NORMAL, MINIMIZADA ou @coluna,linha");
    std::string what = text::upperCase(args);
    if (what.size() == 1 && what[0] >= 'A' && what[0] <= 'Z')
        what = in.variables.text(VariableTable::letterSlot(what[0]));
    ConsoleGrid& console = in.services.console;
    if (what == "LIMPA") {
        console.clearScreen();
        return true;
    }
    if (what == "MINIMIZADA" || what == "NORMAL") {
        console.setShown(what == "NORMAL");
        return true;
    }
    if (!what.empty() && what[0] == '@') {
        std::string_view pos = std::string_view(what).substr(1);
        size_t comma = pos.find(',');
        std::optional<int32_t> column, row;
        if (comma != std::string_view::npos) {
            column = toInteger(text::trim(pos.substr(0, comma)));
            row = toInteger(text::trim(pos.substr(comma + 1)));
        }
        if (!column || !row) return in.fail("posição inválida: "_cp + std::string(args));
        console.gotoXY(*column, *row);
        return true;
    }
    return in.fail("argumento inválido: "_cp + std::string(args));
}

namespace {

bool colourCommand(Interpreter& in, std::string_view args, bool background) {
    std::string value;
    if (!readValue(in, args, value)) return failNoValue(in, args);
    std::optional<int32_t> v = toInteger(text::trim(value));
    if (!v) return in.fail(kNotANumber);
    // Fixed colours (setting CORESFIXAS) keep the user's colours whatever the script asks.
    if (in.services.console.fixedColours()) return true;
    if (background)
        in.services.console.setBackground(*v & 15);
    else
        in.services.console.setForeground(*v & 15);
    return true;
}

}  // namespace

bool cmdCor(Interpreter& in, std::string_view args, int) { return colourCommand(in, args, false); }

bool cmdFundo(Interpreter& in, std::string_view args, int) { return colourCommand(in, args, true); }

bool cmdTitulo(Interpreter& in, std::string_view args, int) {
    std::string value;
    if (!readValue(in, args, value)) return false;
    in.services.console.setTitle(value);
    return true;
}

}  // namespace parlendo
