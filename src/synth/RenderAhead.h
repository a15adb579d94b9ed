#pragma once
// Renders a planned song (SongRenderer::planSong) on a worker thread while it plays, a little
// ahead of the playhead, and hands the playback pieces over in playback order. The pieces
// are the very ones SongRenderer::renderSong would make: phrases are rendered in the order
// of the earliest tick their sound can start at, and a piece is handed over only once no
// phrase still to render can start before it or sound into it (the mixes of overlapping
// sound, per channel and over the whole song, come out as they would for the whole song).
//
// The engine given belongs to the worker until the RenderAhead is destroyed: phrase
// synthesis and the phrase effects run there. take() and force() are called from one other
// thread (the transport's).
//
// The final mix is a window that moves forward (WindowMixer): a stretch of overlapping sound
// as long as the song (a legato song) is handed over piece by piece, each piece as soon as no
// phrase still to render can change it, and a phrase's sound is let go once the window has
// passed its end.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "synth/PhraseWorkers.h"
#include "synth/SongRenderer.h"
#include "synth/VoxMixer.h"

namespace kantor {

class RenderAhead {
public:
    // The longest consonant lead-in assumed before a phrase's first note: the bound that lets
    // a piece be handed over before every later phrase is rendered.
    static constexpr int64_t kLeadBoundMs = 4000;

    struct Progress {
        // Every piece that starts before this tick has been handed over (or dropped as late).
        uint32_t settledTick = 0;
        bool complete = false;  // every phrase is rendered and every piece handed over
        bool failed = false;
        std::string error;      // the engine's text when failed
        // The engine's song-wide range of everything rendered so far, and whether no phrase
        // still to render can start earlier.
        uint32_t earliestTick = 0xFFFFFFFF;
        uint32_t latestTick = 0;
        bool earliestFinal = false;
        std::size_t late = 0;  // pieces dropped since the last take: they would have started late
    };

    RenderAhead(SynthEngine& engine, RenderPlan plan);
    ~RenderAhead();
    RenderAhead(const RenderAhead&) = delete;
    RenderAhead& operator=(const RenderAhead&) = delete;

    // Starts the worker. It renders until the pieces handed over reach `lookAheadMs` of song
    // time past the playhead, then waits for the playhead to move on.
    void start(uint32_t playheadTick, uint32_t lookAheadMs);
    // Waits until the pieces before `tick` are settled, everything is, or the render failed.
    void waitUntilSettled(uint32_t tick);
    void setPlayhead(uint32_t tick);
    // Moves the pieces handed over since the last call to `out`, in playback order.
    Progress take(std::vector<PlaybackPiece>& out);
    // As take(), after making everything before `tick` settled at once: a piece that would
    // start before it and is not rendered yet is dropped when it comes (counted as late).
    Progress force(uint32_t tick, std::vector<PlaybackPiece>& out);
    // Stops the worker (after the phrase it is rendering) and waits for it.
    void cancel();

    // The order in which the plan's jobs are rendered, and their bounds (for tests).
    const std::vector<std::size_t>& order() const { return order_; }

private:
    struct Staged {
        SoundEntry e;
        int list = 0;
        uint64_t k1 = 0, k2 = 0;  // place within the list
    };
    // The worker, and what it does under the lock between phrases.
    void run();
    void fileJob(std::size_t job);
    void advanceLocked(uint32_t forceTick);
    void closeStage1(int channel, uint32_t bound, uint32_t forceTick);
    void handOver(std::vector<WindowMixer::Output>& outs);
    static bool before(const Staged& a, const Staged& b);

    SynthEngine& engine_;
    RenderPlan plan_;
    // Phrases rendered on a pool of workers a few ahead of the one to file (see PhraseWorkers),
    // when the engine allows it; the worker thread files them in its order.
    std::unique_ptr<PhraseWorkers> pool_;
    std::size_t poolWorkers_ = 0;
    std::size_t submitted_ = 0;  // places in order_ given to the pool
    std::vector<std::size_t> order_;     // job indices, by tick bound
    std::vector<uint32_t> tickBound_;    // per job: no earlier start tick
    std::vector<uint32_t> upperBound_;   // per job: no later start tick
    std::vector<bool> countedLate_;      // per job: given up and counted late
    std::vector<uint32_t> msBound_;      // per job: no earlier start in milliseconds
    std::vector<uint32_t> earliestBound_;
    // Suffix minima over order_ (index next_ .. end): start ms, start ms per channel, earliest tick.
    std::vector<uint32_t> sufMs_, sufEarliest_;
    std::vector<std::vector<uint32_t>> sufChannelMs_;
    std::size_t next_ = 0;  // the next place in order_ to render

    // What has been rendered and not handed over yet (under the lock).
    std::array<std::vector<Staged>, 16> stage1_;  // mixed channels, by (startMs, seq)
    std::vector<Staged> stage2_;                   // by (startTick, list, k1, k2)
    WindowMixer mixer_;                            // the final mix
    bool dropping_ = false;                        // the group being mixed came too late

    // Shared with the taking thread.
    std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<PlaybackPiece> out_;
    Progress progress_;
    uint32_t forcedTick_ = 0;
    uint32_t wantedTick_ = 0;
    int waiters_ = 0;  // rendered at least this far, whatever the playhead
    uint32_t playheadMs_ = 0;
    uint32_t lookAheadMs_ = 0;
    bool cancel_ = false;
    std::thread worker_;
};

}  // namespace kantor
