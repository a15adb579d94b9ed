#include "cli/Session.h"

#include <charconv>
#include <iostream>
#include <sstream>

#include "base/FileIO.h"
#include "base/FileLock.h"
#include "base/PrintableText.h"
#include "base/Translation.h"
#include "settings/RenderChoice.h"
#include "song/SongFile.h"

namespace kantor::cli {

// The messages quote names from files (voices a song names, inserted waves): escaped, each
// line cut (base/PrintableText.h).
void StreamPrompt::notice(const std::string& caption, const std::string& text) {
    (stream ? *stream : std::cerr) << "[" << translatedCaption(caption) << "] " << printableLines(translated(text)) << "\n";
}

void StreamPrompt::warning(const std::string& caption, const std::string& text) { notice(caption, text); }

PromptAnswer StreamPrompt::askYesNo(const std::string& caption, const std::string& text) {
    (stream ? *stream : std::cerr) << "[" << translatedCaption(caption) << "] " << printableLines(translated(text)) << " -> yes\n";
    return PromptAnswer::Yes;
}

PromptAnswer StreamPrompt::askYesNoCancel(const std::string& caption, const std::string& text) {
    return askYesNo(caption, text);
}

namespace {
HubOptions hubOptions(const CommonOptions& o, HubOptions::Audio audio, const std::optional<std::string>& port) {
    HubOptions h;
    h.folders.voiceDir = o.voiceDir;
    h.folders.configDir = o.configDir;
    h.folders.dataDir = o.dataDir;
    h.audio = audio;
    h.midiPortGiven = port.has_value();
    h.midiPort = port.value_or("");
    bool keep = false;
    if (RenderChoice::parseFormantsWord(o.formants, keep)) h.pitchMode = keep ? PitchMode::KeepFormants : PitchMode::Resample;
    bool on = false;
    if (RenderChoice::parseExpressionWord(o.expression, on)) h.expression = on ? ExpressionMode::Auto : ExpressionMode::Off;
    return h;
}
}  // namespace

CliSession::CliSession(const CommonOptions& options, HubOptions::Audio audio, std::optional<std::string> port)
    : Hub(messages, hubOptions(options, audio, port)) {
    // The same start as the desktop program's: folders, built-in data, settings. A command
    // never writes the settings file back, so the desktop program's first start still shows
    // its notice.
    startUp();
}

int editSong(CliSession& s, const std::string& songPath, const std::string& cmd, std::ostream& out, std::ostream& err,
             const std::function<int(std::ostream& report)>& change) {
    const FileLock lock(songPath);
    if (!lock.locked()) {
        err << cmd << ": " << translated(lock.error()) << "\n";
        return 1;
    }
    if (isWriteProtected(songPath)) {
        err << cmd << ": "
            << translated(std::string(songfile::kSaveFailed) + "\n" + songPath + ": " + songfile::kReadOnlyFile) << "\n";
        return 1;
    }
    if (!s.session().openSong(songPath)) return 1;
    std::ostringstream report;
    if (const int status = change(report); status != 0) return status;
    if (!s.session().saveSong(s.song().midiPath(), songPath)) return 1;
    out << report.str();
    return 0;
}

int editSong(CliSession& s, const std::string& songPath, const std::string& cmd, std::ostream& err,
             const std::function<int()>& change) {
    std::ostringstream none;
    return editSong(s, songPath, cmd, none, err, [&](std::ostream&) { return change(); });
}

void applySwitches(const ChannelSwitches& switches, ChannelFlags& flags) {
    if (!switches.given()) return;
    flags.clear();
    auto set = [&](const std::vector<uint32_t>& channels, ChannelFlags::Row row) {
        for (uint32_t c : channels)
            if (c >= 1 && c <= 16) flags.set(row, static_cast<int>(c) - 1, true);
    };
    set(switches.midiMute, ChannelFlags::MidiMute);
    set(switches.voxMute, ChannelFlags::VoxMute);
    set(switches.midiSolo, ChannelFlags::MidiSolo);
    set(switches.voxSolo, ChannelFlags::VoxSolo);
}

bool parseNumber(const std::string& text, uint64_t max, uint64_t& value) {
    auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && p == text.data() + text.size() && value <= max;
}

}  // namespace kantor::cli
