// A MusicXML score of 2,000 sung notes made into a song by `kantor-cli import`, each run its
// own process (start, reading the voice, parsing, the MIDI file and the song written):
// wall time and CPU time. The target is 150 ms for the whole process. Run:
// build/bench/bench_import
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "../tests/support/SyntheticVoice.h"

namespace kantor {
namespace {

namespace fs = std::filesystem;

struct Run {
    bool ok = false;
    double seconds = 0, cpuSeconds = 0;
};

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
        execv(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    struct rusage usage {};
    wait4(pid, &status, 0, &usage);
    Run r;
    r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    r.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    r.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                   static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    return r;
}

// 500 measures of four quarter notes with a lyric each, ties, chords, rests and repeats among them.
std::string bigScore() {
    const char* kana[] = {"さ", "く", "ら", "あ"};
    const char* steps[] = {"C", "D", "E", "F", "G", "A", "B"};
    std::string s = R"(<?xml version="1.0" encoding="UTF-8"?>
<score-partwise version="3.1"><part-list><score-part id="P1"><part-name>Voice</part-name></score-part></part-list><part id="P1">)";
    int n = 0;
    for (int m = 1; m <= 500; ++m) {
        s += "<measure number=\"" + std::to_string(m) + "\">";
        if (m == 1)
            s += "<attributes><divisions>4</divisions><time><beats>4</beats><beat-type>4</beat-type></time></attributes>"
                 "<direction><sound tempo=\"120\"/></direction>";
        for (int b = 0; b < 4; ++b, ++n) {
            s += "<note><pitch><step>" + std::string(steps[n % 7]) + "</step><octave>4</octave></pitch><duration>4</duration>"
                 "<voice>1</voice><type>quarter</type><lyric number=\"1\"><syllabic>single</syllabic><text>" +
                 kana[n % 4] + "</text></lyric></note>";
            if (b == 2)
                s += "<note><chord/><pitch><step>C</step><octave>4</octave></pitch><duration>4</duration><voice>1</voice>"
                     "<type>quarter</type></note>";
        }
        s += "</measure>";
    }
    return s + "</part></score-partwise>";
}

void BM_ImportScoreWholeProcess(benchmark::State& state) {
    const fs::path home = fs::temp_directory_path() / "kantor-bench-import";
    fs::remove_all(home);
    fs::create_directories(home / "voices");
    test::writeSyntheticVoice((home / "voices").string(), "BenchVox",
                              {{"SA", "さ", 64}, {"KU", "く", 64}, {"RA", "ら", 64}, {"A", "あ", 64}});
    const fs::path score = home / "big.musicxml";
    std::ofstream(score) << bigScore();
    const std::string song = (home / "big.uta").string();
    const std::vector<std::string> argv{KANTOR_CLI_PATH, "import", score.string(), "-o", song,
                                        "--voice", "BenchVox", "--voice-dir", (home / "voices").string()};
    double cpu = 0;
    int runs = 0;
    for (auto _ : state) {
        const Run r = runProcess(argv, home);
        if (!r.ok) {
            state.SkipWithError("kantor-cli import failed");
            return;
        }
        state.SetIterationTime(r.seconds);
        cpu += r.cpuSeconds;
        ++runs;
    }
    state.counters["cpu_ms"] = runs ? 1000 * cpu / runs : 0;
    state.counters["notes"] = 2000;
}
BENCHMARK(BM_ImportScoreWholeProcess)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace
}  // namespace kantor
