// Offline mixdown (`kantor-cli render SONG.uta --mix`): MIDI on the embedded synthesizer,
// the sung vocal and the inserted waves through the transport on the virtual clock, against
// the target of 20 times faster than real time. The song is the demo MIDI file
// (out/DEMOS20.mid, from tools/make_demo) sung on channel 1 by a synthetic voice, or a
// generated 3-minute song when the demo has not been made.
// Run: build/bench/bench_mixdown
#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "../tests/support/SyntheticVoice.h"
#include "sound/WavFile.h"
#include "cli/Commands.h"
#include "midi/MidiFile.h"
#include "midi/SmfWriter.h"
#include "platform/EmbeddedSynth.h"

#ifndef KANTOR_SOURCE_DIR
#define KANTOR_SOURCE_DIR "."
#endif

namespace kantor {
namespace {

void BM_MixdownDemoSong(benchmark::State& state) {
    namespace fs = std::filesystem;
    if (EmbeddedSynth::defaultSoundFont().empty()) {
        state.SkipWithError("no General MIDI SoundFont installed");
        return;
    }
    const fs::path dir = fs::temp_directory_path() / "kantor-bench-mixdown";
    fs::create_directories(dir / "voices");
    fs::create_directories(dir / "config");
    const char* codes[] = {"A", "I", "U", "E", "O", "KA", "SA", "TA", "NA", "HA", "MA", "RA"};
    std::vector<test::SyntheticSyllable> syl;
    for (const char* c : codes)
        for (uint32_t p : {57u, 64u, 71u, 78u}) syl.push_back({c, "", p});
    test::writeSyntheticVoice((dir / "voices").string(), "BenchVox", syl);

    // The demo song if it has been made, else 400 notes over 3 minutes with an accompaniment.
    fs::path midi = fs::path(KANTOR_SOURCE_DIR) / "out" / "DEMOS20.mid";
    int vox = 1;
    int notes = 400;
    MidiFile probe;
    if (fs::exists(midi) && probe.load(midi.string())) {
        fs::copy_file(midi, dir / "bench.mid", fs::copy_options::overwrite_existing);
        for (int c = 0; c < 16; ++c) {
            int n = 0;
            for (const auto& e : probe.channel(c)) n += e && e->isNote();
            if (n > 0) {
                vox = c + 1;
                notes = n;
                break;
            }
        }
        state.SetLabel("demo song");
    } else {
        SmfTrack t;
        t.tempo(0, 500000);
        const int melody[] = {60, 62, 64, 65, 67, 65, 64, 62};
        for (uint32_t i = 0; i < 400; ++i) t.note(i * 432, i * 432 + 400, 0, melody[i % 8], 100);
        for (uint32_t i = 0; i < 180; ++i) t.note(i * 960, i * 960 + 900, 1, 48 + (i % 4) * 5, 80);
        std::vector<uint8_t> smf = buildSmf(0, 480, {t});
        std::ofstream((dir / "bench.mid").string(), std::ios::binary).write(reinterpret_cast<const char*>(smf.data()), static_cast<std::streamsize>(smf.size()));
        state.SetLabel("generated song");
    }
    std::ofstream lyrics((dir / "lyrics.txt").string());
    for (int i = 0; i < notes; ++i) lyrics << codes[i % 12] << ((i % 8 == 7) ? "\n" : " ");
    lyrics.close();
    std::ostringstream out, err;
    const std::string voiceDir = (dir / "voices").string(), configDir = (dir / "config").string();
    const std::string song = (dir / "bench.uta").string(), wav = (dir / "bench.wav").string();
    if (cli::run({"new", (dir / "bench.mid").string(), "-o", song, "--vox", std::to_string(vox), "--lyrics",
                  (dir / "lyrics.txt").string(), "--voice", "BenchVox", "--voice-dir", voiceDir, "--config-dir",
                  configDir},
                 out, err) != 0) {
        state.SkipWithError(err.str().c_str());
        return;
    }
    double seconds = 0, audio = 0;
    for (auto _ : state) {
        std::ostringstream o, e;
        const auto t0 = std::chrono::steady_clock::now();
        if (cli::run({"render", song, "--mix", "-o", wav, "--voice-dir", voiceDir, "--config-dir", configDir}, o, e) != 0) {
            state.SkipWithError(e.str().c_str());
            return;
        }
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        uint32_t size = 0;
        WavReader reader;
        reader.readDataSize(wav, size);
        audio += size / 4.0 / 44100.0;
    }
    state.counters["audioSeconds"] = audio / static_cast<double>(state.iterations());
    state.counters["timesRealTime"] = audio / seconds;
}
BENCHMARK(BM_MixdownDemoSong)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace kantor
