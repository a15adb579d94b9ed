#pragma once
// MusicXML scores (.musicxml, .xml, and the compressed .mxl) read into what a song is made
// of: a Standard MIDI File of format 1 (a conductor track with the tempo marks and time
// signatures, then one track a part) and the lyrics of one part on its notes.
//
// The mapping: repeats and first/second endings are played out; tied notes are one note;
// of a chord only the top note is in the sung part's channel (the others go to a channel of
// their own); grace notes take no time and are left out; an extending lyric (<extend/>)
// holds its syllable, the notes under it singing its vowel again; a rest begins a new phrase.
#include <cstdint>
#include <string>
#include <vector>

#include "song/LyricsImport.h"

namespace kantor {

struct MusicXmlPart {
    std::string id, name;
    int channel = 0;         // 0-based MIDI channel of the part's notes
    std::size_t notes = 0;   // notes written for it
    std::size_t lyrics = 0;  // notes with a lyric
};

struct MusicXmlSong {
    static constexpr uint16_t kDivision = 480;
    std::vector<uint8_t> smf;         // the Standard MIDI File
    std::vector<MusicXmlPart> parts;
    int sungPart = 0;                 // 0-based index into parts
    std::vector<NoteLyric> lyrics;    // on the notes of the sung part's channel
};

// Reads the score at `path` (by its extension: .mxl is a zip archive) and makes the MIDI
// file and the lyrics of part `part` (1-based; 0 = the first part with lyrics). False with
// `error` naming the file and, where it can, the measure.
bool importMusicXml(const std::string& path, int part, MusicXmlSong& out, std::string& error);

// The same from the score's XML text already in memory (`name` only for messages).
bool importMusicXmlText(const std::string& xml, const std::string& name, int part, MusicXmlSong& out,
                        std::string& error);

}  // namespace kantor
