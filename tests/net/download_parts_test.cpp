// The pieces of the download on their own (URLs, status and header lines, the spoken progress
// report, percent-encoding, the dotted address rule), and the keys a user presses while a
// download runs, fed straight into the key queue of an interpreter.
#include <gtest/gtest.h>

#include "net/connection.h"
#include "net/connection_channel.h"
#include "net/download.h"
#include "net_fixture.h"
#include "platform/locale.h"
#include "text/percent_encoding.h"

namespace parlendo::testing {
namespace {

TEST(DownloadParts, UrlSplitting) {
    UrlParts a = splitUrl("https://Radio.example:8443/a/b?c=d:8443");
    EXPECT_TRUE(a.https);
    EXPECT_EQ(a.host, "Radio.example");
    EXPECT_EQ(a.port, "8443");
    // Every ":" followed by the port goes, also in the path.
    EXPECT_EQ(a.path, "/a/b?c=d");
    UrlParts b = splitUrl("hTTpS://host");
    EXPECT_TRUE(b.https);
    EXPECT_EQ(b.host, "host");
    EXPECT_EQ(b.port, "443");
    EXPECT_EQ(b.path, "/");
    UrlParts c = splitUrl("http://h/x");
    EXPECT_FALSE(c.https);
    EXPECT_EQ(c.port, "80");
    EXPECT_EQ(resolveLocation("http://h:81/dir/page?q", "other"), "http://h:81/dir/other");
    EXPECT_EQ(resolveLocation("https://h/dir/page", "/root"), "https://h/root");
    EXPECT_EQ(resolveLocation("https://h/dir/page", "//cdn/x"), "https://cdn/x");
    EXPECT_EQ(resolveLocation("https://h/", "http://o/p"), "http://o/p");
}

TEST(DownloadParts, StatusAndHeaderLines) {
    EXPECT_EQ(parseStatusCode("HTTP/1.1 206 Partial Content"), 206);
    EXPECT_EQ(parseStatusCode("HTTP/1.0 404"), 404);
    EXPECT_FALSE(parseStatusCode("HTTP/1.1 2x0 OK"));
    EXPECT_FALSE(parseStatusCode("HTTP/1.1 20"));
    EXPECT_FALSE(parseStatusCode("garbage"));
    HeaderField length = parseHeader("content-LENGTH:  123456789012 ");
    EXPECT_EQ(length.kind, HeaderField::Kind::ContentLength);
    EXPECT_EQ(length.number, 123456789012);
    EXPECT_EQ(parseHeader("Content-Length: 12x").kind, HeaderField::Kind::Malformed);
    EXPECT_EQ(parseHeader("Content-Length: 99999999999999999999").kind, HeaderField::Kind::Malformed);
    EXPECT_EQ(parseHeader("Content-Length: -5").kind, HeaderField::Kind::Malformed);
    HeaderField type = parseHeader("Content-Type: audio/mpeg ");
    EXPECT_EQ(type.kind, HeaderField::Kind::ContentType);
    EXPECT_EQ(type.value, "audio/mpeg");
    EXPECT_EQ(parseHeader("Location: https://x/y").value, "https://x/y");
    HeaderField range = parseHeader("Content-Range: bytes 3000-9999/10000");
    EXPECT_EQ(range.number, 3000);
    EXPECT_EQ(range.total, 10000);
    HeaderField past = parseHeader("Content-Range: bytes */10000");
    EXPECT_EQ(past.number, -1);
    EXPECT_EQ(past.total, 10000);
    EXPECT_EQ(parseHeader("X-Location: a").kind, HeaderField::Kind::Other);
}

TEST(DownloadParts, ProgressReportWithTheLocaleSeparator) {
    // Half of 8 KB resumed from 2 KB: the total counts the resume offset.
    std::vector<std::string> said = progressReport(4096, false, 6144 + 2048, "radio.mp3", ',');
    EXPECT_EQ(said, (std::vector<std::string>{"Recebidos: 50% de 8KB.", "4 KBytes gravados.",
                                              "Arquivo: radio.mp3"}));
    said = progressReport(1572864, false, 3 * 1048576 + 1, "a", ',');
    EXPECT_EQ(said[0], "Recebidos: 50% de 3MB.");
    EXPECT_EQ(said[1], "1,5 MegaBytes gravados.");
    said = progressReport(1234567890, false, 5368709120ull, "a", '.');
    EXPECT_EQ(said[0], "Recebidos: 23% de 5GB.");
    EXPECT_EQ(said[1], "1.15 GigaBytes gravados.");
    said = progressReport(100, false, 300, "a", ',');
    EXPECT_EQ(said[0], "Recebidos: 33,3% de 300Bytes.");
    EXPECT_EQ(said[1], "100 Bytes gravados.");
    said = progressReport(123456, true, 0, "a", ',');
    EXPECT_EQ(said[0], "123456 bytes escritos em disco.");
    EXPECT_EQ(said[1], "121 KBytes gravados.");
    // Three significant digits; an exponent part is cut off.
    EXPECT_EQ(formatGeneral3(1023.5, ','), "1,02");
    EXPECT_EQ(formatGeneral3(999.7, ','), "1");
    EXPECT_EQ(formatGeneral3(0.01234, ','), "0,0123");
    EXPECT_EQ(formatGeneral3(0, ','), "0");
}

TEST(DownloadParts, PercentEncodingAndDottedAddresses) {
    EXPECT_EQ(text::percentEncode("r\xE1"
                                  "dio 1"),
              "r%E1dio%201");
    EXPECT_EQ(text::percentEncode("Az09-._~/?&%"), "Az09-._~%2F%3F%26%25");
    uint8_t o[4];
    ASSERT_TRUE(parseDottedIpv4("192.168.0.255", o));
    EXPECT_EQ(o[0], 192);
    EXPECT_EQ(o[1], 168);
    EXPECT_EQ(o[2], 0);
    EXPECT_EQ(o[3], 255);
    for (const char* bad : {"1.2.3", ".1.2.3.4", "1.2.3.256", "1.2.3.4.", "1..2.3", "1.2.3.4.5", "1234.1.1.1",
                            "a.b.c.d", "1.2.3.4x", "001.002.003.0004", ""})
        EXPECT_FALSE(parseDottedIpv4(bad, o)) << bad;
    EXPECT_TRUE(parseDottedIpv4("001.002.003.004", o));
}

// An interpreter with the program's Network, and the fixture server.
class DownloadKeys : public ::testing::Test {
protected:
    void SetUp() override {
        std::string why;
        if (!server_.start(why)) GTEST_SKIP() << why;
        attachNetwork(m_.in, net_);
    }
    void TearDown() override { server_.stop(); }
    bool fetch(const std::string& url, const std::string& name, const std::string& clicks = "0") {
        m_.set("u", url);
        m_.set("f", (m_.folder / name).string());
        m_.set("c", clicks);
        return m_.exec("trazdarede u f c \"\" \"\" r");
    }
    size_t count(const std::string& line) {
        return std::count(m_.speech.lines().begin(), m_.speech.lines().end(), line);
    }

    Machine m_;
    Network net_{m_.settings, nullptr};
    FixtureServer server_;
};

TEST_F(DownloadKeys, EnterReportsProgressSpaceTogglesClicks) {
    std::string data(20000, 'd');
    server_.put("d.bin", data);
    m_.keys.pushKey(13);
    ASSERT_TRUE(fetch(server_.url("/file/d.bin"), "d.bin"));
    EXPECT_EQ(m_.var("r"), "0");
    EXPECT_EQ(readBytes(m_.folder / "d.bin"), data);
    // After the first block: 4096 of 20000 bytes.
    const auto& said = m_.speech.lines();
    auto at = std::find(said.begin(), said.end(),
                        std::string("Recebidos: 20") + std::string(1, decimalSeparator()) + "5% de 19KB.");
    ASSERT_NE(at, said.end());
    EXPECT_EQ(*(at + 1), "4 KBytes gravados.");
    EXPECT_EQ(*(at + 2), "Arquivo: " + (m_.folder / "d.bin").string());
    EXPECT_EQ(count("<click>"), 0u);
    // Space after the first block turns the clicks on for the four blocks that follow.
    m_.keys.pushKey(' ');
    ASSERT_TRUE(fetch(server_.url("/file/d.bin"), "e.bin"));
    EXPECT_EQ(count("<click>"), 4u);
    ASSERT_TRUE(fetch(server_.url("/file/d.bin"), "f.bin", "1"));
    EXPECT_EQ(count("<click>"), 9u);
}

TEST_F(DownloadKeys, EscAsksAndSStops) {
    // A stream stopped by the user is a success with what was recorded.
    m_.keys.pushKey(27);
    m_.keys.pushKey('S');
    ASSERT_TRUE(fetch(server_.url("/stream"), "radio.mp3"));
    EXPECT_EQ(m_.var("r"), "0");
    EXPECT_EQ(readBytes(m_.folder / "radio.mp3"), std::string(4096, '\0'));
    EXPECT_EQ(m_.row(1), "Deseja parar o download?");
    EXPECT_EQ(m_.row(2), "S");
    EXPECT_EQ(m_.row(3), "O download foi interrompido.");
    // A stream that sends nothing is stopped all the same.
    m_.keys.pushKey(27);
    m_.keys.pushKey('S');
    ASSERT_TRUE(fetch(server_.url("/quietstream"), "quiet.mp3"));
    EXPECT_EQ(m_.var("r"), "0");
    EXPECT_EQ(readBytes(m_.folder / "quiet.mp3"), "");
    EXPECT_EQ(m_.row(6), "O download foi interrompido.");
    // Any other answer goes on; a file stopped early is a failure.
    std::string data(20000, 'e');
    server_.put("e.bin", data);
    m_.keys.pushKey(27);
    m_.keys.pushKey('n');
    ASSERT_TRUE(fetch(server_.url("/file/e.bin"), "e.bin"));
    EXPECT_EQ(m_.var("r"), "0");
    EXPECT_EQ(readBytes(m_.folder / "e.bin"), data);
    m_.keys.pushKey(27);
    m_.keys.pushKey('s');
    ASSERT_TRUE(fetch(server_.url("/file/e.bin"), "g.bin"));
    EXPECT_EQ(m_.var("r"), "1");
    EXPECT_EQ(readBytes(m_.folder / "g.bin").size(), 4096u);
}

// Esc is looked at a few times a second whatever the server does: headers that never end, a
// body that drips, a page without a length that drips.
TEST_F(DownloadKeys, EscIsAnsweredWithinASecondWhateverTheServerDoes) {
    for (const char* path : {"/headers?every=0.3", "/drip?length=10000&every=0.05",
                             "/drip?length=10000&every=0.05&nolength=1"}) {
        m_.keys.pushKey(27);
        m_.keys.pushKey('s');
        auto start = std::chrono::steady_clock::now();
        ASSERT_TRUE(fetch(server_.url(path), "x.bin"));
        auto took = std::chrono::steady_clock::now() - start;
        EXPECT_EQ(m_.var("r"), "1") << path;
        EXPECT_LT(took, std::chrono::seconds(1)) << path;
        EXPECT_FALSE(m_.keys.keyPressed()) << path;
    }
    EXPECT_EQ(count("Deseja parar o download?"), 3u);
    EXPECT_EQ(count("O download foi interrompido."), 3u);
}

}  // namespace
}  // namespace parlendo::testing
