#pragma once
// Lyrics carried inside a Standard MIDI File: lyric (FF 05) and text (FF 01) meta events, as
// karaoke files (.kar) and many MIDI files have them, read onto the notes of one channel.
//
// The karaoke conventions: text events beginning with "@" are headers (@T title, @L
// language, …); "/" begins a line and "\" a paragraph; a carriage return or line feed in a
// lyric event ends or begins a line; blanks before a syllable mark a new word; a "-" joins
// syllables of one word and a "_" holds one over the notes after it. Text is UTF-8 when most
// events with other than ASCII are valid UTF-8, else cp932; a stray byte is reported where it
// is. Each event goes on the channel's note that starts within a 32nd note after its tick or
// a 16th note before; every line becomes a phrase. A note without a lyric that goes on from
// a sung note without a rest (or after a "_", "-" or "ー") sings its vowel again.
#include <cstdint>
#include <string>
#include <vector>

#include "song/LyricsImport.h"

namespace kantor {

class MidiFile;

struct MidiTextEvent {
    uint32_t tick = 0;
    uint8_t type = 0;  // 1 text, 5 lyric
    std::string bytes;  // as stored
};

struct MidiTextTrack {
    std::vector<MidiTextEvent> events;
    uint16_t noteChannels = 0;  // bit c set when the track has notes of channel c
    int channelPrefix = -1;     // the channel of an FF 20 channel prefix event, if any
    std::string name;           // its FF 03 track name, as stored
    int number = 0;             // 1-based place among the file's tracks
};

// Where the SMF lies in a file's bytes: the whole file, or the "data" chunk of a RIFF "RMID"
// file (clipped to the file). On success [pos, end) begins with an "MThd" header whose
// length fits and is at least 6; `headerLength` is that length. False with `error` otherwise.
bool smfBytes(const std::vector<uint8_t>& bytes, std::size_t& pos, std::size_t& end, uint32_t& headerLength,
              std::string& error);

// The text events of every track of an SMF (also RIFF-wrapped). False with `error` when the
// file's chunks or events do not hold together.
bool readMidiText(const std::vector<uint8_t>& bytes, std::vector<MidiTextTrack>& tracks, std::string& error);

// One piece of lyric text, cleaned of the karaoke marks.
struct LyricPiece {
    uint32_t tick = 0;
    std::string text;      // UTF-8, may be empty when the event only marked a line
    bool newLine = false;  // a line (phrase) begins with this piece
    int line = 1;          // 1-based line of the lyrics
    int column = 1;        // 1-based character where the piece begins in its line
    bool holds = false;    // ends with "-" or "_": the word goes on over the next notes
};

// Which lyrics to take when a file has several lyric tracks (verses, as notation programs
// write them). Both 1-based; 0 = the channel's own track, else the first.
struct MidiLyricsChoice {
    int verse = 0;  // the n-th track that carries lyrics
    int track = 0;  // the file's n-th track
};

// What became of the lyrics, for the summary.
struct MidiLyricsReport {
    int track = 0;          // the track (1-based) the lyrics came from
    std::string trackName;  // printable
    int lyricTracks = 0;    // tracks with lyrics in the file
    int verse = 0;          // 1-based among them
    bool chosenByDefault = false;  // several tracks, none the channel's: the first was taken
    std::size_t melismaNotes = 0;  // notes without a lyric that sing the vowel before
    std::size_t silentNotes = 0;   // notes without a lyric after a rest: they stay silent
    std::size_t unplaced = 0;      // lyric events on no note
    std::vector<std::string> unplacedShown;  // the first few: tick, measure and text
    // One line a fact worth telling (empty when everything went on notes as written).
    std::vector<std::string> notes() const;
};

// The lyrics for channel c (0-based): those of the track with the channel's notes (or its
// channel prefix), else those of the only track that has lyrics. False when there are none
// for the channel; `why` then says so.
// With `choice` a verse or track is taken instead; `report` (when given) receives which.
bool midiLyricsFor(const std::vector<MidiTextTrack>& tracks, int c, std::vector<LyricPiece>& pieces, std::string& why,
                   const MidiLyricsChoice& choice = {}, MidiLyricsReport* report = nullptr);

// True when some track carries lyrics (what the desktop program offers to take).
bool hasMidiLyrics(const std::vector<MidiTextTrack>& tracks);

// Places the pieces on the notes of channel c of the loaded file: each piece is split into
// syllables (voice/WordSyllables.h) that go into the slots of its note (the one starting
// within a 32nd note after its tick or a 16th note before, the nearest), in order (at most
// four a note). Notes without a lyric that go on from a sung note sing its vowel (melismas).
// `notes` receives one entry per note that gets syllables, with note = the index of the note
// among the channel's notes. Pieces with no note near them are passed over and listed in
// `report`. False with `error` listing the pieces that are not Japanese syllables (tick,
// measure, line, column and piece), or at a note given more than four.
bool placeMidiLyrics(const MidiFile& midi, int c, const std::vector<LyricPiece>& pieces, std::vector<NoteLyric>& notes,
                     MidiLyricsReport& report, std::string& error);

// All of the above for the loaded file (read again from its path): the notes of channel c
// that its lyrics fall on. False with `error` when the file has no lyrics for the channel
// (`none` is then set) or they cannot be placed.
bool midiLyricsOnNotes(const MidiFile& midi, int c, std::vector<NoteLyric>& notes, MidiLyricsReport& report,
                       std::string& error, bool* none = nullptr, const MidiLyricsChoice& choice = {});

}  // namespace kantor
