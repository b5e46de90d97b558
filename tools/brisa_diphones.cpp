// Writes the Brisa voice's diphone list (data/brisa/portug.dfn): every pair of phonemes the front
// end writes for the words of the given word lists (one word a line, UTF-8) under the rule and
// exception files, and every pair that can meet between two words or at a pause.
//
//   brisa_diphones --rules portug.nrl --exceptions portug.exc WORDLIST... > portug.dfn
//
// A pair is written in every letter case its names have in the phoneme set as well, since the
// synthesizer's list is searched without regard to case (e-t and E-t are both listed or neither).
#include <cstdio>
#include <fstream>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "text/cp1252.h"
#include "tts/brisa_portuguese.h"

namespace {

const char* const kPhonemes[] = {"a", "6",  "e",  "E", "i", "o", "O",  "u", "a~", "e~", "i~", "o~", "u~", "w",
                                 "y", "w~", "y~", "p", "b", "t", "d",  "k", "g",  "tS", "dZ", "f",  "v",  "s",
                                 "z", "s2", "S",  "Z", "m", "n", "nh", "l", "lh", "r",  "r2", "_"};

std::string folded(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    return s;
}

}  // namespace

int main(int argc, char** argv) {
    std::string rulesPath, exceptionsPath;
    std::vector<std::string> lists;
    for (int i = 1; i < argc; ++i) {
        const std::string_view a = argv[i];
        if ((a == "--rules" || a == "--exceptions") && i + 1 < argc)
            (a == "--rules" ? rulesPath : exceptionsPath) = argv[++i];
        else
            lists.emplace_back(argv[i]);
    }
    parlendo::RuleTable rules;
    parlendo::ExceptionTable exceptions;
    if (lists.empty() || !rules.loadRules(rulesPath) || !exceptions.loadExceptions(exceptionsPath)) {
        std::fprintf(stderr, "usage: brisa_diphones --rules FILE --exceptions FILE WORDLIST...\n");
        return 2;
    }
    std::set<std::pair<std::string, std::string>> pairs;
    std::set<std::string> first{"_"}, last{"_", "r", "z"};  // the liaison turns r2 and s2 into r and z
    for (const std::string& path : lists) {
        std::ifstream in(path);
        if (!in) {
            std::fprintf(stderr, "brisa_diphones: cannot read %s\n", path.c_str());
            return 2;
        }
        for (std::string line; std::getline(in, line);) {
            const std::string word = parlendo::text::upperCase(parlendo::text::externalToCp1252(line));
            if (word.empty()) continue;
            const parlendo::PhonemeList list = parlendo::buildPhonemeList({"555|" + word}, rules, exceptions);
            std::vector<std::string> names;
            for (std::string p : list) {
                if (p.empty() || p[0] == ';' || p[0] == '_') continue;
                if (p[0] == '>') p.erase(0, 1);
                if (!p.empty() && p[0] == '\xA8') p.erase(0, 1);
                if (!p.empty()) names.push_back(p);
            }
            if (names.empty()) continue;
            for (size_t k = 1; k < names.size(); ++k) pairs.emplace(names[k - 1], names[k]);
            first.insert(names.front());
            last.insert(names.back());
        }
    }
    for (const std::string& a : last)
        for (const std::string& b : first) pairs.emplace(a, b);
    // Every case variant of a pair, among the names of the set.
    std::set<std::string> listed;
    for (const auto& [a, b] : pairs) listed.insert(folded(a) + "-" + folded(b));
    std::printf("; Difones da voz Brisa: every pair of phonemes the front end can write, one a line.\n");
    std::printf("; Made by tools/brisa_diphones from the rule and exception files and the word list.\n");
    for (const char* a : kPhonemes)
        for (const char* b : kPhonemes)
            if (listed.count(folded(a) + "-" + folded(b))) std::printf("%s-%s\n", a, b);
    return 0;
}
