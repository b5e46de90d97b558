// Stations of the radio directory: JSON to records, merging, and the tuner's list files.
#include "sources/stations.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <limits>
#include <nlohmann/json.hpp>
#include <unordered_set>

#include "sources/output_files.h"
#include "text/cp1252.h"
#include "text/percent_encoding.h"
#include "text/transliterate.h"

namespace sintonix {

namespace {

using Json = nlohmann::json;
using parlendo::text::utf8ToCp1252Plain;

constexpr size_t kNameBytes = 100;
constexpr size_t kTagBytes = 40;
constexpr size_t kMostTags = 6;
constexpr size_t kStateBytes = 60;
constexpr size_t kCountryBytes = 10;

// A string field; empty when missing or of another type.
std::string textField(const Json& object, const char* key) {
    auto it = object.find(key);
    if (it == object.end() || !it->is_string()) return {};
    return it->get<std::string>();
}

// A count; 0 when missing or not a number, clamped to the range of int64_t.
int64_t countField(const Json& object, const char* key) {
    auto it = object.find(key);
    if (it == object.end()) return 0;
    constexpr int64_t kMost = std::numeric_limits<int64_t>::max();
    if (it->is_number_unsigned()) return static_cast<int64_t>(std::min<uint64_t>(it->get<uint64_t>(), kMost));
    if (it->is_number_integer()) return it->get<int64_t>();
    if (it->is_number_float()) {
        double d = it->get<double>();
        if (!(d > -9.2e18 && d < 9.2e18)) return d > 0 ? kMost : 0;
        return static_cast<int64_t>(d);
    }
    return 0;
}

bool hasScheme(const std::string& address) { return address.find("://") != std::string::npos; }

}  // namespace

std::optional<std::vector<Station>> parseStations(std::string_view json) {
    Json doc = Json::parse(json.begin(), json.end(), nullptr, false);
    if (doc.is_discarded() || !doc.is_array()) return std::nullopt;
    std::vector<Station> stations;
    stations.reserve(doc.size());
    for (const Json& element : doc) {
        if (!element.is_object()) return std::nullopt;
        Station s;
        s.uuid = textField(element, "stationuuid");
        if (s.uuid.empty()) continue;
        s.address = textField(element, "url_resolved");
        if (!hasScheme(s.address)) s.address = textField(element, "url");
        if (!hasScheme(s.address)) continue;
        s.name = textField(element, "name");
        s.state = textField(element, "state");
        s.countryCode = textField(element, "countrycode");
        s.tags = textField(element, "tags");
        s.clickCount = countField(element, "clickcount");
        stations.push_back(std::move(s));
    }
    return stations;
}

void appendMerged(std::vector<Station>& out, const std::vector<std::vector<Station>>& lists, bool byClicks) {
    std::unordered_set<std::string> seen;
    for (const Station& s : out) seen.insert(s.uuid);
    size_t groupStart = out.size();
    for (const auto& list : lists)
        for (const Station& s : list)
            if (seen.insert(s.uuid).second) out.push_back(s);
    if (byClicks)
        std::stable_sort(out.begin() + static_cast<std::ptrdiff_t>(groupStart), out.end(),
                         [](const Station& a, const Station& b) { return a.clickCount > b.clickCount; });
}

std::string displayLine(const Station& station) {
    std::string line = utf8ToCp1252Plain(station.name, kNameBytes);
    if (line.empty()) line = parlendo::text::utf8ToCp1252("Rádio sem nome");
    std::string state = utf8ToCp1252Plain(station.state, kStateBytes);
    std::string country = utf8ToCp1252Plain(station.countryCode, kCountryBytes);
    std::string place = state.empty() ? country : country.empty() ? state : state + " - " + country;
    if (!place.empty()) line += ", " + place;

    std::vector<std::string> tags;
    std::string_view rest = station.tags;
    while (!rest.empty() && tags.size() < kMostTags) {
        size_t comma = rest.find(',');
        std::string tag = utf8ToCp1252Plain(rest.substr(0, comma), kTagBytes);
        rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
        if (!tag.empty() && std::find(tags.begin(), tags.end(), tag) == tags.end())
            tags.push_back(std::move(tag));
    }
    for (size_t i = 0; i < tags.size(); ++i) line += (i == 0 ? ", " : " / ") + tags[i];
    return line;
}

std::string encodeAddress(std::string_view address) {
    return parlendo::text::percentEncodeWhere(address, [](unsigned char u) {
        static constexpr std::string_view kUnsafe = "\"<>\\^`{|}";
        return u <= 0x20 || u >= 0x7F || kUnsafe.find(static_cast<char>(u)) != std::string_view::npos;
    });
}

std::string listFileText(const std::vector<Station>& stations, size_t first, size_t count) {
    std::string text;
    size_t end = first + std::min(count, stations.size() - std::min(first, stations.size()));
    for (size_t i = first; i < end; ++i)
        text += displayLine(stations[i]) + "\r\n" + encodeAddress(stations[i].address) + "\r\n";
    return text;
}

std::string idsFileText(const std::vector<Station>& stations) {
    std::string text;
    for (const Station& s : stations)
        text += encodeAddress(s.uuid) + "\t" + encodeAddress(s.address) + "\r\n";
    return text;
}

std::optional<std::string> writeStationFiles(const std::string& path, const std::vector<Station>& stations,
                                             size_t pageSize) {
    size_t pages = 0;
    if (pageSize > 0) {
        pages = (stations.size() + pageSize - 1) / pageSize;
        for (size_t p = 0; p < pages; ++p) {
            std::string page = path + "." + std::to_string(p + 1);
            if (!writeFileAtomically(page, listFileText(stations, p * pageSize, pageSize))) return page;
        }
    }
    removePagesFrom(path, pages + 1);
    // The list itself last: a reader that sees the new list finds the ids and pages ready.
    if (!writeFileAtomically(path + ".ids", idsFileText(stations))) return path + ".ids";
    if (!writeFileAtomically(path, listFileText(stations))) return path;
    return std::nullopt;
}

std::optional<std::string> findStationId(const std::string& idsPath, std::string_view address) {
    std::ifstream in(idsPath, std::ios::binary);
    if (!in) return std::nullopt;
    std::string encoded = encodeAddress(address);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        size_t tab = line.find('\t');
        if (tab == std::string::npos || tab == 0) continue;
        std::string_view written = std::string_view(line).substr(tab + 1);
        if (written == address || written == encoded) return line.substr(0, tab);
    }
    return std::nullopt;
}

}  // namespace sintonix
