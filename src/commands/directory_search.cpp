// Directory search for BUSCA: listing a folder once, matching, and stepping through the names.
#include "commands/directory_search.h"

#include <algorithm>
#include <utility>

#include "platform/file_system.h"
#include "text/cp1252.h"

namespace parlendo {

namespace {

// Greedy matching with one remembered star: linear in the name for each star, so no pattern
// makes the search slow.
bool matchPlain(std::string_view p, std::string_view n) {
    size_t pi = 0, ni = 0;
    size_t starP = std::string_view::npos, starN = 0;
    while (ni < n.size()) {
        if (pi < p.size() && p[pi] == '*') {
            starP = pi++;
            starN = ni;
        } else if (pi < p.size() && (p[pi] == '?' || text::upperChar(p[pi]) == text::upperChar(n[ni]))) {
            ++pi;
            ++ni;
        } else if (starP != std::string_view::npos) {
            pi = starP + 1;
            ni = ++starN;
        } else {
            return false;
        }
    }
    while (pi < p.size() && p[pi] == '*') ++pi;
    return pi == p.size();
}

}  // namespace

bool matchPattern(std::string_view pattern, std::string_view name) {
    if (matchPlain(pattern, name)) return true;
    if (pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == ".*" &&
        name.find('.') == std::string_view::npos)
        return matchPlain(pattern.substr(0, pattern.size() - 2), name);
    return false;
}

std::string DirectorySearch::start(std::string_view pattern, bool directories) {
    close();
    pattern = pattern.substr(0, std::min(pattern.size(), kPatternLimit));
    size_t slash = pattern.rfind('/');
    std::string folder = ".";
    std::string_view namePart = pattern;
    if (slash != std::string_view::npos) {
        folder.assign(pattern.substr(0, slash == 0 ? 1 : slash));
        namePart = pattern.substr(slash + 1);
    }
    // Sorted by upper-cased name, then by the name itself, so that names differing only in
    // letter case keep a fixed order.
    std::vector<std::pair<std::string, std::string>> found;
    if (!namePart.empty()) {
        for (DirectoryEntry& e : listDirectory(folder, directories))
            if (e.isDirectory == directories && matchPattern(namePart, e.name))
                found.emplace_back(text::upperCase(e.name), std::move(e.name));
    }
    std::sort(found.begin(), found.end());
    names_.reserve(found.size());
    for (auto& f : found) names_.push_back(std::move(f.second));
    active_ = true;
    return next();
}

std::string DirectorySearch::next() {
    if (!active_ || next_ >= names_.size()) {
        close();
        return std::string();
    }
    return std::move(names_[next_++]);
}

void DirectorySearch::close() {
    names_.clear();
    names_.shrink_to_fit();
    next_ = 0;
    active_ = false;
}

}  // namespace parlendo
