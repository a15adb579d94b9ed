#pragma once
// The song: vocal events over the 16 MIDI channels with their phrase, syllable and note
// settings, the song and channel defaults, lyric lines, inserted waves, title
// information and channel flags. Settings whose own flag is clear are inherited
// phrase -> channel -> song.
//
// Lists are ordered arrays of owning pointers in which a slot may be empty; every walk
// skips empty slots. Indexes stored in records are 1-based (0 = none) and may name no
// record (an empty slot or past the end): the lookups below return null for those.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/LastError.h"
#include "song/ChannelFlags.h"
#include "song/LyricLine.h"
#include "song/SettingsRecords.h"
#include "song/TitleInfo.h"
#include "song/VoiceSettings.h"
#include "song/VoxEvent.h"
#include "song/WaveInsert.h"

namespace kantor {

// A record list of a channel is full: its indexes are 16 bits wide.
inline constexpr const char* kListFull = "the channel's list already holds 65,535 entries, the most a song can store";

template <typename T>
using SlotList = std::vector<std::unique_ptr<T>>;

// The four lists of one channel.
struct VoxChannel {
    SlotList<VoxEvent> events;           // one per MIDI note, in MIDI order
    SlotList<VoiceSettings> phrases;     // phrase settings (104-byte form), order of creation
    SlotList<SyllableSettings> syllableSettings;
    SlotList<NoteSettings> noteSettings;

    void clear();
    bool empty() const;
};

// The span of the phrase a note belongs to (phrase of a note).
struct PhraseSpan {
    std::size_t head = 0;      // index of the phrase head in the channel's event list
    uint16_t phraseGroup = 0;  // the group followed
    uint32_t startTick = 0;    // least start tick over the phrase's events
    uint32_t endTick = 0;      // greatest end tick over the phrase's events
    // Greatest end tick over the events up to the given note and the later events with a
    // syllable: the end used when the phrase is auditioned.
    uint32_t auditionEndTick = 0;
};

class Song : public LastError {
public:
    static constexpr int kChannels = 16;
    static constexpr uint16_t kPhraseGroups = 6;

    // An empty song with the new-song defaults.
    Song();
    Song(const Song&) = delete;
    Song& operator=(const Song&) = delete;

    // Empties every list, resets the title information and channel flags to the new-song
    // values, sets the stored time base and the reserved values to 0 and empties both paths.
    // The defaults are left as they are (see resetDefaults).
    void clear();
    // Song defaults to the new-song values ("MaleVox", 440 Hz, ...), channel defaults all zero.
    void resetDefaults();

    // Records and lists.
    VoiceSettings& songDefaults() { return songDefaults_; }
    const VoiceSettings& songDefaults() const { return songDefaults_; }
    VoiceSettings& channelDefaults(int c) { return channelDefaults_[idx(c)]; }
    const VoiceSettings& channelDefaults(int c) const { return channelDefaults_[idx(c)]; }
    VoxChannel& channel(int c) { return channels_[idx(c)]; }
    const VoxChannel& channel(int c) const { return channels_[idx(c)]; }
    SlotList<LyricLine>& lyricLines() { return lyricLines_; }
    const SlotList<LyricLine>& lyricLines() const { return lyricLines_; }
    SlotList<WaveInsert>& waveInserts() { return waveInserts_; }
    const SlotList<WaveInsert>& waveInserts() const { return waveInserts_; }
    TitleInfo& titleInfo() { return titleInfo_; }
    const TitleInfo& titleInfo() const { return titleInfo_; }
    ChannelFlags& channelFlags() { return channelFlags_; }
    const ChannelFlags& channelFlags() const { return channelFlags_; }

    // Paths: the song file, and the MIDI file (the song file's folder plus the stored name).
    const std::string& songPath() const { return songPath_; }
    void setSongPath(std::string p) { songPath_ = std::move(p); }
    const std::string& midiPath() const { return midiPath_; }
    void setMidiPath(std::string p) { midiPath_ = std::move(p); }
    // The MIDI file name as the song file stores it (without folder).
    const std::string& storedMidiName() const { return storedMidiName_; }
    void setStoredMidiName(std::string n) { storedMidiName_ = std::move(n); }

    // Ticks per quarter note the positions were written in at the last save; 0 in a new song.
    uint16_t storedDivision() const { return storedDivision_; }
    void setStoredDivision(uint16_t d) { storedDivision_ = d; }
    // Three values carried through load and save unchanged.
    uint32_t reserved1 = 0;
    uint32_t reserved2 = 0;
    uint16_t reserved3 = 0;

    bool modified() const { return modified_; }
    void setModified(bool m) { modified_ = m; }

    // A channel is a Vox channel when its event list holds events.
    bool isVoxChannel(int c) const;

    // Lookups by 1-based index; null when the index names no record.
    const VoiceSettings* phraseSettings(int c, uint16_t index) const;
    VoiceSettings* phraseSettings(int c, uint16_t index);
    const SyllableSettings* syllableSettings(int c, uint16_t index) const;
    const NoteSettings* noteSettings(int c, uint16_t index) const;
    // The event at a list index; null for an empty slot or an index past the end.
    const VoxEvent* event(int c, std::size_t index) const;
    VoxEvent* event(int c, std::size_t index);

    // Appends an all-zero record and returns its 1-based index; 0 with
    // "メモリが不足しています。" when no memory is left.
    uint16_t newSyllableSettings(int c);
    uint16_t newNoteSettings(int c);

    // The channel's settings completed from the song defaults.
    VoiceSettings resolveChannelSettings(int c) const;
    // A phrase record completed from the resolved channel settings: what synthesis sings
    // with and what the phrase window shows.
    VoiceSettings resolvePhraseSettings(int c, const VoiceSettings& phrase) const;
    // The same for the phrase record named by a 1-based index; an index naming no record
    // resolves like an all-zero phrase record (every field inherited).
    VoiceSettings resolvePhraseSettings(int c, uint16_t phraseIndex) const;

    // Makes the event a phrase head: a new phrase record holding the currently inherited
    // values (own flags all clear). Does nothing when the event already is a head.
    bool makePhraseHead(int c, std::size_t event);
    // Frees the event's phrase record (its slot stays, empty) and clears its phraseIndex.
    void removePhraseHead(int c, std::size_t event);

    // Phrase of a note: the head and span of the phrase event d belongs to (the nearest
    // earlier head of its phrase group, d included). False when there is no head.
    bool phraseOfNote(int c, std::size_t d, PhraseSpan& out) const;

    // Channel in use: clears the length of every blank-coded slot of each event up to the
    // first event that has a syllable, and reports whether there is one.
    bool channelInUse(int c);

    // Lyric lines and inserted waves stay in ascending position, one per position. These
    // insert or, at an occupied position, replace (the caller has asked the user). They
    // return false with "メモリが不足しています。" when no memory is left.
    bool putLyricLine(uint32_t position, const std::string& text);
    bool putWaveInsert(const WaveInsert& wave);

    // The voices the song names, in loading order: the song defaults' voice, each channel
    // default with its own voice, each phrase record with its own voice (channel by channel,
    // list order); names with trailing blanks removed, empty names left out, and a name equal
    // to the one just before it left out.
    std::vector<std::string> voiceNamesToLoad() const;

    // Sets the last error text (for the operations of the song file and Vox tracks).
    bool setError(std::string_view text) { return fail(text); }
    void clearLastError() { clearError(); }

private:
    static std::size_t idx(int c) { return static_cast<std::size_t>(c) & 15u; }

    std::array<VoxChannel, kChannels> channels_;
    VoiceSettings songDefaults_;
    std::array<VoiceSettings, kChannels> channelDefaults_{};
    SlotList<LyricLine> lyricLines_;
    SlotList<WaveInsert> waveInserts_;
    TitleInfo titleInfo_;
    ChannelFlags channelFlags_;
    std::string songPath_;
    std::string midiPath_;
    std::string storedMidiName_;
    uint16_t storedDivision_ = 0;
    bool modified_ = false;
};

}  // namespace kantor
