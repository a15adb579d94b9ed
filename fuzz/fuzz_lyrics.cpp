// Feeds arbitrary bytes to the lyric event reader of MIDI and karaoke files, to the placing
// of the lyrics on the notes, and to the splitting of words into syllables.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "import/MidiLyrics.h"
#include "midi/MidiFile.h"
#include "voice/WordSyllables.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> bytes(data, data + size);
    std::vector<kantor::WordSyllable> syllables;
    kantor::WordSplitError bad;
    (void)kantor::splitWord(std::string(bytes.begin(), bytes.end()), syllables, bad);
    std::vector<kantor::MidiTextTrack> tracks;
    std::string error;
    if (!kantor::readMidiText(bytes, tracks, error)) return 0;
    kantor::MidiFile midi;
    if (!midi.loadImage(bytes, "fuzz.kar")) return 0;
    for (int c = 0; c < 16; ++c) {
        std::vector<kantor::LyricPiece> pieces;
        std::vector<kantor::NoteLyric> notes;
        kantor::MidiLyricsReport report;
        if (kantor::midiLyricsFor(tracks, c, pieces, error, {}, &report))
            (void)kantor::placeMidiLyrics(midi, c, pieces, notes, report, error);
        if (c == 0 && kantor::midiLyricsFor(tracks, c, pieces, error, kantor::MidiLyricsChoice{2, 0}, &report))
            (void)kantor::placeMidiLyrics(midi, c, pieces, notes, report, error);
    }
    return 0;
}
