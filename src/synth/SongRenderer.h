#pragma once
// Renders a whole song (or a range, or a selection of notes) before it is played or
// exported: every phrase of every sung channel, the inserted waves, and the final mix
// into playback pieces, written to a WAV file when a path is given.
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/LastError.h"
#include "sound/SoundBuffer.h"
#include "sound/SoundEntry.h"
#include "synth/SynthEngine.h"

namespace kantor {

class Song;
class SynthEngine;
struct PhraseRequest;
struct SynthNote;
class TempoMap;
struct VoxEvent;

struct RenderRequest {
    uint32_t startTick = 0;
    uint32_t endTick = 0xFFFFFFFF;  // notes starting at or after it are left out
    bool includeWaves = false;
    std::string outputPath;  // empty: playback only
    uint16_t qualityCode = 8;
    // Channels whose vocal playback silences (muted, or another channel soloed).
    std::array<bool, 16> voxMuted{};
    // Phrase groups switched off for the whole song.
    std::array<bool, 6> groupOff{};
};

// A piece for playback: its sound (in the output format) and the tick at which it starts.
// A long stretch of overlapping sound comes in several pieces: the first starts at its tick,
// each of the others (`follows`) carries on from the end of the piece before it.
struct PlaybackPiece {
    SoundBuffer data;
    uint32_t startTick = 0;
    uint32_t startMs = 0;
    uint32_t durationMs = 0;
    bool follows = false;
};

// One phrase of a song render, ready to be synthesised without the song: its request and
// notes, copied when the render is planned, so that the song may be edited meanwhile.
struct PhraseJob {
    PhraseRequest request;
    std::vector<SynthNote> notes;
    int channel = 0;       // 0-based
    std::size_t seq = 0;   // its place among the channel's phrases, in render order
};

// A song render laid out before any phrase is synthesised (renderSong's steps, in pieces):
// the engine has been started (format set, effects loaded), the voices are loaded, the
// inserted waves are read and mixed, and every phrase to render is a job.
struct RenderPlan {
    std::vector<PhraseJob> jobs;  // channel by channel, in the channel's render order
    // Channels whose phrases of different groups are mixed together (the per-channel mix).
    std::array<bool, 16> mixedChannel{};
    // The inserted waves, mono or left (list 17) and right (list 18), already mixed.
    std::vector<SoundEntry> waveLeft, waveRight;
};

// The render of an export that has no sound at all (nothing is written).
inline constexpr const char* kNothingToSing = "the song has nothing to sing in this range: no file was written";

// Progress: phrases done out of the total.
using RenderProgress = std::function<void(int done, int total)>;

class SongRenderer : public LastError {
public:
    SongRenderer(const Song& song, SynthEngine& engine);

    // The effective vocal mutes of the song's own mute and solo flags.
    static std::array<bool, 16> voxMutesOf(const Song& song);

    bool renderSong(const RenderRequest& request, std::vector<PlaybackPiece>& playback,
                    const RenderProgress& progress = {});
    // Everything renderSong does before the first phrase is synthesised; the phrases are left
    // to the caller (RenderAhead renders them while the song plays). The engine must then
    // be used for nothing else until they are rendered.
    bool planSong(const RenderRequest& request, RenderPlan& plan);
    // Renders the song into the WAV file request.outputPath, giving the same file as
    // renderSong, with memory that does not depend on the song: each phrase goes to an
    // unnamed spool file as soon as it is rendered, and the final mix reads the phrases back
    // as a window moving along the song reaches them (WindowMixer). Only a channel whose
    // phrase groups sound together is first mixed one group of overlapping sounds at a time.
    // Inserted waves are left out (request.includeWaves must be false).
    bool renderSongToFile(const RenderRequest& request, const RenderProgress& progress = {});
    // How much rendered sound an export keeps in memory before it spools (8 MB).
    static void setSpoolMemoryForTesting(uint64_t bytes);
    // Renders an explicit list of one channel's notes (the first must be a phrase head) as
    // one phrase and mixes it down without a file.
    bool renderSelection(int channel, const std::vector<const VoxEvent*>& notes, uint32_t rangeStart,
                         uint32_t rangeEnd, uint16_t qualityCode, std::vector<PlaybackPiece>& playback);
    // Renders the phrase of note `event` of channel `channel` (0-based) and writes it alone
    // to a WAV file. `info` receives the "Wave Info." text.
    bool exportPhrase(int channel, std::size_t event, uint16_t qualityCode, const std::string& path,
                      std::string& info);

    // The phrases renderSong would render (for progress).
    int countPhrases(const RenderRequest& request) const;

private:
    struct Phrase {
        int channel;  // 0-based
        std::size_t head;
        std::vector<const VoxEvent*> notes;
    };
    std::vector<Phrase> phrasesOf(int channel, const RenderRequest& request) const;
    PhraseRequest phraseRequest(int channel, const VoxEvent& head, const std::vector<const VoxEvent*>& notes,
                                uint32_t rangeStart, uint32_t rangeEnd) const;
    // The jobs of a channel's phrases, for the worker pool; false when a voice cannot be read.
    bool layOutJobs(int channel, const std::vector<Phrase>& phrases, const RenderRequest& request,
                    std::vector<PhraseJob>& jobs);
    bool renderPhraseNotes(int channel, const VoxEvent& head, const std::vector<const VoxEvent*>& notes,
                           uint32_t rangeStart, uint32_t rangeEnd);
    void addExpression(int channel, const std::vector<const VoxEvent*>& notes, std::vector<SynthNote>& synthNotes) const;
    bool addInsertedWaves();
    bool finalMixdown(const std::string& path, std::vector<PlaybackPiece>& playback);
    bool failAndFree(std::string_view text);

    const Song& song_;
    SynthEngine& engine_;
};

// The text of the "Wave Info." box for a written file: its size, format, length, and the
// song position where its sound begins. Empty when the file cannot be read back.
std::string waveInfoText(const std::string& path, const TempoMap& map, uint32_t earliestTick);

}  // namespace kantor
