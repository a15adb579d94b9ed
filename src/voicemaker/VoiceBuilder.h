#pragma once
// The build: turns a voice data project into a voice data file in the voice folder.
// For each item that has wave data and properties the segment from marker A to one
// second after marker B is cut out, levelled, converted to the output rate and stored
// with its markers as byte offsets from A; blank lines become empty records.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/LastError.h"
#include "sound/SoundBuffer.h"
#include "voice/Voice.h"
#include "voice/VoiceFile.h"
#include "voice/VoiceLibrary.h"
#include "voicemaker/VoiceProject.h"

namespace kantor {

class VoiceBank;

class VoiceBuilder : public LastError {
public:
    // The checks before anything is written: "Voice名が未入力です。" (no voice name),
    // "Vioce Data が一つもありません。" (no list lines, or no item with both wave data
    // and properties), "ﾌﾟﾛﾊﾟﾃｨ が設定されてません。" (wave data but no properties anywhere).
    bool validate(const VoiceProject& project);

    // Steps 1 and 2 of an item (also the preview's): the segment from A up to B plus
    // 88,200 bytes (to the end of the data when less follows B), normalized to a mean
    // level of 4,000 measured from B, or scaled by the volume. Fails with
    // "ﾏｰｶｰの位置が正しくありません。" when the markers are out of order or beyond the
    // data or D lies past the segment.
    bool cutSegment(const VoiceItem& item, SoundBuffer& segment);

    // The header and records of the voice file (after validate()).
    // The context items, when asked for, become `context` (the voice file's context area).
    bool makeVoice(const VoiceProject& project, VoiceFileHeader& header,
                   std::vector<std::unique_ptr<VoiceSample>>& samples,
                   std::vector<std::unique_ptr<VoiceSample>>* context = nullptr);
    // The whole voice file as bytes.
    bool buildBytes(const VoiceProject& project, std::vector<uint8_t>& bytes);

    // Validates, then writes voice folder / identifier ".vxb": replaceIdentifier names an
    // existing voice to replace; empty makes a new "vxb%d" identifier. The file is
    // replaced only once complete ("VoicdDataの作成に失敗しました。" otherwise). On success
    // `identifier` receives the voice's identifier and the bank, when given, reloads it.
    bool build(const VoiceProject& project, const std::string& voiceFolder, const std::string& replaceIdentifier,
               std::string& identifier, VoiceBank* bank = nullptr, const TickSource& tick = systemTickCount);
};

}  // namespace kantor
