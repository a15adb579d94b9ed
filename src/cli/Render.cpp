// kantor-cli render, phrase and new: the song commands that sing.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <ostream>

#include "base/FileIO.h"
#include "base/FileLock.h"
#include "base/Translation.h"
#include "cli/Commands.h"
#include "cli/Session.h"
#include "song/EmptySong.h"
#include "cli/Terminal.h"
#include "settings/SoundSettings.h"
#include "import/MidiLyrics.h"
#include "song/LyricsImport.h"
#include "song/SongFile.h"
#include "sound/WavFile.h"
#include "audio/MixdownWriter.h"
#include "audio/WaveOutDevice.h"
#include "synth/PhraseWorkers.h"
#include "synth/SongRenderer.h"
#include "sound/SoundFormat.h"
#include "synth/SoundTexts.h"
#include "voice/SyllableLookup.h"
#include "voice/VoiceLibrary.h"

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

bool sameFolder(const std::string& a, const std::string& b) {
    std::error_code ec1, ec2;
    auto fa = std::filesystem::weakly_canonical(std::filesystem::absolute(a, ec1), ec1).parent_path();
    auto fb = std::filesystem::weakly_canonical(std::filesystem::absolute(b, ec2), ec2).parent_path();
    return !ec1 && !ec2 && fa == fb;
}

}  // namespace

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
static std::vector<std::string> songInputs(CliSession& s, const std::string& songPath) {
    std::vector<std::string> inputs{songPath, s.midi().path()};
    for (const auto& w : s.song().waveInserts())
        if (w) inputs.push_back(joinPath(folderOf(songPath), w->fileName()));
    return inputs;
}

// Checked before anything is written.
bool checkSongOutput(const std::string& cmd, const std::string& output, bool force, std::ostream& err) {
    struct stat st {};
    if (::stat(output.c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode)) {
            err << cmd << ": " << output << " is not a regular file; a song is written into a file\n";
            return false;
        }
        if (!force) {
            err << cmd << ": " << output << " exists (use --force to replace it)\n";
            return false;
        }
        if (isWriteProtected(output)) {
            err << cmd << ": "
                << translated(std::string(songfile::kSaveFailed) + "\n" + output + ": " + songfile::kReadOnlyFile) << "\n";
            return false;
        }
        return true;
    }
    if (errno != ENOENT) {
        err << cmd << ": cannot write " << output << ": " << systemErrorText(errno) << "\n";
        return false;
    }
    const std::string folder = folderOf(output).empty() ? "." : folderOf(output);
    if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        err << cmd << ": cannot write " << output << ": no folder " << folder << "\n";
        return false;
    }
    if (::access(folder.c_str(), W_OK) != 0) {
        err << cmd << ": cannot write " << output << ": " << systemErrorText(errno) << "\n";
        return false;
    }
    return true;
}

namespace {

// Puts a copy of the MIDI file at `copy`: written completely under a hidden name first, so
// a full disk leaves nothing behind; a copy that is already there with the same content is
// taken as it is.
bool copyMidiFile(const std::string& from, const std::string& copy, bool& made, std::ostream& err) {
    made = false;
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
        err << "new: cannot copy the MIDI file beside the song: " << translated(file.error()) << "\n";
        return false;
    }
    made = true;
    return true;
}

// render --mix: MIDI on the embedded synthesizer, the vocal and the inserted waves, played
// through the transport on the virtual clock and written as one stereo file.
int renderMix(CliSession& s, const RenderArgs& p, std::ostream& out, std::ostream& err) {
    if (!s.transport()) {
        err << translated(s.deviceError()) << "\n";
        return 1;
    }
    Transport& t = *s.transport();
    if (p.haveQuality) t.setQualityCode(static_cast<uint16_t>(p.quality));
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
    std::string error;
    uint64_t frames = 0;
    if (!s.rig()->mixdown(p.output, 3000, error, &frames)) {
        err << translated(error) << "\n";
        return 1;
    }
    // Told from what was written, not read back: the output may be /dev/null or a pipe.
    const SampleFormat sf{16, MixdownWriter::kChannels, MixdownWriter::kRate};
    const uint32_t ms = millisecondsForBytes(packFormat(16, MixdownWriter::kChannels), MixdownWriter::kRate,
                                             frames * MixdownWriter::kChannels * 2);
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
    if (p.haveQuality && !checkQualityCode("render", p.quality, err)) return 2;
    if (p.jobs > 0) PhraseWorkers::setProcessWorkers(static_cast<int>(p.jobs));
    // The mixdown plays through the transport on the virtual clock, on the embedded
    // synthesizer (whose sound the engine can capture).
    CliSession s(common, p.mix ? HubOptions::Audio::Virtual : HubOptions::Audio::Off,
                 p.mix ? std::optional<std::string>("") : std::nullopt);
    s.setMessageStream(err);
    if (p.mix && !s.deviceError().empty()) {
        err << translated(s.deviceError()) << "\n";
        return 1;
    }
    if (!s.openSong(p.input)) return 1;
    if (outputIsAnInput("render", p.output, songInputs(s, p.input), err)) return 1;
    applySwitches(p.switches, s.song().channelFlags());
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
        ProgressBar bar(err, p.quiet);
        if (!renderer.renderSongToFile(r, std::ref(bar))) {
            err << (renderer.lastError() == kNothingToSing ? "render: " : "") << translated(renderer.lastError()) << "\n";
            return 1;
        }
    }
    out << "Wave Info.\n" << p.output << "\n" << waveInfoText(p.output, s.tempoMap(), s.engine().earliestTick()) << "\n";
    return 0;
}

int phrase(const RenderArgs& p, std::ostream& out, std::ostream& err) {
    const CommonOptions& common = p.common;
    if (p.haveQuality && !checkQualityCode("phrase", p.quality, err)) return 2;
    CliSession s(common);
    if (!s.openSong(p.input)) return 1;
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
        err << translated(renderer.lastError()) << "\n";
        return 1;
    }
    out << "Wave Info.\n" << p.output << "\n" << info << "\n";
    return 0;
}

// Puts the lyric events of the MIDI (or karaoke) file on channel c.
bool lyricsFromMidi(CliSession& s, const std::string& midiPath, int c, const MidiLyricsChoice& choice,
                    const SyllableResolver& resolve, std::ostream& err) {
    std::vector<NoteLyric> notes;
    MidiLyricsReport report;
    std::string error;
    if (!midiLyricsOnNotes(s.midi(), c, notes, report, error, nullptr, choice) ||
        !applyNoteLyrics(s.song(), c, notes, resolve, error)) {
        err << midiPath << ": channel " << c + 1 << ": " << translated(error) << "\n";
        return false;
    }
    for (const std::string& note : report.notes()) err << midiPath << ": channel " << c + 1 << ": " << note << "\n";
    return true;
}

// new --empty: an empty MIDI file beside a new song.
static int newEmptySong(const NewArgs& a, std::ostream& out, std::ostream& err) {
    EmptySongShape shape;
    uint64_t tempo = 0, measures = 0, num = 0, den = 0;
    const std::size_t slash = a.time.find('/');
    if (!parseNumber(a.tempo, 1000, tempo) || !parseNumber(a.measures, 100000, measures) ||
        slash == std::string::npos || !parseNumber(a.time.substr(0, slash), 64, num) ||
        !parseNumber(a.time.substr(slash + 1), 64, den)) {
        err << "new: --tempo BPM, --time N/D and --measures N are whole numbers\n";
        return 2;
    }
    shape.tempo = uint32_t(tempo);
    shape.measures = uint32_t(measures);
    shape.numerator = int(num);
    shape.denominator = int(den);
    if (const std::string bad = shape.check(); !bad.empty()) {
        err << "new: " << bad << "\n";
        return 2;
    }
    if (!checkSongOutput("new", a.output, a.force, err)) return 1;
    const FileLock lock(a.output);
    if (!lock.locked()) {
        err << "new: " << translated(lock.error()) << "\n";
        return 1;
    }
    std::string error;
    if (!writeEmptySong(a.output, shape, a.force, error)) {
        err << "new: " << error << "\n";
        return 1;
    }
    out << a.output << "\n" << emptyMidiPathFor(a.output) << "\n";
    return 0;
}

int newSong(const NewArgs& a, std::ostream& out, std::ostream& err) {
    if (a.empty) return newEmptySong(a, out, err);
    const CommonOptions& common = a.common;
    const std::string& midiPath = a.midiPath;
    const std::string& output = a.output;
    const std::string& voiceName = a.voiceName;
    const auto& pairs = a.pairs;
    std::vector<std::string> inputs{midiPath};
    for (const auto& pair : pairs) inputs.push_back(pair.second);
    if (outputIsAnInput("new", output, inputs, err)) return 1;
    if (!checkSongOutput("new", output, a.force, err)) return 1;
    // Held until the song is in place: another command changing the song waits for it.
    const FileLock lock(output);
    if (!lock.locked()) {
        err << "new: " << translated(lock.error()) << "\n";
        return 1;
    }
    // Under the lock: the song may have come meanwhile.
    if (!checkSongOutput("new", output, a.force, err)) return 1;
    CliSession s(common);
    if (!s.openMidi(midiPath)) return 1;
    Song& song = s.song();
    if (!voiceName.empty()) {
        // A voice's name does as well as its identifier.
        std::string id, error;
        s.voices().enumerateVoiceFiles();
        if (!findVoiceByName(s.voices(), voiceName, id, error)) {
            err << "new: " << translated(error) << "\n";
            return 1;
        }
        song.songDefaults().voiceName = id;
    }
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
        if (file.empty()) {  // --lyrics-from-midi
            if (!s.song().isVoxChannel(c) && !s.session().makeVoxChannel(c)) return 1;
            if (!lyricsFromMidi(s, midiPath, c, MidiLyricsChoice{a.verse, a.lyricsTrack}, resolve, err)) return 1;
            continue;
        }
        std::vector<uint8_t> bytes;
        if (const ReadStatus st = readWholeFile(file, bytes, std::size_t(64) << 20); st != ReadStatus::Ok) {
            err << "new: cannot read " << file << ": " << readStatusText(st) << "\n";
            return 1;
        }
        std::vector<LyricPhrase> phrases;
        std::string error;
        if (!parseLyrics(std::string(bytes.begin(), bytes.end()), phrases, error)) {
            err << file << ": " << translated(error) << "\n";
            return 1;
        }
        if (!s.song().isVoxChannel(c) && !s.session().makeVoxChannel(c)) return 1;
        if (!applyLyrics(song, c, phrases, resolve, error)) {
            err << file << ": " << translated(error) << "\n";
            return 1;
        }
    }
    // A song names its MIDI file and finds it in its own folder: the MIDI file goes beside it.
    std::string songMidi = midiPath;
    bool copied = false;
    if (!sameFolder(midiPath, output)) {
        songMidi = joinPath(folderOf(output).empty() ? "." : folderOf(output), fileNameOf(midiPath));
        if (fileNameOf(songMidi) == fileNameOf(output)) {
            err << "new: the song " << output << " would take the place of its MIDI file\n";
            return 1;
        }
        if (!sameFile(songMidi, midiPath) && !copyMidiFile(midiPath, songMidi, copied, err)) return 1;
    }
    if (!s.session().saveSong(songMidi, output)) {
        // A song that could not be written leaves no copy of its MIDI file behind.
        if (copied) std::remove(songMidi.c_str());
        return 1;
    }
    out << output << "\n";
    return 0;
}

}  // namespace kantor::cli
