#include "Festival.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace kantor::voicegen {

namespace {

void segment(std::ostringstream& s, const std::string& name, double seconds, double f0) {
    char buf[160];
    std::snprintf(buf, sizeof buf, " (%s %.4f (0.0 %.4f) (%.4f %.4f))", name.c_str(), seconds, f0, seconds, f0);
    s << buf;
}

}  // namespace

std::string festivalScript(const std::string& voiceFunction, const std::vector<SpeakRequest>& requests) {
    std::ostringstream s;
    s << "(" << voiceFunction << ")\n";
    for (const SpeakRequest& r : requests) {
        s << "(set! u (Utterance Segments (";
        segment(s, "#", r.plan.breath ? kBreathSilence : kLeadSilence, r.f0);
        for (const Phone& p : r.plan.onset) segment(s, p.name, p.seconds, r.f0);
        segment(s, r.plan.vowel, kVowelSeconds, r.f0);
        segment(s, "#", kTailSilence, r.f0);
        s << ")))\n(utt.synth u)\n(utt.save.wave u \"" << r.wavPath << "\" 'riff)\n";
    }
    return s.str();
}

bool runFestival(const std::string& scriptPath, const std::string& logPath, std::string& error) {
    const std::string command = "festival -b '" + scriptPath + "' >'" + logPath + "' 2>&1 </dev/null";
    const int rc = std::system(command.c_str());
    if (rc != 0) {
        error = "festival failed (status " + std::to_string(rc) + "), see " + logPath +
                "; install it with scripts/install-deps.sh";
        return false;
    }
    return true;
}

}  // namespace kantor::voicegen
