// Sound commands: TOCA and MCI (media by alias), ALARME (a tone) and MENSAGEM (a wave file).
#include <chrono>
#include <filesystem>
#include <thread>

#include "commands/media_player.h"
#include "console/key_queue.h"
#include "interp/argument_reader.h"
#include "interp/commands.h"
#include "interp/interpreter.h"
#include "platform/file.h"
#include "text/cp1252.h"
#include "tts/tones.h"
#include "tts/wave_player.h"

namespace parlendo {

namespace {

constexpr int kTocaPollMs = 100;
// ALARME's tone: rate high enough for every frequency it takes.
constexpr int kToneRate = 44100;
constexpr int32_t kMaxAlarm = 20000;

MediaPlayer& attachedPlayer(Interpreter& in) {
    MediaPlayer& media = mediaPlayer();
    media.attach(in.services.player, in.services.loop, &in.services.keys);
    return media;
}

void pause(Interpreter& in, int ms) {
    if (in.services.loop)
        in.services.loop->sleep(ms);
    else
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace

// TOCA file [&]: plays the file and waits for its end or a key, which is discarded; with "&"
// starts it and goes on.
bool cmdToca(Interpreter& in, std::string_view args, int) {
    const bool background = takeTrailingAmpersand(args);
    std::string file;
    if (!readValue(in, args, file)) return failNoValue(in, args);
    if (!nothingMore(in, args)) return false;
    MediaPlayer& media = attachedPlayer(in);
    if (background) {
        // Quoted, so that a name with blanks stays one name.
        media.send("play \"" + file + "\"");
        return true;
    }
    media.send("open \"" + file + "\" alias myfile");
    media.send("play myfile");
    // A key already waiting stops it at once: a file decoded faster than it plays (--audio dir:)
    // would otherwise be far along by the first look.
    while (!in.services.keys.keyPressed()) {
        pause(in, kTocaPollMs);
        if (in.services.keys.keyPressed()) break;
        if (media.send("status myfile mode") != "playing") break;
    }
    in.services.keys.flushKeys();
    media.send("stop myfile");
    media.send("close myfile");
    return true;
}

// MCI variable command: the variable gets the reply.
bool cmdMci(Interpreter& in, std::string_view args, int) {
    int slot = 0;
    if (!readVariable(in, args, slot)) return in.fail(kNoVariable);
    std::string command;
    if (!readValue(in, args, command)) return failNoValue(in, args);
    if (!nothingMore(in, args)) return false;
    return in.assign(slot, attachedPlayer(in).send(command));
}

// ALARME hertz milliseconds: a sine tone, the run waiting until it has sounded.
bool cmdAlarme(Interpreter& in, std::string_view args, int) {
    std::optional<int32_t> hertz = readInteger(in, args);
    if (!hertz) return false;
    std::optional<int32_t> ms = readInteger(in, args);
    if (!ms) return false;
    if (*hertz < 0 || *hertz > kMaxAlarm || *ms < 0 || *ms > kMaxAlarm) return false;
    WavePlayer* player = in.services.player;
    if (!player || *ms == 0) return true;
    std::vector<uint8_t> tone = toneSamples(*hertz, *ms, kToneRate);
    // A tone is not cut short by a key.
    const bool interruptible = player->interruptible;
    player->interruptible = false;
    player->playPcm(tone.data(), tone.size(), kToneRate, 1, 8);
    while (player->playerBusy()) pause(in, 10);
    player->interruptible = interruptible;
    return true;
}

std::string findWithoutCase(const std::string& name) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (fs::exists(nativePath(name), ec)) return name;
    std::string found;
    size_t start = 0;
    if (!name.empty() && name[0] == '/') {
        found = "/";
        start = 1;
    }
    while (start <= name.size()) {
        size_t slash = name.find('/', start);
        std::string part = name.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        std::string candidate = found + part;
        if (!part.empty() && !fs::exists(nativePath(candidate), ec)) {
            const std::string folder = found.empty() ? "." : nativePath(found);
            const std::string wanted = text::upperCase(part);
            for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
                std::string entry = text::utf8ToCp1252(it->path().filename().string());
                if (text::upperCase(entry) == wanted) {
                    candidate = found + entry;
                    break;
                }
            }
        }
        found = candidate;
        if (slash == std::string::npos) break;
        found += '/';
        start = slash + 1;
    }
    return found;
}

// MENSAGEM name: the wave file, ".WAV" added when the name has none; the "rapido" recording of
// the same name when rapid playback is on.
bool cmdMensagem(Interpreter& in, std::string_view args, int) {
    std::string name;
    if (!readValue(in, args, name)) return failNoValue(in, args);
    name = text::upperCase(name);
    if (name.find(".WAV") == std::string::npos) name += ".WAV";
    WavePlayer* player = in.services.player;
    if (!player) return true;
    if (player->rapidPlayback) {
        size_t slash = name.rfind('/');
        size_t cut = slash == std::string::npos ? 0 : slash + 1;
        std::string quick = findWithoutCase(name.substr(0, cut) + "rapido/" + name.substr(cut));
        std::error_code ec;
        if (std::filesystem::is_regular_file(nativePath(quick), ec)) {
            player->rapidPlayback = false;
            player->playWavFile(quick);
            player->rapidPlayback = true;
            return true;
        }
    }
    player->playWavFile(findWithoutCase(name));
    return true;
}

}  // namespace parlendo
