// The key queue, its key sources and the key notation of the harness.
#include "console/key_queue.h"

#include "text/cp1252.h"

namespace parlendo {

std::optional<std::string> ScriptedKeys::nextKey() {
    if (keys_.empty()) return std::nullopt;
    std::string k = std::move(keys_.front());
    keys_.pop_front();
    return k;
}

std::optional<std::string> ChainedKeys::nextKey() {
    while (current_ < sources_.size()) {
        if (auto k = sources_[current_]->nextKey()) return k;
        ++current_;
    }
    return std::nullopt;
}

std::optional<uint8_t> KeyQueue::readKey() {
    while (bytes_.empty()) {
        std::optional<std::string> key = source_ ? source_->nextKey() : std::nullopt;
        if (!key) {
            exhausted_ = true;
            return std::nullopt;
        }
        for (char c : *key) pushKey(static_cast<uint8_t>(c));
    }
    uint8_t b = bytes_.front();
    bytes_.pop_front();
    return b;
}

void KeyQueue::pushKey(uint8_t byte) {
    if (bytes_.size() < kCapacity) bytes_.push_back(byte);
}

namespace {

// "#n" or "#0#n" as one key; nothing when malformed.
std::optional<std::string> keyFromCodeText(std::string_view t) {
    auto number = [](std::string_view s) -> std::optional<int> {
        if (s.empty() || s.size() > 3) return std::nullopt;
        int v = 0;
        for (char c : s) {
            if (!text::isDigit(c)) return std::nullopt;
            v = v * 10 + (c - '0');
        }
        if (v > 255) return std::nullopt;
        return v;
    };
    if (t.size() < 2 || t[0] != '#') return std::nullopt;
    t.remove_prefix(1);
    if (t.size() > 2 && t[0] == '0' && t[1] == '#') {
        auto code = number(t.substr(2));
        if (!code) return std::nullopt;
        return std::string{'\0', static_cast<char>(*code)};
    }
    auto code = number(t);
    if (!code || *code == 0) return std::nullopt;
    return std::string(1, static_cast<char>(*code));
}

}  // namespace

std::optional<std::vector<std::string>> parseKeyNotation(const std::string& utf8) {
    std::string bytes = text::externalToCp1252(utf8);
    std::vector<std::string> keys;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] != '{') {
            keys.emplace_back(1, bytes[i]);
            continue;
        }
        if (i + 1 < bytes.size() && bytes[i + 1] == '{') {
            keys.emplace_back("{");
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
