#include "synth/SongRenderer.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <memory>

#include "sound/WavFile.h"
#include "base/FileIO.h"
#include "base/Texts.h"
#include "base/Translation.h"
#include "midi/TempoMap.h"
#include "song/Song.h"
#include "synth/PhraseWorkers.h"
#include "synth/RateConverter.h"
#include "sound/SoundFormat.h"
#include "synth/SoundTexts.h"
#include "synth/SynthEngine.h"
#include "synth/VoxMixer.h"
#include "voice/VoiceBank.h"

namespace kantor {

SongRenderer::SongRenderer(const Song& song, SynthEngine& engine) : song_(song), engine_(engine) {}

namespace {

// The channel's notes of the phrase's group sung just before its first note and just after
// its last one (the neighbouring phrases' last and first syllables), for a voice with
// context samples to join across the phrase's ends. Left empty when there are none.
void addNeighbourNotes(const Song& song, SynthEngine& engine, int c, const std::vector<const VoxEvent*>& notes,
                       PhraseRequest& req) {
    if (notes.empty()) return;
    const auto& events = song.channel(c).events;
    const uint16_t g = notes.front()->phraseGroup;
    auto sings = [&](const VoxEvent* e) { return e && e->phraseGroup == g && e->hasSyllable(); };
    std::size_t first = events.size(), last = events.size();
    for (std::size_t i = 0; i < events.size(); ++i) {
        if (events[i].get() == notes.front()) first = i;
        if (events[i].get() == notes.back()) last = i;
    }
    std::vector<SynthNote> tmp;
    for (std::size_t i = first; i-- > 0 && first < events.size();) {
        if (!sings(events[i].get())) continue;
        if (engine.buildNoteList({events[i].get()}, req.settings, tmp) && !tmp.empty()) req.before = tmp.back();
        break;
    }
    for (std::size_t i = last + 1; i < events.size(); ++i) {
        if (!sings(events[i].get())) continue;
        if (engine.buildNoteList({events[i].get()}, req.settings, tmp) && !tmp.empty()) req.after = tmp.front();
        break;
    }
}

}  // namespace

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
    addNeighbourNotes(song_, engine_, c, notes, req);
    return req;
}

// The curves of each synthesis note from the note's expression settings (song/Expression.h).
void SongRenderer::addExpression(int c, const std::vector<const VoxEvent*>& notes, std::vector<SynthNote>& synthNotes) const {
    // The synthesis notes count only the notes with something to sing.
    std::vector<std::size_t> taken;
    for (std::size_t i = 0; i < notes.size(); ++i) {
        if (!notes[i]) continue;
        uint32_t sum = 0;
        for (uint16_t w : notes[i]->syllableLength) sum += w;
        if (sum != 0) taken.push_back(i);
    }
    const TempoMap& map = engine_.tempoMap();
    std::size_t lastEvent = SIZE_MAX;
    int slot = 0;
    for (SynthNote& n : synthNotes) {
        if (n.eventIndex >= taken.size()) continue;
        const std::size_t i = taken[n.eventIndex];
        const VoxEvent& e = *notes[i];
        if (n.eventIndex != lastEvent) {
            lastEvent = n.eventIndex;
            slot = -1;
        }
        // The next slot of this note that sings.
        do ++slot;
        while (slot < VoxEvent::kSlots && e.syllableLength[static_cast<std::size_t>(slot)] == 0);
        if (slot >= VoxEvent::kSlots) continue;
        const uint32_t noteMs = map.millisecondsBetween(e.startTick, std::max(e.startTick, e.endTick));
        n.curve = expressionCurve(song_, c, notes, i, slot, noteMs, engine_.expressionMode());
    }
}

bool SongRenderer::layOutJobs(int c, const std::vector<Phrase>& phrases, const RenderRequest& r,
                              std::vector<PhraseJob>& jobs) {
    jobs.clear();
    for (const Phrase& p : phrases) {
        PhraseJob job;
        job.request = phraseRequest(c, *song_.event(c, p.head), p.notes, r.startTick, r.endTick);
        if (!engine_.buildNoteList(p.notes, job.request.settings, job.notes)) return false;
        addExpression(c, p.notes, job.notes);
        job.channel = c;
        // The workers only read voices: each is loaded now (one that cannot be read fails
        // where it is first sung, one phrase after another).
        if (job.request.lengthMs != 0 && !engine_.voices().findVoice(job.request.settings.voiceName) &&
            !engine_.voices().ensureVoiceLoaded(job.request.settings.voiceName))
            return false;
        jobs.push_back(std::move(job));
    }
    return true;
}

bool SongRenderer::renderPhraseNotes(int c, const VoxEvent& head, const std::vector<const VoxEvent*>& notes,
                                     uint32_t rangeStart, uint32_t rangeEnd) {
    const PhraseRequest req = phraseRequest(c, head, notes, rangeStart, rangeEnd);
    std::vector<SynthNote> synthNotes;
    if (!engine_.buildNoteList(notes, req.settings, synthNotes)) return failAndFree(engine_.lastError());
    addExpression(c, notes, synthNotes);
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

bool SongRenderer::planSong(const RenderRequest& r, RenderPlan& plan) {
    clearError();
    plan = RenderPlan{};
    if (!engine_.start(r.qualityCode)) return failAndFree(engine_.lastError());
    std::vector<std::string> voices;
    for (int c = 0; c < 16; ++c) {
        if (r.voxMuted[static_cast<std::size_t>(c)] || !song_.isVoxChannel(c)) continue;
        std::size_t seq = 0;
        int firstGroup = -1;
        for (const Phrase& p : phrasesOf(c, r)) {
            PhraseJob job;
            job.request = phraseRequest(c, *song_.event(c, p.head), p.notes, r.startTick, r.endTick);
            if (!engine_.buildNoteList(p.notes, job.request.settings, job.notes)) return failAndFree(engine_.lastError());
            // The curves are worked out here too, where the song may be read.
            addExpression(c, p.notes, job.notes);
            job.channel = c;
            job.seq = seq++;
            // A phrase of no length files nothing, and takes no part in the channel's mix.
            if (job.request.lengthMs != 0) {
                if (firstGroup < 0) firstGroup = job.request.phraseGroup;
                if (job.request.phraseGroup != firstGroup) plan.mixedChannel[static_cast<std::size_t>(c)] = true;
                if (std::find(voices.begin(), voices.end(), job.request.settings.voiceName) == voices.end())
                    voices.push_back(job.request.settings.voiceName);
            }
            plan.jobs.push_back(std::move(job));
        }
    }
    // The voices are read now: the phrases are then rendered on another thread, which must
    // find them loaded. A voice that cannot be read fails here, as its first phrase would.
    for (const std::string& v : voices)
        if (!engine_.voices().ensureVoiceLoaded(v)) return failAndFree(engine_.voices().lastError());
    if (r.includeWaves && !addInsertedWaves()) return false;
    for (SoundEntry& e : engine_.lists()[SynthEngine::kWaveLeftList])
        if (e.hasData()) plan.waveLeft.push_back(std::move(e));
    for (SoundEntry& e : engine_.lists()[SynthEngine::kWaveRightList])
        if (e.hasData()) plan.waveRight.push_back(std::move(e));
    engine_.freeLists();
    return true;
}

namespace {

uint64_t g_spoolMemory = uint64_t(8) << 20;

// Rendered sound kept while a song is exported: what the mixers need to know of an entry
// stays in memory; its data stays in memory too while the kept data is small, and goes to
// an unnamed spool file beyond that, to be read back when it is mixed or written.
class Spool {
public:
    struct Entry {
        uint64_t offset = 0;  // in the spool file, when memory < 0
        uint32_t length = 0;
        long memory = -1;      // index of the data kept in memory
        bool present = false;  // the entry has data (of any length)
        uint32_t startMs = 0;
        uint32_t durationMs = 0;
        int kind = kEntryMono;
        uint32_t startTick = 0;
    };


    explicit Spool(std::string folder) : folder_(std::move(folder)) {}
    ~Spool() {
        if (fd_ >= 0) ::close(fd_);
    }
    Spool(const Spool&) = delete;
    Spool& operator=(const Spool&) = delete;

    // Takes the entry's data.
    bool put(SoundEntry& e, Entry& out) {
        out.present = e.hasData();
        out.length = e.byteLength();
        out.startMs = e.startMs;
        out.durationMs = e.durationMs;
        out.kind = e.kind;
        out.startTick = e.startTick;
        out.memory = -1;
        if (memoryBytes_ + out.length <= g_spoolMemory) {
            try {
                memory_.push_back(std::move(e.data));
            } catch (const std::bad_alloc&) {
                error_ = ENOMEM;
                return false;
            }
            out.memory = static_cast<long>(memory_.size() - 1);
            memoryBytes_ += out.length;
            return true;
        }
        if (!openFile()) return false;
        out.offset = end_;
        std::size_t done = 0;
        while (done < out.length) {
            const ssize_t n = ::pwrite(fd_, e.data.data() + done, out.length - done, off_t(end_ + done));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                error_ = n < 0 ? errno : ENOSPC;
                return false;
            }
            done += static_cast<std::size_t>(n);
        }
        end_ += out.length;
        e.data.reset();
        return true;
    }

    // Gives the entry's data back (once: the entry is then used up).
    bool take(const Entry& in, SoundEntry& e) {
        e.startMs = in.startMs;
        e.durationMs = in.durationMs;
        e.kind = in.kind;
        e.startTick = in.startTick;
        e.data.reset();
        if (!in.present) return true;
        if (in.memory >= 0) {
            e.data = std::move(memory_[static_cast<std::size_t>(in.memory)]);
            memoryBytes_ -= in.length;
            return true;
        }
        if (!e.data.allocate(in.length, kSoundSpare)) {
            error_ = ENOMEM;
            return false;
        }
        return readInto(in, e.data.data());
    }

    // The entry's bytes, read into `scratch` when they lie in the file; empty on failure.
    std::span<const uint8_t> view(const Entry& in, std::vector<uint8_t>& scratch) {
        if (in.memory >= 0) return memory_[static_cast<std::size_t>(in.memory)].bytes();
        try {
            scratch.resize(in.length);
        } catch (const std::bad_alloc&) {
            error_ = ENOMEM;
            return {};
        }
        if (!readInto(in, scratch.data())) return {};
        return {scratch.data(), scratch.size()};
    }

    std::string errorText() const { return error_ == ENOMEM ? std::string(text::kOutOfMemory) : systemErrorText(error_); }

private:
    bool openFile() {
        if (fd_ >= 0) return true;
        fd_ = ::open(folder_.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
        if (fd_ < 0) {
            std::string pattern = joinPath(folder_, ".kantor-XXXXXX");
            std::vector<char> buf(pattern.begin(), pattern.end());
            buf.push_back('\0');
            fd_ = ::mkostemp(buf.data(), O_CLOEXEC);
            if (fd_ >= 0) ::unlink(buf.data());
        }
        if (fd_ < 0) error_ = errno;
        return fd_ >= 0;
    }

    bool readInto(const Entry& in, uint8_t* to) {
        std::size_t done = 0;
        while (done < in.length) {
            const ssize_t n = ::pread(fd_, to + done, in.length - done, off_t(in.offset + done));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                error_ = n < 0 ? errno : EIO;
                return false;
            }
            done += static_cast<std::size_t>(n);
        }
        return true;
    }

    std::string folder_;
    int fd_ = -1;
    uint64_t end_ = 0;
    std::vector<SoundBuffer> memory_;
    uint64_t memoryBytes_ = 0;
    int error_ = 0;
};

}  // namespace

// The mixer's own walk over a list (see CVoxMixer::mix), done on spooled entries: each
// group of sounds that overlap is read back, mixed as the mixer mixes it, and spooled again.
static bool mixSpooled(std::vector<Spool::Entry>& list, Spool& spool, uint32_t packed, uint32_t rate,
                       std::string& error) {
    std::vector<std::size_t> group;
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (!list[i].present) continue;
        uint64_t end = uint64_t{list[i].startMs} + list[i].durationMs;
        group.assign(1, i);
        for (std::size_t j = i + 1; j < list.size(); ++j) {
            const Spool::Entry& e = list[j];
            if (!e.present) continue;
            if (e.startMs >= end) break;
            group.push_back(j);
            end = std::max<uint64_t>(end, uint64_t{e.startMs} + e.durationMs);
        }
        if (group.size() == 1) continue;
        std::vector<SoundEntry> entries(group.size());
        for (std::size_t k = 0; k < group.size(); ++k) {
            if (!spool.take(list[group[k]], entries[k])) {
                error = spool.errorText();
                return false;
            }
        }
        CVoxMixer mixer;
        if (!mixer.mix(entries, packed, rate)) {
            error = mixer.lastError();
            return false;
        }
        for (std::size_t k = 1; k < group.size(); ++k) list[group[k]].present = false;
        if (!spool.put(entries[0], list[i])) {
            error = spool.errorText();
            return false;
        }
    }
    return true;
}

void SongRenderer::setSpoolMemoryForTesting(uint64_t bytes) { g_spoolMemory = bytes; }

bool SongRenderer::renderSongToFile(const RenderRequest& r, const RenderProgress& progress) {
    clearError();
    if (r.includeWaves || r.outputPath.empty()) return fail("renderSongToFile: a file without inserted waves");
    if (wavPathTooLong(r.outputPath)) return fail(wavtext::kPathTooLong);
    const std::string folder = folderOf(r.outputPath).empty() ? "." : folderOf(r.outputPath);
    Spool spool(folder);
    const int total = countPhrases(r);
    int done = 0;
    if (!engine_.start(r.qualityCode)) return failAndFree(engine_.lastError());
    const uint32_t packed = engine_.outputFormat(), rate = engine_.outputRate();
    std::array<std::vector<Spool::Entry>, SynthEngine::kLists> lists;
    std::string error;
    auto spoolLists = [&]() {
        for (std::size_t l = 0; l < lists.size(); ++l) {
            for (SoundEntry& e : engine_.lists()[l]) {
                Spool::Entry s;
                if (!spool.put(e, s)) return false;
                lists[l].push_back(s);
            }
            engine_.lists()[l].clear();
        }
        return true;
    };
    // With several workers the phrases of a channel are laid out first and rendered on the
    // pool, a few ahead of the one being filed; they are filed in the same order as one by one.
    std::vector<PhraseJob> jobs;  // outlives the pool, whose workers read it
    const int workers = PhraseWorkers::workersFor(0);
    std::unique_ptr<PhraseWorkers> pool;
    if (workers > 1 && PhraseWorkers::canRenderApart(engine_)) pool = std::make_unique<PhraseWorkers>(engine_, workers);
    for (int c = 0; c < 16; ++c) {
        if (r.voxMuted[static_cast<std::size_t>(c)] || !song_.isVoxChannel(c)) continue;
        std::vector<int> groups;
        const std::vector<Phrase> phrases = phrasesOf(c, r);
        const bool apart = pool && layOutJobs(c, phrases, r, jobs);
        std::size_t submitted = 0;
        for (std::size_t i = 0; i < phrases.size(); ++i) {
            const Phrase& p = phrases[i];
            const std::size_t before = engine_.lists()[static_cast<std::size_t>(c)].size();
            if (apart && PhraseWorkers::needsOwnEngine(engine_, jobs[i].request)) {
                if (!engine_.renderPhrase(jobs[i].request, jobs[i].notes)) return failAndFree(engine_.lastError());
            } else if (apart) {
                for (; submitted < jobs.size() && submitted < i + 2 * std::size_t(workers) + 2; ++submitted)
                    if (!PhraseWorkers::needsOwnEngine(engine_, jobs[submitted].request))
                        pool->submit(submitted, jobs[submitted].request, jobs[submitted].notes);
                PhraseWorkers::Result rendered = pool->take(i);
                if (!rendered.ok) return failAndFree(rendered.error);
                auto& list = engine_.lists()[static_cast<std::size_t>(c)];
                for (SoundEntry& e : rendered.sounds) list.push_back(std::move(e));
                engine_.setTickRange(std::min(engine_.earliestTick(), rendered.earliestTick),
                                     std::max(engine_.latestTick(), rendered.latestTick));
            } else if (!renderPhraseNotes(c, *song_.event(c, p.head), p.notes, r.startTick, r.endTick)) {
                return false;
            }
            if (engine_.lists()[static_cast<std::size_t>(c)].size() > before)
                groups.push_back(song_.event(c, p.head)->phraseGroup);
            if (!spoolLists()) return failAndFree(std::string(wavtext::kWriteFailed) + "\n" + spool.errorText());
            if (progress) progress(++done, total);
        }
        // Phrases of several groups of a channel are mixed in time order, as the engine does.
        bool several = false;
        for (int g : groups) several = several || g != groups.front();
        if (several) {
            auto& l = lists[static_cast<std::size_t>(c)];
            std::stable_sort(l.begin(), l.end(),
                             [](const Spool::Entry& a, const Spool::Entry& b) { return a.startMs < b.startMs; });
            if (!mixSpooled(l, spool, packed, rate, error)) return failAndFree(error);
        }
        if (progress) progress(done, total);
    }
    engine_.freeLists();
    // The final mixdown: every list into one, in start tick order (stable), mixed by a
    // window that moves along it: a phrase is read back when the window reaches it and let
    // go once the window has passed its end, and the mix is spooled piece by piece.
    std::vector<Spool::Entry> sorted;
    for (const auto& list : lists)
        for (const Spool::Entry& e : list)
            if (e.present) sorted.push_back(e);
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const Spool::Entry& a, const Spool::Entry& b) { return a.startTick < b.startTick; });
    // The soonest start of the entries after each one.
    std::vector<uint32_t> soonest(sorted.size() + 1, UINT32_MAX);
    for (std::size_t i = sorted.size(); i-- > 0;) soonest[i] = std::min(soonest[i + 1], sorted[i].startMs);
    std::vector<Spool::Entry> all;
    {
        WindowMixer mixer(packed, rate);
        std::vector<WindowMixer::Output> outs;
        bool spoolFailed = false;
        auto spoolOut = [&] {
            for (WindowMixer::Output& o : outs) {
                SoundEntry e;
                e.data = std::move(o.data);
                e.startMs = o.startMs;
                // A group's pieces follow each other; the last carries the group's length.
                e.durationMs = o.last ? o.durationMs : 0;
                e.kind = o.kind;
                e.startTick = o.startTick;
                Spool::Entry s;
                if (!spool.put(e, s)) return false;
                all.push_back(s);
            }
            outs.clear();
            return true;
        };
        for (std::size_t i = 0; i < sorted.size(); ++i) {
            WindowMixer::Input in;
            in.load = [&spool, &spoolFailed, entry = sorted[i]](SoundBuffer& data) {
                SoundEntry e;
                if (!spool.take(entry, e)) {
                    spoolFailed = true;
                    return false;
                }
                data = std::move(e.data);
                return true;
            };
            in.byteLength = sorted[i].length;
            in.startMs = sorted[i].startMs;
            in.durationMs = sorted[i].durationMs;
            in.startTick = sorted[i].startTick;
            in.kind = sorted[i].kind;
            if (!mixer.add(std::move(in), outs) || !mixer.advance(soonest[i + 1], outs))
                return fail(spoolFailed ? spool.errorText() : mixer.lastError());
            if (!spoolOut()) return fail(std::string(wavtext::kWriteFailed) + "\n" + spool.errorText());
        }
        if (!mixer.finish(outs)) return fail(spoolFailed ? spool.errorText() : mixer.lastError());
        if (!spoolOut()) return fail(std::string(wavtext::kWriteFailed) + "\n" + spool.errorText());
    }
    if (all.empty()) return fail(kNothingToSing);

    std::vector<WavWriter::PieceInfo> pieces;
    for (const Spool::Entry& e : all) pieces.push_back({e.startMs, e.durationMs, e.length});
    std::vector<uint8_t> scratch;
    bool readFailed = false;
    WavWriter writer;
    const bool ok = writer.writePieces(
        r.outputPath, pieces,
        [&](std::size_t i) {
            std::span<const uint8_t> bytes = spool.view(all[i], scratch);
            readFailed = readFailed || bytes.size() != all[i].length;
            return bytes;
        },
        packed, rate);
    if (!ok) return fail(readFailed ? std::string(wavtext::kWriteFailed) + "\n" + spool.errorText() : writer.lastError());
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
    // An export with no sound writes no file: an existing file of that name stays as it was.
    if (!path.empty() && all.empty()) return fail(kNothingToSing);
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
    if (!song_.phraseOfNote(c, event, span)) return fail(KANTOR_TEXT("このノートの属するフレーズの先頭がありません。"));
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
    // The phrase's range is the song-wide range before the render, which moves its start
    // earlier by the consonant lead-in: the export reports where its sound begins.
    std::vector<PlaybackPiece> pieces;
    if (notes.empty() || notes.front()->phraseIndex == 0) return fail(wavtext::kWriteFailed);
    if (!engine_.start(qualityCode)) return failAndFree(engine_.lastError());
    engine_.setTickRange(first, endTick);
    if (!renderPhraseNotes(c, *notes.front(), notes, first, endTick)) return false;
    if (!finalMixdown("", pieces)) return false;
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
