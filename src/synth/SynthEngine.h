#pragma once
// The synthesis engine: renders the phrases of a song's vocal tracks into PCM blocks and
// keeps them, stamped with their song positions, in eighteen lists (the 16 MIDI channels,
// then the left and right channels of inserted waves).
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "base/LastError.h"
#include "song/Expression.h"
#include "song/VoiceSettings.h"
#include "song/VoxEvent.h"
#include "sound/SoundEntry.h"

namespace kantor {

class TempoMap;
class VoiceBank;
struct Voice;
struct VoiceSample;

// How a syllable's pitch is changed from its sample's pitch to the note's. Resample is the
// synthesis as designed: the sample is read faster or slower, so its formants move with
// the pitch. KeepFormants moves grains cut around the sample's pitch marks closer together
// or further apart (pitch-synchronous overlap-add, FormantShifter.h), so the spectral
// envelope stays; the marks are found the first time a sample is sung so (PitchMarks.h) and
// kept with it. Samples without voiced sound, and voices that are not 16-bit, are resampled.
enum class PitchMode { Resample, KeepFormants };

// One sung syllable of a phrase.
struct SynthNote {
    std::string code;        // syllable code, trailing blanks removed
    uint32_t frequency = 0;  // target, thousandths of a hertz
    uint32_t lengthMs = 0;
    uint32_t pitch = 0;      // the note's key, which chooses the sample
    uint16_t volume = 100;   // percent
    uint16_t noteParam = 0;
    uint16_t eventIndex = 0; // the note's place among the notes taken for the phrase
    uint32_t startTick = 0;
    uint32_t endTick = 0;
    uint32_t startMs = 0;    // from the song start
    // How the syllable moves (song/Expression.h). The synthesis only samples it; a flat
    // curve sings exactly as without expression.
    ExpressionCurve curve;
};

struct PhraseRequest {
    uint32_t startTick = 0;
    uint32_t lengthMs = 0;
    uint32_t startMs = 0;
    uint16_t positionValue = 20;
    uint16_t volume = 100;
    int channel = 0;  // 1..16; 0 renders nothing
    int phraseGroup = 0;
    int32_t shift = 0;  // timing offset in milliseconds, negative = earlier
    VoiceSettings settings;
    // The channel's notes sung just before and just after the phrase (the neighbouring
    // phrases' last and first syllables), code empty when there are none. A voice with
    // context samples joins across the phrase's ends with them: the first syllable is
    // chosen by the sound before it and its lead-in is sung at the note before's pitch;
    // the last one fades where the next phrase's lead-in comes in. Plain voices ignore them.
    SynthNote before;
    SynthNote after;
};

// The effect stage that processes each rendered phrase. With none, phrases stay as rendered.
class PhraseEffects {
public:
    virtual ~PhraseEffects() = default;
    // Loads the effects anew; the engine calls it whenever it starts a render.
    virtual void loadAll() {}
    // Releases them; the engine calls it when it releases its rendered data after a failure
    // and when it is destroyed.
    virtual void unloadAll() {}
    // Runs the phrase through the three effect references in order. False only when memory
    // runs out (the phrase then fails).
    virtual bool apply(const std::array<int32_t, 3>& effects, SoundBuffer& phrase, uint32_t rate) = 0;
};

class SynthEngine : public LastError {
public:
    static constexpr int kLists = 18;
    static constexpr int kWaveLeftList = 16;   // list 17: inserted waves, mono or left
    static constexpr int kWaveRightList = 17;  // list 18: right channels of stereo waves

    SynthEngine(VoiceBank& voices, const TempoMap& tempoMap);
    ~SynthEngine();
    SynthEngine(const SynthEngine&) = delete;
    SynthEngine& operator=(const SynthEngine&) = delete;

    // Starts a render: sets the output format from a sample format code (forced to mono),
    // frees every list, loads the effects anew and marks the engine active.
    bool start(uint16_t qualityCode);
    // Starts a render in the output format of `other`, without effects (a worker's engine).
    void startLike(const SynthEngine& other);
    // The effect stage (nullptr: none). It must outlive the engine or be detached first.
    void setEffects(PhraseEffects* effects) { effects_ = effects; }
    PhraseEffects* effects() const { return effects_; }
    // The MIDI–wave delay correction in milliseconds (0 when MIDI and wave share one clock).
    void setMidiDelayCorrection(int32_t ms) { delayCorrection_ = ms; }
    int32_t midiDelayCorrection() const { return delayCorrection_; }

    // How pitch is changed (Resample unless set).
    void setPitchMode(PitchMode mode) { pitchMode_ = mode; }
    PitchMode pitchMode() const { return pitchMode_; }
    // How notes without expression settings of their own sing (Off unless set): the song
    // renderer gives each note its curves by it.
    void setExpressionMode(ExpressionMode mode) { expressionMode_ = mode; }
    ExpressionMode expressionMode() const { return expressionMode_; }

    uint32_t outputFormat() const { return outPacked_; }
    uint32_t outputRate() const { return outRate_; }
    bool active() const { return active_; }

    // The synthesis notes of a phrase's notes: each note's length split among its slots by
    // their weights; notes whose weights are all 0 are left out.
    bool buildNoteList(const std::vector<const VoxEvent*>& notes, const VoiceSettings& settings,
                       std::vector<SynthNote>& out);
    // Renders one phrase and files it in its channel's list.
    bool renderPhrase(const PhraseRequest& request, const std::vector<SynthNote>& notes);
    // After all phrases of a channel: phrases of different groups that sound together are
    // mixed into one entry.
    bool mixChannel(int channel);

    std::array<std::vector<SoundEntry>, kLists>& lists() { return lists_; }
    void freeLists();
    // Releases all rendered data after a failure: the lists and the loaded effects.
    void releaseAll();

    // Song-wide earliest start tick and latest end tick of everything rendered.
    uint32_t earliestTick() const { return earliestTick_; }
    uint32_t latestTick() const { return latestTick_; }
    void setTickRange(uint32_t earliest, uint32_t latest) {
        earliestTick_ = earliest;
        latestTick_ = latest;
    }

    const TempoMap& tempoMap() const { return tempoMap_; }
    VoiceBank& voices() { return voices_; }

private:
    bool failAndFree(std::string_view text);
    // Renders one syllable into a rendered note (44100 Hz internally, output format after).
    bool renderSyllable(const Voice& voice, const SynthNote& note, std::vector<SoundEntry>& rendered);
    // The same into one entry (left without data when nothing sounds), sung extraMs longer
    // than the note.
    bool renderSyllableEntry(const Voice& voice, const SynthNote& note, uint32_t extraMs, SoundEntry& entry);
    // The same with the sample given; `leadSamples` receives the lead-in's length in
    // samples at the output rate.
    bool renderSampleEntry(const Voice& voice, const VoiceSample& sample, const SynthNote& note, uint32_t extraMs,
                           SoundEntry& entry, int64_t* leadSamples = nullptr);
    // The syllables of a phrase sung by a voice with context samples (ContextJoin.cpp):
    // each sample is chosen by the sound before it, and touching syllables are joined by
    // crossfades over the bank's overlap, the incoming lead-in at the outgoing pitch.
    bool renderContextNotes(const Voice& voice, const PhraseRequest& request, const std::vector<SynthNote>& notes,
                            std::vector<SoundEntry>& rendered);

    VoiceBank& voices_;
    const TempoMap& tempoMap_;
    PhraseEffects* effects_ = nullptr;
    std::array<std::vector<SoundEntry>, kLists> lists_;
    std::array<std::vector<int>, kLists> groups_;  // phrase group of each entry
    uint32_t outPacked_ = 0;
    uint32_t outRate_ = 44100;
    int32_t delayCorrection_ = 0;
    uint32_t earliestTick_ = 0xFFFFFFFF;
    uint32_t latestTick_ = 0;
    bool active_ = false;
    PitchMode pitchMode_ = PitchMode::Resample;
    ExpressionMode expressionMode_ = ExpressionMode::Off;
};

}  // namespace kantor
