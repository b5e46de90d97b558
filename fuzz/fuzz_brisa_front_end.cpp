// Fuzz target for the Brisa voice's front end: the input is an abbreviation file, a rule file, an
// exception file, a prosody file, a diphone list and a text, separated by lines "--". The five
// readers take their parts and the text goes through the whole pipeline; the limits of the tables
// must hold and every line written must be a comment, a phoneme line or empty.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fuzz_scratch.h"
#include "tts/brisa_front_end.h"

namespace {

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "fuzz_brisa_front_end: %s\n", what);
    std::abort();
}

std::string_view takePart(std::string_view& rest) {
    static constexpr std::string_view kSeparator = "\n--\n";
    const size_t at = rest.find(kSeparator);
    if (at == std::string_view::npos) {
        const std::string_view part = rest;
        rest = {};
        return part;
    }
    const std::string_view part = rest.substr(0, at);
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
    const std::string_view abbreviations = takePart(rest);
    const std::string_view rules = takePart(rest);
    const std::string_view exceptions = takePart(rest);
    const std::string_view prosody = takePart(rest);
    const std::string_view diphones = takePart(rest);
    const std::string_view text = rest;

    BrisaFrontEnd f;
    f.abbreviations().readAbbreviations(abbreviations);
    f.rules().readRules(rules);
    f.exceptions().readExceptions(exceptions);
    f.prosody().readProsody(prosody, [](std::string_view) {});
    f.diphones().readDiphones(diphones);
    if (f.abbreviations().entries().size() > AbbreviationTable::kCapacity) fail("too many abbreviations");
    if (f.exceptions().entries().size() > ExceptionTable::kCapacity) fail("too many exceptions");
    if (f.prosody().durations().size() > ProsodyConfig::kMaxDurations) fail("too many durations");
    if (f.prosody().keywords().size() > ProsodyConfig::kMaxKeywords) fail("too many keywords");
    if (f.prosody().patterns().size() > ProsodyConfig::kMaxPatterns) fail("too many patterns");
    for (const std::string& d : f.diphones().diphones())
        if (!f.diphones().contains(d)) fail("a listed diphone is not found");

    const double factor = size % 3 == 0 ? 0.6 : size % 3 == 1 ? 1.0 : 2.0;
    const PhonemeString lines = f.phonemeString(text, factor, 1.0 / factor);
    for (const std::string& l : lines) {
        if (l.empty() || l[0] == ';') continue;
        if (l[0] == ' ') fail("a phoneme line without its phoneme");
        const size_t blank = l.find(' ');
        if (blank == std::string::npos || blank + 1 >= l.size()) fail("a phoneme line without its duration");
        if (l[blank + 1] == '-') fail("a negative duration");
    }

    // One input in eight goes through the files as well, which must read alike.
    if (size % 8 != 0) return 0;
    static const std::string folder = fuzzScratchFolder("parlendo-fuzz-brisa");
    const std::string base = folder + "/portug.";
    writeFile(base + "abr", abbreviations);
    writeFile(base + "nrl", rules);
    writeFile(base + "exc", exceptions);
    writeFile(base + "pro", prosody);
    writeFile(base + "dfn", diphones);
    BrisaFrontEnd g;
    g.setMessageSink([](std::string_view) {});
    if (!g.loadAbbreviations(base + "abr") || !g.loadRules(base + "nrl") || !g.loadExceptions(base + "exc") ||
        !g.loadDiphones(base + "dfn"))
        fail("cannot load a scratch file");
    g.loadProsody(base + "pro");
    if (g.rules().ruleCount() != f.rules().ruleCount()) fail("rule counts differ");
    if (g.diphones().diphones() != f.diphones().diphones()) fail("diphone lists differ");
    g.freeRules();
    g.freeDiphones();
    if (g.rules().ruleCount() != 0 || !g.diphones().diphones().empty()) fail("tables left after freeing");
    return 0;
}
