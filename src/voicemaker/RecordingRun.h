#pragma once
// The recording window's logic: records the chosen items one after another through the
// wave input, guided by a MIDI stream with a count-in and a guide tone at the item's
// pitch, or plays recorded items back against the same guide.
//
// Guide stream (480 ticks a beat, 120 beats a minute): program changes (channel 1 the guide
// instrument, channel 10 program 0); two guide tones of two beats; a count-in of four beats
// (notes 35 and 37 on channel 10, the guide tone during the first and third); the start
// marker 1001 (recording) or the wave-start marker 1002 (playback) at the fourth count-in
// beat; at the downbeat the position marker 1003, note 35 and the guide tone; the end
// marker 1004 three beats later (two in playback); then note 37 for four beats.
//
// Recording: 1001 starts the wave input into a 264,600-byte buffer (three seconds); 1003
// keeps the input position as the item's recorded position. When the buffer comes back
// with at least 176,401 bytes, the item takes its first bytes (at most 177,400), the kept
// position, and loses its markers; a shorter recording leaves the item as it was.
//
// Playback: the playback adjustment |m - o| * 1000 / 88,200 ms (m the item's recorded
// position, 44,100 when 0; o the play-position snapshot; negative when o < m; 0 outside
// -500..500 or without a snapshot) moves the wave-start marker by 0.96 ticks a millisecond
// and adds marker 1005 the same distance from the downbeat. 1003 (when the adjustment is 0
// or there is no snapshot yet) and 1005 read the output position into the snapshot.
#include <cstdint>
#include <string>
#include <vector>

#include "audio/WaveInDevice.h"
#include "audio/WaveOutDevice.h"
#include "base/LastError.h"
#include "midi/PatternPlayer.h"
#include "platform/Notification.h"
#include "voicemaker/VoiceProject.h"

namespace kantor {

class NotificationQueue;
class UserPrompt;

class RecordingRun : public NotificationTarget {
public:
    enum class Mode { Idle, Record, Play };

    static constexpr uint32_t kBufferBytes = 264600;
    static constexpr uint32_t kMinTakeBytes = 176401;
    static constexpr uint32_t kMaxKeepBytes = 177400;
    static constexpr uint32_t kStartMarker = 1001;
    static constexpr uint32_t kWaveStartMarker = 1002;
    static constexpr uint32_t kPositionMarker = 1003;
    static constexpr uint32_t kEndMarker = 1004;
    static constexpr uint32_t kShiftedPositionMarker = 1005;
    static constexpr uint32_t kBeat = 480;
    static constexpr uint32_t kCountInTick = 4 * kBeat;
    static constexpr uint32_t kDownbeatTick = 8 * kBeat;
    static constexpr uint8_t kDefaultInstrument = 0;

    RecordingRun(VoiceProject& project, MidiStream& stream, WaveIn& waveIn, WaveOut& waveOut, UserPrompt& prompt,
                 NotificationQueue* queue = nullptr);
    ~RecordingRun() override;
    RecordingRun(const RecordingRun&) = delete;
    RecordingRun& operator=(const RecordingRun&) = delete;

    // The recording buffer, allocated when the window opens ("メモリが不足しています。").
    bool allocate();
    bool hasBuffer() const { return !buffer_.empty(); }

    void setGuideInstrument(uint8_t program) { instrument_ = program & 0x7F; }
    uint8_t guideInstrument() const { return instrument_; }

    // "Rec.": the selected lines whose item has a code and a notation, in the given order.
    // False when nothing starts (no buffer, no such line).
    bool record(const std::vector<int>& selectedLines);
    // "Play": the selected lines whose item has wave data.
    bool play(const std::vector<int>& selectedLines);
    // "Stop": ends the run; the item being recorded takes what was captured by the rule.
    void stop();

    Mode mode() const { return mode_; }
    bool running() const { return mode_ != Mode::Idle; }
    // The line being processed (-1 between items and when idle).
    int currentLine() const { return current_ < runList_.size() ? runList_[current_] : -1; }
    uint32_t playSnapshot() const { return snapshot_; }
    void setPlaySnapshot(uint32_t bytes) { snapshot_ = bytes; }
    int32_t adjustment() const { return adjustment_; }
    // Whether an item was changed by the last recording (the window redraws its line).
    int takeChangedLine();
    // Bytes recorded into the buffer so far and the peak level of the last 50 ms of
    // them (0..32767), for the input meter.
    uint32_t recordedBytes() const;
    int inputPeak() const;

    // Errors met while running, for the window to show (then cleared).
    std::string takeError();

    // The playback adjustment in milliseconds.
    static int32_t playbackAdjustment(uint32_t recordedPosition, uint32_t snapshot);
    // Milliseconds to ticks at 0.96 ticks a millisecond, truncated toward zero.
    static int32_t adjustmentTicks(int32_t ms);
    // Writes the guide into the player's buffer (after its System On message).
    static bool buildGuide(PatternPlayer& player, uint8_t instrument, uint8_t pitch, Mode mode, int32_t adjustmentMs);
    // The take rule: how many of `recorded` bytes an item keeps (0: the item stays as it was).
    static uint32_t takeBytes(uint32_t recorded);

    void onNotification(const Notification& n) override;

private:
    bool begin(Mode mode, const std::vector<int>& lines);
    void next();
    bool startItem(VoiceItem& item);
    void endItem();
    void finishRecording();
    void finishRun();
    void error(const std::string& text);
    VoiceItem* itemAt(int line) const;

    VoiceProject& project_;
    UserPrompt& prompt_;
    NotificationQueue* queue_;
    PatternPlayer player_;
    WaveInDevice in_;
    WaveOutDevice out_;
    std::vector<uint8_t> buffer_;
    std::vector<int> runList_;
    std::size_t current_ = 0;
    Mode mode_ = Mode::Idle;
    uint8_t instrument_ = kDefaultInstrument;
    uint32_t snapshot_ = 0;
    int32_t adjustment_ = 0;
    uint32_t keptPosition_ = 0;
    bool inputStarted_ = false;
    bool awaitingData_ = false;
    int changedLine_ = -1;
    std::string pendingError_;
};

}  // namespace kantor
