#pragma once
// Plays a loaded MIDI file through the platform MIDI stream from a start tick to an end tick.
// The single-track image is converted into stream events in two alternating buffers: events
// before the start are sent at once (tempo, system exclusive, the latest value of every
// controller, program, pressure and pitch bend), notes of muted channels become no-ops, and
// the owner's markers are planted as callback events. The owner pumps the stream's
// notifications and hands every buffer-done notification back to bufferDone().
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/LastError.h"
#include "midi/MidiFile.h"
#include "platform/MidiStream.h"

namespace kantor {

// What the player reads from its owner, and the hook it calls when the stream closes.
class MidiStreamOwner : public NotificationTarget {
public:
    // The marker list: one callback event is planted per marker, in list order.
    virtual std::size_t markerCount() const = 0;
    virtual uint32_t markerTick(std::size_t index) const = 0;
    // True when the channel's (0-15) notes are silenced.
    virtual bool midiMuted(int channel) const = 0;
    // 255 = off; otherwise only notes with this number sound.
    virtual uint8_t noteFilter() const = 0;
    // Called whenever the player closes a stream it had open.
    virtual void streamClosed() = 0;
    // An owner whose markers are still being worked out while the stream plays (the vocal is
    // rendered ahead of the playhead) is asked before every buffer is filled from `tick` on:
    // it returns the tick before which its marker list is complete (markerCount() then
    // counts them), and the buffer's events stop there. kAllMarkers: the list is complete.
    // With `all` the owner completes its list at once (its end and hold may then change).
    static constexpr uint32_t kAllMarkers = 0xFFFFFFFFu;
    virtual uint32_t markersKnownTo(uint32_t tick, bool all) {
        (void)tick;
        (void)all;
        return kAllMarkers;
    }
};

class MidiStreamPlayer : public LastError {
public:
    static constexpr uint32_t kBufferSize = 0xFC00;
    static constexpr uint32_t kMarkerWord = 0x42100000;  // no-op, callback, bit 20
    static constexpr uint32_t kMarkerBit = 0x00100000;

    enum class PlayState { Stopped = 0, Playing = 1, Paused = 2 };
    enum class FillResult { MoreToCome, EndReached, Failed };

    MidiStreamPlayer(const MidiFile& file, MidiStream& stream);
    ~MidiStreamPlayer();
    MidiStreamPlayer(const MidiStreamPlayer&) = delete;
    MidiStreamPlayer& operator=(const MidiStreamPlayer&) = delete;

    // Opens a stream with `owner` receiving its notifications and starts sending. Succeeds
    // doing nothing when no file is loaded.
    // Keeps the stream going after the MIDI data ends, up to this tick (0: not at all), with
    // the markers still due: the owner's sound may last longer than the MIDI file.
    void setHoldTo(uint32_t tick) { holdTo_ = tick; }
    // Moves the end of the play while it plays (before the conversion has reached it).
    void setEnd(uint32_t tick) { end_ = tick; }
    bool play(MidiStreamOwner& owner, uint32_t start, uint32_t end);
    // For every buffer-done notification. Succeeds also when the song has ended (the stream
    // is then stopped and closed).
    bool bufferDone(const MidiHeader* header);
    // Stops and closes the stream; fails if any platform call failed, but always ends closed.
    bool stop();
    bool pauseOrRestart();
    // Ticks since the start of this play (the owner adds the start tick).
    bool position(uint32_t& ticks);

    PlayState playState() const { return playState_; }
    bool streamOpen() const { return streamOpen_; }

    // The marker index carried by a marker notification's event, or -1 when the event is no
    // owner marker (or the notification belongs to neither buffer).
    long markerIndex(const Notification& n) const;

    // The conversion alone, without a stream: resets as Play does, then each fill converts
    // the next part of the song into buffer i.
    void beginConversion(const MidiStreamOwner* owner, uint32_t start, uint32_t end);
    FillResult fill(int i);
    const MidiHeader& header(int i) const { return headers_[static_cast<std::size_t>(i)]; }
    const uint8_t* bufferData(int i) const { return buffers_[static_cast<std::size_t>(i)].data(); }
    int endState() const { return endState_; }

private:
    enum class SendResult { Sent, NothingLeft, Failed };
    SendResult send(int i);
    // Fills buffer i and queues it.
    SendResult refill(int i);
    // Asks a playing owner how far its markers are known (see markersKnownTo).
    void refreshMarkers(bool all);
    bool platformFail(int code);

    const MidiFile& file_;
    MidiStream& stream_;
    const MidiStreamOwner* owner_ = nullptr;
    MidiStreamOwner* closeHook_ = nullptr;

    uint32_t markerIndex_ = 0;
    std::size_t markerCount_ = 0;
    uint32_t start_ = 0;
    uint32_t end_ = 0;
    uint32_t currentTick_ = 0;
    uint32_t nextMarkerTick_ = 0xFFFFFFFFu;
    uint32_t pendingAdjust_ = 0;
    uint8_t runningStatus_ = 0;
    uint16_t runningLength_ = 0;
    int endState_ = 0;
    bool started_ = false;
    // The MIDI data has ended before holdTo_: what remains is markers and waiting.
    bool tail_ = false;
    uint32_t holdTo_ = 0;
    uint32_t limit_ = MidiStreamOwner::kAllMarkers;  // this buffer stops before it
    bool markersPending_ = false;
    std::array<bool, 2> queued_{};  // the buffer is in the stream's queue                      // the owner is asked before each fill
    bool streamOpen_ = false;
    PlayState playState_ = PlayState::Stopped;
    std::size_t readPos_ = 0;

    std::array<std::vector<uint8_t>, 2> buffers_;
    std::array<MidiHeader, 2> headers_;
    std::array<std::array<uint8_t, 3>, 80> chase_{};
    bool chasePending_ = false;
};

}  // namespace kantor
