// The system's resolver behind NameLookup: getaddrinfo and getnameinfo on detached threads,
// waited for until a deadline.
#include "platform/name_lookup.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <mutex>
#include <system_error>
#include <thread>

namespace parlendo {

namespace {

// What a lookup thread hands back. Shared, so that a thread left behind at the deadline still
// has somewhere to write once the caller has gone.
template <typename T>
struct Handoff {
    std::mutex mutex;
    std::condition_variable done;
    bool ready = false;
    T value{};
};

// Starts `work` on a detached thread that leaves its value in the handoff. When no thread can
// be started the handoff is ready at once with T{}: as if the name server did not answer.
template <typename T>
std::shared_ptr<Handoff<T>> startLookup(std::function<T()> work) {
    auto handoff = std::make_shared<Handoff<T>>();
    try {
        std::thread([handoff, work = std::move(work)] {
            T value = work();
            std::lock_guard lock(handoff->mutex);
            handoff->value = std::move(value);
            handoff->ready = true;
            handoff->done.notify_all();
        }).detach();
    } catch (const std::system_error&) {
        std::lock_guard lock(handoff->mutex);
        handoff->ready = true;
    }
    return handoff;
}

// The lookup's value, or T{} when the deadline passes first.
template <typename T>
T waitFor(Handoff<T>& handoff, NameLookup::Deadline deadline) {
    std::unique_lock lock(handoff.mutex);
    if (!handoff.done.wait_until(lock, deadline, [&] { return handoff.ready; })) return T{};
    return handoff.value;
}

struct AddrinfoFree {
    void operator()(addrinfo* a) const { freeaddrinfo(a); }
};

std::vector<std::string> resolveNow(const std::string& host) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    // Only families this machine can reach: an IPv6 address on an IPv4-only machine is a server
    // that always fails.
    hints.ai_flags = AI_ADDRCONFIG;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0) return {};
    std::unique_ptr<addrinfo, AddrinfoFree> owner(found);
    std::vector<std::string> addresses;
    for (addrinfo* a = found; a; a = a->ai_next) {
        char text[NI_MAXHOST];
        if (getnameinfo(a->ai_addr, a->ai_addrlen, text, sizeof text, nullptr, 0, NI_NUMERICHOST) != 0)
            continue;
        if (std::find(addresses.begin(), addresses.end(), text) == addresses.end())
            addresses.emplace_back(text);
    }
    return addresses;
}

std::optional<std::string> reverseNow(const std::string& address) {
    sockaddr_storage storage{};
    socklen_t length = 0;
    auto* v4 = reinterpret_cast<sockaddr_in*>(&storage);
    auto* v6 = reinterpret_cast<sockaddr_in6*>(&storage);
    if (inet_pton(AF_INET, address.c_str(), &v4->sin_addr) == 1) {
        v4->sin_family = AF_INET;
        length = sizeof *v4;
    } else if (inet_pton(AF_INET6, address.c_str(), &v6->sin6_addr) == 1) {
        v6->sin6_family = AF_INET6;
        length = sizeof *v6;
    } else {
        return std::nullopt;
    }
    char name[NI_MAXHOST];
    if (getnameinfo(reinterpret_cast<sockaddr*>(&storage), length, name, sizeof name, nullptr, 0,
                    NI_NAMEREQD) != 0)
        return std::nullopt;
    return std::string(name);
}

class SystemNameLookup final : public NameLookup {
public:
    std::vector<std::string> resolve(const std::string& host, Deadline deadline) override {
        auto handoff = startLookup<std::vector<std::string>>([host] { return resolveNow(host); });
        return waitFor(*handoff, deadline);
    }

    std::vector<std::optional<std::string>> reverse(const std::vector<std::string>& addresses,
                                                    Deadline deadline) override {
        // Every address on its own thread at once, then each waited for until the same deadline.
        using Name = std::optional<std::string>;
        std::vector<std::shared_ptr<Handoff<Name>>> handoffs;
        handoffs.reserve(addresses.size());
        for (const std::string& address : addresses)
            handoffs.push_back(startLookup<Name>([address] { return reverseNow(address); }));
        std::vector<Name> names;
        names.reserve(handoffs.size());
        for (auto& handoff : handoffs) names.push_back(waitFor(*handoff, deadline));
        return names;
    }
};

}  // namespace

std::unique_ptr<NameLookup> NameLookup::createSystem() { return std::make_unique<SystemNameLookup>(); }

}  // namespace parlendo
