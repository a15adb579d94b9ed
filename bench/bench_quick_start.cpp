// Whole-process figures of kantor-cli, each command run as its own process:
//   - render of the demo song, as a multiple of real time;
//   - info of the built-in voice MaleVox: wall time and peak resident memory;
//   - info of a 400 KB MIDI file against a Python parse of the same file (mido when it is
//     installed, else bench/smf_parse.py, which reads every event as mido does);
//   - render of a 100,000-note song: peak resident memory.
// Needs a release build with the built-in voices (build/voices) and the demo song
// (build/sample). Run: build/bench/bench_quick_start
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "../tests/support/SyntheticVoice.h"
#include "sound/WavFile.h"
#include "cli/Commands.h"
#include "midi/SmfWriter.h"

namespace kantor {
namespace {

namespace fs = std::filesystem;

const fs::path kBuild = fs::path(KANTOR_CLI_PATH).parent_path().parent_path();
const fs::path kSource = fs::path(KANTOR_SOURCE_DIR);

struct Run {
    bool ok = false;
    double seconds = 0;     // wall clock
    double cpuSeconds = 0;  // user + system, which the load of other programs does not inflate
    long maxRssKb = 0;
};

// Runs a program with its output thrown away; folders of its own through the environment.
Run runProcess(const std::vector<std::string>& argv, const fs::path& home) {
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = fork();
    if (pid == 0) {
        int null = ::open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        ::setenv("KANTOR_DATA_DIR", (home / "data").c_str(), 1);
        ::setenv("KANTOR_CONFIG_DIR", (home / "config").c_str(), 1);
        ::setenv("KANTOR_DOCUMENTS_DIR", (home / "documents").c_str(), 1);
        ::setenv("KANTOR_BUILTIN_DIR", kBuild.c_str(), 1);
        execv(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    struct rusage usage {};
    wait4(pid, &status, 0, &usage);
    Run r;
    r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    r.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    r.maxRssKb = usage.ru_maxrss;
    r.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                   static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    return r;
}

fs::path scratch(const std::string& name) {
    const fs::path dir = fs::temp_directory_path() / ("kantor-bench-" + name);
    fs::create_directories(dir);
    return dir;
}

void BM_RenderDemoWholeProcess(benchmark::State& state) {
    const fs::path song = kBuild / "sample" / "DEMOS20.uta";
    if (!fs::exists(song) || !fs::exists(kBuild / "voices" / "MaleVox.vxb")) {
        state.SkipWithError("needs build/sample/DEMOS20.uta and build/voices (a release build)");
        return;
    }
    const fs::path home = scratch("demo");
    const std::string wav = (home / "demo.wav").string();
    runProcess({KANTOR_CLI_PATH, "render", song.string(), "-o", wav}, home);  // the first start installs
    double best = 1e9, bestCpu = 1e9;
    for (auto _ : state) {
        Run r = runProcess({KANTOR_CLI_PATH, "render", song.string(), "-o", wav}, home);
        if (!r.ok) state.SkipWithError("render failed");
        best = std::min(best, r.seconds);
        bestCpu = std::min(bestCpu, r.cpuSeconds);
        state.SetIterationTime(r.seconds);
    }
    WavReader reader;
    WaveFormatTriple f;
    uint32_t size = 0;
    if (reader.readFormat(wav, f) && reader.readDataSize(wav, size) && f.samplesPerSec) {
        const double seconds = size / 2.0 / f.samplesPerSec;
        state.counters["songSeconds"] = seconds;
        state.counters["timesRealTime"] = seconds / best;
        state.counters["timesRealTimeCpu"] = seconds / bestCpu;
    }
}
BENCHMARK(BM_RenderDemoWholeProcess)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_InfoBuiltinVoiceWholeProcess(benchmark::State& state) {
    const fs::path voice = kBuild / "voices" / "MaleVox.vxb";
    if (!fs::exists(voice)) {
        state.SkipWithError("needs build/voices/MaleVox.vxb");
        return;
    }
    const fs::path home = scratch("voice");
    long rss = 0;
    double best = 1e9;
    for (auto _ : state) {
        Run r = runProcess({KANTOR_CLI_PATH, "info", voice.string()}, home);
        if (!r.ok) state.SkipWithError("info failed");
        rss = std::max(rss, r.maxRssKb);
        best = std::min(best, r.seconds);
        state.SetIterationTime(r.seconds);
    }
    state.counters["bestMs"] = best * 1000;
    state.counters["peakMB"] = rss / 1024.0;
    state.counters["voiceMB"] = static_cast<double>(fs::file_size(voice)) / 1048576.0;
}
BENCHMARK(BM_InfoBuiltinVoiceWholeProcess)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

// About 400 KB of music over 16 channel tracks and a conductor track.
std::vector<uint8_t> midiOf400KB() {
    std::mt19937 rng(42);
    std::vector<SmfTrack> tracks(17, SmfTrack(true));
    tracks[0].timeSignature(0, 4, 2);
    const std::size_t notesPerTrack = (400u << 10) / 16 / 8;
    for (int ch = 0; ch < 16; ++ch) {
        SmfTrack& t = tracks[static_cast<std::size_t>(ch + 1)];
        t.programChange(0, ch, ch * 5);
        uint32_t tick = 0;
        for (std::size_t i = 0; i < notesPerTrack; ++i) {
            const uint32_t len = 30 + rng() % 200;
            t.note(tick, tick + len, ch, 36 + static_cast<int>(rng() % 60), 64 + static_cast<int>(rng() % 60));
            if (i % 50 == 0) t.controlChange(tick, ch, 7, static_cast<int>(rng() % 128));
            tick += len + rng() % 40;
        }
    }
    for (uint32_t tick = 0; tick < notesPerTrack * 140; tick += 7680) tracks[0].tempo(tick, 400000 + tick % 200000);
    return buildSmf(1, 480, tracks);
}

void BM_InfoMidi400KBAgainstPython(benchmark::State& state) {
    const fs::path home = scratch("midi");
    const fs::path midi = home / "song.mid";
    const std::vector<uint8_t> smf = midiOf400KB();
    std::ofstream(midi, std::ios::binary).write(reinterpret_cast<const char*>(smf.data()),
                                                static_cast<std::streamsize>(smf.size()));
    const bool haveMido = std::system("/usr/bin/python3 -c 'import mido' >/dev/null 2>&1") == 0;
    const std::string python = haveMido ? "import sys, mido; mido.MidiFile(sys.argv[1])"
                                        : "";
    double ours = 1e9, theirs = 1e9, oursCpu = 1e9, theirsCpu = 1e9;
    for (auto _ : state) {
        Run r = runProcess({KANTOR_CLI_PATH, "info", midi.string()}, home);
        if (!r.ok) state.SkipWithError("info failed");
        ours = std::min(ours, r.seconds);
        oursCpu = std::min(oursCpu, r.cpuSeconds);
        state.SetIterationTime(r.seconds);
    }
    for (int i = 0; i < 5; ++i) {
        Run p = haveMido ? runProcess({"/usr/bin/python3", "-c", python, midi.string()}, home)
                         : runProcess({"/usr/bin/python3", (kSource / "bench" / "smf_parse.py").string(), midi.string()},
                                      home);
        if (!p.ok) state.SkipWithError("python failed");
        theirs = std::min(theirs, p.seconds);
        theirsCpu = std::min(theirsCpu, p.cpuSeconds);
    }
    state.counters["fileKB"] = smf.size() / 1024.0;
    state.counters["pythonMs"] = theirs * 1000;
    state.counters["mido"] = haveMido ? 1 : 0;
    state.counters["timesFaster"] = theirs / ours;
    state.counters["timesFasterCpu"] = theirsCpu / std::max(oursCpu, 1e-4);
}
BENCHMARK(BM_InfoMidi400KBAgainstPython)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_Render100000NotesPeakMemory(benchmark::State& state) {
    const fs::path home = scratch("long");
    const fs::path voices = home / "data" / "VXB";
    fs::create_directories(voices);
    const char* codes[] = {"A", "I", "U", "E", "O", "KA", "SA", "TA", "NA", "HA", "MA", "RA"};
    std::vector<test::SyntheticSyllable> syl;
    for (const char* c : codes)
        for (uint32_t p : {57u, 64u, 71u}) syl.push_back({c, "", p});
    test::writeSyntheticVoice(voices.string(), "BenchVox", syl);
    // 100,000 eighth notes at 120 beats a minute, a phrase of eight then a rest of a beat:
    // about 3.8 hours of song.
    SmfTrack t;
    t.tempo(0, 500000);
    const int melody[] = {60, 62, 64, 65, 67, 65, 64, 62};
    uint32_t tick = 0;
    for (uint32_t i = 0; i < 100000; ++i) {
        t.note(tick, tick + 220, 0, melody[i % 8], 100);
        tick += 240 + (i % 8 == 7 ? 480 : 0);
    }
    const std::vector<uint8_t> smf = buildSmf(0, 480, {t});
    std::ofstream(home / "long.mid", std::ios::binary)
        .write(reinterpret_cast<const char*>(smf.data()), static_cast<std::streamsize>(smf.size()));
    {
        std::ofstream lyrics(home / "lyrics.txt");
        for (int i = 0; i < 100000; ++i) lyrics << codes[i % 12] << ((i % 8 == 7) ? "\n" : " ");
    }
    const std::string song = (home / "long.uta").string(), wav = (home / "long.wav").string();
    Run made = runProcess({KANTOR_CLI_PATH, "new", (home / "long.mid").string(), "-o", song, "--vox", "1",
                           "--lyrics", (home / "lyrics.txt").string(), "--voice", "BenchVox"},
                          home);
    if (!made.ok) {
        state.SkipWithError("new failed");
        return;
    }
    long rss = 0;
    for (auto _ : state) {
        Run r = runProcess({KANTOR_CLI_PATH, "render", song, "-o", wav}, home);
        state.counters["cpuSeconds"] = r.cpuSeconds;
        if (!r.ok) state.SkipWithError("render failed");
        rss = std::max(rss, r.maxRssKb);
        state.SetIterationTime(r.seconds);
    }
    state.counters["peakMB"] = rss / 1024.0;
    state.counters["wavMB"] = static_cast<double>(fs::file_size(wav)) / 1048576.0;
    fs::remove(wav);
}
BENCHMARK(BM_Render100000NotesPeakMemory)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
}  // namespace kantor
