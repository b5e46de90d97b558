// Spoken menus: the MENU sub-commands, the keys of a running menu, its colours and scrolling.
#include "commands/menus.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "../interp/fixture.h"
#include "commands/command_state.h"

namespace parlendo {
namespace {

using testing::Machine;

// Keys in the notation of the harness, typed one at a time as the menu waits.
void typeKeys(Machine& m, const std::string& notation) {
    auto keys = parseKeyNotation(notation);
    ASSERT_TRUE(keys) << notation;
    m.typed = ScriptedKeys(*keys);
}

void createWithItems(Machine& m, const std::string& rectangle, int items) {
    ASSERT_TRUE(m.exec("menu cria " + rectangle));
    for (int i = 1; i <= items; ++i) ASSERT_TRUE(m.exec("menu adiciona \"item " + std::to_string(i) + "\""));
}

int foregroundAt(Machine& m, int row, int column) { return m.console.cellAttribute(row, column) & 15; }

long clicks(const Machine& m) {
    const auto& l = m.speech.lines();
    return std::count(l.begin(), l.end(), "<click>");
}

TEST(Menu, SubcommandsNeedACreateAndNothingLeftOver) {
    Machine m;
    EXPECT_FALSE(m.exec("menu adiciona \"a\"")) << "nothing to add to before CRIA";
    EXPECT_FALSE(m.exec("menu executa p k t"));
    EXPECT_FALSE(m.exec("menu termina"));
    EXPECT_FALSE(m.exec("menu"));
    EXPECT_FALSE(m.exec("menu apaga"));

    EXPECT_FALSE(m.exec("menu cria 1 2 x 4"));
    EXPECT_FALSE(m.exec("menu cria 1 2 30"));
    EXPECT_FALSE(m.exec("menu cria 1 2 30 4 5"));
    EXPECT_FALSE(m.exec("menu cria 10 2 5 4")) << "no column between left and right";
    EXPECT_FALSE(m.exec("menu cria 1 9 5 4")) << "no row between top and bottom";
    EXPECT_FALSE(m.in.state->menu);
    m.set("L", "$a");
    EXPECT_TRUE(m.exec("MENU Cria 1 2 l (4+1)")) << "any value that passes the integer conversion";
    ASSERT_TRUE(m.in.state->menu);
    EXPECT_EQ(m.in.state->menu->right(), 10);
    EXPECT_EQ(m.in.state->menu->bottom(), 5);

    EXPECT_FALSE(m.exec("menu adiciona"));
    EXPECT_FALSE(m.exec("menu adiciona \"um\" \"dois\""));
    EXPECT_EQ(m.in.state->menu->count(), 0) << "a refused ADICIONA adds nothing";
    EXPECT_TRUE(m.exec("menu adiciona \"um\""));
    EXPECT_TRUE(m.exec("menu adiciona \"\""));
    EXPECT_EQ(m.in.state->menu->count(), 2);
    EXPECT_FALSE(m.exec("menu termina agora"));
    EXPECT_EQ(m.in.state->menu->count(), 2);

    typeKeys(m, "{#13}");
    m.set("P", "1");
    EXPECT_FALSE(m.exec("menu executa p k t sobra")) << "text after the variables fails the command";
    EXPECT_EQ(m.var("P"), "1") << "once the menu has run and set them";
    EXPECT_EQ(m.var("K"), "#13");
    EXPECT_EQ(m.var("T"), "um");
    EXPECT_FALSE(m.exec("menu executa p k")) << "three variables are needed";
}

TEST(Menu, DrawsInItsColoursAndRestoresTheForeground) {
    Machine m;
    m.console.setMagnification(2, 14, 6, 3);
    ASSERT_TRUE(m.exec("fundo 1"));
    ASSERT_TRUE(m.exec("cor 7"));
    ASSERT_TRUE(m.exec("menu cria 3 2 12 5"));
    for (const char* item : {"um", "dois", "tr\xEAs longo demais", "quatro", "cinco"})
        ASSERT_TRUE(m.in.executeLine(std::string("menu adiciona \"") + item + "\"", false));
    typeKeys(m, "+{#0#80}{#13}");
    m.set("P", "1");
    ASSERT_TRUE(m.exec("menu executa p k t"));

    EXPECT_EQ(m.row(2), "  um");
    EXPECT_EQ(m.row(3), "  dois");
    EXPECT_EQ(m.row(4), "  três longo") << "cut to the width of the rectangle";
    EXPECT_EQ(m.row(5), "  quatro");
    EXPECT_EQ(m.row(6), "") << "only four rows are visible";
    EXPECT_EQ(foregroundAt(m, 2, 3), 2) << "a marked item is green";
    EXPECT_EQ(foregroundAt(m, 3, 3), 14) << "the current item is yellow";
    EXPECT_EQ(foregroundAt(m, 3, 12), 14) << "to the right edge of the rectangle";
    EXPECT_EQ(foregroundAt(m, 4, 3), 7) << "other items keep the script's colour";
    for (int row = 2; row <= 5; ++row)
        EXPECT_EQ(m.console.cellAttribute(row, 5) >> 4, 1) << "the background stays";
    EXPECT_EQ(m.console.cellAttribute(3, 13), 0x0F) << "nothing is drawn past the rectangle";
    EXPECT_EQ(m.console.attribute(), 0x17) << "the foreground in force is restored";
    EXPECT_EQ(m.console.cursorRow(), 3);
    EXPECT_EQ(m.console.cursorColumn(), 3);
    EXPECT_EQ(m.console.magnified().partThree.substr(0, 4), "dois") << "the spoken item is magnified";

    Machine fixed;
    fixed.console.setFixedColours(true);
    createWithItems(fixed, "1 1 10 3", 3);
    typeKeys(fixed, "+{#0#80}{#13}");
    fixed.set("P", "1");
    ASSERT_TRUE(fixed.exec("menu executa p k t"));
    for (int row = 1; row <= 3; ++row)
        EXPECT_EQ(fixed.console.cellAttribute(row, 1), 0x0F) << "fixed colours";
}

TEST(Menu, ScrollsOneRowAtATime) {
    Machine m;
    createWithItems(m, "1 1 30 22", 45);
    typeKeys(m, "{#0#80}{#27}");
    m.set("P", "22");
    ASSERT_TRUE(m.exec("menu executa p k t"));
    EXPECT_EQ(m.in.state->menu->firstVisible(), 1) << "one row past the bottom scrolls by one";
    EXPECT_EQ(m.row(23), "");
    EXPECT_EQ(m.console.cursorRow(), 22);

    typeKeys(m, "{#0#81}{#0#81}{#0#81}{#27}");
    ASSERT_TRUE(m.exec("menu executa p k t"));
    EXPECT_EQ(m.var("P"), "46") << "Page Down stops on the empty position below the last item";
    EXPECT_EQ(m.var("T"), "");
    EXPECT_EQ(m.row(21), "item 45");
    EXPECT_EQ(m.row(22), "") << "an empty highlighted row";
    EXPECT_EQ(foregroundAt(m, 22, 1), 14);

    typeKeys(m, "{#0#73}{#0#72}{#27}");
    ASSERT_TRUE(m.exec("menu executa p k t"));
    EXPECT_EQ(m.var("P"), "35");
    EXPECT_EQ(m.in.state->menu->firstVisible(), 24) << "moving up within the rows does not scroll";
}

TEST(Menu, MarkingKeys) {
    Machine m;
    createWithItems(m, "1 1 20 10", 5);
    Menu& menu = *m.in.state->menu;
    auto marks = [&] {
        std::string s;
        for (int p = 1; p <= 5; ++p) s += menu.marked(p) ? 'x' : '.';
        return s;
    };
    auto run = [&](const std::string& keys, int start = 1) {
        typeKeys(m, keys + "{#13}");
        return menu.select(m.in, start, true);
    };

    run(" ");
    EXPECT_EQ(marks(), "x....");
    run(" ");
    EXPECT_EQ(marks(), ".....") << "the blank toggles";
    run("+ ", 2);
    EXPECT_EQ(marks(), ".....");
    run("++", 2);
    EXPECT_EQ(marks(), ".x...");
    run("-", 2);
    EXPECT_EQ(marks(), ".....");
    run("*");
    EXPECT_EQ(marks(), "xxxxx");
    run("/");
    EXPECT_EQ(marks(), ".....");

    long before = clicks(m);
    auto exit = run("{100#0#80}{100#0#80}");
    EXPECT_EQ(marks(), "xxx..") << "Shift+Down marks the item left and the item reached";
    EXPECT_EQ(exit->position, 3);
    EXPECT_EQ(clicks(m) - before, 1 + 1 + 1) << "a click for marking item 1, then item 2 and 3 announced";
    run("{100#0#72}", 3);
    EXPECT_EQ(marks(), "xx...") << "Shift+Up clears the item it leaves";
    run("{100#0#79}", 2);
    EXPECT_EQ(marks(), "xxxxx") << "Shift+End marks to the last";
    exit = run("{100#0#71}", 4);
    EXPECT_EQ(marks(), "....x") << "Shift+Home clears back to the first";
    EXPECT_EQ(exit->position, 1);
    run("{010#0#117}", 5);
    EXPECT_EQ(marks(), "....x") << "Ctrl+End alone does nothing";
    exit = run("{110#0#119}", 3);
    EXPECT_EQ(marks(), "xxx.x") << "Shift+Ctrl+Home marks back to the first";
    EXPECT_EQ(exit->position, 1);
    exit = run("{110#0#117}", 2);
    EXPECT_EQ(marks(), "x....") << "Shift+Ctrl+End clears to the last";
    EXPECT_EQ(exit->position, 5);
    run("{110#0#118}", 4);
    EXPECT_EQ(marks(), "x..xx") << "Shift+Ctrl+Page Down marks like Shift+End";
    run("{110#0#132}", 5);
    EXPECT_EQ(marks(), ".....") << "Shift+Ctrl+Page Up clears like Shift+Home";

    size_t from = m.speech.lines().size();
    run("+");
    std::vector<std::string> said(m.speech.lines().begin() + from, m.speech.lines().end());
    EXPECT_EQ(said, (std::vector<std::string>{"item 1", "<click>", "item 1"}))
        << "a marked item is announced with a click before its text";
}

TEST(Menu, MovingPastEitherEndClicksOntoAnEmptyPosition) {
    Machine m;
    createWithItems(m, "1 1 20 10", 3);
    Menu& menu = *m.in.state->menu;
    auto run = [&](const std::string& keys, int start) {
        typeKeys(m, keys + "{#13}");
        size_t from = m.speech.lines().size();
        auto exit = menu.select(m.in, start, true);
        std::vector<std::string> said(m.speech.lines().begin() + from, m.speech.lines().end());
        return std::make_pair(exit->position, said);
    };
    using Said = std::vector<std::string>;
    EXPECT_EQ(run("{#0#72}", 1), std::make_pair(0, Said{"item 1", "<click>"}));
    EXPECT_EQ(run("{#0#72}{#0#72}", 1), std::make_pair(0, Said{"item 1", "<click>", "<click>"}));
    EXPECT_EQ(run("{#0#72}{#0#80}", 1), std::make_pair(1, Said{"item 1", "<click>", "item 1"}));
    EXPECT_EQ(run("{#0#80}", 3), std::make_pair(4, Said{"item 3", "<click>"}));
    EXPECT_EQ(run("{#0#73}", 3), std::make_pair(0, Said{"item 3", "<click>"}));
    EXPECT_EQ(run("{#0#81}", 1), std::make_pair(4, Said{"item 1", "<click>"}));
    EXPECT_EQ(run("{#0#79}", 1), std::make_pair(3, Said{"item 1", "<click>", "item 3"}));
    EXPECT_EQ(run("{#0#71}", 3), std::make_pair(1, Said{"item 3", "<click>", "item 1"}));
    EXPECT_EQ(run("{#0#82}{#0#117}{#0#119}", 2),
              std::make_pair(2, Said{"item 2", "item 2", "item 2", "item 2"}))
        << "keys the menu does not know only announce the item again";
    EXPECT_EQ(run("{#0#82}", 4), std::make_pair(4, Said{"<click>"}))
        << "on the empty position every key clicks";
    EXPECT_EQ(run("", 99), std::make_pair(4, Said{})) << "a start past the end is the empty position";

    Machine empty;
    ASSERT_TRUE(empty.exec("menu cria 1 1 20 10"));
    typeKeys(empty, "{#0#79}{#13}");
    empty.set("P", "1");
    ASSERT_TRUE(empty.exec("menu executa p k t"));
    EXPECT_EQ(empty.var("P"), "0") << "End in an empty menu goes above the first item, safely";
    EXPECT_EQ(empty.var("T"), "");
}

TEST(Menu, LeavingKeysAndTheRestart) {
    Machine m;
    createWithItems(m, "1 1 20 10", 3);
    Menu& menu = *m.in.state->menu;
    for (int code : {59, 70, 75, 77, 83, 94, 101, 102, 103, 105, 115, 116}) {
        typeKeys(m, "{#0#" + std::to_string(code) + "}");
        auto exit = menu.select(m.in, 2, true);
        ASSERT_TRUE(exit) << code;
        EXPECT_TRUE(exit->extended) << code;
        EXPECT_EQ(exit->key, code);
        EXPECT_EQ(exit->position, 2);
    }
    for (int code : {82, 84, 93, 106, 114, 120}) {
        typeKeys(m, "{#0#" + std::to_string(code) + "}{#27}");
        auto exit = menu.select(m.in, 2, true);
        ASSERT_TRUE(exit) << code;
        EXPECT_FALSE(exit->extended) << code << " does not leave the menu";
    }

    typeKeys(m, "{#0#80}{#0#75}{#0#80}{#0#80}{#0#77}{#0#83}{#13}");
    m.set("P", "2");
    size_t from = m.speech.lines().size();
    ASSERT_TRUE(m.exec("menu executa p k t"));
    EXPECT_EQ(m.var("P"), "2") << "Left, Right and Delete start the menu again at the script's position";
    std::vector<std::string> said(m.speech.lines().begin() + from, m.speech.lines().end());
    EXPECT_EQ(said, (std::vector<std::string>{"item 2", "item 3", "item 2", "item 3", "<click>", "item 2",
                                              "item 2"}));

    typeKeys(m, "{#0#80}{#0#68}");
    ASSERT_TRUE(m.exec("menu executa p k t"));
    EXPECT_EQ(m.var("P"), "3");
    EXPECT_EQ(m.var("K"), "#0#68") << "F10";
    EXPECT_EQ(m.var("T"), "item 3");

    typeKeys(m, "{#0#80}");
    EXPECT_FALSE(m.exec("menu executa p k t")) << "the keys ran out";
    EXPECT_TRUE(m.keys.exhausted());
    EXPECT_EQ(m.console.attribute(), 0x0F);
}

TEST(Menu, StartPositionFromTheScript) {
    Machine m;
    createWithItems(m, "1 1 20 10", 5);
    auto runFrom = [&](const std::string& position) {
        typeKeys(m, "{#13}");
        m.set("P", position);
        EXPECT_TRUE(m.exec("menu executa p k t"));
        return m.var("P");
    };
    EXPECT_EQ(runFrom("abc"), "1") << "CRIA starts at 1";
    EXPECT_EQ(runFrom(" 4 "), "4") << "trimmed";
    EXPECT_EQ(runFrom("quatro"), "4") << "not a number: where the previous run started";
    EXPECT_EQ(runFrom("0"), "1");
    EXPECT_EQ(runFrom("-3"), "1");
    EXPECT_EQ(runFrom("$3"), "3") << "the integer conversion of the language";
    EXPECT_EQ(runFrom("6"), "6") << "just below the last item";
    EXPECT_EQ(m.var("T"), "");
    // Far past the end the menu begins below the last item, with the items in view: Enter
    // there gives back a position the menu has.
    EXPECT_EQ(runFrom("99"), "6") << "far past the end: just below the last item";
    EXPECT_EQ(m.var("T"), "");
    EXPECT_EQ(m.row(5), "item 5") << "the rows drawn show the items";
    ASSERT_TRUE(m.exec("menu cria 1 1 20 10"));
    ASSERT_TRUE(m.exec("menu adiciona \"a\""));
    ASSERT_TRUE(m.exec("menu adiciona \"b\""));
    EXPECT_EQ(runFrom(""), "1") << "a new menu starts at 1 again";
}

TEST(Menu, CloseBlanksTheRectangleAndKeepsAnEmptyMenu) {
    Machine m;
    for (int i = 0; i < 8; ++i) m.console.writeLine(std::string(20, 'x'));
    createWithItems(m, "5 3 14 6", 2);
    typeKeys(m, "{#13}");
    m.set("P", "1");
    ASSERT_TRUE(m.exec("menu executa p k t"));
    EXPECT_EQ(m.row(3), "xxxxitem 1    xxxxxx");
    ASSERT_TRUE(m.exec("menu termina"));
    for (int row = 3; row <= 6; ++row) EXPECT_EQ(m.row(row), "xxxx          xxxxxx") << row;
    EXPECT_EQ(m.row(2), std::string(20, 'x'));
    EXPECT_EQ(m.row(7), std::string(20, 'x'));
    EXPECT_EQ(m.console.cursorColumn(), 5);
    EXPECT_EQ(m.console.cursorRow(), 3);

    typeKeys(m, "{#13}");
    ASSERT_TRUE(m.exec("menu executa p k t")) << "the menu stays, with no items";
    EXPECT_EQ(m.var("P"), "1");
    EXPECT_EQ(m.var("T"), "");
    ASSERT_TRUE(m.exec("menu adiciona \"novo\""));
    EXPECT_EQ(m.in.state->menu->itemText(1), "novo");
    typeKeys(m, "{#13}");
    ASSERT_TRUE(m.exec("menu executa p k t"));

    ASSERT_TRUE(m.exec("menu cria 1 10 10 11"));
    EXPECT_EQ(m.row(3), "xxxxnovo      xxxxxx") << "a new CRIA does not blank the old rectangle";
}

TEST(Menu, StaysInsideTheScreen) {
    Machine m;
    ASSERT_TRUE(m.exec("menu cria 70 1 100 80"));
    for (int i = 1; i <= 30; ++i)
        ASSERT_TRUE(m.exec("menu adiciona \"item " + std::to_string(i) + " com um texto comprido\""));
    ASSERT_TRUE(m.in.executeLine("menu adiciona \"a\r\nb\x07\"", false));
    EXPECT_EQ(m.in.state->menu->visibleRows(), 25);
    std::string keys;
    for (int i = 0; i < 30; ++i) keys += "{#0#80}";
    typeKeys(m, keys + "{#13}");
    m.set("P", "1");
    ASSERT_TRUE(m.exec("menu executa p k t"));
    EXPECT_EQ(m.var("P"), "31");
    EXPECT_EQ(m.var("T"), "a\r\nb\x07") << "the item's text is given back as it was";
    EXPECT_EQ(m.console.rowText(25).substr(69), "a  b       ") << "control bytes are drawn as blanks";
    EXPECT_EQ(m.console.rowText(24).substr(69), "item 30 com");
    EXPECT_EQ(m.console.rowText(1).substr(69), "item 7 com ") << "scrolled within the 25 rows";
    EXPECT_EQ(m.console.rowText(1).substr(0, 69), std::string(69, ' ')) << "no row wrapped";
    EXPECT_EQ(m.console.cursorRow(), 25);
}

TEST(Menu, ScreenReviewFromTheMenu) {
    Machine m;
    createWithItems(m, "1 1 20 10", 3);
    typeKeys(m, "{#0#80}{011#0#102}{#27}{#13}");
    m.set("P", "1");
    ASSERT_TRUE(m.exec("menu executa p k t"));
    EXPECT_EQ(m.var("K"), "#13") << "Alt+Ctrl+F9 reviews the screen until Esc, then the menu goes on";
    EXPECT_EQ(m.var("P"), "2");

    typeKeys(m, "{010#0#102}{#0#72}{#13}");
    ASSERT_TRUE(m.exec("menu executa p k t"));
    EXPECT_EQ(m.var("P"), "1") << "Ctrl+F9 without Alt leaves the menu, which starts again";
}

}  // namespace
}  // namespace parlendo
