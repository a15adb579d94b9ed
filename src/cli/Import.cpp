// kantor-cli import SCORE -o SONG.uta [--part N] [--voice NAME] [--force]: a MusicXML score as a song.
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
    if (!importScoreAsSong(s, a.score, a.output, static_cast<int>(a.part), voice, result, error, a.force)) {
        // The reasons quote the score (lyrics, part names): escaped, each line cut.
        if (!error.empty()) err << "import: " << printableLines(translated(error)) << "\n";
        return 1;
    }
    out << result.midiPath << "\n" << a.output << "\n";
    err << printableLines(translated(result.summary)) << "\n";
    return 0;
}

}  // namespace kantor::cli
