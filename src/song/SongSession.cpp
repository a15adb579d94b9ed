#include "song/SongSession.h"

#include "base/FileIO.h"
#include "midi/MidiFile.h"
#include "midi/TempoMap.h"
#include "platform/UserPrompt.h"
#include "song/MidiStreamStopper.h"
#include "song/Song.h"
#include "song/SongFile.h"
#include "song/VoiceLoader.h"
#include "song/VoxTrackBuilder.h"

namespace kantor {

bool SongSession::stopStream() {
    std::string error;
    if (stream_.stopAndCloseStream(error)) return true;
    prompt_.notice(kErrorCaption, error);
    return false;
}

bool SongSession::failOpen(const std::string& text) {
    song_.clear();
    song_.resetDefaults();
    midi_.clear();
    tempoMap_.clear();
    song_.setModified(false);
    prompt_.notice(kErrorCaption, text);
    return false;
}

bool SongSession::finishOpen() {
    // Measure table first, tempo list second ("Not Read Smf" when list 0 is empty).
    if (!tempoMap_.build(midi_)) return failOpen(tempoMap_.lastError());
    voicesNotLoaded_.clear();
    for (const std::string& name : song_.voiceNamesToLoad())
        if (!voices_.loadVoice(name)) voicesNotLoaded_.push_back(name);
    startPosition_ = 0;
    stopPosition_ = tempoMap_.measures().empty() ? 0 : tempoMap_.measures().back().start;
    song_.setModified(false);
    return true;
}

bool SongSession::openSong(const std::string& songPath) {
    if (!stopStream()) return false;
    song_.clear();
    tempoMap_.clear();
    SongFile file;
    if (!file.read(song_, songPath)) return failOpen(file.lastError());
    if (!midi_.load(song_.midiPath())) return failOpen(midi_.lastError());
    song_.clearLastError();
    if (!reconcileWithMidi(song_, midi_, prompt_)) return failOpen(song_.lastError());
    return finishOpen();
}

bool SongSession::openMidi(const std::string& midiPath) {
    if (!stopStream()) return false;
    song_.clear();
    song_.resetDefaults();
    tempoMap_.clear();
    if (!midi_.load(midiPath)) return failOpen(midi_.lastError());
    // Inserted waves are looked for beside the MIDI file, before the song has a file of its own.
    song_.setMidiPath(midiPath);
    return finishOpen();
}

bool SongSession::openMidiImage(std::vector<uint8_t> bytes, const std::string& midiPath) {
    if (!stopStream()) return false;
    song_.clear();
    song_.resetDefaults();
    tempoMap_.clear();
    if (!midi_.loadImage(std::move(bytes), midiPath)) return failOpen(midi_.lastError());
    song_.setMidiPath(midiPath);
    return finishOpen();
}

bool SongSession::saveSong(const std::string& midiPath, const std::string& songPath) {
    if (!stopStream()) return false;
    SongFile file;
    if (!file.write(song_, songPath, midiPath, midi_.division())) {
        prompt_.notice(kErrorCaption, file.lastError());
        return false;
    }
    song_.setSongPath(songPath);
    song_.setStoredMidiName(fileNameOf(midiPath));
    song_.setMidiPath(joinPath(folderOf(songPath), fileNameOf(midiPath)));
    song_.setModified(false);
    return true;
}

bool SongSession::makeVoxChannel(int c) {
    song_.clearLastError();
    if (kantor::makeVoxChannel(song_, midi_.channel(c), c)) return true;
    prompt_.notice(kErrorCaption, song_.lastError());
    return false;
}

bool SongSession::phraseEvents(int c, std::size_t d, PhraseEvents& out) {
    if (phraseEventsOfNote(song_, c, d, midi_.division(), out)) return true;
    prompt_.warning(kNoPhraseHeadCaption, kNoPhraseHeadText);
    return false;
}

}  // namespace kantor
