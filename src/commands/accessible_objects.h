// MSAA: following focus and the window in front in other programs, and reading the element an
// event or a screen point names. The command keeps one current element and what was read of it.
#pragma once

#include <array>
#include <optional>
#include <string>

#include "platform/accessibility.h"

namespace parlendo {

// The events waiting to be taken. The ring is empty when both indices are equal, so at most 99
// wait; a hundredth and more overtake the read index, and the oldest are lost.
class AccessibleEventRing {
public:
    static constexpr int kSize = 100;
    struct Entry {
        int code = 0;
        ElementRef element;
    };

    void push(int code, ElementRef element);
    // The entry at the read index, which then advances; nothing when the ring is empty.
    std::optional<Entry> take();

private:
    std::array<Entry, kSize> entries_{};
    int write_ = 0;
    int read_ = 0;
};

// What MSAA keeps for the run: the ring (its indices live as long as the run, across MONITORA
// and FIM), the element last taken and its properties.
struct AccessibleObjects {
    AccessibleEventRing ring;
    bool watching = false;
    ElementRef current;
    std::string name;
    std::string roleText;
    int roleCode = 0;
    std::string stateText;
    std::string value;
    // Kept from the last element that gave one.
    AccessibleArea area;
};

}  // namespace parlendo
