// Writes the demo songs: kantor-make-demo OUT_FOLDER  ->  DEMOS20.mid, DEMOS20.uta and
// DEMOS21.uta (the same song sung with expression)
// The melody is on channel 1, sung by MaleVox with the lyrics in phrases, with koto,
// strings, bass and a little percussion around it.
#include <cstdio>
#include <string>

#include "DemoSong.h"
#include "base/FileIO.h"
#include "midi/MidiFile.h"
#include "midi/SmfWriter.h"
#include "midi/TempoMap.h"
#include "song/Expression.h"
#include "song/Song.h"
#include "song/SongFile.h"
#include "song/VoxTrackBuilder.h"
#include "voice/SyllableTable.h"

using namespace kantor;

namespace {

std::string kanaOf(const std::string& code) {
    for (const SyllableRow& row : syllableTable()) {
        if (code == row.code) return std::string(row.kana);
    }
    return "";
}

// The second demo song, over the same MIDI file: the same singing with expression. The song
// glides 70 ms between touching notes and starts each note softly (its defaults); notes held
// for a half note (1.8 s at its tempo) have a vibrato that starts after 200 ms and fades in; the last note
// of each phrase has a slower, deeper one and fades in longer; the first note of each phrase
// comes 20 ms late.
bool writeExpressiveSong(Song& song, const std::string& folder, const std::string& midiPath, uint16_t division,
                         const MidiFile& midi) {
    song.titleInfo().title = "さくら さくら (表情つき)";
    NoteExpression defaults;
    defaults.mark(NoteValue::Smoothing, true);
    defaults.smoothingMs = 70;
    defaults.mark(NoteValue::Attack, true);
    defaults.attackCs = 4;
    setNoteDefaults(song.songDefaults(), defaults);
    auto& events = song.channel(0).events;
    TempoMap map;
    map.build(midi);
    std::string error;
    for (std::size_t i = 0; i < events.size(); ++i) {
        const VoxEvent& e = *events[i];
        if (!e.hasSyllable()) continue;
        const bool lastOfPhrase = i + 1 == events.size() || events[i + 1]->phraseIndex != 0;
        const uint32_t ms = map.millisecondsBetween(e.startTick, e.endTick);
        NoteExpression n;
        if (ms >= 1500 || (lastOfPhrase && ms >= 400)) {
            n.mark(NoteValue::Vibrato, true);
            n.vibratoDepthCents = lastOfPhrase ? 45 : 35;
            n.vibratoRateCentiHz = lastOfPhrase ? 520 : 560;
            n.vibratoDelayMs = 200;
            n.vibratoFadeMs = lastOfPhrase ? 400 : 250;
        }
        if (e.phraseIndex != 0) {
            n.mark(NoteValue::Time, true);
            n.timeMs = 20;
        }
        if (n.set != 0 && !setNoteExpression(song, 0, i, i, n, 0, error)) {
            std::fprintf(stderr, "kantor-make-demo: %s\n", error.c_str());
            return false;
        }
    }
    SongFile file;
    const std::string path = joinPath(folder, "DEMOS21.uta");
    if (!file.write(song, path, midiPath, division)) {
        std::fprintf(stderr, "kantor-make-demo: %s\n", file.lastError().c_str());
        return false;
    }
    std::printf("%s\n", path.c_str());
    return true;
}

// The song over the MIDI file: channel 1 sung by MaleVox, one syllable a note, a phrase
// head and a lyric line at the start of every line of the song.
bool writeSong(const std::string& folder, const std::string& midiPath, uint32_t lead) {
    MidiFile midi;
    if (!midi.load(midiPath)) {
        std::fprintf(stderr, "kantor-make-demo: %s\n", midi.lastError().c_str());
        return false;
    }
    Song song;
    song.resetDefaults();
    song.songDefaults().voiceName = "MaleVox";
    TitleInfo& t = song.titleInfo();
    t.title = "さくら さくら";
    t.lyricist = "日本古謡";
    t.composer = "日本古謡";
    t.arranger = "Kantor";
    t.comment = "日本の伝統的な歌 (パブリックドメイン)";
    if (!makeVoxChannel(song, midi.channel(0), 0)) {
        std::fprintf(stderr, "kantor-make-demo: %s\n", song.lastError().c_str());
        return false;
    }
    auto& events = song.channel(0).events;
    const std::vector<demo::MelodyNote> melody = demo::melody();
    std::size_t e = 0;
    uint32_t tick = lead;
    std::string line;
    uint32_t lineTick = lead;
    for (std::size_t i = 0; i < melody.size(); ++i) {
        const demo::MelodyNote& n = melody[i];
        if (n.phraseHead) {
            if (!line.empty()) song.putLyricLine(lineTick, line);
            line.clear();
            lineTick = tick;
        }
        if (n.note > 0 && e < events.size()) {
            VoxEvent& ev = *events[e];
            ev.setCode(0, n.code);
            ev.syllableLength[0] = 1;
            ev.hasLyric = 1;
            if (n.phraseHead) song.makePhraseHead(0, e);
            // A vowel that only carries on the syllable before it is not written in the line.
            const std::string code = n.code;
            const bool carriesOn = !n.phraseHead && code.size() == 1 && i > 0 &&
                                   std::string(melody[i - 1].code).back() == code[0];
            if (!carriesOn) line += kanaOf(code);
            ++e;
        }
        tick += n.length;
    }
    if (!line.empty()) song.putLyricLine(lineTick, line);

    SongFile file;
    const std::string path = joinPath(folder, "DEMOS20.uta");
    if (!file.write(song, path, midiPath, midi.division())) {
        std::fprintf(stderr, "kantor-make-demo: %s\n", file.lastError().c_str());
        return false;
    }
    std::printf("%s\n", path.c_str());
    return writeExpressiveSong(song, folder, midiPath, midi.division(), midi);
}

}  // namespace

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
    return writeSong(folder, path, lead) ? 0 : 1;
}
