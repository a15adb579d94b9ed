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
    // Line by line: each line is a text of its own.
    for (std::size_t at = 0; at < result.summary.size();) {
        std::size_t end = result.summary.find('\n', at);
        if (end == std::string::npos) end = result.summary.size();
        err << translated(result.summary.substr(at, end - at)) << "\n";
        at = end + 1;
    }
    return 0;
}

}  // namespace kantor::cli
