// kantor-cli import SCORE -o SONG.uta [--part N] [--verse N] [--no-repeats] [--voice NAME] [--force]: a MusicXML score as a song.
#include <ostream>

#include "base/PrintableText.h"
#include "base/Translation.h"
#include "cli/Commands.h"
#include "cli/Session.h"
#include "hub/SongImport.h"
#include "voice/VoiceBank.h"
#include "voice/VoiceLibrary.h"

namespace kantor::cli {

int importScore(const ImportArgs& a, std::ostream& out, std::ostream& err) {
    // The song and its MIDI file follow the rules of every command that writes a song: never
    // an input, never a write-protected file or a folder. Whether they exist is looked at
    // under the song's lock, after an import of the song cut short has been finished
    // (hub/SongImport.h): an existing one is replaced only with --force.
    const std::string midiPath = scoreMidiPathOf(a.output);
    for (const std::string& output : {a.output, midiPath}) {
        if (outputIsAnInput("import", output, {a.score}, err)) return 1;
        if (!checkSongOutput("import", output, true, err)) return 1;
    }
    CliSession s(a.common);
    s.setMessageStream(err);
    ScoreImport result;
    std::string error;
    // A voice's name does as well as its identifier.
    std::string voice;
    if (!a.voiceName.empty()) {
        s.voices().enumerateVoiceFiles();
        if (!findVoiceByName(s.voices(), a.voiceName, voice, error)) {
            err << "import: " << printableLines(translated(error)) << "\n";
            return 1;
        }
    }
    MusicXmlOptions options;
    options.part = static_cast<int>(a.part);
    options.verse = static_cast<int>(a.verse);
    options.repeats = !a.noRepeats;
    if (!importScoreAsSong(s, a.score, a.output, options, voice, result, error, a.force)) {
        // The reasons quote the score (lyrics, part names): escaped, each line cut.
        if (!error.empty()) err << "import: " << printableLines(translated(error)) << "\n";
        return 1;
    }
    out << result.midiPath << "\n" << a.output << "\n";
    // Line by line: each line is a text of its own.
    for (std::size_t at = 0; at < result.summary.size();) {
        std::size_t end = result.summary.find('\n', at);
        if (end == std::string::npos) end = result.summary.size();
        err << printableText(translated(result.summary.substr(at, end - at)), 1000) << "\n";
        at = end + 1;
    }
    return 0;
}

}  // namespace kantor::cli
