// DIR and BUSCA: creating, removing and changing folders, and searching them.
#include <gtest/gtest.h>

#include <filesystem>

#include "../interp/fixture.h"
#include "commands/directory_search.h"
#include "file_test_support.h"

namespace parlendo {
namespace {

namespace fs = std::filesystem;
using testing::cp;
using testing::KeepCurrentDirectory;
using testing::Machine;
using testing::quoted;
using testing::writeBytes;

TEST(Dir, CreateChangeAndRemove) {
    Machine m;
    KeepCurrentDirectory keep;
    fs::path sub = m.folder / "listas";
    ASSERT_TRUE(m.exec("dir cria " + quoted(sub)));
    EXPECT_TRUE(fs::is_directory(sub));
    EXPECT_FALSE(m.exec("dir cria " + quoted(sub)));
    EXPECT_EQ(m.speech.lines().back(), cp("Erro no processamento do diretório " + sub.string()));
    EXPECT_TRUE(m.exec("DIR CRIA " + quoted(sub) + " &"));

    ASSERT_TRUE(m.exec("dir troca " + quoted(sub)));
    EXPECT_EQ(fs::current_path(), sub);
    ASSERT_TRUE(m.exec("dir troca \"..\""));
    EXPECT_EQ(fs::current_path(), m.folder);
    ASSERT_TRUE(m.exec("busca d dir"));
    EXPECT_EQ(m.var("D"), m.folder.string());

    writeBytes(sub / "rock.lst", "x");
    EXPECT_FALSE(m.exec("dir remove \"listas\"")) << "not empty";
    EXPECT_TRUE(fs::exists(sub / "rock.lst"));
    fs::remove(sub / "rock.lst");
    ASSERT_TRUE(m.exec("dir remove \"listas\""));
    EXPECT_FALSE(fs::exists(sub));
    EXPECT_FALSE(m.exec("dir troca \"listas\""));
    EXPECT_TRUE(m.exec("dir troca \"listas\" &"));
    EXPECT_EQ(fs::current_path(), m.folder);

    size_t said = m.speech.lines().size();
    EXPECT_FALSE(m.exec("dir lista x"));
    EXPECT_FALSE(m.exec("dir cria"));
    EXPECT_FALSE(m.exec("dir cria \"a\" \"b\""));
    EXPECT_FALSE(fs::exists(m.folder / "a"));
    EXPECT_EQ(m.speech.lines().size(), said) << "a bad subcommand or path fails without a message";
}

TEST(Busca, PatternsMatchLikeTheLanguageExpects) {
    EXPECT_TRUE(matchPattern("*.*", "leiame"));
    EXPECT_TRUE(matchPattern("*.*", "a.b.c"));
    EXPECT_TRUE(matchPattern("*.LST", "rock.lst"));
    EXPECT_TRUE(matchPattern(cp("AÇÃO*"), cp("ação.lst")));
    EXPECT_TRUE(matchPattern("r?ck.*", "rock"));
    EXPECT_TRUE(matchPattern("*a*b", "xxaxxbxxb"));
    EXPECT_FALSE(matchPattern("*.lst", "rock.lst.bak"));
    EXPECT_FALSE(matchPattern("r?ck", "rck"));
    EXPECT_FALSE(matchPattern("", "a"));
    // Many stars against a long name that does not match stay quick.
    EXPECT_FALSE(matchPattern("*a*a*a*a*a*a*a*a*a*a*b", std::string(250, 'a')));
}

TEST(Busca, StepsThroughFilesThenFoldersAndEnds) {
    Machine m;
    KeepCurrentDirectory keep;
    fs::current_path(m.folder);
    for (const char* name : {"b.lst", "A.lst", "c.txt", "sem_ponto", ".oculto"})
        writeBytes(m.folder / name, "x");
    fs::create_directory(m.folder / "listas");
    fs::create_directory(m.folder / ".config");
    writeBytes(m.folder / "listas" / "Samba.lst", "x");

    std::vector<std::string> seen;
    ASSERT_TRUE(m.exec("busca b \"*.*\""));
    while (!m.var("B").empty()) {
        seen.push_back(m.var("B"));
        ASSERT_TRUE(m.exec("busca b proximo"));
        ASSERT_LT(seen.size(), 10u);
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"A.lst", "b.lst", "c.txt", "sem_ponto"}));
    m.set("B", "x");
    ASSERT_TRUE(m.exec("busca b próximo"));
    EXPECT_EQ(m.var("B"), "") << "past the end, again the empty text";

    ASSERT_TRUE(m.exec("busca b \"*.LST\""));
    EXPECT_EQ(m.var("B"), "A.lst");
    ASSERT_TRUE(m.exec("busca b fim"));
    EXPECT_EQ(m.var("B"), "A.lst") << "FIM leaves the variable";
    ASSERT_TRUE(m.exec("busca b PROXIMO"));
    EXPECT_EQ(m.var("B"), "");

    ASSERT_TRUE(m.exec("busca b \"listas/*.lst\""));
    EXPECT_EQ(m.var("B"), "Samba.lst");
    ASSERT_TRUE(m.exec("busca b " + quoted(m.folder / "listas" / "SAMBA.LST")));
    EXPECT_EQ(m.var("B"), "Samba.lst") << "the name as it is on disk";
    ASSERT_TRUE(m.exec("busca b \"falta/*.*\""));
    EXPECT_EQ(m.var("B"), "");
    ASSERT_TRUE(m.exec("busca b \"listas/\""));
    EXPECT_EQ(m.var("B"), "");

    // Folder mode finds folders only; hidden ones never.
    fs::create_directory(m.folder / "mp3");
    ASSERT_TRUE(m.exec("busca b dir \"*\""));
    EXPECT_EQ(m.var("B"), "listas");
    ASSERT_TRUE(m.exec("busca b proximo"));
    EXPECT_EQ(m.var("B"), "mp3");
    ASSERT_TRUE(m.exec("busca b proximo"));
    EXPECT_EQ(m.var("B"), "");
    ASSERT_TRUE(m.exec("busca b DIR \"b.lst\""));
    EXPECT_EQ(m.var("B"), "") << "a file is not a folder";

    EXPECT_FALSE(m.exec("busca b"));
    EXPECT_FALSE(m.exec("busca"));
    EXPECT_FALSE(m.exec("busca b proximo x"));
    EXPECT_FALSE(m.exec("busca b \"*\" x"));
}

}  // namespace
}  // namespace parlendo
