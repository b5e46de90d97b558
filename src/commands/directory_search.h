// The directory search of BUSCA: a pattern with "*" and "?", the entries it finds, one at a
// time.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace parlendo {

// True when the name matches the pattern: "*" stands for any run of characters, "?" for one,
// letters match in either case (the language's upper-casing rule), and a pattern ending in
// ".*" also matches names without that ".", so "*.*" matches every name.
bool matchPattern(std::string_view pattern, std::string_view name);

class DirectorySearch {
public:
    static constexpr size_t kPatternLimit = 512;

    // A new search, replacing any other: the pattern's folder part (up to its last "/") is
    // listed, and the entries whose names match its last part are kept in the order of their
    // upper-cased names. In directory mode only folders are found, the first one included (a
    // list of folders never starts with a file), otherwise only files.
    // Gives the first name, or the empty text when there is none.
    std::string start(std::string_view pattern, bool directories);
    // The next name; the empty text, ending the search, when none is left.
    std::string next();
    void close();
    bool active() const { return active_; }

private:
    std::vector<std::string> names_;
    size_t next_ = 0;
    bool active_ = false;
};

}  // namespace parlendo
