// sintonix-fontes: the tuner's link to the open sources. Asks the radio directory or a news
// feed, writes the files the tuner's script reads, and last the status file it waits for.
#include <curl/curl.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/option_messages.h"
#include "platform/name_lookup.h"
#include "sources/http_client.h"
#include "sources/news_feed.h"
#include "sources/output_files.h"
#include "sources/radio_directory.h"
#include "sources/stations.h"
#include "text/cp1252.h"
#include "text/transliterate.h"

namespace sintonix {

namespace {

using Clock = std::chrono::steady_clock;

// The whole command's time. The work itself stops a little earlier, so that its own message
// (and whatever it found) wins over the watchdog's.
constexpr auto kCommandTime = std::chrono::seconds(14);
constexpr auto kWorkTime = std::chrono::milliseconds(13500);
constexpr size_t kTitleBytes = 200;

constexpr char kNewsNoAnswer[] =
    "O servidor de notícias não respondeu. Verifique sua conexão com a internet.";
constexpr char kNewsNotRss[] = "O endereço de notícias não mandou notícias num formato conhecido (RSS).";
constexpr char kUnexpected[] = "Ocorreu um erro inesperado no sintonix-fontes.";

constexpr char kHelp[] =
    "Uso: sintonix-fontes [OPÇÕES] COMANDO [ARGUMENTO]\n"
    "\n"
    "Pede rádios ao diretório de rádios aberto (radio-browser) ou notícias a um feed RSS e\n"
    "deixa o resultado em arquivos para o Sintonix.\n"
    "\n"
    "Comandos:\n"
    "  busca TEXTO            rádios cujo nome ou etiqueta contém o texto\n"
    "  segmento ETIQUETAS     rádios com alguma das etiquetas (separadas por \",\")\n"
    "  mais-ouvidas           as rádios mais ouvidas do país (100)\n"
    "  mais-votadas           as rádios mais votadas do país (100)\n"
    "  estado NOME            as rádios do país cujo estado é exatamente NOME (até 1000)\n"
    "  clique ENDEREÇO        conta ao diretório que a rádio deste endereço foi tocada\n"
    "  noticias ENDEREÇO      um feed RSS: títulos, endereços e textos das notícias\n"
    "\n"
    "Opções:\n"
    "  --saida ARQ            o arquivo de resultados (radios.lst; noticias.lst nas notícias)\n"
    "  --paginas N            também escreve os resultados em páginas de N: ARQ.1, ARQ.2...\n"
    "  --estado ARQ           o arquivo de estado: \"ok\" e o número de itens, ou \"erro\" e a\n"
    "                         mensagem\n"
    "  --servidores \"URL...\"  os endereços do diretório a usar, nesta ordem, em vez de\n"
    "                         procurá-los\n"
    "  --cache ARQ            onde guardar por um dia os servidores achados\n"
    "  --pais XX              o código do país do usuário (BR)\n"
    "  --limite N             rádios pedidas a cada consulta de busca e segmento (500)\n"
    "  --help                 mostra esta ajuda\n"
    "  --version              mostra a versão\n"
    "\n"
    "Saída: 0 deu certo, 1 falhou (a mensagem vai também para a saída de erros), 2 linha de\n"
    "comando errada.\n";

struct CommandLine {
    std::string command;
    std::vector<std::string> words;  // after the command, UTF-8
    std::string output;
    size_t pageSize = 0;
    std::string statusFile;
    std::vector<std::string> servers;
    std::string cacheFile;
    std::string country = "BR";
    int limit = 500;
    bool help = false;
    bool version = false;
};

struct Outcome {
    bool ok = false;
    size_t count = 0;
    std::string message;  // UTF-8, when not ok
};

Outcome failed(std::string message) { return {false, 0, std::move(message)}; }
Outcome succeeded(size_t count) { return {true, count, {}}; }

// Text from the tuner arrives as Windows-1252, from a shell as UTF-8.
std::string argumentText(const char* arg) {
    return parlendo::text::cp1252ToUtf8(parlendo::text::externalToCp1252(arg));
}

std::optional<long> number(const std::string& text, long least, long most) {
    if (text.empty() || text.size() > 9) return std::nullopt;
    long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (value < least || value > most) return std::nullopt;
    return value;
}

std::vector<std::string> splitList(std::string_view text, std::string_view separators) {
    std::vector<std::string> parts;
    size_t p = 0;
    while (p <= text.size()) {
        size_t end = text.find_first_of(separators, p);
        if (end == std::string_view::npos) end = text.size();
        std::string part(parlendo::text::trim(text.substr(p, end - p)));
        if (!part.empty()) parts.push_back(std::move(part));
        p = end + 1;
    }
    return parts;
}

// Reads the command line; the problem, in Portuguese, when it is wrong. Options may stand
// before or after the command; "--" ends them.
std::optional<std::string> parseCommandLine(int argc, char** argv, CommandLine& line) {
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (optionsEnded || arg.size() < 2 || arg.compare(0, 2, "--") != 0) {
            if (line.command.empty())
                line.command = arg;
            else
                line.words.push_back(argumentText(argv[i]));
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (arg == "--help") {
            line.help = true;
            continue;
        }
        if (arg == "--version") {
            line.version = true;
            continue;
        }
        std::string name = arg, value;
        if (size_t eq = arg.find('='); eq != std::string::npos) {
            name = arg.substr(0, eq);
            value = arg.substr(eq + 1);
        } else if (i + 1 < argc) {
            value = argv[++i];
        } else {
            return parlendo::text::cp1252ToUtf8(parlendo::kOptionWithoutValue) + arg + ".";
        }
        if (name == "--saida" && !value.empty()) {
            line.output = value;
        } else if (name == "--estado" && !value.empty()) {
            line.statusFile = value;
        } else if (name == "--cache" && !value.empty()) {
            line.cacheFile = value;
        } else if (name == "--servidores") {
            line.servers.clear();
            for (std::string base : splitList(value, " \t,")) {
                while (base.size() > 1 && base.back() == '/') base.pop_back();
                line.servers.push_back(base);
            }
        } else if (name == "--pais") {
            if (value.size() != 2 || !parlendo::text::isAsciiLetter(value[0]) ||
                !parlendo::text::isAsciiLetter(value[1]))
                return "o país deve ser um código de duas letras, como BR.";
            line.country = value;
        } else if (name == "--paginas") {
            auto n = number(value, 0, 100000);
            if (!n) return "o número de --paginas deve ser um número de 0 a 100000.";
            line.pageSize = static_cast<size_t>(*n);
        } else if (name == "--limite") {
            auto n = number(value, 1, 100000);
            if (!n) return "o --limite deve ser um número de 1 a 100000.";
            line.limit = static_cast<int>(*n);
        } else {
            return parlendo::text::cp1252ToUtf8(parlendo::kUnknownOption) + name + ".";
        }
    }
    if (line.help || line.version) return std::nullopt;
    const std::string& c = line.command;
    if (c.empty()) return "falta o comando.";
    bool takesNothing = c == "mais-ouvidas" || c == "mais-votadas";
    bool takesText = c == "busca" || c == "segmento" || c == "estado";
    bool takesOne = c == "clique" || c == "noticias";
    if (!takesNothing && !takesText && !takesOne) return "comando desconhecido: " + c + ".";
    if (takesNothing && !line.words.empty()) return "o comando " + c + " não leva argumento.";
    if (takesOne && line.words.size() != 1) return "o comando " + c + " leva um endereço.";
    if (takesText) {
        // Words the shell split apart are one text again.
        std::string joined;
        for (const std::string& w : line.words) joined += (joined.empty() ? "" : " ") + w;
        line.words = {std::string(parlendo::text::trim(joined))};
        if (line.words[0].empty() || (c == "segmento" && splitList(line.words[0], ",").empty()))
            return "falta o texto do comando " + c + ".";
    }
    if (line.output.empty()) line.output = c == "noticias" ? "noticias.lst" : "radios.lst";
    return std::nullopt;
}

// Writes the status file once: whichever comes first, the command's end or the deadline.
class Finish {
public:
    explicit Finish(std::string statusFile) : statusFile_(std::move(statusFile)) {}

    // The command calls it before it writes its files, so that the watchdog never reports a
    // failure over results being written. When the watchdog came first, it is ending the
    // process: the command waits for that.
    void claim() {
        std::unique_lock lock(mutex_);
        if (claimed_) {
            lock.unlock();
            for (;;) ::pause();
        }
        claimed_ = true;
    }

    // Reports the outcome: status file, standard error; the exit status.
    int report(const Outcome& outcome) const {
        bool written = true;
        if (!statusFile_.empty())
            written = outcome.ok ? writeStatusOk(statusFile_, outcome.count)
                                 : writeStatusError(statusFile_, outcome.message);
        if (!outcome.ok) std::fprintf(stderr, "sintonix-fontes: %s\n", outcome.message.c_str());
        if (!written)
            std::fprintf(stderr, "sintonix-fontes: não foi possível gravar %s\n", statusFile_.c_str());
        return outcome.ok && written ? 0 : 1;
    }

    // Runs the watchdog: at the deadline, unless the command has claimed the end by then,
    // reports `message` and ends the process.
    void watch(Clock::time_point deadline, std::string message) {
        watchdog_ = std::thread([this, deadline, message = std::move(message)] {
            std::unique_lock lock(mutex_);
            if (stopped_.wait_until(lock, deadline, [&] { return stop_; })) return;
            if (claimed_) return;
            claimed_ = true;
            lock.unlock();
            std::fflush(stdout);
            ::_exit(report(failed(message)));
        });
    }

    ~Finish() {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        stopped_.notify_all();
        if (watchdog_.joinable()) watchdog_.join();
    }

private:
    std::string statusFile_;
    std::mutex mutex_;
    std::condition_variable stopped_;
    bool claimed_ = false;
    bool stop_ = false;
    std::thread watchdog_;
};

Outcome stationCommand(const CommandLine& line, Clock::time_point deadline, Finish& finish) {
    auto names = parlendo::NameLookup::createSystem();
    DirectorySettings settings;
    settings.servers = line.servers;
    settings.cacheFile = line.cacheFile;
    settings.country = line.country;
    settings.limit = line.limit;
    settings.http.deadline = deadline;
    RadioDirectory directory(settings, *names);

    const std::string& c = line.command;
    if (c == "clique") {
        std::optional<std::string> id = findStationId(line.output + ".ids", line.words[0]);
        if (!id) {
            finish.claim();
            return succeeded(0);  // not a station of the last search: nothing to tell
        }
        DirectoryAnswer answer = directory.click(*id);
        finish.claim();
        return answer.ok ? succeeded(1) : failed(answer.message);
    }
    DirectoryAnswer answer;
    if (c == "busca")
        answer = directory.search(line.words[0]);
    else if (c == "segmento")
        answer = directory.segment(splitList(line.words[0], ","));
    else if (c == "mais-ouvidas")
        answer = directory.mostListened();
    else if (c == "mais-votadas")
        answer = directory.mostVoted();
    else
        answer = directory.inState(line.words[0]);
    finish.claim();
    if (!answer.ok) return failed(answer.message);
    if (auto unwritten = writeStationFiles(line.output, answer.stations, line.pageSize))
        return failed("Não foi possível gravar o arquivo " + *unwritten + ".");
    return succeeded(answer.stations.size());
}

Outcome newsCommand(const CommandLine& line, Clock::time_point deadline, Finish& finish) {
    HttpClient client;
    HttpOptions options;
    options.requestTimeout = std::chrono::duration_cast<std::chrono::milliseconds>(kCommandTime);
    options.deadline = deadline;
    HttpResponse response = std::move(client.getAll({line.words[0]}, options).front());
    finish.claim();
    if (!response.good()) return failed(kNewsNoAnswer);
    std::optional<NewsFeed> feed = parseNewsFeed(response.body);
    if (!feed) return failed(kNewsNotRss);

    using parlendo::text::utf8ToCp1252Plain;
    std::string titles;
    for (size_t i = 0; i < feed->items.size(); ++i) {
        const NewsItem& item = feed->items[i];
        std::string title = utf8ToCp1252Plain(item.title, kTitleBytes);
        if (title.empty()) title = parlendo::text::utf8ToCp1252("Notícia sem título");
        titles += title + "\r\n" + encodeAddress(item.link) + "\r\n";
        std::string article;
        for (const std::string& l : articleLines(item, feed->title)) article += utf8ToCp1252Plain(l) + "\r\n";
        std::string page = line.output + "." + std::to_string(i + 1);
        if (!writeFileAtomically(page, article))
            return failed("Não foi possível gravar o arquivo " + page + ".");
    }
    removePagesFrom(line.output, feed->items.size() + 1);
    if (!writeFileAtomically(line.output, titles))
        return failed("Não foi possível gravar o arquivo " + line.output + ".");
    return succeeded(feed->items.size());
}

int fontesMain(int argc, char** argv, std::string& statusFile) {
    Clock::time_point start = Clock::now();
    CommandLine line;
    if (auto problem = parseCommandLine(argc, argv, line)) {
        std::fprintf(stderr, "sintonix-fontes: %s\nUse sintonix-fontes --help para ver os comandos.\n",
                     problem->c_str());
        if (!line.statusFile.empty()) writeStatusError(line.statusFile, "sintonix-fontes: " + *problem);
        return 2;
    }
    if (line.help) {
        std::fputs(kHelp, stdout);
        return 0;
    }
    if (line.version) {
        std::puts("sintonix-fontes " SINTONIX_VERSION);
        return 0;
    }
    statusFile = line.statusFile;
    bool news = line.command == "noticias";
    const char* noAnswer = news ? kNewsNoAnswer : kDirectoryNoAnswer;
    if (curl_global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK) return Finish(statusFile).report(failed(noAnswer));

    Finish finish(line.statusFile);
    finish.watch(start + kCommandTime, noAnswer);
    Outcome outcome =
        news ? newsCommand(line, start + kWorkTime, finish) : stationCommand(line, start + kWorkTime, finish);
    int status = finish.report(outcome);
    curl_global_cleanup();
    return status;
}

}  // namespace

}  // namespace sintonix

int main(int argc, char** argv) {
    std::string statusFile;
    try {
        return sintonix::fontesMain(argc, argv, statusFile);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "sintonix-fontes: %s (%s)\n", sintonix::kUnexpected, e.what());
    } catch (...) {
        std::fprintf(stderr, "sintonix-fontes: %s\n", sintonix::kUnexpected);
    }
    if (!statusFile.empty()) sintonix::writeStatusError(statusFile, sintonix::kUnexpected);
    return 1;
}
