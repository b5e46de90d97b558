// Fuzz target for the built-in voice's translator: the input is a rule file, an exception file
// and a text, separated by lines "--". The rules are read from the text and from a file, and
// both readings must translate the text alike.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fuzz_scratch.h"
#include "tts/translator.h"

namespace {

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "fuzz_translator: %s\n", what);
    std::abort();
}

// The next part of the input up to the separator line (or the whole rest).
std::string_view takePart(std::string_view& rest) {
    static constexpr std::string_view kSeparator = "\n--\n";
    size_t at = rest.find(kSeparator);
    if (at == std::string_view::npos) {
        std::string_view part = rest;
        rest = {};
        return part;
    }
    std::string_view part = rest.substr(0, at);
    rest.remove_prefix(at + kSeparator.size());
    return part;
}

void writeFile(const std::string& path, std::string_view bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) fail("cannot write the scratch file");
    if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace parlendo;
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    const std::string_view rules = takePart(rest);
    const std::string_view exceptions = takePart(rest);
    const std::string_view text = rest;

    Translator fromText;
    fromText.readTranslatorRules(rules);
    fromText.readTranslatorExceptions(exceptions);
    if (fromText.exceptions().size() > Translator::kMaxExceptions) fail("too many exceptions");
    for (size_t i = 1; i < fromText.exceptions().size(); ++i)
        if (fromText.exceptions()[i].word < fromText.exceptions()[i - 1].word) fail("exceptions not sorted");
    const std::string spoken = fromText.translateText(text);
    if (fromText.translateText(text) != spoken) fail("two translations of one text differ");

    // With no exceptions every word gives at least "[...]": nothing is lost or invented.
    if (fromText.exceptions().empty()) {
        const std::string mapped = premapTranslatorText(text);
        const bool anyWord = mapped.find_first_not_of(' ') != std::string::npos;
        if (anyWord == spoken.empty()) fail("words and phonetic text disagree");
    }

    // The files cost more than the translation: one input in eight goes through them.
    if (size % 8 != 0) return 0;
    static const std::string folder = fuzzScratchFolder("parlendo-fuzz-translator");
    writeFile(folder + "/regras.rgr", rules);
    writeFile(folder + "/portug.exc", exceptions);
    Translator fromFiles;
    if (!fromFiles.loadTranslatorRules(folder + "/regras.rgr")) fail("cannot load the rule file");
    if (!fromFiles.loadTranslatorExceptions(folder + "/portug.exc")) fail("cannot load the exception file");
    if (fromFiles.ruleCount() != fromText.ruleCount()) fail("rule counts differ");
    if (fromFiles.translateText(text) != spoken) fail("file and text readings translate differently");

    fromFiles.freeTranslatorRules();
    if (fromFiles.ruleCount() != 0) fail("rules left after freeing");
    return 0;
}
