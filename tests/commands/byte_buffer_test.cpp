// The byte buffer and the binary output file: CRIABIN, ESCREVEBYTE, LEBYTE, GRAVABYTES,
// LIMPABYTES and FECHABIN.
#include <gtest/gtest.h>

#include <filesystem>

#include "../interp/fixture.h"
#include "commands/command_state.h"
#include "file_test_support.h"

namespace parlendo {
namespace {

namespace fs = std::filesystem;
using testing::Machine;
using testing::quoted;
using testing::readBytes;
using testing::writeBytes;

TEST(ByteBuffer, BytesAndRangesReachTheBinaryFile) {
    Machine m;
    fs::path src = m.folder / "fonte.bin", out = m.folder / "saida.bin";
    writeBytes(src, "0123456789");
    EXPECT_FALSE(m.exec("gravabytes")) << "no binary file yet";
    EXPECT_FALSE(m.exec("fechabin"));
    ASSERT_TRUE(m.exec("criabin " + quoted(out)));
    EXPECT_FALSE(m.exec("criabin " + quoted(m.folder / "outro.bin"))) << "one binary file at a time";
    EXPECT_FALSE(fs::exists(m.folder / "outro.bin"));

    ASSERT_TRUE(m.exec("escrevebyte \"AB\""));
    ASSERT_TRUE(m.exec("escrevebyte 65"));
    ASSERT_TRUE(m.exec("lebyte " + quoted(src) + " 0 3"));    // bytes 0 to 2
    ASSERT_TRUE(m.exec("lebyte " + quoted(src) + " 5 5"));    // byte 5
    ASSERT_TRUE(m.exec("lebyte " + quoted(src) + " 8 100"));  // to the end
    EXPECT_FALSE(m.exec("lebyte " + quoted(src) + " 7 3"));
    EXPECT_FALSE(m.exec("lebyte " + quoted(src) + " 10 12")) << "at the end";
    EXPECT_FALSE(m.exec("lebyte " + quoted(src) + " -1 2"));
    EXPECT_FALSE(m.exec("lebyte " + quoted(src) + " 0 x"));
    EXPECT_FALSE(m.exec("lebyte " + quoted(m.folder / "falta") + " 0 1"));
    EXPECT_FALSE(m.exec("lebyte " + quoted(src) + " 0"));
    ASSERT_TRUE(m.exec("gravabytes"));
    ASSERT_TRUE(m.exec("escrevebyte \"!\""));
    ASSERT_TRUE(m.exec("limpabytes"));
    ASSERT_TRUE(m.exec("escrevebyte \"Z\""));
    ASSERT_TRUE(m.exec("gravabytes qualquer coisa"));
    ASSERT_TRUE(m.exec("gravabytes"));
    ASSERT_TRUE(m.exec("fechabin"));
    EXPECT_FALSE(m.exec("fechabin"));
    EXPECT_EQ(readBytes(out),
              "AB6501258"
              "9Z");

    EXPECT_FALSE(m.exec("criabin " + quoted(out))) << "never over an existing file";
    EXPECT_EQ(readBytes(out), "AB65012589Z");
    EXPECT_FALSE(m.exec("criabin \"\""));
    EXPECT_FALSE(m.exec("criabin " + quoted(m.folder / "sem" / "pasta.bin")));
    ASSERT_TRUE(m.exec("criabin " + quoted(m.folder / "outro.bin")));
    ASSERT_TRUE(m.exec("fechabin"));
}

TEST(ByteBuffer, FailedWritesFailAndKeepTheBytes) {
    Machine m;
    ASSERT_TRUE(m.exec("escrevebyte \"dados\""));
    // /dev/full exists, so CRIABIN refuses it; the file is put in place as CRIABIN would.
    SysError error = 0;
    m.in.state->binaryFile.file = FileHandle::open("/dev/full", FileHandle::Mode::Append, error);
    ASSERT_TRUE(m.in.state->binaryFile.isOpen());
    EXPECT_FALSE(m.exec("gravabytes"));
    EXPECT_EQ(m.in.state->byteBuffer.contents(), "dados");
    EXPECT_TRUE(m.exec("fechabin"));
}

TEST(ByteBuffer, Holds128MebibytesAndRefusesMore) {
    Machine m;
    EXPECT_EQ(m.in.state->byteBuffer.count(), 0u);
    fs::path big = m.folder / "grande.bin";
    {
        std::ofstream(big).close();
        fs::resize_file(big, (size_t{128} << 20) + 1);  // sparse: no disk is used
    }
    EXPECT_FALSE(m.exec("lebyte " + quoted(big) + " 0 1")) << "a file larger than the buffer";
    fs::resize_file(big, size_t{128} << 20);
    ASSERT_TRUE(m.exec("escrevebyte \"x\""));
    EXPECT_FALSE(m.exec("lebyte " + quoted(big) + " 0 134217728")) << "one byte too many";
    EXPECT_EQ(m.in.state->byteBuffer.count(), 1u);
    ASSERT_TRUE(m.exec("lebyte " + quoted(big) + " 1 134217728"));
    EXPECT_TRUE(m.in.state->byteBuffer.full());
    EXPECT_FALSE(m.exec("escrevebyte \"y\""));
    EXPECT_FALSE(m.exec("lebyte " + quoted(big) + " 0 1"));
    EXPECT_EQ(m.in.state->byteBuffer.count(), size_t{128} << 20);
    ASSERT_TRUE(m.exec("limpabytes"));
    EXPECT_EQ(m.in.state->byteBuffer.count(), 0u);
}

}  // namespace
}  // namespace parlendo
