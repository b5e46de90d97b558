// The command table in the language's matching order, and dispatch.
#include "interp/command_table.h"

#include <array>
#include <cstdint>

#include "interp/commands.h"
#include "interp/interpreter.h"
#include "text/cp1252.h"

namespace parlendo {

namespace {

// Keywords are Windows-1252: "L\xCA" is LÊ, "T\xCDTULO" is TÍTULO, "SEN\xC3O" is SENÃO.
constexpr std::array kTable = {
    CommandEntry{"MIDI", cmdNotAvailable, 0},
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
    CommandEntry{"TOCA", cmdNotAvailable, 0},
    CommandEntry{"FALA", cmdFala, 0},
    CommandEntry{"MCI", cmdNotAvailable, 0},
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
    CommandEntry{"ALARME", cmdNotAvailable, 0},
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
    CommandEntry{"MSAA", cmdNotAvailable, 0},
    CommandEntry{"MENU", cmdMenu, 0},
    CommandEntry{"IMAGEM", cmdNotAvailable, 0},
    CommandEntry{"SENSOR", cmdNotAvailable, 0},
    CommandEntry{"ANSIPARAUTF8", cmdConvert, kAnsiToUtf8},
    CommandEntry{"UTF8PARAANSI", cmdConvert, kUtf8ToAnsi},
    CommandEntry{"HTTP", cmdHttp, 0},
    CommandEntry{"TRAZDAREDE", cmdTrazDaRede, 0},
    CommandEntry{"HANDLE", cmdHandle, 0},
    CommandEntry{"SINTCONFIG", cmdSintConfig, 0},
    CommandEntry{"MENSAGEM", cmdNotAvailable, 0},
    CommandEntry{"CODBASE64", cmdConvert, kBase64Encode},
    CommandEntry{"REMOVEQUOTED", cmdConvert, kQuotedDecode},
    CommandEntry{"ADQUOTED", cmdConvert, kQuotedEncode},
    CommandEntry{"CODARQBASE64", cmdCodArqBase64, 0},
    CommandEntry{"DECODARQBASE64", cmdDecodArqBase64, 0},
    CommandEntry{"DECODBASE64", cmdConvert, kBase64Decode},
};

static_assert(kTable.size() == 88, "85 entries, three of them with two spellings");

// No two keywords are equal, so a hash lookup finds exactly the entry the ordered scan would.
// An open-addressed table of 256 slots, built at compile time, keyed on the length and the first,
// middle and last bytes: one multiply-free hash and, for the 88 keywords, a probe or two, where
// std::hash runs a full byte hash and a division on every executed line. Each slot keeps its
// keyword as a 16-byte block padded with zero bytes, so that a keyword upper-cased into such a
// block is checked with two 8-byte comparisons and its length.
constexpr size_t kSlots = 256;
constexpr size_t kLongestKeyword = 16;

constexpr unsigned char upperByte(char c) { return text::kUpperTable[static_cast<unsigned char>(c)]; }

// The slot of a keyword, upper-cased as it is read.
constexpr size_t slotOf(std::string_view k) {
    if (k.empty()) return 0;
    return (upperByte(k.front()) * 8u + upperByte(k.back()) * 2u + upperByte(k[k.size() / 2]) + k.size() * 37u) %
           kSlots;
}

// A keyword of at most 16 bytes, upper-cased, in a zero-padded block.
struct PaddedKeyword {
    uint64_t low = 0;
    uint64_t high = 0;
    size_t size = 0;

    // False when the keyword is too long to be one.
    constexpr bool assign(std::string_view k) {
        if (k.size() > kLongestKeyword) return false;
        for (size_t i = 0; i < k.size(); ++i) {
            uint64_t b = upperByte(k[i]);
            if (i < 8) low |= b << (8 * i);
            else high |= b << (8 * (i - 8));
        }
        size = k.size();
        return true;
    }
    constexpr bool operator==(const PaddedKeyword&) const = default;
};

struct Slot {
    PaddedKeyword key;
    const CommandEntry* entry = nullptr;
};

using KeywordIndex = std::array<Slot, kSlots>;

constexpr KeywordIndex buildIndex() {
    KeywordIndex ix{};
    for (const CommandEntry& e : kTable) {
        size_t s = slotOf(e.keyword);
        while (ix[s].entry) s = (s + 1) % kSlots;
        ix[s].key.assign(e.keyword);
        ix[s].entry = &e;
    }
    return ix;
}

constexpr KeywordIndex kIndex = buildIndex();

// The entry of a keyword in any letter case; null when there is none.
const CommandEntry* lookUp(std::string_view keyword) {
    PaddedKeyword key;
    if (!key.assign(keyword)) return nullptr;
    for (size_t s = slotOf(keyword);; s = (s + 1) % kSlots) {
        const Slot& slot = kIndex[s];
        if (!slot.entry) return nullptr;
        if (slot.key == key) return slot.entry;
    }
}

}  // namespace

std::span<const CommandEntry> commandTable() { return kTable; }

const CommandEntry* findCommand(std::string_view upperKeyword) {
    const CommandEntry* e = lookUp(upperKeyword);
    // The block upper-cases; a keyword that was not upper-case already is no keyword here.
    return e && e->keyword == upperKeyword ? e : nullptr;
}

bool dispatch(Interpreter& in, std::string_view keyword, std::string_view args) {
    if (keyword.empty()) return false;
    args = text::trim(args);
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
    const CommandEntry* entry = lookUp(keyword);
    if (!entry) {
        in.showMessage("Comando inválido: " + text::upperCase(keyword));
        return false;
    }
    in.currentKeyword = entry->keyword;
    return entry->handler(in, args, entry->param);
}

bool cmdNotAvailable(Interpreter& in, std::string_view, int) {
    in.showMessage("Comando não disponível: " + std::string(in.currentKeyword));
    return false;
}

}  // namespace parlendo
