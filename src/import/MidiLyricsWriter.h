#pragma once
// A song's MIDI file with the song's lyrics in it, for other programs: every sung note of a
// Vox channel gets a lyric event (FF 05) with its syllables in hiragana, in a track of its
// own per channel that names the channel with a channel prefix event (FF 20). The MIDI
// file's own tracks are kept byte for byte, without their old lyrics: lyric events, and the
// text events of a karaoke file other than its "@" headers; the file becomes format 1. A
// phrase head begins a line with the karaoke mark "/".
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kantor {

class MidiFile;
class Song;

// The hiragana of a syllable code (empty when there is none).
using KanaOfCode = std::function<std::string(int channel, const std::string& code)>;

// `smf` is the MIDI file as stored (also RIFF-wrapped), `midi` the same file loaded. The
// text is UTF-8, or cp932 when `cp932` is set. False with `error` when the file's chunks do
// not hold together or the tracks would be too many.
bool midiWithLyrics(const std::vector<uint8_t>& smf, const MidiFile& midi, const Song& song, const KanaOfCode& kana,
                    bool cp932, std::vector<uint8_t>& out, std::string& error);

}  // namespace kantor
