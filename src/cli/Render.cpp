// kantor-cli render, phrase and new: the song commands that sing.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <ostream>

#include "base/FileIO.h"
#include "cli/Commands.h"
#include "cli/Session.h"
#include "cli/TransportRig.h"
#include "song/LyricsImport.h"
#include "audio/WavFile.h"
#include "audio/WaveOutDevice.h"
#include "synth/SongRenderer.h"
#include "synth/SoundFormat.h"
#include "synth/SoundTexts.h"
#include "voice/SyllableLookup.h"

namespace kantor::cli {
namespace {

// A progress bar on standard error, drawn only when it is a terminal.
class ProgressBar {
public:
    ProgressBar() : tty_(::isatty(2) == 1) {}
    ~ProgressBar() {
        if (tty_ && drawn_) std::fputc('\n', stderr);
    }
    void operator()(int done, int total) {
        if (!tty_ || total <= 0) return;
        const int width = 40;
        const int filled = done * width / total;
        std::fprintf(stderr, "\r[%.*s%*s] %d/%d phrases", filled, "========================================",
                     width - filled, "", done, total);
        drawn_ = true;
    }

private:
    bool tty_;
    bool drawn_ = false;
};

struct Parsed {
    std::string input;
    std::string output;
    uint64_t from = 0, to = 0xFFFFFFFF, quality = 0, channel = 0, note = 0;
    bool haveQuality = false, haveChannel = false, haveNote = false;
    bool mix = false;
};

bool parseArgs(const std::string& cmd, const Args& args, Parsed& p, std::ostream& err) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](uint64_t max, uint64_t& out) {
            if (i + 1 >= args.size() || !parseNumber(args[i + 1], max, out)) {
                err << cmd << ": " << a << " needs a number\n";
                return false;
            }
            ++i;
            return true;
        };
        if (a == "-o" || a == "--output") {
            if (i + 1 >= args.size()) {
                err << cmd << ": -o needs a file\n";
                return false;
            }
            p.output = args[++i];
        } else if (a == "--mix" && cmd == "render") {
            p.mix = true;
        } else if (a == "--from") {
            if (!value(0xFFFFFFFF, p.from)) return false;
        } else if (a == "--to") {
            if (!value(0xFFFFFFFF, p.to)) return false;
        } else if (a == "--quality") {
            if (!value(11, p.quality)) return false;
            p.haveQuality = true;
        } else if (a == "--channel") {
            if (!value(16, p.channel) || p.channel == 0) {
                err << cmd << ": channels are 1 to 16\n";
                return false;
            }
            p.haveChannel = true;
        } else if (a == "--note") {
            if (!value(0xFFFFFFFF, p.note) || p.note == 0) {
                err << cmd << ": notes are counted from 1\n";
                return false;
            }
            p.haveNote = true;
        } else if (!a.empty() && a[0] == '-') {
            err << cmd << ": unknown option " << a << "\n";
            return false;
        } else if (p.input.empty()) {
            p.input = a;
        } else {
            err << cmd << ": one song at a time\n";
            return false;
        }
    }
    if (p.input.empty() || p.output.empty()) {
        err << "usage: kantor-cli " << cmd << " SONG.uta -o OUT.wav ...\n";
        return false;
    }
    return true;
}

bool sameFolder(const std::string& a, const std::string& b) {
    std::error_code ec1, ec2;
    auto fa = std::filesystem::weakly_canonical(std::filesystem::absolute(a, ec1), ec1).parent_path();
    auto fb = std::filesystem::weakly_canonical(std::filesystem::absolute(b, ec2), ec2).parent_path();
    return !ec1 && !ec2 && fa == fb;
}

bool sameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    return std::filesystem::equivalent(a, b, ec);
}

// render --mix: MIDI on the embedded synthesizer, the vocal and the inserted waves, played
// through the transport on the virtual clock and written as one stereo file.
int renderMix(CliSession& s, const Parsed& p, std::ostream& out, std::ostream& err) {
    TransportRig rig;
    if (!rig.setUp(s, "", err)) return 1;
    if (p.haveQuality) rig.transport().setQualityCode(static_cast<uint16_t>(p.quality));
    rig.engine().startVirtual(&rig.queue(), 64);
    Transport& t = rig.transport();
    const uint32_t end = p.to == 0xFFFFFFFF ? s.tempoMap().songEndTick() : static_cast<uint32_t>(p.to);
    {
        ProgressBar bar;
        t.setProgress(std::ref(bar));
        t.setBetween(static_cast<uint32_t>(p.from), end);
        if (!t.playBetween()) return 1;  // the transport has shown why
        t.setProgress({});
    }
    if (t.state() == Transport::State::Idle) {
        err << "render: nothing to play\n";
        return 1;
    }
    if (!rig.mixdown(p.output, 3000, err)) return 1;
    WavReader reader;
    WaveFormatTriple format;
    uint32_t size = 0;
    if (!reader.readFormat(p.output, format) || !reader.readDataSize(p.output, size)) {
        err << reader.lastError() << "\n";
        return 1;
    }
    const SampleFormat sf{format.bitsPerSample, format.channels, format.samplesPerSec};
    const uint32_t ms = millisecondsForBytes(format.packed(), format.samplesPerSec, size);
    out << "Mixdown\n" << p.output << "\nFormat : " << formatText(sf) << "\nTime : " << durationText(ms) << "\n";
    return 0;
}

}  // namespace

int render(const Args& argsIn, std::ostream& out, std::ostream& err) {
    Args args = argsIn;
    CommonOptions common;
    Parsed p;
    if (!takeCommonOptions(args, common, err) || !parseArgs("render", args, p, err)) return 2;
    if (p.from >= p.to) {
        err << "render: --from must lie before --to\n";
        return 2;
    }
    CliSession s(common);
    if (!s.session().openSong(p.input)) return 1;
    if (p.mix) return renderMix(s, p, out, err);
    SongRenderer renderer(s.song(), s.engine());
    RenderRequest r;
    r.startTick = static_cast<uint32_t>(p.from);
    r.endTick = static_cast<uint32_t>(p.to);
    r.outputPath = p.output;
    r.qualityCode = p.haveQuality ? static_cast<uint16_t>(p.quality) : s.settings().outputQualityCode();
    r.voxMuted = SongRenderer::voxMutesOf(s.song());
    std::vector<PlaybackPiece> pieces;
    {
        ProgressBar bar;
        if (!renderer.renderSong(r, pieces, std::ref(bar))) {
            err << renderer.lastError() << "\n";
            return 1;
        }
    }
    if (pieces.empty()) {
        err << "render: the song has nothing to sing in this range\n";
        return 1;
    }
    out << "Wave Info.\n" << p.output << "\n" << waveInfoText(p.output, s.tempoMap(), s.engine().earliestTick()) << "\n";
    return 0;
}

int phrase(const Args& argsIn, std::ostream& out, std::ostream& err) {
    Args args = argsIn;
    CommonOptions common;
    Parsed p;
    if (!takeCommonOptions(args, common, err) || !parseArgs("phrase", args, p, err)) return 2;
    if (!p.haveChannel || !p.haveNote) {
        err << "usage: kantor-cli phrase SONG.uta --channel C --note N -o OUT.wav\n";
        return 2;
    }
    CliSession s(common);
    if (!s.session().openSong(p.input)) return 1;
    const int c = static_cast<int>(p.channel) - 1;
    if (p.note > s.song().channel(c).events.size()) {
        err << "phrase: channel " << p.channel << " has " << s.song().channel(c).events.size() << " notes\n";
        return 1;
    }
    SongRenderer renderer(s.song(), s.engine());
    const uint16_t quality = p.haveQuality ? static_cast<uint16_t>(p.quality) : s.settings().outputQualityCode();
    std::string info;
    if (!renderer.exportPhrase(c, static_cast<std::size_t>(p.note - 1), quality, p.output, info)) {
        err << renderer.lastError() << "\n";
        return 1;
    }
    out << "Wave Info.\n" << p.output << "\n" << info << "\n";
    return 0;
}

int newSong(const Args& argsIn, std::ostream& out, std::ostream& err) {
    Args args = argsIn;
    CommonOptions common;
    if (!takeCommonOptions(args, common, err)) return 2;
    std::string midiPath, output, voiceName;
    std::vector<std::pair<int, std::string>> pairs;  // channel (0-based), lyrics file
    int pendingChannel = -1;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "-o" && hasValue) {
            output = args[++i];
        } else if (a == "--voice" && hasValue) {
            voiceName = args[++i];
        } else if (a == "--vox" && hasValue) {
            uint64_t c = 0;
            if (!parseNumber(args[++i], 16, c) || c == 0 || pendingChannel >= 0) {
                err << "new: --vox takes a channel 1 to 16, followed by its --lyrics\n";
                return 2;
            }
            pendingChannel = static_cast<int>(c) - 1;
        } else if (a == "--lyrics" && hasValue) {
            if (pendingChannel < 0) {
                err << "new: --lyrics follows its --vox channel\n";
                return 2;
            }
            pairs.emplace_back(pendingChannel, args[++i]);
            pendingChannel = -1;
        } else if (!a.empty() && a[0] != '-' && midiPath.empty()) {
            midiPath = a;
        } else {
            err << "new: unexpected " << a << "\n";
            return 2;
        }
    }
    if (midiPath.empty() || output.empty() || pairs.empty() || pendingChannel >= 0) {
        err << "usage: kantor-cli new MIDI.mid -o SONG.uta --vox C --lyrics FILE [--vox C --lyrics FILE ...] "
               "[--voice NAME]\n";
        return 2;
    }
    CliSession s(common);
    if (!s.session().openMidi(midiPath)) return 1;
    Song& song = s.song();
    if (!voiceName.empty()) song.songDefaults().voiceName = voiceName;
    const std::string voice = trimTrailingBlanks(song.songDefaults().voiceName);
    if (!s.voices().ensureVoiceLoaded(voice)) {
        err << s.voices().lastError() << "\n";
        return 1;
    }
    const Voice* v = s.voices().findVoice(voice);
    SyllableResolver resolve = [&](const std::string& typed, std::string& code) {
        return resolveSyllable(s.voices(), *v, typed, code);
    };
    for (const auto& [c, file] : pairs) {
        std::vector<uint8_t> bytes;
        if (readWholeFile(file, bytes) != ReadStatus::Ok) {
            err << "new: cannot read " << file << "\n";
            return 1;
        }
        std::vector<LyricPhrase> phrases;
        std::string error;
        if (!parseLyrics(std::string(bytes.begin(), bytes.end()), phrases, error)) {
            err << file << ": " << error << "\n";
            return 1;
        }
        if (!s.song().isVoxChannel(c) && !s.session().makeVoxChannel(c)) return 1;
        if (!applyLyrics(song, c, phrases, resolve, error)) {
            err << file << ": " << error << "\n";
            return 1;
        }
    }
    // A song names its MIDI file and finds it in its own folder: the MIDI file goes beside it.
    std::string songMidi = midiPath;
    if (!sameFolder(midiPath, output)) {
        songMidi = joinPath(folderOf(output).empty() ? "." : folderOf(output), fileNameOf(midiPath));
        std::error_code ec;
        if (std::filesystem::exists(songMidi, ec) && !sameFile(songMidi, midiPath)) {
            err << "new: " << songMidi << " exists and is another file\n";
            return 1;
        }
        if (!std::filesystem::exists(songMidi, ec) && !std::filesystem::copy_file(midiPath, songMidi, ec)) {
            err << "new: cannot copy the MIDI file beside the song: " << ec.message() << "\n";
            return 1;
        }
    }
    if (!s.session().saveSong(songMidi, output)) return 1;
    out << output << "\n";
    return 0;
}

}  // namespace kantor::cli
