#include "synth/PhraseWorkers.h"

#include <malloc.h>

#include <algorithm>
#include <atomic>
#include <mutex>

#include "sound/SoundFormat.h"

namespace kantor {

namespace {
std::atomic<int> g_processWorkers{0};
}

void PhraseWorkers::setProcessWorkers(int workers) { g_processWorkers = workers; }

int PhraseWorkers::workersFor(int wanted) {
    if (wanted < 1) wanted = g_processWorkers;
    if (wanted >= 1) return std::min(wanted, 64);
    const unsigned cores = std::thread::hardware_concurrency();
    return cores == 0 ? 1 : static_cast<int>(std::min(cores, 64u));
}

bool PhraseWorkers::canRenderApart(const SynthEngine& engine) { return engine.pitchMode() == PitchMode::Resample; }

bool PhraseWorkers::needsOwnEngine(const SynthEngine& engine, const PhraseRequest& request) {
    if (!engine.effects()) return false;
    for (int32_t effect : request.settings.effect)
        if (effect != 0) return true;
    return false;
}

PhraseWorkers::PhraseWorkers(SynthEngine& engine, int workers) {
#ifdef M_ARENA_MAX
    // Phrase buffers are made on the workers and freed on the thread that mixes them. In
    // arenas of their own, the freed ones stay with the workers and the process grows with the
    // song; one arena for all threads reuses them.
    static std::once_flag fixed;
    std::call_once(fixed, [] { mallopt(M_ARENA_MAX, 1); });
#endif
    const int n = std::max(1, workers);
    for (int i = 0; i < n; ++i) {
        auto e = std::make_unique<SynthEngine>(engine.voices(), engine.tempoMap());
        e->startLike(engine);
        e->setPitchMode(engine.pitchMode());
        e->setExpressionMode(engine.expressionMode());
        e->setMidiDelayCorrection(engine.midiDelayCorrection());
        engines_.push_back(std::move(e));
    }
    for (std::size_t i = 0; i < engines_.size(); ++i) threads_.emplace_back([this, i] { run(i); });
}

PhraseWorkers::~PhraseWorkers() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    work_.notify_all();
    for (std::thread& t : threads_) t.join();
}

void PhraseWorkers::submit(std::size_t key, const PhraseRequest& request, const std::vector<SynthNote>& notes) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.push_back({key, &request, &notes});
        ++submitted_;
    }
    work_.notify_one();
}

PhraseWorkers::Result PhraseWorkers::take(std::size_t key) {
    std::unique_lock<std::mutex> lock(mutex_);
    done_.wait(lock, [&] { return results_.count(key) != 0; });
    auto it = results_.find(key);
    Result r = std::move(it->second);
    results_.erase(it);
    ++taken_;
    return r;
}

std::size_t PhraseWorkers::inFlight() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return submitted_ - taken_;
}

void PhraseWorkers::run(std::size_t worker) {
    SynthEngine& engine = *engines_[worker];
    for (;;) {
        Job job;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            work_.wait(lock, [&] { return stop_ || !queue_.empty(); });
            if (stop_) return;
            job = queue_.front();
            queue_.pop_front();
        }
        Result r;
        engine.freeLists();
        engine.setTickRange(0xFFFFFFFF, 0);
        r.ok = engine.renderPhrase(*job.request, *job.notes);
        if (!r.ok) {
            r.error = engine.lastError();
        } else if (job.request->channel >= 1 && job.request->channel <= 16) {
            r.sounds = std::move(engine.lists()[static_cast<std::size_t>(job.request->channel - 1)]);
            r.earliestTick = engine.earliestTick();
            r.latestTick = engine.latestTick();
        }
        engine.freeLists();
        {
            std::lock_guard<std::mutex> lock(mutex_);
            results_.emplace(job.key, std::move(r));
        }
        done_.notify_all();
    }
}

}  // namespace kantor
