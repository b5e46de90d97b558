// Conditions and control flow. Blocks have no structure kept between lines: every boundary is
// found again by scanning the numbered lines of the store each time it is needed.
#include "interp/control_flow.h"

#include <charconv>
#include <cstring>

#include "interp/argument_reader.h"
#include "interp/commands.h"
#include "interp/interpreter.h"
#include "text/cp1252.h"
#include "text/cp1252_literal.h"
#include "text/words.h"

namespace parlendo {

using text::upperChar;

std::string normaliseOperand(std::string_view operand) {
    if (operand.empty()) return std::string(20, '0');
    bool digits = true;
    for (char c : operand)
        if (!text::isDigit(c)) {
            digits = false;
            break;
        }
    if (!digits) return text::upperCase(operand);
    if (operand.size() >= 21) return std::string(operand.substr(operand.size() - 21));
    return std::string(21 - operand.size(), '0') + std::string(operand);
}

namespace {

bool startsWith(std::string_view s, std::string_view p) { return s.substr(0, p.size()) == p; }

using text::startsWithUpper;

enum class Op { Ge, Le, ExactEq, Ne, Contains, StartsWith, EndsWith, In, Eq, Lt, Gt };

struct OpText {
    std::string_view text;
    Op op;
};

constexpr OpText kOperators[] = {
    {">=", Op::Ge},        {"<=", Op::Le},         {"==", Op::ExactEq},  {"<>", Op::Ne},
    {"*=*", Op::Contains}, {"=*", Op::StartsWith}, {"*=", Op::EndsWith}, {"EM", Op::In},
    {"=", Op::Eq},         {"<", Op::Lt},          {">", Op::Gt},
};

// Trimmed line of the store, blank runs collapsed and upper-cased, compared with a word
// without building a copy.
bool normalisedEquals(std::string_view line, std::string_view upperWords) {
    std::string_view t = text::trim(line);
    size_t j = 0;
    for (size_t i = 0; i < t.size(); ++i) {
        if (t[i] == ' ' && i > 0 && t[i - 1] == ' ') continue;
        if (j >= upperWords.size() || upperChar(t[i]) != upperWords[j]) return false;
        ++j;
    }
    return j == upperWords.size();
}

std::string normalisedLine(std::string_view line) {
    std::string_view t = text::trim(line);
    std::string out;
    out.reserve(t.size());
    for (size_t i = 0; i < t.size(); ++i) {
        if (t[i] == ' ' && i > 0 && t[i - 1] == ' ') continue;
        out.push_back(upperChar(t[i]));
    }
    return out;
}

// The first word of a trimmed, upper-cased line: up to its first blank. A line without a blank
// has no first word.
bool firstWordIs(std::string_view line, std::string_view upperWord) {
    // The trimmed line's first blank must follow the word at once; the word's letters hold no
    // blank, and a non-blank after it shows that this blank is not one of the trailing ones.
    std::string_view t = text::trimLeft(line);
    const size_t n = upperWord.size();
    if (t.size() <= n + 1 || t[n] != ' ' || !startsWithUpper(t, upperWord)) return false;
    for (size_t i = n + 1; i < t.size(); ++i)
        if (!text::isBlank(t[i])) return true;
    return false;
}

// Notes a block that no closing line ends: the run warns of it if it falls off the end.
[[gnu::cold]] void noteUnclosed(Interpreter& in, std::string_view blockWord) {
    if (in.scanning) return;
    for (const OpenBlocks::Head& h : in.openBlocks.unclosed)
        if (h.line == in.currentLine && h.blockWord == blockWord) return;
    in.openBlocks.unclosed.push_back({in.currentLine, blockWord});
}

// Continues after the first following line that reads "FIM " and the word; past the last line
// when there is none, which ends the run as finished.
void jumpForward(Interpreter& in, std::string_view blockWord) {
    char target[16] = "FIM ";
    std::memcpy(target + 4, blockWord.data(), blockWord.size());
    std::string_view wanted(target, 4 + blockWord.size());
    for (int n = in.currentLine + 1; n <= in.scriptSize; ++n) {
        if (normalisedEquals(in.line(n), wanted)) {
            in.currentLine = n;
            return;
        }
    }
    noteUnclosed(in, blockWord);
    in.currentLine = in.scriptSize + 1;
}

// Skips a false block SE: to its else line or past its own FIM SE, counting nested block SEs.
void skipFalseBlock(Interpreter& in) {
    int depth = 1;
    in.scanning = true;
    for (int n = in.currentLine + 1; n <= in.scriptSize; ++n) {
        std::string_view raw = in.line(n);
        std::string_view t = text::trim(raw);
        if (startsWithUpper(t, "SE ")) {
            std::string norm = normalisedLine(raw);
            ConditionResult c = evaluateCondition(in, std::string_view(norm).substr(3));
            if (c.parsed && c.rest.empty()) ++depth;
            continue;
        }
        if (normalisedEquals(raw, "FIM SE")) {
            if (--depth == 0) {
                in.currentLine = n;
                in.scanning = false;
                return;
            }
        } else if (depth == 1 && (normalisedEquals(raw, "SENAO") || normalisedEquals(raw, "SEN\xC3O"))) {
            in.currentLine = n;
            in.scanning = false;
            return;
        }
    }
    in.scanning = false;
    noteUnclosed(in, "SE");
    in.currentLine = in.scriptSize + 1;
}

bool compare(Op op, const std::string& left, const std::string& right) {
    switch (op) {
        case Op::ExactEq:
            return left == right;
        case Op::Contains:
            return !right.empty() && left.find(right) != std::string::npos;
        case Op::StartsWith:
            return !right.empty() && startsWith(left, right);
        case Op::EndsWith:
            return !right.empty() && left.size() >= right.size() &&
                   left.compare(left.size() - right.size(), right.size(), right) == 0;
        default:
            break;
    }
    std::string l = normaliseOperand(left), r = normaliseOperand(right);
    // std::string compares char_traits<char>, which orders bytes as unsigned values.
    int cmp = l.compare(r);
    switch (op) {
        case Op::Eq:
            return cmp == 0;
        case Op::Ne:
            return cmp != 0;
        case Op::Lt:
            return cmp < 0;
        case Op::Gt:
            return cmp > 0;
        case Op::Le:
            return cmp <= 0;
        case Op::Ge:
            return cmp >= 0;
        default:
            return false;
    }
}

// The step REPETE makes at the loop head (start) or from FIM REPETE (continue), in general.
[[gnu::noinline]] bool repeatStepInGeneral(Interpreter& in, std::string_view args, bool start) {
    int slot;
    if (!readVariable(in, args, slot)) return in.fail(kNoVariable);
    if (args.empty()) return in.fail("falta o número de voltas"_cp);
    int64_t a = 0;
    if (!start) {
        std::optional<int32_t> v = in.variables.number(slot);
        if (!v) return in.fail("variável do REPETE não numérica"_cp);
        a = *v;
    }
    std::optional<int32_t> n = readInteger(in, args);
    if (!n) return in.fail(kNotANumber);
    if (a < INT32_MAX) {
        in.variables.setNumber(slot, static_cast<int32_t>(a + 1));
    } else {
        // One past the largest number: the text is written, and the next pass fails on it.
        char digits[24];
        auto [end, ec] = std::to_chars(digits, digits + sizeof digits, a + 1);
        in.variables.set(slot, std::string_view(digits, static_cast<size_t>(end - digits)));
    }
    if (*n < a + 1) jumpForward(in, "REPETE");
    return true;
}

// Past the loop's FIM REPETE: its last pass is done.
[[gnu::noinline]] bool leaveLoop(Interpreter& in) {
    jumpForward(in, "REPETE");
    return true;
}

// The step of a loop head in its usual form, a letter and a literal bound ("i 10"), with a
// counter below the largest number, taken without the general readers.
[[gnu::always_inline]] inline bool repeatStep(Interpreter& in, std::string_view args, bool start) {
    if (const std::optional<LetterAndNumber> usual = letterAndNumber(args)) {
        std::optional<int32_t> a = start ? 0 : in.variables.knownNumber(usual->slot);
        if (a && *a < INT32_MAX) {
            in.variables.setNumber(usual->slot, *a + 1);
            if (usual->number < *a + 1) return leaveLoop(in);
            return true;
        }
    }
    return repeatStepInGeneral(in, args, start);
}

// The label named by the argument of DESVIA and CHAMA.
bool jumpTarget(Interpreter& in, std::string_view args, std::string& name) {
    if (args.empty()) return in.fail("falta o rótulo"_cp);
    if (args[0] == '@') {
        for (char c : args)
            if (text::isBlank(c)) return in.fail("rótulo com brancos: "_cp + std::string(args));
        name.assign(args.substr(1));
        return true;
    }
    if (!readValue(in, args, name)) return in.fail("rótulo inválido: "_cp + std::string(args));
    if (!args.empty()) return in.fail(std::string(kLeftOver) + std::string(args));
    return true;
}

// Continues after the label's line.
bool goToLabel(Interpreter& in, const std::string& name) {
    if (in.findLabel(name)) return true;
    return in.fail("rótulo não encontrado: @"_cp + name);
}

// A block head whose body runs: with no closing line after it, the block stays open.
inline void enterBlock(Interpreter& in, int lastClosingLine, std::string_view blockWord) {
    if (lastClosingLine < in.currentLine) [[unlikely]]
        noteUnclosed(in, blockWord);
}

}  // namespace

ConditionResult evaluateCondition(Interpreter& in, std::string_view t) {
    ConditionResult result;
    bool negate = false;
    if (startsWithUpper(t, "NAO") || startsWithUpper(t, "N\xC3O")) {
        negate = true;
        t.remove_prefix(3);
        dropBlanks(t);
        if (t.empty()) return result;
    }
    std::string left;
    if (!readValue(in, t, left) || t.empty()) return result;
    const OpText* found = nullptr;
    for (const OpText& o : kOperators) {
        if (o.op == Op::In ? startsWithUpper(t, "EM") : startsWith(t, o.text)) {
            found = &o;
            break;
        }
    }
    if (!found) return result;
    t.remove_prefix(found->text.size());
    dropBlanks(t);
    if (t.empty()) return result;
    bool value;
    if (found->op == Op::In) {
        std::string name;
        if (!readBracketName(t, name)) return result;
        ListRecord* list = in.lists.find(name);
        if (!list) {
            in.fail(std::string(kNoList) + name + "]");
            return result;
        }
        std::string l = normaliseOperand(left);
        value = false;
        for (const std::string& item : list->items)
            if (normaliseOperand(item) == l) {
                value = true;
                break;
            }
    } else {
        std::string right;
        if (!readValue(in, t, right)) return result;
        value = compare(found->op, left, right);
    }
    result.parsed = true;
    result.value = negate ? !value : value;
    result.rest = text::trim(t);
    return result;
}

void findBlockEnds(Interpreter& in) {
    OpenBlocks& blocks = in.openBlocks;
    blocks = OpenBlocks{};
    for (int n = 1; n <= in.scriptSize; ++n) {
        const std::string_view t = text::trimLeft(in.line(n));
        if (!startsWithUpper(t, "FIM ")) continue;
        if (normalisedEquals(t, "FIM SE"))
            blocks.lastFimSe = n;
        else if (normalisedEquals(t, "FIM ENQUANTO"))
            blocks.lastFimEnquanto = n;
        else if (normalisedEquals(t, "FIM REPETE"))
            blocks.lastFimRepete = n;
    }
}

bool cmdSe(Interpreter& in, std::string_view args, int) {
    ConditionResult c = evaluateCondition(in, args);
    if (!c.parsed) return in.fail("condição inválida"_cp);
    if (!c.rest.empty()) {
        if (!c.value) return true;
        // The command part runs as a line of its own; copy it, as it points into this line.
        std::string command(c.rest);
        return in.executeLine(command, true);
    }
    if (!c.value)
        skipFalseBlock(in);
    else
        enterBlock(in, in.openBlocks.lastFimSe, "SE");
    return true;
}

bool cmdSenao(Interpreter& in, std::string_view args, int) {
    if (!args.empty()) return in.fail(std::string(kLeftOver) + std::string(args));
    jumpForward(in, "SE");
    return true;
}

bool cmdFim(Interpreter& in, std::string_view args, int) {
    if (args.empty()) return in.fail("falta SE, ENQUANTO ou REPETE");
    static constexpr text::FoldedWord kRepete("REPETE"), kRepeteAndBlank("REPETE ");
    if (args.size() == kRepete.size() && kRepete.startsOf(args)) {
        for (int n = in.currentLine - 1; n >= 1; --n) {
            // firstWordIs(line, "REPETE"), keeping the head's arguments: they follow "REPETE" and
            // its blank, and hold something other than blanks.
            const std::string_view head = text::trimLeft(in.line(n));
            if (!kRepeteAndBlank.startsOf(head)) continue;
            const std::string_view headArgs = text::trim(head.substr(kRepeteAndBlank.size()));
            if (headArgs.empty()) continue;
            in.currentLine = n;
            // The store is not changed while the step reads them.
            return repeatStep(in, headArgs, false);
        }
        return in.fail("FIM REPETE sem REPETE");
    }
    if (text::equalsUpper(args, "ENQUANTO")) {
        for (int n = in.currentLine - 1; n >= 1; --n)
            if (firstWordIs(in.line(n), "ENQUANTO")) {
                in.currentLine = n - 1;
                return true;
            }
        return in.fail("FIM ENQUANTO sem ENQUANTO");
    }
    return true;
}

bool cmdEnquanto(Interpreter& in, std::string_view args, int) {
    ConditionResult c = evaluateCondition(in, args);
    if (!c.parsed) return in.fail("condição inválida"_cp);
    if (!c.value)
        jumpForward(in, "ENQUANTO");
    else
        enterBlock(in, in.openBlocks.lastFimEnquanto, "ENQUANTO");
    return true;
}

bool cmdRepete(Interpreter& in, std::string_view args, int) {
    const int head = in.currentLine;
    if (!repeatStep(in, args, true)) return false;
    // The body runs unless the step left the loop.
    if (in.currentLine == head) enterBlock(in, in.openBlocks.lastFimRepete, "REPETE");
    return true;
}

bool cmdDesvia(Interpreter& in, std::string_view args, int) {
    std::string name;
    if (!jumpTarget(in, args, name)) return false;
    return goToLabel(in, name);
}

bool cmdChama(Interpreter& in, std::string_view args, int) {
    std::string name;
    if (!jumpTarget(in, args, name)) return false;
    if (in.callStack.size() >= static_cast<size_t>(Interpreter::kCallDepth))
        return in.failShowing("Muitas chamadas sem retorno");
    in.callStack.push_back(in.currentLine);
    return goToLabel(in, name);
}

bool cmdRetorna(Interpreter& in, std::string_view args, int) {
    if (!args.empty()) return in.fail(std::string(kLeftOver) + std::string(args));
    if (in.callStack.empty()) return in.failShowing("Retorno sem chamada");
    in.currentLine = in.callStack.back();
    in.callStack.pop_back();
    return true;
}

bool cmdTermina(Interpreter& in, std::string_view args, int) {
    in.stopRequested = true;
    in.silentEnd = text::upperCase(args) == "MUDO";
    return true;
}

bool cmdDebug(Interpreter& in, std::string_view args, int) {
    if (args == "-" || (!args.empty() && args[0] == 'N')) {
        in.traceOn = false;
        in.showMessage("Debug desligado");
    } else {
        in.traceOn = true;
        in.showMessage("Debug ligado");
    }
    return true;
}

}  // namespace parlendo
