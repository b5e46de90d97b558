// The Brisa voice's rule table: reading portug.nrl.
#include "tts/brisa_rule_file.h"

#include "text/data_lines.h"
#include "tts/brisa_data_file.h"

namespace parlendo {

namespace {

const std::vector<BrisaRule> kNoRules;

}  // namespace

void RuleTable::freeRules() {
    for (auto& chain : buckets_) {
        chain.clear();
        chain.shrink_to_fit();
    }
}

size_t RuleTable::ruleCount() const {
    size_t n = 0;
    for (const auto& chain : buckets_) n += chain.size();
    return n;
}

const std::vector<BrisaRule>& RuleTable::bucket(unsigned char c) const {
    return c < kFirstBucket ? kNoRules : buckets_[c - kFirstBucket];
}

bool RuleTable::loadRules(const std::string& path) {
    freeRules();
    std::string contents;
    if (!readBrisaFile(path, contents)) return false;
    readRules(contents);
    return true;
}

void RuleTable::readRules(std::string_view contents) {
    freeRules();
    text::forEachLine(contents, [this](std::string_view line) {
        if (!line.empty() && line.front() == ';') return true;
        BrisaRule rule;
        size_t at = 0;
        rule.left = text::cutField(line, at, '(', BrisaRule::kContextWidth);
        rule.focus = text::cutField(line, at, ')', BrisaRule::kFocusWidth);
        rule.right = text::cutField(line, at, '=', BrisaRule::kContextWidth);
        rule.phonemes = text::cutField(line, at, '|', BrisaRule::kPhonemesWidth);
        // A rule without focus would match without consuming anything (an empty line, a line
        // without "("): it could never let the scan advance, so it is not kept.
        if (rule.focus.empty()) return true;
        if (!rule.left.empty()) {
            const char last = rule.left.back();
            if (last != '#' && last != '%' && last != ']' && last != '_' && last != '|')
                rule.letterBefore = static_cast<unsigned char>(last);
        }
        const unsigned char first = static_cast<unsigned char>(rule.focus.front());
        if (first < kFirstBucket) return true;
        buckets_[first - kFirstBucket].push_back(std::move(rule));
        return true;
    });
}

}  // namespace parlendo
