#pragma once
// The editing operations of the song's editing windows, with no window: the settings
// windows' values and their texts, note length and position, the note and phrase batch
// changes, the phrase quick input with its "Result" line, the phrase and word list, the
// channel backup, and the check for open windows that edit the same data. The windows
// show what these return and call them; each edit goes through the edit history.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "base/Translation.h"
#include "song/EditHistory.h"
#include "song/Song.h"

namespace kantor {

class MidiFile;
class TempoMap;
class VoiceBank;

namespace edittext {
inline constexpr const char* kWarning = KANTOR_TEXT("警告");
inline constexpr const char* kNotice = KANTOR_TEXT("注意");
inline constexpr const char* kError = "Error";
inline constexpr const char* kNoMemory = KANTOR_TEXT("メモリが不足しています。");
inline constexpr const char* kUnknownCode = KANTOR_TEXT("一覧にあるｺｰﾄﾞ（ﾛｰﾏ字）を入力してください。");
inline constexpr const char* kBadPower =
    KANTOR_TEXT("ﾊﾟﾜｰ値に不適当な値が入力されました。\n 0.001以上、10.000以下の範囲で入力してください。");
inline constexpr const char* kWavePathTooLong = KANTOR_TEXT("Waveﾌｧｲﾙのパス長が128ﾊﾞｲﾄを超えています。");
inline constexpr const char* kBadFileName = KANTOR_TEXT("不正なﾌｧｲﾙ名です。");
inline constexpr const char* kRestoreFailed =
    "\n" KANTOR_TEXT("データ復元に失敗しました。\n保存しないでｱﾌﾟﾘｹｰｼｮﾝを終了させてください。");
inline constexpr const char* kChooseLine = KANTOR_TEXT("文字列を選択してください。");
inline constexpr const char* kNoPhraseHead = KANTOR_TEXT("このノートの属するフレーズの先頭がありません。");
// This program's own, where the windows had none.
inline constexpr const char* kNoNotes = KANTOR_TEXT("このﾁｬﾝﾈﾙにはノートがありません。");
inline constexpr const char* kNoSungNotes = KANTOR_TEXT("歌う音符がありません。");
}  // namespace edittext

// --- spin values and their texts -------------------------------------------------------------

// One spin step within [lo, hi]: refused (false, value unchanged) when it would leave it.
bool spinStep(int& value, int delta, int lo, int hi);
// "ﾁｭｰﾆﾝｸﾞ（A=）": spin position -300..+300, tuning = 440000 + 100 x position; "%d.%d".
inline constexpr int kTuningSpinMin = -300, kTuningSpinMax = 300;
int tuningSpinPosition(uint32_t tuning);
uint32_t tuningOfSpinPosition(int position);
std::string tuningText(uint32_t tuning);
// "前ノリ(-)・後ノリ(+)" (-1000..+1000 ms): the text when the window opens, and after a step.
inline constexpr int kTimingMin = -1000, kTimingMax = 1000;
std::string timingTextOnOpen(int32_t ms);
std::string timingTextAfterStep(int32_t ms);
// "ﾌﾚｰｽﾞ音量(%)" 0..300.
inline constexpr int kVolumeMin = 0, kVolumeMax = 300;

// --- the song, channel and phrase settings windows --------------------------------------------

enum class SettingsGroup { Voice = 0, Tuning, Volume, Timing, Effects };
inline constexpr int kSettingsGroups = 5;

class SettingsEdit {
public:
    enum class Kind { Song, Channel, Phrase };
    // Song defaults; channel c's defaults (resolved over the song's); the phrase whose head
    // is event `head` of channel c (resolved over the channel's). forPhrase fails when the
    // event is no phrase head with a record.
    static SettingsEdit forSong(const Song& song);
    static SettingsEdit forChannel(const Song& song, int c);
    static bool forPhrase(const Song& song, int c, std::size_t head, SettingsEdit& out);

    Kind kind() const { return kind_; }
    int channel() const { return channel_; }
    // The values shown (the resolved record).
    VoiceSettings& values() { return values_; }
    const VoiceSettings& values() const { return values_; }
    // What a "ﾃﾞﾌｫﾙﾄ" box shows: the inherited record (the song's or the channel's).
    const VoiceSettings& inherited() const { return inherited_; }
    bool hasDefaultBoxes() const { return kind_ != Kind::Song; }
    bool useDefault(SettingsGroup g) const { return useDefault_[static_cast<std::size_t>(g)]; }
    // Checking a box shows the inherited value of the group.
    void setUseDefault(SettingsGroup g, bool on);

    // OK: loads the chosen voice (false with the bank's text in `error`, nothing stored),
    // sets the own flags from the boxes, and stores the record only when it differs from
    // the one the window opened with. `stored` tells whether it did.
    bool apply(Song& song, VoiceBank& voices, std::string& error, bool& stored) const;

private:
    Kind kind_ = Kind::Song;
    int channel_ = 0;
    std::size_t head_ = 0;
    VoiceSettings original_;
    VoiceSettings values_;
    VoiceSettings inherited_;
    std::array<bool, kSettingsGroups> useDefault_{};
};

// --- note length and position -----------------------------------------------------------------

class NoteLengthPosition {
public:
    enum class Mode { Length, Position };
    static constexpr int kSpinMin = -16383, kSpinMax = 16383;

    // Bounds from the bars around the event's MIDI note. False when the event is missing.
    bool open(const Song& song, const MidiFile& midi, const TempoMap& map, int c, std::size_t event);
    uint32_t minTick() const { return min_; }
    uint32_t maxTick() const { return max_; }
    uint32_t lastBarStart() const { return lastBar_; }
    Mode mode = Mode::Position;
    int startSpin() const { return startSpin_; }
    int endSpin() const { return endSpin_; }
    // Spin steps: false when refused (the song and the spin stay). Accepted steps write the
    // event at once. Only Min, Max and the last bar limit them: a note may reach over the
    // next one, and the two are then mixed where they sound together.
    bool stepStart(Song& song, int delta);
    bool stepEnd(Song& song, int delta);

private:
    bool place(Song& song, int64_t start, int64_t end);
    int c_ = 0;
    std::size_t event_ = 0;
    uint32_t min_ = 0, max_ = 0, lastBar_ = 0;
    uint32_t openStart_ = 0, openEnd_ = 0;
    int startSpin_ = 0, endSpin_ = 0;
};

// A note length set at once (the one-click lengths): end = start + ticks, over the next
// note if it is long enough. False (error empty) without the note or for 0 ticks.
bool setNoteLength(Song& song, int c, std::size_t event, uint32_t ticks, std::string& error);

// --- batch changes ------------------------------------------------------------------------------

// The power value "d.ddd" in thousandths, 1..10000; false for anything else.
bool parsePowerValue(const std::string& text, uint32_t& thousandths);
std::string powerText(uint32_t thousandths);  // "%d.%03d"
// Note batch change of channel c: dangling note and syllable settings indexes cleared, a
// fresh syllable settings record for every sung slot without one. False with the song's
// error text when memory runs out, with kNoNotes when the channel has no notes.
bool noteBatchChange(Song& song, int c, std::string& error);

struct PhraseBatchOptions {
    bool timingDefault = false;   // "前ノリ(-)・後ノリ(+)"
    bool effectsDefault = false;  // "外部ｴﾌｪｸﾀ"
    bool setTuning = false;       // "数値変更"
    uint32_t tuning = 440000;
    enum class WaveName { Keep, Change, Clear } waveName = WaveName::Keep;
    std::string waveNameText;
};
// The phrase wave file name check: folder + trimmed name + "000.wav" at most 127 bytes, and
// a name the file system can take. "" when fine, else the message.
std::string checkPhraseWaveName(const std::string& midiFolder, const std::string& name);
bool phraseBatchChange(Song& song, int c, const PhraseBatchOptions& options, std::string& error);

// --- phrase quick input -----------------------------------------------------------------------

enum class KanaMode { Romaji, Hiragana };

struct QuickSyllable {
    int group = 0;     // 1-based blank-separated group (note) it stands in
    std::string text;  // as typed
    std::string code;  // as the voice lists it; empty for "-" and unknown syllables
    std::string kana;
    bool unknown = false;
};

// The voice of a phrase: the resolved voice of the head's phrase, else of the channel.
std::string phraseVoiceOf(const Song& song, int c, std::size_t event);
// The phrase as a line: slots separated by "," (or "、"), notes by " "; "-" for a slot of
// length 0, "*" for a code the voice lacks; trailing "-" dropped; at most 256 characters.
std::string phraseLine(const Song& song, const VoiceBank& voices, int c, std::size_t head, KanaMode mode);
// The typed line split into notes and syllables (at most 128), looked up in the voice.
std::vector<QuickSyllable> parseQuickLine(const std::string& line, const VoiceBank& voices,
                                          const std::string& voiceName);
// The "Result" line: codes or kana, "*" per character of an unknown syllable (at most 4).
std::string quickResultLine(const std::vector<QuickSyllable>& syllables, KanaMode mode);
// Writes the syllables into the phrase whose head is event `head`.
void applyQuickInput(Song& song, int c, std::size_t head, const std::vector<QuickSyllable>& syllables);

// --- phrase and word selection ----------------------------------------------------------------

struct PhraseWords {
    int channel = 0;
    std::size_t head = 0;
    std::string romaji;
    std::string kana;
};
// Every phrase of channel c, or of all channels (c < 0).
std::vector<PhraseWords> phraseWordList(const Song& song, const VoiceBank& voices, int c);

// --- channel backup ---------------------------------------------------------------------------

class ChannelBackup {
public:
    bool backup(const Song& song, int c);
    // Puts the backup back and drops it. False with kNoMemory + kRestoreFailed when it fails.
    bool restore(Song& song, std::string& error);
    bool has() const { return has_; }
    void drop() { has_ = false; }

private:
    ChannelRecords records_;
    bool has_ = false;
};

// --- windows open on the same data ------------------------------------------------------------

class EditWindows {
public:
    enum Kind { SongDefaults, ChannelDefaults, PhraseSettings, NoteSettings, PhraseDetail, NoteLengthPos,
                QuickInput, NoteBatch, PhraseBatch, kKinds };
    // c is ignored for SongDefaults.
    void setOpen(Kind k, int c, bool open);
    bool isOpen(Kind k, int c) const;
    // The first conflict before a batch window of channel c opens (caption "注意"), or "".
    std::string batchConflict(int c) const;

private:
    std::array<std::array<int, 16>, kKinds> open_{};
};

// Marks a window open while it lives.
class EditWindowOpen {
public:
    EditWindowOpen(EditWindows& w, EditWindows::Kind k, int c) : w_(w), k_(k), c_(c) { w_.setOpen(k, c, true); }
    ~EditWindowOpen() { w_.setOpen(k_, c_, false); }
    EditWindowOpen(const EditWindowOpen&) = delete;
    EditWindowOpen& operator=(const EditWindowOpen&) = delete;

private:
    EditWindows& w_;
    EditWindows::Kind k_;
    int c_;
};

}  // namespace kantor
