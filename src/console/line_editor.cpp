// The spoken line editor: a field of the console where a line is typed, moved over by character
// and by word, reread, copied and pasted, every key answered by a sound.
#include "console/line_editor.h"

#include <algorithm>
#include <string_view>

#include "console/console_grid.h"
#include "console/key_queue.h"
#include "console/screen_review.h"
#include "console/settings_file.h"
#include "console/speech_front.h"
#include "interp/interpreter.h"
#include "platform/clipboard.h"
#include "platform/file_system.h"
#include "platform/launcher.h"
#include "text/cp1252.h"

namespace parlendo {

namespace {

constexpr int kLongestField = 2048;
// A selection is shown on dark grey, keeping the letter colour.
constexpr uint8_t kSelectionBackground = 8;

// Ordinary keys.
constexpr int kCtrlB = 2, kCtrlC = 3, kCtrlD = 4, kBackspace = 8, kTab = 9, kCtrlEnter = 10, kCtrlK = 11,
              kEnter = 13, kCtrlS = 19, kCtrlU = 21, kCtrlV = 22, kCtrlY = 25, kEsc = 27, kCtrlBackslash = 28,
              kCtrlBackspace = 127;
// Extended codes.
constexpr int kAltQ = 16, kAltE = 18, kF1 = 59, kF4 = 62, kF8 = 66, kF12 = 70, kHome = 71, kLeft = 75,
              kRight = 77, kEnd = 79, kDelete = 83, kCtrlF1 = 94, kCtrlF4 = 97, kCtrlF8 = 101, kCtrlF9 = 102,
              kCtrlLeft = 115, kCtrlRight = 116, kAltDigitFirst = 120, kAltDigitLast = 129,
              kShiftInsert = 254, kCtrlInsert = 255;

// Characters stripped from both ends of a word opened with F12: quotes, brackets and the
// punctuation that surrounds an address in a sentence.
constexpr std::string_view kStrippedAroundWord = "\"'()*+,-.:;<=>?![]_{}";

struct Key {
    bool extended = false;
    int code = 0;
    Modifiers held;
    int routed = 0;  // a braille display's routing key: the 1-based column routed to
};

// What moving by word takes as one run: letters, digits, blanks, or a single other byte.
enum class Kind { Blank, Letter, Digit, Other };

Kind kindOf(char c) {
    if (c == ' ') return Kind::Blank;
    if (text::isDigit(c)) return Kind::Digit;
    if (isWordLetter(c)) return Kind::Letter;
    return Kind::Other;
}

EditExit inputEnded() {
    EditExit e;
    e.inputEnded = true;
    return e;
}

class LineEditor {
public:
    LineEditor(Interpreter& in, std::string_view text, int column, int row, int maxLength);
    EditExit run(std::string& out);

private:
    char at(int pos) const { return text_[pos - 1]; }
    int lastNonBlank() const {
        size_t p = text_.find_last_not_of(' ');
        return p == std::string::npos ? 0 : static_cast<int>(p) + 1;
    }
    std::string trimmed() const { return text_.substr(0, lastNonBlank()); }
    bool hasSelection() const { return selStart_ != 0 && selStart_ != selEnd_; }
    int selectionLow() const { return std::min(selStart_, selEnd_); }
    int selectionHigh() const { return std::max(selStart_, selEnd_); }
    void clearSelection() { selStart_ = selEnd_ = 0; }
    void blankAll() { text_.assign(max_, ' '); }

    std::optional<Key> readEditorKey();
    std::optional<EditExit> handle(const Key& k);
    std::optional<EditExit> ordinaryKey(const Key& k, bool first);
    std::optional<EditExit> extendedKey(const Key& k, bool first);
    void scroll();
    void drawField(bool withSelection);
    void draw();
    void finish(std::string& out);

    void insert(char c);
    void deleteChar(int pos, bool announce);
    void deleteSelection();
    void backspace();
    void left();
    void right(bool alt);
    void nextWord();
    void previousWord();
    void deleteWord();
    void readNextItem();
    void routeTo(int column);
    bool changeSpeed();
    void copy();
    void paste(bool firstKey);
    void openWord();

    Interpreter& in_;
    ConsoleGrid& console_;
    KeyQueue& keys_;
    SpeechFront& speech_;
    std::string text_;  // always max_ bytes, padded with blanks
    std::string initial_;
    int column_ = 1, row_ = 1, max_ = 1, width_ = 1;
    int cursor_ = 1;  // 1 to max_ + 1
    int first_ = 1;   // first position shown in the field
    int selStart_ = 0, selEnd_ = 0;
    bool firstKey_ = true;
};

LineEditor::LineEditor(Interpreter& in, std::string_view text, int column, int row, int maxLength)
    : in_(in), console_(in.services.console), keys_(in.services.keys), speech_(in.services.speech) {
    max_ = std::clamp(maxLength, 1, kLongestField);
    column_ = std::clamp(column, 1, ConsoleGrid::kColumns);
    row_ = std::clamp(row, 1, ConsoleGrid::kRows);
    width_ = std::min(79 - column_, max_);
    // A character in the last cell of the last row must not scroll the screen.
    if (row_ == ConsoleGrid::kRows && column_ + width_ - 1 >= ConsoleGrid::kColumns) --width_;
    width_ = std::max(width_, 1);
    text_ = std::string(text.substr(0, max_));
    text_.resize(max_, ' ');
    initial_ = text_;
}

EditExit LineEditor::run(std::string& out) {
    EditExit exit;
    // The routing keys of a braille display move the cursor while the editor runs.
    struct Routing {
        KeyQueue& keys;
        explicit Routing(KeyQueue& k) : keys(k) { keys.setRoutingWanted(true); }
        ~Routing() { keys.setRoutingWanted(false); }
        Routing(const Routing&) = delete;
        Routing& operator=(const Routing&) = delete;
    } routing(keys_);
    for (;;) {
        scroll();
        draw();
        std::optional<Key> key = readEditorKey();
        if (!key) {
            exit = inputEnded();
            break;
        }
        if (std::optional<EditExit> end = handle(*key)) {
            exit = *end;
            break;
        }
    }
    finish(out);
    return exit;
}

std::optional<Key> LineEditor::readEditorKey() {
    for (;;) {
        std::optional<uint8_t> b = keys_.readKey();
        if (!b) return std::nullopt;
        speech_.stopSpeech();
        Key k{false, *b, keys_.modifiers()};
        if (keys_.routedColumn() != 0) {
            k.routed = keys_.routedColumn();
            return k;
        }
        if (*b != 0) return k;
        std::optional<uint8_t> code = keys_.readKey();
        if (!code) return std::nullopt;
        k.extended = true;
        k.code = *code;
        // Alt+Q, Alt+W and Alt+E only announce the key that follows.
        if (k.code < kAltQ || k.code > kAltE) return k;
    }
}

std::optional<EditExit> LineEditor::handle(const Key& k) {
    if (k.routed != 0) {
        routeTo(k.routed);
        return std::nullopt;
    }
    const bool paste = k.extended ? k.code == kShiftInsert : k.code == kCtrlV;
    const bool copyOrPaste = paste || (k.extended ? k.code == kCtrlInsert : k.code == kCtrlC);
    const bool first = firstKey_;
    firstKey_ = false;
    // A proposed value: two clicks say it is there; typing replaces it, editing keys keep it.
    if (first && !paste && text_.find_first_not_of(' ', cursor_ - 1) != std::string::npos) {
        speech_.click();
        speech_.click();
        if (!k.extended && k.code >= 32 && k.code != kCtrlBackspace) blankAll();
    }
    const bool selecting = k.extended && k.held.shift && !copyOrPaste;
    if (selecting && selStart_ == 0) selStart_ = selEnd_ = cursor_;
    std::optional<EditExit> end = k.extended ? extendedKey(k, first) : ordinaryKey(k, first);
    if (!copyOrPaste) {
        if (selecting)
            selEnd_ = cursor_;
        else
            clearSelection();
    }
    return end;
}

std::optional<EditExit> LineEditor::ordinaryKey(const Key& k, bool first) {
    switch (k.code) {
        case kCtrlB:
        case kTab:
        case kCtrlEnter:
        case kEnter:
        case kEsc:
            return EditExit{false, k.code, false};
        case kCtrlC:
            copy();
            break;
        case kCtrlV:
            paste(first);
            break;
        case kCtrlD:
            std::fill(text_.begin() + (cursor_ - 1), text_.end(), ' ');
            speech_.playWord("_APFCPO");
            break;
        case kBackspace:
            backspace();
            break;
        case kCtrlK:
            speech_.speak(std::to_string(cursor_));
            break;
        case kCtrlS:
            text_.erase(0, cursor_ - 1);
            text_.resize(max_, ' ');
            cursor_ = 1;
            speech_.playWord("_APICPO");
            break;
        case kCtrlU:
            text_ = initial_;
            cursor_ = 1;
            for (int i = 0; i < 3; ++i) speech_.beep();
            break;
        case kCtrlY:
            blankAll();
            cursor_ = 1;
            speech_.playWord("_CPOAPA");
            break;
        case kCtrlBackslash:
            speech_.playTones(trimmed());
            break;
        case kCtrlBackspace:
            deleteWord();
            break;
        default:
            if (k.code >= 32) insert(static_cast<char>(k.code));
            break;
    }
    return std::nullopt;
}

std::optional<EditExit> LineEditor::extendedKey(const Key& k, bool first) {
    switch (k.code) {
        case kF1:
            readNextItem();
            break;
        case kCtrlF1:
            if (lastNonBlank() == 0)
                speech_.beep();
            else
                speech_.speak(trimmed());
            break;
        case kF4:
            in_.speechEcho = !in_.speechEcho;
            speech_.playWord(in_.speechEcho ? "_FALACI" : "_FALDLG");
            break;
        case kCtrlF4:
            if (!changeSpeed()) return inputEnded();
            break;
        case kF8:
            speech_.sayNow();
            break;
        case kCtrlF8:
            speech_.sayToday();
            break;
        case kCtrlF9:
            if (!k.held.alt) return EditExit{true, k.code, false};
            if (!reviewScreen(in_)) return inputEnded();
            break;
        case kF12:
            openWord();
            break;
        case kHome:
            cursor_ = 1;
            break;
        case kEnd:
            cursor_ = lastNonBlank() + 1;
            break;
        case kLeft:
            left();
            break;
        case kRight:
            right(k.held.alt);
            break;
        case kDelete:
            // The blanks after the text are characters of the field like any other: Delete
            // takes one and says so. Only past the maximum length is there nothing to take.
            if (hasSelection())
                deleteSelection();
            else if (cursor_ > max_)
                speech_.beep();
            else
                deleteChar(cursor_, true);
            break;
        case kCtrlLeft:
            previousWord();
            break;
        case kCtrlRight:
            nextWord();
            break;
        case kCtrlInsert:
            copy();
            break;
        case kShiftInsert:
            paste(first);
            break;
        default:
            if (k.code >= kAltDigitFirst && k.code <= kAltDigitLast) break;
            return EditExit{true, k.code, false};
    }
    return std::nullopt;
}

void LineEditor::scroll() {
    if (max_ <= width_)
        first_ = 1;
    else if (cursor_ < first_)
        first_ = cursor_;
    else if (cursor_ >= first_ + width_)
        first_ = cursor_ - width_ + 1;
}

void LineEditor::drawField(bool withSelection) {
    const uint8_t attribute = console_.attribute();
    const uint8_t selected = static_cast<uint8_t>((attribute & 0x0F) | (kSelectionBackground << 4));
    console_.gotoXY(column_, row_);
    std::string run;
    bool runSelected = false;
    auto flush = [&] {
        if (run.empty()) return;
        console_.setAttribute(runSelected ? selected : attribute);
        console_.write(run);
        run.clear();
    };
    for (int i = 0; i < width_; ++i) {
        const int pos = first_ + i;
        char c = pos <= max_ ? at(pos) : ' ';
        // Control bytes of a proposed or pasted text hold their cell without moving the cursor.
        if (static_cast<unsigned char>(c) < 32) c = ' ';
        const bool inSelection =
            withSelection && hasSelection() && pos >= selectionLow() && pos < selectionHigh();
        if (inSelection != runSelected) {
            flush();
            runSelected = inSelection;
        }
        run.push_back(c);
    }
    flush();
    console_.setAttribute(attribute);
}

void LineEditor::draw() {
    console_.drawMagnifiedLine(text_, cursor_);
    drawField(true);
    console_.clearToEndOfLine();
    console_.gotoXY(column_ + cursor_ - first_, row_);
}

void LineEditor::finish(std::string& out) {
    first_ = 1;
    drawField(false);
    console_.gotoXY(column_, row_);
    out = trimmed();
    speech_.stopSpeech();
}

void LineEditor::insert(char c) {
    // Past the maximum, or when the last character would fall off the end, nothing is lost:
    // the user hears that the field is full.
    if (cursor_ > max_ || text_.back() != ' ') {
        speech_.beep();
        return;
    }
    text_.insert(text_.begin() + (cursor_ - 1), c);
    text_.pop_back();
    if (in_.speechEcho) speech_.playChar(static_cast<uint8_t>(c));
    ++cursor_;
}

// A routing key over a character of the field puts the cursor on it; past the text, after its
// last character. Outside the field it does nothing.
void LineEditor::routeTo(int column) {
    if (column < column_ || column >= column_ + width_) return;
    cursor_ = std::clamp(first_ + (column - column_), 1, std::min(max_, lastNonBlank()) + 1);
}

void LineEditor::deleteChar(int pos, bool announce) {
    const char gone = at(pos);
    text_.erase(pos - 1, 1);
    text_.push_back(' ');
    if (announce && in_.speakInFull) speech_.playWord("_DEL");
    speech_.playChar(static_cast<uint8_t>(gone));
}

void LineEditor::deleteSelection() {
    if (in_.speakInFull) speech_.playWord("_DEL");
    const int low = selectionLow();
    text_.erase(low - 1, selectionHigh() - low);
    text_.resize(max_, ' ');
    cursor_ = low;
}

void LineEditor::backspace() {
    if (cursor_ == 1) {
        speech_.beep();
        return;
    }
    --cursor_;
    deleteChar(cursor_, true);
}

void LineEditor::left() {
    if (cursor_ == 1) {
        speech_.beep();
        return;
    }
    --cursor_;
    speech_.playChar(static_cast<uint8_t>(at(cursor_)));
}

void LineEditor::right(bool alt) {
    if (cursor_ > lastNonBlank()) {
        speech_.beep();
        return;
    }
    const char c = at(cursor_);
    if (alt && text::isAsciiLetter(c))
        speech_.playWord("_FON" + std::to_string(static_cast<unsigned char>(c)));
    else
        speech_.playChar(static_cast<uint8_t>(c));
    ++cursor_;
}

void LineEditor::nextWord() {
    int p = cursor_;
    if (p <= max_) {
        const Kind k = kindOf(at(p));
        if (k == Kind::Letter || k == Kind::Digit) {
            while (p <= max_ && kindOf(at(p)) == k) ++p;
        } else if (k == Kind::Other) {
            ++p;
        }
    }
    while (p <= max_ && at(p) == ' ') ++p;
    if (p > lastNonBlank()) {
        cursor_ = lastNonBlank() + 1;
        speech_.beep();
        return;
    }
    cursor_ = p;
    speech_.click();
}

void LineEditor::previousWord() {
    int p = cursor_ - 1;
    while (p >= 1 && at(p) == ' ') --p;
    if (p < 1) {
        cursor_ = 1;
        speech_.beep();
        return;
    }
    const Kind k = kindOf(at(p));
    if (k != Kind::Other)
        while (p > 1 && kindOf(at(p - 1)) == k) --p;
    cursor_ = p;
    speech_.click();
}

void LineEditor::deleteWord() {
    const int end = lastNonBlank() + 1;
    if (cursor_ >= end) {
        speech_.beep();
        return;
    }
    Kind k = kindOf(at(cursor_));
    if (k == Kind::Letter || k == Kind::Digit)
        while (cursor_ > 1 && kindOf(at(cursor_ - 1)) == k) --cursor_;
    // Up to the start of the next word; the blanks after the last word are left alone.
    int p = cursor_;
    k = kindOf(at(p));
    if (k == Kind::Letter || k == Kind::Digit) {
        while (p <= max_ && kindOf(at(p)) == k) ++p;
    } else if (k == Kind::Other) {
        ++p;
    }
    while (p <= max_ && at(p) == ' ') ++p;
    const int count = std::min(p, end) - cursor_;
    for (int i = 0; i < count; ++i) deleteChar(cursor_, i == 0);
}

void LineEditor::readNextItem() {
    int p = cursor_;
    while (p <= max_ && at(p) == ' ') ++p;
    if (p > max_) {
        speech_.beep();
        return;
    }
    const int start = p;
    const char c = at(p);
    auto digitAt = [&](int q) { return q <= max_ && text::isDigit(at(q)); };
    if (text::isDigit(c) || (c == '-' && digitAt(p + 1))) {
        ++p;
        while (digitAt(p)) ++p;
        speech_.speak(text_.substr(start - 1, p - start));
    } else if (isWordLetter(c)) {
        while (p <= max_ && isWordLetter(at(p))) ++p;
        std::string word = text_.substr(start - 1, p - start);
        if (isConsonantsOnly(word))
            speech_.spell(word);
        else
            speech_.speak(word);
    } else {
        speech_.spell(std::string(1, c));
        ++p;
    }
    cursor_ = p;
}

// Ctrl+F4: "_VELOC", then the digit of a speed of the built-in voice; Esc or Enter leave it.
bool LineEditor::changeSpeed() {
    speech_.playWord("_VELOC");
    uint8_t last = 0;
    do {
        std::optional<uint8_t> b = readKeyWithEcho(in_);
        if (!b) return false;
        last = *b;
        if (last == 0 && !keys_.readKey()) return false;
    } while (keys_.keyPressed());
    if (last == kEsc || last == kEnter) return true;
    // Any digit restarts speech: 0 takes the speed of the settings, above 5 the middle speed
    // (as at start). Another key names no speed: the beep says nothing changed.
    if (text::isDigit(static_cast<char>(last)))
        speech_.restartSpeech(last - '0');
    else
        speech_.beep();
    return true;
}

void LineEditor::copy() {
    const std::string what = hasSelection()
                                 ? text_.substr(selectionLow() - 1, selectionHigh() - selectionLow())
                                 : trimmed() + "\r\n";
    copyWithSound(in_, what);
}

void LineEditor::paste(bool firstKey) {
    Clipboard* clipboard = in_.services.clipboard;
    std::string clip = clipboard ? clipboard->paste() : std::string();
    clip.erase(std::min(clip.find_first_of("\r\n"), clip.size()));
    // Nothing to paste changes nothing, a proposed value included.
    if (clip.empty()) {
        speech_.beep();
        return;
    }
    if (firstKey) {
        speech_.click();
        speech_.click();
        blankAll();
        clearSelection();
    }
    const int low = hasSelection() ? selectionLow() : cursor_;
    const int high = hasSelection() ? selectionHigh() : cursor_;
    if (low > max_) {
        speech_.beep();
        return;
    }
    std::string joined = text_.substr(0, low - 1) + clip + text_.substr(high - 1);
    const bool cut = joined.find_first_not_of(' ', max_) != std::string::npos;
    joined.resize(max_, ' ');
    text_ = std::move(joined);
    cursor_ = low;
    selStart_ = low;
    selEnd_ = std::min(low + static_cast<int>(clip.size()), max_ + 1);
    speech_.speak(text::trim(clip));
    if (cut) speech_.beep();
}

// F12: opens the word under the cursor: an address with the browser, a program by running it,
// a document with the program set for its extension.
void LineEditor::openWord() {
    int p = std::min(cursor_, max_);
    if (at(p) == ' ' && p > 1 && at(p - 1) != ' ') --p;
    std::string word;
    if (at(p) != ' ') {
        int a = p, b = p;
        while (a > 1 && at(a - 1) != ' ') --a;
        while (b < max_ && at(b + 1) != ' ') ++b;
        word = text_.substr(a - 1, b - a + 1);
    }
    size_t from = word.find_first_not_of(kStrippedAroundWord);
    word = from == std::string::npos
               ? std::string()
               : word.substr(from, word.find_last_not_of(kStrippedAroundWord) - from + 1);
    Launcher* launcher = in_.services.launcher;
    if (word.empty() || !launcher) {
        speech_.beep();
        return;
    }
    SettingsFile& settings = in_.services.settings;
    const std::string folder = currentDirectory();
    std::string program;
    std::string target = word;
    const bool www = text::startsWithUpper(word, "WWW.");
    if (www || text::startsWithUpper(word, "HTTP://") || text::startsWithUpper(word, "HTTPS://")) {
        program = settings.readSetting("ORALIX", "PROG.HTM");
        // The desktop's handler needs a scheme to know an address from a file name.
        if (program.empty() && www) target = "http://" + word;
    } else if (size_t dot = word.rfind('.'); dot != std::string::npos && dot + 1 < word.size()) {
        const std::string extension = text::upperCase(word.substr(dot + 1, 3));
        if (extension == "EXE" || extension == "COM") {
            program = word[0] == '/' || word[0] == '\\' ? word : folder + "/" + word;
            target.clear();
        } else {
            program = settings.readSetting("ORALIX", "PROG." + extension);
        }
    }
    speech_.waitSpeech();
    const bool started = launcher->open(program, target, folder);
    speech_.waitSpeech();
    if (!started) speech_.beep();
}

}  // namespace

EditExit editLine(Interpreter& in, std::string& text, int column, int row, int maxLength) {
    LineEditor editor(in, text, column, row, maxLength);
    return editor.run(text);
}

void copyWithSound(Interpreter& in, std::string_view text) {
    Clipboard* clipboard = in.services.clipboard;
    if (!clipboard || !clipboard->copy(text)) {
        in.services.speech.beep();
        return;
    }
    in.services.speech.click();
}

std::optional<uint8_t> readKeyWithEcho(Interpreter& in) {
    std::optional<uint8_t> b = in.services.keys.readKey();
    if (!b) return b;
    in.services.speech.stopSpeech();
    if (*b == 12 || *b >= 32) in.services.speech.playChar(*b);
    return b;
}

bool isConsonantsOnly(std::string_view word) {
    if (word.empty()) return false;
    for (char c : word) {
        const char u = text::upperChar(c);
        if (u < 'B' || u > 'Z' || u == 'E' || u == 'I' || u == 'O' || u == 'U') return false;
    }
    return true;
}

}  // namespace parlendo
