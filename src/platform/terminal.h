// The controlling terminal: raw keyboard input, its size, waiting for input, and putting the
// terminal back as it was on every way out of the program, signals and crashes included.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace parlendo {

struct TerminalSize {
    int columns = 80;
    int rows = 25;
    // Pixels of one character cell, when the terminal says; 0 when it does not.
    int cellWidth = 0;
    int cellHeight = 0;
};

// True when standard input and standard output are both terminals.
bool standardStreamsAreTerminals();
// True when standard input is a terminal.
bool standardInputIsTerminal();
// True when standard error is a terminal, the one standard output is.
bool standardErrorIsOutputTerminal();

// Characters go to and come from the terminal as UTF-8: takes the user's character set when it
// is UTF-8, otherwise C.UTF-8. False when no UTF-8 character set is to be had.
bool useUtf8Characters();

// Standard input and output as a terminal in raw mode. While one is open, SIGTERM, SIGHUP,
// SIGINT, SIGQUIT and the crash signals (SIGSEGV, SIGABRT, SIGBUS, SIGFPE, SIGILL) first write
// the restore bytes given by the screen library, put the saved terminal mode back, and then take
// their usual course (the signal is raised again with its default action). A normal end restores
// in the destructor; an exit() that skips it restores through atexit. Only one can be open.
class RawTerminal {
public:
    // Nothing when standard input or output is not a terminal, or one is open already.
    static std::unique_ptr<RawTerminal> open();
    ~RawTerminal();
    RawTerminal(const RawTerminal&) = delete;
    RawTerminal& operator=(const RawTerminal&) = delete;

    // Keys arrive byte by byte, without echo, line editing, flow control, CR-to-LF translation,
    // or signals from Ctrl+C, Ctrl+\ and Ctrl+Z (the editor uses those keys). Output settings
    // stay as the screen library left them.
    bool enterRawMode();
    // The byte the terminal sends for Backspace (its erase character), 8 or 127.
    uint8_t eraseByte() const { return eraseByte_; }
    // Bytes that undo the screen set-up (mouse reports off, normal screen, cursor shown), written
    // before the mode is restored on an abnormal end. At most 255 bytes are kept.
    void setRestoreBytes(std::string_view bytes);

    TerminalSize size() const;

    enum class Wait { Input, Resized, TimedOut };
    // Waits up to `timeoutMs` (-1: without limit) for input or a change of size.
    Wait wait(int timeoutMs);
    // Reads what has arrived without waiting: empty when nothing has, nothing at the end of
    // input (the terminal hung up).
    std::optional<std::string> readAvailable();
    // True once after the terminal changed size.
    bool takeResized();
    // A descriptor that becomes readable on input.
    int inputHandle() const;
    // Writes bytes straight to standard output (for sequences beside the screen library's).
    void write(std::string_view bytes);
    // Puts the saved mode back while another program uses the terminal; enterRawMode() takes it
    // again. The signal handlers stay.
    void suspend();
    // Puts the saved mode back and removes the signal handlers; the destructor calls it.
    void restore();

private:
    RawTerminal() = default;
    uint8_t eraseByte_ = 127;
    bool restored_ = false;
};

}  // namespace parlendo
