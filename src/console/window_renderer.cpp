// The window renderer: SDL2 draws the grid with an SDL2_ttf font found through fontconfig.
#include "console/window_renderer.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <SDL_ttf.h>
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdlib>
#include <deque>
#include <filesystem>

#include "console/braille_keyboard.h"
#include "console/console_settings.h"
#include "console/key_codes.h"
#include "console/window_keys.h"
#include "platform/shared_library.h"
#include "text/cp1252.h"
#include "text/cp1252_literal.h"

namespace parlendo {

namespace {

// The window's libraries are loaded when a window is first wanted, as the sound card's is: a run
// in a terminal or headless never maps SDL2's video, SDL2_ttf or fontconfig.
constexpr const char* kSdlLibrary = "libSDL2-2.0.so.0";
constexpr const char* kTtfLibrary = "libSDL2_ttf-2.0.so.0";
constexpr const char* kFontconfigLibrary = "libfontconfig.so.1";
constexpr const char* kX11Library = "libX11.so.6";

#define PARLENDO_WINDOW_SDL(X)      \
    X(SDL_CreateRenderer)           \
    X(SDL_CreateTexture)            \
    X(SDL_CreateTextureFromSurface) \
    X(SDL_CreateWindow)             \
    X(SDL_DestroyRenderer)          \
    X(SDL_DestroyTexture)           \
    X(SDL_DestroyWindow)            \
    X(SDL_FreeSurface)              \
    X(SDL_GetDisplayBounds)         \
    X(SDL_GetDisplayUsableBounds)   \
    X(SDL_GetError)                 \
    X(SDL_GetModState)              \
    X(SDL_GetMouseState)            \
    X(SDL_GetWindowWMInfo)          \
    X(SDL_HideWindow)               \
    X(SDL_InitSubSystem)            \
    X(SDL_PollEvent)                \
    X(SDL_Quit)                     \
    X(SDL_QuitSubSystem)            \
    X(SDL_RaiseWindow)              \
    X(SDL_RenderClear)              \
    X(SDL_RenderCopy)               \
    X(SDL_RenderFillRect)           \
    X(SDL_RenderPresent)            \
    X(SDL_SetRenderDrawColor)       \
    X(SDL_SetTextureColorMod)       \
    X(SDL_SetWindowMaximumSize)     \
    X(SDL_SetWindowMinimumSize)     \
    X(SDL_SetWindowTitle)           \
    X(SDL_ShowWindow)               \
    X(SDL_StartTextInput)           \
    X(SDL_UpdateTexture)            \
    X(SDL_WaitEventTimeout)         \
    X(SDL_SetHint)
#define PARLENDO_WINDOW_TTF(X)   \
    X(TTF_CloseFont)             \
    X(TTF_FontAscent)            \
    X(TTF_FontHeight)            \
    X(TTF_Init)                  \
    X(TTF_OpenFont)              \
    X(TTF_Quit)                  \
    X(TTF_RenderGlyph32_Blended) \
    X(TTF_WasInit)
#define PARLENDO_WINDOW_FC(X) \
    X(FcConfigSubstitute)     \
    X(FcDefaultSubstitute)    \
    X(FcFontMatch)            \
    X(FcPatternAddInteger)    \
    X(FcPatternAddString)     \
    X(FcPatternCreate)        \
    X(FcPatternDestroy)       \
    X(FcPatternGetString)     \
    X(FcWeightFromOpenType)

// The functions the window calls, each as the pointer type its header declares.
struct WindowLibraries {
#define PARLENDO_WINDOW_DECLARE(name) decltype(&::name) name = nullptr;  // NOLINT(bugprone-macro-parentheses)
    PARLENDO_WINDOW_SDL(PARLENDO_WINDOW_DECLARE)
    PARLENDO_WINDOW_TTF(PARLENDO_WINDOW_DECLARE)
    PARLENDO_WINDOW_FC(PARLENDO_WINDOW_DECLARE)
#undef PARLENDO_WINDOW_DECLARE
};

WindowLibraries& libraries() {
    static WindowLibraries l;
    return l;
}
const WindowLibraries& lib() { return libraries(); }

// Loads the three libraries and binds every function once; false, with the reason, when one is
// missing (a later call tries again).
bool loadWindowLibraries(std::string& error) {
    static bool loaded = false;
    if (loaded) return true;
    std::optional<SharedLibrary> sdl = SharedLibrary::load(kSdlLibrary, error);
    if (!sdl) return false;
    std::optional<SharedLibrary> ttf = SharedLibrary::load(kTtfLibrary, error);
    if (!ttf) return false;
    std::optional<SharedLibrary> fc = SharedLibrary::load(kFontconfigLibrary, error);
    if (!fc) return false;
    WindowLibraries& l = libraries();
    bool ok = true;
#define PARLENDO_WINDOW_BIND_SDL(name) ok = ok && sdl->resolve(l.name, #name, error);
#define PARLENDO_WINDOW_BIND_TTF(name) ok = ok && ttf->resolve(l.name, #name, error);
#define PARLENDO_WINDOW_BIND_FC(name) ok = ok && fc->resolve(l.name, #name, error);
    PARLENDO_WINDOW_SDL(PARLENDO_WINDOW_BIND_SDL)
    PARLENDO_WINDOW_TTF(PARLENDO_WINDOW_BIND_TTF)
    PARLENDO_WINDOW_FC(PARLENDO_WINDOW_BIND_FC)
#undef PARLENDO_WINDOW_BIND_SDL
#undef PARLENDO_WINDOW_BIND_TTF
#undef PARLENDO_WINDOW_BIND_FC
    loaded = ok;
    return ok;
}

// The font used when FONTE names none that is installed: Debian's monospaced font.
constexpr const char* kFallbackFamily = "DejaVu Sans Mono";
constexpr const char* kFallbackFile = "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf";
constexpr const char* kFallbackBoldFile = "/usr/share/fonts/truetype/dejavu/DejaVuSansMono-Bold.ttf";
// FONTE's default names a font the desktop does not have; it stands for the fallback, quietly.
constexpr const char* kDefaultFace = "Lucida Console";
// How long a wait for a key sleeps between looks at the other sources.
constexpr int kIdleStepMs = 50;
// Drawing while the program runs is kept to this pace; a wait for a key draws at once.
constexpr auto kFramePace = std::chrono::milliseconds(20);
constexpr size_t kTypedAheadLimit = 256;

// The font file fontconfig gives for a family and weight, and whether it is that family.
std::optional<std::string> matchFont(const std::string& family, int weight, bool& exact) {
    exact = false;
    FcPattern* pattern = lib().FcPatternCreate();
    if (!pattern) return std::nullopt;
    lib().FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    lib().FcPatternAddInteger(pattern, FC_WEIGHT, lib().FcWeightFromOpenType(weight));
    lib().FcPatternAddInteger(pattern, FC_SPACING, FC_MONO);
    lib().FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    lib().FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = lib().FcFontMatch(nullptr, pattern, &result);
    lib().FcPatternDestroy(pattern);
    if (!match) return std::nullopt;
    std::optional<std::string> file;
    FcChar8* value = nullptr;
    if (lib().FcPatternGetString(match, FC_FILE, 0, &value) == FcResultMatch)
        file = reinterpret_cast<char*>(value);
    if (lib().FcPatternGetString(match, FC_FAMILY, 0, &value) == FcResultMatch)
        exact = text::equalsIgnoringCase(reinterpret_cast<char*>(value), family);
    lib().FcPatternDestroy(match);
    return file;
}

Modifiers modifiersOf(Uint16 mod) {
    return Modifiers{(mod & KMOD_SHIFT) != 0, (mod & KMOD_CTRL) != 0, (mod & KMOD_ALT) != 0};
}

}  // namespace

std::vector<WindowMagnifiedRun> windowMagnifiedRuns(const MagnifiedLine& m) {
    std::vector<WindowMagnifiedRun> runs;
    if (m.factor == 0) return runs;
    const int one = static_cast<int>(m.partOne.size());
    const int two = static_cast<int>(m.partTwo.size());
    if (one > 0) runs.push_back({0, m.partOne, m.letter});
    if (two > 0) runs.push_back({one, m.partTwo, m.cursor});
    if (!m.partThree.empty()) runs.push_back({one + two, m.partThree, m.letter});
    return runs;
}

// The X server went away under the window. Xlib would end the process there; its exit handler is
// replaced, so that the window goes dead and the program goes on without it.
namespace {
void onDisplayLost(Display* /*display*/, void* lost) { *static_cast<bool*>(lost) = true; }
}  // namespace

struct WindowRenderer::Impl {
    ConsoleGrid& grid;
    KeyQueue& keys;
    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    TTF_Font* font = nullptr;
    std::array<SDL_Texture*, 256> glyphs{};
    int cellWidth = 0;
    int lineHeight = 0;
    int ascent = 0;
    std::function<bool()> hold;
    std::function<void()> idle;
    BrailleKeyboard* braille = nullptr;
    std::deque<TypedKey> typed;
    std::function<void(const std::string&)> warn;
    bool displayLost = false;  // set by Xlib's exit handler
    bool lossTold = false;
    // Draws over the grid after each repaint (a picture); null while there is none.
    std::function<void(SDL_Renderer*)> overGrid;
    // The picture IMAGEM shows: its pixels until the first repaint makes a texture of them.
    struct ShownPicture {
        Picture pixels;
        int x = 0;
        int y = 0;
        SDL_Texture* texture = nullptr;
        ShownPicture(const ShownPicture&) = delete;
        ShownPicture& operator=(const ShownPicture&) = delete;
        ShownPicture(Picture p, int px, int py) : pixels(std::move(p)), x(px), y(py) {}
        ~ShownPicture() {
            if (texture) lib().SDL_DestroyTexture(texture);
        }
    };
    std::unique_ptr<ShownPicture> picture;
    bool loaded = false;  // the libraries are there to release what was made with them
    bool dirty = true;
    bool focused = true;
    bool reading = false;
    bool ignoreNextClick = false;
    bool magnifiedPending = false;
    bool magnifiedShown = false;
    std::chrono::steady_clock::time_point lastFrame{};

    Impl(ConsoleGrid& g, KeyQueue& k) : grid(g), keys(k) {}

    ~Impl() {
        if (!loaded || displayLost) {
            // Nothing is left to release on a lost display; a picture's texture went with it.
            if (picture) picture->texture = nullptr;
            return;
        }
        overGrid = nullptr;
        picture.reset();  // its texture before the renderer
        for (SDL_Texture* t : glyphs)
            if (t) lib().SDL_DestroyTexture(t);
        if (font) lib().TTF_CloseFont(font);
        if (renderer) lib().SDL_DestroyRenderer(renderer);
        if (window) lib().SDL_DestroyWindow(window);
        if (lib().TTF_WasInit()) lib().TTF_Quit();
        lib().SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }

    bool openFont(const ConsoleSettings& s, std::string& problem,
                  const std::function<void(const std::string&)>& warn) {
        const std::string face = s.fontFace.value_or(kDefaultFace);
        const int weight = s.fontWeight.value_or(700);
        bool exact = false;
        std::optional<std::string> file = matchFont(face, weight, exact);
        if (!exact) {
            if (!text::equalsIgnoringCase(face, kDefaultFace))
                warn("a fonte " + face + " não foi encontrada; o console usa "_cp + kFallbackFamily + ".");
            bool fallbackExact = false;
            file = matchFont(kFallbackFamily, weight, fallbackExact);
            if (!fallbackExact) file = weight >= 600 ? kFallbackBoldFile : kFallbackFile;
        }
        int workWidth = 1024, workHeight = 734;
        SDL_Rect area;
        if (lib().SDL_GetDisplayUsableBounds(0, &area) == 0) {
            workWidth = area.w;
            workHeight = area.h;
        }
        const WindowCellSize cell = windowCellSize(s.fontWidth, s.fontHeight, workWidth, workHeight);
        font = lib().TTF_OpenFont(file->c_str(), cell.height);
        if (!font && *file != kFallbackFile) font = lib().TTF_OpenFont(kFallbackFile, cell.height);
        if (!font) {
            problem = "nenhuma fonte para o console: " + std::string(lib().SDL_GetError());
            return false;
        }
        // The font is made as high as a cell: its height from the first size tried.
        const int got = lib().TTF_FontHeight(font);
        if (got > 0 && got != cell.height) {
            const int size = std::max(1, cell.height * cell.height / got);
            if (TTF_Font* sized = lib().TTF_OpenFont(file->c_str(), size)) {
                lib().TTF_CloseFont(font);
                font = sized;
            }
        }
        cellWidth = cell.width;
        lineHeight = cell.height;
        ascent = std::min(lib().TTF_FontAscent(font), lineHeight - 2);
        return true;
    }

    bool open(const ConsoleSettings& s, std::string& problem,
              const std::function<void(const std::string&)>& warnLine) {
        std::string error;
        if (!loadWindowLibraries(error)) {
            problem = "sem janela: " + error;
            return false;
        }
        loaded = true;
        // The program keeps its own handling of SIGINT and SIGTERM.
        lib().SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        if (lib().SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
            problem = "sem janela: " + std::string(lib().SDL_GetError());
            return false;
        }
        if (lib().TTF_Init() != 0) {
            problem = "sem fontes: " + std::string(lib().SDL_GetError());
            return false;
        }
        warn = warnLine;
        if (!openFont(s, problem, warnLine)) return false;
        // At most the whole grid, capped at the screen; at least 16 cells by 4 lines. A window
        // asked larger than the screen (absurd sizes in VIDEO) opens at the screen's size.
        int maxWidth = cellWidth * ConsoleGrid::kColumns, maxHeight = lineHeight * ConsoleGrid::kRows;
        SDL_Rect screen;
        if (lib().SDL_GetDisplayBounds(0, &screen) == 0) {
            maxWidth = std::min(maxWidth, screen.w);
            maxHeight = std::min(maxHeight, screen.h);
        }
        Uint32 flags = SDL_WINDOW_RESIZABLE | (s.maximised ? SDL_WINDOW_MAXIMIZED : 0);
        window = lib().SDL_CreateWindow(text::cp1252ToUtf8(grid.title()).c_str(), SDL_WINDOWPOS_UNDEFINED,
                                        SDL_WINDOWPOS_UNDEFINED, maxWidth, maxHeight, flags);
        if (!window) {
            problem = "sem janela: " + std::string(lib().SDL_GetError());
            return false;
        }
        lib().SDL_SetWindowMaximumSize(window, maxWidth, maxHeight);
        lib().SDL_SetWindowMinimumSize(window, std::min(16 * cellWidth, maxWidth),
                                       std::min(4 * lineHeight, maxHeight));
        watchDisplay();
        renderer = lib().SDL_CreateRenderer(window, -1, 0);
        if (!renderer) renderer = lib().SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE);
        if (!renderer) {
            problem = "sem janela: " + std::string(lib().SDL_GetError());
            return false;
        }
        lib().SDL_StartTextInput();
        return true;
    }

    // On X11 the display's exit handler (libX11 1.7 and later) is the program's; without it a
    // lost server ends the run as before.
    void watchDisplay() {
        SDL_SysWMinfo info;
        SDL_VERSION(&info.version);
        if (lib().SDL_GetWindowWMInfo(window, &info) != SDL_TRUE || info.subsystem != SDL_SYSWM_X11) return;
        std::string error;
        std::optional<SharedLibrary> x11 = SharedLibrary::load(kX11Library, error);
        decltype(&::XSetIOErrorExitHandler) setExitHandler = nullptr;
        if (x11 && x11->resolve(setExitHandler, "XSetIOErrorExitHandler", error))
            setExitHandler(info.info.x11.display, onDisplayLost, &displayLost);
    }

    // Once the display is gone the window is dead: said once, then nothing more is drawn or read.
    bool lost() {
        if (!displayLost) return false;
        if (!lossTold) {
            lossTold = true;
            warn("a janela perdeu o servidor gráfico; o programa continua sem ela."_cp);
        }
        return true;
    }

    SDL_Texture* glyph(uint8_t b) {
        if (glyphs[b]) return glyphs[b];
        const char32_t cp = text::cp1252CodePoint(static_cast<char>(b));
        SDL_Surface* surface =
            lib().TTF_RenderGlyph32_Blended(font, static_cast<Uint32>(cp), SDL_Color{255, 255, 255, 255});
        if (!surface) return nullptr;
        glyphs[b] = lib().SDL_CreateTextureFromSurface(renderer, surface);
        lib().SDL_FreeSurface(surface);
        return glyphs[b];
    }

    void fill(int x, int y, int w, int h, Rgb c) {
        lib().SDL_SetRenderDrawColor(renderer, c.r, c.g, c.b, 255);
        SDL_Rect r{x, y, w, h};
        lib().SDL_RenderFillRect(renderer, &r);
    }

    void drawCell(uint8_t b, int x, int y, int w, int h, Rgb fg, Rgb bg) {
        fill(x, y, w, h, bg);
        if (b == ' ') return;
        if (SDL_Texture* t = glyph(b)) {
            lib().SDL_SetTextureColorMod(t, fg.r, fg.g, fg.b);
            SDL_Rect r{x, y, w, h};
            lib().SDL_RenderCopy(renderer, t, nullptr, &r);
        }
    }

    void drawPicture() {
        if (!picture || picture->pixels.width <= 0 || picture->pixels.height <= 0) return;
        ShownPicture& p = *picture;
        if (!p.texture) {
            p.texture = lib().SDL_CreateTexture(renderer, SDL_PIXELFORMAT_RGB24, SDL_TEXTUREACCESS_STATIC,
                                                p.pixels.width, p.pixels.height);
            // Too large for the renderer, or out of memory: the grid alone is shown.
            if (!p.texture) return;
            lib().SDL_UpdateTexture(p.texture, nullptr, p.pixels.rgb.data(), p.pixels.width * 3);
            p.pixels.rgb = {};
        }
        SDL_Rect r{p.x, p.y, p.pixels.width, p.pixels.height};
        lib().SDL_RenderCopy(renderer, p.texture, nullptr, &r);
    }

    void draw() {
        lib().SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
        lib().SDL_RenderClear(renderer);
        for (int row = 1; row <= ConsoleGrid::kRows; ++row)
            for (int column = 1; column <= ConsoleGrid::kColumns; ++column) {
                const uint8_t a = grid.cellAttribute(row, column);
                drawCell(static_cast<uint8_t>(grid.cellChar(row, column)), (column - 1) * cellWidth,
                         (row - 1) * lineHeight, cellWidth, lineHeight, grid.rgbOf(a & 15),
                         grid.rgbOf(a >> 4));
            }
        if (overGrid) overGrid(renderer);
        drawPicture();
        if (magnifiedShown) {
            const MagnifiedLine& m = grid.magnified();
            const int w = cellWidth * m.factor, h = lineHeight * m.factor;
            for (const WindowMagnifiedRun& run : windowMagnifiedRuns(m))
                for (size_t i = 0; i < run.text.size(); ++i)
                    drawCell(static_cast<uint8_t>(run.text[i]), (run.cell + static_cast<int>(i)) * w, 0, w, h,
                             grid.rgbOf(run.colour), grid.rgbOf(m.background));
        }
        if (reading && focused) {
            // The caret: a bar two pixels high under the cursor's cell, in the cell's colour.
            const int column = grid.cursorColumn(), row = grid.cursorRow();
            fill((column - 1) * cellWidth, (row - 1) * lineHeight + ascent, cellWidth, 2,
                 grid.rgbOf(grid.cellAttribute(row, column) & 15));
        }
        lib().SDL_RenderPresent(renderer);
        dirty = false;
        lastFrame = std::chrono::steady_clock::now();
    }

    void type(TypedKey k) {
        if (typed.size() < kTypedAheadLimit) typed.push_back(std::move(k));
    }

    void keyDown(const SDL_KeyboardEvent& e) {
        const Modifiers m = modifiersOf(e.keysym.mod);
        const SDL_Keycode sym = e.keysym.sym;
        // Ctrl+Alt+F11/F12 set the braille keyboard's mode; the desktop often keeps them, so
        // Ctrl+Shift+F11/F12 do the same. The key is known by its place: with Ctrl and Alt the
        // X keymap names F11 and F12 as switches to virtual consoles.
        const SDL_Scancode place = e.keysym.scancode;
        if (braille && m.ctrl && (m.alt || m.shift) &&
            (place == SDL_SCANCODE_F11 || place == SDL_SCANCODE_F12)) {
            if (e.repeat == 0) {
                if (place == SDL_SCANCODE_F12)
                    braille->setMode(BrailleKeyboard::kOff);
                else
                    braille->nextMode();
            }
            return;
        }
        if (braille && braille->on() && !m.ctrl) {
            const char chord = windowChordKey(sym);
            if (chord != 0 && braille->keyDown(chord, false)) return;
        }
        if (std::optional<TypedKey> k = windowKeyDown(sym, m, (e.keysym.mod & KMOD_NUM) != 0)) type(*k);
    }

    void keyUp(const SDL_KeyboardEvent& e) {
        if (!braille || !braille->on()) return;
        const Modifiers m = modifiersOf(e.keysym.mod);
        if (std::optional<uint8_t> c = braille->keyUp(windowChordKey(e.keysym.sym), m.ctrl)) {
            if (*c != 254) type(characterKey(*c));
        }
    }

    void textInput(const char* utf8) {
        // Ctrl and Alt with a key are keys of their own, taken when the key went down.
        if (lib().SDL_GetModState() & (KMOD_CTRL | KMOD_ALT)) return;
        for (TypedKey& k : windowTextKeys(utf8)) {
            if (braille && braille->swallowsCharacter(static_cast<uint8_t>(k.bytes[0]))) continue;
            type(std::move(k));
        }
    }

    void mouse(std::optional<TypedKey> k, int x, int y) {
        if (!k) return;
        if (ignoreNextClick) {
            ignoreNextClick = false;
            return;
        }
        keys.setPointer(x, y);
        type(std::move(*k));
    }

    void handle(const SDL_Event& e) {
        switch (e.type) {
            case SDL_QUIT:
                // Closing the window ends the program at once.
                lib().SDL_Quit();
                std::_Exit(0);
            case SDL_KEYDOWN:
                keyDown(e.key);
                break;
            case SDL_KEYUP:
                keyUp(e.key);
                break;
            case SDL_TEXTINPUT:
                textInput(e.text.text);
                break;
            case SDL_MOUSEBUTTONDOWN:
                mouse(windowMouseKey(e.button.button, modifiersOf(lib().SDL_GetModState())), e.button.x,
                      e.button.y);
                break;
            case SDL_MOUSEWHEEL: {
                int y = e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -e.wheel.y : e.wheel.y;
                int x = 0, py = 0;
                lib().SDL_GetMouseState(&x, &py);
                mouse(windowWheelKey(y, modifiersOf(lib().SDL_GetModState())), x, py);
                break;
            }
            case SDL_WINDOWEVENT:
                switch (e.window.event) {
                    case SDL_WINDOWEVENT_FOCUS_GAINED:
                        focused = true;
                        // The click that brought the window forward is no key.
                        if (lib().SDL_GetMouseState(nullptr, nullptr) != 0) ignoreNextClick = true;
                        break;
                    case SDL_WINDOWEVENT_FOCUS_LOST:
                        focused = false;
                        ignoreNextClick = false;
                        break;
                    default:
                        break;
                }
                dirty = true;  // exposed, resized, shown: painted anew
                break;
            default:
                break;
        }
    }

    void drain() {
        SDL_Event e;
        while (lib().SDL_PollEvent(&e)) handle(e);
    }

    void deliver() {
        while (!typed.empty() && !(hold && hold())) {
            if (keys.size() + typed.front().bytes.size() > KeyQueue::kCapacity) break;
            keys.pushKey(typed.front());
            typed.pop_front();
        }
    }

    void pump() {
        if (lost()) return;
        drain();
        deliver();
        if (dirty && std::chrono::steady_clock::now() - lastFrame >= kFramePace) draw();
    }

    std::optional<TypedKey> nextKey() {
        if (lost()) return std::nullopt;
        // The magnified line is shown while the reader that drew it waits for its key.
        magnifiedShown = magnifiedPending;
        magnifiedPending = false;
        reading = true;
        draw();
        for (;;) {
            if (!typed.empty()) {
                TypedKey k = std::move(typed.front());
                typed.pop_front();
                reading = false;
                dirty = true;
                return k;
            }
            SDL_Event e;
            if (lib().SDL_WaitEventTimeout(&e, kIdleStepMs)) {
                handle(e);
                drain();
            }
            if (dirty) draw();
            if (idle && typed.empty()) {
                idle();
                if (keys.size() > 0) {
                    reading = false;
                    dirty = true;
                    return TypedKey{};
                }
            }
        }
    }
};

std::unique_ptr<WindowRenderer> WindowRenderer::create(ConsoleGrid& grid, KeyQueue& keys,
                                                       const ConsoleSettings& settings, std::string& problem,
                                                       const std::function<void(const std::string&)>& warn) {
    auto impl = std::make_unique<Impl>(grid, keys);
    if (!impl->open(settings, problem, warn)) return nullptr;
    impl->draw();
    return std::unique_ptr<WindowRenderer>(new WindowRenderer(std::move(impl)));
}

WindowRenderer::WindowRenderer(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
WindowRenderer::~WindowRenderer() = default;

void WindowRenderer::holdKeysWhile(std::function<bool()> hold) { impl_->hold = std::move(hold); }
void WindowRenderer::whileWaiting(std::function<void()> idle) { impl_->idle = std::move(idle); }
void WindowRenderer::setBrailleKeyboard(BrailleKeyboard* keyboard) { impl_->braille = keyboard; }

void WindowRenderer::written(std::string_view) { impl_->dirty = true; }
void WindowRenderer::cleared() { impl_->dirty = true; }
void WindowRenderer::magnifiedLineChanged() { impl_->magnifiedPending = true; }

void WindowRenderer::drawOverGrid(std::function<void(SDL_Renderer*)> draw) {
    impl_->overGrid = std::move(draw);
    impl_->dirty = true;
}

void WindowRenderer::showPicture(const Picture& picture, int x, int y) {
    if (impl_->displayLost) return;
    impl_->picture = std::make_unique<Impl::ShownPicture>(picture, x, y);
    impl_->dirty = true;
}

void WindowRenderer::removePicture() {
    if (impl_->displayLost) return;
    impl_->picture.reset();
    impl_->dirty = true;
}

void WindowRenderer::titleChanged() {
    if (impl_->displayLost) return;
    lib().SDL_SetWindowTitle(impl_->window, text::cp1252ToUtf8(impl_->grid.title()).c_str());
}

void WindowRenderer::shownChanged(bool shown) {
    if (impl_->displayLost) return;
    if (shown) {
        lib().SDL_ShowWindow(impl_->window);
        lib().SDL_RaiseWindow(impl_->window);
    } else {
        lib().SDL_HideWindow(impl_->window);
    }
    impl_->dirty = true;
}

void WindowRenderer::pump() { impl_->pump(); }

std::optional<TypedKey> WindowRenderer::nextKey() { return impl_->nextKey(); }

}  // namespace parlendo
