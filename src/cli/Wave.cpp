// kantor-cli wave: the wave files inserted in a song, as the wave file insertion window edits them.
//
//   wave list SONG.uta                     the entries with their positions, ticks and files,
//                                          and what is wrong with a file
//   wave insert SONG.uta FILE.wav --at TICK
//                                          inserts the file at TICK; --copy copies a file from
//                                          another folder beside the MIDI file (--force replaces
//                                          a file of that name there), --replace replaces an
//                                          entry already at TICK
//   wave remove SONG.uta --at TICK         removes the entry at TICK
// The song is written only when it changed, through a new file that replaces it when complete.
#include <ostream>

#include "audio/WaveInsertion.h"
#include "base/PrintableText.h"
#include "base/Translation.h"
#include "cli/Commands.h"
#include "cli/Session.h"
#include "sound/SoundFormat.h"
#include "voice/VoiceLibrary.h"

namespace kantor::cli {
namespace {

// The window's questions answered by the command's flags; what it shows goes to standard error.
class FlagPrompt : public UserPrompt {
public:
    FlagPrompt(const SongListArgs& a, std::ostream& err) : a_(a), err_(err) {}
    void notice(const std::string&, const std::string& text) override {
        err_ << "wave " << a_.command << ": " << translated(text) << "\n";
    }
    void warning(const std::string& c, const std::string& text) override { notice(c, text); }
    PromptAnswer askYesNo(const std::string&, const std::string& text) override {
        bool yes = false;
        const char* hint = "";
        if (text == wavetext::kMustCopy) {
            yes = a_.copy;
            hint = "--copy copies it";
        } else if (text == wavetext::kAskReplace) {
            yes = a_.replace;
            hint = "--replace replaces the entry";
        } else if (text.find("上書きしますか") != std::string::npos) {
            yes = a_.force;
            hint = "--force replaces that file";
        }
        if (!yes) err_ << "wave " << a_.command << ": " << text << "\n(" << hint << ")\n";
        return yes ? PromptAnswer::Yes : PromptAnswer::No;
    }
    PromptAnswer askYesNoCancel(const std::string& c, const std::string& text) override {
        return askYesNo(c, text) == PromptAnswer::Yes ? PromptAnswer::Yes : PromptAnswer::Cancel;
    }

private:
    const SongListArgs& a_;
    std::ostream& err_;
};

}  // namespace

int wave(const SongListArgs& a, std::ostream& out, std::ostream& err) {
    const std::string what = "wave " + a.command + ": ";
    CliSession s(a.common);
    uint32_t packed = kMono16, rate = kRate44100;
    decodeSampleFormatCode(s.settings().outputQualityCode(), packed, rate);
    const uint16_t bits = formatBits(packed);
    if (a.command == "list") {
        if (!s.session().openSong(a.song)) return 1;
        const Song& song = s.song();
        for (const auto& w : song.waveInserts())
            if (w) out << s.tempoMap().positionText(w->position) << "\t" << w->position << "\t" << printableText(w->name) << "\n";
        for (const std::string& problem : insertedWaveProblems(song, song.midiPath(), bits)) err << translated(problem);
        return 0;
    }
    return editSong(s, a.song, "wave " + a.command, out, err, [&](std::ostream& report) -> int {
        Song& song = s.song();
        const TempoMap& map = s.tempoMap();
        const uint32_t at = static_cast<uint32_t>(a.at);
        if (a.command == "remove") {
            long index = -1;
            const auto& list = song.waveInserts();
            for (std::size_t i = 0; i < list.size(); ++i)
                if (list[i] && list[i]->position == at) index = static_cast<long>(i);
            if (index < 0) {
                err << what << translated(wavetext::kNoSelection) << " (no entry at tick " << at << ")\n";
                return 1;
            }
            removeWaveInsert(song, index);
            return 0;
        }
        const WaveSteps steps = WaveSteps::of(map);
        if (at > steps.end) {
            err << what << translated(wavetext::kPastEnd) << " (tick " << at << ", the last measure starts at " << steps.end
                << ")\n";
            return 1;
        }
        if (!hasWavExtension(a.file)) {
            err << what << "a wave file ends in .wav\n";
            return 2;
        }
        FlagPrompt prompt(a, err);
        const WaveInsertResult r = insertWaveFile(song, song.midiPath(), at, a.file, bits, prompt);
        if (!r.changed()) return 1;  // the prompt has said why
        const WaveInsert& w = *song.waveInserts()[static_cast<std::size_t>(r.index)];
        report << (r.outcome == WaveInsertOutcome::Replaced ? "replaced " : "inserted ") << map.positionText(at) << "\t"
               << at << "\t" << printableText(w.name) << "\n";
        return 0;
    });
}

}  // namespace kantor::cli
