// Build tool: turns the tuner script (UTF-8) into a C++ source holding it as Windows-1252.
#include <fstream>
#include <iostream>
#include <sstream>

#include "text/cp1252.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: embed_script SCRIPT.plo OUTPUT.cpp\n";
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::cerr << "embed_script: cannot read " << argv[1] << "\n";
        return 1;
    }
    std::stringstream ss;
    ss << in.rdbuf();
    std::string source = ss.str();
    if (!parlendo::text::isValidUtf8(source)) {
        std::cerr << "embed_script: " << argv[1] << " is not valid UTF-8\n";
        return 1;
    }
    std::string bytes;
    for (char c : parlendo::text::utf8ToCp1252(source))
        if (c != '\r') bytes.push_back(c);
    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    out << "// Generated from the tuner script; do not edit.\n#include <string_view>\n"
           "namespace parlendo {\nstatic const char kBytes[] = {";
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i % 16 == 0) out << "\n";
        out << static_cast<int>(static_cast<signed char>(bytes[i])) << ",";
    }
    out << "0};\nextern const std::string_view kTunerScript;\n"
        << "const std::string_view kTunerScript(kBytes, " << bytes.size() << ");\n}\n";
    return out ? 0 : 1;
}
