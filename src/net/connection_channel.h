// A channel that holds a network connection: LE #n reads its lines, ESCREVE #n sends them,
// FECHA #n ends it; and the hook-up of the program's Network to an interpreter.
#pragma once

#include <utility>

#include "commands/file_slots.h"
#include "net/connection.h"

namespace parlendo {

class Interpreter;

class ConnectionChannel final : public Channel {
public:
    // Takes the socket (it may be empty: reads and writes then fail with status 1), which
    // closes with the channel.
    ConnectionChannel(Network& net, NetSocket socket) : net_(net), connection_(std::move(socket)) {}
    ~ConnectionChannel() override = default;
    ConnectionChannel(const ConnectionChannel&) = delete;
    ConnectionChannel& operator=(const ConnectionChannel&) = delete;

    bool isConnection() const override { return true; }
    // Waits without a time limit for a line or the end of the connection: 0 a line, 1 the end.
    int readLine(std::string& line, size_t maxLength) override;
    // 0 when the text (and CR LF when endLine) went out, 1 when not.
    int writeText(std::string_view text, bool endLine) override;
    // Closes the socket and clears the TLS request flag.
    SysError close() override;

    bool dataAvailable() { return net_.dataAvailable(connection_); }
    int socket() const { return connection_.socket.get(); }
    // Closes the socket only (ATIVASSL replaces it).
    void closeSocket();

private:
    Network& net_;
    NetConnection connection_;
};

// The connection channel in a slot, or null when the slot holds none.
ConnectionChannel* connectionIn(Interpreter& in, int slot);

// Gives the interpreter the program's Network, whose messages then go to its console.
void attachNetwork(Interpreter& in, Network& net);

}  // namespace parlendo
