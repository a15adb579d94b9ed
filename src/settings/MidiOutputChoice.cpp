#include "settings/MidiOutputChoice.h"

#include "settings/ChoiceFile.h"

namespace kantor {

bool MidiOutputChoice::isPortText(const std::string& port) {
    const std::size_t colon = port.rfind(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 >= port.size() || port.size() > 128) return false;
    for (char ch : port) {
        if (static_cast<unsigned char>(ch) < 0x20 || ch == '\n') return false;
    }
    for (std::size_t i = colon + 1; i < port.size(); ++i) {
        if (port[i] < '0' || port[i] > '9') return false;
    }
    return port.size() - colon - 1 <= 3;
}

std::string MidiOutputChoice::toText() const {
    return embedded() ? std::string("output=embedded\n") : "output=alsa:" + alsaPort + "\n";
}

MidiOutputChoice MidiOutputChoice::fromText(const std::string& text) {
    MidiOutputChoice c;
    for (const std::string& line : choiceLines(text)) {
        const std::string key = "output=alsa:";
        if (line.rfind(key, 0) == 0 && isPortText(line.substr(key.size()))) {
            c.alsaPort = line.substr(key.size());
        } else if (line == "output=embedded") {
            c.alsaPort.clear();
        }
    }
    return c;
}

MidiOutputChoice MidiOutputChoice::load(const std::string& path) { return fromText(readChoiceFile(path)); }

bool MidiOutputChoice::save(const std::string& path, std::string* error) const { return writeChoiceFile(path, toText(), error); }

}  // namespace kantor
