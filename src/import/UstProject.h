#pragma once
// Songs kept as projects of other singing editors, read into what a song is made of: a
// Standard MIDI File (a conductor track with the tempos, then one track a project track) and
// the lyrics of every track on its notes.
//
// Two forms:
// - .ust: an ini-like text, usually cp932 (UTF-8 when it says "Charset=UTF-8" or is valid
//   UTF-8 throughout): [#VERSION], [#SETTING] with Tempo, then one section a note, [#0000],
//   [#0001], …, with Length (ticks at 480 a quarter), Lyric, NoteNum and, where the tempo
//   changes, Tempo; a lyric "R" (or none) is a rest. One track.
// - .ustx: YAML with a resolution, a tempo list (or one bpm), time signatures, tracks and
//   voice parts (a track number, a position, and notes with position, duration, tone and
//   lyric).
//
// Lyrics are reduced to the syllables of the table: the sound before a VCV lyric goes ("a か"
// and "- さ" sing か and さ), as do marks after the kana ("か↑", "かA4"); romaji is taken as
// typed; "+", "-" and "ー" on a note of their own hold the syllable before. What the song
// cannot carry (pitch bends, vibratos, flags, envelopes, expressions) is counted.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "song/LyricsImport.h"

namespace kantor {

struct ProjectNote {
    uint32_t start = 0, length = 0;  // ticks
    int key = 60;                    // MIDI note number, C4 = 60
    std::string lyric;               // UTF-8, as written
    std::string where;               // for messages: the note's section or place in the file
};

struct ProjectTrack {
    std::string name;
    std::vector<ProjectNote> notes;  // in time order
};

struct SingingProject {
    uint16_t resolution = 480;  // ticks a quarter note
    std::vector<std::pair<uint32_t, double>> tempos;                // tick, beats a minute
    std::vector<std::pair<uint32_t, std::pair<int, int>>> meters;  // tick, (beats, beat unit)
    std::vector<ProjectTrack> tracks;
    std::map<std::string, std::size_t> notCarried;  // what (English) -> how many
};

// The limits of a project read here: beyond them the file is refused.
inline constexpr std::size_t kMaxProjectBytes = std::size_t(32) << 20;
inline constexpr std::size_t kMaxProjectNotes = 200000;
inline constexpr int kMaxProjectTracks = 15;  // the MIDI channels but the drums'

// The text of a .ust (as stored) read. False with `error` (the section and what is wrong).
bool readUst(const std::string& bytes, SingingProject& out, std::string& error);
// The text of a .ustx read. False with `error`.
bool readUstx(const std::string& text, SingingProject& out, std::string& error);

// A project lyric reduced to what the syllable table can sing ("a か" → "か", "か↑" → "か");
// "" for a rest or a breath.
std::string projectLyric(const std::string& lyric);

struct ProjectTrackSong {
    std::string name;
    int channel = 0;          // 0-based
    std::size_t notes = 0;
    std::vector<NoteLyric> lyrics;  // on the channel's notes
};

struct ProjectSong {
    static constexpr uint16_t kDivision = 480;
    std::vector<uint8_t> smf;
    std::vector<ProjectTrackSong> tracks;  // the tracks with notes, in the project's order
    std::size_t tempos = 0;
    std::string notCarried;  // "pitch bends on 12 notes, flags on 3 notes", or ""
};

// Makes the MIDI file and the lyrics. `track` (1-based) sings alone; 0 = every track with
// notes. False with `error` listing every lyric that is no syllable, or naming what is wrong.
bool projectSong(const SingingProject& project, int track, ProjectSong& out, std::string& error);

// True for a path the readers here take (.ust, .ustx, any case).
bool isSingingProjectPath(const std::string& path);

// Reads the file at `path` (by its extension) and makes the song's parts. `error` names the
// file.
bool importSingingProject(const std::string& path, int track, ProjectSong& out, std::string& error);

}  // namespace kantor
