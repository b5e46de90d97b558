// Fuzz target for the texts of the process commands: a command line taken apart into program and
// arguments, and a program's output read in pieces from its pipes.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "commands/processes.h"
#include "platform/processes.h"
#include "text/cp1252.h"

namespace {

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "fuzz_process_text: %s\n", what);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace parlendo;
    if (size == 0) return 0;
    // The first byte chooses where the pipe cuts the rest into pieces.
    const size_t step = 1 + data[0] % 7;
    std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);

    // The command line: no word holds a double quote; an unquoted program holds no blank; words
    // hold no more characters than the line.
    ProgramLine line = splitProgramLine(bytes);
    if (line.program.size() + line.parameters.size() > bytes.size()) fail("the split grew the line");
    if (bytes.empty() || bytes[0] != '"')
        for (char c : line.program)
            if (text::isBlank(c)) fail("an unquoted program holds a blank");
    size_t total = 0;
    for (const std::string& word : splitParameters(line.parameters)) {
        if (word.find('"') != std::string::npos) fail("a word kept a double quote");
        total += word.size();
    }
    if (total > line.parameters.size()) fail("the words hold more than the parameters");

    // The output in pieces: nothing is lost or made up, and valid UTF-8 arrives as it would
    // have in one piece, whatever the cuts.
    PipeText pipe;
    std::string got;
    for (size_t at = 0; at < bytes.size(); at += step) got += pipe.take(bytes.substr(at, step), false);
    got += pipe.take({}, true);
    if (got.size() > bytes.size()) fail("the pieces grew the text");
    if (text::isValidUtf8(bytes) && got != text::externalToCp1252(bytes)) fail("a cut changed valid UTF-8");
    return 0;
}
