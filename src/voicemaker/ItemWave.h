#pragma once
// Wave files in and out of a project item: importing a WAV file (16-bit mono at 11,025,
// 22,050 or 44,100 Hz, converted to 44,100 Hz and fitted to one to two seconds) and
// saving an item's sound as a 16-bit mono 44,100 Hz WAV file.
#include <cstdint>
#include <span>
#include <string>

#include "base/LastError.h"
#include "voice/VoiceLibrary.h"
#include "voicemaker/VoiceItem.h"

namespace kantor {

class UserPrompt;

// True when the path's extension is "wav" (any case).
bool hasWaveFileExtension(const std::string& path);

class ItemWave : public LastError {
public:
    // The question before replacing an item's data goes to `prompt`; without one the
    // answer is No.
    explicit ItemWave(UserPrompt* prompt = nullptr) : prompt_(prompt) {}

    // Imports a WAV file into the item. Cancelled: the extension is not "wav", or the
    // user keeps the item's existing data. Failed (messages titled "Error"): the WAV
    // reader's message, or "未対応なWaveﾌｧｲﾙ形式です。..." for a format other than 16-bit
    // mono PCM at 11,025, 22,050 or 44,100 Hz, or "メモリが不足しています。". On success
    // the item's recorded position and markers are 0, normalize 1, volume 100.
    Outcome importWave(VoiceItem& item, const std::string& path);
    // The same from the bytes of a WAV file (no extension to check).
    Outcome importWaveBytes(VoiceItem& item, std::span<const uint8_t> bytes);

    // Writes the item's whole data as a 16-bit mono 44,100 Hz WAV file. Cancelled when
    // the extension is not "wav" or the item has no data; Failed with the WAV writer's
    // message.
    Outcome exportWave(const VoiceItem& item, const std::string& path);

private:
    template <typename Source>
    Outcome importFrom(VoiceItem& item, const Source& source);

    UserPrompt* prompt_;
};

// The unsupported-format message with the supported formats filled in.
std::string unsupportedWaveText();

}  // namespace kantor
