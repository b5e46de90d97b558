// The tuner script's page readers through their fixed entry @lepaginas: a downloaded search page
// and news index become the lists the screens show.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>

#include "../interp/fixture.h"
#include "app/host.h"
#include "platform/file_system.h"

namespace parlendo {
extern const std::string_view kTunerScript;
namespace {

void put(const std::filesystem::path& p, const std::string& text) {
    std::ofstream(p, std::ios::binary) << text;
}

TEST(TunerPages, SearchResultsAndNewsTitlesBecomeLists) {
    testing::Machine m;
    std::filesystem::create_directories(m.folder / "temp");
    put(m.folder / "temp/busca.tmp",
        "<p class=\"total\">Mostrando 1 - 1 de 1 rádios</p>\n"
        "<a class=\"thumbnail\" href=\"/radio/alegria\"><img alt=\"Rádio Alegria\"></a>\n"
        "<a class=\"localizacao\" title=\"Cidade Recife\">Recife</a>\n"
        "<a class=\"btn btn-default btn-xs segmento\" title=\"Estilo: Notícias\">x</a>\n"
        "</p>\n");
    put(m.folder / "temp/radio.html",
        "<li><a href=\"/noticias/ver/123\">\n"
        "12/05 - Chuva forte no Recife</a></li>\n");
    put(m.folder / "temp/lernoticia.tmp", "");
    const char* here = getcwd(nullptr, 0);
    ASSERT_EQ(chdir(m.folder.c_str()), 0);
    std::vector<std::string> lines = {"chama @lepaginas", "termina mudo"};
    for (std::string& l : splitScript(kTunerScript)) lines.push_back(std::move(l));
    for (size_t i = 0; i < lines.size(); ++i) ASSERT_TRUE(m.in.storeLine(lines[i], static_cast<int>(i + 1)));
    const RunOutcome outcome = m.in.run();
    EXPECT_EQ(outcome.end, RunEnd::Finished) << "line " << outcome.line << ": " << m.in.failReason;
    EXPECT_EQ(readSystemFile("temp/radios.lst"),
              testing::cp("Rádio Alegria, Recife, Notícias\r\n/radio/alegria\r\n"));
    EXPECT_EQ(readSystemFile("temp/noticia.tmp"),
              "Chuva forte no Recife\r\nhttps://noticias.example/noticias/ver/123\r\n");
    EXPECT_EQ(chdir(here), 0);
    std::free(const_cast<char*>(here));
}

}  // namespace
}  // namespace parlendo
