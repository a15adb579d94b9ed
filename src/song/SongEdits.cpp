#include "song/SongEdits.h"

#include <algorithm>
#include <cstdio>

#include "base/Codepage.h"
#include "base/Translation.h"
#include "midi/MidiFile.h"
#include "midi/TempoMap.h"
#include "voice/SyllableLookup.h"
#include "voice/VoiceBank.h"
#include "voice/WordSyllables.h"

namespace kantor {

namespace {

std::string format(const char* f, int a, int b) {
    char buf[64];
    std::snprintf(buf, sizeof buf, f, a, b);
    return buf;
}

std::string trimBlanks(const std::string& s) {
    std::size_t a = 0, b = s.size();
    while (a < b && (s[a] == ' ' || s[a] == '\t')) ++a;
    while (b > a && (s[b - 1] == ' ' || s[b - 1] == '\t')) --b;
    return s.substr(a, b - a);
}

// Number of UTF-8 characters.
std::size_t charCount(const std::string& s) {
    std::size_t n = 0;
    for (unsigned char ch : s)
        if ((ch & 0xC0) != 0x80) ++n;
    return n;
}

// The first `n` UTF-8 characters.
std::string firstChars(const std::string& s, std::size_t n) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) {
            if (count == n) return s.substr(0, i);
            ++count;
        }
    }
    return s;
}

constexpr const char* kIdeographicSpace = "\xE3\x80\x80";  // "　"
constexpr const char* kKanaComma = "、";

}  // namespace

// --- spins --------------------------------------------------------------------------------------

bool spinStep(int& value, int delta, int lo, int hi) {
    const long v = static_cast<long>(value) + delta;
    if (v < lo || v > hi) return false;
    value = static_cast<int>(v);
    return true;
}

int tuningSpinPosition(uint32_t tuning) {
    const long pos = (static_cast<long>(tuning) - 440000) / 100;
    return static_cast<int>(std::clamp<long>(pos, kTuningSpinMin, kTuningSpinMax));
}

uint32_t tuningOfSpinPosition(int position) {
    return static_cast<uint32_t>(440000 + 100 * std::clamp(position, kTuningSpinMin, kTuningSpinMax));
}

std::string tuningText(uint32_t tuning) {
    return format("%d.%d", static_cast<int>(tuning / 1000), static_cast<int>((tuning % 1000) / 100));
}

std::string timingTextOnOpen(int32_t ms) { return ms < 1 ? format("%d msec", ms, 0) : format("+%d msec", ms, 0); }

std::string timingTextAfterStep(int32_t ms) {
    return ms <= 0 ? format("%d  msec", ms, 0) : format("+%d msec", ms, 0);
}

// --- settings windows ---------------------------------------------------------------------------

SettingsEdit SettingsEdit::forSong(const Song& song) {
    SettingsEdit e;
    e.kind_ = Kind::Song;
    e.original_ = e.values_ = e.inherited_ = song.songDefaults();
    return e;
}

SettingsEdit SettingsEdit::forChannel(const Song& song, int c) {
    SettingsEdit e;
    e.kind_ = Kind::Channel;
    e.channel_ = c & 15;
    e.original_ = e.values_ = song.resolveChannelSettings(c);
    e.inherited_ = song.songDefaults();
    const VoiceSettings& own = song.channelDefaults(c);
    e.useDefault_ = {!own.ownVoice, !own.ownTuning, !own.ownVolume, !own.ownTiming, !own.ownEffects};
    return e;
}

bool SettingsEdit::forPhrase(const Song& song, int c, std::size_t head, SettingsEdit& out) {
    const VoxEvent* ev = song.event(c, head);
    if (!ev || ev->phraseIndex == 0) return false;
    const VoiceSettings* rec = song.phraseSettings(c, ev->phraseIndex);
    if (!rec) return false;
    SettingsEdit e;
    e.kind_ = Kind::Phrase;
    e.channel_ = c & 15;
    e.head_ = head;
    e.original_ = e.values_ = song.resolvePhraseSettings(c, *rec);
    e.inherited_ = song.resolveChannelSettings(c);
    e.useDefault_ = {!rec->ownVoice, !rec->ownTuning, !rec->ownVolume, !rec->ownTiming, !rec->ownEffects};
    out = e;
    return true;
}

void SettingsEdit::setUseDefault(SettingsGroup g, bool on) {
    if (kind_ == Kind::Song) return;
    useDefault_[static_cast<std::size_t>(g)] = on;
    if (!on) return;
    switch (g) {
        case SettingsGroup::Voice: values_.voiceName = inherited_.voiceName; break;
        case SettingsGroup::Tuning: values_.tuning = inherited_.tuning; break;
        case SettingsGroup::Volume: values_.phraseVolume = inherited_.phraseVolume; break;
        case SettingsGroup::Timing: values_.timingOffset = inherited_.timingOffset; break;
        case SettingsGroup::Effects: values_.effect = inherited_.effect; break;
    }
}

bool SettingsEdit::apply(Song& song, VoiceBank& voices, std::string& error, bool& stored) const {
    stored = false;
    error.clear();
    if (!voices.ensureVoiceLoaded(values_.voiceName)) {
        error = voices.lastError();
        return false;
    }
    VoiceSettings rec = values_;
    if (kind_ != Kind::Song) {
        rec.ownVoice = !useDefault(SettingsGroup::Voice);
        rec.ownTuning = !useDefault(SettingsGroup::Tuning);
        rec.ownVolume = !useDefault(SettingsGroup::Volume);
        rec.ownTiming = !useDefault(SettingsGroup::Timing);
        rec.ownEffects = !useDefault(SettingsGroup::Effects);
        rec.ownPositionValue = 0;
    }
    switch (kind_) {
        case Kind::Song:
            if (rec == original_) return true;
            song.songDefaults() = rec;
            break;
        case Kind::Channel:
            if (rec == original_) return true;
            song.channelDefaults(channel_) = rec;
            break;
        case Kind::Phrase: {
            // A phrase record is its first 104 bytes.
            std::fill(rec.reserved2.begin() + VoiceSettings::kPhraseTailSize, rec.reserved2.end(), uint8_t{0});
            VoiceSettings was = original_;
            std::fill(was.reserved2.begin() + VoiceSettings::kPhraseTailSize, was.reserved2.end(), uint8_t{0});
            if (rec == was) return true;
            const VoxEvent* ev = song.event(channel_, head_);
            VoiceSettings* target = ev ? song.phraseSettings(channel_, ev->phraseIndex) : nullptr;
            if (!target) return true;
            *target = rec;
            break;
        }
    }
    stored = true;
    return true;
}

// --- note length and position -------------------------------------------------------------------

bool NoteLengthPosition::open(const Song& song, const MidiFile& midi, const TempoMap& map, int c, std::size_t event) {
    const VoxEvent* e = song.event(c, event);
    if (!e) return false;
    c_ = c & 15;
    event_ = event;
    openStart_ = e->startTick;
    openEnd_ = e->endTick;
    startSpin_ = endSpin_ = 0;
    uint32_t noteStart = e->startTick, noteEnd = e->endTick;
    const auto& list = midi.channel(c_);
    if (e->midiEventIndex < list.size() && list[e->midiEventIndex] && list[e->midiEventIndex]->isNote()) {
        noteStart = list[e->midiEventIndex]->startTick();
        noteEnd = list[e->midiEventIndex]->endTick();
    }
    const auto& bars = map.measures();
    min_ = max_ = lastBar_ = 0;
    if (!bars.empty()) {
        lastBar_ = bars.back().start;
        const long at = map.measureIndexAt(noteStart);
        min_ = (at >= 0 ? bars[static_cast<std::size_t>(at)].start : 0) + 1;
        max_ = lastBar_;
        for (const Measure& m : bars) {
            if (m.start >= noteEnd) {
                max_ = m.start == 0 ? 0 : m.start - 1;
                break;
            }
        }
    }
    return true;
}

bool NoteLengthPosition::place(Song& song, int64_t start, int64_t end) {
    VoxEvent* e = song.event(c_, event_);
    if (!e || start < 0 || start > lastBar_ || end < 0 || end > 0xFFFFFFFFll) return false;
    e->startTick = static_cast<uint32_t>(start);
    e->endTick = static_cast<uint32_t>(end);
    return true;
}

bool NoteLengthPosition::stepStart(Song& song, int delta) {
    const VoxEvent* e = song.event(c_, event_);
    if (!e || lastBar_ == 0) return false;
    int spin = startSpin_;
    if (!spinStep(spin, delta, kSpinMin, kSpinMax)) return false;
    const int64_t start = int64_t(e->startTick) + delta;
    if (mode == Mode::Position) {
        const int64_t end = int64_t(e->endTick) + delta;
        if (end < min_ || start > max_) return false;
        if (!place(song, start, end)) return false;
    } else {
        if (start >= e->endTick || start > max_) return false;
        if (!place(song, start, e->endTick)) return false;
    }
    startSpin_ = spin;
    return true;
}

bool NoteLengthPosition::stepEnd(Song& song, int delta) {
    const VoxEvent* e = song.event(c_, event_);
    if (!e || lastBar_ == 0 || mode != Mode::Length) return false;
    int spin = endSpin_;
    if (!spinStep(spin, delta, kSpinMin, kSpinMax)) return false;
    const int64_t end = int64_t(e->endTick) + delta;
    if (end > lastBar_ || end < min_ || end <= e->startTick) return false;
    if (!place(song, e->startTick, end)) return false;
    endSpin_ = spin;
    return true;
}

bool setNoteLength(Song& song, int c, std::size_t event, uint32_t ticks, std::string& error) {
    error.clear();
    VoxEvent* e = song.event(c, event);
    if (!e || ticks == 0) return false;
    const uint64_t end = uint64_t(e->startTick) + ticks;
    if (end > 0xFFFFFFFFu) return false;
    e->endTick = static_cast<uint32_t>(end);
    return true;
}

// --- batch changes ------------------------------------------------------------------------------

bool parsePowerValue(const std::string& text, uint32_t& thousandths) {
    const std::string t = trimBlanks(text);
    if (t.empty()) return false;
    uint64_t whole = 0, frac = 0;
    int fracDigits = -1;
    for (char ch : t) {
        if (ch == '.') {
            if (fracDigits >= 0) return false;
            fracDigits = 0;
        } else if (ch >= '0' && ch <= '9') {
            if (fracDigits < 0) {
                whole = whole * 10 + uint64_t(ch - '0');
                if (whole > 100000) return false;
            } else {
                if (++fracDigits > 3) return false;
                frac = frac * 10 + uint64_t(ch - '0');
            }
        } else {
            return false;
        }
    }
    if (t == ".") return false;
    for (int i = std::max(fracDigits, 0); i < 3; ++i) frac *= 10;
    const uint64_t v = whole * 1000 + frac;
    if (v < 1 || v > 10000) return false;
    thousandths = static_cast<uint32_t>(v);
    return true;
}

std::string powerText(uint32_t thousandths) {
    return format("%d.%03d", static_cast<int>(thousandths / 1000), static_cast<int>(thousandths % 1000));
}

bool noteBatchChange(Song& song, int c, std::string& error) {
    error.clear();
    auto& events = song.channel(c).events;
    if (!song.isVoxChannel(c)) {
        error = edittext::kNoNotes;
        return false;
    }
    for (auto& p : events) {
        if (!p) continue;
        VoxEvent& e = *p;
        if (e.noteSettingsIndex != 0 && !song.noteSettings(c, e.noteSettingsIndex)) e.noteSettingsIndex = 0;
        for (int s = 0; s < VoxEvent::kSlots; ++s) {
            uint16_t& index = e.syllableSettingsIndex[static_cast<std::size_t>(s)];
            if (index != 0 && !song.syllableSettings(c, index)) index = 0;
            if (e.syllableLength[static_cast<std::size_t>(s)] != 0 && index == 0) {
                const uint16_t made = song.newSyllableSettings(c);
                if (made == 0) {
                    error = song.lastError();
                    return false;
                }
                index = made;
            }
        }
    }
    return true;
}

std::string checkPhraseWaveName(const std::string& midiFolder, const std::string& name) {
    const std::string trimmed = trimBlanks(name);
    if (trimmed.empty() || trimmed.find('/') != std::string::npos || trimmed.find('\\') != std::string::npos ||
        trimmed.find('\0') != std::string::npos || trimmed == "." || trimmed == "..")
        return edittext::kBadFileName;
    bool exact = false;
    utf8ToCp932(trimmed, &exact);
    if (!exact) return edittext::kBadFileName;
    const std::string path = (midiFolder.empty() ? std::string() : midiFolder + "/") + trimmed + "000.wav";
    if (cp932Length(path) > 127) return edittext::kWavePathTooLong;
    return {};
}

bool phraseBatchChange(Song& song, int c, const PhraseBatchOptions& options, std::string& error) {
    error.clear();
    if (!song.isVoxChannel(c)) {
        error = edittext::kNoNotes;
        return false;
    }
    for (auto& p : song.channel(c).events) {
        if (!p || p->phraseIndex == 0) continue;
        VoiceSettings* rec = song.phraseSettings(c, p->phraseIndex);
        if (!rec) {
            p->phraseIndex = 0;
            continue;
        }
        if (options.timingDefault) rec->ownTiming = 0;
        if (options.effectsDefault) rec->ownEffects = 0;
        if (options.setTuning) {
            // "数値変更" gives every phrase the value typed.
            rec->ownTuning = 1;
            rec->tuning = options.tuning;
        }
    }
    return true;
}

// --- quick input --------------------------------------------------------------------------------

std::string phraseVoiceOf(const Song& song, int c, std::size_t event) {
    const auto& events = song.channel(c).events;
    if (event < events.size() && events[event]) {
        const uint16_t group = events[event]->phraseGroup;
        for (std::size_t i = event + 1; i-- > 0;) {
            const VoxEvent* e = events[i].get();
            if (e && e->phraseGroup == group && e->phraseIndex != 0)
                return song.resolvePhraseSettings(c, e->phraseIndex).voiceName;
        }
    }
    return song.resolveChannelSettings(c).voiceName;
}

std::string phraseLine(const Song& song, const VoiceBank& voices, int c, std::size_t head, KanaMode mode) {
    const auto& events = song.channel(c).events;
    if (head >= events.size() || !events[head]) return {};
    const std::string voice = phraseVoiceOf(song, c, head);
    const uint16_t group = events[head]->phraseGroup;
    const char* sep = mode == KanaMode::Romaji ? "," : kKanaComma;
    std::string line;
    for (std::size_t i = head; i < events.size(); ++i) {
        const VoxEvent* e = events[i].get();
        if (!e || e->phraseGroup != group) continue;
        if (i > head && e->phraseIndex != 0) break;
        int last = -1;
        for (int s = 0; s < VoxEvent::kSlots; ++s)
            if (e->syllableLength[static_cast<std::size_t>(s)] != 0) last = s;
        std::string token;
        if (last < 0) token = "-";
        for (int s = 0; s <= last; ++s) {
            if (s > 0) token += sep;
            if (e->syllableLength[static_cast<std::size_t>(s)] == 0 || e->isBlankCode(s)) {
                token += "-";
                continue;
            }
            SyllableMatch m;
            if (voices.findSyllableByCode(voice, e->codeText(s), m))
                token += mode == KanaMode::Romaji ? m.code : m.kana;
            else
                token += "*";
        }
        if (!line.empty()) line += " ";
        line += token;
    }
    while (!line.empty() && (line.back() == '-' || line.back() == ' ')) line.pop_back();
    return firstChars(trimBlanks(line), 256);
}

std::vector<QuickSyllable> parseQuickLine(const std::string& line, const VoiceBank& voices,
                                          const std::string& voiceName) {
    // Blanks (also the ideographic one) split notes; "," and "、" split syllables.
    std::string norm;
    for (std::size_t i = 0; i < line.size();) {
        if (line.compare(i, 3, kIdeographicSpace) == 0) {
            norm += ' ';
            i += 3;
        } else if (line.compare(i, 3, kKanaComma) == 0) {
            norm += ',';
            i += 3;
        } else {
            norm += line[i] == '\t' ? ' ' : line[i];
            ++i;
        }
    }
    const Voice* voice = voices.findVoice(voiceName);
    std::vector<QuickSyllable> out;
    int group = 0;
    std::size_t i = 0;
    while (i < norm.size() && out.size() < 128) {
        while (i < norm.size() && norm[i] == ' ') ++i;
        if (i >= norm.size()) break;
        std::size_t j = norm.find(' ', i);
        if (j == std::string::npos) j = norm.size();
        const std::string word = norm.substr(i, j - i);
        i = j;
        // A word of several syllables ("さくら", "sakura") puts one syllable on each note.
        std::vector<WordSyllable> parts;
        WordSplitError bad;
        std::string whole;
        if (word.find(',') == std::string::npos && word != "-" &&
            !(voice && resolveSyllable(voices, *voice, word, whole)) && splitWord(word, parts, bad) &&
            parts.size() > 1) {
            for (const WordSyllable& part : parts) {
                if (out.size() >= 128) break;
                QuickSyllable s;
                s.group = ++group;
                s.text = part.text;
                if (voice && resolveSyllable(voices, *voice, s.text, s.code)) {
                    SyllableMatch m;
                    if (voices.findSyllableByCode(voiceName, s.code, m)) s.kana = m.kana;
                } else {
                    s.code.clear();
                    s.unknown = true;
                }
                out.push_back(std::move(s));
            }
            continue;
        }
        ++group;
        std::size_t k = 0;
        int slots = 0;
        while (k <= word.size() && slots < VoxEvent::kSlots && out.size() < 128) {
            std::size_t comma = word.find(',', k);
            if (comma == std::string::npos) comma = word.size();
            QuickSyllable s;
            s.group = group;
            s.text = word.substr(k, comma - k);
            k = comma + 1;
            ++slots;
            if (s.text.empty() || s.text == "-") {
                s.text.assign(1, '-');  // not = "-": GCC 12 at -O3 warns falsely (-Wrestrict)
            } else if (voice && resolveSyllable(voices, *voice, s.text, s.code)) {
                SyllableMatch m;
                if (voices.findSyllableByCode(voiceName, s.code, m)) s.kana = m.kana;
            } else {
                s.code.clear();
                s.unknown = true;
            }
            out.push_back(std::move(s));
        }
    }
    return out;
}

std::string quickResultLine(const std::vector<QuickSyllable>& syllables, KanaMode mode) {
    std::string line;
    int group = 0;
    for (const QuickSyllable& s : syllables) {
        if (s.group != group) {
            if (group != 0) line += " ";
            group = s.group;
        } else {
            line += mode == KanaMode::Romaji ? "," : kKanaComma;
        }
        if (s.unknown)
            line += std::string(std::min<std::size_t>(4, charCount(s.text)), '*');
        else if (s.code.empty())
            line += "-";
        else
            line += mode == KanaMode::Romaji ? s.code : s.kana;
    }
    return line;
}

void applyQuickInput(Song& song, int c, std::size_t head, const std::vector<QuickSyllable>& syllables) {
    auto& events = song.channel(c).events;
    if (head >= events.size() || !events[head]) return;
    const uint16_t group = events[head]->phraseGroup;
    int groups = 0;
    for (const QuickSyllable& s : syllables) groups = std::max(groups, s.group);
    int k = 0;
    for (std::size_t i = head; i < events.size() && k < groups; ++i) {
        VoxEvent* e = events[i].get();
        if (!e || e->phraseGroup != group) continue;
        if (i > head && e->phraseIndex != 0) break;
        ++k;
        int slot = 0;
        for (const QuickSyllable& s : syllables) {
            if (s.group != k || slot >= VoxEvent::kSlots) continue;
            if (!s.code.empty()) {
                e->setCode(slot, s.code);
                auto& len = e->syllableLength[static_cast<std::size_t>(slot)];
                if (len == 0) len = 1;
            }
            ++slot;
        }
        for (; slot < VoxEvent::kSlots; ++slot) {
            e->syllableLength[static_cast<std::size_t>(slot)] = 0;
            e->setCode(slot, "");
        }
        e->hasLyric = e->hasSyllable() ? 1 : 0;
    }
}

std::vector<PhraseWords> phraseWordList(const Song& song, const VoiceBank& voices, int c) {
    std::vector<PhraseWords> out;
    for (int ch = 0; ch < Song::kChannels; ++ch) {
        if (c >= 0 && ch != c) continue;
        const auto& events = song.channel(ch).events;
        for (std::size_t i = 0; i < events.size(); ++i) {
            if (!events[i] || events[i]->phraseIndex == 0) continue;
            PhraseWords w;
            w.channel = ch;
            w.head = i;
            w.romaji = phraseLine(song, voices, ch, i, KanaMode::Romaji);
            w.kana = phraseLine(song, voices, ch, i, KanaMode::Hiragana);
            if (w.romaji.empty() && w.kana.empty()) continue;
            out.push_back(std::move(w));
        }
    }
    return out;
}

// --- backup -------------------------------------------------------------------------------------

bool ChannelBackup::backup(const Song& song, int c) {
    try {
        records_ = ChannelRecords::capture(song, c);
        has_ = true;
    } catch (const std::bad_alloc&) {
        has_ = false;
    }
    return has_;
}

bool ChannelBackup::restore(Song& song, std::string& error) {
    error.clear();
    if (!has_) return true;
    if (!records_.restore(song)) {
        error = std::string(edittext::kNoMemory) + edittext::kRestoreFailed;
        return false;
    }
    has_ = false;
    records_ = {};
    return true;
}

// --- open windows -------------------------------------------------------------------------------

void EditWindows::setOpen(Kind k, int c, bool open) {
    if (k < 0 || k >= kKinds) return;
    int& n = open_[static_cast<std::size_t>(k)][static_cast<std::size_t>(k == SongDefaults ? 0 : c & 15)];
    n = std::max(0, n + (open ? 1 : -1));
}

bool EditWindows::isOpen(Kind k, int c) const {
    if (k < 0 || k >= kKinds) return false;
    return open_[static_cast<std::size_t>(k)][static_cast<std::size_t>(k == SongDefaults ? 0 : c & 15)] > 0;
}

std::string EditWindows::batchConflict(int c) const {
    const int shown = (c & 15) + 1;
    if (isOpen(SongDefaults, 0)) return KANTOR_TEXT("ｿﾝｸﾞﾃﾞﾌｫﾙﾄﾀﾞｲｱﾛｸﾞを閉じてください。");
    if (isOpen(PhraseSettings, c)) return format(KANTOR_TEXT("フレーズ設定( %d )を閉じてください。"), shown, 0);
    if (isOpen(NoteSettings, c)) return format(KANTOR_TEXT("ノート設定( %d )を閉じてください。"), shown, 0);
    if (isOpen(PhraseDetail, c)) return format(KANTOR_TEXT("フレーズ詳細( %d )を閉じてください。"), shown, 0);
    return {};
}

}  // namespace kantor
