#include "base/FileLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <thread>
#include <utility>

#include "base/FileIO.h"

namespace kantor {

std::string FileLock::lockPathOf(const std::string& target) {
    std::error_code ec;
    std::filesystem::path p = std::filesystem::weakly_canonical(std::filesystem::absolute(target, ec), ec);
    if (ec || p.empty()) p = target;
    const std::string folder = p.parent_path().string();
    std::string name = p.filename().string();
    // A name near the longest a folder takes keeps its start and gets a hash of the rest.
    constexpr std::size_t kLongest = 255 - 6;
    if (name.size() > kLongest) {
        char hash[17];
        std::snprintf(hash, sizeof hash, "%016llx", static_cast<unsigned long long>(std::hash<std::string>{}(name)));
        name = name.substr(0, kLongest - 17) + "-" + hash;
    }
    return joinPath(folder.empty() ? "." : folder, "." + name + ".lock");
}

FileLock::FileLock(const std::string& target, std::chrono::milliseconds wait) : lockPath_(lockPathOf(target)) {
    const int fd = ::open(lockPath_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0666);
    if (fd < 0) {
        error_ = "cannot make the lock file " + lockPath_ + ": " + systemErrorText(errno);
        return;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        error_ = "the lock file " + lockPath_ + " is not a regular file";
        return;
    }
    // Short waits at first (a command holds the lock for a moment), longer ones later.
    const auto until = std::chrono::steady_clock::now() + wait;
    std::chrono::milliseconds pause{1};
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            fd_ = fd;
            return;
        }
        const int e = errno;
        if (e != EWOULDBLOCK && e != EINTR) {
            ::close(fd);
            error_ = "cannot lock " + lockPath_ + ": " + systemErrorText(e);
            return;
        }
        if (std::chrono::steady_clock::now() >= until) break;
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, std::chrono::milliseconds(20));
    }
    ::close(fd);
    error_ = "another program is changing " + target + " (it holds " + lockPath_ + "); try again";
}

FileLock::~FileLock() { unlock(); }

FileLock::FileLock(FileLock&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), lockPath_(std::move(other.lockPath_)), error_(std::move(other.error_)) {}

FileLock& FileLock::operator=(FileLock&& other) noexcept {
    if (this != &other) {
        unlock();
        fd_ = std::exchange(other.fd_, -1);
        lockPath_ = std::move(other.lockPath_);
        error_ = std::move(other.error_);
    }
    return *this;
}

void FileLock::unlock() {
    if (fd_ < 0) return;
    ::close(fd_);  // closing the only descriptor lets the flock go
    fd_ = -1;
}

FileStamp FileStamp::of(const std::string& path) {
    FileStamp s;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return s;
    s.exists = true;
    s.device = static_cast<uint64_t>(st.st_dev);
    s.inode = static_cast<uint64_t>(st.st_ino);
    s.size = static_cast<uint64_t>(st.st_size);
    s.mtimeNs = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return s;
}

}  // namespace kantor
