// CONECTA, SERVE, ATIVASSL, OBSERVA and IP: line exchange between two parlendo processes, and
// TLS connections to the fixture server.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdio>
#include <thread>

#include "commands/command_state.h"
#include "net/connection.h"
#include "net/connection_channel.h"
#include "net_fixture.h"

namespace parlendo::testing {
namespace {

// A port nothing listens on right now.
int freePort() {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof a;
    int port = -1;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length) == 0)
        port = ntohs(a.sin_port);
    ::close(fd);
    return port;
}

// True once something listens on the port (read from the system's table of TCP sockets).
bool listening(int port) {
    char wanted[32];
    std::snprintf(wanted, sizeof wanted, ":%04X 00000000:0000 0A", port);
    std::string table = readBytes("/proc/net/tcp");
    return table.find(wanted) != std::string::npos;
}

TEST(Connections, LinesGoBothWaysBetweenServeAndConecta) {
    int port = freePort();
    if (port < 0) GTEST_SKIP() << "no port could be bound on the loopback";
    auto folder = freshTempFolder("tcp");
    std::string server;
    server =
        "seja p params\ncopia p p 3 10\ninternet inicia\nserve #1 p\n"
        "le #1 l\nescreve \"recebi \" l\nescreve #1 \"eco \" l\nescreve #1 \"mais\"\n"
        "ip local #1 a\nip remoto #1 b\nescreve a \" \" b\n"
        "le #1 l\ncheca c\nescreve \"resto \" l \" \" c\n"
        "le #1 l\ncheca c\nescreve \"fim \" l \" \" c\nfecha #1\n";
    std::string client =
        "seja p params\ncopia p p 3 10\ninternet inicia\nconecta #2 \"localhost\" p\n"
        "escreve #2 \"olá\"\nle #2 r\nescreve r\nobserva #2 o\nescreve \"observa \" o\nle #2 r\nescreve r\n"
        "escreve #2 \"sem fim de linha\" &\nfecha #2\n";
    ScriptRun served;
    std::thread serverThread([&] { served = runParlendo(folder, server, "", "", std::to_string(port)); });
    for (int i = 0; i < 200 && !listening(port); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    // OBSERVA may wait up to two seconds for the second line, however busy the machine.
    ScriptRun called =
        runParlendo(folder, client, "[ORALIX]\r\nTIMEOUT_REDE=2000000\r\n", "", std::to_string(port));
    serverThread.join();
    EXPECT_EQ(called.status, 0);
    EXPECT_EQ(called.screen, "eco olá\nobserva 1\nmais");
    EXPECT_EQ(served.status, 0);
    // The text sent without a line end counts as a line when the client closes; then the end.
    EXPECT_EQ(served.screen, "recebi olá\n127.0.0.1 127.0.0.1\nresto sem fim de linha 0\nfim  1");
    std::filesystem::remove_all(folder);
}

TEST(Connections, FailuresQuietAndLoud) {
    int port = freePort();
    if (port < 0) GTEST_SKIP() << "no port could be bound on the loopback";
    auto folder = freshTempFolder("tcp-fail");
    std::string p = std::to_string(port);
    ScriptRun quiet = runParlendo(folder,
                                  "conecta #1 \"localhost\" \"porta\" &\ncheca c\nescreve c\n"
                                  "conecta #1 \"127.0.0.1\" " +
                                      p +
                                      " &\ncheca c\nescreve c\n"
                                      "observa #5 o\nescreve o\nle #1 l\n");
    EXPECT_EQ(quiet.status, 1);
    EXPECT_EQ(quiet.screen.substr(0, 6), "2\n1\n0\n");
    ScriptRun badPort = runParlendo(folder, "conecta #1 \"localhost\" \"porta\"\nescreve \"depois\"\n");
    EXPECT_EQ(badPort.status, 1);
    EXPECT_EQ(badPort.screen.substr(0, badPort.screen.find('\n')), "Erro na porta TCP/IP");
    ScriptRun refused = runParlendo(folder, "conecta #1 \"127.0.0.1\" " + p + "\n");
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.screen.substr(0, refused.screen.find('\n')), "Erro de conexao");
    // An address is asked of a channel without a connection: the command fails.
    ScriptRun ip = runParlendo(folder, "ativassl #3\nescreve \"ativa\"\nip remoto #3 r\n");
    EXPECT_EQ(ip.status, 1);
    EXPECT_EQ(ip.screen.substr(0, 6), "ativa\n");
    std::filesystem::remove_all(folder);
}

TEST(Connections, TlsRequestFlagLastsUntilFecha) {
    FixtureServer server;
    std::string why;
    if (!server.start(why)) GTEST_SKIP() << why;
    server.put("x.txt", "conteudo");
    auto folder = freshTempFolder("tcp-tls");
    std::string tls = std::to_string(server.tlsPort), plain = std::to_string(server.plainPort);
    std::string request = "escreve #N \"GET /file/x.txt HTTP/1.0\"\nescreve #N \"\"\nle #N l\nescreve l\n";
    auto on = [&](const std::string& n) {
        std::string r = request;
        for (size_t at; (at = r.find("#N")) != std::string::npos;) r.replace(at, 2, "#" + n);
        return r;
    };
    std::string script = "conecta ssl #1 \"localhost\" " + tls + "\n" + on("1") +
                         // Without FECHA the flag still holds: this connection is TLS too.
                         "conecta #2 \"localhost\" " + tls + "\n" + on("2") + "fecha #2\nfecha #1\n" +
                         "conecta #3 \"127.0.0.1\" " + plain + "\n" + on("3") +
                         // ATIVASSL replaces the plain connection by TLS to the last server.
                         "conecta #4 \"localhost\" " + tls + "\nativassl #4\n" + on("4") + "fecha #4\n";
    ScriptRun r = runParlendo(folder, script, "", "SSL_CERT_FILE=" + server.caFile());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.screen, "HTTP/1.1 200 OK\nHTTP/1.1 200 OK\nHTTP/1.1 200 OK\nHTTP/1.1 200 OK");
    ScriptRun untrusted =
        runParlendo(folder, "conecta ssl #1 \"localhost\" " + tls + "\n", "", "SSL_CERT_FILE=/dev/null");
    EXPECT_EQ(untrusted.status, 1);
    EXPECT_EQ(untrusted.screen.substr(0, 54), "Certificado do servidor não confere.\nErro de conexao\n");
    server.stop();
    std::filesystem::remove_all(folder);
}

TEST(Connections, ServeGivesUpOnEscAndKeepsOtherKeys) {
    int port = freePort();
    if (port < 0) GTEST_SKIP() << "no port could be bound on the loopback";
    Machine m;
    Network net(m.settings, nullptr);
    attachNetwork(m.in, net);
    ASSERT_TRUE(m.exec("observa teclado t"));
    EXPECT_EQ(m.var("t"), "0");
    m.keys.pushKey('a');
    ASSERT_TRUE(m.exec("observa teclado t"));
    EXPECT_EQ(m.var("t"), "1");
    m.keys.pushKey(27);
    EXPECT_FALSE(m.exec("serve #1 " + std::to_string(port)));
    EXPECT_EQ(m.row(1), "Erro de conexao");
    EXPECT_FALSE(m.in.state->channels.isOpen(1));
    ASSERT_TRUE(m.keys.keyPressed());
    EXPECT_EQ(m.keys.readKey(), 'a');
    EXPECT_FALSE(m.keys.keyPressed());
    // The port is free again for the next SERVE.
    EXPECT_FALSE(listening(port));
}

}  // namespace
}  // namespace parlendo::testing
