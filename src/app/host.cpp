// The host: options of the harness, services, start-up and exit.
#include "app/host.h"

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/option_messages.h"
#include "commands/media_player.h"
#include "console/braille_keyboard.h"
#include "console/braille_mirror.h"
#include "console/braille_tables.h"
#include "console/console_grid.h"
#include "console/console_settings.h"
#include "console/grid_console_port.h"
#include "console/key_queue.h"
#include "console/settings_file.h"
#include "console/speech_front.h"
#include "console/terminal_renderer.h"
#include "console/voiced_speech.h"
#include "console/window_renderer.h"
#include "interp/interpreter.h"
#include "net/connection.h"
#include "net/connection_channel.h"
#include "platform/accessibility.h"
#include "platform/clipboard.h"
#include "platform/clock.h"
#include "platform/desktop.h"
#include "platform/environment.h"
#include "platform/event_loop.h"
#include "platform/file_system.h"
#include "platform/launcher.h"
#include "platform/processes.h"
#include "platform/terminal.h"
#include "text/cp1252.h"
#include "text/cp1252_literal.h"
#include "tts/builtin_voice.h"
#include "tts/system_voices.h"
#include "tts/wave_player.h"

namespace parlendo {

namespace {

// Lines for standard error that wait until the program has given the terminal back: written when
// this object ends.
class HeldWarnings {
public:
    HeldWarnings() = default;
    HeldWarnings(const HeldWarnings&) = delete;
    HeldWarnings& operator=(const HeldWarnings&) = delete;
    ~HeldWarnings() {
        for (const std::string& line : lines_) std::cerr << line << "\n";
    }
    void hold(const std::string& line) { lines_.push_back(line); }

private:
    std::vector<std::string> lines_;
};

// Echoes what is written to standard output as UTF-8: the plain teletype renderer.
class TeletypeEcho final : public ConsoleObserver {
public:
    void written(std::string_view bytes) override {
        std::string out;
        for (char c : bytes) {
            unsigned char u = static_cast<unsigned char>(c);
            if (u == '\n')
                out += '\n';
            else if (u == 8)
                out += "\b \b";
            else if (u >= 32)
                out += text::cp1252ToUtf8(std::string_view(&c, 1));
        }
        if (!out.empty()) writeStdout(out);
    }
    void bell() override { writeStdout("\a"); }
};

// Lends the terminal of the terminal renderer to a waited-for program.
class RendererHandoff final : public TerminalHandoff {
public:
    explicit RendererHandoff(TerminalRenderer& renderer) : renderer_(renderer) {}
    int lend() override {
        renderer_.suspend();
        return 0;  // the renderer draws on standard input and output
    }
    void takeBack() override { renderer_.resume(); }

private:
    TerminalRenderer& renderer_;
};

// The carried script in diagnostics: the file it is built from.
constexpr const char* kCarriedScriptName = "tuner.plo";

// The help of --help, the program's own part first, then the options both programs share.
constexpr const char* kHelpParlendo =
    "Uso: parlendo [OPÇÕES] SCRIPT [ARGUMENTOS...]\n"
    "\n"
    "Executa um script da linguagem Parlendo (em UTF-8 ou Windows-1252) num\n"
    "console de 80 × 25 que fala tudo o que escreve; qualquer tecla cala a fala.\n"
    "Os ARGUMENTOS vão para o script, que os lê com PARAMS. As opções vêm antes\n"
    "do SCRIPT; -- termina as opções.\n"_cp;
constexpr const char* kHelpSintonix =
    "Uso: sintonix [OPÇÕES]\n"
    "\n"
    "Sintonizador de rádios da internet que fala: tudo o que escreve no console\n"
    "de 80 × 25 também é dito, e qualquer tecla cala a fala. Na tela principal,\n"
    "F1 lê a ajuda e Esc pergunta se deseja sair.\n"
    "\n"
    "Sua pasta é $SINTONIX_DIR ou, sem ela, $XDG_DATA_HOME/sintonix (normalmente\n"
    "~/.local/share/sintonix), criada na primeira vez; o arquivo sintonix.cfg\n"
    "nela escolhe as fontes de rádios e notícias e os programas usados.\n"_cp;
constexpr const char* kHelpOptions =
    "\n"
    "Opções:\n"
    "  --help               mostra esta ajuda e termina\n"
    "  --version            mostra a versão e termina\n"
    "  --janela             mostra o console numa janela própria, com as letras,\n"
    "                       as cores e a linha ampliada das configurações (também\n"
    "                       JANELA=S na seção VIDEO das configurações)\n"
    "\n"
    "Opções para testes e para quem escreve scripts:\n"
    "  --headless           não mostra nada; o console funciona do mesmo jeito\n"
    "  --keys TECLAS        teclas digitadas uma a uma, quando o programa espera\n"
    "                       uma: cada caractere é uma tecla; {#13} Enter,\n"
    "                       {#27} Esc, {#9} Tab, {#0#59} F1, {#0#80} seta para\n"
    "                       baixo; {{ é uma chave\n"
    "  --dump-screen ARQ    ao terminar, grava em ARQ as 25 linhas do console\n"
    "  --speech-log ARQ     grava em ARQ uma linha por coisa dita\n"
    "  --audio DISPOSITIVO  system: a placa de som (o padrão); null: nenhum som,\n"
    "                       sem esperas; dir:PASTA: cada som num arquivo WAV\n"
    "                       em PASTA\n"
    "  --settings ARQ       o arquivo de configurações (o padrão é\n"
    "                       $XDG_CONFIG_HOME/oralix/oralix.ini, ou\n"
    "                       /etc/oralix.ini)\n"
    "\n"
    "Saída: 0 terminou, 1 erro de execução, 2 linha de comando errada,\n"
    "3 acabaram as teclas de --keys enquanto o programa esperava uma.\n"_cp;
// sintonix alone: its folder.
constexpr const char* kHelpSintonixStatus =
    "4 a pasta do sintonix não pôde ser criada, preparada ou usada (por\n"
    "exemplo, o disco está cheio).\n"_cp;

const char* programName(bool takesScript) { return takesScript ? "parlendo" : "sintonix"; }

// A name or word from the command line, inside a message.
std::string shownArgument(const std::string& external) { return text::externalToCp1252(external); }

}  // namespace

std::optional<HostOptions> parseHostOptions(const std::vector<std::string>& args, bool takesScript,
                                            std::string& error) {
    HostOptions o;
    size_t i = 0;
    auto value = [&](const std::string& name) -> std::optional<std::string> {
        if (i + 1 >= args.size()) {
            error = std::string(kOptionWithoutValue) + name + ".";
            return std::nullopt;
        }
        return args[++i];
    };
    for (; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "--version") {
            (a == "--help" ? o.help : o.version) = true;
            return o;
        } else if (a == "--headless") {
            o.headless = true;
        } else if (a == "--janela") {
            o.window = true;
        } else if (a == "--keys" || a == "--dump-screen" || a == "--speech-log" || a == "--audio" ||
                   a == "--settings") {
            std::optional<std::string> v = value(a);
            if (!v) return std::nullopt;
            if (a == "--keys")
                o.keys = *v;
            else if (a == "--dump-screen")
                o.dumpScreen = *v;
            else if (a == "--speech-log")
                o.speechLog = *v;
            else if (a == "--settings")
                o.settings = *v;
            else {
                if (*v != "system" && *v != "null" && !(v->rfind("dir:", 0) == 0 && v->size() > 4)) {
                    error = "dispositivo de som desconhecido: " + shownArgument(*v) +
                            " (--audio aceita system, null ou dir:PASTA).";
                    return std::nullopt;
                }
                o.audio = *v;
            }
        } else if (a == "--") {
            ++i;
            break;
        } else if (a.size() > 1 && a[0] == '-') {
            error = std::string(kUnknownOption) + shownArgument(a) + ".";
            return std::nullopt;
        } else {
            break;
        }
    }
    if (takesScript) {
        if (i >= args.size()) {
            error = "falta o nome do script a executar.";
            return std::nullopt;
        }
        o.script = args[i++];
    }
    for (; i < args.size(); ++i) o.params.push_back(args[i]);
    if (o.keys && !parseKeyNotation(*o.keys)) {
        error = "as teclas de --keys estão malformadas: "_cp + shownArgument(*o.keys) + ".";
        return std::nullopt;
    }
    return o;
}

std::string userLine(std::string_view program, std::string_view message) {
    return std::string(program) + ": " + text::cp1252ToUtf8(message);
}

void tellUser(std::string_view program, std::string_view message) {
    std::cerr << userLine(program, message) << "\n";
}

std::vector<std::string> splitScript(std::string_view fileBytes) {
    std::string text = text::externalToCp1252(fileBytes);
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

int runScript(const HostOptions& options, const std::vector<std::string>& lines, std::string_view title) {
    const char* program = programName(options.script.has_value());
    if (lines.size() > static_cast<size_t>(Interpreter::kStoreCapacity)) {
        tellUser(program, "o script tem mais de " + std::to_string(Interpreter::kStoreCapacity) + " linhas.");
        return 2;
    }
    std::ofstream speechLog;
    if (options.speechLog) {
        errno = 0;
        speechLog.open(*options.speechLog, std::ios::binary | std::ios::trunc);
        if (!speechLog) {
            tellUser(program, "não foi possível gravar o arquivo de --speech-log "_cp +
                                  shownArgument(*options.speechLog) + ": " +
                                  errorDescription(errno ? errno : EIO) + ".");
            return 2;
        }
    }
    ConsoleGrid console;
    EventLoop loop;
    ScriptedKeys typed(options.keys ? *parseKeyNotation(*options.keys) : std::vector<TypedKey>{});
    StdinKeys standardInput;
    ChainedKeys keySource;
    keySource.add(&typed);
    KeyQueue keys(&keySource);
    keys.setPump([&loop] { loop.pump(); });
    // A warning that arises while the renderer has the terminal would land on its screen and be
    // painted over: it is held and written to standard error once the renderer has ended (it ends
    // before this, which is declared first).
    HeldWarnings heldWarnings;
    SettingsLocation where;
    where.executableFolder = executableFolder();
    where.explicitFile = options.settings;
    where.userFolder = userSettingsFolder();
    SettingsFile settings(where);
    // A settings file that cannot be used is said before anything takes the terminal.
    const std::string settingsProblem =
        settings.problem().empty() ? std::string() : userLine(program, settings.problem());
    if (!settingsProblem.empty()) std::cerr << settingsProblem << "\n";
    SystemClock clock;
    // Made before the interpreter, so that connections still open at the end close through it.
    Network network(settings, &loop);

    // The sound device of --audio, for the whole run (SAIDADEAUDIO names the output; without a sound
    // card the run goes on silent, with one line on standard error), and the speech front over it.
    // The null device takes no time:
    // words are not synthesised and the pauses of speech are not waited for.
    // Without a terminal the sound library is loaded at the first sound: an idle run does without
    // it. Before the full screen takes a terminal the card is tried at once, so that a missing one
    // is said on standard error while that can still be read, and on the first screen.
    // The console window when --janela or the setting JANELA asks for it, or when sintonix is
    // started from a desktop without a terminal; it reads the console's settings now for its font.
    // Without a display it is said on standard error and the console goes where it would have.
    std::unique_ptr<WindowRenderer> window;
    const bool onDesktop = !environmentVariable("DISPLAY").value_or("").empty() ||
                           !environmentVariable("WAYLAND_DISPLAY").value_or("").empty();
    const bool wantWindow =
        !options.headless &&
        (options.window || console_settings::saysYes(settings.readRaw("VIDEO", "JANELA")) ||
         (!options.script && onDesktop && !standardInputIsTerminal()));
    if (wantWindow) {
        ConsoleSettings early;
        readConsoleSettings(settings, early);
        std::string problem;
        window = WindowRenderer::create(console, keys, early, problem,
                                        [program](const std::string& line) { tellUser(program, line); });
        if (!window) tellUser(program, problem);
    }
    std::unique_ptr<TerminalRenderer> terminal;
    const bool fullScreen = !options.headless && !window && standardStreamsAreTerminals();
    std::string noSound;
    auto warn = [&terminal, &heldWarnings, &noSound](const std::string& warning) {
        if (terminal) {
            heldWarnings.hold(warning);
        } else {
            std::cerr << warning << "\n";
            if (noSound.empty()) noSound = warning;
        }
    };
    std::string deviceName = settings.readRaw("TRADUTOR", "SAIDADEAUDIO").substr(0, 80);
    std::unique_ptr<WavePlayer> player =
        createWavePlayer(options.audio, deviceName, keys, &loop, warn, /*reachCardNow=*/fullScreen);
    // Media by alias sounds where the rest does: the card, or rendered into the wave player.
    configureMediaOutput(options.audio);
    // The terminal renderer when standard input and output are a terminal (the harness's keys
    // are typed before the terminal's); otherwise what is written is echoed to standard output
    // and keys come from standard input a line at a time.
    TeletypeEcho echo;
    std::unique_ptr<BrailleMirror> braille;
    // The cursor row on a braille display, when brltty has one; without it, nothing. The renderer
    // pumps the display while it waits for a key.
    auto startBraille = [&](const std::function<void(std::function<void()>)>& whileWaiting) {
        std::string error;
        if (std::optional<BrailleTables> tables =
                loadBrailleTables(shareDataFolder(where.executableFolder, "braille"), error)) {
            braille = std::make_unique<BrailleMirror>(console, keys, *tables,
                                                      openBrailleDisplay(BrailleDisplayOptions{}));
            loop.add(braille.get());
            whileWaiting([&braille] { braille->pump(); });
        }
    };
    if (fullScreen) terminal = TerminalRenderer::create(console, keys);
    if (terminal) {
        console.setObserver(terminal.get());
        terminal->holdKeysWhile([&typed] { return !typed.empty(); });
        keySource.add(terminal.get());
        loop.add(terminal.get());
        // The warning stays on the first screen until a key is typed; where the full screen wipes
        // what was written before it (no alternate screen), it is written again at the end.
        if (!noSound.empty()) {
            terminal->showNotice(text::externalToCp1252(noSound));
            if (!terminal->keepsScreenBehind()) heldWarnings.hold(noSound);
        }
        if (!settingsProblem.empty() && !terminal->keepsScreenBehind()) heldWarnings.hold(settingsProblem);
        startBraille([&terminal](std::function<void()> idle) { terminal->whileWaiting(std::move(idle)); });
    } else if (window) {
        console.setObserver(window.get());
        window->holdKeysWhile([&typed] { return !typed.empty(); });
        keySource.add(window.get());
        loop.add(window.get());
        startBraille([&window](std::function<void()> idle) { window->whileWaiting(std::move(idle)); });
    } else if (!options.headless) {
        console.setObserver(&echo);
        keySource.add(&standardInput);
    }
    const bool silent = options.audio == "null";
    std::function<void(int)> sleep = [&loop](int ms) { loop.sleep(ms); };
    if (silent) sleep = [&loop](int) { loop.pump(); };
    std::unique_ptr<DiphoneVoice> words;
    if (silent)
        words = std::make_unique<SilentDiphoneVoice>();
    else
        words = std::make_unique<BuiltinVoice>(*player, keys, settings,
                                               text::externalToCp1252(where.executableFolder), sleep);
    SpeechLog log(options.speechLog ? &speechLog : nullptr, /*keepLines=*/false);
    // The Brisa voice's settings are read once, at start; its front end reads the five data files
    // at every open.
    BrisaVoiceSetup brisa;
    brisa.executableFolder = where.executableFolder;
    brisa.config = readBrisaVoiceConfig(settings, text::externalToCp1252(where.executableFolder));
    brisa.frontEnd = brisaRulesFrontEnd;
    VoicedSpeech speech(keys, *player, settings, clock, std::move(words), &log, sleep,
                        systemEngineSwitch(*player, keys, sleep, brisa),
                        text::externalToCp1252(where.executableFolder));
    // A system voice that cannot speak is said by the built-in voice and written where the
    // warnings go.
    speech.setNotice([&terminal, &heldWarnings, program](const std::string& message) {
        if (terminal)
            heldWarnings.hold(userLine(program, message));
        else
            tellUser(program, message);
    });
    // A terminal too small for the grid is said, not only shown.
    if (terminal) terminal->announceSizeThrough([&speech](const std::string& words) { speech.speak(words); });

    GridConsolePort port(console, keys, speech);
    Interpreter in(Services{console, keys, speech, settings, clock, port});
    // Why the run failed, and warnings about the script, for its writer on standard error: held
    // like the warnings above while the renderer draws on the terminal standard error shows on.
    const bool holdDiagnostics = terminal && standardErrorIsOutputTerminal();
    in.services.diagnostic = [holdDiagnostics, &heldWarnings](const std::string& line) {
        if (holdDiagnostics)
            heldWarnings.hold(line);
        else
            std::cerr << line << std::endl;
    };
    in.scriptName = options.script.value_or(kCarriedScriptName);
    in.services.loop = &loop;
    in.services.player = player.get();
    attachNetwork(in, network);
    // The desktop's clipboard and the opener of documents; a headless run keeps to itself, with
    // a clipboard inside the process and nothing opened.
    std::unique_ptr<Clipboard> clipboard;
    std::unique_ptr<Launcher> launcher;
    if (options.headless) {
        clipboard = std::make_unique<InProcessClipboard>();
        launcher = std::make_unique<RecordingLauncher>();
    } else {
        clipboard = createClipboard();
        launcher = createLauncher();
    }
    in.services.clipboard = clipboard.get();
    in.services.launcher = launcher.get();
    // Programs the script starts; ended ones are reaped on every pump. A waited-for program gets
    // the terminal when the renderer has it; otherwise it shares the standard streams.
    std::unique_ptr<Processes> processes = createProcesses();
    loop.add(processes.get());
    in.services.processes = processes.get();
    std::unique_ptr<RendererHandoff> handoff;
    if (terminal) handoff = std::make_unique<RendererHandoff>(*terminal);
    in.services.terminal = handoff.get();
    // Other programs' windows, keys and the mouse: the X display when there is one; a headless
    // run never types into the desktop it happens to run on, and finds no window there.
    std::unique_ptr<Desktop> desktop;
    auto consoleTitle = [&console] { return console.title(); };
    if (options.headless)
        desktop = std::make_unique<NoDisplayDesktop>(consoleTitle);
    else
        desktop = createDesktop(consoleTitle);
    in.services.desktop = desktop.get();
    // Other programs' user-interface elements, which MSAA only reads: the accessibility service
    // of the session, started at the first MSAA command that needs it; its events come in as the
    // loop pumps.
    std::unique_ptr<Accessibility> accessibility = createAccessibility();
    loop.add(accessibility.get());
    in.services.accessibility = accessibility.get();
    // The window draws IMAGEM's picture; a terminal draws it where it can display pictures.
    if (window)
        in.services.pictures = window.get();
    else
        in.services.pictures = terminal.get();
    for (const std::string& p : options.params) in.params.push_back(text::externalToCp1252(p));
    // The interpreter folder is where recorded words are looked for once a voice speaks.
    std::string interpreterFolder = settings.readSetting("PARLENDO", "DIRPARLENDO");
    // Echo of typed characters and speaking in full: on unless the settings say otherwise; a
    // missing key is written back with its default, as every such setting is.
    auto yes = [](const std::string& v) { return !v.empty() && text::upperChar(v[0]) == 'S'; };
    in.speechEcho = yes(settings.readSettingOrDefault("ORALIX", "FALANDO", "Sim"));
    in.speakInFull = yes(settings.readSettingOrDefault("ORALIX", "FALARTUDO", "Sim"));
    speech.setSpeakInFull(in.speakInFull);
    // The console is created here: its settings give the colours the first clear paints with.
    // The renderers read the rest (font, scrolling, placement, braille mode) from consoleSettings.
    ConsoleSettings consoleSettings;
    createConsole(settings, console, consoleSettings);
    // The braille keyboard of the window, in the mode of the settings (sounding it when on).
    std::unique_ptr<BrailleKeyboard> chordKeyboard;
    if (window) {
        chordKeyboard = std::make_unique<BrailleKeyboard>(speech);
        chordKeyboard->setMode(consoleSettings.brailleMode);
        window->setBrailleKeyboard(chordKeyboard.get());
    }
    // Without its recordings the voice cannot speak: the user is told on the screen, presses
    // Enter, and the program ends.
    if (int error = speech.startSpeech(0, interpreterFolder); error != 0) {
        console.write("Erro de inicialização: "_cp + std::to_string(error) + "\r\n");
        console.write("Banco de dados de voz: " + std::string(kDiphoneDatabase) + "\r\n");
        speech.closeDiphoneVoice();
        std::optional<uint8_t> key;
        while ((key = keys.readKey()) && *key != 13) {
        }
        if (options.dumpScreen) {
            std::ofstream dump(*options.dumpScreen, std::ios::binary | std::ios::trunc);
            dump << console.dumpUtf8();
        }
        return key ? 1 : 3;
    }
    console.clearScreen();
    console.setTitle("PARLENDO");
    console.setTitle(std::string(title));
    for (size_t i = 0; i < lines.size(); ++i) in.storeLine(lines[i], static_cast<int>(i + 1));

    RunOutcome outcome = in.reportOutcome(in.run());
    // Media still playing stops with the run; what was rendered of it reaches the device.
    mediaPlayer().closeAll();

    if (options.dumpScreen) {
        std::ofstream dump(*options.dumpScreen, std::ios::binary | std::ios::trunc);
        dump << console.dumpUtf8();
    }
    return Interpreter::exitStatus(outcome);
}

int hostMain(int argc, char** argv, bool takesScript, std::string_view embeddedScript,
             std::string_view title) {
    return hostMainWith(argc, argv, takesScript, embeddedScript, title, {});
}

int hostMainWith(int argc, char** argv, bool takesScript, std::string_view embeddedScript,
                 std::string_view title, const std::function<int()>& prepare) {
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string error;
    std::optional<HostOptions> options = parseHostOptions(args, takesScript, error);
    const char* program = programName(takesScript);
    if (!options) {
        tellUser(program, error);
        std::cerr << text::cp1252ToUtf8("Use " + std::string(program) + " --help para ver as opções."_cp)
                  << "\n";
        return 2;
    }
    if (options->help) {
        writeStdout(text::cp1252ToUtf8(std::string(takesScript ? kHelpParlendo : kHelpSintonix) +
                                       kHelpOptions + (takesScript ? "" : kHelpSintonixStatus)));
        return 0;
    }
    if (options->version) {
        writeStdout(std::string(program) + " " SINTONIX_VERSION "\n");
        return 0;
    }
    if (prepare) {
        auto absolute = [](std::optional<std::string>& name) {
            std::error_code ec;
            if (name && !name->empty()) {
                std::filesystem::path p = std::filesystem::absolute(*name, ec);
                if (!ec) *name = p.string();
            }
        };
        absolute(options->dumpScreen);
        absolute(options->speechLog);
        absolute(options->settings);
        absolute(options->script);
        if (options->audio.rfind("dir:", 0) == 0) {
            std::optional<std::string> dir = options->audio.substr(4);
            absolute(dir);
            options->audio = "dir:" + *dir;
        }
        if (int status = prepare()) return status;
    }
    std::vector<std::string> lines;
    if (takesScript) {
        errno = 0;
        std::ifstream f(*options->script, std::ios::binary);
        if (!f) {
            tellUser(program, "não foi possível ler o script "_cp + shownArgument(*options->script) + ": " +
                                  errorDescription(errno ? errno : EIO) + ".");
            return 2;
        }
        std::stringstream ss;
        ss << f.rdbuf();
        lines = splitScript(ss.str());
    } else {
        // The carried script is Windows-1252 already.
        size_t start = 0;
        while (start < embeddedScript.size()) {
            size_t end = embeddedScript.find('\n', start);
            if (end == std::string_view::npos) end = embeddedScript.size();
            lines.emplace_back(embeddedScript.substr(start, end - start));
            start = end + 1;
        }
    }
    return runScript(*options, lines, title);
}

}  // namespace parlendo
