// The MIDI output of MIDI: the open flag, kept across runs of the process, and the stream of the
// synthesizer's sound into the wave player while notes sound.
#pragma once

#include <bitset>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/event_loop.h"
#include "platform/midi_synth.h"

namespace parlendo {

class WavePlayer;

class MidiOutput final : public EventSource {
public:
    using Now = std::function<std::chrono::steady_clock::time_point()>;
    using SynthMaker = std::function<std::unique_ptr<MidiSynth>(std::string& error)>;

    // The synthesizer is made at the first open and kept; `now` is the clock the sound's length
    // follows (the steady clock unless a test gives its own).
    explicit MidiOutput(SynthMaker makeSynth = nullptr, Now now = nullptr);
    ~MidiOutput() override;
    MidiOutput(const MidiOutput&) = delete;
    MidiOutput& operator=(const MidiOutput&) = delete;

    // Seams for tests: another synthesizer maker (before the first open) and another clock.
    void setSynthMaker(SynthMaker makeSynth) { makeSynth_ = std::move(makeSynth); }
    void setClock(Now now) { now_ = std::move(now); }

    bool isOpen() const { return open_; }
    // Opens the output onto the player (null: the notes are sent and nothing is heard); the loop,
    // when given, keeps the sound flowing while the script waits. False, with the reason in
    // `error`, when there is no synthesizer.
    bool open(WavePlayer* player, EventLoop* loop, std::string& error);
    void close();
    // Sends one short message; the sound up to this moment is played first. False when the
    // synthesizer refuses it.
    bool send(uint32_t message);

    // Plays what the synthesizer has made up to a little ahead of now, while a note sounds.
    void pump() override;

private:
    void track(uint32_t message);
    void catchUp(int64_t frames);
    int64_t framesSinceStart() const;
    void endSound();

    SynthMaker makeSynth_;
    Now now_;
    std::unique_ptr<MidiSynth> synth_;
    WavePlayer* player_ = nullptr;
    EventLoop* loop_ = nullptr;
    bool open_ = false;
    // The notes sounding, channel by channel; while any does, the output is in one sound.
    std::bitset<16 * 128> sounding_;
    bool inSound_ = false;
    std::chrono::steady_clock::time_point soundStart_;
    int64_t framesPlayed_ = 0;
    bool playing_ = false;  // set while handing sound to the player, which pumps the loop
};

}  // namespace parlendo
