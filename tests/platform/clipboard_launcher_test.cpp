// Helper programs, the command clipboard and the launcher, tried with the shell's own tools.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "../interp/fixture.h"
#include "platform/child_process.h"
#include "platform/clipboard.h"
#include "platform/launcher.h"

namespace parlendo {
namespace {

namespace fs = std::filesystem;
using testing::freshTempFolder;

std::string readWhole(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// Waits for a detached program to leave its mark.
bool appears(const fs::path& p) {
    for (int i = 0; i < 500 && !fs::exists(p); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return fs::exists(p);
}

TEST(ChildProcess, RunsHelpersThroughPipes) {
    EXPECT_TRUE(findProgram("sh"));
    EXPECT_FALSE(findProgram("no-such-program-here"));
    EXPECT_FALSE(findProgram(""));

    EXPECT_EQ(runForOutput({"sh", "-c", "printf 'a b'"}, 5000, 100), "a b");
    EXPECT_EQ(runForOutput({"sh", "-c", "printf abcdef"}, 5000, 3), "abc") << "cut to the limit";
    EXPECT_EQ(runForOutput({"sh", "-c", "exit 3"}, 5000, 100), std::nullopt) << "a failed tool gives nothing";
    EXPECT_EQ(runForOutput({"no-such-program-here"}, 5000, 100), std::nullopt);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(runForOutput({"sleep", "10"}, 200, 100), std::nullopt);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5))
        << "a stuck tool is not waited for";

    fs::path folder = freshTempFolder("child");
    fs::path out = folder / "got";
    std::string big(200000, 'x');  // more than a pipe holds
    EXPECT_TRUE(runWithInput({"sh", "-c", "cat > \"$0\"", out.string()}, big, 5000));
    EXPECT_EQ(readWhole(out), big);
    EXPECT_FALSE(runWithInput({"true"}, big, 5000)) << "a tool that does not read its input";
    fs::remove_all(folder);
}

TEST(ChildProcess, CommandClipboardSpeaksUtf8) {
    fs::path folder = freshTempFolder("clip");
    fs::path store = folder / "clip";
    auto clipboard =
        createCommandClipboard({"sh", "-c", "cat > \"$0\"", store.string()}, {"cat", store.string()});
    EXPECT_TRUE(clipboard->copy("a\xE7\xE3o"));
    EXPECT_EQ(readWhole(store), "a\xC3\xA7\xC3\xA3o") << "the desktop gets UTF-8";
    std::ofstream(store, std::ios::binary) << "\xE2\x82\xAC 1";
    EXPECT_EQ(clipboard->paste(), "\x80 1") << "and gives UTF-8 back";
    fs::remove(store);
    EXPECT_EQ(clipboard->paste(), "") << "nothing to paste";
    fs::remove_all(folder);
}

TEST(ChildProcess, WithoutADesktopTheClipboardIsInTheProcess) {
    std::string wayland = std::getenv("WAYLAND_DISPLAY") ? std::getenv("WAYLAND_DISPLAY") : "";
    std::string display = std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "";
    ::unsetenv("WAYLAND_DISPLAY");
    ::unsetenv("DISPLAY");
    auto clipboard = createClipboard();
    if (!wayland.empty()) ::setenv("WAYLAND_DISPLAY", wayland.c_str(), 1);
    if (!display.empty()) ::setenv("DISPLAY", display.c_str(), 1);
    EXPECT_NE(dynamic_cast<InProcessClipboard*>(clipboard.get()), nullptr);
}

TEST(ChildProcess, LauncherStartsDetachedInTheFolder) {
    fs::path folder = freshTempFolder("launch");
    std::ofstream(folder / "marca.sh") << "sleep 1; pwd > onde\n";
    auto launcher = createLauncher();
    auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(launcher->open("sh", "marca.sh", folder.string()));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(800)) << "not waited for";
    ASSERT_TRUE(appears(folder / "onde"));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(readWhole(folder / "onde"), fs::canonical(folder).string() + "\n");

    EXPECT_FALSE(launcher->open("no-such-program-here", "x", folder.string()));
    EXPECT_FALSE(launcher->open("sh", "marca.sh", (folder / "missing").string()))
        << "a folder that is not there";
    fs::remove_all(folder);
}

}  // namespace
}  // namespace parlendo
