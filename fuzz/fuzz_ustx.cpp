// The .ustx reader (YAML) on arbitrary bytes, and the song made from what it reads:
// nothing may crash, hang or read past the end, and the MIDI file it makes holds together.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "import/MidiLyrics.h"
#include "import/UstProject.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    kantor::SingingProject project;
    std::string error;
    if (!kantor::readUstx(bytes, project, error)) return 0;
    for (const kantor::ProjectTrack& t : project.tracks)
        for (const kantor::ProjectNote& n : t.notes)
            if (n.key < 0 || n.key > 127) __builtin_trap();
    kantor::ProjectSong song;
    if (!kantor::projectSong(project, 0, song, error)) return 0;
    std::vector<kantor::MidiTextTrack> tracks;
    if (!kantor::readMidiText(song.smf, tracks, error)) __builtin_trap();
    for (const kantor::ProjectTrackSong& t : song.tracks)
        for (const kantor::NoteLyric& nl : t.lyrics)
            if (nl.note >= t.notes || nl.syllables.empty() || nl.syllables.size() > 4) __builtin_trap();
    return 0;
}
