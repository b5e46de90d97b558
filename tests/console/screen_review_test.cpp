// The screen review: moving the review cursor over the console and hearing what it passes.
#include "console/screen_review.h"

#include <gtest/gtest.h>

#include "console_desk.h"

namespace parlendo::testing {
namespace {

// Starts the review at a column and row and runs it until Esc.
Heard review(Desk& d, int column, int row) {
    d.console.gotoXY(column, row);
    EXPECT_TRUE(reviewScreen(d.in));
    EXPECT_EQ(d.console.cursorColumn(), column) << "leaving restores the console cursor";
    EXPECT_EQ(d.console.cursorRow(), row);
    return d.heard();
}

TEST(ScreenReview, RowsAreReadWordByWord) {
    Desk d("{#0#72}{#0#80}{#0#80}{#0#72}{#0#81}{#0#73}{#20}{#27}");
    d.put(1, "Sintonix: radio FM 98");
    d.put(3, "Lista das estações ----- ok");
    EXPECT_EQ(review(d, 5, 1), (Heard{"<beep>",   // entering
                                      "<beep>",   // Up on row 1
                                      "<click>",  // Down to a blank row
                                      "<click>", "Lista", "das", "estações", "---", "ok", "Sintonix", ":",
                                      "radio", "spell FM", "98",      // Page Up
                                      "<beep>", "<click>", "<beep>",  // a key it does not know
                                      "<beep>", "<beep>"}));          // Esc
}

TEST(ScreenReview, LetterPairsReadParts) {
    // The review cursor on column 10 of "um dois x tres", below it a second row.
    auto pair = [](const std::string& keys) {
        Desk d(keys + "{#27}");
        d.put(1, "um dois x tres");
        d.put(2, "segunda linha");
        Heard h = review(d, 10, 1);
        return Heard(h.begin() + 1, h.end() - 2);
    };
    EXPECT_EQ(pair("il"), (Heard{"um", "dois", "spell x"})) << "IL at column 10 reads columns 1 to 9";
    EXPECT_EQ(pair("IL"), (Heard{"um", "dois", "spell x"}));
    EXPECT_EQ(pair("fl"), (Heard{"tres"}));
    EXPECT_EQ(pair("ll"), (Heard{"um", "dois", "spell x", "tres"}));
    EXPECT_EQ(pair("ft"), (Heard{"tres", "<click>", "segunda", "linha"}));
    EXPECT_EQ(pair("tt"), (Heard{"um", "dois", "spell x", "tres", "<click>", "segunda", "linha"}));
    EXPECT_EQ(pair("it"), (Heard{"um", "dois", "spell x"}));
    EXPECT_EQ(pair("ix"), (Heard{"<beep>", "<click>", "<beep>"}));
    EXPECT_EQ(pair("i{#0#72}"), (Heard{"<beep>", "<click>", "<beep>"}));

    Desk start("il{#27}");
    start.put(1, "abc");
    EXPECT_EQ(review(start, 1, 1), (Heard{"<beep>", "<beep>", "<beep>", "<beep>"}))
        << "nothing before column 1";
}

TEST(ScreenReview, CharactersColumnsAndTheEdges) {
    Desk d("{#0#75}{#0#77}{#0#77}{#8}{#0#79}{#12}{#0#71}{#11}{#27}");
    d.put(1, "ab");
    EXPECT_EQ(review(d, 1, 1), (Heard{"<beep>", "<beep>", "char 97", "char 98", "char 98", "1", "3", "1", "1",
                                      "<beep>", "<beep>"}));

    Desk edge("{#0#77}{#11}{#13}{#11}{#27}");
    EXPECT_EQ(review(edge, 80, 25), (Heard{"<beep>", "char 32", "<beep>", "25", "80", "<click>", "<beep>",
                                           "25", "1", "<beep>", "<beep>"}))
        << "moving out of the screen is put back with a beep";
}

TEST(ScreenReview, WordsAndFields) {
    auto row = [](Desk& d) {
        d.put(1, "Nome: ");
        d.console.setBackground(1);
        d.put(1, "João Silva", 7);
        d.console.setBackground(0);
        d.put(1, "  Idade: 42", 17);
    };
    {
        Desk d("{#0#116}{#0#116}{#0#115}{#0#115}{#0#115}{#0#59}{#0#59}{#0#59}{#11}{#27}");
        row(d);
        EXPECT_EQ(review(d, 1, 1), (Heard{"<beep>", "<click>", "<click>", "<click>", "<click>", "<beep>",
                                          "Nome", ":", "João", "1", "11", "<beep>", "<beep>"}));
    }
    {
        Desk d("{#9}{010#0#94}{#9}{#9}{010#0#94}{#9}{#11}{#27}");
        row(d);
        EXPECT_EQ(review(d, 1, 1), (Heard{"<beep>", "<click>", "João", "Silva", "<click>", "<click>", "42",
                                          "<click>", "1", "28", "<beep>", "<beep>"}))
            << "Tab goes from field to field, with a click; past the last one, after the row's text";
    }
    {
        Desk d("tcicfc{#27}");
        row(d);
        EXPECT_EQ(review(d, 12, 1), (Heard{"<beep>", "João", "Silva", "João", "Silva", "<beep>", "<beep>"}));
    }
    {
        Desk d("{010#0#94}{#27}");
        row(d);
        EXPECT_EQ(review(d, 5, 1), (Heard{"<beep>", "<beep>", "<beep>", "<beep>"}))
            << "a separator is no field";
    }
}

TEST(ScreenReview, SearchesKeepTheirText) {
    Desk d("{#0#63}rádio{#13}{#11}{010#0#98}{#11}{010#0#98}{#0#63}x{#8}{#27}{#27}");
    d.put(1, "primeira linha");
    d.put(2, "Rádio Nacional");
    d.put(3, "outra rádio");
    EXPECT_EQ(review(d, 1, 1),
              (Heard{"<beep>",   "Qual texto", "char 114", "char 225",   "char 100", "char 105",
                     "char 111", "<click>",    "2",        "1",          "<click>",  "3",
                     "7",        "<beep>",     "<beep>",   "Qual texto", "char 120", "word _DEL",
                     "char 120", "<click>",    "<beep>",   "<beep>"}));
    EXPECT_EQ(d.in.reviewSearch, cp("rádio")) << "kept for the next review";

    Desk again("{010#0#98}{#11}{#27}");
    again.in.reviewSearch = "RADIO";
    again.put(4, "uma radio");
    EXPECT_EQ(review(again, 1, 1), (Heard{"<beep>", "<click>", "4", "5", "<beep>", "<beep>"}));

    Desk none("{010#0#98}{#27}");
    EXPECT_EQ(review(none, 1, 1), (Heard{"<beep>", "<beep>", "<beep>", "<beep>"}));
}

TEST(ScreenReview, F6GoesToARowAndColumn) {
    Desk d("{#0#64}0512{#11}{#0#64}0x{#11}{#0#64}0099{#11}{#27}");
    const std::string ask = "Entre linha e coluna";
    EXPECT_EQ(review(d, 1, 1), (Heard{"<beep>", ask,  "char 48", "char 53",  "char 49", "char 50", "5",
                                      "12",     ask,  "char 48", "char 120", "<beep>",  "<beep>",  "5",
                                      "12",     ask,  "char 48", "char 48",  "char 57", "char 57", "<beep>",
                                      "1",      "80", "<beep>",  "<beep>"}));
}

TEST(ScreenReview, FirstAndLastLetterAndTheCopyOfTheScreen) {
    Desk d("{010#0#132}{#11}{010#0#118}{#11}{#3}{#27}");
    d.put(3, "  alfa");
    d.put(7, "omega");
    EXPECT_EQ(review(d, 1, 1),
              (Heard{"<beep>", "alfa", "3", "3", "omega", "7", "5", "<click>", "<beep>", "<beep>"}));
    const std::string copied = d.clipboard.paste();
    ASSERT_EQ(copied.size(), 25u * 82u);
    EXPECT_EQ(copied.substr(2 * 82, 82), "  alfa" + std::string(74, ' ') + "\r\n");

    Desk blank("{010#0#132}{#3}{#27}");
    blank.in.services.clipboard = nullptr;
    EXPECT_EQ(review(blank, 1, 1), (Heard{"<beep>", "<beep>", "<beep>", "<beep>", "<beep>"}));
}

TEST(ScreenReview, EndsWhenNoKeyWillCome) {
    Desk d("{#0#80}");
    d.console.gotoXY(4, 2);
    EXPECT_FALSE(reviewScreen(d.in));
    EXPECT_EQ(d.console.cursorColumn(), 4);
    EXPECT_EQ(d.console.cursorRow(), 2);
}

}  // namespace
}  // namespace parlendo::testing
