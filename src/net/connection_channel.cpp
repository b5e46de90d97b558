// Connections on the numbered channels.
#include "net/connection_channel.h"

#include "commands/command_state.h"
#include "interp/interpreter.h"

namespace parlendo {

int ConnectionChannel::readLine(std::string& line, size_t maxLength) {
    if (net_.readLine(connection_, line, maxLength) == NetRead::Ok) return 0;
    line.clear();
    return 1;
}

int ConnectionChannel::writeText(std::string_view text, bool endLine) {
    const int socket = connection_.socket.get();
    bool sent = endLine ? net_.sendLine(socket, text) : net_.sendText(socket, text);
    return sent ? 0 : 1;
}

void ConnectionChannel::closeSocket() {
    connection_.socket.reset();
    connection_.position = connection_.count = 0;
}

SysError ConnectionChannel::close() {
    closeSocket();
    net_.tlsRequested = false;
    return 0;
}

ConnectionChannel* connectionIn(Interpreter& in, int slot) {
    return dynamic_cast<ConnectionChannel*>(in.state->channels.channel(slot));
}

void attachNetwork(Interpreter& in, Network& net) {
    in.services.network = &net;
    net.writeLine = [&in](std::string_view text) { in.writeLine(text); };
    net.showMessage = [&in](std::string_view text) { in.showMessage(text); };
}

}  // namespace parlendo
