// The console's settings: the colour map, fixed colours, the first colours, the font fields and
// the magnified line, and what COR and FUNDO do with them.
#include "console/console_settings.h"

#include <gtest/gtest.h>

#include <fstream>

#include "../interp/fixture.h"

namespace parlendo {
namespace {

using testing::Machine;

void writeSettings(Machine& m, const std::string& text) {
    std::ofstream(m.settings.filePath(), std::ios::binary) << text;
}

std::array<int, 16> withFront(std::initializer_list<int> front) {
    std::array<int, 16> map = kIdentityColourMap;
    int i = 0;
    for (int v : front) map[i++] = v;
    return map;
}

TEST(ConsoleSettings, ColourMapKeepsTheEntriesReadBeforeAFault) {
    using console_settings::parseColourMap;
    EXPECT_EQ(parseColourMap(""), kIdentityColourMap);
    EXPECT_EQ(parseColourMap("4,3"), withFront({4, 3})) << "the other 14 stay as they were";
    EXPECT_EQ(parseColourMap("1,2,x,4"), withFront({1, 2})) << "an entry that is not a number stops it";
    EXPECT_EQ(parseColourMap("1,2,,4"), withFront({1, 2})) << "an empty entry stops it";
    EXPECT_EQ(parseColourMap("9;8"), kIdentityColourMap) << "without its comma \"9;8\" is no number";
    EXPECT_EQ(parseColourMap(" 5 , 6 ,"), withFront({5, 6}));
    EXPECT_EQ(parseColourMap("15,14,13,12,11,10,9,8,7,6,5,4,3,2,1,0,7,7"),
              (std::array<int, 16>{15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0}))
        << "a 17th entry is not read";
    EXPECT_EQ(parseColourMap("99999999999,1"), kIdentityColourMap) << "a number too big for 32 bits";

    ConsoleGrid g;
    g.setColourMap(parseColourMap("-1,16,4"));
    EXPECT_EQ(g.rgbOf(0), (Rgb{0, 0, 0})) << "a map value outside 0-15 draws black";
    EXPECT_EQ(g.rgbOf(1), (Rgb{0, 0, 0}));
    EXPECT_EQ(g.rgbOf(2), kPalette[4]);
    EXPECT_EQ(g.rgbOf(18), kPalette[4]) << "a colour index keeps its low four bits";
}

TEST(ConsoleSettings, NumbersModesAndMagnification) {
    using namespace console_settings;
    EXPECT_EQ(parseDecimal("-2147483648"), INT32_MIN);
    EXPECT_FALSE(parseDecimal("2147483648"));
    EXPECT_FALSE(parseDecimal("$10")) << "settings hold decimal numbers only";
    EXPECT_FALSE(parseDecimal("1 2"));
    EXPECT_FALSE(parseDecimal("-"));

    EXPECT_EQ(parseBrailleMode(""), 0);
    EXPECT_EQ(parseBrailleMode("2"), 2);
    EXPECT_EQ(parseBrailleMode("3"), 1) << "mode 3 acts as 1";
    EXPECT_EQ(parseBrailleMode("6x"), 2) << "the low two bits of the first character";

    EXPECT_EQ(parseMagnification(""), 0) << "empty is off";
    EXPECT_EQ(parseMagnification("10"), 10);
    EXPECT_EQ(parseMagnification("11"), 3);
    EXPECT_EQ(parseMagnification("grande"), 3);
}

TEST(ConsoleSettings, DefaultsWithoutASettingsFile) {
    Machine m;
    ConsoleSettings s;
    createConsole(m.settings, m.console, s);
    EXPECT_EQ(s.colourMap, kIdentityColourMap);
    EXPECT_FALSE(s.fixedColours);
    EXPECT_FALSE(s.fastScroll);
    EXPECT_EQ(s.initialAttribute(), 0x0F) << "white on black";
    EXPECT_EQ(s.fontFace, "Lucida Console");
    EXPECT_FALSE(s.fontWidth) << "worked out from the screen by the renderer";
    EXPECT_FALSE(s.fontHeight);
    EXPECT_EQ(s.fontWeight, 700);
    EXPECT_FALSE(s.maximised) << "CANTOTELA defaults to SIM";
    EXPECT_EQ(s.brailleMode, 0);
    EXPECT_EQ(m.console.magnified().factor, 0);
    EXPECT_EQ(m.console.attribute(), 0x0F);
}

TEST(ConsoleSettings, VideoBrailleAndLowVisionSettingsReachTheGrid) {
    Machine m;
    writeSettings(m,
                  "[VIDEO]\r\nTABCORES=4,3\r\nCORESFIXAS=sim\r\nLENTO=S\r\nCORFUNDO=1\r\nCORLETRA=14\r\n"
                  "FONTE=@\r\nLARGURALETRA=9\r\nALTURALETRA=abc\r\nPESOLETRA=400\r\nCANTOTELA=NAO\r\n"
                  "[BRAILLE]\r\nMODO=2\r\n"
                  "[BAIXAVISAO]\r\nAMPLIACAO=2\r\nCORLETRA=15\r\nCORFUNDO=99\r\nCORCURSOR=x\r\n");
    ConsoleSettings s;
    s.fontWeight = 300;  // set earlier in the process: wins over the file
    createConsole(m.settings, m.console, s);
    EXPECT_EQ(s.fontFace, "@") << "VIDEO keys are read unresolved";
    EXPECT_EQ(s.fontWidth, 9);
    EXPECT_FALSE(s.fontHeight) << "a height that is not a number is left to the renderer";
    EXPECT_EQ(s.fontWeight, 300);
    EXPECT_TRUE(s.maximised);
    EXPECT_TRUE(s.fastScroll);
    EXPECT_EQ(s.brailleMode, 2);

    EXPECT_EQ(m.console.rgbOf(0), kPalette[4]);
    EXPECT_EQ(m.console.rgbOf(1), kPalette[3]);
    EXPECT_EQ(m.console.rgbOf(2), kPalette[2]);
    EXPECT_TRUE(m.console.fixedColours());
    m.console.clearScreen();
    EXPECT_EQ(m.console.cellAttribute(25, 80), 0x1E) << "cleared cells take CORFUNDO*16+CORLETRA";

    const MagnifiedLine& line = m.console.magnified();
    EXPECT_EQ(line.factor, 2);
    EXPECT_EQ(line.letter, 15);
    EXPECT_EQ(line.background, 6) << "out of range: the default";
    EXPECT_EQ(line.cursor, 3) << "not a number: the default";

    Machine invalid;
    writeSettings(invalid, "[VIDEO]\r\nCORFUNDO=20\r\nCORLETRA=azul\r\n");
    ConsoleSettings fallback;
    createConsole(invalid.settings, invalid.console, fallback);
    EXPECT_EQ(invalid.console.attribute(), 0x0F) << "invalid first colours: white on black";
}

TEST(ConsoleSettings, CorAndFundo) {
    Machine m;
    ConsoleSettings s;
    createConsole(m.settings, m.console, s);
    EXPECT_TRUE(m.exec("cor 17"));
    EXPECT_EQ(m.console.attribute(), 0x01) << "COR 17 sets foreground 1";
    EXPECT_TRUE(m.exec("fundo \"-1\""));
    EXPECT_EQ(m.console.attribute(), 0xF1) << "-1 & 15 is 15";
    EXPECT_FALSE(m.exec("cor"));
    EXPECT_FALSE(m.exec("fundo \"azul\""));
    EXPECT_EQ(m.console.attribute(), 0xF1);
    m.console.write("x");
    EXPECT_EQ(m.console.cellAttribute(1, 1), 0xF1);

    Machine fixed;
    writeSettings(fixed, "[VIDEO]\r\nCORESFIXAS=S\r\nCORLETRA=10\r\n");
    ConsoleSettings fixedSettings;
    createConsole(fixed.settings, fixed.console, fixedSettings);
    EXPECT_TRUE(fixed.exec("cor 4")) << "with fixed colours COR succeeds";
    EXPECT_TRUE(fixed.exec("fundo 2"));
    EXPECT_EQ(fixed.console.attribute(), 0x0A) << "and changes nothing";
    EXPECT_FALSE(fixed.exec("cor \"x\"")) << "a value that is not a number still fails";
}

}  // namespace
}  // namespace parlendo
