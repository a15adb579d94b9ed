// Singing with expression, measured on the rendered sound with an independent pitch tracker.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <numeric>

#include "base/Fft.h"
#include "midi/MidiFile.h"
#include "midi/SmfWriter.h"
#include "midi/TempoMap.h"
#include "song/Expression.h"
#include "song/Song.h"
#include "song/VoxTrackBuilder.h"
#include "support/PitchTracker.h"
#include "support/SyntheticVoice.h"
#include "support/TempDir.h"
#include "synth/NoteFrequency.h"
#include "synth/SongRenderer.h"
#include "synth/SynthEngine.h"
#include "voice/VoiceBank.h"

namespace kantor {
namespace {

// 960 ticks a second: tick 1920 is 2000 ms.
struct Fixture {
    test::TempDir dir;
    MidiFile midi;
    TempoMap map;
    Song song;
    VoiceBank bank;
    SynthEngine engine{bank, map};

    explicit Fixture(const std::vector<std::tuple<uint32_t, uint32_t, int>>& notes) {
        test::writeSyntheticVoice(dir.path(), "TestVox", {{"A", "あ", 69}});
        bank.setVoiceFolder(dir.path());
        SmfTrack t;
        t.tempo(0, 500000);
        for (auto [s, e, key] : notes) t.note(s, e, 0, key, 100);
        EXPECT_TRUE(midi.loadImage(buildSmf(0, 480, {t}), dir.file("s.mid")));
        EXPECT_TRUE(map.build(midi));
        song.songDefaults().voiceName = "TestVox";
        EXPECT_TRUE(makeVoxChannel(song, midi.channel(0), 0));
        song.setSongPath(dir.file("s.uta"));
        for (std::size_t i = 0; i < notes.size(); ++i) {
            note(i).setCode(0, "A");
            note(i).syllableLength[0] = 1;
        }
        song.makePhraseHead(0, 0);
    }
    VoxEvent& note(std::size_t i) { return *song.channel(0).events[i]; }
    void set(std::size_t i, const NoteExpression& e) {
        if (note(i).noteSettingsIndex == 0) note(i).noteSettingsIndex = song.newNoteSettings(0);
        *song.channel(0).noteSettings[note(i).noteSettingsIndex - 1u] = e.encode();
    }
    PlaybackPiece render(PitchMode mode, ExpressionMode expression = ExpressionMode::Off) {
        engine.setPitchMode(mode);
        engine.setExpressionMode(expression);
        SongRenderer renderer(song, engine);
        RenderRequest r;
        std::vector<PlaybackPiece> pieces;
        EXPECT_TRUE(renderer.renderSong(r, pieces)) << renderer.lastError();
        EXPECT_EQ(pieces.size(), 1u);
        return pieces.empty() ? PlaybackPiece{} : std::move(pieces[0]);
    }
};

constexpr PitchMode kModes[] = {PitchMode::Resample, PitchMode::KeepFormants};
const char* name(PitchMode m) { return m == PitchMode::Resample ? "resample" : "keep formants"; }

double hzOfKey(int key) { return noteFrequency(uint32_t(key), 440000) / 1000.0; }

// Tracked cents against `key`, with times from the note start at `noteMs` (song time).
struct Track {
    std::vector<double> ms, cents;
};
Track track(const PlaybackPiece& p, int key, double noteMs, double hopMs = 1.0) {
    Track t;
    for (const auto& f : test::trackPitch(p.data.samples(), 44100, 120, 1200, hopMs)) {
        if (f.hz <= 0) continue;
        t.ms.push_back(f.ms + p.startMs - noteMs);
        t.cents.push_back(test::centsBetween(f.hz, hzOfKey(key)));
    }
    return t;
}

double rms(const std::vector<int16_t>& s, std::size_t from, std::size_t n) {
    double sum = 0;
    for (std::size_t i = from; i < from + n && i < s.size(); ++i) sum += double(s[i]) * s[i];
    return std::sqrt(sum / double(n));
}

TEST(ExpressionRender, UntaggedAndAllZeroRecordsRenderByteForByteAsWithout) {
    for (PitchMode mode : kModes) {
        Fixture f({{1920, 2880, 69}, {2880, 3840, 64}});
        const PlaybackPiece plain = f.render(mode);
        f.note(0).noteSettingsIndex = f.song.newNoteSettings(0);  // all zero
        f.note(1).noteSettingsIndex = f.song.newNoteSettings(0);
        f.song.channel(0).noteSettings[1]->bytes.fill(0x33);  // another program's record
        f.note(1).syllableSettingsIndex[0] = f.song.newSyllableSettings(0);
        f.song.channel(0).syllableSettings[0]->bytes.fill(0xC5);
        // A tagged record that sets nothing is all defaults, too.
        f.note(0).syllableSettingsIndex[0] = f.song.newSyllableSettings(0);
        *f.song.channel(0).syllableSettings[1] = SyllableExpression{}.encode();
        const PlaybackPiece again = f.render(mode);
        EXPECT_EQ(again.data.samples(), plain.data.samples()) << name(mode);
        EXPECT_EQ(again.startMs, plain.startMs);
        EXPECT_EQ(again.startTick, plain.startTick);
    }
}

TEST(ExpressionRender, VibratoRateDepthAndDelayAsTracked) {
    for (PitchMode mode : kModes) {
        Fixture f({{1920, 3840, 69}});  // 2 s
        NoteExpression e;
        e.mark(NoteValue::Vibrato, true);
        e.vibratoDepthCents = 50;
        e.vibratoRateCentiHz = 550;
        e.vibratoDelayMs = 300;
        f.set(0, e);
        const Track t = track(f.render(mode), 69, 2000, 2.0);
        ASSERT_GT(t.ms.size(), 500u) << name(mode);
        // Start: the first frame after the note start that leaves the note by 15 cents.
        double start = -1;
        for (std::size_t i = 0; i < t.ms.size(); ++i)
            if (t.ms[i] > 60 && std::abs(t.cents[i]) > 15) {
                start = t.ms[i];
                break;
            }
        // The sine needs asin(0.3) / (2 pi 5.5) s = 8.8 ms to reach 15 cents.
        EXPECT_NEAR(start - 8.8, 300, 30) << name(mode);
        // Rate from the upward zero crossings, depth from the swing, over 0.5..1.9 s.
        std::vector<double> ups;
        double lo = 1e9, hi = -1e9, sumSq = 0;
        int n = 0;
        for (std::size_t i = 1; i < t.ms.size(); ++i) {
            if (t.ms[i] < 500 || t.ms[i] > 1900) continue;
            if (t.cents[i - 1] < 0 && t.cents[i] >= 0) ups.push_back(t.ms[i]);
            lo = std::min(lo, t.cents[i]);
            hi = std::max(hi, t.cents[i]);
            sumSq += t.cents[i] * t.cents[i];
            ++n;
        }
        ASSERT_GE(ups.size(), 5u) << name(mode);
        const double rate = 1000.0 * double(ups.size() - 1) / (ups.back() - ups.front());
        const double depth = std::sqrt(2 * sumSq / n);
        EXPECT_NEAR(rate, 5.5, 0.2) << name(mode);
        EXPECT_NEAR(depth, 50, 5) << name(mode);
        EXPECT_NEAR((hi - lo) / 2, 50, 8) << name(mode);
        RecordProperty(std::string("vibrato_rate_") + (mode == PitchMode::Resample ? "resample" : "formant"),
                       std::to_string(rate) + " Hz, depth " + std::to_string(depth) + " cents, start " +
                           std::to_string(start - 8.8) + " ms");
        std::printf("[figures] %s: vibrato rate %.3f Hz, depth %.1f cents (swing %.1f), start %.1f ms\n",
                    name(mode), rate, depth, (hi - lo) / 2, start - 8.8);
    }
}

TEST(ExpressionRender, SmoothingGlidesAFourthInTheSmoothingTime) {
    for (PitchMode mode : kModes) {
        Fixture f({{960, 1920, 64}, {1920, 2880, 69}});  // 1 s each, touching at 2000 ms
        NoteExpression e;
        e.mark(NoteValue::Smoothing, true);
        e.smoothingMs = 80;
        f.set(1, e);
        const Track t = track(f.render(mode), 69, 2000);
        // From -500 cents (the earlier note) to 0: the times the rise passes -450 and -50.
        double t10 = -1, t90 = -1;
        for (std::size_t i = 0; i < t.ms.size(); ++i) {
            if (t.ms[i] < -20 || t.ms[i] > 400) continue;
            if (t10 < 0 && t.cents[i] > -450) t10 = t.ms[i];
            if (t10 >= 0 && t90 < 0 && t.cents[i] > -50) t90 = t.ms[i];
        }
        ASSERT_GE(t10, -20) << name(mode);
        ASSERT_GE(t90, 0) << name(mode);
        EXPECT_NEAR(t90 - t10, 80, 15) << name(mode);
        std::printf("[figures] %s: smoothing 80 ms: 10-90%% in %.1f ms (from %.1f to %.1f ms after the boundary)\n",
                    name(mode), t90 - t10, t10, t90);
        // Without smoothing the change is a step.
        f.set(1, NoteExpression{});
        const Track s = track(f.render(mode), 69, 2000);
        double s10 = -1, s90 = -1;
        for (std::size_t i = 0; i < s.ms.size(); ++i) {
            if (s.ms[i] < -20 || s.ms[i] > 400) continue;
            if (s10 < 0 && s.cents[i] > -450) s10 = s.ms[i];
            if (s10 >= 0 && s90 < 0 && s.cents[i] > -50) s90 = s.ms[i];
        }
        EXPECT_LT(s90 - s10, 20) << name(mode);
    }
}

TEST(ExpressionRender, PowerAttackTimeAndPitch) {
    for (PitchMode mode : kModes) {
        Fixture f({{1920, 3840, 69}});
        const PlaybackPiece plain = f.render(mode);
        const std::vector<int16_t> p = plain.data.samples();

        NoteExpression power;
        power.mark(NoteValue::Power, true);
        power.power = 2000;
        f.set(0, power);
        const PlaybackPiece loud = f.render(mode);
        const double db = 20 * std::log10(rms(loud.data.samples(), 44100, 22050) / rms(p, 44100, 22050));
        EXPECT_NEAR(db, 6.0, 0.3) << name(mode);

        NoteExpression attack;
        attack.mark(NoteValue::Attack, true);
        attack.attackCs = 30;
        f.set(0, attack);
        const std::vector<int16_t> a = f.render(mode).data.samples();
        // 5 ms windows of the level against the plain render, from the sound's start.
        double reached = -1;
        for (std::size_t at = 0; at + 220 < a.size(); at += 44) {
            const double ref = rms(p, at, 220);
            if (ref > 100 && rms(a, at, 220) / ref >= 1 / std::sqrt(2.0)) {
                reached = (double(at) + 110) / 44.1;
                break;
            }
        }
        EXPECT_NEAR(reached, 300, 30) << name(mode);

        NoteExpression time;
        time.mark(NoteValue::Time, true);
        time.timeMs = 50;
        f.set(0, time);
        const PlaybackPiece late = f.render(mode);
        EXPECT_NEAR(double(late.startMs) - double(plain.startMs), 50, 2) << name(mode);
        EXPECT_EQ(late.data.samples(), p) << name(mode);

        NoteExpression pitch;
        pitch.mark(NoteValue::Pitch, true);
        pitch.detuneCents = 30;
        f.set(0, pitch);
        const Track t = track(f.render(mode), 69, 2000, 5.0);
        std::vector<double> mid;
        for (std::size_t i = 0; i < t.ms.size(); ++i)
            if (t.ms[i] > 200 && t.ms[i] < 1800) mid.push_back(t.cents[i]);
        ASSERT_GT(mid.size(), 100u);
        std::nth_element(mid.begin(), mid.begin() + long(mid.size() / 2), mid.end());
        const double detune = mid[mid.size() / 2];
        EXPECT_NEAR(detune, 30, 3) << name(mode);
        std::printf("[figures] %s: power 2.000 %+.2f dB, attack -3 dB at %.1f ms, time %+d ms, pitch %+.1f cents\n",
                    name(mode), db, reached, int(late.startMs) - int(plain.startMs), detune);
    }
}

// The energy of 8192 samples from `from` between lo and hi Hz (Hann window).
double bandEnergy(const std::vector<int16_t>& s, std::size_t from, double lo, double hi) {
    const std::size_t n = 8192;
    std::vector<std::complex<double>> a(n);
    for (std::size_t i = 0; i < n; ++i) a[i] = (0.5 - 0.5 * std::cos(2 * M_PI * double(i) / n)) * s[from + i];
    fft(a);
    double e = 0;
    for (std::size_t k = 1; k < n / 2; ++k) {
        const double hz = double(k) * 44100 / n;
        if (hz >= lo && hz < hi) e += std::norm(a[k]);
    }
    return e;
}

TEST(ExpressionRender, FalsettoIsLighterAndConsonantSpeedShortensTheLeadIn) {
    for (PitchMode mode : kModes) {
        // Resampled at 440 Hz, the third harmonic lies above 1 kHz; formant keeping sings at the
        // sample's pitch (the synthetic vowel's envelope ends at its third harmonic, 660 Hz).
        const int key = mode == PitchMode::Resample ? 81 : 69;
        Fixture high({{1920, 3840, key}});
        const PlaybackPiece plain = high.render(mode);
        NoteExpression e;
        e.mark(NoteValue::Falsetto, true);
        e.falsetto = true;
        high.set(0, e);
        const PlaybackPiece light = high.render(mode);
        const double f0 = hzOfKey(key);
        auto tilt = [&](const PlaybackPiece& p) {
            const auto s = p.data.samples();
            return bandEnergy(s, 22050, 1000, 4000) / bandEnergy(s, 22050, f0 - 30, f0 + 30);
        };
        auto breath = [&](const PlaybackPiece& p) {
            const auto s = p.data.samples();
            return bandEnergy(s, 22050, 5000, 15000) / bandEnergy(s, 22050, 0, 22050);
        };
        auto third = [&](const PlaybackPiece& p) {
            const auto s = p.data.samples();
            return bandEnergy(s, 22050, 3 * f0 - 20, 3 * f0 + 20) / bandEnergy(s, 22050, f0 - 20, f0 + 20);
        };
        const double before = tilt(plain), after = tilt(light);
        if (mode == PitchMode::Resample) {
            EXPECT_LT(after, before * 0.5);
        }
        EXPECT_LT(third(light), third(plain) * 0.6) << name(mode);
        EXPECT_GT(breath(light), breath(plain) * 10) << name(mode);
        std::printf("[figures] %s: falsetto: energy 1-4 kHz over the fundamental %.1f dB -> %.1f dB; "
                    "3rd harmonic %.1f dB -> %.1f dB; 5-15 kHz share %.1f dB -> %.1f dB\n",
                    name(mode), 10 * std::log10(before), 10 * std::log10(after), 10 * std::log10(third(plain)),
                    10 * std::log10(third(light)), 10 * std::log10(breath(plain)), 10 * std::log10(breath(light)));
    }

    Fixture f({{1920, 3840, 69}});
    const PlaybackPiece plain = f.render(PitchMode::Resample);

    f.set(0, NoteExpression{});
    f.note(0).syllableSettingsIndex[0] = f.song.newSyllableSettings(0);
    SyllableExpression s;
    s.mark(SyllableValue::ConsonantSpeed, true);
    s.consonantSpeed = 200;
    *f.song.channel(0).syllableSettings[0] = s.encode();
    const PlaybackPiece quick = f.render(PitchMode::Resample);
    // The 50 ms consonant lasts 25 ms: the sound starts 25 ms later, the note as before.
    EXPECT_NEAR(double(quick.startMs) - double(plain.startMs), 25, 1);
}

// In the formant-keeping mode touching notes that use expression are joined by a crossfade
// of their periods, not summed by the mixer: the level holds across the boundary. The
// resampling mode keeps the designed mixer.
TEST(ExpressionRender, FormantKeepingModeJoinsTouchingNotesWithoutADip) {
    for (int up : {5, 2, 0, -3}) {
        Fixture f({{960, 1920, 64}, {1920, 2880, 64 + up}});  // touching at 2000 ms
        const PlaybackPiece p = f.render(PitchMode::KeepFormants, ExpressionMode::Auto);
        const std::vector<int16_t> s = p.data.samples();
        auto at = [&](double ms) { return static_cast<std::size_t>((ms - p.startMs) * 44.1); };
        auto db = [&](double ms) { return 20 * std::log10(std::max(1e-9, rms(s, at(ms), 221))); };  // 5 ms
        double around = 1e9;
        for (double ms = 1985; ms <= 2015; ms += 1) around = std::min(around, db(ms));
        const double before = db(1950), after = db(2050);
        const double dip = std::min(before, after) - around;
        std::printf("[figures] keep formants, auto, a step of %d semitones: dip at the join %.1f dB\n", up, dip);
        EXPECT_LE(dip, 3.0) << up;
    }
}

TEST(ExpressionRender, AutoSingsVibratoOnlyOnLongNotesAndStaysOnPitch) {
    Fixture f({{960, 1200, 69}, {1200, 1440, 71}, {1440, 2880, 69}});  // 250 ms, 250 ms, 1500 ms
    const PlaybackPiece p = f.render(PitchMode::Resample, ExpressionMode::Auto);
    const Track t = track(p, 69, 1000, 2.0);
    double shortSwing = 0, longLo = 1e9, longHi = -1e9;
    int near = 0, counted = 0;
    for (std::size_t i = 0; i < t.ms.size(); ++i) {
        const double ms = t.ms[i];
        if (ms > 100 && ms < 230) shortSwing = std::max(shortSwing, std::abs(t.cents[i]));
        if (ms > 1000 && ms < 1900) {
            longLo = std::min(longLo, t.cents[i]);
            longHi = std::max(longHi, t.cents[i]);
        }
        // Outside the vibrato (before it starts on the held note) the pitch holds the note.
        const bool first = ms > 20 && ms < 240, held = ms > 650 && ms < 750;
        if (first || held) {
            ++counted;
            if (std::abs(t.cents[i]) <= 20) ++near;
        }
    }
    EXPECT_LT(shortSwing, 20);
    EXPECT_NEAR((longHi - longLo) / 2, 40, 8);
    ASSERT_GT(counted, 50);
    EXPECT_GE(double(near) / counted, 0.9);
    std::printf("[figures] auto: short note within %.1f cents, held note swing %.1f cents, %.1f%% of frames within 20 cents\n",
                shortSwing, (longHi - longLo) / 2, 100.0 * near / counted);
}

}  // namespace
}  // namespace kantor
