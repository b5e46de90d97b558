// The radio directory (radio-browser): finding its servers, the queries of each command,
// merging their answers, and going on to the next server when one fails.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/name_lookup.h"
#include "sources/http_client.h"
#include "sources/stations.h"

namespace sintonix {

inline constexpr char kDirectoryNoAnswer[] =
    "O diretório de rádios não respondeu. Verifique sua conexão com a internet.";
inline constexpr char kDirectoryGarbage[] =
    "O diretório de rádios mandou uma resposta que não foi entendida. Tente de novo mais tarde.";

// Where the servers are found: every address of lookupName is a server, named by its reverse
// name when that ends in serverSuffix. Tests point it at the loopback.
struct DirectoryHost {
    std::string lookupName = "all.api.radio-browser.info";
    std::string serverSuffix = ".api.radio-browser.info";
    std::string scheme = "https";
    int port = 443;
};

// A base address ("https://de1.api.radio-browser.info"); pin, when not empty, is the
// CURLOPT_RESOLVE entry that sends its host to one address.
struct DirectoryServer {
    std::string base;
    std::string pin;
    bool operator==(const DirectoryServer&) const = default;
};

struct DirectorySettings {
    std::vector<std::string> servers;  // given by the user, tried in this order; empty: find them
    std::string cacheFile;             // the servers found, kept for a day; empty: none
    std::string country = "BR";
    int limit = 500;   // stations asked of each query of a search or a segment
    HttpOptions http;  // time-outs and the whole command's deadline
    DirectoryHost host;
};

struct DirectoryAnswer {
    bool ok = false;
    std::vector<Station> stations;
    std::string message;  // when not ok: one of the two messages above
};

class RadioDirectory {
public:
    RadioDirectory(DirectorySettings settings, parlendo::NameLookup& names);

    // Stations whose name or a tag holds the text: the country's, then (when those are few)
    // the world's.
    DirectoryAnswer search(const std::string& text);
    // Stations with any of the tags, the country's first as in search.
    DirectoryAnswer segment(const std::vector<std::string>& tags);
    DirectoryAnswer mostListened();
    DirectoryAnswer mostVoted();
    DirectoryAnswer inState(const std::string& state);
    // Tells the directory that the station was played.
    DirectoryAnswer click(const std::string& uuid);

    // The servers to try: the cache when it is younger than a day (unless `fresh`), otherwise
    // those the name lookup finds, shuffled, written to the cache.
    std::vector<DirectoryServer> findServers(bool fresh);

private:
    struct Plan;
    enum class Verdict { Good, NoAnswer, Garbage };
    DirectoryAnswer run(const Plan& plan);
    Verdict attempt(const DirectoryServer& server, const Plan& plan, std::vector<Station>& stations);
    std::vector<DirectoryServer> readCache() const;
    std::string searchPath(const std::vector<std::pair<std::string, std::string>>& filters,
                           const std::string& order, int limit) const;

    DirectorySettings settings_;
    parlendo::NameLookup& names_;
    HttpClient client_;
};

}  // namespace sintonix
