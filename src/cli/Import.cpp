// kantor-cli import SCORE -o SONG.uta [--part N] [--voice NAME]: a MusicXML score as a song.
#include <ostream>

#include "base/Translation.h"
#include "cli/Commands.h"
#include "cli/Session.h"
#include "hub/SongImport.h"
#include "voice/VoiceBank.h"
#include "voice/VoiceLibrary.h"

namespace kantor::cli {

int importScore(const ImportArgs& a, std::ostream& out, std::ostream& err) {
    CliSession s(a.common);
    s.setMessageStream(err);
    ScoreImport result;
    std::string error;
    // A voice's name does as well as its identifier.
    std::string voice;
    if (!a.voiceName.empty()) {
        s.voices().enumerateVoiceFiles();
        if (!findVoiceByName(s.voices(), a.voiceName, voice, error)) {
            err << "import: " << translated(error) << "\n";
            return 1;
        }
    }
    if (!importScoreAsSong(s, a.score, a.output, static_cast<int>(a.part), voice, result, error)) {
        if (!error.empty()) err << "import: " << translated(error) << "\n";
        return 1;
    }
    out << result.midiPath << "\n" << a.output << "\n";
    err << translated(result.summary) << "\n";
    return 0;
}

}  // namespace kantor::cli
