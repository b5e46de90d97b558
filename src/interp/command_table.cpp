// The command table in the language's matching order, and dispatch.
#include "interp/command_table.h"

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

#include "interp/commands.h"
#include "interp/interpreter.h"
#include "text/cp1252.h"
#include "text/cp1252_literal.h"
#include "text/words.h"

namespace parlendo {

namespace {

// Keywords are Windows-1252: "L\xCA" is LÊ, "T\xCDTULO" is TÍTULO, "SEN\xC3O" is SENÃO.
constexpr std::array kTable = {
    CommandEntry{"MIDI", cmdMidi, 0},
    CommandEntry{"DEBUG", cmdDebug, 0},
    CommandEntry{"SEJA", cmdSeja, 0},
    CommandEntry{"TELA", cmdTela, 0},
    CommandEntry{"COR", cmdCor, 0},
    CommandEntry{"FUNDO", cmdFundo, 0},
    CommandEntry{"ABRE", cmdAbre, 0},
    CommandEntry{"FECHA", cmdFecha, 0},
    CommandEntry{"INTERNET", cmdInternet, 0},
    CommandEntry{"CONECTA", cmdConecta, 0},
    CommandEntry{"ATIVASSL", cmdAtivaSsl, 0},
    CommandEntry{"SERVE", cmdServe, 0},
    CommandEntry{"OBSERVA", cmdObserva, 0},
    CommandEntry{"ESCREVE", cmdEscreve, 0},
    CommandEntry{"BIPA", cmdBipa, 0},
    CommandEntry{"SOMA", cmdSoma, 0},
    CommandEntry{"SUBTRAI", cmdArithmetic, kSubtract},
    CommandEntry{"MULTIPLICA", cmdArithmetic, kMultiply},
    CommandEntry{"DIVIDE", cmdArithmetic, kDivide},
    CommandEntry{"CONCATENA", cmdConcatena, 0},
    CommandEntry{"COPIA", cmdCopia, 0},
    CommandEntry{"SOLETRA", cmdSoletra, 0},
    CommandEntry{"LISTA", cmdLista, 0},
    CommandEntry{"FALAHORA", cmdFalaHora, 0},
    CommandEntry{"TITULO", cmdTitulo, 0},
    CommandEntry{"T\xCDTULO", cmdTitulo, 0},
    CommandEntry{"DELETA", cmdDeleta, 0},
    CommandEntry{"SUBSTITUI", cmdSubstitui, 0},
    CommandEntry{"TOCA", cmdToca, 0},
    CommandEntry{"FALA", cmdFala, 0},
    CommandEntry{"MCI", cmdMci, 0},
    CommandEntry{"L\xCA", cmdLe, 0},
    CommandEntry{"LE", cmdLe, 0},
    CommandEntry{"CHECA", cmdCheca, 0},
    CommandEntry{"REMOVE", cmdRemove, 0},
    CommandEntry{"RENOMEIA", cmdRenomeia, 0},
    CommandEntry{"REPLICA", cmdReplica, 0},
    CommandEntry{"CMD", cmdCmd, 0},
    CommandEntry{"ESPERA", cmdEspera, 0},
    CommandEntry{"ENVIACMD", cmdEnviaCmd, 0},
    CommandEntry{"DIGITA", cmdDigita, 0},
    CommandEntry{"ACIONA", cmdAciona, 0},
    CommandEntry{"CLICA", cmdClica, 0},
    CommandEntry{"CAPTURA", cmdCaptura, 0},
    CommandEntry{"TRANSFERE", cmdTransfere, 0},
    CommandEntry{"JANELA", cmdJanela, 0},
    CommandEntry{"DESVIA", cmdDesvia, 0},
    CommandEntry{"SE", cmdSe, 0},
    CommandEntry{"SENAO", cmdSenao, 0},
    CommandEntry{"SEN\xC3O", cmdSenao, 0},
    CommandEntry{"ENQUANTO", cmdEnquanto, 0},
    CommandEntry{"REPETE", cmdRepete, 0},
    CommandEntry{"FIM", cmdFim, 0},
    CommandEntry{"EXECUTA", cmdExecuta, 0},
    CommandEntry{"EXISTEPROG", cmdExisteProg, 0},
    CommandEntry{"ENCERRAPROG", cmdEncerraProg, 0},
    CommandEntry{"ALARME", cmdAlarme, 0},
    CommandEntry{"GRAVABYTES", cmdGravaBytes, 0},
    CommandEntry{"ESCREVEBYTE", cmdEscreveByte, 0},
    CommandEntry{"LEBYTE", cmdLeByte, 0},
    CommandEntry{"LIMPABYTES", cmdLimpaBytes, 0},
    CommandEntry{"FECHABIN", cmdFechaBin, 0},
    CommandEntry{"CRIABIN", cmdCriaBin, 0},
    CommandEntry{"TAMARQ", cmdTamArq, 0},
    CommandEntry{"HTAMARQ", cmdTamArq, 1},
    CommandEntry{"DIR", cmdDir, 0},
    CommandEntry{"BUSCA", cmdBusca, 0},
    CommandEntry{"TERMINA", cmdTermina, 0},
    CommandEntry{"CHAMA", cmdChama, 0},
    CommandEntry{"RETORNA", cmdRetorna, 0},
    CommandEntry{"RANDOMIZA", cmdRandomiza, 0},
    CommandEntry{"IP", cmdIp, 0},
    CommandEntry{"MSAA", cmdMsaa, 0},
    CommandEntry{"MENU", cmdMenu, 0},
    CommandEntry{"IMAGEM", cmdImagem, 0},
    CommandEntry{"SENSOR", cmdSensor, 0},
    CommandEntry{"ANSIPARAUTF8", cmdConvert, kAnsiToUtf8},
    CommandEntry{"UTF8PARAANSI", cmdConvert, kUtf8ToAnsi},
    CommandEntry{"HTTP", cmdHttp, 0},
    CommandEntry{"TRAZDAREDE", cmdTrazDaRede, 0},
    CommandEntry{"HANDLE", cmdHandle, 0},
    CommandEntry{"SINTCONFIG", cmdSintConfig, 0},
    CommandEntry{"MENSAGEM", cmdMensagem, 0},
    CommandEntry{"CODBASE64", cmdConvert, kBase64Encode},
    CommandEntry{"REMOVEQUOTED", cmdConvert, kQuotedDecode},
    CommandEntry{"ADQUOTED", cmdConvert, kQuotedEncode},
    CommandEntry{"CODARQBASE64", cmdCodArqBase64, 0},
    CommandEntry{"DECODARQBASE64", cmdDecodArqBase64, 0},
    CommandEntry{"DECODBASE64", cmdConvert, kBase64Decode},
};

static_assert(kTable.size() == 89, "86 entries, three of them with two spellings");

// No two keywords are equal, so a hash lookup finds exactly the entry the ordered scan would.
// An open-addressed table of 256 slots, built at compile time. A keyword's slot comes from its
// first eight bytes, letter case folded, read as one word: one multiplication, where std::hash
// runs a full byte hash and a division on every executed line.
//
// Folding sets bit 5 of each byte ("A" becomes "a", "Ã" becomes "ã"). For the letters A-Z and the
// upper-case accented letters (192-223) the bytes that fold to the same byte are exactly the
// bytes the language's upper-casing rule takes to that letter, so a keyword of at most eight such
// bytes is matched by comparing one folded word. Longer keywords, and those with
// a digit (a control byte folds onto a digit), are upper-cased into a zero-padded 16-byte block
// and compared with the keyword's block.
constexpr size_t kSlots = 256;
constexpr size_t kLongestKeyword = 16;
using text::kFoldBits;
using text::kWordBytes;
using text::lowBytes;
// Chosen by trying multipliers: the 89 keywords land in their own slots but for three probes.
constexpr uint64_t kHashMultiplier = 0x5a31798023392d55;

constexpr unsigned char upperByte(char c) { return text::kUpperTable[static_cast<unsigned char>(c)]; }

constexpr size_t slotOf(uint64_t foldedWord) {
    return static_cast<size_t>((foldedWord * kHashMultiplier) >> 56);
}

// A keyword of at most 16 bytes, upper-cased, in a zero-padded block read as two words.
struct PaddedKeyword {
    uint64_t low = 0;
    uint64_t high = 0;
    size_t size = 0;

    // False when the keyword is too long to be one.
    constexpr bool assign(std::string_view k) {
        if (k.size() > kLongestKeyword) return false;
        unsigned char bytes[kLongestKeyword] = {};
        for (size_t i = 0; i < k.size(); ++i) bytes[i] = upperByte(k[i]);
        low = std::bit_cast<uint64_t>(std::to_array<unsigned char, 8>(
            {bytes[0], bytes[1], bytes[2], bytes[3], bytes[4], bytes[5], bytes[6], bytes[7]}));
        high = std::bit_cast<uint64_t>(std::to_array<unsigned char, 8>(
            {bytes[8], bytes[9], bytes[10], bytes[11], bytes[12], bytes[13], bytes[14], bytes[15]}));
        size = k.size();
        return true;
    }
    // The first eight bytes, folded: the word the slot comes from.
    constexpr uint64_t foldedLow() const { return (low | kFoldBits) & lowBytes(size); }
    constexpr bool operator==(const PaddedKeyword&) const = default;
};

// True when folding matches exactly the upper-casing rule on the keyword's bytes.
constexpr bool foldsExactly(std::string_view k) {
    for (char c : k) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (!((u >= 'A' && u <= 'Z') || (u >= 192 && u <= 223))) return false;
    }
    return true;
}

// What the usual line's lookup reads: 16 bytes a slot. A short keyword's folded word holds a
// non-zero byte for each of its bytes and zero bytes after them, so it also tells the keyword's
// length. The folded word of a line's short keyword has that shape too, and cannot equal
// kNotFolded, which marks the slots of the keywords compared by their blocks.
struct Slot {
    uint64_t folded = 0;
    const CommandEntry* entry = nullptr;
};

constexpr uint64_t kNotFolded = 0xFF00;  // a zero byte under a non-zero one

struct KeywordIndex {
    std::array<Slot, kSlots> slots{};
    std::array<PaddedKeyword, kSlots> keys{};  // the upper-cased block of each slot's keyword
};

constexpr KeywordIndex buildIndex() {
    KeywordIndex ix{};
    for (const CommandEntry& e : kTable) {
        PaddedKeyword key;
        key.assign(e.keyword);
        size_t s = slotOf(key.foldedLow());
        while (ix.slots[s].entry) s = (s + 1) % kSlots;
        ix.keys[s] = key;
        ix.slots[s].entry = &e;
        const bool short_ = e.keyword.size() <= kWordBytes && foldsExactly(e.keyword);
        ix.slots[s].folded = short_ ? key.foldedLow() : kNotFolded;
    }
    return ix;
}

constexpr KeywordIndex kIndex = buildIndex();

// Every keyword of up to eight bytes is matched by its folded word.
static_assert([] {
    for (size_t s = 0; s < kSlots; ++s)
        if (kIndex.slots[s].entry && kIndex.keys[s].size <= kWordBytes &&
            kIndex.slots[s].folded == kNotFolded)
            return false;
    return true;
}());

// The entry of an upper-cased keyword of 1 to 16 bytes, whose first eight bytes folded are `folded`.
const CommandEntry* lookUp(const PaddedKeyword& key, uint64_t folded) {
    for (size_t s = slotOf(folded);; s = (s + 1) % kSlots) {
        if (!kIndex.slots[s].entry) return nullptr;
        if (kIndex.keys[s] == key) return kIndex.slots[s].entry;
    }
}

// The entry of a keyword in any letter case; null when there is none.
const CommandEntry* lookUp(std::string_view keyword) {
    PaddedKeyword key;
    if (keyword.empty() || !key.assign(keyword)) return nullptr;
    return lookUp(key, key.foldedLow());
}

// A line's keyword: its entry (null when there is none) and its length.
struct Keyword {
    const CommandEntry* entry;
    size_t length;
};

// A keyword longer than eight bytes, or none: upper-cases up to 16 bytes into a block on the walk
// to the first blank.
[[gnu::noinline]] Keyword readLongKeyword(std::string_view line, uint64_t folded) {
    unsigned char block[kLongestKeyword] = {};
    size_t blank = 0;
    const size_t firstPart = line.size() < kLongestKeyword ? line.size() : kLongestKeyword;
    for (; blank < firstPart && line[blank] != ' '; ++blank) block[blank] = upperByte(line[blank]);
    if (blank == kLongestKeyword && blank < line.size() && line[blank] != ' ') {
        size_t length = blank;
        while (length < line.size() && line[length] != ' ') ++length;
        return {nullptr, length};  // longer than any keyword
    }
    PaddedKeyword key;
    std::memcpy(&key.low, block, 8);
    std::memcpy(&key.high, block + 8, 8);
    key.size = blank;
    return {lookUp(key, folded), blank};
}

// A keyword of `n` bytes (0 to 8) at the front of `word`, which holds a line's first bytes.
[[gnu::always_inline]] inline Keyword findShortKeyword(uint64_t word, size_t n) {
    const uint64_t folded = (word | kFoldBits) & lowBytes(n);
    for (size_t s = slotOf(folded);; s = (s + 1) % kSlots) {
        const Slot& candidate = kIndex.slots[s];
        if (!candidate.entry) return {nullptr, n};
        if (candidate.folded == folded) return {candidate.entry, n};
    }
}

// The first bytes of a trimmed line and where its keyword ends: at its first blank (code 32).
struct LineStart {
    uint64_t word;  // the first eight bytes, or all of a shorter line
    size_t length;  // the keyword's length when it is short
    bool isLong;    // the keyword runs past eight bytes
};

[[gnu::always_inline]] inline LineStart lineStart(std::string_view line) {
    const uint64_t word = text::loadWord(line.data(), line.size());
    const size_t n = text::firstByteEqual(word, ' ');
    if (line.size() < kWordBytes) return {word, n < line.size() ? n : line.size(), false};
    return {word, n, n == kWordBytes && line.size() > kWordBytes && line[kWordBytes] != ' '};
}

// Splits off a trimmed line's keyword and looks it up.
Keyword readKeyword(std::string_view line) {
    const LineStart start = lineStart(line);
    if (start.isLong) return readLongKeyword(line, start.word | kFoldBits);
    return findShortKeyword(start.word, start.length);
}

}  // namespace

std::span<const CommandEntry> commandTable() { return kTable; }

const CommandEntry* findCommand(std::string_view upperKeyword) {
    const CommandEntry* e = lookUp(upperKeyword);
    // The block upper-cases; a keyword that was not upper-case already is no keyword here.
    return e && e->keyword == upperKeyword ? e : nullptr;
}

namespace {

// The keywords that open or close a block, which a line run on its own may not use.
bool isBlockKeyword(const CommandEntry* e) {
    return e && (e->handler == cmdRepete || e->handler == cmdEnquanto || e->handler == cmdSenao ||
                 e->handler == cmdFim);
}

// A line while tracing, or one whose keyword is unknown: writes the keyword line when tracing,
// then runs the entry's handler, or reports the unknown keyword and fails.
[[gnu::noinline, gnu::cold]] bool runTracedOrUnknown(Interpreter& in, const CommandEntry* entry,
                                                     std::string_view keyword, std::string_view args) {
    if (in.traceOn) {
        // The keyword line as the script has it, letters a-z upper-cased.
        std::string traced(keyword);
        for (char& c : traced)
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
        traced += ' ';
        traced += args;
        in.writeLine(traced);
        in.speak(traced);
    }
    if (!entry) return in.failShowing("Comando inválido: "_cp + text::upperCase(keyword));
    in.currentEntry = entry;
    return entry->handler(in, args, entry->param);
}

// A block keyword where a line runs on its own (after a one-line SE, or in CMD).
[[gnu::noinline, gnu::cold]] bool refuseBlockKeyword(Interpreter& in, std::string_view keyword) {
    return in.fail("comando de bloco fora do lugar: " + text::upperCase(keyword));
}

// Runs a line whose keyword has been read.
[[gnu::always_inline]] inline bool dispatchKeyword(Interpreter& in, std::string_view line, bool restricted,
                                                   const Keyword k) {
    if (k.length == 0) return false;
    if (restricted && isBlockKeyword(k.entry)) [[unlikely]]
        return refuseBlockKeyword(in, line.substr(0, k.length));
    std::string_view args;
    if (k.length < line.size()) {
        args = line;
        args.remove_prefix(k.length + 1);
        args = text::trimLeft(args);
    }
    if (in.traceOn || !k.entry) [[unlikely]]
        return runTracedOrUnknown(in, k.entry, line.substr(0, k.length), args);
    in.currentEntry = k.entry;
    return k.entry->handler(in, args, k.entry->param);
}

// A line whose keyword is longer than eight bytes, or none. Out of line, so that the usual line
// ends in calls that need nothing kept across them.
[[gnu::noinline]] bool dispatchLongKeyword(Interpreter& in, std::string_view line, bool restricted,
                                           uint64_t folded) {
    return dispatchKeyword(in, line, restricted, readLongKeyword(line, folded));
}

[[gnu::always_inline]] inline bool dispatch(Interpreter& in, std::string_view line, bool restricted) {
    const LineStart start = lineStart(line);
    if (start.isLong) return dispatchLongKeyword(in, line, restricted, start.word | kFoldBits);
    return dispatchKeyword(in, line, restricted, findShortKeyword(start.word, start.length));
}

}  // namespace

const CommandEntry* lineKeyword(std::string_view line, size_t& length) {
    const Keyword k = readKeyword(line);
    length = k.length;
    return k.entry;
}

bool dispatchLine(Interpreter& in, std::string_view line, bool restricted) {
    return dispatch(in, line, restricted);
}

// The interpreter's main loop, beside the dispatch it inlines: a line costs one call, its
// handler's.
bool runLines(Interpreter& in) {
    // At most stepLimit lines run when it is set. No command changes the limit.
    const uint64_t limit = in.stepLimit;
    while (in.currentLine <= in.scriptSize) {
        if (limit != 0 && ++in.steps > limit) return false;
        const std::string_view command = commandPart(in.line(in.currentLine));
        if (!command.empty()) {
            if (!in.failReason.empty()) [[unlikely]]
                in.failReason.clear();
            const bool ok = dispatch(in, command, false);
            in.failed = !ok;
            if (!ok) break;
        }
        if (in.stopRequested) break;
        ++in.currentLine;
    }
    return true;
}

bool cmdNotAvailable(Interpreter& in, std::string_view, int) {
    return in.failShowing("Comando não disponível: "_cp + std::string(in.currentEntry->keyword));
}

}  // namespace parlendo
