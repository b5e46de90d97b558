// The text clipboard: the desktop's when a clipboard tool is present, otherwise one inside the
// process. Texts are Windows-1252 here; the desktop gets UTF-8.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace parlendo {

class Clipboard {
public:
    virtual ~Clipboard() = default;
    virtual bool copy(std::string_view text) = 0;
    // The clipboard's text; empty when there is none.
    virtual std::string paste() = 0;
    // False for a clipboard that lives only inside this program and goes with it.
    virtual bool shared() const { return true; }
};

class InProcessClipboard final : public Clipboard {
public:
    bool copy(std::string_view text) override {
        text_ = text;
        return true;
    }
    std::string paste() override { return text_; }
    bool shared() const override { return false; }

private:
    std::string text_;
};

// wl-copy/wl-paste under Wayland, xclip or xsel under X, when present; otherwise in-process.
std::unique_ptr<Clipboard> createClipboard();

// A clipboard kept by two commands: one that takes the text on its input and one that writes it
// on its output (UTF-8 on their side).
std::unique_ptr<Clipboard> createCommandClipboard(std::vector<std::string> copyCommand,
                                                  std::vector<std::string> pasteCommand);

}  // namespace parlendo
