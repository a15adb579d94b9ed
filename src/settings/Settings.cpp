#include "settings/Settings.h"

#include <algorithm>

#include "base/ByteIO.h"
#include "base/Codepage.h"
#include "base/FileIO.h"
#include "settings/StartupTexts.h"

namespace kantor {
namespace {

bool isTrailingSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

// cp932 trail bytes are never ASCII white space, so trimming the bytes is safe.
std::string trimRight(std::string_view s) {
    std::size_t n = s.size();
    while (n > 0 && isTrailingSpace(s[n - 1])) --n;
    return std::string(s.substr(0, n));
}

// Converts a text for a 512-byte field; false when it would not come back the same.
bool toStoredText(std::string_view utf8, std::string& cp932) {
    bool exact = false;
    std::string converted = utf8ToCp932(utf8, &exact);
    if (!exact || converted.size() >= kSettingsTextSize) return false;
    cp932 = std::move(converted);
    return true;
}

// Cuts cp932 text to at most `max` bytes without splitting a double-byte character.
std::string cutCp932(std::string text, std::size_t max) {
    std::size_t n = 0;
    while (n < text.size()) {
        unsigned char b = static_cast<unsigned char>(text[n]);
        std::size_t len = ((b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC)) ? 2 : 1;
        if (n + len > max) break;
        n += len;
    }
    text.resize(std::min(n, text.size()));
    return text;
}

}  // namespace

Settings::Settings(SettingsDefaults defaults) : defaults_(std::move(defaults)) { resetToDefaults(); }

void Settings::resetToDefaults() {
    block_ = SettingsBlock{};
    pluginFiles_.clear();
    settingsMissing_ = false;
    // Paths that cannot be stored stay empty rather than being stored wrong.
    std::string text;
    if (!defaults_.sampleFolder.empty() && toStoredText(defaults_.sampleFolder + names::kDemoSong, text))
        block_.recentFiles[0] = text;
    if (toStoredText(defaults_.documentsFolder, text)) block_.voiceMakerFolder = text;
}

bool Settings::useDefaults(std::string_view reason) {
    resetToDefaults();
    settingsMissing_ = true;
    return fail(reason);
}

bool Settings::load(const std::string& path) {
    std::vector<uint8_t> bytes;
    const ReadStatus st = readWholeFile(path, bytes, kMaxFileSize);
    switch (st) {
    case ReadStatus::Ok:
        break;
    case ReadStatus::NotFound:
        return useDefaults("settings file not found: " + path);
    case ReadStatus::ReadError:
    case ReadStatus::NoAccess:
    case ReadStatus::NotRegular:
        return useDefaults("cannot read the settings file " + path + ": " + readStatusText(st));
    case ReadStatus::TooLarge:
        return useDefaults("the settings file is too large: " + path);
    }
    if (loadFromBytes(bytes)) return true;
    // The file, then the reason.
    const std::string why = lastError();
    clearError();
    return fail(path + ": " + why);
}

bool Settings::loadFromBytes(std::span<const uint8_t> bytes) {
    resetToDefaults();
    clearError();
    SettingsBlock block;
    if (!readSettingsBlock(bytes, block)) return useDefaults("the settings file is shorter than its block");
    if (block.version != kSettingsVersion)
        return useDefaults("the settings file has version " + std::to_string(block.version) + ", not 2002");

    std::vector<std::string> records;
    if (block.recordOffset != 0) {
        uint64_t end = uint64_t{block.recordOffset} + uint64_t{block.recordCount} * kSettingsRecordSize;
        if (end > bytes.size()) return useDefaults("the settings file's plug-in records are cut short");
        ByteReader r(bytes);
        r.seek(block.recordOffset);
        for (unsigned i = 0; i < block.recordCount; ++i)
            records.push_back(cp932ToUtf8(r.fixedText(kSettingsRecordSize)));
        if (!r.ok()) return useDefaults("the settings file's plug-in records are cut short");
    }
    block_ = std::move(block);
    pluginFiles_ = std::move(records);
    return true;
}

std::vector<uint8_t> Settings::toBytes() const {
    SettingsBlock block = block_;
    block.version = kSettingsVersion;
    std::vector<uint8_t> records;
    uint16_t count = 0;
    for (const std::string& path : pluginFiles_) {
        if (path.empty() || count == UINT16_MAX) continue;
        // A path that does not convert exactly is still written, so that the numbers of
        // the later plug-ins (which songs refer to) stay as they are.
        ByteWriter w;
        w.fixedText(cutCp932(utf8ToCp932(path), kSettingsRecordSize - 1), kSettingsRecordSize);
        records.insert(records.end(), w.buffer().begin(), w.buffer().end());
        ++count;
    }
    block.recordOffset = count ? static_cast<uint32_t>(kSettingsBlockSize) : 0;
    block.recordCount = count;
    std::vector<uint8_t> out;
    out.reserve(kSettingsBlockSize + records.size());
    writeSettingsBlock(block, out);
    out.insert(out.end(), records.begin(), records.end());
    return out;
}

bool Settings::save(const std::string& path) {
    clearError();
    std::string error;
    if (!writeFileAtomically(path, toBytes(), &error)) return fail("cannot save the settings file: " + error);
    return true;
}

WindowRect Settings::windowRect(WindowKind kind, int index) const {
    const SettingsBlock& b = block_;
    switch (kind) {
    case WindowKind::MainPanel: return b.mainPanel;
    case WindowKind::ChannelList: return b.channelList;
    case WindowKind::TitleInfo: return b.titleInfo;
    case WindowKind::ChannelScore:
        return index >= 0 && index < kWindowChannels ? b.channelScore[static_cast<std::size_t>(index)] : WindowRect{};
    case WindowKind::MuteSolo: return b.muteSolo;
    case WindowKind::WaveVolume: return b.waveVolumeWindow;
    case WindowKind::NoteVoice:
        return index >= 0 && index < kWindowChannels ? b.noteVoice[static_cast<std::size_t>(index)] : WindowRect{};
    case WindowKind::RomajiList: return b.romajiList;
    case WindowKind::LyricInput: return b.lyricInput;
    case WindowKind::WaveInsert: return b.waveInsert;
    }
    return {};
}

void Settings::setWindowRect(WindowKind kind, const WindowRect& rect, int index) {
    SettingsBlock& b = block_;
    bool channelOk = index >= 0 && index < kWindowChannels;
    switch (kind) {
    case WindowKind::MainPanel: b.mainPanel = rect; break;
    case WindowKind::ChannelList: b.channelList = rect; break;
    case WindowKind::TitleInfo: b.titleInfo = rect; break;
    case WindowKind::ChannelScore:
        if (channelOk) b.channelScore[static_cast<std::size_t>(index)] = rect;
        break;
    case WindowKind::MuteSolo: b.muteSolo = rect; break;
    case WindowKind::WaveVolume: b.waveVolumeWindow = rect; break;
    case WindowKind::NoteVoice:
        if (channelOk) b.noteVoice[static_cast<std::size_t>(index)] = rect;
        break;
    case WindowKind::RomajiList: b.romajiList = rect; break;
    case WindowKind::LyricInput: b.lyricInput = rect; break;
    case WindowKind::WaveInsert: b.waveInsert = rect; break;
    }
}

std::string Settings::recentFile(int index) const {
    if (index < 0 || index >= kRecentFileCount) return "";
    return cp932ToUtf8(block_.recentFiles[static_cast<std::size_t>(index)]);
}

bool Settings::addRecentFile(std::string_view path) {
    std::string stored;
    if (!toStoredText(trimRight(path), stored) || stored.empty()) return false;
    auto& list = block_.recentFiles;
    for (std::string& entry : list) entry = trimRight(entry);
    auto found = std::find(list.begin(), list.end(), stored);
    // Entries above the found one (or all, dropping the last) move down by one.
    auto last = found != list.end() ? found : list.end() - 1;
    std::move_backward(list.begin(), last, last + 1);
    list[0] = std::move(stored);
    return true;
}

std::string Settings::voiceFolderText() const { return cp932ToUtf8(block_.voiceFolder); }

bool Settings::setVoiceFolderText(std::string_view utf8) { return toStoredText(utf8, block_.voiceFolder); }

std::string Settings::voiceMakerFolder() const { return cp932ToUtf8(block_.voiceMakerFolder); }

bool Settings::setVoiceMakerFolder(std::string_view utf8) { return toStoredText(utf8, block_.voiceMakerFolder); }

bool Settings::isStorableText(std::string_view utf8) {
    std::string ignored;
    return toStoredText(utf8, ignored);
}

std::vector<std::string> mergeLists(const std::vector<std::string>& base, const std::vector<std::string>& ours,
                                    const std::vector<std::string>& theirs) {
    if (theirs == base) return ours;
    if (ours == base) return theirs;
    const auto has = [](const std::vector<std::string>& list, const std::string& item) {
        return std::find(list.begin(), list.end(), item) != list.end();
    };
    std::vector<std::string> out;
    for (const std::string& item : theirs)
        if (!(has(base, item) && !has(ours, item)) && !has(out, item)) out.push_back(item);  // unless we removed it
    for (const std::string& item : ours)
        if (!has(base, item) && !has(out, item)) out.push_back(item);  // what we added
    return out;
}

}  // namespace kantor
