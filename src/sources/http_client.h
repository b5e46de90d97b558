// HTTP GET through libcurl: several addresses fetched at once, each within a time-out and all
// within a deadline, bodies capped in size.
#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace sintonix {

using Deadline = std::chrono::steady_clock::time_point;

struct HttpResponse {
    bool transferred = false;  // a whole response arrived (whatever its status)
    long status = 0;           // the HTTP status of the last response (after redirects)
    std::string body;
    std::string error;  // what went wrong when not transferred, for messages to developers

    bool good() const { return transferred && status >= 200 && status <= 299; }
};

struct HttpOptions {
    std::chrono::milliseconds connectTimeout{5000};
    std::chrono::milliseconds requestTimeout{8000};
    Deadline deadline = Deadline::max();
    size_t maxBodyBytes = 16u << 20;
    // CURLOPT_RESOLVE entries ("HOST:PORT:ADDRESS"): hosts pinned to addresses found by us.
    std::vector<std::string> pins;
    // Stops the other requests as soon as one is not good: its caller gives up on them anyway.
    bool stopAtFirstFailure = false;
};

// One client per command: connections stay open between the rounds of requests to a server.
// The process must have called curl_global_init before making one.
class HttpClient {
public:
    HttpClient();
    ~HttpClient();
    HttpClient(const HttpClient&) = delete;
    HttpClient& operator=(const HttpClient&) = delete;

    // GETs every address at once; the responses in the order of the addresses. Requests not
    // finished at the deadline (or stopped) come back not transferred.
    std::vector<HttpResponse> getAll(const std::vector<std::string>& urls, const HttpOptions& options);

private:
    struct Multi;
    std::unique_ptr<Multi> multi_;
};

}  // namespace sintonix
