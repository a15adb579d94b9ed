#pragma once
// Where the MIDI of a song goes: the embedded synthesizer (the default) or an ALSA sequencer
// port of an external synthesizer. The choice lives in a small text file of its own beside
// the settings file ("midi-output.conf", one line "output=embedded" or "output=alsa:C:P"),
// so that the binary settings block keeps the layout other programs read.
#include <string>

namespace kantor {

struct MidiOutputChoice {
    static constexpr const char* kFileName = "midi-output.conf";

    std::string alsaPort;  // "" = the embedded synthesizer, else "client:port"

    bool embedded() const { return alsaPort.empty(); }

    // A missing or unreadable file, or a line that makes no sense, gives the default.
    static MidiOutputChoice load(const std::string& path);
    // Written whole through a temporary file. False with `error` set.
    bool save(const std::string& path, std::string* error = nullptr) const;
    // The file's text, and the choice of a text.
    std::string toText() const;
    static MidiOutputChoice fromText(const std::string& text);
    // True for "client:port" with two numbers (0-255 each), or a client name and a port.
    static bool isPortText(const std::string& port);
};

}  // namespace kantor
