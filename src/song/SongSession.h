#pragma once
// The open and save sequences of a song as the main window issues them, and the
// operations on it that show their failures: the song, the MIDI file beside it, the
// measure table and tempo list, and the services they need (prompts, MIDI stream, voices).
#include <cstdint>
#include <string>
#include <vector>

#include "song/PhraseEvents.h"

namespace kantor {

class MidiFile;
class MidiStreamStopper;
class Song;
class TempoMap;
class UserPrompt;
class VoiceLoader;

class SongSession {
public:
    static constexpr const char* kErrorCaption = "Error";

    SongSession(Song& song, MidiFile& midi, TempoMap& tempoMap, UserPrompt& prompt, MidiStreamStopper& stream,
                VoiceLoader& voices)
        : song_(song), midi_(midi), tempoMap_(tempoMap), prompt_(prompt), stream_(stream), voices_(voices) {}

    // Opens a song file and the MIDI file beside it, reconciles the two, builds the measure
    // table and tempo list and loads the voices the song names. Every failure is shown
    // (caption "Error") and leaves an empty song, no MIDI file and empty tables.
    bool openSong(const std::string& songPath);
    // Opens a bare MIDI file: the same with an empty song with the new-song defaults.
    bool openMidi(const std::string& midiPath);
    // The same from the bytes of a MIDI file that is not yet on disk under `midiPath`.
    bool openMidiImage(std::vector<uint8_t> bytes, const std::string& midiPath);
    // Writes the song file `songPath` with the name of `midiPath` in its header; clears the
    // modified mark on success, shows the error on failure (the previous file stays).
    bool saveSong(const std::string& midiPath, const std::string& songPath);

    // Makes channel c a Vox channel from its MIDI notes; a failure is shown.
    bool makeVoxChannel(int c);
    // The phrase to audition or export from note d; without a head shows
    // "このノートの属するフレーズの先頭がありません。" (caption "警告").
    bool phraseEvents(int c, std::size_t d, PhraseEvents& out);

    // After a successful open: the play range (0 to the start of the last measure).
    uint32_t startPosition() const { return startPosition_; }
    uint32_t stopPosition() const { return stopPosition_; }
    // Voices that the last open could not load, in loading order.
    const std::vector<std::string>& voicesNotLoaded() const { return voicesNotLoaded_; }

private:
    bool stopStream();
    bool failOpen(const std::string& text);
    bool finishOpen();

    Song& song_;
    MidiFile& midi_;
    TempoMap& tempoMap_;
    UserPrompt& prompt_;
    MidiStreamStopper& stream_;
    VoiceLoader& voices_;
    uint32_t startPosition_ = 0;
    uint32_t stopPosition_ = 0;
    std::vector<std::string> voicesNotLoaded_;
};

}  // namespace kantor
