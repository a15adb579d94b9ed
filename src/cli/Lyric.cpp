// kantor-cli lyric: the lyric lines of a song, as the lyric input window edits them.
//
//   lyric list SONG.uta                       the lines with their positions and ticks
//   lyric add SONG.uta --at TICK TEXT         enters a line at TICK, rounded to the window's
//                                             grid; --replace replaces a line already there
//   lyric remove SONG.uta --at TICK           deletes the line at TICK
// The song is written only when it changed, through a new file that replaces it when complete.
#include <algorithm>
#include <ostream>

#include "base/PrintableText.h"
#include "base/Translation.h"
#include "cli/Commands.h"
#include "cli/Session.h"
#include "song/LyricList.h"

namespace kantor::cli {

namespace {

// lyric add and remove on the song read under its lock: 0 when it is to be saved.
int change(CliSession& s, const SongListArgs& a, std::ostream& out, std::ostream& err) {
    const std::string what = "lyric " + a.command + ": ";
    Song& song = s.song();
    const TempoMap& map = s.tempoMap();
    const LyricSteps steps = LyricSteps::of(map);
    const uint32_t at = static_cast<uint32_t>(a.at);
    if (a.command == "remove") {
        const long index = lyricLineAt(song, at);
        if (index < 0) {
            err << what << translated(lyrictext::kNoSelection) << " (no line at tick " << at << ")\n";
            return 1;
        }
        deleteLyric(song, index);
        return 0;
    }
    if (steps.step != 0 && at > steps.songEnd) {
        err << what << translated(lyrictext::kPastEnd) << " (tick " << at << ", the song ends at " << steps.songEnd << ")\n";
        return 1;
    }
    const uint32_t position = std::min(steps.round(at), steps.songEnd);
    const LyricPutResult r = putLyric(song, position, a.text, [&] { return a.replace; });
    switch (r.what) {
        case LyricPut::Declined:
            err << what << translated(lyrictext::kAskReplace) << "\n(tick " << position << "; --replace replaces the line)\n";
            return 1;
        case LyricPut::TooLong: err << what << translated(lyrictext::kTooLong) << "\n"; return 1;
        case LyricPut::Unwritable:
            err << what << translated(lyrictext::kUnwritable) << lyricUnwritableCharacter(trimLyricText(a.text)) << "\n";
            return 1;
        case LyricPut::Empty: err << what << "the text is empty\n"; return 2;
        case LyricPut::Inserted:
        case LyricPut::Replaced: break;
    }
    out << (r.what == LyricPut::Replaced ? "replaced " : "added ") << map.positionText(position) << "\t" << position
        << "\n";
    return 0;
}

}  // namespace

int lyric(const SongListArgs& a, std::ostream& out, std::ostream& err) {
    const std::string what = "lyric " + a.command + ": ";
    if (a.command == "add" && trimLyricText(a.text).empty()) {
        err << what << "the text is empty\n";
        return 2;
    }
    CliSession s(a.common);
    if (a.command == "list") {
        if (!s.session().openSong(a.song)) return 1;
        for (const auto& l : s.song().lyricLines())
            if (l) out << s.tempoMap().positionText(l->position) << "\t" << l->position << "\t" << printableText(l->text) << "\n";
        return 0;
    }
    return editSong(s, a.song, "lyric " + a.command, out, err,
                    [&](std::ostream& report) { return change(s, a, report, err); });
}

}  // namespace kantor::cli
