// The stream player's conversion of a whole large song into stream buffers, without a
// device: every event converted, buffers alternating as playback would fill them, with a
// marker every sixteenth note and one muted channel. Target: at least 5 million events a
// second. Run: build/bench/bench_stream
#include <benchmark/benchmark.h>

#include <random>

#include "midi/MidiStreamPlayer.h"
#include "midi/SmfWriter.h"

namespace kantor {
namespace {

std::vector<uint8_t> makeSong(std::size_t notesPerChannel) {
    std::mt19937 rng(7);
    std::vector<SmfTrack> tracks(17, SmfTrack(true));
    tracks[0].timeSignature(0, 4, 2);
    uint32_t last = 0;
    for (int ch = 0; ch < 16; ++ch) {
        SmfTrack& t = tracks[static_cast<std::size_t>(ch + 1)];
        t.programChange(0, ch, ch * 5);
        uint32_t tick = 0;
        for (std::size_t i = 0; i < notesPerChannel; ++i) {
            uint32_t len = 30 + rng() % 200;
            t.note(tick, tick + len, ch, 36 + static_cast<int>(rng() % 60), 64 + static_cast<int>(rng() % 60));
            if (i % 50 == 0) t.controlChange(tick, ch, 7, static_cast<int>(rng() % 128));
            tick += len + rng() % 40;
        }
        last = std::max(last, tick);
    }
    for (uint32_t tick = 0; tick < last; tick += 7680) tracks[0].tempo(tick, 400000 + tick % 200000);
    return buildSmf(1, 480, tracks);
}

struct Owner : MidiStreamOwner {
    std::vector<uint32_t> markers;
    std::size_t markerCount() const override { return markers.size(); }
    uint32_t markerTick(std::size_t i) const override { return markers[i]; }
    bool midiMuted(int c) const override { return c == 3; }
    uint8_t noteFilter() const override { return 255; }
    void streamClosed() override {}
    void onNotification(const Notification&) override {}
};

class NoStream : public MidiStream {
public:
    int open(NotificationTarget*) override { return kDeviceOk; }
    int setTimeDivision(uint16_t) override { return kDeviceOk; }
    int prepareHeader(MidiHeader&) override { return kDeviceOk; }
    int unprepareHeader(MidiHeader&) override { return kDeviceOk; }
    int out(MidiHeader&) override { return kDeviceOk; }
    int pause() override { return kDeviceOk; }
    int restart() override { return kDeviceOk; }
    int stop() override { return kDeviceOk; }
    int close() override { return kDeviceOk; }
    int position(uint32_t&) override { return kDeviceOk; }
    bool isOpen() const override { return false; }
};

void convertSong(benchmark::State& state, bool fromMiddle) {
    MidiFile file;
    if (!file.loadImage(makeSong(20000), "bench.mid")) {
        state.SkipWithError("load failed");
        return;
    }
    const uint32_t end = file.songEndTick();
    const uint32_t start = fromMiddle ? end / 2 : 0;
    Owner owner;
    for (uint32_t t = start; t < end; t += 120) owner.markers.push_back(t);
    NoStream stream;
    MidiStreamPlayer player(file, stream);
    int64_t events = 0;
    for (auto _ : state) {
        player.beginConversion(&owner, start, 0xFFFFFFFF);
        int i = 0;
        for (;;) {
            auto r = player.fill(i);
            events += player.header(i).bytesRecorded / 12;  // nearly all events are three words
            benchmark::DoNotOptimize(player.bufferData(i));
            if (r != MidiStreamPlayer::FillResult::MoreToCome) break;
            i = 1 - i;
        }
    }
    state.counters["events/s"] = benchmark::Counter(static_cast<double>(events), benchmark::Counter::kIsRate);
}

void BM_ConvertWholeSong(benchmark::State& state) { convertSong(state, false); }
void BM_ConvertFromTheMiddle(benchmark::State& state) { convertSong(state, true); }
BENCHMARK(BM_ConvertWholeSong)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConvertFromTheMiddle)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kantor
