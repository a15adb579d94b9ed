// Rendering a 3-minute song of 400 sung syllables with the voice already loaded.
// Run: build/bench/bench_render   (the target: at least 1000 times faster than real time)
#include <benchmark/benchmark.h>

#include <filesystem>

#include "midi/MidiFile.h"
#include "midi/SmfWriter.h"
#include "midi/TempoMap.h"
#include "song/Song.h"
#include "song/VoxTrackBuilder.h"
#include "../tests/support/SyntheticVoice.h"
#include "synth/SongRenderer.h"
#include "synth/SynthEngine.h"
#include "voice/VoiceBank.h"

namespace kantor {
namespace {

struct ThreeMinuteSong {
    MidiFile midi;
    TempoMap map;
    Song song;
    VoiceBank bank;
    std::string folder;

    ThreeMinuteSong() {
        folder = (std::filesystem::temp_directory_path() / "kantor-bench-voice").string();
        std::filesystem::create_directories(folder);
        const char* codes[] = {"A", "I", "U", "E", "O", "KA", "SA", "TA", "NA", "HA", "MA", "RA"};
        std::vector<test::SyntheticSyllable> syl;
        for (const char* c : codes) {
            for (uint32_t p : {57u, 64u, 71u}) syl.push_back({c, "", p});
        }
        test::writeSyntheticVoice(folder, "BenchVox", syl);
        bank.setVoiceFolder(folder);
        bank.ensureVoiceLoaded("BenchVox");

        // 120 BPM, 400 notes of 0.45 s: 400 x 864 ticks = 180 s.
        SmfTrack t;
        t.tempo(0, 500000);
        const int melody[] = {60, 62, 64, 65, 67, 65, 64, 62};
        for (uint32_t i = 0; i < 400; ++i) t.note(i * 432, i * 432 + 400, 0, melody[i % 8], 100);
        midi.loadImage(buildSmf(0, 480, {t}), folder + "/bench.mid");
        map.build(midi);
        song.songDefaults().voiceName = "BenchVox";
        makeVoxChannel(song, midi.channel(0), 0);
        for (std::size_t i = 0; i < 400; ++i) {
            VoxEvent& e = *song.channel(0).events[i];
            e.setCode(0, codes[i % 12]);
            e.syllableLength[0] = 1;
            if (i % 8 == 0) song.makePhraseHead(0, i);
        }
    }
};

void BM_RenderThreeMinuteSong(benchmark::State& state) {
    static ThreeMinuteSong s;
    SynthEngine engine(s.bank, s.map);
    SongRenderer renderer(s.song, engine);
    RenderRequest r;
    for (auto _ : state) {
        std::vector<PlaybackPiece> pieces;
        bool ok = renderer.renderSong(r, pieces);
        benchmark::DoNotOptimize(ok);
        benchmark::DoNotOptimize(pieces.data());
    }
    state.counters["songSeconds"] = 180;
    state.counters["timesRealTime"] =
        benchmark::Counter(180.0 * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_RenderThreeMinuteSong)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kantor
