#pragma once
// The fixed 3792-byte block at the start of the settings file "Kantor.ini", field by field.
// All integers are little-endian. Text fields hold zero-terminated cp932 text; here they are
// kept as the cp932 bytes of the file (the Settings class converts them to UTF-8), so that
// a file is written back exactly as it was read.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "settings/SoundSettings.h"
#include "settings/WindowRect.h"

namespace kantor {

inline constexpr std::size_t kSettingsBlockSize = 3792;
inline constexpr std::size_t kSettingsRecordSize = 512;
inline constexpr std::size_t kSettingsTextSize = 512;
inline constexpr uint32_t kSettingsVersion = 2002;
inline constexpr int kRecentFileCount = 4;
inline constexpr int kWindowChannels = 16;

// Byte offsets of the block's fields.
namespace settings_offset {
inline constexpr std::size_t kVersion = 0;
inline constexpr std::size_t kMainPanel = 4;
inline constexpr std::size_t kChannelList = 20;
inline constexpr std::size_t kTitleInfo = 36;
inline constexpr std::size_t kChannelScore = 52;  // + 16 x channel (0 to 15)
inline constexpr std::size_t kMuteSolo = 308;
inline constexpr std::size_t kValue324 = 324;
inline constexpr std::size_t kWaveVolumeWindow = 328;
inline constexpr std::size_t kNoteVoice = 344;  // + 16 x channel (0 to 15)
inline constexpr std::size_t kRomajiList = 600;
inline constexpr std::size_t kLyricInput = 616;
inline constexpr std::size_t kWaveInsert = 632;
inline constexpr std::size_t kValue648 = 648;
inline constexpr std::size_t kValue652 = 652;
inline constexpr std::size_t kChannelListBarPattern = 656;
inline constexpr std::size_t kChannelListEventColourArea = 660;
inline constexpr std::size_t kChannelListAutoScroll = 664;
inline constexpr std::size_t kChannelScoreAutoScrollMode = 668;
inline constexpr std::size_t kChannelScoreVoxWordDisplay = 672;
inline constexpr std::size_t kValue676 = 676;
inline constexpr std::size_t kSoundSettings = 680;
inline constexpr std::size_t kWaveVolumeLeft = 704;
inline constexpr std::size_t kWaveVolumeRight = 706;
inline constexpr std::size_t kLrSync = 708;
inline constexpr std::size_t kValue710 = 710;
inline constexpr std::size_t kVoiceFolder = 712;
inline constexpr std::size_t kRecentFiles = 1224;  // + 512 x entry (0 to 3)
inline constexpr std::size_t kVoiceMakerFolder = 3272;
inline constexpr std::size_t kRecordOffset = 3784;
inline constexpr std::size_t kRecordCount = 3788;
inline constexpr std::size_t kValue3790 = 3790;
}  // namespace settings_offset

struct SettingsBlock {
    uint32_t version = kSettingsVersion;
    WindowRect mainPanel;
    WindowRect channelList;
    WindowRect titleInfo;
    std::array<WindowRect, kWindowChannels> channelScore{};
    WindowRect muteSolo;
    uint32_t value324 = 0;
    WindowRect waveVolumeWindow;
    std::array<WindowRect, kWindowChannels> noteVoice{};
    WindowRect romajiList;
    WindowRect lyricInput;
    WindowRect waveInsert;
    uint32_t value648 = 0;
    uint32_t value652 = 0;
    int32_t channelListBarPattern = 0;        // 0 or 1
    int32_t channelListEventColourArea = 0;   // 0 whole channel, 1 only where events are
    int32_t channelListAutoScroll = 1;        // 1 on
    int32_t channelScoreAutoScrollMode = 0;   // 0 always, 1 only while playing, 2 never
    int32_t channelScoreVoxWordDisplay = 1;   // 0 off, 1 hiragana, 2 romaji
    uint32_t value676 = 0;
    SoundSettings sound;
    uint16_t waveVolumeLeft = 0x7FFF;
    uint16_t waveVolumeRight = 0x7FFF;
    uint16_t lrSync = 1;  // 1 = left and right volume move together
    uint16_t value710 = 0;
    std::string voiceFolder;                              // cp932
    std::array<std::string, kRecentFileCount> recentFiles;  // cp932, most recent first
    std::string voiceMakerFolder;                         // cp932
    uint32_t recordOffset = 0;  // file offset of the appended 512-byte records, 0 = none
    uint16_t recordCount = 0;
    uint16_t value3790 = 0;

    friend bool operator==(const SettingsBlock&, const SettingsBlock&) = default;
};

// Reads the block from the first 3792 bytes of `bytes`; false when fewer are there.
bool readSettingsBlock(std::span<const uint8_t> bytes, SettingsBlock& out);
// Appends the 3792 bytes of the block. Texts longer than 511 bytes are cut.
void writeSettingsBlock(const SettingsBlock& block, std::vector<uint8_t>& out);

}  // namespace kantor
