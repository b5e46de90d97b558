// The LISTA command, which makes, fills and reads the named lists of interp/list_table.h.
#include <optional>

#include "interp/argument_reader.h"
#include "interp/commands.h"
#include "interp/interpreter.h"
#include "text/cp1252.h"
#include "text/cp1252_literal.h"

namespace parlendo {

namespace {

bool onlyBlanks(std::string_view rest) { return text::trim(rest).empty(); }

bool failNoList(Interpreter& in, const std::string& name) {
    return in.fail(std::string(kNoList) + name + "]");
}

}  // namespace

bool cmdLista(Interpreter& in, std::string_view args, int) {
    std::string name;
    if (!readBracketName(args, name)) return in.fail("falta o nome da lista entre colchetes");
    dropBlanks(args);
    ListTable& lists = in.lists;
    if (text::takeUpperPrefix(args, "CRIA")) {
        if (!onlyBlanks(args)) return false;
        if (lists.find(name)) return in.failShowing("A lista especificada já existe"_cp);
        for (auto& slot : lists.slots)
            if (!slot) {
                slot = std::make_shared<ListRecord>();
                slot->name = name;
                return true;
            }
        return in.failShowing("Muitas listas no programa (máximo 20)"_cp);
    }
    if (text::takeUpperPrefix(args, "APAGA")) {
        if (!onlyBlanks(args)) return false;
        bool found = false;
        for (auto& slot : lists.slots)
            if (slot && slot->name == name) {
                slot.reset();
                found = true;
            }
        return found || failNoList(in, name);
    }
    if (text::takeUpperPrefix(args, "TAMANHO")) {
        ListRecord* list = lists.find(name);
        int slot;
        if (!list) return failNoList(in, name);
        if (!readVariable(in, args, slot)) return in.fail(kNoVariable);
        in.variables.set(slot, std::to_string(list->items.size()));
        return true;
    }
    if (text::takeUpperPrefix(args, "ITEM")) {
        ListRecord* list = lists.find(name);
        if (!list) return failNoList(in, name);
        std::string position;
        if (!readValue(in, args, position)) return failNoValue(in, args);
        std::optional<int32_t> k = toInteger(position);
        int slot;
        if (!k) return in.fail(kNotANumber);
        if (!readVariable(in, args, slot)) return in.fail(kNoVariable);
        if (*k < 0 || static_cast<size_t>(*k) >= list->items.size())
            return in.fail("item fora da lista: " + std::to_string(*k));
        in.variables.set(slot, std::string_view(list->items[static_cast<size_t>(*k)]));
        return true;
    }
    if (text::takeUpperPrefix(args, "ADICIONA")) {
        ListRecord* list = lists.find(name);
        std::string value;
        if (!list) return failNoList(in, name);
        if (!readValue(in, args, value)) return failNoValue(in, args);
        list->items.push_back(std::move(value));
        return true;
    }
    if (text::takeUpperPrefix(args, "DELETA")) {
        ListRecord* list = lists.find(name);
        std::string value;
        if (!list) return failNoList(in, name);
        if (!readValue(in, args, value)) return failNoValue(in, args);
        for (auto it = list->items.begin(); it != list->items.end(); ++it)
            if (text::equalsIgnoringCase(*it, value)) {
                list->items.erase(it);
                return true;
            }
        return in.fail("item não está na lista"_cp);
    }
    return in.fail("falta CRIA, APAGA, TAMANHO, ITEM, ADICIONA ou DELETA");
}

}  // namespace parlendo
