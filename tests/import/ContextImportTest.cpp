// Banks in the oto.ini form with VCV and CVVC lines and pitch-tagged aliases: the import
// keeps every kind of sample, counts each, measures every kept sample's pitch, and the
// voice it makes sings each syllable from the sample of its context, in tune.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "import/BankImporter.h"
#include "import/OtoIni.h"
#include "import/TestBank.h"
#include "midi/TempoMap.h"
#include "support/CliRun.h"
#include "support/TempDir.h"
#include "synth/NoteFrequency.h"
#include "synth/SynthEngine.h"
#include "voice/VoiceBank.h"
#include "voicemaker/AutoMarker.h"
#include "voicemaker/VoiceProject.h"

namespace kantor {
namespace {

namespace fs = std::filesystem;
using test::WavKind;
constexpr double kRate = 44100.0;

// A recording spoken as one breath: vowels and consonants back to back (-1..1). A vowel
// segment continues the phase of the one before, as a voice does.
struct Recording {
    std::vector<float> x;
    double phase = 0;
    double ms() const { return double(x.size()) * 1000.0 / kRate; }
    void silence(double ms) { x.resize(x.size() + std::size_t(ms * kRate / 1000), 0.0f); }
    void vowel(double hz, double ms, double brightness = 0.3) {
        for (std::size_t i = 0, n = std::size_t(ms * kRate / 1000); i < n; ++i) {
            phase += 2 * M_PI * hz / kRate;
            x.push_back(float(0.35 * std::sin(phase) + brightness * 0.5 * std::sin(2 * phase) + 0.05 * std::sin(3 * phase)));
        }
    }
    // A consonant whose noise lies in [lo, hi] Hz: the mark of the sample it belongs to.
    void consonant(double lo, double hi, double ms, uint32_t seed) {
        const std::size_t start = x.size(), n = std::size_t(ms * kRate / 1000);
        x.resize(start + n, 0.0f);
        uint32_t r = seed * 2654435761u + 11;
        for (double f = lo; f <= hi; f += 20) {
            r = r * 1664525u + 1013904223u;
            const double ph = double(r >> 8) / double(1 << 24) * 2 * M_PI;
            for (std::size_t i = 0; i < n; ++i) x[start + i] += float(0.012 * std::sin(2 * M_PI * f * double(i) / kRate + ph));
        }
    }
};

struct Band {
    double lo, hi;
};
constexpr Band kHead{1000, 1800}, kAfterA{2500, 3300}, kAfterI{4300, 5100};

// A VCV bank at note 72 of continuous recordings: "_kaka" (- か, then a か), "_ika"
// (- い, then i か), "_a" (- あ), "_ak" (a CVVC ending "a k" of its own noise), each line
// placed on the recording's own times.
struct VcvBank {
    test::TempDir dir;
    fs::path root = fs::path(dir.path()) / "VCV";
    VcvBank() {
        const double hz = test::noteHz(72);
        std::string oto;
        {
            Recording r;
            r.silence(100);
            r.consonant(kHead.lo, kHead.hi, 60, 1);  // 100..160
            r.vowel(hz, 400);                          // 160..560
            r.consonant(kAfterA.lo, kAfterA.hi, 60, 2);  // 560..620
            r.vowel(hz, 500);                            // 620..1120
            test::writeFile(root / "_kaka.wav", test::wavBytes(r.x, 44100, 1, WavKind::Pcm16));
            oto += "_kaka.wav=- か,60,130,-440,100,20\r\n";
            oto += "_kaka.wav=a か,400,250,-680,220,30\r\n";
        }
        {
            Recording r;
            r.silence(100);
            r.vowel(hz, 400, 0.05);                       // い 100..500
            r.consonant(kAfterI.lo, kAfterI.hi, 60, 3);  // 500..560
            r.vowel(hz, 500);                             // 560..1060
            test::writeFile(root / "_ika.wav", test::wavBytes(r.x, 44100, 1, WavKind::Pcm16));
            oto += "_ika.wav=- い,80,60,-400,20,10\r\n";
            oto += "_ika.wav=i か,340,250,-680,220,30\r\n";
        }
        {
            Recording r;
            r.silence(100);
            r.vowel(hz, 700);
            test::writeFile(root / "_a.wav", test::wavBytes(r.x, 44100, 1, WavKind::Pcm16));
            oto += "_a.wav=- あ,80,60,-650,20,10\r\n";
        }
        {
            Recording r;
            r.silence(50);
            r.vowel(hz, 400);                  // 50..450
            r.consonant(6000, 6800, 80, 4);   // 450..530
            test::writeFile(root / "_ak.wav", test::wavBytes(r.x, 44100, 1, WavKind::Pcm16));
            oto += "_ak.wav=a k,250,220,-280,200,30\r\n";
        }
        test::writeText(root / "oto.ini", oto, true);
    }
};

// A phrase of notes (code, key, start ms, length ms) sung by a voice of the folder.
struct Sung {
    std::vector<float> x;
    int64_t startMs = 0;
    std::size_t at(double songMs) const { return std::size_t(std::max(0.0, (songMs - double(startMs)) * kRate / 1000.0)); }
};
Sung sing(const std::string& folder, const std::string& id,
          const std::vector<std::tuple<const char*, int, uint32_t, uint32_t>>& notes, PitchMode mode) {
    VoiceBank bank(folder);
    TempoMap map;
    SynthEngine engine(bank, map);
    engine.setPitchMode(mode);
    EXPECT_TRUE(engine.start(8));
    std::vector<SynthNote> synth;
    uint32_t end = 0;
    for (auto [code, key, start, length] : notes) {
        SynthNote n;
        n.code = code;
        n.pitch = uint32_t(key);
        n.frequency = noteFrequency(uint32_t(key), 440000);
        n.startMs = start;
        n.lengthMs = length;
        synth.push_back(n);
        end = std::max(end, start + length);
    }
    PhraseRequest r;
    r.startMs = synth.front().startMs;
    r.lengthMs = end - r.startMs;
    r.channel = 1;
    r.settings.voiceName = id;
    EXPECT_TRUE(engine.renderPhrase(r, synth)) << engine.lastError();
    Sung out;
    if (engine.lists()[0].empty()) return out;
    const SoundEntry& e = engine.lists()[0][0];
    out.startMs = e.startMs;
    for (std::size_t i = 0; i < e.data.sampleCount(); ++i) out.x.push_back(e.data.sample(i));
    return out;
}

// Mean power of x over [from, from + n) in a band, by a DFT at 10 Hz steps (Hann window).
double bandPower(const std::vector<float>& x, std::size_t from, std::size_t n, Band b) {
    double sum = 0;
    for (double f = b.lo * 0.9; f <= b.hi * 1.1; f += 10) {
        double re = 0, im = 0;
        for (std::size_t i = 0; i < n && from + i < x.size(); ++i) {
            const double w = 0.5 - 0.5 * std::cos(2 * M_PI * double(i) / double(n));
            re += w * x[from + i] * std::cos(2 * M_PI * f * double(i) / kRate);
            im += w * x[from + i] * std::sin(2 * M_PI * f * double(i) / kRate);
        }
        sum += re * re + im * im;
    }
    return sum;
}

TEST(OtoIni, VcvAndCvvcAliasesAreTold) {
    PrefixMap none;
    AliasSyllable a;
    EXPECT_TRUE(mapAlias("a か", none, a));
    EXPECT_EQ(a.kind, AliasSyllable::Kind::After);
    EXPECT_EQ(a.after, "a");
    EXPECT_TRUE(mapAlias("n ka", none, a));
    EXPECT_EQ(a.kind, AliasSyllable::Kind::After);
    EXPECT_EQ(a.after, "n");
    EXPECT_TRUE(mapAlias("ん さ", none, a));
    EXPECT_EQ(a.after, "n");
    EXPECT_TRUE(mapAlias("a n", none, a)) << "ん after a, not an ending";
    EXPECT_EQ(a.kind, AliasSyllable::Kind::After);
    EXPECT_TRUE(mapAlias("- か", none, a));
    EXPECT_EQ(a.kind, AliasSyllable::Kind::Plain);
    EXPECT_TRUE(a.dash);
    EXPECT_FALSE(mapAlias("a k", none, a));
    EXPECT_EQ(a.kind, AliasSyllable::Kind::Ending);
    EXPECT_EQ(a.consonant, "K");
    EXPECT_FALSE(mapAlias("o sh", none, a));
    EXPECT_EQ(a.consonant, "SY");
    EXPECT_FALSE(mapAlias("e ch", none, a));
    EXPECT_EQ(a.consonant, "CY");
    EXPECT_FALSE(mapAlias("u ts", none, a));
    EXPECT_EQ(a.consonant, "T");
    EXPECT_FALSE(mapAlias("R か", none, a) && a.kind != AliasSyllable::Kind::Plain) << "R is no sound before";
    EXPECT_FALSE(mapAlias("a R", none, a));
    EXPECT_NE(a.kind, AliasSyllable::Kind::Ending);
}

TEST(BankImport, VcvBankKeepsEveryKindAndSingsTheConsonantOfItsContext) {
    VcvBank bank;
    test::TempDir voices;
    BankImporter importer;
    BankSummary summary;
    std::string id;
    ASSERT_TRUE(importer.importVoice(bank.root.string(), "", voices.path(), id, summary)) << importer.lastError();
    EXPECT_EQ(summary.samples, 6);
    EXPECT_EQ(summary.vcvSamples, 2);
    EXPECT_EQ(summary.endingSamples, 1);
    EXPECT_EQ(summary.headSamples, 3);
    EXPECT_EQ(summary.measuredPitch, 6) << summary.text();
    EXPECT_TRUE(summary.skipped.empty()) << summary.text();
    EXPECT_NE(summary.text().find("母音などの後（「a か」）: 2、子音への語尾（「a k」）: 1"), std::string::npos) << summary.text();

    VoiceBank vb(voices.path());
    ASSERT_TRUE(vb.ensureVoiceLoaded(id));
    const Voice* v = vb.findVoice(id);
    ASSERT_TRUE(v);
    ASSERT_EQ(v->contextSamples.size(), 3u);
    std::map<std::string, const VoiceSample*> byAlias;
    for (const auto& s : v->contextSamples) byAlias[s->after + " " + s->code] = s.get();
    ASSERT_TRUE(byAlias.count("a KA") && byAlias.count("i KA") && byAlias.count("a K"));
    EXPECT_EQ(byAlias["a KA"]->pitch, 72u);
    // Overlap 30 ms after the offset, the markers as byte offsets from A.
    EXPECT_NEAR(double(byAlias["a KA"]->overlap) / 88.2, 30.0, 0.1);
    EXPECT_NEAR(double(byAlias["a KA"]->markerB) / 88.2, 220.0, 0.1);

    // `voice info` lists them.
    const test::CliResult info = test::runCli({"voice", "--voice-dir", voices.path(), "info", id});
    EXPECT_EQ(info.status, 0) << info.err;
    EXPECT_NE(info.out.find("Context samples: 3 (VCV: 2, CVVC endings: 1)"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("a か"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("a k"), std::string::npos) << info.out;

    // A project keeps them too, and builds the same voice.
    BankSummary again;
    ASSERT_TRUE(importer.importProject(bank.root.string(), "", voices.file("p.vxbprj"), again));
    VoiceProject loaded;
    ASSERT_TRUE(loaded.load(voices.file("p.vxbprj"))) << loaded.lastError();
    EXPECT_EQ(loaded.items.size(), 3u);
    ASSERT_EQ(loaded.contextItems.size(), 3u);

    // "あ か" and "い か" legato, "か" after a rest: the consonant of its context each time.
    for (PitchMode mode : {PitchMode::Resample, PitchMode::KeepFormants}) {
        const char* modeName = mode == PitchMode::Resample ? "resampling" : "formant-keeping";
        // あ at 72 held, か at 76 legato: the held vowel keeps its pitch up to its last 10 ms
        // (it ends where the consonant of "a か" begins, 60 ms before the note), the vowel of
        // か starts on the note's start, and the crossfade over あ does not dip.
        {
            Sung s = sing(voices.path(), id, {{"A", 72, 1000, 700}, {"KA", 76, 1700, 500}}, mode);
            ASSERT_FALSE(s.x.empty());
            std::vector<int16_t> y(s.x.begin(), s.x.end());
            double worst = 0;
            for (double t = 1100; t <= 1700 - 60 - 10 - 12; t += 2) {
                const double period = estimatePeriod(y, s.at(t));
                ASSERT_GT(period, 0) << t;
                worst = std::max(worst, std::abs(1200.0 * std::log2(kRate / period / test::noteHz(72))));
            }
            EXPECT_LE(worst, 20.0) << modeName;
            double level = 0;
            for (std::size_t i = s.at(1800); i < s.at(1850); ++i) level = std::max(level, double(std::abs(s.x[i])));
            std::size_t onset = s.at(1665);  // inside the consonant of "a か"
            while (onset < s.x.size() && std::abs(s.x[onset]) < 0.5 * level) ++onset;
            const double onsetMs = double(onset) * 1000.0 / kRate + double(s.startMs);
            EXPECT_NEAR(onsetMs, 1700.0, 10.0) << modeName;
            // The level over the crossfade (the 30 ms from the lead-in's start, 220 ms before
            // the note) against the held vowel before it, in 5 ms windows.
            auto rms = [&](double fromMs) {
                double sum = 0;
                const std::size_t a = s.at(fromMs), b = s.at(fromMs + 5);
                for (std::size_t i = a; i < b; ++i) sum += double(s.x[i]) * s.x[i];
                return std::sqrt(sum / double(b - a));
            };
            const double held = rms(1400);
            double dip = 0;
            for (double t = 1700 - 225; t <= 1700 - 190; t += 1) dip = std::max(dip, 20 * std::log10(held / rms(t)));
            EXPECT_LE(dip, 3.0) << modeName;
            std::printf("[figures] imported VCV bank, %s: held pitch error %.1f cents up to its last 10 ms, onset %.1f "
                        "ms from the preutterance, level dip in the join %.2f dB\n",
                        modeName, worst, onsetMs - 1700.0, dip);
        }
        struct Case {
            const char* first;
            uint32_t gap;
            Band expected;
        };
        for (const Case& c : {Case{"A", 0, kAfterA}, Case{"I", 0, kAfterI}, Case{"A", 500, kHead}}) {
            const uint32_t ka = 1000 + 500 + c.gap;
            Sung s = sing(voices.path(), id, {{c.first, 72, 1000, 500}, {"KA", 74, ka, 500}}, mode);
            ASSERT_FALSE(s.x.empty());
            const std::size_t from = s.at(ka - 50.0), n = 1764;
            const double heard = bandPower(s.x, from, n, c.expected);
            for (Band other : {kHead, kAfterA, kAfterI}) {
                if (other.lo == c.expected.lo) continue;
                EXPECT_GT(heard, 10 * bandPower(s.x, from, n, other)) << c.first << " gap " << c.gap;
            }
        }
    }
}

TEST(BankImport, PitchesAreMeasuredAndTagsOnlyGroupTheAliases) {
    // Three pitches with the suffixes "↓", "" and "↑", and a prefix.map over the whole
    // keyboard: C1-E4 "↓", F4-A#4 "", B4-B7 "↑" (the middle of each range is 56 and 101).
    test::TempDir dir;
    const fs::path root = fs::path(dir.path()) / "三音";
    std::string map;
    for (int n = 36; n <= 119; ++n)
        map += test::usualNoteName(n) + "\t\t" + (n <= 76 ? "↓" : n <= 82 ? "" : "↑") + "\n";
    test::writeText(root / "prefix.map", map, true);
    std::string oto;
    const std::vector<std::pair<const char*, const char*>> syllables = {{"あ", "A"}, {"か", "KA"}, {"さ", "SA"}};
    for (auto [suffix, note] : {std::pair{"↓", 72}, {"", 79}, {"↑", 84}}) {
        for (auto [kana, code] : syllables) {
            const std::string file = std::string(kana) + suffix + ".wav";
            test::writeFile(root / file, test::wavBytes(test::syllableSound(test::noteHz(note), 44100), 44100, 1,
                                                        WavKind::Pcm16));
            oto += file + "=" + kana + suffix + ",40,150,-500,70,20\r\n";
        }
    }
    // A line whose sound has no pitch: it keeps its tag.
    Recording breath;
    breath.silence(50);
    breath.consonant(500, 4000, 600, 9);
    for (float& v : breath.x) v *= 20;
    test::writeFile(root / "た↓.wav", test::wavBytes(breath.x, 44100, 1, WavKind::Pcm16));
    oto += "た↓.wav=た↓,40,150,-500,70,20\r\n";
    test::writeText(root / "oto.ini", oto, true);

    test::TempDir voices;
    BankImporter importer;
    BankSummary summary;
    std::string id;
    ASSERT_TRUE(importer.importVoice(root.string(), "", voices.path(), id, summary)) << importer.lastError();
    const std::string text = summary.text();
    EXPECT_EQ(summary.measuredPitch, 9) << text;
    EXPECT_EQ(summary.correctedPitches.size(), 6u) << text;
    for (const char* alias : {"あ↓", "か↓", "さ↓"}) {
        const std::size_t at = text.find(std::string(alias) + ": tagged 56, measured 72.0");
        EXPECT_NE(at, std::string::npos) << alias << "\n" << text;
        EXPECT_EQ(text.find("sung as 72", at), text.find('\n', at) - 10) << alias;
    }
    for (const char* alias : {"あ↑", "か↑", "さ↑"})
        EXPECT_NE(text.find(std::string(alias) + ": tagged 101, measured 8"), std::string::npos) << alias << "\n" << text;
    ASSERT_EQ(summary.unmeasuredPitches.size(), 1u) << text;
    EXPECT_NE(summary.unmeasuredPitches[0].find("た↓: no pitch could be measured; its tag 56 kept"), std::string::npos)
        << text;

    VoiceBank vb(voices.path());
    ASSERT_TRUE(vb.ensureVoiceLoaded(id));
    std::map<std::string, std::vector<uint32_t>> pitches;
    for (const auto& s : vb.findVoice(id)->samples) pitches[s->code].push_back(s->pitch);
    EXPECT_EQ(pitches["KA"], (std::vector<uint32_t>{72, 79, 84}));

    // Every note within 20 cents in both pitch modes, 62 and 64 included (16 semitones sharp
    // when the tags were taken).
    for (PitchMode mode : {PitchMode::Resample, PitchMode::KeepFormants}) {
        double worst = 0;
        for (int key : {62, 64, 70, 72, 76, 79, 82, 84, 88}) {
            Sung s = sing(voices.path(), id, {{"KA", key, 1000, 700}}, mode);
            ASSERT_FALSE(s.x.empty());
            std::vector<int16_t> y(s.x.begin(), s.x.end());
            const double period = estimatePeriod(y, s.at(1350));
            ASSERT_GT(period, 0) << key;
            const double cents = 1200.0 * std::log2(kRate / period / test::noteHz(key));
            EXPECT_LT(std::abs(cents), 20.0) << "key " << key << (mode == PitchMode::Resample ? " resampling" : " formants");
            worst = std::max(worst, std::abs(cents));
        }
        std::printf("[figures] \"↓\" \"\" \"↑\" bank, %s: worst pitch error over keys 62-88: %.1f cents\n",
                    mode == PitchMode::Resample ? "resampling" : "formant-keeping", worst);
    }
}

}  // namespace
}  // namespace kantor
