// The wave player: PCM from memory and WAV files, in pieces of at most 8192 bytes, at most 16 of
// them queued on the device at once. Waits poll in short steps so keys and the screen are served.
#include "tts/wave_player.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <thread>

#include "console/key_queue.h"
#include "platform/event_loop.h"
#include "platform/file.h"
#include "text/cp1252.h"

namespace parlendo {

namespace {

constexpr size_t kPieceBytes = 8192;
constexpr int kSlots = 16;
constexpr int kSlotWaits = 40;    // a piece waits for a free slot at most 40 times 50 ms
constexpr int kShortPiece = 256;  // 8-bit mono pieces are padded to this with silence
constexpr int kMaxRate = 384000;

uint32_t read32(const uint8_t* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}
uint16_t read16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

bool sameTag(const uint8_t* p, const char* tag) {
    return text::equalsIgnoringCase(std::string_view(reinterpret_cast<const char*>(p), 4), tag);
}

// The format chunk's fields, given its bytes. WAVE_FORMAT_EXTENSIBLE of PCM counts as PCM.
void readFormat(const uint8_t* fmt, size_t size, WavData& out) {
    out.formatTag = read16(fmt);
    out.format.channels = read16(fmt + 2);
    out.format.rate = static_cast<int>(std::min<uint32_t>(read32(fmt + 4), 0x7fffffff));
    out.format.bits = read16(fmt + 14);
    if (out.formatTag == 0xFFFE && size >= 40 && read16(fmt + 24) == 1) out.formatTag = 1;
}

// An interleaved frame's bytes.
size_t frameBytes(const AudioFormat& f) { return static_cast<size_t>(f.channels) * (f.bits / 8); }

bool playable(const AudioFormat& f) {
    return (f.bits == 8 || f.bits == 16) && (f.channels == 1 || f.channels == 2) && f.rate > 0 &&
           f.rate <= kMaxRate;
}

class DeviceWavePlayer final : public WavePlayer {
public:
    DeviceWavePlayer(std::unique_ptr<AudioDevice> device, KeyQueue& keys, EventLoop* loop)
        : device_(std::move(device)), keys_(keys), loop_(loop), scratch_(kPieceBytes) {}
    ~DeviceWavePlayer() override { device_->close(); }

    int playPcm(const uint8_t* data, size_t length, int rate, int channels, int bits) override;
    int playWavImage(const uint8_t* image, size_t size) override;
    int playWavFile(std::string_view fileName) override;
    bool playerBusy() override;
    void stopPlayer() override;
    void beginSound() override { device_->beginSound(); }
    void endSound() override { device_->endSound(); }

private:
    bool keyWaiting() { return interruptible && keys_.keyPressed(); }
    void wait(int milliseconds) {
        if (loop_)
            loop_->sleep(milliseconds);
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
    void pump() {
        if (loop_) loop_->pump();
    }
    int inFlight();
    int openFor(const AudioFormat& format);
    int queuePiece(std::vector<uint8_t>& piece, const AudioFormat& format);
    int playPieces(const uint8_t* data, size_t length, AudioFormat format);

    std::unique_ptr<AudioDevice> device_;
    KeyQueue& keys_;
    EventLoop* loop_;
    AudioFormat format_;
    // The sizes of the pieces still queued, oldest first, and their sum.
    std::deque<size_t> pieces_;
    size_t pendingBytes_ = 0;
    std::vector<uint8_t> scratch_;
};

// A piece has left the queue once the bytes queued after it cover all the device still holds.
int DeviceWavePlayer::inFlight() {
    size_t queued = pieces_.empty() ? 0 : device_->queuedBytes();
    while (!pieces_.empty() && pendingBytes_ - pieces_.front() >= queued) {
        pendingBytes_ -= pieces_.front();
        pieces_.pop_front();
    }
    return static_cast<int>(pieces_.size());
}

// Another format waits for the queue to play out (a key cuts it short), then reopens the device;
// a device that converts takes the new format at once, behind what it still plays.
int DeviceWavePlayer::openFor(const AudioFormat& format) {
    if (device_->isOpen() && format == format_) return 0;
    if (device_->isOpen() && device_->takesAnyFormat()) {
        int rc = device_->open(format);
        if (rc == 0) format_ = format;
        return rc;
    }
    if (device_->isOpen()) {
        bool played = inFlight() > 0;
        while (inFlight() > 0) {
            if (keyWaiting()) {
                stopPlayer();
                played = false;
                break;
            }
            wait(10);
        }
        // The card's own buffer still sounds for a moment after the queue empties.
        if (played && device_->tailMilliseconds() > 0) wait(device_->tailMilliseconds());
        device_->close();
    }
    pieces_.clear();
    pendingBytes_ = 0;
    int rc = device_->open(format);
    if (rc == 0) format_ = format;
    return rc;
}

int DeviceWavePlayer::queuePiece(std::vector<uint8_t>& piece, const AudioFormat& format) {
    for (int tries = 0; inFlight() >= kSlots; ++tries) {
        if (tries == kSlotWaits) return 0;  // no slot freed: the piece is dropped
        wait(50);
    }
    if (format.bits == 8 && format.channels == 1) {
        // Silence at the end of a short sound keeps the card from clicking.
        if (piece.size() < kShortPiece) piece.resize(kShortPiece, 128);
        if (piece.size() != kPieceBytes) piece.back() = 128;
    }
    int rc = device_->queue(piece.data(), piece.size());
    if (rc != 0) return rc;  // the piece is dropped
    pieces_.push_back(piece.size());
    pendingBytes_ += piece.size();
    return 0;
}

int DeviceWavePlayer::playPieces(const uint8_t* data, size_t length, AudioFormat format) {
    if (fastPlayback) format.rate = static_cast<int>(static_cast<int64_t>(format.rate) * 3 / 2);
    bool shorten = rapidPlayback && format.channels == 1;
    const int dataBits = format.bits;
    if (shorten) format.bits = 8;
    int rc = openFor(format);
    if (rc != 0) return rc;
    // A last frame cut short is not played.
    AudioFormat dataFormat = format;
    dataFormat.bits = dataBits;
    length -= length % frameBytes(dataFormat);
    int lastError = 0;
    std::vector<uint8_t> piece;
    device_->beginSound();
    for (size_t offset = 0; offset < length;) {
        size_t n = std::min(kPieceBytes, length - offset);
        bool stopped = false;
        while (inFlight() >= kSlots) {
            if (keyWaiting()) {
                stopped = true;
                break;
            }
            wait(10);
        }
        if (stopped || keyWaiting()) {
            stopPlayer();
            break;
        }
        if (shorten)
            piece = shortenPiece(data + offset, n, dataBits, format.rate);
        else
            piece.assign(data + offset, data + offset + n);
        if (int e = queuePiece(piece, format)) lastError = e;
        offset += n;
    }
    device_->endSound();
    return lastError;
}

int DeviceWavePlayer::playPcm(const uint8_t* data, size_t length, int rate, int channels, int bits) {
    AudioFormat format{rate, channels, bits};
    if (!playable(format)) return kAudioBadFormat;
    return playPieces(data, length, format);
}

int DeviceWavePlayer::playWavImage(const uint8_t* image, size_t size) {
    std::optional<WavData> wav = findWavData(image, size);
    if (!wav) return -1;
    if (wav->formatTag != 1) return kAudioBadFormat;
    return playPcm(image + wav->dataOffset, wav->dataLength, wav->format.rate, wav->format.channels,
                   wav->format.bits);
}

int DeviceWavePlayer::playWavFile(std::string_view fileName) {
    if (keyWaiting()) {
        stopPlayer();
        return 0;
    }
    namespace fs = std::filesystem;
    if (rapidPlayback) {
        // A recording made for quick speech, kept under the same name in "rapido/", plays as it is.
        size_t slash = fileName.rfind('/');
        size_t cut = slash == std::string_view::npos ? 0 : slash + 1;
        std::string quick =
            std::string(fileName.substr(0, cut)) + "rapido/" + std::string(fileName.substr(cut));
        std::error_code ec;
        if (fs::is_regular_file(nativePath(quick), ec)) {
            rapidPlayback = false;
            int rc = playWavFile(quick);
            rapidPlayback = true;
            return rc;
        }
    }
    std::string path = nativePath(fileName);
    std::error_code ec;
    if (path.empty() || !fs::is_regular_file(path, ec)) return -1;
    std::ifstream in(path, std::ios::binary);
    if (!in) return -1;
    in.seekg(0, std::ios::end);
    const uint64_t fileSize = static_cast<uint64_t>(in.tellg());
    in.seekg(0);
    uint8_t head[20];
    if (!in.read(reinterpret_cast<char*>(head), sizeof head)) return -1;
    if (!sameTag(head, "RIFF") || !sameTag(head + 12, "fmt ")) return -1;
    uint32_t fmtSize = read32(head + 16);
    if (fmtSize < 16 || fmtSize > kWavMaxFormatChunk) return -1;
    if (!in.read(reinterpret_cast<char*>(scratch_.data()), fmtSize)) return -1;
    WavData wav;
    readFormat(scratch_.data(), fmtSize, wav);
    uint64_t pos = 20 + static_cast<uint64_t>(fmtSize) + (fmtSize & 1);
    uint64_t dataLength = 0;
    for (;;) {
        uint8_t chunk[8];
        if (pos + 8 > fileSize) return -1;
        in.seekg(static_cast<std::streamoff>(pos));
        if (!in.read(reinterpret_cast<char*>(chunk), 8)) return -1;
        uint32_t chunkSize = read32(chunk + 4);
        if (sameTag(chunk, "data")) {
            dataLength = std::min<uint64_t>(chunkSize, fileSize - pos - 8);
            break;
        }
        pos += 8 + static_cast<uint64_t>(chunkSize) + (chunkSize & 1);
    }
    if (wav.formatTag != 1 || !playable(wav.format)) return kAudioBadFormat;

    int rc = 0;
    device_->beginSound();
    for (uint64_t remaining = dataLength; remaining > 0;) {
        size_t n = wavFilePiece(remaining);
        if (!in.read(reinterpret_cast<char*>(scratch_.data()), static_cast<std::streamsize>(n))) break;
        rc = playPieces(scratch_.data(), n, wav.format);
        remaining -= n;
        if (rc != 0) break;
        if (keyWaiting()) {
            stopPlayer();
            break;
        }
    }
    device_->endSound();
    if (rc == 0 && !noWait)
        while (playerBusy()) wait(10);
    return rc;
}

bool DeviceWavePlayer::playerBusy() {
    pump();
    if (keyWaiting() || inFlight() == 0) stopPlayer();
    return inFlight() > 0;
}

void DeviceWavePlayer::stopPlayer() {
    if (device_->isOpen() && inFlight() > 0) {
        device_->clear();
        pieces_.clear();
        pendingBytes_ = 0;
    }
    pump();
}

}  // namespace

std::optional<WavData> findWavData(const uint8_t* image, size_t size) {
    if (!image || size < 20) return std::nullopt;
    if (!sameTag(image, "RIFF") || !sameTag(image + 12, "fmt ")) return std::nullopt;
    const uint64_t fmtSize = read32(image + 16);
    if (fmtSize < 16 || fmtSize > kWavMaxFormatChunk || 20 + fmtSize > size) return std::nullopt;
    WavData wav;
    readFormat(image + 20, fmtSize, wav);
    for (uint64_t pos = 20 + fmtSize + (fmtSize & 1); pos + 8 <= size;) {
        const uint64_t chunkSize = read32(image + pos + 4);
        if (sameTag(image + pos, "data")) {
            wav.dataOffset = pos + 8;
            wav.dataLength = std::min<uint64_t>(chunkSize, size - pos - 8);
            return wav;
        }
        pos += 8 + chunkSize + (chunkSize & 1);
    }
    return std::nullopt;
}

size_t wavFilePiece(uint64_t remaining) {
    if (remaining > kPieceBytes && remaining < kPieceBytes + 256) return kPieceBytes - 256;
    return static_cast<size_t>(std::min<uint64_t>(remaining, kPieceBytes));
}

std::vector<uint8_t> shortenPiece(const uint8_t* data, size_t length, int bits, int rate) {
    std::vector<uint8_t> s;
    if (bits == 16) {
        s.resize(length / 2);
        for (size_t i = 0; i < s.size(); ++i) s[i] = static_cast<uint8_t>(data[2 * i + 1] ^ 0x80);
    } else {
        s.assign(data, data + length);
    }
    const size_t n = s.size();
    if (n < 1000) return s;
    const size_t start = rate == 11025 ? 200 : 800;
    const size_t gap = rate == 11025 ? 80 : 320;
    const size_t window = rate == 11025 ? 50 : 200;
    const size_t span = gap + window;
    // The position of the largest sample in [from, to], the first of equals.
    auto peakIn = [&](size_t from, size_t to) {
        to = std::min(to, n - 1);
        size_t best = from;
        for (size_t i = from + 1; i <= to; ++i)
            if (s[i] > s[best]) best = i;
        return best;
    };
    size_t peak = peakIn(start, start + span);
    size_t out = peak;
    while (n > 2 * span && peak < n - 2 * span) {
        size_t next = peakIn(peak + gap, peak + gap + window);
        size_t after = peakIn(next + gap, next + gap + window);
        std::memmove(&s[out], &s[next], after - next + 1);
        out += after - next + 1;
        peak = after;
    }
    // The rest, up to a sample near the middle line, so the cut does not click.
    for (size_t i = peak + 1; i < n;) {
        s[out++] = s[i++];
        if (std::abs(static_cast<int>(s[out - 1]) - 128) <= 20) break;
    }
    s.resize(out);
    return s;
}

std::unique_ptr<WavePlayer> createWavePlayerOn(std::unique_ptr<AudioDevice> device, KeyQueue& keys,
                                               EventLoop* loop) {
    return std::make_unique<DeviceWavePlayer>(std::move(device), keys, loop);
}

std::unique_ptr<WavePlayer> createWavePlayer(std::string_view audioOption, std::string_view deviceName,
                                             KeyQueue& keys, EventLoop* loop,
                                             const std::function<void(const std::string&)>& warn,
                                             bool reachCardNow) {
    std::unique_ptr<AudioDevice> device;
    auto noCard = [warn](const std::string& error) {
        if (warn) warn("Sem dispositivo de som (" + error + "); o programa segue sem som.");
    };
    if (audioOption == "system" && reachCardNow) {
        std::string error;
        device = createSystemAudioDevice(deviceName, error);
        if (!device) noCard(error);
    } else if (audioOption == "system") {
        device = createSystemAudioDeviceOnFirstSound(std::string(deviceName), noCard);
    } else if (audioOption.substr(0, 4) == "dir:" && audioOption.size() > 4) {
        device = createFolderAudioDevice(std::string(audioOption.substr(4)));
    } else if (audioOption != "null") {
        if (warn)
            warn("Dispositivo de som desconhecido: " + std::string(audioOption) +
                 "; o programa segue sem som.");
    }
    if (!device) device = std::make_unique<NullAudioDevice>();
    return createWavePlayerOn(std::move(device), keys, loop);
}

}  // namespace parlendo
