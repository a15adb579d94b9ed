#include "platform/BuiltinData.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include "base/FileIO.h"
#include "platform/Folders.h"

namespace kantor {
namespace fs = std::filesystem;

namespace {

bool isFolder(const std::string& path) {
    std::error_code ec;
    return fs::is_directory(path, ec);
}

}  // namespace

std::vector<std::string> builtinDataFolders(const Folders& folders) {
    std::vector<std::string> out;
    if (const char* env = std::getenv("KANTOR_BUILTIN_DIR"); env && *env) out.emplace_back(env);
    if (!folders.installFolder().empty()) {
        const std::string installed = joinPath(folders.installFolder(), "../share/kantor");
        if (isFolder(installed)) out.push_back(installed);
    }
#ifdef KANTOR_BUILTIN_DATA_DIR
    out.emplace_back(KANTOR_BUILTIN_DATA_DIR);
#endif
    return out;
}

std::string installedVoiceFolder(const std::string& installFolder) {
    std::error_code ec;
    const fs::path prefix = fs::weakly_canonical(fs::path(installFolder) / "..", ec);
    if (ec || prefix.empty()) return "";
    if (prefix == "/usr") return "/var/lib/kantor/voices";
    return (prefix / "var/lib/kantor/voices").string();
}

std::vector<std::string> builtinVoiceFolders(const Folders& folders) {
    std::vector<std::string> out;
    for (const std::string& data : builtinDataFolders(folders)) {
        const std::string voices = joinPath(data, "voices");
        if (isFolder(voices)) out.push_back(voices);
    }
    // An installed program (its share/kantor is there) also reads the voices that its
    // package made at install time.
    if (!folders.installFolder().empty() && isFolder(joinPath(folders.installFolder(), "../share/kantor"))) {
        const std::string made = installedVoiceFolder(folders.installFolder());
        if (!made.empty() && isFolder(made)) out.push_back(made);
    }
    return out;
}

namespace {

// Finds `sub/name` in the first data folder that has it.
std::string findBuilt(const std::vector<std::string>& sources, const std::string& sub, const std::string& name) {
    for (const std::string& s : sources) {
        const std::string p = joinPath(joinPath(s, sub), name);
        if (fileExists(p)) return p;
    }
    return "";
}

bool placeFile(const std::string& from, const std::string& to, std::string& error) {
    std::error_code ec;
    fs::create_directories(fs::path(to).parent_path(), ec);
    fs::remove(to + ".part", ec);  // left by earlier versions when killed while copying
    // A hard link puts the file in place in one step where both lie on one file system;
    // another program starting at the same time may have put it there first: keep theirs.
    if (::link(from.c_str(), to.c_str()) == 0 || errno == EEXIST) return true;
    // Otherwise a copy that has no name until it is complete, so a kill leaves nothing.
    std::vector<uint8_t> bytes;
    if (const ReadStatus st = readWholeFile(from, bytes); st != ReadStatus::Ok) {
        error = from + ": " + readStatusText(st);
        return false;
    }
    AtomicFile file(to, AtomicFile::Mode::CreateNew);
    if (file.write(bytes) && file.commit()) return true;
    if (file.exists()) return true;
    error = file.error().empty() ? "cannot write " + to : file.error();
    return false;
}

}  // namespace

std::vector<std::string> installBuiltinData(const Folders& folders, std::vector<std::string>* missing,
                                            std::vector<std::string>* failed) {
    std::vector<std::string> placed;
    const std::vector<std::string> sources = builtinDataFolders(folders);
    auto install = [&](const std::string& sub, const std::string& name, const std::string& folder) {
        const std::string to = joinPath(folder, name);
        if (fileExists(to)) return;
        const std::string from = findBuilt(sources, sub, name);
        std::string error;
        if (from.empty()) {
            if (missing) missing->push_back(name);
            return;
        }
        if (!placeFile(from, to, error)) {
            if (missing) missing->push_back(name);
            if (failed) failed->push_back(name + ": " + error);
            return;
        }
        placed.push_back(to);
    };
    for (const char* f : kDemoSongFiles) install("sample", f, folders.sampleFolder());
    return placed;
}

}  // namespace kantor
