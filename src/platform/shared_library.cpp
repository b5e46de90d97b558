// Libraries loaded with the dynamic loader, kept for the rest of the run.
#include "platform/shared_library.h"

#include <dlfcn.h>

namespace parlendo {

namespace {

std::string loaderError(const char* fallback) {
    const char* reason = ::dlerror();
    return reason ? reason : fallback;
}

}  // namespace

std::optional<SharedLibrary> SharedLibrary::load(const char* fileName, std::string& error) {
    void* handle = ::dlopen(fileName, RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        error = loaderError("the library cannot be loaded");
        return std::nullopt;
    }
    return SharedLibrary(handle);
}

void* SharedLibrary::symbol(const char* name, std::string& error) const {
    ::dlerror();
    void* address = ::dlsym(handle_, name);
    if (!address) error = loaderError("the library has no such function");
    return address;
}

}  // namespace parlendo
