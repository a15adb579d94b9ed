// Projects of other singing editors of 2,000 sung notes (.ust in cp932 with VCV lyrics, and
// .ustx as the editor writes it, pitch and vibrato with every note) made into a song by
// `kantor-cli import`, each run its own process: wall time and CPU time. The target is 150 ms
// for the whole process. Run: build/bench/bench_project_import
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "../tests/support/SyntheticVoice.h"
#include "base/Codepage.h"

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

const char* const kKana[] = {"さ", "く", "ら", "あ"};

std::string bigUst() {
    std::string s = "[#VERSION]\r\nUST Version1.2\r\n[#SETTING]\r\nTempo=120.00\r\nTracks=1\r\nMode2=True\r\n";
    for (int n = 0; n < 2000; ++n) {
        char id[16];
        std::snprintf(id, sizeof id, "[#%04d]", n);
        s += std::string(id) + "\r\nLength=480\r\nLyric=a " + kKana[n % 4] + "\r\nNoteNum=" + std::to_string(60 + n % 12) +
             "\r\nPreUtterance=\r\nIntensity=100\r\nModulation=0\r\nPBS=-40;0\r\nPBW=80\r\n"
             "Envelope=0,5,35,0,100,100,0\r\n";
        if (n % 100 == 99) s += "Tempo=" + std::to_string(100 + n / 100) + ".00\r\n";
    }
    return utf8ToCp932(s + "[#TRACKEND]\r\n");
}

std::string bigUstx() {
    std::string s = "name: bench\nustx_version: 0.6\nresolution: 480\nbpm: 120\ntempos:\n- position: 0\n  bpm: 120\n"
                    "tracks:\n- track_name: Voice\nvoice_parts:\n- name: Part\n  track_no: 0\n  position: 0\n  notes:\n";
    for (int n = 0; n < 2000; ++n)
        s += "  - position: " + std::to_string(480 * n) + "\n    duration: 480\n    tone: " + std::to_string(60 + n % 12) +
             "\n    lyric: " + kKana[n % 4] +
             "\n    pitch:\n      data:\n      - {x: -25, y: 0, shape: io}\n      - {x: 25, y: 0, shape: io}\n"
             "      snap_first: true\n    vibrato: {length: 0, period: 175, depth: 25, in: 10, out: 10, shift: 0, "
             "drift: 0, vol_link: 0}\n    note_expressions: []\n    phoneme_expressions: []\n"
             "    phoneme_overrides: []\n";
    return s + "  curves: []\nwave_parts: []\n";
}

void importWholeProcess(benchmark::State& state, const char* name, const std::string& text) {
    const fs::path home = fs::temp_directory_path() / "kantor-bench-project-import";
    fs::remove_all(home);
    fs::create_directories(home / "voices");
    test::writeSyntheticVoice((home / "voices").string(), "BenchVox",
                              {{"SA", "さ", 64}, {"KU", "く", 64}, {"RA", "ら", 64}, {"A", "あ", 64}});
    const fs::path project = home / name;
    std::ofstream(project, std::ios::binary) << text;
    const std::string song = (home / "big.uta").string();
    const std::vector<std::string> argv{KANTOR_CLI_PATH, "import", project.string(), "-o", song,
                                        "--voice", "BenchVox", "--voice-dir", (home / "voices").string()};
    double cpu = 0;
    int runs = 0;
    for (auto _ : state) {
        fs::remove(song);
        fs::remove(home / "big.mid");
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

void BM_ImportUstWholeProcess(benchmark::State& state) { importWholeProcess(state, "big.ust", bigUst()); }
void BM_ImportUstxWholeProcess(benchmark::State& state) { importWholeProcess(state, "big.ustx", bigUstx()); }
BENCHMARK(BM_ImportUstWholeProcess)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_ImportUstxWholeProcess)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace
}  // namespace kantor
