#pragma once
// Songs as people have them, through the application owner: lyrics taken from the open MIDI
// (or karaoke) file, the song's MIDI file written with its lyrics, and a MusicXML score made
// into a song. Shared by the desktop program and the command line.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "import/MusicXml.h"

namespace kantor {

class Hub;
class Song;

// True when the open MIDI file has lyrics for channel c (0-based).
bool midiHasLyricsFor(const Hub& hub, int c);

// Puts the open MIDI file's lyrics on Vox channel c; the phrases begin where the lines do.
// `notes` receives what is worth telling (lyric events on no note, melismas, silent notes,
// the verse taken), one entry a fact. False with `error` (and the song unchanged) when there
// are none or they cannot be sung.
bool takeMidiLyrics(Hub& hub, int c, std::vector<std::string>& notes, std::string& error);

// Writes the open song's MIDI file with its syllables as lyric events to `path`
// (atomically), in UTF-8 or cp932.
bool exportMidiWithLyrics(Hub& hub, const std::string& path, bool cp932, std::string& error);

// Writes a song made from an outside file (a score, another editor's project): the song's
// lock is held from before the outputs are looked at until both are in place; an import of
// the song cut short is finished first; an existing song or MIDI file is replaced only with
// `replace`. The MIDI file is opened from memory, `fill` puts the vocal on the song, and the
// two files appear together or not at all (base/FilePair.h). The hub then holds the song.
bool writeImportedSong(Hub& hub, const std::vector<uint8_t>& smf, const std::string& midiPath,
                       const std::string& songPath, bool replace, const std::function<bool(Song&, std::string&)>& fill,
                       std::string& error);

// The MIDI file an imported score writes beside the song: the song's name with ".mid".
std::string scoreMidiPathOf(const std::string& songPath);

struct ScoreImport {
    std::string midiPath;  // written beside the song
    // Which part sings, on which channel, how many notes and measures in the score and in
    // the song, then the notes on the score (marks read as a musician would, measures never
    // played), one a line, in Japanese: translated() shows them in the chosen language.
    std::string summary;
    bool warnings = false;  // the summary has notes on the score
};

// Reads the MusicXML score, writes its MIDI file beside `songPath` (named after the song)
// and the song with the part (1-based; 0 = the first with lyrics) singing on a Vox channel
// in `voiceName` ("" = the default voice). The hub then holds the new song. Nothing is
// written when the score, the voice or a syllable is not right. The song's lock is held from
// before the outputs are looked at until both are in place; an existing song or MIDI file is
// replaced only with `replace`. The two files appear together or not at all, also when the
// program is killed between them (base/FilePair.h; an import cut short is finished by the
// next import of the song).
bool importScoreAsSong(Hub& hub, const std::string& scorePath, const std::string& songPath, int part,
                       const std::string& voiceName, ScoreImport& result, std::string& error, bool replace = true);
// The same with the part, the verse and whether repeats are followed.
bool importScoreAsSong(Hub& hub, const std::string& scorePath, const std::string& songPath,
                       const MusicXmlOptions& options, const std::string& voiceName, ScoreImport& result,
                       std::string& error, bool replace = true);

}  // namespace kantor
