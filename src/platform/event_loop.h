// The event loop: one thread, no locks. Every wait of the program pumps the sources (the
// terminal's input and screen, later the window and the audio device) so that keys are collected
// and the screen is updated while the script waits.
#pragma once

#include <vector>

namespace parlendo {

class EventSource {
public:
    virtual ~EventSource() = default;
    // Handles whatever has arrived, without blocking.
    virtual void pump() = 0;
    // A descriptor that becomes readable when the source has something to handle; -1 for none.
    virtual int waitHandle() const { return -1; }
};

class EventLoop {
public:
    void add(EventSource* source) { sources_.push_back(source); }
    // Takes a source out again (one that ends before the loop, such as the MIDI output's stream).
    void remove(EventSource* source) { std::erase(sources_, source); }
    void pump();
    // Waits the given milliseconds, pumping every source as events arrive.
    void sleep(int milliseconds);

private:
    std::vector<EventSource*> sources_;
};

}  // namespace parlendo
