// The user-interface elements of other programs as the accessibility service shows them: focus
// and active-window events, the element at a screen point, and what an element tells of itself.
// On Linux the service is AT-SPI2, reached through libatspi, which is loaded at the first use and
// only when the session bus and the accessibility bus both answer (libatspi aborts the process
// otherwise). Texts are Windows-1252 here; the service gives UTF-8.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/event_loop.h"

namespace parlendo {

// The event codes the commands keep: the window in front changed, the keyboard focus moved.
enum AccessibleEventCode : int { kForegroundChanged = 3, kFocusChanged = 0x8005 };

// An element's bounding box in screen pixels.
struct AccessibleArea {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

struct AccessibleStates {
    bool checked = false;
    // Not enabled or not sensitive: the user cannot act on it.
    bool unavailable = false;
};

// One element, held for as long as someone keeps the pointer. Every request asks the element's
// program; nothing means the request failed.
class AccessibleElement {
public:
    virtual ~AccessibleElement() = default;
    // Whether the element can still be asked at all (its program has not let it go).
    virtual bool reachable() = 0;
    // The role as a number of the role table (accessibility.cpp); 0 for none.
    virtual std::optional<int> role() = 0;
    // The role's localized name as AT-SPI gives it, at most 200 characters.
    virtual std::optional<std::string> roleText() = 0;
    virtual std::optional<AccessibleArea> area() = 0;
    virtual std::optional<std::string> name() = 0;
    virtual std::optional<AccessibleStates> states() = 0;
    // The element's value: a number it holds, else the text of an editable text element.
    virtual std::optional<std::string> value() = 0;
};

using ElementRef = std::shared_ptr<AccessibleElement>;

class Accessibility : public EventSource {
public:
    // Takes each event (one of AccessibleEventCode) with the element it names.
    using Sink = std::function<void(int code, ElementRef element)>;

    // Starts delivering focus and active-window events to the sink, from pump() only; an empty
    // sink stops. A focus that the service reports again for the element that already has it is
    // delivered once.
    virtual void watch(Sink sink) = 0;
    // The deepest element at the screen point, through the top-level windows of the desktop;
    // nothing when there is none or the service is not reachable.
    virtual ElementRef elementAt(int x, int y) = 0;
};

// No service: no event ever comes, and no element is found anywhere.
class NoAccessibility final : public Accessibility {
public:
    void pump() override {}
    void watch(Sink) override {}
    ElementRef elementAt(int, int) override { return nullptr; }
};

// AT-SPI2, started at the first watch() or elementAt(); until then nothing is loaded or asked.
// When the session bus (DBUS_SESSION_BUS_ADDRESS) or the accessibility bus does not answer, or
// libatspi cannot be loaded, it behaves as NoAccessibility.
std::unique_ptr<Accessibility> createAccessibility();

// The role number of the commands for an AT-SPI role (AtspiRole): the table in accessibility.cpp;
// 8 for a role the table does not hold, 0 for the invalid role.
int accessibleRoleNumber(int atspiRole);

}  // namespace parlendo
