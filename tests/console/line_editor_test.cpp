// The spoken line editor: what typing, moving and editing keys do to the text, the field and
// what the user hears.
#include "console/line_editor.h"

#include <gtest/gtest.h>

#include "console_desk.h"
#include "platform/file_system.h"

namespace parlendo::testing {
namespace {

TEST(LineEditor, TypedTextStaysInItsFieldAndExitKeysEndEditing) {
    Desk d("ab{#13}");
    std::string t;
    EditExit e = d.edit(t, 5, 3);
    EXPECT_EQ(t, "ab");
    EXPECT_FALSE(e.extended);
    EXPECT_EQ(e.code, 13);
    EXPECT_FALSE(e.inputEnded);
    EXPECT_EQ(d.row(3), "    ab");
    EXPECT_EQ(d.console.cursorColumn(), 5) << "the console cursor goes back to the field's start";
    EXPECT_EQ(d.console.cursorRow(), 3);
    EXPECT_EQ(d.heard(), (Heard{"char 97", "char 98"}));

    struct Case {
        const char* keys;
        bool extended;
        int code;
    };
    for (Case c : {Case{"{#27}", false, 27}, Case{"{#9}", false, 9}, Case{"{#2}", false, 2},
                   Case{"{010#10}", false, 10}, Case{"{#0#72}", true, 72}, Case{"{#0#81}", true, 81},
                   Case{"{010#0#102}", true, 102}, Case{"{#0#60}", true, 60}, Case{"{#0#82}", true, 82},
                   Case{"{001#0#30}", true, 30}, Case{"{001#0#120}{001#0#129}{#13}", false, 13}}) {
        Desk k(c.keys);
        std::string s = "x";
        EditExit x = k.edit(s);
        EXPECT_EQ(x.extended, c.extended) << c.keys;
        EXPECT_EQ(x.code, c.code) << c.keys;
        EXPECT_EQ(s, "x") << c.keys << ": an exit key keeps the text";
    }

    Desk none("ab");
    std::string s;
    EXPECT_TRUE(none.edit(s).inputEnded);
    EXPECT_EQ(s, "ab");
}

TEST(LineEditor, FirstKeyReplacesAProposedValueAndEditingKeysKeepIt) {
    {
        Desk d("x{#13}");
        std::string t = "abc";
        d.edit(t);
        EXPECT_EQ(t, "x");
        EXPECT_EQ(d.row(1), "x");
        EXPECT_EQ(d.heard(), (Heard{"<click>", "<click>", "char 120"}));
    }
    {
        Desk d("{#0#79}x{#13}");
        std::string t = "abc";
        d.edit(t);
        EXPECT_EQ(t, "abcx");
        EXPECT_EQ(d.heard(), (Heard{"<click>", "<click>", "char 120"}));
    }
    {
        Desk d("{#0#77}y{#13}");
        std::string t = "ab  ";
        d.edit(t);
        EXPECT_EQ(t, "ayb");
        EXPECT_EQ(d.heard(), (Heard{"<click>", "<click>", "char 97", "char 121"}));
    }
    {
        Desk d("x{#13}");
        std::string t = "   ";
        d.edit(t);
        EXPECT_EQ(t, "x");
        EXPECT_EQ(d.heard(), (Heard{"char 120"})) << "blanks are no proposed value";
    }
}

TEST(LineEditor, BackspaceAndDelete) {
    {
        Desk d("{#8}{#13}");
        std::string t = "abc";
        d.edit(t);
        EXPECT_EQ(t, "abc") << "backspace at position 1 changes nothing";
        EXPECT_EQ(d.heard(), (Heard{"<click>", "<click>", "<beep>"}));
    }
    {
        Desk d("{#0#79}{#8}{#8}{#13}");
        std::string t = "abc";
        d.edit(t);
        EXPECT_EQ(t, "a");
        EXPECT_EQ(d.heard(), (Heard{"<click>", "<click>", "word _DEL", "char 99", "word _DEL", "char 98"}));
    }
    {
        Desk d("{#0#83}{#13}");
        std::string t = "abc";
        d.edit(t);
        EXPECT_EQ(t, "bc");
        EXPECT_EQ(d.heard(), (Heard{"<click>", "<click>", "word _DEL", "char 97"}));
    }
    {
        Desk d("{#0#83}{#13}");
        d.in.speakInFull = false;
        std::string t = "abc";
        d.edit(t);
        EXPECT_EQ(t, "bc");
        EXPECT_EQ(d.heard(), (Heard{"<click>", "<click>", "char 97"}))
            << "\"_DEL\" only when speaking in full";
    }
    {
        Desk d("{#0#79}{#0#83}x{#13}");
        std::string t = "abc";
        d.edit(t);
        EXPECT_EQ(t, "abcx");
        EXPECT_EQ(d.heard(), (Heard{"<click>", "<click>", "word _DEL", "char 32", "char 120"}))
            << "after the text Delete takes a blank of the field";
    }
    {
        Desk d("abc{#0#83}{#8}{#13}");
        std::string t;
        d.edit(t, 1, 1, 3);
        EXPECT_EQ(t, "ab");
        EXPECT_EQ(d.heard(), (Heard{"char 97", "char 98", "char 99", "<beep>", "word _DEL", "char 99"}))
            << "past the maximum length there is nothing to delete";
    }
}

TEST(LineEditor, ControlKeysOfTheWholeLine) {
    {
        Desk d("{#0#116}{#4}{#13}");
        std::string t = "abc def";
        d.edit(t);
        EXPECT_EQ(t, "abc");
        EXPECT_EQ(d.heard(), (Heard{"<click>", "<click>", "<click>", "word _APFCPO"}));
    }
    {
        Desk d("{#0#116}{#19}x{#13}");
        std::string t = "abc def";
        d.edit(t);
        EXPECT_EQ(t, "xdef") << "Ctrl+S deletes up to the cursor and puts it at 1";
        EXPECT_EQ(d.heard(), (Heard{"<click>", "<click>", "<click>", "word _APICPO", "char 120"}));
    }
    {
        Desk d("{#25}{#13}");
        std::string t = "abc";
        d.edit(t);
        EXPECT_EQ(t, "");
        EXPECT_EQ(d.heard(), (Heard{"<click>", "<click>", "word _CPOAPA"}));
    }
    {
        Desk d("x{#21}y{#13}");
        std::string t = "abc";
        d.edit(t);
        EXPECT_EQ(t, "yabc") << "Ctrl+U restores the value the call started with, cursor at 1";
        EXPECT_EQ(d.heard(),
                  (Heard{"<click>", "<click>", "char 120", "<beep>", "<beep>", "<beep>", "char 121"}));
    }
    {
        Desk d("1*2{#11}{#28}{#0#66}{010#0#101}{#13}");
        std::string t;
        d.edit(t);
        EXPECT_EQ(d.heard(), (Heard{"char 49", "char 42", "char 50", "4", "tones 1*2", "<time>", "<date>"}));
    }
}

TEST(LineEditor, MovesByWord) {
    const std::string text = "um  dois, 42x fim";
    {
        Desk d("{#0#116}{#0#116}|{#13}");
        std::string t = text;
        d.edit(t);
        EXPECT_EQ(t, "um  dois|, 42x fim");
        EXPECT_EQ(d.heard(), (Heard{"<click>", "<click>", "<click>", "<click>", "char 124"}));
    }
    {
        Desk d("{#0#116}{#0#116}{#0#116}{#0#116}{#0#116}{#0#116}!{#13}");
        std::string t = text;
        d.edit(t);
        EXPECT_EQ(t, "um  dois, 42x fim!") << "past the last word the cursor goes after it";
        EXPECT_EQ(d.heard(), (Heard{"<click>", "<click>", "<click>", "<click>", "<click>", "<click>",
                                    "<click>", "<beep>", "char 33"}));
    }
    {
        Desk d("{#0#79}{#0#115}{#0#115}{#0#115}{#0#115}|{#13}");
        std::string t = text;
        d.edit(t);
        EXPECT_EQ(t, "um  dois|, 42x fim") << "fim, x, 42 and the comma are words of their own";
    }
    {
        Desk d("{#0#77}{#0#115}{#0#115}|{#13}");
        std::string t = text;
        d.edit(t);
        EXPECT_EQ(t, "|um  dois, 42x fim");
        EXPECT_EQ(d.heard(), (Heard{"<click>", "<click>", "char 117", "<click>", "<beep>", "char 124"}));
    }
}

TEST(LineEditor, CtrlBackspaceDeletesAWord) {
    {
        Desk d("{#0#116}{#0#77}{#127}{#13}");
        std::string t = "um dois tres";
        d.edit(t);
        EXPECT_EQ(t, "um tres") << "from inside a word: the word and the blank after it";
        EXPECT_EQ(d.heard(), (Heard{"<click>", "<click>", "<click>", "char 100", "word _DEL", "char 100",
                                    "char 111", "char 105", "char 115", "char 32"}));
    }
    {
        Desk d("{#0#116}{#127}{#13}");
        std::string t = "um dois";
        d.edit(t);
        EXPECT_EQ(t, "um");
        EXPECT_EQ(d.heard().size(), 8u) << "the blanks after the last word are not deleted one by one";
    }
    {
        Desk d("{#0#79}{#127}{#13}");
        std::string t = "um";
        d.edit(t);
        EXPECT_EQ(t, "um");
        EXPECT_EQ(d.heard().back(), "<beep>");
    }
}

TEST(LineEditor, F1ReadsItemByItem) {
    Desk d("{#0#59}{#0#59}{#0#59}{#0#59}{#0#59}{#0#59}{#0#59}{#0#59}{010#0#94}{#13}");
    std::string t = "12 casa BRT nh ÁGUA -5 .";
    t = cp(t);
    d.edit(t);
    EXPECT_EQ(d.heard(), (Heard{"<click>", "<click>", "12", "casa", "spell BRT", "spell nh", "ÁGUA", "-5",
                                "spell .", "<beep>", "12 casa BRT nh ÁGUA -5 ."}));
    Desk empty("{010#0#94}{#13}");
    std::string e;
    empty.edit(e);
    EXPECT_EQ(empty.heard(), (Heard{"<beep>"}));
}

TEST(LineEditor, SelectionCopyAndPaste) {
    {
        Desk d("{100#0#79}{#3}{#13}");
        std::string t = "abc def";
        d.edit(t);
        EXPECT_EQ(d.clipboard.paste(), "abc def");
        EXPECT_EQ(t, "abc def");
        EXPECT_EQ(d.heard(), (Heard{"<click>", "<click>", "<click>"}));
    }
    {
        Desk d("{#0#255}{#13}");
        std::string t = "abc def  ";
        d.edit(t);
        EXPECT_EQ(d.clipboard.paste(), "abc def\r\n") << "without a selection, the line";
    }
    {
        Desk d("{#0#116}{100#0#79}{#0#254}{#13}");
        d.clipboard.copy("XY\r\nZ");
        std::string t = "abc def";
        d.edit(t);
        EXPECT_EQ(t, "abc XY") << "the paste replaces the selection, up to the first line end";
    }
    {
        Desk d("{#0#116}{100#0#79}{#0#254}{#0#83}{#13}");
        d.clipboard.copy("XY");
        std::string t = "abc def";
        d.edit(t);
        EXPECT_EQ(t, "abc") << "the pasted text becomes the selection";
        EXPECT_EQ(d.heard(), (Heard{"<click>", "<click>", "<click>", "XY", "word _DEL"}));
    }
    {
        Desk d("{#0#79}{100#0#75}{100#0#75}{#0#83}{#13}");
        std::string t = "abc";
        d.edit(t);
        EXPECT_EQ(t, "a");
        EXPECT_EQ(d.heard(), (Heard{"<click>", "<click>", "char 99", "char 98", "word _DEL"}));
    }
    {
        Desk d("{#0#79}{100#0#75}x{#0#83}{#13}");
        std::string t = "abc";
        d.edit(t);
        EXPECT_EQ(t, "abx") << "typing ends the selection without deleting it";
    }
    {
        Desk d("{#22}{#13}");
        d.clipboard.copy("novo");
        std::string t = "abc";
        d.edit(t);
        EXPECT_EQ(t, "novo") << "a paste as the first key replaces the proposed value";
        EXPECT_EQ(d.heard(), (Heard{"<click>", "<click>", "novo"}));
    }
    {
        Desk d("{#22}{#13}");
        std::string t = "abc";
        d.edit(t);
        EXPECT_EQ(t, "abc") << "an empty clipboard changes nothing";
        EXPECT_EQ(d.heard(), (Heard{"<beep>"}));
    }
    {
        Desk d("{#0#254}{#3}{#13}");
        d.in.services.clipboard = nullptr;
        std::string t = "abc";
        d.edit(t);
        EXPECT_EQ(t, "abc");
        EXPECT_EQ(d.heard(), (Heard{"<beep>", "<beep>"}));
    }
    {
        Desk d("{#0#79}{#22}{#13}");
        d.clipboard.copy("12345");
        std::string t = "abc";
        d.edit(t, 1, 1, 6);
        EXPECT_EQ(t, "abc123") << "cut to the maximum";
        EXPECT_EQ(d.heard().back(), "<beep>");
    }
}

TEST(LineEditor, SelectionIsShownOnDarkGrey) {
    Desk d("{#0#79}{100#0#75}{100#0#75}{#13}");
    std::vector<int> seen;
    d.source.probe = [&](int typed) {
        if (typed == 3)
            for (int c = 1; c <= 4; ++c) seen.push_back(d.console.cellAttribute(1, c));
    };
    std::string t = "abc";
    d.edit(t);
    EXPECT_EQ(seen, (std::vector<int>{0x0F, 0x8F, 0x8F, 0x0F}));
    EXPECT_EQ(d.console.cellAttribute(1, 2), 0x0F) << "the field is written plainly at the end";
}

TEST(LineEditor, AFullFieldBeepsAndLosesNothing) {
    {
        Desk d("abcd{#13}");
        std::string t;
        d.edit(t, 1, 1, 3);
        EXPECT_EQ(t, "abc");
        EXPECT_EQ(d.heard(), (Heard{"char 97", "char 98", "char 99", "<beep>"}));
    }
    {
        Desk d("{#0#77}x{#13}");
        std::string t = "abc";
        d.edit(t, 1, 1, 3);
        EXPECT_EQ(t, "abc") << "inserting would push the last character out";
        EXPECT_EQ(d.heard().back(), "<beep>");
    }
}

TEST(LineEditor, FieldScrollsToKeepTheCursorVisible) {
    Desk d("abcdefghijkl{#13}");
    std::string shown;
    int cursorColumn = 0;
    d.source.probe = [&](int typed) {
        if (typed != 12) return;
        shown = d.row(1).substr(69);
        cursorColumn = d.console.cursorColumn();
    };
    d.put(1, "left of the field", 1);
    std::string t;
    d.edit(t, 70, 1, 20);
    EXPECT_EQ(shown, "efghijkl");
    EXPECT_EQ(cursorColumn, 78);
    EXPECT_EQ(d.row(1), "left of the field" + std::string(52, ' ') + "abcdefghi")
        << "on exit the field shows the start of the text";
}

TEST(LineEditor, EchoSpeedAndPrefixKeys) {
    {
        Desk d("a{#0#62}b{#0#62}c{#13}");
        std::string t;
        d.edit(t);
        EXPECT_EQ(t, "abc");
        EXPECT_EQ(d.heard(), (Heard{"char 97", "word _FALDLG", "word _FALACI", "char 99"}));
        EXPECT_TRUE(d.in.speechEcho);
    }
    {
        Desk d("{010#0#97}3{010#0#97}{#27}{010#0#97}x{010#0#97}0{010#0#97}9{#13}");
        std::string t;
        d.edit(t);
        EXPECT_EQ(t, "");
        EXPECT_EQ(d.heard(), (Heard{"word _VELOC", "char 51", "<speed 3>", "word _VELOC", "word _VELOC",
                                    "char 120", "<beep>", "word _VELOC", "char 48", "<speed 0>",
                                    "word _VELOC", "char 57", "<speed 9>"}))
            << "every digit restarts speech (start-up turns 0 and 6-9 into a speed); a letter beeps";
    }
    {
        Desk d("{001#0#77}{001#0#16}{#0#75}{#0#77}{#0#77}{#0#77}{#13}");
        std::string t = "ab";
        d.edit(t);
        EXPECT_EQ(d.heard(),
                  (Heard{"<click>", "<click>", "word _FON97", "char 97", "char 97", "char 98", "<beep>"}))
            << "Alt+Right names the letter; Alt+Q only announces the next key";
    }
}

TEST(LineEditor, MagnifiedLineShowsTheField) {
    Desk d("abc{#13}");
    d.console.setMagnification(2, 14, 6, 3);
    MagnifiedLine seen;
    d.source.probe = [&](int typed) {
        if (typed == 3) seen = d.console.magnified();
    };
    std::string t;
    d.edit(t);
    EXPECT_EQ(seen.partOne, "ab");
    EXPECT_EQ(seen.partTwo, "c") << "the character before the cursor in the cursor colour";
    EXPECT_EQ(seen.partThree, std::string(40, ' '));
}

TEST(LineEditor, F12OpensTheWordUnderTheCursor) {
    const std::string here = currentDirectory();
    auto open = [](Desk& d, const std::string& text) {
        std::string t = cp(text);
        d.edit(t);
    };
    {
        Desk d("{#0#116}{#0#70}{#13}");
        open(d, "veja (www.exemplo.com.br),");
        ASSERT_EQ(d.launcher.requests.size(), 1u);
        EXPECT_EQ(d.launcher.requests[0].program, "");
        EXPECT_EQ(d.launcher.requests[0].target, "http://www.exemplo.com.br");
        EXPECT_EQ(d.launcher.requests[0].folder, here);
    }
    {
        Desk d("{#0#79}{#0#70}{#13}");
        d.settings.writeSetting("ORALIX", "PROG.HTM", "navegador");
        open(d, "https://x.org/a");
        ASSERT_EQ(d.launcher.requests.size(), 1u) << "just after the word counts as on it";
        EXPECT_EQ(d.launcher.requests[0].program, "navegador");
        EXPECT_EQ(d.launcher.requests[0].target, "https://x.org/a");
    }
    {
        Desk d("{#0#70}{#13}");
        d.settings.writeSetting("ORALIX", "PROG.ODT", "escritor");
        open(d, "relatorio.final.odt");
        ASSERT_EQ(d.launcher.requests.size(), 1u);
        EXPECT_EQ(d.launcher.requests[0].program, "escritor");
        EXPECT_EQ(d.launcher.requests[0].target, "relatorio.final.odt");
    }
    {
        Desk d("{#0#70}{#13}");
        open(d, "ferramenta.exe");
        ASSERT_EQ(d.launcher.requests.size(), 1u);
        EXPECT_EQ(d.launcher.requests[0].program, here + "/ferramenta.exe");
        EXPECT_EQ(d.launcher.requests[0].target, "");
    }
    {
        Desk d("{#0#70}{#13}");
        open(d, "notas.xyz");
        ASSERT_EQ(d.launcher.requests.size(), 1u);
        EXPECT_EQ(d.launcher.requests[0].program, "") << "no program set: opened by itself";
        EXPECT_EQ(d.launcher.requests[0].target, "notas.xyz");
    }
    {
        Desk d("{#0#70}{#0#79}{#0#70}{#13}");
        open(d, "   (-)");
        EXPECT_TRUE(d.launcher.requests.empty());
        EXPECT_EQ(d.heard(), (Heard{"<click>", "<click>", "<beep>", "<beep>"}));
    }
}

TEST(LineEditor, CtrlAltF9ReviewsTheScreenAndComesBack) {
    Desk d("{011#0#102}{#0#72}{#27}x{#13}");
    d.put(1, "acima");
    std::string t;
    d.edit(t, 3, 2);
    EXPECT_EQ(t, "x");
    EXPECT_EQ(d.heard(), (Heard{"<beep>", "acima", "<beep>", "<beep>", "char 120"}));
    EXPECT_EQ(d.row(2), "  x");

    Desk ended("{011#0#102}");
    std::string s;
    EXPECT_TRUE(ended.edit(s).inputEnded);
}

}  // namespace
}  // namespace parlendo::testing

namespace parlendo::testing {
namespace {

TEST(LineEditor, BrailleRoutingKeysMoveTheCursor) {
    // Each case: the column routed to before the second key, and the text after typing X.
    struct Case {
        int column;
        const char* text;
    };
    for (Case c : {Case{3, "abXcdef"}, Case{1, "Xabcdef"}, Case{40, "abcdefX"}, Case{79, "abcdefX"}}) {
        Desk d("{#0#79}X{#13}");
        d.source.probe = [&](int typed) {
            if (typed == 1) d.keys.pushRouting(c.column);
        };
        std::string t = "abcdef";
        d.edit(t);
        EXPECT_EQ(t, c.text) << "routed to column " << c.column;
        EXPECT_FALSE(d.keys.routingWanted()) << "only while the editor runs";
    }
    // Outside the editor a routing key is not queued at all.
    Desk d("");
    d.keys.pushRouting(3);
    EXPECT_EQ(d.keys.size(), 0U);
}

}  // namespace
}  // namespace parlendo::testing
