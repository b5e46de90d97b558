// The key queue: bytes of typed keys (an extended key is a 0 followed by its code), fed by
// sources of keys; keys typed by the harness arrive only when the program waits for one.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/key_source.h"

namespace parlendo {

// Keys given in advance, typed one at a time.
class ScriptedKeys final : public KeySource {
public:
    explicit ScriptedKeys(std::vector<TypedKey> keys) : keys_(keys.begin(), keys.end()) {}
    // Plain keys without modifiers.
    explicit ScriptedKeys(const std::vector<std::string>& keys);
    std::optional<TypedKey> nextKey() override;
    bool empty() const { return keys_.empty(); }

private:
    std::deque<TypedKey> keys_;
};

// One source after another: the harness's keys first, then the terminal or standard input.
class ChainedKeys final : public KeySource {
public:
    void add(KeySource* source) { sources_.push_back(source); }
    std::optional<TypedKey> nextKey() override;

private:
    std::vector<KeySource*> sources_;
    size_t current_ = 0;
};

class KeyQueue {
public:
    static constexpr size_t kCapacity = 64;

    explicit KeyQueue(KeySource* source = nullptr) : source_(source) {}
    void setSource(KeySource* source) { source_ = source; }
    // Called whenever the queue is looked at, so that keys arriving from a terminal or a window
    // are collected (the event loop's pump).
    void setPump(std::function<void()> pump) { pump_ = std::move(pump); }

    // Is a byte waiting? Collects what has arrived, but never asks the source to type a key.
    bool keyPressed();
    // Waits for a byte; nothing when no key will come any more.
    std::optional<uint8_t> readKey();
    // The modifiers held when the last byte read was typed.
    Modifiers modifiers() const { return lastModifiers_; }
    void flushKeys() { bytes_.clear(); }
    // Adds a byte when the queue holds fewer than `limit` (64 for most producers).
    void pushKey(uint8_t byte, Modifiers modifiers = {}, size_t limit = kCapacity);
    // Adds every byte of a key, or none when they do not all fit.
    void pushKey(const TypedKey& key);
    size_t size() const { return bytes_.size(); }
    // Where the mouse pointer was at its last report, in pixels from the window's origin
    // (a terminal reports cells; its renderer multiplies by the cell size).
    void setPointer(int x, int y) {
        pointerX_ = x;
        pointerY_ = y;
    }
    int pointerX() const { return pointerX_; }
    int pointerY() const { return pointerY_; }
    // Routing keys of a braille display, for a reader that moves its cursor with them (the line
    // editor). While one wants them, a routing key is queued as a 0 byte for which routedColumn()
    // gives the 1-based column routed to; otherwise none is queued. Turning them off drops the
    // routing bytes still queued, so that no reader takes them for keys.
    void setRoutingWanted(bool wanted);
    bool routingWanted() const { return routingWanted_; }
    void pushRouting(int column);
    // The column of the last byte read when it was a routing key; 0 otherwise.
    int routedColumn() const { return lastRouted_; }
    // Set once a read found no key and no source to type one.
    bool exhausted() const { return exhausted_; }

private:
    struct Entry {
        uint8_t byte;
        Modifiers modifiers;
        int routed = 0;
    };
    std::deque<Entry> bytes_;
    KeySource* source_ = nullptr;
    std::function<void()> pump_;
    Modifiers lastModifiers_;
    int pointerX_ = 0;
    int pointerY_ = 0;
    bool exhausted_ = false;
    bool routingWanted_ = false;
    int lastRouted_ = 0;
};

// Parses the key notation of --keys (UTF-8): each character is a key; "{...}" holds a key-code
// text: "{#13}" Enter, "{#0#59}" F1, and with the flags of Shift, Ctrl and Alt in front,
// "{100#0#80}" Shift+Down, "{010#13}" Ctrl+Enter; "{{" is a literal "{". Nothing on a malformed
// text.
std::optional<std::vector<TypedKey>> parseKeyNotation(const std::string& utf8);

}  // namespace parlendo
