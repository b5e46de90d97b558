// The key queue: bytes of typed keys (an extended key is a 0 followed by its code), fed from a
// source of keys that types the next key only when the program waits for one.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace parlendo {

// Where typed keys come from. nextKey is asked only when the program blocks on an empty queue;
// it gives the bytes of one key (one byte, or 0 and a code for an extended key), or nothing when
// no key will ever come (the harness's keys ran out, standard input closed).
class KeySource {
public:
    virtual ~KeySource() = default;
    virtual std::optional<std::string> nextKey() = 0;
};

// Keys given in advance, typed one at a time.
class ScriptedKeys final : public KeySource {
public:
    explicit ScriptedKeys(std::vector<std::string> keys) : keys_(keys.begin(), keys.end()) {}
    std::optional<std::string> nextKey() override;
    bool empty() const { return keys_.empty(); }

private:
    std::deque<std::string> keys_;
};

// One source after another: the harness's keys first, then (without --headless) standard input.
class ChainedKeys final : public KeySource {
public:
    void add(KeySource* source) { sources_.push_back(source); }
    std::optional<std::string> nextKey() override;

private:
    std::vector<KeySource*> sources_;
    size_t current_ = 0;
};

class KeyQueue {
public:
    static constexpr size_t kCapacity = 64;

    explicit KeyQueue(KeySource* source = nullptr) : source_(source) {}
    void setSource(KeySource* source) { source_ = source; }

    // Is a byte waiting? Never asks the source: a poll sees only keys already typed.
    bool keyPressed() const { return !bytes_.empty(); }
    // Waits for a byte; nothing when no key will come any more.
    std::optional<uint8_t> readKey();
    void flushKeys() { bytes_.clear(); }
    // Adds a byte when the queue holds fewer than 64.
    void pushKey(uint8_t byte);
    // Set once a read found no key and no source to type one.
    bool exhausted() const { return exhausted_; }

private:
    std::deque<uint8_t> bytes_;
    KeySource* source_ = nullptr;
    bool exhausted_ = false;
};

// Parses the key notation of --keys (UTF-8): each character is a key; "{...}" holds a key-code
// text ("{#13}" Enter, "{#0#59}" F1); "{{" is a literal "{". Nothing on a malformed text.
std::optional<std::vector<std::string>> parseKeyNotation(const std::string& utf8);

}  // namespace parlendo
