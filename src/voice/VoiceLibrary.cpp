#include "voice/VoiceLibrary.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <ctime>
#include <vector>

#include <sys/stat.h>

#include "base/FileIO.h"
#include "base/Texts.h"
#include "base/Translation.h"
#include "platform/UserPrompt.h"
#include "voice/VoiceBank.h"
#include "voice/VoiceFile.h"

namespace kantor {
namespace {

std::string withArgument(const char* format, const std::string& arg) {
    std::string s = format;
    std::size_t at = s.find("%s");
    if (at != std::string::npos) s.replace(at, 2, arg);
    return s;
}

}  // namespace

uint32_t systemTickCount() {
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    uint64_t ms = static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
    return static_cast<uint32_t>(ms);
}

std::string newVoiceIdentifier(const std::string& voiceFolder, const TickSource& tick) {
    uint32_t last = tick();
    bool first = true;
    for (;;) {
        uint32_t now = first ? last : tick();
        if (!first && now == last) now = last + 1;  // the clock has not moved on
        first = false;
        last = now;
        std::string id = "vxb" + std::to_string(now % 100000000u);
        if (!fileExists(joinPath(voiceFolder, id + ".vxb"))) return id;
    }
}

bool isBuiltInVoice(const std::string& identifier) {
    return identifier == kBuiltInMaleVoice || identifier == kBuiltInFemaleVoice;
}

bool isValidVoiceIdentifier(const std::string& identifier) {
    if (identifier.empty() || identifier == "." || identifier == "..") return false;
    return identifier.find_first_of("/\\") == std::string::npos && identifier.find('\0') == std::string::npos;
}

bool hasVoiceFileExtension(const std::string& path) {
    std::string name = fileNameOf(path);
    std::size_t dot = name.find_last_of('.');
    if (dot == std::string::npos) return false;
    std::string ext = name.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    return ext == "vxb";
}

std::string VoiceLibrary::voicePath(const std::string& identifier) const {
    return joinPath(folder_, identifier + ".vxb");
}

bool VoiceLibrary::isBuiltInVoicePath(const std::string& path) const {
    for (const char* builtIn : {kBuiltInMaleVoice, kBuiltInFemaleVoice}) {
        const std::string own = voicePath(builtIn);
        if (sameFile(path, own)) return true;
        if (fileNameOf(path) != fileNameOf(own)) continue;
        struct stat a {}, b {};
        const std::string folder = folderOf(path);
        if (::stat(folder.empty() ? "." : folder.c_str(), &a) == 0 && ::stat(folder_.c_str(), &b) == 0 &&
            a.st_dev == b.st_dev && a.st_ino == b.st_ino) {
            return true;
        }
    }
    return false;
}

bool VoiceLibrary::failWith(const char* format, const std::string& arg) { return fail(withArgument(format, arg)); }

std::vector<std::string> VoiceLibrary::offeredVoices(const VoiceBank& bank) {
    std::vector<std::string> ids;
    for (int i = 0; i < bank.voiceFileCount(); ++i) {
        std::string title = bank.voiceFileTitle(i);
        if (!isBuiltInVoice(title)) ids.push_back(std::move(title));
    }
    return ids;
}

Outcome VoiceLibrary::copyFile(const std::string& source, const std::string& target, bool askOverwrite) {
    clearError();
    std::vector<uint8_t> bytes;
    if (!readSource(source, bytes)) return Outcome::Failed;
    if (askOverwrite && fileExists(target)) {
        PromptAnswer answer = prompt_ ? prompt_->askYesNo(KANTOR_TEXT("確認"), withArgument(librarytext::kAskOverwrite, target))
                                      : PromptAnswer::No;
        if (answer != PromptAnswer::Yes) return Outcome::Cancelled;
    }
    std::string error;
    if (!writeFileAtomically(target, bytes, &error)) {
        fail(withArgument(librarytext::kCopyFailed, target) + "\n" + error);
        return Outcome::Failed;
    }
    return Outcome::Done;
}

bool VoiceLibrary::readSource(const std::string& source, std::vector<uint8_t>& bytes) {
    const ReadStatus st = readWholeFile(source, bytes);
    if (st == ReadStatus::Ok) return true;
    if (st == ReadStatus::NotFound) return failWith(librarytext::kSourceMissing, source);
    return fail(source + ": " + readStatusText(st));
}

Outcome VoiceLibrary::exportVoice(const std::string& identifier, const std::string& target, bool askOverwrite) {
    clearError();
    if (!isValidVoiceIdentifier(identifier)) {
        failWith(librarytext::kBadIdentifier, identifier);
        return Outcome::Failed;
    }
    if (isBuiltInVoice(identifier)) {
        fail(librarytext::kBuiltInVoice);
        return Outcome::Failed;
    }
    if (!hasVoiceFileExtension(target)) return Outcome::Cancelled;
    if (isBuiltInVoicePath(target)) {
        fail(librarytext::kBuiltInVoice);
        return Outcome::Failed;
    }
    return copyFile(voicePath(identifier), target, askOverwrite);
}

Outcome VoiceLibrary::importVoice(const std::string& source, std::string& identifier, const TickSource& tick) {
    clearError();
    identifier.clear();
    if (!hasVoiceFileExtension(source)) return Outcome::Cancelled;
    std::vector<uint8_t> bytes;
    if (!readSource(source, bytes)) return Outcome::Failed;
    // Only what the voice bank can read goes into the voice folder.
    VoiceFileReader reader;
    if (!reader.read(bytes, "import")) {
        fail(source + ": " + reader.lastError());
        return Outcome::Failed;
    }
    // The identifier is ours once its file is created: another import that picked the same
    // one in the meantime makes this one try the next.
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const std::string id = newVoiceIdentifier(folder_, tick);
        const std::string target = voicePath(id);
        AtomicFile file(target, AtomicFile::Mode::CreateNew);
        if (file.write(bytes) && file.commit()) {
            identifier = id;
            return Outcome::Done;
        }
        if (!file.exists()) {
            fail(withArgument(librarytext::kCopyFailed, target) + "\n" + file.error());
            return Outcome::Failed;
        }
    }
    failWith(librarytext::kCopyFailed, folder_);
    return Outcome::Failed;
}

bool VoiceLibrary::deleteVoice(const std::string& identifier, VoiceBank* bank) {
    clearError();
    if (!isValidVoiceIdentifier(identifier)) return failWith(librarytext::kBadIdentifier, identifier);
    if (isBuiltInVoice(identifier)) return fail(librarytext::kBuiltInVoice);
    std::string path = voicePath(identifier);
    if (!fileExists(path)) return failWith(librarytext::kNoSuchVoice, identifier);
    if (std::remove(path.c_str()) != 0) return failWith(librarytext::kDeleteFailed, identifier);
    // A voice imported from a bank keeps the bank's readme (its terms of use) beside it.
    const std::string readme = joinPath(folder_, identifier + ".readme.txt");
    if (fileExists(readme)) std::remove(readme.c_str());
    if (bank) bank->forgetVoice(identifier);
    return true;
}

namespace {

std::string trimmedName(std::string s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\0')) s.pop_back();
    return s;
}

std::string lowered(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string namedList(const std::vector<VoiceChoice>& choices) {
    if (choices.empty()) return KANTOR_TEXT("（なし）");
    std::string out;
    for (const VoiceChoice& c : choices) {
        if (!out.empty()) out += ", ";
        const std::string& name = c.label.empty() ? c.identifier : c.label;
        out += name;
        if (name.find(c.identifier) == std::string::npos) out += " (" + c.identifier + ")";
    }
    return out;
}

}  // namespace

std::vector<VoiceChoice> voiceChoices(const VoiceBank& bank) {
    std::vector<VoiceChoice> out;
    std::vector<std::string> names;
    for (int i = 0; i < bank.voiceFileCount(); ++i) {
        out.push_back({bank.voiceFileTitle(i), {}});
        names.push_back(trimmedName(bank.voiceFileVoiceName(i)));
    }
    for (std::size_t i = 0; i < out.size(); ++i) {
        if (names[i].empty() || names[i] == out[i].identifier) {
            out[i].label = out[i].identifier;
            continue;
        }
        const auto same = std::count(names.begin(), names.end(), names[i]);
        out[i].label = same > 1 ? names[i] + " (" + out[i].identifier + ")" : names[i];
    }
    return out;
}

std::string voiceLabel(const std::vector<VoiceChoice>& choices, const std::string& identifier) {
    for (const VoiceChoice& c : choices)
        if (c.identifier == identifier) return c.label;
    return identifier;
}

bool findVoiceByName(const VoiceBank& bank, const std::string& typed, std::string& identifier, std::string& error) {
    std::vector<VoiceChoice> all;
    for (int i = 0; i < bank.voiceFileCount(); ++i) all.push_back({bank.voiceFileTitle(i), trimmedName(bank.voiceFileVoiceName(i))});
    const std::string name = trimmedName(typed);
    for (const VoiceChoice& c : all) {
        if (c.identifier == typed) {
            identifier = typed;
            return true;
        }
    }
    std::vector<VoiceChoice> found;
    for (const VoiceChoice& c : all)
        if (!name.empty() && c.label == name) found.push_back(c);
    if (found.empty())
        for (const VoiceChoice& c : all)
            if (!name.empty() && lowered(c.label) == lowered(name)) found.push_back(c);
    if (found.size() == 1) {
        identifier = found[0].identifier;
        return true;
    }
    if (found.size() > 1) {
        error = fillText(librarytext::kNameShared, {typed, namedList(found)});
        return false;
    }
    // Unknown: the voices whose name or identifier holds what was typed, else every voice.
    std::vector<VoiceChoice> near;
    for (const VoiceChoice& c : all)
        if (!name.empty() && (lowered(c.label).find(lowered(name)) != std::string::npos ||
                              lowered(c.identifier).find(lowered(name)) != std::string::npos))
            near.push_back(c);
    error = fillText(librarytext::kNameUnknown, {typed, namedList(near.empty() ? all : near)});
    return false;
}

}  // namespace kantor
