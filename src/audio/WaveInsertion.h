#pragma once
// The wave file insertion window's logic, without the window: the check of a song's inserted
// files, the insertion of a chosen file at a position (its format checked against the output
// format, the file copied beside the MIDI file when it lies elsewhere, an occupied position
// replaced only when the user agrees) and the removal of an entry. The texts are the ones the
// user sees; questions and messages go through the prompt.
#include <cstdint>
#include <string>
#include <vector>

#include "base/Translation.h"

namespace kantor {

class Song;
class TempoMap;
class UserPrompt;
struct WaveFormatTriple;

namespace wavetext {
inline constexpr const char* kNotBesideMidi = KANTOR_TEXT("Midiﾌｧｲﾙと同じﾌｫﾙﾀﾞに %s が見つかりません。") "\n";
inline constexpr const char* kUnsupported =
    KANTOR_TEXT("挿入Waveﾌｧｲﾙが対応してないWaveﾌｧｲﾙ形式です。\n現在選択できるのは %s のWaveﾌｧｲﾙです。") "\n";
// The same with the file's name before it, as the list of an opened song's files says it.
inline constexpr const char* kUnsupportedFile =
    KANTOR_TEXT("%s : 挿入Waveﾌｧｲﾙが対応してないWaveﾌｧｲﾙ形式です。\n現在選択できるのは %s のWaveﾌｧｲﾙです。") "\n";
inline constexpr const char* kSupportedFormats = "16bit, 11025kHz or 22050kHz or 44100kHz";
inline constexpr const char* kMustCopy =
    KANTOR_TEXT("WaveﾌｧｲﾙはMidiﾌｧｲﾙと同じﾌｫﾙﾀﾞに格納する必要があります。\nWaveﾌｧｲﾙをMidiﾌｧｲﾙと同じﾌｫﾙﾀﾞにｺﾋﾟｰしますか？");
inline constexpr const char* kAskReplace = KANTOR_TEXT("既に同じ位置にWaveﾌｧｲﾙが存在します。入れ換えますか？");
inline constexpr const char* kNoSelection = KANTOR_TEXT("削除するWaveﾌｧｲﾙが選択されていません。");
inline constexpr const char* kNameNotStorable = KANTOR_TEXT("Waveﾌｧｲﾙ名に歌声ﾌｧｲﾙに保存できない文字が含まれています。");
inline constexpr const char* kPastEnd = KANTOR_TEXT("Waveﾌｧｲﾙの位置が曲の最後の小節を越えています。");
inline constexpr const char* kFilter = KANTOR_TEXT("Waveﾌｧｲﾙ (*.wav)");
inline constexpr const char* kWarningCaption = KANTOR_TEXT("警告");
inline constexpr const char* kErrorCaption = "Error";
inline constexpr const char* kConfirmCaption = KANTOR_TEXT("確認");
inline constexpr const char* kNoticeCaption = KANTOR_TEXT("注意");
}  // namespace wavetext

// The grid of the insertion window: the opening position snaps to a sixteenth note in a song
// counted in quarters (division / the largest denominator), the spin then moves tick by tick
// from 0 to the end, the start of the last measure. All 0 without measures.
struct WaveSteps {
    uint32_t step = 0;
    uint32_t end = 0;
    static WaveSteps of(const TempoMap& map);
    uint32_t round(uint32_t tick) const;
};

// True when the file name ends in ".wav" (any case).
bool hasWavExtension(const std::string& path);
// Whether a WAV format can be inserted while the output has `outputBits` bits per sample:
// 11025, 22050 or 44100 Hz, the output's bits, mono or stereo.
bool insertableFormat(const WaveFormatTriple& format, uint16_t outputBits);
// The text for a refused format (without the file name).
std::string unsupportedFormatText();

// The problems of the song's inserted files, one message each in list order: the file is not
// in the MIDI file's folder, the WAV reader refuses it, or its format does not fit. Empty when
// every file is fine.
std::vector<std::string> insertedWaveProblems(const Song& song, const std::string& midiPath, uint16_t outputBits);

enum class WaveInsertOutcome { Inserted, Replaced, Cancelled, Failed };

struct WaveInsertResult {
    WaveInsertOutcome outcome = WaveInsertOutcome::Cancelled;
    long index = -1;    // the new or replaced entry
    std::string error;  // Failed: what was shown
    bool changed() const { return outcome == WaveInsertOutcome::Inserted || outcome == WaveInsertOutcome::Replaced; }
};

// Inserts `chosen` at `position`. A file whose extension is not "wav" is ignored (Cancelled).
// A header the WAV reader refuses, or a format that does not fit, is shown under "Error" and
// refused. A file outside the MIDI file's folder is copied there (the user is asked first; an
// existing file of that name is replaced only when the user agrees) and the entry names the
// copy. At an occupied position the user is asked before the entry is replaced. The list is
// changed only on success.
WaveInsertResult insertWaveFile(Song& song, const std::string& midiPath, uint32_t position,
                                const std::string& chosen, uint16_t outputBits, UserPrompt& prompt);
// Removes the entry at `index`; false when there is none.
bool removeWaveInsert(Song& song, long index);
// Index of the last entry at or before the tick, or -1.
long waveInsertAtOrBefore(const Song& song, uint32_t tick);

}  // namespace kantor
