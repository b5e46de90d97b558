// Coverage of the built-in voice over a word list: every word goes through the translator (the
// rule and exception files) and the diphone synthesiser's lookup (no sound), and the tool counts
// the words whose names are all in the database, the ones that needed shorter names, and the
// names most often missing, each with a few of the words that asked for it.
//
//   voice_coverage --rules regras.rgr --exceptions portug.exc --database DIR --words FILE
//                  [--top N] [--show WORD...]
//
// The word list is one word a line, UTF-8 or Windows-1252 (Latin-1): valid UTF-8 is converted to
// Windows-1252, anything else is taken as it is. --show prints the phonetic text and the names of
// the given words instead (UTF-8 on the command line). Exit status: 0 when run, 2 when a file
// cannot be read.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "text/cp1252.h"
#include "tts/diphone_database.h"
#include "tts/diphone_synthesiser.h"
#include "tts/translator.h"

namespace {

using parlendo::LookupOutcome;

struct Miss {
    long count = 0;
    LookupOutcome outcome = LookupOutcome::Dropped;
    std::vector<std::string> examples;
};

struct Options {
    std::string rules, exceptions, database, words;
    size_t top = 20;
    std::vector<std::string> show;
};

void usage() {
    std::fprintf(stderr,
                 "usage: voice_coverage --rules FILE --exceptions FILE --database DIR --words FILE"
                 " [--top N] [--show WORD...]\n");
}

bool parseOptions(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        std::string_view a = argv[i];
        bool hasValue = i + 1 < argc;
        if (a == "--show") {
            while (i + 1 < argc) o.show.emplace_back(argv[++i]);
        } else if (!hasValue) {
            return false;
        } else if (a == "--rules") {
            o.rules = argv[++i];
        } else if (a == "--exceptions") {
            o.exceptions = argv[++i];
        } else if (a == "--database") {
            o.database = argv[++i];
        } else if (a == "--words") {
            o.words = argv[++i];
        } else if (a == "--top") {
            o.top = static_cast<size_t>(std::max(0L, std::strtol(argv[++i], nullptr, 10)));
        } else {
            return false;
        }
    }
    return !o.rules.empty() && !o.exceptions.empty() && !o.database.empty() &&
           (!o.words.empty() || !o.show.empty());
}

// The word as the terminal shows it (the program's text is Windows-1252).
std::string printable(std::string_view cp1252) { return parlendo::text::cp1252ToUtf8(cp1252); }

double percent(long part, long whole) { return whole ? 100.0 * part / whole : 0.0; }

}  // namespace

int main(int argc, char** argv) {
    Options opt;
    if (!parseOptions(argc, argv, opt)) {
        usage();
        return 2;
    }
    parlendo::Translator translator;
    if (!translator.loadTranslatorRules(opt.rules) || !translator.loadTranslatorExceptions(opt.exceptions)) {
        std::fprintf(stderr, "voice_coverage: cannot read %s or %s\n", opt.rules.c_str(),
                     opt.exceptions.c_str());
        return 2;
    }
    parlendo::DiphoneDatabase database;
    std::string base = opt.database + "/DIFONES2";
    if (!database.open(base + ".IND", base + ".DIF")) {
        std::fprintf(stderr, "voice_coverage: cannot open the database %s.IND/.DIF\n", base.c_str());
        return 2;
    }
    parlendo::DiphoneSynthesiser synth(database);
    synth.setLookupOnly(true);
    synth.allocate();

    // The outcomes of the word being looked up.
    std::vector<std::pair<std::string, LookupOutcome>> looked;
    synth.setLookupReport([&](std::string_view name, LookupOutcome outcome) {
        looked.emplace_back(std::string(name), outcome);
    });

    if (!opt.show.empty()) {
        for (const std::string& w : opt.show) {
            std::string word = parlendo::text::externalToCp1252(w);
            std::string phonetic = translator.translateText(word);
            looked.clear();
            synth.synthesise(phonetic);
            std::printf("%s  %s ", w.c_str(), printable(phonetic).c_str());
            for (const auto& [name, outcome] : looked)
                std::printf(" %s:%s", name.c_str(), parlendo::lookupOutcomeName(outcome));
            std::printf("\n");
        }
        if (opt.words.empty()) return 0;
    }

    std::ifstream in(opt.words, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "voice_coverage: cannot read the word list %s\n", opt.words.c_str());
        return 2;
    }
    long words = 0, covered = 0, decomposed = 0, lettered = 0;
    std::map<std::string, Miss> misses;
    std::map<std::string, long> decompositions;
    std::string line;
    while (std::getline(in, line)) {
        std::string word(parlendo::text::trim(parlendo::text::externalToCp1252(line)));
        if (word.empty()) continue;
        ++words;
        std::string phonetic = translator.translateText(word);
        if (phonetic.find('_') != std::string::npos) ++lettered;
        looked.clear();
        synth.synthesise(phonetic);
        bool missing = false, split = false;
        for (const auto& [name, outcome] : looked) {
            if (outcome == LookupOutcome::Decomposed) {
                split = true;
                ++decompositions[name];
            }
            if (outcome != LookupOutcome::Noise && outcome != LookupOutcome::Dropped) continue;
            missing = true;
            Miss& m = misses[name];
            ++m.count;
            m.outcome = outcome;
            if (m.examples.size() < 3) m.examples.push_back(printable(word) + " " + printable(phonetic));
        }
        if (!missing) ++covered;
        if (split) ++decomposed;
    }

    std::printf("words: %ld\n", words);
    std::printf("covered (every name found or decomposed, no Noise, no Dropped): %ld (%.3f%%)\n", covered,
                percent(covered, words));
    std::printf("needed Decomposed: %ld (%.3f%%)\n", decomposed, percent(decomposed, words));
    std::printf("with a letter reference (a letter no rule took): %ld (%.3f%%)\n", lettered,
                percent(lettered, words));

    auto byCount = [](const auto& a, const auto& b) {
        return a.second.count != b.second.count ? a.second.count > b.second.count : a.first < b.first;
    };
    std::vector<std::pair<std::string, Miss>> worst(misses.begin(), misses.end());
    std::sort(worst.begin(), worst.end(), byCount);
    std::printf("missing names: %zu; the most frequent:\n", worst.size());
    for (size_t i = 0; i < worst.size() && i < opt.top; ++i) {
        const auto& [name, m] = worst[i];
        std::printf("  %-10s %-8s %6ld", name.c_str(), parlendo::lookupOutcomeName(m.outcome), m.count);
        for (const std::string& e : m.examples) std::printf("  | %s", e.c_str());
        std::printf("\n");
    }
    std::vector<std::pair<std::string, long>> split(decompositions.begin(), decompositions.end());
    std::sort(split.begin(), split.end(), [](const auto& a, const auto& b) {
        return a.second != b.second ? a.second > b.second : a.first < b.first;
    });
    std::printf("decomposed names: %zu; the most frequent:", split.size());
    for (size_t i = 0; i < split.size() && i < opt.top; ++i)
        std::printf(" %s %ld;", split[i].first.c_str(), split[i].second);
    std::printf("\n");
    return 0;
}
