// The colours the terminal renderer draws the palette with.
#include "console/terminal_renderer.h"

#include <gtest/gtest.h>

namespace parlendo {
namespace {

TEST(TerminalColours, EachTerminalGetsTheNearestColourItHas) {
    // A direct-colour terminal takes the colour itself.
    EXPECT_EQ(terminalColourOf(kPalette[5], 0x1000000), (142 << 16) | 142);
    // 256 colours: the cube and the grey ramp, never the 16 the user may have redefined.
    EXPECT_EQ(terminalColourOf(kPalette[4], 256), 196) << "red";
    EXPECT_EQ(terminalColourOf(kPalette[15], 256), 231) << "white";
    EXPECT_EQ(terminalColourOf(kPalette[0], 256), 16) << "black";
    EXPECT_EQ(terminalColourOf(kPalette[7], 256), 250) << "light grey is on the grey ramp";
    EXPECT_EQ(terminalColourOf(kPalette[9], 256), 105) << "light blue (128, 128, 255)";
    EXPECT_EQ(terminalColourOf(kPalette[8], 256), 235) << "dark grey (40, 40, 40)";
    // 16 colours.
    EXPECT_EQ(terminalColourOf(kPalette[1], 16), 4) << "blue";
    EXPECT_EQ(terminalColourOf(kPalette[2], 16), 10) << "bright green";
    EXPECT_EQ(terminalColourOf(kPalette[5], 16), 5) << "magenta";
    EXPECT_EQ(terminalColourOf(kPalette[14], 16), 11) << "yellow";
    // 8 colours.
    EXPECT_EQ(terminalColourOf(kPalette[14], 8), 3);
    EXPECT_EQ(terminalColourOf(kPalette[15], 8), 7);
}

}  // namespace
}  // namespace parlendo
