// Voices with context samples (VCV "a か", CVVC endings "a k"), sung and listened to: the
// voice file keeps them where plain readers never look, the synthesis chooses each
// syllable's sample by the sound before it, and joins touching notes without carrying the
// next note's pitch into the held one.
//
// The test bank is recorded as continuous speech: every VCV sample holds the vowel before
// it, then its consonant, then its own vowel. Each kind of "か" carries a consonant of its
// own noise band, so that the consonant heard tells which sample was sung.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "midi/TempoMap.h"
#include "support/PitchTracker.h"
#include "synth/NoteFrequency.h"
#include "synth/SynthEngine.h"
#include "voice/ContextChoice.h"
#include "voice/SingingMeasures.h"
#include "voice/VoiceBank.h"
#include "voice/VoiceFile.h"

namespace kantor {
namespace {

constexpr double kRate = 44100.0;

double hzOf(uint32_t key) { return noteFrequency(key, 440000) / 1000.0; }

// Vowel timbres: harmonic weights of "a" and "i" (i has a weak first formant region and a
// strong upper one), all below 1 kHz at the pitches used here except i's upper harmonics.
void addVowel(std::vector<float>& s, double hz, char vowel, double ms, double& phase) {
    const std::size_t n = std::size_t(ms * kRate / 1000);
    for (std::size_t i = 0; i < n; ++i) {
        phase += 2 * M_PI * hz / kRate;
        const double v = vowel == 'a' ? 7000 * std::sin(phase) + 3000 * std::sin(2 * phase) + 1500 * std::sin(3 * phase)
                                      : 8000 * std::sin(phase) + 800 * std::sin(2 * phase) + 600 * std::sin(3 * phase);
        s.push_back(float(v));
    }
}

// A consonant: noise over [lo, hi] Hz (sines of random phases 20 Hz apart).
void addConsonant(std::vector<float>& s, double lo, double hi, double ms, uint32_t seed) {
    const std::size_t n = std::size_t(ms * kRate / 1000), start = s.size();
    s.resize(start + n, 0.0f);
    uint32_t r = seed * 2654435761u + 7;
    for (double f = lo; f <= hi; f += 20) {
        r = r * 1664525u + 1013904223u;
        const double ph = double(r >> 8) / double(1 << 24) * 2 * M_PI;
        for (std::size_t i = 0; i < n; ++i) s[start + i] += float(400 * std::sin(2 * M_PI * f * double(i) / kRate + ph));
    }
}

struct Band {
    double lo, hi;
};
constexpr Band kHeadBand{1000, 1800};  // "- か"
constexpr Band kABand{2500, 3300};     // "a か"
constexpr Band kIBand{4300, 5100};     // "i か"
constexpr Band kEndingBand{6000, 6800};  // the ending "a s" (CVVC)

// A sample from sound and its markers in milliseconds (B the preutterance).
std::unique_ptr<VoiceSample> sampleOf(const std::vector<float>& s, const char* code, const char* kana, uint32_t pitch,
                                      double bMs, double overlapMs = 0, SampleKind kind = SampleKind::Plain,
                                      const char* after = "") {
    auto x = std::make_unique<VoiceSample>();
    std::vector<int16_t> pcm(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) pcm[i] = int16_t(std::lround(std::clamp(s[i], -32768.0f, 32767.0f)));
    x->data = SoundBuffer::fromSamples(pcm);
    x->code = code;
    x->kana = kana;
    x->pitch = pitch;
    auto bytesAt = [](double ms) { return uint32_t(std::lround(ms * 44.1)) * 2; };
    x->markerB = bytesAt(bMs);
    // The loop: whole periods of the held vowel, well after B.
    const double period = 1000.0 / hzOf(pitch);
    // (An ending holds its consonant only: its loop is a stretch of that.)
    const double sound = double(s.size()) / 44.1;
    x->markerC = bytesAt(std::min(bMs + 20 * period, bMs + (sound - bMs) / 8));
    x->markerD = bytesAt(std::min(bMs + 60 * period, sound - 5));
    x->kind = kind;
    x->after = after;
    x->overlap = bytesAt(overlapMs);
    return x;
}

// The bank at one pitch: plain あ, い, か (its head entry "- か"), and "a か", "i か",
// "a い" recorded after their vowel; `withContext` false leaves the context samples out.
std::unique_ptr<Voice> vcvVoice(uint32_t pitch, bool withContext) {
    VoiceFileHeader header;
    header.voiceName = "VCV test";
    std::vector<std::unique_ptr<VoiceSample>> plain, context;
    const double hz = hzOf(pitch);
    double ph = 0;
    {
        std::vector<float> s;
        addVowel(s, hz, 'a', 800, ph);
        plain.push_back(sampleOf(s, "A", "あ", pitch, 5));
    }
    {
        std::vector<float> s;
        ph = 0;
        addVowel(s, hz, 'i', 800, ph);
        plain.push_back(sampleOf(s, "I", "い", pitch, 5));
    }
    {
        // "- か": 20 ms of silence, the consonant, the vowel.
        std::vector<float> s(882, 0.0f);
        addConsonant(s, kHeadBand.lo, kHeadBand.hi, 50, 1);
        ph = 0;
        addVowel(s, hz, 'a', 800, ph);
        plain.push_back(sampleOf(s, "KA", "か", pitch, 70));
    }
    {
        // さ: its own consonant (the head band), no VCV sample.
        std::vector<float> s(882, 0.0f);
        addConsonant(s, kHeadBand.lo, kHeadBand.hi, 50, 5);
        ph = 0;
        addVowel(s, hz, 'a', 800, ph);
        plain.push_back(sampleOf(s, "SA", "さ", pitch, 70));
    }
    if (withContext) {
        // The CVVC ending "a s": the vowel a going into s (its own band), B where s begins.
        std::vector<float> e;
        ph = 0;
        addVowel(e, hz, 'a', 200, ph);
        addConsonant(e, kEndingBand.lo, kEndingBand.hi, 80, 6);
        context.push_back(sampleOf(e, "S", "s", pitch, 200, 30, SampleKind::Ending, "a"));
        // "a か" and "i か": 200 ms of the vowel before, the consonant, the vowel; overlap 30 ms.
        for (auto [v, band, seed] : {std::tuple{'a', kABand, 2u}, std::tuple{'i', kIBand, 3u}}) {
            std::vector<float> s;
            ph = 0;
            addVowel(s, hz, v, 200, ph);
            addConsonant(s, band.lo, band.hi, 50, seed);
            ph = 0;
            addVowel(s, hz, 'a', 800, ph);
            context.push_back(sampleOf(s, "KA", "か", pitch, 250, 30, SampleKind::After, v == 'a' ? "a" : "i"));
        }
        // "a い": a glides into i without a break.
        std::vector<float> s;
        ph = 0;
        addVowel(s, hz, 'a', 150, ph);
        const std::size_t n = std::size_t(0.05 * kRate);
        for (std::size_t i = 0; i < n; ++i) {
            const double t = double(i) / double(n);
            ph += 2 * M_PI * hz / kRate;
            s.push_back(float((7000 + 1000 * t) * std::sin(ph) + (3000 - 2200 * t) * std::sin(2 * ph) +
                              (1500 - 900 * t) * std::sin(3 * ph)));
        }
        addVowel(s, hz, 'i', 800, ph);
        context.push_back(sampleOf(s, "I", "い", pitch, 200, 30, SampleKind::After, "a"));
    }
    // Through the file, as a voice is loaded.
    const std::vector<uint8_t> bytes = buildVoiceFile(header, plain, context);
    VoiceFileReader reader;
    auto voice = reader.read(bytes, "VCVTest");
    EXPECT_TRUE(voice) << reader.lastError();
    return voice;
}

// Renders notes (code, key, start ms, length ms) as one phrase; the phrase's sound and its
// start in ms.
struct Sung {
    std::vector<float> x;
    int64_t startMs = 0;
    double at(double songMs) const { return (songMs - double(startMs)) * kRate / 1000.0; }
};
Sung sing(std::unique_ptr<Voice> voice, const std::vector<std::tuple<const char*, uint32_t, uint32_t, uint32_t>>& notes,
          PitchMode mode, const SynthNote* before = nullptr) {
    VoiceBank bank;
    bank.addVoice(std::move(voice));
    TempoMap map;
    SynthEngine engine(bank, map);
    engine.setPitchMode(mode);
    EXPECT_TRUE(engine.start(8));
    std::vector<SynthNote> synth;
    uint32_t end = 0;
    for (auto [code, key, start, length] : notes) {
        SynthNote n;
        n.code = code;
        n.pitch = key;
        n.frequency = noteFrequency(key, 440000);
        n.startMs = start;
        n.lengthMs = length;
        synth.push_back(n);
        end = std::max(end, start + length);
    }
    PhraseRequest r;
    r.startMs = synth.front().startMs;
    r.lengthMs = end - r.startMs;
    r.channel = 1;
    r.settings.voiceName = "VCVTest";
    if (before) r.before = *before;
    EXPECT_TRUE(engine.renderPhrase(r, synth)) << engine.lastError();
    Sung out;
    if (engine.lists()[0].empty()) return out;
    const SoundEntry& e = engine.lists()[0][0];
    out.startMs = e.startMs;
    for (std::size_t i = 0; i < e.data.sampleCount(); ++i) out.x.push_back(e.data.sample(i));
    return out;
}

const char* modeName(PitchMode m) { return m == PitchMode::Resample ? "resampling" : "formant-keeping"; }

TEST(ContextSamples, TheVoiceFileKeepsThemWherePlainReadersStop) {
    const std::unique_ptr<Voice> plain = vcvVoice(69, false), withContext = vcvVoice(69, true);
    ASSERT_TRUE(plain && withContext);
    EXPECT_TRUE(plain->contextSamples.empty());
    ASSERT_EQ(withContext->contextSamples.size(), 4u);
    EXPECT_EQ(withContext->samples.size(), 4u);
    EXPECT_EQ(withContext->contextSamples[0]->kind, SampleKind::Ending);
    const VoiceSample& ai = *withContext->contextSamples[3];
    EXPECT_EQ(ai.kind, SampleKind::After);
    EXPECT_EQ(ai.after, "a");
    EXPECT_EQ(ai.code, "I");
    EXPECT_EQ(ai.overlap, uint32_t(std::lround(30 * 44.1)) * 2);

    // A plain reader reads the counted records and stops: the plain part of the file is
    // exactly the plain voice's file, the context area follows it.
    VoiceFileHeader h;
    const std::vector<uint8_t> a = buildVoiceFile(h, plain->samples);
    const std::vector<uint8_t> b = buildVoiceFile(h, withContext->samples, withContext->contextSamples);
    ASSERT_GT(b.size(), a.size());
    EXPECT_TRUE(std::equal(a.begin(), a.end(), b.begin()));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(b.data() + a.size())), "Kantor Context");
    // A file without context samples is what it always was.
    EXPECT_EQ(buildVoiceFile(h, plain->samples, {}), a);

    // Cut short anywhere inside the area: refused with the read message, never read past.
    VoiceFileReader reader;
    for (std::size_t cut : {a.size() + 40, a.size() + 32 + 75, b.size() - 1}) {
        std::vector<uint8_t> shortFile(b.begin(), b.begin() + long(cut));
        EXPECT_FALSE(reader.read(shortFile, "x")) << cut;
        EXPECT_NE(reader.lastError().find(voicetext::kReadFailed), std::string::npos);
    }
    // An area of a later layout is left alone: the plain voice still loads.
    std::vector<uint8_t> later = b;
    later[a.size() + 16] = 9;
    auto v = reader.read(later, "x");
    ASSERT_TRUE(v);
    EXPECT_TRUE(v->contextSamples.empty());
    EXPECT_EQ(v->samples.size(), 4u);
    // A marker past a context sample's data is refused as for plain samples.
    std::vector<uint8_t> bad = b;
    storeLE32(bad.data() + a.size() + 32 + 32, 0x7FFFFFF0);
    EXPECT_FALSE(reader.read(bad, "x"));
}

TEST(ContextSamples, TheSoundBeforeChoosesTheSample) {
    EXPECT_EQ(finalSound("KA"), "a");
    EXPECT_EQ(finalSound("kyo"), "o");
    EXPECT_EQ(finalSound("N"), "n");
    EXPECT_EQ(finalSound(""), "");
    EXPECT_EQ(leadingConsonant("KA"), "K");
    EXPECT_EQ(leadingConsonant("sya"), "SY");
    EXPECT_EQ(leadingConsonant("A"), "");
    EXPECT_EQ(leadingConsonant("N"), "");

    // "あ か" and "い か" legato, "か" after a rest: the consonant heard is the one of its
    // context, every time, in both pitch modes (the noise band of the 40 ms before the note).
    for (PitchMode mode : {PitchMode::Resample, PitchMode::KeepFormants}) {
        struct Case {
            const char* first;
            uint32_t gapMs;
            Band expected;
            const char* name;
        };
        for (const Case& c : {Case{"A", 0, kABand, "あ か legato"}, Case{"I", 0, kIBand, "い か legato"},
                              Case{"A", 400, kHeadBand, "か after a rest"}, Case{"I", 300, kHeadBand, "か after a rest"}}) {
            const uint32_t kaStart = 1000 + 500 + c.gapMs;
            Sung s = sing(vcvVoice(69, true), {{c.first, 69, 1000, 500}, {"KA", 71, kaStart, 500}}, mode);
            ASSERT_FALSE(s.x.empty());
            const std::size_t from = std::size_t(s.at(kaStart - 45.0)), len = std::size_t(0.04 * kRate);
            std::map<std::string, double> power;
            for (auto [name, band] : {std::pair{"head", kHeadBand}, {"a", kABand}, {"i", kIBand}})
                power[name] = measure::bandPower(s.x, from, len, kRate, band.lo * 0.85, band.hi * 1.15);
            const double heard = measure::bandPower(s.x, from, len, kRate, c.expected.lo * 0.85, c.expected.hi * 1.15);
            for (const auto& [name, p] : power) {
                if (p == heard) continue;
                EXPECT_GT(heard, 10 * p) << modeName(mode) << ", " << c.name << ": band of " << name;
            }
        }
    }
}

TEST(ContextSamples, AnEndingLeadsIntoTheConsonantWhenNoVcvSampleIsThere) {
    // "あ さ" legato: さ has no "a さ", so its plain sample follows the ending "a s", whose s
    // begins where さ's lead-in does (70 ms before the note); after a rest there is none.
    for (PitchMode mode : {PitchMode::Resample, PitchMode::KeepFormants}) {
        for (uint32_t gap : {0u, 400u}) {
            const uint32_t sa = 1500 + gap;
            Sung s = sing(vcvVoice(69, true), {{"A", 69, 1000, 500}, {"SA", 69, sa, 500}}, mode);
            ASSERT_FALSE(s.x.empty());
            const std::size_t from = std::size_t(s.at(sa - 78.0)), len = std::size_t(0.012 * kRate);
            const double ending = measure::bandPower(s.x, from, len, kRate, kEndingBand.lo * 0.9, kEndingBand.hi * 1.1);
            const double vowel = measure::bandPower(s.x, std::size_t(s.at(sa + 100.0)), len, kRate, 100, 1000);
            if (gap == 0) EXPECT_GT(ending, 0.002 * vowel) << modeName(mode);
            else EXPECT_LT(ending, 1e-6 * vowel) << modeName(mode);
            // さ's own consonant follows, as recorded.
            const double own = measure::bandPower(s.x, std::size_t(s.at(sa - 40.0)), len, kRate, kHeadBand.lo * 0.85,
                                                  kHeadBand.hi * 1.15);
            EXPECT_GT(own, 0.002 * vowel) << modeName(mode) << " gap " << gap;
        }
    }
}

TEST(ContextSamples, LegatoJoinsKeepTheHeldPitchLevelAndOnsets) {
    for (PitchMode mode : {PitchMode::Resample, PitchMode::KeepFormants}) {
        // あ at key 69 held 600 ms, then か at key 74 (five semitones up) legato.
        Sung s = sing(vcvVoice(69, true), {{"A", 69, 1000, 600}, {"KA", 74, 1600, 500}}, mode);
        ASSERT_FALSE(s.x.empty());
        std::vector<int16_t> pcm(s.x.begin(), s.x.end());
        double worst = 0;
        int frames = 0;
        for (const test::PitchFrame& f : test::trackPitch(pcm, kRate, 100, 800)) {
            const double song = f.ms + double(s.startMs);
            // The held vowel sounds up to the consonant of the incoming sample, 50 ms before
            // the note's start; every frame (20 ms) up to its last 10 ms.
            if (f.hz <= 0 || song < 1100 || song > 1600 - 50 - 10) continue;
            worst = std::max(worst, std::abs(test::centsBetween(f.hz, hzOf(69))));
            if (std::getenv("VCV_DEBUG") && std::abs(test::centsBetween(f.hz, hzOf(69))) > 10)
                std::printf("  %.1f ms: %.1f cents\n", song, test::centsBetween(f.hz, hzOf(69)));
            ++frames;
        }
        EXPECT_GT(frames, 300) << modeName(mode);
        EXPECT_LE(worst, 20.0) << modeName(mode) << ": the held note's pitch up to its last 10 ms";
        std::printf("[figures] %s: held-note pitch error up to its last 10 ms before a legato VCV join: %.1f cents\n",
                    modeName(mode), worst);

        // The vowel of か starts on the note's start (its preutterance): the level of the
        // low band rises within 10 ms of it.
        const std::size_t hop = 44;
        const double vowelLevel = measure::bandPower(s.x, std::size_t(s.at(1700)), 2205, kRate, 100, 1000);
        double onset = -1;
        for (std::size_t i = std::size_t(s.at(1560)); i + 441 < s.x.size(); i += hop) {
            if (measure::bandPower(s.x, i, 220, kRate, 100, 1000) > 0.5 * vowelLevel) {
                onset = double(i + 110) * 1000.0 / kRate + double(s.startMs);
                break;
            }
        }
        EXPECT_NEAR(onset, 1600.0, 10.0) << modeName(mode);
        std::printf("[figures] %s: vowel onset %.1f ms from the preutterance mapping\n", modeName(mode), onset - 1600);

        // あ い legato through the "a い" sample: no dip at the join, nor in the crossfade
        // over the held あ.
        Sung v = sing(vcvVoice(69, true), {{"A", 69, 1000, 600}, {"I", 71, 1600, 600}}, mode);
        const double period = kRate / hzOf(69);
        const double joinDip = measure::dipDepthDb(v.x, std::size_t(v.at(1600)), kRate, period);
        const double fadeDip = measure::dipDepthDb(v.x, std::size_t(v.at(1600 - 200 + 15)), kRate, period);
        EXPECT_LE(joinDip, 3.0) << modeName(mode);
        EXPECT_LE(fadeDip, 3.0) << modeName(mode);
        // And across the consonant join, in the crossfade before the consonant.
        const double kaFadeDip = measure::dipDepthDb(s.x, std::size_t(s.at(1600 - 250 + 15)), kRate, period);
        EXPECT_LE(kaFadeDip, 3.0) << modeName(mode);
        std::printf("[figures] %s: level dip at a legato vowel join %.2f dB, in the crossfades %.2f / %.2f dB\n",
                    modeName(mode), joinDip, fadeDip, kaFadeDip);
    }
}

TEST(ContextSamples, AcrossAPhraseBoundaryTheNoteBeforeChoosesToo) {
    // The phrase starting with か learns of the あ the previous phrase ended with.
    SynthNote before;
    before.code = "A";
    before.pitch = 69;
    before.frequency = noteFrequency(69, 440000);
    before.startMs = 1000;
    before.lengthMs = 500;
    Sung s = sing(vcvVoice(69, true), {{"KA", 72, 1500, 500}}, PitchMode::Resample, &before);
    ASSERT_FALSE(s.x.empty());
    const std::size_t from = std::size_t(s.at(1455)), len = std::size_t(0.04 * kRate);
    const double a = measure::bandPower(s.x, from, len, kRate, kABand.lo * 0.85, kABand.hi * 1.15);
    const double head = measure::bandPower(s.x, from, len, kRate, kHeadBand.lo * 0.85, kHeadBand.hi * 1.15);
    EXPECT_GT(a, 10 * head);
    // Its lead-in (the あ it was recorded after) is sung at the note before's pitch.
    std::vector<int16_t> pcm(s.x.begin(), s.x.end());
    int frames = 0;
    for (const test::PitchFrame& f : test::trackPitch(pcm, kRate, 100, 800)) {
        const double song = f.ms + double(s.startMs);
        if (f.hz <= 0 || song > 1500 - 60) continue;
        EXPECT_NEAR(test::centsBetween(f.hz, hzOf(69)), 0.0, 20.0) << song;
        ++frames;
    }
    EXPECT_GT(frames, 50);
}

}  // namespace
}  // namespace kantor
