// Shared libraries loaded while the program runs, the first time something needs them. The sound
// card's library and the word voice's each bring dozens of others with them (sound servers, display
// protocols), whose pages an idle run need not pay for.
#pragma once

#include <optional>
#include <string>

namespace parlendo {

class SharedLibrary {
public:
    // Loads the library of that file name (or finds it loaded already), its functions bound at
    // once. Nothing, with a Portuguese reason naming the library in `error` (UTF-8, as the
    // warnings it goes into), when it cannot be loaded. A loaded library
    // stays for the rest of the run: sound libraries leave threads and handlers behind, so none is
    // ever unloaded.
    static std::optional<SharedLibrary> load(const char* fileName, std::string& error);

    // The address of the named function; null, with the reason in `error` (as above), when the
    // library has none of that name.
    void* symbol(const char* name, std::string& error) const;

    // Sets `function` to the named function, as the pointer type it has: false when it is missing.
    template <typename Function>
    bool resolve(Function& function, const char* name, std::string& error) const {
        function = reinterpret_cast<Function>(symbol(name, error));
        return function != nullptr;
    }

private:
    explicit SharedLibrary(void* handle) : handle_(handle) {}
    void* handle_;
};

// A library loaded from a file for as long as its owner keeps it, then released: a library that
// can be replaced while the program runs (the Brisa voice's synthesizer, reloaded after a fault).
class OwnedLibrary {
public:
    // Loads the file (a path, or a name the loader searches for); nothing, with the loader's
    // reason in `error`, when it cannot.
    static std::optional<OwnedLibrary> open(const std::string& path, std::string& error);
    OwnedLibrary(OwnedLibrary&& other) noexcept : handle_(other.handle_) { other.handle_ = nullptr; }
    OwnedLibrary& operator=(OwnedLibrary&& other) noexcept;
    OwnedLibrary(const OwnedLibrary&) = delete;
    OwnedLibrary& operator=(const OwnedLibrary&) = delete;
    ~OwnedLibrary();

    // The address of the named symbol, or null.
    void* symbol(const char* name) const;

private:
    explicit OwnedLibrary(void* handle) : handle_(handle) {}
    void* handle_;
};

}  // namespace parlendo
