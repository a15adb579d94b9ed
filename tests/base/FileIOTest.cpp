#include "base/FileIO.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include <gtest/gtest.h>

#include "support/TempDir.h"

namespace kantor {
namespace {

using test::TempDir;

std::vector<uint8_t> bytesOf(const std::string& s) { return {s.begin(), s.end()}; }

std::string contentOf(const std::string& path) {
    std::vector<uint8_t> b;
    if (readWholeFile(path, b) != ReadStatus::Ok) return "<unreadable>";
    return {b.begin(), b.end()};
}

int hiddenFilesIn(const std::string& folder) {
    int n = 0;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        if (e.path().filename().string()[0] == '.') ++n;
    return n;
}

TEST(AtomicFileTest, ReplacesThroughSymlinkAndKeepsTheMode) {
    TempDir dir;
    const std::string real = dir.write("real.wav", bytesOf("old"));
    ASSERT_EQ(::chmod(real.c_str(), 0600), 0);
    const std::string link = dir.file("link.wav");
    ASSERT_EQ(::symlink("real.wav", link.c_str()), 0);

    ASSERT_TRUE(writeFileAtomically(link, bytesOf("new")));
    struct stat st {};
    ASSERT_EQ(::lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode)) << "the link was replaced by a file";
    EXPECT_EQ(contentOf(real), "new");
    ASSERT_EQ(::stat(real.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    EXPECT_EQ(hiddenFilesIn(dir.path()), 0);
}

TEST(AtomicFileTest, NewFileTakesTheUmask) {
    TempDir dir;
    const mode_t old = ::umask(027);
    const bool ok = writeFileAtomically(dir.file("n.txt"), bytesOf("x"));
    ::umask(old);
    ASSERT_TRUE(ok);
    struct stat st {};
    ASSERT_EQ(::stat(dir.file("n.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST(AtomicFileTest, WritesThroughDevicesAndPipesWithoutReplacingThem) {
    TempDir dir;
    // A full device reports why the write failed.
    AtomicFile full("/dev/full");
    ASSERT_TRUE(full.isOpen()) << full.error();
    std::vector<uint8_t> block(1 << 16, 1);
    EXPECT_FALSE(full.write(block) && full.commit());
    EXPECT_EQ(full.errorCode(), ENOSPC);
    EXPECT_NE(full.error().find("disk full"), std::string::npos) << full.error();

    const std::string fifo = dir.file("pipe.wav");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    {
        // Nobody reads: refused at once, not waited for.
        AtomicFile f(fifo);
        EXPECT_FALSE(f.isOpen());
        EXPECT_NE(f.error().find("no process reads"), std::string::npos) << f.error();
    }
    int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    ASSERT_TRUE(writeFileAtomically(fifo, bytesOf("through")));
    char buf[16] = {};
    EXPECT_EQ(::read(reader, buf, sizeof buf), 7);
    EXPECT_STREQ(buf, "through");
    ::close(reader);
    struct stat st {};
    ASSERT_EQ(::lstat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));

    AtomicFile folder(dir.path());
    EXPECT_FALSE(folder.isOpen());
}

TEST(AtomicFileTest, NamesUpToTheFileSystemLimitAndClearErrors) {
    TempDir dir;
    const std::string longest = dir.file(std::string(251, 'a') + ".wav");  // 255 bytes
    EXPECT_TRUE(writeFileAtomically(longest, bytesOf("x")));
    EXPECT_EQ(contentOf(longest), "x");
    std::string error;
    EXPECT_FALSE(writeFileAtomically(dir.file(std::string(256, 'b')), bytesOf("x"), &error));
    EXPECT_NE(error.find("name too long"), std::string::npos) << error;
    EXPECT_FALSE(writeFileAtomically(dir.file("missing/x"), bytesOf("x"), &error));
    EXPECT_NE(error.find("no such file"), std::string::npos) << error;
}

TEST(AtomicFileTest, CreateNewClaimsANameOnceAmongRacingWriters) {
    TempDir dir;
    const std::string target = dir.file("a.vxb");
    std::atomic<int> winners{0}, losers{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < 8; ++i) {
        threads.emplace_back([&, i] {
            AtomicFile f(target, AtomicFile::Mode::CreateNew);
            const std::string text = std::to_string(i);
            if (f.write(text.data(), text.size()) && f.commit()) {
                ++winners;
            } else if (f.exists()) {
                ++losers;
            }
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(winners.load(), 1);
    EXPECT_EQ(losers.load(), 7);

    // The same claim where the file system has no unnamed files.
    AtomicFile::injectFaultForTesting(AtomicFile::Fault::NoTmpFile);
    AtomicFile first(dir.file("b.vxb"), AtomicFile::Mode::CreateNew);
    AtomicFile::injectFaultForTesting(AtomicFile::Fault::NoTmpFile);
    AtomicFile second(dir.file("b.vxb"), AtomicFile::Mode::CreateNew);
    ASSERT_TRUE(first.write("1", 1) && second.write("2", 1));
    EXPECT_TRUE(first.commit());
    EXPECT_FALSE(second.commit());
    EXPECT_TRUE(second.exists());
    EXPECT_EQ(contentOf(dir.file("b.vxb")), "1");
    EXPECT_EQ(hiddenFilesIn(dir.path()), 0);
}

TEST(AtomicFileTest, FallbackTemporariesOfDeadWritersAreRemoved) {
    TempDir dir;
    const std::string dead = dir.write(".kantor-dead01", bytesOf("left by a killed process"));
    const std::string alive = dir.write(".kantor-alive1", bytesOf("still being written"));
    int holder = ::open(alive.c_str(), O_RDONLY);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX), 0);

    AtomicFile::injectFaultForTesting(AtomicFile::Fault::NoTmpFile);
    ASSERT_TRUE(writeFileAtomically(dir.file("out.wav"), bytesOf("done")));
    EXPECT_EQ(contentOf(dir.file("out.wav")), "done");
    EXPECT_FALSE(std::filesystem::exists(dead));
    EXPECT_TRUE(std::filesystem::exists(alive));
    ::close(holder);
    EXPECT_EQ(removeStaleTemporaries(dir.path()), 1);
    EXPECT_EQ(hiddenFilesIn(dir.path()), 0);
}

TEST(AtomicFileTest, FailedWriteLeavesTheTargetAndNoTemporary) {
    TempDir dir;
    const std::string target = dir.write("keep.uta", bytesOf("PRECIOUS"));
    for (auto fault : {AtomicFile::Fault::Write, AtomicFile::Fault::Sync, AtomicFile::Fault::Rename}) {
        AtomicFile::injectFaultForTesting(fault);
        AtomicFile f(target);
        f.write(bytesOf("partial"));
        EXPECT_FALSE(f.commit());
        AtomicFile::injectFaultForTesting(AtomicFile::Fault::None);
        EXPECT_EQ(contentOf(target), "PRECIOUS");
        EXPECT_EQ(hiddenFilesIn(dir.path()), 0);
    }
}

TEST(ReadWholeFileTest, PipesFoldersAndUnreadableFilesAreNamedForWhatTheyAre) {
    TempDir dir;
    const std::string fifo = dir.file("song.uta");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::vector<uint8_t> b;
    EXPECT_EQ(readWholeFile(fifo, b), ReadStatus::NotRegular);  // returns, does not wait for a writer
    EXPECT_EQ(readWholeFile(dir.path(), b), ReadStatus::NotRegular);
    EXPECT_EQ(readWholeFile(dir.file("none"), b), ReadStatus::NotFound);
    MappedFile m;
    EXPECT_EQ(m.open(fifo), ReadStatus::NotRegular);
    const std::string secret = dir.write("secret.mid", bytesOf("MThd"));
    ASSERT_EQ(::chmod(secret.c_str(), 0), 0);
    if (::geteuid() != 0) {
        EXPECT_EQ(readWholeFile(secret, b), ReadStatus::NoAccess);
    }
    ASSERT_EQ(::chmod(secret.c_str(), 0600), 0);
    ASSERT_EQ(m.open(secret), ReadStatus::Ok);
    EXPECT_EQ(std::string(m.bytes().begin(), m.bytes().end()), "MThd");
}

}  // namespace
}  // namespace kantor
