// The radio directory: servers found through DNS (and kept for a day), each command's queries
// sent to one server at once, and the next server tried when any of them fails.
#include "sources/radio_directory.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <random>
#include <utility>

#include "sources/output_files.h"
#include "text/cp1252.h"
#include "text/percent_encoding.h"

namespace sintonix {

namespace {

using Clock = std::chrono::steady_clock;
using Filters = std::vector<std::pair<std::string, std::string>>;

// Fewer stations than a page of the tuner: the country's answer is widened to the world's.
constexpr size_t kFewStations = 22;
constexpr int kTopLimit = 100;
constexpr int kStateLimit = 1000;
constexpr auto kCacheLifetime = std::chrono::hours(24);
// Name lookups take a share of the command's time, leaving the rest to the servers.
constexpr auto kResolveTime = std::chrono::seconds(4);
constexpr auto kReverseTime = std::chrono::seconds(2);
// A server is not asked when less than this is left of the command's time: libcurl ends the
// one before a hair early, and an answer in the last milliseconds would only make the outcome
// depend on the machine's load.
constexpr auto kLeastTimeForAServer = std::chrono::milliseconds(50);

Deadline earliest(Deadline a, Clock::duration fromNow) { return std::min(a, Clock::now() + fromNow); }

std::string baseAddress(const DirectoryHost& host, const std::string& name) {
    bool usual = (host.scheme == "https" && host.port == 443) || (host.scheme == "http" && host.port == 80);
    return host.scheme + "://" + name + (usual ? "" : ":" + std::to_string(host.port));
}

std::mt19937 shuffler() {
    try {
        std::random_device device;
        return std::mt19937(device());
    } catch (...) {
        // No random device: the time and the process tell runs apart well enough to spread
        // the load over the servers.
        return std::mt19937(static_cast<unsigned>(Clock::now().time_since_epoch().count() ^ ::getpid()));
    }
}

}  // namespace

struct RadioDirectory::Plan {
    std::vector<std::string> first;  // paths asked at once
    std::vector<std::string> wider;  // asked at once after them when they bring few stations
    bool byClicks = true;            // merge sorted by clicks; otherwise in the server's order
    bool click = false;              // the answer is an object, not stations
};

RadioDirectory::RadioDirectory(DirectorySettings settings, parlendo::NameLookup& names)
    : settings_(std::move(settings)), names_(names) {
    settings_.country = parlendo::text::upperCase(settings_.country);
}

std::string RadioDirectory::searchPath(const Filters& filters, const std::string& order, int limit) const {
    std::string path = "/json/stations/search?";
    for (const auto& [key, value] : filters) path += key + "=" + parlendo::text::percentEncode(value) + "&";
    return path + "hidebroken=true&order=" + order + "&reverse=true&limit=" + std::to_string(limit);
}

DirectoryAnswer RadioDirectory::search(const std::string& text) {
    const std::string& cc = settings_.country;
    Plan plan;
    plan.first = {searchPath({{"name", text}, {"countrycode", cc}}, "clickcount", settings_.limit),
                  searchPath({{"tag", text}, {"countrycode", cc}}, "clickcount", settings_.limit)};
    plan.wider = {searchPath({{"name", text}}, "clickcount", settings_.limit),
                  searchPath({{"tag", text}}, "clickcount", settings_.limit)};
    return run(plan);
}

DirectoryAnswer RadioDirectory::segment(const std::vector<std::string>& tags) {
    Plan plan;
    for (const std::string& tag : tags) {
        plan.first.push_back(
            searchPath({{"tag", tag}, {"countrycode", settings_.country}}, "clickcount", settings_.limit));
        plan.wider.push_back(searchPath({{"tag", tag}}, "clickcount", settings_.limit));
    }
    return run(plan);
}

DirectoryAnswer RadioDirectory::mostListened() {
    Plan plan;
    plan.first = {searchPath({{"countrycode", settings_.country}}, "clickcount", kTopLimit)};
    plan.byClicks = false;
    return run(plan);
}

DirectoryAnswer RadioDirectory::mostVoted() {
    Plan plan;
    plan.first = {searchPath({{"countrycode", settings_.country}}, "votes", kTopLimit)};
    plan.byClicks = false;
    return run(plan);
}

DirectoryAnswer RadioDirectory::inState(const std::string& state) {
    Plan plan;
    plan.first = {searchPath({{"countrycode", settings_.country}, {"state", state}, {"stateExact", "true"}},
                             "clickcount", kStateLimit)};
    plan.byClicks = false;
    return run(plan);
}

DirectoryAnswer RadioDirectory::click(const std::string& uuid) {
    Plan plan;
    plan.first = {"/json/url/" + parlendo::text::percentEncode(uuid)};
    plan.click = true;
    return run(plan);
}

RadioDirectory::Verdict RadioDirectory::attempt(const DirectoryServer& server, const Plan& plan,
                                                std::vector<Station>& stations) {
    HttpOptions options = settings_.http;
    if (!server.pin.empty()) options.pins.push_back(server.pin);
    options.stopAtFirstFailure = true;
    auto ask = [&](const std::vector<std::string>& paths, std::vector<std::vector<Station>>& lists) {
        std::vector<std::string> urls;
        urls.reserve(paths.size());
        for (const std::string& path : paths) urls.push_back(server.base + path);
        std::vector<HttpResponse> responses = client_.getAll(urls, options);
        for (const HttpResponse& r : responses)
            if (!r.good()) return Verdict::NoAnswer;
        for (const HttpResponse& r : responses) {
            if (plan.click) {
                auto doc = nlohmann::json::parse(r.body.begin(), r.body.end(), nullptr, false);
                if (!doc.is_object()) return Verdict::Garbage;
                continue;
            }
            auto list = parseStations(r.body);
            if (!list) return Verdict::Garbage;
            lists.push_back(std::move(*list));
        }
        return Verdict::Good;
    };
    stations.clear();
    std::vector<std::vector<Station>> lists;
    if (Verdict v = ask(plan.first, lists); v != Verdict::Good) return v;
    appendMerged(stations, lists, plan.byClicks);
    if (stations.size() < kFewStations && !plan.wider.empty()) {
        lists.clear();
        if (Verdict v = ask(plan.wider, lists); v != Verdict::Good) return v;
        appendMerged(stations, lists, plan.byClicks);
    }
    return Verdict::Good;
}

DirectoryAnswer RadioDirectory::run(const Plan& plan) {
    DirectoryAnswer answer;
    std::vector<DirectoryServer> tried;
    bool garbage = false;
    auto tryServers = [&](const std::vector<DirectoryServer>& servers) {
        for (const DirectoryServer& server : servers) {
            if (Clock::now() + kLeastTimeForAServer >= settings_.http.deadline) return false;
            if (std::find(tried.begin(), tried.end(), server) != tried.end()) continue;
            tried.push_back(server);
            Verdict v = attempt(server, plan, answer.stations);
            if (v == Verdict::Good) return true;
            if (v == Verdict::Garbage) garbage = true;
        }
        return false;
    };

    bool found;
    if (!settings_.servers.empty()) {
        std::vector<DirectoryServer> given;
        for (const std::string& base : settings_.servers) given.push_back({base, ""});
        found = tryServers(given);
    } else {
        std::vector<DirectoryServer> cached = readCache();
        found = !cached.empty() && tryServers(cached);
        // Servers kept from yesterday may have gone: look them up again.
        if (!found) found = tryServers(findServers(true));
    }
    answer.ok = found;
    if (!found) {
        answer.stations.clear();
        answer.message = garbage ? kDirectoryGarbage : kDirectoryNoAnswer;
    }
    return answer;
}

std::vector<DirectoryServer> RadioDirectory::readCache() const {
    if (settings_.cacheFile.empty()) return {};
    std::error_code ec;
    if (!std::filesystem::is_regular_file(settings_.cacheFile, ec)) return {};
    auto written = std::filesystem::last_write_time(settings_.cacheFile, ec);
    if (ec) return {};
    auto age = std::filesystem::file_time_type::clock::now() - written;
    // A time in the future is a clock set wrong: the file's age is unknown.
    if (age >= kCacheLifetime || age < -std::chrono::hours(1)) return {};
    std::ifstream in(settings_.cacheFile, std::ios::binary);
    std::vector<DirectoryServer> servers;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        size_t blank = line.find(' ');
        DirectoryServer s{line.substr(0, blank), blank == std::string::npos ? "" : line.substr(blank + 1)};
        if (s.base.rfind("https://", 0) == 0 || s.base.rfind("http://", 0) == 0)
            servers.push_back(std::move(s));
    }
    return servers;
}

std::vector<DirectoryServer> RadioDirectory::findServers(bool fresh) {
    if (!fresh) {
        std::vector<DirectoryServer> cached = readCache();
        if (!cached.empty()) return cached;
    }
    const DirectoryHost& host = settings_.host;
    std::vector<std::string> addresses =
        names_.resolve(host.lookupName, earliest(settings_.http.deadline, kResolveTime));
    std::vector<std::optional<std::string>> names =
        names_.reverse(addresses, earliest(settings_.http.deadline, kReverseTime));
    std::string suffix = parlendo::text::lowerAscii(host.serverSuffix);
    std::vector<DirectoryServer> servers;
    for (size_t i = 0; i < addresses.size(); ++i) {
        DirectoryServer s;
        std::string name = i < names.size() && names[i] ? parlendo::text::lowerAscii(*names[i]) : "";
        if (name.size() > suffix.size() &&
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0) {
            s.base = baseAddress(host, name);
        } else {
            // No name of the directory's own: the shared name, sent to this address, still
            // passes the certificate's check.
            const std::string& a = addresses[i];
            std::string pinned = a.find(':') != std::string::npos ? "[" + a + "]" : a;
            s.base = baseAddress(host, host.lookupName);
            s.pin = host.lookupName + ":" + std::to_string(host.port) + ":" + pinned;
        }
        if (std::find(servers.begin(), servers.end(), s) == servers.end()) servers.push_back(std::move(s));
    }
    auto random = shuffler();
    std::shuffle(servers.begin(), servers.end(), random);
    if (!servers.empty() && !settings_.cacheFile.empty()) {
        std::string text;
        for (const DirectoryServer& s : servers) text += s.base + (s.pin.empty() ? "" : " " + s.pin) + "\n";
        writeFileAtomically(settings_.cacheFile, text);
    }
    return servers;
}

}  // namespace sintonix
