// The terminal renderer over ncursesw; the keys are read and decoded here, not by curses.
#include "console/terminal_renderer.h"

#define NCURSES_WIDECHAR 1
#define NCURSES_NOMACROS 1
#include <ncursesw/curses.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdlib>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "console/terminal_keys.h"
#include "console/terminal_pictures.h"
#include "platform/environment.h"
#include "platform/terminal.h"
#include "text/cp1252.h"

namespace parlendo {

namespace {

using Clock = std::chrono::steady_clock;

// While output streams, the screen is brought up to date this often; every look for a key and
// every wait brings it up to date at once.
constexpr auto kStreamingInterval = std::chrono::milliseconds(40);
// Changes the grid does not announce (a cursor moved, a line cleared) are looked for this often.
constexpr auto kQuietInterval = std::chrono::milliseconds(50);
// Keys typed ahead beyond this many are dropped.
constexpr size_t kTypedAheadLimit = 4096;
// How often the sources beside the terminal are looked at while a key is awaited.
constexpr int kIdleStepMs = 50;
// A character cell, in pixels, when the terminal does not say.
constexpr int kDefaultCellWidth = 8;
constexpr int kDefaultCellHeight = 16;
// A terminal of fewer rows than the grid shows the rows around the cursor; one of fewer rows than
// this, or narrower than the grid, shows only a message about its size.
constexpr int kLeastRows = 24;

constexpr const char* kMouseOn = "\x1b[?1000h\x1b[?1006h";
constexpr const char* kMouseOff = "\x1b[?1006l\x1b[?1000l";
// xterm's title stack: the title the terminal had is put back at the end.
constexpr const char* kTitlePush = "\x1b[22;0t";
constexpr const char* kTitlePop = "\x1b[23;0t";

// The 16 colours of a terminal as xterm draws them by default, for choosing the nearest.
constexpr std::array<Rgb, 16> kTerminal16 = {{
    {0, 0, 0},
    {205, 0, 0},
    {0, 205, 0},
    {205, 205, 0},
    {0, 0, 238},
    {205, 0, 205},
    {0, 205, 205},
    {229, 229, 229},
    {127, 127, 127},
    {255, 0, 0},
    {0, 255, 0},
    {255, 255, 0},
    {92, 92, 255},
    {255, 0, 255},
    {0, 255, 255},
    {255, 255, 255},
}};

int distance(Rgb a, Rgb b) {
    int dr = a.r - b.r, dg = a.g - b.g, db = a.b - b.b;
    return dr * dr + dg * dg + db * db;
}

Rgb xterm256(int i) {
    if (i < 16) return kTerminal16[i];
    if (i >= 232) {
        uint8_t v = static_cast<uint8_t>(8 + 10 * (i - 232));
        return {v, v, v};
    }
    static constexpr uint8_t kLevels[6] = {0, 95, 135, 175, 215, 255};
    int c = i - 16;
    return {kLevels[c / 36], kLevels[(c / 6) % 6], kLevels[c % 6]};
}

// Glyphs of the Windows-1252 bytes; control codes and the five undefined bytes show as blanks.
std::array<wchar_t, 256> glyphTable() {
    std::array<wchar_t, 256> t{};
    for (int b = 0; b < 256; ++b) {
        const char32_t cp = text::cp1252CodePoint(static_cast<char>(b));
        bool control = cp < 0x20 || (cp >= 0x7F && cp < 0xA0);
        t[b] = control ? L' ' : static_cast<wchar_t>(cp);
    }
    return t;
}

// A title for the terminal: UTF-8 without control characters.
std::string printableTitle(const std::string& cp1252) {
    std::string clean;
    for (char c : cp1252) {
        unsigned char u = static_cast<unsigned char>(c);
        if (u >= 32 && u != 127 && u != 0x81 && u != 0x8D && u != 0x8F && u != 0x90 && u != 0x9D) clean += c;
    }
    return text::cp1252ToUtf8(clean);
}

// The words of a text in lines of at most `width` characters; a longer word is cut.
std::vector<std::string> wrapWords(const std::string& text, int width) {
    std::vector<std::string> lines;
    if (width < 1) return lines;
    const size_t w = static_cast<size_t>(width);
    std::string line;
    size_t i = 0;
    while (i < text.size()) {
        if (text[i] == ' ') {
            ++i;
            continue;
        }
        size_t end = text.find(' ', i);
        if (end == std::string::npos) end = text.size();
        std::string word = text.substr(i, end - i);
        i = end;
        if (!line.empty() && line.size() + 1 + word.size() > w) {
            lines.push_back(line);
            line.clear();
        }
        while (word.size() > w) {
            lines.push_back(word.substr(0, w));
            word.erase(0, w);
        }
        if (!line.empty()) line += ' ';
        line += word;
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}

}  // namespace

std::string terminalTooSmallMessage(int columns, int rows) {
    return "Terminal pequeno demais: o programa precisa de " + std::to_string(ConsoleGrid::kColumns) +
           " colunas e " + std::to_string(kLeastRows) + " linhas; este tem " + std::to_string(columns) +
           " colunas e " + std::to_string(rows) + " linhas. Aumente a janela ou diminua a fonte.";
}

namespace {

// A terminfo string capability as bytes to write directly: padding ("$<5>") is removed.
std::string capability(const char* name) {
    char* s = tigetstr(name);
    // terminfo answers (char*)-1 for a capability that is not a string.
    if (s == nullptr || s == reinterpret_cast<char*>(-1)) return {};  // NOLINT(performance-no-int-to-ptr)
    std::string out = s;
    for (size_t at = out.find("$<"); at != std::string::npos; at = out.find("$<", at)) {
        size_t end = out.find('>', at);
        if (end == std::string::npos) break;
        out.erase(at, end - at + 1);
    }
    return out;
}

}  // namespace

int terminalColourOf(Rgb c, int colours) {
    if (colours >= 0x1000000) return (c.r << 16) | (c.g << 8) | c.b;
    int first = colours >= 256 ? 16 : 0;
    int last = colours >= 256 ? 256 : colours >= 16 ? 16 : 8;
    int best = first, bestDistance = distance(c, xterm256(first));
    for (int i = first + 1; i < last; ++i) {
        int d = distance(c, xterm256(i));
        if (d < bestDistance) best = i, bestDistance = d;
    }
    return best;
}

struct TerminalRenderer::Impl {
    ConsoleGrid& grid;
    KeyQueue& keys;
    std::unique_ptr<RawTerminal> term;
    SCREEN* screen = nullptr;
    TerminalKeyDecoder decoder;
    std::deque<TerminalInput> typed;
    std::function<bool()> hold;
    std::function<void()> idle;
    bool inputEnded = false;
    bool suspended = false;  // the terminal is lent to another program
    Clock::time_point lastByte{};

    // What the terminal shows, to send only what changed.
    std::array<char, ConsoleGrid::kColumns * ConsoleGrid::kRows> shownText{};
    std::array<uint8_t, ConsoleGrid::kColumns * ConsoleGrid::kRows> shownAttributes{};
    std::array<int, 16> shownColourMap{};
    MagnifiedLine shownMagnified;
    bool shownValid = false;
    bool changed = true;  // the grid announced a change since the last update
    Clock::time_point changedSince{};
    Clock::time_point lastUpdate{};
    // The first grid row in view: 0 unless the terminal has fewer rows than the grid.
    int top = 0;
    // The terminal's size while it is too small for the grid (0 x 0 when it is not); the size last
    // announced, so that each change is said once; what is to be said at the next wait for a key.
    std::pair<int, int> shownSmall{0, 0};
    std::pair<int, int> announcedSmall{0, 0};
    std::string pendingAnnouncement;
    std::function<void(const std::string&)> announce;
    // A notice drawn over the last rows in view until a key is typed (Windows-1252).
    std::string notice;
    bool alternateScreen = false;  // the terminal keeps what was on it before, behind the grid
    bool titlePending = false;
    bool titleSupported = false;
    bool titlePushed = false;
    std::string titleStart, titleEnd;

    int colours = 0;  // 0: no colours
    std::map<std::pair<int, int>, int> pairs;
    int nextPair = 1;
    std::array<wchar_t, 256> glyphs = glyphTable();

    // IMAGEM's picture and its top left pixel; whether it is to be drawn after the next update of
    // the text, and whether it is on the screen now.
    TerminalPictures pictures;
    std::optional<Picture> picture;
    int pictureX = 0, pictureY = 0;
    bool pictureDue = false;
    bool pictureShown = false;
    // The terminal rows the picture covers when drawn (first, one past the last).
    int pictureFrom = 0, pictureTo = 0;
    // The bytes last made for the picture, and the place and cell size they were made for.
    std::string pictureBytes;
    std::array<int, 6> pictureMadeFor{};

    Impl(ConsoleGrid& g, KeyQueue& k, std::unique_ptr<RawTerminal> t)
        : grid(g), keys(k), term(std::move(t)), decoder(term->eraseByte()) {}

    ~Impl() {
        if (screen == nullptr) return;
        update(true);
        std::string bye = kMouseOff;
        if (pictureShown && pictures.kitty()) bye += kKittyDeleteImages;
        if (titlePushed) bye += kTitlePop;
        term->write(bye);
        endwin();
        delscreen(screen);
        screen = nullptr;
        term->restore();
    }

    bool start() {
        useUtf8Characters();
        screen = newterm(nullptr, stdout, stdin);
        if (screen == nullptr) return false;
        set_term(screen);
        raw();
        noecho();
        nonl();
        intrflush(stdscr, FALSE);
        keypad(stdscr, FALSE);
        typeahead(-1);  // our own reads take the input; curses must not look at it
        scrollok(stdscr, FALSE);
        idlok(stdscr, TRUE);
        leaveok(stdscr, FALSE);
        term->enterRawMode();
        def_prog_mode();
        if (has_colors() && start_color() == OK) colours = COLORS;
        curs_set(1);

        std::string hello = kMouseOn;
        titleStart = capability("tsl");
        titleEnd = capability("fsl");
        if (titleStart.empty() && tigetflag("XT") > 0) {
            titleStart = "\x1b]2;";
            titleEnd = "\a";
        }
        titleSupported = !titleStart.empty() && !titleEnd.empty();
        alternateScreen = !capability("smcup").empty();
        if (titleSupported && tigetflag("XT") > 0) {
            hello += kTitlePush;
            titlePushed = true;
        }
        term->write(hello);
        term->setRestoreBytes(std::string(kMouseOff) + (titlePushed ? kTitlePop : "") + capability("sgr0") +
                              capability("cnorm") + capability("rmcup"));
        titlePending = true;
        return true;
    }

    // How an attribute is drawn: its colour pair, and bold or reverse video where colours are few.
    struct Look {
        int pair = 0;
        attr_t extra = A_NORMAL;
        bool known = false;
    };
    std::array<Look, 256> looks{};  // by attribute: background x 16 + foreground

    // Forgets the pairs made so far (the colour map changed, or the terminal has no more pairs).
    void forgetColours() {
        pairs.clear();
        nextPair = 1;
        looks.fill(Look{});
        shownValid = false;
    }

    // The look of a foreground and background colour index, through the colour map.
    Look lookOf(int foreground, int background) {
        Look& cached = looks[static_cast<size_t>((background & 15) << 4 | (foreground & 15))];
        if (cached.known) return cached;
        Look look;
        look.known = true;
        Rgb f = grid.rgbOf(foreground), b = grid.rgbOf(background);
        if (colours == 0) {
            // Without colours, a light background is shown in reverse video.
            if (b.r + b.g + b.b > f.r + f.g + f.b) look.extra = A_REVERSE;
            return cached = look;
        }
        int fg = terminalColourOf(f, colours < 8 ? 8 : colours);
        int bg = terminalColourOf(b, colours < 16 ? 8 : colours);
        if (colours < 16) {
            // Eight colours: the bright ones are the bold of the dark ones.
            int nearest16 = terminalColourOf(f, 16);
            if (nearest16 >= 8) look.extra = A_BOLD;
            fg = nearest16 & 7;
        }
        auto key = std::make_pair(fg, bg);
        if (auto it = pairs.find(key); it != pairs.end()) {
            look.pair = it->second;
        } else {
            // Out of pairs (only on terminals with few): start again and draw everything anew.
            if (nextPair >= COLOR_PAIRS) forgetColours();
            look.pair = nextPair++;
            init_extended_pair(look.pair, fg, bg);
            pairs[key] = look.pair;
        }
        return cached = look;
    }

    void cell(cchar_t& out, uint8_t byte, int foreground, int background) {
        wchar_t w[2] = {glyphs[byte], L'\0'};
        Look look = lookOf(foreground, background);
        setcchar(&out, w, look.extra, 0, &look.pair);
    }

    // Grid row `row` (0-based) on terminal row `y`.
    void drawRow(int row, int y) {
        std::array<cchar_t, ConsoleGrid::kColumns> cells{};
        for (int c = 0; c < ConsoleGrid::kColumns; ++c) {
            uint8_t a = grid.cellAttribute(row + 1, c + 1);
            cell(cells[c], static_cast<uint8_t>(grid.cellChar(row + 1, c + 1)), a & 15, a >> 4);
        }
        mvwadd_wchnstr(stdscr, y, 0, cells.data(), ConsoleGrid::kColumns);
    }

    // Lines of Windows-1252 text from terminal row `y` on, in the terminal's own colours (reverse
    // video when `standOut`), each filling the row; none below the last row.
    void drawText(const std::vector<std::string>& lines, int y, bool standOut) {
        for (const std::string& line : lines) {
            if (y >= LINES) break;
            std::vector<cchar_t> cells(static_cast<size_t>(COLS));
            for (int c = 0; c < COLS; ++c) {
                wchar_t w[2] = {
                    c < static_cast<int>(line.size()) ? glyphs[static_cast<uint8_t>(line[c])] : L' ', L'\0'};
                setcchar(&cells[static_cast<size_t>(c)], w, standOut ? A_REVERSE : A_NORMAL, 0, nullptr);
            }
            mvwadd_wchnstr(stdscr, y++, 0, cells.data(), COLS);
        }
    }

    // A terminal too small for the grid shows what it lacks, with the notice after it; the size is
    // said once per change at the next wait for a key.
    void showTooSmall() {
        std::pair<int, int> size{COLS, LINES};
        if (size != announcedSmall) {
            announcedSmall = size;
            pendingAnnouncement = terminalTooSmallMessage(COLS, LINES);
        }
        if (size == shownSmall) return;
        shownSmall = size;
        shownValid = false;
        werase(stdscr);
        std::vector<std::string> lines = wrapWords(terminalTooSmallMessage(COLS, LINES), COLS);
        const int end = static_cast<int>(lines.size());
        if (!notice.empty()) {
            lines.emplace_back();
            for (std::string& l : wrapWords(notice, COLS)) lines.push_back(std::move(l));
        }
        drawText(lines, 0, false);
        wmove(stdscr, std::max(0, std::min(end, LINES) - 1), 0);
        wnoutrefresh(stdscr);
        doupdate();
    }

    // The magnified line on the row below the grid, at the normal size: the large print is the
    // window's.
    void drawMagnified(int row) {
        const MagnifiedLine& m = grid.magnified();
        wmove(stdscr, row, 0);
        wclrtoeol(stdscr);
        if (m.factor == 0) return;
        std::array<cchar_t, ConsoleGrid::kColumns> cells{};
        int n = 0;
        auto put = [&](const std::string& part, int foreground) {
            for (char ch : part)
                if (n < ConsoleGrid::kColumns)
                    cell(cells[n++], static_cast<uint8_t>(ch), foreground, m.background);
        };
        put(m.partOne, m.letter);
        put(m.partTwo, m.cursor);
        put(m.partThree, m.letter);
        mvwadd_wchnstr(stdscr, row, 0, cells.data(), n);
    }

    static bool sameMagnified(const MagnifiedLine& a, const MagnifiedLine& b) {
        return a.factor == b.factor && a.letter == b.letter && a.background == b.background &&
               a.cursor == b.cursor && a.partOne == b.partOne && a.partTwo == b.partTwo &&
               a.partThree == b.partThree;
    }

    void noteChange() {
        if (changed) return;
        changed = true;
        changedSince = Clock::now();
    }

    // Sends what changed. `full` compares the whole grid even when nothing was announced.
    void update(bool full) {
        auto now = Clock::now();
        if (!full && !changed && now - lastUpdate < kQuietInterval) return;
        lastUpdate = now;
        changed = false;
        if (term->takeResized()) resize();
        if (grid.colourMap() != shownColourMap) {
            shownColourMap = grid.colourMap();
            forgetColours();
        }
        if (COLS < ConsoleGrid::kColumns || LINES < kLeastRows) {
            showTooSmall();
            updateTitle();
            return;
        }
        announcedSmall = {0, 0};
        pendingAnnouncement.clear();
        if (shownSmall != std::pair<int, int>{0, 0}) {
            shownSmall = {0, 0};
            shownValid = false;
            werase(stdscr);
        }
        // The rows in view: the whole grid, or on a shorter terminal the top rows, where a screen
        // has its title, unless the cursor is below them: then as few rows scrolled as bring the
        // cursor row into view.
        const int viewRows = std::min(LINES, ConsoleGrid::kRows);
        const int cursorRow = grid.cursorRow() - 1;
        int newTop = std::clamp(cursorRow - viewRows + 1, 0, ConsoleGrid::kRows - viewRows);
        if (newTop != top) {
            top = newTop;
            shownValid = false;
        }
        // The notice covers the last rows in view; the grid rows under it wait until it goes.
        std::vector<std::string> noticeLines;
        if (!notice.empty()) noticeLines = wrapWords(notice, ConsoleGrid::kColumns);
        const int noticeFrom = viewRows - std::min(static_cast<int>(noticeLines.size()), viewRows);
        bool any = !shownValid;
        if (!shownValid) pictureDue = true;
        if (!shownValid && !noticeLines.empty()) drawText(noticeLines, noticeFrom, true);
        for (int r = top; r < top + noticeFrom; ++r) {
            bool differs = !shownValid;
            for (int c = 0; c < ConsoleGrid::kColumns && !differs; ++c) {
                size_t i = static_cast<size_t>(r * ConsoleGrid::kColumns + c);
                differs = shownText[i] != grid.cellChar(r + 1, c + 1) ||
                          shownAttributes[i] != grid.cellAttribute(r + 1, c + 1);
            }
            if (!differs) continue;
            any = true;
            for (int c = 0; c < ConsoleGrid::kColumns; ++c) {
                size_t i = static_cast<size_t>(r * ConsoleGrid::kColumns + c);
                shownText[i] = grid.cellChar(r + 1, c + 1);
                shownAttributes[i] = grid.cellAttribute(r + 1, c + 1);
            }
            drawRow(r, r - top);
            // Text drawn over a sixel picture replaces its pixels; kitty keeps its images apart.
            if (!pictures.kitty() && r - top < pictureTo && r - top >= pictureFrom) pictureDue = true;
        }
        if (LINES > ConsoleGrid::kRows && (!shownValid || !sameMagnified(grid.magnified(), shownMagnified))) {
            shownMagnified = grid.magnified();
            drawMagnified(ConsoleGrid::kRows);
            any = true;
        }
        shownValid = true;
        int row = cursorRow - top, column = std::min(grid.cursorColumn(), ConsoleGrid::kColumns) - 1;
        row = std::min(row, LINES - 1);
        column = std::min(column, COLS - 1);
        int y = getcury(stdscr), x = getcurx(stdscr);
        if (any || y != row || x != column) {
            wmove(stdscr, row < 0 ? 0 : row, column < 0 ? 0 : column);
            wnoutrefresh(stdscr);
            doupdate();
        }
        drawPicture(viewRows);
        updateTitle();
    }

    // Draws the picture over the text when it is due and the terminal can display pictures, from
    // the cell under its top left pixel, cut at the right edge and at the last grid row in view
    // (and above the terminal's last row, which a picture reaching it would scroll); the cursor
    // is put back where the text left it.
    void drawPicture(int viewRows) {
        if (!picture || !pictureDue) return;
        pictureDue = false;
        if (!pictures.available()) return;
        TerminalSize s = term->size();
        const int cw = s.cellWidth > 0 ? s.cellWidth : kDefaultCellWidth;
        const int ch = s.cellHeight > 0 ? s.cellHeight : kDefaultCellHeight;
        if (pictureX < 0 || pictureY < 0) return;
        const int column = pictureX / cw;
        const int row = pictureY / ch - top;
        int lastRow = std::min(viewRows, LINES - 1);
        if (column >= std::min(COLS, ConsoleGrid::kColumns) || row < 0 || row >= lastRow) return;
        const int columns = std::min((picture->width + cw - 1) / cw, COLS - column);
        const int rows = std::min((picture->height + ch - 1) / ch, lastRow - row);
        const std::array<int, 6> place{column, row, columns, rows, cw, ch};
        if (place != pictureMadeFor || pictureBytes.empty()) {
            std::optional<std::string> bytes = pictures.encode(*picture, columns, rows, cw, ch);
            if (!bytes) return;
            pictureBytes = std::move(*bytes);
            pictureMadeFor = place;
        }
        std::string out =
            ""
            "7";
        if (pictures.kitty()) out += kKittyDeleteImages;
        out += "[" + std::to_string(row + 1) + ";" + std::to_string(column + 1) + "H";
        out += pictureBytes;
        out +=
            ""
            "8";
        term->write(out);
        pictureShown = true;
        pictureFrom = row;
        pictureTo = row + rows;
    }

    // Takes the picture away: where it was drawn the whole screen is drawn anew.
    void takePictureAway() {
        picture.reset();
        pictureBytes.clear();
        pictureDue = false;
        if (!pictureShown) return;
        pictureShown = false;
        pictureFrom = pictureTo = 0;
        if (pictures.kitty()) term->write(kKittyDeleteImages);
        clearok(curscr, TRUE);
        shownValid = false;
        noteChange();
    }

    void updateTitle() {
        if (titlePending) {
            titlePending = false;
            if (titleSupported) term->write(titleStart + printableTitle(grid.title()) + titleEnd);
        }
    }

    void resize() {
        TerminalSize s = term->size();
        resizeterm(s.rows, s.columns);
        clearok(curscr, TRUE);
        shownValid = false;
        pictureDue = true;
    }

    // Reads what has arrived and decodes it.
    void readInput() {
        std::vector<TerminalInput> decoded;
        for (int reads = 0; reads < 16 && !inputEnded; ++reads) {
            std::optional<std::string> bytes = term->readAvailable();
            if (!bytes) {
                inputEnded = true;
                decoder.flush(decoded);
                break;
            }
            if (bytes->empty()) break;
            decoder.feed(*bytes, decoded);
            lastByte = Clock::now();
        }
        if (decoder.pending() &&
            Clock::now() - lastByte >= std::chrono::milliseconds(TerminalKeyDecoder::kEscapeTimeoutMs))
            decoder.flush(decoded);
        if (!decoded.empty() && !notice.empty()) {
            // The first key typed takes the notice away: the rows under it come back.
            notice.clear();
            shownValid = false;
            shownSmall = {0, 0};
            noteChange();
        }
        for (TerminalInput& in : decoded)
            if (typed.size() < kTypedAheadLimit) typed.push_back(std::move(in));
    }

    void notePointer(const TerminalInput& in) {
        if (!in.mouse) return;
        TerminalSize s = term->size();
        int w = s.cellWidth > 0 ? s.cellWidth : kDefaultCellWidth;
        int h = s.cellHeight > 0 ? s.cellHeight : kDefaultCellHeight;
        keys.setPointer(in.column * w, (in.row + top) * h);
    }

    // Moves typed keys into the queue while it has room for them.
    void deliver() {
        while (!typed.empty() && !(hold && hold())) {
            const TerminalInput& in = typed.front();
            if (keys.size() + in.key.bytes.size() > KeyQueue::kCapacity) break;
            notePointer(in);
            keys.pushKey(in.key);
            typed.pop_front();
        }
    }

    std::optional<TypedKey> nextKey() {
        update(true);
        for (;;) {
            if (!typed.empty()) {
                TerminalInput in = std::move(typed.front());
                typed.pop_front();
                notePointer(in);
                return std::move(in.key);
            }
            if (inputEnded) return std::nullopt;
            if (!pendingAnnouncement.empty() && announce) {
                std::string words = std::move(pendingAnnouncement);
                pendingAnnouncement.clear();
                announce(words);
                // A key typed while it was said went into the queue: an empty key lets the queue
                // take it from there.
                if (keys.size() > 0) return TypedKey{};
                continue;
            }
            int timeout = -1;
            if (decoder.pending()) {
                auto due = lastByte + std::chrono::milliseconds(TerminalKeyDecoder::kEscapeTimeoutMs);
                auto left = std::chrono::duration_cast<std::chrono::milliseconds>(due - Clock::now()).count();
                timeout = left > 0 ? static_cast<int>(left) + 1 : 0;
            }
            if (idle) timeout = timeout < 0 ? kIdleStepMs : std::min(timeout, kIdleStepMs);
            if (term->wait(timeout) == RawTerminal::Wait::Resized) update(true);
            readInput();
            if (idle && typed.empty()) {
                idle();
                if (keys.size() > 0) return TypedKey{};
            }
        }
    }
};

std::unique_ptr<TerminalRenderer> TerminalRenderer::create(ConsoleGrid& grid, KeyQueue& keys) {
    std::optional<std::string> termName = environmentVariable("TERM");
    if (!termName || *termName == "dumb") return nullptr;
    std::unique_ptr<RawTerminal> term = RawTerminal::open();
    if (!term) return nullptr;
    auto impl = std::make_unique<Impl>(grid, keys, std::move(term));
    if (!impl->start()) return nullptr;
    return std::unique_ptr<TerminalRenderer>(new TerminalRenderer(std::move(impl)));
}

TerminalRenderer::TerminalRenderer(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
TerminalRenderer::~TerminalRenderer() = default;

void TerminalRenderer::whileWaiting(std::function<void()> idle) { impl_->idle = std::move(idle); }

void TerminalRenderer::holdKeysWhile(std::function<bool()> hold) { impl_->hold = std::move(hold); }

void TerminalRenderer::update() { impl_->update(true); }

void TerminalRenderer::showNotice(std::string text) {
    impl_->notice = std::move(text);
    impl_->shownValid = false;
    impl_->shownSmall = {0, 0};
    impl_->noteChange();
}

void TerminalRenderer::announceSizeThrough(std::function<void(const std::string&)> say) {
    impl_->announce = std::move(say);
}

bool TerminalRenderer::keepsScreenBehind() const { return impl_->alternateScreen; }

void TerminalRenderer::suspend() {
    if (impl_->suspended) return;
    impl_->update(true);
    impl_->term->write(std::string(kMouseOff) + (impl_->titlePushed ? kTitlePop : ""));
    endwin();
    impl_->term->suspend();
    impl_->suspended = true;
}

void TerminalRenderer::resume() {
    if (!impl_->suspended) return;
    impl_->suspended = false;
    reset_prog_mode();
    impl_->term->enterRawMode();
    std::string hello = kMouseOn;
    if (impl_->titlePushed) hello += kTitlePush;
    impl_->term->write(hello);
    impl_->titlePending = true;
    // The program may have left anything on the screen, and the terminal may have changed size.
    impl_->resize();
    impl_->update(true);
}

void TerminalRenderer::written(std::string_view) {
    // A write is shown when the program next looks for keys or waits; only output that goes on
    // and on is shown while it streams.
    impl_->noteChange();
    if (Clock::now() - impl_->changedSince >= kStreamingInterval) impl_->update(false);
}

void TerminalRenderer::cleared() { impl_->noteChange(); }

void TerminalRenderer::bell() { beep(); }

void TerminalRenderer::magnifiedLineChanged() { impl_->noteChange(); }

void TerminalRenderer::titleChanged() {
    impl_->titlePending = true;
    impl_->noteChange();
}

void TerminalRenderer::pump() {
    if (impl_->suspended) return;
    impl_->readInput();
    impl_->deliver();
    impl_->update(false);
}

int TerminalRenderer::waitHandle() const { return impl_->term->inputHandle(); }

std::optional<TypedKey> TerminalRenderer::nextKey() { return impl_->nextKey(); }

void TerminalRenderer::showPicture(const Picture& picture, int x, int y) {
    impl_->takePictureAway();
    impl_->picture = picture;
    impl_->pictureX = x;
    impl_->pictureY = y;
    impl_->pictureDue = true;
    if (!impl_->suspended) impl_->update(true);
}

void TerminalRenderer::removePicture() {
    impl_->takePictureAway();
    if (!impl_->suspended) impl_->update(true);
}

}  // namespace parlendo
