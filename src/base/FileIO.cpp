#include "base/FileIO.h"

#include "base/Texts.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <filesystem>
#include <cstdlib>
#include <cstring>
#include <random>

namespace kantor {
namespace {
AtomicFile::Fault g_fault = AtomicFile::Fault::None;
int g_faultSkip = 0;

bool takeFault(AtomicFile::Fault f) {
    if (g_fault != f) return false;
    if (g_faultSkip > 0) {
        --g_faultSkip;
        return false;
    }
    g_fault = AtomicFile::Fault::None;
    return true;
}

constexpr const char* kTempPrefix = ".kantor-";

ReadStatus statusOfOpenError(int error) {
    switch (error) {
        case ENOENT:
        case ENOTDIR:
            return ReadStatus::NotFound;
        case EACCES:
        case EPERM:
            return ReadStatus::NoAccess;
        default:
            return ReadStatus::ReadError;
    }
}

// Opens a file for reading without ever blocking (a named pipe with no writer would block
// a plain open) and checks that it is a regular file no larger than maxSize.
ReadStatus openRegular(const std::string& path, std::size_t maxSize, int& fd, std::size_t& size) {
    fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return statusOfOpenError(errno);
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        ::close(fd);
        fd = -1;
        return ReadStatus::ReadError;
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        fd = -1;
        return ReadStatus::NotRegular;
    }
    if (static_cast<unsigned long long>(st.st_size) > maxSize) {
        ::close(fd);
        fd = -1;
        return ReadStatus::TooLarge;
    }
    size = static_cast<std::size_t>(st.st_size);
    return ReadStatus::Ok;
}

std::string randomSuffix() {
    static const char kChars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    static thread_local std::mt19937_64 gen(std::random_device{}() ^ (uint64_t(::getpid()) << 32));
    std::string s;
    for (int i = 0; i < 10; ++i) s += kChars[gen() % (sizeof(kChars) - 1)];
    return s;
}

mode_t currentUmask() {
    // umask can only be read by setting it; the process is single-threaded where files are written.
    mode_t m = ::umask(022);
    ::umask(m);
    return m;
}

void syncFolder(const std::string& folder) {
    int dfd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
}

// Follows symlinks to the path that is really written. A missing file ends the walk
// (a dangling link creates its target).
bool resolveSymlinks(const std::string& path, std::string& resolved, int& error) {
    resolved = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(resolved.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return true;
        std::vector<char> buf(PATH_MAX + 1);
        ssize_t n = ::readlink(resolved.c_str(), buf.data(), buf.size() - 1);
        if (n < 0) {
            error = errno;
            return false;
        }
        std::string link(buf.data(), static_cast<std::size_t>(n));
        if (!link.empty() && link[0] == '/') {
            resolved = link;
        } else {
            const std::size_t slash = resolved.find_last_of('/');
            resolved = slash == std::string::npos ? link : resolved.substr(0, slash + 1) + link;
        }
    }
    error = ELOOP;
    return false;
}

std::string slashFolderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

}  // namespace

std::string systemErrorText(int error) {
    switch (error) {
        case ENOSPC:
        case EDQUOT:
            return "disk full (" + std::string(std::strerror(error)) + ")";
        case EACCES:
        case EPERM:
            return "permission denied";
        case ENAMETOOLONG:
            return "file name too long";
        case EROFS:
            return "read-only file system";
        case ENOENT:
            return "no such file or folder";
        default:
            return std::strerror(error);
    }
}

const char* readStatusText(ReadStatus status) {
    switch (status) {
        case ReadStatus::Ok: return KANTOR_TEXT("正常");
        case ReadStatus::NotFound: return KANTOR_TEXT("見つかりません");
        case ReadStatus::ReadError: return KANTOR_TEXT("読み込みエラー");
        case ReadStatus::TooLarge: return KANTOR_TEXT("大きすぎます");
        case ReadStatus::NoAccess: return KANTOR_TEXT("アクセスが許可されていません");
        case ReadStatus::NotRegular: return KANTOR_TEXT("通常のファイルではありません");
    }
    return KANTOR_TEXT("読み込みエラー");
}

ReadStatus readWholeFile(const std::string& path, std::vector<uint8_t>& out, std::size_t maxSize) {
    out.clear();
    int fd = -1;
    std::size_t size = 0;
    ReadStatus st = openRegular(path, maxSize, fd, size);
    if (st != ReadStatus::Ok) return st;
    try {
        out.resize(size);
    } catch (...) {  // no memory for it: the caller says so; the file is not left open
        ::close(fd);
        throw;
    }
    std::size_t got = 0;
    while (got < out.size()) {
        ssize_t n = ::read(fd, out.data() + got, out.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
    }
    ::close(fd);
    if (got != out.size()) {
        out.resize(got);
        return ReadStatus::ReadError;
    }
    return ReadStatus::Ok;
}

MappedFile::~MappedFile() { close(); }

MappedFile::MappedFile(MappedFile&& other) noexcept
    : data_(other.data_), size_(other.size_), mapped_(other.mapped_) {
    other.data_ = nullptr;
    other.size_ = 0;
    other.mapped_ = false;
}

MappedFile& MappedFile::operator=(MappedFile&& other) noexcept {
    if (this != &other) {
        close();
        data_ = other.data_;
        size_ = other.size_;
        mapped_ = other.mapped_;
        other.data_ = nullptr;
        other.size_ = 0;
        other.mapped_ = false;
    }
    return *this;
}

void MappedFile::close() {
    if (mapped_) ::munmap(const_cast<uint8_t*>(data_), size_);
    data_ = nullptr;
    size_ = 0;
    mapped_ = false;
}

ReadStatus MappedFile::open(const std::string& path, std::size_t maxSize) {
    close();
    int fd = -1;
    std::size_t size = 0;
    ReadStatus st = openRegular(path, maxSize, fd, size);
    if (st != ReadStatus::Ok) return st;
    if (size > 0) {
        void* p = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
        if (p == MAP_FAILED) {
            ::close(fd);
            return ReadStatus::ReadError;
        }
        data_ = static_cast<const uint8_t*>(p);
        size_ = size;
        mapped_ = true;
    }
    ::close(fd);
    return ReadStatus::Ok;
}

bool isWriteProtected(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return true;
    return ::access(path.c_str(), W_OK) != 0 && (errno == EACCES || errno == EPERM || errno == EROFS);
}

bool fileExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool sameFile(const std::string& a, const std::string& b) {
    struct stat sa {}, sb {};
    if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

static std::size_t lastSeparator(const std::string& path) { return path.find_last_of("/\\"); }

std::string folderOf(const std::string& path) {
    std::size_t p = lastSeparator(path);
    if (p == std::string::npos) return "";
    if (p == 0) return "/";
    return path.substr(0, p);
}

std::string fileNameOf(const std::string& path) {
    std::size_t p = lastSeparator(path);
    return p == std::string::npos ? path : path.substr(p + 1);
}

std::string joinPath(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    if (folder.back() == '/') return folder + name;
    return folder + "/" + name;
}

int removeStaleTemporaries(const std::string& folder) {
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!dir) return 0;
    int removed = 0;
    const std::size_t prefixLength = std::strlen(kTempPrefix);
    while (dirent* entry = ::readdir(dir)) {
        if (std::strncmp(entry->d_name, kTempPrefix, prefixLength) != 0) continue;
        const std::string path = joinPath(folder.empty() ? "." : folder, entry->d_name);
        int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) continue;
        struct stat held {}, named {};
        // A writer holds its file locked until it is renamed or removed: a file nobody
        // holds belongs to a process that died.
        if (::fstat(fd, &held) == 0 && S_ISREG(held.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
            ::lstat(path.c_str(), &named) == 0 && named.st_ino == held.st_ino && named.st_dev == held.st_dev &&
            ::unlink(path.c_str()) == 0) {
            ++removed;
        }
        ::close(fd);
    }
    ::closedir(dir);
    return removed;
}

bool AtomicFile::failWith(const std::string& what, int error) {
    errno_ = error;
    error_ = what;
    if (error) error_ += ": " + systemErrorText(error);
    failed_ = true;
    return false;
}

AtomicFile::AtomicFile(std::string target, Mode mode) : target_(std::move(target)), mode_(mode) {
    int error = 0;
    if (!resolveSymlinks(target_, resolved_, error)) {
        failWith("cannot follow the link " + target_, error);
        return;
    }
    struct stat st {};
    const bool exists = ::stat(resolved_.c_str(), &st) == 0;
    if (exists && mode_ == Mode::CreateNew) {
        failWith("cannot create " + target_, EEXIST);
        return;
    }
    if (exists && S_ISDIR(st.st_mode)) {
        failWith(target_ + " is a folder", 0);
        return;
    }
    if (exists && (S_ISCHR(st.st_mode) || S_ISFIFO(st.st_mode))) {
        // Written through as it goes: a device or a pipe has nothing to replace. A pipe
        // that nobody reads would block forever, so it is refused instead.
        fd_ = ::open(resolved_.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd_ < 0) {
            failWith("cannot write to " + target_, errno == ENXIO ? 0 : errno);
            if (errno_ == 0) error_ += " (no process reads the pipe)";
            return;
        }
        ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
        direct_ = true;
        return;
    }
    if (exists && !S_ISREG(st.st_mode)) {
        failWith(target_ + " is not a regular file", 0);
        return;
    }
    if (takeFault(Fault::Open)) {
        failWith("cannot create a temporary file beside " + target_ + " (injected)", 0);
        return;
    }
    if (!openTemporary(slashFolderOf(resolved_))) return;
    ::flock(fd_, LOCK_EX);
    if (exists) {
        // The new file takes the place of the old one: it keeps its mode and owner.
        ::fchmod(fd_, st.st_mode & 07777);
        if (st.st_uid != ::geteuid() || st.st_gid != ::getegid()) {
            if (::fchown(fd_, st.st_uid, st.st_gid) != 0) ::fchmod(fd_, st.st_mode & 0777);
        }
    } else if (!unnamed_) {
        ::fchmod(fd_, 0666 & ~currentUmask());
    }
}

bool AtomicFile::openTemporary(const std::string& folder) {
    if (!takeFault(Fault::NoTmpFile)) {
        fd_ = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
        if (fd_ >= 0) {
            unnamed_ = true;
            return true;
        }
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
            return failWith("cannot create " + target_, errno);
        }
    }
    // The file system has no unnamed files: a hidden name, cleaned up after a crash.
    removeStaleTemporaries(folder);
    std::string pattern = joinPath(folder, std::string(kTempPrefix) + "XXXXXX");
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    fd_ = ::mkostemp(buf.data(), O_CLOEXEC);
    if (fd_ < 0) return failWith("cannot create a temporary file beside " + target_, errno);
    tempPath_ = buf.data();
    return true;
}

AtomicFile::~AtomicFile() { discard(); }

void AtomicFile::discard() {
    if (!tempPath_.empty()) {
        ::unlink(tempPath_.c_str());
        tempPath_.clear();
    }
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

bool AtomicFile::write(std::span<const uint8_t> bytes) {
    if (failed_ || fd_ < 0) return false;
    if (takeFault(Fault::Write)) return failWith("cannot write " + target_ + " (injected)", 0);
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return failWith("cannot write " + target_, n < 0 ? errno : ENOSPC);
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Gives the finished file its name: the target itself when it may be created new, else a
// hidden name that is then renamed over the target.
bool AtomicFile::linkInPlace() {
    const std::string folder = slashFolderOf(resolved_);
    if (unnamed_) {
        const std::string self = "/proc/self/fd/" + std::to_string(fd_);
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, resolved_.c_str(), AT_SYMLINK_FOLLOW) == 0) return true;
        if (errno != EEXIST || mode_ == Mode::CreateNew) return failWith("cannot create " + target_, errno);
        for (int attempt = 0; attempt < 100; ++attempt) {
            std::string name = joinPath(folder, kTempPrefix + randomSuffix());
            if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
                tempPath_ = name;
                break;
            }
            if (errno != EEXIST) return failWith("cannot create a file beside " + target_, errno);
        }
        if (tempPath_.empty()) return failWith("cannot create a file beside " + target_, EEXIST);
    }
    if (mode_ == Mode::CreateNew) {
        if (::link(tempPath_.c_str(), resolved_.c_str()) != 0) return failWith("cannot create " + target_, errno);
        ::unlink(tempPath_.c_str());
        tempPath_.clear();
        return true;
    }
    if (takeFault(Fault::Rename) || ::rename(tempPath_.c_str(), resolved_.c_str()) != 0) {
        return failWith("cannot replace " + target_, errno == 0 ? EIO : errno);
    }
    tempPath_.clear();
    return true;
}

bool AtomicFile::commit() {
    if (failed_ || fd_ < 0) {
        discard();
        return false;
    }
    if (direct_) {
        const bool closed = ::close(fd_) == 0;
        fd_ = -1;
        if (!closed) return failWith("cannot write " + target_, errno);
        return true;
    }
    if (takeFault(Fault::Sync)) {
        failWith("cannot flush " + target_ + " to disk (injected)", 0);
        discard();
        return false;
    }
    if (::fsync(fd_) != 0) {
        failWith("cannot flush " + target_ + " to disk", errno);
        discard();
        return false;
    }
    errno = 0;
    if (!linkInPlace()) {
        discard();
        return false;
    }
    ::close(fd_);
    fd_ = -1;
    // Make the new name itself durable.
    syncFolder(slashFolderOf(resolved_));
    return true;
}

void AtomicFile::injectFaultForTesting(Fault f, int skip) {
    g_fault = f;
    g_faultSkip = skip;
}

bool writeFileAtomically(const std::string& path, std::span<const uint8_t> bytes, std::string* error) {
    AtomicFile f(path);
    bool ok = f.write(bytes) && f.commit();
    if (!ok && error) *error = f.error();
    return ok;
}

std::string canonicalFolderOf(const std::string& path) {
    std::error_code ec;
    std::filesystem::path p = std::filesystem::absolute(path, ec);
    if (ec) return {};
    p = std::filesystem::weakly_canonical(p, ec);
    if (ec) return {};
    return p.parent_path().string();
}

}  // namespace kantor
