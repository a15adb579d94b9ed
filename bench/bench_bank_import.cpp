// Importing a voice bank in the oto.ini form with `kantor-cli voice import-bank`: a bank of
// 1,024 oto.ini lines over 128 WAV files, 314 MB in all (four pitch folders; VCV strings
// of eight syllables per file, 16-bit stereo at 44,100 Hz, and one folder at
// 48,000 Hz so that the rate conversion is in the measure). Reports the wall time and the
// peak memory (largest resident set) of the command. Target: well under 30 s, under 500 MB.
// BM_ImportFlatBank: a bank as many are recorded, 200 two-second WAV files (16-bit mono at
// 44,100 Hz, 35 MB: no conversion needed) with one line each and no pitch named, so every
// pitch is measured. Its floor is reading the same audio (`sox FILE -t raw /dev/null` for
// each file); the target is no more than three times that in wall time on two cores.
// Run: build/bench/bench_bank_import   (the bank is made once in $TMPDIR/kantor-bench-bank)
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>

#include "../tests/import/TestBank.h"

namespace kantor {
namespace {

namespace fs = std::filesystem;

constexpr int kFolders = 4;
constexpr int kFilesPerFolder = 32;
constexpr int kLinesPerFile = 8;
constexpr double kSyllableMs = 1700;  // 50 ms silence, 100 ms consonant, 1,550 ms vowel

const char* const kKana[] = {"か", "さ", "た", "な", "は", "ま", "や", "ら", "わ", "が", "ざ", "だ", "ば", "ぱ",
                             "き", "し", "ち", "に", "ひ", "み", "り", "ぎ", "じ", "び", "ぴ", "く", "す", "つ",
                             "ぬ", "ふ", "む", "ゆ", "る", "ぐ", "ず", "ぶ", "ぷ", "け", "せ", "て", "ね", "へ",
                             "め", "れ", "げ", "ぜ", "で", "べ", "ぺ", "こ", "そ", "と", "の", "ほ", "も", "よ",
                             "ろ", "ご", "ぞ", "ど", "ぼ", "ぽ", "きゃ", "しゃ", "ちゃ", "にゃ", "ひゃ", "みゃ",
                             "りゃ", "ぎゃ", "じゃ", "びゃ", "ぴゃ", "あ", "い", "う", "え", "お"};
constexpr int kKanaCount = int(sizeof kKana / sizeof kKana[0]);

uint64_t makeBank(const fs::path& root) {
    const int notes[kFolders] = {60, 72, 79, 84};  // C3, C4, G4, C5
    uint64_t bytes = 0;
    for (int f = 0; f < kFolders; ++f) {
        const std::string name = test::usualNoteName(notes[f]);
        const bool hiRate = f == 3;
        const int rate = hiRate ? 48000 : 44100;
        std::string oto;
        const std::vector<float> one = test::syllableSound(test::noteHz(notes[f]), rate, 50, 100, kSyllableMs - 150);
        for (int file = 0; file < kFilesPerFolder; ++file) {
            std::vector<float> x;
            for (int k = 0; k < kLinesPerFile; ++k) x.insert(x.end(), one.begin(), one.end());
            const std::string wav = "_" + std::to_string(file) + ".wav";
            std::vector<uint8_t> b = test::wavBytes(x, rate, 2, test::WavKind::Pcm16);
            bytes += b.size();
            test::writeFile(root / name / wav, b);
            for (int k = 0; k < kLinesPerFile; ++k) {
                const int s = (file * kLinesPerFile + k) % kKanaCount;
                const double at = k * kSyllableMs;
                // The first syllable of a string is a head entry, the others follow a vowel.
                const std::string alias = (k == 0 ? std::string("- ") : std::string("a ")) + kKana[s] + name;
                oto += wav + "=" + alias + "," + std::to_string(at + 30) + ",180,-900,120,40\r\n";
            }
        }
        test::writeText(root / name / "oto.ini", oto, true);
    }
    test::writeText(root / "character.txt", "name=ベンチ\r\n", true);
    return bytes;
}

uint64_t makeFlatBank(const fs::path& root) {
    const int notes[3] = {60, 67, 72};
    uint64_t bytes = 0;
    std::string oto;
    for (int i = 0; i < 200; ++i) {
        const int note = notes[i / kKanaCount];
        const std::vector<float> x = test::syllableSound(test::noteHz(note), 44100, 50, 100, 1850);
        const std::string wav = std::string(kKana[i % kKanaCount]) + std::to_string(i / kKanaCount) + ".wav";
        std::vector<uint8_t> b = test::wavBytes(x, 44100, 1, test::WavKind::Pcm16);
        bytes += b.size();
        test::writeFile(root / wav, b);
        oto += wav + "=" + kKana[i % kKanaCount] + ",30,150,-1800,120,40\r\n";
    }
    test::writeText(root / "oto.ini", oto, true);
    return bytes;
}

void runImport(benchmark::State& state, const char* name, uint64_t (*make)(const fs::path&), int lines) {
    const fs::path dir = fs::temp_directory_path() / name;
    const fs::path bank = dir / "bank", voices = dir / "voices";
    std::error_code ec;
    fs::remove_all(dir, ec);
    const uint64_t wavBytes = make(bank);
    fs::create_directories(voices);
    long maxRssKb = 0;
    double seconds = 0, cpu = 0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        pid_t pid = fork();
        if (pid == 0) {
            int null = ::open("/dev/null", O_WRONLY);
            dup2(null, 1);
            execl(KANTOR_CLI_PATH, "kantor-cli", "voice", "import-bank", bank.c_str(), "--voice-dir", voices.c_str(),
                  static_cast<char*>(nullptr));
            _exit(127);
        }
        int status = 0;
        struct rusage usage {};
        wait4(pid, &status, 0, &usage);
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        state.SetIterationTime(seconds);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("kantor-cli voice import-bank failed");
            break;
        }
        maxRssKb = std::max(maxRssKb, usage.ru_maxrss);
        cpu = double(usage.ru_utime.tv_sec) + double(usage.ru_utime.tv_usec) / 1e6 + double(usage.ru_stime.tv_sec) +
              double(usage.ru_stime.tv_usec) / 1e6;
        for (auto& e : fs::directory_iterator(voices)) fs::remove(e.path(), ec);
    }
    state.counters["wav_MB"] = double(wavBytes) / 1e6;
    state.counters["lines"] = lines;
    state.counters["peak_MB"] = double(maxRssKb) / 1024.0;
    state.counters["seconds"] = seconds;
    state.counters["cpu_seconds"] = cpu;
    // KANTOR_BENCH_KEEP_BANK=1 keeps the bank for running the command by hand.
    if (!std::getenv("KANTOR_BENCH_KEEP_BANK")) fs::remove_all(dir, ec);
}
void BM_ImportBank(benchmark::State& state) {
    runImport(state, "kantor-bench-bank", makeBank, kFolders * kFilesPerFolder * kLinesPerFile);
}
BENCHMARK(BM_ImportBank)->Unit(benchmark::kSecond)->UseManualTime()->Iterations(1);

void BM_ImportFlatBank(benchmark::State& state) { runImport(state, "kantor-bench-flat-bank", makeFlatBank, 200); }
BENCHMARK(BM_ImportFlatBank)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);

}  // namespace
}  // namespace kantor
