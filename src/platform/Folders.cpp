#include "platform/Folders.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <vector>

#include "base/FileIO.h"
#include "settings/StartupTexts.h"

namespace kantor {
namespace {

std::string withSlash(std::string path) {
    if (path.empty() || path.back() != '/') path += '/';
    return path;
}

std::string withoutSlash(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

bool isFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string homeFromPasswd() {
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buf(size > 0 ? static_cast<std::size_t>(size) : 16384);
    struct passwd pw {};
    struct passwd* result = nullptr;
    if (::getpwuid_r(::getuid(), &pw, buf.data(), buf.size(), &result) == 0 && result && result->pw_dir)
        return result->pw_dir;
    return "/";
}

std::string runningProgramFolder() {
    std::vector<char> buf(4096);
    ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size() - 1);
    if (n > 0) {
        std::string exe(buf.data(), static_cast<std::size_t>(n));
        return withSlash(folderOf(exe));
    }
    std::vector<char> cwd(4096);
    if (::getcwd(cwd.data(), cwd.size())) return withSlash(cwd.data());
    return "./";
}

}  // namespace

std::optional<std::string> documentsDirFromUserDirs(const std::string& text, const std::string& home) {
    std::istringstream in(text);
    std::string line;
    std::optional<std::string> found;
    while (std::getline(in, line)) {
        std::size_t p = line.find_first_not_of(" \t");
        if (p == std::string::npos || line[p] == '#') continue;
        static const std::string key = "XDG_DOCUMENTS_DIR";
        if (line.compare(p, key.size(), key) != 0) continue;
        p = line.find_first_not_of(" \t", p + key.size());
        if (p == std::string::npos || line[p] != '=') continue;
        p = line.find_first_not_of(" \t", p + 1);
        if (p == std::string::npos || line[p] != '"') continue;
        // A quoted value with \" \\ \$ escapes; "$HOME" at its start stands for the home folder.
        std::string value;
        bool closed = false;
        for (++p; p < line.size(); ++p) {
            char c = line[p];
            if (c == '\\' && p + 1 < line.size()) {
                value += line[++p];
            } else if (c == '"') {
                closed = true;
                break;
            } else {
                value += c;
            }
        }
        if (!closed) continue;
        std::string path;
        if (value.rfind("$HOME", 0) == 0 && (value.size() == 5 || value[5] == '/')) {
            path = withoutSlash(home) + value.substr(5);
        } else if (!value.empty() && value[0] == '/') {
            path = value;
        } else {
            continue;
        }
        path = withoutSlash(path);
        found = path == withoutSlash(home) ? std::nullopt : std::optional<std::string>(path);
    }
    return found;
}

Folders Folders::fromEnvironment(const FolderOverrides& overrides) {
    return fromEnvironment(
        [](const std::string& name) -> std::optional<std::string> {
            const char* v = std::getenv(name.c_str());
            if (!v) return std::nullopt;
            return std::string(v);
        },
        overrides);
}

Folders Folders::fromEnvironment(const Environment& env, const FolderOverrides& overrides) {
    auto variable = [&](const char* name) -> std::string {
        std::optional<std::string> v = env(name);
        return v ? *v : std::string();
    };
    // The explicit value, else the variable; "" when neither is set.
    auto chosen = [&](const std::string& explicitValue, const char* name) {
        return explicitValue.empty() ? variable(name) : explicitValue;
    };
    // XDG base folders must be absolute; anything else is ignored.
    auto xdg = [&](const char* name, const std::string& fallback) {
        std::string v = variable(name);
        return (!v.empty() && v[0] == '/') ? withoutSlash(v) : fallback;
    };
    const std::string appPath = std::string(names::kMakerFolder) + "/" + names::kProductFolder + "/";

    Folders f;
    f.home_ = variable("HOME");
    if (f.home_.empty()) f.home_ = homeFromPasswd();
    f.home_ = withoutSlash(f.home_);
    const std::string home = withSlash(f.home_);

    std::string data = chosen(overrides.dataDir, "KANTOR_DATA_DIR");
    f.roamingData_ = data.empty() ? withSlash(xdg("XDG_DATA_HOME", home + ".local/share")) + appPath : withSlash(data);

    std::string config = chosen(overrides.configDir, "KANTOR_CONFIG_DIR");
    std::string xdgConfig = xdg("XDG_CONFIG_HOME", home + ".config");
    f.localData_ = config.empty() ? withSlash(xdgConfig) + appPath : withSlash(config);

    std::string documents = chosen(overrides.documentsDir, "KANTOR_DOCUMENTS_DIR");
    if (documents.empty()) {
        std::vector<uint8_t> bytes;
        if (readWholeFile(withSlash(xdgConfig) + "user-dirs.dirs", bytes, 1 << 20) == ReadStatus::Ok) {
            std::optional<std::string> dir =
                documentsDirFromUserDirs(std::string(bytes.begin(), bytes.end()), f.home_);
            if (dir) documents = *dir;
        }
    }
    if (documents.empty()) documents = isFolder(home + "Documents") ? home + "Documents" : f.home_;
    f.documents_ = withoutSlash(documents);

    std::string sample = chosen(overrides.sampleDir, "KANTOR_SAMPLE_DIR");
    f.sample_ = sample.empty() ? withSlash(f.documents_) + appPath + names::kSampleFolder + "/" : withSlash(sample);

    std::string voice = chosen(overrides.voiceDir, "KANTOR_VOICE_DIR");
    f.voice_ = voice.empty() ? f.roamingData_ + names::kVoiceFolder + "/" : withSlash(voice);

    f.install_ = runningProgramFolder();
    return f;
}

std::string Folders::settingsFilePath() const { return localData_ + names::kSettingsFile; }

std::string Folders::voiceFolderText() const { return withoutSlash(voice_); }

SettingsDefaults Folders::settingsDefaults() const { return SettingsDefaults{sample_, documents_}; }

bool makeFolders(const std::string& path, std::string* error) {
    if (path.empty()) return true;
    std::string partial;
    std::size_t pos = 0;
    while (pos <= path.size()) {
        std::size_t next = path.find('/', pos);
        if (next == std::string::npos) next = path.size();
        partial = path.substr(0, next);
        pos = next + 1;
        if (partial.empty() || isFolder(partial)) continue;
        if (::mkdir(partial.c_str(), 0755) != 0 && !(errno == EEXIST && isFolder(partial))) {
            if (error) *error = "cannot create the folder " + partial + ": " + std::strerror(errno);
            return false;
        }
    }
    return true;
}

bool Folders::createFolders() {
    clearError();
    for (const std::string* folder : {&roamingData_, &voice_, &localData_, &sample_}) {
        std::string error;
        if (!makeFolders(*folder, &error)) return fail(error);
    }
    return true;
}

}  // namespace kantor
