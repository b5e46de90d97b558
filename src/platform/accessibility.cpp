// The accessibility service over AT-SPI2: libatspi loaded with dlopen, its events taken from the
// GLib main context while the program's event loop pumps, on the interpreter's thread.
#include "platform/accessibility.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string_view>
#include <utility>

#include "platform/shared_library.h"
#include "text/cp1252.h"

#ifndef PARLENDO_NO_ATSPI
#include <atspi/atspi.h>
#include <dbus/dbus.h>
#endif

namespace parlendo {

namespace {

// The role numbers MSAA CODIGO gives, for the AT-SPI roles that have one. A role missing here is numbered 8,
// "some other role"; the role's own name still tells what it is.
struct RoleNumber {
    int atspiRole;
    int number;
};

#ifndef PARLENDO_NO_ATSPI
constexpr std::array kRoleTable = {
    RoleNumber{ATSPI_ROLE_INVALID, 0},
    RoleNumber{ATSPI_ROLE_TITLE_BAR, 1},
    RoleNumber{ATSPI_ROLE_MENU_BAR, 2},
    RoleNumber{ATSPI_ROLE_SCROLL_BAR, 3},
    RoleNumber{ATSPI_ROLE_ALERT, 8},
    RoleNumber{ATSPI_ROLE_NOTIFICATION, 8},
    RoleNumber{ATSPI_ROLE_FRAME, 9},
    RoleNumber{ATSPI_ROLE_WINDOW, 9},
    RoleNumber{ATSPI_ROLE_INTERNAL_FRAME, 9},
    RoleNumber{ATSPI_ROLE_POPUP_MENU, 11},
    RoleNumber{ATSPI_ROLE_MENU, 12},
    RoleNumber{ATSPI_ROLE_MENU_ITEM, 12},
    RoleNumber{ATSPI_ROLE_CHECK_MENU_ITEM, 12},
    RoleNumber{ATSPI_ROLE_RADIO_MENU_ITEM, 12},
    RoleNumber{ATSPI_ROLE_TEAROFF_MENU_ITEM, 12},
    RoleNumber{ATSPI_ROLE_TOOL_TIP, 13},
    RoleNumber{ATSPI_ROLE_APPLICATION, 14},
    RoleNumber{ATSPI_ROLE_DOCUMENT_FRAME, 15},
    RoleNumber{ATSPI_ROLE_DOCUMENT_TEXT, 15},
    RoleNumber{ATSPI_ROLE_DOCUMENT_WEB, 15},
    RoleNumber{ATSPI_ROLE_DOCUMENT_EMAIL, 15},
    RoleNumber{ATSPI_ROLE_DOCUMENT_SPREADSHEET, 15},
    RoleNumber{ATSPI_ROLE_DOCUMENT_PRESENTATION, 15},
    RoleNumber{ATSPI_ROLE_PANEL, 16},
    RoleNumber{ATSPI_ROLE_FILLER, 16},
    RoleNumber{ATSPI_ROLE_CANVAS, 16},
    RoleNumber{ATSPI_ROLE_SCROLL_PANE, 16},
    RoleNumber{ATSPI_ROLE_SPLIT_PANE, 16},
    RoleNumber{ATSPI_ROLE_ROOT_PANE, 16},
    RoleNumber{ATSPI_ROLE_LAYERED_PANE, 16},
    RoleNumber{ATSPI_ROLE_GLASS_PANE, 16},
    RoleNumber{ATSPI_ROLE_OPTION_PANE, 16},
    RoleNumber{ATSPI_ROLE_DIRECTORY_PANE, 16},
    RoleNumber{ATSPI_ROLE_VIEWPORT, 16},
    RoleNumber{ATSPI_ROLE_CHART, 17},
    RoleNumber{ATSPI_ROLE_DIALOG, 18},
    RoleNumber{ATSPI_ROLE_FILE_CHOOSER, 18},
    RoleNumber{ATSPI_ROLE_COLOR_CHOOSER, 18},
    RoleNumber{ATSPI_ROLE_FONT_CHOOSER, 18},
    RoleNumber{ATSPI_ROLE_GROUPING, 20},
    RoleNumber{ATSPI_ROLE_SECTION, 20},
    RoleNumber{ATSPI_ROLE_SEPARATOR, 21},
    RoleNumber{ATSPI_ROLE_TOOL_BAR, 22},
    RoleNumber{ATSPI_ROLE_STATUS_BAR, 23},
    RoleNumber{ATSPI_ROLE_TABLE, 24},
    RoleNumber{ATSPI_ROLE_COLUMN_HEADER, 25},
    RoleNumber{ATSPI_ROLE_TABLE_COLUMN_HEADER, 25},
    RoleNumber{ATSPI_ROLE_ROW_HEADER, 26},
    RoleNumber{ATSPI_ROLE_TABLE_ROW_HEADER, 26},
    RoleNumber{ATSPI_ROLE_TABLE_ROW, 28},
    RoleNumber{ATSPI_ROLE_TABLE_CELL, 29},
    RoleNumber{ATSPI_ROLE_LINK, 30},
    RoleNumber{ATSPI_ROLE_LIST, 33},
    RoleNumber{ATSPI_ROLE_LIST_BOX, 33},
    RoleNumber{ATSPI_ROLE_LIST_ITEM, 34},
    RoleNumber{ATSPI_ROLE_TREE, 35},
    RoleNumber{ATSPI_ROLE_TREE_TABLE, 35},
    RoleNumber{ATSPI_ROLE_TREE_ITEM, 36},
    RoleNumber{ATSPI_ROLE_PAGE_TAB, 37},
    RoleNumber{ATSPI_ROLE_ICON, 40},
    RoleNumber{ATSPI_ROLE_IMAGE, 40},
    RoleNumber{ATSPI_ROLE_DRAWING_AREA, 40},
    RoleNumber{ATSPI_ROLE_LABEL, 41},
    RoleNumber{ATSPI_ROLE_STATIC, 41},
    RoleNumber{ATSPI_ROLE_CAPTION, 41},
    RoleNumber{ATSPI_ROLE_HEADING, 41},
    RoleNumber{ATSPI_ROLE_PARAGRAPH, 41},
    RoleNumber{ATSPI_ROLE_ACCELERATOR_LABEL, 41},
    RoleNumber{ATSPI_ROLE_TEXT, 42},
    RoleNumber{ATSPI_ROLE_ENTRY, 42},
    RoleNumber{ATSPI_ROLE_PASSWORD_TEXT, 42},
    RoleNumber{ATSPI_ROLE_EDITBAR, 42},
    RoleNumber{ATSPI_ROLE_PUSH_BUTTON, 43},
    RoleNumber{ATSPI_ROLE_TOGGLE_BUTTON, 43},
    RoleNumber{ATSPI_ROLE_CHECK_BOX, 44},
    RoleNumber{ATSPI_ROLE_RADIO_BUTTON, 45},
    RoleNumber{ATSPI_ROLE_COMBO_BOX, 46},
    RoleNumber{ATSPI_ROLE_AUTOCOMPLETE, 46},
    RoleNumber{ATSPI_ROLE_PROGRESS_BAR, 48},
    RoleNumber{ATSPI_ROLE_LEVEL_BAR, 48},
    RoleNumber{ATSPI_ROLE_DIAL, 49},
    RoleNumber{ATSPI_ROLE_SLIDER, 51},
    RoleNumber{ATSPI_ROLE_SPIN_BUTTON, 52},
    RoleNumber{ATSPI_ROLE_ANIMATION, 54},
    RoleNumber{ATSPI_ROLE_MATH, 55},
    RoleNumber{ATSPI_ROLE_PUSH_BUTTON_MENU, 57},
    RoleNumber{ATSPI_ROLE_PAGE_TAB_LIST, 60},
};
#endif

constexpr size_t kRoleTextLongest = 200;
// How long the session bus may take to give the accessibility bus's address (it may have to
// start the bus first).
constexpr int kBusAddressTimeoutMs = 5000;
// Main-context dispatches per pump at most, so that a flood of events cannot hold the run.
constexpr int kDispatchesPerPump = 200;

}  // namespace

#ifdef PARLENDO_NO_ATSPI

int accessibleRoleNumber(int atspiRole) { return atspiRole == 0 ? 0 : 8; }
std::unique_ptr<Accessibility> createAccessibility() { return std::make_unique<NoAccessibility>(); }

#else

int accessibleRoleNumber(int atspiRole) {
    for (const RoleNumber& r : kRoleTable)
        if (r.atspiRole == atspiRole) return r.number;
    return 8;
}

namespace {

#define PARLENDO_ATSPI_FUNCTIONS(X)             \
    X(atspi_init)                               \
    X(atspi_get_desktop)                        \
    X(atspi_event_get_type)                     \
    X(atspi_event_listener_new)                 \
    X(atspi_event_listener_register)            \
    X(atspi_event_listener_deregister)          \
    X(atspi_accessible_get_child_count)         \
    X(atspi_accessible_get_child_at_index)      \
    X(atspi_accessible_get_role)                \
    X(atspi_accessible_get_localized_role_name) \
    X(atspi_accessible_get_name)                \
    X(atspi_accessible_get_state_set)           \
    X(atspi_state_set_contains)                 \
    X(atspi_accessible_get_component_iface)     \
    X(atspi_accessible_get_value_iface)         \
    X(atspi_accessible_get_text_iface)          \
    X(atspi_component_get_extents)              \
    X(atspi_component_contains)                 \
    X(atspi_component_get_accessible_at_point)  \
    X(atspi_value_get_current_value)            \
    X(atspi_text_get_character_count)           \
    X(atspi_text_get_text)                      \
    X(g_main_context_iteration)                 \
    X(g_free)                                   \
    X(g_error_free)                             \
    X(g_object_ref)                             \
    X(g_object_unref)                           \
    X(g_boxed_free)                             \
    X(dbus_error_init)                          \
    X(dbus_error_free)                          \
    X(dbus_error_is_set)                        \
    X(dbus_connection_open_private)             \
    X(dbus_connection_close)                    \
    X(dbus_connection_unref)                    \
    X(dbus_bus_register)                        \
    X(dbus_message_new_method_call)             \
    X(dbus_message_unref)                       \
    X(dbus_message_get_args)                    \
    X(dbus_connection_send_with_reply_and_block)

// The functions of libatspi and of the GLib and libdbus it brings with it.
struct AtspiApi {
#define PARLENDO_DECLARE(name) \
    decltype(&::name) name = nullptr;  // NOLINT(bugprone-macro-parentheses): names are declared
    PARLENDO_ATSPI_FUNCTIONS(PARLENDO_DECLARE)
#undef PARLENDO_DECLARE

    // Loads libatspi and binds every function; nothing when any is missing.
    static std::shared_ptr<const AtspiApi> load() {
        std::string error;
        std::optional<SharedLibrary> library = SharedLibrary::load("libatspi.so.0", error);
        if (!library) return nullptr;
        auto api = std::make_shared<AtspiApi>();
        bool bound = true;
#define PARLENDO_RESOLVE(name) bound = library->resolve(api->name, #name, error) && bound;
        PARLENDO_ATSPI_FUNCTIONS(PARLENDO_RESOLVE)
#undef PARLENDO_RESOLVE
        if (!bound) return nullptr;
        return api;
    }

    // Drops the error of a failed request; true when there was one.
    bool failed(GError*& error) const {
        if (!error) return false;
        g_error_free(error);
        error = nullptr;
        return true;
    }

    std::string takeText(gchar* utf8) const {
        if (!utf8) return {};
        std::string text = text::utf8ToCp1252(utf8);
        g_free(utf8);
        return text;
    }
};

#undef PARLENDO_ATSPI_FUNCTIONS

// A private connection to a bus address that has said hello; closed by its owner.
class BusConnection {
public:
    BusConnection(const AtspiApi& api, const char* address) : api_(api) {
        DBusError error;
        api_.dbus_error_init(&error);
        connection_ = api_.dbus_connection_open_private(address, &error);
        if (connection_ && !api_.dbus_bus_register(connection_, &error)) close();
        if (api_.dbus_error_is_set(&error)) api_.dbus_error_free(&error);
    }
    BusConnection(const BusConnection&) = delete;
    BusConnection& operator=(const BusConnection&) = delete;
    ~BusConnection() { close(); }

    bool open() const { return connection_ != nullptr; }

    // The accessibility bus's address as the session bus's org.a11y.Bus gives it; empty when it
    // does not answer in time.
    std::string accessibilityBusAddress() {
        if (!connection_) return {};
        DBusMessage* call =
            api_.dbus_message_new_method_call("org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress");
        if (!call) return {};
        DBusError error;
        api_.dbus_error_init(&error);
        DBusMessage* reply =
            api_.dbus_connection_send_with_reply_and_block(connection_, call, kBusAddressTimeoutMs, &error);
        api_.dbus_message_unref(call);
        std::string address;
        const char* text = nullptr;
        if (reply && api_.dbus_message_get_args(reply, &error, DBUS_TYPE_STRING, &text, DBUS_TYPE_INVALID) &&
            text)
            address = text;
        if (reply) api_.dbus_message_unref(reply);
        if (api_.dbus_error_is_set(&error)) api_.dbus_error_free(&error);
        return address;
    }

private:
    void close() {
        if (!connection_) return;
        api_.dbus_connection_close(connection_);
        api_.dbus_connection_unref(connection_);
        connection_ = nullptr;
    }

    const AtspiApi& api_;
    DBusConnection* connection_ = nullptr;
};

// Whether libatspi can start without aborting: the session bus answers, and so does the
// accessibility bus it names (or the one AT_SPI_BUS_ADDRESS names). The address found is handed
// to libatspi through AT_SPI_BUS_ADDRESS, so that it uses the very bus checked here.
bool busesAnswer(const AtspiApi& api) {
    const char* session = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (!session || !*session) return false;
    std::string address;
    if (const char* given = std::getenv("AT_SPI_BUS_ADDRESS"); given && *given) {
        address = given;
    } else {
        BusConnection bus(api, session);
        if (!bus.open()) return false;
        address = bus.accessibilityBusAddress();
        if (address.empty()) return false;
    }
    BusConnection accessibilityBus(api, address.c_str());
    if (!accessibilityBus.open()) return false;
    return ::setenv("AT_SPI_BUS_ADDRESS", address.c_str(), 1) == 0;
}

// Holds one reference to an AtspiAccessible for as long as it lives.
class AtspiElement final : public AccessibleElement {
public:
    // Takes over the reference given.
    AtspiElement(std::shared_ptr<const AtspiApi> api, AtspiAccessible* object)
        : api_(std::move(api)), object_(object) {}
    AtspiElement(const AtspiElement&) = delete;
    AtspiElement& operator=(const AtspiElement&) = delete;
    ~AtspiElement() override { api_->g_object_unref(object_); }

    AtspiAccessible* object() const { return object_; }

    bool reachable() override { return atspiRole().has_value(); }

    std::optional<int> role() override {
        std::optional<AtspiRole> r = atspiRole();
        if (!r) return std::nullopt;
        return accessibleRoleNumber(*r);
    }

    std::optional<std::string> roleText() override {
        GError* error = nullptr;
        gchar* name = api_->atspi_accessible_get_localized_role_name(object_, &error);
        if (api_->failed(error)) return std::nullopt;
        std::string text = api_->takeText(name);
        if (text.size() > kRoleTextLongest) text.resize(kRoleTextLongest);
        return text;
    }

    std::optional<AccessibleArea> area() override {
        AtspiComponent* component = api_->atspi_accessible_get_component_iface(object_);
        if (!component) return std::nullopt;
        GError* error = nullptr;
        AtspiRect* rect = api_->atspi_component_get_extents(component, ATSPI_COORD_TYPE_SCREEN, &error);
        api_->g_object_unref(component);
        if (api_->failed(error) || !rect) return std::nullopt;
        AccessibleArea a{rect->x, rect->y, rect->width, rect->height};
        api_->g_free(rect);
        return a;
    }

    std::optional<std::string> name() override {
        GError* error = nullptr;
        gchar* n = api_->atspi_accessible_get_name(object_, &error);
        if (api_->failed(error)) return std::nullopt;
        return api_->takeText(n);
    }

    std::optional<AccessibleStates> states() override {
        AtspiStateSet* set = api_->atspi_accessible_get_state_set(object_);
        if (!set) return std::nullopt;
        AccessibleStates s;
        s.checked = api_->atspi_state_set_contains(set, ATSPI_STATE_CHECKED) != 0;
        s.unavailable = api_->atspi_state_set_contains(set, ATSPI_STATE_ENABLED) == 0 ||
                        api_->atspi_state_set_contains(set, ATSPI_STATE_SENSITIVE) == 0;
        api_->g_object_unref(set);
        return s;
    }

    std::optional<std::string> value() override {
        if (AtspiValue* v = api_->atspi_accessible_get_value_iface(object_)) {
            GError* error = nullptr;
            double number = api_->atspi_value_get_current_value(v, &error);
            api_->g_object_unref(v);
            if (api_->failed(error)) return std::nullopt;
            return numberText(number);
        }
        AtspiStateSet* set = api_->atspi_accessible_get_state_set(object_);
        bool editable = set && api_->atspi_state_set_contains(set, ATSPI_STATE_EDITABLE);
        if (set) api_->g_object_unref(set);
        AtspiText* t = editable ? api_->atspi_accessible_get_text_iface(object_) : nullptr;
        if (!t) return std::nullopt;
        GError* error = nullptr;
        gint count = api_->atspi_text_get_character_count(t, &error);
        gchar* text = api_->failed(error) ? nullptr : api_->atspi_text_get_text(t, 0, count, &error);
        api_->g_object_unref(t);
        if (api_->failed(error)) {
            api_->g_free(text);
            return std::nullopt;
        }
        return api_->takeText(text);
    }

private:
    std::optional<AtspiRole> atspiRole() {
        GError* error = nullptr;
        AtspiRole r = api_->atspi_accessible_get_role(object_, &error);
        if (api_->failed(error)) return std::nullopt;
        return r;
    }

    // A whole number without decimals ("7"), any other in its shortest form ("0.25").
    static std::string numberText(double number) {
        if (!std::isfinite(number)) return {};
        std::array<char, 64> buffer{};
        std::to_chars_result r{};
        if (std::trunc(number) == number && std::fabs(number) < 1e15)
            r = std::to_chars(buffer.data(), buffer.data() + buffer.size(), static_cast<long long>(number));
        else
            r = std::to_chars(buffer.data(), buffer.data() + buffer.size(), number);
        return std::string(buffer.data(), r.ptr);
    }

    std::shared_ptr<const AtspiApi> api_;
    AtspiAccessible* object_;
};

constexpr const char* kFocusEvent = "object:state-changed:focused";
constexpr const char* kActivateEvent = "window:activate";

class AtspiAccessibility final : public Accessibility {
public:
    AtspiAccessibility() = default;
    AtspiAccessibility(const AtspiAccessibility&) = delete;
    AtspiAccessibility& operator=(const AtspiAccessibility&) = delete;
    ~AtspiAccessibility() override {
        watch({});
        if (listener_) api_->g_object_unref(listener_);
    }

    void pump() override {
        if (!api_) return;
        for (int i = 0; i < kDispatchesPerPump && api_->g_main_context_iteration(nullptr, FALSE); ++i) {
        }
    }

    void watch(Sink sink) override {
        bool wanted = static_cast<bool>(sink);
        sink_ = std::move(sink);
        if (wanted == registered_ || (wanted && !start())) return;
        GError* error = nullptr;
        for (const char* type : {kFocusEvent, kActivateEvent}) {
            if (wanted)
                api_->atspi_event_listener_register(listener_, type, &error);
            else
                api_->atspi_event_listener_deregister(listener_, type, &error);
            api_->failed(error);
        }
        registered_ = wanted;
        lastFocus_.reset();
    }

    ElementRef elementAt(int x, int y) override {
        if (!start()) return nullptr;
        AtspiAccessible* desktop = api_->atspi_get_desktop(0);
        if (!desktop) return nullptr;
        // The window under the point, an active one before the others.
        AtspiAccessible* window = nullptr;
        bool windowActive = false;
        GError* error = nullptr;
        gint apps = api_->atspi_accessible_get_child_count(desktop, &error);
        if (api_->failed(error)) apps = 0;
        for (gint a = 0; a < apps && !windowActive; ++a) {
            AtspiAccessible* app = api_->atspi_accessible_get_child_at_index(desktop, a, &error);
            if (api_->failed(error) || !app) continue;
            gint windows = api_->atspi_accessible_get_child_count(app, &error);
            if (api_->failed(error)) windows = 0;
            for (gint w = 0; w < windows && !windowActive; ++w) {
                AtspiAccessible* candidate = api_->atspi_accessible_get_child_at_index(app, w, &error);
                if (api_->failed(error) || !candidate) continue;
                if (!contains(candidate, x, y)) {
                    api_->g_object_unref(candidate);
                    continue;
                }
                bool active = hasState(candidate, ATSPI_STATE_ACTIVE);
                if (!window || active) {
                    if (window) api_->g_object_unref(window);
                    window = candidate;
                    windowActive = active;
                } else {
                    api_->g_object_unref(candidate);
                }
            }
            api_->g_object_unref(app);
        }
        api_->g_object_unref(desktop);
        if (!window) return nullptr;
        // Down to the deepest element there.
        AtspiAccessible* element = window;
        for (int depth = 0; depth < kDeepest; ++depth) {
            AtspiComponent* component = api_->atspi_accessible_get_component_iface(element);
            if (!component) break;
            AtspiAccessible* child = api_->atspi_component_get_accessible_at_point(
                component, x, y, ATSPI_COORD_TYPE_SCREEN, &error);
            api_->g_object_unref(component);
            if (api_->failed(error) || !child) break;
            if (child == element) {
                api_->g_object_unref(child);
                break;
            }
            api_->g_object_unref(element);
            element = child;
        }
        return std::make_shared<AtspiElement>(api_, element);
    }

private:
    static constexpr int kDeepest = 64;

    // Loads and starts libatspi once; false, for the rest of the run, when it cannot be.
    bool start() {
        if (tried_) return api_ != nullptr;
        tried_ = true;
        std::shared_ptr<const AtspiApi> api = AtspiApi::load();
        if (!api || !busesAnswer(*api)) return false;
        // 0 started, 1 already started; anything else is a failure.
        if (int r = api->atspi_init(); r != 0 && r != 1) return false;
        listener_ = api->atspi_event_listener_new(&AtspiAccessibility::onEvent, this, nullptr);
        if (!listener_) return false;
        api_ = std::move(api);
        return true;
    }

    static void onEvent(AtspiEvent* event, void* self) {
        auto* me = static_cast<AtspiAccessibility*>(self);
        me->take(event);
        me->api_->g_boxed_free(me->api_->atspi_event_get_type(), event);
    }

    void take(const AtspiEvent* event) {
        if (!sink_ || !event->source || !event->type) return;
        std::string_view type = event->type;
        int code = 0;
        if (type.starts_with(kFocusEvent)) {
            if (event->detail1 == 0) {
                // The element with the focus lost it: its next focus is a new one.
                if (lastFocus_ && lastFocus_->object() == event->source) lastFocus_.reset();
                return;
            }
            if (lastFocus_ && lastFocus_->object() == event->source) return;
            code = kFocusChanged;
        } else if (type.starts_with(kActivateEvent)) {
            code = kForegroundChanged;
        } else {
            return;
        }
        auto element = std::make_shared<AtspiElement>(
            api_, static_cast<AtspiAccessible*>((api_->g_object_ref)(event->source)));
        if (code == kFocusChanged) lastFocus_ = element;
        // The sink may stop the watch; it gets its own copy to call.
        Sink sink = sink_;
        sink(code, std::move(element));
    }

    bool contains(AtspiAccessible* object, int x, int y) {
        AtspiComponent* component = api_->atspi_accessible_get_component_iface(object);
        if (!component) return false;
        GError* error = nullptr;
        bool inside = api_->atspi_component_contains(component, x, y, ATSPI_COORD_TYPE_SCREEN, &error);
        api_->g_object_unref(component);
        return !api_->failed(error) && inside;
    }

    bool hasState(AtspiAccessible* object, AtspiStateType state) {
        AtspiStateSet* set = api_->atspi_accessible_get_state_set(object);
        if (!set) return false;
        bool has = api_->atspi_state_set_contains(set, state);
        api_->g_object_unref(set);
        return has;
    }

    bool tried_ = false;
    std::shared_ptr<const AtspiApi> api_;
    AtspiEventListener* listener_ = nullptr;
    bool registered_ = false;
    Sink sink_;
    // The element that last gained the focus and has not lost it since.
    std::shared_ptr<AtspiElement> lastFocus_;
};

}  // namespace

std::unique_ptr<Accessibility> createAccessibility() { return std::make_unique<AtspiAccessibility>(); }

#endif

}  // namespace parlendo
