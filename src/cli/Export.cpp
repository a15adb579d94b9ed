// kantor-cli export SONG.uta -o OUT.mid [--cp932]: the song's MIDI file with its lyrics.
#include <ostream>

#include "base/Translation.h"
#include "cli/Commands.h"
#include "cli/Session.h"
#include "hub/SongImport.h"

namespace kantor::cli {

int exportMidi(const ExportArgs& a, std::ostream& out, std::ostream& err) {
    CliSession s(a.common);
    s.setMessageStream(err);
    if (!s.session().openSong(a.song)) return 1;
    std::string error;
    if (!exportMidiWithLyrics(s, a.output, a.cp932, error)) {
        err << "export: " << translated(error) << "\n";
        return 1;
    }
    out << a.output << "\n";
    return 0;
}

}  // namespace kantor::cli
