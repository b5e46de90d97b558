// Media by alias, the way scripts drive it with command strings: "open "FILE" alias NAME",
// "play NAME [from N] [to N] [wait]", "status NAME mode", "stop NAME", "close NAME" and the rest.
// libmpv plays the files; it is loaded at the first command, so that a machine without it still
// runs every other command. Everything happens on the interpreter's thread: libmpv's events are
// read without blocking whenever the event loop pumps.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/event_loop.h"

namespace parlendo {

class WavePlayer;
class KeyQueue;

// One command string taken apart. Words are compared without regard to case; a file name or an
// alias may be written between double quotes.
struct MciCommand {
    enum class Verb { Open, Play, Pause, Resume, Stop, Close, Seek, Status, Set, SetAudio };
    enum class SeekTo { Start, End, Position };
    Verb verb = Verb::Open;
    std::string device;  // the alias, or the file of "open" and of "play FILE"; "all" for "close all"
    std::string alias;   // "open ... alias NAME"; empty: the file is its own alias
    std::optional<int64_t> from;
    std::optional<int64_t> to;
    bool wait = false;
    SeekTo seekTo = SeekTo::Start;
    int64_t position = 0;      // seek to N
    std::string item;          // status: mode, position, length, ready, volume, time format
    int64_t volume = 1000;     // setaudio ... volume to N, 0 to 1000
    bool milliseconds = true;  // set ... time format milliseconds|ms
};

// The command, or nothing with the reason in `error` (the reply scripts get).
std::optional<MciCommand> parseMciCommand(std::string_view text, std::string& error);

// Where media sound goes. System: libmpv's own output to the sound card. Render: libmpv decodes
// to PCM as fast as it can, and each stretch played is handed to the wave player as one sound
// when it stops (so a folder device keeps it as a WAV file). Discard: decoded as fast as it can
// and dropped, nothing written anywhere.
enum class MediaOutput { System, Render, Discard };

class MediaPlayer final : public EventSource {
public:
    MediaPlayer();
    ~MediaPlayer() override;
    MediaPlayer(const MediaPlayer&) = delete;
    MediaPlayer& operator=(const MediaPlayer&) = delete;

    void setOutput(MediaOutput output) { output_ = output; }
    // The wave player rendered sound is handed to, and the loop and keys a "wait" pumps and
    // watches; the command being carried out sets them.
    void attach(WavePlayer* player, EventLoop* loop, KeyQueue* keys);

    // Carries out a command string: the reply ("" for success, "playing", a number...) or an
    // error text beginning "Erro MCI".
    std::string send(std::string_view command);
    // Handles libmpv's events without blocking: plays that reached their end or their "to".
    void pump() override;
    int waitHandle() const override;
    // Closes every alias (the sound rendered so far is handed over).
    void closeAll();

private:
    struct Media;
    std::string run(const MciCommand& c);
    std::string open(const std::string& file, const std::string& alias, bool automatic);
    Media* find(const std::string& alias);
    bool ensureHandle(Media& m, std::string& error);
    void finish(Media& m);
    void deliver(Media& m);
    void check(Media& m);
    // Ends the medium's player and takes its capture file away, with nothing handed over.
    static void release(Media& m);

    MediaOutput output_ = MediaOutput::System;
    WavePlayer* player_ = nullptr;
    EventLoop* loop_ = nullptr;
    KeyQueue* keys_ = nullptr;
    std::map<std::string, std::unique_ptr<Media>> media_;  // by upper-cased alias
    int captures_ = 0;
};

// A file's name with each part found whatever its case, as on a system whose names ignore case
// (Windows-1252 in and out); the name as given when it exists or nothing matches.
std::string findWithoutCase(const std::string& name);

// The process's media player: one for the life of the process, as the aliases are.
MediaPlayer& mediaPlayer();
// Chosen by the host from --audio: "system" plays through libmpv's output, "null" discards,
// anything else renders.
void configureMediaOutput(std::string_view audioOption);

}  // namespace parlendo
