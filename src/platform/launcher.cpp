// Opening documents and addresses: the program asked for, or the desktop's handler.
#include "platform/launcher.h"

#include "platform/child_process.h"
#include "text/cp1252.h"

namespace parlendo {

namespace {

class DesktopLauncher final : public Launcher {
public:
    // An empty target starts the program without arguments (a program opened by itself).
    bool open(std::string_view program, std::string_view target, std::string_view folder) override {
        std::vector<std::string> argv;
        argv.push_back(program.empty() ? std::string("xdg-open") : text::cp1252ToUtf8(program));
        if (!target.empty()) argv.push_back(text::cp1252ToUtf8(target));
        return startDetached(argv, text::cp1252ToUtf8(folder));
    }
};

}  // namespace

std::unique_ptr<Launcher> createLauncher() { return std::make_unique<DesktopLauncher>(); }

}  // namespace parlendo
