// Named lists of texts and the LISTA command.
#include "commands/lists.h"

#include <optional>

#include "interp/argument_reader.h"
#include "interp/interpreter.h"
#include "text/cp1252.h"

namespace parlendo {

ListRecord* ListTable::find(std::string_view name) {
    for (auto& slot : slots)
        if (slot && slot->name == name) return slot.get();
    return nullptr;
}

void ListTable::clear() {
    for (auto& slot : slots) slot.reset();
}

namespace {

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (text::upperChar(a[i]) != text::upperChar(b[i])) return false;
    return true;
}

bool takeWord(std::string_view& rest, std::string_view upperWord) {
    if (rest.size() < upperWord.size()) return false;
    for (size_t i = 0; i < upperWord.size(); ++i)
        if (text::upperChar(rest[i]) != upperWord[i]) return false;
    rest.remove_prefix(upperWord.size());
    return true;
}

bool onlyBlanks(std::string_view rest) { return text::trim(rest).empty(); }

}  // namespace

bool cmdLista(Interpreter& in, std::string_view args, int) {
    std::string name;
    if (!readBracketName(args, name)) return false;
    dropBlanks(args);
    ListTable& lists = in.lists;
    if (takeWord(args, "CRIA")) {
        if (!onlyBlanks(args)) return false;
        if (lists.find(name)) {
            in.showMessage("A lista especificada já existe");
            return false;
        }
        for (auto& slot : lists.slots)
            if (!slot) {
                slot = std::make_shared<ListRecord>();
                slot->name = name;
                return true;
            }
        in.showMessage("Muitas listas no programa (máximo 20)");
        return false;
    }
    if (takeWord(args, "APAGA")) {
        if (!onlyBlanks(args)) return false;
        bool found = false;
        for (auto& slot : lists.slots)
            if (slot && slot->name == name) {
                slot.reset();
                found = true;
            }
        return found;
    }
    if (takeWord(args, "TAMANHO")) {
        ListRecord* list = lists.find(name);
        int slot;
        if (!list || !readVariable(in, args, slot)) return false;
        in.variables.at(slot) = std::to_string(list->items.size());
        return true;
    }
    if (takeWord(args, "ITEM")) {
        ListRecord* list = lists.find(name);
        if (!list) return false;
        std::string position;
        if (!readValue(in, args, position)) return false;
        std::optional<int32_t> k = toInteger(position);
        int slot;
        if (!k || !readVariable(in, args, slot)) return false;
        if (*k < 0 || static_cast<size_t>(*k) >= list->items.size()) return false;
        in.variables.at(slot) = list->items[static_cast<size_t>(*k)];
        return true;
    }
    if (takeWord(args, "ADICIONA")) {
        ListRecord* list = lists.find(name);
        std::string value;
        if (!list || !readValue(in, args, value)) return false;
        list->items.push_back(std::move(value));
        return true;
    }
    if (takeWord(args, "DELETA")) {
        ListRecord* list = lists.find(name);
        std::string value;
        if (!list || !readValue(in, args, value)) return false;
        for (auto it = list->items.begin(); it != list->items.end(); ++it)
            if (equalsIgnoringCase(*it, value)) {
                list->items.erase(it);
                return true;
            }
        return false;
    }
    return false;
}

}  // namespace parlendo
