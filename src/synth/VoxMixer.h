#pragma once
// CVoxMixer merges overlapping pieces of mono 16-bit sound into one entry per group of
// overlapping pieces.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <vector>

#include "base/LastError.h"
#include "base/Translation.h"
#include "sound/SoundEntry.h"

namespace kantor {

namespace mixertext {
inline constexpr const char* kMonoOnly = KANTOR_TEXT("Debug CVoxMixer::VoxMixerはモノラルデータしか扱いません。");
inline constexpr const char* kEightBit = KANTOR_TEXT("8ﾋﾞｯﾄWaveはMy Kantorellionでは未対応です。");
inline constexpr const char* kSquareRoot = KANTOR_TEXT("平方根計算のエラーです。");
}  // namespace mixertext

class CVoxMixer : public LastError {
public:
    // Mixes the entries (kept in start order by their producers) in place. A group is an
    // entry with data and every following entry with data that starts before the group's
    // end so far. Each group of two or more becomes its first entry, holding the mixed
    // sound (sum / sqrt(n) of the n pieces sounding at each sample), its duration and
    // kind 20; the others lose their data. Entries without data are ignored.
    // Fails for stereo or non-16-bit formats and when memory runs out; the entries are
    // then as they were before the failing group.
    bool mix(std::vector<SoundEntry>& entries, uint32_t packed, uint32_t rate);
};

}  // namespace kantor

namespace kantor {

// The mix of CVoxMixer::mix as a window that moves forward over a list: entries are added in
// list order, and the mixed sound of each group of overlapping entries comes out in pieces as
// soon as no entry still to come can change it. The mixer keeps the sounds that are playing
// at the window, the entries added that have not begun, and one piece of output: never the
// whole group. The sound is the mixer's, byte for byte, whatever the length of a group.
class WindowMixer : public LastError {
public:
    // One entry of the list. Its sound is either in `data` or fetched by `load` when the
    // window reaches its start (and given back once the window has passed its end).
    struct Input {
        SoundBuffer data;
        std::function<bool(SoundBuffer&)> load;
        uint32_t byteLength = 0;  // with `load`: the length of the sound it gives
        uint32_t startMs = 0;
        uint32_t durationMs = 0;
        uint32_t startTick = 0;
        int kind = kEntryMono;
    };
    // A piece of the output: a group's sound is the concatenation of its pieces, the first
    // marked `first`, the last `last` (one piece may be both). Every piece carries its
    // group's start; the last also the group's duration and kind, which are those of the
    // entry itself when the group has one entry (that entry's sound then comes out whole).
    struct Output {
        SoundBuffer data;
        uint32_t startMs = 0;
        uint32_t startTick = 0;
        uint32_t durationMs = 0;  // on the last piece
        int kind = kEntryMono;
        bool first = false;
        bool last = false;
    };

    // Output pieces hold at most `pieceBytes` bytes, but for the odd bytes after the last
    // whole sample of an entry alone in its group.
    WindowMixer(uint32_t packed, uint32_t rate, std::size_t pieceBytes = std::size_t(1) << 18);

    // Adds the next entry of the list (entries without sound are ignored, as the mixer
    // ignores them). An entry that starts at or after the end of the group so far closes
    // that group: its remaining sound comes out.
    bool add(Input in, std::vector<Output>& out);
    // Puts out every sample that no entry starting at or after `soonestMs` can change (the
    // caller promises that no entry still to add starts earlier). The sound of an entry
    // alone in its group so far is kept until another joins it or the group closes.
    bool advance(uint64_t soonestMs, std::vector<Output>& out);
    // No more entries: the rest comes out.
    bool finish(std::vector<Output>& out);

    // Sound bytes kept now (the playing and waiting entries and the piece being filled).
    std::size_t heldBytes() const;

    // The group being mixed: whether there is one, the end of its sound so far (ms), its
    // first entry's tick, whether a piece of it has come out, and how far it has (ms).
    bool groupOpen() const { return open_; }
    uint64_t groupEndMs() const { return end_; }
    uint32_t groupStartTick() const { return groupTick_; }
    uint64_t groupStartMs() const { return groupStart_; }
    bool groupBegun() const { return open_ && firstOut_; }
    uint64_t producedMs() const { return groupStart_ + msAt(o_); }

private:
    struct Reader {
        Input in;
        std::size_t pos = 0;  // bytes read so far
    };
    bool startReader(Input& in);
    bool produce(std::size_t limit, std::vector<Output>& out);
    bool closeGroup(std::vector<Output>& out);
    void flush(std::vector<Output>& out, bool last, std::size_t rawBytes = SIZE_MAX);
    std::size_t dueSample(std::size_t from, std::size_t limit, uint64_t target) const;
    uint64_t msAt(std::size_t sample) const;

    uint32_t packed_, rate_;
    std::size_t pieceSamples_;
    bool open_ = false;
    uint64_t groupStart_ = 0, end_ = 0;
    uint32_t groupTick_ = 0;
    std::size_t members_ = 0;
    uint32_t firstLength_ = 0, firstDuration_ = 0;
    int firstKind_ = kEntryMono;
    std::size_t outSamples_ = 0;  // the group's output so far
    std::size_t o_ = 0;           // samples put out
    bool firstOut_ = false;       // a piece of this group has come out
    std::vector<Input> pending_;  // added, not begun: by start, equal starts in list order
    std::vector<Reader> active_;
    std::vector<long double> roots_;
    SoundBuffer piece_;
    std::size_t fill_ = 0;  // samples in piece_
};

}  // namespace kantor
