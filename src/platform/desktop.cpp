// The X desktop through Xlib and libxdo, and the choice between it and no display.
#include "platform/desktop.h"

#ifndef PARLENDO_NO_X11
#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
// The library's header declares C functions without saying so.
extern "C" {
#include <xdo.h>
}
#endif

#include <cstdlib>
#include <map>

#include "platform/environment.h"
#include "text/cp1252.h"

namespace parlendo {

#ifndef PARLENDO_NO_X11
#if defined(__SANITIZE_ADDRESS__)
// libxdo keeps the keyboard description it reads when it starts (XkbGetMap, never freed): one
// small block per connection, inside the library, which the leak checker is not to report.
extern "C" const char* __lsan_default_suppressions() { return "leak:XkbGetMap\n"; }
#endif

namespace {

// Delay libxdo keeps after each key event, in microseconds.
constexpr useconds_t kKeyDelayUs = 4000;

// Windows come and go between being listed and being acted on; an error about one that is gone
// must not end the program (Xlib's own handler exits).
int ignoreXError(Display*, XErrorEvent*) { return 0; }
// A broken connection is told to the desktop by the exit handler; Xlib's own handler would end
// the program first.
int quietIOError(Display*) { return 0; }

// The X key symbol of a virtual-key code; 0 for a code no key answers to.
KeySym keysymOfVirtualKey(int vk) {
    if (vk >= '0' && vk <= '9') return static_cast<KeySym>(vk);
    if (vk >= 'A' && vk <= 'Z') return static_cast<KeySym>(vk - 'A' + 'a');
    if (vk >= 96 && vk <= 105) return XK_KP_0 + static_cast<KeySym>(vk - 96);
    if (vk >= 112 && vk <= 135) return XK_F1 + static_cast<KeySym>(vk - 112);
    switch (vk) {
        case 8:
            return XK_BackSpace;
        case 9:
            return XK_Tab;
        case 12:
            return XK_Clear;
        case 13:
            return XK_Return;
        case 16:
        case 160:
            return XK_Shift_L;
        case 161:
            return XK_Shift_R;
        case 17:
        case 162:
            return XK_Control_L;
        case 163:
            return XK_Control_R;
        case 18:
        case 164:
            return XK_Alt_L;
        case 165:
            return XK_Alt_R;
        case 19:
            return XK_Pause;
        case 20:
            return XK_Caps_Lock;
        case 27:
            return XK_Escape;
        case 32:
            return XK_space;
        case 33:
            return XK_Prior;
        case 34:
            return XK_Next;
        case 35:
            return XK_End;
        case 36:
            return XK_Home;
        case 37:
            return XK_Left;
        case 38:
            return XK_Up;
        case 39:
            return XK_Right;
        case 40:
            return XK_Down;
        case 41:
            return XK_Select;
        case 42:
        case 44:
            return XK_Print;
        case 43:
            return XK_Execute;
        case 45:
            return XK_Insert;
        case 46:
            return XK_Delete;
        case 47:
            return XK_Help;
        case 91:
            return XK_Super_L;
        case 92:
            return XK_Super_R;
        case 93:
            return XK_Menu;
        case 106:
            return XK_KP_Multiply;
        case 107:
            return XK_KP_Add;
        case 108:
            return XK_KP_Separator;
        case 109:
            return XK_KP_Subtract;
        case 110:
            return XK_KP_Decimal;
        case 111:
            return XK_KP_Divide;
        case 144:
            return XK_Num_Lock;
        case 145:
            return XK_Scroll_Lock;
        case 186:
            return XK_semicolon;
        case 187:
            return XK_equal;
        case 188:
            return XK_comma;
        case 189:
            return XK_minus;
        case 190:
            return XK_period;
        case 191:
            return XK_slash;
        case 192:
            return XK_grave;
        case 219:
            return XK_bracketleft;
        case 220:
            return XK_backslash;
        case 221:
            return XK_bracketright;
        case 222:
            return XK_apostrophe;
        case 226:
            return XK_less;
        default:
            return 0;
    }
}

// The X key symbol of a Windows-1252 character: Latin-1 symbols are the code itself; the
// characters Windows-1252 puts at 128-159 are Unicode symbols.
KeySym keysymOfCharacter(unsigned char c) {
    if (c == 127) return XK_Delete;
    if (c < 32) return 0;
    if (c < 128 || c >= 160) return c;
    std::string utf8 = text::cp1252ToUtf8(std::string(1, static_cast<char>(c)));
    // Two or three bytes for every character here; the five undefined bytes are C1 controls.
    uint32_t cp = 0;
    if (utf8.size() == 2)
        cp = ((utf8[0] & 0x1F) << 6) | (utf8[1] & 0x3F);
    else if (utf8.size() == 3)
        cp = ((utf8[0] & 0x0F) << 12) | ((utf8[1] & 0x3F) << 6) | (utf8[2] & 0x3F);
    if (cp < 160) return 0;
    return 0x1000000 + cp;
}

KeySym deadKeysymOf(unsigned char accent) {
    switch (accent) {
        case '`':
            return XK_dead_grave;
        case 0xB4:
            return XK_dead_acute;
        case '^':
            return XK_dead_circumflex;
        case '~':
            return XK_dead_tilde;
        case 0xA8:
            return XK_dead_diaeresis;
        default:
            return 0;
    }
}

class X11Desktop final : public Desktop {
public:
    X11Desktop(Display* display, xdo_t* xdo, std::function<std::string()> consoleTitle)
        : dpy_(display), xdo_(xdo), consoleTitle_(std::move(consoleTitle)) {
        root_ = DefaultRootWindow(dpy_);
        XSetErrorHandler(ignoreXError);
        XSetIOErrorHandler(quietIOError);
        XSetIOErrorExitHandler(dpy_, &X11Desktop::connectionLost, this);
        xdo_->quiet = 1;
    }
    ~X11Desktop() override {
        // The spare key codes are given back empty, while the server is there.
        for (KeyCode code : spareCodes_) {
            KeySym none[1] = {NoSymbol};
            if (!lost_ && boundCodes_.count(code)) XChangeKeyboardMapping(dpy_, code, 1, none, 1);
        }
        xdo_free(xdo_);  // closes the display too (Xlib sends nothing on a broken one)
    }
    X11Desktop(const X11Desktop&) = delete;
    X11Desktop& operator=(const X11Desktop&) = delete;

    std::vector<WindowInfo> windows() override {
        std::vector<WindowInfo> list;
        if (lost_) return list;
        Window rootRet = 0, parent = 0, *children = nullptr;
        unsigned int n = 0;
        if (!XQueryTree(dpy_, root_, &rootRet, &parent, &children, &n)) return list;
        // The tree lists children from the bottom of the stack up.
        for (unsigned int i = n; i-- > 0;) {
            XWindowAttributes a;
            if (!XGetWindowAttributes(dpy_, children[i], &a)) continue;
            Window client = clientOf(children[i]);
            WindowInfo w;
            w.id = client;
            w.title = titleOf(client);
            w.visible = a.map_state == IsViewable;
            w.minimised = isMinimised(client);
            list.push_back(std::move(w));
        }
        if (children) XFree(children);
        return list;
    }

    void close(WindowId id) override {
        if (lost_) return;
        Window w = static_cast<Window>(id);
        if (supportsProtocol(w, atom("WM_DELETE_WINDOW"))) {
            XEvent ev{};
            ev.xclient.type = ClientMessage;
            ev.xclient.window = w;
            ev.xclient.message_type = atom("WM_PROTOCOLS");
            ev.xclient.format = 32;
            ev.xclient.data.l[0] = static_cast<long>(atom("WM_DELETE_WINDOW"));
            ev.xclient.data.l[1] = CurrentTime;
            XSendEvent(dpy_, w, False, NoEventMask, &ev);
        } else {
            // A window that does not take part in the polite close is ended the way window
            // managers end it: its client's connection is closed.
            XKillClient(dpy_, w);
        }
        XFlush(dpy_);
    }

    void showNormal(WindowId id) override {
        if (lost_) return;
        Window w = static_cast<Window>(id);
        if (windowManagerRunning()) {
            changeNetState(w, false);
            XMapRaised(dpy_, w);  // a managed window leaves its icon when mapped
        } else {
            // Without a window manager this program stands in for one: the size a maximise
            // changed is given back and the marks it set are taken off.
            auto saved = savedGeometry_.find(w);
            if (saved != savedGeometry_.end()) {
                XMoveResizeWindow(dpy_, w, saved->second.x, saved->second.y, saved->second.width,
                                  saved->second.height);
                savedGeometry_.erase(saved);
            }
            XDeleteProperty(dpy_, w, atom("_NET_WM_STATE"));
            XMapRaised(dpy_, w);
            setWmState(w, NormalState);
        }
        activate(w);
    }

    void maximise(WindowId id) override {
        if (lost_) return;
        Window w = static_cast<Window>(id);
        if (windowManagerRunning()) {
            XMapRaised(dpy_, w);
            changeNetState(w, true);
        } else {
            XWindowAttributes a;
            if (!XGetWindowAttributes(dpy_, w, &a)) return;
            if (!savedGeometry_.count(w))
                savedGeometry_[w] =
                    Rect{a.x, a.y, static_cast<unsigned>(a.width), static_cast<unsigned>(a.height)};
            int screen = DefaultScreen(dpy_);
            int width = DisplayWidth(dpy_, screen) - 2 * a.border_width;
            int height = DisplayHeight(dpy_, screen) - 2 * a.border_width;
            XMoveResizeWindow(dpy_, w, 0, 0, static_cast<unsigned>(width > 0 ? width : 1),
                              static_cast<unsigned>(height > 0 ? height : 1));
            Atom marks[2] = {atom("_NET_WM_STATE_MAXIMIZED_VERT"), atom("_NET_WM_STATE_MAXIMIZED_HORZ")};
            XChangeProperty(dpy_, w, atom("_NET_WM_STATE"), XA_ATOM, 32, PropModeReplace,
                            reinterpret_cast<unsigned char*>(marks), 2);
            XMapRaised(dpy_, w);
            setWmState(w, NormalState);
        }
        activate(w);
    }

    void minimise(WindowId id) override {
        if (lost_) return;
        Window w = static_cast<Window>(id);
        if (windowManagerRunning()) {
            XIconifyWindow(dpy_, w, DefaultScreen(dpy_));
        } else {
            // Nobody would act on the request to iconify: the window is taken off the screen and
            // marked iconic, as a window manager does, so that it can still be found and shown.
            XUnmapWindow(dpy_, w);
            setWmState(w, IconicState);
        }
        XFlush(dpy_);
    }

    // With no X window in front while the console's own window is not an X window the desktop
    // knows (a terminal outside X, or one that does not say which window is its own), the
    // console is taken to be in front: a script waiting for its own title must not wait forever.
    std::string foregroundTitle() override {
        Window w = foregroundWindow();
        if (w) return titleOf(w);
        return consoleOutsideX() ? consoleTitle() : std::string();
    }

    std::string focusedText() override {
        Window console = static_cast<Window>(consoleWindow());
        Window front = foregroundWindow();
        if (!front && consoleOutsideX()) return consoleTitle();
        if (!console || lost_) return {};
        Window own = clientOf(topLevelOf(console));
        return front && front == own ? titleOf(own) : std::string();
    }

    std::optional<WindowGeometry> foregroundGeometry() override {
        Window client = foregroundWindow();
        if (!client) return std::nullopt;
        Window frame = topLevelOf(client);
        XWindowAttributes a;
        if (!frame || !XGetWindowAttributes(dpy_, frame, &a)) return std::nullopt;
        WindowGeometry g{a.x, a.y, a.border_width};
        if (client != frame) {
            int dx = 0, dy = 0;
            Window child = 0;
            if (XTranslateCoordinates(dpy_, client, frame, 0, 0, &dx, &dy, &child)) g.frameWidth = dx;
        }
        return g;
    }

    // The terminal the console is drawn in says which X window is its own (xterm and most
    // terminals export WINDOWID); without it the console has no window the desktop knows.
    WindowId consoleWindow() override {
        std::optional<std::string> id = environmentVariable("WINDOWID");
        if (!id || id->empty()) return 0;
        char* end = nullptr;
        unsigned long long v = std::strtoull(id->c_str(), &end, 10);
        return end && *end == '\0' ? static_cast<WindowId>(v) : 0;
    }

    void sendKey(int virtualKey, int modifiers) override {
        KeySym key = keysymOfVirtualKey(virtualKey);
        if (!key || lost_) return;
        if (std::optional<KeyPlace> place = keyFor(key)) press(key, place->code, modifierMask(modifiers));
    }

    void typeCharacter(unsigned char c, int modifiers) override {
        KeySym key = keysymOfCharacter(c);
        if (!key || lost_) return;
        if (std::optional<KeyPlace> place = keyFor(key))
            press(key, place->code, place->mask | modifierMask(modifiers));
    }

    void pressKeyOf(unsigned char c, int modifiers) override {
        KeySym key = keysymOfCharacter(c);
        if (!key || lost_) return;
        if (std::optional<KeyPlace> place = keyFor(key)) press(key, place->code, modifierMask(modifiers));
    }

    bool typeDeadKey(unsigned char accent) override {
        if (lost_) return false;
        KeySym dead = deadKeysymOf(accent);
        if (!dead || !XKeysymToKeycode(dpy_, dead)) return false;
        if (std::optional<KeyPlace> place = keyFor(dead)) press(dead, place->code, place->mask);
        return true;
    }

    void toggleNumLock() override {
        if (lost_) return;
        unsigned int mask = XkbKeysymToModifiers(dpy_, XK_Num_Lock);
        if (!mask) return;
        XkbStateRec state;
        if (XkbGetState(dpy_, XkbUseCoreKbd, &state) != Success) return;
        XkbLockModifiers(dpy_, XkbUseCoreKbd, mask, (state.locked_mods & mask) ? 0 : mask);
        XFlush(dpy_);
    }

    void moveMouse(int x, int y) override {
        if (lost_) return;
        xdo_move_mouse(xdo_, x, y, DefaultScreen(dpy_));
        XFlush(dpy_);
    }

    void leftClick() override {
        if (lost_) return;
        xdo_mouse_down(xdo_, CURRENTWINDOW, Button1);
        xdo_mouse_up(xdo_, CURRENTWINDOW, Button1);
        XFlush(dpy_);
    }

private:
    struct Rect {
        int x, y;
        unsigned width, height;
    };

    // The connection to the server broke: from now on the desktop behaves as if there were none.
    static void connectionLost(Display*, void* self) { static_cast<X11Desktop*>(self)->lost_ = true; }

    Atom atom(const char* name) { return XInternAtom(dpy_, name, False); }

    std::string consoleTitle() { return consoleTitle_ ? consoleTitle_() : std::string(); }
    bool consoleOutsideX() { return lost_ || consoleWindow() == 0; }

    // A key that gives a symbol: its key code and the Shift it needs.
    struct KeyPlace {
        KeyCode code;
        unsigned int mask;
    };

    // The key of the keyboard map that gives the symbol at its first or Shift level; otherwise
    // a spare key code bound to the symbol's small and capital forms, kept bound (a binding
    // undone at once can be read back after the client has seen only the undoing).
    std::optional<KeyPlace> keyFor(KeySym sym) {
        if (KeyCode code = XKeysymToKeycode(dpy_, sym)) {
            if (XkbKeycodeToKeysym(dpy_, code, 0, 0) == sym) return KeyPlace{code, 0};
            if (XkbKeycodeToKeysym(dpy_, code, 0, 1) == sym) return KeyPlace{code, ShiftMask};
        }
        KeySym lower = sym, upper = sym;
        XConvertCase(sym, &lower, &upper);
        unsigned int mask = (sym == upper && lower != upper) ? ShiftMask : 0;
        auto bound = boundSymbols_.find(lower);
        if (bound != boundSymbols_.end()) return KeyPlace{bound->second, mask};
        if (spareCodes_.empty()) findSpareCodes();
        if (spareCodes_.empty()) return std::nullopt;
        KeyCode code = spareCodes_[nextSpare_++ % spareCodes_.size()];
        auto old = boundCodes_.find(code);
        if (old != boundCodes_.end()) boundSymbols_.erase(old->second);
        KeySym pair[2] = {lower, upper};
        XChangeKeyboardMapping(dpy_, code, 2, pair, 1);
        XSync(dpy_, False);
        boundCodes_[code] = lower;
        boundSymbols_[lower] = code;
        return KeyPlace{code, mask};
    }

    // Key codes without any symbol, free to bind.
    void findSpareCodes() {
        int low = 0, high = 0, perCode = 0;
        XDisplayKeycodes(dpy_, &low, &high);
        KeySym* syms = XGetKeyboardMapping(dpy_, static_cast<KeyCode>(low), high - low + 1, &perCode);
        if (!syms) return;
        for (int code = high; code >= low; --code) {
            bool empty = true;
            for (int j = 0; j < perCode; ++j)
                if (syms[(code - low) * perCode + j] != NoSymbol) empty = false;
            if (empty) spareCodes_.push_back(static_cast<KeyCode>(code));
            if (spareCodes_.size() == 8) break;
        }
        XFree(syms);
    }

    // Shift, Ctrl and Alt as modifier bits of X.
    unsigned int modifierMask(int modifiers) {
        unsigned int mask = 0;
        if (modifiers & kModShift) mask |= ShiftMask;
        if (modifiers & kModCtrl) mask |= ControlMask;
        if (modifiers & kModAlt) {
            unsigned int alt = XkbKeysymToModifiers(dpy_, XK_Alt_L);
            mask |= alt ? alt : Mod1Mask;
        }
        return mask;
    }

    // Presses and releases the key; libxdo presses the keys of the modifier bits first, Shift
    // before Control before Alt, and releases them.
    void press(KeySym sym, KeyCode code, unsigned int mask) {
        charcodemap_t key{};
        key.code = code;
        key.symbol = sym;
        key.modmask = static_cast<int>(mask);
        key.needs_binding = 0;
        xdo_send_keysequence_window_list_do(xdo_, CURRENTWINDOW, &key, 1, True, nullptr, kKeyDelayUs);
        xdo_send_keysequence_window_list_do(xdo_, CURRENTWINDOW, &key, 1, False, nullptr, kKeyDelayUs);
        XFlush(dpy_);
    }

    // A window manager holds the WM_Sn selection of its screen.
    bool windowManagerRunning() {
        std::string name = "WM_S" + std::to_string(DefaultScreen(dpy_));
        return XGetSelectionOwner(dpy_, atom(name.c_str())) != None;
    }

    bool hasProperty(Window w, Atom property) {
        Atom type = None;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        int r = XGetWindowProperty(dpy_, w, property, 0, 0, False, AnyPropertyType, &type, &format, &count,
                                   &after, &data);
        if (data) XFree(data);
        return r == Success && type != None;
    }

    // The window of a client under a window manager's frame: the one with WM_STATE, looked for a
    // few levels down; the window itself when none has it (no window manager).
    Window clientOf(Window w) { return findClient(w, 3).value_or(w); }

    std::optional<Window> findClient(Window w, int depth) {
        if (hasProperty(w, atom("WM_STATE"))) return w;
        if (depth == 0) return std::nullopt;
        Window rootRet = 0, parent = 0, *children = nullptr;
        unsigned int n = 0;
        if (!XQueryTree(dpy_, w, &rootRet, &parent, &children, &n)) return std::nullopt;
        std::optional<Window> found;
        for (unsigned int i = 0; i < n && !found; ++i) found = findClient(children[i], depth - 1);
        if (children) XFree(children);
        return found;
    }

    // The child of the root window that holds the window; 0 when it is gone.
    Window topLevelOf(Window w) {
        for (int guard = 0; w && guard < 64; ++guard) {
            Window rootRet = 0, parent = 0, *children = nullptr;
            unsigned int n = 0;
            if (!XQueryTree(dpy_, w, &rootRet, &parent, &children, &n)) return 0;
            if (children) XFree(children);
            if (parent == rootRet || parent == 0) return w;
            w = parent;
        }
        return 0;
    }

    // The client window in front: the window manager's active window, or the one holding the
    // keyboard focus.
    Window foregroundWindow() {
        if (lost_) return 0;
        Window active = 0;
        if (windowManagerRunning()) {
            Atom type = None;
            int format = 0;
            unsigned long count = 0, after = 0;
            unsigned char* data = nullptr;
            if (XGetWindowProperty(dpy_, root_, atom("_NET_ACTIVE_WINDOW"), 0, 1, False, XA_WINDOW, &type,
                                   &format, &count, &after, &data) == Success &&
                data && count == 1 && format == 32)
                active = static_cast<Window>(*reinterpret_cast<unsigned long*>(data));
            if (data) XFree(data);
        }
        if (!active) {
            int revert = 0;
            XGetInputFocus(dpy_, &active, &revert);
            if (active == None || active == PointerRoot || active == root_) return 0;
        }
        Window top = topLevelOf(active);
        return top ? clientOf(top) : 0;
    }

    std::string titleOf(Window w) {
        Atom type = None;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        std::string utf8;
        if (XGetWindowProperty(dpy_, w, atom("_NET_WM_NAME"), 0, 1024, False, atom("UTF8_STRING"), &type,
                               &format, &count, &after, &data) == Success &&
            data && format == 8 && type == atom("UTF8_STRING"))
            utf8.assign(reinterpret_cast<char*>(data), count);
        if (data) XFree(data);
        if (utf8.empty()) {
            XTextProperty prop{};
            if (XGetWMName(dpy_, w, &prop) && prop.value) {
                char** list = nullptr;
                int n = 0;
                if (Xutf8TextPropertyToTextList(dpy_, &prop, &list, &n) >= Success && list && n > 0)
                    utf8 = list[0];
                else if (prop.format == 8)
                    utf8 = text::cp1252ToUtf8(std::string(reinterpret_cast<char*>(prop.value), prop.nitems));
                if (list) XFreeStringList(list);
                XFree(prop.value);
            }
        }
        return text::externalToCp1252(utf8);
    }

    bool isMinimised(Window w) {
        Atom type = None;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        bool iconic = false;
        Atom wmState = atom("WM_STATE");
        if (XGetWindowProperty(dpy_, w, wmState, 0, 2, False, wmState, &type, &format, &count, &after,
                               &data) == Success &&
            data && format == 32 && count >= 1)
            iconic = *reinterpret_cast<unsigned long*>(data) == IconicState;
        if (data) XFree(data);
        if (iconic) return true;
        data = nullptr;
        if (XGetWindowProperty(dpy_, w, atom("_NET_WM_STATE"), 0, 64, False, XA_ATOM, &type, &format, &count,
                               &after, &data) == Success &&
            data && format == 32) {
            Atom hidden = atom("_NET_WM_STATE_HIDDEN");
            const unsigned long* atoms = reinterpret_cast<unsigned long*>(data);
            for (unsigned long i = 0; i < count; ++i)
                if (atoms[i] == hidden) iconic = true;
        }
        if (data) XFree(data);
        return iconic;
    }

    bool supportsProtocol(Window w, Atom protocol) {
        Atom* protocols = nullptr;
        int n = 0;
        bool found = false;
        if (XGetWMProtocols(dpy_, w, &protocols, &n)) {
            for (int i = 0; i < n; ++i)
                if (protocols[i] == protocol) found = true;
            XFree(protocols);
        }
        return found;
    }

    void setWmState(Window w, long state) {
        long data[2] = {state, None};
        Atom wmState = atom("WM_STATE");
        XChangeProperty(dpy_, w, wmState, wmState, 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(data), 2);
    }

    // Asks the window manager to add or remove the maximised marks.
    void changeNetState(Window w, bool add) {
        XEvent ev{};
        ev.xclient.type = ClientMessage;
        ev.xclient.window = w;
        ev.xclient.message_type = atom("_NET_WM_STATE");
        ev.xclient.format = 32;
        ev.xclient.data.l[0] = add ? 1 : 0;
        ev.xclient.data.l[1] = static_cast<long>(atom("_NET_WM_STATE_MAXIMIZED_VERT"));
        ev.xclient.data.l[2] = static_cast<long>(atom("_NET_WM_STATE_MAXIMIZED_HORZ"));
        ev.xclient.data.l[3] = 1;  // a request from an application
        XSendEvent(dpy_, root_, False, SubstructureRedirectMask | SubstructureNotifyMask, &ev);
    }

    // Raises the window and gives it the focus: through the window manager when there is one.
    // A window manager that follows the desktop conventions is asked through _NET_ACTIVE_WINDOW;
    // with any other, or none, the window is raised and given the focus directly (an error for a
    // window not yet on the screen is ignored).
    void activate(Window w) {
        if (windowManagerRunning() && hasProperty(root_, atom("_NET_SUPPORTING_WM_CHECK"))) {
            XEvent ev{};
            ev.xclient.type = ClientMessage;
            ev.xclient.window = w;
            ev.xclient.message_type = atom("_NET_ACTIVE_WINDOW");
            ev.xclient.format = 32;
            ev.xclient.data.l[0] = 1;  // a request from an application
            ev.xclient.data.l[1] = CurrentTime;
            XSendEvent(dpy_, root_, False, SubstructureRedirectMask | SubstructureNotifyMask, &ev);
            XFlush(dpy_);
            return;
        }
        XRaiseWindow(dpy_, w);
        XSetInputFocus(dpy_, w, RevertToParent, CurrentTime);
        XSync(dpy_, False);
    }

    Display* dpy_;
    xdo_t* xdo_;
    std::function<std::string()> consoleTitle_;
    Window root_ = 0;
    bool lost_ = false;
    // Sizes before a maximise done without a window manager, given back by NORMAL.
    std::map<Window, Rect> savedGeometry_;
    // Spare key codes and the symbols bound to them for characters the keyboard map lacks.
    std::vector<KeyCode> spareCodes_;
    size_t nextSpare_ = 0;
    std::map<KeyCode, KeySym> boundCodes_;
    std::map<KeySym, KeyCode> boundSymbols_;
};

}  // namespace

std::unique_ptr<Desktop> openX11Desktop(const std::string& displayName,
                                        std::function<std::string()> consoleTitle) {
    Display* dpy = XOpenDisplay(displayName.empty() ? nullptr : displayName.c_str());
    if (!dpy) return nullptr;
    xdo_t* xdo = xdo_new_with_opened_display(dpy, displayName.empty() ? nullptr : displayName.c_str(), 1);
    if (!xdo) {
        XCloseDisplay(dpy);
        return nullptr;
    }
    return std::make_unique<X11Desktop>(dpy, xdo, std::move(consoleTitle));
}
#else
std::unique_ptr<Desktop> openX11Desktop(const std::string&, std::function<std::string()>) { return nullptr; }
#endif

std::unique_ptr<Desktop> createDesktop(std::function<std::string()> consoleTitle) {
    std::optional<std::string> display = environmentVariable("DISPLAY");
    if (display && !display->empty())
        if (std::unique_ptr<Desktop> x = openX11Desktop(*display, consoleTitle)) return x;
    return std::make_unique<NoDisplayDesktop>(std::move(consoleTitle));
}

}  // namespace parlendo
