// sintonix: the tuner, the interpreter running the script it carries, inside its own folder.
#include <string>
#include <string_view>

#include "app/host.h"
#include "app/tuner_folder.h"
#include "platform/environment.h"

namespace parlendo {
extern const std::string_view kTunerScript;
}

int main(int argc, char** argv) {
    // The script runs sintonix-fontes by name: the one installed beside this executable.
    parlendo::putFirstOnPath(parlendo::executableFolder());
    // The folder is made and seeded on first start (nothing of the user's is replaced), and the
    // script runs inside it: every name it uses is relative to it.
    auto enterFolder = [] {
        std::string folder = parlendo::tunerFolderPath();
        std::string error;
        if (!parlendo::prepareTunerFolder(folder, parlendo::tunerSeedFiles(), error) ||
            !parlendo::enterTunerFolder(folder, error)) {
            parlendo::tellUser("sintonix", error);
            return parlendo::kTunerFolderFailureStatus;
        }
        return 0;
    };
    return parlendo::hostMainWith(argc, argv, false, parlendo::kTunerScript, "sintonix", enterFolder);
}
