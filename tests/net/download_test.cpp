// TRAZDAREDE against the fixture server, through the built parlendo: results, files byte for
// byte, the requests sent, redirects, resume, streams, time limits and certificates.
#include <gtest/gtest.h>

#include <chrono>

#include "net_fixture.h"

namespace parlendo::testing {
namespace {

class Downloads : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        server_ = new FixtureServer;
        if (!server_->start(skipReason_)) return;
        // Every byte value, line ends in both forms, and more than two blocks.
        for (int i = 0; i < 10000; ++i) data_ += static_cast<char>((i * 7919 + i / 13) % 256);
        server_->put("data.bin", data_);
    }
    static void TearDownTestSuite() {
        server_->stop();
        delete server_;
    }
    void SetUp() override {
        if (!skipReason_.empty()) GTEST_SKIP() << skipReason_;
        folder_ = freshTempFolder("download");
        server_->takeRequests();
    }
    void TearDown() override {
        std::error_code ec;
        if (!folder_.empty()) std::filesystem::remove_all(folder_, ec);
    }
    // One TRAZDAREDE and the result written after it.
    static std::string fetch(const std::string& url, const std::string& file, const std::string& ua = "\"\"",
                             const std::string& cookie = "\"sintonix\"") {
        return "trazdarede \"" + url + "\" \"" + file + "\" 0 " + ua + " " + cookie +
               " r\nescreve \"r=\" r\n";
    }
    ScriptRun run(const std::string& script, const std::string& settings = "") {
        return runParlendo(folder_, script, settings, "SSL_CERT_FILE=" + server_->caFile());
    }
    std::string file(const std::string& name) { return readBytes(folder_ / name); }

    static FixtureServer* server_;
    static std::string skipReason_;
    static std::string data_;
    std::filesystem::path folder_;
};

FixtureServer* Downloads::server_ = nullptr;
std::string Downloads::skipReason_;
std::string Downloads::data_;

TEST_F(Downloads, WholeFileThenResumeRestartAndAlreadyComplete) {
    writeBytes(folder_ / "part.bin", data_.substr(0, 3000));
    writeBytes(folder_ / "stale.bin", std::string(500, 'z'));
    ScriptRun r = run(fetch(server_->url("/file/data.bin"), "whole.bin") +
                      fetch(server_->url("/file/data.bin"), "part.bin") +
                      fetch(server_->url("/full/data.bin"), "stale.bin") +
                      fetch(server_->url("/file/data.bin"), "whole.bin"));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.screen, "r=0\nRetomando download\nr=0\nr=0\nr=0");
    EXPECT_EQ(file("whole.bin"), data_);
    EXPECT_EQ(file("part.bin"), data_);
    EXPECT_EQ(file("stale.bin"), data_);
    std::string requests = server_->takeRequests();
    // The first request in full, in its order; then the resumes.
    EXPECT_EQ(requests.substr(0, requests.find("--")),
              "GET /file/data.bin HTTP/1.1\nUser-Agent: \nAccept: */*\nAccept-Encoding: identity\n"
              "Host: 127.0.0.1\nConnection: Close\nCookie: sintonix\n");
    EXPECT_NE(requests.find("Range: bytes=3000-\nCookie"), std::string::npos);
    EXPECT_NE(requests.find("Range: bytes=500-"), std::string::npos);
    EXPECT_NE(requests.find("Range: bytes=10000-"), std::string::npos);
}

TEST_F(Downloads, ErrorStatusesFailAndLeaveTheFileAlone) {
    writeBytes(folder_ / "keep.bin", "partial");
    ScriptRun r =
        run(fetch(server_->url("/status/400"), "a.bin") + fetch(server_->url("/status/404"), "b.bin") +
            fetch(server_->url("/status/500"), "keep.bin") + fetch("http://127.0.0.1:1/nada", "c.bin") +
            fetch("", "d.bin"));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.screen,
              "Erro http400:Requisição http não foi bem formulada.\nr=1\n"
              "Erro http404: Página não encontrada.\nr=1\n"
              "Erro http500: resposta inesperada do servidor.\nr=1\nr=1\nr=1");
    EXPECT_EQ(file("keep.bin"), "partial");
    EXPECT_FALSE(std::filesystem::exists(folder_ / "a.bin"));
    EXPECT_FALSE(std::filesystem::exists(folder_ / "b.bin"));
}

TEST_F(Downloads, RedirectsFollowAcrossSchemesAndStopAfterTwenty) {
    std::string toTls = server_->url("/redirect?to=" + server_->tlsUrl("/file/data.bin"));
    std::string toPlain = server_->tlsUrl("/redirect?to=" + server_->url("/file/data.bin"));
    std::string relative = server_->url("/redirect?to=/file/data.bin");
    ScriptRun r = run(fetch(toTls, "a.bin") + fetch(toPlain, "b.bin") + fetch(relative, "c.bin") +
                      fetch(server_->url("/loop"), "d.bin"));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.screen, "r=0\nr=0\nr=0\nErro http: redirecionamentos demais.\nr=1");
    EXPECT_EQ(file("a.bin"), data_);
    EXPECT_EQ(file("b.bin"), data_);
    EXPECT_EQ(file("c.bin"), data_);
}

TEST_F(Downloads, AnswerWithoutLengthIsFetchedAgainLineByLine) {
    server_->put("page.html", "<html>\r\nlinha um\nlinha dois\r\r\n\nfim sem quebra");
    ScriptRun r = run(fetch(server_->url("/nolength/page.html"), "page.txt", "\"Agente\"", "\"biscoito\"") +
                      fetch(server_->url("/chunked/page.html"), "chunked.txt", "\"\"", "\"biscoito\""));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.screen, "r=0\nr=0");
    EXPECT_EQ(file("page.txt"), "<html>\r\nlinha um\r\nlinha dois\r\r\n\r\nfim sem quebra\r\n\r\n");
    // No transfer coding is decoded: the chunk sizes stand in the file as lines of their own.
    EXPECT_EQ(file("chunked.txt"),
              "2d\r\n<html>\r\nlinha um\r\nlinha dois\r\r\n\r\nfim sem quebra\r\n0\r\n\r\n\r\n");
    std::string requests = server_->takeRequests();
    // The second request of the first download, with user agent and cookie changing places.
    EXPECT_NE(requests.find("GET /nolength/page.html HTTP/1.1\nHost: 127.0.0.1\nUser-Agent: biscoito\n"
                            "Connection: close\nAccept-Language: pt-br\nUA-CPU: x86\nCookie: Agente\n--"),
              std::string::npos);
    EXPECT_NE(requests.find("UA-CPU: x86\n--"), std::string::npos);
}

TEST_F(Downloads, ConnectionsEndingEarly) {
    ScriptRun r = run(fetch(server_->url("/short?length=4097&send=4096"), "a.bin") +
                      fetch(server_->url("/short?length=4098&send=4096"), "b.bin") +
                      fetch(server_->url("/short?length=5000&send=4999"), "c.bin"));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.screen,
              "r=0\nErro de conexao: o arquivo chegou incompleto.\nr=1\n"
              "Erro de conexao: o arquivo chegou incompleto.\nr=1");
    EXPECT_EQ(file("a.bin").size(), 4096u);
    EXPECT_EQ(file("b.bin").size(), 4096u);
    // The unfinished last block is not written.
    EXPECT_EQ(file("c.bin"), std::string(4096, 'x'));
}

TEST_F(Downloads, AudioWithoutLengthIsRecordedUntilTheStationCloses) {
    ScriptRun r = run(fetch(server_->url("/stream?blocks=3"), "radio.mp3"));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.screen, "r=0");
    EXPECT_EQ(file("radio.mp3"), std::string(4096, '\0') + std::string(4096, '\1') + std::string(4096, '\2'));
}

TEST_F(Downloads, SilentServerEndsTheDownloadAtTheLimit) {
    auto start = std::chrono::steady_clock::now();
    ScriptRun r = run(fetch(server_->url("/silent"), "a.bin"), "[ORALIX]\r\nTEMPOLIMITEREDE=1\r\n");
    auto seconds = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.screen, "Erro de conexao: o servidor não respondeu a tempo.\nr=1");
    EXPECT_LT(seconds.count(), 10);
}

// One time limit for a whole head however slowly its lines come, one size for it however fast;
// a body must bring a block within the limit of the one before; a TLS handshake has the limit
// too; a stream may pause longer.
TEST_F(Downloads, EndlessHeadsDripsAndMuteHandshakesEndAtTheLimit) {
    auto start = std::chrono::steady_clock::now();
    ScriptRun r = run(fetch(server_->url("/headers?every=0.2"), "a.bin") +
                          fetch(server_->url("/headers?every=0"), "b.bin") +
                          fetch(server_->url("/longheader?size=1048576"), "c.bin") +
                          fetch(server_->url("/drip?length=10000&every=0.05"), "d.bin") +
                          fetch(server_->url("/drip?length=10000&every=0.05&nolength=1"), "e.txt") +
                          fetch(server_->muteTlsUrl(), "f.bin") +
                          fetch(server_->url("/stream?blocks=2&gap=1.3"), "g.mp3"),
                      "[ORALIX]\r\nTEMPOLIMITEREDE=1\r\n");
    auto seconds = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start);
    EXPECT_EQ(r.status, 0);
    std::string late = "Erro de conexao: o servidor não respondeu a tempo.\nr=1\n";
    std::string large = "Erro http: cabeçalho da resposta grande demais.\nr=1\n";
    EXPECT_EQ(r.screen, late + large + large + late + late +
                            "Erro de conexao segura: o servidor não respondeu a tempo.\nr=1\nr=0");
    EXPECT_EQ(file("g.mp3").size(), 8192u);
    EXPECT_LT(seconds.count(), 9);
}

// A reset is no end, neither of a page without a length nor of a stream; a partial answer is
// appended only when it says it starts at the file's end.
TEST_F(Downloads, ResetsAndBadResumesFailWithAWord) {
    for (const char* name : {"none.bin", "wrong.bin", "right.bin"}) writeBytes(folder_ / name, "abc");
    ScriptRun r = run(fetch(server_->url("/reset?send=50004"), "list.txt") +
                      fetch(server_->url("/reset?send=50004&type=audio/mpeg"), "radio.mp3") +
                      fetch(server_->url("/partial?length=5"), "none.bin") +
                      fetch(server_->url("/partial?start=2&length=5"), "wrong.bin") +
                      fetch(server_->url("/partial?start=3&length=5"), "right.bin"));
    EXPECT_EQ(r.status, 0);
    std::string broken = "Erro de conexao: a conexão foi interrompida.\nr=1\n";
    std::string resume = "Erro http206: o servidor não retomou de onde o arquivo parou.\nr=1\n";
    EXPECT_EQ(r.screen, broken + broken + resume + resume + "Retomando download\nr=0");
    EXPECT_EQ(file("none.bin"), "abc");
    EXPECT_EQ(file("wrong.bin"), "abc");
    EXPECT_EQ(file("right.bin"), "abcppppp");
}

TEST_F(Downloads, CertificatesAreCheckedUnlessTheSettingsSayNot) {
    std::string byName = server_->tlsUrl("/file/data.bin");
    std::string byAddress = server_->tlsUrl("/file/data.bin", "127.0.0.1");
    ScriptRun trusted = run(fetch(byName, "a.bin") + fetch(byAddress, "b.bin"));
    EXPECT_EQ(trusted.screen, "r=0\nr=0");
    EXPECT_EQ(file("a.bin"), data_);
    EXPECT_EQ(file("b.bin"), data_);
    std::string settingsOff = "[ORALIX]\r\nVERIFICARCERTIFICADOS=NAO\r\n";
    ScriptRun untrusted = runParlendo(folder_, fetch(byName, "c.bin"), "", "SSL_CERT_FILE=/dev/null");
    EXPECT_EQ(untrusted.screen, "Certificado do servidor não confere.\nr=1");
    EXPECT_FALSE(std::filesystem::exists(folder_ / "c.bin"));
    ScriptRun unchecked =
        runParlendo(folder_, fetch(byName, "d.bin"), settingsOff, "SSL_CERT_FILE=/dev/null");
    EXPECT_EQ(unchecked.screen, "r=0");
    EXPECT_EQ(file("d.bin"), data_);
}

TEST_F(Downloads, BadArgumentsStopTheRun) {
    ScriptRun clicks = run("trazdarede \"" + server_->url("/file/data.bin") + "\" \"a.bin\" 2 \"\" \"\" r\n");
    EXPECT_EQ(clicks.status, 1);
    ScriptRun missing = run("trazdarede \"" + server_->url("/file/data.bin") + "\" \"a.bin\" 0 \"\"\n");
    EXPECT_EQ(missing.status, 1);
    ScriptRun http = run("seja s \"rádio 1~/\"\nhttp s\nescreve s\nhttp \"x\"\n");
    EXPECT_EQ(http.status, 1);
    EXPECT_EQ(http.screen.substr(0, http.screen.find('\n')), "r%E1dio%201~%2F");
}

}  // namespace
}  // namespace parlendo::testing
