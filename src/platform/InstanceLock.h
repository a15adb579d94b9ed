#pragma once
// The single-instance rule: the first copy of the program holds an exclusive flock on a lock
// file in the user's runtime folder ($XDG_RUNTIME_DIR, else /tmp/kantor-<uid>) for the life
// of the process; a second copy finds it taken and ends with "二重起動です。". The lock goes
// away with the process however it ends, so a crashed copy never blocks the next start.
#include <string>

#include "base/LastError.h"

namespace kantor {

class InstanceLock : public LastError {
public:
    enum class Result { Acquired, AlreadyRunning, Failed };

    InstanceLock() = default;
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    // Takes the lock file "My_Kantorellion_hPrevInstance" in `folder` (created with mode
    // 0700 when missing). Failed (with lastError()) when the folder or file cannot be used.
    Result acquire(const std::string& folder = runtimeFolder());
    // Gives the lock up (also done by the destructor). The file stays; it is harmless.
    void release();
    bool held() const { return fd_ >= 0; }
    const std::string& path() const { return path_; }

    // $XDG_RUNTIME_DIR when set and absolute, else /tmp/kantor-<uid>.
    static std::string runtimeFolder();

private:
    int fd_ = -1;
    std::string path_;
};

}  // namespace kantor
