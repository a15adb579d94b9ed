// Loading a large format 1 MIDI file: the merge of its tracks and the three passes that
// build the channel lists. Run: build/bench/bench_midi
#include <benchmark/benchmark.h>

#include <random>

#include "midi/MidiFile.h"
#include "midi/SmfWriter.h"

namespace kantor {
namespace {

// About `targetBytes` of music over 16 channel tracks and a conductor track; `scale`
// multiplies the division and every tick, so the music stays the same.
std::vector<uint8_t> makeSong(std::size_t targetBytes, uint32_t scale) {
    std::mt19937 rng(42);
    std::vector<SmfTrack> tracks(17, SmfTrack(true));
    tracks[0].timeSignature(0, 4, 2);
    std::size_t notesPerTrack = targetBytes / 16 / 8;
    for (int ch = 0; ch < 16; ++ch) {
        SmfTrack& t = tracks[static_cast<std::size_t>(ch + 1)];
        t.programChange(0, ch, ch * 5);
        uint32_t tick = 0;
        for (std::size_t i = 0; i < notesPerTrack; ++i) {
            uint32_t len = 30 + rng() % 200;
            int note = 36 + static_cast<int>(rng() % 60);
            t.note(tick * scale, (tick + len) * scale, ch, note, 64 + static_cast<int>(rng() % 60));
            if (i % 50 == 0) t.controlChange(tick * scale, ch, 7, static_cast<int>(rng() % 128));
            tick += len + rng() % 40;
        }
    }
    for (uint32_t tick = 0; tick < notesPerTrack * 140; tick += 7680) tracks[0].tempo(tick * scale, 400000 + tick % 200000);
    return buildSmf(1, static_cast<uint16_t>(480 * scale), tracks);
}

void loadSong(benchmark::State& state, uint32_t scale) {
    std::vector<uint8_t> bytes = makeSong(1 << 20, scale);
    for (auto _ : state) {
        MidiFile m;
        bool ok = m.loadImage(bytes, "bench.mid");
        benchmark::DoNotOptimize(ok);
    }
    state.counters["fileBytes"] = static_cast<double>(bytes.size());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}

void BM_Load1MBFormat1(benchmark::State& state) { loadSong(state, 1); }
void BM_Load1MBFormat1Division16x(benchmark::State& state) { loadSong(state, 16); }
BENCHMARK(BM_Load1MBFormat1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Load1MBFormat1Division16x)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kantor
