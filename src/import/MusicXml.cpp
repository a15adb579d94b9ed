#include "import/MusicXml.h"

#include <iconv.h>
#include <zip.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <map>
#include <new>
#include <pugixml.hpp>
#include <set>

#include "base/Codepage.h"
#include "base/FileIO.h"
#include "base/Texts.h"
#include "base/Translation.h"
#include "midi/SmfWriter.h"
#include "voice/WordSyllables.h"

namespace kantor {
namespace {

constexpr int64_t kDiv = MusicXmlSong::kDivision;
constexpr std::size_t kMaxPlayedMeasures = 100000;
constexpr std::size_t kMaxPlayedNotes = 500000;  // of all parts, repeats played out
// Texts of the score that have no use for length: longer ones are cut (names shown, measure
// numbers) or refused (lyrics), so that nothing long is copied for every note.
constexpr std::size_t kMaxMeasureNumber = 24;
constexpr std::size_t kMaxName = 128;
constexpr std::size_t kMaxVoice = 16;
constexpr std::size_t kMaxLyric = 256;
constexpr std::size_t kMaxLyricsOfANote = 16;
constexpr std::size_t kMaxWarnings = 12;

// The texts: whole templates, so that the translation tools list them and translated()
// finds them filled in. A part is "1 (Soprano)", a measure its number as the score writes it.
constexpr const char* kNotXml = KANTOR_TEXT("XMLの形式が正しくありません（%s バイト目）。");
constexpr const char* kTimewise =
    KANTOR_TEXT("小節順の楽譜（score-timewise）には対応していません。パート順（score-partwise）のMusicXMLで保存してください。");
constexpr const char* kNotScore = KANTOR_TEXT("MusicXMLの楽譜ではありません（文書は <%s> です）。");
constexpr const char* kNoMeasures = KANTOR_TEXT("小節のあるパートがありません。");
constexpr const char* kTooManyParts =
    KANTOR_TEXT("パートが %s あります。MIDIﾌｧｲﾙに入るのは歌うパートの和音のほかに 14 パートまでです。");
constexpr const char* kMeasureCount = KANTOR_TEXT("パート %s の小節数 %s がパート 1 の小節数 %s と違います。");
constexpr const char* kNoSuchPart = KANTOR_TEXT("パート %s はありません（楽譜のパートは %s）。");
constexpr const char* kTooManyMeasures = KANTOR_TEXT("繰り返しを演奏すると %s 小節を超えます。");
constexpr const char* kTooManyNotes = KANTOR_TEXT("繰り返しを演奏すると音符とテンポ記号が %s を超えます。");
constexpr const char* kTooLong = KANTOR_TEXT("小節 %s: 楽譜が長すぎてMidiﾌｧｲﾙに入りません。");
constexpr const char* kNothingToSing = KANTOR_TEXT("パート %s に歌う音符がありません。");
constexpr const char* kNoVerse = KANTOR_TEXT("パート %s に %s 番の歌詞がありません（あるのは %s 番）。");
constexpr const char* kNoPartWithVerse = KANTOR_TEXT("歌詞 %s 番のあるパートがありません。");
constexpr const char* kBadDivisions = KANTOR_TEXT("パート %s、小節 %s: <divisions> %s が正しくありません。");
constexpr const char* kBadShift = KANTOR_TEXT("パート %s、小節 %s: <%s> の <duration> が正しくありません。");
constexpr const char* kBadDuration = KANTOR_TEXT("パート %s、小節 %s: 音符の <duration> が正しくありません。");
constexpr const char* kNoPitch = KANTOR_TEXT("パート %s、小節 %s: 音の高さのない音符です（%s）。");
constexpr const char* kBadAlter = KANTOR_TEXT("パート %s、小節 %s: <alter> %s が正しくありません。");
constexpr const char* kOutOfRange = KANTOR_TEXT("パート %s、小節 %s: MIDIの範囲外の音符です。");
constexpr const char* kUnknownPiece =
    KANTOR_TEXT("パート %s、小節 %s: 「%s」が分かりません（歌詞「%s」）。歌詞は仮名かローマ字で書いてください。");
constexpr const char* kTooManySyllables = KANTOR_TEXT("パート %s、小節 %s: 1つの音符に音節が4つより多くあります: 「%s」");
constexpr const char* kLyricTooLong = KANTOR_TEXT("パート %s、小節 %s: 歌詞が長すぎます（%s バイト）: 「%s」");
constexpr const char* kEncoding = KANTOR_TEXT("文字コード %s の楽譜は読めません。");
constexpr const char* kBadText = KANTOR_TEXT("楽譜の文字が %s として正しくありません（%s バイト目）。");
constexpr const char* kZipOpen = KANTOR_TEXT("圧縮された楽譜を開けません: %s");
constexpr const char* kZipEmpty = KANTOR_TEXT("圧縮された楽譜に読めるMusicXMLﾌｧｲﾙがありません。");
constexpr const char* kZipEntry = KANTOR_TEXT("圧縮された楽譜の %s が読めません。");
// Marks read as a musician would, and what the song leaves out.
constexpr const char* kStrayStop = KANTOR_TEXT("小節 %s: 始まりのない番号括弧の終わりは無視しました。");
constexpr const char* kOtherStop = KANTOR_TEXT("小節 %s: %s 番括弧の終わりで %s 番括弧を閉じました。");
constexpr const char* kUnstopped = KANTOR_TEXT("小節 %s: %s 番括弧に終わりがないので、小節 %s までとしました。");
constexpr const char* kImpliedRepeat = KANTOR_TEXT("小節 %s: %s 番括弧に反復記号がないので、反復しました。");
constexpr const char* kNoSegno = KANTOR_TEXT("小節 %s: D.S.の行き先（セーニョ）がないので、曲の初めに戻りました。");
constexpr const char* kNoCoda = KANTOR_TEXT("小節 %s: To Codaの行き先（コーダ）がないので、そのまま続けました。");
constexpr const char* kFineEnds = KANTOR_TEXT("小節 %s の Fine で曲が終わります。");
constexpr const char* kNeverPlayed = KANTOR_TEXT("小節 %s から小節 %s までは一度も演奏されません。");
constexpr const char* kNeverPlayedOne = KANTOR_TEXT("小節 %s は一度も演奏されません。");
constexpr const char* kMoreWarnings = KANTOR_TEXT("ほかに %s 件の注意があります。");
constexpr const char* kNoLyrics = KANTOR_TEXT("楽譜に歌詞がありません。音符だけを音節なしで読み込みました。");
constexpr const char* kPartWithoutLyrics =
    KANTOR_TEXT("パート %s に歌詞がありません。音符だけを音節なしで読み込みました。");

struct Failure {
    std::string text;
};

// A text of the score as a message shows it: control bytes and malformed UTF-8 as \xNN,
// and a long text cut with its size given.
std::string shown(std::string_view s, std::size_t max = 40) {
    if (s.size() <= max) return printableText(std::string(s));
    std::size_t cut = max;
    while (cut > 0 && (static_cast<unsigned char>(s[cut]) & 0xC0) == 0x80) --cut;
    return printableText(std::string(s.substr(0, cut))) + "… (" + std::to_string(s.size()) + " B)";
}

// At most `max` bytes of an attribute or a text: a score has no use for longer ones here.
std::string capped(const char* s, std::size_t max) { return std::string(s, strnlen(s, max)); }

struct XmlLyric {
    int number = 1;
    std::string text;  // at most kMaxLyric + 1 bytes kept
    std::size_t size = 0;
};

struct XmlNote {
    int64_t start = 0, end = 0;  // ticks from the start of the measure
    int key = -1;                // MIDI note number; -1 for a rest
    bool chord = false, tieStart = false, tieStop = false;
    std::string voice = "1";
    std::vector<XmlLyric> lyrics;
};

struct XmlMeasure {
    std::string number;  // as written, cut to kMaxMeasureNumber
    int64_t length = 0;
    std::vector<XmlNote> notes;
    std::vector<std::pair<int64_t, double>> tempos;  // local tick, quarter notes a minute
    int beats = 0, beatType = 0;                     // a time signature here, when beats > 0
    bool repeatForward = false, repeatBackward = false;
    int times = 0;  // of a backward repeat; 0 = not written
    std::vector<int> endingStart, endingStop;  // the numbers of an ending's start and its stop here
    bool hasEndingStart = false, hasEndingStop = false;
    bool segno = false, coda = false, toCoda = false, fine = false, daCapo = false, dalSegno = false;
    std::vector<int> ending;  // the passes this measure is played in (empty = every pass)
};

struct XmlPart {
    std::string id, name;
    int program = -1;  // 0-based General MIDI program, when the score names one
    std::vector<XmlMeasure> measures;
    std::set<int> verses;
    std::size_t notes = 0, withLyric = 0;
};

int stepValue(char step) {
    switch (step) {
        case 'C': return 0;
        case 'D': return 2;
        case 'E': return 4;
        case 'F': return 5;
        case 'G': return 7;
        case 'A': return 9;
        case 'B': return 11;
        default: return -1;
    }
}

// The numbers of an ending ("1", "1, 2", "1.-2."): at most 16, each 1..100.
std::vector<int> endingNumbers(const std::string& text) {
    std::vector<int> out;
    int n = 0;
    bool in = false;
    for (std::size_t i = 0; i <= text.size() && out.size() < 16; ++i) {
        const char c = i < text.size() ? text[i] : '\0';
        if (c >= '0' && c <= '9') {
            n = std::min(n * 10 + (c - '0'), 100);
            in = true;
        } else {
            if (in && n > 0 && std::find(out.begin(), out.end(), n) == out.end()) out.push_back(n);
            n = 0;
            in = false;
        }
    }
    std::sort(out.begin(), out.end());
    return out;
}

std::string numbersText(const std::vector<int>& numbers) {
    std::string s;
    for (int n : numbers) s += (s.empty() ? "" : ",") + std::to_string(n);
    return s;
}

// "D.C. al Fine" -> "dcalfine": letters and digits, lower case.
std::string wordsKey(const char* text) {
    std::string s;
    for (const char* p = text; *p && s.size() < 40; ++p) {
        const unsigned char c = static_cast<unsigned char>(*p);
        if (std::isalnum(c)) s += static_cast<char>(std::tolower(c));
    }
    return s;
}

// Jumps and their marks, from a <sound> (its attributes) or a direction's words and signs.
void readMarks(const pugi::xml_node& sound, XmlMeasure& m) {
    if (!sound) return;
    if (sound.attribute("segno")) m.segno = true;
    if (sound.attribute("coda")) m.coda = true;
    if (sound.attribute("tocoda")) m.toCoda = true;
    if (sound.attribute("fine")) m.fine = true;
    if (const char* v = sound.attribute("dacapo").as_string(); !std::strcmp(v, "yes")) m.daCapo = true;
    if (sound.attribute("dalsegno")) m.dalSegno = true;
}

void readDirectionMarks(const pugi::xml_node& direction, XmlMeasure& m) {
    for (const pugi::xml_node dt : direction.children("direction-type")) {
        if (dt.child("segno")) m.segno = true;
        if (dt.child("coda")) m.coda = true;
        for (const pugi::xml_node w : dt.children("words")) {
            const std::string k = wordsKey(w.text().as_string());
            if (k.rfind("dc", 0) == 0 || k.rfind("dacapo", 0) == 0) m.daCapo = true;
            else if (k.rfind("ds", 0) == 0 || k.rfind("dalsegno", 0) == 0) m.dalSegno = true;
            else if (k.find("tocoda") != std::string::npos) m.toCoda = true;
            else if (k == "fine") m.fine = true;
            else if (k == "coda") m.coda = true;
        }
    }
}

struct Where {
    std::string file, part;  // the file's name, the part as "1 (Soprano)"
    Failure fail(const char* templ, const std::string& measure, std::initializer_list<std::string_view> more = {}) const {
        std::vector<std::string_view> v{part, measure};
        v.insert(v.end(), more.begin(), more.end());
        std::string text = templ;
        std::string out;
        // fillText with a list made at run time.
        std::size_t k = 0;
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '%' && i + 1 < text.size() && text[i + 1] == 's' && k < v.size()) {
                out += v[k++];
                ++i;
            } else {
                out += text[i];
            }
        }
        return Failure{file + ": " + out};
    }
};

std::string measureName(const XmlMeasure& m, std::size_t index) {
    return m.number.empty() ? "#" + std::to_string(index + 1) : shown(m.number, kMaxMeasureNumber);
}

// One part's measures in document order, with times in ticks. Positions are kept unrounded
// in ticks, so that divisions that do not divide 480 (a 7-tuplet's 7) keep the measure grid exact.
void readPart(const pugi::xml_node& part, XmlPart& out, const Where& where) {
    double divisions = 1;
    for (const pugi::xml_node m : part.children("measure")) {
        XmlMeasure xm;
        xm.number = capped(m.attribute("number").as_string(), kMaxMeasureNumber);
        const std::string at = measureName(xm, out.measures.size());
        double pos = 0, maxPos = 0, lastStart = 0;
        auto duration = [&](const pugi::xml_node& n, bool& ok) {
            const double v = n.child("duration").text().as_double(0);
            const double d = v * double(kDiv) / divisions;
            ok = std::isfinite(d) && d >= 0 && d <= double(kDiv * 4 * 256);
            return ok ? d : 0.0;
        };
        for (const pugi::xml_node c : m.children()) {
            const std::string_view name = c.name();
            if (name == "attributes") {
                if (const pugi::xml_node d = c.child("divisions")) {
                    const double v = d.text().as_double(0);
                    if (!(v > 0) || v > 1e7) throw where.fail(kBadDivisions, at, {shown(d.text().as_string(), 20)});
                    divisions = v;
                }
                if (const pugi::xml_node t = c.child("time")) {
                    const int beats = t.child("beats").text().as_int(0), type = t.child("beat-type").text().as_int(0);
                    // Compound numerators ("3+2") and senza-misura times keep the last signature.
                    if (beats > 0 && beats < 256 && (type == 1 || type == 2 || type == 4 || type == 8 || type == 16 ||
                                                    type == 32 || type == 64))
                        xm.beats = beats, xm.beatType = type;
                }
            } else if (name == "direction" || name == "sound") {
                const pugi::xml_node s = name == "sound" ? c : c.child("sound");
                readMarks(s, xm);
                if (name == "direction") readDirectionMarks(c, xm);
                double bpm = s.attribute("tempo").as_double(0);
                if (!(bpm > 0)) {
                    const pugi::xml_node metro = c.child("direction-type").child("metronome");
                    const std::string_view unit = metro.child("beat-unit").text().as_string();
                    const double per = metro.child("per-minute").text().as_double(0);
                    const bool dotted = metro.child("beat-unit-dot");
                    double q = unit == "half" ? 2 : unit == "eighth" ? 0.5 : unit == "whole" ? 4 : unit == "16th" ? 0.25
                                                                                    : unit == "quarter" ? 1 : 0;
                    if (dotted) q *= 1.5;
                    bpm = per * q;
                }
                if (bpm >= 1 && bpm <= 1000) xm.tempos.emplace_back(std::llround(std::max(pos, 0.0)), bpm);
            } else if (name == "backup" || name == "forward") {
                bool ok = false;
                const double d = duration(c, ok);
                if (!ok) throw where.fail(kBadShift, at, {std::string(name)});
                pos += name == "backup" ? -d : d;
                if (pos < 0) pos = 0;
            } else if (name == "note") {
                if (c.child("grace")) continue;  // takes no time of its own
                XmlNote n;
                n.chord = c.child("chord");
                bool ok = false;
                const double d = duration(c, ok);
                if (!ok) throw where.fail(kBadDuration, at);
                const double start = n.chord ? lastStart : pos;
                n.start = std::llround(start);
                n.end = std::llround(start + d);
                if (!n.chord) {
                    lastStart = pos;
                    pos += d;
                }
                maxPos = std::max(maxPos, pos);
                if (c.child("cue")) continue;  // shown, not played
                if (const pugi::xml_node p = c.child("pitch")) {
                    const std::string step = capped(p.child("step").text().as_string(), 8);
                    const int sv = step.size() == 1 ? stepValue(step[0]) : -1;
                    const int octave = p.child("octave").text().as_int(-100);
                    if (sv < 0 || octave < -1 || octave > 9) throw where.fail(kNoPitch, at, {shown(step, 8)});
                    double alter = 0;
                    if (const pugi::xml_node a = p.child("alter")) {
                        alter = a.text().as_double(0);
                        // Semitones, microtones rounded; anything beyond a few octaves is no alteration.
                        if (!std::isfinite(alter) || std::fabs(alter) > 12)
                            throw where.fail(kBadAlter, at, {shown(a.text().as_string(), 20)});
                    }
                    n.key = (octave + 1) * 12 + sv + static_cast<int>(std::lround(alter));
                    if (n.key < 0 || n.key > 127) throw where.fail(kOutOfRange, at);
                } else if (!c.child("rest")) {
                    continue;  // unpitched (percussion): no note in a melody
                }
                for (const pugi::xml_node t : c.children("tie")) {
                    const std::string_view type = t.attribute("type").as_string();
                    n.tieStart = n.tieStart || type == "start";
                    n.tieStop = n.tieStop || type == "stop";
                }
                if (const pugi::xml_node v = c.child("voice")) n.voice = capped(v.text().as_string(), kMaxVoice);
                int position = 0;
                for (const pugi::xml_node l : c.children("lyric")) {
                    ++position;
                    if (n.lyrics.size() >= kMaxLyricsOfANote) break;
                    XmlLyric xl;
                    const std::vector<int> number = endingNumbers(capped(l.attribute("number").as_string(), 8));
                    xl.number = number.empty() ? std::min(position, 100) : number.front();
                    for (const pugi::xml_node t : l.children("text")) {
                        const char* s = t.text().as_string();
                        const std::size_t size = std::strlen(s);
                        xl.size += size;
                        if (xl.text.size() <= kMaxLyric) xl.text.append(s, std::min(size, kMaxLyric + 1 - xl.text.size()));
                    }
                    if (xl.text.empty()) continue;
                    out.verses.insert(xl.number);
                    n.lyrics.push_back(std::move(xl));
                }
                if (n.key >= 0 && !n.tieStop) {
                    ++out.notes;
                    out.withLyric += n.lyrics.empty() ? 0 : 1;
                }
                xm.notes.push_back(std::move(n));
            } else if (name == "barline") {
                if (const pugi::xml_node r = c.child("repeat")) {
                    const std::string_view dir = r.attribute("direction").as_string();
                    if (dir == "forward") xm.repeatForward = true;
                    if (dir == "backward") {
                        xm.repeatBackward = true;
                        if (r.attribute("times")) xm.times = std::clamp(r.attribute("times").as_int(2), 1, 16);
                    }
                }
                if (const pugi::xml_node e = c.child("ending")) {
                    const std::string_view type = e.attribute("type").as_string();
                    const std::vector<int> numbers = endingNumbers(capped(e.attribute("number").as_string(), 64));
                    if (type == "start") xm.hasEndingStart = true, xm.endingStart = numbers;
                    if (type == "stop" || type == "discontinue") xm.hasEndingStop = true, xm.endingStop = numbers;
                }
                if (c.child("segno") || c.attribute("segno")) xm.segno = true;
                if (c.child("coda") || c.attribute("coda")) xm.coda = true;
            }
            maxPos = std::max(maxPos, pos);
        }
        xm.length = std::llround(maxPos);
        out.measures.push_back(std::move(xm));
    }
}

bool contains(const std::vector<int>& v, int n) { return std::find(v.begin(), v.end(), n) != v.end(); }

// The order in which a reader plays the measures: repeats taken, endings chosen by pass,
// D.C./D.S. followed to Fine or To Coda. Marks that do not fit together are read as a
// musician would and noted in `warnings`.
class PlayingOrder {
public:
    PlayingOrder(std::vector<XmlMeasure>& ms, std::vector<std::string>& warnings) : ms_(ms), warnings_(warnings) {}

    std::vector<std::size_t> make() {
        readEndings();
        nextCoda_.assign(ms_.size() + 1, ms_.size());
        for (std::size_t i = ms_.size(); i-- > 1;) nextCoda_[i - 1] = ms_[i].coda ? i : nextCoda_[i];
        std::vector<std::size_t> order;
        std::vector<bool> jumped(ms_.size(), false);
        std::size_t i = 0, sectionStart = 0;
        int pass = 1;
        bool afterJump = false, returning = false, inEndings = false, codaTaken = false;
        const bool anyToCoda = std::any_of(ms_.begin(), ms_.end(), [](const XmlMeasure& m) { return m.toCoda; });
        while (i < ms_.size() && order.size() < kMaxPlayedMeasures) {
            const XmlMeasure& m = ms_[i];
            if (m.repeatForward && !returning) sectionStart = i, pass = 1;
            returning = false;
            if (!m.ending.empty()) {
                const auto& [group, last] = groupOf(i);
                int wanted = afterJump ? last : pass;
                if (!contains(group, wanted)) wanted = last;  // more passes than endings: the last one
                if (!contains(m.ending, wanted)) {
                    ++i;
                    continue;
                }
                inEndings = true;
            } else if (inEndings) {  // past the endings: the section is done
                inEndings = false;
                pass = 1;
                sectionStart = i;
            }
            order.push_back(i);
            if (m.repeatBackward && !afterJump) {  // after D.C. or D.S. repeats are not taken again
                const bool again = m.ending.empty() ? pass < (m.times > 0 ? m.times : 2) : pass < groupOf(i).second;
                if (again) {
                    ++pass;
                    i = sectionStart;
                    returning = true;
                    inEndings = false;  // back for another pass, not past the endings
                    continue;
                }
                if (m.ending.empty()) pass = 1, sectionStart = i + 1;
            }
            if (afterJump && m.fine) {
                note(kFineEnds, {name(i)});
                break;
            }
            // A coda sign where the jump is, without "To Coda": the sign before another one.
            const bool toCoda = m.toCoda || (!anyToCoda && m.coda && codaAfter(i) < ms_.size());
            if (afterJump && toCoda && !codaTaken) {
                codaTaken = true;
                const std::size_t coda = codaAfter(i);
                if (coda < ms_.size()) {
                    i = coda;
                    sectionStart = coda;
                    pass = 1;
                    inEndings = false;
                    continue;
                }
                note(kNoCoda, {name(i)});
            }
            if ((m.daCapo || m.dalSegno) && !jumped[i]) {
                jumped[i] = true;
                afterJump = true;
                std::size_t target = 0;
                if (m.dalSegno && !m.daCapo) {
                    // The segno before the D.S. (the nearest), else one after it.
                    std::size_t s = ms_.size();
                    for (std::size_t k = i + 1; k-- > 0;)
                        if (ms_[k].segno) {
                            s = k;
                            break;
                        }
                    for (std::size_t k = i + 1; s == ms_.size() && k < ms_.size(); ++k)
                        if (ms_[k].segno) s = k;
                    if (s < ms_.size()) target = s;
                    else note(kNoSegno, {name(i)});
                }
                i = sectionStart = target;
                pass = 1;
                inEndings = false;
                continue;
            }
            ++i;
        }
        if (order.size() < kMaxPlayedMeasures) noteUnplayed(order);
        return order;
    }

private:
    std::vector<XmlMeasure>& ms_;
    std::vector<std::string>& warnings_;

    std::string name(std::size_t i) const { return measureName(ms_[i], i); }
    std::vector<std::size_t> nextCoda_;  // the first measure after i with a coda sign (size: none)
    // The runs of ending measures: each measure's run, and the run's numbers and highest number.
    std::vector<std::size_t> groupOfMeasure_;
    std::vector<std::pair<std::vector<int>, int>> groups_;

    std::size_t codaAfter(std::size_t i) const { return nextCoda_[i]; }
    void note(const char* templ, std::initializer_list<std::string_view> values) {
        warnings_.push_back(fillText(templ, values));
    }

    // Each measure's ending numbers. An ending runs from its start to its stop; a stop without
    // a start is passed over; a stop that names other numbers closes the open ending; an
    // ending never stopped ends at its repeat sign, or else after its first measure (a last
    // ending is played on the last pass anyway).
    void readEndings() {
        const std::size_t n = ms_.size();
        std::vector<std::pair<std::size_t, std::size_t>> ranges;
        for (std::size_t i = 0; i < n;) {
            XmlMeasure& m = ms_[i];
            if (!m.hasEndingStart) {
                if (m.hasEndingStop) note(kStrayStop, {name(i)});
                ++i;
                continue;
            }
            std::vector<int> numbers = m.endingStart.empty() ? std::vector<int>{1} : m.endingStart;
            std::size_t end = i;  // never stopped, and no repeat sign: its first measure
            bool stopped = false;
            for (std::size_t j = i; j < n; ++j) {
                if (j > i && (ms_[j].hasEndingStart || ms_[j].repeatForward)) break;
                if (ms_[j].hasEndingStop) {
                    end = j;
                    stopped = true;
                    if (!ms_[j].endingStop.empty() && ms_[j].endingStop != numbers)
                        note(kOtherStop, {name(j), numbersText(ms_[j].endingStop), numbersText(numbers)});
                    break;
                }
                if (ms_[j].repeatBackward) {
                    end = j;
                    break;
                }
            }
            if (!stopped) note(kUnstopped, {name(i), numbersText(numbers), name(end)});
            for (std::size_t j = i; j <= end; ++j) ms_[j].ending = numbers;
            ranges.emplace_back(i, end);
            i = end + 1;
        }
        groupOfMeasure_.assign(n, 0);
        for (std::size_t i = 0; i < n; ++i) {
            if (ms_[i].ending.empty()) continue;
            if (i == 0 || ms_[i - 1].ending.empty() || ms_[i].repeatForward) groups_.emplace_back(std::vector<int>{}, 1);
            groupOfMeasure_[i] = groups_.size() - 1;
            auto& [all, highest] = groups_.back();
            for (int x : ms_[i].ending)
                if (!contains(all, x)) all.push_back(x), highest = std::max(highest, x);
        }
        // An ending that is not the last of its group returns to the repeat, with or without its sign.
        for (std::size_t r = 0; r < ranges.size(); ++r) {
            const std::size_t last = ranges[r].second;
            if (ms_[last].repeatBackward) continue;
            const int highest = groupOf(last).second;
            if (!contains(ms_[last].ending, highest)) {
                ms_[last].repeatBackward = true;
                note(kImpliedRepeat, {name(last), numbersText(ms_[last].ending)});
            }
        }
    }

    // The numbers of all endings of the run of ending measures around i, and the highest.
    const std::pair<std::vector<int>, int>& groupOf(std::size_t i) const { return groups_[groupOfMeasure_[i]]; }

    void noteUnplayed(const std::vector<std::size_t>& order) {
        std::vector<bool> played(ms_.size(), false);
        for (std::size_t k : order) played[k] = true;
        for (std::size_t i = 0; i < ms_.size();) {
            if (played[i]) {
                ++i;
                continue;
            }
            std::size_t j = i;
            while (j + 1 < ms_.size() && !played[j + 1]) ++j;
            if (j == i) note(kNeverPlayedOne, {name(i)});
            else note(kNeverPlayed, {name(i), name(j)});
            i = j + 1;
        }
    }
};

struct PlacedNote {
    int64_t start = 0, end = 0;
    int key = 0;
    const XmlNote* source = nullptr;
    const XmlLyric* lyric = nullptr;  // of the verse sung
    std::size_t measure = 0;          // index in the score
};

const XmlLyric* lyricOf(const XmlNote& n, int verse) {
    for (const XmlLyric& l : n.lyrics)
        if (l.number == verse) return &l;
    return nullptr;
}

// Only "ー" (or "〜"): the syllable before goes on.
bool isLengthMark(const std::string& text) {
    static const std::string marks[] = {"ー", "〜", "～"};
    if (text.empty()) return false;
    for (std::size_t i = 0; i < text.size();) {
        bool found = false;
        for (const std::string& m : marks)
            if (text.compare(i, m.size(), m) == 0) {
                i += m.size();
                found = true;
                break;
            }
        if (!found) return false;
    }
    return true;
}

// The vowel a syllable ends on, as a "ー" after it sings it.
std::string vowelOf(const std::string& syllable) {
    std::vector<WordSyllable> parts;
    WordSplitError bad;
    WordSplitOptions o;
    o.previous = syllable;
    if (!splitWord("ー", parts, bad, o) || parts.empty()) {
        parts.clear();
        if (!splitWord(syllable + "ー", parts, bad) || parts.empty()) return {};
    }
    return parts.back().text;
}

std::string partLabel(std::size_t index, const std::string& name, const std::string& id) {
    const std::string& n = name.empty() ? id : name;
    return std::to_string(index + 1) + (n.empty() ? "" : " (" + shown(n, 40) + ")");
}

// The encoding the XML declaration names, lower case ("" without one).
std::string declaredEncoding(const std::string& xml) {
    std::size_t at = xml.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    if (xml.compare(at, 5, "<?xml") != 0) return {};
    const std::size_t end = xml.find("?>", at);
    if (end == std::string::npos || end > at + 300) return {};
    const std::string decl = xml.substr(at, end - at);
    std::size_t p = decl.find("encoding");
    if (p == std::string::npos) return {};
    p = decl.find_first_of("\"'", p);
    if (p == std::string::npos) return {};
    const std::size_t q = decl.find(decl[p], p + 1);
    if (q == std::string::npos) return {};
    std::string e = decl.substr(p + 1, q - p - 1);
    for (char& c : e) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return e;
}

// A score declared in another encoding than those the XML parser reads, in UTF-8.
// False with `error` for an encoding the system cannot convert or text that is not in it.
bool decodeScore(std::string& xml, const std::string& name, bool& converted, std::string& error) {
    converted = false;
    const std::string e = declaredEncoding(xml);
    if (e.empty() || e == "utf-8" || e == "utf8" || e.rfind("utf-16", 0) == 0 || e.rfind("utf-32", 0) == 0 ||
        e == "iso-8859-1" || e == "latin1" || e == "us-ascii" || e == "ascii")
        return true;
    if (e == "shift_jis" || e == "shift-jis" || e == "sjis" || e == "x-sjis" || e == "windows-31j" || e == "cp932" ||
        e == "ms932" || e == "ms_kanji" || e == "csshiftjis") {
        xml = cp932ToUtf8(xml);
        converted = true;
        return true;
    }
    iconv_t cd = iconv_open("UTF-8", e.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        error = name + ": " + fillText(kEncoding, {shown(e, 30)});
        return false;
    }
    std::string out(xml.size() * 2 + 16, '\0');
    char* in = xml.data();
    std::size_t inLeft = xml.size(), used = 0;
    bool ok = true;
    while (inLeft > 0) {
        char* o = out.data() + used;
        std::size_t oLeft = out.size() - used;
        const std::size_t r = iconv(cd, &in, &inLeft, &o, &oLeft);
        used = out.size() - oLeft;
        if (r != static_cast<std::size_t>(-1)) break;
        if (errno == E2BIG) {
            out.resize(out.size() * 2);
            continue;
        }
        ok = false;
        break;
    }
    iconv_close(cd);
    if (!ok) {
        error = name + ": " + fillText(kBadText, {shown(e, 30), std::to_string(xml.size() - inLeft + 1)});
        return false;
    }
    out.resize(used);
    xml = std::move(out);
    converted = true;
    return true;
}

// Parses the score and reads its parts. False with `error`.
bool readScore(std::string xml, const std::string& name, pugi::xml_document& doc, std::vector<XmlPart>& parts,
               std::string& error) {
    bool converted = false;
    if (!decodeScore(xml, name, converted, error)) return false;
    const pugi::xml_parse_result parsed =
        doc.load_buffer(xml.data(), xml.size(), pugi::parse_default, converted ? pugi::encoding_utf8 : pugi::encoding_auto);
    if (parsed.status == pugi::status_out_of_memory) throw std::bad_alloc();
    if (!parsed) {
        error = name + ": " + fillText(kNotXml, {std::to_string(parsed.offset)});
        return false;
    }
    const pugi::xml_node root = doc.document_element();
    const std::string_view rootName = root.name();
    if (rootName == "score-timewise") {
        error = name + ": " + kTimewise;
        return false;
    }
    if (rootName != "score-partwise") {
        error = name + ": " + fillText(kNotScore, {shown(rootName, 30)});
        return false;
    }
    std::map<std::string, std::pair<std::string, int>> listed;  // id -> name, program
    for (const pugi::xml_node sp : root.child("part-list").children("score-part")) {
        const int program = sp.child("midi-instrument").child("midi-program").text().as_int(0);
        listed[capped(sp.attribute("id").as_string(), kMaxName)] = {capped(sp.child("part-name").text().as_string(), kMaxName),
                                                                   program >= 1 && program <= 128 ? program - 1 : -1};
    }
    try {
        for (const pugi::xml_node p : root.children("part")) {
            XmlPart xp;
            xp.id = capped(p.attribute("id").as_string(), kMaxName);
            if (auto it = listed.find(xp.id); it != listed.end()) xp.name = it->second.first, xp.program = it->second.second;
            readPart(p, xp, Where{name, partLabel(parts.size(), xp.name, xp.id)});
            parts.push_back(std::move(xp));
        }
    } catch (const Failure& f) {
        error = f.text;
        return false;
    }
    if (parts.empty() || parts[0].measures.empty()) {
        error = name + ": " + kNoMeasures;
        return false;
    }
    return true;
}

MusicXmlPart partInfo(const XmlPart& p) {
    MusicXmlPart info;
    info.id = p.id;
    info.name = p.name;
    info.scoreNotes = p.notes;
    info.scoreLyrics = p.withLyric;
    info.verses.assign(p.verses.begin(), p.verses.end());
    return info;
}

bool importParsed(std::vector<XmlPart>& parts, const std::string& name, const MusicXmlOptions& options,
                  MusicXmlSong& out, std::string& error) {
    if (parts.size() > 14) {
        error = name + ": " + fillText(kTooManyParts, {std::to_string(parts.size())});
        return false;
    }
    for (std::size_t p = 1; p < parts.size(); ++p) {
        if (parts[p].measures.size() != parts[0].measures.size()) {
            error = name + ": " + fillText(kMeasureCount, {partLabel(p, parts[p].name, parts[p].id),
                                                           std::to_string(parts[p].measures.size()),
                                                           std::to_string(parts[0].measures.size())});
            return false;
        }
    }
    // Which part sings, and which verse.
    const bool anyLyrics = std::any_of(parts.begin(), parts.end(), [](const XmlPart& p) { return !p.verses.empty(); });
    int sung = options.part - 1;
    if (options.part <= 0) {
        sung = -1;
        for (std::size_t p = 0; p < parts.size() && sung < 0; ++p)
            if (options.verse > 0 ? parts[p].verses.count(options.verse) > 0 : !parts[p].verses.empty())
                sung = static_cast<int>(p);
        if (sung < 0 && options.verse > 0 && anyLyrics) {
            error = name + ": " + fillText(kNoPartWithVerse, {std::to_string(options.verse)});
            return false;
        }
        if (sung < 0) {  // no lyrics at all: the first part with notes, to be given words later
            sung = 0;
            for (std::size_t p = 0; p < parts.size(); ++p)
                if (parts[p].notes > 0) {
                    sung = static_cast<int>(p);
                    break;
                }
        }
    } else if (sung >= static_cast<int>(parts.size())) {
        error = name + ": " + fillText(kNoSuchPart, {std::to_string(options.part), std::to_string(parts.size())});
        return false;
    }
    const XmlPart& singer = parts[static_cast<std::size_t>(sung)];
    const std::string singerLabel = partLabel(static_cast<std::size_t>(sung), singer.name, singer.id);
    int verse = 0;
    if (options.verse > 0) {
        if (!singer.verses.empty() && !singer.verses.count(options.verse)) {
            std::vector<int> has(singer.verses.begin(), singer.verses.end());
            error = name + ": " + fillText(kNoVerse, {singerLabel, std::to_string(options.verse), numbersText(has)});
            return false;
        }
        if (singer.verses.count(options.verse)) verse = options.verse;
    } else if (!singer.verses.empty()) {
        verse = *singer.verses.begin();
    }
    if (verse == 0) {
        if (!anyLyrics) out.warnings.push_back(kNoLyrics);
        else out.warnings.push_back(fillText(kPartWithoutLyrics, {singerLabel}));
    }
    out.verse = verse;

    // Lay the measures out in playing order.
    std::vector<XmlMeasure>& first = parts[0].measures;
    // Jumps and their marks may be written in any part (system text sits in the top one).
    for (std::size_t p = 1; p < parts.size(); ++p)
        for (std::size_t k = 0; k < first.size(); ++k) {
            const XmlMeasure& o = parts[p].measures[k];
            XmlMeasure& m = first[k];
            m.segno |= o.segno, m.coda |= o.coda, m.toCoda |= o.toCoda, m.fine |= o.fine, m.daCapo |= o.daCapo,
                m.dalSegno |= o.dalSegno;
        }
    std::vector<std::size_t> order;
    if (options.repeats) {
        order = PlayingOrder(first, out.warnings).make();
    } else {
        for (std::size_t k = 0; k < first.size(); ++k) order.push_back(k);
    }
    if (order.size() >= kMaxPlayedMeasures) {
        error = name + ": " + fillText(kTooManyMeasures, {std::to_string(kMaxPlayedMeasures)});
        return false;
    }
    out.scoreMeasures = first.size();
    out.songMeasures = order.size();
    std::vector<int64_t> startOf(order.size());
    int64_t t = 0;
    int beats = 4, beatType = 4;
    SmfTrack conductor;
    std::vector<std::pair<int64_t, double>> tempos;
    int lastBeats = 0, lastType = 0;
    std::size_t playedNotes = 0;
    for (std::size_t k = 0; k < order.size(); ++k) {
        int64_t length = 0;
        for (const XmlPart& p : parts) {
            length = std::max(length, p.measures[order[k]].length);
            playedNotes += p.measures[order[k]].notes.size() + p.measures[order[k]].tempos.size();
        }
        if (playedNotes > kMaxPlayedNotes) {
            error = name + ": " + fillText(kTooManyNotes, {std::to_string(kMaxPlayedNotes)});
            return false;
        }
        const XmlMeasure& m = first[order[k]];
        if (m.beats > 0) beats = m.beats, beatType = m.beatType;
        if (beats != lastBeats || beatType != lastType) {
            int power = 0;
            while ((1 << power) < beatType) ++power;
            conductor.timeSignature(static_cast<uint32_t>(t), beats, power);
            lastBeats = beats, lastType = beatType;
        }
        if (length == 0) length = kDiv * 4 * beats / beatType;
        startOf[k] = t;
        for (const XmlPart& p : parts)
            for (const auto& [at, bpm] : p.measures[order[k]].tempos) tempos.emplace_back(t + at, bpm);
        t += length;
        if (t > int64_t(0x7FFFFFFF)) {
            error = name + ": " + fillText(kTooLong, {measureName(m, order[k])});
            return false;
        }
    }
    const int64_t songEnd = t;
    std::stable_sort(tempos.begin(), tempos.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    if (tempos.empty() || tempos.front().first > 0) conductor.tempo(0, 500000);
    for (std::size_t i = 0; i < tempos.size(); ++i) {
        if (i + 1 < tempos.size() && tempos[i + 1].first == tempos[i].first) continue;  // the last at a tick wins
        conductor.tempo(static_cast<uint32_t>(tempos[i].first), static_cast<uint32_t>(std::lround(60000000.0 / tempos[i].second)));
    }
    conductor.endOfTrack(static_cast<uint32_t>(songEnd));

    // Every part's notes at absolute ticks, ties joined.
    std::vector<SmfTrack> tracks{conductor};
    std::vector<PlacedNote> sungNotes, harmony;
    for (std::size_t p = 0; p < parts.size(); ++p) {
        std::vector<PlacedNote> placed;
        std::map<std::pair<std::string, int>, std::size_t> open;  // (voice, key) -> tied note
        for (std::size_t k = 0; k < order.size(); ++k) {
            const XmlMeasure& m = parts[p].measures[order[k]];
            for (const XmlNote& n : m.notes) {
                if (n.key < 0) continue;
                const int64_t s = startOf[k] + n.start, e = startOf[k] + n.end;
                const auto key = std::make_pair(n.voice, n.key);
                if (auto it = open.find(key); n.tieStop && it != open.end()) {
                    placed[it->second].end = std::max(placed[it->second].end, e);
                    if (!n.tieStart) open.erase(it);
                    continue;
                }
                if (e <= s) continue;
                if (n.tieStart) open[key] = placed.size();
                placed.push_back(PlacedNote{s, e, n.key, &n, verse > 0 ? lyricOf(n, verse) : nullptr, order[k]});
            }
        }
        std::stable_sort(placed.begin(), placed.end(), [](const PlacedNote& a, const PlacedNote& b) { return a.start < b.start; });
        const int channel = static_cast<int>(p) < 9 ? static_cast<int>(p) : static_cast<int>(p) + 1;
        MusicXmlPart info = partInfo(parts[p]);
        info.channel = channel;
        SmfTrack track;
        track.text(0, 3, parts[p].name.empty() ? parts[p].id : parts[p].name);
        if (parts[p].program >= 0) track.programChange(0, channel, parts[p].program);
        if (static_cast<int>(p) != sung) {
            for (const PlacedNote& n : placed) track.note(static_cast<uint32_t>(n.start), static_cast<uint32_t>(n.end), channel, n.key, 100);
            info.notes = placed.size();
        } else {
            // The sung voice: that of the first note with a lyric. Of a chord the top note sings.
            std::string voice = placed.empty() ? "1" : placed.front().source->voice;
            for (const PlacedNote& n : placed)
                if (n.lyric) {
                    voice = n.source->voice;
                    break;
                }
            for (std::size_t i = 0; i < placed.size(); ++i) {
                const PlacedNote& n = placed[i];
                if (n.source->voice != voice) {
                    harmony.push_back(n);
                    continue;
                }
                if (!sungNotes.empty() && sungNotes.back().start == n.start) {
                    PlacedNote& top = sungNotes.back();
                    if (n.key > top.key) {
                        PlacedNote lower = top;
                        lower.lyric = nullptr;
                        top.key = n.key;
                        top.end = std::max(top.end, n.end);
                        harmony.push_back(lower);
                    } else {
                        harmony.push_back(n);
                    }
                    if (n.lyric && !top.lyric) top.lyric = n.lyric;
                    continue;
                }
                if (!sungNotes.empty() && sungNotes.back().end > n.start) sungNotes.back().end = n.start;
                sungNotes.push_back(n);
            }
            for (const PlacedNote& n : sungNotes) {
                track.note(static_cast<uint32_t>(n.start), static_cast<uint32_t>(n.end), channel, n.key, 100);
                info.lyrics += n.lyric ? 1 : 0;
            }
            info.notes = sungNotes.size();
            out.sungPart = static_cast<int>(p);
        }
        track.endOfTrack(static_cast<uint32_t>(songEnd));
        tracks.push_back(std::move(track));
        out.parts.push_back(std::move(info));
    }
    if (sungNotes.empty()) {
        error = name + ": " + fillText(kNothingToSing, {singerLabel});
        return false;
    }
    if (!harmony.empty()) {
        // The sung part's other notes, in a channel of their own after the parts'.
        int channel = static_cast<int>(parts.size()) < 9 ? static_cast<int>(parts.size()) : static_cast<int>(parts.size()) + 1;
        SmfTrack track;
        track.text(0, 3, (singer.name.empty() ? singer.id : singer.name) + " (chords)");
        if (singer.program >= 0) track.programChange(0, channel, singer.program);
        std::stable_sort(harmony.begin(), harmony.end(), [](const PlacedNote& a, const PlacedNote& b) { return a.start < b.start; });
        for (const PlacedNote& n : harmony) track.note(static_cast<uint32_t>(n.start), static_cast<uint32_t>(n.end), channel, n.key, 90);
        track.endOfTrack(static_cast<uint32_t>(songEnd));
        tracks.push_back(std::move(track));
    }
    out.smf = buildSmf(1, static_cast<uint16_t>(kDiv), tracks);

    // The lyrics on the sung notes. A note without a lyric that follows a sung note without
    // a rest between (a slurred run, a tie, an extend line) sings the vowel it ends on.
    const Where where{name, singerLabel};
    std::string previous;  // the syllable sung last in the phrase
    bool head = true;
    int64_t lastEnd = -1;
    for (std::size_t i = 0; i < sungNotes.size(); ++i) {
        const PlacedNote& n = sungNotes[i];
        if (lastEnd >= 0 && n.start > lastEnd) head = true, previous.clear();  // a rest
        lastEnd = n.end;
        const std::string measure = measureName(first[n.measure], n.measure);
        NoteLyric nl;
        nl.note = i;
        nl.where = name + ": " + fillText(KANTOR_TEXT("パート %s、小節 %s"), {singerLabel, measure});
        if (n.lyric && !isLengthMark(n.lyric->text)) {
            const XmlLyric& l = *n.lyric;
            if (l.size > kMaxLyric)
                throw where.fail(kLyricTooLong, measure, {std::to_string(l.size), shown(l.text.substr(0, 30), 30) + "…"});
            std::vector<WordSyllable> syl;
            WordSplitError bad;
            WordSplitOptions lax;
            lax.skipPunctuation = true;
            lax.previous = previous;
            if (!splitWord(l.text, syl, bad, lax))
                throw where.fail(kUnknownPiece, measure, {shown(bad.piece, 20), shown(l.text)});
            if (syl.size() > 4) throw where.fail(kTooManySyllables, measure, {shown(l.text)});
            for (const WordSyllable& w : syl) nl.syllables.push_back(w.text);
            if (!syl.empty()) previous = syl.back().text;
        }
        if (nl.syllables.empty() && !previous.empty()) {
            const std::string vowel = vowelOf(previous);
            if (!vowel.empty()) {
                nl.syllables.push_back(vowel);  // a melisma: the vowel goes on
                ++out.melismaNotes;
            }
        }
        if (nl.syllables.empty()) {
            ++out.silentNotes;
            continue;
        }
        nl.phraseHead = head;
        head = false;
        out.lyrics.push_back(std::move(nl));
    }
    if (out.warnings.size() > kMaxWarnings) {
        const std::size_t more = out.warnings.size() - (kMaxWarnings - 1);
        out.warnings.resize(kMaxWarnings - 1);
        out.warnings.push_back(fillText(kMoreWarnings, {std::to_string(more)}));
    }
    return true;
}

}  // namespace

bool importMusicXmlText(const std::string& xml, const std::string& name, const MusicXmlOptions& options,
                        MusicXmlSong& out, std::string& error) {
    out = MusicXmlSong{};
    try {
        pugi::xml_document doc;
        std::vector<XmlPart> parts;
        if (!readScore(xml, name, doc, parts, error)) return false;
        doc.reset();  // the parts hold what is needed
        if (importParsed(parts, name, options, out, error)) return true;
    } catch (const Failure& f) {
        error = f.text;
    } catch (const std::bad_alloc&) {
        error = name + ": " + text::kOutOfMemory;
    }
    out = MusicXmlSong{};
    return false;
}

bool importMusicXmlText(const std::string& xml, const std::string& name, int part, MusicXmlSong& out,
                        std::string& error) {
    MusicXmlOptions o;
    o.part = part;
    return importMusicXmlText(xml, name, o, out, error);
}

namespace {

// The score's XML text from a file (a .mxl archive is opened). False with `error`.
bool loadScoreText(const std::string& path, std::string& xml, std::string& error) {
    std::string lower = path;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    constexpr std::size_t kMaxScore = std::size_t(256) << 20;
    if (lower.size() >= 4 && lower.compare(lower.size() - 4, 4, ".mxl") == 0) {
        int ze = 0;
        zip_t* z = zip_open(path.c_str(), ZIP_RDONLY, &ze);
        if (!z) {
            zip_error_t e;
            zip_error_init_with_code(&e, ze);
            error = path + ": " + fillText(kZipOpen, {zip_error_strerror(&e)});
            zip_error_fini(&e);
            return false;
        }
        auto readEntry = [&](const std::string& entry, std::string& text) -> bool {
            zip_stat_t st;
            zip_stat_init(&st);
            if (zip_stat(z, entry.c_str(), 0, &st) != 0 || !(st.valid & ZIP_STAT_SIZE) || st.size > kMaxScore) return false;
            zip_file_t* f = zip_fopen(z, entry.c_str(), 0);
            if (!f) return false;
            try {
                text.assign(static_cast<std::size_t>(st.size), '\0');
            } catch (...) {
                zip_fclose(f);
                throw;
            }
            const zip_int64_t n = text.empty() ? 0 : zip_fread(f, text.data(), text.size());
            zip_fclose(f);
            return n == static_cast<zip_int64_t>(text.size());
        };
        // The container names the score; without it, the first MusicXML file of the archive.
        std::string container, rootfile;
        bool ok = false;
        try {
            if (readEntry("META-INF/container.xml", container)) {
                pugi::xml_document c;
                if (c.load_buffer(container.data(), container.size()))
                    rootfile = capped(c.child("container").child("rootfiles").child("rootfile").attribute("full-path").as_string(), 1024);
            }
            if (rootfile.empty()) {
                const zip_int64_t count = zip_get_num_entries(z, 0);
                for (zip_int64_t i = 0; i < count && rootfile.empty(); ++i) {
                    const char* n = zip_get_name(z, static_cast<zip_uint64_t>(i), 0);
                    const std::string s = n ? n : "";
                    if (s.rfind("META-INF/", 0) != 0 && (s.ends_with(".xml") || s.ends_with(".musicxml"))) rootfile = s;
                }
            }
            ok = !rootfile.empty() && readEntry(rootfile, xml);
        } catch (...) {
            zip_close(z);
            throw;
        }
        zip_close(z);
        if (!ok) {
            error = path + ": " + (rootfile.empty() ? std::string(kZipEmpty) : fillText(kZipEntry, {shown(rootfile, 60)}));
            return false;
        }
        return true;
    }
    std::vector<uint8_t> bytes;
    if (const ReadStatus st = readWholeFile(path, bytes, kMaxScore); st != ReadStatus::Ok) {
        error = path + ": " + readStatusText(st);
        return false;
    }
    xml.assign(bytes.begin(), bytes.end());
    return true;
}

}  // namespace

bool importMusicXml(const std::string& path, const MusicXmlOptions& options, MusicXmlSong& out, std::string& error) {
    out = MusicXmlSong{};
    std::string xml;
    try {
        if (!loadScoreText(path, xml, error)) return false;
    } catch (const std::bad_alloc&) {
        error = path + ": " + text::kOutOfMemory;
        return false;
    }
    return importMusicXmlText(xml, fileNameOf(path), options, out, error);
}

bool importMusicXml(const std::string& path, int part, MusicXmlSong& out, std::string& error) {
    MusicXmlOptions o;
    o.part = part;
    return importMusicXml(path, o, out, error);
}

bool readMusicXmlParts(const std::string& path, std::vector<MusicXmlPart>& parts, std::string& error) {
    parts.clear();
    try {
        std::string xml;
        if (!loadScoreText(path, xml, error)) return false;
        pugi::xml_document doc;
        std::vector<XmlPart> read;
        if (!readScore(std::move(xml), fileNameOf(path), doc, read, error)) return false;
        for (std::size_t p = 0; p < read.size(); ++p) {
            parts.push_back(partInfo(read[p]));
            parts.back().channel = p < 9 ? static_cast<int>(p) : static_cast<int>(p) + 1;
        }
        return true;
    } catch (const Failure& f) {
        error = f.text;
    } catch (const std::bad_alloc&) {
        error = path + ": " + text::kOutOfMemory;
    }
    parts.clear();
    return false;
}

}  // namespace kantor
