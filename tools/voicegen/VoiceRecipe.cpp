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

    struct Job {
        int row;
        int note;
        double f0;
        SpeakRequest request;
    };
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
    // The formants of the voice's own plain vowels (at its lowest pitch, where they show
    // best), and where the Japanese vowels should have them.
    std::map<char, VowelColour> colours;
    for (const Job& j : jobs) {
        if (j.row > 4 || j.note != recipe.notes.front()) continue;
        Signal spoken;
        uint32_t rate = 0;
        if (!readWavMono16(j.request.wavPath, spoken, rate, report.error)) return report;
        const double at = vowelStartSeconds(j.request.plan) * rate;
        const FormantPair f = measureFormants(spoken, static_cast<std::size_t>(at + 0.1 * rate),
                                              static_cast<std::size_t>(at + 0.5 * rate), rate,
                                              j.row == 2 || j.row == 4 ? 1500.0 : 4000.0);
        const char vowel = syllableRow(j.row)->code.back();
        if (f.valid() && f.f1 < 900.0 && f.f2 < 3200.0) {
            colours[vowel] = {f, japaneseTarget(vowel, f, recipe.female)};
            char line[128];
            std::snprintf(line, sizeof line, "vowel %c: F1/F2 %.0f/%.0f Hz -> %.0f/%.0f Hz", vowel, f.f1, f.f2,
                          colours[vowel].to.f1, colours[vowel].to.f2);
            report.notes.push_back(line);
        }
    }

    VoiceProject project;
    project.voiceName = recipe.name;
    project.comment = recipe.comment;
    project.comment2 = "kantor-make-voices";
    project.tuning = kTuning;
    project.rateChoice = kRateChoice44k;
    std::vector<Markers> ownMarkers;
    for (const Job& j : jobs) {
        const SyllableRow& row = *syllableRow(j.row);
        const std::string label = std::string(row.code) + "@" + std::to_string(j.note);
        Signal spoken;
        uint32_t rate = 0;
        if (!readWavMono16(j.request.wavPath, spoken, rate, report.error)) return report;
        MadeSample made;
        const char vowel = std::string_view(row.code).back();
        const auto colour = colours.find(vowel);
        if (!makeSample(spoken, rate, j.request.plan, j.request.f0, j.f0,
                        recipe.seed * 1000u + static_cast<unsigned>(j.row), made, report.error,
                        colour == colours.end() ? VowelColour{} : colour->second)) {
            report.error = label + ": " + report.error;
            return report;
        }
        if (wav) {
            char name[64];
            std::snprintf(name, sizeof name, "%03d_%s_%d.wav", j.row, std::string(row.code).c_str(), j.note);
            if (!writeWavMono16((work / name).string(), made.pcm, kRate, report.error)) return report;
            manifest << j.row << ' ' << row.code << ' ' << j.note << ' ' << name << ' ' << made.a << ' '
                     << made.b << ' ' << made.c << ' ' << made.d << '\n';
        }
        auto item = std::make_unique<VoiceItem>();
        item->code = std::string(row.code);
        item->notation = std::string(row.kana);
        item->pitchName = makerPitchName(j.note);
        item->pitchNumber = static_cast<uint32_t>(j.note);
        const std::vector<int16_t> pcm = made.pcm;
        item->data = SoundBuffer::fromSamples(pcm);
        project.items.push_back(std::move(item));
        ownMarkers.push_back({made.a, made.b, made.c, made.d});
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
