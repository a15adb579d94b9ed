#include "synth/SongRenderer.h"

#include <algorithm>
#include <filesystem>

#include "audio/WavFile.h"
#include "base/FileIO.h"
#include "base/Texts.h"
#include "midi/TempoMap.h"
#include "song/Song.h"
#include "synth/RateConverter.h"
#include "synth/SoundFormat.h"
#include "synth/SoundTexts.h"
#include "synth/SynthEngine.h"
#include "synth/VoxMixer.h"

namespace kantor {

SongRenderer::SongRenderer(const Song& song, SynthEngine& engine) : song_(song), engine_(engine) {}

std::array<bool, 16> SongRenderer::voxMutesOf(const Song& song) {
    std::array<bool, 16> m{};
    for (int c = 0; c < 16; ++c) m[static_cast<std::size_t>(c)] = song.channelFlags().voxSilenced(c);
    return m;
}

bool SongRenderer::failAndFree(std::string_view text) {
    engine_.releaseAll();
    return fail(text);
}

// The phrases of a channel to render for the range, in the order of their heads. A phrase
// is its head and the later events of the head's group up to the next head of that group.
std::vector<SongRenderer::Phrase> SongRenderer::phrasesOf(int c, const RenderRequest& r) const {
    std::vector<Phrase> out;
    const auto& events = song_.channel(c).events;
    for (std::size_t h = 0; h < events.size(); ++h) {
        const VoxEvent* head = events[h].get();
        if (!head || head->phraseIndex == 0) continue;
        const uint16_t g = head->phraseGroup;
        if (g < r.groupOff.size() && r.groupOff[g]) continue;
        const bool headInRange = head->startTick >= r.startTick && head->startTick < r.endTick;
        if (!headInRange && head->startTick >= r.startTick) continue;  // starts after the range
        Phrase p{c, h, {}};
        for (std::size_t j = h; j < events.size(); ++j) {
            const VoxEvent* e = events[j].get();
            if (!e || e->phraseGroup != g) continue;
            if (j > h && e->phraseIndex != 0) break;
            if (e->startTick < r.startTick || e->startTick >= r.endTick) continue;
            if (!e->hasSyllable()) continue;
            p.notes.push_back(e);
        }
        // A phrase with nothing to sing in the range makes no sound: it is not rendered.
        if (!p.notes.empty()) out.push_back(std::move(p));
    }
    return out;
}

int SongRenderer::countPhrases(const RenderRequest& r) const {
    int n = 0;
    for (int c = 0; c < 16; ++c) {
        if (r.voxMuted[static_cast<std::size_t>(c)] || !song_.isVoxChannel(c)) continue;
        n += static_cast<int>(phrasesOf(c, r).size());
    }
    return n;
}

// The request for one phrase: its settings (the head's, completed from the defaults), its
// start at the earliest note (or the range end) and its length up to the latest note end
// (or the range start).
PhraseRequest SongRenderer::phraseRequest(int c, const VoxEvent& head, const std::vector<const VoxEvent*>& notes,
                                          uint32_t rangeStart, uint32_t rangeEnd) const {
    const TempoMap& map = engine_.tempoMap();
    PhraseRequest req;
    req.settings = song_.resolvePhraseSettings(c, head.phraseIndex);
    uint32_t first = rangeEnd, last = rangeStart;
    for (const VoxEvent* e : notes) {
        if (!e) continue;
        first = std::min(first, e->startTick);
        last = std::max(last, e->endTick);
    }
    req.startTick = first;
    req.lengthMs = map.millisecondsBetween(first, std::max(first, last));
    req.startMs = map.millisecondsBetween(0, first);
    req.positionValue = req.settings.positionValue;
    req.volume = req.settings.phraseVolume;
    req.channel = c + 1;
    req.phraseGroup = head.phraseGroup;
    req.shift = req.settings.timingOffset;
    return req;
}

bool SongRenderer::renderPhraseNotes(int c, const VoxEvent& head, const std::vector<const VoxEvent*>& notes,
                                     uint32_t rangeStart, uint32_t rangeEnd) {
    const PhraseRequest req = phraseRequest(c, head, notes, rangeStart, rangeEnd);
    std::vector<SynthNote> synthNotes;
    if (!engine_.buildNoteList(notes, req.settings, synthNotes)) return failAndFree(engine_.lastError());
    if (!engine_.renderPhrase(req, synthNotes)) return failAndFree(engine_.lastError());
    return true;
}

bool SongRenderer::renderSong(const RenderRequest& r, std::vector<PlaybackPiece>& playback,
                              const RenderProgress& progress) {
    clearError();
    const int total = countPhrases(r);
    int done = 0;
    if (!engine_.start(r.qualityCode)) return failAndFree(engine_.lastError());
    for (int c = 0; c < 16; ++c) {
        if (r.voxMuted[static_cast<std::size_t>(c)] || !song_.isVoxChannel(c)) continue;
        for (const Phrase& p : phrasesOf(c, r)) {
            if (!renderPhraseNotes(c, *song_.event(c, p.head), p.notes, r.startTick, r.endTick)) return false;
            if (progress) progress(++done, total);
        }
        if (!engine_.mixChannel(c + 1)) return failAndFree(engine_.lastError());
        if (progress) progress(done, total);
    }
    if (r.includeWaves && !addInsertedWaves()) return false;
    if (!finalMixdown(r.outputPath, playback)) return false;
    if (progress) progress(total, total);
    return true;
}

bool SongRenderer::renderSelection(int c, const std::vector<const VoxEvent*>& notes, uint32_t rangeStart,
                                   uint32_t rangeEnd, uint16_t qualityCode, std::vector<PlaybackPiece>& playback) {
    clearError();
    if (notes.empty() || !notes.front() || notes.front()->phraseIndex == 0) return true;
    if (!engine_.start(qualityCode)) return failAndFree(engine_.lastError());
    if (!renderPhraseNotes(c, *notes.front(), notes, rangeStart, rangeEnd)) return false;
    return finalMixdown("", playback);
}

bool SongRenderer::addInsertedWaves() {
    const TempoMap& map = engine_.tempoMap();
    const uint32_t outPacked = engine_.outputFormat();
    const uint32_t outRate = engine_.outputRate();
    auto& left = engine_.lists()[SynthEngine::kWaveLeftList];
    auto& right = engine_.lists()[SynthEngine::kWaveRightList];
    // Inserted files lie beside the MIDI file (the song file is saved there too).
    const std::string folder = folderOf(song_.midiPath().empty() ? song_.songPath() : song_.midiPath());
    WavReader reader;
    for (const auto& w : song_.waveInserts()) {
        if (!w) continue;
        const std::string path = joinPath(folder, w->fileName());
        if (!fileExists(path)) continue;
        WaveFormatTriple format;
        if (!reader.readFormat(path, format)) continue;
        const uint32_t rate = format.samplesPerSec;
        if (rate != kRate11025 && rate != kRate22050 && rate != kRate44100) continue;
        if (format.bitsPerSample != formatBits(outPacked)) continue;
        SoundBuffer data;
        if (!reader.readData(path, data, kMixerSpare)) return failAndFree(reader.lastError());

        const uint32_t storedPacked = w->waveValue1;
        const uint32_t storedRate = w->waveValue2;
        auto place = [&](SoundBuffer sound, int kind, std::vector<SoundEntry>& list) -> bool {
            RateConverter converter;
            if (!converter.convert(packFormat(formatBits(storedPacked), 1), storedRate, sound, outRate)) {
                return failAndFree(converter.lastError());
            }
            SoundEntry e;
            e.data = std::move(sound);
            e.startTick = w->position;
            e.startMs = map.millisecondsBetween(0, w->position);
            e.durationMs = millisecondsForBytes(outPacked, outRate, e.data.byteLength());
            e.kind = kind;
            list.push_back(std::move(e));
            return true;
        };
        if (formatChannels(storedPacked) == 1) {
            if (!place(std::move(data), kEntryMono, left)) return false;
            continue;
        }
        for (int ch = 0; ch < 2; ++ch) {
            if (ch == 1 && formatChannels(storedPacked) != 2) break;
            std::vector<uint8_t> half;
            splitChannel(storedPacked, storedRate, ch, data.bytes(), half);
            SoundBuffer sound;
            if (!sound.assign(half, 50)) return failAndFree(text::kOutOfMemory);
            if (!place(std::move(sound), ch == 0 ? kEntryLeft : kEntryRight, ch == 0 ? left : right)) return false;
        }
    }
    CVoxMixer mixer;
    if (!mixer.mix(left, outPacked, outRate) || !mixer.mix(right, outPacked, outRate)) {
        return failAndFree(mixer.lastError());
    }
    return true;
}

bool SongRenderer::finalMixdown(const std::string& path, std::vector<PlaybackPiece>& playback) {
    // All lists into one, in start tick order (stable).
    std::vector<SoundEntry> all;
    for (auto& list : engine_.lists()) {
        for (SoundEntry& e : list) {
            if (!e.hasData()) continue;
            auto at = std::upper_bound(all.begin(), all.end(), e.startTick,
                                       [](uint32_t t, const SoundEntry& x) { return t < x.startTick; });
            all.insert(at, std::move(e));
        }
    }
    engine_.freeLists();
    CVoxMixer mixer;
    if (!mixer.mix(all, engine_.outputFormat(), engine_.outputRate())) return fail(mixer.lastError());
    all.erase(std::remove_if(all.begin(), all.end(), [](const SoundEntry& e) { return !e.hasData(); }), all.end());
    if (!path.empty()) {
        WavWriter writer;
        if (!writer.writeSoundList(path, all, engine_.outputFormat(), engine_.outputRate())) {
            return fail(writer.lastError());
        }
    }
    for (SoundEntry& e : all) {
        PlaybackPiece p;
        p.data = std::move(e.data);
        p.startTick = e.startTick;
        p.startMs = e.startMs;
        p.durationMs = e.durationMs;
        playback.push_back(std::move(p));
    }
    return true;
}

bool SongRenderer::exportPhrase(int c, std::size_t event, uint16_t qualityCode, const std::string& path,
                                std::string& info) {
    clearError();
    info.clear();
    if (wavPathTooLong(path)) return fail(wavtext::kPathTooLong);
    PhraseSpan span;
    if (!song_.phraseOfNote(c, event, span)) return fail("このノートの属するフレーズの先頭がありません。");
    const auto& events = song_.channel(c).events;
    std::vector<const VoxEvent*> notes;
    uint32_t first = 0xFFFFFFFF, last = 0;
    for (std::size_t j = span.head; j < events.size(); ++j) {
        const VoxEvent* e = events[j].get();
        if (!e || e->phraseGroup != span.phraseGroup) continue;
        if (j > span.head && e->phraseIndex != 0) break;
        notes.push_back(e);
        first = std::min(first, e->startTick);
        last = std::max(last, e->endTick);
    }
    const uint32_t d = engine_.tempoMap().division();
    const uint64_t end = d ? uint64_t(d) * ((uint64_t(last) + d) / d) : last;
    const uint32_t endTick = static_cast<uint32_t>(std::min<uint64_t>(end, 0xFFFFFFFF));
    std::vector<PlaybackPiece> pieces;
    if (!renderSelection(c, notes, first, endTick, qualityCode, pieces)) return false;
    engine_.setTickRange(first, endTick);
    if (pieces.empty()) return fail(wavtext::kWriteFailed);

    std::vector<SoundEntry> one(1);
    one[0].data = std::move(pieces.front().data);
    one[0].startMs = 0;
    one[0].durationMs = pieces.front().durationMs;
    WavWriter writer;
    if (!writer.writeSoundList(path, one, engine_.outputFormat(), engine_.outputRate())) return fail(writer.lastError());

    info = waveInfoText(path, engine_.tempoMap(), engine_.earliestTick());
    return true;
}

std::string waveInfoText(const std::string& path, const TempoMap& map, uint32_t earliestTick) {
    WavReader reader;
    WaveFormatTriple format;
    uint32_t size = 0;
    if (!reader.readFormat(path, format) || !reader.readDataSize(path, size)) return "";
    std::error_code ec;
    const uint64_t fileSize = std::filesystem::file_size(path, ec);
    const uint32_t ms = millisecondsForBytes(format.packed(), format.samplesPerSec, size);
    return "Filesize : " + sizeText(ec ? 0 : fileSize) + "\n" + "Format : " +
           sampleFormatText(format.packed(), format.samplesPerSec) + "\n" + "Time : " + durationText(ms) + "\n\n" +
           "Midi Position : [ " + map.positionText(earliestTick) + " ] ";
}

}  // namespace kantor
