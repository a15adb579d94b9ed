#include "settings/ChoiceFile.h"

#include <cstdint>
#include <span>

#include "base/FileIO.h"

namespace kantor {

std::vector<std::string> choiceLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) line.pop_back();
        lines.push_back(std::move(line));
    }
    return lines;
}

std::string readChoiceFile(const std::string& path, std::string* problem) {
    std::vector<uint8_t> bytes;
    const ReadStatus st = readWholeFile(path, bytes, 4096);
    if (st == ReadStatus::Ok) return std::string(bytes.begin(), bytes.end());
    if (problem && st != ReadStatus::NotFound)
        *problem = "cannot read " + path + ": " + (st == ReadStatus::TooLarge ? "larger than 4 KB" : readStatusText(st));
    return {};
}

bool writeChoiceFile(const std::string& path, const std::string& text, std::string* error) {
    return writeFileAtomically(path, std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()),
                               error);
}

}  // namespace kantor
