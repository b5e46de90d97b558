// Named lists of texts held in memory for the run, and the LISTA command.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace parlendo {

class Interpreter;

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

bool cmdLista(Interpreter& in, std::string_view args, int);

}  // namespace parlendo
