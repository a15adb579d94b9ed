// kantor-cli play FILE.mid [--from TICK] [--to TICK] [--port CLIENT:PORT]
// Plays a bare MIDI file on the embedded synthesizer (or an ALSA sequencer port), showing
// the position as the stream's beat markers arrive. Ctrl-C stops cleanly.
#include <atomic>
#include <charconv>
#include <csignal>
#include <memory>
#include <ostream>

#include "cli/Commands.h"
#include "midi/MidiFile.h"
#include "midi/MidiStreamPlayer.h"
#include "midi/TempoMap.h"
#include "platform/AlsaSeqMidiStream.h"
#include "platform/AudioEngine.h"
#include "platform/EmbeddedSynth.h"
#include "platform/NotificationQueue.h"

namespace kantor::cli {
namespace {

std::atomic<bool> interrupted{false};

extern "C" void onInterrupt(int) { interrupted = true; }

bool parseTick(const std::string& s, uint32_t& v) {
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    return ec == std::errc() && p == s.data() + s.size();
}

// The owner of the play: a marker on every beat, the position shown as they arrive.
class PlayOwner : public MidiStreamOwner {
public:
    PlayOwner(const TempoMap& map, std::ostream& out, uint32_t from, uint32_t to) : map_(map), out_(out), from_(from) {
        for (const Measure& m : map.measures()) {
            const uint32_t beats = m.numerator ? m.numerator : 1;
            const uint32_t beat = m.length / beats;
            for (uint32_t b = 0; b < beats; ++b) {
                uint32_t t = m.start + b * beat;
                if (t >= from && t <= to && (markers_.empty() || t > markers_.back())) markers_.push_back(t);
            }
        }
    }
    MidiStreamPlayer* player = nullptr;
    bool closed = false;
    bool failed = false;

    std::size_t markerCount() const override { return markers_.size(); }
    uint32_t markerTick(std::size_t i) const override { return markers_[i]; }
    bool midiMuted(int) const override { return false; }
    uint8_t noteFilter() const override { return 255; }
    void streamClosed() override { closed = true; }
    void onNotification(const Notification& n) override {
        switch (n.kind) {
            case NotificationKind::MidiDone:
                if (!player->bufferDone(static_cast<MidiHeader*>(n.header))) failed = true;
                break;
            case NotificationKind::MidiMarker: {
                long i = player->markerIndex(n);
                if (i >= 0 && static_cast<std::size_t>(i) < markers_.size()) {
                    out_ << "\r" << map_.positionText(markers_[static_cast<std::size_t>(i)]) << std::flush;
                }
                break;
            }
            default: break;
        }
    }

private:
    const TempoMap& map_;
    std::ostream& out_;
    uint32_t from_;
    std::vector<uint32_t> markers_;
};

}  // namespace

int play(const Args& args, std::ostream& out, std::ostream& err) {
    std::string path, port;
    uint32_t from = 0, to = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if ((a == "--from" || a == "--to") && i + 1 < args.size()) {
            if (!parseTick(args[++i], a == "--from" ? from : to)) {
                err << "play: " << a << " needs a tick\n";
                return 2;
            }
        } else if (a == "--port" && i + 1 < args.size()) {
            port = args[++i];
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
        err << "usage: kantor-cli play FILE.mid [--from TICK] [--to TICK] [--port CLIENT:PORT]\n";
        return 2;
    }
    MidiFile file;
    if (!file.load(path)) {
        err << file.lastError() << "\n";
        return 1;
    }
    TempoMap map;
    if (!map.build(file)) {
        err << map.lastError() << "\n";
        return 1;
    }
    if (to == 0xFFFFFFFFu) to = map.songEndTick();

    AudioEngine engine;
    NotificationQueue queue;
    std::unique_ptr<EmbeddedSynth> synth;
    std::unique_ptr<MidiStream> stream;
    if (port.empty()) {
        const std::string sf = EmbeddedSynth::defaultSoundFont();
        if (sf.empty()) {
            err << "play: no General MIDI SoundFont (install fluid-soundfont-gm) - use --port for an external synthesizer\n";
            return 1;
        }
        synth = std::make_unique<EmbeddedSynth>(engine);
        if (!synth->load(sf)) {
            err << synth->lastError() << "\n";
            return 1;
        }
        stream = std::make_unique<SynthMidiStream>(engine, queue, *synth);
    } else {
        stream = std::make_unique<AlsaSeqMidiStream>(engine, queue, port);
    }
    engine.startRealTime();

    MidiStreamPlayer player(file, *stream);
    PlayOwner owner(map, out, from, to);
    owner.player = &player;
    interrupted = false;
    auto previous = std::signal(SIGINT, onInterrupt);
    int status = 0;
    if (!player.play(owner, from, to)) {
        err << player.lastError() << "\n";
        status = 1;
    }
    while (status == 0 && !owner.closed && !interrupted) {
        queue.waitAndPump(std::chrono::milliseconds(50));
        if (owner.failed) {
            err << "\n" << player.lastError() << "\n";
            status = 1;
        }
    }
    uint32_t ticks = 0;
    const bool havePosition = player.position(ticks);
    if (!player.stop()) {
        err << "\n" << player.lastError() << "\n";
        status = 1;
    }
    std::signal(SIGINT, previous);
    if (interrupted && havePosition) out << "\r" << map.positionText(from + ticks);
    out << "\n";
    engine.stop();
    queue.cancel(&owner);
    return status;
}

}  // namespace kantor::cli
