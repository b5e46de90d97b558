// The braille display through brltty: the test starts its own brltty with the virtual driver
// and plays the display on the driver's socket (it announces its cells, reads the cells brltty
// shows and presses keys), in a folder of its own, with BrlAPI on a loopback port of its own.
#include "platform/braille_display.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "../interp/fixture.h"
#include "console/braille_mirror.h"
#include "console/braille_tables.h"
#include "console/console_grid.h"
#include "console/key_queue.h"
#include "text/cp1252_literal.h"

extern char** environ;

namespace parlendo {
namespace {

using Clock = std::chrono::steady_clock;

std::optional<std::string> brlttyPath() {
    for (const char* p : {"/usr/bin/brltty", "/bin/brltty", "/usr/sbin/brltty", "/usr/local/bin/brltty"})
        if (::access(p, X_OK) == 0) return std::string(p);
    return std::nullopt;
}

BrailleTables shippedTables() {
    std::string error;
    std::optional<BrailleTables> t =
        loadBrailleTables(std::string(PARLENDO_SOURCE_DIR) + "/data/braille/", error);
    EXPECT_TRUE(t.has_value()) << error;
    return t.value_or(BrailleTables{});
}

// Dot bits of the cells of a "Braille" line of the driver: "1|12| |...".
std::vector<int> cellsOf(const std::string& quoted) {
    std::vector<int> cells;
    int bits = 0;
    for (char c : quoted) {
        if (c == '|') {
            cells.push_back(bits);
            bits = 0;
        } else if (c >= '1' && c <= '8') {
            bits |= 1 << (c - '1');
        }
    }
    cells.push_back(bits);
    return cells;
}

// brltty with the virtual driver, and the test as the display on its socket.
class VirtualDisplay {
public:
    explicit VirtualDisplay(int apiNumber) : api_(apiNumber), folder_(testing::freshTempFolder("brltty")) {}
    VirtualDisplay(const VirtualDisplay&) = delete;
    VirtualDisplay& operator=(const VirtualDisplay&) = delete;
    ~VirtualDisplay() {
        stop();
        std::error_code ec;
        std::filesystem::remove_all(folder_, ec);
    }

    // The BrlAPI host the program connects to.
    std::string host() const { return "127.0.0.1:" + std::to_string(api_); }

    // Starts brltty and announces a display of `cells` cells to it.
    bool start(const std::string& brltty, int cells, std::string& why) {
        std::string socket = (folder_ / "vr.sock").string();
        std::filesystem::remove(socket);
        std::string f = folder_.string();
        std::vector<std::string> args = {brltty, "-n", "-e", "-q", "-b", "vr",
                                         "-x",   "no", "-s", "no", "-f", "/dev/null"};
        for (const std::string& o :
             {"-d=server:" + socket, "-A=auth=none,host=" + host(), "-F=" + f + "/prefs", "-W=" + f,
              "-U=" + f, "-P=" + f + "/pid", "-L=" + f + "/log"}) {
            args.push_back(o.substr(0, 2));
            args.push_back(o.substr(3));
        }
        std::vector<char*> argv;
        argv.reserve(args.size() + 1);
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, (f + "/out").c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        int r = posix_spawn(&pid_, brltty.c_str(), &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (r != 0) {
            why = "brltty could not be started";
            return false;
        }
        fd_ = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        socket.copy(address.sun_path, sizeof address.sun_path - 1);
        bool connected = false;
        for (int i = 0; i < 100 && !connected; ++i) {
            connected = ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
            if (!connected) std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        if (!connected) {
            why = "brltty's virtual driver did not listen on " + socket;
            return false;
        }
        send("cells " + std::to_string(cells));
        return true;
    }

    void stop() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        pid_ = -1;
    }

    void send(const std::string& line) {
        std::string l = line + "\n";
        ASSERT_EQ(::write(fd_, l.data(), l.size()), static_cast<ssize_t>(l.size()));
    }

    // Reads what brltty sends while `pump` runs, until a "Braille" line passes `wanted`.
    std::optional<std::vector<int>> waitForCells(const std::function<bool(const std::vector<int>&)>& wanted,
                                                 const std::function<void()>& pump, int ms = 8000) {
        auto end = Clock::now() + std::chrono::milliseconds(ms);
        while (Clock::now() < end) {
            pump();
            char buf[4096];
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, 20) > 0) {
                ssize_t n = ::read(fd_, buf, sizeof buf);
                if (n <= 0) return std::nullopt;
                pending_.append(buf, static_cast<size_t>(n));
            }
            for (size_t nl; (nl = pending_.find('\n')) != std::string::npos;) {
                std::string line = pending_.substr(0, nl);
                pending_.erase(0, nl + 1);
                if (line.rfind("Braille \"", 0) != 0) continue;
                std::vector<int> cells = cellsOf(line.substr(9, line.size() - 10));
                if (wanted(cells)) return cells;
            }
        }
        return std::nullopt;
    }

private:
    int api_;
    std::filesystem::path folder_;
    pid_t pid_ = -1;
    int fd_ = -1;
    std::string pending_;
};

// A BrlAPI number of the test's own: ports 4101 and up, away from a daemon's usual 4101.
int apiNumber(int offset) { return 60 + (static_cast<int>(::getpid()) % 200) * 3 + offset; }

// The dots the console's tables give a braille code text, padded to `cells`.
std::vector<int> dotsOf(const BrailleTables& tables, const std::string& code, size_t cells) {
    std::vector<int> dots;
    for (size_t i = 0; i < cells; ++i)
        dots.push_back(tables.dotsOf[static_cast<uint8_t>(i < code.size() ? code[i] : ' ')]);
    return dots;
}

// Bytes waiting in the queue.
std::string queued(KeyQueue& keys) {
    std::string bytes;
    while (keys.size() > 0) bytes.push_back(static_cast<char>(*keys.readKey()));
    return bytes;
}

struct Console {
    ConsoleGrid grid;
    KeyQueue keys;
    BrailleTables tables = shippedTables();
    std::unique_ptr<BrailleMirror> mirror;

    explicit Console(const std::string& host) {
        BrailleDisplayOptions options;
        options.host = host;
        options.auth = "none";
        options.retryMs = 100;
        mirror = std::make_unique<BrailleMirror>(grid, keys, tables, openBrailleDisplay(options));
    }
    void pump() { mirror->pump(); }
    // Pumps until the queue holds `count` bytes or the time is up.
    std::string awaitKeys(size_t count) {
        auto end = Clock::now() + std::chrono::seconds(5);
        while (keys.size() < count && Clock::now() < end) {
            pump();
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return queued(keys);
    }
};

TEST(BrailleDisplay, CursorRowShownAndKeysTyped) {
    std::optional<std::string> brltty = brlttyPath();
    if (!brltty) GTEST_SKIP() << "brltty is not installed";
    VirtualDisplay display(apiNumber(0));
    std::string why;
    ASSERT_TRUE(display.start(*brltty, 40, why)) << why;
    Console c(display.host());

    c.grid.write("Casa 12 (texto)");
    std::vector<int> expected = dotsOf(c.tables, "{casa #ab (.texto\\)", 40);
    auto same = [&](const std::vector<int>& cells) { return cells == expected; };
    ASSERT_TRUE(display.waitForCells(same, [&] { c.pump(); })) << "the row never reached the display";
    EXPECT_EQ(c.mirror->shownText().substr(0, 20), "{casa #ab (.texto\\) ");
    // The row of the cursor, after a new line and after text written on it.
    c.grid.write("\nFim");
    expected = dotsOf(c.tables, "{fim", 40);
    EXPECT_TRUE(display.waitForCells(same, [&] { c.pump(); }));
    // A row of 80 characters is cut to the display's 40 cells.
    c.grid.gotoXY(1, 5);
    c.grid.write(std::string(80, 'x'));
    c.grid.gotoXY(1, 5);
    expected = dotsOf(c.tables, std::string(40, 'x'), 40);
    EXPECT_TRUE(display.waitForCells(same, [&] { c.pump(); }));

    // Panning and moving by lines are the up and down arrows.
    display.send("LnUp");
    EXPECT_EQ(c.awaitKeys(2), std::string("\0\x48", 2));
    // Dots typed on the display's keyboard (the driver takes them as dot bits): dots 1 2 are b.
    display.send("PassDots 3");
    EXPECT_EQ(c.awaitKeys(1), "b");

    // A routing key is nothing while no reader wants it, and the column under it when one does:
    // on "xxx...", the third cell (the driver counts them from 0) stands over column 3.
    display.send("Route 2");
    EXPECT_EQ(c.awaitKeys(1), "");
    c.keys.setRoutingWanted(true);
    display.send("Route 2");
    c.awaitKeys(0);
    for (auto end = Clock::now() + std::chrono::seconds(5); c.keys.size() == 0 && Clock::now() < end;)
        c.pump();
    ASSERT_EQ(c.keys.size(), 1U);
    EXPECT_EQ(c.keys.readKey(), 0);
    EXPECT_EQ(c.keys.routedColumn(), 3);
}

TEST(BrailleDisplay, DaemonGoneAndBack) {
    std::optional<std::string> brltty = brlttyPath();
    if (!brltty) GTEST_SKIP() << "brltty is not installed";
    int number = apiNumber(2);
    auto display = std::make_unique<VirtualDisplay>(number);
    std::string why;
    ASSERT_TRUE(display->start(*brltty, 40, why)) << why;
    Console c(display->host());
    c.grid.write("um");
    auto um = [&](const std::vector<int>& v) { return v == dotsOf(c.tables, "um", 40); };
    ASSERT_TRUE(display->waitForCells(um, [&] { c.pump(); }));

    // brltty dies: the console goes on, and no pump waits for the daemon.
    display->stop();
    auto before = Clock::now();
    for (int i = 0; i < 10; ++i) {
        c.grid.write(" e");
        c.pump();
    }
    EXPECT_LT(Clock::now() - before, std::chrono::milliseconds(500));

    // A new one with a display of 200 cells: the row comes back, padded to them.
    display = std::make_unique<VirtualDisplay>(number);
    ASSERT_TRUE(display->start(*brltty, 200, why)) << why;
    c.grid.write(" dois");
    std::string row = "um";
    for (int i = 0; i < 10; ++i) row += " e";
    row += " dois";
    auto back = [&](const std::vector<int>& v) { return v == dotsOf(c.tables, row, 200); };
    EXPECT_TRUE(display->waitForCells(
        back, [&] { c.pump(); }, 15000))
        << "no reconnection";
}

// A display of the test's own, without brltty: its cells, what it was shown, keys to press.
class FakeDisplay final : public BrailleDisplay {
public:
    int cells() const override { return cells_; }
    void show(std::vector<uint8_t> dots) override { shown.push_back(std::move(dots)); }
    std::vector<BrailleKey> takeKeys() override { return std::exchange(keys, {}); }
    unsigned connection() const override { return connection_; }

    int cells_ = 0;
    unsigned connection_ = 0;
    std::vector<std::vector<uint8_t>> shown;
    std::vector<BrailleKey> keys;
};

TEST(BrailleMirror, KeysAndSizes) {
    ConsoleGrid grid;
    KeyQueue keys;
    auto owned = std::make_unique<FakeDisplay>();
    FakeDisplay& display = *owned;
    BrailleTables tables = shippedTables();
    BrailleMirror mirror(grid, keys, tables, std::move(owned));

    // No cells, nothing shown; a display of 0 cells neither.
    grid.write("Oi");
    mirror.pump();
    EXPECT_TRUE(display.shown.empty());
    // 200 cells: the row padded with blank cells; shown once until something changes.
    display.cells_ = 200;
    display.connection_ = 1;
    mirror.pump();
    mirror.pump();
    ASSERT_EQ(display.shown.size(), 1U);
    ASSERT_EQ(display.shown[0].size(), 200U);
    EXPECT_EQ(display.shown[0][0], tables.dotsOf['{']);
    EXPECT_EQ(display.shown[0][2], tables.dotsOf['i']);
    EXPECT_EQ(display.shown[0][199], 0);
    // The same row again on a new connection (brltty came back).
    display.connection_ = 2;
    mirror.pump();
    EXPECT_EQ(display.shown.size(), 2U);
    // The cursor moving to another row shows that row: "Ab 1" is "{ab #a".
    grid.gotoXY(1, 3);
    grid.write("Ab 1");
    grid.gotoXY(1, 3);
    mirror.pump();
    ASSERT_EQ(display.shown.size(), 3U);
    EXPECT_EQ(mirror.shownText().substr(0, 7), "{ab #a ");
    // Routing keys give the column of the character a cell stands for: "{a" column 1, "#a"
    // column 4, then the row's blanks, two columns behind the cells.
    keys.setRoutingWanted(true);
    std::vector<int> columns;
    for (int cell : {0, 1, 2, 4, 5, 6, 199}) {
        display.keys = {BrailleKey{BrailleKey::Route, cell}};
        mirror.pump();
        columns.push_back(keys.readKey() == 0 ? keys.routedColumn() : -1);
    }
    EXPECT_EQ(columns, (std::vector<int>{1, 1, 2, 4, 4, 5, -1})) << "the last cell is past the 80 columns";
    keys.setRoutingWanted(false);

    using K = BrailleKey;
    display.keys = {K{K::Dots, 3},      K{K::Dots, 4},         K{K::Dots, 49},  K{K::Dots, 64},
                    K{K::Dots, 128},    K{K::Dots, 192},       K{K::Dots, 256}, K{K::Dots, 256 | 3},
                    K{K::Dots, 64 | 3}, K{K::Character, 0xE7}, K{K::LineUp},    K{K::LineDown}};
    mirror.pump();
    // b . @, Backspace, Enter, Esc, a blank, Ctrl+B (b reduced to its low five bits), dots 1 2
    // with dot 7 read as their six dots, a character as it came, up and down.
    EXPECT_EQ(queued(keys), std::string("b.@\b\r\x1b \x02") + "b\xE7" + std::string("\0H\0P", 4));
    // The space bar with dots whose character has no control code gives nothing; dots 7 and 8
    // with the space bar neither.
    display.keys = {K{K::Dots, 256 | 49}, K{K::Dots, 256 | 64}};
    mirror.pump();
    EXPECT_EQ(keys.size(), 0U);
    // A routing key past the cells, or with no reader, routes nowhere.
    display.keys = {K{K::Route, 3}};
    mirror.pump();
    keys.setRoutingWanted(true);
    display.keys = {K{K::Route, 500}, K{K::Route, -1}};
    mirror.pump();
    EXPECT_EQ(keys.size(), 0U);
}

TEST(BrailleTables, ShippedAndMalformed) {
    // The capital sign (46), the number sign (3456), "." (3), ç (12346); capitals with dot 7,
    // digits with dot 8; the display's keys as the keyboard's but for dots 3 and 156.
    BrailleTables t = shippedTables();
    EXPECT_EQ((std::vector<int>{t.dotsOf['{'], t.dotsOf['#'], t.dotsOf['.'], t.dotsOf[0xE7], t.dotsOf['A'],
                                t.dotsOf['1']}),
              (std::vector<int>{0x28, 0x3C, 0x04, 0x2F, 0x41, 0x81}));
    EXPECT_EQ((std::vector<int>{t.keyOf[0x03], t.keyOf[0x04], t.keyOf[0x31], t.keyOf[0x2F]}),
              (std::vector<int>{'b', '.', '@', 0xE7}));
    int bad = 0;
    // Code 256, dot 9, a dot twice, a code twice, a line of one field: the line is named.
    for (const char* text :
         {"; ok\n65 17\n256 1\n", "\n\n65 19\n", "\n;\n65 11\n", "65 1\n66 1\n65 2\n", "\n\n65\n"}) {
        EXPECT_FALSE(parseBrailleCharacters(text, bad)) << text;
        EXPECT_EQ(bad, 3) << text;
    }
    EXPECT_FALSE(parseBrailleKeys("7 65\n", bad));
    auto keys = parseBrailleKeys("\r\n  ; cells\n1 97 a\n12\t98\r\n", bad);
    ASSERT_TRUE(keys);
    EXPECT_EQ((std::vector<int>{(*keys)[1], (*keys)[3], (*keys)[2]}), (std::vector<int>{'a', 'b', ' '}));
}

}  // namespace
}  // namespace parlendo
