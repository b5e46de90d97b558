// The numbered channels: ABRE, FECHA, CHECA and the channel forms of LE and ESCREVE.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cerrno>
#include <csignal>
#include <filesystem>

#include "../interp/fixture.h"
#include "file_test_support.h"

namespace parlendo {
namespace {

namespace fs = std::filesystem;
using testing::cp;
using testing::Machine;
using testing::quoted;
using testing::readBytes;
using testing::writeBytes;

size_t openDescriptors() {
    size_t n = 0;
    for (auto it = fs::directory_iterator("/proc/self/fd"); it != fs::directory_iterator(); ++it) ++n;
    return n;
}

TEST(Channels, AppendCreatesAppendsAndReadsBackEveryByte) {
    Machine m;
    fs::path list = m.folder / "estações.lst";
    std::string name = quoted(list);
    ASSERT_TRUE(m.exec("abre #1 " + name + " &"));
    ASSERT_TRUE(fs::exists(list)) << "created by appending";
    ASSERT_TRUE(m.exec("escreve #1 \"Rádio Ação, São Paulo\""));
    ASSERT_TRUE(m.exec("escreve #1 \"/radio/1\" \"?x=ÿ\""));
    ASSERT_TRUE(m.exec("escreve #1 \"sem fim\" &"));
    ASSERT_TRUE(m.exec("checa c"));
    EXPECT_EQ(m.var("C"), "0");
    ASSERT_TRUE(m.exec("fecha #1"));
    EXPECT_EQ(readBytes(list), cp("Rádio Ação, São Paulo\r\n/radio/1?x=ÿ\r\nsem fim"));

    // Appending goes after the last byte, even one that ends no line.
    ASSERT_TRUE(m.exec("abre #1 " + name + " &"));
    ASSERT_TRUE(m.exec("escreve #1 \"!\""));
    ASSERT_TRUE(m.exec("escreve #1"));
    ASSERT_TRUE(m.exec("fecha #1"));
    EXPECT_EQ(readBytes(list), cp("Rádio Ação, São Paulo\r\n/radio/1?x=ÿ\r\nsem fim!\r\n\r\n"));

    ASSERT_TRUE(m.exec("abre #2 " + name));
    std::vector<std::string> got;
    for (int i = 0; i < 4; ++i) {
        ASSERT_TRUE(m.exec("lê #2 $linha"));
        ASSERT_TRUE(m.exec("checa c"));
        EXPECT_EQ(m.var("C"), "0");
        got.push_back(m.var("$linha"));
    }
    EXPECT_EQ(got,
              (std::vector<std::string>{cp("Rádio Ação, São Paulo"), cp("/radio/1?x=ÿ"), "sem fim!", ""}));
    m.set("$linha", "antigo");
    ASSERT_TRUE(m.exec("le #2 $linha"));
    ASSERT_TRUE(m.exec("checa c"));
    EXPECT_EQ(m.var("C"), "1");
    EXPECT_EQ(m.var("$linha"), "");
    // Lines appended after the reader met the end are read on.
    ASSERT_TRUE(m.exec("abre #1 " + name + " &"));
    ASSERT_TRUE(m.exec("escreve #1 \"nova\""));
    ASSERT_TRUE(m.exec("le #2 $linha"));
    EXPECT_EQ(m.var("$linha"), "nova");
    EXPECT_TRUE(m.exec("fecha #2"));
}

TEST(Channels, TheLoopOfTheTunerStopsAtTheEnd) {
    Machine m;
    writeBytes(m.folder / "r.lst", "a\r\nb\nc");
    RunOutcome out = m.runLines({
        "abre #1 " + quoted(m.folder / "r.lst"),
        "seja t \"\"",
        "le #1 l",
        "checa c",
        "enquanto c = 0",
        "concatena t l",
        "concatena t \"|\"",
        "le #1 l",
        "checa c",
        "fim enquanto",
        "fecha #1",
    });
    EXPECT_EQ(out.end, RunEnd::Finished);
    EXPECT_EQ(m.var("T"), "a|b|c|");
}

TEST(Channels, BadChannelsAndClosedChannelsAreReported) {
    Machine m;
    fs::path f = m.folder / "f.txt";
    writeBytes(f, "x\r\n");
    EXPECT_FALSE(m.exec("abre #12 " + quoted(f)));
    EXPECT_FALSE(m.exec("abre #1"));
    EXPECT_FALSE(m.exec("abre #1 \"\""));
    EXPECT_FALSE(m.exec("abre #1 " + quoted(m.folder / "falta.txt")));
    EXPECT_FALSE(m.exec("abre #1 " + quoted(m.folder))) << "a folder is not a text file";
    EXPECT_TRUE(m.exec("fecha #3")) << "closing a channel never opened";
    EXPECT_FALSE(m.exec("fecha #x"));
    EXPECT_FALSE(m.exec("le #4 l"));
    ASSERT_TRUE(m.exec("abre #4 " + quoted(f)));
    EXPECT_FALSE(m.exec("le #4")) << "no variable";
    EXPECT_FALSE(m.exec("le #45 l"));
    EXPECT_FALSE(m.exec("escreve #12 \"x\""));
    EXPECT_EQ(readBytes(f), "x\r\n");
    const std::vector<std::string> want = {
        "Erro na abertura do arquivo ",
        "Erro na abertura do arquivo ",
        "Erro na abertura do arquivo ",
        cp("Erro na abertura do arquivo " + (m.folder / "falta.txt").string()),
        cp("Erro na abertura do arquivo " + m.folder.string()),
        "Erro no fechamento do arquivo",
        "Erro no processamento de arquivo",
        "Erro no processamento de arquivo",
        "Erro no processamento de arquivo",
    };
    EXPECT_EQ(m.speech.lines(), want);
    EXPECT_EQ(m.row(1), "Erro na abertura do arquivo");

    // A write to a closed channel is reported, writes nothing, goes on, and CHECA sees it.
    ASSERT_TRUE(m.exec("escreve #5 \"x\""));
    ASSERT_TRUE(m.exec("checa c"));
    EXPECT_EQ(m.var("C"), std::to_string(EBADF));
    EXPECT_FALSE(m.exec("checa")) << "no variable";
    EXPECT_FALSE(m.exec("checa c d")) << "text after the variable";
}

TEST(Channels, WrongDirectionAndUnreadableValuesWriteNothing) {
    Machine m;
    fs::path f = m.folder / "f.txt";
    writeBytes(f, "um\r\n");
    ASSERT_TRUE(m.exec("abre #1 " + quoted(f)));
    ASSERT_TRUE(m.exec("escreve #1 \"dois\""));
    ASSERT_TRUE(m.exec("checa c"));
    EXPECT_EQ(m.var("C"), std::to_string(EBADF)) << "a channel opened for reading";
    ASSERT_TRUE(m.exec("abre #2 " + quoted(f) + " &"));
    ASSERT_TRUE(m.exec("le #2 l"));
    ASSERT_TRUE(m.exec("checa c"));
    EXPECT_EQ(m.var("C"), std::to_string(EBADF)) << "a channel opened for appending";
    EXPECT_FALSE(m.exec("escreve #2 \"dois\" ,"));
    EXPECT_EQ(readBytes(f), "um\r\n") << "no part of a line whose values could not all be read";
}

TEST(Channels, ReopeningAndNewRunsCloseWhatWasOpen) {
    Machine m;
    fs::path a = m.folder / "a.txt", b = m.folder / "b.txt";
    size_t before = openDescriptors();
    for (int i = 0; i < 20; ++i) {
        ASSERT_TRUE(m.exec("abre #1 " + quoted(a) + " &"));
        ASSERT_TRUE(m.exec("escreve #1 " + std::to_string(i)));
    }
    ASSERT_TRUE(m.exec("abre #1 " + quoted(b) + " &"));
    EXPECT_EQ(openDescriptors(), before + 1) << "each ABRE closed the file before it";
    EXPECT_EQ(readBytes(a).size(), 10 * 3 + 10 * 4u);

    ASSERT_EQ(m.runLines({"abre #2 " + quoted(a)}).end, RunEnd::Finished);
    EXPECT_EQ(openDescriptors(), before + 1) << "the run started by closing channel 1";
    ASSERT_EQ(m.runLines({"escreve #2 \"x\""}).end, RunEnd::Finished);
    EXPECT_EQ(openDescriptors(), before);
    EXPECT_EQ(m.speech.lines().back(), "Erro no processamento de arquivo");
}

TEST(Channels, AppendingRemovesATrailingEndOfFileByte) {
    Machine m;
    fs::path f = m.folder / "antiga.lst";
    writeBytes(f, "um\r\n\x1a");
    ASSERT_TRUE(m.exec("abre #1 " + quoted(f) + " &"));
    ASSERT_TRUE(m.exec("escreve #1 \"dois\""));
    ASSERT_TRUE(m.exec("fecha #1"));
    EXPECT_EQ(readBytes(f), "um\r\ndois\r\n");
    // One in the middle is the reader's business, not the writer's.
    writeBytes(f, "um\x1a\r\n");
    ASSERT_TRUE(m.exec("abre #1 " + quoted(f) + " &"));
    ASSERT_TRUE(m.exec("fecha #1"));
    EXPECT_EQ(readBytes(f), "um\x1a\r\n");
}

TEST(Channels, AFullDiskIsLeftInTheStatusAndKeepsWhatWasWritten) {
    Machine m;
    ASSERT_TRUE(m.exec("abre #1 \"/dev/full\" &"));
    ASSERT_TRUE(m.exec("escreve #1 \"x\""));
    ASSERT_TRUE(m.exec("checa c"));
    EXPECT_EQ(m.var("C"), std::to_string(ENOSPC));
    ASSERT_TRUE(m.exec("escreve #1 \"x\" &"));
    ASSERT_TRUE(m.exec("checa c"));
    EXPECT_EQ(m.var("C"), std::to_string(ENOSPC));
    EXPECT_TRUE(m.exec("fecha #1"));

    // A file size limit cuts a write short the way a disk that fills up does.
    fs::path f = m.folder / "lista.lst";
    writeBytes(f, "um\r\n");
    ASSERT_TRUE(m.exec("abre #1 " + quoted(f) + " &"));
    struct rlimit saved;
    getrlimit(RLIMIT_FSIZE, &saved);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 8;
    setrlimit(RLIMIT_FSIZE, &small);
    bool wrote = m.exec("escreve #1 \"abcdefgh\"");
    bool checked = m.exec("checa c");
    std::string status = m.var("C");
    bool fitted = m.exec("escreve #1 \"ok\"");
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_TRUE(wrote && checked && fitted);
    EXPECT_EQ(status, std::to_string(EFBIG));
    ASSERT_TRUE(m.exec("fecha #1"));
    EXPECT_EQ(readBytes(f), "um\r\nok\r\n") << "the cut write left no half line";
}

TEST(Channels, ALineTooLongForAVariableFailsTheRead) {
    Machine m;
    m.in.maxTextSize = 8;
    fs::path f = m.folder / "longa.txt";
    writeBytes(f, "12345678\r\n123456789\r\n");
    ASSERT_TRUE(m.exec("abre #1 " + quoted(f)));
    ASSERT_TRUE(m.exec("le #1 l"));
    EXPECT_EQ(m.var("L"), "12345678");
    EXPECT_FALSE(m.exec("le #1 l"));
    EXPECT_EQ(m.speech.lines().back(), cp("Texto longo demais para uma variável"));
}

}  // namespace
}  // namespace parlendo
