// The sound primitives at the sizes a song render meets: a minute of 16-bit mono sound
// converted from 44100 to 11025 Hz and back, and 2000 overlapping half-second notes
// mixed into one. Each run reports "x_realtime": seconds of sound per second of work.
// Also `info` and `wave insert` on a 1 GB WAV file of zeros (a sparse file in /tmp, so it
// takes no disk): the chunk walk refuses it after a bounded number of chunks.
// Run: build/bench/bench_sound
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <random>
#include <string>

#include "synth/RateConverter.h"
#include "sound/SoundFormat.h"
#include "sound/WavFile.h"
#include "synth/VoxMixer.h"

namespace kantor {
namespace {

std::vector<int16_t> tone(std::size_t n, double hz, uint32_t rate) {
    std::vector<int16_t> v(n);
    for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<int16_t>(8000 * std::sin(6.283185307 * hz * i / rate));
    return v;
}

void BM_ConvertMinuteDownAndUp(benchmark::State& state) {
    const std::vector<int16_t> minute = tone(44100 * 60, 220.0, 44100);
    const SoundBuffer source = SoundBuffer::fromSamples(minute);
    RateConverter converter;
    for (auto _ : state) {
        state.PauseTiming();
        SoundBuffer b;
        b.assign(source.bytes());
        state.ResumeTiming();
        if (!converter.convert(kMono16, 44100, b, 11025) || !converter.convert(kMono16, 11025, b, 44100))
            state.SkipWithError("conversion failed");
        benchmark::DoNotOptimize(b.data());
    }
    state.counters["x_realtime"] = benchmark::Counter(60.0 * static_cast<double>(state.iterations()),
                                                      benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ConvertMinuteDownAndUp)->Unit(benchmark::kMillisecond);

// 2000 notes of 0.5 s, one every 0.25 s: each overlaps its neighbours, so the whole list
// is one group lasting 500.25 s.
void BM_Mix2000Notes(benchmark::State& state) {
    constexpr int kNotes = 2000;
    std::mt19937 rng(7);
    std::vector<SoundEntry> notes(kNotes);
    for (int i = 0; i < kNotes; ++i) {
        notes[i].data = SoundBuffer::fromSamples(tone(22050, 200.0 + rng() % 400, 44100));
        notes[i].startMs = static_cast<uint32_t>(i * 250);
        notes[i].durationMs = 500;
    }
    const double seconds = (kNotes - 1) * 0.25 + 0.5;
    CVoxMixer mixer;
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<SoundEntry> list(kNotes);
        for (int i = 0; i < kNotes; ++i) {
            list[i].data.assign(notes[i].data.bytes());
            list[i].startMs = notes[i].startMs;
            list[i].durationMs = notes[i].durationMs;
        }
        state.ResumeTiming();
        if (!mixer.mix(list, kMono16, 44100)) state.SkipWithError("mix failed");
        benchmark::DoNotOptimize(list[0].data.data());
    }
    state.counters["x_realtime"] =
        benchmark::Counter(seconds * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Mix2000Notes)->Unit(benchmark::kMillisecond);

// A 1 GB file of zeros, alone or after a RIFF header that claims the whole file: its format
// and data size asked for, as `info` does. Reports the time per question.
void BM_InfoOfGigabyteOfZeros(benchmark::State& state) {
    char path[] = "/tmp/kantor-bench-zerosXXXXXX";
    const int fd = ::mkstemp(path);
    if (fd < 0) {
        state.SkipWithError("cannot make a temporary file");
        return;
    }
    if (state.range(0) == 1) {
        const uint8_t head[12] = {'R', 'I', 'F', 'F', 0xF0, 0xFF, 0xFF, 0xFF, 'W', 'A', 'V', 'E'};
        if (::write(fd, head, sizeof head) != static_cast<ssize_t>(sizeof head)) state.SkipWithError("write failed");
    }
    if (::ftruncate(fd, off_t{1} << 30) != 0) state.SkipWithError("cannot size the file");
    ::close(fd);
    WavReader reader;
    for (auto _ : state) {
        WaveFormatTriple format;
        uint32_t size = 0;
        if (reader.readFormat(path, format) || reader.readDataSize(path, size)) state.SkipWithError("read a WAV");
    }
    ::unlink(path);
}
BENCHMARK(BM_InfoOfGigabyteOfZeros)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kantor
