#include "song/SongFile.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

#include "base/ByteIO.h"
#include "base/Codepage.h"
#include "base/FileIO.h"
#include "base/Tuning.h"
#include "base/Texts.h"
#include "song/Song.h"
#include "song/TextField.h"

namespace kantor {

using namespace songfile;

namespace {

// Raised inside build() when a list cannot be stored; turned into the save error.
struct TooLong {};

void countHeader(ByteWriter& w, uint32_t count) {
    w.u32le(count);
    w.zeros(12);
}

uint16_t renumber(uint32_t& counter) {
    if (counter >= 0xFFFF) throw TooLong{};
    return static_cast<uint16_t>(++counter);
}

// Writes one channel's block: the three settings lists in the order events reference
// them (a record referenced twice is written twice; unreferenced records are dropped),
// then the events with their indexes renumbered to the written records.
void writeChannel(ByteWriter& w, const Song& song, int c) {
    std::vector<VoxEvent> copies;
    for (const auto& e : song.channel(c).events)
        if (e) copies.push_back(*e);

    std::size_t at = w.size();
    uint32_t count = 0;
    countHeader(w, 0);
    for (VoxEvent& e : copies) {
        const VoiceSettings* p = song.phraseSettings(c, e.phraseIndex);
        if (p) {
            p->write(w, VoiceSettings::kPhraseSize);
            e.phraseIndex = renumber(count);
        } else {
            e.phraseIndex = 0;
        }
    }
    w.patchU32le(at, count);

    at = w.size();
    count = 0;
    countHeader(w, 0);
    for (VoxEvent& e : copies) {
        for (uint16_t& index : e.syllableSettingsIndex) {
            const SyllableSettings* s = song.syllableSettings(c, index);
            if (s) {
                s->write(w);
                index = renumber(count);
            } else {
                index = 0;
            }
        }
    }
    w.patchU32le(at, count);

    at = w.size();
    count = 0;
    countHeader(w, 0);
    for (VoxEvent& e : copies) {
        const NoteSettings* n = song.noteSettings(c, e.noteSettingsIndex);
        if (n) {
            n->write(w);
            e.noteSettingsIndex = renumber(count);
        } else {
            e.noteSettingsIndex = 0;
        }
    }
    w.patchU32le(at, count);

    countHeader(w, static_cast<uint32_t>(copies.size()));
    for (VoxEvent& e : copies) {
        e.hasLyric = e.hasSyllable() ? 1 : 0;
        e.write(w);
    }
}

uint32_t offset32(std::size_t n) {
    if (n > std::numeric_limits<uint32_t>::max()) throw TooLong{};
    return static_cast<uint32_t>(n);
}

// Moves to a list at `offset`, reads its count header and checks that its records lie
// inside the data. The lyric line and inserted wave lists count in 16 bits.
bool openList(ByteReader& r, std::size_t offset, std::size_t recordSize, bool count16, uint64_t& n) {
    if (!r.seek(offset)) return false;
    const uint32_t raw = r.u32le();
    if (!r.skip(kCountHeaderSize - 4)) return false;
    n = count16 ? (raw & 0xFFFFu) : raw;
    return n * recordSize <= r.remaining();
}

}  // namespace

// The names a song stores must come back as they were: a character cp932 lacks would
// come back as "?", a name cut at its field's end would name another file.
bool SongFile::checkStoredNames(const Song& song, const std::string& midiPath) {
    auto refuse = [&](const std::string& what, const std::string& name) {
        return fail(std::string(kSaveFailed) + "\n" + what + " \"" + name + "\" " +
                    "holds a character that the song file cannot store (Shift-JIS)");
    };
    bool exact = true;
    const std::string midiName = fileNameOf(midiPath);
    const std::string stored = utf8ToCp932(midiName, &exact);
    if (!exact) return refuse("the MIDI file name", midiName);
    if (stored.size() >= kMidiNameSize) {
        return fail(std::string(kSaveFailed) + "\nthe MIDI file name \"" + midiName + "\" is longer than " +
                    std::to_string(kMidiNameSize - 1) + " bytes");
    }
    for (const auto& wave : song.waveInserts()) {
        if (!wave) continue;
        utf8ToCp932(wave->path, &exact);
        if (!exact) return refuse("the inserted wave", wave->path);
        utf8ToCp932(wave->name, &exact);
        if (!exact) return refuse("the inserted wave", wave->name);
    }
    return true;
}

bool SongFile::build(Song& song, const std::string& midiPath, uint16_t division, std::vector<uint8_t>& out) {
    clearError();
    out.clear();
    if (!checkStoredNames(song, midiPath)) return false;
    try {
        ByteWriter w;
        w.zeros(kHeaderSize);

        // Defaults.
        const uint32_t defaultsOffset = offset32(w.size());
        song.songDefaults().write(w, VoiceSettings::kSize);
        for (int c = 0; c < Song::kChannels; ++c) song.channelDefaults(c).write(w, VoiceSettings::kSize);

        // Lyric lines, counted in 16 bits.
        uint32_t lyricOffset = 0;
        {
            const std::size_t at = w.size();
            uint32_t count = 0;
            countHeader(w, 0);
            for (const auto& line : song.lyricLines()) {
                if (!line) continue;
                line->write(w);
                renumber(count);
            }
            if (count != 0) {
                w.patchU32le(at, count);
                lyricOffset = offset32(at);
            }
        }

        // Channels in use.
        std::array<uint32_t, Song::kChannels> channelOffsets{};
        for (int c = 0; c < Song::kChannels; ++c) {
            if (!song.channelInUse(c)) continue;
            channelOffsets[static_cast<std::size_t>(c)] = offset32(w.size());
            writeChannel(w, song, c);
        }

        // Inserted waves: the records, then each record's path block and name block.
        uint32_t waveOffset = 0;
        {
            const std::size_t at = w.size();
            std::vector<const WaveInsert*> waves;
            for (const auto& wave : song.waveInserts())
                if (wave) waves.push_back(wave.get());
            uint32_t count = 0;
            for (std::size_t i = 0; i < waves.size(); ++i) renumber(count);
            countHeader(w, count);
            for (const WaveInsert* wave : waves) wave->writeRecord(w, 0, 0);
            if (count != 0) {
                waveOffset = offset32(at);
                for (std::size_t i = 0; i < waves.size(); ++i) {
                    const uint32_t pathOffset = offset32(w.size());
                    w.bytes(WaveInsert::block(waves[i]->path).data(), WaveInsert::block(waves[i]->path).size());
                    const uint32_t nameOffset = offset32(w.size());
                    w.bytes(WaveInsert::block(waves[i]->name).data(), WaveInsert::block(waves[i]->name).size());
                    ByteWriter rec;
                    waves[i]->writeRecord(rec, pathOffset, nameOffset);
                    std::copy(rec.buffer().begin(), rec.buffer().end(),
                              w.buffer().begin() + static_cast<std::ptrdiff_t>(at + kCountHeaderSize +
                                                                               WaveInsert::kSize * i));
                }
            }
        }
        offset32(w.size());

        // The header.
        ByteWriter h;
        h.fixedText(kMagic, 16);
        h.u16le(kVersion);
        h.u16le(0);
        song.titleInfo().write(h);
        writeTextField(h, fileNameOf(midiPath), kMidiNameSize);
        h.u32le(lyricOffset);
        for (uint32_t o : channelOffsets) h.u32le(o);
        for (int row = 0; row < ChannelFlags::kRows; ++row)
            for (int c = 0; c < ChannelFlags::kChannels; ++c)
                h.u8(song.channelFlags().get(static_cast<ChannelFlags::Row>(row), c) ? 1 : 0);
        h.u32le(defaultsOffset);
        h.u32le(waveOffset);
        h.u16le(division);
        h.u32le(song.reserved1);
        h.u32le(song.reserved2);
        h.u16le(song.reserved3);
        h.zeros(kHeaderSize - h.size());
        std::copy(h.buffer().begin(), h.buffer().end(), w.buffer().begin());
        out = std::move(w.buffer());
    } catch (const TooLong&) {
        return fail(std::string(kSaveFailed) + "\na list holds more than 65,535 entries");
    } catch (const std::bad_alloc&) {
        return fail(kSaveFailed);
    }
    return true;
}

bool SongFile::write(Song& song, const std::string& path, const std::string& midiPath, uint16_t division) {
    // A song the user has write-protected is refused, never replaced.
    if (isWriteProtected(path)) return fail(std::string(kSaveFailed) + "\n" + path + ": " + kReadOnlyFile);
    std::vector<uint8_t> bytes;
    if (!build(song, midiPath, division, bytes)) return false;
    AtomicFile file(path);
    if (!file.isOpen() || !file.write(bytes) || !file.commit()) {
        return fail(std::string(kSaveFailed) + "\n" + file.error());
    }
    song.setStoredDivision(division);
    return true;
}

bool SongFile::read(Song& song, const std::string& path) {
    clearError();
    song.clear();
    if (path.empty()) return fail(kNoPath);
    std::vector<uint8_t> bytes;
    ReadStatus st;
    try {
        st = readWholeFile(path, bytes);
    } catch (const std::bad_alloc&) {
        return fail(text::kOutOfMemory);
    }
    if (st == ReadStatus::NotFound) return fail(std::string(kNotFound) + "\n" + path);
    if (st == ReadStatus::TooLarge) return fail(text::kOutOfMemory);
    if (st == ReadStatus::NoAccess || st == ReadStatus::NotRegular) {
        return fail(std::string(kReadFailed) + "\n" + path + " (" + readStatusText(st) + ")");
    }
    if (st != ReadStatus::Ok) return fail(std::string(kReadFailed) + "\n" + path + ": " + readStatusText(st));
    return readImage(song, bytes, path);
}

bool SongFile::readImage(Song& song, std::span<const uint8_t> bytes, const std::string& path) {
    clearError();
    song.clear();
    if (path.empty()) return fail(kNoPath);
    bool ok;
    try {
        ok = parse(song, bytes);
    } catch (const std::bad_alloc&) {
        ok = fail(text::kOutOfMemory);
    }
    if (!ok) {
        song.clear();
        // The reason goes on a second line after the file's name.
        const std::string first = std::string(kReadFailed) + "\n";
        if (lastError().starts_with(first)) {
            const std::string why = lastError().substr(first.size());
            clearError();
            fail(first + path + ": " + why);
        }
        return false;
    }
    song.setSongPath(path);
    song.setMidiPath(joinPath(folderOf(path), fileNameOf(song.storedMidiName())));
    return true;
}

bool SongFile::parse(Song& song, std::span<const uint8_t> bytes) {
    ByteReader r(bytes);
    auto refuse = [&](const std::string& what) { return fail(std::string(kReadFailed) + "\n" + what); };
    auto list = [&](const std::string& what) { return refuse(what + " runs past the end of the file"); };
    if (bytes.size() < kHeaderSize) {
        return refuse("the file holds " + std::to_string(bytes.size()) + " bytes, less than a song's header (" +
                      std::to_string(kHeaderSize) + ")");
    }
    r.seek(kVersionAt);
    if (const uint16_t version = r.u16le(); version != kVersion)
        return refuse("file version " + std::to_string(version) + ", not " + std::to_string(kVersion));
    {
        char magic[16];
        std::memcpy(magic, bytes.data(), sizeof magic);
        if (std::strncmp(magic, kMagic, sizeof magic) != 0) return fail(kWrongMagic);
    }

    r.seek(kTitleAt);
    song.titleInfo() = TitleInfo::read(r);
    song.setStoredMidiName(readTextField(r, kMidiNameSize));
    const uint32_t lyricOffset = r.u32le();
    std::array<uint32_t, Song::kChannels> channelOffsets{};
    for (uint32_t& o : channelOffsets) o = r.u32le();
    for (int row = 0; row < ChannelFlags::kRows; ++row)
        for (int c = 0; c < ChannelFlags::kChannels; ++c)
            song.channelFlags().set(static_cast<ChannelFlags::Row>(row), c, r.u8() == 1);
    const uint32_t defaultsOffset = r.u32le();
    const uint32_t waveOffset = r.u32le();
    song.setStoredDivision(r.u16le());
    song.reserved1 = r.u32le();
    song.reserved2 = r.u32le();
    song.reserved3 = r.u16le();
    if (!r.ok()) return refuse("the header is cut short");

    uint64_t n = 0;
    // Lyric lines.
    if (lyricOffset != 0) {
        if (!openList(r, lyricOffset, LyricLine::kSize, true, n)) return list("the lyric list");
        for (uint64_t i = 0; i < n; ++i) song.lyricLines().push_back(std::make_unique<LyricLine>(LyricLine::read(r)));
    }

    // Channels: four lists one after another, records copied as they are so that the
    // stored indexes keep their meaning.
    for (int c = 0; c < Song::kChannels; ++c) {
        const uint32_t offset = channelOffsets[static_cast<std::size_t>(c)];
        if (offset == 0) continue;
        VoxChannel& ch = song.channel(c);
        const std::string channel = "MidiCh=" + std::to_string(c + 1);
        if (!openList(r, offset, VoiceSettings::kPhraseSize, false, n)) return list(channel + ": the phrase list");
        for (uint64_t i = 0; i < n; ++i)
            ch.phrases.push_back(std::make_unique<VoiceSettings>(VoiceSettings::read(r, VoiceSettings::kPhraseSize)));
        if (!openList(r, r.position(), SyllableSettings::kSize, false, n))
            return list(channel + ": the syllable settings list");
        for (uint64_t i = 0; i < n; ++i)
            ch.syllableSettings.push_back(std::make_unique<SyllableSettings>(SyllableSettings{SyllableSettings::read(r)}));
        if (!openList(r, r.position(), NoteSettings::kSize, false, n)) return list(channel + ": the note settings list");
        for (uint64_t i = 0; i < n; ++i)
            ch.noteSettings.push_back(std::make_unique<NoteSettings>(NoteSettings{NoteSettings::read(r)}));
        if (!openList(r, r.position(), VoxEvent::kSize, false, n)) return list(channel + ": the note list");
        for (uint64_t i = 0; i < n; ++i) ch.events.push_back(std::make_unique<VoxEvent>(VoxEvent::read(r)));
        if (!r.ok()) return list(channel + ": the note list");
    }

    // Defaults.
    if (defaultsOffset != 0) {
        if (!r.seek(defaultsOffset) || r.remaining() < kDefaultsSize) return list("the settings block");
        song.songDefaults() = VoiceSettings::read(r, VoiceSettings::kSize);
        for (int c = 0; c < Song::kChannels; ++c) song.channelDefaults(c) = VoiceSettings::read(r, VoiceSettings::kSize);
    } else {
        song.resetDefaults();
    }

    // Inserted waves (a 16-bit count), each with its path and name block.
    if (waveOffset != 0) {
        if (!openList(r, waveOffset, WaveInsert::kSize, true, n)) return list("the inserted wave list");
        auto blockText = [&](uint32_t offset, uint32_t size, std::string& out) -> bool {
            if (offset > bytes.size() || size > bytes.size() - offset) return false;
            const char* p = reinterpret_cast<const char*>(bytes.data() + offset);
            std::size_t len = 0;
            while (len < size && p[len] != 0) ++len;
            out = cp932ToUtf8(std::string_view(p, len));
            return true;
        };
        for (uint64_t i = 0; i < n; ++i) {
            auto wave = std::make_unique<WaveInsert>();
            wave->position = r.u32le();
            const uint32_t pathData = r.u32le();
            const uint32_t pathSize = r.u32le();
            wave->waveValue1 = r.u32le();
            wave->waveValue2 = r.u32le();
            const uint32_t nameData = r.u32le();
            const uint32_t nameSize = r.u32le();
            if (!blockText(pathData, pathSize, wave->path) || !blockText(nameData, nameSize, wave->name))
                return list("inserted wave " + std::to_string(i + 1) + "'s name");
            song.waveInserts().push_back(std::move(wave));
        }
    }
    if (!r.ok()) return list("the inserted wave list");
    return checkValues(song);
}

// Values no editing produces and that would make a render run away (a tuning of 4 MHz
// renders a minute of sound per note, an end before its start a note of 4 billion ticks)
// are refused here, where they come in.
bool SongFile::checkValues(const Song& song) {
    auto badTuning = [](const VoiceSettings& s, bool always) {
        return (always || s.ownTuning) && (s.tuning < kMinTuning || s.tuning > kMaxTuning);
    };
    auto refuse = [&](const std::string& what) { return fail(std::string(kReadFailed) + "\n" + what); };
    if (badTuning(song.songDefaults(), true)) {
        return refuse("the song's tuning " + std::to_string(song.songDefaults().tuning) + " is out of range");
    }
    for (int c = 0; c < Song::kChannels; ++c) {
        const std::string channel = "MidiCh=" + std::to_string(c + 1);
        if (badTuning(song.channelDefaults(c), false)) return refuse(channel + ": tuning out of range");
        for (const auto& p : song.channel(c).phrases)
            if (p && badTuning(*p, false)) return refuse(channel + ": a phrase's tuning is out of range");
        std::size_t index = 0;
        for (const auto& e : song.channel(c).events) {
            ++index;
            if (e && e->endTick < e->startTick) {
                return refuse(channel + ": note " + std::to_string(index) + " ends (tick " +
                              std::to_string(e->endTick) + ") before it starts (tick " +
                              std::to_string(e->startTick) + ")");
            }
        }
    }
    return true;
}

}  // namespace kantor
