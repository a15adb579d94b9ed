#include "synth/RenderAhead.h"

#include <algorithm>
#include <limits>
#include <tuple>

#include "midi/TempoMap.h"
#include "synth/VoxMixer.h"

namespace kantor {
namespace {

constexpr uint32_t kNever = 0xFFFFFFFFu;

uint32_t clampTick(int64_t t) {
    if (t < 0) return 0;
    if (t > 0xFFFFFFFFll) return 0xFFFFFFFFu;
    return static_cast<uint32_t>(t);
}

uint64_t endMs(const SoundEntry& e) { return uint64_t(e.startMs) + e.durationMs; }

}  // namespace

bool RenderAhead::before(const Staged& a, const Staged& b) {
    return std::tie(a.e.startTick, a.list, a.k1, a.k2) < std::tie(b.e.startTick, b.list, b.k1, b.k2);
}

RenderAhead::RenderAhead(SynthEngine& engine, RenderPlan plan)
    : engine_(engine), plan_(std::move(plan)), mixer_(engine.outputFormat(), engine.outputRate(), std::size_t(1) << 20) {
    const TempoMap& map = engine_.tempoMap();
    const std::size_t n = plan_.jobs.size();
    tickBound_.assign(n, kNever);
    upperBound_.assign(n, kNever);
    countedLate_.assign(n, false);
    msBound_.assign(n, kNever);
    earliestBound_.assign(n, kNever);
    // A phrase starts where its first note does, moved by its timing offset, earlier by its
    // consonant lead-in (at most kLeadBoundMs), or by the MIDI–wave delay correction alone.
    // A little more is kept for the rounding of milliseconds to ticks.
    constexpr int64_t kRoundingMs = 50;
    for (std::size_t j = 0; j < n; ++j) {
        const PhraseRequest& r = plan_.jobs[j].request;
        if (r.channel < 1 || r.channel > 16 || r.lengthMs == 0) continue;  // files nothing
        const int64_t back = int64_t(r.shift) - kLeadBoundMs - kRoundingMs;
        earliestBound_[j] = clampTick(int64_t(r.startTick) + map.tickOffset(back, r.startTick));
        const int32_t correction = engine_.midiDelayCorrection();
        tickBound_[j] = correction != 0
                            ? clampTick(int64_t(r.startTick) + map.tickOffset(correction, r.startTick))
                            : earliestBound_[j];
        // Without a lead-in it starts at its first note, moved by its offset.
        upperBound_[j] = correction != 0
                             ? tickBound_[j]
                             : clampTick(int64_t(r.startTick) + map.tickOffset(int64_t(r.shift) + kRoundingMs, r.startTick));
        msBound_[j] = static_cast<uint32_t>(
            std::clamp<int64_t>(int64_t(r.startMs) - kLeadBoundMs + r.shift, 0, kNever));
    }
    order_.resize(n);
    for (std::size_t j = 0; j < n; ++j) order_[j] = j;
    std::stable_sort(order_.begin(), order_.end(),
                     [&](std::size_t a, std::size_t b) { return tickBound_[a] < tickBound_[b]; });
    sufMs_.assign(n + 1, kNever);
    sufEarliest_.assign(n + 1, kNever);
    sufChannelMs_.assign(16, std::vector<uint32_t>());
    for (int c = 0; c < 16; ++c)
        if (plan_.mixedChannel[static_cast<std::size_t>(c)]) sufChannelMs_[static_cast<std::size_t>(c)].assign(n + 1, kNever);
    for (std::size_t i = n; i-- > 0;) {
        const std::size_t j = order_[i];
        sufMs_[i] = std::min(sufMs_[i + 1], msBound_[j]);
        sufEarliest_[i] = std::min(sufEarliest_[i + 1], earliestBound_[j]);
        for (auto& s : sufChannelMs_) {
            if (s.empty()) continue;
            s[i] = s[i + 1];
        }
        auto& own = sufChannelMs_[static_cast<std::size_t>(plan_.jobs[j].channel & 15)];
        if (!own.empty()) own[i] = std::min(own[i], msBound_[j]);
    }
    // The inserted waves are there from the start, lists 17 and 18 after the channels.
    uint64_t k = 0;
    for (SoundEntry& e : plan_.waveLeft) stage2_.push_back({std::move(e), SynthEngine::kWaveLeftList, k++, 0});
    k = 0;
    for (SoundEntry& e : plan_.waveRight) stage2_.push_back({std::move(e), SynthEngine::kWaveRightList, k++, 0});
    plan_.waveLeft.clear();
    plan_.waveRight.clear();
    std::stable_sort(stage2_.begin(), stage2_.end(), before);
}

RenderAhead::~RenderAhead() { cancel(); }

void RenderAhead::start(uint32_t playheadTick, uint32_t lookAheadMs) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        playheadMs_ = engine_.tempoMap().millisecondsBetween(0, playheadTick);
        lookAheadMs_ = lookAheadMs;
    }
    if (!worker_.joinable()) {
        const int workers = PhraseWorkers::workersFor(0);
        if (workers > 1 && PhraseWorkers::canRenderApart(engine_)) {
            pool_ = std::make_unique<PhraseWorkers>(engine_, workers);
            poolWorkers_ = std::size_t(workers);
        }
        worker_ = std::thread([this] { run(); });
    }
}

void RenderAhead::cancel() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        cancel_ = true;
    }
    cv_.notify_all();
    if (worker_.joinable()) worker_.join();
    pool_.reset();  // after the phrase each worker is rendering
}

void RenderAhead::setPlayhead(uint32_t tick) {
    const uint32_t ms = engine_.tempoMap().millisecondsBetween(0, tick);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (ms <= playheadMs_) return;
        playheadMs_ = ms;
    }
    cv_.notify_all();
}

void RenderAhead::waitUntilSettled(uint32_t tick) {
    std::unique_lock<std::mutex> lock(mutex_);
    // The worker renders that far whatever the playhead.
    wantedTick_ = std::max(wantedTick_, tick);
    ++waiters_;
    cv_.notify_all();
    cv_.wait(lock, [&] {
        return progress_.complete || progress_.failed || cancel_ ||
               (progress_.settledTick >= tick && progress_.earliestFinal);
    });
    --waiters_;
}

RenderAhead::Progress RenderAhead::take(std::vector<PlaybackPiece>& out) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (PlaybackPiece& p : out_) out.push_back(std::move(p));
    out_.clear();
    Progress p = progress_;
    p.settledTick = std::max(p.settledTick, forcedTick_);
    progress_.late = 0;
    return p;
}

RenderAhead::Progress RenderAhead::force(uint32_t tick, std::vector<PlaybackPiece>& out) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (tick > forcedTick_) {
            // Phrases that cannot start after `tick` are given up (the one being rendered is
            // dropped when it is done), and counted late now; what has been rendered before
            // it is settled now.
            for (std::size_t i = next_; i < order_.size() && tickBound_[order_[i]] < tick; ++i) {
                const std::size_t j = order_[i];
                if (upperBound_[j] < tick && !countedLate_[j]) {
                    countedLate_[j] = true;
                    ++progress_.late;
                }
            }
            advanceLocked(tick);
            forcedTick_ = tick;
        }
    }
    cv_.notify_all();
    return take(out);
}

void RenderAhead::run() {
    const std::size_t n = order_.size();
    const TempoMap& map = engine_.tempoMap();
    for (;;) {
        std::size_t job = n;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            // Phrases given up by force() are not rendered.
            while (next_ < n && upperBound_[order_[next_]] < forcedTick_) {
                if (!countedLate_[order_[next_]]) ++progress_.late;
                ++next_;
            }
            // Far enough ahead of the playhead: wait for it to move on.
            cv_.wait(lock, [&] {
                if (cancel_ || next_ >= n) return true;
                const uint32_t t = tickBound_[order_[next_]];
                return t == kNever || progress_.settledTick < wantedTick_ || (waiters_ > 0 && !progress_.earliestFinal) ||
                       map.millisecondsBetween(0, t) <= uint64_t(playheadMs_) + lookAheadMs_;
            });
            if (cancel_) return;
            if (next_ < n) job = order_[next_];
        }
        if (job < n) {
            engine_.freeLists();
            bool ok = true;
            std::string error;
            if (pool_ && !PhraseWorkers::needsOwnEngine(engine_, plan_.jobs[job].request)) {
                // The next few phrases go to the pool; this one is taken from it.
                std::size_t from;
                {
                    std::lock_guard<std::mutex> lock(mutex_);
                    from = next_;
                }
                submitted_ = std::max(submitted_, from);
                for (; submitted_ < n && submitted_ < from + 2 * poolWorkers_ + 1; ++submitted_) {
                    const PhraseJob& j = plan_.jobs[order_[submitted_]];
                    if (!PhraseWorkers::needsOwnEngine(engine_, j.request)) pool_->submit(order_[submitted_], j.request, j.notes);
                }
                PhraseWorkers::Result done = pool_->take(job);
                ok = done.ok;
                error = std::move(done.error);
                const PhraseRequest& req = plan_.jobs[job].request;
                if (ok && req.channel >= 1 && req.channel <= 16) {
                    auto& list = engine_.lists()[static_cast<std::size_t>(req.channel - 1)];
                    for (SoundEntry& e : done.sounds) list.push_back(std::move(e));
                    engine_.setTickRange(std::min(engine_.earliestTick(), done.earliestTick),
                                         std::max(engine_.latestTick(), done.latestTick));
                }
            } else {
                ok = engine_.renderPhrase(plan_.jobs[job].request, plan_.jobs[job].notes);
                if (!ok) error = engine_.lastError();
            }
            if (!ok) {
                std::lock_guard<std::mutex> lock(mutex_);
                progress_.failed = true;
                progress_.error = error;
                cv_.notify_all();
                return;
            }
        }
        std::lock_guard<std::mutex> lock(mutex_);
        if (job < n) {
            fileJob(job);
            ++next_;
        }
        advanceLocked(0);
        cv_.notify_all();
        if (progress_.failed || progress_.complete) return;
    }
}

// Moves the phrase the engine has rendered into the stages (under the lock).
void RenderAhead::fileJob(std::size_t j) {
    PhraseJob& job = plan_.jobs[j];
    const int c = job.channel & 15;
    const bool mixed = plan_.mixedChannel[static_cast<std::size_t>(c)];
    auto& rendered = engine_.lists()[static_cast<std::size_t>(c)];
    // Given up while it was rendered: its sound would come too late.
    if (upperBound_[j] < forcedTick_) {
        if (!countedLate_[j] && !rendered.empty()) ++progress_.late;
        rendered.clear();
    }
    for (SoundEntry& e : rendered) {
        if (!e.hasData()) continue;
        Staged s;
        s.list = c;
        if (mixed) {
            s.k1 = e.startMs;
            s.k2 = job.seq;
            s.e = std::move(e);
            auto& l = stage1_[static_cast<std::size_t>(c)];
            l.insert(std::upper_bound(l.begin(), l.end(), s,
                                      [](const Staged& a, const Staged& b) {
                                          return std::tie(a.k1, a.k2) < std::tie(b.k1, b.k2);
                                      }),
                     std::move(s));
        } else {
            s.k1 = job.seq;
            s.e = std::move(e);
            stage2_.insert(std::upper_bound(stage2_.begin(), stage2_.end(), s, before), std::move(s));
        }
    }
    engine_.freeLists();
    std::vector<SynthNote>().swap(job.notes);  // its memory goes too
    progress_.earliestTick = engine_.earliestTick();
    progress_.latestTick = engine_.latestTick();
}

// The per-channel mix of a channel whose groups interleave: a group of overlapping phrases is
// mixed once no phrase still to render (starting at `bound` ms or later) can join it.
void RenderAhead::closeStage1(int c, uint32_t bound, uint32_t forceTick) {
    auto& l = stage1_[static_cast<std::size_t>(c)];
    while (!l.empty()) {
        const bool forced = l.front().e.startTick < forceTick;
        if (l.front().e.startMs >= bound && !forced) return;
        uint64_t end = endMs(l.front().e);
        std::size_t j = 1;
        while (j < l.size() && l[j].e.startMs < end) end = std::max(end, endMs(l[j++].e));
        if (end > bound && !forced) return;
        std::vector<Staged> group(std::make_move_iterator(l.begin()), std::make_move_iterator(l.begin() + long(j)));
        l.erase(l.begin(), l.begin() + long(j));
        if (group.size() > 1) {
            std::vector<SoundEntry> entries;
            for (Staged& s : group) entries.push_back(std::move(s.e));
            CVoxMixer mixer;
            if (!mixer.mix(entries, engine_.outputFormat(), engine_.outputRate())) {
                progress_.failed = true;
                progress_.error = mixer.lastError();
                return;
            }
            group.front().e = std::move(entries.front());
        }
        Staged s = std::move(group.front());
        stage2_.insert(std::upper_bound(stage2_.begin(), stage2_.end(), s, before), std::move(s));
    }
}

void RenderAhead::handOver(std::vector<WindowMixer::Output>& outs) {
    for (WindowMixer::Output& o : outs) {
        if (o.first) {
            // A stretch whose marker has gone by is left out, all its pieces.
            dropping_ = o.startTick < forcedTick_;
            if (dropping_) ++progress_.late;
        }
        if (dropping_) continue;
        PlaybackPiece p;
        p.data = std::move(o.data);
        p.startTick = o.startTick;
        p.startMs = o.startMs;
        p.durationMs = o.durationMs;
        p.follows = !o.first;
        out_.push_back(std::move(p));
    }
    outs.clear();
}

// Hands over what has become certain (under the lock). With `forceTick`, everything that
// starts before it is made certain at once, with the phrases that could still join it given up.
void RenderAhead::advanceLocked(uint32_t forceTick) {
    const std::size_t n = order_.size();
    // A phrase still to render cannot add a piece before a forced tick: it would be dropped.
    const std::size_t live = next_;
    const uint32_t givenUp = std::max(forceTick, forcedTick_);
    const uint32_t unrenderedTick = live < n ? std::max(tickBound_[order_[live]], givenUp) : kNever;
    uint32_t settleTick = unrenderedTick;
    uint64_t settleMs = sufMs_[live];
    for (int c = 0; c < 16; ++c) {
        const auto& suf = sufChannelMs_[static_cast<std::size_t>(c)];
        if (!suf.empty()) closeStage1(c, suf[live], forceTick);
        for (const Staged& s : stage1_[static_cast<std::size_t>(c)]) {
            settleTick = std::min(settleTick, s.e.startTick);
            settleMs = std::min<uint64_t>(settleMs, s.e.startMs);
        }
    }
    // The final mix, in start tick order: a piece joins the window once no piece still to
    // come can come before it; the window puts out what no piece still to come can change,
    // and closes its stretch once none can join it (or its marker is forced).
    std::vector<WindowMixer::Output> outs;
    auto mixFailed = [&] {
        progress_.failed = true;
        progress_.error = mixer_.lastError();
    };
    while (!progress_.failed && !stage2_.empty() && stage2_.front().e.startTick < settleTick) {
        WindowMixer::Input in;
        Staged& s = stage2_.front();
        in.data = std::move(s.e.data);
        in.startMs = s.e.startMs;
        in.durationMs = s.e.durationMs;
        in.startTick = s.e.startTick;
        in.kind = s.e.kind;
        stage2_.erase(stage2_.begin());
        if (!mixer_.add(std::move(in), outs)) mixFailed();
    }
    if (!progress_.failed && mixer_.groupOpen()) {
        uint64_t soonest = settleMs;
        for (const Staged& s : stage2_) soonest = std::min<uint64_t>(soonest, s.e.startMs);
        const bool ok = soonest >= mixer_.groupEndMs() || mixer_.groupStartTick() < forceTick ? mixer_.finish(outs)
                                                                                                : mixer_.advance(soonest, outs);
        if (!ok) mixFailed();
    }
    handOver(outs);
    // Markers are known up to the open stretch's start until it has begun, and the stream
    // may run only as far as its sound has been put out.
    if (mixer_.groupOpen()) {
        const uint32_t tick = mixer_.groupStartTick();
        if (!mixer_.groupBegun()) {
            settleTick = std::min(settleTick, tick);
        } else {
            const int64_t ms = int64_t(mixer_.producedMs() - mixer_.groupStartMs());
            settleTick = std::min(settleTick, clampTick(int64_t(tick) + engine_.tempoMap().tickOffset(ms, tick)));
        }
    }
    const bool complete = next_ >= n && !mixer_.groupOpen() && stage2_.empty();
    progress_.settledTick = complete ? kNever : settleTick;
    progress_.complete = complete && !progress_.failed;
    progress_.earliestFinal = complete || progress_.earliestTick <= sufEarliest_[live];
}

}  // namespace kantor
