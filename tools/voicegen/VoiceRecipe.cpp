#include "VoiceRecipe.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

#include "Festival.h"
#include "NoteFrequency.h"
#include "Phonetics.h"
#include "Quality.h"
#include "SampleMaker.h"
#include "Signal.h"
#include "voice/SyllableTable.h"
#include "voice/Voice.h"
#include "voice/VoiceFile.h"

namespace kantor::voicegen {

std::vector<VoiceRecipe> builtinVoices() {
    return {
        {"MaleVox", "Built-in male voice", "voice_pc_diphone", {57, 62, 67, 72}, 101},
        {"FemaleVox", "Built-in female voice", "voice_lp_diphone", {69, 74, 79, 84}, 202},
    };
}

namespace {

// The voice data build's cut and level: A up to one second after B, mean absolute
// level after B brought to 4000.
std::unique_ptr<VoiceSample> toVoiceSample(const SyllableRow& row, int note, const MadeSample& s) {
    auto out = std::make_unique<VoiceSample>();
    out->code = std::string(row.code);
    out->kana = std::string(row.kana);
    out->pitch = static_cast<uint32_t>(note);
    const std::size_t end = std::min(s.pcm.size(), static_cast<std::size_t>(s.b) + 44100);
    std::vector<int16_t> seg(s.pcm.begin() + s.a, s.pcm.begin() + static_cast<long>(end));
    double sum = 0.0;
    for (std::size_t i = s.b - s.a; i < seg.size(); ++i) sum += std::abs(static_cast<double>(seg[i]));
    const double meanAbs = seg.size() > s.b - s.a ? sum / static_cast<double>(seg.size() - (s.b - s.a)) : 0.0;
    if (meanAbs > 0.0) {
        const double k = 4000.0 / meanAbs;
        for (int16_t& v : seg) v = static_cast<int16_t>(std::clamp(std::trunc(v * k), -32768.0, 32767.0));
    }
    out->data = SoundBuffer::fromSamples(seg);
    out->markerB = 2 * (s.b - s.a);
    out->markerC = 2 * (s.c - s.a);
    out->markerD = 2 * (s.d - s.a);
    return out;
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
    std::vector<std::unique_ptr<VoiceSample>> samples;
    for (const Job& j : jobs) {
        const SyllableRow& row = *syllableRow(j.row);
        const std::string label = std::string(row.code) + "@" + std::to_string(j.note);
        Signal spoken;
        uint32_t rate = 0;
        if (!readWavMono16(j.request.wavPath, spoken, rate, report.error)) return report;
        MadeSample made;
        if (!makeSample(spoken, rate, j.request.plan, j.request.f0, j.f0,
                        recipe.seed * 1000u + static_cast<unsigned>(j.row), made, report.error)) {
            report.error = label + ": " + report.error;
            return report;
        }
        const Signal y = fromPcm16(made.pcm);
        const StretchQuality q = measureStretch(y, kRate, made.c, made.d, j.f0);
        if (std::getenv("VOICEGEN_VERBOSE"))
            std::fprintf(stderr, "%s %s: worst %.2f mean %.2f cents, level +-%.2f dB, clarity %.3f, frames %d, A %u B %u C %u D %u\n",
                         recipe.name.c_str(), label.c_str(), q.worstCents, q.meanCents, q.levelSpreadDb, q.minClarity,
                         q.frames, made.a, made.b, made.c, made.d);
        if (q.worstCents > report.worstCents) {
            report.worstCents = q.worstCents;
            report.worstCentsAt = label;
        }
        if (q.levelSpreadDb > report.worstLevelDb) {
            report.worstLevelDb = q.levelSpreadDb;
            report.worstLevelAt = label;
        }
        report.longestLeadMs = std::max(report.longestLeadMs, (made.b - made.a) * 1000.0 / kRate);
        if (wav) {
            char name[64];
            std::snprintf(name, sizeof name, "%03d_%s_%d.wav", j.row, std::string(row.code).c_str(), j.note);
            if (!writeWavMono16((work / name).string(), made.pcm, kRate, report.error)) return report;
            manifest << j.row << ' ' << row.code << ' ' << j.note << ' ' << name << ' ' << made.a << ' '
                     << made.b << ' ' << made.c << ' ' << made.d << '\n';
        }
        samples.push_back(toVoiceSample(row, j.note, made));
    }
    VoiceFileHeader header;
    header.voiceName = recipe.name;
    header.comment = recipe.comment;
    header.comment2 = "Generated by kantor-make-voices";
    report.path = (fs::path(folder) / (recipe.name + ".vxb")).string();
    VoiceFileWriter writer;
    if (!writer.write(report.path, header, samples)) {
        report.error = writer.lastError();
        return report;
    }
    report.samples = static_cast<int>(samples.size());
    report.ok = true;
    return report;
}

}  // namespace kantor::voicegen
