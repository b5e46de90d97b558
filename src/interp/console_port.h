// What the interpreter itself asks of the console: writing, speaking and reading a key. The
// console layer gives it over the grid, the key queue and the speech front
// (console/grid_console_port.h); the commands reach those through the services directly.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace parlendo {

class ConsolePort {
public:
    virtual ~ConsolePort() = default;
    virtual void write(std::string_view bytes) = 0;
    virtual void writeLine(std::string_view text) = 0;
    virtual void speak(std::string_view text) = 0;
    // Waits for a byte of a typed key; nothing when no key will come any more.
    virtual std::optional<uint8_t> readKey() = 0;
    // True once a read found no key and no source to type one.
    virtual bool keysExhausted() const = 0;
};

}  // namespace parlendo
