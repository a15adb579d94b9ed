// Makes the two built-in voices: kantor-make-voices OUT_FOLDER [--wav] [--rows FIRST-LAST]
// Every syllable of the table is spoken by a Festival diphone voice at a flat pitch,
// then held at exactly its note's frequency and a steady level (tools/voicegen/), and
// the samples go into a voice data project (OUT_FOLDER/voicegen/<voice>/<voice>.vxbprj)
// that the voice data maker marks and builds into OUT_FOLDER/MaleVox.vxb and
// OUT_FOLDER/FemaleVox.vxb. --wav also writes each sample as a WAV file with a manifest,
// under OUT_FOLDER/voicegen/<voice>/. --rows limits the syllable table rows (for trials).
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "voice/SyllableTable.h"
#include "voicegen/VoiceRecipe.h"

using namespace kantor;
using namespace kantor::voicegen;

int main(int argc, char** argv) {
    std::string folder;
    bool wav = false;
    int firstRow = 0, lastRow = static_cast<int>(kSyllableCount) - 1;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--wav") {
            wav = true;
        } else if (arg == "--rows" && i + 1 < argc) {
            if (std::sscanf(argv[++i], "%d-%d", &firstRow, &lastRow) != 2) firstRow = -1;
        } else if (folder.empty() && !arg.empty() && arg[0] != '-') {
            folder = arg;
        } else {
            folder.clear();
            break;
        }
    }
    if (folder.empty() || firstRow < 0 || lastRow < firstRow || lastRow >= static_cast<int>(kSyllableCount)) {
        std::fprintf(stderr, "usage: kantor-make-voices OUT_FOLDER [--wav] [--rows FIRST-LAST]\n");
        return 2;
    }
    const auto started = std::chrono::steady_clock::now();
    const std::vector<VoiceRecipe> recipes = builtinVoices();
    std::vector<VoiceReport> reports(recipes.size());
    std::vector<std::thread> workers;
    for (std::size_t v = 0; v < recipes.size(); ++v) {
        workers.emplace_back([&, v] {
            reports[v] = makeVoice(recipes[v], folder, firstRow, lastRow, wav);
        });
    }
    for (std::thread& t : workers) t.join();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    bool ok = true;
    for (const VoiceReport& r : reports) {
        if (!r.ok) {
            std::fprintf(stderr, "%s: %s\n", r.name.c_str(), r.error.c_str());
            ok = false;
            continue;
        }
        std::printf("%s: %d samples, %s\n", r.name.c_str(), r.samples, r.path.c_str());
        for (const std::string& n : r.notes) std::printf("  %s\n", n.c_str());
        std::printf("  loop C-D: worst F0 deviation %.2f cents (%s), level within +-%.2f dB (%s), "
                    "lead-in A-B at most %.0f ms\n",
                    r.worstCents, r.worstCentsAt.c_str(), r.worstLevelDb, r.worstLevelAt.c_str(), r.longestLeadMs);
    }
    std::printf("generated in %.1f s\n", seconds);
    return ok ? 0 : 1;
}
