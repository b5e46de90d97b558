// The braille keyboard's chord machine, driven by key-down and key-up events.
#include "console/braille_keyboard.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "console/key_queue.h"
#include "console/speech_front.h"

namespace parlendo {
namespace {

// The dots of a cell as home-row keys: F D S for dots 1 2 3, J K L for dots 4 5 6.
std::string keysOf(const std::string& dots) {
    static const std::string kKeyOfDot = "FDSJKL";
    std::string keys;
    for (char d : dots) keys.push_back(kKeyOfDot[d - '1']);
    return keys;
}

struct Keyboard {
    KeyQueue queue;
    RecordingSpeech speech{queue};
    BrailleKeyboard braille{speech};

    // Presses the keys together, then lets them go in the same order; what the chord typed.
    std::string chord(const std::string& keys, bool ctrl = false) {
        std::string typed;
        for (char k : keys) braille.keyDown(k, ctrl);
        for (char k : keys)
            if (auto c = braille.keyUp(k, ctrl)) typed.push_back(static_cast<char>(*c));
        return typed;
    }
    // Cells typed one after another, each given by its dots.
    std::string cells(std::initializer_list<std::string> dots) {
        std::string typed;
        for (const std::string& d : dots) typed += chord(keysOf(d));
        return typed;
    }
};

TEST(BrailleKeyboard, ModeOneTypesTheCellsOfTheTable) {
    Keyboard k;
    k.braille.setMode(1);
    EXPECT_TRUE(k.braille.keyDown('F', false));
    EXPECT_TRUE(k.braille.keyDown('D', false));
    EXPECT_EQ(k.braille.keyUp('F', false), std::nullopt) << "a chord ends when its last key is let go";
    EXPECT_EQ(k.braille.keyUp('D', false), uint8_t{'b'});

    // The letters of the braille alphabet.
    const std::vector<std::string> letters = {"1",    "12",   "14",    "145",   "15",  "124",  "1245",
                                              "125",  "24",   "245",   "13",    "123", "134",  "1345",
                                              "135",  "1234", "12345", "1235",  "234", "2345", "136",
                                              "1236", "2456", "1346",  "13456", "1356"};
    for (size_t i = 0; i < letters.size(); ++i)
        EXPECT_EQ(k.chord(keysOf(letters[i])), std::string(1, static_cast<char>('a' + i))) << letters[i];
    EXPECT_EQ(k.chord(keysOf("123456")), "\xE9");
    EXPECT_EQ(k.chord(keysOf("12346")), "\xE7");
    EXPECT_EQ(k.chord(keysOf("3")), "'") << "mode 1 leaves the apostrophe";
    EXPECT_EQ(k.chord(keysOf("3456")), "#");
    EXPECT_EQ(BrailleKeyboard::cellCharacter(0), ' ');
    EXPECT_EQ(BrailleKeyboard::cellCharacter(12), 0xED);
}

TEST(BrailleKeyboard, SpaceBarAndOtherKeys) {
    Keyboard k;
    k.braille.setMode(1);
    EXPECT_EQ(k.chord(" "), " ");
    EXPECT_EQ(k.chord(" F"), "\x01") << "the space bar with dots types a control code";
    EXPECT_EQ(k.chord(" " + keysOf("34")), "\x0D");
    EXPECT_EQ(k.chord(" " + keysOf("1246")), "") << "a chord that would give 0 types nothing";
    EXPECT_EQ(k.chord("G"), " ") << "another letter key let go with nothing held types the empty cell";
    k.braille.keyDown('F', false);
    EXPECT_FALSE(k.braille.keyDown('G', false));
    EXPECT_EQ(k.braille.keyUp('G', false), std::nullopt) << "while a chord key is held";
    EXPECT_EQ(k.braille.keyUp('F', false), uint8_t{'a'});

    EXPECT_FALSE(k.braille.keyDown('F', true)) << "with Ctrl a key is a key";
    EXPECT_EQ(k.braille.keyUp('F', true), std::nullopt);
    EXPECT_TRUE(k.braille.swallowsCharacter('f'));
    EXPECT_TRUE(k.braille.swallowsCharacter(' '));
    EXPECT_FALSE(k.braille.swallowsCharacter('1'));

    k.braille.setMode(0);
    EXPECT_FALSE(k.braille.keyDown('F', false));
    EXPECT_EQ(k.braille.keyUp('F', false), std::nullopt);
    EXPECT_FALSE(k.braille.swallowsCharacter('f'));
}

TEST(BrailleKeyboard, ModeTwoSigns) {
    Keyboard k;
    k.braille.setMode(2);
    const std::string number = keysOf("3456"), capital = keysOf("46");
    EXPECT_EQ(k.chord(number), "") << "the number sign types nothing";
    EXPECT_EQ(k.cells({"1", "12", "245"}), "120");
    EXPECT_EQ(k.chord(keysOf("5")), "") << "dot 5 ends the number";
    EXPECT_EQ(k.chord(keysOf("1")), "a");

    EXPECT_EQ(k.chord(capital), "");
    EXPECT_EQ(k.cells({"1", "12"}), "Ab") << "one capital sign: one capital";
    EXPECT_EQ(k.cells({"46", "46"}), "");
    EXPECT_EQ(k.cells({"1", "12", "123456"}), "AB\xC9") << "two capital signs lock the capitals";
    EXPECT_EQ(k.chord(" "), " ");
    EXPECT_EQ(k.chord(keysOf("14")), "c") << "the space bar ends them";

    EXPECT_EQ(k.cells({"3", "156"}), ".@");

    EXPECT_EQ(k.chord(number), "");
    k.braille.keyUp('\0', false);
    EXPECT_EQ(k.chord(keysOf("1")), "a") << "any other key let go ends the number";
    EXPECT_EQ(k.chord(capital), "");
    k.braille.keyUp('Q', true);
    EXPECT_EQ(k.chord(keysOf("1")), "a") << "and so does a key let go with Ctrl";
}

TEST(BrailleKeyboard, ModesSoundTheirTones) {
    Keyboard k;
    k.braille.setMode(0);
    EXPECT_TRUE(k.speech.lines().empty()) << "off when already off is silent";
    k.braille.nextMode();
    EXPECT_EQ(k.braille.mode(), 1);
    k.braille.nextMode();
    EXPECT_EQ(k.braille.mode(), 2);
    k.braille.nextMode();
    EXPECT_EQ(k.braille.mode(), 1);
    k.braille.setMode(0);
    EXPECT_EQ(k.speech.lines(), (std::vector<std::string>{"tone 800", "tone 1600", "tone 800", "tone 400",
                                                          "tone 800", "tone 1600", "tone 100"}));

    EXPECT_EQ(BrailleKeyboard::modeFromSetting(""), 0);
    EXPECT_EQ(BrailleKeyboard::modeFromSetting("0"), 0);
    EXPECT_EQ(BrailleKeyboard::modeFromSetting("1"), 1);
    EXPECT_EQ(BrailleKeyboard::modeFromSetting("2"), 2);
    EXPECT_EQ(BrailleKeyboard::modeFromSetting("3"), 1);
    EXPECT_EQ(BrailleKeyboard::modeFromSetting("6x"), 2);
}

}  // namespace
}  // namespace parlendo
