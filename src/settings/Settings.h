#pragma once
// The program's settings: window positions, the recent file list, the wave output volume,
// the sound settings (MIDI–wave delay correction, output quality code), the registered
// plug-in list and the other preferences, kept between runs in the binary file "Kantor.ini":
// a 3792-byte block (SettingsBlock) optionally followed by 512-byte records, one registered
// plug-in description file path each.
//
// Reading never fails hard: a missing, short, foreign (version other than 2002) or damaged
// file leaves every field at its default and sets the settings-missing flag, which makes
// the program show its first-run notice and measure the output quality again.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/LastError.h"
#include "settings/SettingsBlock.h"

namespace kantor {

// The folders some defaults are made of (given by the platform's Folders service).
struct SettingsDefaults {
    std::string sampleFolder;     // with a trailing '/'; the demo song lives here
    std::string documentsFolder;  // the voice data maker's default folder
};

// The windows whose normal rectangle the settings keep.
enum class WindowKind {
    MainPanel,
    ChannelList,
    TitleInfo,
    ChannelScore,  // one per MIDI channel, index 0 to 15
    MuteSolo,
    WaveVolume,
    NoteVoice,  // one per MIDI channel, index 0 to 15
    RomajiList,
    LyricInput,
    WaveInsert,
};

class Settings : public LastError {
public:
    // Files larger than this cannot be a settings file (the block and 65535 records fit).
    static constexpr std::size_t kMaxFileSize = kSettingsBlockSize + 65536 * kSettingsRecordSize;

    explicit Settings(SettingsDefaults defaults = {});

    // Sets every field to its default and clears the settings-missing flag.
    void resetToDefaults();

    // Reads the settings file. Returns true when it was read; otherwise every field is at
    // its default, settingsMissing() is true and lastError() says why.
    bool load(const std::string& path);
    // The same from the bytes of a file.
    bool loadFromBytes(std::span<const uint8_t> bytes);

    // Writes the settings file through a temporary file that replaces the old one only
    // when complete: a failed save leaves the previous file intact. False with lastError().
    bool save(const std::string& path);
    // The bytes save() writes: the block, then the non-empty plug-in records.
    std::vector<uint8_t> toBytes() const;

    // Set when the last load found no usable file.
    bool settingsMissing() const { return settingsMissing_; }

    // All fields of the block (texts there are cp932; prefer the accessors below for texts).
    SettingsBlock& block() { return block_; }
    const SettingsBlock& block() const { return block_; }

    // Window rectangles. `index` is the MIDI channel (0 to 15) for the channel score and
    // note voice windows and ignored for the others; an index out of range reads as an empty
    // rectangle and is not stored.
    WindowRect windowRect(WindowKind kind, int index = 0) const;
    void setWindowRect(WindowKind kind, const WindowRect& rect, int index = 0);

    // Recent files, most recent first (UTF-8). Index 0 to 3; any other gives "".
    std::string recentFile(int index) const;
    // Moves `path` (trailing white space removed) to the top of the list: an entry equal to
    // it moves up, otherwise every entry moves down and the fourth is dropped. Paths are
    // compared exactly, as the file system does. An empty path, or one the settings file
    // cannot hold (see isStorableText), changes nothing and gives false.
    bool addRecentFile(std::string_view path);

    // The sound settings block, exchanged whole with the sync correction window and the
    // voice data maker.
    const SoundSettings& soundSettings() const { return block_.sound; }
    void setSoundSettings(const SoundSettings& sound) { block_.sound = sound; }
    // MIDI–wave delay correction in ms, -500 to +500 (the renderer adds it to every phrase).
    int32_t midiDelayCorrection() const { return block_.sound.midiDelayCorrection(); }
    void setMidiDelayCorrection(int32_t ms) { block_.sound.setMidiDelayCorrection(ms); }
    // Output quality code 0 to 11 (sample format of the rendered vocal and the wave output).
    uint16_t outputQualityCode() const { return block_.sound.outputQualityCode(); }
    bool setOutputQualityCode(uint16_t code) { return block_.sound.setOutputQualityCode(code); }
    OutputFormat outputFormat() const { return outputFormatOfQualityCode(outputQualityCode()); }

    // Wave output volume, left and right (0 to 0xFFFF), and the wave volume window's
    // "LRSync" flag.
    uint16_t waveVolumeLeft() const { return block_.waveVolumeLeft; }
    uint16_t waveVolumeRight() const { return block_.waveVolumeRight; }
    void setWaveVolume(uint16_t left, uint16_t right) {
        block_.waveVolumeLeft = left;
        block_.waveVolumeRight = right;
    }
    // The note voice window's five one-click note lengths in ticks (0 = unset), kept in the
    // block's values at 648 and 652 (two 16-bit lengths each) and 676 (the low 16 bits).
    std::array<uint16_t, 5> oneClickLengths() const {
        return {uint16_t(block_.value648 & 0xFFFF), uint16_t(block_.value648 >> 16), uint16_t(block_.value652 & 0xFFFF),
                uint16_t(block_.value652 >> 16), uint16_t(block_.value676 & 0xFFFF)};
    }
    void setOneClickLengths(const std::array<uint16_t, 5>& l) {
        block_.value648 = uint32_t(l[0]) | uint32_t(l[1]) << 16;
        block_.value652 = uint32_t(l[2]) | uint32_t(l[3]) << 16;
        block_.value676 = (block_.value676 & 0xFFFF0000u) | l[4];
    }
    bool lrSync() const { return block_.lrSync != 0; }
    void setLrSync(bool on) { block_.lrSync = on ? 1 : 0; }

    // The voice folder text the voice library stores at first start (UTF-8, "" = not yet).
    std::string voiceFolderText() const;
    bool setVoiceFolderText(std::string_view utf8);
    // The voice data maker's folder (UTF-8).
    std::string voiceMakerFolder() const;
    bool setVoiceMakerFolder(std::string_view utf8);

    // The registered plug-in list: description file paths (UTF-8), plug-in number n being
    // entry n - 1. Empty entries read from a file keep their place until the next save.
    const std::vector<std::string>& pluginFiles() const { return pluginFiles_; }
    void setPluginFiles(std::vector<std::string> paths) { pluginFiles_ = std::move(paths); }

    // True when a UTF-8 text converts to cp932 exactly and fits a 512-byte text field
    // (at most 511 bytes). Texts that do not are never written as a different path.
    static bool isStorableText(std::string_view utf8);

    const SettingsDefaults& defaults() const { return defaults_; }

private:
    bool useDefaults(std::string_view reason);

    SettingsDefaults defaults_;
    SettingsBlock block_;
    std::vector<std::string> pluginFiles_;
    bool settingsMissing_ = false;
};

// The plug-in list after two writers changed the one read as `base`: `ours` and
// `theirs`. What either added or removed is added or removed, in theirs' order with ours'
// additions after; when only one of them changed the list, that one's list, order and all.
std::vector<std::string> mergeLists(const std::vector<std::string>& base, const std::vector<std::string>& ours,
                                    const std::vector<std::string>& theirs);

}  // namespace kantor
