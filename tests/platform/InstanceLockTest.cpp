// The single-instance lock file.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "platform/InstanceLock.h"
#include "settings/StartupTexts.h"

namespace kantor {
namespace {

struct TempDir {
    std::string path;
    TempDir() {
        std::string pattern = std::filesystem::temp_directory_path().string() + "/kantor-run-XXXXXX";
        path = mkdtemp(pattern.data());
    }
    ~TempDir() { std::filesystem::remove_all(path); }
};

TEST(InstanceLock, SecondInstanceIsRefusedUntilTheFirstEnds) {
    TempDir dir;
    const std::string folder = dir.path + "/run";  // created on demand
    InstanceLock first;
    ASSERT_EQ(first.acquire(folder), InstanceLock::Result::Acquired) << first.lastError();
    EXPECT_TRUE(first.held());
    EXPECT_EQ(first.path(), folder + "/My_Kantorellion_hPrevInstance");
    struct stat st {};
    ASSERT_EQ(::stat(folder.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    {
        InstanceLock second;
        EXPECT_EQ(second.acquire(folder), InstanceLock::Result::AlreadyRunning);
        EXPECT_EQ(second.lastError(), text::kAlreadyRunning);
        EXPECT_FALSE(second.held());
    }
    // Another process sees the lock too.
    pid_t child = ::fork();
    if (child == 0) {
        InstanceLock other;
        ::_exit(other.acquire(folder) == InstanceLock::Result::AlreadyRunning ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    first.release();
    InstanceLock third;
    EXPECT_EQ(third.acquire(folder), InstanceLock::Result::Acquired);
}

TEST(InstanceLock, RefusesAFolderOthersCanWrite) {
    TempDir dir;
    const std::string folder = dir.path + "/open";
    ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
    ASSERT_EQ(::chmod(folder.c_str(), 0777), 0);
    InstanceLock lock;
    EXPECT_EQ(lock.acquire(folder), InstanceLock::Result::Failed);
    EXPECT_FALSE(lock.lastError().empty());
    std::filesystem::create_symlink(dir.path, dir.path + "/link");
    EXPECT_EQ(lock.acquire(dir.path + "/link"), InstanceLock::Result::Failed);
}

TEST(InstanceLock, RuntimeFolderFromTheEnvironment) {
    const char* saved = std::getenv("XDG_RUNTIME_DIR");
    std::string keep = saved ? saved : "";
    ::setenv("XDG_RUNTIME_DIR", "/run/user/4242", 1);
    EXPECT_EQ(InstanceLock::runtimeFolder(), "/run/user/4242");
    ::unsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(InstanceLock::runtimeFolder(), "/tmp/kantor-" + std::to_string(::getuid()));
    if (saved) ::setenv("XDG_RUNTIME_DIR", keep.c_str(), 1);
}

}  // namespace
}  // namespace kantor
