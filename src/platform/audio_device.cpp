// The sound devices: SDL2 audio in queue mode for the sound card, numbered WAV files for a folder.
#include "platform/audio_device.h"

#include <SDL2/SDL.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <functional>

#include "platform/pcm_converter.h"
#include "platform/quiet_standard_error.h"
#include "platform/shared_library.h"
#include "platform/wav_header.h"
#include "text/cp1252.h"

namespace parlendo {

namespace {

namespace fs = std::filesystem;

// Each sound is written as it is played; the header's sizes are filled in when the sound ends.
class FolderAudioDevice final : public AudioDevice {
public:
    explicit FolderAudioDevice(std::string folder) : folder_(std::move(folder)) {}
    ~FolderAudioDevice() override { finishFile(); }

    int open(const AudioFormat& format) override {
        if (open_ && format == format_) return 0;
        finishFile();
        format_ = format;
        open_ = true;
        return 0;
    }
    void close() override {
        finishFile();
        open_ = false;
    }
    bool isOpen() const override { return open_; }
    int queue(const uint8_t* data, size_t length) override {
        if (!open_) return kAudioNoDevice;
        if (!file_ && !startFile()) return kAudioError;
        if (length > 0 && std::fwrite(data, 1, length, file_) != length) {
            finishFile();
            return kAudioError;
        }
        written_ += length;
        if (depth_ == 0) finishFile();
        return 0;
    }
    size_t queuedBytes() override { return 0; }
    void clear() override {}
    void beginSound() override { ++depth_; }
    void endSound() override {
        if (depth_ > 0 && --depth_ == 0) finishFile();
    }

private:
    bool startFile() {
        std::error_code ec;
        if (!folderMade_) folderMade_ = fs::create_directories(folder_, ec) || fs::is_directory(folder_, ec);
        // Files already there are kept: numbering goes on past them.
        for (;;) {
            char name[32];
            std::snprintf(name, sizeof name, "%06d.wav", ++number_);
            fs::path p = fs::path(folder_) / name;
            int fd = ::open(p.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
            if (fd < 0 && errno == EEXIST) continue;
            if (fd >= 0 && !(file_ = ::fdopen(fd, "wb"))) ::close(fd);
            break;
        }
        if (!file_) return false;
        // A sound's pieces reach the file in a few large writes rather than many small ones.
        std::setvbuf(file_, buffer_.data(), _IOFBF, buffer_.size());
        written_ = 0;
        std::vector<uint8_t> header = wavHeader(0, format_.rate, format_.channels, format_.bits);
        return std::fwrite(header.data(), 1, header.size(), file_) == header.size();
    }
    void finishFile() {
        if (!file_) return;
        std::vector<uint8_t> header =
            wavHeader(static_cast<uint32_t>(written_), format_.rate, format_.channels, format_.bits);
        if (std::fseek(file_, 0, SEEK_SET) == 0) std::fwrite(header.data(), 1, header.size(), file_);
        std::fclose(file_);
        file_ = nullptr;
    }

    std::string folder_;
    AudioFormat format_;
    bool open_ = false;
    std::FILE* file_ = nullptr;
    size_t written_ = 0;
    int number_ = 0;
    int depth_ = 0;
    bool folderMade_ = false;
    std::vector<char> buffer_ = std::vector<char>(65536);
};

// libSDL2 is loaded when the sound card is first needed, not at start-up: with it come the sound
// servers' and display systems' libraries, most of an idle run's resident memory otherwise. Its
// header gives the types; these are the functions taken from the loaded library.
constexpr const char* kSdlLibrary = "libSDL2-2.0.so.0";

#define PARLENDO_SDL_CALLS(X) \
    X(InitSubSystem)          \
    X(QuitSubSystem)          \
    X(GetError)               \
    X(GetNumAudioDevices)     \
    X(GetAudioDeviceName)     \
    X(OpenAudioDevice)        \
    X(PauseAudioDevice)       \
    X(CloseAudioDevice)       \
    X(QueueAudio)             \
    X(GetQueuedAudioSize)     \
    X(ClearQueuedAudio)

struct SdlCalls {
#define PARLENDO_SDL_POINTER(name) \
    decltype(&SDL_##name) name = nullptr;  // NOLINT(bugprone-macro-parentheses)
    PARLENDO_SDL_CALLS(PARLENDO_SDL_POINTER)
#undef PARLENDO_SDL_POINTER
};

// The library's functions, loaded once for the whole run; null, with the loader's reason in
// `error`, when the library or one of its functions is missing.
const SdlCalls* sdlCalls(std::string& error) {
    struct Loaded {
        SdlCalls calls;
        std::string error;
        bool ok = false;
    };
    static const Loaded loaded = [] {
        Loaded l;
        std::optional<SharedLibrary> library = SharedLibrary::load(kSdlLibrary, l.error);
        if (!library) return l;
        l.ok = true;
#define PARLENDO_SDL_RESOLVE(name) l.ok = l.ok && library->resolve(l.calls.name, "SDL_" #name, l.error);
        PARLENDO_SDL_CALLS(PARLENDO_SDL_RESOLVE)
#undef PARLENDO_SDL_RESOLVE
        return l;
    }();
    if (!loaded.ok) {
        error = loaded.error;
        return nullptr;
    }
    return &loaded.calls;
}

// SDL's audio in queue mode: no callback, pieces are queued with SDL_QueueAudio and the card
// takes them in order. The card stays open in one format; each piece is converted to it, so that
// speech, key echo and recordings of other formats follow each other without a reopen.
class SdlAudioDevice final : public AudioDevice {
public:
    SdlAudioDevice(const SdlCalls& sdl, std::string sdlName) : sdl_(sdl), sdlName_(std::move(sdlName)) {}
    ~SdlAudioDevice() override {
        close();
        sdl_.QuitSubSystem(SDL_INIT_AUDIO);
    }

    int open(const AudioFormat& format) override {
        if (format.bits != 8 && format.bits != 16) return kAudioBadFormat;
        if (format.channels < 1 || format.channels > 2 || format.rate <= 0) return kAudioBadFormat;
        if (device_ == 0) {
            SDL_AudioSpec want{};
            SDL_AudioSpec have{};
            want.freq = kCardFormat.rate;
            want.format = AUDIO_S16LSB;
            want.channels = static_cast<Uint8>(kCardFormat.channels);
            // A small buffer: a key silences the card within a few milliseconds of the queue's
            // clearing.
            want.samples = 512;
            device_ = sdl_.OpenAudioDevice(sdlName_.empty() ? nullptr : sdlName_.c_str(), 0, &want, &have, 0);
            if (device_ == 0) return kAudioError;
            tail_ = have.freq > 0 ? static_cast<int>(have.samples * 1000L / have.freq) + 1 : 0;
            sdl_.PauseAudioDevice(device_, 0);
        }
        converter_.setInput(format);
        return 0;
    }
    void close() override {
        if (device_ != 0) sdl_.CloseAudioDevice(device_);
        device_ = 0;
        forget();
    }
    bool isOpen() const override { return device_ != 0; }
    bool takesAnyFormat() const override { return true; }
    int queue(const uint8_t* data, size_t length) override {
        if (device_ == 0) return kAudioNoDevice;
        converted_.clear();
        converter_.convert(data, length, converted_);
        if (sdl_.QueueAudio(device_, converted_.data(), static_cast<Uint32>(converted_.size())) != 0)
            return kAudioError;
        pieces_.push_back({length, converted_.size()});
        handed_ += length;
        cardBytes_ += converted_.size();
        return 0;
    }
    // In the bytes handed to queue(): the card's own count, taken back piece by piece.
    size_t queuedBytes() override {
        if (device_ == 0) return 0;
        size_t card = sdl_.GetQueuedAudioSize(device_);
        while (!pieces_.empty() && cardBytes_ - pieces_.front().card >= card) {
            handed_ -= pieces_.front().handed;
            cardBytes_ -= pieces_.front().card;
            pieces_.pop_front();
        }
        if (pieces_.empty()) return 0;
        // The part of the oldest piece the card has taken already.
        const Piece& front = pieces_.front();
        size_t taken = cardBytes_ > card ? cardBytes_ - card : 0;
        size_t takenHanded =
            front.card ? static_cast<size_t>(static_cast<double>(front.handed) * taken / front.card) : 0;
        return handed_ - std::min(takenHanded, front.handed);
    }
    void clear() override {
        if (device_ != 0) sdl_.ClearQueuedAudio(device_);
        forget();
    }
    int tailMilliseconds() const override { return tail_; }

private:
    struct Piece {
        size_t handed;
        size_t card;
    };
    void forget() {
        pieces_.clear();
        handed_ = cardBytes_ = 0;
        converter_.reset();
    }

    const SdlCalls& sdl_;
    std::string sdlName_;
    SDL_AudioDeviceID device_ = 0;
    int tail_ = 0;
    PcmConverter converter_;
    std::vector<uint8_t> converted_;
    std::deque<Piece> pieces_;  // queued on the card, oldest first
    size_t handed_ = 0;         // their sizes as handed, and as queued on the card
    size_t cardBytes_ = 0;
};

// The sound card, reached the first time a sound opens the device: the library is loaded and the
// device chosen then. Without a card the device says so once and plays nothing from then on.
class FirstSoundAudioDevice final : public AudioDevice {
public:
    FirstSoundAudioDevice(std::string deviceName, std::function<void(const std::string&)> noDevice)
        : deviceName_(std::move(deviceName)), noDevice_(std::move(noDevice)) {}

    int open(const AudioFormat& format) override {
        if (!device_) {
            std::string error;
            device_ = createSystemAudioDevice(deviceName_, error);
            if (!device_) {
                device_ = std::make_unique<NullAudioDevice>();
                if (noDevice_) noDevice_(error);
            }
        }
        return device_->open(format);
    }
    void close() override {
        if (device_) device_->close();
    }
    bool isOpen() const override { return device_ && device_->isOpen(); }
    int queue(const uint8_t* data, size_t length) override {
        return device_ ? device_->queue(data, length) : kAudioNoDevice;
    }
    size_t queuedBytes() override { return device_ ? device_->queuedBytes() : 0; }
    void clear() override {
        if (device_) device_->clear();
    }
    int tailMilliseconds() const override { return device_ ? device_->tailMilliseconds() : 0; }
    bool takesAnyFormat() const override { return device_ && device_->takesAnyFormat(); }

private:
    std::string deviceName_;
    std::function<void(const std::string&)> noDevice_;
    std::unique_ptr<AudioDevice> device_;  // none until the first sound
};

}  // namespace

std::unique_ptr<AudioDevice> createFolderAudioDevice(const std::string& folder) {
    return std::make_unique<FolderAudioDevice>(folder);
}

std::vector<std::string> listAudioDevices() {
    std::vector<std::string> names;
    std::string error;
    const SdlCalls* sdl = sdlCalls(error);
    if (!sdl) return names;
    QuietStandardError quiet;
    if (sdl->InitSubSystem(SDL_INIT_AUDIO) != 0) return names;
    int n = sdl->GetNumAudioDevices(0);
    for (int i = 0; i < n; ++i) {
        const char* name = sdl->GetAudioDeviceName(i, 0);
        if (name) names.emplace_back(text::trim(text::utf8ToCp1252(name)));
    }
    sdl->QuitSubSystem(SDL_INIT_AUDIO);
    return names;
}

std::unique_ptr<AudioDevice> createSystemAudioDevice(std::string_view deviceName, std::string& error) {
    const SdlCalls* sdl = sdlCalls(error);
    if (!sdl) return nullptr;
    QuietStandardError quiet;
    if (sdl->InitSubSystem(SDL_INIT_AUDIO) != 0) {
        error = sdl->GetError();
        return nullptr;
    }
    // The device the settings name, when one has that name; otherwise the default device.
    std::string sdlName;
    std::string_view wanted = text::trim(deviceName);
    if (!wanted.empty()) {
        int n = sdl->GetNumAudioDevices(0);
        for (int i = 0; i < n && sdlName.empty(); ++i) {
            const char* name = sdl->GetAudioDeviceName(i, 0);
            if (name && text::equalsIgnoringCase(text::trim(text::utf8ToCp1252(name)), wanted))
                sdlName = name;
        }
    }
    auto device = std::make_unique<SdlAudioDevice>(*sdl, sdlName);
    // A driver may start on a machine without any card; only an opened device tells.
    if (device->open(AudioFormat{}) != 0) {
        error = sdl->GetError();
        return nullptr;  // the destructor leaves SDL's audio again
    }
    device->close();
    return device;
}

std::unique_ptr<AudioDevice> createSystemAudioDeviceOnFirstSound(
    std::string deviceName, std::function<void(const std::string&)> noDevice) {
    return std::make_unique<FirstSoundAudioDevice>(std::move(deviceName), std::move(noDevice));
}

}  // namespace parlendo
