// The window, key and mouse commands on a real X server of their own (Xvfb, no window
// manager), with xmessage and xterm windows; checked with the X tools and what the programs
// received. Skipped when Xvfb or the programs are missing.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>
#include <sstream>
#include <thread>

#include "../interp/fixture.h"
#include "platform/child_process.h"
#include "platform/desktop.h"

namespace parlendo {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// A program started for a test, ended with it.
class Program {
public:
    Program(const std::vector<std::string>& argv, const std::string& display, int keepFd = -1) {
        pid_ = ::fork();
        if (pid_ == 0) {
            if (!display.empty()) ::setenv("DISPLAY", display.c_str(), 1);
            ::setenv("LC_ALL", "C.UTF-8", 1);
            int devnull = ::open("/dev/null", O_RDWR);
            ::dup2(devnull, 0);
            ::dup2(devnull, 1);
            ::dup2(devnull, 2);
            for (int fd = 3; fd < 256; ++fd)
                if (fd != keepFd) ::close(fd);
            std::vector<char*> args;
            for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
            args.push_back(nullptr);
            ::execvp(args[0], args.data());
            ::_exit(127);
        }
    }
    ~Program() {
        if (pid_ > 0 && !ended_) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // The exit status once the program has ended within the time; nothing otherwise.
    std::optional<int> ended(int timeoutMs) {
        auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                ended_ = true;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            if (Clock::now() > end) return std::nullopt;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }

private:
    pid_t pid_ = -1;
    bool ended_ = false;
};

std::string readWhole(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// The file once it holds a whole line of the test's terminals (they write it at Enter).
std::string waitForFile(const fs::path& p, int timeoutMs = 5000) {
    auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!fs::exists(p) && Clock::now() < end) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    return readWhole(p);
}

// Starts an X server on a free display; gives its name (":1"), or nothing when it did not start.
// Xvfb picks the number itself and writes it once it accepts connections.
std::string startServer(std::unique_ptr<Program>& server) {
    int fds[2];
    if (::pipe(fds) != 0) return {};
    server = std::make_unique<Program>(
        std::vector<std::string>{"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", "1024x768x24",
                                 "-nolisten", "tcp", "-noreset"},
        "", fds[1]);
    ::close(fds[1]);
    std::string number;
    pollfd p{fds[0], POLLIN, 0};
    auto end = Clock::now() + std::chrono::seconds(15);
    while (Clock::now() < end && number.find('\n') == std::string::npos) {
        if (::poll(&p, 1, 200) <= 0) continue;
        char buf[16];
        ssize_t n = ::read(fds[0], buf, sizeof buf);
        if (n <= 0) break;
        number.append(buf, static_cast<size_t>(n));
    }
    ::close(fds[0]);
    if (number.find('\n') == std::string::npos) {
        server.reset();
        return {};
    }
    return ":" + number.substr(0, number.find('\n'));
}

class X11Desktop : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        for (const char* tool : {"Xvfb", "xmessage", "xterm", "xprop", "xwininfo"})
            if (!findProgram(tool)) {
                skipReason_ = std::string(tool) + " is not installed";
                return;
            }
        display_ = startServer(server_);
        if (display_.empty()) skipReason_ = "Xvfb did not start";
    }
    static void TearDownTestSuite() { server_.reset(); }

    void SetUp() override {
        if (!skipReason_.empty()) GTEST_SKIP() << skipReason_;
        desktop_ = openX11Desktop(display_);
        ASSERT_TRUE(desktop_) << "cannot open " << display_;
        m_.in.services.desktop = desktop_.get();
        folder_ = testing::freshTempFolder("x11");
    }
    void TearDown() override {
        std::error_code ec;
        if (!folder_.empty()) fs::remove_all(folder_, ec);
    }

    // An X tool's output on the test's display.
    std::string tool(std::vector<std::string> argv) {
        argv.insert(argv.begin(), {"env", "DISPLAY=" + display_});
        return runForOutput(argv, 5000, 100000).value_or("");
    }
    std::unique_ptr<Program> start(const std::vector<std::string>& argv) {
        return std::make_unique<Program>(argv, display_);
    }
    // A terminal whose shell reads one line into the file `out`; it leaves its window id in
    // `out`.id once the shell runs (a key typed before xterm's child has set up the terminal can
    // be thrown away with the input it flushes).
    std::unique_ptr<Program> startReader(const std::string& title, const fs::path& out) {
        auto term = start({"xterm", "-u8", "-T", title, "-e", "sh", "-c",
                           "echo $WINDOWID > \"$0.id\"; read l; printf %s \"$l\" > \"$0\"", out.string()});
        fs::path ready = out.string() + ".id";
        auto end = Clock::now() + std::chrono::seconds(10);
        while (!fs::exists(ready) && Clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        return term;
    }
    // Waits until a window with the title is on the screen.
    bool shown(const std::string& title) {
        auto end = Clock::now() + std::chrono::seconds(10);
        while (Clock::now() < end) {
            for (const WindowInfo& w : desktop_->windows())
                if (w.title == title && w.visible) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }
    std::string mapState(const std::string& title) {
        std::smatch match;
        std::string info = tool({"xwininfo", "-name", title});
        static const std::regex state("Map State: (\\w+)");
        return std::regex_search(info, match, state) ? match[1].str() : "";
    }
    int width(const std::string& title) {
        std::smatch match;
        std::string info = tool({"xwininfo", "-name", title});
        static const std::regex w("Width: (\\d+)");
        return std::regex_search(info, match, w) ? std::stoi(match[1].str()) : -1;
    }
    int64_t io() { return m_.in.ioStatus; }

    static inline std::string skipReason_;
    static inline std::string display_;
    static inline std::unique_ptr<Program> server_;
    std::unique_ptr<Desktop> desktop_;
    testing::Machine m_;
    fs::path folder_;
};

TEST_F(X11Desktop, JanelaFindsMinimisesMaximisesAndClosesAWindow) {
    const std::string title = "Janela de teste parlendo";
    auto message = start({"xmessage", "-geometry", "+200+150", "-title", title, "uma mensagem"});
    ASSERT_TRUE(shown(title));

    EXPECT_TRUE(m_.exec("janela minimiza \"*JANELA DE TESTE\""));
    EXPECT_EQ(io(), 0);
    EXPECT_NE(tool({"xprop", "-name", title, "WM_STATE"}).find("Iconic"), std::string::npos);
    EXPECT_EQ(mapState(title), "IsUnMapped");

    EXPECT_TRUE(m_.exec("janela normal \"parlendo*\"")) << "a minimised window is still found";
    EXPECT_EQ(io(), 0);
    EXPECT_EQ(mapState(title), "IsViewable");
    EXPECT_TRUE(m_.exec("captura titulo t"));
    EXPECT_EQ(m_.var("t"), title) << "shown normally with the focus";
    int normalWidth = width(title);

    EXPECT_TRUE(m_.exec("janela maximiza \"de teste\""));
    EXPECT_GE(width(title), 1000);
    EXPECT_NE(tool({"xprop", "-name", title, "_NET_WM_STATE"}).find("_NET_WM_STATE_MAXIMIZED_HORZ"),
              std::string::npos);
    EXPECT_TRUE(m_.exec("janela normal \"de teste\""));
    EXPECT_EQ(width(title), normalWidth) << "the size before the maximise comes back";

    EXPECT_TRUE(m_.exec("janela fecha \"planilha\""));
    EXPECT_EQ(io(), 1) << "nothing matches";
    EXPECT_TRUE(m_.exec("janela fecha \"*janela de teste parlendo*\""));
    EXPECT_EQ(io(), 0);
    EXPECT_TRUE(message->ended(5000)) << "xmessage leaves when asked to close its window";
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_TRUE(m_.exec("janela fecha \"janela de teste\""));
    EXPECT_EQ(io(), 1) << "the window is gone";
}

TEST_F(X11Desktop, DigitaTypesIntoATerminal) {
    const std::string title = "Entrada parlendo";
    fs::path out = folder_ / "digitado";
    auto term = startReader(title, out);
    ASSERT_TRUE(shown(title));
    ASSERT_TRUE(m_.exec("janela normal \"entrada parlendo\""));
    EXPECT_TRUE(m_.exec("captura ativa t"));
    EXPECT_EQ(m_.var("t"), title);
    // Xvfb's US keyboard map has neither the accented letters nor dead keys: each letter is
    // typed as itself.
    EXPECT_TRUE(m_.exec("digita \"Olá, ação! À ü ç Ñ ~x^ € ÿ\""));
    EXPECT_EQ(
        waitForFile(out),
        "Ol\xC3\xA1, a\xC3\xA7\xC3\xA3o! \xC3\x80 \xC3\xBC \xC3\xA7 \xC3\x91 ~x^ \xE2\x82\xAC \xC3\xBF");
    EXPECT_TRUE(term->ended(5000));
}

TEST_F(X11Desktop, DigitaUsesTheDeadKeysOfTheKeyboardMap) {
    if (!findProgram("xmodmap")) GTEST_SKIP() << "xmodmap is not installed";
    EXPECT_FALSE(desktop_->typeDeadKey('~')) << "no dead tilde on the US map";
    const std::string title = "Acentos parlendo";
    fs::path out = folder_ / "acentos";
    auto term = startReader(title, out);
    ASSERT_TRUE(shown(title));
    std::string saved = tool({"xmodmap", "-pke"});
    tool({"xmodmap", "-e", "keycode 48 = dead_acute dead_diaeresis", "-e",
          "keycode 49 = dead_grave dead_tilde", "-e", "keycode 51 = dead_circumflex bar"});
    ASSERT_TRUE(m_.exec("janela normal \"acentos parlendo\""));
    EXPECT_TRUE(m_.exec("digita \"ação é ü ò Ô\""));
    EXPECT_EQ(waitForFile(out), "a\xC3\xA7\xC3\xA3o \xC3\xA9 \xC3\xBC \xC3\xB2 \xC3\x94")
        << "the terminal composed the dead keys with the letters";
    tool({"xmodmap", "-e", "keycode 48 = apostrophe quotedbl", "-e", "keycode 49 = grave asciitilde", "-e",
          "keycode 51 = backslash bar"});
    EXPECT_TRUE(term->ended(5000));
}

TEST_F(X11Desktop, AcionaPressesKeysAndCombinations) {
    const std::string title = "Teclas parlendo";
    fs::path out = folder_ / "teclas";
    auto term = startReader(title, out);
    ASSERT_TRUE(shown(title));
    ASSERT_TRUE(m_.exec("janela normal \"teclas parlendo\""));
    for (std::string line : {"aciona \"x\"", "aciona \"z\"", "aciona \"BACKSPACE\"", "aciona \"shift+y\"",
                             "aciona \"#49\"", "aciona \"A\"", "aciona \"shift+.\""})
        EXPECT_TRUE(m_.exec(line)) << line;
    EXPECT_FALSE(m_.exec("aciona \"SHIFT+CTRL+X\""));
    EXPECT_TRUE(m_.exec("aciona \"ENTER\""));
    // A single character presses its key alone ("A" is the key of "a"); Shift with "." gives
    // ">" on a US map.
    EXPECT_EQ(waitForFile(out), "xY1a>");
    EXPECT_TRUE(term->ended(5000));

    // The console's window is the terminal's, as the terminal says.
    std::string windowId = waitForFile(out.string() + ".id");
    while (!windowId.empty() && windowId.back() == '\n') windowId.pop_back();
    ASSERT_FALSE(windowId.empty());
    ::setenv("WINDOWID", windowId.c_str(), 1);
    EXPECT_TRUE(m_.exec("handle h"));
    EXPECT_EQ(m_.var("h"), windowId);
    ::unsetenv("WINDOWID");
}

TEST_F(X11Desktop, FocoIsTheConsolesTitleWhileItHasTheFocus) {
    const std::string console = "Console parlendo", other = "Outra parlendo";
    fs::path id = folder_ / "janela";
    auto term =
        start({"xterm", "-T", console, "-e", "sh", "-c", "echo $WINDOWID > \"$0\"; sleep 30", id.string()});
    auto message = start({"xmessage", "-geometry", "+500+400", "-title", other, "outra"});
    ASSERT_TRUE(shown(console));
    ASSERT_TRUE(shown(other));
    std::string windowId = waitForFile(id);
    while (!windowId.empty() && windowId.back() == '\n') windowId.pop_back();
    ::setenv("WINDOWID", windowId.c_str(), 1);
    EXPECT_TRUE(m_.exec("janela normal \"console parlendo\""));
    EXPECT_TRUE(m_.exec("captura foco f"));
    EXPECT_EQ(m_.var("f"), console);
    EXPECT_TRUE(m_.exec("janela normal \"outra parlendo\""));
    EXPECT_TRUE(m_.exec("captura foco f"));
    EXPECT_EQ(m_.var("f"), "") << "another program's window has the focus";
    EXPECT_TRUE(m_.exec("captura titulo t"));
    EXPECT_EQ(m_.var("t"), other);
    EXPECT_TRUE(m_.exec("espera 1 \"OUTRA\""));
    EXPECT_EQ(io(), 0);
    EXPECT_TRUE(m_.exec("espera 1 \"console\""));
    EXPECT_EQ(io(), 1);
    ::unsetenv("WINDOWID");
}

// The button of an xmessage: its centre on the screen, from xwininfo's tree (the last window
// listed; xmessage puts its buttons after the text).
std::optional<std::pair<int, int>> buttonCentre(const std::string& tree) {
    static const std::regex geometry("(\\d+)x(\\d+)\\+-?\\d+\\+-?\\d+\\s+\\+(-?\\d+)\\+(-?\\d+)");
    std::optional<std::pair<int, int>> last;
    for (auto it = std::sregex_iterator(tree.begin(), tree.end(), geometry); it != std::sregex_iterator();
         ++it) {
        int w = std::stoi((*it)[1]), h = std::stoi((*it)[2]), x = std::stoi((*it)[3]),
            y = std::stoi((*it)[4]);
        last = std::make_pair(x + w / 2, y + h / 2);
    }
    return last;
}

TEST_F(X11Desktop, ClicaClicksInTheWindowInFrontAndOnTheScreen) {
    const std::string title = "Clique parlendo";
    auto message =
        start({"xmessage", "-geometry", "+300+200", "-title", title, "-buttons", "sim:7", "uma pergunta"});
    ASSERT_TRUE(shown(title));
    auto centre = buttonCentre(tool({"xwininfo", "-name", title, "-tree"}));
    ASSERT_TRUE(centre);
    ASSERT_TRUE(m_.exec("janela normal \"clique parlendo\""));
    EXPECT_TRUE(m_.exec("clica nulo tela 0 0"));
    EXPECT_FALSE(message->ended(300)) << "moving the pointer does not click";
    // The window's origin for the script is its left edge plus its border (xmessage has one
    // of 1 pixel without a window manager), and 4 pixels below its top edge.
    std::string x = std::to_string(centre->first - 300 - 1), y = std::to_string(centre->second - 200 - 4);
    EXPECT_TRUE(m_.exec("clica " + x + ", " + y));
    EXPECT_EQ(message->ended(5000), 7) << "the button was clicked";

    auto again =
        start({"xmessage", "-geometry", "+100+100", "-title", title, "-buttons", "sim:9", "outra pergunta"});
    ASSERT_TRUE(shown(title));
    centre = buttonCentre(tool({"xwininfo", "-name", title, "-tree"}));
    ASSERT_TRUE(centre);
    EXPECT_TRUE(
        m_.exec("clica duplo tela " + std::to_string(centre->first) + " " + std::to_string(centre->second)));
    EXPECT_EQ(again->ended(5000), 9);
}

TEST_F(X11Desktop, NumLockIsTurnedOverWithoutKeys) {
    if (!findProgram("xset")) GTEST_SKIP() << "xset is not installed";
    auto numLock = [&] {
        std::smatch match;
        std::string q = tool({"xset", "q"});
        static const std::regex state("Num Lock:\\s+(\\w+)");
        return std::regex_search(q, match, state) ? match[1].str() : "";
    };
    std::string before = numLock();
    ASSERT_FALSE(before.empty());
    EXPECT_TRUE(m_.exec("aciona \"#144\""));
    EXPECT_NE(numLock(), before);
    EXPECT_TRUE(m_.exec("aciona \"#144\""));
    EXPECT_EQ(numLock(), before);
}

// With no X window in front and a console outside X, the console is in front. The server going
// away must not end the program (Xlib's own handlers exit): the desktop then behaves as if there
// were no display.
TEST_F(X11Desktop, ABrokenConnectionLeavesNoDisplay) {
    std::unique_ptr<Program> server;
    std::string display = startServer(server);
    ASSERT_FALSE(display.empty());
    ::unsetenv("WINDOWID");
    m_.console.setTitle("Sintonix");
    std::unique_ptr<Desktop> desktop = openX11Desktop(display, [this] { return m_.console.title(); });
    ASSERT_TRUE(desktop);
    m_.in.services.desktop = desktop.get();
    const std::string title = "Passageira parlendo";
    auto message =
        std::make_unique<Program>(std::vector<std::string>{"xmessage", "-title", title, "ola"}, display);
    bool found = false;
    for (int i = 0; i < 200 && !found; ++i) {
        for (const WindowInfo& w : desktop->windows()) found = found || w.title == title;
        if (!found) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ASSERT_TRUE(found);
    EXPECT_TRUE(m_.exec("espera 1 \"sintonix\"")) << "nothing has the focus yet";
    EXPECT_EQ(io(), 0);

    server.reset();
    EXPECT_TRUE(m_.exec("janela fecha \"passageira\""));
    EXPECT_EQ(io(), 1);
    EXPECT_TRUE(m_.exec("digita \"abc\" &"));
    EXPECT_TRUE(m_.exec("clica 1 2"));
    EXPECT_TRUE(m_.exec("captura ativa t"));
    EXPECT_EQ(m_.var("t"), "Sintonix");
    EXPECT_TRUE(desktop->windows().empty());
}

}  // namespace
}  // namespace parlendo
