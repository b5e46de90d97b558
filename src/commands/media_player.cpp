// Media by alias over libmpv, loaded at the first command that needs it.
#include "commands/media_player.h"

#include <mpv/client.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "console/key_queue.h"
#include "platform/file.h"
#include "platform/shared_library.h"
#include "text/cp1252.h"
#include "text/cp1252_literal.h"
#include "tts/wave_player.h"

namespace parlendo {

namespace {

constexpr const char* kMpvLibrary = "libmpv.so.2";
constexpr const char* kUserAgent = "Sintonix/" SINTONIX_VERSION;
// How long an open waits for the file (or the stream) to load.
constexpr double kOpenSeconds = 10.0;
// Command strings and replies, as long as their buffers allow (the reply's ends with a zero).
constexpr size_t kMaxCommand = 1024;
constexpr size_t kMaxReply = 1023;

struct MpvCalls {
    decltype(&mpv_create) create = nullptr;
    decltype(&mpv_initialize) initialize = nullptr;
    decltype(&mpv_terminate_destroy) terminateDestroy = nullptr;
    decltype(&mpv_set_option_string) setOptionString = nullptr;
    decltype(&mpv_set_property) setProperty = nullptr;
    decltype(&mpv_get_property) getProperty = nullptr;
    decltype(&mpv_command) command = nullptr;
    decltype(&mpv_wait_event) waitEvent = nullptr;
};

// The library's functions, loaded once; null (with the reason kept) when it or one is missing.
const MpvCalls* mpvCalls(std::string& reason) {
    static std::string loadError;
    static const std::optional<MpvCalls> loaded = []() -> std::optional<MpvCalls> {
        std::optional<SharedLibrary> library = SharedLibrary::load(kMpvLibrary, loadError);
        if (!library) return std::nullopt;
        MpvCalls c;
        bool ok = library->resolve(c.create, "mpv_create", loadError) &&
                  library->resolve(c.initialize, "mpv_initialize", loadError) &&
                  library->resolve(c.terminateDestroy, "mpv_terminate_destroy", loadError) &&
                  library->resolve(c.setOptionString, "mpv_set_option_string", loadError) &&
                  library->resolve(c.setProperty, "mpv_set_property", loadError) &&
                  library->resolve(c.getProperty, "mpv_get_property", loadError) &&
                  library->resolve(c.command, "mpv_command", loadError) &&
                  library->resolve(c.waitEvent, "mpv_wait_event", loadError);
        if (!ok) return std::nullopt;
        return c;
    }();
    reason = loadError;
    return loaded ? &*loaded : nullptr;
}

std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

struct Token {
    std::string text;
    bool quoted = false;
};

// Words split at blanks; a word opened by a double quote runs to the next one.
std::vector<Token> tokenize(std::string_view s) {
    std::vector<Token> out;
    size_t i = 0;
    while (i < s.size()) {
        if (s[i] == ' ' || s[i] == '\t') {
            ++i;
            continue;
        }
        Token t;
        if (s[i] == '"') {
            size_t end = s.find('"', i + 1);
            if (end == std::string_view::npos) end = s.size();
            t.text = std::string(s.substr(i + 1, end - i - 1));
            t.quoted = true;
            i = end + 1;
        } else {
            size_t end = s.find_first_of(" \t", i);
            if (end == std::string_view::npos) end = s.size();
            t.text = std::string(s.substr(i, end - i));
            i = end;
        }
        out.push_back(std::move(t));
    }
    return out;
}

std::optional<int64_t> number(const std::string& word) {
    if (word.empty() || word.size() > 12) return std::nullopt;
    int64_t n = 0;
    for (char c : word) {
        if (c < '0' || c > '9') return std::nullopt;
        n = n * 10 + (c - '0');
    }
    return n;
}

std::string unknownWord(const std::string& word) { return "Erro MCI: palavra desconhecida: " + word; }

}  // namespace

std::optional<MciCommand> parseMciCommand(std::string_view text, std::string& error) {
    std::vector<Token> t = tokenize(text);
    if (t.empty()) {
        error = "Erro MCI: comando vazio";
        return std::nullopt;
    }
    MciCommand c;
    const std::string verb = lower(t[0].text);
    static const std::pair<const char*, MciCommand::Verb> kVerbs[] = {
        {"open", MciCommand::Verb::Open},   {"play", MciCommand::Verb::Play},
        {"pause", MciCommand::Verb::Pause}, {"resume", MciCommand::Verb::Resume},
        {"stop", MciCommand::Verb::Stop},   {"close", MciCommand::Verb::Close},
        {"seek", MciCommand::Verb::Seek},   {"status", MciCommand::Verb::Status},
        {"set", MciCommand::Verb::Set},     {"setaudio", MciCommand::Verb::SetAudio},
    };
    bool known = false;
    for (const auto& [word, v] : kVerbs)
        if (verb == word) {
            c.verb = v;
            known = true;
        }
    if (!known) {
        error = "Erro MCI: comando desconhecido: " + t[0].text;
        return std::nullopt;
    }
    if (t.size() < 2 || t[1].text.empty()) {
        error = "Erro MCI: falta o dispositivo";
        return std::nullopt;
    }
    c.device = t[1].text;
    std::vector<std::string> w;
    for (size_t i = 2; i < t.size(); ++i) w.push_back(t[i].quoted ? t[i].text : lower(t[i].text));
    auto fail = [&error](std::string message) -> std::optional<MciCommand> {
        error = std::move(message);
        return std::nullopt;
    };
    // A number after a word ("from 500"); false with the error set otherwise.
    auto numberAt = [&](size_t& i, int64_t& out) {
        if (i + 1 >= w.size()) {
            error = "Erro MCI: falta um valor depois de " + w[i];
            return false;
        }
        std::optional<int64_t> n = number(w[i + 1]);
        if (!n) {
            error = "Erro MCI: valor incorreto: " + w[i + 1];
            return false;
        }
        out = *n;
        i += 2;
        return true;
    };
    switch (c.verb) {
        case MciCommand::Verb::Open:
            for (size_t i = 0; i < w.size();) {
                if ((w[i] == "alias" || w[i] == "type") && i + 1 < w.size()) {
                    if (w[i] == "alias") c.alias = t[i + 3].text;
                    i += 2;
                } else if (w[i] == "shareable" || w[i] == "wait" || w[i] == "notify") {
                    ++i;
                } else {
                    return fail(unknownWord(w[i]));
                }
            }
            break;
        case MciCommand::Verb::Play:
            for (size_t i = 0; i < w.size();) {
                int64_t n = 0;
                if (w[i] == "from" || w[i] == "to") {
                    if (!numberAt(i, n)) return std::nullopt;
                    (w[i - 2] == "from" ? c.from : c.to) = n;
                } else if (w[i] == "wait") {
                    c.wait = true;
                    ++i;
                } else if (w[i] == "notify") {
                    ++i;
                } else {
                    return fail(unknownWord(w[i]));
                }
            }
            break;
        case MciCommand::Verb::Pause:
        case MciCommand::Verb::Resume:
        case MciCommand::Verb::Stop:
        case MciCommand::Verb::Close:
            for (const std::string& word : w)
                if (word != "wait" && word != "notify") return fail(unknownWord(word));
            break;
        case MciCommand::Verb::Seek: {
            if (w.size() < 2 || w[0] != "to") return fail("Erro MCI: seek sem destino");
            if (w[1] == "start") {
                c.seekTo = MciCommand::SeekTo::Start;
            } else if (w[1] == "end") {
                c.seekTo = MciCommand::SeekTo::End;
            } else {
                size_t i = 0;
                if (!numberAt(i, c.position)) return std::nullopt;
                c.seekTo = MciCommand::SeekTo::Position;
            }
            for (size_t i = 2; i < w.size(); ++i)
                if (w[i] != "wait" && w[i] != "notify") return fail(unknownWord(w[i]));
            break;
        }
        case MciCommand::Verb::Status: {
            std::string item;
            for (const std::string& word : w) item += (item.empty() ? "" : " ") + word;
            if (item != "mode" && item != "position" && item != "length" && item != "ready" &&
                item != "volume" && item != "time format")
                return fail("Erro MCI: item desconhecido: " + item);
            c.item = item;
            break;
        }
        case MciCommand::Verb::Set:
            if (w.size() != 3 || w[0] != "time" || w[1] != "format")
                return fail("Erro MCI: ajuste desconhecido");
            if (w[2] != "milliseconds" && w[2] != "ms")
                return fail("Erro MCI: formato de tempo desconhecido: " + w[2]);
            break;
        case MciCommand::Verb::SetAudio: {
            if (w.size() != 3 || w[0] != "volume" || w[1] != "to")
                return fail("Erro MCI: ajuste desconhecido");
            size_t i = 1;
            if (!numberAt(i, c.volume)) return std::nullopt;
            if (c.volume > 1000) return fail("Erro MCI: volume acima de 1000");
            break;
        }
    }
    return c;
}

enum class PlayState { Stopped, Playing, Paused };

struct MediaPlayer::Media {
    std::string alias;       // as written
    std::string file;        // the system's name
    bool automatic = false;  // opened by "play FILE": closed when it stops
    mpv_handle* mpv = nullptr;
    PlayState state = PlayState::Stopped;
    int64_t lengthMs = 0;
    int64_t stoppedAt = 0;  // where playing goes on from
    std::optional<int64_t> to;
    int64_t playedFrom = 0;  // where the stretch being rendered began
    int64_t volume = 1000;
    std::string capture;  // the rendered stretch's file
};

MediaPlayer::MediaPlayer() = default;

MediaPlayer::~MediaPlayer() {
    for (auto& [key, m] : media_) release(*m);
}

void MediaPlayer::release(Media& m) {
    std::string reason;
    const MpvCalls* mpv = mpvCalls(reason);
    if (m.mpv && mpv) mpv->terminateDestroy(m.mpv);
    m.mpv = nullptr;
    if (!m.capture.empty()) {
        std::error_code ec;
        std::filesystem::remove(m.capture, ec);
        m.capture.clear();
    }
}

void MediaPlayer::attach(WavePlayer* player, EventLoop* loop, KeyQueue* keys) {
    player_ = player;
    if (loop && loop != loop_) loop->add(this);
    loop_ = loop;
    keys_ = keys;
}

int MediaPlayer::waitHandle() const { return -1; }

MediaPlayer::Media* MediaPlayer::find(const std::string& alias) {
    auto it = media_.find(text::upperCase(alias));
    return it == media_.end() ? nullptr : it->second.get();
}

bool MediaPlayer::ensureHandle(Media& m, std::string& error) {
    if (m.mpv) return true;
    std::string reason;
    const MpvCalls* mpv = mpvCalls(reason);
    if (!mpv) {
        error = "Erro MCI: " + text::externalToCp1252(reason);
        return false;
    }
    mpv_handle* h = mpv->create();
    if (!h) {
        error = "Erro MCI: libmpv não iniciou"_cp;
        return false;
    }
    auto option = [&](const char* name, const std::string& value) {
        mpv->setOptionString(h, name, value.c_str());
    };
    option("config", "no");
    option("terminal", "no");
    option("load-scripts", "no");
    option("ytdl", "no");
    option("user-agent", kUserAgent);
    option("vo", "null");
    option("audio-display", "no");
    option("input-default-bindings", "no");
    option("idle", "yes");
    option("keep-open", "yes");
    option("pause", "yes");
    option("network-timeout", "10");
    option("volume", std::to_string(m.volume / 10.0));
    if (m.stoppedAt > 0) option("start", std::to_string(m.stoppedAt / 1000.0));
    if (output_ == MediaOutput::Render) {
        m.capture = (std::filesystem::temp_directory_path() / ("sintonix-media-" + std::to_string(getpid()) +
                                                               "-" + std::to_string(++captures_) + ".wav"))
                        .string();
        option("ao", "pcm");
        option("ao-pcm-file", m.capture);
        option("ao-pcm-waveheader", "yes");
        option("audio-format", "s16");
        option("audio-channels", "mono,stereo");
    } else if (output_ == MediaOutput::Discard) {
        option("ao", "null");
        option("ao-null-untimed", "yes");
    }
    if (mpv->initialize(h) < 0) {
        mpv->terminateDestroy(h);
        error = "Erro MCI: libmpv não iniciou"_cp;
        return false;
    }
    const char* load[] = {"loadfile", m.file.c_str(), nullptr};
    bool loaded = false;
    if (mpv->command(h, load) >= 0) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(kOpenSeconds);
        for (bool done = false; !done && std::chrono::steady_clock::now() < deadline;) {
            mpv_event* e = mpv->waitEvent(h, 0.05);
            if (e->event_id == MPV_EVENT_FILE_LOADED) {
                loaded = true;
                done = true;
            } else if (e->event_id == MPV_EVENT_END_FILE || e->event_id == MPV_EVENT_SHUTDOWN) {
                done = true;
            } else if (e->event_id == MPV_EVENT_NONE && loop_) {
                loop_->pump();
            }
        }
    }
    if (!loaded) {
        mpv->terminateDestroy(h);
        if (!m.capture.empty()) {
            std::error_code ec;
            std::filesystem::remove(m.capture, ec);
            m.capture.clear();
        }
        error = "Erro MCI: não foi possível abrir: "_cp + text::externalToCp1252(m.file);
        return false;
    }
    m.mpv = h;
    double duration = 0;
    if (mpv->getProperty(h, "duration", MPV_FORMAT_DOUBLE, &duration) >= 0 && duration > 0)
        m.lengthMs = std::llround(duration * 1000);
    return true;
}

std::string MediaPlayer::open(const std::string& file, const std::string& alias, bool automatic) {
    std::string key = text::upperCase(alias);
    if (media_.count(key)) return "Erro MCI: apelido em uso: " + alias;
    auto m = std::make_unique<Media>();
    m->alias = alias;
    m->file = nativePath(file);
    m->automatic = automatic;
    std::string error;
    if (!ensureHandle(*m, error)) return error;
    media_[key] = std::move(m);
    return "";
}

// Hands the stretch rendered since the handle was made to the wave player, as one sound, cut at
// the "to" of the play that made it.
void MediaPlayer::deliver(Media& m) {
    std::string reason;
    const MpvCalls* mpv = mpvCalls(reason);
    if (m.mpv && mpv) mpv->terminateDestroy(m.mpv);  // the capture's header is written now
    m.mpv = nullptr;
    if (m.capture.empty()) return;
    std::ifstream in(m.capture, std::ios::binary);
    std::vector<uint8_t> image((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    in.close();
    std::error_code ec;
    std::filesystem::remove(m.capture, ec);
    m.capture.clear();
    std::optional<WavData> wav = findWavData(image.data(), image.size());
    if (!wav || wav->dataLength == 0 || !player_) return;
    size_t length = wav->dataLength;
    const size_t frame = static_cast<size_t>(wav->format.channels) * (wav->format.bits / 8);
    // Never more than the stretch played: its end is where it stopped (at most its "to"). One
    // loaded run under a sanitizer once captured the file twice over; the cut keeps the first pass.
    const int64_t end = m.to ? std::min(*m.to, m.stoppedAt) : m.stoppedAt;
    if (end > m.playedFrom && frame > 0) {
        const auto frames = static_cast<size_t>((end - m.playedFrom) * wav->format.rate / 1000);
        length = std::min(length, frames * frame);
    }
    const bool interruptible = player_->interruptible;
    player_->interruptible = false;
    player_->beginSound();
    player_->playPcm(image.data() + wav->dataOffset, length, wav->format.rate, wav->format.channels,
                     wav->format.bits);
    player_->endSound();
    player_->interruptible = interruptible;
}

namespace {

int64_t positionOf(const MpvCalls* mpv, mpv_handle* h, int64_t otherwise) {
    double pos = 0;
    if (mpv && h && mpv->getProperty(h, "time-pos", MPV_FORMAT_DOUBLE, &pos) >= 0 && pos >= 0)
        return std::llround(pos * 1000);
    return otherwise;
}

}  // namespace

// Stops where the media is; a rendered stretch is handed over.
void MediaPlayer::finish(Media& m) {
    std::string reason;
    const MpvCalls* mpv = mpvCalls(reason);
    int flag = 0;
    bool atEnd = mpv && m.mpv && mpv->getProperty(m.mpv, "eof-reached", MPV_FORMAT_FLAG, &flag) >= 0 && flag;
    m.stoppedAt = atEnd ? m.lengthMs : positionOf(mpv, m.mpv, m.stoppedAt);
    if (m.to && m.stoppedAt > *m.to) m.stoppedAt = *m.to;
    if (m.state != PlayState::Stopped && mpv && m.mpv) {
        flag = 1;
        mpv->setProperty(m.mpv, "pause", MPV_FORMAT_FLAG, &flag);
    }
    m.state = PlayState::Stopped;
    if (output_ == MediaOutput::Render) deliver(m);
    m.to.reset();
}

// Whether a play reached its end or its "to".
void MediaPlayer::check(Media& m) {
    if (m.state != PlayState::Playing || !m.mpv) return;
    std::string reason;
    const MpvCalls* mpv = mpvCalls(reason);
    if (!mpv) return;
    int eof = 0, idle = 0;
    mpv->getProperty(m.mpv, "eof-reached", MPV_FORMAT_FLAG, &eof);
    mpv->getProperty(m.mpv, "idle-active", MPV_FORMAT_FLAG, &idle);
    bool past = m.to && positionOf(mpv, m.mpv, 0) >= *m.to;
    if (eof || idle || past) finish(m);
}

void MediaPlayer::pump() {
    std::string reason;
    const MpvCalls* mpv = mpvCalls(reason);
    for (auto it = media_.begin(); it != media_.end();) {
        Media& m = *it->second;
        if (mpv && m.mpv)
            while (mpv->waitEvent(m.mpv, 0)->event_id != MPV_EVENT_NONE) {
            }
        check(m);
        if (m.automatic && m.state == PlayState::Stopped) {
            finish(m);
            if (mpv && m.mpv) mpv->terminateDestroy(m.mpv);
            it = media_.erase(it);
        } else {
            ++it;
        }
    }
}

void MediaPlayer::closeAll() {
    for (auto& [key, m] : media_) {
        if (m->state != PlayState::Stopped) finish(*m);
        release(*m);
    }
    media_.clear();
}

std::string MediaPlayer::send(std::string_view command) {
    if (command.size() > kMaxCommand) return "Erro MCI: comando longo demais";
    std::string error;
    std::optional<MciCommand> c = parseMciCommand(command, error);
    std::string reply = c ? run(*c) : error;
    // The reply fits the buffer scripts were written for (a file name in an error may not).
    if (reply.size() > kMaxReply) reply.resize(kMaxReply);
    return reply;
}

std::string MediaPlayer::run(const MciCommand& c) {
    using Verb = MciCommand::Verb;
    if (c.verb == Verb::Open) return open(c.device, c.alias.empty() ? c.device : c.alias, false);
    if (c.verb == Verb::Close && lower(c.device) == "all") {
        closeAll();
        return "";
    }
    Media* m = find(c.device);
    if (!m && c.verb == Verb::Play) {
        // "play FILE": the file opened under its own name, closed when it stops.
        std::string opened = open(c.device, c.device, true);
        if (!opened.empty()) return opened;
        m = find(c.device);
    }
    if (!m) return "Erro MCI: dispositivo desconhecido: " + c.device;
    std::string reason;
    const MpvCalls* mpv = mpvCalls(reason);
    std::string error;
    int flag = 0;
    switch (c.verb) {
        case Verb::Open:
            break;
        case Verb::Play: {
            if (m->state == PlayState::Paused && !c.from) {
                // "play" goes on from where "pause" left it.
                mpv->setProperty(m->mpv, "pause", MPV_FORMAT_FLAG, &flag);
                m->state = PlayState::Playing;
            }
            if (m->state != PlayState::Stopped && c.from) finish(*m);
            if (c.from)
                m->stoppedAt = *c.from;
            else if (m->state == PlayState::Stopped && m->lengthMs > 0 && m->stoppedAt >= m->lengthMs)
                m->stoppedAt = 0;  // at the end: from the start again
            if (!ensureHandle(*m, error)) return error;
            if (m->state == PlayState::Stopped) {
                if (positionOf(mpv, m->mpv, -1) != m->stoppedAt) {
                    std::string seconds = std::to_string(static_cast<double>(m->stoppedAt) / 1000.0);
                    const char* seek[] = {"seek", seconds.c_str(), "absolute+exact", nullptr};
                    mpv->command(m->mpv, seek);
                }
                m->playedFrom = m->stoppedAt;
            }
            m->to = c.to;
            mpv->setProperty(m->mpv, "pause", MPV_FORMAT_FLAG, &flag);
            m->state = PlayState::Playing;
            if (c.wait) {
                while (m->state == PlayState::Playing && !(keys_ && keys_->keyPressed())) {
                    if (loop_)
                        loop_->sleep(20);
                    else
                        std::this_thread::sleep_for(std::chrono::milliseconds(20));
                    check(*m);
                }
                if (m->automatic && m->state == PlayState::Stopped) pump();
            }
            return "";
        }
        case Verb::Pause:
            if (m->state == PlayState::Playing) {
                flag = 1;
                mpv->setProperty(m->mpv, "pause", MPV_FORMAT_FLAG, &flag);
                m->state = PlayState::Paused;
            }
            return "";
        case Verb::Resume:
            if (m->state == PlayState::Paused) {
                mpv->setProperty(m->mpv, "pause", MPV_FORMAT_FLAG, &flag);
                m->state = PlayState::Playing;
            }
            return "";
        case Verb::Stop:
            check(*m);
            if (m->state != PlayState::Stopped) finish(*m);
            return "";
        case Verb::Close:
            if (m->state != PlayState::Stopped) finish(*m);
            release(*m);
            media_.erase(text::upperCase(c.device));
            return "";
        case Verb::Seek: {
            if (m->state != PlayState::Stopped) finish(*m);
            int64_t target = c.seekTo == MciCommand::SeekTo::Start ? 0
                             : c.seekTo == MciCommand::SeekTo::End ? m->lengthMs
                                                                   : std::min(c.position, m->lengthMs);
            m->stoppedAt = target;
            if (m->mpv && mpv) {
                std::string seconds = std::to_string(static_cast<double>(target) / 1000.0);
                const char* seek[] = {"seek", seconds.c_str(), "absolute+exact", nullptr};
                mpv->command(m->mpv, seek);
            }
            return "";
        }
        case Verb::Status:
            check(*m);
            if (c.item == "mode")
                return m->state == PlayState::Playing  ? "playing"
                       : m->state == PlayState::Paused ? "paused"
                                                       : "stopped";
            if (c.item == "position")
                return std::to_string(m->state == PlayState::Stopped ? m->stoppedAt
                                                                     : positionOf(mpv, m->mpv, m->stoppedAt));
            if (c.item == "length") return std::to_string(m->lengthMs);
            if (c.item == "ready") return "true";
            if (c.item == "volume") return std::to_string(m->volume);
            return "milliseconds";
        case Verb::Set:
            return "";
        case Verb::SetAudio: {
            m->volume = c.volume;
            double volume = static_cast<double>(c.volume) / 10.0;
            if (m->mpv && mpv) mpv->setProperty(m->mpv, "volume", MPV_FORMAT_DOUBLE, &volume);
            return "";
        }
    }
    return "";
}

MediaPlayer& mediaPlayer() {
    // Never destroyed: aliases live as long as the process.
    static MediaPlayer* player = new MediaPlayer();
    return *player;
}

void configureMediaOutput(std::string_view audioOption) {
    mediaPlayer().setOutput(audioOption == "system" ? MediaOutput::System
                            : audioOption == "null" ? MediaOutput::Discard
                                                    : MediaOutput::Render);
}

}  // namespace parlendo
