#pragma once
// Renders phrases on a pool of worker threads. Each worker has an engine of its own, set up
// as the caller's (output format, pitch mode, MIDI–wave delay correction), and reads the
// caller's loaded voices without changing them; the caller takes the results in the order
// it chooses, so that what it files and mixes is the same for any number of workers.
//
// The pool serves only engines whose phrases can be rendered apart: pitch changed by
// resampling (keeping formants finds a sample's pitch marks the first time it is sung and
// keeps them with the sample). A phrase that names an effect is rendered by the caller's own
// engine, in order (the plug-ins are one process and see their phrases one after another).
// Otherwise, and with one worker, the caller renders itself.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "synth/SynthEngine.h"

namespace kantor {

class PhraseWorkers {
public:
    struct Result {
        bool ok = true;
        std::string error;
        std::vector<SoundEntry> sounds;  // what the phrase filed in its channel's list
        uint32_t earliestTick = 0xFFFFFFFF;
        uint32_t latestTick = 0;
    };

    // The workers to use: `wanted` when given (at least 1), else the number set for the
    // process (kantor-cli --jobs), else the machine's cores.
    static int workersFor(int wanted);
    static void setProcessWorkers(int workers);
    // Whether phrases of `engine` may be rendered by workers (see above).
    static bool canRenderApart(const SynthEngine& engine);
    // Whether a phrase must be rendered by the caller's engine (it names an effect).
    static bool needsOwnEngine(const SynthEngine& engine, const PhraseRequest& request);

    // `engine` must have been started; its voices must be loaded for every phrase given.
    PhraseWorkers(SynthEngine& engine, int workers);
    ~PhraseWorkers();
    PhraseWorkers(const PhraseWorkers&) = delete;
    PhraseWorkers& operator=(const PhraseWorkers&) = delete;

    // Queues a phrase under `key`; the request and notes must stay unchanged until it is taken.
    void submit(std::size_t key, const PhraseRequest& request, const std::vector<SynthNote>& notes);
    // Waits for the phrase of `key` and gives its result.
    Result take(std::size_t key);
    // Phrases queued or being rendered, not yet taken.
    std::size_t inFlight() const;

private:
    struct Job {
        std::size_t key;
        const PhraseRequest* request;
        const std::vector<SynthNote>* notes;
    };
    void run(std::size_t worker);

    std::vector<std::unique_ptr<SynthEngine>> engines_;
    std::vector<std::thread> threads_;
    mutable std::mutex mutex_;
    std::condition_variable work_, done_;
    std::deque<Job> queue_;
    std::map<std::size_t, Result> results_;
    std::size_t submitted_ = 0, taken_ = 0;
    bool stop_ = false;
};

}  // namespace kantor
