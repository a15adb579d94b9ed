// Writes the demo song's MIDI file: kantor-make-demo OUT_FOLDER
// The melody is on channel 1, with koto, strings, bass and a little percussion around it.
#include <cstdio>
#include <string>

#include "DemoSong.h"
#include "base/FileIO.h"
#include "midi/SmfWriter.h"

using namespace kantor;

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: kantor-make-demo OUT_FOLDER\n");
        return 2;
    }
    const std::string folder = argv[1];
    const uint32_t bar = 4 * demo::kQuarter;
    const uint32_t lead = bar;  // one bar of introduction

    SmfTrack conductor;
    conductor.text(0, 0x03, "Sakura Sakura").timeSignature(0, 4, 2).tempo(0, demo::kUsPerQuarter);

    SmfTrack voice;
    voice.text(0, 0x03, "Vocal").programChange(0, 0, 52).controlChange(0, 0, 7, 100);
    uint32_t tick = lead;
    for (const demo::MelodyNote& n : demo::melody()) {
        if (n.note > 0) voice.note(tick, tick + n.length - 10, 0, n.note, 96);
        tick += n.length;
    }
    const uint32_t end = tick + bar;

    // Koto arpeggios over A and E, one octave above the sung line as written.
    SmfTrack koto;
    koto.text(0, 0x03, "Koto").programChange(0, 1, 107).controlChange(0, 1, 7, 80).controlChange(0, 1, 10, 40);
    const int arpA[4] = {57, 64, 69, 71}, arpE[4] = {52, 59, 64, 65};
    int b = 0;
    for (uint32_t t = 0; t + bar <= end - bar; t += bar, ++b) {
        const int* arp = (b % 4 == 3) ? arpE : arpA;
        for (int i = 0; i < 4; ++i) koto.note(t + i * demo::kQuarter, t + (i + 1) * demo::kQuarter, 1, arp[i], 70);
    }
    koto.note(end - bar, end - 1, 1, 52, 70);

    SmfTrack strings;
    strings.text(0, 0x03, "Strings").programChange(0, 2, 48).controlChange(0, 2, 7, 60).controlChange(0, 2, 10, 88);
    b = 0;
    for (uint32_t t = 0; t + bar <= end; t += bar, ++b) {
        const bool e = (b % 4 == 3) || t + bar == end;
        strings.note(t, t + bar - 5, 2, e ? 52 : 57, 55).note(t, t + bar - 5, 2, e ? 59 : 64, 50);
    }

    SmfTrack bass;
    bass.text(0, 0x03, "Bass").programChange(0, 3, 32).controlChange(0, 3, 7, 85);
    b = 0;
    for (uint32_t t = 0; t + bar <= end; t += bar, ++b) bass.note(t, t + 2 * demo::kQuarter, 3, (b % 4 == 3) ? 40 : 45, 80);

    SmfTrack drums;
    drums.text(0, 0x03, "Percussion").controlChange(0, 9, 7, 70);
    for (uint32_t t = 0; t + bar <= end; t += bar) {
        drums.note(t, t + 60, 9, 35, 70);                         // bass drum on one
        drums.note(t + 2 * demo::kQuarter, t + 2 * demo::kQuarter + 60, 9, 76, 60);  // wood block on three
    }
    drums.endOfTrack(end);
    conductor.endOfTrack(end);

    std::vector<uint8_t> smf = buildSmf(1, demo::kDivision, {conductor, voice, koto, strings, bass, drums});
    const std::string path = joinPath(folder, "DEMOS20.mid");
    std::string error;
    if (!writeFileAtomically(path, smf, &error)) {
        std::fprintf(stderr, "kantor-make-demo: %s\n", error.c_str());
        return 1;
    }
    std::printf("%s\n", path.c_str());
    return 0;
}
