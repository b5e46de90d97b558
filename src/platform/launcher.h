// Opens documents and addresses with their programs, without waiting for them.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace parlendo {

class Launcher {
public:
    virtual ~Launcher() = default;
    // Starts `program` with `target` as its argument, or, with an empty program, opens the
    // target with the desktop's handler (xdg-open). Texts are Windows-1252. False when nothing
    // could be started.
    virtual bool open(std::string_view program, std::string_view target, std::string_view folder) = 0;
};

// Remembers what it was asked to open, for tests.
class RecordingLauncher final : public Launcher {
public:
    struct Request {
        std::string program, target, folder;
    };
    bool open(std::string_view program, std::string_view target, std::string_view folder) override {
        requests.push_back({std::string(program), std::string(target), std::string(folder)});
        return true;
    }
    std::vector<Request> requests;
};

std::unique_ptr<Launcher> createLauncher();

}  // namespace parlendo
