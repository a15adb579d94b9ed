// kantor-cli render, phrase and new: the song commands that sing.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <ostream>

#include "base/FileIO.h"
#include "cli/Commands.h"
#include "cli/Session.h"
#include "cli/Terminal.h"
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

// The progress of a render on standard error: a bar redrawn in place on a terminal, a plain
// line every tenth of the way otherwise, nothing with --quiet.
class ProgressBar {
public:
    ProgressBar(std::ostream& err, bool quiet) : err_(err), quiet_(quiet), tty_(isTerminal(err)) {}
    ~ProgressBar() {
        if (tty_ && drawn_) err_ << "\n" << std::flush;
    }
    void operator()(int done, int total) {
        if (quiet_ || total <= 0) return;
        if (!tty_) {
            const int tenth = done * 10 / total;
            if (tenth == lastTenth_) return;
            lastTenth_ = tenth;
            err_ << done << "/" << total << " phrases\n" << std::flush;
            return;
        }
        const int width = 40;
        const int filled = std::clamp(done * width / total, 0, width);
        char line[128];
        std::snprintf(line, sizeof line, "\r[%.*s%*s] %d/%d phrases", filled,
                      "========================================", width - filled, "", done, total);
        err_ << line << std::flush;
        drawn_ = true;
    }

private:
    std::ostream& err_;
    bool quiet_;
    bool tty_;
    bool drawn_ = false;
    int lastTenth_ = -1;
};

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
int renderMix(CliSession& s, const RenderArgs& p, std::ostream& out, std::ostream& err) {
    TransportRig rig;
    if (!rig.setUp(s, "", err)) return 1;
    if (p.haveQuality) rig.transport().setQualityCode(static_cast<uint16_t>(p.quality));
    rig.engine().startVirtual(&rig.queue(), 64);
    Transport& t = rig.transport();
    const uint32_t end = p.to == 0xFFFFFFFF ? s.tempoMap().songEndTick() : static_cast<uint32_t>(p.to);
    {
        ProgressBar bar(err, p.quiet);
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

int render(const RenderArgs& p, std::ostream& out, std::ostream& err) {
    const CommonOptions& common = p.common;
    if (p.from >= p.to) {
        err << "render: --from must lie before --to\n";
        return 2;
    }
    CliSession s(common);
    if (!s.session().openSong(p.input)) return 1;
    applySwitches(p.switches, s.song().channelFlags());
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
        ProgressBar bar(err, p.quiet);
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

int phrase(const RenderArgs& p, std::ostream& out, std::ostream& err) {
    const CommonOptions& common = p.common;
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

int newSong(const NewArgs& a, std::ostream& out, std::ostream& err) {
    const CommonOptions& common = a.common;
    const std::string& midiPath = a.midiPath;
    const std::string& output = a.output;
    const std::string& voiceName = a.voiceName;
    const auto& pairs = a.pairs;
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
