#pragma once
// Whole-file reading, and writing that replaces a file only once the new one is complete.
#include <cerrno>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace kantor {

// NotFound: no such file. NoAccess: it exists but may not be read. NotRegular: a folder,
// pipe, device or socket (never opened in a way that could block).
enum class ReadStatus { Ok, NotFound, ReadError, TooLarge, NoAccess, NotRegular };

// Reads a whole file. maxSize guards against files no reader of ours could want.
ReadStatus readWholeFile(const std::string& path, std::vector<uint8_t>& out,
                         std::size_t maxSize = std::size_t(1) << 31);
// What a status means, in a few words of the core's language (shown through translated()).
const char* readStatusText(ReadStatus status);

// A read-only memory map of a whole regular file; empty for an empty file. Pages are read
// only when touched, so a reader that looks at a few parts of a large file reads little.
class MappedFile {
public:
    MappedFile() = default;
    ~MappedFile();
    MappedFile(MappedFile&& other) noexcept;
    MappedFile& operator=(MappedFile&& other) noexcept;
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    ReadStatus open(const std::string& path, std::size_t maxSize = std::size_t(1) << 31);
    std::span<const uint8_t> bytes() const { return {data_, size_}; }
    void close();

private:
    const uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
    bool mapped_ = false;
};

bool fileExists(const std::string& path);
// True when `path` names an existing file the user has write-protected: no write
// permission for anyone (chmod a-w, as a read-only file of the desktop's file manager), or
// one this user may not write. Such a file is refused rather than replaced by a save.
bool isWriteProtected(const std::string& path);
// True when both paths name the same existing file (same device and inode, symlinks followed).
bool sameFile(const std::string& a, const std::string& b);
// The folder part of a path (without the trailing separator), "" when there is none.
// Accepts both '/' and '\\' as separators.
std::string folderOf(const std::string& path);
// The text after the last '/' or '\\'.
std::string fileNameOf(const std::string& path);
std::string joinPath(const std::string& folder, const std::string& name);
// The folder of a path with links and "." and ".." resolved (the file itself need not exist),
// for telling whether two paths lie in one folder; "" when it cannot be made out.
std::string canonicalFolderOf(const std::string& path);

// The reason of a failed system call for the user: "No space left on device", ...
std::string systemErrorText(int error);

// Writes a new file and puts it in place of `target` in one step:
//   AtomicFile f(target); f.write(...); ...; f.commit();
// The data reaches the disk before it takes the name. If anything fails, or commit() is
// never called, nothing is left behind and `target` is as it was.
// - A symlink is followed: its target is replaced, the link stays.
// - A replaced file keeps its mode and (where allowed) its owner; a new file gets 0666
//   less the umask.
// - A character device or a named pipe is written through directly (a pipe without a
//   reader is refused rather than waited for); folders and other special files are refused.
// - The new file has no name until commit (O_TMPFILE). Where the file system lacks that,
//   it is a hidden ".kantor-*" file held locked while in use; the next AtomicFile in that
//   folder removes such files that no living process holds.
class AtomicFile {
public:
    // Replace: put the file in place of any existing one. CreateNew: fail (exists() true)
    // when the target already exists; the claim is atomic.
    enum class Mode { Replace, CreateNew };
    explicit AtomicFile(std::string target, Mode mode = Mode::Replace);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    bool isOpen() const { return fd_ >= 0; }
    bool write(std::span<const uint8_t> bytes);
    bool write(const void* data, std::size_t size) {
        return write(std::span<const uint8_t>(static_cast<const uint8_t*>(data), size));
    }
    bool commit();
    // The file that is written (the target with symlinks resolved).
    const std::string& resolvedTarget() const { return resolved_; }
    const std::string& error() const { return error_; }
    // The errno of the failure (ENOSPC, EACCES, ENAMETOOLONG, EEXIST, ...), 0 when none.
    int errorCode() const { return errno_; }
    bool exists() const { return errno_ == EEXIST; }

    // Tests make a chosen step fail to check that nothing is lost: the step of the file
    // after `skip` files that passed it.
    enum class Fault { None, Open, Write, Sync, Rename, NoTmpFile };
    static void injectFaultForTesting(Fault f, int skip = 0);

private:
    bool failWith(const std::string& what, int error);
    bool openTemporary(const std::string& folder);
    bool linkInPlace();
    void discard();
    std::string target_;
    std::string resolved_;
    std::string tempPath_;  // the named temporary file (fallback), or the link made at commit
    std::string error_;
    Mode mode_;
    int fd_ = -1;
    int errno_ = 0;
    bool failed_ = false;
    bool direct_ = false;     // writing straight into a device or pipe
    bool unnamed_ = false;    // an O_TMPFILE file
};

// Removes ".kantor-*" temporary files of the folder that no living process holds.
// Returns how many were removed.
int removeStaleTemporaries(const std::string& folder);

// Convenience: writes all of `bytes` through an AtomicFile.
bool writeFileAtomically(const std::string& path, std::span<const uint8_t> bytes,
                         std::string* error = nullptr);

}  // namespace kantor
