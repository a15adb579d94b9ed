// A voice without context samples sings byte for byte as it did before voices could hold
// them: the demo song, sung by the built-in voice, hashed in both pitch modes against the
// hashes of the render made before context samples existed. Skipped when the build made no
// built-in voices or no demo song.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "base/FileIO.h"
#include "support/BuiltinVoiceFolder.h"
#include "support/CliRun.h"
#include "support/TempDir.h"
#include "voice/VoiceFile.h"

namespace kantor {
namespace {

namespace fs = std::filesystem;

uint64_t fnv1a(const std::vector<uint8_t>& bytes) {
    uint64_t h = 1469598103934665603ull;
    for (uint8_t b : bytes) h = (h ^ b) * 1099511628211ull;
    return h;
}

// A voice file without its context area: the header, the extension block and the counted
// records with their data, as a reader of plain voices sees it.
std::vector<uint8_t> plainPart(const std::vector<uint8_t>& bytes) {
    std::size_t at = kVoiceHeaderSize + (loadLE32(bytes.data() + 236) != 0 ? kVoiceExtensionSize : 0);
    const uint32_t count = loadLE32(bytes.data() + 232);
    for (uint32_t i = 0; i < count && at + kSampleRecordSize <= bytes.size(); ++i)
        at += kSampleRecordSize + loadLE32(bytes.data() + at + 28);
    return std::vector<uint8_t>(bytes.begin(), bytes.begin() + long(std::min(at, bytes.size())));
}

// The demo song the build made: <build>/sample/DEMOS20.uta, the build being a folder above
// kantor-cli.
std::string demoSong() {
    for (fs::path p = fs::path(KANTOR_CLI_PATH).parent_path(); !p.empty() && p != p.root_path(); p = p.parent_path()) {
        const fs::path song = p / "sample" / "DEMOS20.uta";
        if (fs::exists(song)) return song.string();
    }
    return {};
}

TEST(PlainVoices, TheDemoSingsByteForByteAsBeforeInBothPitchModes) {
    const std::string voices = test::builtinVoiceFolder(), song = demoSong();
    if (voices.empty() || !fs::exists(fs::path(voices) / "MaleVox.vxb") || song.empty())
        GTEST_SKIP() << "no built-in voices or demo song in this build";
    test::TempDir dir;
    // The built-in voices as plain voices (their plain part is what it was before).
    const std::string plainVoices = dir.file("voices");
    fs::create_directories(plainVoices);
    for (const char* name : {"MaleVox.vxb", "FemaleVox.vxb"}) {
        std::vector<uint8_t> bytes;
        ASSERT_EQ(readWholeFile((fs::path(voices) / name).string(), bytes), ReadStatus::Ok);
        ASSERT_GT(bytes.size(), kVoiceHeaderSize);
        ASSERT_TRUE(writeFileAtomically((fs::path(plainVoices) / name).string(), plainPart(bytes)));
    }
    // The renders of the build before context samples (the same voices and demo song).
    const std::vector<std::pair<const char*, uint64_t>> expected = {
        {"resample", 0x6d712b7a30867afeull},
        {"keep", 0x94b1d7a1b85a0115ull},
    };
    for (const auto& [mode, hash] : expected) {
        const std::string out = dir.file(std::string("demo-") + mode + ".wav");
        const test::CliResult r = test::runCli(
            {"render", song, "-o", out, "--formants", mode, "--quiet", "--voice-dir", plainVoices, "--config-dir", dir.path()});
        ASSERT_EQ(r.status, 0) << r.err;
        std::vector<uint8_t> bytes;
        ASSERT_EQ(readWholeFile(out, bytes), ReadStatus::Ok);
        char text[32];
        std::snprintf(text, sizeof text, "0x%016llx", static_cast<unsigned long long>(fnv1a(bytes)));
        EXPECT_EQ(fnv1a(bytes), hash) << mode << ": " << text;
    }
}

}  // namespace
}  // namespace kantor
