// The network commands: TRAZDAREDE and HTTP; INTERNET, CONECTA, ATIVASSL, SERVE, OBSERVA and IP.
#include <cerrno>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "commands/command_state.h"
#include "console/key_queue.h"
#include "interp/argument_reader.h"
#include "interp/commands.h"
#include "interp/interpreter.h"
#include "net/connection.h"
#include "net/connection_channel.h"
#include "net/download.h"
#include "platform/socket.h"
#include "platform/unique_fd.h"
#include "text/cp1252.h"
#include "text/percent_encoding.h"

namespace parlendo {

namespace {

constexpr std::string_view kConnectionError = "Erro de conexao";
constexpr std::string_view kPortError = "Erro na porta TCP/IP";
constexpr int kListenBacklog = 3;
constexpr int kAcceptStepMs = 50;

using text::takeUpperPrefix;

bool nothingLeft(std::string_view rest) {
    dropBlanks(rest);
    return rest.empty();
}

// Puts a new connection in a slot, closing whatever the slot held first.
void bindConnection(Interpreter& in, int slot, NetSocket socket) {
    in.state->channels.close(slot);
    in.state->channels.bind(slot,
                            std::make_unique<ConnectionChannel>(*in.services.network, std::move(socket)));
}

}  // namespace

bool cmdTrazDaRede(Interpreter& in, std::string_view args, int) {
    DownloadRequest request;
    std::string clicks;
    int variable;
    if (!readValue(in, args, request.url) || !readValue(in, args, request.file) ||
        !readValue(in, args, clicks) || !readValue(in, args, request.userAgent) ||
        !readValue(in, args, request.cookie) || !readVariable(in, args, variable))
        return false;
    if (clicks != "0" && clicks != "1") return false;
    request.clicks = clicks == "1";
    bool ok = in.services.network && download(in, *in.services.network, request);
    return in.assign(variable, ok ? "0" : "1");
}

bool cmdHttp(Interpreter& in, std::string_view args, int) {
    int variable;
    if (!readVariable(in, args, variable)) return false;
    return in.assign(variable, text::percentEncode(in.variables.text(variable)));
}

bool cmdInternet(Interpreter& in, std::string_view args, int) {
    std::string_view word = text::trim(args);
    if (text::equalsUpper(word, "INICIA")) {
        if (in.services.network) in.services.network->start();
        return true;
    }
    if (text::equalsUpper(word, "TERMINA")) {
        if (in.services.network) in.services.network->stop();
        return true;
    }
    return false;
}

bool cmdConecta(Interpreter& in, std::string_view args, int) {
    Network* net = in.services.network;
    if (takeUpperPrefix(args, "SSL ")) {
        if (net) net->tlsRequested = true;
        args = text::trim(args);
    }
    bool quiet = takeTrailingAmpersand(args);
    auto failed = [&] {
        if (quiet) {
            in.ioStatus = 1;
            return true;
        }
        in.showMessage(kConnectionError);
        return false;
    };
    int slot;
    std::string host, portText;
    if (!readChannel(args, slot) || args.empty() || !readValue(in, args, host) ||
        !readValue(in, args, portText))
        return failed();
    std::optional<int32_t> port = toInteger(portText);
    if (net) {
        net->lastHost = host;
        net->lastPort = port.value_or(0);
    }
    if (!port) {
        if (quiet) {
            in.ioStatus = 2;
            return true;
        }
        in.showMessage(kPortError);
        return false;
    }
    if (!net) return failed();
    NetSocket socket = net->tlsRequested ? net->connectTls(host, *port) : net->connect(host, *port);
    if (!socket.valid()) return failed();
    bindConnection(in, slot, std::move(socket));
    if (quiet) in.ioStatus = 0;
    return true;
}

bool cmdAtivaSsl(Interpreter& in, std::string_view args, int) {
    int slot;
    if (!readChannel(args, slot) || !in.services.network) return false;
    Network& net = *in.services.network;
    // The plain connection is closed before its TLS successor is opened.
    if (ConnectionChannel* old = connectionIn(in, slot))
        old->closeSocket();
    else
        in.state->channels.close(slot);
    in.state->channels.bind(
        slot, std::make_unique<ConnectionChannel>(net, net.connectTls(net.lastHost, net.lastPort)));
    return true;
}

bool cmdServe(Interpreter& in, std::string_view args, int) {
    int slot;
    std::string portText;
    if (!readChannel(args, slot) || args.empty() || !readValue(in, args, portText)) {
        in.showMessage(kConnectionError);
        return false;
    }
    std::optional<int32_t> port = toInteger(portText);
    if (!port) {
        in.showMessage(kPortError);
        return false;
    }
    Network* net = in.services.network;
    UniqueFd listener =
        net && *port >= 0 && *port <= 65535 ? sock::listenOn(*port, kListenBacklog).fd : UniqueFd();
    if (!listener.valid()) {
        in.showMessage(kConnectionError);
        return false;
    }
    // The wait keeps the console alive; Esc gives up. Other keys typed meanwhile are kept for
    // the script.
    KeyQueue& keys = in.services.keys;
    std::vector<uint8_t> kept;
    UniqueFd client;
    bool cancelled = false;
    for (;;) {
        sock::OpenedSocket accepted = sock::acceptClient(listener.get());
        client = std::move(accepted.fd);
        if (client.valid() || accepted.error != EAGAIN) break;
        net->pump();
        while (keys.keyPressed()) {
            std::optional<uint8_t> key = keys.readKey();
            if (!key) break;
            if (*key == 27) {
                cancelled = true;
                break;
            }
            kept.push_back(*key);
        }
        if (cancelled) break;
        // Only a pause between tries: the accept above finds out what the wait would say.
        (void)sock::waitReadable(listener.get(), kAcceptStepMs);
    }
    listener.reset();
    for (uint8_t k : kept) keys.pushKey(k);
    if (!client.valid()) {
        in.showMessage(kConnectionError);
        return false;
    }
    bindConnection(in, slot, NetSocket(*net, std::move(client)));
    return true;
}

bool cmdObserva(Interpreter& in, std::string_view args, int) {
    int variable;
    if (takeUpperPrefix(args, "TECLADO ")) {
        args = text::trim(args);
        if (!readVariable(in, args, variable) || !nothingLeft(args)) return false;
        if (in.services.network) in.services.network->pump();
        return in.assign(variable, in.services.keys.keyPressed() ? "1" : "0");
    }
    int slot;
    if (!readChannel(args, slot) || !readVariable(in, args, variable) || !nothingLeft(args)) return false;
    ConnectionChannel* channel = connectionIn(in, slot);
    return in.assign(variable, channel && channel->dataAvailable() ? "1" : "0");
}

bool cmdIp(Interpreter& in, std::string_view args, int) {
    bool local = takeUpperPrefix(args, "LOCAL ");
    if (!local && !takeUpperPrefix(args, "REMOTO ")) return false;
    args = text::trim(args);
    int slot, variable;
    if (!readChannel(args, slot) || !readVariable(in, args, variable)) return false;
    ConnectionChannel* channel = connectionIn(in, slot);
    if (!channel || channel->socket() < 0) return false;
    // A socket that is not connected has no address to give: the command fails.
    std::optional<std::string> address =
        local ? sock::localAddress(channel->socket()) : sock::peerAddress(channel->socket());
    if (!address) return false;
    return in.assign(variable, *address);
}

}  // namespace parlendo
