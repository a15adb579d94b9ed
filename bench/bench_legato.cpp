// Peak memory and wall time of `kantor-cli render` and `render --mix` on long songs, legato
// and with rests, and the vocal render on one worker against the machine's cores.
// Make the songs first, then name them:
//   build/tools/kantor-make-long-song /tmp 16; build/tools/kantor-make-long-song --legato /tmp 16
//   KANTOR_BENCH_SONGS="/tmp/LONG16.uta /tmp/LEGATO16.uta" build/bench/bench_legato
// Each song is a benchmark per command; the counters give the peak resident memory (MiB).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

namespace {

// Runs kantor-cli with `args`; its peak memory in KiB, or -1 when it failed.
long runCli(const std::vector<std::string>& args) {
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        std::vector<char*> argv{const_cast<char*>("kantor-cli")};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(KANTOR_CLI_PATH, argv.data());
        _exit(127);
    }
    int status = 0;
    struct rusage usage {};
    wait4(pid, &status, 0, &usage);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
    return usage.ru_maxrss;
}

void BM_Command(benchmark::State& state, std::string song, std::vector<std::string> extra) {
    const std::string out = (std::filesystem::temp_directory_path() / "kantor-bench-legato.wav").string();
    std::vector<std::string> args{"render", song, "-o", out, "-q"};
    args.insert(args.end(), extra.begin(), extra.end());
    long peak = 0;
    for (auto _ : state) {
        const long kb = runCli(args);
        if (kb < 0) {
            state.SkipWithError("kantor-cli failed");
            break;
        }
        peak = std::max(peak, kb);
    }
    std::filesystem::remove(out);
    state.counters["peakMiB"] = static_cast<double>(peak) / 1024.0;
}

const bool registered = [] {
    const char* songs = std::getenv("KANTOR_BENCH_SONGS");
    std::istringstream in(songs ? songs : "");
    std::string song;
    while (in >> song) {
        const std::string name = std::filesystem::path(song).stem().string();
        benchmark::RegisterBenchmark(("render/" + name).c_str(), BM_Command, song, std::vector<std::string>{})
            ->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
        benchmark::RegisterBenchmark(("render-jobs1/" + name).c_str(), BM_Command, song,
                                     std::vector<std::string>{"--jobs", "1"})
            ->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
        benchmark::RegisterBenchmark(("mix/" + name).c_str(), BM_Command, song, std::vector<std::string>{"--mix"})
            ->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
    }
    return true;
}();

}  // namespace
