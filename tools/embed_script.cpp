// Build tool: turns the tuner script (UTF-8) into a C++ source holding it as Windows-1252, and
// the seed files of the tuner's folder into a table of files, also as Windows-1252.
//
//   embed_script SCRIPT.plo OUTPUT.cpp [VERSION]
//   embed_script --files OUTPUT.cpp NAME=PATH...
//
// The script's "@VERSAO@" becomes VERSION, so that the tuner shows the version of the build.
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "text/cp1252.h"

namespace {

// The file's UTF-8 text as Windows-1252 bytes without carriage returns; false when it cannot be
// read or is not UTF-8.
bool readCp1252(const char* path, std::string& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::cerr << "embed_script: cannot read " << path << "\n";
        return false;
    }
    std::stringstream ss;
    ss << in.rdbuf();
    std::string source = ss.str();
    if (!parlendo::text::isValidUtf8(source)) {
        std::cerr << "embed_script: " << path << " is not valid UTF-8\n";
        return false;
    }
    bytes.clear();
    for (char c : parlendo::text::utf8ToCp1252(source))
        if (c != '\r') bytes.push_back(c);
    return true;
}

void writeArray(std::ostream& out, const std::string& name, const std::string& bytes) {
    out << "static const char " << name << "[] = {";
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i % 16 == 0) out << "\n";
        out << static_cast<int>(static_cast<signed char>(bytes[i])) << ",";
    }
    out << "0};\n";
}

int embedFiles(int argc, char** argv) {
    std::vector<std::pair<std::string, std::string>> files;
    for (int i = 3; i < argc; ++i) {
        std::string arg = argv[i];
        size_t eq = arg.find('=');
        if (eq == std::string::npos || eq == 0) {
            std::cerr << "embed_script: expected NAME=PATH, got " << arg << "\n";
            return 2;
        }
        std::string bytes;
        if (!readCp1252(arg.c_str() + eq + 1, bytes)) return 1;
        files.emplace_back(arg.substr(0, eq), std::move(bytes));
    }
    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    out << "// Generated from the seed files of the tuner's folder; do not edit.\n"
           "#include \"app/tuner_folder.h\"\nnamespace parlendo {\n";
    for (size_t i = 0; i < files.size(); ++i) writeArray(out, "kFile" + std::to_string(i), files[i].second);
    out << "const std::vector<SeedFile>& tunerSeedFiles() {\n    static const std::vector<SeedFile> files = "
           "{\n";
    for (size_t i = 0; i < files.size(); ++i)
        out << "        {\"" << files[i].first << "\", std::string_view(kFile" << i << ", "
            << files[i].second.size() << ")},\n";
    out << "    };\n    return files;\n}\n}\n";
    return out ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && std::string(argv[1]) == "--files") return embedFiles(argc, argv);
    if (argc != 3 && argc != 4) {
        std::cerr << "usage: embed_script SCRIPT.plo OUTPUT.cpp [VERSION]\n"
                     "       embed_script --files OUTPUT.cpp NAME=PATH...\n";
        return 2;
    }
    std::string bytes;
    if (!readCp1252(argv[1], bytes)) return 1;
    if (argc == 4) {
        const std::string placeholder = "@VERSAO@";
        for (size_t at; (at = bytes.find(placeholder)) != std::string::npos;)
            bytes.replace(at, placeholder.size(), argv[3]);
    }
    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    out << "// Generated from the tuner script; do not edit.\n#include <string_view>\n"
           "namespace parlendo {\n";
    writeArray(out, "kBytes", bytes);
    out << "extern const std::string_view kTunerScript;\n"
        << "const std::string_view kTunerScript(kBytes, " << bytes.size() << ");\n}\n";
    return out ? 0 : 1;
}
