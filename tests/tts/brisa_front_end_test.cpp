// The Brisa voice's front end with the data files of the source tree: sentences of the tuner from
// text to PhonemeString, the melody of questions and statements, and missing or broken files.
#include "tts/brisa_front_end.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "text/cp1252.h"

namespace parlendo {
namespace {

const std::string kData = std::string(PARLENDO_SOURCE_DIR) + "/data/brisa/portug.";

std::string cp(const char* utf8) { return text::utf8ToCp1252(utf8); }

bool loadAll(BrisaFrontEnd& f, const std::string& base) {
    return f.loadRules(base + "nrl") && f.loadExceptions(base + "exc") && f.loadAbbreviations(base + "abr") &&
           f.loadProsody(base + "pro") && f.loadDiphones(base + "dfn");
}

// The phoneme names of a PhonemeString's phoneme lines, joined by blanks (pauses left out).
std::string phonemesOf(const PhonemeString& lines) {
    std::string out;
    for (const std::string& l : lines) {
        if (l.empty() || l[0] == ';' || l[0] == '_') continue;
        out += (out.empty() ? "" : " ") + l.substr(0, l.find(' '));
    }
    return out;
}

struct Point {
    std::string phoneme;
    int position, hz;
};
// The pitch points of the lines of the last word of a PhonemeString before its final pauses.
std::vector<Point> pointsOf(const PhonemeString& lines) {
    std::vector<Point> points;
    for (const std::string& l : lines) {
        if (l.empty() || l[0] == ';') continue;
        std::istringstream in(l);
        Point p{};
        int ms;
        if (in >> p.phoneme >> ms >> p.position >> p.hz && p.phoneme != "_") points.push_back(p);
    }
    return points;
}

class BrisaFrontEndTest : public ::testing::Test {
protected:
    void SetUp() override {
        front.setMessageSink([this](std::string_view m) { messages.emplace_back(m); });
        ASSERT_TRUE(loadAll(front, kData));
    }
    BrisaFrontEnd front;
    std::vector<std::string> messages;
};

TEST_F(BrisaFrontEndTest, WordsOfTheTunerReadTheBrazilianWay) {
    const auto said = [&](const char* utf8) { return phonemesOf(front.phonemeString(cp(utf8), 1.0, 1.0)); };
    EXPECT_EQ(said("cidade"), "s i d a dZ i");  // t, d before i: tS, dZ; final e: i
    EXPECT_EQ(said("leite quente"), "l e y tS i k e~ tS i");
    EXPECT_EQ(said("bolo"), "b o l u");  // final o: u
    EXPECT_EQ(said("sol"), "s O w");     // final l: w
    EXPECT_EQ(said("rato carro"), "r2 a t u k a r2 u");
    EXPECT_EQ(said("mar"), "m a r2");
    EXPECT_EQ(said("mar azul"), "m a r a z u w");  // linked before a vowel
    EXPECT_EQ(said("mais dez"), "m a y s2 d E s2");
    EXPECT_EQ(said("mais alto"), "m a y z a w t u");
    EXPECT_EQ(said("pão mãe bem"), "p a~ w~ m a~ y~ b e~ y~");
    EXPECT_EQ(said("janela bola"), "Z 6 n E l 6 b O l 6");
    EXPECT_EQ(said("rádio"), "r2 a dZ y u");
    EXPECT_EQ(said("filho banho"), "f i lh u b a~ nh u");
    EXPECT_EQ(said("Dr. Silva"), "d o w t o r2 s i w v 6");
    EXPECT_EQ(said("2ª estação"), "s e g u~ d 6 e s t a s a~ w~");
}

TEST_F(BrisaFrontEndTest, SentencesOfTheTunerUseOnlyListedPhonemesAndDiphones) {
    const std::set<std::string> names = {"a",  "6",  "e",  "E",  "i",  "o",  "O",  "u", "a~", "e~",
                                         "i~", "o~", "u~", "w",  "y",  "w~", "y~", "p", "b",  "t",
                                         "d",  "k",  "g",  "tS", "dZ", "f",  "v",  "s", "z",  "s2",
                                         "S",  "Z",  "m",  "n",  "nh", "l",  "lh", "r", "r2", "_"};
    const char* sentences[] = {
        "Bem-vindo ao Sintonix, versão 1.6.",
        "Digite as palavras da busca e tecle Enter.",
        "Nenhuma estação encontrada. Tente outras palavras!",
        "Gravando a rádio em mp3: aperte Esc para parar.",
        "Página 2 de 15; 22 estações por página.",
        "Você quer mesmo apagar a lista? (s/n)",
    };
    for (const char* s : sentences) {
        const PhonemeString lines = front.phonemeString(cp(s), 1.0, 0.8);
        ASSERT_FALSE(lines.empty()) << s;
        std::string previous = "_";
        for (const std::string& l : lines) {
            if (l.empty() || l[0] == ';') continue;
            std::istringstream in(l);
            std::string name;
            long ms = -1;
            in >> name >> ms;
            EXPECT_TRUE(names.count(name)) << s << ": " << l;
            EXPECT_GE(ms, 0) << s << ": " << l;
            // No join was needed: every pair is one the database holds.
            EXPECT_TRUE(front.diphones().contains(previous + "-" + name))
                << s << ": " << previous << "-" << name;
            previous = name;
        }
    }
    EXPECT_TRUE(messages.empty());
}

TEST_F(BrisaFrontEndTest, QuestionsRiseAndStatementsFall) {
    // The last word's points: first phoneme, stressed phoneme (at 80 %), last phoneme.
    const std::vector<Point> q = pointsOf(front.phonemeString(cp("Você gosta de música?"), 1.0, 1.0));
    const std::vector<Point> s = pointsOf(front.phonemeString(cp("Você gosta de música."), 1.0, 1.0));
    ASSERT_GE(q.size(), 3u);
    ASSERT_GE(s.size(), 3u);
    const Point& qStress = q[q.size() - 2];
    const Point& sStress = s[s.size() - 2];
    EXPECT_EQ(qStress.position, 80);
    EXPECT_GT(qStress.hz, q[q.size() - 3].hz);  // the last stressed syllable rises
    EXPECT_GT(qStress.hz, sStress.hz);
    EXPECT_LT(s.back().hz, s[s.size() - 3].hz);  // the statement ends low
    EXPECT_LT(s.back().hz, q.back().hz);
    // A text without a mark of its own (a menu item) ends as a statement does, its stressed
    // syllable no higher than the words before it.
    const std::vector<Point> item = pointsOf(front.phonemeString(cp("Você gosta de música"), 1.0, 1.0));
    ASSERT_EQ(item.size(), s.size());
    EXPECT_EQ(item.back().hz, s.back().hz);
    EXPECT_LE(sStress.hz, s[s.size() - 3].hz);
    // The pitch factor scales every point.
    const std::vector<Point> high = pointsOf(front.phonemeString(cp("Você gosta de música?"), 2.0, 1.0));
    ASSERT_EQ(high.size(), q.size());
    for (size_t i = 0; i < q.size(); ++i) EXPECT_NEAR(high[i].hz, 2 * q[i].hz, 1);
}

TEST(BrisaFrontEndFiles, MissingOrBrokenFilesFailTheirLoad) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("brisa-files-" + std::to_string(getpid()));
    fs::create_directories(dir);
    const std::string base = (dir / "portug.").string();
    BrisaFrontEnd f;
    std::vector<std::string> messages;
    f.setMessageSink([&](std::string_view m) { messages.push_back(text::cp1252ToUtf8(m)); });
    EXPECT_FALSE(f.loadRules(base + "nrl"));
    EXPECT_FALSE(f.loadExceptions(base + "exc"));
    EXPECT_FALSE(f.loadAbbreviations(base + "abr"));
    EXPECT_FALSE(f.loadProsody(base + "pro"));
    EXPECT_FALSE(f.loadDiphones(base + "dfn"));
    EXPECT_EQ(messages, std::vector<std::string>{"Configuração da prosódia não foi achada"});
    std::ofstream(base + "pro") << "[DURACAO]\na=1\n";  // no "[DURAÇÃO]" header
    EXPECT_FALSE(f.loadProsody(base + "pro"));
    EXPECT_EQ(messages.back(), "Duração dos difones errada ou ausente");
    // A folder in place of a file is no file.
    fs::create_directories(base + "nrl");
    EXPECT_FALSE(f.loadRules(base + "nrl"));
    // With nothing loaded the front end still gives lines for any text.
    const PhonemeString lines = f.phonemeString(cp("Olá, mundo 123!"), 1.0, 1.0);
    EXPECT_FALSE(lines.empty());
    // A rule whose output holds blanks (a comment run into it) still writes phoneme lines only.
    f.rules().readRules("(A)= a elsewhere.\n(B)=  \n(L)=l\n");
    for (const std::string& l : f.phonemeString("bala", 1.0, 1.0)) {
        if (l.empty() || l[0] == ';') continue;
        EXPECT_NE(l[0], ' ') << l;
        EXPECT_EQ(l.find("elsewhere"), std::string::npos) << l;
    }
    fs::remove_all(dir);
}

}  // namespace
}  // namespace parlendo
