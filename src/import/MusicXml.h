#pragma once
// MusicXML scores (.musicxml, .xml, and the compressed .mxl) read into what a song is made
// of: a Standard MIDI File of format 1 (a conductor track with the tempo marks and time
// signatures, then one track a part) and the lyrics of one part on its notes.
//
// The mapping: the score is played as a reader would play it: repeats, first/second endings,
// D.C., D.S., To Coda and Fine are followed (marks that do not fit together are read as a
// musician would, each such reading a warning naming its measure); tied notes are one note;
// of a chord only the top note is in the sung part's channel (the others go to a channel of
// their own); grace notes take no time and are left out; a note without a lyric that
// follows a sung note (a slurred run, a tie, an extend line) sings the vowel of the syllable
// before it, as "ー" would; a rest begins a new phrase, and a note without a lyric after a
// rest sings nothing.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "song/LyricsImport.h"

namespace kantor {

struct MusicXmlOptions {
    int part = 0;         // 1-based; 0 = the first part with lyrics (of the verse), else part 1
    int verse = 0;        // the lyric number sung; 0 = the lowest number the part has
    bool repeats = true;  // false: the score once through as written
};

struct MusicXmlPart {
    std::string id, name;
    int channel = 0;              // 0-based MIDI channel of the part's notes
    std::size_t notes = 0;        // notes of the song (in playing order)
    std::size_t lyrics = 0;       // of those, notes with a lyric
    std::size_t scoreNotes = 0;   // notes written in the score (tied notes once)
    std::size_t scoreLyrics = 0;  // notes written with a lyric of any verse
    std::vector<int> verses;      // the lyric numbers the part has, ascending
};

struct MusicXmlSong {
    static constexpr uint16_t kDivision = 480;
    std::vector<uint8_t> smf;         // the Standard MIDI File
    std::vector<MusicXmlPart> parts;
    int sungPart = 0;                 // 0-based index into parts
    int verse = 0;                    // the lyric number sung; 0 when the part has no lyrics
    std::vector<NoteLyric> lyrics;    // on the notes of the sung part's channel
    std::size_t scoreMeasures = 0, songMeasures = 0;
    std::size_t melismaNotes = 0;     // notes without a lyric singing the vowel before them
    std::size_t silentNotes = 0;      // notes without a lyric after a rest (or before any)
    // Notes for the user, each one line: marks read as a musician would, measures never
    // played. Japanese texts of the core's catalog (translated() shows them).
    std::vector<std::string> warnings;
};

// Reads the score at `path` (by its extension: .mxl is a zip archive) and makes the MIDI
// file and the lyrics of the chosen part and verse. False with `error` naming the file and,
// where it can, the part and the measure.
bool importMusicXml(const std::string& path, const MusicXmlOptions& options, MusicXmlSong& out,
                    std::string& error);
bool importMusicXml(const std::string& path, int part, MusicXmlSong& out, std::string& error);

// The same from the score's XML text already in memory (`name` only for messages).
bool importMusicXmlText(const std::string& xml, const std::string& name, const MusicXmlOptions& options,
                        MusicXmlSong& out, std::string& error);
bool importMusicXmlText(const std::string& xml, const std::string& name, int part, MusicXmlSong& out,
                        std::string& error);

// Only the parts of the score (names, written notes, lyrics, verses): what a window shows
// to choose the part and the verse.
bool readMusicXmlParts(const std::string& path, std::vector<MusicXmlPart>& parts, std::string& error);

}  // namespace kantor
