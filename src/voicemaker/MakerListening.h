#pragma once
// What the maker plays to let the user hear items: listening to selected items of the
// project and the preview of one item in its properties. An item's segment is cut and
// levelled as the build does, optionally passed through the output rate and back, sung
// at a note by the syllable shifter with the markers as byte offsets from A, and faded at
// its end. The notes of a performance are mixed into one block that starts on a marker of
// the accompaniment stream; each note's consonant sounds ahead of its note, and the whole
// block is moved by the MIDI delay correction.
//
// Time base: 480 ticks a beat at 120 beats a minute (960 ticks a second).
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "audio/WaveOutDevice.h"
#include "base/LastError.h"
#include "midi/PatternPlayer.h"
#include "platform/Notification.h"
#include "sound/SoundBuffer.h"
#include "voicemaker/VoiceItem.h"

namespace kantor {

class NotificationQueue;

inline constexpr uint32_t kBeatTicks = 480;
inline constexpr uint32_t kFirstNoteTick = 4 * kBeatTicks;  // the first note, four beats in
inline constexpr uint32_t kPerformanceMarker = 1002;

// Preview choices.
enum class Transpose { None, Upstairs, Downstairs };
inline constexpr std::array<const char*, 3> kTransposeNames = {"None", "Upstairs", "Downstairs"};
// The semitone step of note k (k counts from 0; the tables repeat after eight notes).
int transposeStep(Transpose t, int k);
inline constexpr std::array<int, 5> kPreviewTimes = {1, 2, 3, 4, 8};
struct LengthChoice {
    const char* name;
    uint32_t ms;
    uint32_t spacingBeats;  // listening only: beats from one note to the next
};
inline constexpr std::array<LengthChoice, 7> kPreviewLengths = {{{"1/4 beat (125ms)", 125, 0},
                                                                 {"1/2 beat (250ms)", 250, 0},
                                                                 {"1 beat (500ms)", 500, 0},
                                                                 {"2 beat (1000ms)", 1000, 0},
                                                                 {"3 beat (1500ms)", 1500, 0},
                                                                 {"4 beat (2sec)", 2000, 0},
                                                                 {"8 beat (4sec)", 4000, 0}}};
inline constexpr std::array<LengthChoice, 3> kListenLengths = {
    {{"1 beat (500ms)", 500, 4}, {"2 beat (1000ms)", 1000, 4}, {"4 beat (2sec)", 2000, 6}}};
inline constexpr int kDefaultListenLength = 1;
inline constexpr int kDefaultPreviewLength = 2;
// The preview's drum choices: "Bass Drum1", "Bass Drum2", "Rim Shot" (notes 35, 36, 37).
inline constexpr std::array<const char*, 3> kPreviewDrumNames = {"Bass Drum1", "Bass Drum2", "Rim Shot"};

// One sung note of a performance.
struct PerformedNote {
    uint32_t noteTick = 0;   // where the note proper starts
    uint8_t note = 60;       // the pitch sung (and played by the guide instrument)
    uint32_t durationMs = 0;
    uint32_t blockOffset = 0;  // byte offset of the note's rendered sound in the block
    uint32_t leadInBytes = 0;  // the consonant before the note
};

struct Performance {
    SoundBuffer block;           // every note mixed, 16-bit mono 44,100 Hz
    uint32_t waveStartTick = 0;  // the block starts on this tick
    std::vector<PerformedNote> notes;
    // The accompaniment's items (one per note; the first carries the block's start).
    std::vector<AccompanimentItem> accompaniment() const;
};

class MakerSound : public LastError {
public:
    // The item's segment as the build cuts and levels it; when outputRate is not 44,100 Hz
    // it goes to that rate and back, so that the output rate's quality is heard.
    bool segment(const VoiceItem& item, uint32_t outputRate, SoundBuffer& out);
    // One note from a segment: sung at `note` (the item was sung at its pitch number) for
    // `ms` milliseconds after its consonant, then faded at its end.
    bool renderNote(const SoundBuffer& segment, const VoiceItem& item, int note, uint32_t tuning, uint32_t ms,
                    SoundBuffer& out, uint32_t& leadInBytes);

    // Listening: every item that has a code, a notation, wave data and properties becomes
    // one note at its own pitch, `lengthChoice` of kListenLengths.
    bool listening(const std::vector<const VoiceItem*>& items, uint32_t tuning, uint32_t outputRate, int lengthChoice,
                   int32_t correctionMs, Performance& out);
    // Preview: `times` notes of one item transposed by the table, each of the length
    // choice of kPreviewLengths, one after another. Fails with "ﾏｰｶｰの位置が正しくありません。"
    // when a marker lies beyond the data.
    bool preview(const VoiceItem& item, uint32_t tuning, int times, Transpose transpose, int lengthChoice,
                 int32_t correctionMs, Performance& out);

private:
    struct Sung {
        SoundBuffer sound;
        uint32_t noteTick;
        uint8_t note;
        uint32_t ms;
        uint32_t leadIn;
    };
    bool assemble(std::vector<Sung>& sung, int32_t correctionMs, Performance& out);
};

// Where a note's sound starts, in milliseconds from the stream's start.
double noteSoundStartMs(uint32_t noteTick, int32_t correctionMs, uint32_t leadInBytes);

// Plays a performance: the accompaniment through the pattern player (drum -1 none, else
// 0..2; program -1 none, else the guide instrument) and the block through the wave output
// from the first performance marker, on the marker's own sample. The owner of the window
// routes nothing: this object is the devices' notification target.
class PerformancePlayer : public NotificationTarget, public LastError {
public:
    PerformancePlayer(MidiStream& stream, WaveOut& waveOut, NotificationQueue* queue = nullptr);
    ~PerformancePlayer() override;

    bool play(Performance performance, int drum, int program);
    void stop();
    // True from play() until the stream has closed and the block has played.
    bool isPlaying() const { return player_.isPlaying() || wave_.isOpen(); }
    // An error met while playing (shown by the window, then cleared).
    std::string takeError();

    void onNotification(const Notification& n) override;

private:
    PatternPlayer player_;
    WaveOutDevice wave_;
    NotificationQueue* queue_;
    Performance performance_;
    bool started_ = false;
    std::string pendingError_;
};

}  // namespace kantor
