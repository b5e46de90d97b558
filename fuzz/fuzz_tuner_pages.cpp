// Fuzz target for the tuner's reading of web pages: arbitrary bytes stand for the downloaded search
// page, news index and article, and the tuner script's own routines cut them apart (through
// its fixed entry @lepaginas) — the search
// results into temp/radios.lst, the news titles into temp/noticia.tmp, the article into
// temp/txtnoticia. A strange page must end in a message or a short list, never in a crash, an
// endless loop or a run that grows without bound. Runs inside a scratch folder with a step limit.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "app/host.h"
#include "console/console_grid.h"
#include "console/grid_console_port.h"
#include "console/key_queue.h"
#include "console/settings_file.h"
#include "console/speech_front.h"
#include "fuzz_scratch.h"
#include "interp/interpreter.h"
#include "platform/clock.h"

namespace parlendo {
extern const std::string_view kTunerScript;
}

namespace {

// Enough steps for a page of a few thousand lines; a routine that loops without end meets it.
constexpr uint64_t kStepLimit = 400000;
constexpr size_t kMaxTextSize = size_t{1} << 20;

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "fuzz_tuner_pages: %s\n", what);
    std::abort();
}

const std::string& scratchFolder() { return parlendo::fuzzScratchFolder("parlendo-fuzz-tuner"); }

// The fixed entry of the tuner's page readers, @lepaginas, called from two lines put before the
// script; nothing else of the tuner runs. The script's text is not patched, so a rename inside
// it cannot weaken this target; a script without the entry stops it at once.
constexpr int kDriverLines = 2;

std::vector<std::string> driverScript() {
    std::vector<std::string> lines = {"chama @lepaginas", "termina mudo"};
    bool entry = false;
    for (std::string& l : parlendo::splitScript(parlendo::kTunerScript)) {
        entry = entry || l == "@lepaginas";
        lines.push_back(std::move(l));
    }
    if (!entry) fail("the tuner script has no @lepaginas, the page readers' entry");
    return lines;
}

void writePage(const char* name, const uint8_t* data, size_t size) {
    std::ofstream out(std::string("temp/") + name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    if (!out) fail("cannot write a page into the scratch folder");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The tuner works in its own folder with relative names; here that folder is the scratch one.
    if (chdir(scratchFolder().c_str()) != 0) fail("cannot enter the scratch folder");
    std::filesystem::create_directories("temp");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace parlendo;
    static const std::vector<std::string> script = driverScript();
    for (const char* page : {"busca.tmp", "radio.html", "lernoticia.tmp"}) writePage(page, data, size);

    ConsoleGrid console;
    ScriptedKeys typed(std::vector<std::string>{});
    KeyQueue keys(&typed);
    RecordingSpeech speech(keys, nullptr, false);
    SettingsFile settings(fuzzScratchSettings(scratchFolder(), scratchFolder() + "/absent/oralix.ini"));
    FixedClock clock(LocalTime{2024, 5, 17, 13, 45, 30, 250, 5});

    GridConsolePort port(console, keys, speech);
    Interpreter in(Services{console, keys, speech, settings, clock, port});
    in.stepLimit = kStepLimit;
    in.maxTextSize = kMaxTextSize;
    for (size_t i = 0; i < script.size(); ++i)
        if (!in.storeLine(script[i], static_cast<int>(i + 1)))
            fail("the tuner script does not fit the store");

    RunOutcome outcome = in.run();
    // A page of at most a few kilobytes is read in far fewer steps than the limit: meeting it
    // means a routine went round without end.
    if (outcome.end == RunEnd::StepLimit && size < 4096) fail("a page reader did not finish");
    // The entry itself failing means the page readers were never reached.
    if (outcome.end == RunEnd::Failed && outcome.line <= kDriverLines) fail("the page readers' entry failed");
    if (in.callStack.size() > static_cast<size_t>(Interpreter::kCallDepth))
        fail("call stack deeper than its limit");
    return 0;
}
