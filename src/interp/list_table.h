// The named lists of texts a run holds in memory: LISTA makes and fills them, a condition asks
// whether a text is EM one.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace parlendo {

struct ListRecord {
    std::string name;  // as written between the brackets: letter case and blanks count
    std::vector<std::string> items;
};

class ListTable {
public:
    static constexpr int kSlots = 20;

    // The list whose name is exactly this one, or null.
    ListRecord* find(std::string_view name);
    void clear();

    std::array<std::shared_ptr<ListRecord>, kSlots> slots;
};

}  // namespace parlendo
