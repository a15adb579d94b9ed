#pragma once
// Runs a kantor-cli command line in the test process and keeps what it printed; and the
// folders such runs share: scratch user folders, a voice folder with a synthetic voice and
// a configuration folder, both passed to every command by common().
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "support/ScratchFolders.h"
#include "support/SyntheticVoice.h"
#include "support/TempDir.h"

namespace kantor::test {

struct CliResult {
    int status;
    std::string out, err;
};

inline CliResult runCli(const cli::Args& args) {
    std::ostringstream out, err;
    int status = cli::run(args, out, err);
    return {status, out.str(), err.str()};
}

// The test's own folders for kantor-cli, with the synthetic voice "TestVox" of the given
// samples in the voice folder.
struct CliFolders {
    explicit CliFolders(const std::vector<SyntheticSyllable>& samples)
        : voiceDir(dir.file("voices")), configDir(dir.file("config")) {
        std::filesystem::create_directories(voiceDir);
        std::filesystem::create_directories(configDir);
        writeSyntheticVoice(voiceDir, "TestVox", samples);
    }
    // The command line with the test's folders.
    cli::Args common(cli::Args a) const {
        a.insert(a.end(), {"--voice-dir", voiceDir, "--config-dir", configDir});
        return a;
    }

    ScratchFolders scratch;
    TempDir dir;
    std::string voiceDir, configDir;
};

}  // namespace kantor::test
