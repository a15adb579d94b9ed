#pragma once
// The transport: plays a song's MIDI file through the MIDI stream player and, in step with
// it, the rendered vocal phrases on a wave output device. Markers planted in the MIDI stream
// (each phrase's start tick, each lyric line, a sixteenth-note grid) start the phrase waves
// and move the song position; no other clock is consulted while playing.
//
// Everything runs on the owner's thread: the owner pumps the notification queue to which the
// MIDI stream and the wave device post, and every notification reaches onNotification().
// Errors are shown through the UserPrompt, titled "Error", as they happen (also those of the
// notifications); the play operations also return false with the text kept.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "audio/MarkerList.h"
#include "audio/WaveOutDevice.h"
#include "base/LastError.h"
#include "base/Translation.h"
#include "midi/MidiStreamPlayer.h"
#include "song/LyricLine.h"
#include "synth/RenderAhead.h"
#include "synth/SongRenderer.h"

namespace kantor {

class NotificationQueue;

class MidiFile;
class Song;
class SynthEngine;
class TempoMap;
class UserPrompt;
struct LyricLine;
struct VoxEvent;

// The codes of a position notification.
enum class PositionCode : int {
    Position = 0,        // pause, stop, end of play; to the channel list also at every marker
    PositionSet = 50,    // the position was set from the main panel
    LoopStart = 70,      // loop play starts (position 0)
    MarkerReached = 90,  // a marker was reached while playing (main panel only)
};

// The status line's text when a phrase's vocal came too late and was left out.
inline constexpr const char* kVocalLateText = KANTOR_TEXT("ボーカルの合成が間に合わなかったフレーズを飛ばしました。");

// Who a position notification is meant for.
enum class PositionReceiver { MainPanel, ChannelList };

// The windows that follow the transport.
class TransportListener {
public:
    virtual ~TransportListener() = default;
    // `line` is the lyric line of the marker reached (code 90), or null.
    virtual void positionNotify(PositionReceiver receiver, PositionCode code, uint32_t tick,
                                const LyricLine* line) = 0;
    // The start or stop position of "between" play changed.
    virtual void betweenChanged(uint32_t start, uint32_t stop) {
        (void)start;
        (void)stop;
    }
    // The vocal of a phrase was left out: it was not rendered by the time it was due (a slow
    // effect). Told once per play.
    virtual void vocalLate() {}
};

// What the inserted wave check found.
enum class InsertedWaves { None, Present, Cancel };

// A song is played while its vocal is rendered: playing starts once the first seconds are
// rendered (RenderAhead), the rest is rendered on a worker thread ahead of the playhead, and
// the markers of each stretch are made as its phrases come. A phrase's block is freed once
// it has played.
class Transport : public MidiStreamOwner, public LastError {
public:
    enum class State { Idle, Playing, Paused };
    // How much of the song is rendered before playing starts (what the first stream buffer
    // covers: the press of play waits for no more), how far the worker renders ahead of the
    // playhead, and the least a stream buffer covers (song milliseconds).
    static constexpr uint32_t kFirstRenderMs = 1000;
    static constexpr uint32_t kLookAheadMs = 30000;
    static constexpr uint32_t kLeastBufferMs = 1000;

    Transport(Song& song, const MidiFile& midi, const TempoMap& tempoMap, SynthEngine& engine, MidiStream& stream,
              WaveOut& waveOut, UserPrompt& prompt);
    ~Transport() override;
    Transport(const Transport&) = delete;
    Transport& operator=(const Transport&) = delete;

    void addListener(TransportListener* l);
    void removeListener(TransportListener* l);
    // The song's output sample format code for the render (the sound quality setting).
    void setQualityCode(uint16_t code) { qualityCode_ = code; }
    // The queue the devices post this transport's notifications to. A new play drops what
    // the previous stream left in it: a marker read from a buffer the new play has filled
    // again would start the wrong phrase.
    void setNotificationQueue(NotificationQueue* queue) { queue_ = queue; }
    void setProgress(RenderProgress progress) { progress_ = std::move(progress); }
    // On a virtual clock (a mixdown, tests) the stream waits for the vocal's render instead
    // of leaving a late phrase out: its time passes only as fast as the render allows.
    void setVocalWaits(bool waits) { vocalWaits_ = waits; }

    // After a MIDI file has been opened: position 0, between = [0, start of the last measure].
    void resetPositions();

    // The play commands. Each stops what is playing first; without a MIDI file they do
    // nothing. True when the play started or there was nothing to do (a cancelled inserted
    // wave question included): state() tells which.
    bool playFromTop();
    bool playFromLastPosition();
    bool playBetween();
    bool loopPlay();
    bool pauseOrRestart();
    bool stop();
    // Plays the MIDI alone for one note of a vocal channel (channel 1-16): that channel
    // soloed and only the note's number sounding.
    bool auditionNote(int channel, const VoxEvent& event);
    // Plays one phrase (channel 0-15, its events in list order, head first): the phrase
    // rendered alone, with the MIDI from its start rounded down to a quarter note up to its
    // end. False (shown) when the render or a device fails.
    bool playPhrase(int channel, const std::vector<const VoxEvent*>& notes, uint32_t start, uint32_t end);
    // Sings one note (channel 0-15; a copy of the note carrying its phrase's settings index)
    // from its start to its end, with the MIDI silent.
    bool singNote(int channel, const VoxEvent& note);

    // The receiver of every device notification.
    void onNotification(const Notification& n) override;

    // The position shown (code 50 to the channel list).
    void setCurrentPosition(uint32_t tick);
    void setBetween(uint32_t start, uint32_t stop);

    State state() const;
    bool looping() const { return loop_; }
    uint32_t currentPosition() const { return currentPosition_; }
    uint32_t lastPosition() const { return lastPosition_; }
    uint32_t startPosition() const { return startPosition_; }
    uint32_t stopPosition() const { return stopPosition_; }
    uint32_t playStart() const { return playStart_; }
    uint32_t playEnd() const { return playEnd_; }
    // The song position now: the stream's position counted from the actual play start, or
    // the current position when nothing plays.
    uint32_t songPosition();

    const std::vector<Marker>& markers() const { return markers_; }
    const std::vector<PlaybackPiece>& phrases() const { return phrases_; }
    const std::array<bool, 16>& effectiveMidiMutes() const { return midiMute_; }
    const std::array<bool, 16>& effectiveVoxMutes() const { return voxMute_; }
    // The lyric lines of the song in tick order, as the markers refer to them.
    const std::vector<const LyricLine*>& lyricLines() const { return lines_; }

    // The inserted wave check: asks (Yes/No, "Error") about the first file that is missing,
    // unreadable or in a format that cannot be mixed; Yes plays on without it.
    InsertedWaves checkInsertedWaves();

    // MidiStreamOwner.
    std::size_t markerCount() const override { return markers_.size(); }
    uint32_t markerTick(std::size_t index) const override { return markers_[index].tick; }
    bool midiMuted(int channel) const override { return midiMute_[static_cast<std::size_t>(channel & 15)]; }
    uint8_t noteFilter() const override { return noteFilter_; }
    void streamClosed() override;
    uint32_t markersKnownTo(uint32_t tick, bool all) override;

    MidiStreamPlayer& player() { return player_; }
    WaveOutDevice& waveOut() { return wave_; }

private:
    void dropStaleNotifications();
    // Gives the device the pieces that carry on the sound it plays, as they come.
    void feedFollowing();
    bool playRange(uint32_t start, uint32_t end);
    bool prepareSelection();
    bool startRendered();
    bool startAhead(const RenderAhead::Progress& first, bool vocal);
    void copyLines(std::vector<TickedItem>& lineTicks);
    // Takes what the worker has rendered; false when it failed (its text is shown once).
    RenderAhead::Progress pullAhead(RenderAhead::Progress p, std::vector<PlaybackPiece>& pieces);
    // Adds the markers that have become certain: all of them once `complete`, else those before
    // `settled`. Returns the tick before which the markers are known.
    uint32_t extendMarkers(bool complete, uint32_t settled, uint32_t latest);
    uint32_t ticksAfter(uint32_t tick, uint32_t ms) const;
    void computeEffectiveMutes();
    void freePerPlay();
    void notify(PositionReceiver receiver, PositionCode code, uint32_t tick, const LyricLine* line = nullptr);
    void notifyBoth(PositionCode code, uint32_t tick);
    bool showError(const std::string& text);
    void onMarker(const Notification& n);

    Song& song_;
    const MidiFile& midi_;
    const TempoMap& tempoMap_;
    SynthEngine& engine_;
    UserPrompt& prompt_;
    NotificationQueue* queue_ = nullptr;
    MidiStreamPlayer player_;
    WaveOutDevice wave_;
    SongRenderer renderer_;
    std::vector<TransportListener*> listeners_;
    RenderProgress progress_;
    uint16_t qualityCode_ = 8;

    uint32_t currentPosition_ = 0;
    uint32_t playOffset_ = 0;  // the actual play start once a play has started
    uint32_t startPosition_ = 0;
    uint32_t stopPosition_ = 0;
    uint32_t playStart_ = 0;
    uint32_t playEnd_ = 0;
    uint32_t lastPosition_ = 0;
    bool loop_ = false;
    bool endedByItself_ = false;  // the last stream closed at the song's end

    std::vector<Marker> markers_;
    std::vector<PlaybackPiece> phrases_;
    // The render ahead of the playhead, for the play from a range.
    std::unique_ptr<RenderAhead> ahead_;
    std::vector<TickedItem> lineTicks_;
    uint32_t requestedEnd_ = 0;   // the end asked for; the vocal may move it later
    uint32_t markersKnown_ = 0;   // markers_ holds every marker before this tick
    bool aheadDone_ = false;      // every piece is in phrases_ and every marker in markers_
    bool lateTold_ = false;
    bool vocalWaits_ = false;
    bool aheadErrorShown_ = false;
    std::size_t firstKept_ = 0;   // pieces before it have played and are freed
    bool following_ = false;      // the device plays a stretch whose later pieces follow it
    std::size_t fedTo_ = 0;       // the next piece to give the device after it
    std::vector<const LyricLine*> lines_;
    std::vector<LyricLine> lineCopies_;  // what lines_ points into, for the length of a play
    std::array<bool, 16> midiMute_{};
    std::array<bool, 16> voxMute_{};
    uint8_t noteFilter_ = 255;
};

}  // namespace kantor
