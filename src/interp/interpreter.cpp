// The run loop, line execution, label lookup and the end-of-run report.
#include "interp/interpreter.h"

#include "interp/command_table.h"
#include "interp/console_port.h"
#include "interp/control_flow.h"
#include "platform/clock.h"
#include "text/cp1252.h"
#include "text/cp1252_literal.h"

namespace parlendo {

using text::equalsUpper;

Interpreter::Interpreter(Services s) : services(std::move(s)) {
    store_.resize(1);
    reset();
}

void Interpreter::reset() {
    currentLine = 1;
    failed = false;
    stopRequested = false;
    silentEnd = false;
    traceOn = false;
    currentEntry = nullptr;
    callStack.clear();
    ioStatus = 0;
    variables.clear();
    lists.clear();
    resetCommandState(*state);
    LocalTime t = services.clock.now();
    startDay = t.dayOfWeek;
    startHundredths = int64_t{t.hour} * 360000 + t.minute * 6000 + t.second * 100 + t.millisecond / 10;
}

bool Interpreter::storeLine(std::string text, int number) {
    if (number < 1 || number > kStoreCapacity) return false;
    if (static_cast<size_t>(number) >= store_.size()) store_.resize(number + 1);
    store_[number] = std::move(text);
    scriptSize = number;
    return true;
}

RunOutcome Interpreter::run() {
    currentLine = 1;
    failed = false;
    stopRequested = false;
    currentEntry = nullptr;
    failReason.clear();
    callStack.clear();
    findBlockEnds(*this);
    // Files left open by an earlier run are closed, not abandoned with what was written.
    closeChannels(*state);
    ioStatus = 0;
    steps = 0;
    if (!runLines(*this)) return {RunEnd::StepLimit, currentLine};
    // Past the last line: a block still open there lacks its closing line.
    if (!failed && !stopRequested)
        for (const OpenBlocks::Head& head : openBlocks.unclosed)
            diagnose(head.line, "aviso: falta FIM " + std::string(head.blockWord));
    if (failed) {
        if (services.port.keysExhausted()) return {RunEnd::InputEnded, currentLine};
        return {RunEnd::Failed, currentLine};
    }
    return {RunEnd::Finished, currentLine};
}

bool Interpreter::executeLine(std::string_view line, bool restricted) {
    const std::string_view command = commandPart(line);
    if (command.empty()) return true;
    bool ok = dispatchLine(*this, command, restricted);
    failed = !ok;
    return ok;
}

bool Interpreter::findLabel(std::string_view name) {
    std::string upper = text::upperCase(name);
    for (int n = 1; n <= scriptSize; ++n) {
        const std::string& l = store_[n];
        if (l.empty() || l[0] != '@') continue;
        if (equalsUpper(std::string_view(l).substr(1), upper)) {
            currentLine = n;
            return true;
        }
    }
    return false;
}

RunOutcome Interpreter::reportOutcome(RunOutcome outcome) {
    switch (outcome.end) {
        case RunEnd::Finished:
            if (!silentEnd) speak("Fim do script");
            break;
        case RunEnd::Failed: {
            diagnose(outcome.line, failReason.empty() ? std::string_view("erro de execução"_cp) : failReason);
            speak("Erro de execução na linha "_cp);
            std::string number = std::to_string(outcome.line);
            write(number);
            speak(number);
            write("\r\n");
            std::string discarded;
            if (!readLine(discarded)) outcome.end = RunEnd::InputEnded;
            break;
        }
        case RunEnd::InputEnded:
        case RunEnd::StepLimit:
            break;
    }
    return outcome;
}

int Interpreter::exitStatus(const RunOutcome& outcome) {
    switch (outcome.end) {
        case RunEnd::Finished:
            return 0;
        case RunEnd::Failed:
            return 1;
        case RunEnd::InputEnded:
            return 3;
        case RunEnd::StepLimit:
            return 0;
    }
    return 1;
}

void Interpreter::write(std::string_view bytes) { services.port.write(bytes); }

void Interpreter::writeLine(std::string_view text) { services.port.writeLine(text); }

void Interpreter::speak(std::string_view text) { services.port.speak(text); }

void Interpreter::showMessage(std::string_view text) {
    write(text);
    speak(text);
    write("\r\n");
}

void Interpreter::showNumber(int64_t n) {
    std::string digits = std::to_string(n);
    write(digits);
    speak(digits);
}

bool Interpreter::fail(std::string_view reason) {
    if (failReason.empty() && !scanning) failReason = reason;
    return false;
}

bool Interpreter::failShowing(std::string_view message) {
    showMessage(message);
    if (!failReason.empty() || scanning || message.empty()) return false;
    // A reason goes on after the line's place, so it starts in lower case as the others do.
    failReason = message;
    if (failReason[0] >= 'A' && failReason[0] <= 'Z') failReason[0] = static_cast<char>(failReason[0] + 32);
    return false;
}

void Interpreter::diagnose(int number, std::string_view what) {
    if (!services.diagnostic) return;
    std::string line = text::cp1252ToUtf8(what);
    if (number >= 1 && number <= scriptSize) {
        // The line as one line: a control character in it would move the writer's cursor.
        std::string own(text::trim(store_[number]));
        for (char& c : own)
            if (static_cast<unsigned char>(c) < 32) c = ' ';
        if (!own.empty()) line += ": " + text::cp1252ToUtf8(own);
    }
    services.diagnostic(scriptName + ":" + std::to_string(number) + ": " + line);
}

bool Interpreter::assign(int slot, std::string value) {
    if (value.size() > maxTextSize) return failShowing("Texto longo demais para uma variável"_cp);
    variables.set(slot, std::move(value));
    return true;
}

bool Interpreter::readLine(std::string& out, size_t bufferSize) {
    out.clear();
    for (;;) {
        std::optional<uint8_t> key = services.port.readKey();
        if (!key) return false;
        uint8_t b = *key;
        if (b == 0) {
            // An extended key: its code byte is not text.
            if (!services.port.readKey()) return false;
            continue;
        }
        if (b == 13) {
            write("\r\n");
            return true;
        }
        if (b == 8) {
            if (!out.empty()) {
                out.pop_back();
                write("\b");
            }
            continue;
        }
        if (b >= 32 && out.size() + 2 < bufferSize) {
            out.push_back(static_cast<char>(b));
            write(std::string_view(reinterpret_cast<const char*>(&b), 1));
        }
    }
}

}  // namespace parlendo
