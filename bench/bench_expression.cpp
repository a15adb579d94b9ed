// The cost of singing with expression: a minute of touching notes of 0.6 s (every note
// glides in from the one before and holds a vibrato), rendered plain and with the natural
// expression of `--expression auto`, in both pitch modes. The target: with expression at
// most 1.5 times the plain render of the same mode.
// Run: build/bench/bench_expression (compare the CPU column: process time, all threads)
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

struct MinuteOfLegato {
    MidiFile midi;
    TempoMap map;
    Song song;
    VoiceBank bank;
    std::string folder;

    MinuteOfLegato() {
        folder = (std::filesystem::temp_directory_path() / "kantor-bench-expression").string();
        std::filesystem::create_directories(folder);
        const char* codes[] = {"A", "I", "U", "E", "O", "KA", "SA", "TA"};
        std::vector<test::SyntheticSyllable> syl;
        for (const char* c : codes)
            for (uint32_t p : {57u, 64u, 71u}) syl.push_back({c, "", p});
        test::writeSyntheticVoice(folder, "BenchVox", syl);
        bank.setVoiceFolder(folder);
        bank.ensureVoiceLoaded("BenchVox");
        // 120 BPM, 100 touching notes of 576 ticks (0.6 s): a minute.
        SmfTrack t;
        t.tempo(0, 500000);
        const int melody[] = {60, 62, 64, 65, 67, 65, 64, 62};
        for (uint32_t i = 0; i < 100; ++i) t.note(i * 576, i * 576 + 576, 0, melody[i % 8], 100);
        midi.loadImage(buildSmf(0, 480, {t}), folder + "/bench.mid");
        map.build(midi);
        song.songDefaults().voiceName = "BenchVox";
        makeVoxChannel(song, midi.channel(0), 0);
        for (std::size_t i = 0; i < 100; ++i) {
            VoxEvent& e = *song.channel(0).events[i];
            e.setCode(0, codes[i % 8]);
            e.syllableLength[0] = 1;
            if (i % 8 == 0) song.makePhraseHead(0, i);
        }
    }
};

// Arguments: pitch mode (0 resample, 1 keep formants), expression (0 off, 1 auto).
void BM_RenderMinuteOfLegato(benchmark::State& state) {
    static MinuteOfLegato s;
    SynthEngine engine(s.bank, s.map);
    engine.setPitchMode(state.range(0) ? PitchMode::KeepFormants : PitchMode::Resample);
    engine.setExpressionMode(state.range(1) ? ExpressionMode::Auto : ExpressionMode::Off);
    SongRenderer renderer(s.song, engine);
    RenderRequest r;
    for (auto _ : state) {
        std::vector<PlaybackPiece> pieces;
        bool ok = renderer.renderSong(r, pieces);
        benchmark::DoNotOptimize(ok);
        benchmark::DoNotOptimize(pieces.data());
    }
    state.counters["timesRealTime"] =
        benchmark::Counter(60.0 * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_RenderMinuteOfLegato)
    ->ArgNames({"formants", "expression"})
    ->Args({0, 0})
    ->Args({0, 1})
    ->Args({1, 0})
    ->Args({1, 1})
    // The phrases are rendered on another thread: the CPU column counts the whole process,
    // which on a busy machine is steadier than the wall time.
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kantor
