// Stations of the radio directory: its JSON read into records, lists merged, and the tuner's
// files (the list, the ids beside it, the pages) made from them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sintonix {

// One station as the directory describes it; the texts are UTF-8 as they came.
struct Station {
    std::string uuid;
    std::string name;
    std::string address;  // url_resolved, or url when that has no "://"
    std::string state;
    std::string countryCode;
    std::string tags;  // separated by ","
    int64_t clickCount = 0;
};

// The stations of a search answer: a JSON array of objects. Fields of the wrong type read as
// empty or 0; elements without a stationuuid or without an address containing "://" are left
// out. nullopt when the bytes are not such an array (an HTML page, truncated JSON, an object).
std::optional<std::vector<Station>> parseStations(std::string_view json);

// Appends the stations of `lists` that `out` does not hold yet (by uuid, each once, the first
// one met kept), as one group: sorted by clicks, most first, keeping the directory's order
// among equals, when `byClicks`; in the order met otherwise.
void appendMerged(std::vector<Station>& out, const std::vector<std::vector<Station>>& lists, bool byClicks);

// The line the tuner shows and speaks, Windows-1252: "name, state - CC, tag / tag".
std::string displayLine(const Station& station);

// An address made safe for a line of the tuner's files: every byte outside printable ASCII,
// and the blank, ", <, >, \, ^, `, {, | and }, become %XX (of the UTF-8 bytes).
std::string encodeAddress(std::string_view address);

// The contents of the files, CR LF line ends: the list (display line, address), the ids
// (uuid TAB address) and the list of stations [first, first + count).
std::string listFileText(const std::vector<Station>& stations, size_t first = 0, size_t count = SIZE_MAX);
std::string idsFileText(const std::vector<Station>& stations);

// Writes ARQ, ARQ.ids and, when pageSize > 0, ARQ.1, ARQ.2, … (each atomically; pages of an
// earlier, longer result are removed). The name of the file that could not be written, or
// nullopt when all were.
std::optional<std::string> writeStationFiles(const std::string& path, const std::vector<Station>& stations,
                                             size_t pageSize);

// The uuid written in an ids file for a stream address (as written in the list, or as given
// before encoding); nullopt when the file or the address is not there.
std::optional<std::string> findStationId(const std::string& idsPath, std::string_view address);

}  // namespace sintonix
