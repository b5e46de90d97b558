// HTTP GET through libcurl's multi interface: every request of a round at once, one deadline.
#include "sources/http_client.h"

#include <curl/curl.h>

#include <algorithm>

namespace sintonix {

namespace {

constexpr char kUserAgent[] = "Sintonix/" SINTONIX_VERSION;
constexpr long kMaxRedirects = 5;
// The longest wait in one poll, so that the deadline is looked at now and then even when
// libcurl has nothing to say.
constexpr std::chrono::milliseconds kLongestPoll{500};

struct EasyCleanup {
    void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct ListCleanup {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

struct Transfer {
    std::unique_ptr<CURL, EasyCleanup> easy;
    HttpResponse response;
    size_t maxBodyBytes = 0;
    bool tooBig = false;
    bool finished = false;
    bool added = false;
    char errorText[CURL_ERROR_SIZE] = {};
};

size_t receiveBody(char* data, size_t size, size_t count, void* user) {
    auto* transfer = static_cast<Transfer*>(user);
    size_t bytes = size * count;
    if (transfer->response.body.size() + bytes > transfer->maxBodyBytes) {
        transfer->tooBig = true;
        return 0;  // libcurl stops the transfer with a write error
    }
    transfer->response.body.append(data, bytes);
    return bytes;
}

std::chrono::milliseconds remaining(Deadline deadline) {
    auto now = std::chrono::steady_clock::now();
    if (deadline <= now) return std::chrono::milliseconds(0);
    return std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now);
}

bool setUp(Transfer& t, const std::string& url, const HttpOptions& options, curl_slist* pins) {
    CURL* e = t.easy.get();
    long timeout = static_cast<long>(std::max<std::chrono::milliseconds::rep>(
        1, std::min(options.requestTimeout, remaining(options.deadline)).count()));
    bool ok = curl_easy_setopt(e, CURLOPT_URL, url.c_str()) == CURLE_OK &&
              curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https") == CURLE_OK &&
              curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, "http,https") == CURLE_OK &&
              curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, receiveBody) == CURLE_OK &&
              curl_easy_setopt(e, CURLOPT_WRITEDATA, &t) == CURLE_OK &&
              curl_easy_setopt(e, CURLOPT_PRIVATE, &t) == CURLE_OK &&
              curl_easy_setopt(e, CURLOPT_ERRORBUFFER, t.errorText) == CURLE_OK &&
              curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L) == CURLE_OK &&
              curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 1L) == CURLE_OK &&
              curl_easy_setopt(e, CURLOPT_MAXREDIRS, kMaxRedirects) == CURLE_OK &&
              curl_easy_setopt(e, CURLOPT_ACCEPT_ENCODING, "") == CURLE_OK &&
              curl_easy_setopt(e, CURLOPT_USERAGENT, kUserAgent) == CURLE_OK &&
              curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS,
                               static_cast<long>(options.connectTimeout.count())) == CURLE_OK &&
              curl_easy_setopt(e, CURLOPT_TIMEOUT_MS, timeout) == CURLE_OK &&
              curl_easy_setopt(e, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(options.maxBodyBytes)) ==
                  CURLE_OK;
    if (ok && pins) ok = curl_easy_setopt(e, CURLOPT_RESOLVE, pins) == CURLE_OK;
    return ok;
}

void finish(Transfer& t, CURLcode code) {
    t.finished = true;
    if (code == CURLE_OK) {
        t.response.transferred = true;
        curl_easy_getinfo(t.easy.get(), CURLINFO_RESPONSE_CODE, &t.response.status);
        return;
    }
    t.response.body.clear();
    if (t.tooBig || code == CURLE_FILESIZE_EXCEEDED)
        t.response.error = "the answer is too large";
    else
        t.response.error = t.errorText[0] ? t.errorText : curl_easy_strerror(code);
}

}  // namespace

struct HttpClient::Multi {
    CURLM* handle = curl_multi_init();
    ~Multi() {
        if (handle) curl_multi_cleanup(handle);
    }
};

HttpClient::HttpClient() : multi_(std::make_unique<Multi>()) {}
HttpClient::~HttpClient() = default;

std::vector<HttpResponse> HttpClient::getAll(const std::vector<std::string>& urls,
                                             const HttpOptions& options) {
    curl_slist* list = nullptr;
    for (const std::string& pin : options.pins)
        if (curl_slist* longer = curl_slist_append(list, pin.c_str())) list = longer;
    std::unique_ptr<curl_slist, ListCleanup> pins(list);

    std::vector<std::unique_ptr<Transfer>> transfers;
    CURLM* multi = multi_->handle;
    bool stop = false;
    for (const std::string& url : urls) {
        auto t = std::make_unique<Transfer>();
        t->maxBodyBytes = options.maxBodyBytes;
        t->easy.reset(curl_easy_init());
        if (!multi || !t->easy || remaining(options.deadline).count() == 0 ||
            !setUp(*t, url, options, pins.get())) {
            t->finished = true;
            t->response.error = "the request could not be made";
        } else if (curl_multi_add_handle(multi, t->easy.get()) != CURLM_OK) {
            t->finished = true;
            t->response.error = "the request could not be started";
        } else {
            t->added = true;
        }
        if (t->finished && options.stopAtFirstFailure) stop = true;
        transfers.push_back(std::move(t));
    }

    int running = 1;
    while (!stop && running > 0) {
        if (curl_multi_perform(multi, &running) != CURLM_OK) break;
        int left = 0;
        while (CURLMsg* message = curl_multi_info_read(multi, &left)) {
            if (message->msg != CURLMSG_DONE) continue;
            char* owner = nullptr;
            curl_easy_getinfo(message->easy_handle, CURLINFO_PRIVATE, &owner);
            auto* t = reinterpret_cast<Transfer*>(owner);
            if (!t) continue;
            finish(*t, message->data.result);
            if (options.stopAtFirstFailure && !t->response.good()) stop = true;
        }
        if (stop || running == 0) break;
        auto wait = std::min(remaining(options.deadline), kLongestPoll);
        if (wait.count() == 0) break;
        if (curl_multi_poll(multi, nullptr, 0, static_cast<int>(wait.count()), nullptr) != CURLM_OK) break;
    }

    std::vector<HttpResponse> responses;
    for (auto& t : transfers) {
        if (t->added) curl_multi_remove_handle(multi, t->easy.get());
        if (!t->finished) {
            t->response.body.clear();
            t->response.error =
                stop ? "stopped after another request failed" : "no answer before the deadline";
        }
        responses.push_back(std::move(t->response));
    }
    return responses;
}

}  // namespace sintonix
