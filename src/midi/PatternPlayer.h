#pragma once
// Plays short generated patterns (test patterns, guides and count-ins, the accompaniment of
// a listening) through the platform MIDI stream, from one buffer at 480 ticks per quarter
// note and 500000 us per quarter (960 ticks a second). Every pattern begins with the General
// MIDI System On message. The owner hands the buffer-done notification to bufferDone(),
// which stops the stream, so the owner always receives the close notification afterwards.
#include <cstdint>
#include <vector>

#include "base/LastError.h"
#include "platform/MidiStream.h"

namespace kantor {

struct AccompanimentItem {
    uint32_t waveStartTick = 0;
    uint32_t durationMs = 0;
    uint8_t note = 60;
    uint32_t noteStartTick = 0;
};

class PatternPlayer : public LastError {
public:
    static constexpr uint16_t kDivision = 480;
    static constexpr uint32_t kTempo = 500000;
    static constexpr uint32_t kBufferSize = 0xFC00;
    static constexpr uint32_t kMarkerWord = 0x42100000;

    explicit PatternPlayer(MidiStream& stream);
    ~PatternPlayer();
    PatternPlayer(const PatternPlayer&) = delete;
    PatternPlayer& operator=(const PatternPlayer&) = delete;

    // 480 * ms * 1000 / 500000, truncated toward zero.
    static int64_t ticksForMilliseconds(double ms);

    bool open(NotificationTarget* owner);

    // Building a pattern: begin() empties the buffer and writes the System On message; each
    // writer fails (false) when the event does not fit.
    void begin();
    bool channelMessage(uint32_t delta, uint8_t status, uint8_t data1, uint8_t data2);
    bool marker(uint32_t delta, uint32_t code);
    bool noOp(uint32_t delta);
    bool tempo(uint32_t delta);
    uint32_t bytesUsed() const { return used_; }
    // Sends the pattern: its header's user word is `code`.
    bool send(uint32_t code = 0);

    bool bufferDone(const MidiHeader* header);
    bool stop();
    bool isPlaying() const { return playing_; }
    const MidiHeader& header() const { return header_; }

    // The accompaniment of a listening: items in order (a missing entry ends the list), a
    // drum (-1 none, else drum note 35 + drum) and an instrument program (-1 none).
    bool playAccompaniment(NotificationTarget* owner, const std::vector<const AccompanimentItem*>& items, int drum,
                           int program);

private:
    bool fits(uint32_t bytes) const { return used_ + bytes <= kBufferSize; }
    void put(uint32_t delta, uint32_t word);
    bool platformFail(int code);

    MidiStream& stream_;
    bool open_ = false;
    bool playing_ = false;
    std::vector<uint8_t> buffer_;
    MidiHeader header_;
    uint32_t used_ = 0;
};

}  // namespace kantor
