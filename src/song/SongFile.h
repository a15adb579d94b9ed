#pragma once
// The song file (".uta"): a 1300-byte header and blocks the header points to by absolute
// file offset (0 = absent): the defaults, the lyric lines, one block per channel in use
// (phrase, syllable and note settings and the Vox events) and the inserted waves.
// Every list starts with a 16-byte count header (u32 count, 12 zero bytes).
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "base/LastError.h"
#include "base/Translation.h"

namespace kantor {

class Song;

namespace songfile {
inline constexpr const char* kMagic = "My Kantorellion";
inline constexpr uint16_t kVersion = 211;
inline constexpr std::size_t kHeaderSize = 1300;
inline constexpr std::size_t kCountHeaderSize = 16;
// Header offsets.
inline constexpr std::size_t kVersionAt = 0x010;
inline constexpr std::size_t kTitleAt = 0x014;
inline constexpr std::size_t kMidiNameAt = 0x190;
inline constexpr std::size_t kMidiNameSize = 256;
inline constexpr std::size_t kLyricOffsetAt = 0x290;
inline constexpr std::size_t kChannelOffsetsAt = 0x294;
inline constexpr std::size_t kFlagsAt = 0x2D4;
inline constexpr std::size_t kDefaultsOffsetAt = 0x314;
inline constexpr std::size_t kWaveOffsetAt = 0x318;
inline constexpr std::size_t kDivisionAt = 0x31C;
inline constexpr std::size_t kReservedAt = 0x31E;
// Defaults block: song defaults and 16 channel defaults.
inline constexpr std::size_t kDefaultsSize = 17 * 144;

// Error texts.
inline constexpr const char* kNoPath = "Non UtaFile Path";
inline constexpr const char* kNotFound = KANTOR_TEXT("Utaﾌｧｲﾙが見つかりません。");
inline constexpr const char* kReadFailed = KANTOR_TEXT("Utaﾌｧｲﾙの読み込みに失敗しました。");
inline constexpr const char* kWrongMagic = KANTOR_TEXT("My Kantorellion 歌声ﾌｧｲﾙ（*.uta）形式でないﾌｧｲﾙです。");
inline constexpr const char* kSaveFailed = KANTOR_TEXT("Utaﾌｧｲﾙの保存に失敗しました。");
// Why a write-protected song is not saved, after its path and ": ".
inline constexpr const char* kReadOnlyFile = KANTOR_TEXT("読み取り専用のファイルです。");
}  // namespace songfile

class SongFile : public LastError {
public:
    // Builds the bytes of the song file: `midiPath` gives the MIDI file name stored in the
    // header (the text after its last '/' or '\'), `division` the time base stored with it.
    // Runs the channel-in-use test on every channel, which clears the length of blank-coded
    // slots in the song. Fails with "Utaﾌｧｲﾙの保存に失敗しました。" when a list is too long
    // for its 16-bit count or index.
    bool build(Song& song, const std::string& midiPath, uint16_t division, std::vector<uint8_t>& out);

    // Writes the song file: a temporary file beside `path` is written completely, flushed to
    // disk and then renamed over `path`. On failure the previous file is untouched and the
    // temporary file is removed. On success the song's stored time base becomes `division`.
    bool write(Song& song, const std::string& path, const std::string& midiPath, uint16_t division);

    // Reads a song file into `song` (cleared first). On success the song path is `path` and
    // the MIDI file path the folder of `path` plus the stored name. On failure the song is
    // left cleared and the last error text says why.
    bool read(Song& song, const std::string& path);
    // The same from bytes in memory; `path` places the MIDI file.
    bool readImage(Song& song, std::span<const uint8_t> bytes, const std::string& path);

private:
    bool parse(Song& song, std::span<const uint8_t> bytes);
    bool checkValues(const Song& song);
    bool checkStoredNames(const Song& song, const std::string& midiPath);
};

}  // namespace kantor
