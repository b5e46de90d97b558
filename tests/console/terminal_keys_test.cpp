// Decoding terminal input into the program's keys.
#include "console/terminal_keys.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace parlendo {
namespace {

// A key as the TECLA form of LE writes it: the flags of Shift, Ctrl and Alt, then "#code" or
// "#0#code".
std::string keyText(const TypedKey& k) {
    std::string t;
    t += k.modifiers.shift ? '1' : '0';
    t += k.modifiers.ctrl ? '1' : '0';
    t += k.modifiers.alt ? '1' : '0';
    for (char c : k.bytes) t += "#" + std::to_string(static_cast<unsigned char>(c));
    return t;
}

std::vector<std::string> keys(std::string_view bytes, uint8_t eraseByte = 127) {
    TerminalKeyDecoder d(eraseByte);
    std::vector<TerminalInput> out;
    d.feed(bytes, out);
    d.flush(out);
    std::vector<std::string> texts;
    for (const TerminalInput& in : out) texts.push_back(keyText(in.key));
    return texts;
}

using Keys = std::vector<std::string>;

TEST(TerminalKeys, CharactersBecomeWindows1252) {
    EXPECT_EQ(keys("a1 "), (Keys{"000#97", "000#49", "000#32"}));
    EXPECT_EQ(keys("A"), Keys{"100#65"}) << "an upper-case letter is typed with Shift";
    EXPECT_EQ(keys("\xC3\xA9\xC3\x87\xE2\x82\xAC"), (Keys{"000#233", "100#199", "000#128"}))
        << "é, Ç and the euro sign";
    EXPECT_EQ(keys("x\xE6\x97\xA5y"), (Keys{"000#120", "000#121"}))
        << "a character without a byte is dropped";
    EXPECT_EQ(keys("\xC2\x85"), Keys{}) << "a C1 control character is no key";
    EXPECT_EQ(keys("\xE9t"), (Keys{"000#233", "000#116"}))
        << "a byte that is not UTF-8 is taken as Windows-1252";
    EXPECT_EQ(keys("\x81"), Keys{}) << "a byte Windows-1252 leaves undefined";

    TerminalKeyDecoder d;
    std::vector<TerminalInput> out;
    d.feed("\xC3", out);
    EXPECT_TRUE(out.empty());
    EXPECT_TRUE(d.pending()) << "the rest of the character may still come";
    d.feed("\xA3", out);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(keyText(out[0].key), "000#227") << "ã";
    EXPECT_FALSE(d.pending());
}

TEST(TerminalKeys, ControlBytes) {
    EXPECT_EQ(keys("\r\t"), (Keys{"000#13", "000#9"}));
    EXPECT_EQ(keys("\n"), Keys{"010#10"}) << "Ctrl+Enter (and Ctrl+J)";
    EXPECT_EQ(keys("\x01\x03\x16\x1c"), (Keys{"010#1", "010#3", "010#22", "010#28"}));
    EXPECT_EQ(keys(std::string_view("\0", 1)), Keys{"010#32"}) << "Ctrl+Space sends a zero byte";

    // A terminal whose erase character is DEL sends BS for Ctrl+Backspace, and the other way round.
    EXPECT_EQ(keys("\x7f\x08"), (Keys{"000#8", "010#127"}));
    EXPECT_EQ(keys("\x08\x7f", 8), (Keys{"000#8", "010#127"}));
}

TEST(TerminalKeys, EscapeAndAlt) {
    TerminalKeyDecoder d;
    std::vector<TerminalInput> out;
    d.feed("\x1b", out);
    EXPECT_TRUE(out.empty()) << "a lone ESC waits for what may follow";
    EXPECT_TRUE(d.pending());
    d.flush(out);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(keyText(out[0].key), "000#27");
    EXPECT_FALSE(d.pending());

    EXPECT_EQ(keys("\x1b"
                   "a\x1b"
                   "Z\x1bq"),
              (Keys{"001#0#30", "101#0#44", "001#0#16"}))
        << "Alt with a letter is 0 and its scan code";
    EXPECT_EQ(keys("\x1b"
                   "1\x1b"
                   "9\x1b"
                   "0"),
              (Keys{"001#0#120", "001#0#128", "001#0#129"}));
    EXPECT_EQ(keys("\x1b\x05"), Keys{"011#0#18"}) << "Ctrl+Alt+E";
    EXPECT_EQ(keys("\x1b\r"), Keys{"001#13"});
    EXPECT_EQ(keys("\x1b\xC3\xA7"), Keys{"001#231"}) << "Alt+ç keeps its character";
    EXPECT_EQ(keys("\x1b\x1b"), (Keys{"000#27", "000#27"}));
    EXPECT_EQ(keys("\x1b["), Keys{"001#91"}) << "ESC [ and nothing more was Alt+[";
    EXPECT_EQ(keys("\x1b[1;"), Keys{}) << "an unfinished sequence is dropped";
}

TEST(TerminalKeys, ExtendedKeysOfEachTerminal) {
    struct Case {
        const char* bytes;
        const char* key;
    };
    const Case cases[] = {
        // xterm and most others
        {"\x1b[A", "000#0#72"},
        {"\x1b[B", "000#0#80"},
        {"\x1b[C", "000#0#77"},
        {"\x1b[D", "000#0#75"},
        {"\x1b[H", "000#0#71"},
        {"\x1b[F", "000#0#79"},
        {"\x1b[2~", "000#0#82"},
        {"\x1b[3~", "000#0#83"},
        {"\x1b[5~", "000#0#73"},
        {"\x1b[6~", "000#0#81"},
        {"\x1bOP", "000#0#59"},
        {"\x1bOS", "000#0#62"},
        {"\x1b[15~", "000#0#63"},
        {"\x1b[21~", "000#0#68"},
        {"\x1b[23~", "000#0#69"},
        {"\x1b[24~", "000#0#70"},
        // application cursor mode
        {"\x1bOA", "000#0#72"},
        {"\x1bOH", "000#0#71"},
        {"\x1bOF", "000#0#79"},
        // with modifiers
        {"\x1b[1;5A", "010#0#113"},
        {"\x1b[1;5B", "010#0#114"},
        {"\x1b[1;5D", "010#0#115"},
        {"\x1b[1;5C", "010#0#116"},
        {"\x1b[1;5H", "010#0#119"},
        {"\x1b[1;5F", "010#0#117"},
        {"\x1b[5;5~", "010#0#132"},
        {"\x1b[6;5~", "010#0#118"},
        {"\x1b[3;5~", "010#0#83"},
        {"\x1b[2;2~", "100#0#254"},
        {"\x1b[2;5~", "010#0#255"},
        {"\x1b[1;2B", "100#0#80"},
        {"\x1b[1;5P", "010#0#94"},
        {"\x1b[15;5~", "010#0#98"},
        {"\x1b[24;5~", "010#0#105"},
        {"\x1b[20;7~", "011#0#102"},
        {"\x1b[1;3C", "001#0#77"},
        {"\x1b[Z", "100#9"},
        // rxvt
        {"\x1b[7~", "000#0#71"},
        {"\x1b[8~", "000#0#79"},
        {"\x1b[11~", "000#0#59"},
        {"\x1b[14~", "000#0#62"},
        {"\x1b[2$", "100#0#254"},
        {"\x1b[2^", "010#0#255"},
        {"\x1b[11^", "010#0#94"},
        {"\x1b[a", "100#0#72"},
        {"\x1bOa", "010#0#113"},
        {"\x1bOd", "010#0#115"},
        {"\x1b\x1b[A", "001#0#72"},
        // the Linux console
        {"\x1b[1~", "000#0#71"},
        {"\x1b[4~", "000#0#79"},
        {"\x1b[[A", "000#0#59"},
        {"\x1b[[E", "000#0#63"},
        {"\x1b[25~", "100#0#59"},
        {"\x1b[34~", "100#0#66"},
        // keys given by their character code
        {"\x1b[13;5u", "010#10"},
        {"\x1b[27;5;13~", "010#10"},
        {"\x1b[127;5u", "010#127"},
        {"\x1b[97;3u", "001#0#30"},
        {"\x1b[99;5u", "010#3"},
        {"\x1b[9;2u", "100#9"},
    };
    for (const Case& c : cases) EXPECT_EQ(keys(c.bytes), Keys{c.key}) << "sequence " << c.bytes + 1;
}

TEST(TerminalKeys, MouseReports) {
    auto decode = [](std::string_view bytes) {
        TerminalKeyDecoder d;
        std::vector<TerminalInput> out;
        d.feed(bytes, out);
        return out;
    };
    auto left = decode("\x1b[<0;12;3M\x1b[<0;12;3m");
    ASSERT_EQ(left.size(), 1u) << "the release gives nothing";
    EXPECT_TRUE(left[0].mouse);
    EXPECT_EQ(keyText(left[0].key), "000#13");
    EXPECT_EQ(left[0].column, 11);
    EXPECT_EQ(left[0].row, 2);

    Keys texts;
    for (const TerminalInput& in : decode("\x1b[<2;1;1M\x1b[<1;1;1M\x1b[<64;1;1M\x1b[<65;1;1M\x1b[<32;5;5M"
                                          "\x1b[<16;1;1M\x1b[<66;1;1M"))
        texts.push_back(keyText(in.key));
    EXPECT_EQ(texts, (Keys{"000#27", "000#0#67", "000#0#72", "000#0#80", "010#13"}))
        << "right, middle, wheel away and towards; motion and sideways wheels give nothing";

    auto legacy = decode("\x1b[M \x2a\x25\x1b[M#\x2a\x25");
    ASSERT_EQ(legacy.size(), 1u);
    EXPECT_EQ(keyText(legacy[0].key), "000#13");
    EXPECT_EQ(legacy[0].column, 9);
    EXPECT_EQ(legacy[0].row, 4);
}

TEST(TerminalKeys, SequencesCutAnywhereGiveTheSameKeys) {
    const std::string stream =
        "ab\x1b[1;5A\xC3\xA9\x1b[<0;3;4M\x1bOP\x1b[15;5~\x1bx\x1b[M !!\r\x1b[[B\xE2\x82\xAC\x1b[2$";
    Keys whole = keys(stream);
    ASSERT_EQ(whole.size(), 13u);
    TerminalKeyDecoder d;
    std::vector<TerminalInput> out;
    for (char c : stream) d.feed(std::string_view(&c, 1), out);
    d.flush(out);
    Keys bytewise;
    for (const TerminalInput& in : out) bytewise.push_back(keyText(in.key));
    EXPECT_EQ(bytewise, whole);
}

TEST(TerminalKeys, UnknownAndBrokenSequencesLoseNoKeys) {
    EXPECT_EQ(keys("\x1b[I\x1b[?1;2c\x1b[200~x\x1b[201~"), Keys{"000#120"})
        << "focus reports, answers and paste brackets are no keys";
    EXPECT_EQ(keys("\x1b[1;\rz"), (Keys{"000#13", "000#122"})) << "a control byte ends a broken sequence";
    TerminalKeyDecoder d;
    std::vector<TerminalInput> out;
    d.feed("\x1b[" + std::string(100, '1'), out);
    EXPECT_FALSE(d.pending()) << "an overlong sequence is not held for ever";
    out.clear();
    d.feed("\x1bOz\x1b[99~\x1b[9;9;9;9;9;9Hk", out);
    Keys texts;
    for (const TerminalInput& in : out) texts.push_back(keyText(in.key));
    EXPECT_EQ(texts, (Keys{"001#0#71", "000#107"}))
        << "unknown keys give nothing, extra parameters are ignored";
}

}  // namespace
}  // namespace parlendo
