#pragma once
// The voice data project: voice name, comments, master tuning, output rate choice and
// the ordered item list, and its file (.vxbprj).
//
// File layout, little-endian, texts cp932 zero-terminated in their fields:
//   header (280 bytes)  0 magic "VXB Make Project" (32)   32 voice name (64)
//                       96 comment (64)   160 comment 2 (64)   224 version u16 (203)
//                       226 working format index u16   228 tuning u32   232 item count u32
//                       236 rate choice u16   238 zero (42)
//   per list line, an item record (100 bytes), then its data when the length is not 0:
//                       0 code (12)  12 notation (12)  24 pitch name (16)  40 pitch u32
//                       44 data length u32  48 recorded position u32  52..64 markers A-D u32
//                       68 normalize u16  70 volume u16  72 zero (28)
//   After the counted items a project may hold a context area, which readers of plain
//   projects never reach: "Kantor Context" (16, zero-padded), version u32 (1), count u32,
//   zero (8), then per context item an item record whose bytes 72.. hold the sound before
//   (8, ASCII), the kind u8 at 80, zero (3), the overlap marker u32 at 84 (a sample
//   position), zero (12); then its data.
//   A blank item is 100 zero bytes. Version 202 files carry no level fields: their items
//   get normalize 1 and volume 100.
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "base/ByteIO.h"
#include "base/LastError.h"
#include "voicemaker/VoiceItem.h"

namespace kantor {

inline constexpr const char* kProjectMagic = "VXB Make Project";
inline constexpr uint16_t kProjectVersion = 203;
inline constexpr uint16_t kProjectVersionWithoutLevels = 202;
inline constexpr uint16_t kProjectFirstUnsupportedVersion = 204;
inline constexpr std::size_t kProjectHeaderSize = 280;
inline constexpr std::size_t kItemRecordSize = 100;
inline constexpr const char* kProjectContextMagic = "Kantor Context";
// The working format, 16-bit mono 44,100 Hz, by its sample format code.
inline constexpr uint16_t kWorkingFormatIndex = 8;
inline constexpr uint32_t kProjectDefaultTuning = 440000;
// Output rate choices: 0 "11kHz", 1 "22kHz", 2 "44kHz".
inline constexpr uint16_t kRateChoice44k = 2;

struct ProjectHeader {
    std::string magic = kProjectMagic;  // 0, 32
    std::string voiceName;              // 32, 64
    std::string comment;                // 96, 64
    std::string comment2;               // 160, 64
    uint16_t version = kProjectVersion;          // 224
    uint16_t formatIndex = kWorkingFormatIndex;  // 226
    uint32_t tuning = kProjectDefaultTuning;            // 228
    uint32_t itemCount = 0;                      // 232
    uint16_t rateChoice = kRateChoice44k;        // 236; then 42 zero bytes
};

struct ItemRecord {
    std::string code;       // 0, 12
    std::string notation;   // 12, 12
    std::string pitchName;  // 24, 16
    uint32_t pitchNumber = 0;       // 40
    uint32_t dataLength = 0;        // 44
    uint32_t recordedPosition = 0;  // 48
    uint32_t markerA = 0, markerB = 0, markerC = 0, markerD = 0;  // 52, 56, 60, 64
    uint16_t normalize = 1;  // 68
    uint16_t volume = 100;   // 70; then 28 zero bytes
};

// Field readers and writers; the reader must hold the whole record (check ok() after).
ProjectHeader readProjectHeader(ByteReader& r);
void writeProjectHeader(ByteWriter& w, const ProjectHeader& h);
ItemRecord readItemRecord(ByteReader& r);
void writeItemRecord(ByteWriter& w, const ItemRecord& rec);
// The data length an item is stored with: rounded down to a multiple of 4, at most 177,400.
uint32_t storedDataLength(uint32_t length);

class VoiceProject : public LastError {
public:
    VoiceProject() = default;

    std::string voiceName;
    std::string comment;
    std::string comment2;
    uint32_t tuning = kProjectDefaultTuning;  // thousandths of a hertz
    uint16_t rateChoice = kRateChoice44k;
    // The list lines in display order; a blank line is an item with an empty code.
    // Empty slots are skipped by everything.
    std::vector<std::unique_ptr<VoiceItem>> items;
    // Samples chosen by the sound before a note (VCV, CVVC endings) that an import keeps
    // beside the list; the list and its editor never show them. Built into the voice
    // file's context area.
    std::vector<std::unique_ptr<VoiceItem>> contextItems;

    // A new project: empty names, 440 Hz, rate choice 2, no items, nothing changed.
    void clear();

    // The file the project was loaded from or last saved to ("" for a new one).
    const std::string& path() const { return path_; }

    // The bytes of the project file.
    std::vector<uint8_t> toBytes() const;
    // Writes the file (replacing `path` only once it is complete), makes it the project's
    // path and the written header its saved state. Failure: "ﾌﾟﾛｼﾞｪｸﾄの保存に失敗しました。".
    bool save(const std::string& path);
    // Reads a project file. Failures, in order: the file cannot be opened
    // ("ﾌﾟﾛｼﾞｪｸﾄのｵｰﾌﾟﾝに失敗しました。"), fewer than 280 bytes
    // ("ﾌﾟﾛｼﾞｪｸﾄの読み込みに失敗しました。"), wrong magic
    // ("Vxb作成ﾌﾟﾛｼﾞｪｸﾄﾌｧｲﾙではありません。"), version 204 or higher
    // ("未対応なﾊﾞｰｼﾞｮﾝのVxb作成ﾌﾟﾛｼﾞｪｸﾄﾌｧｲﾙです。") leave the project unchanged. A short
    // record or short data ("ﾌﾟﾛｼﾞｪｸﾄの読み込みに失敗しました。") leaves the header's values
    // and the items read so far, so that they can be saved under a new name: the project
    // then has no path and counts as changed.
    bool load(const std::string& path);
    bool loadBytes(std::span<const uint8_t> bytes);

    // Changed since the last load or save: a name, a comment, the tuning, the number of
    // list lines or the rate choice differs from the saved state, or an item was edited.
    bool isChanged() const;
    // Editors call this after changing an item (code, markers, data, order...).
    void markItemsEdited() { itemsEdited_ = true; }

    // The list lines in display order (empty slots skipped).
    std::vector<std::string> listLines() const;
    // Index of the first item with the same pitch number and code (ignoring case), or -1.
    int findSameItem(const VoiceItem& item) const;

    // The output rate of the rate choice (11025, 22050, 44100; 44100 for any other choice).
    uint32_t outputRate() const;
    // The tuning as the editor shows it: "%d.%d" (whole hertz, tenths).
    std::string tuningText() const;

private:
    ProjectHeader currentHeader() const;

    std::string path_;
    ProjectHeader saved_;
    bool itemsEdited_ = false;
};

}  // namespace kantor
