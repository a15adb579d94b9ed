// The built-in data on a first start: the voices are read where they were installed, never
// copied; the demo song is put into the sample folder, and a folder without room for it is
// told with the reason rather than nothing said.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "platform/BuiltinData.h"
#include "platform/Folders.h"

namespace kantor {
namespace {

namespace fs = std::filesystem;

// Files may grow to `bytes` at most while it lives (writes past it fail with EFBIG).
struct FileSizeLimit {
    rlimit old{};
    void (*oldHandler)(int) = nullptr;
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &old);
        oldHandler = ::signal(SIGXFSZ, SIG_IGN);
        rlimit small = old;
        small.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &small);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &old);
        ::signal(SIGXFSZ, oldHandler);
    }
};

TEST(BuiltinData, AFolderWithoutRoomForTheDemoSaysSoAndTheVoicesAreNeverCopied) {
    // The built data on another file system than the user's folders, so that a copy is made.
    if (!fs::is_directory("/dev/shm")) GTEST_SKIP() << "no /dev/shm";
    std::string pattern = "/dev/shm/kantor-built-XXXXXX";
    const std::string built = ::mkdtemp(pattern.data());
    std::string homePattern = fs::temp_directory_path().string() + "/kantor-home-XXXXXX";
    const std::string home = ::mkdtemp(homePattern.data());
    fs::create_directories(built + "/voices");
    fs::create_directories(built + "/sample");
    for (const char* v : kBuiltinVoiceNames)
        std::ofstream(built + "/voices/" + v + ".vxb") << std::string(64 * 1024, 'v');
    for (const char* f : kDemoSongFiles) std::ofstream(built + "/sample/" + f) << std::string(64 * 1024, 's');
    std::map<std::string, std::string> vars{{"HOME", home}};
    Folders folders = Folders::fromEnvironment([&](const std::string& n) -> std::optional<std::string> {
        auto it = vars.find(n);
        return it == vars.end() ? std::nullopt : std::optional<std::string>(it->second);
    });
    ASSERT_TRUE(folders.createFolders());
    ::setenv("KANTOR_BUILTIN_DIR", built.c_str(), 1);
    std::vector<std::string> missing, failed;
    {
        FileSizeLimit full(4096);
        installBuiltinData(folders, &missing, &failed);
    }
    EXPECT_GE(failed.size(), 2u);
    ASSERT_FALSE(failed.empty());
    EXPECT_TRUE(failed[0].starts_with("DEMOS20.mid: ")) << failed[0];
    EXPECT_GT(failed[0].size(), std::string("DEMOS20.mid: ").size());
    EXPECT_FALSE(fs::exists(folders.sampleFolder() + "DEMOS20.mid"));
    // With room, the next start puts them in place and has nothing to say about them.
    failed.clear();
    const std::vector<std::string> placed = installBuiltinData(folders, nullptr, &failed);
    EXPECT_TRUE(failed.empty()) << failed[0];
    EXPECT_TRUE(fs::exists(folders.sampleFolder() + "DEMOS20.uta"));
    // The voices are found where they lie, and the user's voice folder holds no copy.
    const std::vector<std::string> voices = builtinVoiceFolders(folders);
    ASSERT_FALSE(voices.empty());
    EXPECT_EQ(voices[0], built + "/voices");
    EXPECT_FALSE(fs::exists(folders.voiceFolder() + "FemaleVox.vxb"));
    ::unsetenv("KANTOR_BUILTIN_DIR");
    fs::remove_all(built);
    fs::remove_all(home);
}

TEST(BuiltinData, TheVoicesMadeAtInstallTimeLieUnderThePrefix) {
    EXPECT_EQ(installedVoiceFolder("/usr/bin/"), "/var/lib/kantor/voices");
    EXPECT_EQ(installedVoiceFolder("/usr/bin"), "/var/lib/kantor/voices");
    EXPECT_EQ(installedVoiceFolder("/opt/kantor/bin/"), "/opt/kantor/var/lib/kantor/voices");
}

}  // namespace
}  // namespace kantor
