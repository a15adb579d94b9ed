#include "SampleMaker.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "Bandwidth.h"
#include "Lpc.h"
#include "PitchTracker.h"
#include "Psola.h"

namespace kantor::voicegen {

void highPassZeroPhase(Signal& x, double rate, double hz) {
    if (x.empty() || hz <= 0.0) return;
    auto section = [&](double q) {
        const double w = 2.0 * std::numbers::pi * hz / rate;
        const double alpha = std::sin(w) / (2.0 * q), c = std::cos(w), a0 = 1.0 + alpha;
        const double b0 = (1.0 + c) / 2.0 / a0, b1 = -(1.0 + c) / a0, b2 = b0, a1 = -2.0 * c / a0, a2 = (1.0 - alpha) / a0;
        auto run = [&](auto first, auto last) {
            double z1 = 0.0, z2 = 0.0;
            for (auto it = first; it != last; ++it) {
                const double v = *it;
                const double y = b0 * v + z1;
                z1 = b1 * v - a1 * y + z2;
                z2 = b2 * v - a2 * y;
                *it = static_cast<float>(y);
            }
        };
        run(x.begin(), x.end());
        run(x.rbegin(), x.rend());
    };
    section(0.54119610);
    section(1.30656296);
}

void addNoiseOnset(Signal& x, uint32_t rate, std::size_t vowelStart, uint32_t seed, const NoiseOnset& shape) {
    const double fs = rate;
    const std::size_t before = static_cast<std::size_t>(shape.before * fs);
    const std::size_t into = static_cast<std::size_t>(shape.into * fs);
    const std::size_t analysis = static_cast<std::size_t>(0.030 * fs);
    const std::size_t at = vowelStart + static_cast<std::size_t>(0.015 * fs);
    if (vowelStart < before || before == 0 || at + analysis > x.size()) return;
    // The envelope of the vowel without its downward tilt (pre-emphasised): turbulence
    // excites the upper formants as strongly as the first, and a high-pass after a
    // tilted envelope would leave mostly the first formant's leak.
    Signal tilted(analysis);
    for (std::size_t i = 0; i < analysis; ++i) tilted[i] = x[at + i] - (i > 0 || at > 0 ? 0.95f * x[at + i - 1] : 0.0f);
    const std::vector<double> a = lpcAnalyze(tilted, 0, analysis, 18);
    if (a.empty()) return;
    const double voiceRms = rms(x, at, at + analysis);
    const std::size_t len = before + into;
    Noise noise(seed);
    Signal n(len + 400);
    for (float& v : n) v = noise.next();
    Signal coloured = allPole(n, a);
    if (shape.highPassHz > 0.0) {
        const std::vector<double> h = bandPassTaps(shape.highPassHz, 0.47 * fs, fs, 127);
        coloured = filterRange(coloured, 0, coloured.size(), h);
    }
    coloured.erase(coloured.begin(), coloured.begin() + 200);  // let the filters settle
    const double noiseRms = rms(coloured, 0, len);
    if (noiseRms <= 0.0) return;
    const double gain = shape.gain * voiceRms / noiseRms;
    const std::size_t rise = std::min(before, static_cast<std::size_t>(0.012 * fs));
    const std::size_t burst = static_cast<std::size_t>(0.005 * fs);
    const std::size_t start = vowelStart - before;
    for (std::size_t i = 0; i < len; ++i) {
        double env = 1.0;
        if (i < rise) env = 0.5 - 0.5 * std::cos(std::numbers::pi * static_cast<double>(i) / static_cast<double>(rise));
        if (i >= before) env = 0.5 + 0.5 * std::cos(std::numbers::pi * static_cast<double>(i - before) / static_cast<double>(into));
        double g = gain * env;
        if (shape.burstGain > 0.0 && i < burst)
            g += shape.burstGain * voiceRms / noiseRms * std::sin(std::numbers::pi * static_cast<double>(i) / burst);
        x[start + i] += static_cast<float>(g * coloured[i]);
    }
}

WholeLoop wholeLoop(double rate, double f0, double seconds) {
    const double ideal = rate / f0;
    WholeLoop w;
    w.periods = std::max(1, static_cast<int>(std::lround(seconds * rate / ideal)));
    w.length = std::max(1L, std::lround(w.periods * ideal));
    return w;
}

bool voiceless(const SyllablePlan& plan) {
    if (plan.breath) return plan.onset.empty();
    if (plan.onset.size() != 1) return false;
    const std::string& p = plan.onset.front().name;
    return p == "k" || p == "t" || p == "p" || p == "s" || p == "S" || p == "ts" || p == "tS" || p == "f";
}

Onset onsetOf(const SyllablePlan& plan) {
    if (plan.breath) return Onset::Breath;
    if (plan.onset.empty()) return Onset::Vowel;
    const std::string& p = plan.onset.front().name;
    if (p == "k" || p == "t" || p == "p") return Onset::VoicelessStop;
    if (p == "b" || p == "d" || p == "g") return Onset::VoicedStop;
    if (p == "n" || p == "m" || p == "r" || p == "j" || p == "w" || p == "J") return Onset::Soft;
    return Onset::Other;
}

double vowelOnset(const std::vector<PitchFrame>& frames, double from, double to, double fraction) {
    std::vector<double> levels;
    for (const PitchFrame& f : frames) {
        const double c = static_cast<double>(f.center);
        if (c >= from && c <= to && f.period > 0.0) levels.push_back(f.rms);
    }
    if (levels.empty()) return std::max(0.0, from);
    std::nth_element(levels.begin(), levels.begin() + static_cast<long>(levels.size() / 2), levels.end());
    const double level = levels[levels.size() / 2];
    for (const PitchFrame& f : frames) {
        const double c = static_cast<double>(f.center);
        if (c >= from && f.period > 0.0 && f.rms >= fraction * level) return c;
    }
    return std::max(0.0, from);
}

HoldWindow steadiestStretch(const std::vector<PitchFrame>& frames, double from, double to, double length) {
    HoldWindow best{from, std::min(to, from + length)};
    double bestScore = 1e300;
    std::size_t first = 0;
    while (first < frames.size() && static_cast<double>(frames[first].center) < from) ++first;
    for (std::size_t i = first; i < frames.size(); ++i) {
        const double start = static_cast<double>(frames[i].center);
        if (start + length > to) break;
        double roughness = 0.0, sumLog = 0.0, sumLog2 = 0.0;
        int n = 0;
        for (std::size_t j = i; j < frames.size() && static_cast<double>(frames[j].center) <= start + length; ++j, ++n) {
            roughness += frames[j].period > 0.0 ? 1.0 - frames[j].clarity : 1.0;
            const double l = std::log(std::max(frames[j].rms, 1.0));
            sumLog += l;
            sumLog2 += l * l;
        }
        if (n == 0) continue;
        const double mean = sumLog / n;
        const double spread = std::sqrt(std::max(0.0, sumLog2 / n - mean * mean));
        const double score = roughness / n + 0.5 * spread;
        if (score < bestScore - 1e-12) {
            bestScore = score;
            best = {start, start + length};
        }
    }
    return best;
}

bool makeSample(std::span<const float> spoken, uint32_t spokenRate, const SyllablePlan& plan, double spokenF0,
                double targetF0, uint32_t breathSeed, MadeSample& out, std::string& error, const VowelColour& colour) {
    if (spoken.empty() || spokenRate == 0 || spokenF0 <= 0.0 || targetF0 <= 0.0) {
        error = "nothing spoken";
        return false;
    }
    const Onset onset = onsetOf(plan);
    const bool vowelAlone = onset == Onset::Vowel || plan.vowel == "n";
    const bool soft = vowelAlone || onset == Onset::Soft;
    const double vowelStartSec = vowelStartSeconds(plan);
    Signal x16(spoken.begin(), spoken.end());
    unwrapOverflow(x16);
    // No DC and nothing below the voice: the diphones carry offsets and slow steps.
    highPassZeroPhase(x16, spokenRate, 60.0);

    // Where the vowel starts in what was spoken.
    const double p16 = spokenRate / spokenF0;
    const std::vector<PitchFrame> f16 = trackPitch(x16, spokenRate / 200, p16 / 1.35, p16 * 1.35, 0.7, 150.0);
    const double onset16 = vowelOnset(f16, (vowelStartSec - 0.02) * spokenRate,
                                      (vowelStartSec + 0.35) * spokenRate);
    double noiseFrom = 0.0;  // seconds: where an added breath or aspiration starts
    const std::size_t at16 = static_cast<std::size_t>(onset16);
    switch (onset) {
        case Onset::Breath: {
            // The breath comes just before the voice starts (the glide of HYA..HYO, or the
            // vowel), which may be a little after the pause ends; before i it is the
            // palatal hiss of "hi", higher and stronger.
            const double ons = vowelOnset(f16, (kBreathSilence - 0.02) * spokenRate, (kBreathSilence + 0.35) * spokenRate);
            const bool palatal = plan.vowel == "i1" || !plan.onset.empty();
            addNoiseOnset(x16, spokenRate, static_cast<std::size_t>(ons), breathSeed,
                          NoiseOnset{kBreathSeconds, 0.03, palatal ? 0.9 : 1.0, palatal ? 2500.0 : 1800.0, 0.0});
            noiseFrom = ons / spokenRate - kBreathSeconds;
            break;
        }
        case Onset::VoicelessStop: {
            // The release: a burst, then aspiration into the vowel; higher for t (made at
            // the teeth) than for k and p.
            const double high = plan.onset.front().name == "t" ? 2500.0 : 1500.0;
            addNoiseOnset(x16, spokenRate, at16, breathSeed, NoiseOnset{0.04, 0.015, 0.8, high, 0.6});
            break;
        }
        case Onset::VoicedStop:
            addNoiseOnset(x16, spokenRate, at16, breathSeed, NoiseOnset{0.012, 0.01, 0.3, 1000.0, 0.8});
            break;
        default:
            break;
    }
    // The vowel's colour, from just before the vowel on.
    if (colour.from.valid() && plan.vowel != "n") {
        warpVowel(x16, spokenRate, spokenF0, colour.from, colour.to,
                  static_cast<std::size_t>(std::max(0.0, onset16 - 0.03 * spokenRate)),
                  static_cast<std::size_t>(onset16 + 0.04 * spokenRate));
    }
    const Signal x = resample(x16, spokenRate, kRate);
    const double fs = kRate;

    // Pitch marks of what was spoken (voiced consonants too: a low clarity bar).
    const double spokenPeriod = fs / spokenF0;
    const std::vector<PitchFrame> frames =
        trackPitch(x, 220, spokenPeriod / 1.35, spokenPeriod * 1.35, 0.55, 120.0);
    const std::vector<long long> marks = placePitchMarks(x, frames, 10);
    if (marks.size() < 20) {
        error = "too few pitch marks in the spoken vowel";
        return false;
    }

    // Where the vowel really sounds: the voice's recordings may start a little after
    // the phone boundary it was asked for.
    const double expected = vowelStartSec * fs;
    // (After any breath that was added: that noise is no vowel.)
    const double searchFrom = expected - 0.02 * fs;
    // After a hiss or a release the vowel starts with the first voicing (a weak
    // transition is already the vowel); after a soft consonant, where the vowel is loud.
    const bool afterNoise = onset == Onset::Other || onset == Onset::VoicelessStop || onset == Onset::VoicedStop;
    double vowelStart = vowelOnset(frames, searchFrom, expected + 0.35 * fs, afterNoise ? 0.12 : 0.3);
    // After a stop the vowel starts where the release that was added reaches it.
    if (onset == Onset::VoicelessStop || onset == Onset::VoicedStop) vowelStart = onset16 * fs / spokenRate;
    // A vowel that hardly sounds after its consonant (u after f) starts where it should.
    vowelStart = std::min(vowelStart, expected + 0.08 * fs);
    // After a breath, where the breath was made to meet it.
    if (plan.breath) vowelStart = (noiseFrom + kBreathSeconds) * fs;
    const double vowelEnd = expected + (kVowelSeconds - 0.12) * fs;

    // The output period: a whole number of samples for a whole number of periods near
    // kLoopSeconds, so that the loop repeats exactly (the pitch moves by far less than a cent).
    const WholeLoop whole = wholeLoop(fs, targetF0, kLoopSeconds);
    const long loopLength = whole.length;
    const double period = whole.period();

    // Timeline: the spoken sound up to the first moments of the vowel, then one steady
    // period of the vowel held (cut from its steadiest stretch; the voice joins two
    // recordings in the middle of the vowel, and the end of the first is often rough).
    // A vowel alone starts from that period too, swelling in over 25 ms before B.
    const HoldWindow hold = steadiestStretch(frames, vowelStart + 0.04 * fs, vowelEnd, 0.08 * fs);
    const double grain = 0.5 * (hold.from + hold.to);
    const double leave = vowelAlone ? vowelStart : std::min(hold.from, vowelStart + 0.02 * fs);
    const double blend = vowelAlone ? 0.01 * fs : 0.04 * fs;
    const std::size_t outLen = static_cast<std::size_t>(kSampleSeconds * fs);
    const TimeMap map = [=](double t) {
        GrainSource g{t, grain, 0.0};
        if (vowelAlone) return GrainSource{grain, grain, 1.0};
        if (t <= leave) return g;
        g.mix = t >= leave + blend ? 1.0 : 0.5 - 0.5 * std::cos(std::numbers::pi * (t - leave) / blend);
        return g;
    };
    Signal y = psolaConstantPitch(x, marks, period, outLen, map);
    // The consonant's hiss above the voices' 8 kHz (up to where the output still follows
    // the input, just into the vowel).
    if (!vowelAlone)
        extendNoiseBand(y, x, 0, static_cast<std::size_t>(std::min(leave, vowelStart + 0.01 * fs)), fs, breathSeed + 7);
    // A voiceless consonant alone before its vowel has nothing below about 1 kHz: what
    // the voices leave there (a murmur, the first formant's leak) only muffles it.
    if (voiceless(plan)) {
        const std::size_t end = static_cast<std::size_t>(std::max(0.0, vowelStart - 0.004 * fs));
        const std::size_t fadeLen = static_cast<std::size_t>(0.006 * fs);
        if (end > fadeLen) {
            const Signal high = filterRange(y, 0, end + fadeLen, bandPassTaps(1000.0, 20000.0, fs, 255));
            for (std::size_t i = 0; i < end + fadeLen && i < y.size(); ++i) {
                const double w = i < end ? 1.0 : 0.5 + 0.5 * std::cos(std::numbers::pi * static_cast<double>(i - end) / fadeLen);
                y[i] = static_cast<float>(w * high[i] + (1.0 - w) * y[i]);
            }
        }
    }

    // Level: from the start of the blend on, hold the vowel at kSteadyRms period by period;
    // the sound before keeps its own shape, scaled like the hold's start but never
    // louder than the hold.
    const std::size_t p = static_cast<std::size_t>(std::ceil(period));
    const std::size_t levelFrom = static_cast<std::size_t>(std::max(0.0, vowelAlone ? leave - 0.03 * fs : leave));
    std::vector<double> centres, gains;
    for (std::size_t s = levelFrom; s + 2 * p <= outLen; s += p / 2 + 1) {
        const double r = rms(y, s, s + 2 * p);
        centres.push_back(static_cast<double>(s) + static_cast<double>(p));
        gains.push_back(r > 1.0 ? kSteadyRms / r : 1.0);
    }
    if (gains.size() < 4) {
        error = "sample too short";
        return false;
    }
    std::vector<double> smooth(gains.size());
    for (std::size_t i = 0; i < gains.size(); ++i) {
        double acc = 0.0;
        int n = 0;
        for (std::size_t j = (i >= 2 ? i - 2 : 0); j <= std::min(gains.size() - 1, i + 2); ++j, ++n) acc += gains[j];
        smooth[i] = acc / n;
    }
    std::size_t g = 0;
    for (std::size_t i = 0; i < outLen; ++i) {
        const double t = static_cast<double>(i);
        double gain;
        if (t <= centres.front()) {
            gain = smooth.front();
        } else if (t >= centres.back()) {
            gain = smooth.back();
        } else {
            while (g + 1 < centres.size() && centres[g + 1] < t) ++g;
            const double f = (t - centres[g]) / (centres[g + 1] - centres[g]);
            gain = smooth[g] + (smooth[g + 1] - smooth[g]) * f;
        }
        y[i] = static_cast<float>(y[i] * gain);
    }
    // Nothing before the hold may be louder than the hold itself, and the consonant
    // before the vowel stays below it (a nasal or a glide must not pass for the vowel).
    // A soft consonant does not fall far below the vowel either: it joins the note before.
    // The gain moves smoothly, block by block.
    const double consonantStart = (plan.breath ? noiseFrom : kLeadSilence) * fs;
    const double block = std::max(0.005 * fs, period);  // a period, at least 5 ms: no ripple from the wave itself
    std::vector<double> limitAt, limitGain;
    for (double c = 0.0; c < static_cast<double>(levelFrom) + 2 * block; c += block / 2) {
        const std::size_t b0 = static_cast<std::size_t>(std::max(0.0, c - block / 2));
        const double r = rms(y, b0, b0 + static_cast<std::size_t>(block));
        // From the hold on the level is already held: no limit there, so that the gain
        // comes back to one smoothly.
        const double limit = c < vowelStart ? (soft ? 0.95 : 0.7) * kSteadyRms : c < leave ? 0.9 * kSteadyRms : 1e300;
        double gain = r > limit ? limit / r : 1.0;
        // A consonant that sounds (not the silence of a closure) is lifted to a floor: a
        // soft one close to its vowel, a hiss or a release to where it can be heard.
        const double floor = (soft ? 0.85 : 0.5) * kSteadyRms;
        if (!vowelAlone && c > consonantStart + block && c < static_cast<double>(levelFrom) &&
            r > 0.03 * kSteadyRms && r < floor)
            gain = std::min(floor / r, soft ? 6.0 : 8.0);
        limitAt.push_back(c);
        limitGain.push_back(gain);
    }
    std::vector<double> lowest(limitGain.size());
    for (std::size_t i = 0; i < limitGain.size(); ++i) {
        // Cuts spread to the neighbouring blocks; lifts stay where they are.
        lowest[i] = limitGain[i];
        if (limitGain[i] > 1.0) continue;  // a lifted dip keeps its lift
        if (i > 0 && limitGain[i - 1] < 1.0) lowest[i] = std::min(lowest[i], limitGain[i - 1]);
        if (i + 1 < limitGain.size() && limitGain[i + 1] < 1.0) lowest[i] = std::min(lowest[i], limitGain[i + 1]);
    }
    for (std::size_t i = 0; i + 1 < lowest.size(); ++i) {
        const std::size_t n0 = static_cast<std::size_t>(limitAt[i]);
        const std::size_t n1 = std::min(outLen, static_cast<std::size_t>(limitAt[i + 1]));
        for (std::size_t n = n0; n < n1; ++n) {
            const double f = (static_cast<double>(n) - limitAt[i]) / (limitAt[i + 1] - limitAt[i]);
            y[n] = static_cast<float>(y[n] * (lowest[i] + (lowest[i + 1] - lowest[i]) * f));
        }
    }
    // End fade of 30 ms.
    const std::size_t fade = static_cast<std::size_t>(0.03 * fs);
    for (std::size_t i = 0; i < fade; ++i) {
        y[outLen - 1 - i] *= static_cast<float>(0.5 - 0.5 * std::cos(std::numbers::pi * static_cast<double>(i) / fade));
    }

    // Clean silence before the consonant: whatever the voice left there (a breath of
    // noise, the tail of its pause) would only blur where the syllable starts. A vowel
    // alone swells in over the 25 ms before B.
    const double swell = 0.025 * fs;
    const std::size_t gate = static_cast<std::size_t>(
        std::max(0.0, vowelAlone ? vowelStart - swell - 0.005 * fs : consonantStart - 0.015 * fs));
    const std::size_t rise = static_cast<std::size_t>(vowelAlone ? swell : 0.005 * fs);
    for (std::size_t i = 0; i < gate + rise && i < outLen; ++i) {
        if (i < gate) {
            y[i] = 0.0f;
        } else {
            const double t = static_cast<double>(i - gate) / static_cast<double>(rise);
            y[i] *= static_cast<float>(vowelAlone ? 0.5 - 0.5 * std::cos(std::numbers::pi * t) : t);
        }
    }
    // Again nothing below the voice: the level shaping and the gate leave slow steps.
    highPassZeroPhase(y, fs, 50.0);
    for (std::size_t i = 0; i < gate; ++i) y[i] = 0.0f;
    const float top = peak(y);
    if (top > 32000.0f) {
        for (float& v : y) v *= 32000.0f / top;
    }

    out.pcm = toPcm16(y);
    out.b = static_cast<uint32_t>(std::lround(vowelStart));
    out.a = static_cast<uint32_t>(gate);
    // The loop: exactly loopPeriods output periods, where the hold is steady and the
    // high-pass has settled.
    const double settled = leave + blend + 2.0 * period + 0.06 * fs;
    out.c = static_cast<uint32_t>(std::ceil(std::max(settled, static_cast<double>(out.b) + 0.1 * fs)));
    out.d = out.c + static_cast<uint32_t>(loopLength);
    const uint32_t last = static_cast<uint32_t>(outLen - fade - 0.01 * fs);
    if (out.d > last) {
        // A shorter loop of whole periods that fits.
        const long room = static_cast<long>(last) - static_cast<long>(out.c);
        int n = static_cast<int>(std::floor(room / period));
        while (n > 1 && std::abs(n * period - std::round(n * period)) > 0.02) --n;
        if (n < 1 || room <= 0) {
            error = "no room for the loop";
            return false;
        }
        out.d = out.c + static_cast<uint32_t>(std::lround(n * period));
    }
    return true;
}

}  // namespace kantor::voicegen
