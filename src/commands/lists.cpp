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

bool onlyBlanks(std::string_view rest) { return text::trim(rest).empty(); }

}  // namespace

bool cmdLista(Interpreter& in, std::string_view args, int) {
    std::string name;
    if (!readBracketName(args, name)) return false;
    dropBlanks(args);
    ListTable& lists = in.lists;
    if (text::takeUpperPrefix(args, "CRIA")) {
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
    if (text::takeUpperPrefix(args, "APAGA")) {
        if (!onlyBlanks(args)) return false;
        bool found = false;
        for (auto& slot : lists.slots)
            if (slot && slot->name == name) {
                slot.reset();
                found = true;
            }
        return found;
    }
    if (text::takeUpperPrefix(args, "TAMANHO")) {
        ListRecord* list = lists.find(name);
        int slot;
        if (!list || !readVariable(in, args, slot)) return false;
        in.variables.set(slot, std::to_string(list->items.size()));
        return true;
    }
    if (text::takeUpperPrefix(args, "ITEM")) {
        ListRecord* list = lists.find(name);
        if (!list) return false;
        std::string position;
        if (!readValue(in, args, position)) return false;
        std::optional<int32_t> k = toInteger(position);
        int slot;
        if (!k || !readVariable(in, args, slot)) return false;
        if (*k < 0 || static_cast<size_t>(*k) >= list->items.size()) return false;
        in.variables.set(slot, std::string_view(list->items[static_cast<size_t>(*k)]));
        return true;
    }
    if (text::takeUpperPrefix(args, "ADICIONA")) {
        ListRecord* list = lists.find(name);
        std::string value;
        if (!list || !readValue(in, args, value)) return false;
        list->items.push_back(std::move(value));
        return true;
    }
    if (text::takeUpperPrefix(args, "DELETA")) {
        ListRecord* list = lists.find(name);
        std::string value;
        if (!list || !readValue(in, args, value)) return false;
        for (auto it = list->items.begin(); it != list->items.end(); ++it)
            if (text::equalsIgnoringCase(*it, value)) {
                list->items.erase(it);
                return true;
            }
        return false;
    }
    return false;
}

}  // namespace parlendo
