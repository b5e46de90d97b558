// Finding and loading the Brisa voice's synthesizer library.
#include "tts/mbrola_library.h"

#include <utility>

#include "console/settings_file.h"

namespace parlendo {
namespace {

// Binds one entry point; false (naming it in `error`) when the library lacks it.
template <typename Function>
bool bind(const OwnedLibrary& library, Function& function, const char* name, std::string& error) {
    function = reinterpret_cast<Function>(library.symbol(name));
    if (!function && error.empty()) error = std::string("the library has no ") + name;
    return function != nullptr;
}

}  // namespace

std::vector<std::string> MbrolaLibrary::searchPaths(const std::string& executableFolder) {
    const std::string name = std::string("/") + kFileName;
    return {executableFolder + name, executableFolder + "/../lib/sintonix" + name,
            "/usr/local/lib/sintonix" + name, "/usr/lib/sintonix" + name};
}

std::optional<MbrolaLibrary> MbrolaLibrary::load(const std::vector<std::string>& paths, std::string& error) {
    error.clear();
    for (const std::string& path : paths) {
        std::string reason;
        std::optional<OwnedLibrary> library = OwnedLibrary::open(path, reason);
        if (!library) continue;
        MbrolaCalls c{};
        bool ok = true;
        ok = bind(*library, c.init_MBR, "init_MBR", error) && ok;
        ok = bind(*library, c.init_rename_MBR, "init_rename_MBR", error) && ok;
        ok = bind(*library, c.write_MBR, "write_MBR", error) && ok;
        ok = bind(*library, c.flush_MBR, "flush_MBR", error) && ok;
        ok = bind(*library, c.read_MBR, "read_MBR", error) && ok;
        ok = bind(*library, c.readtype_MBR, "readtype_MBR", error) && ok;
        ok = bind(*library, c.close_MBR, "close_MBR", error) && ok;
        ok = bind(*library, c.reset_MBR, "reset_MBR", error) && ok;
        ok = bind(*library, c.lastError_MBR, "lastError_MBR", error) && ok;
        ok = bind(*library, c.lastErrorStr_MBR, "lastErrorStr_MBR", error) && ok;
        ok = bind(*library, c.setNoError_MBR, "setNoError_MBR", error) && ok;
        ok = bind(*library, c.getNoError_MBR, "getNoError_MBR", error) && ok;
        ok = bind(*library, c.setFreq_MBR, "setFreq_MBR", error) && ok;
        ok = bind(*library, c.getFreq_MBR, "getFreq_MBR", error) && ok;
        ok = bind(*library, c.setVolumeRatio_MBR, "setVolumeRatio_MBR", error) && ok;
        ok = bind(*library, c.getVolumeRatio_MBR, "getVolumeRatio_MBR", error) && ok;
        ok = bind(*library, c.getVersion_MBR, "getVersion_MBR", error) && ok;
        ok = bind(*library, c.getDatabaseInfo_MBR, "getDatabaseInfo_MBR", error) && ok;
        ok = bind(*library, c.setParser_MBR, "setParser_MBR", error) && ok;
        ok = bind(*library, c.init_Phone, "init_Phone", error) && ok;
        ok = bind(*library, c.reset_Phone, "reset_Phone", error) && ok;
        ok = bind(*library, c.close_Phone, "close_Phone", error) && ok;
        ok = bind(*library, c.appendf0_Phone, "appendf0_Phone", error) && ok;
        if (!ok) {
            error.insert(0, ": ").insert(0, path);
            return std::nullopt;  // the library is released as it goes out of scope
        }
        return MbrolaLibrary(std::move(*library), c, path);
    }
    error = std::string("no ") + kFileName + " found";
    return std::nullopt;
}

std::string brisaDatabasePath(const std::string& executableFolder, const std::string& name) {
    return shareDataFolder(executableFolder, "brisa") + name;
}

}  // namespace parlendo
