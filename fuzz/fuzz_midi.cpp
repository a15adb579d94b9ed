// Feeds arbitrary bytes to the MIDI file reader and the tempo map built on it.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "midi/MidiFile.h"
#include "midi/TempoMap.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kantor::MidiFile midi;
    if (!midi.loadImage(std::vector<uint8_t>(data, data + size), "fuzz.mid")) return 0;
    kantor::TempoMap map;
    if (map.build(midi)) {
        const uint32_t end = midi.songEndTick();
        (void)map.positionText(end / 2);
        (void)map.millisecondsBetween(0, end);
        (void)map.tickOffset(1000, end / 2);
        (void)map.tickOffset(-1000, end / 2);
    }
    return 0;
}
