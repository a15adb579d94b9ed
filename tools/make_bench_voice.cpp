// Writes a stand-in voice for measuring where the generated built-in voices are not there:
//   kantor-make-bench-voice OUT_FOLDER [NAME]   ->  OUT_FOLDER/NAME.vxb (NAME: MaleVox)
// Every syllable of the syllable table at three pitches, each a short noise burst and a second
// of harmonic vowel (the test voice's sound), so that any song plays and renders. Its sound is
// nothing like a voice; its samples are about as long as the built-in voices' ones.
#include <cstdio>
#include <string>

#include "../tests/support/SyntheticVoice.h"
#include "voice/SyllableTable.h"

using namespace kantor;

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: kantor-make-bench-voice OUT_FOLDER [NAME]\n");
        return 2;
    }
    const std::string name = argc > 2 ? argv[2] : "MaleVox";
    std::vector<test::SyntheticSyllable> syllables;
    for (const SyllableRow& row : syllableTable())
        for (uint32_t pitch : {57u, 64u, 71u}) syllables.push_back({std::string(row.code), std::string(row.kana), pitch});
    const std::string path = test::writeSyntheticVoice(argv[1], name, syllables);
    std::printf("%s: %zu samples\n", path.c_str(), syllables.size());
    return 0;
}
