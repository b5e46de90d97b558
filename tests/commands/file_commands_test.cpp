// REMOVE, RENOMEIA, REPLICA, TAMARQ and HTAMARQ.
#include <gtest/gtest.h>

#include <filesystem>

#include "../interp/fixture.h"
#include "commands/files.h"
#include "file_test_support.h"
#include "platform/locale.h"

namespace parlendo {
namespace {

namespace fs = std::filesystem;
using testing::cp;
using testing::Machine;
using testing::quoted;
using testing::readBytes;
using testing::writeBytes;

TEST(Remove, MissingFilesAreReportedUnlessIgnored) {
    Machine m;
    fs::path f = m.folder / "temp.lst";
    writeBytes(f, "x");
    ASSERT_TRUE(m.exec("remove " + quoted(f) + " texto ignorado"));
    EXPECT_FALSE(fs::exists(f));
    EXPECT_FALSE(m.exec("remove " + quoted(f)));
    EXPECT_EQ(m.speech.lines().back(), cp("Erro no apagamento do arquivo " + f.string()));
    size_t said = m.speech.lines().size();
    EXPECT_TRUE(m.exec("remove " + quoted(f) + " &"));
    EXPECT_FALSE(m.exec("remove \"\""));
    EXPECT_FALSE(m.exec("remove"));
    EXPECT_EQ(m.speech.lines().size(), said) << "no message with & or without a name";
    fs::create_directory(m.folder / "pasta");
    EXPECT_FALSE(m.exec("remove " + quoted(m.folder / "pasta"))) << "a folder is no file";
    EXPECT_TRUE(fs::exists(m.folder / "pasta"));
}

TEST(Renomeia, MovesButNeverReplaces) {
    Machine m;
    fs::path a = m.folder / "a.lst", b = m.folder / "sub" / "Ação.lst";
    fs::create_directory(m.folder / "sub");
    writeBytes(a, "lista a");
    ASSERT_TRUE(m.exec("renomeia " + quoted(a) + " " + quoted(b)));
    EXPECT_FALSE(fs::exists(a));
    EXPECT_EQ(readBytes(b), "lista a");
    // Renaming onto an existing list would destroy it.
    writeBytes(a, "lista nova");
    EXPECT_FALSE(m.exec("renomeia " + quoted(a) + " " + quoted(b)));
    EXPECT_EQ(readBytes(b), "lista a");
    EXPECT_EQ(readBytes(a), "lista nova");
    EXPECT_TRUE(m.exec("renomeia " + quoted(a) + " " + quoted(b) + " &"));
    EXPECT_EQ(readBytes(b), "lista a");
    EXPECT_EQ(m.in.ioStatus, EEXIST) << "the channel status tells the failure a & hides";
    // SUBSTITUI replaces it in one step.
    ASSERT_TRUE(m.exec("renomeia " + quoted(a) + " " + quoted(b) + " substitui &"));
    EXPECT_EQ(m.in.ioStatus, 0);
    EXPECT_EQ(readBytes(b), "lista nova");
    EXPECT_FALSE(fs::exists(a));
    writeBytes(a, "lista nova");
    EXPECT_FALSE(m.exec("renomeia " + quoted(m.folder / "falta") + " " + quoted(m.folder / "x")));
    EXPECT_FALSE(m.exec("renomeia " + quoted(a) + " " + quoted(m.folder / "c") + " demais"));
    EXPECT_TRUE(fs::exists(a));
    EXPECT_TRUE(m.speech.lines().empty()) << "RENOMEIA fails without a message";
}

TEST(Replica, CopiesEveryByteAndNeverHarmsTheSource) {
    Machine m;
    fs::path src = m.folder / "rock.lst", dst = m.folder / "radios.lst";
    std::string bytes;
    for (int i = 0; i < 100000; ++i) bytes.push_back(static_cast<char>(i * 7 % 256));
    writeBytes(src, bytes);
    writeBytes(dst, std::string(200000, 'x'));
    ASSERT_TRUE(m.exec("replica " + quoted(src) + " " + quoted(dst)));
    EXPECT_EQ(readBytes(dst), bytes) << "the longer old destination was emptied first";
    // Files that look empty to the system's own copy still come across whole.
    ASSERT_TRUE(m.exec("replica \"/proc/version\" " + quoted(dst)));
    EXPECT_EQ(readBytes(dst), readBytes("/proc/version"));
    EXPECT_FALSE(readBytes(dst).empty());
    writeBytes(m.folder / "vazio", "");
    ASSERT_TRUE(m.exec("replica " + quoted(m.folder / "vazio") + " " + quoted(dst)));
    EXPECT_EQ(readBytes(dst), "");

    // Onto itself, by the same name or another path: refused, the file untouched.
    EXPECT_FALSE(m.exec("replica " + quoted(src) + " " + quoted(src)));
    fs::create_directory(m.folder / "d");
    fs::path roundabout = m.folder / "d" / ".." / "rock.lst";
    EXPECT_FALSE(m.exec("replica " + quoted(src) + " " + quoted(roundabout)));
    fs::create_hard_link(src, m.folder / "link.lst");
    EXPECT_TRUE(m.exec("replica " + quoted(m.folder / "link.lst") + " " + quoted(src) + " &"));
    EXPECT_EQ(readBytes(src), bytes);

    // A missing source creates no empty destination, with or without &.
    fs::path none = m.folder / "nada.lst";
    EXPECT_FALSE(m.exec("replica " + quoted(m.folder / "falta") + " " + quoted(none)));
    EXPECT_TRUE(m.exec("replica " + quoted(m.folder / "falta") + " " + quoted(none) + " &"));
    EXPECT_FALSE(fs::exists(none));
    EXPECT_FALSE(m.exec("replica " + quoted(src) + " " + quoted(m.folder / "sem" / "pasta")));
    EXPECT_FALSE(m.exec("replica " + quoted(src)));
    EXPECT_FALSE(m.exec("replica " + quoted(src) + " " + quoted(dst) + " x"));
    EXPECT_TRUE(m.speech.lines().empty()) << "these failures have no message";

    // A destination that cannot take the bytes is reported, unless errors are ignored.
    EXPECT_FALSE(m.exec("replica " + quoted(src) + " \"/dev/full\""));
    EXPECT_EQ(m.speech.lines().back(), "Erro na escrita de arquivo /dev/full");
    EXPECT_TRUE(m.exec("replica " + quoted(src) + " \"/dev/full\" &"));
    EXPECT_FALSE(m.exec("replica " + quoted(m.folder) + " " + quoted(none))) << "a folder is no source";
    EXPECT_FALSE(fs::exists(none));
}

TEST(TamArq, SizesInBytesAndForPeople) {
    EXPECT_EQ(formatHumanSize(0, ','), "0,00 B");
    EXPECT_EQ(formatHumanSize(512, ','), "512,00 B");
    EXPECT_EQ(formatHumanSize(1023, ','), "1023,00 B");
    EXPECT_EQ(formatHumanSize(1024, ','), "1,00KB");
    EXPECT_EQ(formatHumanSize(1536, ','), "1,50KB");
    EXPECT_EQ(formatHumanSize(1572864, ','), "1,50 MB");
    EXPECT_EQ(formatHumanSize(uint64_t{3} << 30, '.'), "3.00GB");
    EXPECT_EQ(formatHumanSize(uint64_t{5} << 40, ','), "5,00 TB");
    EXPECT_EQ(formatHumanSize(uint64_t{2} << 50, ','), "2,00") << "no unit past terabytes";

    Machine m;
    fs::path f = m.folder / "gravação.mp3";
    writeBytes(f, std::string(1536, 'x'));
    ASSERT_TRUE(m.exec("tamarq " + quoted(f) + " t"));
    EXPECT_EQ(m.var("T"), "1536");
    ASSERT_TRUE(m.exec("htamarq " + quoted(f) + " $h"));
    EXPECT_EQ(m.var("$h"), std::string("1") + decimalSeparator() + "50KB");
    writeBytes(f, "");
    ASSERT_TRUE(m.exec("tamarq " + quoted(f) + " t"));
    EXPECT_EQ(m.var("T"), "0");
    EXPECT_FALSE(m.exec("tamarq " + quoted(m.folder / "falta") + " t"));
    EXPECT_FALSE(m.exec("htamarq " + quoted(m.folder / "falta") + " t"));
    EXPECT_FALSE(m.exec("tamarq " + quoted(m.folder) + " t"));
    EXPECT_FALSE(m.exec("tamarq " + quoted(f)));
    EXPECT_EQ(m.var("T"), "0");
}

}  // namespace
}  // namespace parlendo
