#pragma once
// Whole-file reading, and writing that replaces a file only once the new one is complete.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace kantor {

enum class ReadStatus { Ok, NotFound, ReadError, TooLarge };

// Reads a whole file. maxSize guards against files no reader of ours could want.
ReadStatus readWholeFile(const std::string& path, std::vector<uint8_t>& out,
                         std::size_t maxSize = std::size_t(1) << 31);

bool fileExists(const std::string& path);
// The folder part of a path (without the trailing separator), "" when there is none.
// Accepts both '/' and '\\' as separators.
std::string folderOf(const std::string& path);
// The text after the last '/' or '\\'.
std::string fileNameOf(const std::string& path);
std::string joinPath(const std::string& folder, const std::string& name);

// Writes a new file beside `target` and moves it over `target` in one step:
//   AtomicFile f(target); f.write(...); ...; f.commit();
// The data reaches the disk before the rename. If anything fails, or commit() is never
// called, the temporary file is removed and `target` is left as it was.
class AtomicFile {
public:
    explicit AtomicFile(std::string target);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    bool isOpen() const { return fd_ >= 0; }
    bool write(std::span<const uint8_t> bytes);
    bool write(const void* data, std::size_t size) {
        return write(std::span<const uint8_t>(static_cast<const uint8_t*>(data), size));
    }
    bool commit();
    const std::string& tempPath() const { return tempPath_; }
    const std::string& error() const { return error_; }

    // Tests make a chosen step fail to check that nothing is lost.
    enum class Fault { None, Open, Write, Sync, Rename };
    static void injectFaultForTesting(Fault f);

private:
    void discard();
    std::string target_;
    std::string tempPath_;
    std::string error_;
    int fd_ = -1;
    bool failed_ = false;
};

// Convenience: writes all of `bytes` through an AtomicFile.
bool writeFileAtomically(const std::string& path, std::span<const uint8_t> bytes,
                         std::string* error = nullptr);

}  // namespace kantor
