#include "song/Song.h"

#include <algorithm>
#include <new>

#include "base/Texts.h"
#include "song/TextField.h"

namespace kantor {

void VoxChannel::clear() {
    events.clear();
    phrases.clear();
    syllableSettings.clear();
    noteSettings.clear();
}

bool VoxChannel::empty() const {
    return events.empty() && phrases.empty() && syllableSettings.empty() && noteSettings.empty();
}

namespace {
template <typename T>
T* slot(const SlotList<T>& list, uint16_t index) {
    if (index == 0 || index > list.size()) return nullptr;
    return list[index - 1u].get();
}
}  // namespace

Song::Song() {
    clear();
    resetDefaults();
}

void Song::clear() {
    for (VoxChannel& ch : channels_) ch.clear();
    lyricLines_.clear();
    waveInserts_.clear();
    titleInfo_ = TitleInfo::newSong();
    channelFlags_.clear();
    reserved1 = 0;
    reserved2 = 0;
    reserved3 = 0;
    storedDivision_ = 0;
    songPath_.clear();
    midiPath_.clear();
    storedMidiName_.clear();
}

void Song::resetDefaults() {
    songDefaults_ = VoiceSettings::newSongDefaults();
    channelDefaults_.fill(VoiceSettings{});
}

bool Song::isVoxChannel(int c) const {
    for (const auto& e : channel(c).events)
        if (e) return true;
    return false;
}

const VoiceSettings* Song::phraseSettings(int c, uint16_t index) const { return slot(channel(c).phrases, index); }
VoiceSettings* Song::phraseSettings(int c, uint16_t index) { return slot(channel(c).phrases, index); }
const SyllableSettings* Song::syllableSettings(int c, uint16_t index) const {
    return slot(channel(c).syllableSettings, index);
}
const NoteSettings* Song::noteSettings(int c, uint16_t index) const { return slot(channel(c).noteSettings, index); }

const VoxEvent* Song::event(int c, std::size_t index) const {
    const auto& events = channel(c).events;
    return index < events.size() ? events[index].get() : nullptr;
}
VoxEvent* Song::event(int c, std::size_t index) {
    auto& events = channel(c).events;
    return index < events.size() ? events[index].get() : nullptr;
}

template <typename T>
static uint16_t appendZeroRecord(SlotList<T>& list, Song& song) {
    // Indexes are 16 bits wide: a list that is full cannot take another record.
    if (list.size() >= 0xFFFF) return song.setError(kListFull), 0;
    try {
        list.push_back(std::make_unique<T>());
    } catch (const std::bad_alloc&) {
        song.setError(text::kOutOfMemory);
        return 0;
    }
    return static_cast<uint16_t>(list.size());
}

uint16_t Song::newSyllableSettings(int c) { return appendZeroRecord(channel(c).syllableSettings, *this); }
uint16_t Song::newNoteSettings(int c) { return appendZeroRecord(channel(c).noteSettings, *this); }

VoiceSettings Song::resolveChannelSettings(int c) const {
    VoiceSettings s = channelDefaults(c);
    s.inheritFrom(songDefaults_);
    return s;
}

VoiceSettings Song::resolvePhraseSettings(int c, const VoiceSettings& phrase) const {
    VoiceSettings s = phrase;
    s.inheritFrom(resolveChannelSettings(c));
    return s;
}

VoiceSettings Song::resolvePhraseSettings(int c, uint16_t phraseIndex) const {
    const VoiceSettings* p = phraseSettings(c, phraseIndex);
    return resolvePhraseSettings(c, p ? *p : VoiceSettings{});
}

bool Song::makePhraseHead(int c, std::size_t index) {
    VoxEvent* e = event(c, index);
    if (!e || e->phraseIndex != 0) return true;
    auto& phrases = channel(c).phrases;
    if (phrases.size() >= 0xFFFF) return fail(kListFull);
    try {
        auto rec = std::make_unique<VoiceSettings>(resolvePhraseSettings(c, VoiceSettings{}));
        // A phrase record has only 32 bytes after its effects.
        std::fill(rec->reserved2.begin() + VoiceSettings::kPhraseTailSize, rec->reserved2.end(), uint8_t{0});
        phrases.push_back(std::move(rec));
    } catch (const std::bad_alloc&) {
        return fail(text::kOutOfMemory);
    }
    e->phraseIndex = static_cast<uint16_t>(phrases.size());
    return true;
}

void Song::removePhraseHead(int c, std::size_t index) {
    VoxEvent* e = event(c, index);
    if (!e || e->phraseIndex == 0) return;
    auto& phrases = channel(c).phrases;
    if (e->phraseIndex <= phrases.size()) phrases[e->phraseIndex - 1u].reset();
    e->phraseIndex = 0;
}

bool Song::phraseOfNote(int c, std::size_t d, PhraseSpan& out) const {
    const auto& events = channel(c).events;
    if (d >= events.size() || !events[d]) return false;
    const uint16_t group = events[d]->phraseGroup;
    bool found = false;
    bool any = false;
    uint32_t start = 0, end = 0, auditionEnd = 0;
    auto widen = [&](const VoxEvent& e) {
        if (!any || e.startTick < start) start = e.startTick;
        if (!any || e.endTick > end) end = e.endTick;
        any = true;
    };
    // Backwards from d, d included, up to the head.
    for (std::size_t i = d + 1; i-- > 0;) {
        const VoxEvent* e = events[i].get();
        if (!e || e->phraseGroup != group) continue;
        widen(*e);
        auditionEnd = std::max(auditionEnd, e->endTick);
        if (e->phraseIndex != 0) {
            out.head = i;
            found = true;
            break;
        }
    }
    if (!found) return false;
    // Forwards from d + 1 to the next head of the group.
    for (std::size_t i = d + 1; i < events.size(); ++i) {
        const VoxEvent* e = events[i].get();
        if (!e || e->phraseGroup != group) continue;
        if (e->phraseIndex != 0) break;
        widen(*e);
        if (e->hasSyllable()) auditionEnd = std::max(auditionEnd, e->endTick);
    }
    out.phraseGroup = group;
    out.startTick = start;
    out.endTick = end;
    out.auditionEndTick = auditionEnd;
    return true;
}

bool Song::channelInUse(int c) {
    for (auto& e : channel(c).events) {
        if (!e) continue;
        uint32_t sum = 0;
        for (int k = 0; k < VoxEvent::kSlots; ++k) {
            if (e->isBlankCode(k)) e->syllableLength[static_cast<std::size_t>(k)] = 0;
            sum += e->syllableLength[static_cast<std::size_t>(k)];
        }
        if (sum != 0) return true;
    }
    return false;
}

template <typename T>
static bool putByPosition(SlotList<T>& list, std::unique_ptr<T> rec) {
    auto at = std::find_if(list.begin(), list.end(), [&](const std::unique_ptr<T>& p) {
        return p && p->position >= rec->position;
    });
    if (at != list.end() && (*at)->position == rec->position) {
        *at = std::move(rec);
    } else {
        list.insert(at, std::move(rec));
    }
    return true;
}

bool Song::putLyricLine(uint32_t position, const std::string& text) {
    try {
        auto line = std::make_unique<LyricLine>();
        line->position = position;
        line->text = text;
        return putByPosition(lyricLines_, std::move(line));
    } catch (const std::bad_alloc&) {
        return fail(text::kOutOfMemory);
    }
}

bool Song::putWaveInsert(const WaveInsert& wave) {
    try {
        return putByPosition(waveInserts_, std::make_unique<WaveInsert>(wave));
    } catch (const std::bad_alloc&) {
        return fail(text::kOutOfMemory);
    }
}

std::vector<std::string> Song::voiceNamesToLoad() const {
    std::vector<std::string> names;
    auto add = [&](const std::string& raw) {
        std::string name = withoutTrailingBlanks(raw);
        if (name.empty()) return;
        if (!names.empty() && names.back() == name) return;
        names.push_back(std::move(name));
    };
    add(songDefaults_.voiceName);
    for (const VoiceSettings& d : channelDefaults_)
        if (d.ownVoice == 1) add(d.voiceName);
    for (const VoxChannel& ch : channels_)
        for (const auto& p : ch.phrases)
            if (p && p->ownVoice == 1) add(p->voiceName);
    return names;
}

}  // namespace kantor
