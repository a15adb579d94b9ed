#pragma once
// Taking turns on a file that is read, changed and written back whole (a song, the settings
// file): every program that changes it holds the file's lock from before it reads it until
// the new file has taken its place, so that two changes made at once both survive.
//
// The lock is an advisory flock() on a lock file beside the file (".NAME.lock" in the same
// folder), not on the file itself: the file is replaced by a new one at every save, and a
// lock on the old one would no longer stand for the name. Lock files are left in place
// (removing one while another program waits on it would let two in at once).
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

namespace kantor {

class FileLock {
public:
    static constexpr std::chrono::milliseconds kDefaultWait{30000};

    // Takes the lock of `target` (a symlink stands for the file it names), waiting at most
    // `wait` while another program holds it. locked() tells whether it was taken; error()
    // says why not.
    explicit FileLock(const std::string& target, std::chrono::milliseconds wait = kDefaultWait);
    // Lets the lock go.
    ~FileLock();
    FileLock(FileLock&& other) noexcept;
    FileLock& operator=(FileLock&& other) noexcept;
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    bool locked() const { return fd_ >= 0; }
    void unlock();
    // Why the lock could not be taken, naming the lock file.
    const std::string& error() const { return error_; }
    const std::string& lockPath() const { return lockPath_; }
    // The lock file of a file: ".NAME.lock" beside the file a symlink names.
    static std::string lockPathOf(const std::string& target);

private:
    int fd_ = -1;
    std::string lockPath_;
    std::string error_;
};

// What a file is on disk (device, inode, size, modification time): a program that read a
// file keeps its stamp and, before writing it back, sees whether someone else has changed or
// replaced it meanwhile.
struct FileStamp {
    bool exists = false;
    uint64_t device = 0;
    uint64_t inode = 0;
    uint64_t size = 0;
    int64_t mtimeNs = 0;

    // The stamp of the file a path names now (symlinks followed); exists false when there is
    // no such file.
    static FileStamp of(const std::string& path);
    friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

}  // namespace kantor
