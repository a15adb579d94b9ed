#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "base/ByteIO.h"
#include "base/FileIO.h"
#include "song/Song.h"
#include "song/SongFile.h"
#include "support/TempDir.h"

namespace kantor {
namespace {

using namespace songfile;

std::unique_ptr<VoxEvent> sung(uint32_t start, const char* code, uint16_t phrase = 0) {
    auto e = std::make_unique<VoxEvent>();
    e->startTick = start;
    e->endTick = start + 240;
    e->noteKey = 72;
    e->setCode(0, code);
    e->syllableLength[0] = 2;
    e->phraseIndex = phrase;
    return e;
}

// A song using every part of the file.
void fill(Song& s) {
    s.titleInfo().title = "さくら さくら";
    s.titleInfo().lyricist = "作詞者";
    s.titleInfo().extraLine3 = "line 3";
    s.channelFlags().set(ChannelFlags::MidiMute, 9, true);
    s.channelFlags().set(ChannelFlags::VoxSolo, 0, true);
    s.songDefaults().timingOffset = -20;
    s.channelDefaults(1).ownVoice = 1;
    s.channelDefaults(1).voiceName = "Alto";
    s.channelDefaults(1).reserved2[60] = 0xAB;
    s.reserved1 = 0x11223344;
    s.reserved2 = 5;
    s.reserved3 = 0xBEEF;
    s.putLyricLine(0, "さくら");
    s.putLyricLine(1920, "やよいの そらは");
    WaveInsert w;
    w.position = 960;
    w.setPath("/home/u/waves/clap.wav");
    w.waveValue1 = (1u << 16) | 16;
    w.waveValue2 = 44100;
    s.putWaveInsert(w);

    VoxChannel& ch = s.channel(0);
    auto phrase = std::make_unique<VoiceSettings>();
    phrase->ownVolume = 1;
    phrase->phraseVolume = 150;
    ch.phrases.push_back(std::move(phrase));
    auto syl = std::make_unique<SyllableSettings>();
    syl->bytes[5] = 7;
    ch.syllableSettings.push_back(std::move(syl));
    auto ns = std::make_unique<NoteSettings>();
    ns->bytes[39] = 9;
    ch.noteSettings.push_back(std::move(ns));
    ch.events.push_back(sung(0, "SA", 1));
    ch.events.back()->syllableSettingsIndex[2] = 1;
    ch.events.back()->noteSettingsIndex = 1;
    ch.events.back()->reserved[35] = 0x5A;
    ch.events.push_back(sung(480, "KU"));
    ch.events.back()->phraseGroup = 3;
    ch.events.back()->noteParam = 12;

    s.channel(7).events.push_back(sung(0, "RA"));
    // A Vox channel with no syllable anywhere: not written.
    s.channel(3).events.push_back(std::make_unique<VoxEvent>());
}

std::vector<uint8_t> build(Song& s, uint16_t division = 480) {
    SongFile f;
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(f.build(s, "/music/folder\\Sakura.mid", division, bytes)) << f.lastError();
    return bytes;
}

uint32_t u32(const std::vector<uint8_t>& b, std::size_t at) { return loadLE32(b.data() + at); }

TEST(SongFile, EmptySongLayout) {
    Song s;
    auto b = build(s);
    ASSERT_EQ(b.size(), kHeaderSize + kDefaultsSize + 16 + 16);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(b.data())), "My Kantorellion");
    EXPECT_EQ(loadLE16(b.data() + 0x10), 211);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(b.data() + 0x150)), "\x8d\xec\x8e\x8c\x81\x46");  // 作詞：
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(b.data() + 0x190)), "Sakura.mid");
    EXPECT_EQ(u32(b, 0x290), 0u);  // no lyric lines: offset 0, the zero count header stays
    EXPECT_EQ(u32(b, 0x314), 1300u);
    EXPECT_EQ(u32(b, 0x318), 0u);
    EXPECT_EQ(loadLE16(b.data() + 0x31C), 480);
    for (std::size_t i = kHeaderSize + kDefaultsSize; i < b.size(); ++i) EXPECT_EQ(b[i], 0) << i;
    // The song defaults record.
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(b.data() + 1300 + 16)), "MaleVox");
    EXPECT_EQ(u32(b, 1300 + 48), 440000u);
    EXPECT_EQ(loadLE16(b.data() + 1300 + 52), 100);
    EXPECT_EQ(loadLE16(b.data() + 1300 + 54), 20);
}

TEST(SongFile, BlocksLieWhereTheHeaderSays) {
    Song s;
    fill(s);
    auto b = build(s);
    const std::size_t lyrics = kHeaderSize + kDefaultsSize;
    EXPECT_EQ(u32(b, 0x290), lyrics);
    EXPECT_EQ(u32(b, lyrics), 2u);
    EXPECT_EQ(u32(b, lyrics + 16), 0u);  // reserved word
    EXPECT_EQ(u32(b, lyrics + 16 + 72 + 4), 1920u);

    const std::size_t ch0 = lyrics + 16 + 2 * 72;
    EXPECT_EQ(u32(b, 0x294), ch0);
    EXPECT_EQ(u32(b, 0x294 + 4 * 3), 0u);  // channel 3 has no syllable
    EXPECT_EQ(u32(b, ch0), 1u);                            // phrases
    EXPECT_EQ(loadLE16(b.data() + ch0 + 16 + 52), 150);    // its volume
    const std::size_t syl = ch0 + 16 + 104;
    EXPECT_EQ(u32(b, syl), 1u);
    EXPECT_EQ(b[syl + 16 + 5], 7);
    const std::size_t notes = syl + 16 + 32;
    EXPECT_EQ(u32(b, notes), 1u);
    const std::size_t events = notes + 16 + 40;
    EXPECT_EQ(u32(b, events), 2u);
    const uint8_t* e0 = b.data() + events + 16;
    EXPECT_EQ(loadLE32(e0 + 8), 0u);
    EXPECT_EQ(loadLE16(e0 + 16), 1);  // hasLyric recomputed
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(e0 + 20), 2), "SA");
    EXPECT_EQ(loadLE16(e0 + 52 + 4), 1);  // syllableSettingsIndex[2]
    EXPECT_EQ(loadLE16(e0 + 60), 1);      // phraseIndex
    EXPECT_EQ(loadLE16(e0 + 64), 1);      // noteSettingsIndex
    EXPECT_EQ(e0[103], 0x5A);
    const uint8_t* e1 = e0 + 104;
    EXPECT_EQ(loadLE16(e1 + 62), 3);
    EXPECT_EQ(loadLE16(e1 + 66), 12);

    const std::size_t ch7 = events + 16 + 2 * 104;
    EXPECT_EQ(u32(b, 0x294 + 4 * 7), ch7);
    const std::size_t waves = ch7 + 16 * 4 + 104;
    EXPECT_EQ(u32(b, 0x318), waves);
    EXPECT_EQ(u32(b, waves), 1u);
    const std::size_t rec = waves + 16;
    EXPECT_EQ(u32(b, rec), 960u);
    EXPECT_EQ(u32(b, rec + 4), rec + 28);  // path block right after the records
    EXPECT_EQ(u32(b, rec + 8), 24u);       // 22 characters + 1, rounded up to 4
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(b.data() + rec + 28)), "/home/u/waves/clap.wav");
    EXPECT_EQ(u32(b, rec + 20), rec + 28 + 24);
    EXPECT_EQ(u32(b, rec + 24), 12u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(b.data() + rec + 52)), "clap.wav");
    EXPECT_EQ(b.size(), rec + 28 + 24 + 12);

    EXPECT_EQ(b[0x2D4 + 9], 1);        // Midi Mute of channel 10
    EXPECT_EQ(b[0x2D4 + 48], 1);       // Vox Solo of channel 1
    EXPECT_EQ(u32(b, 0x31E), 0x11223344u);
    EXPECT_EQ(loadLE16(b.data() + 0x326), 0xBEEF);
}

TEST(SongFile, ReadBackAndSaveAgainIsByteIdentical) {
    Song s;
    fill(s);
    auto first = build(s, 960);
    Song t;
    SongFile f;
    ASSERT_TRUE(f.readImage(t, first, "/songs/x.uta")) << f.lastError();
    EXPECT_EQ(t.titleInfo(), s.titleInfo());
    EXPECT_EQ(t.channelFlags(), s.channelFlags());
    EXPECT_EQ(t.channelDefaults(1), s.channelDefaults(1));
    EXPECT_EQ(t.storedDivision(), 960);
    EXPECT_EQ(t.midiPath(), "/songs/Sakura.mid");
    EXPECT_EQ(t.waveInserts()[0]->name, "clap.wav");
    EXPECT_FALSE(t.isVoxChannel(3));
    ASSERT_EQ(t.channel(0).events.size(), 2u);
    EXPECT_EQ(t.channel(0).events[0]->reserved[35], 0x5A);
    EXPECT_EQ(t.resolvePhraseSettings(0, t.channel(0).events[0]->phraseIndex).phraseVolume, 150);
    EXPECT_EQ(build(t, 960), first);
}

TEST(SongFile, SharedAndDanglingReferencesAreRenumbered) {
    Song s;
    VoxChannel& ch = s.channel(2);
    for (int i = 0; i < 3; ++i) ch.phrases.push_back(std::make_unique<VoiceSettings>());
    ch.phrases[1]->phraseVolume = 77;
    ch.phrases[2].reset();
    ch.events.push_back(sung(0, "A", 2));
    ch.events.push_back(sung(10, "I", 2));  // the same record again
    ch.events.push_back(sung(20, "U", 3));  // an empty slot
    ch.events.push_back(sung(30, "E", 9));  // past the end
    ch.events.back()->noteSettingsIndex = 4;
    Song t;
    SongFile f;
    ASSERT_TRUE(f.readImage(t, build(s), "a.uta"));
    const VoxChannel& r = t.channel(2);
    ASSERT_EQ(r.phrases.size(), 2u);  // written once per reference, unreferenced dropped
    EXPECT_EQ(r.phrases[0]->phraseVolume, 77);
    EXPECT_EQ(r.phrases[1]->phraseVolume, 77);
    EXPECT_EQ(r.events[0]->phraseIndex, 1);
    EXPECT_EQ(r.events[1]->phraseIndex, 2);
    EXPECT_EQ(r.events[2]->phraseIndex, 0);
    EXPECT_EQ(r.events[3]->phraseIndex, 0);
    EXPECT_EQ(r.events[3]->noteSettingsIndex, 0);
    EXPECT_TRUE(r.noteSettings.empty());
    EXPECT_EQ(t.midiPath(), "Sakura.mid");
    // The song in memory keeps its own numbering.
    EXPECT_EQ(s.channel(2).events[3]->phraseIndex, 9);
}

TEST(SongFile, LongTextsAreCutWithoutSplittingACharacter) {
    Song s;
    s.titleInfo().title = std::string();
    for (int i = 0; i < 40; ++i) s.titleInfo().title += "歌";
    s.titleInfo().commentLabel = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    Song t;
    SongFile f;
    ASSERT_TRUE(f.readImage(t, build(s), "a.uta"));
    EXPECT_EQ(t.titleInfo().title.size(), 29u * 3);  // 29 characters of 2 bytes fit in 59
    EXPECT_EQ(t.titleInfo().commentLabel, "ABCDEFGHIJKLMNO");
}

TEST(SongFile, RefusedFiles) {
    Song s;
    fill(s);
    const auto good = build(s);
    Song t;
    SongFile f;
    // A refusal keeps the song reader's text and names the file and the reason below it.
    auto expectFail = [&](std::vector<uint8_t> b, const char* text) {
        EXPECT_FALSE(f.readImage(t, b, "/x/a.uta"));
        if (std::string(text) == kReadFailed) {
            const std::string second = std::string(kReadFailed) + "\n/x/a.uta: ";
            EXPECT_TRUE(f.lastError().starts_with(second) && f.lastError().size() > second.size() + 10)
                << f.lastError();
        } else {
            EXPECT_EQ(f.lastError(), text);
        }
        EXPECT_TRUE(t.songPath().empty());
        EXPECT_FALSE(t.isVoxChannel(0));
        EXPECT_TRUE(t.lyricLines().empty());
    };
    for (uint16_t v : {210, 212}) {
        auto b = good;
        storeLE16(b.data() + 0x10, v);
        expectFail(b, kReadFailed);
    }
    {
        auto b = good;
        b[3] = 'x';
        expectFail(b, kWrongMagic);
    }
    expectFail(std::vector<uint8_t>(good.begin(), good.begin() + 1299), kReadFailed);
    expectFail({}, kReadFailed);
    expectFail(std::vector<uint8_t>(good.begin(), good.end() - 1), kReadFailed);  // name block cut short
    // Every offset pointing outside the file, and counts too large for it.
    for (std::size_t at : {0x290u, 0x294u, 0x2B0u, 0x314u, 0x318u}) {
        auto b = good;
        storeLE32(b.data() + at, static_cast<uint32_t>(b.size() + 4));
        expectFail(b, kReadFailed);
        storeLE32(b.data() + at, 0xFFFFFFF0u);
        expectFail(b, kReadFailed);
    }
    for (std::size_t header : {0x290u, 0x294u, 0x318u}) {
        auto b = good;
        storeLE32(b.data() + u32(good, header), 0xFFFFu);
        expectFail(b, kReadFailed);
    }
    {
        auto b = good;
        storeLE32(b.data() + u32(good, 0x294), 0xFFFFFFFFu);  // a channel list counts in 32 bits
        expectFail(b, kReadFailed);
        const std::size_t rec = u32(good, 0x318) + 16;
        b = good;
        storeLE32(b.data() + rec + 8, 0x7FFFFFFF);  // path block size
        expectFail(b, kReadFailed);
        b = good;
        storeLE32(b.data() + rec + 20, static_cast<uint32_t>(b.size()));  // name block offset
        expectFail(b, kReadFailed);
    }
    EXPECT_TRUE(f.readImage(t, good, "/x/a.uta"));
    // The reasons say what is wrong.
    EXPECT_FALSE(f.readImage(t, std::vector<uint8_t>(100, 0), "/x/a.uta"));
    EXPECT_EQ(f.lastError(), std::string(kReadFailed) +
                                 "\n/x/a.uta: the file holds 100 bytes, less than a song's header (1300)");
    auto b = good;
    storeLE32(b.data() + u32(good, 0x294), 0xFFFFFFFFu);
    EXPECT_FALSE(f.readImage(t, b, "/x/a.uta"));
    EXPECT_EQ(f.lastError(), std::string(kReadFailed) + "\n/x/a.uta: MidiCh=1: the phrase list runs past the end of the file");
}

TEST(SongFile, HeaderDetailsOnReading) {
    Song s;
    fill(s);
    auto b = build(s);
    b[0x2D4 + 1] = 2;  // only a byte of exactly 1 sets a flag
    b[0x2D4 + 9] = 0xFF;
    storeLE32(b.data() + 0x314, 0);  // no defaults block: new-song defaults
    storeLE32(b.data() + u32(b, 0x290), 0x10001);  // the lyric count is 16 bits
    std::memcpy(b.data() + 0x190, "..\\sub/x.mid", 13);  // a stored name with folders
    const std::size_t nameBlock = u32(b, u32(b, 0x318) + 16 + 20);
    std::memcpy(b.data() + nameBlock, "..\\a.wav", 9);
    Song t;
    t.channelDefaults(4).ownTuning = 1;
    SongFile f;
    ASSERT_TRUE(f.readImage(t, b, "a.uta")) << f.lastError();
    EXPECT_FALSE(t.channelFlags().get(ChannelFlags::MidiMute, 1));
    EXPECT_FALSE(t.channelFlags().get(ChannelFlags::MidiMute, 9));
    EXPECT_EQ(t.songDefaults(), VoiceSettings::newSongDefaults());
    EXPECT_EQ(t.channelDefaults(1), VoiceSettings{});
    EXPECT_EQ(t.channelDefaults(4), VoiceSettings{});
    EXPECT_EQ(t.lyricLines().size(), 1u);
    EXPECT_EQ(t.midiPath(), "x.mid");  // always beside the song file
    EXPECT_EQ(t.waveInserts()[0]->name, "..\\a.wav");  // kept as stored
    EXPECT_EQ(t.waveInserts()[0]->fileName(), "a.wav");
}

TEST(SongFile, ReadingFromDisk) {
    test::TempDir dir;
    Song t;
    SongFile f;
    EXPECT_FALSE(f.read(t, ""));
    EXPECT_EQ(f.lastError(), "Non UtaFile Path");
    EXPECT_FALSE(f.read(t, dir.file("none.uta")));
    EXPECT_EQ(f.lastError(), std::string("Utaﾌｧｲﾙが見つかりません。\n") + dir.file("none.uta"));
    Song s;
    fill(s);
    ASSERT_TRUE(f.write(s, dir.file("a.uta"), dir.file("Sakura.mid"), 480));
    ASSERT_TRUE(f.read(t, dir.file("a.uta")));
    EXPECT_EQ(t.songPath(), dir.file("a.uta"));
    EXPECT_EQ(t.midiPath(), dir.file("Sakura.mid"));
}

TEST(SongFile, FailedSaveLeavesTheOldFileAndNoTemporaryFile) {
    test::TempDir dir;
    const std::string path = dir.file("song.uta");
    Song s;
    SongFile f;
    ASSERT_TRUE(f.write(s, path, "song.mid", 480));
    std::vector<uint8_t> old;
    ASSERT_EQ(readWholeFile(path, old), ReadStatus::Ok);
    fill(s);
    for (auto fault : {AtomicFile::Fault::Open, AtomicFile::Fault::Write, AtomicFile::Fault::Sync,
                       AtomicFile::Fault::Rename}) {
        AtomicFile::injectFaultForTesting(fault);
        EXPECT_FALSE(f.write(s, path, "song.mid", 960));
        AtomicFile::injectFaultForTesting(AtomicFile::Fault::None);
        EXPECT_EQ(f.lastError().rfind("Utaﾌｧｲﾙの保存に失敗しました。\n", 0), 0u) << f.lastError();
        std::vector<uint8_t> now;
        ASSERT_EQ(readWholeFile(path, now), ReadStatus::Ok);
        EXPECT_EQ(now, old);
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
        EXPECT_EQ(s.storedDivision(), 480);  // as at the last save that worked
    }
    ASSERT_TRUE(f.write(s, path, "song.mid", 960));
    EXPECT_EQ(s.storedDivision(), 960);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST(SongFile, TooManyLyricLinesFailTheSave) {
    Song s;
    for (uint32_t i = 0; i < 0x10000; ++i) s.lyricLines().push_back(std::make_unique<LyricLine>());
    SongFile f;
    std::vector<uint8_t> b;
    EXPECT_FALSE(f.build(s, "a.mid", 480, b));
    EXPECT_EQ(f.lastError(), std::string(kSaveFailed) + "\na list holds more than 65,535 entries");
    s.lyricLines().pop_back();
    EXPECT_TRUE(f.build(s, "a.mid", 480, b));
}

}  // namespace
}  // namespace kantor

namespace kantor {
namespace {

using namespace songfile;

TEST(SongFile, RunawayValuesAreRefusedWhereTheFileIsRead) {
    Song s;
    s.channel(0).events.push_back(sung(480, "SA", 0));
    SongFile f;
    Song t;
    std::vector<uint8_t> b;
    ASSERT_TRUE(f.build(s, "a.mid", 480, b));
    ASSERT_TRUE(f.readImage(t, b, "/x/a.uta"));

    // One flipped bit makes a note end before it starts: 4 billion ticks long.
    s.channel(0).events[0]->endTick = 479;
    ASSERT_TRUE(f.build(s, "a.mid", 480, b));
    EXPECT_FALSE(f.readImage(t, b, "/x/a.uta"));
    EXPECT_NE(f.lastError().find("MidiCh=1: note 1 ends (tick 479) before it starts (tick 480)"), std::string::npos)
        << f.lastError();
    s.channel(0).events[0]->endTick = 720;

    s.songDefaults().tuning = 0xFFFFFFFF;
    ASSERT_TRUE(f.build(s, "a.mid", 480, b));
    EXPECT_FALSE(f.readImage(t, b, "/x/a.uta"));
    EXPECT_NE(f.lastError().find("tuning"), std::string::npos) << f.lastError();
    s.songDefaults().tuning = 440000;
    // A channel's tuning counts only where it applies.
    s.channelDefaults(2).tuning = 5;
    ASSERT_TRUE(f.build(s, "a.mid", 480, b));
    EXPECT_TRUE(f.readImage(t, b, "/x/a.uta")) << f.lastError();
    s.channelDefaults(2).ownTuning = 1;
    ASSERT_TRUE(f.build(s, "a.mid", 480, b));
    EXPECT_FALSE(f.readImage(t, b, "/x/a.uta"));
}

TEST(SongFile, NamesShiftJisLacksAreRefusedAtSave) {
    Song s;
    SongFile f;
    std::vector<uint8_t> b;
    EXPECT_FALSE(f.build(s, "/music/Café.mid", 480, b));
    EXPECT_NE(f.lastError().find("Café.mid"), std::string::npos) << f.lastError();
    EXPECT_TRUE(b.empty());
    EXPECT_FALSE(f.build(s, "/m/" + std::string(256, 'x') + ".mid", 480, b));
    EXPECT_TRUE(f.build(s, "/music/さくら.mid", 480, b)) << f.lastError();

    WaveInsert w;
    w.setPath("/home/u/Música/clap.wav");
    s.putWaveInsert(w);
    EXPECT_FALSE(f.build(s, "a.mid", 480, b));
    EXPECT_NE(f.lastError().find("Música"), std::string::npos) << f.lastError();
}

}  // namespace
}  // namespace kantor
