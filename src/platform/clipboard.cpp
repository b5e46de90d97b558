// The desktop's clipboard through its command-line tools, UTF-8 on their side.
#include "platform/clipboard.h"

#include "platform/child_process.h"
#include "platform/environment.h"
#include "text/cp1252.h"

namespace parlendo {

namespace {

// A clipboard tool that answers within this time has answered; one that does not is stuck
// (an owner of the selection that went away) and must not hang the editor.
constexpr int kToolTimeoutMs = 2000;
// More than any line the editor keeps, and a bound on what a paste can bring in.
constexpr size_t kLongestPaste = size_t{1} << 20;

class CommandClipboard final : public Clipboard {
public:
    CommandClipboard(std::vector<std::string> copyCommand, std::vector<std::string> pasteCommand)
        : copyCommand_(std::move(copyCommand)), pasteCommand_(std::move(pasteCommand)) {}

    bool copy(std::string_view text) override {
        return runWithInput(copyCommand_, text::cp1252ToUtf8(text), kToolTimeoutMs);
    }
    std::string paste() override {
        std::optional<std::string> utf8 = runForOutput(pasteCommand_, kToolTimeoutMs, kLongestPaste);
        return utf8 ? text::externalToCp1252(*utf8) : std::string();
    }

private:
    std::vector<std::string> copyCommand_;
    std::vector<std::string> pasteCommand_;
};

bool present(const char* program) { return findProgram(program).has_value(); }

}  // namespace

std::unique_ptr<Clipboard> createCommandClipboard(std::vector<std::string> copyCommand,
                                                  std::vector<std::string> pasteCommand) {
    return std::make_unique<CommandClipboard>(std::move(copyCommand), std::move(pasteCommand));
}

std::unique_ptr<Clipboard> createClipboard() {
    if (environmentVariable("WAYLAND_DISPLAY") && present("wl-copy") && present("wl-paste"))
        return createCommandClipboard({"wl-copy"}, {"wl-paste", "--no-newline"});
    if (environmentVariable("DISPLAY")) {
        if (present("xclip"))
            return createCommandClipboard({"xclip", "-selection", "clipboard", "-in"},
                                          {"xclip", "-selection", "clipboard", "-out"});
        if (present("xsel"))
            return createCommandClipboard({"xsel", "--clipboard", "--input"},
                                          {"xsel", "--clipboard", "--output"});
    }
    return std::make_unique<InProcessClipboard>();
}

}  // namespace parlendo
