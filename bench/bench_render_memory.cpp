// Peak memory of `kantor-cli render` for a 3-minute song of 400 syllables, against the
// target of three times the voice file plus the output file.
// Run: build/bench/bench_render_memory
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "../tests/support/SyntheticVoice.h"
#include "cli/Commands.h"
#include "midi/SmfWriter.h"

namespace kantor {
namespace {

void BM_RenderCommandPeakMemory(benchmark::State& state) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / "kantor-bench-memory";
    fs::create_directories(dir / "voices");
    fs::create_directories(dir / "config");
    const char* codes[] = {"A", "I", "U", "E", "O", "KA", "SA", "TA", "NA", "HA", "MA", "RA"};
    std::vector<test::SyntheticSyllable> syl;
    for (const char* c : codes)
        for (uint32_t p : {57u, 64u, 71u}) syl.push_back({c, "", p});
    const std::string voice = test::writeSyntheticVoice((dir / "voices").string(), "BenchVox", syl);

    SmfTrack t;
    t.tempo(0, 500000);
    const int melody[] = {60, 62, 64, 65, 67, 65, 64, 62};
    for (uint32_t i = 0; i < 400; ++i) t.note(i * 432, i * 432 + 400, 0, melody[i % 8], 100);
    std::vector<uint8_t> smf = buildSmf(0, 480, {t});
    std::ofstream((dir / "bench.mid").string(), std::ios::binary).write(reinterpret_cast<const char*>(smf.data()), static_cast<std::streamsize>(smf.size()));
    std::ofstream lyrics((dir / "lyrics.txt").string());
    for (int i = 0; i < 400; ++i) lyrics << codes[i % 12] << ((i % 8 == 7) ? "\n" : " ");
    lyrics.close();
    std::ostringstream out, err;
    const std::string voiceDir = (dir / "voices").string(), configDir = (dir / "config").string();
    const std::string song = (dir / "bench.uta").string(), wav = (dir / "bench.wav").string();
    if (cli::run({"new", (dir / "bench.mid").string(), "-o", song, "--vox", "1", "--lyrics",
                  (dir / "lyrics.txt").string(), "--voice", "BenchVox", "--voice-dir", voiceDir, "--config-dir",
                  configDir},
                 out, err) != 0) {
        state.SkipWithError(err.str().c_str());
        return;
    }
    long maxRssKb = 0;
    for (auto _ : state) {
        pid_t pid = fork();
        if (pid == 0) {
            int null = ::open("/dev/null", O_WRONLY);
            dup2(null, 1);
            execl(KANTOR_CLI_PATH, "kantor-cli", "render", song.c_str(), "-o", wav.c_str(), "--voice-dir",
                  voiceDir.c_str(), "--config-dir", configDir.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        int status = 0;
        struct rusage usage {};
        wait4(pid, &status, 0, &usage);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) state.SkipWithError("render failed");
        maxRssKb = std::max(maxRssKb, usage.ru_maxrss);
    }
    const double voiceMb = static_cast<double>(fs::file_size(voice)) / 1048576.0;
    const double wavMb = static_cast<double>(fs::file_size(wav)) / 1048576.0;
    state.counters["peakMB"] = static_cast<double>(maxRssKb) / 1024.0;
    state.counters["limitMB"] = 3 * (voiceMb + wavMb);
    state.counters["voiceMB"] = voiceMb;
    state.counters["wavMB"] = wavMb;
}
BENCHMARK(BM_RenderCommandPeakMemory)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace kantor
