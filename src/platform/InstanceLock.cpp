#include "platform/InstanceLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "settings/StartupTexts.h"

namespace kantor {

InstanceLock::~InstanceLock() { release(); }

std::string InstanceLock::runtimeFolder() {
    const char* v = std::getenv("XDG_RUNTIME_DIR");
    if (v && v[0] == '/') return v;
    return "/tmp/kantor-" + std::to_string(::getuid());
}

InstanceLock::Result InstanceLock::acquire(const std::string& folder) {
    clearError();
    if (held()) return Result::Acquired;
    if (folder.empty()) return fail("no runtime folder for the instance lock"), Result::Failed;

    // The folder may sit in a shared place such as /tmp: it must be a real folder of ours
    // that nobody else can write to, or another user could plant or hold the lock file.
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        return fail("cannot create " + folder + ": " + std::strerror(errno)), Result::Failed;
    struct stat st {};
    if (::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return fail(folder + " is not a folder"), Result::Failed;
    if (st.st_uid != ::getuid() || (st.st_mode & 022) != 0)
        return fail(folder + " belongs to another user or can be written by others"), Result::Failed;

    std::string path = folder;
    if (path.back() != '/') path += '/';
    path += names::kInstanceLock;
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return fail("cannot open " + path + ": " + std::strerror(errno)), Result::Failed;
    int r;
    do {
        r = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (r != 0 && errno == EINTR);
    if (r != 0) {
        int e = errno;
        ::close(fd);
        if (e == EWOULDBLOCK) return fail(text::kAlreadyRunning), Result::AlreadyRunning;
        return fail("cannot lock " + path + ": " + std::strerror(e)), Result::Failed;
    }
    // The holder's process number, for people looking at the file.
    if (::ftruncate(fd, 0) == 0) {
        std::string pid = std::to_string(::getpid()) + "\n";
        ssize_t ignored = ::write(fd, pid.data(), pid.size());
        (void)ignored;
    }
    fd_ = fd;
    path_ = std::move(path);
    return Result::Acquired;
}

void InstanceLock::release() {
    if (fd_ >= 0) {
        ::flock(fd_, LOCK_UN);
        ::close(fd_);
        fd_ = -1;
    }
}

}  // namespace kantor
