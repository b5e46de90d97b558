// MSAA over the accessibility service of the run: the event ring, the current element and the
// reading of its properties.
#include "commands/accessible_objects.h"

#include <array>
#include <string_view>

#include "commands/command_state.h"
#include "interp/argument_reader.h"
#include "interp/commands.h"
#include "interp/interpreter.h"
#include "platform/event_loop.h"
#include "text/cp1252.h"
#include "text/cp1252_literal.h"

namespace parlendo {

void AccessibleEventRing::push(int code, ElementRef element) {
    entries_[write_] = Entry{code, std::move(element)};
    write_ = (write_ + 1) % kSize;
}

std::optional<AccessibleEventRing::Entry> AccessibleEventRing::take() {
    if (read_ == write_) return std::nullopt;
    Entry e = std::move(entries_[read_]);
    entries_[read_] = Entry{};
    read_ = (read_ + 1) % kSize;
    return e;
}

namespace {

// Lets events and the other sources be handled, as between the steps of taking an element.
void pumpEvents(Interpreter& in) {
    if (in.services.loop) in.services.loop->pump();
}

// Reads the properties of the element into the command's state: each request that fails leaves
// its property cleared, the area as it was.
void readProperties(AccessibleObjects& m, AccessibleElement* element) {
    m.name.clear();
    m.roleText.clear();
    m.stateText.clear();
    m.value.clear();
    m.roleCode = 0;
    if (!element) return;
    std::optional<int> role = element->role();
    if (!role) return;
    m.roleCode = *role;
    if (*role == 0) return;
    m.roleText = element->roleText().value_or("");
    if (std::optional<AccessibleArea> a = element->area()) m.area = *a;
    m.name = element->name().value_or("");
    if (std::optional<AccessibleStates> s = element->states()) {
        if (s->checked) m.stateText = "marcado";
        if (s->unavailable) m.stateText = "indisponível"_cp;
    }
    m.value = element->value().value_or("");
}

bool checa(Interpreter& in, AccessibleObjects& m, std::string_view args) {
    int slot = 0;
    if (!readVariable(in, args, slot)) return false;
    std::optional<AccessibleEventRing::Entry> event = m.ring.take();
    if (!event) return in.assign(slot, "0");
    pumpEvents(in);
    if (!event->element || !event->element->reachable()) {
        m.current.reset();
        return in.assign(slot, "0");
    }
    m.current = std::move(event->element);
    readProperties(m, m.current.get());
    pumpEvents(in);
    m.current.reset();
    pumpEvents(in);
    return in.assign(slot, "1");
}

bool captura(Interpreter& in, AccessibleObjects& m, std::string_view args) {
    std::optional<int32_t> x = readInteger(in, args);
    if (!x) return false;
    std::optional<int32_t> y = readInteger(in, args);
    if (!y) return false;
    ElementRef element = in.services.accessibility ? in.services.accessibility->elementAt(*x, *y) : nullptr;
    if (element) {
        m.current = std::move(element);
        readProperties(m, m.current.get());
    }
    return true;
}

bool area(Interpreter& in, const AccessibleObjects& m, std::string_view args) {
    for (int part : {m.area.left, m.area.top, m.area.width, m.area.height}) {
        int slot = 0;
        if (!readVariable(in, args, slot) || !in.assign(slot, std::to_string(part))) return false;
    }
    return true;
}

bool store(Interpreter& in, std::string_view args, std::string value) {
    int slot = 0;
    return readVariable(in, args, slot) && in.assign(slot, std::move(value));
}

// Takes the subcommand word when the upper-cased argument text begins with it.
bool takeSubcommand(std::string_view& args, std::string_view word) {
    if (args.size() < word.size() || text::upperCase(args.substr(0, word.size())) != word) return false;
    args.remove_prefix(word.size());
    return true;
}

}  // namespace

bool cmdMsaa(Interpreter& in, std::string_view args, int) {
    dropBlanks(args);
    AccessibleObjects& m = in.state->msaa;
    Accessibility* service = in.services.accessibility;
    if (takeSubcommand(args, "MONITORA")) {
        if (service)
            service->watch([&ring = m.ring](int code, ElementRef element) {
                if (code == kFocusChanged || code == kForegroundChanged) ring.push(code, std::move(element));
            });
        m.watching = true;
        return true;
    }
    if (takeSubcommand(args, "FIM")) {
        if (service && m.watching) service->watch({});
        m.watching = false;
        m.current.reset();
        return true;
    }
    if (takeSubcommand(args, "CHECA")) return checa(in, m, args);
    if (takeSubcommand(args, "CAPTURA")) return captura(in, m, args);
    if (takeSubcommand(args, "AREA")) return area(in, m, args);
    if (takeSubcommand(args, "NOME")) return store(in, args, m.name);
    if (takeSubcommand(args, "TIPO")) return store(in, args, m.roleText);
    if (takeSubcommand(args, "CODIGO") || takeSubcommand(args, "CÓDIGO"_cp))
        return store(in, args, std::to_string(m.roleCode));
    if (takeSubcommand(args, "ESTADO")) return store(in, args, m.stateText);
    if (takeSubcommand(args, "VALOR")) return store(in, args, m.value);
    return false;
}

}  // namespace parlendo
