#include "settings/MidiOutputChoice.h"

#include <cstdint>
#include <span>
#include <vector>

#include "base/FileIO.h"

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
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) line.pop_back();
        const std::string key = "output=alsa:";
        if (line.rfind(key, 0) == 0 && isPortText(line.substr(key.size()))) {
            c.alsaPort = line.substr(key.size());
        } else if (line == "output=embedded") {
            c.alsaPort.clear();
        }
    }
    return c;
}

MidiOutputChoice MidiOutputChoice::load(const std::string& path) {
    std::vector<uint8_t> bytes;
    if (readWholeFile(path, bytes, 4096) != ReadStatus::Ok) return {};
    return fromText(std::string(bytes.begin(), bytes.end()));
}

bool MidiOutputChoice::save(const std::string& path, std::string* error) const {
    const std::string text = toText();
    return writeFileAtomically(path, std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()),
                               error);
}

}  // namespace kantor
