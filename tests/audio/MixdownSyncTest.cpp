// MIDI and vocal on one sample clock: in a mixdown through the embedded synthesizer, every
// phrase's first vocal sample lies where its start tick falls in the tempo map.
#include <gtest/gtest.h>

#include <cmath>

#include "TransportFixture.h"

namespace kantor {
namespace {

using test::TransportFixture;

// Phrases on channel 1 at changing tempos (120, then 96, then 150 beats a minute).
const std::vector<test::SongNotes> kSong = {
    {0, 69, {{960, 1300}, {2400, 2700}, {3360, 3700}, {4800, 5100}, {6000, 6200}, {7000, 7300}}}};
const std::vector<std::pair<uint32_t, uint32_t>> kTempos = {{0, 500000}, {2000, 625000}, {4500, 400000}};

std::vector<int16_t> mixdown(TransportFixture& f, uint32_t ms) {
    f.engine.setCapture(true);
    EXPECT_TRUE(f.transport->playFromTop()) << f.transport->lastError();
    f.runToEnd(ms);
    f.run(200);
    return f.engine.takeCaptured();
}

// The time of a tick in the tempo list, exactly (the map's own millisecond arithmetic
// truncates each tempo segment to whole milliseconds).
double exactMs(const TempoMap& map, uint32_t tick) {
    double ms = 0;
    const auto& t = map.tempos();
    for (std::size_t i = 0; i < t.size() && t[i].tick < tick; ++i) {
        const uint32_t end = i + 1 < t.size() ? std::min(t[i + 1].tick, tick) : tick;
        ms += double(end - t[i].tick) * t[i].usPerQuarter / 1000.0 / map.division();
    }
    return ms;
}

double rms(const std::vector<int16_t>& s, uint64_t from, uint64_t to) {
    double sum = 0;
    for (uint64_t k = from; k < to && 2 * k + 1 < s.size(); ++k) sum += double(s[2 * k]) * s[2 * k] + double(s[2 * k + 1]) * s[2 * k + 1];
    return std::sqrt(sum / double(2 * (to - from)));
}

TEST(MixdownSync, EveryPhraseStartsWithinAMillisecondOfItsTickThroughTheSynthesizer) {
    const std::string sf = EmbeddedSynth::defaultSoundFont();
    if (sf.empty()) GTEST_SKIP() << "no General MIDI SoundFont installed";
    // The whole mix, and the MIDI alone (the vocal muted): their difference is the vocal.
    // An odd block size, so that markers fall anywhere inside the engine's blocks.
    TransportFixture full(kSong, 241, sf, kTempos);
    std::vector<int16_t> mix = mixdown(full, 12000);
    TransportFixture midiOnly(kSong, 241, sf, kTempos);
    midiOnly.song.channelFlags().set(ChannelFlags::VoxMute, 0, true);
    std::vector<int16_t> midi = mixdown(midiOnly, 12000);
    ASSERT_TRUE(midiOnly.transport->phrases().empty());
    const std::size_t n = std::min(mix.size(), midi.size());
    ASSERT_GT(n, 44100u * 2 * 7);

    // The synthesizer plays: each note's sound rises on its tick.
    const TempoMap& map = full.map;
    for (const auto& [on, off] : kSong[0].notes) {
        const uint64_t f = static_cast<uint64_t>(exactMs(map, on) * 44.1);
        EXPECT_GT(rms(midi, f, f + 441), 4 * rms(midi, f - 441, f) + 1) << "note at tick " << on;
    }

    // Render the phrases again, whole, to know their ticks and sound (the mix has freed its
    // own, and a play renders only its first second before it starts).
    RenderRequest request;
    request.endTick = full.map.songEndTick();
    request.voxMuted = SongRenderer::voxMutesOf(full.song);
    std::vector<PlaybackPiece> phrases;
    SongRenderer renderer(full.song, full.synth);
    ASSERT_TRUE(renderer.renderSong(request, phrases)) << renderer.lastError();
    ASSERT_EQ(phrases.size(), kSong[0].notes.size());
    double worst = 0;
    uint64_t previousEnd = 0;
    for (const PlaybackPiece& p : phrases) {
        std::size_t lead = 0;
        while (lead < p.data.sampleCount() && std::abs(p.data.sample(lead)) < 64) ++lead;
        ASSERT_LT(lead, p.data.sampleCount());
        const double tickMs = exactMs(map, p.startTick);
        EXPECT_LE(std::abs(tickMs - map.millisecondsBetween(0, p.startTick)), 1.0 * map.tempos().size());
        const double expectedMs = tickMs + lead * 1000.0 / 44100.0;
        // The first frame where the mix differs from the MIDI alone.
        uint64_t k = std::max<uint64_t>(previousEnd, static_cast<uint64_t>(expectedMs * 44.1) - 4410);
        while (2 * k < n && std::abs(int(mix[2 * k]) - int(midi[2 * k])) < 32) ++k;
        const double foundMs = k * 1000.0 / 44100.0;
        worst = std::max(worst, std::abs(foundMs - expectedMs));
        EXPECT_NEAR(foundMs, expectedMs, 1.0) << "phrase at tick " << p.startTick;
        previousEnd = static_cast<uint64_t>(tickMs * 44.1) + p.data.sampleCount();
    }
    RecordProperty("worstOffsetMs", std::to_string(worst));
    std::printf("worst phrase start offset: %.3f ms over %zu phrases\n", worst, phrases.size());
}

}  // namespace
}  // namespace kantor
