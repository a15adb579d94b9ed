#include "base/FileIO.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace kantor {
namespace {
AtomicFile::Fault g_fault = AtomicFile::Fault::None;

bool takeFault(AtomicFile::Fault f) {
    if (g_fault != f) return false;
    g_fault = AtomicFile::Fault::None;
    return true;
}
}  // namespace

ReadStatus readWholeFile(const std::string& path, std::vector<uint8_t>& out, std::size_t maxSize) {
    out.clear();
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return ReadStatus::NotFound;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return ReadStatus::NotFound;
    }
    if (static_cast<unsigned long long>(st.st_size) > maxSize) {
        ::close(fd);
        return ReadStatus::TooLarge;
    }
    out.resize(static_cast<std::size_t>(st.st_size));
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

bool fileExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
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

AtomicFile::AtomicFile(std::string target) : target_(std::move(target)) {
    std::string folder = folderOf(target_);
    std::string name(1, '.');
    name += fileNameOf(target_);
    name += ".XXXXXX";
    std::string pattern = joinPath(folder.empty() ? "." : folder, name);
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    if (takeFault(Fault::Open)) {
        error_ = "cannot create a temporary file beside " + target_;
        failed_ = true;
        return;
    }
    fd_ = ::mkostemp(buf.data(), O_CLOEXEC);
    if (fd_ < 0) {
        error_ = "cannot create a temporary file beside " + target_ + ": " + std::strerror(errno);
        failed_ = true;
        return;
    }
    tempPath_ = buf.data();
    ::fchmod(fd_, 0644);
}

AtomicFile::~AtomicFile() { discard(); }

void AtomicFile::discard() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!tempPath_.empty()) {
        ::unlink(tempPath_.c_str());
        tempPath_.clear();
    }
}

bool AtomicFile::write(std::span<const uint8_t> bytes) {
    if (failed_ || fd_ < 0) return false;
    if (takeFault(Fault::Write)) {
        error_ = "write failed (injected)";
        failed_ = true;
        return false;
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error_ = std::string("write failed: ") + std::strerror(errno);
            failed_ = true;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool AtomicFile::commit() {
    if (failed_ || fd_ < 0) {
        discard();
        return false;
    }
    if (takeFault(Fault::Sync) || ::fsync(fd_) != 0) {
        error_ = "cannot flush " + tempPath_ + " to disk";
        discard();
        return false;
    }
    ::close(fd_);
    fd_ = -1;
    if (takeFault(Fault::Rename) || ::rename(tempPath_.c_str(), target_.c_str()) != 0) {
        error_ = "cannot replace " + target_;
        discard();
        return false;
    }
    tempPath_.clear();
    // Make the rename itself durable.
    std::string folder = folderOf(target_);
    int dfd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    return true;
}

void AtomicFile::injectFaultForTesting(Fault f) { g_fault = f; }

bool writeFileAtomically(const std::string& path, std::span<const uint8_t> bytes, std::string* error) {
    AtomicFile f(path);
    bool ok = f.write(bytes) && f.commit();
    if (!ok && error) *error = f.error();
    return ok;
}

}  // namespace kantor
