// sintonix: the tuner, the interpreter running the script it carries.
#include <string_view>

#include "app/host.h"

namespace parlendo {
extern const std::string_view kTunerScript;
}

int main(int argc, char** argv) {
    return parlendo::hostMain(argc, argv, false, parlendo::kTunerScript, "sintonix");
}
