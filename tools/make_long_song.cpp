// Writes a long song for measuring:
//   kantor-make-long-song [--legato] [--gap TICKS] OUT_FOLDER MINUTES [NOTES_A_MINUTE]
//   ->  LONG<MINUTES>.mid and LONG<MINUTES>.uta (with --legato: LEGATO<MINUTES>, and with a gap
//       other than 10 ticks LEGATO<MINUTES>G<TICKS>)
// At 120 beats a minute, channel 1 sings NOTES_A_MINUTE notes a minute (160 unless given),
// one syllable each, a phrase and a lyric line every eight notes, with a bass line on
// channel 2 (a note every beat) around it. Sung by MaleVox. The last note of each phrase
// is short, leaving a rest before the next phrase; with --legato it lasts until TICKS
// (10 unless given) before the next phrase, whose consonant then sounds over its end, as
// in most sung melodies.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/FileIO.h"
#include "midi/MidiFile.h"
#include "midi/SmfWriter.h"
#include "song/Song.h"
#include "song/SongFile.h"
#include "song/VoxTrackBuilder.h"

using namespace kantor;

int main(int argc, char** argv) {
    bool legato = false;
    int gap = 10;
    std::vector<const char*> args;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--legato") == 0) {
            legato = true;
        } else if (std::strcmp(argv[i], "--gap") == 0 && i + 1 < argc) {
            gap = std::atoi(argv[++i]);
            legato = true;
        } else {
            args.push_back(argv[i]);
        }
    }
    if (args.size() < 2 || args.size() > 3) {
        std::fprintf(stderr, "usage: kantor-make-long-song [--legato] [--gap TICKS] OUT_FOLDER MINUTES [NOTES_A_MINUTE]\n");
        return 2;
    }
    const std::string folder = args[0];
    const int minutes = std::atoi(args[1]);
    const int perMinute = args.size() > 2 ? std::atoi(args[2]) : 160;
    if (minutes < 1 || minutes > 600 || perMinute < 1 || perMinute > 960) {
        std::fprintf(stderr, "kantor-make-long-song: MINUTES 1-600, NOTES_A_MINUTE 1-960\n");
        return 2;
    }
    constexpr uint32_t kDivision = 480;
    constexpr uint32_t kTicksAMinute = 120 * kDivision;
    const uint32_t step = kTicksAMinute / uint32_t(perMinute);
    if (legato && (gap < 0 || uint32_t(gap) >= step)) {
        std::fprintf(stderr, "kantor-make-long-song: --gap 0-%u ticks at %d notes a minute\n", step - 1, perMinute);
        return 2;
    }
    const uint32_t end = uint32_t(minutes) * kTicksAMinute;
    SmfTrack t;
    t.tempo(0, 500000).timeSignature(0, 4, 2);
    t.programChange(0, 1, 33);
    const int scale[] = {0, 2, 4, 5, 7, 9, 11, 12};
    uint32_t count = 0;
    for (uint32_t at = kDivision * 4; at + step <= end; at += step, ++count) {
        // A rest between phrases: the eighth note of each group is shorter; legato, it
        // reaches to the gap before the next phrase.
        const uint32_t last = legato ? step - uint32_t(gap) : step / 2;
        const uint32_t length = count % 8 == 7 ? last : step - step / 8;
        t.note(at, at + length, 0, static_cast<uint8_t>(57 + scale[(count * 3) % 8]), 100);
    }
    for (uint32_t at = 0; at + kDivision <= end; at += kDivision)
        t.note(at, at + kDivision - 40, 1, static_cast<uint8_t>(40 + scale[(at / kDivision) % 4]), 90);
    t.endOfTrack(end);
    std::string name = (legato ? "LEGATO" : "LONG") + std::to_string(minutes);
    if (legato && gap != 10) name += "G" + std::to_string(gap);
    const std::string midiPath = joinPath(folder, name + ".mid");
    const std::vector<uint8_t> bytes = buildSmf(0, kDivision, {t});
    if (!writeFileAtomically(midiPath, bytes)) {
        std::fprintf(stderr, "kantor-make-long-song: cannot write %s\n", midiPath.c_str());
        return 1;
    }
    MidiFile midi;
    if (!midi.load(midiPath)) {
        std::fprintf(stderr, "kantor-make-long-song: %s\n", midi.lastError().c_str());
        return 1;
    }
    Song song;
    song.resetDefaults();
    song.songDefaults().voiceName = "MaleVox";
    if (!makeVoxChannel(song, midi.channel(0), 0)) {
        std::fprintf(stderr, "kantor-make-long-song: %s\n", song.lastError().c_str());
        return 1;
    }
    const char* codes[] = {"KA", "SA", "TA", "NA", "HA", "MA", "YA", "RA", "WA", "A", "I", "U", "E", "O"};
    const char* kana[] = {"か", "さ", "た", "な", "は", "ま", "や", "ら", "わ", "あ", "い", "う", "え", "お"};
    auto& events = song.channel(0).events;
    std::string line;
    uint32_t lineTick = 0;
    for (std::size_t i = 0; i < events.size(); ++i) {
        VoxEvent& e = *events[i];
        const std::size_t k = (i * 5 + i / 8) % 14;
        e.setCode(0, codes[k]);
        e.syllableLength[0] = 1;
        e.hasLyric = 1;
        if (i % 8 == 0) {
            if (!line.empty()) song.putLyricLine(lineTick, line);
            line.clear();
            lineTick = e.startTick;
            song.makePhraseHead(0, i);
        }
        line += kana[k];
    }
    if (!line.empty()) song.putLyricLine(lineTick, line);
    SongFile file;
    const std::string path = joinPath(folder, name + ".uta");
    if (!file.write(song, path, midiPath, midi.division())) {
        std::fprintf(stderr, "kantor-make-long-song: %s\n", file.lastError().c_str());
        return 1;
    }
    std::printf("%s: %d minutes, %zu sung notes, %zu phrases\n", path.c_str(), minutes, events.size(),
                song.channel(0).phrases.size());
    return 0;
}
