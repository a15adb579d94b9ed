#include "settings/RenderChoice.h"

#include <cstdint>
#include <span>
#include <vector>

#include "base/FileIO.h"

namespace kantor {

bool RenderChoice::parseFormantsWord(const std::string& word, bool& keep) {
    if (word == "keep") {
        keep = true;
        return true;
    }
    if (word == "resample") {
        keep = false;
        return true;
    }
    return false;
}

std::string RenderChoice::toText() const { return std::string("formants=") + formantsWord(keepFormants) + "\n"; }

RenderChoice RenderChoice::fromText(const std::string& text) {
    RenderChoice c;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) line.pop_back();
        const std::string key = "formants=";
        bool keep = false;
        if (line.rfind(key, 0) == 0 && parseFormantsWord(line.substr(key.size()), keep)) c.keepFormants = keep;
    }
    return c;
}

RenderChoice RenderChoice::load(const std::string& path) {
    std::vector<uint8_t> bytes;
    if (readWholeFile(path, bytes, 4096) != ReadStatus::Ok) return {};
    return fromText(std::string(bytes.begin(), bytes.end()));
}

bool RenderChoice::save(const std::string& path, std::string* error) const {
    const std::string text = toText();
    return writeFileAtomically(path, std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()),
                               error);
}

}  // namespace kantor
