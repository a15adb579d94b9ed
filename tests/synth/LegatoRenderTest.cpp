// Legato songs (each phrase's consonant sounding over the end of the phrase before) and songs
// with short rests, rendered whole, into a file by the window, ahead of a playhead and on
// several workers: the same sound everywhere, and the memory and first hand-over of the
// window the same for a short song and one four times as long.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "base/FileIO.h"
#include "midi/MidiFile.h"
#include "midi/SmfWriter.h"
#include "midi/TempoMap.h"
#include "song/Song.h"
#include "song/VoxTrackBuilder.h"
#include "support/SyntheticVoice.h"
#include "support/TempDir.h"
#include "synth/PhraseWorkers.h"
#include "synth/RenderAhead.h"
#include "synth/SongRenderer.h"
#include "synth/SynthEngine.h"
#include "voice/VoiceBank.h"

namespace kantor {
namespace {

// Phrases of eight notes at 160 notes a minute (360 ticks, 120 beats a minute), each phrase's
// last note reaching `gapTicks` before the next phrase, the melody on a scale, syllables with
// consonants of 50 ms (KA, SA) and without (A); a second channel sings every third phrase
// an octave lower in group B, so that two channels and groups overlap too.
struct LegatoSong {
    test::TempDir dir;
    MidiFile midi;
    TempoMap map;
    Song song;
    VoiceBank bank;
    SynthEngine engine{bank, map};

    LegatoSong(int phrases, uint32_t gapTicks) {
        test::writeSyntheticVoice(dir.path(), "TestVox",
                                  {{"A", "あ", 60}, {"KA", "か", 60}, {"SA", "さ", 64}, {"A", "あ", 67}}, 2205, 22050);
        bank.setVoiceFolder(dir.path());
        SmfTrack t;
        t.tempo(0, 500000);
        const int scale[] = {0, 2, 4, 5, 7, 9, 11, 12};
        const uint32_t step = 360;
        for (int i = 0; i < phrases * 8; ++i) {
            const uint32_t at = 1920 + uint32_t(i) * step;
            const uint32_t length = i % 8 == 7 ? step - gapTicks : step - step / 8;
            t.note(at, at + length, 0, uint8_t(60 + scale[(i * 3) % 8]), 100);
            if ((i / 8) % 3 == 1) t.note(at, at + step - gapTicks, 1, uint8_t(55 + scale[i % 8]), 100);
        }
        EXPECT_TRUE(midi.loadImage(buildSmf(0, 480, {t}), dir.file("s.mid")));
        EXPECT_TRUE(map.build(midi));
        song.songDefaults().voiceName = "TestVox";
        const char* codes[] = {"KA", "A", "SA", "A", "KA", "SA", "A", "KA"};
        for (int c = 0; c < 2; ++c) {
            EXPECT_TRUE(makeVoxChannel(song, midi.channel(c), c));
            auto& events = song.channel(c).events;
            for (std::size_t i = 0; i < events.size(); ++i) {
                VoxEvent& e = *events[i];
                e.setCode(0, codes[(i + std::size_t(c)) % 8]);
                e.syllableLength[0] = 1;
                e.phraseGroup = uint16_t(c);
                if (i % 8 == 0) song.makePhraseHead(c, i);
            }
        }
        song.setSongPath(dir.file("s.uta"));
    }

    std::vector<uint8_t> wholeFile() {
        SongRenderer renderer(song, engine);
        RenderRequest r;
        r.outputPath = dir.file("whole.wav");
        std::vector<PlaybackPiece> pieces;
        EXPECT_TRUE(renderer.renderSong(r, pieces)) << renderer.lastError();
        return bytesOf(r.outputPath);
    }
    std::vector<uint8_t> windowFile(int workers) {
        PhraseWorkers::setProcessWorkers(workers);
        SongRenderer renderer(song, engine);
        RenderRequest r;
        r.outputPath = dir.file("window.wav");
        EXPECT_TRUE(renderer.renderSongToFile(r)) << renderer.lastError();
        PhraseWorkers::setProcessWorkers(0);
        return bytesOf(r.outputPath);
    }
    static std::vector<uint8_t> bytesOf(const std::string& path) {
        std::vector<uint8_t> b;
        EXPECT_EQ(readWholeFile(path, b), ReadStatus::Ok);
        return b;
    }
};

struct Ahead {
    std::vector<PlaybackPiece> pieces;  // all, in order
    std::size_t firstBytes = 0;         // handed over by the time the first second is settled
    std::size_t largest = 0;
};

Ahead renderAhead(LegatoSong& s, int workers) {
    PhraseWorkers::setProcessWorkers(workers);
    SongRenderer renderer(s.song, s.engine);
    RenderPlan plan;
    EXPECT_TRUE(renderer.planSong(RenderRequest{}, plan)) << renderer.lastError();
    Ahead a;
    RenderAhead ahead(s.engine, std::move(plan));
    ahead.start(0, 3000);
    ahead.waitUntilSettled(3 * 960);
    RenderAhead::Progress p = ahead.take(a.pieces);
    for (const PlaybackPiece& piece : a.pieces) a.firstBytes += piece.data.byteLength();
    EXPECT_FALSE(a.pieces.empty());
    for (uint32_t tick = 3 * 960; !p.complete && !p.failed; tick += 960) {
        ahead.setPlayhead(tick);
        ahead.waitUntilSettled(tick + 960);
        p = ahead.take(a.pieces);
    }
    EXPECT_FALSE(p.failed) << p.error;
    PhraseWorkers::setProcessWorkers(0);
    for (const PlaybackPiece& piece : a.pieces) a.largest = std::max(a.largest, piece.data.byteLength());
    return a;
}

// The pieces of each stretch joined, as the device plays them one after the other.
std::vector<std::vector<uint8_t>> stretches(const std::vector<PlaybackPiece>& pieces) {
    std::vector<std::vector<uint8_t>> out;
    for (const PlaybackPiece& p : pieces) {
        if (!p.follows || out.empty()) out.emplace_back();
        out.back().insert(out.back().end(), p.data.bytes().begin(), p.data.bytes().end());
    }
    return out;
}

TEST(LegatoRender, WindowedMixingSingsAsTheWholeRenderAndStaysSmall) {
    for (uint32_t gap : {10u, 60u}) {
        Ahead shortAhead;
        for (int phrases : {6, 24}) {
            SCOPED_TRACE(testing::Message() << "gap " << gap << " phrases " << phrases);
            LegatoSong s(phrases, gap);
            const std::vector<uint8_t> whole = s.wholeFile();
            ASSERT_GT(whole.size(), 44u + std::size_t(phrases) * 100000u);
            // The file: by the window, on one worker and on two, byte for byte.
            EXPECT_TRUE(s.windowFile(1) == whole);
            EXPECT_TRUE(s.windowFile(2) == whole);
            // Played: the same sound, handed over in pieces.
            std::vector<PlaybackPiece> wholePieces;
            {
                SongRenderer renderer(s.song, s.engine);
                ASSERT_TRUE(renderer.renderSong(RenderRequest{}, wholePieces));
            }
            const Ahead a = renderAhead(s, 2);
            EXPECT_TRUE(stretches(a.pieces) == stretches(wholePieces));
            if (gap == 10) {
                EXPECT_EQ(stretches(wholePieces).size(), 1u);  // legato: one stretch, the whole song
            }
            // Neither the largest piece nor what comes before the first seconds can be
            // played grows with the song.
            EXPECT_LE(a.largest, std::size_t(1) << 20);
            EXPECT_LT(a.firstBytes, 2u * 88200u * 10u);
            if (phrases == 6) {
                shortAhead.largest = a.largest;
                shortAhead.firstBytes = a.firstBytes;
            } else {
                EXPECT_LE(a.largest, std::max(shortAhead.largest, std::size_t(1) << 20));
                EXPECT_LE(a.firstBytes, shortAhead.firstBytes + 88200u * 4u);
            }
        }
    }
}

}  // namespace
}  // namespace kantor
