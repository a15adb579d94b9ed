// kantor-cli play FILE.uta|FILE.mid [--from TICK] [--to TICK] [--loop] [--port CLIENT:PORT]
// Plays a song (MIDI and the sung vocal) or a bare MIDI file in real time through the
// transport, on the embedded synthesizer (or an ALSA sequencer port), showing the position
// and the current lyric line as the stream's markers arrive. Without a sound device the
// engine keeps real time on its null device. Ctrl-C stops cleanly.
#include <atomic>
#include <csignal>
#include <ostream>

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

bool endsWithIgnoringCase(const std::string& s, const std::string& tail) {
    if (s.size() < tail.size()) return false;
    for (std::size_t i = 0; i < tail.size(); ++i) {
        char a = s[s.size() - tail.size() + i];
        if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
        if (a != tail[i]) return false;
    }
    return true;
}

// Shows the position at every marker, and the lyric line when one is reached.
class PositionLine : public TransportListener {
public:
    PositionLine(const TempoMap& map, std::ostream& out) : map_(map), out_(out) {}
    void positionNotify(PositionReceiver receiver, PositionCode code, uint32_t tick, const LyricLine* line) override {
        if (receiver != PositionReceiver::MainPanel) return;
        if (code == PositionCode::LoopStart) lyric_.clear();
        if (line) lyric_ = line->text;
        out_ << "\r" << (code == PositionCode::LoopStart ? map_.positionText(0) : map_.positionText(tick));
        if (!lyric_.empty()) out_ << "  " << lyric_;
        out_ << "\x1b[K" << std::flush;
    }

private:
    const TempoMap& map_;
    std::ostream& out_;
    std::string lyric_;
};

}  // namespace

int play(const PlayArgs& a, std::ostream& out, std::ostream& err) {
    const CommonOptions& common = a.common;
    const std::string& path = a.path;
    const std::string& port = a.port;
    uint32_t from = a.from, to = a.to;
    const bool isSong = endsWithIgnoringCase(path, ".uta");
    if (!isSong) {
        // The reader's own text for a file that cannot be played.
        MidiFile probe;
        if (!probe.load(path)) {
            err << probe.lastError() << "\n";
            return 1;
        }
    } else if (!fileExists(path)) {
        err << "play: " << path << " not found\n";
        return 1;
    }
    CliSession s(common);
    if (!(isSong ? s.session().openSong(path) : s.session().openMidi(path))) return 1;
    applySwitches(a.switches, s.song().channelFlags());
    if (to == 0xFFFFFFFFu) to = s.tempoMap().songEndTick();
    if (from >= to) {
        err << "play: --from must lie before --to\n";
        return 2;
    }

    TransportRig rig;
    if (!rig.setUp(s, port, err)) return 1;
    rig.engine().startRealTime();
    Transport& t = rig.transport();
    PositionLine shown(s.tempoMap(), out);
    if (!a.quiet) t.addListener(&shown);

    interrupted = false;
    auto previous = std::signal(SIGINT, onInterrupt);
    bool ok;
    if (a.loop) {
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
    if (!a.quiet) out << "\r" << s.tempoMap().positionText(t.currentPosition()) << "\x1b[K\n";
    return ok && t.lastError().empty() ? 0 : 1;
}

}  // namespace kantor::cli
