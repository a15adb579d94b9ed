#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <random>
#include <vector>

#include "sound/SoundFormat.h"
#include "synth/VoxMixer.h"

namespace kantor {
namespace {

// A phrase-like sound: a wobbling tone loud enough that sums clip now and then.
SoundEntry phrase(std::mt19937& rng, uint32_t startMs, uint32_t bytes, uint32_t tick) {
    std::vector<int16_t> s((bytes + 1) / 2);
    std::uniform_int_distribution<int> amp(2000, 30000);
    const int a = amp(rng);
    for (std::size_t i = 0; i < s.size(); ++i) s[i] = static_cast<int16_t>(a * std::sin(0.05 * double(i) + a));
    SoundEntry e;
    e.data = SoundBuffer::fromSamples(s, kPhraseSpare);
    e.data.setByteLength(bytes);  // odd lengths too
    e.startMs = startMs;
    e.durationMs = millisecondsForBytes(kMono16, 44100, bytes);
    e.kind = kEntryMono;
    e.startTick = tick;
    return e;
}

// A list as the final mix sees it: phrases in tick order whose consonants reach back over
// the phrase before (by up to `overlapMs`, or not at all when negative: a rest), some whose
// offset moves them a little out of millisecond order, an empty one and one without sound.
std::vector<SoundEntry> legatoList(std::mt19937& rng, int phrases, int overlapMs) {
    std::vector<SoundEntry> list;
    std::uniform_int_distribution<uint32_t> len(8000, 120000), lead(0, 120);
    uint32_t at = 50;
    for (int i = 0; i < phrases; ++i) {
        uint32_t bytes = len(rng) | (i % 7 == 3 ? 1u : 0u);
        uint32_t start = at;
        if (i % 11 == 5 && start > 30) start -= 30;  // an early offset: out of ms order
        list.push_back(phrase(rng, start, bytes, uint32_t(i) * 480));
        const uint32_t ms = list.back().durationMs;
        at = uint32_t(std::max<int64_t>(0, int64_t(at) + ms - overlapMs - (overlapMs >= 0 ? int64_t(lead(rng)) : 0)));
        if (i % 13 == 6) {
            SoundEntry none;  // taken by an earlier mix: no sound
            none.startMs = at;
            list.push_back(std::move(none));
        }
        if (i % 17 == 8) list.push_back(phrase(rng, at, 0, uint32_t(i) * 480 + 1));
    }
    return list;
}

struct Mixed {
    std::vector<uint8_t> bytes;
    uint32_t startMs, durationMs, startTick;
    int kind;
};

// The list mixed by CVoxMixer: each remaining entry.
std::vector<Mixed> mixedWhole(std::vector<SoundEntry> list) {
    CVoxMixer mixer;
    EXPECT_TRUE(mixer.mix(list, kMono16, 44100)) << mixer.lastError();
    std::vector<Mixed> out;
    for (const SoundEntry& e : list)
        if (e.hasData()) out.push_back({{e.data.bytes().begin(), e.data.bytes().end()}, e.startMs, e.durationMs, e.startTick, e.kind});
    return out;
}

struct Windowed {
    std::vector<Mixed> groups;
    std::size_t largestPiece = 0;
    std::size_t largestHeld = 0;
    std::size_t firstPieceAfterAdds = 0;  // entries added before the first piece came out
};

// The same list through the window, entries added one by one with the promise of the
// soonest start still to come; the pieces joined back into groups.
Windowed mixedByWindow(std::vector<SoundEntry> list, std::size_t pieceBytes, bool lazy) {
    Windowed w;
    WindowMixer mixer(kMono16, 44100, pieceBytes);
    std::vector<uint32_t> soonest(list.size() + 1, UINT32_MAX);
    for (std::size_t i = list.size(); i-- > 0;)
        soonest[i] = list[i].hasData() ? std::min(soonest[i + 1], list[i].startMs) : soonest[i + 1];
    std::vector<WindowMixer::Output> outs;
    auto take = [&] {
        for (WindowMixer::Output& o : outs) {
            w.largestPiece = std::max(w.largestPiece, o.data.byteLength());
            if (o.first) w.groups.push_back({{}, o.startMs, 0, o.startTick, 0});
            ASSERT_FALSE(w.groups.empty());
            Mixed& g = w.groups.back();
            EXPECT_EQ(g.startMs, o.startMs);
            g.bytes.insert(g.bytes.end(), o.data.bytes().begin(), o.data.bytes().end());
            if (o.last) {
                g.durationMs = o.durationMs;
                g.kind = o.kind;
            }
        }
        outs.clear();
    };
    for (std::size_t i = 0; i < list.size(); ++i) {
        WindowMixer::Input in;
        in.startMs = list[i].startMs;
        in.durationMs = list[i].durationMs;
        in.startTick = list[i].startTick;
        in.kind = list[i].kind;
        if (lazy && list[i].hasData()) {
            in.byteLength = list[i].byteLength();
            in.load = [data = std::make_shared<SoundBuffer>(std::move(list[i].data))](SoundBuffer& b) {
                b = std::move(*data);
                return true;
            };
        } else {
            in.data = std::move(list[i].data);
        }
        EXPECT_TRUE(mixer.add(std::move(in), outs)) << mixer.lastError();
        EXPECT_TRUE(mixer.advance(soonest[i + 1], outs)) << mixer.lastError();
        if (!outs.empty() && w.firstPieceAfterAdds == 0) w.firstPieceAfterAdds = i + 1;
        take();
        w.largestHeld = std::max(w.largestHeld, mixer.heldBytes());
    }
    EXPECT_TRUE(mixer.finish(outs)) << mixer.lastError();
    take();
    return w;
}

void expectSame(const std::vector<Mixed>& whole, const std::vector<Mixed>& window) {
    ASSERT_EQ(whole.size(), window.size());
    for (std::size_t k = 0; k < whole.size(); ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(window[k].startMs, whole[k].startMs);
        EXPECT_EQ(window[k].startTick, whole[k].startTick);
        EXPECT_EQ(window[k].durationMs, whole[k].durationMs);
        EXPECT_EQ(window[k].kind, whole[k].kind);
        EXPECT_TRUE(window[k].bytes == whole[k].bytes) << "sizes " << window[k].bytes.size() << " " << whole[k].bytes.size();
    }
}

// The window gives the mixer's groups byte for byte: legato lists (one group as long as the
// list), lists with rests (many groups, entries alone), lists with no overlap at all, with
// small and large pieces, sounds given at once or fetched when reached.
TEST(WindowMixer, MixesEveryListAsTheWholeMixerDoes) {
    std::mt19937 rng(37);
    for (int overlap : {40, 200, -80}) {
        for (std::size_t piece : {std::size_t(4096), std::size_t(1) << 18}) {
            for (bool lazy : {false, true}) {
                SCOPED_TRACE(testing::Message() << "overlap " << overlap << " piece " << piece << " lazy " << lazy);
                const std::vector<SoundEntry> list = legatoList(rng, 60, overlap);
                std::vector<SoundEntry> a, b;
                for (const SoundEntry& e : list) {
                    SoundEntry c;
                    c.data = e.data;
                    c.startMs = e.startMs;
                    c.durationMs = e.durationMs;
                    c.startTick = e.startTick;
                    c.kind = e.kind;
                    a.push_back(c);
                    b.push_back(std::move(c));
                }
                const std::vector<Mixed> whole = mixedWhole(std::move(a));
                if (overlap > 0) {
                    EXPECT_LT(whole.size(), 4u);  // legato: a group as long as the list
                } else {
                    EXPECT_GT(whole.size(), 50u);
                }
                expectSame(whole, mixedByWindow(std::move(b), piece, lazy).groups);
            }
        }
    }
    // Three sounds at once, and a sound that begins before its group (by its offset).
    std::vector<SoundEntry> three;
    three.push_back(phrase(rng, 100, 44100, 0));
    three.push_back(phrase(rng, 120, 8821, 1));
    three.push_back(phrase(rng, 90, 30000, 2));
    three.push_back(phrase(rng, 400, 3001, 3));
    std::vector<SoundEntry> copy;
    for (const SoundEntry& e : three) {
        SoundEntry c;
        c.data = e.data;
        c.startMs = e.startMs, c.durationMs = e.durationMs, c.startTick = e.startTick;
        copy.push_back(std::move(c));
    }
    expectSame(mixedWhole(std::move(three)), mixedByWindow(std::move(copy), 1000, false).groups);
}

// What the window keeps and the first piece it puts out do not grow with a legato list:
// ten times the phrases, pieces no larger, a few phrases held at most, and the first piece
// after the same entries.
TEST(WindowMixer, MemoryAndFirstPieceDoNotGrowWithTheList) {
    auto run = [](int phrases) {
        std::mt19937 rng(5);
        std::vector<SoundEntry> list = legatoList(rng, phrases, 60);
        return mixedByWindow(std::move(list), std::size_t(1) << 16, true);
    };
    const Windowed small = run(40), large = run(400);
    ASSERT_EQ(small.groups.size(), 1u);
    ASSERT_EQ(large.groups.size(), 1u);
    EXPECT_LT(small.groups[0].bytes.size() * 8, large.groups[0].bytes.size());
    EXPECT_LE(large.largestPiece, std::size_t(1) << 16);
    // A few phrases and a piece at most, however long the list.
    EXPECT_LT(large.largestHeld, 4u * 270000u + (1u << 17));
    EXPECT_EQ(large.firstPieceAfterAdds, small.firstPieceAfterAdds);
    EXPECT_LE(large.firstPieceAfterAdds, 2u);
}

TEST(WindowMixer, RefusesWhatTheMixerRefuses) {
    std::mt19937 rng(1);
    std::vector<WindowMixer::Output> outs;
    WindowMixer stereo(packFormat(16, 2), 44100);
    WindowMixer::Input in;
    in.data = phrase(rng, 0, 100, 0).data;
    EXPECT_FALSE(stereo.add(std::move(in), outs));
    EXPECT_EQ(stereo.lastError(), mixertext::kMonoOnly);
    // A sound that cannot be fetched fails the mix.
    WindowMixer mixer(kMono16, 44100);
    WindowMixer::Input a, b;
    a.data = phrase(rng, 0, 8820, 0).data;
    a.durationMs = 100;
    b.load = [](SoundBuffer&) { return false; };
    b.byteLength = 8820;
    b.startMs = 50;
    b.durationMs = 100;
    EXPECT_TRUE(mixer.add(std::move(a), outs));
    EXPECT_TRUE(mixer.add(std::move(b), outs));
    EXPECT_FALSE(mixer.finish(outs));
}

}  // namespace
}  // namespace kantor
