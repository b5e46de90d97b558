// The radio directory against servers on the loopback: the queries, the merging of their
// answers, failing over, the messages, and finding the servers through (fake) name lookups.
#include "sources/radio_directory.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <filesystem>
#include <map>

#include "../commands/file_test_support.h"
#include "../interp/fixture.h"
#include "loopback_http.h"
#include "text/cp1252.h"

using namespace sintonix;
using namespace std::chrono_literals;
using sintonix::testing::httpAnswer;
using sintonix::testing::LoopbackHttp;
using sintonix::testing::RefusingPort;

namespace {

// A search answer: stations named by their uuid, with their clicks.
std::string stationsJson(const std::vector<std::pair<std::string, int>>& stations) {
    std::string json = "[";
    for (const auto& [id, clicks] : stations)
        json += std::string(json.size() > 1 ? "," : "") + R"({"stationuuid":")" + id + R"(","name":")" + id +
                R"(","url":"http://s/)" + id + R"(","countrycode":"BR","clickcount":)" +
                std::to_string(clicks) + "}";
    return json + "]";
}

std::vector<std::string> uuids(const std::vector<Station>& stations) {
    std::vector<std::string> ids;
    for (const Station& s : stations) ids.push_back(s.uuid);
    return ids;
}

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

DirectorySettings givenServers(std::vector<std::string> servers) {
    DirectorySettings settings;
    settings.servers = std::move(servers);
    settings.http.deadline = std::chrono::steady_clock::now() + 10s;
    return settings;
}

class FakeNames final : public parlendo::NameLookup {
public:
    std::vector<std::string> resolve(const std::string& host, Deadline) override {
        ++lookups;
        return host == name ? addresses : std::vector<std::string>{};
    }
    std::vector<std::optional<std::string>> reverse(const std::vector<std::string>& list, Deadline) override {
        std::vector<std::optional<std::string>> found;
        for (const std::string& a : list)
            found.push_back(reverseNames.count(a) ? std::optional(reverseNames[a]) : std::nullopt);
        return found;
    }

    std::string name = "all.api.radio-browser.info";
    std::vector<std::string> addresses;
    std::map<std::string, std::string> reverseNames;
    int lookups = 0;
};

}  // namespace

TEST(RadioDirectory, FailsOverAndPutsTheCountryFirstThenTheWorld) {
    LoopbackHttp garbage([](const std::string&) { return httpAnswer(200, "<html>Bad gateway</html>"); });
    RefusingPort refusing;
    LoopbackHttp good([](const std::string& target) {
        if (has(target, "?name=rock%20%C3%A9&countrycode=BR&"))
            return httpAnswer(200, stationsJson({{"A", 5}, {"B", 10}}));
        if (has(target, "?tag=rock%20%C3%A9&countrycode=BR&"))
            return httpAnswer(200, stationsJson({{"B", 10}, {"C", 7}}));
        if (has(target, "?name=rock%20%C3%A9&hidebroken"))
            return httpAnswer(200, stationsJson({{"A", 5}, {"D", 100}, {"E", 1}, {"G", 1}}));
        if (has(target, "?tag=rock%20%C3%A9&hidebroken"))
            return httpAnswer(200, stationsJson({{"F", 50}, {"D", 100}}));
        std::vector<std::pair<std::string, int>> a, b;  // segments: 22 stations in the country
        for (int i = 0; i < 12; ++i) a.push_back({"s" + std::to_string(i), i});
        for (int i = 10; i < 22; ++i) b.push_back({"s" + std::to_string(i), i});
        if (has(target, "?tag=a&countrycode=BR&")) return httpAnswer(200, stationsJson(a));
        if (has(target, "?tag=b&countrycode=BR&")) return httpAnswer(200, stationsJson(b));
        return httpAnswer(404, "[]");
    });
    FakeNames noNames;
    RadioDirectory directory(givenServers({garbage.base(), refusing.base(), good.base()}), noNames);

    DirectoryAnswer found = directory.search("rock \u00e9");
    ASSERT_TRUE(found.ok) << found.message;
    // The country's by clicks, then the world's not yet found, by clicks, equals in order.
    EXPECT_EQ(uuids(found.stations), (std::vector<std::string>{"B", "C", "A", "D", "F", "E", "G"}));
    std::vector<std::string> asked = good.requests();
    ASSERT_EQ(asked.size(), 4u);
    for (const std::string& r : asked)
        EXPECT_TRUE(has(r, "&hidebroken=true&order=clickcount&reverse=true&limit=500")) << r;

    // Enough stations in the country: the world is not asked.
    found = directory.segment({"a", "b"});
    ASSERT_TRUE(found.ok);
    EXPECT_EQ(found.stations.size(), 22u);
    EXPECT_EQ(found.stations.front().uuid, "s21");
    EXPECT_EQ(good.requests().size(), 6u);
}

TEST(RadioDirectory, SaysWhetherNoServerAnsweredOrAnswersWereNotUnderstood) {
    RefusingPort refusing;
    LoopbackHttp failing([](const std::string&) { return httpAnswer(503, "{}"); });
    LoopbackHttp truncated([](const std::string&) {
        return httpAnswer(200, stationsJson({{"A", 1}}).substr(0, 30));
    });
    LoopbackHttp silent([](const std::string&) { return std::string(); });
    LoopbackHttp good([](const std::string&) { return httpAnswer(200, stationsJson({{"A", 1}})); });
    FakeNames noNames;

    DirectoryAnswer a = RadioDirectory(givenServers({refusing.base(), failing.base()}), noNames).mostVoted();
    EXPECT_FALSE(a.ok);
    EXPECT_EQ(a.message, kDirectoryNoAnswer);
    a = RadioDirectory(givenServers({refusing.base(), truncated.base(), failing.base()}), noNames)
            .inState("Acre");
    EXPECT_FALSE(a.ok);
    EXPECT_EQ(a.message, kDirectoryGarbage);
    EXPECT_TRUE(a.stations.empty());

    // A server that never answers costs one request's time-out, and the command's deadline
    // holds whatever the time-outs.
    auto settings = givenServers({silent.base(), good.base()});
    settings.http.requestTimeout = 300ms;
    auto start = std::chrono::steady_clock::now();
    a = RadioDirectory(settings, noNames).mostListened();
    EXPECT_TRUE(a.ok);
    settings = givenServers({silent.base(), good.base()});
    settings.http.deadline = std::chrono::steady_clock::now() + 400ms;
    a = RadioDirectory(settings, noNames).click("A");
    EXPECT_FALSE(a.ok);
    EXPECT_EQ(a.message, kDirectoryNoAnswer);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    EXPECT_EQ(noNames.lookups, 0);  // servers given: nothing looked up
}

TEST(RadioDirectory, FindsServersByNameKeepsThemADayAndLooksAgainWhenTheyFail) {
    auto folder = parlendo::testing::freshTempFolder("directory-servers");
    std::string cache = (folder / "servidores.txt").string();
    FakeNames names;
    names.addresses = {"192.0.2.1", "2001:db8::1", "192.0.2.2", "192.0.2.3"};
    names.reverseNames = {{"192.0.2.1", "de1.api.radio-browser.info"},
                          {"192.0.2.2", "api.radio-browser.info.example.com"},
                          {"192.0.2.3", "DE1.api.radio-browser.info"}};
    DirectorySettings settings;
    settings.cacheFile = cache;
    settings.http.deadline = std::chrono::steady_clock::now() + 10s;
    RadioDirectory directory(settings, names);
    std::vector<DirectoryServer> want = {
        {"https://all.api.radio-browser.info", "all.api.radio-browser.info:443:192.0.2.2"},
        {"https://all.api.radio-browser.info", "all.api.radio-browser.info:443:[2001:db8::1]"},
        {"https://de1.api.radio-browser.info", ""}};
    auto sorted = [](std::vector<DirectoryServer> s) {
        std::sort(s.begin(), s.end(), [](auto& a, auto& b) { return a.base + a.pin < b.base + b.pin; });
        return s;
    };
    EXPECT_EQ(sorted(directory.findServers(false)), want);
    EXPECT_EQ(sorted(directory.findServers(false)), want);  // from the cache
    EXPECT_EQ(names.lookups, 1);
    std::filesystem::last_write_time(cache, std::filesystem::file_time_type::clock::now() - 25h);
    EXPECT_EQ(sorted(directory.findServers(false)), want);
    EXPECT_EQ(names.lookups, 2);

    // Yesterday's servers have gone: the name is looked up again, and an address without a
    // name of its own is reached under the shared name, pinned to it.
    RefusingPort gone;
    LoopbackHttp good([](const std::string&) { return httpAnswer(200, stationsJson({{"A", 1}, {"B", 2}})); });
    parlendo::testing::writeBytes(cache, gone.base() + "\n");
    settings.host = {"all.test", ".test", "http", good.port()};
    names.name = "all.test";
    names.addresses = {"127.0.0.1"};
    DirectoryAnswer a = RadioDirectory(settings, names).mostListened();
    ASSERT_TRUE(a.ok) << a.message;
    EXPECT_EQ(uuids(a.stations), (std::vector<std::string>{"A", "B"}));  // the server's order
    std::string port = std::to_string(good.port());
    ASSERT_EQ(good.requests().size(), 1u);
    EXPECT_EQ(good.requests()[0], "all.test:" + port +
                                      " /json/stations/search?countrycode=BR&hidebroken=true&order=clickcount"
                                      "&reverse=true&limit=100");
    EXPECT_EQ(parlendo::testing::readBytes(cache),
              "http://all.test:" + port + " all.test:" + port + ":127.0.0.1\n");
    std::filesystem::remove_all(folder);
}

TEST(RadioDirectory, FontesCommandLineWritesTheStatusInEveryOutcome) {
    auto folder = parlendo::testing::freshTempFolder("fontes-command");
    LoopbackHttp good([](const std::string& target) {
        if (has(target, "/json/url/B")) return httpAnswer(200, R"({"ok":true,"stationuuid":"B"})");
        return httpAnswer(200, R"([{"stationuuid":"A","name":"R\u00e1dio \u014csaka","url":"http://s/a b",
                                  "state":"S\u00e3o Paulo","countrycode":"BR","tags":"rock,pop","clickcount":3},
                                 {"stationuuid":"B","name":"","url":"http://s/b","clickcount":9}])");
    });
    RefusingPort refusing;
    auto run = [&](const std::string& args) {
        std::string command = "cd " + folder.string() + " && " + PARLENDO_BINARY_DIR + "/sintonix-fontes " +
                              args + " --estado st.txt >out.txt 2>err.txt";
        int raw = std::system(command.c_str());
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    };
    auto read = [&](const char* name) { return parlendo::testing::readBytes(folder / name); };

    // The text arrives from the tuner in Windows-1252.
    EXPECT_EQ(run("--servidores '" + refusing.base() + " " + good.base() + "' busca 'S\xE3o' --paginas 1"),
              0);
    EXPECT_EQ(read("st.txt"), "ok\r\n2\r\n");
    EXPECT_EQ(read("radios.lst"),
              "R\xE1"
              "dio sem nome\r\nhttp://s/b\r\nR\xE1"
              "dio Osaka, S\xE3o Paulo - BR, rock / pop\r\n"
              "http://s/a%20b\r\n");
    EXPECT_EQ(read("radios.lst.2"),
              "R\xE1"
              "dio Osaka, S\xE3o Paulo - BR, rock / pop\r\nhttp://s/a%20b\r\n");
    std::vector<std::string> asked = good.requests();
    EXPECT_TRUE(std::any_of(asked.begin(), asked.end(),
                            [](auto& r) { return has(r, "?name=S%C3%A3o&countrycode=BR&"); }));

    EXPECT_EQ(run("clique http://s/b --servidores " + good.base()), 0);
    EXPECT_EQ(read("st.txt"), "ok\r\n1\r\n");
    EXPECT_TRUE(has(good.requests().back(), " /json/url/B"));
    // An address that was not in the last search is not reported.
    EXPECT_EQ(run("clique http://s/zz --servidores " + good.base()), 0);
    EXPECT_EQ(read("st.txt"), "ok\r\n0\r\n");
    EXPECT_TRUE(has(good.requests().back(), " /json/url/B"));

    EXPECT_EQ(run("--servidores " + refusing.base() + " mais-votadas --saida outra.lst"), 1);
    EXPECT_EQ(read("st.txt"), "erro\r\n" + parlendo::text::utf8ToCp1252(kDirectoryNoAnswer) + "\r\n");
    EXPECT_EQ(read("err.txt"), std::string("sintonix-fontes: ") + kDirectoryNoAnswer + "\n");
    EXPECT_FALSE(std::filesystem::exists(folder / "outra.lst"));

    EXPECT_EQ(run("--paginas muitas busca rock"), 2);
    EXPECT_EQ(read("st.txt").substr(0, 6), "erro\r\n");
    EXPECT_EQ(run("--version"), 0);
    EXPECT_EQ(read("out.txt"), "sintonix-fontes 1.6\n");
    std::filesystem::remove_all(folder);
}
