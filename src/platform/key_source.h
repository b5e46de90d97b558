// What a typed key is and where typed keys come from: the terminal, standard input and the
// harness's scripted keys are sources; the console's key queue takes from them.
#pragma once

#include <optional>
#include <string>

namespace parlendo {

// The modifier keys held when a key was typed.
struct Modifiers {
    bool shift = false;
    bool ctrl = false;
    bool alt = false;
    bool operator==(const Modifiers&) const = default;
};

// One key: one byte, or 0 and a code for an extended key; and the modifiers held.
struct TypedKey {
    std::string bytes;
    Modifiers modifiers;
    bool operator==(const TypedKey&) const = default;
};

// Where typed keys come from. nextKey is asked only when the program blocks on an empty queue;
// it waits for one key, or gives nothing when no key will ever come (the harness's keys ran out,
// standard input closed).
class KeySource {
public:
    virtual ~KeySource() = default;
    virtual std::optional<TypedKey> nextKey() = 0;
};

}  // namespace parlendo
