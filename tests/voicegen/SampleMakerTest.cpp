#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <set>

#include "voicegen/Festival.h"
#include "voicegen/Phonetics.h"
#include "voicegen/Quality.h"
#include "voicegen/SampleMaker.h"
#include "voicegen/Signal.h"
#include "voice/SyllableTable.h"

namespace kantor::voicegen {
namespace {

// What the diphone voice gives for "ka" at 16 kHz, roughly: a pause, a burst of noise,
// then a vowel whose pitch is a little off and whose level sags in the middle.
Signal spokenKa(double f0, double fs = 16000.0) {
    const SyllablePlan plan = planSyllable(5);  // KA
    const std::size_t vowelAt = static_cast<std::size_t>(vowelStartSeconds(plan) * fs);
    const std::size_t n = vowelAt + static_cast<std::size_t>((kVowelSeconds + kTailSilence) * fs);
    Signal x(n, 0.0f);
    Noise noise(9);
    for (std::size_t i = vowelAt - 600; i < vowelAt - 100; ++i) x[i] = 3000.0f * noise.next();
    double phase = 0.0;
    for (std::size_t i = vowelAt; i < vowelAt + static_cast<std::size_t>(kVowelSeconds * fs); ++i) {
        const double t = static_cast<double>(i - vowelAt) / fs;
        phase += f0 * 1.004 * (1.0 + 0.003 * std::sin(2 * std::numbers::pi * 4 * t)) / fs;
        const double level = 8000.0 * (1.0 - 0.3 * std::sin(std::numbers::pi * t / kVowelSeconds));
        double v = 0.0;
        for (int h = 1; h <= 6; ++h) v += std::sin(2 * std::numbers::pi * h * phase) / h;
        x[i] = static_cast<float>(level * v);
    }
    return x;
}

TEST(VoicegenSampleMaker, HoldsTheNotePitchAndLevelBetweenItsMarkers) {
    for (double f0 : {110.0, 261.67, 523.3}) {
        const double spokenF0 = std::min(f0, kFestivalMaxF0);
        const Signal spoken = spokenKa(spokenF0);
        MadeSample s;
        std::string error;
        ASSERT_TRUE(makeSample(spoken, 16000, planSyllable(5), spokenF0, f0, 1, s, error)) << error;
        EXPECT_EQ(s.pcm.size(), static_cast<std::size_t>(kSampleSeconds * kRate));
        EXPECT_LT(s.a, s.b);
        EXPECT_LT(s.b + 441, s.c);
        EXPECT_LT(s.c + 441, s.d);
        EXPECT_LE(s.d, s.b + 44100);
        EXPECT_LT((s.b - s.a) * 1000.0 / kRate, 200.0);
        const StretchQuality q = measureStretch(fromPcm16(s.pcm), kRate, s.c, s.d, f0);
        EXPECT_LT(q.worstCents, 3.0) << f0;
        EXPECT_LT(q.levelSpreadDb, 0.6) << f0;
        // The whole vowel after B, not just the loop, holds the pitch.
        EXPECT_LT(measureStretch(fromPcm16(s.pcm), kRate, s.b + 2205, s.pcm.size() - 2205, f0).worstCents, 3.0);
        // And no step anywhere in the vowel: the sharpest bend of the waveform
        // is no sharper than inside the loop.
        auto bend = [&](std::size_t i) { return std::abs(s.pcm[i + 1] - 2 * s.pcm[i] + s.pcm[i - 1]); };
        int loopBend = 0, worstBend = 0;
        std::size_t worstAt = 0;
        for (std::size_t i = s.c; i < s.d; ++i) loopBend = std::max(loopBend, bend(i));
        // (From 30 ms into the vowel: the release's aspiration fades under its first moments.)
        for (std::size_t i = s.b + 1323; i + 1 < s.pcm.size(); ++i) {
            if (bend(i) > worstBend) worstBend = bend(i), worstAt = i;
        }
        EXPECT_LE(worstBend, 2 * loopBend + 30) << f0 << " Hz, at sample " << worstAt;
    }
}

TEST(VoicegenSampleMaker, RefusesSoundWithoutAVoice) {
    MadeSample s;
    std::string error;
    EXPECT_FALSE(makeSample(Signal(30000, 0.0f), 16000, planSyllable(0), 200.0, 200.0, 1, s, error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(makeSample({}, 16000, planSyllable(0), 200.0, 200.0, 1, s, error));
}

TEST(VoicegenSampleMaker, BreathComesBeforeTheVoice) {
    const double fs = 16000.0;
    Signal x(16000, 0.0f);
    for (std::size_t i = 1600; i < x.size(); ++i) x[i] = static_cast<float>(5000.0 * std::sin(2 * std::numbers::pi * 200.0 * i / fs));
    Signal h = x;
    addNoiseOnset(h, 16000, 1600, 4, NoiseOnset{kBreathSeconds, 0.03, 0.22, 0.0, 0.0});
    EXPECT_EQ(rms(h, 0, 200), 0.0);                 // well before: still silent
    EXPECT_GT(rms(h, 800, 1500), 100.0);            // just before the voice: breath
    EXPECT_LT(rms(h, 800, 1500), 0.5 * rms(x, 2000, 4000));
    for (std::size_t i = 3000; i < h.size(); ++i) ASSERT_EQ(h[i], x[i]);  // the vowel itself is untouched
}

TEST(VoicegenSampleMaker, LoopSpansWholePeriodsAndWholeSamples) {
    for (double f0 : {98.0, 261.63, 392.0, 659.26}) {
        const WholeLoop w = wholeLoop(44100.0, f0, 0.3);
        EXPECT_NEAR(w.length, 0.3 * 44100.0, 44100.0 / f0) << f0;
        // The sung period is the note's to within a tenth of a cent.
        EXPECT_NEAR(1200.0 * std::log2((44100.0 / w.period()) / f0), 0.0, 0.1) << f0;
    }
    // 392 Hz: 112.5 samples a period, so only an even number of periods fits.
    EXPECT_EQ(wholeLoop(44100.0, 392.0, 0.3).periods % 2, 0);
}

TEST(VoicegenSampleMaker, SteadiestStretchAvoidsRoughFrames) {
    std::vector<PitchFrame> frames;
    for (int i = 0; i < 100; ++i) {
        PitchFrame f;
        f.center = static_cast<std::size_t>(i) * 100;
        f.period = 200.0;
        f.clarity = (i >= 20 && i < 50) ? 0.6 : 0.99;
        f.rms = 5000.0;
        frames.push_back(f);
    }
    const HoldWindow w = steadiestStretch(frames, 1000, 9000, 2000);
    EXPECT_TRUE(w.to <= 2000.0 || w.from >= 5000.0) << w.from << ".." << w.to;
    EXPECT_NEAR(w.to - w.from, 2000.0, 1e-9);
    EXPECT_GE(w.from, 1000.0);
    EXPECT_LE(w.to, 9000.0);
}

TEST(VoicegenSampleMaker, VowelOnsetSkipsTheQuietStart) {
    std::vector<PitchFrame> frames;
    for (int i = 0; i < 60; ++i) {
        PitchFrame f;
        f.center = static_cast<std::size_t>(i) * 100;
        f.period = i >= 10 ? 200.0 : 0.0;
        f.rms = i < 15 ? 500.0 : 6000.0;
        frames.push_back(f);
    }
    EXPECT_DOUBLE_EQ(vowelOnset(frames, 0, 5000), 1500.0);
    EXPECT_DOUBLE_EQ(vowelOnset(frames, 2000, 5000), 2000.0);
}

TEST(VoicegenPhonetics, EveryRowHasAPlanInThePhoneSetOfTheVoices) {
    const std::set<std::string> phones = {"a1", "e1", "i1", "o1", "u1", "n", "k", "s", "S", "t", "tS", "ts", "f", "m", "j",
                                          "r", "w", "g", "dz", "dZ", "d", "b", "p", "J"};
    for (int row = 0; row < static_cast<int>(kSyllableCount); ++row) {
        const SyllablePlan p = planSyllable(row);
        EXPECT_TRUE(phones.count(p.vowel)) << row << " " << p.vowel;
        for (const Phone& ph : p.onset) {
            EXPECT_TRUE(phones.count(ph.name)) << row << " " << ph.name;
            EXPECT_GT(ph.seconds, 0.0);
        }
        EXPECT_LT(vowelStartSeconds(p), 0.2) << row;
    }
}

std::string onsetOf(int row) {
    std::string s;
    for (const Phone& p : planSyllable(row).onset) s += (s.empty() ? "" : " ") + p.name;
    return s;
}

TEST(VoicegenPhonetics, JapaneseSoundsMapToTheNearestPhones) {
    EXPECT_EQ(onsetOf(0), "");      // A
    EXPECT_EQ(onsetOf(11), "S");    // SI
    EXPECT_EQ(onsetOf(16), "tS");   // TI
    EXPECT_EQ(onsetOf(17), "ts");   // TU
    EXPECT_EQ(onsetOf(27), "f");    // HU
    EXPECT_TRUE(planSyllable(25).breath);   // HA
    EXPECT_FALSE(planSyllable(27).breath);  // HU
    EXPECT_TRUE(planSyllable(97).breath);   // HYA
    EXPECT_EQ(onsetOf(97), "j");
    EXPECT_EQ(onsetOf(36), "");     // YI is い
    EXPECT_EQ(onsetOf(46), "");     // WI (い)
    EXPECT_EQ(onsetOf(49), "");     // WO (を)
    EXPECT_EQ(onsetOf(80), "w");    // WI (うぃ)
    EXPECT_EQ(onsetOf(82), "w");    // WO (うぉ)
    EXPECT_EQ(planSyllable(82).vowel, "o1");
    EXPECT_EQ(planSyllable(50).vowel, "n");  // N
    EXPECT_EQ(onsetOf(57), "dZ");   // ZI
    EXPECT_EQ(onsetOf(63), "dz");   // DU
    EXPECT_EQ(onsetOf(83), "k j");  // KYA
    EXPECT_EQ(onsetOf(94), "J");    // NYA
    EXPECT_EQ(onsetOf(90), "tS");   // CYA
    EXPECT_EQ(onsetOf(109), "dZ");  // ZYA
    EXPECT_EQ(onsetOf(118), "p j"); // PYO
    EXPECT_EQ(planSyllable(118).vowel, "o1");
    EXPECT_EQ(planSyllable(-1).vowel, "");
}

TEST(VoicegenFestival, ScriptAsksForEverySyllableAtAFlatPitch) {
    std::vector<SpeakRequest> req(2);
    req[0].plan = planSyllable(5);
    req[0].f0 = 110.0;
    req[0].wavPath = "/tmp/a.wav";
    req[1].plan = planSyllable(25);
    req[1].f0 = 440.0;
    req[1].wavPath = "/tmp/b.wav";
    const std::string s = festivalScript("voice_pc_diphone", req);
    EXPECT_EQ(s.rfind("(voice_pc_diphone)\n", 0), 0u);
    EXPECT_NE(s.find("(k 0.0700 (0.0 110.0000) (0.0700 110.0000))"), std::string::npos) << s;
    EXPECT_NE(s.find("(a1 0.7000 (0.0 440.0000) (0.7000 440.0000))"), std::string::npos) << s;
    EXPECT_NE(s.find("(# 0.1000 (0.0 440.0000)"), std::string::npos) << s;  // the longer pause before a breath
    EXPECT_NE(s.find("(utt.save.wave u \"/tmp/a.wav\" 'riff)"), std::string::npos);
    EXPECT_NE(s.find("(utt.save.wave u \"/tmp/b.wav\" 'riff)"), std::string::npos);
}

}  // namespace
}  // namespace kantor::voicegen
