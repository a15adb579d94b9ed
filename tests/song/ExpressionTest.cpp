#include <gtest/gtest.h>

#include <cmath>

#include "base/ByteIO.h"
#include "song/Expression.h"
#include "song/Song.h"
#include "song/SongFile.h"

namespace kantor {
namespace {

std::unique_ptr<VoxEvent> sungNote(uint32_t start, uint32_t end, uint32_t key) {
    auto e = std::make_unique<VoxEvent>();
    e->startTick = start;
    e->endTick = end;
    e->noteKey = key;
    e->setCode(0, "A");
    e->syllableLength[0] = 1;
    return e;
}

TEST(ExpressionLayout, NoteRecordBytesAndRoundTrip) {
    NoteExpression e;
    e.mark(NoteValue::Vibrato, true);
    e.vibratoDepthCents = 50;
    e.vibratoRateCentiHz = 550;
    e.vibratoDelayMs = 300;
    e.vibratoFadeMs = 120;
    e.mark(NoteValue::Time, true);
    e.timeMs = -40;
    e.mark(NoteValue::Pitch, true);
    e.detuneCents = 30;
    e.mark(NoteValue::Power, true);
    e.power = 2000;
    e.mark(NoteValue::Attack, true);
    e.attackCs = 30;
    e.mark(NoteValue::Falsetto, true);
    e.falsetto = true;
    const NoteSettings rec = e.encode();
    const uint8_t* b = rec.bytes.data();
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(b), 4), "KXN1");
    EXPECT_EQ(loadLE16(b + 4), 0x7D);  // all but smoothing
    EXPECT_EQ(loadLE16(b + 6), 50);
    EXPECT_EQ(loadLE16(b + 8), 550);
    EXPECT_EQ(loadLE16(b + 10), 300);
    EXPECT_EQ(loadLE16(b + 12), 120);
    EXPECT_EQ(b[16], 1);
    EXPECT_EQ(int16_t(loadLE16(b + 18)), -40);
    EXPECT_EQ(loadLE16(b + 20), 30);
    EXPECT_EQ(loadLE16(b + 22), 2000);
    EXPECT_EQ(loadLE16(b + 24), 30);
    for (std::size_t i = 26; i < 40; ++i) EXPECT_EQ(b[i], 0) << i;
    EXPECT_EQ(NoteExpression::decode(rec), e);

    SyllableExpression s;
    s.mark(SyllableValue::ConsonantSpeed, true);
    s.consonantSpeed = 200;
    const SyllableSettings srec = s.encode();
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(srec.bytes.data()), 4), "KXS1");
    EXPECT_EQ(loadLE16(srec.bytes.data() + 8), 200);
    EXPECT_EQ(SyllableExpression::decode(srec), s);
}

TEST(ExpressionLayout, UntaggedRecordsAreOpaqueAndDamagedValuesAreClamped) {
    NoteSettings zero;
    EXPECT_FALSE(NoteExpression::decode(zero));
    NoteSettings foreign;
    foreign.bytes.fill(0x7F);
    EXPECT_FALSE(NoteExpression::decode(foreign));
    SyllableSettings szero;
    EXPECT_FALSE(SyllableExpression::decode(szero));

    NoteSettings bad = NoteExpression{}.encode();
    bad.bytes[4] = 0xFF;  // unknown bits dropped
    bad.bytes[5] = 0xFF;
    bad.bytes[22] = 0;  // power 0
    bad.bytes[23] = 0;
    bad.bytes[6] = 0xFF;  // depth 65535
    bad.bytes[7] = 0xFF;
    const auto d = NoteExpression::decode(bad);
    ASSERT_TRUE(d);
    EXPECT_EQ(d->set, 0x7F);
    EXPECT_EQ(d->power, 1);
    EXPECT_EQ(d->vibratoDepthCents, 200);
    EXPECT_TRUE(d->check().empty());

    NoteExpression e;
    e.power = 0;
    EXPECT_NE(e.check(), "");
    e.power = 10001;
    EXPECT_NE(e.check(), "");
    e.power = 10000;
    e.attackCs = 101;
    EXPECT_NE(e.check(), "");
}

TEST(ExpressionDefaults, KeptInTheSpareTailOfTheDefaultsAndSavedWithTheSong) {
    Song song;
    song.resetDefaults();
    NoteExpression songWide;
    songWide.mark(NoteValue::Vibrato, true);
    songWide.vibratoDepthCents = 30;
    songWide.vibratoRateCentiHz = 600;
    songWide.mark(NoteValue::Power, true);
    songWide.power = 500;
    setNoteDefaults(song.songDefaults(), songWide);
    NoteExpression channel;
    channel.mark(NoteValue::Power, true);
    channel.power = 1500;
    setNoteDefaults(song.channelDefaults(2), channel);
    SyllableExpression sylDefaults;
    sylDefaults.mark(SyllableValue::ConsonantSpeed, true);
    sylDefaults.consonantSpeed = 50;
    setSyllableDefaults(song.channelDefaults(2), sylDefaults);
    // At file offsets 72 and 112 of the 144-byte record.
    EXPECT_EQ(song.channelDefaults(2).reserved2[0], 'K');
    EXPECT_EQ(song.channelDefaults(2).reserved2[40], 'K');

    song.channel(2).events.push_back(sungNote(0, 480, 60));
    auto& ch = song.channel(2);
    const uint16_t own = song.newNoteSettings(2);
    ASSERT_EQ(own, 1);
    NoteExpression mine;
    mine.mark(NoteValue::Pitch, true);
    mine.detuneCents = -15;
    *ch.noteSettings[0] = mine.encode();
    ch.events[0]->noteSettingsIndex = own;
    ch.events[0]->phraseIndex = 0;

    SongFile f;
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(f.build(song, "x.mid", 480, bytes)) << f.lastError();
    Song back;
    ASSERT_TRUE(f.readImage(back, bytes, "/tmp/x.uta")) << f.lastError();
    // The defaults block starts at 1300: song defaults, then channel 0, 1, 2.
    EXPECT_EQ(bytes[1300 + 72], 'K');
    EXPECT_EQ(bytes[1300 + 144 * 3 + 112], 'K');

    const NoteExpression r = resolvedNoteExpression(back, 2, *back.channel(2).events[0]);
    EXPECT_EQ(r.detuneCents, -15);          // the note's own
    EXPECT_EQ(r.power, 1500);               // the channel's
    EXPECT_EQ(r.vibratoDepthCents, 30);     // the song's
    EXPECT_FALSE(r.has(NoteValue::Attack));  // nobody's
    EXPECT_EQ(resolvedSyllableExpression(back, 2, *back.channel(2).events[0], 0).consonantSpeed, 50);
    // Another channel sees only the song's.
    back.channel(3).events.push_back(sungNote(0, 480, 60));
    EXPECT_EQ(resolvedNoteExpression(back, 3, *back.channel(3).events[0]).power, 500);

    // Clearing all values writes the zero bytes back.
    setNoteDefaults(song.songDefaults(), NoteExpression{});
    for (std::size_t i = 0; i < 40; ++i) EXPECT_EQ(song.songDefaults().reserved2[i], 0);
}

TEST(ExpressionEdit, SetCopiesSharedRecordsResetsDanglingOnesAndRefusesForeignOnes) {
    Song song;
    song.resetDefaults();
    for (int i = 0; i < 4; ++i) song.channel(0).events.push_back(sungNote(uint32_t(i) * 480, uint32_t(i + 1) * 480, 60));
    auto& ch = song.channel(0);
    // Notes 1 and 2 share a record; note 3 names none; note 4 holds another program's.
    NoteExpression shared;
    shared.mark(NoteValue::Power, true);
    shared.power = 3000;
    song.newNoteSettings(0);
    *ch.noteSettings[0] = shared.encode();
    ch.events[0]->noteSettingsIndex = 1;
    ch.events[1]->noteSettingsIndex = 1;
    ch.events[2]->noteSettingsIndex = 7;
    NoteExpression v;
    v.mark(NoteValue::Attack, true);
    v.attackCs = 20;
    std::string error;
    ASSERT_TRUE(setNoteExpression(song, 0, 1, 2, v, 0, error)) << error;
    EXPECT_EQ(ch.events[0]->noteSettingsIndex, 1);
    EXPECT_EQ(NoteExpression::decode(*ch.noteSettings[0]), shared);  // note 1 unchanged
    ASSERT_NE(ch.events[1]->noteSettingsIndex, 1);
    const auto second = NoteExpression::decode(*song.noteSettings(0, ch.events[1]->noteSettingsIndex));
    EXPECT_EQ(second->power, 3000);
    EXPECT_EQ(second->attackCs, 20);
    ASSERT_NE(ch.events[2]->noteSettingsIndex, 7);
    EXPECT_EQ(NoteExpression::decode(*song.noteSettings(0, ch.events[2]->noteSettingsIndex))->set,
              uint16_t(NoteValue::Attack));

    // Back to the default: the value's bit is cleared, the others stay.
    ASSERT_TRUE(setNoteExpression(song, 0, 1, 1, NoteExpression{}, uint16_t(NoteValue::Attack), error));
    EXPECT_EQ(NoteExpression::decode(*song.noteSettings(0, ch.events[1]->noteSettingsIndex))->set,
              uint16_t(NoteValue::Power));

    song.newNoteSettings(0);
    const uint16_t foreign = uint16_t(ch.noteSettings.size());
    ch.noteSettings.back()->bytes.fill(0x42);
    ch.events[3]->noteSettingsIndex = foreign;
    const std::size_t records = ch.noteSettings.size();
    EXPECT_FALSE(setNoteExpression(song, 0, 2, 3, v, 0, error));
    EXPECT_NE(error.find("another program"), std::string::npos);
    EXPECT_EQ(ch.noteSettings.size(), records);
    EXPECT_EQ(ch.noteSettings.back()->bytes[0], 0x42);
    EXPECT_FALSE(setNoteExpression(song, 0, 2, 4, v, 0, error));  // past the end
    NoteExpression bad;
    bad.mark(NoteValue::Power, true);
    bad.power = 0;
    EXPECT_FALSE(setNoteExpression(song, 0, 0, 0, bad, 0, error));

    // The batch change: ratio on every note's own power, attack for all, foreign left alone.
    NoteBatchExpression batch;
    batch.power = NoteBatchExpression::Power::Ratio;
    batch.ratioPercent = 50;
    batch.toDefault = uint16_t(NoteValue::Attack);
    ASSERT_TRUE(noteBatchExpression(song, 0, batch, error)) << error;
    EXPECT_EQ(NoteExpression::decode(*song.noteSettings(0, ch.events[0]->noteSettingsIndex))->power, 1500);
    EXPECT_EQ(NoteExpression::decode(*song.noteSettings(0, ch.events[2]->noteSettingsIndex))->power, 500);
    EXPECT_FALSE(NoteExpression::decode(*song.noteSettings(0, ch.events[2]->noteSettingsIndex))->has(NoteValue::Attack));
    EXPECT_EQ(ch.noteSettings[foreign - 1u]->bytes[0], 0x42);
}

TEST(ExpressionCurve, AllDefaultsAndUntaggedRecordsGiveAFlatCurve) {
    Song song;
    song.resetDefaults();
    song.channel(0).events.push_back(sungNote(0, 480, 60));
    song.channel(0).events.push_back(sungNote(480, 960, 65));
    song.newNoteSettings(0);  // all zero
    song.channel(0).events[1]->noteSettingsIndex = 1;
    song.channel(0).events[0]->noteSettingsIndex = 9;  // names no record
    const std::vector<const VoxEvent*> notes{song.channel(0).events[0].get(), song.channel(0).events[1].get()};
    for (std::size_t i = 0; i < 2; ++i)
        EXPECT_TRUE(expressionCurve(song, 0, notes, i, 0, 1000, ExpressionMode::Off).flat());
    // Auto gives the later note a glide up from the earlier, a vibrato (1000 ms) and an attack.
    const ExpressionCurve a = expressionCurve(song, 0, notes, 1, 0, 1000, ExpressionMode::Auto);
    EXPECT_DOUBLE_EQ(a.glideFromCents, -500);
    EXPECT_EQ(a.vibratoDepthCents, 40);
    EXPECT_DOUBLE_EQ(a.vibratoRateHz, 5.5);
    EXPECT_DOUBLE_EQ(a.attackMs, 30);
    // A short note has no vibrato; a note after a gap no glide.
    const ExpressionCurve s = expressionCurve(song, 0, notes, 1, 0, 399, ExpressionMode::Auto);
    EXPECT_EQ(s.vibratoDepthCents, 0);
    EXPECT_EQ(expressionCurve(song, 0, notes, 0, 0, 1000, ExpressionMode::Auto).glideFromCents, 0);
    // A MIDI legato's few ticks of gap still touch; a rest does not.
    song.channel(0).events[0]->endTick = 427;  // 53 ticks: less than an eighth of the note
    EXPECT_DOUBLE_EQ(expressionCurve(song, 0, notes, 1, 0, 1000, ExpressionMode::Auto).glideFromCents, -500);
    song.channel(0).events[0]->endTick = 426;  // 54 ticks: more
    EXPECT_EQ(expressionCurve(song, 0, notes, 1, 0, 1000, ExpressionMode::Auto).glideFromCents, 0);
}

TEST(ExpressionCurve, GlideRisesInTheSmoothingTimeWithASmallOvershoot) {
    NoteExpression n;
    n.mark(NoteValue::Smoothing, true);
    n.smoothingMs = 80;
    const ExpressionCurve k = curveOf(n, {}, -500.0, 1000, ExpressionMode::Off);
    EXPECT_DOUBLE_EQ(k.centsAt(-5), -500);
    double t10 = -1, t90 = -1, most = -1e9;
    for (double t = 0; t < 400; t += 0.05) {
        const double c = k.centsAt(t);
        if (t10 < 0 && c >= -450) t10 = t;
        if (t90 < 0 && c >= -50) t90 = t;
        most = std::max(most, c);
    }
    EXPECT_NEAR(t90 - t10, 80, 0.5);
    EXPECT_GT(most, 20);  // overshoots by about 6 % of a fourth
    EXPECT_LT(most, 40);
    EXPECT_DOUBLE_EQ(k.centsAt(400), 0);
    EXPECT_LE(std::pow(2.0, most / 1200.0), k.maxRatio() + 1e-12);
}

TEST(ExpressionCurve, VibratoAttackAndPower) {
    NoteExpression n;
    n.mark(NoteValue::Vibrato, true);
    n.vibratoDepthCents = 50;
    n.vibratoRateCentiHz = 550;
    n.vibratoDelayMs = 300;
    n.vibratoFadeMs = 100;
    n.mark(NoteValue::Power, true);
    n.power = 2000;
    n.mark(NoteValue::Attack, true);
    n.attackCs = 30;
    SyllableExpression s;
    s.mark(SyllableValue::Power, true);
    s.power = 500;
    const ExpressionCurve k = curveOf(n, s, std::nullopt, 2000, ExpressionMode::Auto);
    EXPECT_EQ(k.centsAt(299), 0);
    EXPECT_NEAR(k.centsAt(300 + 1000 / 5.5 / 4), 50 * (1000 / 5.5 / 4) / 100, 1e-9);  // fading in
    EXPECT_NEAR(k.centsAt(300 + 1000 / 5.5 * 1.25), 50, 1e-9);                       // full depth
    EXPECT_NEAR(k.maxRatio(), std::pow(2.0, 50 / 1200.0), 1e-12);
    // Power 2 times 0.5: unity, then -3 dB at the attack time.
    EXPECT_NEAR(k.levelAt(300), 1 / std::sqrt(2.0), 1e-9);
    EXPECT_NEAR(k.levelAt(5000), 1.0, 1e-6);
    EXPECT_EQ(k.levelAt(0), 0.0);
    EXPECT_FALSE(k.flat());
}

}  // namespace
}  // namespace kantor
