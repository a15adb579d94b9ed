#pragma once
// The lyric input window's arithmetic and list operations, without the window: the grid its
// positions snap to, finding the line at or before a position, and entering, replacing and
// deleting lines. Every operation leaves the list in ascending position, one line a position.
#include <cstdint>
#include <functional>
#include <string>

#include "base/Translation.h"

namespace kantor {

class Song;
class TempoMap;

namespace lyrictext {
inline constexpr const char* kAskReplace = KANTOR_TEXT("既に同じ位置に歌詞が存在します。入れ換えますか？");
inline constexpr const char* kNoSelection = KANTOR_TEXT("削除する歌詞が選択されていません。");
inline constexpr const char* kPastEnd = KANTOR_TEXT("歌詞の位置が曲の終わりを越えています。");
inline constexpr const char* kTooLong = KANTOR_TEXT("歌詞が長すぎます（63ﾊﾞｲﾄまで）。");
inline constexpr const char* kUnwritable = "the lyric holds a character the song file cannot store (Shift-JIS): ";
inline constexpr const char* kConfirmCaption = KANTOR_TEXT("確認");
inline constexpr const char* kNoticeCaption = KANTOR_TEXT("注意");
}  // namespace lyrictext

// The grid of the lyric window: one step is the shortest beat note value any measure counts
// (division x 4 / the largest denominator): a quarter note in a song counted in quarters, an
// eighth as soon as one measure counts eighths. The spin runs from 0 to the song's end in
// steps. All 0 without measures.
struct LyricSteps {
    uint32_t step = 0;
    uint32_t songEnd = 0;  // the last tick of the MIDI file
    int spinMax = 0;

    static LyricSteps of(const TempoMap& map);
    // step x ((tick + step / 2) / step); the tick itself without a grid.
    uint32_t round(uint32_t tick) const;
    int spinOf(uint32_t tick) const { return step == 0 ? 0 : static_cast<int>(round(tick) / step); }
    uint32_t tickOfSpin(int spin) const;
};

// The text a line keeps: trailing blanks (ASCII white space and U+3000) removed.
std::string trimLyricText(const std::string& text);
// True when the text fits the 64-byte field of a line with its terminating zero, and cp932
// can write every character of it.
bool lyricTextFits(const std::string& text);
// The first character of the text that cp932 cannot write (or a zero byte), as typed; empty
// when there is none.
std::string lyricUnwritableCharacter(const std::string& text);

// Index (in the song's list) of the last line whose position is at or before the tick, or -1.
long lyricLineAtOrBefore(const Song& song, uint32_t tick);
// Index of the line at exactly the tick, or -1.
long lyricLineAt(const Song& song, uint32_t tick);

// Unwritable: the text holds a character (or a zero byte) the song file cannot store.
enum class LyricPut { Inserted, Replaced, Declined, Empty, TooLong, Unwritable };
struct LyricPutResult {
    LyricPut what = LyricPut::Empty;
    long index = -1;  // the new or replaced line
    bool changed() const { return what == LyricPut::Inserted || what == LyricPut::Replaced; }
};

// List&In: the text without its trailing blanks goes in at the position, before the first
// line that lies after it. At an occupied position `askReplace` decides (false: nothing
// changes). An empty text does nothing; a text that does not fit is refused.
LyricPutResult putLyric(Song& song, uint32_t position, const std::string& text,
                        const std::function<bool()>& askReplace);
// Deletes the line at `index`; false when there is none.
bool deleteLyric(Song& song, long index);

}  // namespace kantor
