#include "voicemaker/ProjectEditor.h"

#include <algorithm>

#include "base/Codepage.h"
#include "platform/UserPrompt.h"
#include "voicemaker/MakerTexts.h"

namespace kantor {
namespace {

// The byte length of the UTF-8 sequence that starts with this byte.
std::size_t utf8Step(unsigned char c) {
    if (c < 0x80) return 1;
    if ((c & 0xE0) == 0xC0) return 2;
    if ((c & 0xF0) == 0xE0) return 3;
    if ((c & 0xF8) == 0xF0) return 4;
    return 1;
}

bool hasText(const std::string& s) { return s.find_first_not_of(" \t\r\n") != std::string::npos; }

std::string trimmed(const std::string& s) {
    const auto b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos) return {};
    const auto e = s.find_last_not_of(" \t\r\n");
    return s.substr(b, e - b + 1);
}

std::vector<int> sortedUnique(std::vector<int> lines, int size) {
    std::erase_if(lines, [size](int i) { return i < 0 || i >= size; });
    std::sort(lines.begin(), lines.end());
    lines.erase(std::unique(lines.begin(), lines.end()), lines.end());
    return lines;
}

}  // namespace

void ProjectEditor::error(const char* text) { prompt_.notice(makertext::kCaptionUpperError, text); }

std::string ProjectEditor::limitCode(const std::string& code) {
    std::string out;
    std::size_t chars = 0;
    for (std::size_t i = 0; i < code.size() && chars < 4; ++chars) {
        const std::size_t n = std::min(utf8Step(static_cast<unsigned char>(code[i])), code.size() - i);
        out.append(code, i, n);
        i += n;
    }
    return out;
}

std::string ProjectEditor::limitNotation(const std::string& notation) {
    std::string out;
    for (std::size_t i = 0; i < notation.size();) {
        const std::size_t n = std::min(utf8Step(static_cast<unsigned char>(notation[i])), notation.size() - i);
        std::string next = out + notation.substr(i, n);
        if (cp932Length(next) > 10) break;
        out = std::move(next);
        i += n;
    }
    return out;
}

bool ProjectEditor::checkPair(const std::optional<SyllablePair>& pair) {
    if (!pair) {
        error(makertext::kNoCodeSelected);
        return false;
    }
    if (!hasText(pair->code)) {
        error(makertext::kEmptyCode);
        return false;
    }
    if (!hasText(pair->notation)) {
        error(makertext::kEmptyNotation);
        return false;
    }
    return true;
}

int ProjectEditor::addItem(int pitch, const std::optional<SyllablePair>& pair, int* sameLine) {
    if (sameLine) *sameLine = -1;
    if (pitch < 0 || pitch > 127) {
        error(makertext::kNoPitchSelected);
        return -1;
    }
    if (!checkPair(pair)) return -1;
    auto item = VoiceItem::make(limitCode(trimmed(pair->code)), limitNotation(trimmed(pair->notation)), pitch);
    const int same = project_.findSameItem(*item);
    if (same >= 0) {
        if (sameLine) *sameLine = same;
        if (prompt_.askOkCancel(makertext::kCaptionConfirm, makertext::kDuplicateItem) != PromptAnswer::Yes) return -1;
    }
    project_.items.push_back(std::move(item));
    project_.markItemsEdited();
    return static_cast<int>(project_.items.size()) - 1;
}

int ProjectEditor::insertBlank(int line) {
    const int size = static_cast<int>(project_.items.size());
    if (line < 0 || line > size) line = size;
    project_.items.insert(project_.items.begin() + line, VoiceItem::blank());
    project_.markItemsEdited();
    return line;
}

int ProjectEditor::deleteLines(std::vector<int> lines) {
    lines = sortedUnique(std::move(lines), static_cast<int>(project_.items.size()));
    for (auto it = lines.rbegin(); it != lines.rend(); ++it) project_.items.erase(project_.items.begin() + *it);
    if (!lines.empty()) project_.markItemsEdited();
    return static_cast<int>(lines.size());
}

std::vector<int> ProjectEditor::moveUp(std::vector<int> lines) {
    auto& items = project_.items;
    lines = sortedUnique(std::move(lines), static_cast<int>(items.size()));
    int floor = 0;  // lines stacked against the top stay
    bool moved = false;
    for (int& i : lines) {
        if (i == floor) {
            ++floor;
            continue;
        }
        std::swap(items[static_cast<std::size_t>(i)], items[static_cast<std::size_t>(i - 1)]);
        --i;
        floor = i + 1;
        moved = true;
    }
    if (moved) project_.markItemsEdited();
    return lines;
}

std::vector<int> ProjectEditor::moveDown(std::vector<int> lines) {
    auto& items = project_.items;
    lines = sortedUnique(std::move(lines), static_cast<int>(items.size()));
    int ceiling = static_cast<int>(items.size()) - 1;
    bool moved = false;
    for (auto it = lines.rbegin(); it != lines.rend(); ++it) {
        int& i = *it;
        if (i == ceiling) {
            --ceiling;
            continue;
        }
        std::swap(items[static_cast<std::size_t>(i)], items[static_cast<std::size_t>(i + 1)]);
        ++i;
        ceiling = i - 1;
        moved = true;
    }
    if (moved) project_.markItemsEdited();
    return lines;
}

bool ProjectEditor::changeCode(int line, const std::optional<SyllablePair>& pair) {
    if (line < 0 || line >= static_cast<int>(project_.items.size())) return false;
    VoiceItem* item = project_.items[static_cast<std::size_t>(line)].get();
    if (!item || item->isBlank()) return false;
    if (!checkPair(pair)) return false;
    item->code = limitCode(trimmed(pair->code));
    item->notation = limitNotation(trimmed(pair->notation));
    project_.markItemsEdited();
    return true;
}

}  // namespace kantor
