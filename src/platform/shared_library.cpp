// Libraries loaded with the dynamic loader, kept for the rest of the run.
#include "platform/shared_library.h"

#include <dlfcn.h>

#include "text/cp1252.h"
#include "text/cp1252_literal.h"

namespace parlendo {

std::optional<SharedLibrary> SharedLibrary::load(const char* fileName, std::string& error) {
    void* handle = ::dlopen(fileName, RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        // The loader's own reason is English: the user is told in Portuguese which library.
        error = text::cp1252ToUtf8("não foi possível carregar a biblioteca "_cp) + fileName;
        return std::nullopt;
    }
    return SharedLibrary(handle);
}

void* SharedLibrary::symbol(const char* name, std::string& error) const {
    ::dlerror();
    void* address = ::dlsym(handle_, name);
    if (!address) error = text::cp1252ToUtf8("a biblioteca não tem a função "_cp) + name;
    return address;
}

std::optional<OwnedLibrary> OwnedLibrary::open(const std::string& path, std::string& error) {
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* reason = ::dlerror();
        error = reason ? reason : path;
        return std::nullopt;
    }
    return OwnedLibrary(handle);
}

OwnedLibrary& OwnedLibrary::operator=(OwnedLibrary&& other) noexcept {
    if (this != &other) {
        if (handle_) ::dlclose(handle_);
        handle_ = other.handle_;
        other.handle_ = nullptr;
    }
    return *this;
}

OwnedLibrary::~OwnedLibrary() {
    if (handle_) ::dlclose(handle_);
}

void* OwnedLibrary::symbol(const char* name) const { return handle_ ? ::dlsym(handle_, name) : nullptr; }

}  // namespace parlendo
