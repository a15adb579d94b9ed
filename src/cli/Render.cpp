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
#include "settings/SoundSettings.h"
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

}  // namespace

bool checkQualityCode(const std::string& cmd, uint64_t code, std::ostream& err) {
    if (code < SoundSettings::kQualityCodeCount && isRenderableQualityCode(static_cast<uint16_t>(code))) return true;
    err << cmd << ": --quality " << code
        << " is not a quality the vocal can be rendered in; use 0, 4 or 8 (16-bit at 11025, 22050 or 44100 Hz)\n";
    return false;
}

bool checkChannel(const std::string& cmd, uint64_t channel, std::ostream& err) {
    if (channel >= 1 && channel <= 16) return true;
    err << cmd << ": channels are 1 to 16\n";
    return false;
}

namespace {

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
            if (!value(0xFFFFFFFF, p.quality) || !checkQualityCode(cmd, p.quality, err)) return false;
            p.haveQuality = true;
        } else if (a == "--channel") {
            if (!value(0xFFFFFFFF, p.channel) || !checkChannel(cmd, p.channel, err)) return false;
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

// An output must never be one of the files the command reads: compared by file identity,
// so another spelling of the name or a link to the file counts too.
bool outputIsAnInput(const std::string& cmd, const std::string& output, const std::vector<std::string>& inputs,
                     std::ostream& err) {
    for (const std::string& in : inputs) {
        if (!in.empty() && sameFile(output, in)) {
            err << cmd << ": " << output << " is the input " << in << "; choose another output\n";
            return true;
        }
    }
    return false;
}

// What a song command reads: the song, its MIDI file and its inserted waves.
std::vector<std::string> songInputs(CliSession& s, const std::string& songPath) {
    std::vector<std::string> inputs{songPath, s.midi().path()};
    for (const auto& w : s.song().waveInserts())
        if (w) inputs.push_back(joinPath(folderOf(songPath), w->fileName()));
    return inputs;
}

// Puts a copy of the MIDI file at `copy`: written completely under a hidden name first, so
// a full disk leaves nothing behind; a copy that is already there with the same content is
// taken as it is.
bool copyMidiFile(const std::string& from, const std::string& copy, std::ostream& err) {
    std::vector<uint8_t> bytes;
    ReadStatus st = readWholeFile(from, bytes);
    if (st != ReadStatus::Ok) {
        err << "new: cannot read " << from << ": " << readStatusText(st) << "\n";
        return false;
    }
    std::vector<uint8_t> existing;
    st = readWholeFile(copy, existing, bytes.size());
    if (st == ReadStatus::Ok && existing == bytes) return true;
    if (st != ReadStatus::NotFound) {
        err << "new: " << copy << " exists and is another file\n";
        return false;
    }
    AtomicFile file(copy, AtomicFile::Mode::CreateNew);
    if (!file.write(bytes) || !file.commit()) {
        err << "new: cannot copy the MIDI file beside the song: " << file.error() << "\n";
        return false;
    }
    return true;
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
    if (outputIsAnInput("render", p.output, songInputs(s, p.input), err)) return 1;
    if (p.mix) return renderMix(s, p, out, err);
    SongRenderer renderer(s.song(), s.engine());
    RenderRequest r;
    r.startTick = static_cast<uint32_t>(p.from);
    r.endTick = static_cast<uint32_t>(p.to);
    r.outputPath = p.output;
    r.qualityCode = p.haveQuality ? static_cast<uint16_t>(p.quality) : s.settings().outputQualityCode();
    r.voxMuted = SongRenderer::voxMutesOf(s.song());
    {
        // Written as it is rendered: memory follows the longest phrase, not the song.
        ProgressBar bar;
        if (!renderer.renderSongToFile(r, std::ref(bar))) {
            err << (renderer.lastError() == kNothingToSing ? "render: " : "") << renderer.lastError() << "\n";
            return 1;
        }
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
    if (outputIsAnInput("phrase", p.output, songInputs(s, p.input), err)) return 1;
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
    std::vector<std::string> inputs{midiPath};
    for (const auto& pair : pairs) inputs.push_back(pair.second);
    if (outputIsAnInput("new", output, inputs, err)) return 1;
    CliSession s(common);
    if (!s.session().openMidi(midiPath)) return 1;
    Song& song = s.song();
    if (!voiceName.empty()) song.songDefaults().voiceName = voiceName;
    const std::string voice = song.songDefaults().voiceName;
    if (!s.voices().ensureVoiceLoaded(voice)) {
        err << "new: voice " << voice << ": " << s.voices().lastError() << "\n";
        return 1;
    }
    const Voice* v = s.voices().findVoice(voice);
    SyllableResolver resolve = [&](const std::string& typed, std::string& code) {
        return resolveSyllable(s.voices(), *v, typed, code);
    };
    for (const auto& [c, file] : pairs) {
        std::vector<uint8_t> bytes;
        if (const ReadStatus st = readWholeFile(file, bytes, std::size_t(64) << 20); st != ReadStatus::Ok) {
            err << "new: cannot read " << file << ": " << readStatusText(st) << "\n";
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
        if (fileNameOf(songMidi) == fileNameOf(output)) {
            err << "new: the song " << output << " would take the place of its MIDI file\n";
            return 1;
        }
        if (!sameFile(songMidi, midiPath) && !copyMidiFile(midiPath, songMidi, err)) return 1;
    }
    if (!s.session().saveSong(songMidi, output)) return 1;
    out << output << "\n";
    return 0;
}

}  // namespace kantor::cli
