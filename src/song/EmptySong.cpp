#include "song/EmptySong.h"

#include <cstdio>

#include "base/FileIO.h"
#include "midi/SmfWriter.h"
#include "song/Song.h"
#include "song/SongFile.h"

namespace kantor {

std::string EmptySongShape::check() const {
    if (tempo < 20 || tempo > 400) return "the tempo must be 20 to 400 quarter notes a minute";
    if (numerator < 1 || numerator > 32) return "the time signature's upper number must be 1 to 32";
    if (denominator != 1 && denominator != 2 && denominator != 4 && denominator != 8 && denominator != 16 &&
        denominator != 32)
        return "the time signature's lower number must be 1, 2, 4, 8, 16 or 32";
    if (measures < 1 || measures > 9999) return "the length must be 1 to 9999 measures";
    if (division < 24 || division > 0x7FFF) return "the time base must be 24 to 32767 ticks";
    return {};
}

std::vector<uint8_t> emptyMidiFile(const EmptySongShape& shape) {
    int power = 0;
    while ((1 << power) < shape.denominator) ++power;
    const uint32_t measure = uint32_t(shape.division) * 4u * uint32_t(shape.numerator) / uint32_t(shape.denominator);
    const uint32_t end = measure * shape.measures;
    SmfTrack conductor;
    conductor.timeSignature(0, shape.numerator, power);
    conductor.tempo(0, 60000000u / shape.tempo);
    conductor.endOfTrack(end);
    SmfTrack voice;
    voice.text(0, 0x03, "Vox");
    voice.programChange(0, 0, 53);  // a voice ("Voice Oohs") for the MIDI playback
    voice.endOfTrack(end);
    return buildSmf(1, shape.division, {conductor, voice});
}

std::string emptyMidiPathFor(const std::string& songPath) {
    const std::string name = fileNameOf(songPath);
    const std::size_t dot = name.rfind('.');
    const std::string base = dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
    const std::string folder = folderOf(songPath);
    return folder.empty() ? base + ".mid" : joinPath(folder, base + ".mid");
}

bool writeEmptySong(const std::string& songPath, const EmptySongShape& shape, bool replace, std::string& error) {
    error = shape.check();
    if (!error.empty()) return false;
    const std::string midiPath = emptyMidiPathFor(songPath);
    if (fileNameOf(midiPath) == fileNameOf(songPath)) {
        error = "the song would take the place of its MIDI file: " + songPath;
        return false;
    }
    if (!replace && fileExists(songPath)) {
        error = songPath + " exists already";
        return false;
    }
    const std::vector<uint8_t> midi = emptyMidiFile(shape);
    Song song;
    song.setSongPath(songPath);
    song.setMidiPath(midiPath);
    SongFile file;
    std::vector<uint8_t> songBytes;
    if (!file.build(song, midiPath, shape.division, songBytes)) {
        error = file.lastError();
        return false;
    }
    AtomicFile m(midiPath, replace ? AtomicFile::Mode::Replace : AtomicFile::Mode::CreateNew);
    if (!m.isOpen() || !m.write(midi) || !m.commit()) {
        error = m.exists() ? midiPath + " exists already" : midiPath + ": " + m.error();
        return false;
    }
    std::string why;
    if (!writeFileAtomically(songPath, songBytes, &why)) {
        std::remove(midiPath.c_str());
        error = songPath + ": " + why;
        return false;
    }
    return true;
}

}  // namespace kantor
