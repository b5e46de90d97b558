// The key queue, its key sources and the key notation of the harness.
#include "console/key_queue.h"

#include "text/cp1252.h"

namespace parlendo {

ScriptedKeys::ScriptedKeys(const std::vector<std::string>& keys) {
    for (const std::string& k : keys) keys_.push_back(TypedKey{k, {}});
}

std::optional<TypedKey> ScriptedKeys::nextKey() {
    if (keys_.empty()) return std::nullopt;
    TypedKey k = std::move(keys_.front());
    keys_.pop_front();
    return k;
}

std::optional<TypedKey> ChainedKeys::nextKey() {
    while (current_ < sources_.size()) {
        if (auto k = sources_[current_]->nextKey()) return k;
        ++current_;
    }
    return std::nullopt;
}

bool KeyQueue::keyPressed() {
    if (pump_) pump_();
    return !bytes_.empty();
}

std::optional<uint8_t> KeyQueue::readKey() {
    if (bytes_.empty() && pump_) pump_();
    while (bytes_.empty()) {
        std::optional<TypedKey> key = source_ ? source_->nextKey() : std::nullopt;
        if (!key) {
            exhausted_ = true;
            return std::nullopt;
        }
        pushKey(*key);
    }
    Entry e = bytes_.front();
    bytes_.pop_front();
    lastModifiers_ = e.modifiers;
    lastRouted_ = e.routed;
    return e.byte;
}

void KeyQueue::setRoutingWanted(bool wanted) {
    routingWanted_ = wanted;
    if (!wanted) std::erase_if(bytes_, [](const Entry& e) { return e.routed != 0; });
}

void KeyQueue::pushRouting(int column) {
    if (routingWanted_ && column > 0 && bytes_.size() < kCapacity) bytes_.push_back(Entry{0, {}, column});
}

void KeyQueue::pushKey(uint8_t byte, Modifiers modifiers, size_t limit) {
    if (bytes_.size() < limit && bytes_.size() < kCapacity) bytes_.push_back(Entry{byte, modifiers});
}

void KeyQueue::pushKey(const TypedKey& key) {
    if (bytes_.size() + key.bytes.size() > kCapacity) return;
    for (char c : key.bytes) bytes_.push_back(Entry{static_cast<uint8_t>(c), key.modifiers});
}

namespace {

std::optional<int> smallNumber(std::string_view s) {
    if (s.empty() || s.size() > 3) return std::nullopt;
    int v = 0;
    for (char c : s) {
        if (!text::isDigit(c)) return std::nullopt;
        v = v * 10 + (c - '0');
    }
    if (v > 255) return std::nullopt;
    return v;
}

// "#n", "#0#n", optionally behind three flags "SCA"; nothing when malformed.
std::optional<TypedKey> keyFromCodeText(std::string_view t) {
    TypedKey key;
    if (t.size() > 3 && t[3] == '#') {
        for (int i = 0; i < 3; ++i)
            if (t[i] != '0' && t[i] != '1') return std::nullopt;
        key.modifiers = Modifiers{t[0] == '1', t[1] == '1', t[2] == '1'};
        t.remove_prefix(3);
    }
    if (t.size() < 2 || t[0] != '#') return std::nullopt;
    t.remove_prefix(1);
    if (t.size() > 2 && t[0] == '0' && t[1] == '#') {
        auto code = smallNumber(t.substr(2));
        if (!code) return std::nullopt;
        key.bytes = std::string{'\0', static_cast<char>(*code)};
        return key;
    }
    auto code = smallNumber(t);
    if (!code || *code == 0) return std::nullopt;
    key.bytes = std::string(1, static_cast<char>(*code));
    return key;
}

}  // namespace

std::optional<std::vector<TypedKey>> parseKeyNotation(const std::string& utf8) {
    std::string bytes = text::externalToCp1252(utf8);
    std::vector<TypedKey> keys;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] != '{') {
            keys.push_back(TypedKey{std::string(1, bytes[i]), {}});
            continue;
        }
        if (i + 1 < bytes.size() && bytes[i + 1] == '{') {
            keys.push_back(TypedKey{"{", {}});
            ++i;
            continue;
        }
        size_t close = bytes.find('}', i + 1);
        if (close == std::string::npos) return std::nullopt;
        auto key = keyFromCodeText(std::string_view(bytes).substr(i + 1, close - i - 1));
        if (!key) return std::nullopt;
        keys.push_back(std::move(*key));
        i = close;
    }
    return keys;
}

}  // namespace parlendo
