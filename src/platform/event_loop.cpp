// The event loop over poll(2).
#include "platform/event_loop.h"

#include <poll.h>

#include <chrono>

namespace parlendo {

void EventLoop::pump() {
    for (EventSource* s : sources_) s->pump();
}

void EventLoop::sleep(int milliseconds) {
    using Clock = std::chrono::steady_clock;
    const auto end = Clock::now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
        pump();
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
        if (left <= 0) return;
        std::vector<pollfd> fds;
        for (EventSource* s : sources_)
            if (s->waitHandle() >= 0) fds.push_back(pollfd{s->waitHandle(), POLLIN, 0});
        // Wake at least every 50 ms so sources without a descriptor are pumped too.
        int step = static_cast<int>(left < 50 ? left : 50);
        ::poll(fds.data(), fds.size(), step);
    }
}

}  // namespace parlendo
