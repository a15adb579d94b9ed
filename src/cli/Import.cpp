// kantor-cli import SCORE -o SONG.uta [--part N] [--verse N] [--no-repeats] [--voice NAME]: a MusicXML score as a song.
#include <ostream>

#include "base/Translation.h"
#include "cli/Commands.h"
#include "cli/Session.h"
#include "hub/SongImport.h"

namespace kantor::cli {

int importScore(const ImportArgs& a, std::ostream& out, std::ostream& err) {
    CliSession s(a.common);
    s.setMessageStream(err);
    ScoreImport result;
    std::string error;
    MusicXmlOptions options;
    options.part = static_cast<int>(a.part);
    options.verse = static_cast<int>(a.verse);
    options.repeats = !a.noRepeats;
    if (!importScoreAsSong(s, a.score, a.output, options, a.voiceName, result, error)) {
        if (!error.empty()) err << "import: " << translated(error) << "\n";
        return 1;
    }
    out << result.midiPath << "\n" << a.output << "\n";
    err << translated(result.summary) << "\n";
    return 0;
}

}  // namespace kantor::cli
