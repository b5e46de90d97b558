// Replacing a file whole: the new bytes under the old name, its permissions kept, and on a
// failure the old file as it was with nothing left beside it.
#include "platform/file_system.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "../interp/fixture.h"

namespace parlendo {
namespace {

namespace fs = std::filesystem;

TEST(ReplaceSystemFile, NewBytesWholeOrTheOldFileUntouched) {
    testing::Machine m;
    const std::string path = (m.folder / "lista.txt").string();
    ASSERT_EQ(replaceSystemFile(path, "primeira"), 0) << "a file that was not there is made";
    ::chmod(path.c_str(), 0640);
    ASSERT_EQ(replaceSystemFile(path, "segunda versão"), 0);
    EXPECT_EQ(readSystemFile(path), "segunda versão");
    struct stat st;
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u) << "the old file's permissions carry over";

    // A folder under the name is never replaced, and a missing folder holds nothing to replace.
    fs::create_directory(m.folder / "pasta");
    EXPECT_NE(replaceSystemFile((m.folder / "pasta").string(), "x"), 0);
    EXPECT_EQ(replaceSystemFile((m.folder / "nada" / "f.txt").string(), "x"), ENOENT);
    for (const auto& e : fs::directory_iterator(m.folder))
        EXPECT_EQ(e.path().filename().string().find(".novo"), std::string::npos)
            << "left behind: " << e.path();
    EXPECT_TRUE(fs::is_empty(m.folder / "pasta"));
}

}  // namespace
}  // namespace parlendo
