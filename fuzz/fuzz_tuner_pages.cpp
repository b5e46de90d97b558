// Fuzz target for the tuner's reading of web pages: arbitrary bytes stand for the downloaded search
// page, news index and article, and the tuner script's own routines cut them apart — the search
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

// The tuner's routines, then a driver that sets what the main screens would have set and calls
// the three page readers in turn. The tuner's start runs as it is (its variables, the defaults of
// its configuration) up to the emptying of its temporary folder, which becomes a jump to the
// driver: nothing but the page readers runs after it.
std::vector<std::string> driverScript() {
    std::vector<std::string> lines = parlendo::splitScript(parlendo::kTunerScript);
    bool jumped = false;
    for (std::string& l : lines)
        if (l == "chama @deltemp") {
            l = "desvia @fuzz_driver";
            jumped = true;
            break;
        }
    if (!jumped) fail("the tuner's start no longer calls @deltemp");
    for (const char* l : {
             "@fuzz_driver",
             "seja $numpagatual 0",
             "seja $ultimapagina 0",
             "seja $listaderadios \"temp/radios.lst\"",
             "chama @processabusca",
             "chama @preparalistanoticias",
             "abre #1 \"temp/lernoticia.tmp\"",
             "seja $marca \"<p class=\"\"data\"\">\"",
             "chama @ateamarca",
             "abre #2 \"temp/txtnoticia\" &",
             "chama @convertenoticia",
             "fecha #1",
             "fecha #2",
             "termina mudo",
         })
        lines.emplace_back(l);
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
        if (!in.storeLine(script[i], static_cast<int>(i + 1))) fail("the tuner script does not fit the store");

    RunOutcome outcome = in.run();
    // A page of at most a few kilobytes is read in far fewer steps than the limit: meeting it
    // means a routine went round without end.
    if (outcome.end == RunEnd::StepLimit && size < 4096) fail("a page reader did not finish");
    if (in.callStack.size() > static_cast<size_t>(Interpreter::kCallDepth)) fail("call stack deeper than its limit");
    return 0;
}
