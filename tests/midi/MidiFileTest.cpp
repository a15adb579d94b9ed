#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "midi/MidiFile.h"
#include "midi/SmfWriter.h"
#include "support/TempDir.h"

namespace kantor {
namespace {

bool loadBytes(MidiFile& m, const std::vector<uint8_t>& bytes) { return m.loadImage(bytes, "song.mid"); }

// A flat, comparable picture of the sixteen lists.
std::vector<std::vector<std::string>> picture(const MidiFile& m) {
    std::vector<std::vector<std::string>> out(16);
    for (int c = 0; c < 16; ++c) {
        for (const auto& e : m.channel(c)) {
            std::string s = std::to_string(int(e->kind)) + ":" + std::to_string(e->velocity) + ":" +
                            std::to_string(e->value1) + ":" + std::to_string(e->value2) + ":" +
                            std::to_string(e->value3) + ":";
            for (uint8_t b : e->data) s += std::to_string(b) + ",";
            out[static_cast<std::size_t>(c)].push_back(s);
        }
    }
    return out;
}

// The same music as one format 0 track and as a format 1 file with the tempo track first.
void addMusic(SmfTrack& tempoTrack, SmfTrack& melody, SmfTrack& drums) {
    tempoTrack.tempo(0, 500000).timeSignature(0, 3, 2).text(0, 0x03, "Tempo").tempo(960, 400000);
    tempoTrack.sysex(0, {0x7E, 0x7F, 0x09, 0x01, 0xF7});
    melody.programChange(0, 0, 5).controlChange(0, 0, 7, 100).text(0, 0x05, "ka");
    melody.note(0, 480, 0, 60, 100).note(480, 960, 0, 62, 90).note(960, 1440, 0, 64, 80);
    melody.note(1440, 1920, 1, 48, 70);
    drums.programChange(0, 9, 0).controlChange(10, 9, 10, 64);
    drums.note(0, 60, 9, 36, 127).note(480, 540, 9, 38, 127).note(960, 1020, 9, 36, 127);
}

TEST(MidiFile, FormatZeroAndFormatOneGiveTheSameLists) {
    SmfTrack all(true);
    addMusic(all, all, all);
    SmfTrack t0, t1(true), t2;
    addMusic(t0, t1, t2);
    MidiFile a, b;
    ASSERT_TRUE(loadBytes(a, buildSmf(0, 480, {all}))) << a.lastError();
    ASSERT_TRUE(loadBytes(b, buildSmf(1, 480, {t0, t1, t2}))) << b.lastError();
    EXPECT_EQ(a.format(), 0);
    EXPECT_EQ(b.format(), 1);
    EXPECT_EQ(b.trackCount(), 3);
    EXPECT_EQ(picture(a), picture(b));

    // Channel 1 notes sit in list 0 with every non-note event of the file.
    const ChannelEventList& l0 = b.channel(0);
    int notes = 0, tempos = 0, sigs = 0, cc = 0, pc = 0, sysex = 0;
    for (const auto& e : l0) {
        switch (e->kind) {
            case ChannelEventKind::Note: ++notes; break;
            case ChannelEventKind::Tempo: ++tempos; break;
            case ChannelEventKind::TimeSignature: ++sigs; break;
            case ChannelEventKind::ControlChange: ++cc; break;
            case ChannelEventKind::ProgramChange: ++pc; break;
            case ChannelEventKind::SystemExclusive: ++sysex; break;
            default: break;
        }
    }
    EXPECT_EQ(notes, 3);
    EXPECT_EQ(tempos, 2);
    EXPECT_EQ(sigs, 1);
    EXPECT_EQ(cc, 2);  // channel 10's control change too
    EXPECT_EQ(pc, 2);
    EXPECT_EQ(sysex, 1);
    EXPECT_EQ(l0.back()->kind, ChannelEventKind::EndOfTrack);
    EXPECT_EQ(b.songEndTick(), 1920u);
    EXPECT_EQ(b.channel(9).size(), 3u);
    EXPECT_EQ(b.channel(1).size(), 1u);
    for (const auto& e : b.channel(9)) EXPECT_TRUE(e->isNote());
}

TEST(MidiFile, RecordsCarryTheirValuesAndData) {
    SmfTrack t;
    t.tempo(0, 0x07A120).timeSignature(0, 6, 3).sysex(5, {0x41, 0x10, 0xF7}).raw(6, {0xF7, 0x02, 0x11, 0x22});
    t.controlChange(7, 9, 7, 99).programChange(8, 9, 33).note(10, 20, 2, 61, 77);
    MidiFile m;
    ASSERT_TRUE(loadBytes(m, buildSmf(0, 96, {t})));
    const ChannelEventList& l0 = m.channel(0);
    ASSERT_EQ(l0.size(), 7u);
    EXPECT_EQ(l0[0]->kind, ChannelEventKind::Tempo);
    EXPECT_EQ(l0[0]->value1, 500000u);
    EXPECT_EQ(l0[1]->kind, ChannelEventKind::TimeSignature);
    EXPECT_EQ(l0[1]->value2, 6u);
    EXPECT_EQ(l0[1]->value3, 8u);
    EXPECT_EQ(l0[2]->data, (std::vector<uint8_t>{0xF0, 0x41, 0x10, 0xF7}));
    EXPECT_EQ(l0[2]->value2, 5u);
    EXPECT_EQ(l0[3]->data, (std::vector<uint8_t>{0x11, 0x22}));
    EXPECT_EQ(l0[4]->data, (std::vector<uint8_t>{0xB9, 7, 99}));
    EXPECT_EQ(l0[5]->data, (std::vector<uint8_t>{0xC9, 33, 0}));
    EXPECT_EQ(l0[6]->kind, ChannelEventKind::EndOfTrack);
    const ChannelEvent& n = *m.channel(2).at(0);
    EXPECT_EQ(n.value1, 61u);
    EXPECT_EQ(n.velocity, 77);
    EXPECT_EQ(n.value2, 10u);
    EXPECT_EQ(n.value3, 20u);
}

TEST(MidiFile, RiffWrappedFileLoadsLikeTheBareFile) {
    SmfTrack t0, t1, t2;
    addMusic(t0, t1, t2);
    std::vector<uint8_t> smf = buildSmf(1, 480, {t0, t1, t2});
    MidiFile a, b;
    ASSERT_TRUE(loadBytes(a, smf));
    ASSERT_TRUE(loadBytes(b, wrapRiff(smf))) << b.lastError();
    EXPECT_EQ(picture(a), picture(b));
    EXPECT_EQ(b.headerMagic(), "MThd");
}

TEST(MidiFile, RiffWrappedFormatZeroFileReadsItsTrackAfterTheWrapper) {
    // The track data of a wrapped format 0 file starts 20 bytes later than in the bare file.
    SmfTrack all(true);
    addMusic(all, all, all);
    std::vector<uint8_t> smf = buildSmf(0, 480, {all});
    MidiFile a, b;
    ASSERT_TRUE(loadBytes(a, smf));
    ASSERT_TRUE(loadBytes(b, wrapRiff(smf))) << b.lastError();
    EXPECT_EQ(b.format(), 0);
    EXPECT_EQ(b.trackDataOffset(), a.trackDataOffset() + 20);
    EXPECT_EQ(picture(a), picture(b));
    EXPECT_EQ(b.songEndTick(), 1920u);
    EXPECT_EQ(b.channel(9).size(), 3u);
}

TEST(MidiFile, TrackCountAndFormatLimits) {
    std::vector<SmfTrack> tracks(64);
    tracks[3].note(0, 10, 3, 60, 64);
    MidiFile m;
    EXPECT_TRUE(loadBytes(m, buildSmf(1, 480, tracks))) << m.lastError();
    EXPECT_EQ(m.channel(3).size(), 1u);

    tracks.emplace_back();
    EXPECT_FALSE(loadBytes(m, buildSmf(1, 480, tracks)));
    EXPECT_EQ(m.lastError(), "This SMF is over 64_tracks.\nsong.mid: 65 tracks");
    EXPECT_FALSE(loadBytes(m, buildSmf(2, 480, tracks)));
    EXPECT_EQ(m.lastError(), "This SMF is over 64_tracks.\nsong.mid: 65 tracks");
    EXPECT_TRUE(m.path().empty());
    EXPECT_TRUE(m.image().empty());

    EXPECT_FALSE(loadBytes(m, buildSmf(2, 480, {SmfTrack(), SmfTrack()})));
    EXPECT_EQ(m.lastError(), "format 0,1 にのみ対応してます。\nsong.mid: format 2");
}

TEST(MidiFile, RefusesWhatIsNotAMidiFile) {
    MidiFile m;
    // Each refusal keeps the reader's text and names the file and the reason below it.
    EXPECT_FALSE(loadBytes(m, {'R', 'I', 'F'}));
    EXPECT_EQ(m.lastError(), "不当なファイル形式です。\nsong.mid: the file holds 3 bytes");
    EXPECT_FALSE(loadBytes(m, {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1}));  // header cut short
    EXPECT_EQ(m.lastError(), "不当なファイル形式です。\nsong.mid: the header and the first track's header are cut short");
    EXPECT_FALSE(loadBytes(m, {'a', 'b', 'c', 'd', 'e'}));
    EXPECT_EQ(m.lastError(), "不当なファイル形式です。\nsong.mid: it starts with neither \"MThd\" nor \"RIFF\"");
    std::vector<uint8_t> wrongChunk = buildSmf(1, 480, {SmfTrack(), SmfTrack()});
    wrongChunk[14 + 12] = 'X';  // the second chunk's identifier
    EXPECT_FALSE(loadBytes(m, wrongChunk));
    EXPECT_EQ(m.lastError(), "不当なファイル形式です。\nsong.mid: track 2 of 2 has no \"MTrk\" chunk at byte 26");
    EXPECT_FALSE(m.isLoaded());
    for (int c = 0; c < 16; ++c) EXPECT_TRUE(m.channel(c).empty());

    EXPECT_FALSE(m.load(""));
    EXPECT_EQ(m.lastError(), "Non Smf Path");
    EXPECT_FALSE(m.load("/nonexistent/x.mid"));
    EXPECT_EQ(m.lastError(), "Midiﾌｧｲﾙが見つかりません。\n/nonexistent/x.mid");
}

TEST(MidiFile, LoadsFromDiskAndForgetsThePreviousFile) {
    test::TempDir dir;
    SmfTrack t;
    t.note(0, 100, 4, 70, 64);
    std::string path = dir.write("a.mid", buildSmf(0, 120, {t}));
    MidiFile m;
    ASSERT_TRUE(m.load(path)) << m.lastError();
    EXPECT_EQ(m.path(), path);
    EXPECT_EQ(m.division(), 120);
    EXPECT_EQ(m.channel(4).size(), 1u);
    EXPECT_FALSE(m.load(dir.file("missing.mid")));
    EXPECT_TRUE(m.channel(4).empty());
    EXPECT_TRUE(m.path().empty());
}

TEST(MidiFile, SameTickEventsMergeInTrackOrderAndRunningStatusIsRestored) {
    // Tracks 1 and 2 both play at tick 0 and 10 with running status on different channels;
    // the merged track must put track 1 first and re-insert the status bytes.
    SmfTrack tempo, one(true), two(true);
    tempo.tempo(0, 500000);
    one.noteOn(0, 0, 60, 100).noteOn(0, 0, 64, 100).noteOff(10, 0, 60).noteOff(10, 0, 64);
    two.noteOn(0, 1, 40, 90).noteOn(0, 1, 43, 90).noteOff(10, 1, 40).noteOff(10, 1, 43);
    MidiFile m;
    ASSERT_TRUE(loadBytes(m, buildSmf(1, 480, {tempo, two, one}))) << m.lastError();
    const std::vector<uint8_t>& img = m.image();
    std::vector<uint8_t> body(img.begin() + static_cast<long>(m.trackDataOffset()), img.end());
    const std::vector<uint8_t> expected = {
        0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20,  // tempo (track 0)
        0x00, 0x91, 40, 90, 0x00, 43, 90,          // track 1 (channel 2), running status kept
        0x00, 0x90, 60, 100, 0x00, 64, 100,        // track 2 (channel 1)
        0x0A, 0x81, 40, 0, 0x00, 43, 0,            // status re-inserted after track 2's events
        0x00, 0x80, 60, 0, 0x00, 64, 0,
        0x00, 0xFF, 0x2F, 0x00};
    EXPECT_EQ(body, expected);
    ASSERT_EQ(m.channel(0).size(), 4u);  // tempo, two notes, end of track
    EXPECT_EQ(m.channel(0)[1]->value3, 10u);
    ASSERT_EQ(m.channel(1).size(), 2u);
    EXPECT_EQ(m.channel(1)[0]->value1, 40u);
    EXPECT_EQ(m.channel(1)[1]->value3, 10u);
}

TEST(MidiFile, NotesArePairedAndCut) {
    SmfTrack t;
    t.noteOn(0, 0, 60, 100).noteOn(100, 0, 60, 0);     // velocity 0 ends the note
    t.noteOn(200, 1, 50, 80).noteOn(250, 1, 50, 80);   // two note-ons, one note-off
    t.noteOff(300, 1, 50);
    t.noteOn(400, 2, 60, 80).noteOn(450, 2, 62, 80);   // legato melody
    t.noteOff(500, 2, 60).noteOff(550, 2, 62);
    t.noteOn(600, 3, 60, 80).noteOn(600, 3, 64, 80).noteOn(600, 3, 67, 80);  // a chord
    t.noteOff(650, 3, 67).noteOff(700, 3, 64).noteOff(750, 3, 60);
    t.noteOn(800, 4, 70, 80).controlChange(900, 4, 7, 1);  // never released
    MidiFile m;
    ASSERT_TRUE(loadBytes(m, buildSmf(0, 480, {t})));
    auto ends = [&](int c) {
        std::vector<uint32_t> r;
        for (const auto& e : m.channel(c))
            if (e->isNote()) r.push_back(e->value3);
        return r;
    };
    EXPECT_EQ(ends(0), (std::vector<uint32_t>{100}));
    EXPECT_EQ(ends(1), (std::vector<uint32_t>{250, 300}));
    EXPECT_EQ(ends(2), (std::vector<uint32_t>{450, 550}));
    EXPECT_EQ(ends(3), (std::vector<uint32_t>{750, 700, 650}));
    // The last event of channel 5's own list is the note itself.
    EXPECT_EQ(ends(4), (std::vector<uint32_t>{800}));
}

TEST(MidiFile, DamagedTracksEndWhereTheDamageIs) {
    SmfTrack t;
    t.note(0, 100, 0, 60, 100).note(100, 200, 0, 62, 100);
    std::vector<uint8_t> smf = buildSmf(0, 480, {t});
    // Cut inside the last note-off: the lists stop there with an end-of-track.
    std::vector<uint8_t> cut(smf.begin(), smf.end() - 5);
    MidiFile m;
    ASSERT_TRUE(loadBytes(m, cut));
    EXPECT_EQ(m.channel(0).back()->kind, ChannelEventKind::EndOfTrack);
    EXPECT_EQ(m.channel(0).size(), 3u);

    // Data bytes before any status byte end the track at once.
    SmfTrack bad;
    bad.raw(0, {0x40, 0x40}).note(10, 20, 0, 60, 100);
    ASSERT_TRUE(loadBytes(m, buildSmf(0, 480, {bad})));
    ASSERT_EQ(m.channel(0).size(), 1u);
    EXPECT_EQ(m.channel(0)[0]->kind, ChannelEventKind::EndOfTrack);
    SmfTrack good;
    good.note(0, 30, 0, 65, 100);
    ASSERT_TRUE(loadBytes(m, buildSmf(1, 480, {bad, good})));
    EXPECT_EQ(m.channel(0).size(), 2u);  // the good track's note and the end

    // A format 1 track whose length runs past the file is read up to the end of the file.
    std::vector<uint8_t> longer = buildSmf(1, 480, {t});
    longer[14 + 7] = 0xFF;
    ASSERT_TRUE(loadBytes(m, longer)) << m.lastError();
    EXPECT_EQ(m.channel(0).size(), 3u);
}

// The merge as a plain tick-by-tick walk, to check the merge that jumps between event ticks.
std::vector<uint8_t> referenceMerge(const std::vector<uint8_t>& f) {
    struct Tr {
        std::size_t p, end;
        uint32_t next;
        uint8_t rs = 0, len = 0;
    };
    auto vlq = [&](std::size_t& p) {
        uint32_t v = 0;
        while (true) {
            uint8_t b = f[p++];
            v = (v << 7) | (b & 0x7F);
            if (!(b & 0x80)) return v;
        }
    };
    int count = (f[10] << 8) | f[11];
    std::vector<Tr> tr;
    std::size_t c = 14;
    for (int i = 0; i < count; ++i) {
        uint32_t len = (uint32_t(f[c + 4]) << 24) | (f[c + 5] << 16) | (f[c + 6] << 8) | f[c + 7];
        Tr t{c + 8, c + 8 + len, 0};
        t.next = vlq(t.p);
        tr.push_back(t);
        c += 8 + len;
    }
    std::vector<uint8_t> out(f.begin(), f.begin() + 22);
    auto put = [&](uint32_t v) {
        std::vector<uint8_t> g;
        do {
            g.push_back(v & 0x7F);
            v >>= 7;
        } while (v);
        for (std::size_t i = g.size(); i-- > 1;) out.push_back(g[i] | 0x80);
        out.push_back(g[0]);
    };
    int active = count;
    uint32_t lastT = 0;
    uint8_t lastS = 0;
    uint32_t T = 0;
    for (;; ++T) {
        bool emitted = false;
        auto delta = [&] {
            if (!emitted) {
                put(T - lastT);
                lastT = T;
                emitted = true;
            } else {
                out.push_back(0);
            }
        };
        for (Tr& t : tr) {
            while (t.next <= T) {
                uint8_t s = f[t.p];
                if (s == 0xFF && f[t.p + 1] == 0x2F && f[t.p + 2] == 0) {
                    t.next = 0xFFFFFFFF;
                    --active;
                    break;
                }
                std::size_t start = t.p;
                if (s >= 0x80 && s < 0xF0) {
                    std::size_t n = (s >= 0xC0 && s < 0xE0) ? 2 : 3;
                    t.rs = s;
                    t.len = static_cast<uint8_t>(n);
                    delta();
                    out.insert(out.end(), f.begin() + start, f.begin() + start + n);
                    t.p += n;
                    lastS = s;
                } else if (s >= 0xF0) {
                    std::size_t p = t.p + (s == 0xFF ? 2 : 1);
                    uint32_t n = vlq(p);
                    p += n;
                    delta();
                    out.insert(out.end(), f.begin() + start, f.begin() + p);
                    t.p = p;
                    lastS = s;
                } else {
                    std::size_t n = t.len == 3 ? 2 : 1;
                    delta();
                    if (lastS != t.rs) {
                        out.push_back(t.rs);
                        lastS = t.rs;
                    }
                    out.insert(out.end(), f.begin() + start, f.begin() + start + n);
                    t.p += n;
                }
                uint32_t d = vlq(t.p);
                if (d != 0) {
                    t.next += d;
                    break;
                }
            }
        }
        if (active == 0) break;
    }
    put(T - lastT);
    out.insert(out.end(), {0xFF, 0x2F, 0x00});
    return out;
}

TEST(MidiFile, MergeEqualsTheTickByTickWalk) {
    std::mt19937 rng(7);
    for (int round = 0; round < 30; ++round) {
        int ntracks = 1 + static_cast<int>(rng() % 8);
        std::vector<SmfTrack> tracks;
        for (int i = 0; i < ntracks; ++i) {
            SmfTrack t(rng() % 2 == 0);
            uint32_t tick = 0;
            int events = static_cast<int>(rng() % 40);
            for (int e = 0; e < events; ++e) {
                tick += (rng() % 3 == 0) ? 0 : rng() % 200;
                int ch = static_cast<int>(rng() % 3);
                switch (rng() % 6) {
                    case 0: t.noteOn(tick, ch, 40 + static_cast<int>(rng() % 40), 1 + static_cast<int>(rng() % 126)); break;
                    case 1: t.noteOff(tick, ch, 40 + static_cast<int>(rng() % 40)); break;
                    case 2: t.controlChange(tick, ch, static_cast<int>(rng() % 100), static_cast<int>(rng() % 128)); break;
                    case 3: t.programChange(tick, ch, static_cast<int>(rng() % 128)); break;
                    case 4: t.tempo(tick, 300000 + static_cast<uint32_t>(rng() % 400000)); break;
                    default: t.text(tick, 0x01, "x"); break;
                }
            }
            tracks.push_back(t);
        }
        std::vector<uint8_t> smf = buildSmf(1, 480, tracks);
        MidiFile m;
        ASSERT_TRUE(loadBytes(m, smf));
        EXPECT_EQ(m.image(), referenceMerge(smf)) << "round " << round;
    }
}

TEST(MidiFile, ChannelPressureTakesOneDataByteInTheMerge) {
    // Channel pressure (0xDn) and program change (0xCn) carry one data byte, pitch bend
    // (0xEn) two; a format 1 merge that copied 0xDn with two data bytes would swallow the
    // next delta-time and lose the notes after it.
    SmfTrack tempo, one, two(true);
    tempo.tempo(0, 500000);
    one.raw(0, {0xD0, 0x40}).note(10, 20, 0, 60, 100).raw(30, {0xD0, 0x20}).raw(40, {0xD0, 0x10});
    one.note(50, 60, 0, 62, 90);
    two.programChange(0, 1, 5).raw(5, {0xD1, 0x7F}).raw(6, {0xD1, 0x00}).pitchBend(7, 1, 0x2000);
    two.note(8, 70, 1, 48, 80);
    SmfTrack all;
    all.tempo(0, 500000);
    all.raw(0, {0xD0, 0x40}).programChange(0, 1, 5).raw(5, {0xD1, 0x7F}).raw(6, {0xD1, 0x00});
    all.pitchBend(7, 1, 0x2000).note(8, 70, 1, 48, 80).note(10, 20, 0, 60, 100).raw(30, {0xD0, 0x20});
    all.raw(40, {0xD0, 0x10}).note(50, 60, 0, 62, 90);
    const std::vector<uint8_t> smf = buildSmf(1, 480, {tempo, one, two});
    MidiFile m, flat;
    ASSERT_TRUE(loadBytes(m, smf)) << m.lastError();
    ASSERT_TRUE(loadBytes(flat, buildSmf(0, 480, {all}))) << flat.lastError();
    EXPECT_EQ(m.image(), referenceMerge(smf));
    auto notes = [](const MidiFile& f, int c) {
        std::vector<std::pair<uint32_t, uint32_t>> r;
        for (const auto& e : f.channel(c))
            if (e->isNote()) r.emplace_back(e->value1, e->value2);
        return r;
    };
    EXPECT_EQ(notes(m, 0), (std::vector<std::pair<uint32_t, uint32_t>>{{60, 10}, {62, 50}}));
    EXPECT_EQ(notes(m, 1), (std::vector<std::pair<uint32_t, uint32_t>>{{48, 8}}));
    EXPECT_EQ(picture(m), picture(flat));
    EXPECT_EQ(m.songEndTick(), 70u);
}

}  // namespace
}  // namespace kantor
