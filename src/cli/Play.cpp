// kantor-cli play FILE.uta|FILE.mid [--from TICK] [--to TICK] [--loop] [--port CLIENT:PORT]
// Plays a song (MIDI and the sung vocal) or a bare MIDI file in real time through the
// transport, on the embedded synthesizer (or an ALSA sequencer port), showing the position
// and the current lyric line as the stream's markers arrive. Without a sound device the
// engine keeps real time on its null device. Ctrl-C stops cleanly.
#include <atomic>
#include <csignal>
#include <iostream>
#include <ostream>

#include <unistd.h>

#include "base/FileIO.h"
#include "base/Translation.h"
#include "cli/Commands.h"
#include "cli/Session.h"
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
    void vocalLate() override {
        breakLine();
        out_ << translated(kVocalLateText) << "\n" << std::flush;
        drawn_ = false;
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
            err << translated(probe.lastError()) << "\n";
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
    // A port given on the command line wins over the MIDI output the user chose.
    CliSession s(common, HubOptions::Audio::RealTime,
                 port.empty() ? std::nullopt : std::optional<std::string>(port));
    s.setMessageStream(err);
    if (!s.deviceError().empty()) {
        err << translated(s.deviceError()) << "\n";
        return 1;
    }
    if (!(isSong ? s.openSong(path) : s.openMidi(path))) return 1;
    applySwitches(a.switches, s.song().channelFlags());
    if (to == 0xFFFFFFFFu) to = s.tempoMap().songEndTick();
    if (from >= to) {
        err << "play: --from must lie before --to\n";
        return 2;
    }

    Transport& t = *s.transport();
    PositionLine shown(s.tempoMap(), out, &out == &std::cout && ::isatty(STDOUT_FILENO) == 1);
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
        s.rig()->queue().waitAndPump(std::chrono::milliseconds(50));
    }
    if (interrupted) ok = t.stop() && ok;
    std::signal(SIGINT, previous);
    s.pump();
    t.removeListener(&shown);
    if (!ok || !t.lastError().empty()) {
        if (!a.quiet) shown.breakLine();
        return 1;
    }
    if (!a.quiet) shown.finish(s.tempoMap().positionText(t.currentPosition()));
    return 0;
}

}  // namespace kantor::cli
