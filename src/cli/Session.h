#pragma once
// What the song commands of the command line share: the application owner of the desktop
// program (folders, settings, voice bank, the song with its MIDI file, the effects, and for
// `play` and `render --mix` the transport with its devices), with its messages written to
// the command's error stream and its questions answered Yes.
#include <functional>
#include <optional>
#include <ostream>
#include <string>

#include "cli/Commands.h"
#include "hub/Hub.h"
#include "platform/UserPrompt.h"

namespace kantor::cli {

// Messages of the song operations and the transport, on a stream (standard error unless
// the command gives its own); questions (an inserted wave that cannot be played) are
// answered Yes: play on without it.
class StreamPrompt : public UserPrompt {
public:
    std::ostream* stream = nullptr;
    void notice(const std::string& caption, const std::string& text) override;
    void warning(const std::string& caption, const std::string& text) override;
    PromptAnswer askYesNo(const std::string& caption, const std::string& text) override;
    PromptAnswer askYesNoCancel(const std::string& caption, const std::string& text) override;
};

namespace detail {
struct PromptHolder {
    StreamPrompt messages;
};
}  // namespace detail

class CliSession : private detail::PromptHolder, public Hub {
public:
    // Off: no sound devices (reading, rendering). RealTime or Virtual: the transport plays on
    // the MIDI output `port` names ("" = the embedded synthesizer; none = the user's choice).
    explicit CliSession(const CommonOptions& options, HubOptions::Audio audio = HubOptions::Audio::Off,
                        std::optional<std::string> port = std::nullopt);
    // Where the messages go from now on (the command's error stream).
    void setMessageStream(std::ostream& s) { messages.stream = &s; }
};

// A song changed by a command. The song's lock (base/FileLock.h) is taken before the song is
// read and held until the changed song has replaced it, so that commands run at once on one
// song take turns and every change survives. `change` edits s.song() and returns 0 to have
// the song saved, or the status to end with, leaving the file as it was. Every command that
// changes a song goes through here. Returns the command's status. A song the user has
// write-protected is refused before it is read, with the desktop program's message.
// `change` prints nothing on success: what it writes to `report` reaches `out` only once
// the song has been saved, so that a script reading `out` never sees a change that a full
// disk then lost.
int editSong(CliSession& s, const std::string& songPath, const std::string& cmd, std::ostream& out, std::ostream& err,
             const std::function<int(std::ostream& report)>& change);
// The same for a change that prints nothing on success.
int editSong(CliSession& s, const std::string& songPath, const std::string& cmd, std::ostream& err,
             const std::function<int()>& change);

// Checks of option values, with the message on err: a quality code the vocal can be
// rendered in, a MIDI channel 1 to 16.
bool checkQualityCode(const std::string& cmd, uint64_t code, std::ostream& err);
bool checkChannel(const std::string& cmd, uint64_t channel, std::ostream& err);

// The switches given on the command line in place of the song's stored ones (when any is given).
void applySwitches(const ChannelSwitches& switches, ChannelFlags& flags);

// An output must never be one of the files the command reads (compared by file identity);
// true, with the message on err, when it is.
bool outputIsAnInput(const std::string& cmd, const std::string& output, const std::vector<std::string>& inputs,
                     std::ostream& err);
// A song (or its MIDI file) a command writes: an existing one must be a regular file the
// user has not write-protected, and is replaced only with `force`; a new one needs a folder
// it can be made in. False, with the message on err, when it cannot be written.
bool checkSongOutput(const std::string& cmd, const std::string& output, bool force, std::ostream& err);

// Parses a whole decimal number in [0, max]; false when it is not one.
bool parseNumber(const std::string& text, uint64_t max, uint64_t& value);

}  // namespace kantor::cli
