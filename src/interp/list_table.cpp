// The named lists of texts a run holds in memory.
#include "interp/list_table.h"

namespace parlendo {

ListRecord* ListTable::find(std::string_view name) {
    for (auto& slot : slots)
        if (slot && slot->name == name) return slot.get();
    return nullptr;
}

void ListTable::clear() {
    for (auto& slot : slots) slot.reset();
}

}  // namespace parlendo
