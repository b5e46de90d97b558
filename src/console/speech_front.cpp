// The speech log and the recording speech front.
#include "console/speech_front.h"

#include <cstdio>

#include "console/key_queue.h"
#include "text/cp1252.h"

namespace parlendo {

void SpeechLog::record(std::string line) {
    // One request is one log line: line breaks inside a text are logged as blanks.
    for (char& c : line)
        if (c == '\r' || c == '\n') c = ' ';
    if (out_) {
        *out_ << text::cp1252ToUtf8(line) << '\n';
        out_->flush();
    }
    if (keepLines_) lines_.push_back(std::move(line));
}

std::string timeLine(int hours, int minutes) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "time %02d:%02d", hours, minutes);
    return buf;
}

std::string configLine(const SpeechConfig& c) {
    return "<config " + std::to_string(c.mode) + " " + std::to_string(c.speed) + " " +
           std::to_string(c.type) + " " + std::to_string(c.voice) + " " + std::to_string(c.engineSpeed) +
           " " + std::to_string(c.pitch) + ">";
}

void RecordingSpeech::speak(std::string_view text) {
    if (!text.empty()) record(std::string(text));
}

void RecordingSpeech::spell(std::string_view text) { record("spell " + std::string(text)); }

void RecordingSpeech::playWord(std::string_view name) { record("word " + std::string(name)); }

void RecordingSpeech::playChar(uint8_t code) { record("char " + std::to_string(code)); }

void RecordingSpeech::click() { record("<click>"); }

void RecordingSpeech::beep() {
    keys_.flushKeys();
    record("<beep>");
}

}  // namespace parlendo
