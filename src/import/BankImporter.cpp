#include "import/BankImporter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <mutex>
#include <set>
#include <span>
#include <system_error>
#include <thread>
#include <tuple>

#include "base/Codepage.h"
#include "base/FileIO.h"
#include "base/FileLock.h"
#include "base/Texts.h"
#include "base/Translation.h"
#include "import/BankFiles.h"
#include "import/BankWave.h"
#include "import/OtoIni.h"
#include "voice/SyllableTable.h"
#include "voice/VoiceBank.h"
#include "voice/VoiceLibrary.h"
#include "voice/VoiceFile.h"
#include "voicemaker/AutoMarker.h"
#include "voicemaker/MakerTexts.h"
#include "voicemaker/MarkerRules.h"
#include "voicemaker/VoiceBuilder.h"

namespace kantor {
namespace fs = std::filesystem;
namespace {

constexpr double kSamplesPerMs = 44.1;
constexpr int64_t kLeadPad = 4410;        // sound kept before the offset: 100 ms
constexpr int64_t kItemLongest = 88200;   // an item's data: two seconds
constexpr int64_t kMinLoop = 2205;        // the shortest loop taken from a bank: 50 ms
constexpr int kUnknownPitch = 72;         // "C4", when nothing tells the pitch
constexpr std::size_t kLargestTextFile = std::size_t(64) << 20;

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](char c) { return char(c >= 'A' && c <= 'Z' ? c + 32 : c); });
    return s;
}

// A file of the bank read whole (a link put in its place since it was checked is refused).
bool readBankBytes(const BankFile& file, std::string& bytes, std::string& error) {
    const int fd = openBankFile(file.path);
    if (fd < 0) {
        error = errno == EINVAL ? std::string("not a regular file") : systemErrorText(errno);
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || uint64_t(st.st_size) > kLargestTextFile) {
        error = uint64_t(st.st_size) > kLargestTextFile ? "larger than 64 MB" : systemErrorText(errno);
        ::close(fd);
        return false;
    }
    bytes.assign(std::size_t(st.st_size), '\0');
    std::size_t got = 0;
    while (got < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += std::size_t(n);
    }
    const int readError = errno;
    ::close(fd);
    if (got != bytes.size()) {
        error = got < bytes.size() && readError ? systemErrorText(readError) : "the file changed while it was read";
        return false;
    }
    return true;
}

// One usable-looking line of an oto.ini, on its way to becoming an item.
struct Candidate {
    std::string otoFile;  // relative to the bank
    int lineNumber = 0;
    std::string lineText;
    std::string wavPath;
    std::size_t wave = 0;  // the WAV file's index
    OtoLine oto;
    AliasSyllable syllable;
    int64_t offset = 0, pre = 0, consonant = 0, end = 0;  // samples at 44,100 Hz in the file
    int64_t overlap = 0;  // samples after the offset, at most the preutterance
    int pitch = -1;       // the tag's pitch (prefix.map, a note name in the alias or the folder); -1 none
    std::string group;    // the tag the alias carries: lines of one group are one recorded pitch
};

// What kind of sample a line gives, and the key that picks one line of each kind per
// syllable (or ending consonant), sound before and pitch group.
enum class LineKind { Plain, After, Ending };
LineKind lineKindOf(const AliasSyllable& a) {
    switch (a.kind) {
        case AliasSyllable::Kind::After: return LineKind::After;
        case AliasSyllable::Kind::Ending: return LineKind::Ending;
        case AliasSyllable::Kind::Plain: break;
    }
    return LineKind::Plain;
}
std::string choiceKey(const Candidate& c, LineKind kind) {
    const std::string what = kind == LineKind::Ending ? c.syllable.consonant : std::to_string(c.syllable.row);
    return std::to_string(int(kind)) + "\x1f" + what + "\x1f" + (kind == LineKind::Plain ? "" : c.syllable.after) +
           "\x1f" + c.group;
}

// The pitch of a kept sample: the held part after its preutterance (or fixed part) is
// measured at three places and the middle value taken, as a fractional note number in
// this system's numbering; -1 when it has no clear period.
double measureHeldPitch(std::span<const int16_t> x, const Candidate& c);

// The pitch a sample gets from its measure and its tag: the measure, unless the tag
// lies within a semitone of it (then the tag, so that a bank sung slightly off its notes
// keeps them); the tag when nothing could be measured; C4 when neither says.
struct PitchSettled {
    int pitch = -1;
    bool measured = false;   // a measure was found
    bool corrected = false;  // the measure replaced a tag more than a semitone away
    bool untagged = false;   // no tag and no measure: C4 was taken
};
PitchSettled settlePitch(double measuredNote, int tag);


double periodAround(std::span<const int16_t> x, std::size_t centre) {
    if (x.size() < 1500) return 0;
    return estimatePeriod(x, std::min(centre, x.size() - 1));
}

double measureHeldPitch(std::span<const int16_t> x, const Candidate& c) {
    if (c.offset >= int64_t(x.size())) return -1;
    const int64_t end = std::min<int64_t>(c.end, int64_t(x.size()));
    std::span<const int16_t> held(x.data() + c.offset, std::size_t(end - c.offset));
    std::size_t from = std::size_t(std::min<int64_t>(std::max(c.pre, c.consonant), int64_t(held.size())));
    // A fixed part that runs past the held vowel: measured from the preutterance instead.
    if (held.size() - from < 4410) from = std::size_t(std::min<int64_t>(c.pre, int64_t(held.size())));
    // An ending is held before its preutterance: the vowel going into the consonant.
    if (c.syllable.kind == AliasSyllable::Kind::Ending) {
        held = held.first(std::size_t(std::min<int64_t>(c.pre, int64_t(held.size()))));
        from = 0;
    }
    if (held.size() - from < 441) return -1;  // less than 10 ms held
    std::vector<double> notes;
    for (double at : {0.3, 0.5, 0.7}) {
        const std::size_t centre = from + std::size_t(double(held.size() - from) * at);
        const double period = periodAround(held, centre);
        if (period > 0) notes.push_back(81.0 + 12.0 * std::log2(44100.0 / period / 440.0));
    }
    if (notes.empty()) return -1;
    std::sort(notes.begin(), notes.end());
    return notes[notes.size() / 2];
}

PitchSettled settlePitch(double measuredNote, int tag) {
    PitchSettled p;
    if (measuredNote >= 0) {
        p.measured = true;
        const int m = static_cast<int>(std::clamp(std::lround(measuredNote), 0L, 127L));
        if (tag < 0) {
            p.pitch = m;
        } else if (std::abs(measuredNote - tag) > 1.0) {
            p.pitch = m;
            p.corrected = true;
        } else {
            p.pitch = tag;
        }
        return p;
    }
    p.pitch = tag >= 0 ? tag : kUnknownPitch;
    p.untagged = tag < 0;
    return p;
}

// The end of the steady vowel after B: the last 10 ms frame before D whose level is at
// least half the median level of B..D.
int64_t steadyVowelEnd(std::span<const int16_t> x, int64_t b, int64_t d) {
    constexpr int64_t kFrame = 441, kHop = 220;
    std::vector<double> rms;
    for (int64_t s = b; s + kFrame <= d; s += kHop) {
        double sum = 0;
        for (int64_t i = s; i < s + kFrame; ++i) sum += double(x[std::size_t(i)]) * x[std::size_t(i)];
        rms.push_back(std::sqrt(sum / kFrame));
    }
    if (rms.empty()) return b;
    std::vector<double> sorted = rms;
    std::nth_element(sorted.begin(), sorted.begin() + long(sorted.size() / 2), sorted.end());
    const double level = sorted[sorted.size() / 2];
    std::size_t last = 0;
    for (std::size_t f = 0; f < rms.size(); ++f)
        if (rms[f] >= 0.5 * level) last = f;
    return std::min(d, b + int64_t(last) * kHop + kFrame);
}

bool risingZero(std::span<const int16_t> x, int64_t i) {
    return i > 0 && i < int64_t(x.size()) && x[std::size_t(i - 1)] < 0 && x[std::size_t(i)] >= 0;
}

// loopSeam(x, c, d).clicks() for the many pairs snapLoop tries, each in constant time: every
// C lies before `split`, so the largest jump inside C..D is the larger of the largest from C
// up to `split` and the largest from `split` up to D, both kept from one pass over the sound.
class LoopJumps {
public:
    LoopJumps(std::span<const int16_t> x, int64_t from, int64_t split, int64_t end) : x_(x), from_(from), split_(split) {
        before_.assign(std::size_t(std::max<int64_t>(split - from, 0)), 0);
        int largest = 0;
        for (int64_t i = split - 1; i >= from; --i) {
            largest = std::max(largest, jump(i));
            before_[std::size_t(i - from)] = largest;
        }
        largest = 0;
        for (int64_t i = split; i < end; ++i) {
            largest = std::max(largest, jump(i));
            after_.push_back(largest);
        }
    }
    // Whether a loop from c to d clicks; from <= c < split, d <= end + 1.
    bool clicks(int64_t c, int64_t d) const {
        if (d - 2 < split_) return loopSeam(x_, uint32_t(c), uint32_t(d)).clicks();
        const int seam = std::abs(int(x_[std::size_t(c)]) - int(x_[std::size_t(d - 1)]));
        const int inner = std::max(before_[std::size_t(c - from_)], after_[std::size_t(d - 2 - split_)]);
        return seam > inner;
    }

private:
    int jump(int64_t i) const { return std::abs(int(x_[std::size_t(i + 1)]) - int(x_[std::size_t(i)])); }
    std::span<const int16_t> x_;
    int64_t from_, split_;
    std::vector<int> before_, after_;
};

// C and D moved onto rising zero crossings a whole number of periods apart, C within eight
// periods after the end of the fixed part and D within half a period of the cutoff (never
// past it), choosing the pair whose waveforms match best among those that join without a
// click (the jump from the sample before D to the sample at C no larger than the largest
// jump inside the loop). Left as they are when the sound there has no clear period.
void snapLoop(std::span<const int16_t> x, double period, Markers& m) {
    if (period <= 0) return;
    const int64_t limitD = std::min<int64_t>(m.d, int64_t(x.size()) - 2);
    const double periods = std::floor(double(limitD - int64_t(m.c)) / period);
    if (periods < 2) return;
    double bestCost = -1;
    Markers best = m;
    const int64_t lastC = std::min<int64_t>(int64_t(m.c) + int64_t(8 * period), limitD - 2);
    std::optional<LoopJumps> jumps;
    for (int64_t c = m.c; c < int64_t(m.c) + int64_t(8 * period) && c + 2 < limitD; ++c) {
        if (c < 2 || !risingZero(x, c)) continue;
        for (double k = periods; k >= periods - 8 && k >= 2; k -= 1) {
            const double d0 = double(c) + k * period;
            for (int64_t d = int64_t(d0 - period / 2); d <= int64_t(d0 + period / 2) && d <= limitD; ++d) {
                if (d < c + 2 * kMarkerGap || !risingZero(x, d)) continue;
                auto at = [&](int64_t i) { return double(x[std::size_t(i)]); };
                const double cost = std::abs(at(d - 1) - at(c - 1)) + std::abs(at(d) - at(c)) +
                                    std::abs(at(d + 1) - at(c + 1)) + std::abs(at(d - 2) - at(c - 2));
                if (bestCost >= 0 && cost >= bestCost) continue;
                if (!jumps) jumps.emplace(x, int64_t(m.c), lastC, limitD);
                if (jumps->clicks(c, d)) continue;
                bestCost = cost;
                best.c = uint32_t(c);
                best.d = uint32_t(d);
            }
        }
    }
    if (bestCost >= 0) m = best;
}

// Cuts the item's sound and places its markers. False with the reason when it cannot.
bool makeItem(std::span<const int16_t> x, const Candidate& c, VoiceItem& item, bool& automatic, SkipReason& why) {
    automatic = false;
    const int64_t end = std::min<int64_t>(c.end, int64_t(x.size()));
    if (c.offset >= end) {
        why = SkipReason::PastEnd;
        return false;
    }
    int64_t pad = std::min(c.offset, kLeadPad);
    pad = std::min(pad, kMarkerMaxLoopReach - c.pre);
    const int64_t s0 = c.offset - pad;
    const int64_t len = std::min(end - s0, kItemLongest);
    Markers m;
    m.a = uint32_t(pad);
    m.b = uint32_t(pad + c.pre);
    const int64_t d = std::min(len, int64_t(m.b) + kMarkerMaxLoopReach);
    if (d < int64_t(m.b) + 2 * kMarkerGap) {
        why = SkipReason::NoRoom;
        return false;
    }
    m.d = uint32_t(d);
    m.c = uint32_t(std::max<int64_t>(pad + c.consonant, m.b + kMarkerGap));
    std::span<const int16_t> data = x.subspan(std::size_t(s0), std::size_t(len));
    item.data = SoundBuffer::fromSamples(data);

    const int64_t vowelEnd = steadyVowelEnd(data, m.b, m.d);
    if (int64_t(m.c) + kMinLoop > std::min<int64_t>(m.d, vowelEnd)) {
        automatic = true;
        VoiceItem probe;
        probe.data = SoundBuffer::fromSamples(data);
        const bool marked = autoMark(probe);
        const uint32_t c = std::max<uint32_t>(probe.markerC, m.b + kMarkerGap);
        if (marked && c + kMarkerGap <= m.d) {
            m.c = c;
            m.d = std::clamp<uint32_t>(probe.markerD, m.c + kMarkerGap, m.d);
        } else {
            // No vowel the automatic markers can loop (or theirs lies past the cutoff): the
            // loop takes the second half of what lies between the preutterance and the cutoff.
            m.c = m.b + (m.d - m.b) / 2;
        }
    } else {
        snapLoop(data, periodAround(data, (m.c + m.d) / 2), m);
    }
    if (!markersFollowRules(m, uint32_t(len))) {
        why = SkipReason::NoRoom;
        return false;
    }
    item.setMarkers(m);
    item.normalize = 1;
    item.volume = kDefaultVolume;
    return true;
}

bool removeQuietly(const std::string& path) {
    std::error_code ec;
    return fs::remove(path, ec);
}

}  // namespace

const char* skipReasonText(SkipReason reason) {
    switch (reason) {
        case SkipReason::BadLine: return KANTOR_TEXT("「ファイル=エイリアス,オフセット,子音部,ブランク,先行発声,オーバーラップ」の形ではない行");
        case SkipReason::MissingWave: return KANTOR_TEXT("WAVファイルがない");
        case SkipReason::BadWave: return KANTOR_TEXT("WAVファイルを読み込めない");
        case SkipReason::PastEnd: return KANTOR_TEXT("時間がWAVファイルの終わりを越えている");
        case SkipReason::NoSyllable: return KANTOR_TEXT("エイリアスが音節を表していない");
        case SkipReason::LongLeadIn: return KANTOR_TEXT("先行発声がオフセットから1秒より後にある");
        case SkipReason::NoRoom: return KANTOR_TEXT("先行発声とブランクの間にループの場所がない");
        case SkipReason::OutsideBank: return KANTOR_TEXT("ファイルが音源フォルダの外にあるので読まない");
        case SkipReason::NotAFile: return KANTOR_TEXT("読み込めるファイルではない");
    }
    return "";
}

int BankSummary::skippedFor(SkipReason reason) const {
    return static_cast<int>(std::count_if(skipped.begin(), skipped.end(), [&](const SkippedLine& s) { return s.reason == reason; }));
}

std::string BankSummary::text() const {
    std::string t;
    // Made in the chosen language; the names and lines of the bank stay as they are.
    auto line = [&t](const char* format, std::initializer_list<std::string_view> values) {
        t += translated(fillText(format, values)) + "\n";
    };
    const std::string n = std::to_string(pitches);
    line(KANTOR_TEXT("音源名: %s"), {printableBankText(voiceName)});
    line(KANTOR_TEXT("oto.iniファイル: %s、行: %s"), {std::to_string(otoFiles), std::to_string(lines)});
    line(pitches == 1 ? KANTOR_TEXT("作成したサンプル: %s（1音高）") : KANTOR_TEXT("作成したサンプル: %s（%s音高）"),
         {std::to_string(samples), n});
    line(KANTOR_TEXT("  単独: %s（語頭「- か」: %s）、母音などの後（「a か」）: %s、子音への語尾（「a k」）: %s"),
         {std::to_string(samples - vcvSamples - endingSamples), std::to_string(headSamples), std::to_string(vcvSamples),
          std::to_string(endingSamples)});
    line(KANTOR_TEXT("自動で置いたマーカー: %s"), {std::to_string(autoMarked)});
    line(KANTOR_TEXT("測った音高: %s（サンプル %s 個中）"), {std::to_string(measuredPitch), std::to_string(samples)});
    if (!correctedPitches.empty()) {
        line(KANTOR_TEXT("測った音高で直した音高タグ（半音より離れていたもの）: %s"), {std::to_string(correctedPitches.size())});
        for (const std::string& l : correctedPitches) t += "  " + l + "\n";
    }
    if (!unmeasuredPitches.empty()) {
        line(KANTOR_TEXT("音高を測れなかったサンプル: %s"), {std::to_string(unmeasuredPitches.size())});
        for (const std::string& l : unmeasuredPitches) t += "  " + l + "\n";
    }
    line(KANTOR_TEXT("使わなかった行（同じ音節と音高を別の行が与える）: %s"), {std::to_string(unused)});
    line(KANTOR_TEXT("飛ばした行: %s"), {std::to_string(skipped.size())});
    for (SkipReason r : {SkipReason::MissingWave, SkipReason::PastEnd, SkipReason::NoSyllable, SkipReason::BadLine,
                         SkipReason::BadWave, SkipReason::LongLeadIn, SkipReason::NoRoom, SkipReason::OutsideBank,
                         SkipReason::NotAFile}) {
        if (int k = skippedFor(r)) t += "  " + std::to_string(k) + ": " + translated(skipReasonText(r)) + "\n";
    }
    for (const SkippedLine& s : skipped) {
        t += printableBankText(s.file);
        if (s.line > 0) t += ":" + std::to_string(s.line);
        t += std::string(": ") + translated(skipReasonText(s.reason));
        if (!s.detail.empty()) t += " (" + printableBankText(translated(s.detail)) + ")";
        if (s.line > 0) t += ": " + printableBankText(s.text);
        t += "\n";
    }
    return t;
}

namespace {

// The project item a kept line becomes: a plain item of its syllable, a VCV item of its
// syllable reached from its sound before, or an ending item named by its consonant.
std::unique_ptr<VoiceItem> makeKeptItem(const Candidate& c, LineKind kind, int pitch) {
    if (kind == LineKind::Ending) {
        std::string lowerConsonant = lower(c.syllable.consonant);
        auto item = VoiceItem::make(c.syllable.consonant, lowerConsonant, pitch);
        item->contextKind = 2;
        item->after = c.syllable.after;
        return item;
    }
    const SyllableRow* row = syllableRow(c.syllable.row);
    auto item = VoiceItem::make(std::string(row->code), std::string(row->kana), pitch);
    if (kind == LineKind::After) {
        item->contextKind = 1;
        item->after = c.syllable.after;
    }
    return item;
}

// The summary's counts for one kept sample.
void countKeptSample(BankSummary& summary, const Candidate& c, LineKind kind, bool automatic, const PitchSettled& p,
                     double measuredNote) {
    summary.autoMarked += automatic ? 1 : 0;
    summary.measuredPitch += p.measured ? 1 : 0;
    if (kind == LineKind::After) ++summary.vcvSamples;
    else if (kind == LineKind::Ending) ++summary.endingSamples;
    else if (c.syllable.dash) ++summary.headSamples;
    const std::string where = c.otoFile + ":" + std::to_string(c.lineNumber) + ": " + c.oto.alias;
    if (p.corrected) {
        char cents[32];
        std::snprintf(cents, sizeof cents, "%.2f", measuredNote);
        summary.correctedPitches.push_back(where + ": tagged " + std::to_string(c.pitch) + ", measured " + cents +
                                           ", sung as " + std::to_string(p.pitch));
    } else if (!p.measured) {
        summary.unmeasuredPitches.push_back(where + ": no pitch could be measured; " +
                                            (p.untagged ? std::string("no tag either, C4 (72) taken")
                                                        : "its tag " + std::to_string(p.pitch) + " kept"));
    }
}

}  // namespace

std::string readmePathFor(const std::string& path) {
    const std::string name = fileNameOf(path);
    const std::size_t dot = name.rfind('.');
    const std::string base = dot == std::string::npos || dot == 0 ? path : path.substr(0, path.size() - (name.size() - dot));
    return base + ".readme.txt";
}

namespace {

// More lines than any bank has: a text this long is refused before its lines are looked
// at, so that time and memory stay bounded.
constexpr int kMostLines = 100000;

// A WAV file the lines of a bank name.
struct WaveFile {
    std::string path;  // links resolved
    bool probed = false;
    std::string why;   // why it cannot be read, "" when it can
    BankWaveInfo info;
    std::vector<std::size_t> lines;  // the candidates on it, in line order
};

// Sound buffers handed from file to file, so that reading a file reuses memory that is
// already there instead of touching fresh pages.
class BufferPool {
public:
    std::vector<int16_t> take() {
        std::lock_guard<std::mutex> lock(m_);
        if (free_.empty()) return {};
        std::vector<int16_t> b = std::move(free_.back());
        free_.pop_back();
        return b;
    }
    void give(std::vector<int16_t>&& b) {
        std::lock_guard<std::mutex> lock(m_);
        free_.push_back(std::move(b));
    }

private:
    std::mutex m_;
    std::vector<std::vector<int16_t>> free_;
};

struct Stop {
    std::atomic<bool> stop{false};
    std::atomic<bool> outOfMemory{false};
};

// Runs work(i) for every i below `count` on a few threads, each taking the next file in
// turn. This thread reports progress as files finish (done + finished, of total) and every
// 100 ms while a long file is worked on, and sets `stop` when told to: the work checks it
// between lines, so that a cancel takes effect within a file. Running out of memory stops
// everything and sets outOfMemory.
void forEachFile(std::size_t count, const std::function<void(std::size_t)>& work, Stop& s,
                 const BankProgress& progress, int done, int total) {
    std::mutex m;
    std::condition_variable cv;
    std::atomic<std::size_t> next{0};
    std::size_t finished = 0;
    int running = 0;
    auto report = [&](std::size_t n) {
        if (progress && !progress(done + int(n), total)) s.stop = true;
    };
    auto worker = [&](bool inline_) {
        try {
            while (!s.stop) {
                const std::size_t i = next++;
                if (i >= count) break;
                work(i);
                if (inline_) {
                    report(i + 1);
                    continue;
                }
                std::lock_guard<std::mutex> lock(m);
                ++finished;
                cv.notify_one();
            }
        } catch (const std::bad_alloc&) {
            s.outOfMemory = true;
            s.stop = true;
        } catch (const std::length_error&) {
            s.outOfMemory = true;
            s.stop = true;
        }
        if (!inline_) {
            std::lock_guard<std::mutex> lock(m);
            --running;
            cv.notify_one();
        }
    };
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const std::size_t wanted = std::min<std::size_t>({count, std::size_t(cores), 8});
    std::vector<std::thread> threads;
    for (std::size_t t = 0; t < wanted; ++t) {
        try {
            {
                std::lock_guard<std::mutex> lock(m);
                ++running;
            }
            threads.emplace_back(worker, false);
        } catch (const std::system_error&) {
            std::lock_guard<std::mutex> lock(m);
            --running;
            break;
        }
    }
    if (threads.empty()) {
        // No thread to be had: this one does all the files.
        worker(true);
        return;
    }
    std::size_t reported = 0;
    std::unique_lock<std::mutex> lock(m);
    while (running > 0) {
        cv.wait_for(lock, std::chrono::milliseconds(100), [&] { return finished != reported || running == 0; });
        const std::size_t now = finished;
        lock.unlock();
        if (now == reported) report(reported);  // a long file: still a chance to cancel
        for (; reported < now; ++reported) report(reported + 1);
        lock.lock();
    }
    lock.unlock();
    for (std::thread& t : threads) t.join();
    for (; reported < finished; ++reported) report(reported + 1);
}

// A bank file that is not read, listed in the summary with the reason (line 0: the file itself).
SkippedLine refusedFile(const std::string& rel, const BankFile& f) {
    SkippedLine s;
    s.file = rel;
    s.reason = f.kind == BankFileKind::Outside ? SkipReason::OutsideBank : SkipReason::NotAFile;
    s.detail = bankFileKindText(f.kind);
    if (f.kind == BankFileKind::Unreadable) s.detail += std::string(": ") + systemErrorText(f.error);
    return s;
}

}  // namespace

bool BankImporter::read(const std::string& bankFolder, const std::string& name, VoiceProject& project,
                        BankSummary& summary, const BankProgress& progress) {
    clearError();
    summary = BankSummary{};
    try {
        return readBank(bankFolder, name, project, summary, progress);
    } catch (const std::bad_alloc&) {
        return fail(KANTOR_TEXT("メモリが不足しています。"));
    } catch (const std::length_error&) {
        return fail(KANTOR_TEXT("メモリが不足しています。"));
    }
}

bool BankImporter::readBank(const std::string& bankFolder, const std::string& name, VoiceProject& project,
                            BankSummary& summary, const BankProgress& progress) {
    std::error_code ec;
    const fs::path root(bankFolder);
    BankFolder bank;
    std::string openError;
    if (!bank.open(bankFolder, openError)) return fail(openError);

    // The oto.ini files, in path order (links to folders are not entered; a linked oto.ini
    // is read only when it lies in the bank).
    std::vector<std::pair<fs::path, BankFile>> otoFiles;
    for (fs::recursive_directory_iterator it(root, fs::directory_options::skip_permission_denied, ec), end;
         !ec && it != end; it.increment(ec)) {
        if (it.depth() > 8) it.disable_recursion_pending();
        if (lower(it->path().filename().string()) != "oto.ini") continue;
        BankFile f = bank.check(it->path());
        if (f.kind == BankFileKind::File) {
            otoFiles.emplace_back(it->path(), f);
        } else if (f.kind != BankFileKind::Missing) {
            summary.skipped.push_back(refusedFile(it->path().lexically_relative(root).generic_string(), f));
        }
    }
    if (ec) return fail(bankFolder + ": " + ec.message());
    std::sort(otoFiles.begin(), otoFiles.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    if (otoFiles.empty()) {
        if (!summary.skipped.empty()) return fail(bankFolder + ": " + KANTOR_TEXT("音源フォルダに読めるoto.iniがありません。"));
        return fail(bankFolder + ": " + KANTOR_TEXT("フォルダとその下にoto.iniがありません。"));
    }
    summary.otoFiles = static_cast<int>(otoFiles.size());

    // The files of the root folder: each read only when it is a file of the bank.
    auto rootText = [&](const std::string& fileName, std::string& utf8) {
        utf8.clear();
        const BankFile f = bank.rootFile(fileName);
        if (f.kind == BankFileKind::Missing) return false;
        if (f.kind != BankFileKind::File) {
            summary.skipped.push_back(refusedFile(fileName, f));
            return false;
        }
        std::string bytes, why;
        if (!readBankBytes(f, bytes, why)) {
            summary.skipped.push_back({fileName, 0, SkipReason::NotAFile, "", why});
            return false;
        }
        utf8 = bankTextToUtf8(bytes);
        return true;
    };
    PrefixMap prefixMap;
    std::string text;
    if (rootText("prefix.map", text)) prefixMap = parsePrefixMap(text);
    std::string voiceName = name;
    if (voiceName.empty() && rootText("character.txt", text)) voiceName = characterName(text);
    if (voiceName.empty()) voiceName = fs::absolute(root, ec).lexically_normal().filename().string();
    if (voiceName.empty()) voiceName = fs::absolute(root, ec).lexically_normal().parent_path().filename().string();
    summary.voiceName = voiceName;
    rootText("readme.txt", summary.readme);

    // Every line: parse, find its WAV file, check its times, name its syllable and pitch.
    std::vector<Candidate> candidates;
    std::vector<WaveFile> files;
    std::map<std::string, std::size_t> fileIndex;  // resolved path -> files
    BankWave wave;
    auto skip = [&](const std::string& file, int line, SkipReason reason, std::string_view lineText,
                    std::string detail = {}) {
        summary.skipped.push_back({file, line, reason, std::string(lineText), std::move(detail)});
    };
    for (const auto& [otoPath, otoFile] : otoFiles) {
        const std::string otoRel = otoPath.lexically_relative(root).generic_string();
        std::string bytes, why;
        if (!readBankBytes(otoFile, bytes, why)) return fail(otoRel + ": " + KANTOR_TEXT("読み込めません。") + " " + why);
        std::string_view raw(bytes);
        bool utf8 = false;
        if (raw.size() >= 3 && raw.substr(0, 3) == "\xEF\xBB\xBF") raw.remove_prefix(3), utf8 = true;
        utf8 = utf8 || isValidUtf8(raw);
        const std::vector<std::string_view> lines = splitLines(raw);
        int nonBlank = 0;
        for (std::string_view l : lines)
            if (l.find_first_not_of(" \t") != std::string_view::npos) ++nonBlank;
        if (summary.lines + nonBlank > kMostLines)
            return fail(otoRel + ": " + fillText(KANTOR_TEXT("oto.iniの行が %s を超えています。そこまで大きい音源はありません。"),
                                                 {std::to_string(kMostLines)}));
        // The folder's pitch: a note name in the folder's own name or a folder above it.
        int folderNote = -1;
        for (fs::path f = otoPath.parent_path().lexically_relative(root); folderNote < 0 && !f.empty() && f != ".";
             f = f.parent_path())
            folderNote = findNoteName(f.filename().string());
        const fs::path folder = otoPath.parent_path();
        int lineNumber = 0;
        for (std::string_view rawLine : lines) {
            ++lineNumber;
            const std::string line = utf8 ? std::string(rawLine) : cp932ToUtf8(rawLine);
            Candidate c;
            bool blank = false;
            if (!parseOtoLine(line, c.oto, &blank)) {
                if (!blank) {
                    ++summary.lines;
                    skip(otoRel, lineNumber, SkipReason::BadLine, line);
                }
                continue;
            }
            ++summary.lines;
            c.otoFile = otoRel;
            c.lineNumber = lineNumber;
            c.lineText = line;
            BankFile wav = bank.find(folder, c.oto.file);
            if (wav.kind == BankFileKind::Missing && !utf8) {
                // A bank unpacked without converting its names keeps them in cp932.
                const std::size_t eq = rawLine.find('=');
                if (eq != std::string_view::npos) {
                    std::string rawName(rawLine.substr(0, eq));
                    while (!rawName.empty() && (rawName.front() == ' ' || rawName.front() == '\t')) rawName.erase(0, 1);
                    while (!rawName.empty() && (rawName.back() == ' ' || rawName.back() == '\t')) rawName.pop_back();
                    wav = bank.find(folder, rawName);
                }
            }
            if (wav.kind == BankFileKind::Missing) {
                skip(otoRel, lineNumber, SkipReason::MissingWave, line);
                continue;
            }
            if (wav.kind != BankFileKind::File) {
                const SkippedLine refused = refusedFile(otoRel, wav);
                skip(otoRel, lineNumber, refused.reason, line, refused.detail);
                continue;
            }
            auto [at, added] = fileIndex.try_emplace(wav.path.string(), files.size());
            if (added) {
                WaveFile f;
                f.path = wav.path.string();
                if (!wave.probe(f.path, f.info)) f.why = wave.lastError();
                files.push_back(std::move(f));
            }
            c.wave = at->second;
            c.wavPath = files[c.wave].path;
            if (!files[c.wave].why.empty()) {
                skip(otoRel, lineNumber, SkipReason::BadWave, line, files[c.wave].why);
                continue;
            }
            const double durationMs = files[c.wave].info.durationMs();
            const OtoLine& o = c.oto;
            const double endMs = o.cutoff < 0 ? o.offset - o.cutoff : durationMs - o.cutoff;
            const double pre = std::max(0.0, o.preutterance);
            if (o.offset < 0 || o.offset >= durationMs || endMs > durationMs + 1.0 || endMs <= o.offset ||
                o.offset + pre >= endMs) {
                skip(otoRel, lineNumber, SkipReason::PastEnd, line);
                continue;
            }
            if (!mapAlias(o.alias, prefixMap, c.syllable) && c.syllable.kind != AliasSyllable::Kind::Ending) {
                skip(otoRel, lineNumber, SkipReason::NoSyllable, line);
                continue;
            }
            c.offset = std::llround(o.offset * kSamplesPerMs);
            c.pre = std::llround(pre * kSamplesPerMs);
            c.consonant = std::llround(std::max(0.0, o.consonant) * kSamplesPerMs);
            c.end = std::llround(std::min(endMs, durationMs) * kSamplesPerMs);
            c.overlap = std::clamp<int64_t>(std::llround(o.overlap * kSamplesPerMs), 0, c.pre);
            if (c.pre > kMarkerMaxLoopReach) {
                skip(otoRel, lineNumber, SkipReason::LongLeadIn, line);
                continue;
            }
            c.pitch = c.syllable.affixNote >= 0 ? c.syllable.affixNote : folderNote;
            c.group = c.syllable.prefix + "\x1f" + c.syllable.suffix + "\x1f" + std::to_string(c.syllable.affixNote) +
                      "\x1f" + otoPath.parent_path().lexically_relative(root).generic_string();
            files[c.wave].lines.push_back(candidates.size());
            candidates.push_back(std::move(c));
        }
    }

    // One line per kind, syllable, sound before and pitch group: of the plain lines the
    // first head entry, else the first entry after a vowel; of the VCV lines and the CVVC
    // endings the first. Only the lines kept are read and measured.
    std::map<std::string, std::size_t> chosen;  // choice key -> candidate
    std::vector<std::pair<std::size_t, LineKind>> kept;  // candidate, the kind it is kept as
    for (std::size_t i = 0; i < candidates.size(); ++i) {
        const Candidate& c = candidates[i];
        const LineKind kind = lineKindOf(c.syllable);
        if (kind != LineKind::Ending) {
            auto it = chosen.find(choiceKey(c, LineKind::Plain));
            if (it == chosen.end()) chosen.emplace(choiceKey(c, LineKind::Plain), i);
            else if (c.syllable.head && !candidates[it->second].syllable.head) it->second = i;
        }
        if (kind != LineKind::Plain) chosen.emplace(choiceKey(c, kind), i);
    }
    {
        std::set<std::size_t> used;
        for (const auto& [key, index] : chosen) {
            kept.emplace_back(index, LineKind(key[0] - '0'));
            used.insert(index);
        }
        summary.unused = static_cast<int>(candidates.size() - used.size());
    }

    // Cutting: the files of the kept lines in the order they first appear, in parallel; each
    // kept sample's held part is measured there.
    std::vector<std::size_t> cutFiles;
    std::vector<std::vector<std::size_t>> byFile(files.size());  // file -> places in `kept`
    for (std::size_t k = 0; k < kept.size(); ++k) {
        const std::size_t f = candidates[kept[k].first].wave;
        if (byFile[f].empty()) cutFiles.push_back(f);
        byFile[f].push_back(k);
    }
    int done = 0;
    int total = static_cast<int>(cutFiles.size());
    Stop s;
    BufferPool pool;
    struct Cut {
        std::unique_ptr<VoiceItem> item;
        bool automatic = false;
        SkipReason why = SkipReason::NoRoom;
        PitchSettled pitch;
        double measuredNote = -1;
    };
    std::vector<Cut> cuts(kept.size());
    forEachFile(cutFiles.size(), [&](std::size_t i) {
        WaveFile& file = files[cutFiles[i]];
        std::vector<int16_t> x = pool.take();
        bool ok = file.why.empty();
        if (ok) {
            BankWave reader;
            ok = reader.read(file.path, x);
            if (!ok && reader.lastError() == text::kOutOfMemory) throw std::bad_alloc();
            if (!ok) file.why = reader.lastError();
        }
        // Lines that cut the same stretch measure the same: each stretch is measured once.
        std::map<std::tuple<int64_t, int64_t, int64_t, int64_t, int>, double> measured;
        for (std::size_t k : byFile[cutFiles[i]]) {
            if (s.stop) return;
            const Candidate& c = candidates[kept[k].first];
            Cut& cut = cuts[k];
            if (!ok) {
                cut.why = SkipReason::BadWave;
                continue;
            }
            auto [m, added] = measured.try_emplace(
                {c.offset, c.end, c.pre, c.consonant, int(c.syllable.kind == AliasSyllable::Kind::Ending)}, -1.0);
            if (added) m->second = measureHeldPitch(x, c);
            cut.measuredNote = m->second;
            cut.pitch = settlePitch(cut.measuredNote, c.pitch);
            auto item = makeKeptItem(c, kept[k].second, cut.pitch.pitch);
            if (makeItem(x, c, *item, cut.automatic, cut.why)) {
                if (item->contextKind != 0)
                    item->markerOverlap = std::min<uint32_t>(item->markerA + uint32_t(c.overlap), item->markerB);
                cut.item = std::move(item);
            }
        }
        pool.give(std::move(x));
    }, s, progress, done, total);
    if (s.outOfMemory) return fail(KANTOR_TEXT("メモリが不足しています。"));
    if (s.stop) return fail(KANTOR_TEXT("取り消しました。"));
    done += static_cast<int>(cutFiles.size());
    std::vector<std::pair<int, std::unique_ptr<VoiceItem>>> items;  // row * 128 + pitch, item
    std::vector<std::unique_ptr<VoiceItem>> contextItems;
    std::set<int> pitches;
    std::set<std::size_t> skippedLines;
    for (std::size_t k = 0; k < kept.size(); ++k) {
        const Candidate& c = candidates[kept[k].first];
        Cut& cut = cuts[k];
        if (!cut.item) {
            if (skippedLines.insert(kept[k].first).second)
                skip(c.otoFile, c.lineNumber, cut.why, c.lineText, cut.why == SkipReason::BadWave ? files[c.wave].why : "");
            continue;
        }
        countKeptSample(summary, c, kept[k].second, cut.automatic, cut.pitch, cut.measuredNote);
        pitches.insert(cut.pitch.pitch);
        if (kept[k].second == LineKind::Plain)
            items.emplace_back(c.syllable.row * 128 + cut.pitch.pitch, std::move(cut.item));
        else
            contextItems.push_back(std::move(cut.item));
    }
    std::stable_sort(summary.skipped.begin(), summary.skipped.end(), [](const SkippedLine& a, const SkippedLine& b) {
        return a.file != b.file ? a.file < b.file : a.line < b.line;
    });
    if (items.empty()) return fail(bankFolder + ": " + KANTOR_TEXT("使えるサンプルになる行がありません。"));

    // Items in table order, each syllable's pitches from low to high.
    std::stable_sort(items.begin(), items.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::stable_sort(contextItems.begin(), contextItems.end(), [](const auto& a, const auto& b) {
        return std::tie(a->contextKind, a->code, a->after, a->pitchNumber) <
               std::tie(b->contextKind, b->code, b->after, b->pitchNumber);
    });
    project.clear();
    project.voiceName = voiceName;
    project.comment = "oto.ini";
    project.rateChoice = kRateChoice44k;
    for (auto& [key, item] : items) project.items.push_back(std::move(item));
    project.contextItems = std::move(contextItems);
    project.markItemsEdited();
    summary.samples = static_cast<int>(items.size()) + summary.vcvSamples + summary.endingSamples;
    summary.pitches = static_cast<int>(pitches.size());
    return true;
}

bool BankImporter::importVoice(const std::string& bankFolder, const std::string& name, const std::string& voiceFolder,
                               std::string& identifier, BankSummary& summary, VoiceBank* bank,
                               const BankProgress& progress) {
    identifier.clear();
    VoiceProject project;
    if (!read(bankFolder, name, project, summary, progress)) return false;
    VoiceBuilder builder;
    std::vector<uint8_t> bytes;
    if (!builder.buildBytes(project, bytes)) return fail(builder.lastError());
    const auto* readme = reinterpret_cast<const uint8_t*>(summary.readme.data());
    // Both files are written whole without a name first; then the readme takes its name and
    // the voice right after it. A voice is thus never seen without its readme; at worst a
    // readme is left without a voice, which no listing shows and the next voice of that
    // identifier replaces or removes.
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string id = newVoiceIdentifier(voiceFolder);
        const std::string voicePath = joinPath(voiceFolder, id + ".vxb");
        const std::string readmePath = readmePathFor(voicePath);
        AtomicFile voice(voicePath, AtomicFile::Mode::CreateNew);
        if (!voice.write(bytes)) {
            if (voice.exists()) continue;
            return fail(std::string(voicetext::kCreateFailed) + "\n" + voice.error());
        }
        std::optional<AtomicFile> readmeFile;
        if (!summary.readme.empty()) {
            readmeFile.emplace(readmePath);
            if (!readmeFile->write(std::span<const uint8_t>(readme, summary.readme.size())))
                return fail(std::string(voicetext::kCreateFailed) + "\n" + readmeFile->error());
        }
        const bool staleReadme = !readmeFile && fileExists(readmePath);
        if (readmeFile && !readmeFile->commit())
            return fail(std::string(voicetext::kCreateFailed) + "\n" + readmeFile->error());
        if (staleReadme) removeQuietly(readmePath);
        if (!voice.commit()) {
            if (readmeFile) removeQuietly(readmePath);
            if (voice.exists()) continue;
            return fail(std::string(voicetext::kCreateFailed) + "\n" + voice.error());
        }
        if (bank && !bank->reloadVoice(id)) {
            // The voice is written; a bank that cannot pick it up now will on its next listing.
        }
        identifier = id;
        return true;
    }
    return fail(std::string(voicetext::kCreateFailed) + "\n" + voiceFolder +
                ": no free voice identifier");
}

bool BankImporter::importProject(const std::string& bankFolder, const std::string& name,
                                 const std::string& projectPath, BankSummary& summary, const BankProgress& progress,
                                 bool replace) {
    clearError();
    summary = BankSummary{};
    const std::string readmePath = readmePathFor(projectPath);
    // An output may be neither a file of the bank nor anywhere in its folder, and an
    // existing one is replaced only when asked for. Checked before the bank is read and
    // again under the lock, which is taken once the bank has been read.
    // (The readme is written only when the bank has one.)
    auto checkOutputs = [&](bool readmeWritten) {
        BankFolder bank;
        std::string error;
        if (!bank.open(bankFolder, error)) return fail(error);
        for (const std::string* out : {&projectPath, &readmePath}) {
            if (bank.contains(*out))
                return fail(*out + ": lies in the bank folder " + bankFolder + ", which is only read; choose another place");
            if (out == &readmePath && !readmeWritten) continue;
            struct stat st {};
            if (::stat(out->c_str(), &st) == 0) {
                if (!S_ISREG(st.st_mode)) return fail(*out + ": not a regular file");
                if (!replace) return fail(*out + ": exists (use --force to replace it)");
            }
        }
        return true;
    };
    if (!checkOutputs(false)) return false;
    VoiceProject project;
    if (!read(bankFolder, name, project, summary, progress)) return false;
    // Held from before the first write until both files are in place.
    const FileLock lock(projectPath);
    if (!lock.locked()) return fail(lock.error());
    if (!checkOutputs(!summary.readme.empty())) return false;
    std::vector<uint8_t> bytes;
    try {
        bytes = project.toBytes();
    } catch (const std::bad_alloc&) {
        return fail(KANTOR_TEXT("メモリが不足しています。"));
    }
    const std::string saveFailed = makertext::kSaveFailed;
    AtomicFile projectFile(projectPath);
    if (!projectFile.write(bytes)) return fail(saveFailed + "\n" + projectFile.error());
    const bool hadReadme = fileExists(readmePath);
    if (!summary.readme.empty()) {
        AtomicFile readmeFile(readmePath);
        const auto* p = reinterpret_cast<const uint8_t*>(summary.readme.data());
        if (!readmeFile.write(std::span<const uint8_t>(p, summary.readme.size())) || !readmeFile.commit())
            return fail(saveFailed + "\n" + readmeFile.error());
    }
    if (!projectFile.commit()) {
        if (!summary.readme.empty() && !hadReadme) removeQuietly(readmePath);
        return fail(saveFailed + "\n" + projectFile.error());
    }
    return true;
}

}  // namespace kantor
