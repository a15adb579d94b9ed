// The lock beside a file that programs changing it take in turn, and the stamp that tells
// whether a file on disk is still the one that was read.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "base/FileIO.h"
#include "base/FileLock.h"
#include "support/TempDir.h"

namespace kantor {
namespace {

using namespace std::chrono_literals;

TEST(FileLock, OneHolderAtATimeAcrossProcessesAndNames) {
    test::TempDir dir;
    const std::string song = dir.file("song.uta");
    std::ofstream(song) << "x";
    std::filesystem::create_symlink(song, dir.file("link.uta"));
    EXPECT_EQ(FileLock::lockPathOf(song), dir.file(".song.uta.lock"));
    // A link stands for the file it names; the file need not exist yet.
    EXPECT_EQ(FileLock::lockPathOf(dir.file("link.uta")), FileLock::lockPathOf(song));
    EXPECT_EQ(FileLock::lockPathOf(dir.file("new.uta")), dir.file(".new.uta.lock"));
    {
        FileLock held(song);
        ASSERT_TRUE(held.locked()) << held.error();
        // Another process waits, then gives up with the lock file named.
        const pid_t child = fork();
        if (child == 0) {
            FileLock other(dir.file("link.uta"), 100ms);
            _exit(!other.locked() && other.error().find(".song.uta.lock") != std::string::npos ? 0 : 1);
        }
        int status = -1;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        // In this process too (each lock is a lock file opened anew).
        FileLock again(song, 50ms);
        EXPECT_FALSE(again.locked());
        // Moved, it is still held; let go, the next one takes it.
        FileLock moved(std::move(held));
        EXPECT_TRUE(moved.locked());
        EXPECT_FALSE(FileLock(song, 10ms).locked());
        moved.unlock();
        EXPECT_TRUE(FileLock(song, 10ms).locked());
    }
    EXPECT_TRUE(FileLock(song, 0ms).locked());
}

TEST(FileLock, LongNamesAndFoldersThatCannotHoldOne) {
    test::TempDir dir;
    // A name as long as a folder takes still gets a lock file of a name it can hold.
    const std::string longName = dir.file(std::string(250, 'a') + ".uta");
    const std::string lockName = fileNameOf(FileLock::lockPathOf(longName));
    EXPECT_LE(lockName.size(), 255u);
    EXPECT_NE(lockName, fileNameOf(FileLock::lockPathOf(dir.file(std::string(250, 'a') + ".utb"))));
    EXPECT_TRUE(FileLock(longName, 0ms).locked());
    // No folder: no lock, and the reason.
    FileLock none(dir.file("missing/song.uta"), 0ms);
    EXPECT_FALSE(none.locked());
    EXPECT_NE(none.error().find("missing"), std::string::npos);
}

TEST(FileStamp, TellsAChangedOrReplacedFile) {
    test::TempDir dir;
    const std::string path = dir.file("f");
    EXPECT_FALSE(FileStamp::of(path).exists);
    std::ofstream(path) << "one";
    const FileStamp first = FileStamp::of(path);
    EXPECT_TRUE(first.exists);
    EXPECT_EQ(first.size, 3u);
    EXPECT_EQ(FileStamp::of(path), first);
    // Replaced by a file of the same size and content: another inode.
    const std::vector<uint8_t> same{'o', 'n', 'e'};
    ASSERT_TRUE(writeFileAtomically(path, same));
    EXPECT_NE(FileStamp::of(path), first);
    // Written in place: another size.
    const FileStamp second = FileStamp::of(path);
    std::ofstream(path, std::ios::app) << "!";
    EXPECT_NE(FileStamp::of(path), second);
}

}  // namespace
}  // namespace kantor
