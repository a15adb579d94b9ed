// kantor-cli play FILE.uta|FILE.mid [--from TICK] [--to TICK] [--loop] [--port CLIENT:PORT]
// Plays a song (MIDI and the sung vocal) or a bare MIDI file in real time through the
// transport, on the embedded synthesizer (or an ALSA sequencer port), showing the position
// and the current lyric line as the stream's markers arrive. Without a sound device the
// engine keeps real time on its null device. Ctrl-C stops cleanly.
#include <atomic>
#include <charconv>
#include <csignal>
#include <iostream>
#include <ostream>

#include <unistd.h>

#include "base/FileIO.h"
#include "cli/Commands.h"
#include "cli/Session.h"
#include "cli/TransportRig.h"
#include "midi/MidiFile.h"
#include "song/LyricLine.h"

namespace kantor::cli {
namespace {

std::atomic<bool> interrupted{false};

extern "C" void onInterrupt(int) { interrupted = true; }

bool parseTick(const std::string& s, uint32_t& v) {
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    return ec == std::errc() && p == s.data() + s.size();
}

bool endsWithIgnoringCase(const std::string& s, const std::string& tail) {
    if (s.size() < tail.size()) return false;
    for (std::size_t i = 0; i < tail.size(); ++i) {
        char a = s[s.size() - tail.size() + i];
        if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
        if (a != tail[i]) return false;
    }
    return true;
}

// Shows the position at every marker, and the lyric line when one is reached. On a
// terminal one line is redrawn; elsewhere (a file, a pipe) a plain line is written for
// each lyric line reached, without carriage returns or terminal codes.
class PositionLine : public TransportListener {
public:
    PositionLine(const TempoMap& map, std::ostream& out, bool terminal)
        : map_(map), out_(out), terminal_(terminal) {}
    void positionNotify(PositionReceiver receiver, PositionCode code, uint32_t tick, const LyricLine* line) override {
        if (receiver != PositionReceiver::MainPanel) return;
        if (code == PositionCode::LoopStart) lyric_.clear();
        if (line) lyric_ = line->text;
        const std::string position = code == PositionCode::LoopStart ? map_.positionText(0) : map_.positionText(tick);
        if (!terminal_) {
            if (line) out_ << position << "  " << lyric_ << "\n" << std::flush;
            return;
        }
        out_ << "\r" << position;
        if (!lyric_.empty()) out_ << "  " << lyric_;
        out_ << "\x1b[K" << std::flush;
        drawn_ = true;
    }
    // The position reached, on the redrawn line or a line of its own.
    void finish(const std::string& position) {
        if (terminal_) {
            out_ << "\r" << position << "\x1b[K\n";
        } else {
            out_ << position << "\n";
        }
    }
    // Ends a redrawn line before an error is shown.
    void breakLine() {
        if (terminal_ && drawn_) out_ << "\n";
    }

private:
    const TempoMap& map_;
    std::ostream& out_;
    bool terminal_;
    bool drawn_ = false;
    std::string lyric_;
};

}  // namespace

int play(const Args& argsIn, std::ostream& out, std::ostream& err) {
    Args args = argsIn;
    CommonOptions common;
    if (!takeCommonOptions(args, common, err)) return 2;
    std::string path, port;
    uint32_t from = 0, to = 0xFFFFFFFFu;
    bool haveRange = false, loop = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if ((a == "--from" || a == "--to") && i + 1 < args.size()) {
            if (!parseTick(args[++i], a == "--from" ? from : to)) {
                err << "play: " << a << " needs a tick\n";
                return 2;
            }
            haveRange = true;
        } else if (a == "--port" && i + 1 < args.size()) {
            port = args[++i];
        } else if (a == "--loop") {
            loop = true;
        } else if (!a.empty() && a[0] == '-') {
            err << "play: unknown option " << a << "\n";
            return 2;
        } else if (path.empty()) {
            path = a;
        } else {
            err << "play: one file at a time\n";
            return 2;
        }
    }
    if (path.empty()) {
        err << "usage: kantor-cli play FILE.uta|FILE.mid [--from TICK] [--to TICK] [--loop] [--port CLIENT:PORT]\n";
        return 2;
    }
    if (loop && haveRange) {
        err << "play: --loop plays the whole song from the top; it takes no --from or --to\n";
        return 2;
    }
    const bool isSong = endsWithIgnoringCase(path, ".uta");
    if (!isSong) {
        // The reader's own text for a file that cannot be played.
        MidiFile probe;
        if (!probe.load(path)) {
            err << probe.lastError() << "\n";
            return 1;
        }
    } else {
        std::vector<uint8_t> probe;
        // Only the kind of file matters here; the song is read below.
        if (const ReadStatus st = readWholeFile(path, probe, 0); st != ReadStatus::Ok && st != ReadStatus::TooLarge) {
            err << "play: " << path << ": " << readStatusText(st) << "\n";
            return 1;
        }
    }
    CliSession s(common);
    if (!(isSong ? s.session().openSong(path) : s.session().openMidi(path))) return 1;
    if (to == 0xFFFFFFFFu) to = s.tempoMap().songEndTick();
    if (from >= to) {
        err << "play: --from must lie before --to\n";
        return 2;
    }

    TransportRig rig;
    if (!rig.setUp(s, port, err)) return 1;
    rig.engine().startRealTime();
    Transport& t = rig.transport();
    PositionLine shown(s.tempoMap(), out, &out == &std::cout && ::isatty(STDOUT_FILENO) == 1);
    t.addListener(&shown);

    interrupted = false;
    auto previous = std::signal(SIGINT, onInterrupt);
    bool ok;
    if (loop) {
        ok = t.loopPlay();
    } else {
        t.setBetween(from, to);
        ok = t.playBetween();
    }
    while (ok && !interrupted && (t.state() != Transport::State::Idle || t.looping())) {
        // A loop restarts on the close notification that follows the end.
        rig.queue().waitAndPump(std::chrono::milliseconds(50));
    }
    if (interrupted) ok = t.stop() && ok;
    std::signal(SIGINT, previous);
    rig.queue().pump();
    t.removeListener(&shown);
    if (!ok || !t.lastError().empty()) {
        shown.breakLine();
        return 1;
    }
    shown.finish(s.tempoMap().positionText(t.currentPosition()));
    return 0;
}

}  // namespace kantor::cli
