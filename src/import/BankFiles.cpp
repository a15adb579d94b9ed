#include "import/BankFiles.h"

#include "base/Translation.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>

namespace kantor {
namespace fs = std::filesystem;
namespace {

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](char c) { return char(c >= 'A' && c <= 'Z' ? c + 32 : c); });
    return s;
}

// What lies at a path that has no links left in it.
BankFile kindAt(const fs::path& resolved) {
    BankFile f;
    struct stat st {};
    if (::lstat(resolved.c_str(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) return f;
        f.kind = BankFileKind::Unreadable;
        f.error = errno;
        return f;
    }
    if (S_ISREG(st.st_mode)) {
        f.kind = BankFileKind::File;
        f.path = resolved;
    } else if (S_ISDIR(st.st_mode)) {
        f.kind = BankFileKind::Folder;
    } else if (S_ISFIFO(st.st_mode)) {
        f.kind = BankFileKind::Pipe;
    } else if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode)) {
        f.kind = BankFileKind::Device;
    } else if (S_ISSOCK(st.st_mode)) {
        f.kind = BankFileKind::Socket;
    } else {
        // A link cannot be here: the path was resolved.
        f.kind = BankFileKind::Outside;
    }
    return f;
}

// A name written in a bank file that points out of its folder whatever the disk holds.
bool leavesFolder(std::string_view rel) {
    if (rel.empty()) return false;
    if (rel.front() == '/') return true;
    // "C:\..." and "C:file" name another drive.
    if (rel.size() >= 2 && rel[1] == ':' && ((rel[0] >= 'A' && rel[0] <= 'Z') || (rel[0] >= 'a' && rel[0] <= 'z')))
        return true;
    std::size_t from = 0;
    while (from <= rel.size()) {
        std::size_t slash = rel.find('/', from);
        if (slash == std::string_view::npos) slash = rel.size();
        if (rel.substr(from, slash - from) == "..") return true;
        from = slash + 1;
    }
    return false;
}

}  // namespace

const char* bankFileKindText(BankFileKind kind) {
    switch (kind) {
        case BankFileKind::File:
        case BankFileKind::Missing: return "";
        case BankFileKind::Outside: return KANTOR_TEXT("音源フォルダの外");
        case BankFileKind::Folder: return KANTOR_TEXT("ファイルではなくフォルダ");
        case BankFileKind::Pipe: return KANTOR_TEXT("ファイルではなく名前付きパイプ (FIFO)");
        case BankFileKind::Device: return KANTOR_TEXT("ファイルではなくデバイス");
        case BankFileKind::Socket: return KANTOR_TEXT("ファイルではなくソケット");
        case BankFileKind::Unreadable: return KANTOR_TEXT("調べられない");
    }
    return "";
}

bool BankFolder::open(const std::string& folder, std::string& error) {
    std::error_code ec;
    listings_.clear();
    found_.clear();
    root_ = fs::canonical(folder, ec);
    if (ec) {
        error = folder + ": " + KANTOR_TEXT("フォルダではありません。");
        return false;
    }
    if (!fs::is_directory(root_, ec)) {
        error = folder + ": " + KANTOR_TEXT("フォルダではありません。");
        return false;
    }
    return true;
}

bool BankFolder::contains(const std::string& path) const {
    std::error_code ec;
    const fs::path p = fs::weakly_canonical(fs::absolute(path, ec), ec);
    if (ec) return false;
    const std::string r = root_.string(), s = p.string();
    return s == r || (s.size() > r.size() && s.compare(0, r.size(), r) == 0 && s[r.size()] == '/');
}

BankFile BankFolder::check(const fs::path& path) const {
    std::error_code ec;
    const fs::path resolved = fs::canonical(path, ec);
    if (ec) {
        BankFile f;
        // A link to nowhere is simply missing; a link that loops or a folder that may not be
        // entered cannot be looked at.
        if (ec != std::errc::no_such_file_or_directory && ec != std::errc::not_a_directory) {
            f.kind = BankFileKind::Unreadable;
            f.error = ec.value();
        }
        return f;
    }
    if (!contains(resolved.string()) || resolved == root_) {
        BankFile f;
        f.kind = BankFileKind::Outside;
        return f;
    }
    return kindAt(resolved);
}

std::string BankFolder::findInFolder(const fs::path& folder, const std::string& name) {
    auto [it, added] = listings_.try_emplace(folder.string());
    if (added) {
        std::error_code ec;
        for (fs::directory_iterator d(folder, fs::directory_options::skip_permission_denied, ec), end; !ec && d != end;
             d.increment(ec)) {
            std::string n = d->path().filename().string();
            it->second.emplace_back(lower(n), std::move(n));
        }
        std::sort(it->second.begin(), it->second.end());
    }
    const std::string wanted = lower(name);
    const auto& names = it->second;
    auto at = std::lower_bound(names.begin(), names.end(), std::make_pair(wanted, std::string()));
    return at != names.end() && at->first == wanted ? at->second : std::string();
}

BankFile BankFolder::find(const fs::path& from, std::string_view written) {
    const auto key = std::make_pair(from.string(), std::string(written));
    if (auto it = found_.find(key); it != found_.end()) return it->second;
    std::string rel(written);
    std::replace(rel.begin(), rel.end(), '\\', '/');
    BankFile f;
    if (leavesFolder(rel)) {
        f.kind = BankFileKind::Outside;
    } else {
        std::error_code ec;
        fs::path at = from / rel;
        if (!fs::exists(fs::symlink_status(at, ec))) {
            // Each part ignoring case.
            at = from;
            std::size_t pos = 0;
            while (pos <= rel.size()) {
                std::size_t slash = rel.find('/', pos);
                if (slash == std::string::npos) slash = rel.size();
                const std::string part = rel.substr(pos, slash - pos);
                pos = slash + 1;
                if (part.empty() || part == ".") continue;
                const std::string name = findInFolder(at, part);
                if (name.empty()) {
                    at.clear();
                    break;
                }
                at /= name;
            }
        }
        if (!at.empty()) f = check(at);
    }
    found_.emplace(key, f);
    return f;
}

BankFile BankFolder::rootFile(const std::string& name) {
    const std::string found = findInFolder(root_, name);
    if (found.empty()) return {};
    return check(root_ / found);
}

int openBankFile(const fs::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const int error = errno;
        ::close(fd);
        errno = S_ISREG(st.st_mode) ? error : EINVAL;
        return -1;
    }
    return fd;
}

std::string printableBankText(std::string_view s, std::size_t longest) {
    static const char kHex[] = "0123456789abcdef";
    std::string out;
    auto escape = [&](unsigned char b) {
        out += "\\x";
        out += kHex[b >> 4];
        out += kHex[b & 15];
    };
    std::size_t i = 0;
    const std::size_t stop = std::min(s.size(), longest);
    while (i < stop) {
        const unsigned char b0 = static_cast<unsigned char>(s[i]);
        if (b0 < 0x80) {
            if (b0 < 0x20 || b0 == 0x7F) escape(b0);
            else out += char(b0);
            ++i;
            continue;
        }
        // A whole, valid UTF-8 character is kept, except the C1 controls (U+0080..U+009F).
        std::size_t n = (b0 & 0xE0) == 0xC0 ? 2 : (b0 & 0xF0) == 0xE0 ? 3 : (b0 & 0xF8) == 0xF0 ? 4 : 0;
        bool ok = n != 0 && i + n <= s.size();
        char32_t cp = ok ? char32_t(b0 & (0x7F >> n)) : 0;
        for (std::size_t k = 1; ok && k < n; ++k) {
            const unsigned char b = static_cast<unsigned char>(s[i + k]);
            ok = (b & 0xC0) == 0x80;
            cp = (cp << 6) | (b & 0x3Fu);
        }
        static constexpr char32_t kLeast[5] = {0, 0, 0x80, 0x800, 0x10000};
        ok = ok && cp >= kLeast[n] && cp <= 0x10FFFF && !(cp >= 0xD800 && cp <= 0xDFFF) && !(cp >= 0x80 && cp <= 0x9F);
        if (!ok) {
            escape(b0);
            ++i;
            continue;
        }
        out.append(s.substr(i, n));
        i += n;
    }
    if (i < s.size()) out += "\xE2\x80\xA6 (" + std::to_string(s.size()) + " bytes)";
    return out;
}

}  // namespace kantor
