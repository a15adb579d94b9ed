#pragma once
// Plays one block of PCM from memory on a wave output device, cut into pieces of at most
// 64 KiB that go to the device through a ring of three headers: two queued, the third cut
// and ready. The owner routes every wave-output-done notification to bufferDone().
#include <array>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>

#include "base/LastError.h"
#include "platform/WaveDevice.h"

namespace kantor {

struct SampleFormat {
    uint16_t bitsPerSample = 16;
    uint16_t channels = 1;
    uint32_t sampleRate = 44100;
};

// The device format of a sample format, and its text ("16bit, 44100Hz, Mono").
WaveFormat deviceFormat(const SampleFormat& f);
std::string formatText(const SampleFormat& f);

struct PlayBlock {
    const uint8_t* data = nullptr;  // the caller's, alive and unchanged until played or stopped
    uint32_t length = 0;            // bytes, at least 1
    uint32_t value = 0;             // the caller's, never interpreted
};

struct VolumeCaps {
    uint32_t controls = 0;  // 0 none, 1 one for both channels, 2 left and right
    uint32_t left = 0;
    uint32_t right = 0;
};

class WaveOutDevice : public LastError {
public:
    static constexpr uint32_t kPieceSize = 65536;
    static constexpr uint64_t kLastPiece = 99;

    explicit WaveOutDevice(WaveOut& device);
    ~WaveOutDevice();
    WaveOutDevice(const WaveOutDevice&) = delete;
    WaveOutDevice& operator=(const WaveOutDevice&) = delete;

    bool open(NotificationTarget* owner, uint16_t bitsPerSample, uint16_t channels, uint32_t sampleRate);
    bool play(const PlayBlock& block);
    // Plays the block from the given frame of the device's clock (a marker notification's
    // frame), so that it starts on that exact sample; a device without such a clock starts
    // it at once, as play() does.
    bool playAt(const PlayBlock& block, uint64_t frame);
    // Plays `block` right after the block playing now (and the blocks given to follow it),
    // without a gap: a long sound given in pieces. Nothing playing: it starts at once.
    bool follow(const PlayBlock& block);
    // The value of the last block played to its end, if any has been since the last play.
    bool finishedBlock(uint32_t& value) const {
        value = finishedValue_;
        return finishedAny_;
    }
    // For every wave-output-done notification.
    bool bufferDone(const WaveHeader* header);
    void stop();
    // The device's close result is returned as a success flag.
    bool close();
    // Bytes played; leaves `bytes` untouched when closed.
    bool position(uint32_t& bytes);
    bool volumeCaps(VolumeCaps& caps);
    bool setVolume(const VolumeCaps& volume);

    bool isOpen() const { return open_; }
    bool isPlaying() const { return playing_; }
    int feedState() const { return feedState_; }
    uint32_t feedOffset() const { return feedOffset_; }
    const WaveHeader& header(int k) const { return *headers_[static_cast<std::size_t>(k)]; }
    const PlayBlock& block() const { return block_; }

private:
    void cut(int k);
    bool writeHeader(int k);
    bool feedNext(int k);
    bool deviceFail(int code);
    bool start(const PlayBlock& block, const uint64_t* frame);

    WaveOut& device_;
    bool open_ = false;
    bool playing_ = false;
    std::array<std::unique_ptr<WaveHeader>, 3> headers_;
    uint16_t blockAlign_ = 0;
    PlayBlock block_;
    std::deque<PlayBlock> follow_;
    std::array<uint32_t, 3> headerValue_{};  // the block each header's piece was cut from
    std::array<bool, 3> headerEnds_{};       // whether that piece ends its block
    uint32_t finishedValue_ = 0;
    bool finishedAny_ = false;
    int feedState_ = 0;
    uint32_t feedOffset_ = 0;
};

}  // namespace kantor
