// The radio directory's station JSON read into records, and the tuner's files made from them.
#include "sources/stations.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "../commands/file_test_support.h"
#include "../interp/fixture.h"

using namespace sintonix;
using parlendo::testing::freshTempFolder;
using parlendo::testing::readBytes;
using parlendo::testing::writeBytes;

TEST(StationJson, ReadsFieldsOfTheWrongTypeAsEmptyAndSkipsUnusableStations) {
    auto stations = parseStations(R"([
        {"stationuuid": "u1", "name": "R\u00e1dio Um", "url": "http://a/1", "url_resolved": "http://a/1r",
         "state": "Bahia", "countrycode": "BR", "tags": "mpb,samba", "clickcount": 42},
        {"stationuuid": "u2", "name": 5, "url": "http://b/2", "url_resolved": "", "state": null,
         "countrycode": ["BR"], "tags": {"x": 1}, "clickcount": "99"},
        {"stationuuid": "u3", "url": "https://c/3", "url_resolved": 7, "clickcount": 1e300},
        {"stationuuid": "u4", "url": "https://d/4", "clickcount": 18446744073709551615},
        {"name": "no uuid", "url": "http://e/5"},
        {"stationuuid": 6, "url": "http://f/6"},
        {"stationuuid": "u7", "url": "not an address", "url_resolved": "ftp:/x"},
        {"stationuuid": "u8", "url": "http://g/8", "clickcount": -3}
    ])");
    ASSERT_TRUE(stations);
    ASSERT_EQ(stations->size(), 5u);
    const Station& one = (*stations)[0];
    EXPECT_EQ(one.uuid, "u1");
    EXPECT_EQ(one.name, "R\u00e1dio Um");
    EXPECT_EQ(one.address, "http://a/1r");
    EXPECT_EQ(one.tags, "mpb,samba");
    EXPECT_EQ(one.clickCount, 42);
    const Station& two = (*stations)[1];
    EXPECT_EQ(two.address, "http://b/2");  // url when url_resolved is empty
    EXPECT_EQ(two.name + two.state + two.countryCode + two.tags, "");
    EXPECT_EQ(two.clickCount, 0);
    EXPECT_EQ((*stations)[2].address, "https://c/3");
    EXPECT_EQ((*stations)[2].clickCount, INT64_MAX);
    EXPECT_EQ((*stations)[3].clickCount, INT64_MAX);
    EXPECT_EQ((*stations)[4].uuid, "u8");
    EXPECT_EQ((*stations)[4].clickCount, -3);

    EXPECT_EQ(parseStations("[]")->size(), 0u);
    for (const char* garbage :
         {"", "<html><body>502 Bad Gateway</body></html>", R"({"stationuuid": "u1"})", "[1, 2]",
          R"([{"stationuuid": "u1"}, "x"])", R"([{"stationuuid": "u1", "url": "http://a")", "[{}] x",
          "\xEF\xBB\xBF[{]", "null", "[\"\xFF\"]"})
        EXPECT_FALSE(parseStations(garbage)) << garbage;
}

TEST(StationJson, DisplayLinesAndAddressesAreSafeWindows1252Lines) {
    Station s{"id",
              "  R\u00e1dio\nX \u2013 FM  ",
              "http://a/b c\"\u00e9\r\n|%41",
              "S\u00e3o Paulo",
              "BR",
              "rock, pop ,,rock,a,b,c,d,e,f",
              0};
    EXPECT_EQ(displayLine(s),
              "R\xE1"
              "dio X - FM, S\xE3o Paulo - BR, rock / pop / a / b / c / d");
    EXPECT_EQ(encodeAddress(s.address), "http://a/b%20c%22%C3%A9%0D%0A%7C%41");
    EXPECT_EQ(encodeAddress("<>\\^`{}~!"), "%3C%3E%5C%5E%60%7B%7D~!");

    s.tags = "";
    s.state = "";
    EXPECT_EQ(displayLine(s),
              "R\xE1"
              "dio X - FM, BR");
    s.countryCode = "";
    s.name = "\u4e2d\u6587";
    EXPECT_EQ(displayLine(s),
              "R\xE1"
              "dio sem nome");
    s.state = "Acre";
    EXPECT_EQ(displayLine(s),
              "R\xE1"
              "dio sem nome, Acre");

    std::vector<Station> list = {s};
    list[0].uuid = "u\t1";
    EXPECT_EQ(listFileText(list),
              "R\xE1"
              "dio sem nome, Acre\r\nhttp://a/b%20c%22%C3%A9%0D%0A%7C%41\r\n");
    EXPECT_EQ(idsFileText(list), "u%091\thttp://a/b%20c%22%C3%A9%0D%0A%7C%41\r\n");
}

TEST(StationFiles, WritesListIdsAndPagesAndNeverHalfAFile) {
    auto folder = freshTempFolder("station-files");
    std::string path = (folder / "busca.lst").string();
    std::vector<Station> stations;
    for (int i = 1; i <= 5; ++i)
        stations.push_back({"u" + std::to_string(i), "R" + std::to_string(i),
                            "http://s/" + std::to_string(i) + " x", "", "BR", "", 0});
    writeBytes(path + ".4", "stale");
    writeBytes(path + ".5", "stale");
    ASSERT_FALSE(writeStationFiles(path, stations, 2));
    EXPECT_EQ(readBytes(path + ".1"), "R1, BR\r\nhttp://s/1%20x\r\nR2, BR\r\nhttp://s/2%20x\r\n");
    EXPECT_EQ(readBytes(path + ".3"), "R5, BR\r\nhttp://s/5%20x\r\n");
    EXPECT_FALSE(std::filesystem::exists(path + ".4"));  // pages of an older, longer result go
    EXPECT_FALSE(std::filesystem::exists(path + ".5"));
    EXPECT_EQ(readBytes(path), listFileText(stations));
    std::string ids = readBytes(path + ".ids");
    EXPECT_EQ(ids.substr(0, 21), "u1\thttp://s/1%20x\r\nu2");
    EXPECT_EQ(std::count(ids.begin(), ids.end(), '\n'), 5);

    // The tuner gives back the address as the list shows it, or a player's unencoded one.
    EXPECT_EQ(findStationId(path + ".ids", "http://s/3%20x"), "u3");
    EXPECT_EQ(findStationId(path + ".ids", "http://s/4 x"), "u4");
    EXPECT_FALSE(findStationId(path + ".ids", "http://s/3"));
    EXPECT_FALSE(findStationId((folder / "none.ids").string(), "http://s/3%20x"));

    // A file that cannot be written is named, and the older list stays whole.
    std::filesystem::remove(path + ".ids");
    std::filesystem::create_directory(path + ".ids");
    writeBytes(path + ".ids/x", "");
    EXPECT_EQ(writeStationFiles(path, {stations[0]}, 0), path + ".ids");
    EXPECT_EQ(readBytes(path), listFileText(stations));
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        EXPECT_EQ(entry.path().string().find(".tmp"), std::string::npos) << entry.path();
    std::filesystem::remove_all(folder);
}
