// A machine for the editor and the review: keys in the harness's notation (modifiers included),
// a look at the console each time the program waits for a key, a clipboard and a launcher.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "../interp/fixture.h"
#include "console/line_editor.h"
#include "platform/clipboard.h"
#include "platform/launcher.h"

namespace parlendo::testing {

class ProbedKeys final : public KeySource {
public:
    explicit ProbedKeys(const std::string& notation) {
        auto keys = parseKeyNotation(notation);
        EXPECT_TRUE(keys) << "malformed keys: " << notation;
        if (keys) keys_.assign(keys->begin(), keys->end());
    }
    std::optional<TypedKey> nextKey() override {
        if (probe) probe(typed_);
        if (keys_.empty()) return std::nullopt;
        TypedKey k = keys_.front();
        keys_.pop_front();
        ++typed_;
        return k;
    }
    // Called with the number of keys typed so far, before each key is typed.
    std::function<void(int)> probe;

private:
    std::deque<TypedKey> keys_;
    int typed_ = 0;
};

struct Desk : Machine {
    explicit Desk(const std::string& notation) : source(notation) {
        keys.setSource(&source);
        in.services.clipboard = &clipboard;
        in.services.launcher = &launcher;
    }
    EditExit edit(std::string& text, int column = 1, int row = 1, int maxLength = 255) {
        return editLine(in, text, column, row, maxLength);
    }
    // What the speech front was asked, as UTF-8.
    std::vector<std::string> heard() const {
        std::vector<std::string> out;
        for (const std::string& l : speech.lines()) out.push_back(text::cp1252ToUtf8(l));
        return out;
    }
    // Writes a text at a row, from column 1.
    void put(int row, const std::string& utf8, int column = 1) {
        console.gotoXY(column, row);
        console.write(cp(utf8));
    }

    ProbedKeys source;
    InProcessClipboard clipboard;
    RecordingLauncher launcher;
};

using Heard = std::vector<std::string>;

}  // namespace parlendo::testing
