#include "base/FilePair.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "base/FileIO.h"

namespace kantor {
namespace {

bool g_stopAfterFirstRename = false;

void syncFolderOf(const std::string& path) {
    const std::string folder = folderOf(path);
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

bool exists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

bool moveInPlace(const std::string& pending, const std::string& target, std::string& error) {
    if (::rename(pending.c_str(), target.c_str()) != 0) {
        error = "cannot put " + target + " in place: " + systemErrorText(errno);
        return false;
    }
    syncFolderOf(target);
    return true;
}

}  // namespace

std::string pendingPairPath(const std::string& target) {
    const std::string folder = folderOf(target);
    return joinPath(folder.empty() ? "." : folder, "." + fileNameOf(target) + ".pair-new");
}

void stopFilePairAfterFirstRenameForTesting(bool stop) { g_stopAfterFirstRename = stop; }

bool recoverFilePair(const std::string& first, const std::string& second, std::string& error, bool* finished) {
    if (finished) *finished = false;
    const std::string p1 = pendingPairPath(first), p2 = pendingPairPath(second);
    if (exists(p2)) {
        if (exists(p1) && !moveInPlace(p1, first, error)) return false;
        if (!moveInPlace(p2, second, error)) return false;
        if (finished) *finished = true;
        return true;
    }
    if (exists(p1) && ::unlink(p1.c_str()) != 0) {
        error = "cannot remove " + p1 + ": " + systemErrorText(errno);
        return false;
    }
    return true;
}

bool writeFilePair(const std::string& first, std::span<const uint8_t> firstBytes, const std::string& second,
                   std::span<const uint8_t> secondBytes, std::string& error) {
    const std::string p1 = pendingPairPath(first), p2 = pendingPairPath(second);
    std::string why;
    if (!writeFileAtomically(p1, firstBytes, &why)) {
        error = "cannot write " + first + ": " + why;
        return false;
    }
    if (!writeFileAtomically(p2, secondBytes, &why)) {
        ::unlink(p1.c_str());
        error = "cannot write " + second + ": " + why;
        return false;
    }
    // From here on the pair is complete on disk: a kill leaves what recoverFilePair finishes.
    if (::rename(p1.c_str(), first.c_str()) != 0) {
        error = "cannot put " + first + " in place: " + systemErrorText(errno);
        ::unlink(p2.c_str());
        ::unlink(p1.c_str());
        return false;
    }
    syncFolderOf(first);
    if (g_stopAfterFirstRename) {
        error = "stopped after the first rename";
        return false;
    }
    return moveInPlace(p2, second, error);
}

}  // namespace kantor
