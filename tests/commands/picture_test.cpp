// The BMP reader and the JPEG decoder on pictures made here, hostile headers, and IMAGEM on a
// picture layer that records what it is asked to show.
#include <gtest/gtest.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <fstream>
// clang-format off
// jpeglib.h needs size_t and FILE declared before it.
#include <jpeglib.h>
// clang-format on

#include "../interp/fixture.h"
#include "commands/command_state.h"
#include "platform/jpeg_image.h"
#include "platform/picture_layer.h"
#include "text/bmp_image.h"

namespace parlendo {
namespace {

using testing::Machine;
using Bytes = std::vector<uint8_t>;

void put16(Bytes& b, size_t at, uint32_t v) {
    b[at] = v & 0xFF;
    b[at + 1] = (v >> 8) & 0xFF;
}
void put32(Bytes& b, size_t at, uint32_t v) {
    put16(b, at, v & 0xFFFF);
    put16(b, at + 2, v >> 16);
}

// A BMP written field by field: the headers, `colours` palette entries, then the pixel rows.
Bytes makeBmp(int32_t width, int32_t height, int bits, const Bytes& palette, const Bytes& pixels) {
    Bytes b(54, 0);
    b[0] = 'B';
    b[1] = 'M';
    const uint32_t offset = static_cast<uint32_t>(54 + palette.size());
    put32(b, 2, static_cast<uint32_t>(offset + pixels.size()));
    put32(b, 10, offset);
    put32(b, 14, 40);
    put32(b, 18, static_cast<uint32_t>(width));
    put32(b, 22, static_cast<uint32_t>(height));
    put16(b, 26, 1);
    put16(b, 28, static_cast<uint32_t>(bits));
    put32(b, 46, static_cast<uint32_t>(palette.size() / 4));
    b.insert(b.end(), palette.begin(), palette.end());
    b.insert(b.end(), pixels.begin(), pixels.end());
    return b;
}

// 3 x 2 at 24 bits, stored from the bottom: the top row red green blue, the bottom row white
// black grey. Rows are padded to 12 bytes.
Bytes sampleBmp() {
    const Bytes pixels = {255, 255, 255, 0, 0,   0, 128, 128, 128, 0, 0, 0,   // bottom row
                          0,   0,   255, 0, 255, 0, 255, 0,   0,   0, 0, 0};  // top row, BGR
    return makeBmp(3, 2, 24, {}, pixels);
}

TEST(BmpReader, DecodesEachDepth) {
    std::optional<Picture> p = decodeBmp(sampleBmp().data(), sampleBmp().size());
    ASSERT_TRUE(p);
    EXPECT_EQ(p->width, 3);
    EXPECT_EQ(p->height, 2);
    EXPECT_EQ(p->rgb, (Bytes{255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255, 0, 0, 0, 128, 128, 128}));

    // 8 bits, stored from the top (negative height), two palette colours; index 7 has none.
    Bytes pal8 = {0, 0, 255, 0, 255, 0, 0, 0};  // red, blue
    Bytes b8 = makeBmp(2, -2, 8, pal8, {0, 1, 0, 0, 7, 0, 0, 0});
    p = decodeBmp(b8.data(), b8.size());
    ASSERT_TRUE(p);
    EXPECT_EQ(p->rgb, (Bytes{255, 0, 0, 0, 0, 255, 0, 0, 0, 255, 0, 0}));

    // 1 bit: black and white, a row of 10 pixels.
    Bytes b1 = makeBmp(10, 1, 1, {0, 0, 0, 0, 255, 255, 255, 0}, {0xA0, 0x40, 0, 0});
    p = decodeBmp(b1.data(), b1.size());
    ASSERT_TRUE(p);
    ASSERT_EQ(p->rgb.size(), 30u);
    EXPECT_EQ(p->rgb[0], 255);
    EXPECT_EQ(p->rgb[3], 0);
    EXPECT_EQ(p->rgb[6], 255);
    EXPECT_EQ(p->rgb[27], 255) << "the tenth pixel, in the second byte";
}

TEST(BmpReader, RefusesHeadersThatDoNotFitTheFile) {
    const Bytes good = sampleBmp();
    auto refused = [](Bytes b) { return !decodeBmp(b.data(), b.size()); };
    EXPECT_TRUE(refused(Bytes(good.begin(), good.end() - 1))) << "pixels cut short";
    EXPECT_TRUE(refused(Bytes(good.begin(), good.begin() + 30))) << "header cut short";
    Bytes b = good;
    put32(b, 14, 12);
    EXPECT_TRUE(refused(b)) << "another header size";
    b = good;
    put32(b, 10, 0xFFFFFFF0);
    EXPECT_TRUE(refused(b)) << "pixels past the end";
    b = good;
    put32(b, 10, 10);
    EXPECT_TRUE(refused(b)) << "pixels inside the header";
    b = good;
    put32(b, 18, 0xFFFF);
    put32(b, 22, 0xFFFF);
    EXPECT_TRUE(refused(b)) << "a size larger than the file";
    b = good;
    put32(b, 18, 0x10000);
    EXPECT_TRUE(refused(b)) << "width whose low 16 bits are 0";
    b = good;
    put32(b, 22, 0x80000000);
    EXPECT_TRUE(refused(b)) << "the most negative height";
    b = good;
    put32(b, 30, 1);
    EXPECT_TRUE(refused(b)) << "compressed";
    b = good;
    put16(b, 28, 7);
    EXPECT_TRUE(refused(b)) << "no such depth";
    Bytes pal = makeBmp(2, 2, 8, Bytes(8, 0), Bytes(8, 0));
    put32(pal, 46, 256);
    EXPECT_TRUE(refused(pal)) << "palette past the end";
    put32(pal, 46, 0xFFFFFFFF);
    EXPECT_TRUE(refused(pal)) << "palette count that overflows";
    EXPECT_TRUE(refused(Bytes{})) << "empty";
}

// A JPEG made by libjpeg itself: the left half red, the right half blue (or grey levels).
Bytes makeJpeg(int width, int height, bool grey) {
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &out, &size);
    c.image_width = static_cast<JDIMENSION>(width);
    c.image_height = static_cast<JDIMENSION>(height);
    c.input_components = grey ? 1 : 3;
    c.in_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 95, TRUE);
    jpeg_start_compress(&c, TRUE);
    Bytes row(static_cast<size_t>(width) * (grey ? 1 : 3));
    for (int x = 0; x < width; ++x) {
        const bool left = x < width / 2;
        if (grey) {
            row[x] = left ? 40 : 200;
        } else {
            row[x * 3] = left ? 255 : 0;
            row[x * 3 + 2] = left ? 0 : 255;
        }
    }
    while (c.next_scanline < c.image_height) {
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&c, &r, 1);
    }
    jpeg_finish_compress(&c);
    Bytes result(out, out + size);
    jpeg_destroy_compress(&c);
    std::free(out);
    return result;
}

TEST(JpegDecoder, DecodesAndRefusesDamagedStreams) {
    Bytes colour = makeJpeg(32, 16, false);
    std::optional<Picture> p = decodeJpeg(colour.data(), colour.size());
    ASSERT_TRUE(p);
    EXPECT_EQ(p->width, 32);
    EXPECT_EQ(p->height, 16);
    const uint8_t* leftMiddle = &p->rgb[(8 * 32 + 4) * 3];
    const uint8_t* rightMiddle = &p->rgb[(8 * 32 + 28) * 3];
    EXPECT_GT(leftMiddle[0], 200);
    EXPECT_LT(leftMiddle[2], 60);
    EXPECT_LT(rightMiddle[0], 60);
    EXPECT_GT(rightMiddle[2], 200);

    Bytes grey = makeJpeg(16, 16, true);
    p = decodeJpeg(grey.data(), grey.size());
    ASSERT_TRUE(p);
    ASSERT_EQ(p->rgb.size(), 16u * 16 * 3) << "grey comes out as RGB";
    EXPECT_NEAR(p->rgb[0], 40, 8);
    EXPECT_EQ(p->rgb[0], p->rgb[1]);

    EXPECT_FALSE(decodeJpeg(colour.data(), colour.size() / 2)) << "a stream that stops in the middle";
    EXPECT_FALSE(decodeJpeg(colour.data(), 20)) << "cut inside the header";
    Bytes junk(500, 0x5A);
    EXPECT_FALSE(decodeJpeg(junk.data(), junk.size()));
    EXPECT_FALSE(decodeJpeg(nullptr, 0));
    Bytes damaged = colour;
    for (size_t i = damaged.size() / 3; i < damaged.size() / 3 + 40; ++i) damaged[i] = 0xFF;
    decodeJpeg(damaged.data(), damaged.size());  // any result, but the process goes on
}

class RecordingLayer final : public PictureLayer {
public:
    void showPicture(const Picture& picture, int x, int y) override {
        events.push_back("show " + std::to_string(picture.width) + "x" + std::to_string(picture.height) +
                         " at " + std::to_string(x) + "," + std::to_string(y));
    }
    void removePicture() override { events.push_back("remove"); }
    std::vector<std::string> events;
};

void writeFile(const std::filesystem::path& path, const Bytes& b) {
    std::ofstream f(path, std::ios::binary);
    f.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

TEST(ImagemCommand, ShowsRemovesAndFailsAsTheLanguageSays) {
    Machine m;
    RecordingLayer layer;
    m.in.services.pictures = &layer;
    writeFile(m.folder / "f.bmp", sampleBmp());
    writeFile(m.folder / "Foto.JPEG", makeJpeg(32, 16, false));
    writeFile(m.folder / "falsa.jpg", sampleBmp());
    const std::string dir = m.folder.string() + "/";
    const size_t filesBefore = std::distance(std::filesystem::directory_iterator(m.folder), {});

    ASSERT_TRUE(m.exec("IMAGEM \"" + dir + "f.bmp\" 10 20"));
    ASSERT_TRUE(m.in.state->media.picture);
    EXPECT_EQ(m.in.state->media.picture->x, 10);
    ASSERT_TRUE(m.exec("IMAGEM \"" + dir + "Foto.JPEG\" 1 2"));
    ASSERT_TRUE(m.exec("IMAGEM"));
    EXPECT_FALSE(m.in.state->media.picture);
    ASSERT_TRUE(m.exec("IMAGEM \"" + dir + "f.bmp\""));
    EXPECT_EQ(layer.events,
              (std::vector<std::string>{"remove", "show 3x2 at 10,20", "remove", "show 32x16 at 1,2",
                                        "remove", "remove", "show 3x2 at 0,0"}));

    layer.events.clear();
    EXPECT_TRUE(m.exec("IMAGEM \"" + dir + "falta.bmp\" &")) << "quiet";
    EXPECT_FALSE(m.in.state->media.picture) << "the old picture went";
    EXPECT_FALSE(m.exec("IMAGEM \"" + dir + "falta.bmp\""));
    EXPECT_FALSE(m.exec("IMAGEM \"" + dir + "falsa.jpg\"")) << "a BMP named as a JPEG is decoded as one";
    EXPECT_TRUE(m.exec("IMAGEM \"" + dir + "falsa.jpg\" 5 5 &"));
    EXPECT_TRUE(m.exec("IMAGEM \"\"")) << "an empty name only removes";
    EXPECT_EQ(layer.events, (std::vector<std::string>(5, "remove")));
    for (const char* tail : {" 10", " 10 20 30", " x 20", " 10 y"})
        EXPECT_FALSE(m.exec("IMAGEM \"" + dir + "f.bmp\"" + tail)) << tail;

    // No picture layer (a terminal): the picture is still read and kept.
    m.in.services.pictures = nullptr;
    EXPECT_TRUE(m.exec("IMAGEM \"" + dir + "Foto.JPEG\""));
    EXPECT_TRUE(m.in.state->media.picture);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(m.folder), {}), filesBefore)
        << "no file left behind";
}

// A port whose permission the test decides; a switch on row 0 pulls status bit 0x40.
class MemoryPort final : public PortAccess {
public:
    bool acquire() override {
        ++tries;
        return granted;
    }
    void write(int port, uint8_t value) override {
        writes.push_back(std::to_string(port) + "=" + std::to_string(value));
        if (port == kParallelData) data = value;
    }
    uint8_t read(int port) override {
        EXPECT_TRUE(granted) << "read without the permission";
        return port == kParallelStatus && switchOnRow0 && data == 0x7F ? 0x47 : 0x07;
    }
    bool granted = false;
    bool switchOnRow0 = false;
    int tries = 0;
    uint8_t data = 0;
    std::vector<std::string> writes;
};

TEST(SensorCommand, WithoutPermissionAndWithASwitch) {
    Machine m;
    auto* port = new MemoryPort;
    m.in.state->media.sensor.makePort = [port] { return std::unique_ptr<PortAccess>(port); };
    m.set("s", "9");
    ASSERT_TRUE(m.exec("SENSOR s"));
    EXPECT_EQ(m.var("s"), "0");
    EXPECT_EQ(m.row(1), "Acesso à porta paralela não disponível.");
    EXPECT_EQ(m.speech.lines().back(), testing::cp("Acesso à porta paralela não disponível."));
    EXPECT_TRUE(port->writes.empty()) << "no port touched";
    // The flags stay as they were and the next SENSOR asks again.
    m.in.state->media.sensor.flags[5] = true;
    ASSERT_TRUE(m.exec("SENSOR $x"));
    EXPECT_EQ(m.var("$x"), "6");
    EXPECT_EQ(port->tries, 2);
    EXPECT_FALSE(m.exec("SENSOR")) << "no variable";

    port->granted = true;
    port->switchOnRow0 = true;
    ASSERT_TRUE(m.exec("SENSOR s"));
    EXPECT_EQ(m.var("s"), "2");
    ASSERT_GE(port->writes.size(), 4u);
    EXPECT_EQ(std::vector<std::string>(port->writes.begin(), port->writes.begin() + 4),
              (std::vector<std::string>{"890=255", "888=1", "890=255", "888=127"}));
    EXPECT_EQ(port->writes.back(), "888=254") << "eight rows";
    port->switchOnRow0 = false;
    ASSERT_TRUE(m.exec("SENSOR s"));
    EXPECT_EQ(m.var("s"), "0");
    EXPECT_EQ(port->tries, 4)
        << "three refusals (the one without a variable too), then granted once and kept";
}

}  // namespace
}  // namespace parlendo
