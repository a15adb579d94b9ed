#include "voice/VoiceBank.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <map>

#include "base/ByteIO.h"
#include "base/Codepage.h"
#include "base/FileIO.h"
#include "base/Texts.h"
#include "sound/SoundFormat.h"
#include "synth/SoundTexts.h"

namespace kantor {
namespace {

char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool hasVxbExtension(const std::string& name) {
    return name.size() > 4 && name.compare(name.size() - 4, 4, ".vxb") == 0;
}

enum class PrefixStatus { Ok, OpenFailed, Short };

// Reads the first n bytes of a regular file and its length.
PrefixStatus readPrefix(const std::string& path, uint8_t* out, std::size_t n, uint64_t& length) {
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return PrefixStatus::OpenFailed;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return PrefixStatus::OpenFailed;
    }
    length = static_cast<uint64_t>(st.st_size);
    std::size_t got = 0;
    while (got < n) {
        ssize_t r = ::read(fd, out + got, n - got);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) break;
        got += static_cast<std::size_t>(r);
    }
    ::close(fd);
    return got == n ? PrefixStatus::Ok : PrefixStatus::Short;
}

std::string headerText(const VoiceFileEntry& e, std::size_t offset, std::size_t size) {
    return cp932FieldToUtf8(e.header.data() + offset, size);
}

}  // namespace

bool codesEqual(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
    return true;
}

std::string VoiceBank::voiceFilePath(const std::string& title) const {
    const std::string own = joinPath(folder_, title + ".vxb");
    if (shared_.empty() || fileExists(own)) return own;
    for (const std::string& folder : shared_) {
        std::string path = joinPath(folder, title + ".vxb");
        if (fileExists(path)) return path;
    }
    return own;
}

bool VoiceBank::enumerateVoiceFiles() {
    clearError();
    files_.clear();
    // File name -> path: the voice folder first, then the shared folders for names it lacks.
    std::map<std::string, std::string> names;
    auto list = [&](const std::string& folder) {
        if (DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str())) {
            while (dirent* d = ::readdir(dir)) {
                std::string name = d->d_name;
                if (hasVxbExtension(name) && !names.count(name)) names.emplace(name, joinPath(folder, name));
            }
            ::closedir(dir);
        }
    };
    list(folder_);
    for (const std::string& folder : shared_) list(folder);
    // The directory order of the file system is arbitrary; name order keeps lists stable.
    std::string skippedFiles;
    for (const auto& [name, path] : names) {
        auto entry = std::make_unique<VoiceFileEntry>();
        entry->title = name.substr(0, name.size() - 4);
        struct stat st {};
        if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) continue;  // a folder named *.vxb
        // A file that cannot be listed is skipped, naming it; the others are still listed.
        std::string skipped;
        if (readPrefix(path, entry->header.data(), kVoiceHeaderSize, entry->fileLength) != PrefixStatus::Ok) {
            skipped = voicetext::kReadFailed;
        } else {
            VoiceFileReader reader;
            VoiceFileHeader header;
            if (!reader.readHeader(entry->header, header)) skipped = reader.lastError();
        }
        if (!skipped.empty()) {
            skippedFiles += (skippedFiles.empty() ? "" : "\n") + name + ": " + skipped;
            continue;
        }
        files_.push_back(std::move(entry));
    }
    if (!skippedFiles.empty()) fail(skippedFiles);  // the listing still succeeds
    return true;
}

const VoiceFileEntry* VoiceBank::voiceFileEntry(int i) const {
    if (i < 0 || i >= voiceFileCount()) return nullptr;
    return files_[static_cast<std::size_t>(i)].get();
}

std::string VoiceBank::voiceFileTitle(int i) const {
    const VoiceFileEntry* e = voiceFileEntry(i);
    return e ? e->title : std::string();
}
std::string VoiceBank::voiceFileVoiceName(int i) const {
    const VoiceFileEntry* e = voiceFileEntry(i);
    return e ? headerText(*e, 32, 64) : std::string();
}
std::string VoiceBank::voiceFileComment(int i) const {
    const VoiceFileEntry* e = voiceFileEntry(i);
    return e ? headerText(*e, 96, 64) : std::string();
}
std::string VoiceBank::voiceFileComment2(int i) const {
    const VoiceFileEntry* e = voiceFileEntry(i);
    return e ? headerText(*e, 160, 64) : std::string();
}

std::string VoiceBank::voiceFileDescription(int i) const {
    const VoiceFileEntry* e = voiceFileEntry(i);
    if (!e) return {};
    // A code outside 0..11 leaves the format as the maker writes it: 16-bit mono 44100 Hz.
    uint32_t packed = kMono16, rate = kRate44100;
    decodeSampleFormatCode(loadLE16(e->header.data() + 226), packed, rate);
    return sampleFormatText(packed, rate) + "  FileSize: " + sizeText(e->fileLength);
}

int VoiceBank::findVoiceFile(const std::string& title) const {
    for (std::size_t i = 0; i < files_.size(); ++i)
        if (files_[i]->title == title) return static_cast<int>(i);
    return -1;
}

std::vector<std::unique_ptr<Voice>>::iterator VoiceBank::findLoaded(const std::string& name) {
    std::string trimmed = trimTrailingBlanks(name);
    return std::find_if(voices_.begin(), voices_.end(),
                        [&](const std::unique_ptr<Voice>& v) { return v && trimTrailingBlanks(v->name) == trimmed; });
}

const Voice* VoiceBank::findVoice(const std::string& name) const {
    std::string trimmed = trimTrailingBlanks(name);
    for (const auto& v : voices_)
        if (v && trimTrailingBlanks(v->name) == trimmed) return v.get();
    return nullptr;
}

std::unique_ptr<Voice> VoiceBank::readVoice(const std::string& title) {
    VoiceFileReader reader;
    std::unique_ptr<Voice> voice = reader.mapFile(voiceFilePath(title), title);
    if (!voice) fail(reader.lastError());
    return voice;
}

bool VoiceBank::ensureVoiceLoaded(const std::string& title) {
    clearError();
    if (findVoice(title)) return true;
    // The file is named as the voice is stored, trailing blanks and all; a name padded
    // with blanks whose file has none still finds that file.
    std::string file = title;
    const std::string trimmed = trimTrailingBlanks(title);
    if (trimmed != title && !fileExists(voiceFilePath(title)) && fileExists(voiceFilePath(trimmed))) file = trimmed;
    std::unique_ptr<Voice> voice = readVoice(file);
    if (!voice) return false;
    try {
        voices_.push_back(std::move(voice));
    } catch (const std::bad_alloc&) {
        return fail(text::kOutOfMemory);
    }
    return true;
}

bool VoiceBank::reloadVoice(const std::string& title) {
    clearError();
    auto it = findLoaded(title);
    if (it == voices_.end()) return true;
    voices_.erase(it);
    return ensureVoiceLoaded(title);
}

void VoiceBank::forgetVoice(const std::string& title) {
    auto it = findLoaded(title);
    if (it != voices_.end()) voices_.erase(it);
    int i = findVoiceFile(title);
    if (i >= 0) files_.erase(files_.begin() + i);
}

void VoiceBank::addVoice(std::unique_ptr<Voice> voice) {
    if (!voice) return;
    auto it = findLoaded(voice->name);
    if (it != voices_.end()) *it = std::move(voice);
    else voices_.push_back(std::move(voice));
}

bool VoiceBank::sampleByIndex(const std::string& voiceName, int index, std::string& kana, std::string& code,
                              bool& usable) const {
    kana.clear();
    code.clear();
    usable = false;
    const Voice* v = findVoice(voiceName);
    if (!v || index < 0 || static_cast<std::size_t>(index) >= v->samples.size()) return false;
    const VoiceSample* s = v->samples[static_cast<std::size_t>(index)].get();
    if (!s) return false;
    kana = s->kana;
    code = s->code;
    usable = s->usable();
    return true;
}

bool VoiceBank::findSyllableByCode(const std::string& voiceName, const std::string& typed,
                                   SyllableMatch& match) const {
    match = {};
    if (typed.empty()) return true;
    const Voice* voice = findVoice(voiceName);
    if (!voice) return false;
    for (const auto& s : voice->samples) {
        if (s && s->usable() && codesEqual(s->code, typed)) {
            match.code = s->code;
            match.kana = s->kana;
            return true;
        }
    }
    return false;
}

const VoiceSample* VoiceBank::findSampleForNote(const Voice& voice, const std::string& code, uint32_t pitch) const {
    if (code.empty()) return nullptr;
    const VoiceSample* best = nullptr;
    int64_t bestDistance = 1000;
    for (const auto& s : voice.samples) {
        if (!s || !codesEqual(s->code, code)) continue;
        int64_t d = static_cast<int64_t>(s->pitch) - static_cast<int64_t>(pitch);
        if (d < 0) d = -d;
        if (d < bestDistance) {
            bestDistance = d;
            best = s.get();
        }
    }
    return best;
}

std::string VoiceBank::checkVoiceFile(const std::string& title) {
    clearError();
    std::array<uint8_t, kVoiceHeaderSize> header{};
    uint64_t length = 0;
    if (readPrefix(voiceFilePath(title), header.data(), header.size(), length) != PrefixStatus::Ok) {
        fail(voicetext::kReadFailed);
        return title;
    }
    VoiceFileReader reader;
    VoiceFileHeader h;
    if (!reader.readHeader(header, h)) {
        fail(reader.lastError());
        return std::string(1, '\x01');
    }
    return title;
}

}  // namespace kantor
