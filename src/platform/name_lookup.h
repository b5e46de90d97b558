// Host names to addresses and back (DNS), bounded by a deadline: the real resolver, or a fake
// that tests hand to whoever needs names.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace parlendo {

class NameLookup {
public:
    using Deadline = std::chrono::steady_clock::time_point;

    virtual ~NameLookup() = default;
    // The numeric addresses of a host, IPv4 and IPv6 ("192.0.2.1", "2001:db8::1"); empty when
    // the host is unknown or the answer did not come before the deadline.
    virtual std::vector<std::string> resolve(const std::string& host, Deadline deadline) = 0;
    // The name of each numeric address, in the same order; nullopt where there is none or it
    // did not come before the deadline. The addresses are looked up at the same time.
    virtual std::vector<std::optional<std::string>> reverse(const std::vector<std::string>& addresses,
                                                            Deadline deadline) = 0;

    // The system's resolver (getaddrinfo and getnameinfo). Each lookup runs on a thread of its
    // own, left behind when the deadline passes, since the C library gives no way to cancel one:
    // a dead name server never holds the caller past the deadline.
    static std::unique_ptr<NameLookup> createSystem();
};

}  // namespace parlendo
