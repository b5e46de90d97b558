// The console grid's write model and the key queue.
#include "console/console_grid.h"

#include <gtest/gtest.h>

#include "console/key_queue.h"

namespace parlendo {
namespace {

std::string trimmedRow(const ConsoleGrid& g, int r) {
    std::string t = g.rowText(r);
    while (!t.empty() && t.back() == ' ') t.pop_back();
    return t;
}

TEST(ConsoleGrid, WrapsBeforeThe81stCharacter) {
    ConsoleGrid g;
    g.write(std::string(80, 'a'));
    EXPECT_EQ(g.cursorRow(), 1);
    EXPECT_EQ(g.cursorColumn(), 81) << "the cursor waits past the last column";
    g.write("b");
    EXPECT_EQ(trimmedRow(g, 2), "b");
    EXPECT_EQ(g.cursorColumn(), 2);
}

TEST(ConsoleGrid, ControlBytes) {
    ConsoleGrid g;
    g.write("ab\tc");
    EXPECT_EQ(trimmedRow(g, 1), "abc") << "a tab writes nothing";
    g.write("\b\bX");
    EXPECT_EQ(trimmedRow(g, 1), "aX");
    g.write("\r\b");
    EXPECT_EQ(g.cursorColumn(), 1) << "backspace at column 1 does nothing";
    g.write("Z\x01\x1b");
    EXPECT_EQ(trimmedRow(g, 1), "ZX");
    g.write("\n");
    EXPECT_EQ(g.cursorRow(), 2);
    EXPECT_EQ(g.cursorColumn(), 1);
}

TEST(ConsoleGrid, ScrollsOnRow25WithTheCurrentAttribute) {
    ConsoleGrid g;
    for (int i = 1; i <= 25; ++i) g.writeLine("linha " + std::to_string(i));
    EXPECT_EQ(trimmedRow(g, 1), "linha 2") << "row 1 is lost";
    EXPECT_EQ(trimmedRow(g, 24), "linha 25");
    EXPECT_EQ(trimmedRow(g, 25), "");
    g.setBackground(1);
    g.write("\n");
    EXPECT_EQ(g.cellAttribute(25, 1), 0x1F);
    EXPECT_EQ(g.cellAttribute(24, 1), 0x0F);
    EXPECT_EQ(g.cellChar(26, 1), ' ');
    EXPECT_EQ(g.cellAttribute(0, 1), 0);
}

TEST(ConsoleGrid, GotoClampsAndDumpIsUtf8) {
    ConsoleGrid g;
    g.gotoXY(0, 0);
    EXPECT_EQ(g.cursorColumn(), 1);
    EXPECT_EQ(g.cursorRow(), 1);
    g.gotoXY(200, 99);
    EXPECT_EQ(g.cursorColumn(), 80);
    EXPECT_EQ(g.cursorRow(), 25);
    g.gotoXY(1, 1);
    g.write("a\xE7\xE3o  ");
    std::string dump = g.dumpUtf8();
    EXPECT_EQ(dump.substr(0, dump.find('\n')), "ação");
    EXPECT_EQ(std::count(dump.begin(), dump.end(), '\n'), 25);
}

TEST(KeyQueue, KeysAreTypedOnlyWhenTheProgramWaits) {
    ScriptedKeys typed({"a", std::string("\0;", 2)});
    KeyQueue q(&typed);
    EXPECT_FALSE(q.keyPressed()) << "a poll never types a key";
    q.flushKeys();
    EXPECT_EQ(q.readKey(), uint8_t{'a'}) << "discarding the queue eats no key not yet typed";
    EXPECT_EQ(q.readKey(), 0);
    EXPECT_TRUE(q.keyPressed());
    EXPECT_EQ(q.readKey(), 59);
    EXPECT_FALSE(q.readKey());
    EXPECT_TRUE(q.exhausted());
    for (int i = 0; i < 70; ++i) q.pushKey('x');
    int n = 0;
    while (q.keyPressed()) {
        q.readKey();
        ++n;
    }
    EXPECT_EQ(n, 64);
}

TEST(KeyNotation, Parses) {
    auto keys = parseKeyNotation("s{#13}{#0#59}{{x}\xC3\xA7{100#0#80}{011#65}");
    ASSERT_TRUE(keys);
    std::vector<TypedKey> expected = {{"s", {}},
                                      {"\r", {}},
                                      {std::string("\0;", 2), {}},
                                      {"{", {}},
                                      {"x", {}},
                                      {"}", {}},
                                      {"\xE7", {}},
                                      {std::string("\0P", 2), {true, false, false}},
                                      {"A", {false, true, true}}};
    EXPECT_EQ(*keys, expected);
    for (const char* bad : {"{", "{#}", "{13}", "{#256}", "{#0#}", "{#0}", "{#1x}", "{#0#1000}", "{201#13}"})
        EXPECT_FALSE(parseKeyNotation(bad)) << bad;
    EXPECT_TRUE(parseKeyNotation("")->empty());
}

}  // namespace
}  // namespace parlendo

namespace parlendo {
namespace {

TEST(MagnifiedLine, KeepsTheCursorVisible) {
    ConsoleGrid g;
    std::string text;
    for (int i = 1; i <= 60; ++i) text.push_back(static_cast<char>('0' + i % 10));
    g.drawMagnifiedLine(text, 50);
    EXPECT_TRUE(g.magnified().partThree.empty()) << "nothing is drawn while the factor is 0";
    g.setMagnification(2, 14, 6, 3);
    g.drawMagnifiedLine(text, 50);
    const MagnifiedLine& m = g.magnified();
    EXPECT_EQ(m.scroll, 10);
    EXPECT_EQ(m.partOne, text.substr(9, 39)) << "characters 10 to 48";
    EXPECT_EQ(m.partTwo, text.substr(48, 1)) << "character 49 in the cursor colour";
    EXPECT_EQ(m.partThree, std::string(40, ' '));
    g.drawMagnifiedLine(text, 1);
    EXPECT_EQ(m.scroll, 1);
    EXPECT_EQ(m.partOne, "");
    EXPECT_EQ(m.partTwo, "") << "with the cursor at 1 nothing is in the cursor colour";
    EXPECT_EQ(m.partThree, text.substr(0, 40));
}

}  // namespace
}  // namespace parlendo
