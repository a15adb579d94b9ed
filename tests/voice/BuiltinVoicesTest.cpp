// The built-in voices as the build makes them (kantor-make-voices): every syllable of the
// table at three or more pitches across the voice's range, each with a short consonant
// lead-in and a loop stretch that holds its labelled pitch and level, and that can be
// repeated without a click. The voices are looked for in $KANTOR_BUILTIN_VOICES, else in
// the folder the build generates them into; the test is skipped when they are not there.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "support/BuiltinVoiceFolder.h"
#include "synth/NoteFrequency.h"
#include "synth/SyllableShifter.h"
#include "voice/SyllableTable.h"
#include "voice/VoiceFile.h"

namespace kantor {
namespace {

// Period of x[begin, begin + window) searched within a whole tone of `expected`,
// refined by a parabola; 0 when there is no clear peak.
double periodNear(const std::vector<int16_t>& x, std::size_t begin, std::size_t window, double expected) {
    const std::size_t lo = static_cast<std::size_t>(expected / 1.12);
    const std::size_t hi = static_cast<std::size_t>(expected * 1.12) + 1;
    if (lo < 2 || begin + window + hi + 1 > x.size()) return 0.0;
    auto corr = [&](std::size_t lag) {
        double xy = 0, xx = 0, yy = 0;
        for (std::size_t i = begin; i < begin + window; ++i) {
            const double a = x[i], b = x[i + lag];
            xy += a * b;
            xx += a * a;
            yy += b * b;
        }
        return xx > 0 && yy > 0 ? xy / std::sqrt(xx * yy) : 0.0;
    };
    std::vector<double> r(hi + 2, 0.0);
    std::size_t best = lo;
    for (std::size_t lag = lo - 1; lag <= hi + 1; ++lag) r[lag] = corr(lag);
    for (std::size_t lag = lo; lag <= hi; ++lag)
        if (r[lag] > r[best]) best = lag;
    if (r[best] < 0.8 || best == lo || best == hi) return 0.0;
    const double den = r[best - 1] - 2 * r[best] + r[best + 1];
    const double shift = den < 0 ? std::clamp(0.5 * (r[best - 1] - r[best + 1]) / den, -0.5, 0.5) : 0.0;
    return static_cast<double>(best) + shift;
}

double rmsOf(const std::vector<int16_t>& x, std::size_t begin, std::size_t end) {
    double s = 0;
    for (std::size_t i = begin; i < end; ++i) s += static_cast<double>(x[i]) * x[i];
    return end > begin ? std::sqrt(s / static_cast<double>(end - begin)) : 0.0;
}

struct Range {
    double lowHz;
    double highHz;
};

class BuiltinVoices : public ::testing::TestWithParam<std::string> {};

TEST_P(BuiltinVoices, EverySyllableSungSteadilyAtItsLabelledPitch) {
    const std::string folder = test::builtinVoiceFolder();
    const std::string name = GetParam();
    const std::string path = folder + "/" + name + ".vxb";
    if (folder.empty() || !std::filesystem::exists(path)) GTEST_SKIP() << "no built voice at " << path;

    VoiceFileReader reader;
    VoiceFileHeader header;
    const std::unique_ptr<Voice> voice = reader.readFile(path, name, &header);
    ASSERT_TRUE(voice) << reader.lastError();
    EXPECT_EQ(voice->formatCode, 8);  // 16-bit mono 44,100 Hz
    EXPECT_EQ(voice->tuning, 440000u);
    const Range range = name == "MaleVox" ? Range{95.0, 335.0} : Range{190.0, 665.0};

    // Every row of the table: its code with its kana, at three or more pitches that span
    // the voice's range.
    std::map<std::string, std::set<uint32_t>> pitches;  // code + kana -> pitches
    for (const auto& s : voice->samples)
        if (s && s->usable()) pitches[s->code + " " + s->kana].insert(s->pitch);
    for (const SyllableRow& row : syllableTable()) {
        const std::string key = std::string(row.code) + " " + std::string(row.kana);
        const auto it = pitches.find(key);
        ASSERT_NE(it, pitches.end()) << name << " lacks " << key;
        ASSERT_GE(it->second.size(), 3u) << key;
        const double low = noteFrequency(*it->second.begin(), voice->tuning) / 1000.0;
        const double high = noteFrequency(*it->second.rbegin(), voice->tuning) / 1000.0;
        EXPECT_GE(low, range.lowHz) << key;
        EXPECT_LE(high, range.highHz) << key;
        EXPECT_GE(high / low, 1.8) << key << ": pitches do not spread over the range";
    }

    double worstCents = 0, worstDb = 0, longestLeadMs = 0;
    std::string worstCentsAt, worstDbAt;
    int failures = 0;
    std::ostringstream problems;
    auto problem = [&](const std::string& what) {
        if (++failures <= 20) problems << what << "\n";
    };
    for (const auto& s : voice->samples) {
        if (!s || !s->usable()) continue;
        const std::string label = s->code + "@" + std::to_string(s->pitch);
        const std::vector<int16_t> x = s->data.samples();
        const std::size_t b = s->markerB / 2, c = s->markerC / 2, d = s->markerD / 2;
        if (!(b < c && c < d && d <= x.size())) {
            problem(label + ": markers out of order");
            continue;
        }
        const double leadMs = b * 1000.0 / 44100.0;
        longestLeadMs = std::max(longestLeadMs, leadMs);
        if (leadMs >= 200.0) problem(label + ": consonant lead-in of " + std::to_string(leadMs) + " ms");

        // The loop: fundamental within 15 cents of the labelled note, level within 1.5 dB.
        const uint32_t ft = noteFrequency(s->pitch, voice->tuning);
        const double f0 = ft / 1000.0;
        const double period = 44100.0 / f0;
        const std::size_t window = std::max<std::size_t>(static_cast<std::size_t>(3 * period), 441);
        const std::size_t reach = window + static_cast<std::size_t>(period * 1.12) + 2;
        if (d - c < reach) {
            problem(label + ": loop shorter than three periods");
            continue;
        }
        const std::size_t frames = std::min<std::size_t>(12, (d - c - reach) / window + 1);
        const double step = frames > 1 ? static_cast<double>(d - c - reach) / (frames - 1) : 0.0;
        const double loopRms = rmsOf(x, c, d);
        for (std::size_t k = 0; k < frames; ++k) {
            const std::size_t at = c + static_cast<std::size_t>(k * step);
            const double p = periodNear(x, at, window, period);
            const double cents = p > 0 ? std::abs(1200.0 * std::log2((44100.0 / p) / f0)) : 1200.0;
            if (cents > worstCents) worstCents = cents, worstCentsAt = label;
            const double db = std::abs(20.0 * std::log10(std::max(rmsOf(x, at, at + window), 1.0) / std::max(loopRms, 1.0)));
            if (db > worstDb) worstDb = db, worstDbAt = label;
            if (cents > 15.0) problem(label + ": fundamental " + std::to_string(cents) + " cents off");
            if (db > 1.5) problem(label + ": level " + std::to_string(db) + " dB off");
        }

        // Three seconds sung at its own pitch and a minor third higher: no seam of the
        // repeated loop jumps further than the sound does anywhere inside the loop.
        for (const uint32_t target : {ft, noteFrequency(s->pitch + 3, voice->tuning)}) {
            SyllableShiftInput in;
            in.targetFrequency = target;
            in.sampleFrequency = ft;
            in.neededBytes = 3 * 88200;
            in.sample = &s->data;
            in.markerB = s->markerB;
            in.markerC = s->markerC;
            in.markerD = s->markerD;
            SyllableShiftOutput out;
            ASSERT_TRUE(shiftSyllable(in, out));
            const std::vector<int16_t> y = out.sound.samples();
            const std::size_t lc = scaleMarker(s->markerC, ft, target) / 2;
            const std::size_t ld = scaleMarker(std::min<uint32_t>(s->markerD, s->dataSize()), ft, target) / 2;
            if (ld <= lc + 2) {
                problem(label + ": empty loop");
                continue;
            }
            const std::size_t loop = ld - lc;
            int inner = 0;
            for (std::size_t i = lc + 1; i + 1 < ld; ++i) inner = std::max(inner, std::abs(y[i + 1] - y[i]));
            for (std::size_t seam = lc + loop; seam + 1 < y.size() && seam < lc + 20 * loop; seam += loop) {
                const int jump = std::abs(y[seam] - y[seam - 1]);
                if (jump > inner * 5 / 4 + 64) {
                    problem(label + ": click at a loop seam (" + std::to_string(jump) + " against " +
                            std::to_string(inner) + ")");
                    break;
                }
            }
        }
    }
    EXPECT_EQ(failures, 0) << problems.str();
    std::printf("%s: worst fundamental %.2f cents (%s), worst level %.2f dB (%s), longest lead-in %.0f ms\n",
                name.c_str(), worstCents, worstCentsAt.c_str(), worstDb, worstDbAt.c_str(), longestLeadMs);
}

INSTANTIATE_TEST_SUITE_P(Voices, BuiltinVoices, ::testing::Values("MaleVox", "FemaleVox"));

}  // namespace
}  // namespace kantor
