// The window, key and mouse commands against a desktop held in memory, and ESPERA.
#include <gtest/gtest.h>

#include <chrono>

#include "../interp/fixture.h"
#include "commands/desktop.h"
#include "platform/clipboard.h"
#include "platform/desktop.h"

namespace parlendo {
namespace {

using testing::Machine;
using Events = std::vector<std::string>;

struct DesktopMachine : Machine {
    DesktopMachine() { in.services.desktop = &desk; }
    RecordingDesktop desk;
};

WindowInfo window(WindowId id, std::string title, bool visible = true, bool minimised = false,
                  bool enabled = true) {
    WindowInfo w;
    w.id = id;
    w.title = std::move(title);
    w.visible = visible;
    w.minimised = minimised;
    w.enabled = enabled;
    return w;
}

TEST(DesktopRules, TitlePatterns) {
    EXPECT_TRUE(titleMatches("Bloco de notas", "notas"));
    EXPECT_TRUE(titleMatches("Bloco de notas", "*BLOCO"));
    EXPECT_FALSE(titleMatches("Meu bloco de notas", "*BLOCO")) << "must begin the title";
    EXPECT_TRUE(titleMatches("Bloco de notas", "NOTAS*"));
    EXPECT_FALSE(titleMatches("Notas do bloco", "NOTAS*")) << "must end the title";
    EXPECT_TRUE(titleMatches("Notas", "*notas*"));
    EXPECT_FALSE(titleMatches("Notas e notas", "*notas*"));
    EXPECT_FALSE(titleMatches("Notas e notas", "NOTAS*")) << "only the first occurrence is tested";
    EXPECT_TRUE(titleMatches("Configura\xE7\xE3o", "CONFIGURA\xC7\xC3O")) << "accented letters too";
    EXPECT_FALSE(titleMatches("abc", "abcd"));
    std::string longTitle(143, 'a');
    EXPECT_TRUE(titleMatches(longTitle + "fim", "*" + longTitle + "*"))
        << "the title is cut at 143 characters";
    EXPECT_FALSE(titleMatches(longTitle + "fim", "fim"));
}

TEST(DesktopRules, KeyNamesAndAccents) {
    // Two spellings of the same key, and the ends of the function keys.
    EXPECT_EQ(keyNameCode("ESC"), 27);
    EXPECT_EQ(keyNameCode("ESCAPE"), 27);
    EXPECT_EQ(keyNameCode("PAGEDN"), 34);
    EXPECT_EQ(keyNameCode("NEXT"), 34);
    EXPECT_EQ(keyNameCode("F1"), 112);
    EXPECT_EQ(keyNameCode("F12"), 123);
    for (std::string bad : {"F0", "F13", "F01", "F", "esc", "PAGEDOWN", ""})
        EXPECT_EQ(keyNameCode(bad), std::nullopt) << bad;

    auto parts = decomposeAccented(0xE3);  // ã
    ASSERT_TRUE(parts);
    EXPECT_EQ(parts->accent, '~');
    EXPECT_EQ(parts->base, 'a');
    parts = decomposeAccented(0xC9);  // É
    ASSERT_TRUE(parts);
    EXPECT_EQ(parts->accent, 0xB4);
    EXPECT_EQ(parts->base, 'E');
    parts = decomposeAccented(0x9F);  // Ÿ
    ASSERT_TRUE(parts);
    EXPECT_EQ(parts->accent, 0xA8);
    EXPECT_EQ(parts->base, 'Y');
    int accented = 0;
    for (int c = 128; c < 256; ++c) accented += decomposeAccented(static_cast<unsigned char>(c)).has_value();
    EXPECT_EQ(accented, 50) << "25 capitals and 25 small letters";
    for (unsigned char c : {0xC7, 0xE7, 0xBA, 0xAA, 0xC5, 0xD0, 0xD8, 0xDF, 0xFE})
        EXPECT_FALSE(decomposeAccented(c)) << int(c);
}

TEST(DesktopCommands, JanelaActsOnTheFirstMatchingWindow) {
    DesktopMachine m;
    m.desk.windowList = {window(1, "Bloco desativado", true, false, false),
                         window(2, "Bloco escondido", false), window(3, ""),
                         window(4, "Bloco minimizado", false, true), window(5, "Bloco de notas")};
    m.in.ioStatus = 7;
    EXPECT_TRUE(m.exec("janela fecha \"*bloco\""));
    EXPECT_EQ(m.in.ioStatus, 0);
    EXPECT_EQ(m.desk.events, (Events{"close 4"})) << "disabled, hidden and untitled windows are passed over";

    m.desk.events.clear();
    EXPECT_TRUE(m.exec("janela normal \"notas*\""));
    EXPECT_TRUE(m.exec("JANELA Maximiza \"de\""));
    EXPECT_TRUE(m.exec("janela minimiza \"*bloco de notas*\""));
    EXPECT_EQ(m.desk.events, (Events{"normal 5", "maximise 5", "minimise 5"}));

    m.desk.events.clear();
    EXPECT_TRUE(m.exec("janela fecha \"planilha\""));
    EXPECT_EQ(m.in.ioStatus, 1) << "no match is told through IoStatus";
    EXPECT_TRUE(m.exec("janela esconde \"planilha\"")) << "an unknown action with no match";
    EXPECT_EQ(m.in.ioStatus, 1);
    EXPECT_FALSE(m.exec("janela esconde \"notas\"")) << "an unknown action at a match";
    EXPECT_FALSE(m.exec("janela fecha")) << "no pattern";
    EXPECT_TRUE(m.desk.events.empty());
}

TEST(DesktopCommands, DigitaTypesAccentsWithDeadKeys) {
    DesktopMachine m;
    EXPECT_TRUE(m.exec("digita \"a\xC3\xA7\xC3\xA3o\""));  // ação
    EXPECT_EQ(m.desk.events, (Events{"char 97", "char 231", "dead 126", "char 97", "char 111", "key 13"}));

    m.desk.events.clear();
    m.desk.deadKeys = false;
    EXPECT_TRUE(m.exec("digita \"\xC3\xA9!\" &"));  // é!
    EXPECT_EQ(m.desk.events, (Events{"char 233", "char 33"})) << "the letter itself, and no Enter";

    m.desk.events.clear();
    m.set("$x", std::string("\r\x1B\x81", 3));
    EXPECT_TRUE(m.exec("digita $x &"));
    EXPECT_EQ(m.desk.events, (Events{"key 77 +ctrl", "char 91 +ctrl", "char 32"}))
        << "control characters with Ctrl, an undefined byte as a blank";

    EXPECT_FALSE(m.exec("digita \"a\" \"b\""));
    EXPECT_FALSE(m.exec("digita"));
}

TEST(DesktopCommands, AcionaKeysAndCombinations) {
    DesktopMachine m;
    EXPECT_TRUE(m.exec("aciona \"CTRL+SHIFT+ESC\""));
    EXPECT_TRUE(m.exec("aciona \"alt+f4\""));
    EXPECT_TRUE(m.exec("aciona \"ctrl+shift+alt+pagedn\""));
    EXPECT_TRUE(m.exec("aciona \"Ctrl+c\""));
    EXPECT_TRUE(m.exec("aciona \"#13\""));
    EXPECT_TRUE(m.exec("aciona \"#144\""));
    EXPECT_TRUE(m.exec("aciona \"shift+tab\""));
    EXPECT_TRUE(m.exec("aciona \"ctrl+.\""));
    EXPECT_TRUE(m.exec("aciona \"A\""));
    EXPECT_TRUE(m.exec("aciona \"\xC3\xA3\""));  // ã
    EXPECT_EQ(m.desk.events, (Events{"key 27 +shift +ctrl", "key 115 +alt", "key 34 +shift +ctrl +alt",
                                     "key 67 +ctrl", "key 13", "numlock", "key 9 +shift", "keyof 46 +ctrl",
                                     "keyof 65", "dead 126", "char 97"}));

    m.desk.events.clear();
    for (std::string bad : {"aciona \"SHIFT+CTRL+X\"", "aciona \"ALT+CTRL+X\"", "aciona \"\"",
                            "aciona \"PAGEDOWN\"", "aciona \"#0\"", "aciona \"#999\"", "aciona \"#1a\"",
                            "aciona \"CTRL+\"", "aciona \"esc\" \"x\"", "aciona"})
        EXPECT_FALSE(m.exec(bad)) << bad;
    EXPECT_TRUE(m.desk.events.empty()) << "nothing is pressed on a malformed line";
}

TEST(DesktopCommands, ClicaForms) {
    DesktopMachine m;
    m.desk.geometry = WindowGeometry{100, 50, 4};
    EXPECT_TRUE(m.exec("clica 10, 20"));
    EXPECT_TRUE(m.exec("clica duplo tela 5 6"));
    EXPECT_TRUE(m.exec("CLICA NULO 1,2"));
    m.set("x", "-3");
    EXPECT_TRUE(m.exec("clica tela x ,7"));
    EXPECT_EQ(m.desk.events, (Events{"move 114,74", "click", "move 5,6", "click", "click", "move 105,56",
                                     "move -3,7", "click"}));

    m.desk.events.clear();
    m.desk.geometry.reset();
    EXPECT_TRUE(m.exec("clica 10 20"));
    EXPECT_EQ(m.desk.events, (Events{"move 10,20", "click"})) << "no window in front: the screen's origin";

    m.desk.events.clear();
    for (std::string bad :
         {"clica 1 2 3", "clica 10", "clica", "clica duplo \"a\" 2", "clica 1,", "clica tela"})
        EXPECT_FALSE(m.exec(bad)) << bad;
    EXPECT_TRUE(m.desk.events.empty()) << "a malformed line clicks nowhere";
}

TEST(DesktopCommands, CapturaAndHandle) {
    DesktopMachine m;
    InProcessClipboard clipboard;
    m.desk.foreground = "Bloco de notas";
    m.desk.focused = "Campo";
    m.desk.console = 4194317;
    for (std::string word : {"titulo", "T\xC3\x8DTULO", "ativa"}) {
        m.set("t", "");
        EXPECT_TRUE(m.exec("captura " + word + " t"));
        EXPECT_EQ(m.var("t"), "Bloco de notas") << word;
    }
    EXPECT_TRUE(m.exec("captura foco $f"));
    EXPECT_EQ(m.var("$f"), "Campo");
    m.desk.foreground = std::string(300, 'x');
    EXPECT_TRUE(m.exec("captura ativa t"));
    EXPECT_EQ(m.var("t").size(), 254u);

    m.set("c", "antes");
    EXPECT_TRUE(m.exec("captura campo c"));
    EXPECT_EQ(m.var("c"), "") << "no clipboard: the empty text";
    EXPECT_EQ(m.desk.events, (Events{"key 36", "key 35 +shift", "key 45 +ctrl"}));
    m.in.services.clipboard = &clipboard;
    clipboard.copy("o texto do campo");
    EXPECT_TRUE(m.exec("captura campo c"));
    EXPECT_EQ(m.var("c"), "o texto do campo");

    m.set("t", "antes");
    EXPECT_TRUE(m.exec("captura outra t"));
    EXPECT_EQ(m.var("t"), "") << "an unknown word stores the empty text";
    EXPECT_FALSE(m.exec("captura titulo"));
    EXPECT_FALSE(m.exec("captura titulo \"t\""));

    EXPECT_TRUE(m.exec("handle h"));
    EXPECT_EQ(m.var("h"), "4194317");
    EXPECT_FALSE(m.exec("handle"));
}

TEST(DesktopCommands, WithoutADisplayTheConsoleIsInFront) {
    for (bool given : {true, false}) {
        Machine m;
        NoDisplayDesktop none([&m] { return m.console.title(); });
        if (given) m.in.services.desktop = &none;
        m.console.setTitle("Sintonix");
        EXPECT_TRUE(m.exec("janela normal \"sintonix\""));
        EXPECT_EQ(m.in.ioStatus, 1) << "no window is found";
        EXPECT_TRUE(m.exec("captura ativa t"));
        EXPECT_EQ(m.var("t"), "Sintonix");
        EXPECT_TRUE(m.exec("captura foco f"));
        EXPECT_EQ(m.var("f"), "Sintonix");
        EXPECT_TRUE(m.exec("digita \"a\xC3\xA7\xC3\xA3o\""));
        EXPECT_TRUE(m.exec("aciona \"ctrl+alt+del\""));
        EXPECT_TRUE(m.exec("clica duplo 3 4"));
        EXPECT_TRUE(m.exec("handle h"));
        EXPECT_EQ(m.var("h"), "0");
        auto start = std::chrono::steady_clock::now();
        EXPECT_TRUE(m.exec("espera 5 \"SINTO\""));
        EXPECT_EQ(m.in.ioStatus, 0) << "the console's own title is found at once";
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(400));
    }
}

TEST(DesktopCommands, EsperaPausesAndWaitsForATitle) {
    DesktopMachine m;
    using Clock = std::chrono::steady_clock;
    auto start = Clock::now();
    EXPECT_TRUE(m.exec("espera ms 120"));
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(120));
    start = Clock::now();
    EXPECT_TRUE(m.exec("espera ms -5"));
    EXPECT_TRUE(m.exec("espera 0"));
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(100)) << "nothing to wait";

    m.desk.foreground = "Outro programa";
    m.in.ioStatus = 5;
    start = Clock::now();
    EXPECT_TRUE(m.exec("espera 1 \"bloco de notas\""));
    auto waited = Clock::now() - start;
    EXPECT_EQ(m.in.ioStatus, 1) << "no title held the text";
    EXPECT_GE(waited, std::chrono::milliseconds(500)) << "two checks, half a second apart";
    EXPECT_LT(waited, std::chrono::milliseconds(1400));

    m.desk.foreground = "Meu bloco de notas";
    EXPECT_TRUE(m.exec("espera 1 \"BLOCO DE\""));
    EXPECT_EQ(m.in.ioStatus, 0);
    EXPECT_TRUE(m.exec("espera ms 0 \"bloco\""));
    EXPECT_EQ(m.in.ioStatus, 1) << "no check at all with a count of 0";

    for (std::string bad : {"espera", "espera \"x\"", "espera ms", "espera 1.5", "espera 1 @"})
        EXPECT_FALSE(m.exec(bad)) << bad;
}

}  // namespace
}  // namespace parlendo
