#include "VoiceRecipe.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string_view>

#include "Festival.h"
#include "VowelMatch.h"
#include "VowelWarp.h"
#include "Phonetics.h"
#include "Quality.h"
#include "SampleMaker.h"
#include "Signal.h"
#include "voice/SyllableTable.h"
#include "voice/Voice.h"
#include "synth/NoteFrequency.h"
#include "voicemaker/PitchNames.h"
#include "voicemaker/VoiceBuilder.h"
#include "voicemaker/VoiceProject.h"

namespace kantor::voicegen {

std::vector<VoiceRecipe> builtinVoices() {
    return {
        {"MaleVox", "Built-in male voice", "voice_pc_diphone", {55, 58, 61, 64, 67, 70, 73, 76}, 101, false},
        {"FemaleVox", "Built-in female voice", "voice_lp_diphone", {67, 70, 73, 76, 79, 82, 85, 88}, 202, true},
    };
}

namespace {

constexpr uint32_t kTuning = 440000;

double noteHz(int note) { return noteFrequency(static_cast<uint32_t>(note), kTuning) / 1000.0; }

struct Job {
    int row;
    int note;
    double f0;
    SpeakRequest request;
};

// The whole periods that the loop C..D of a sample sung at f0 holds.
int loopPeriods(const MadeSample& m, double f0) {
    return std::max(1, static_cast<int>(std::lround((m.d - m.c) * f0 / kRate)));
}

// Every held vowel onto its vowel's shared colour: the most typical of the plain vowel's
// samples in the lower part of the range (where the harmonics lie close enough to show
// the envelope). The filter comes in over the start of the vowel, so the consonant stays
// as it was.
void matchVowelColours(const std::vector<Job>& jobs, const std::map<char, FormantPair>& aims,
                       std::vector<MadeSample>& made, VoiceReport& report) {
    std::map<char, std::vector<HarmonicEnvelope>> plain;
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        const Job& j = jobs[i];
        const std::string_view code = syllableRow(j.row)->code;
        if (code.size() != 1 || code == "N") continue;
        const Signal y = fromPcm16(made[i].pcm);
        plain[code[0]].push_back(loopEnvelope(y, made[i].c, made[i].d, loopPeriods(made[i], j.f0), kRate));
    }
    std::map<char, HarmonicEnvelope> shared;
    for (const auto& [vowel, envelopes] : plain) {
        double lowest = 1e300;
        for (const HarmonicEnvelope& e : envelopes) lowest = std::min(lowest, e.f0);
        // From the lowest pitches, half an octave above the lowest at most.
        const HarmonicEnvelope* typical = typicalEnvelope(envelopes, 1.45 * lowest);
        if (!typical) continue;
        shared[vowel] = *typical;
        // The second formant where the recolouring meant it to be.
        if (const auto aim = aims.find(vowel); aim != aims.end()) ensureFormant(shared[vowel], aim->second.f2);
    }
    double largest = 0.0;
    std::string largestAt;
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        const Job& j = jobs[i];
        const std::string_view code = syllableRow(j.row)->code;
        const auto target = shared.find(code.back());
        if (code == "N" || target == shared.end() || target->second.empty()) continue;
        MadeSample& m = made[i];
        Signal y = fromPcm16(m.pcm);
        const HarmonicEnvelope own = loopEnvelope(y, m.c, m.d, loopPeriods(m, j.f0), kRate);
        const std::vector<double> gains = matchingGainsDb(own, target->second);
        for (double g : gains)
            if (std::abs(g) > largest) largest = std::abs(g), largestAt = std::string(code) + "@" + std::to_string(j.note);
        const std::size_t from = m.b > 441 ? m.b - 441 : 0;  // 10 ms before the vowel
        applyHarmonicGains(y, kRate, own.f0, gains, from, m.b + 1323);
        const float top = peak(y);
        if (top > 32000.0f)
            for (float& v : y) v *= 32000.0f / top;
        m.pcm = toPcm16(y);
    }
    char line[96];
    std::snprintf(line, sizeof line, "vowel colours matched across pitches: largest gain %.1f dB (%s)", largest,
                  largestAt.c_str());
    report.notes.push_back(line);
}

}  // namespace

VoiceReport makeVoice(const VoiceRecipe& recipe, const std::string& folder, int firstRow, int lastRow, bool wav) {
    namespace fs = std::filesystem;
    VoiceReport report;
    report.name = recipe.name;
    const fs::path work = fs::absolute(fs::path(folder)) / "voicegen" / recipe.name;
    const fs::path spokenDir = work / "spoken";
    std::error_code ec;
    fs::create_directories(spokenDir, ec);
    if (ec) {
        report.error = "cannot create " + spokenDir.string();
        return report;
    }

    std::vector<Job> jobs;
    for (int row = firstRow; row <= lastRow; ++row) {
        for (int note : recipe.notes) {
            Job j{row, note, noteHz(note), {}};
            j.request.plan = planSyllable(row);
            j.request.f0 = std::min(j.f0, kFestivalMaxF0);
            char name[64];
            std::snprintf(name, sizeof name, "r%03d_n%03d.wav", row, note);
            j.request.wavPath = (spokenDir / name).string();
            jobs.push_back(j);
        }
    }
    std::vector<SpeakRequest> requests;
    for (const Job& j : jobs) requests.push_back(j.request);
    const fs::path script = work / "speak.scm";
    {
        std::ofstream out(script, std::ios::trunc);
        out << festivalScript(recipe.festivalVoice, requests);
        if (!out) {
            report.error = "cannot write " + script.string();
            return report;
        }
    }
    if (!runFestival(script.string(), (work / "festival.log").string(), report.error)) return report;

    std::ofstream manifest;
    if (wav) {
        manifest.open(work / "manifest.txt", std::ios::trunc);
        manifest << "# row code note file A B C D (sample positions at 44100 Hz)\n";
    }
    // The formants of the voice's own plain vowels, and where the Japanese vowels should
    // have them: the targets come from the lowest pitch, where the formants show best.
    // The voice says a vowel a little differently at each pitch, so each pitch's vowel is
    // measured too and moved onto the same targets (where it can be measured and lies
    // near the lowest pitch's; else it moves as the lowest pitch's does).
    std::map<std::pair<char, int>, FormantPair> spokenAt;
    for (const Job& j : jobs) {
        if (j.row > 4) continue;
        Signal spoken;
        uint32_t rate = 0;
        if (!readWavMono16(j.request.wavPath, spoken, rate, report.error)) return report;
        const double at = vowelStartSeconds(j.request.plan) * rate;
        const FormantPair f = measureFormants(spoken, static_cast<std::size_t>(at + 0.1 * rate),
                                              static_cast<std::size_t>(at + 0.5 * rate), rate,
                                              j.row == 2 || j.row == 4 ? 1500.0 : 4000.0);
        if (f.valid() && f.f1 < 900.0 && f.f2 < 3200.0) spokenAt[{syllableRow(j.row)->code.back(), j.note}] = f;
    }
    std::map<std::pair<char, int>, VowelColour> colours;
    std::map<char, FormantPair> aims;
    for (const char vowel : {'A', 'I', 'U', 'E', 'O'}) {
        const auto low = spokenAt.find({vowel, recipe.notes.front()});
        if (low == spokenAt.end()) continue;
        const FormantPair to = japaneseTarget(vowel, low->second, recipe.female);
        if (std::abs(to.f2 - low->second.f2) > 0.05 * low->second.f2) aims[vowel] = to;
        std::string line = std::string("vowel ") + vowel + ": F1/F2";
        for (const int note : recipe.notes) {
            FormantPair from = low->second;
            const auto own = spokenAt.find({vowel, note});
            if (own != spokenAt.end() && std::abs(std::log(own->second.f1 / from.f1)) < 0.3 &&
                std::abs(std::log(own->second.f2 / from.f2)) < 0.3)
                from = own->second;
            colours[{vowel, note}] = {from, to};
            char f[48];
            std::snprintf(f, sizeof f, " %.0f/%.0f", from.f1, from.f2);
            line += f;
        }
        char f[48];
        std::snprintf(f, sizeof f, " Hz -> %.0f/%.0f Hz", to.f1, to.f2);
        report.notes.push_back(line + f);
    }

    VoiceProject project;
    project.voiceName = recipe.name;
    project.comment = recipe.comment;
    project.comment2 = "kantor-make-voices";
    project.tuning = kTuning;
    project.rateChoice = kRateChoice44k;
    std::vector<MadeSample> made(jobs.size());
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        const Job& j = jobs[i];
        const SyllableRow& row = *syllableRow(j.row);
        Signal spoken;
        uint32_t rate = 0;
        if (!readWavMono16(j.request.wavPath, spoken, rate, report.error)) return report;
        const char vowel = std::string_view(row.code).back();
        const auto colour = colours.find({vowel, j.note});
        if (!makeSample(spoken, rate, j.request.plan, j.request.f0, j.f0,
                        recipe.seed * 1000u + static_cast<unsigned>(j.row), made[i], report.error,
                        colour == colours.end() ? VowelColour{} : colour->second)) {
            report.error = std::string(row.code) + "@" + std::to_string(j.note) + ": " + report.error;
            return report;
        }
    }
    matchVowelColours(jobs, aims, made, report);

    std::vector<Markers> ownMarkers;
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        const Job& j = jobs[i];
        const SyllableRow& row = *syllableRow(j.row);
        const MadeSample& m = made[i];
        if (wav) {
            char name[64];
            std::snprintf(name, sizeof name, "%03d_%s_%d.wav", j.row, std::string(row.code).c_str(), j.note);
            if (!writeWavMono16((work / name).string(), m.pcm, kRate, report.error)) return report;
            manifest << j.row << ' ' << row.code << ' ' << j.note << ' ' << name << ' ' << m.a << ' '
                     << m.b << ' ' << m.c << ' ' << m.d << '\n';
        }
        auto item = std::make_unique<VoiceItem>();
        item->code = std::string(row.code);
        item->notation = std::string(row.kana);
        item->pitchName = makerPitchName(j.note);
        item->pitchNumber = static_cast<uint32_t>(j.note);
        item->data = SoundBuffer::fromSamples(m.pcm);
        project.items.push_back(std::move(item));
        ownMarkers.push_back({m.a, m.b, m.c, m.d});
    }

    // The generator knows where it put the vowel and the exact periodic stretch: its
    // markers stand (the maker's automark would look for them again, less exactly).
    for (std::size_t i = 0; i < project.items.size(); ++i) project.items[i]->setMarkers(ownMarkers[i]);
    for (std::size_t i = 0; i < project.items.size(); ++i) {
        const VoiceItem& item = *project.items[i];
        const Job& j = jobs[i];
        const std::string label = item.code + "@" + std::to_string(j.note);
        const Signal y = fromPcm16(item.data.samples());
        const StretchQuality q = measureStretch(y, kRate, item.markerC, item.markerD, j.f0);
        if (std::getenv("VOICEGEN_VERBOSE"))
            std::fprintf(stderr, "%s %s: worst %.2f mean %.2f cents, level +-%.2f dB, clarity %.3f, A %u B %u C %u D %u\n",
                         recipe.name.c_str(), label.c_str(), q.worstCents, q.meanCents, q.levelSpreadDb, q.minClarity,
                         item.markerA, item.markerB, item.markerC, item.markerD);
        if (q.worstCents > report.worstCents) {
            report.worstCents = q.worstCents;
            report.worstCentsAt = label;
        }
        if (q.levelSpreadDb > report.worstLevelDb) {
            report.worstLevelDb = q.levelSpreadDb;
            report.worstLevelAt = label;
        }
        report.longestLeadMs = std::max(report.longestLeadMs, (item.markerB - item.markerA) * 1000.0 / kRate);
    }
    project.markItemsEdited();
    const std::string projectPath = (work / (recipe.name + ".vxbprj")).string();
    if (!project.save(projectPath)) {
        report.error = projectPath + ": " + project.lastError();
        return report;
    }
    VoiceBuilder builder;
    std::string identifier;
    if (!builder.build(project, fs::absolute(fs::path(folder)).string(), recipe.name, identifier)) {
        report.error = builder.lastError();
        return report;
    }
    report.path = (fs::path(folder) / (identifier + ".vxb")).string();
    report.samples = static_cast<int>(project.items.size());
    report.ok = true;
    return report;
}

}  // namespace kantor::voicegen
