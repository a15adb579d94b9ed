#include "plugins/PluginDescription.h"

#include <algorithm>
#include <cstdio>

#include "base/FileIO.h"
#include "platform/UserPrompt.h"
#include "plugins/PluginTexts.h"
#include "plugins/ProfileFile.h"

namespace kantor {
namespace {

constexpr std::size_t kMaxEffects = 65536;
constexpr std::size_t kDllNameSize = 256;

// The decimal value of a number part, read as the C library's atoi reads it (leading
// white space, a sign, digits up to the first other character), kept in 32 bits.
int32_t decimalValue(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    int64_t v = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) v = std::min<int64_t>(v * 10 + (s[i] - '0'), 0x80000000ll);
    if (negative) v = -v;
    return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

// Width of the UTF-8 character starting at s[i] as cp932 stores it (1 for ASCII and
// half-width katakana, 2 otherwise) and its length in UTF-8.
void characterAt(const std::string& s, std::size_t i, std::size_t& width, std::size_t& length) {
    const unsigned char b = static_cast<unsigned char>(s[i]);
    length = b < 0x80 ? 1 : b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
    length = std::min(length, s.size() - i);
    width = 1;
    if (length == 1) return;
    if (length == 3 && b == 0xEF) {
        // U+FF61 to U+FF9F: EF BD A1..BF, EF BE 80..9F
        const unsigned char b1 = static_cast<unsigned char>(s[i + 1]), b2 = static_cast<unsigned char>(s[i + 2]);
        if ((b1 == 0xBD && b2 >= 0xA1) || (b1 == 0xBE && b2 <= 0x9F)) return;
    }
    width = 2;
}

}  // namespace

const PluginEffect* PluginDescription::findEffect(uint16_t number) const {
    for (const PluginEffect& e : effects)
        if (static_cast<uint16_t>(static_cast<uint32_t>(e.number)) == number) return &e;
    return nullptr;
}

int readPluginDescription(const ProfileFile& p, PluginDescription& out) {
    out = PluginDescription{};
    if (p.get("PLUGININFO", "Plugin") != plugintext::kMarker) return 1;
    out.functionName = p.get("PLUGININFO", "FunctionName");
    out.name = p.get("PLUGININFO", "Name");
    out.dllFileName = p.get("PLUGININFO", "DllFileName");
    for (std::size_t n = 1; n <= kMaxEffects; ++n) {
        const std::string entry = p.get("EFFECT", "Effect" + std::to_string(n));
        const std::size_t comma = entry.find(',');
        if (entry.empty() || comma == std::string::npos || comma == 0) break;
        const std::string number = trimRightSpace(std::string_view(entry).substr(0, comma));
        const std::string name = trimRightSpace(std::string_view(entry).substr(comma + 1));
        if (number.empty() || name.empty()) break;
        out.effects.push_back({decimalValue(number), name});
    }
    for (std::size_t n = 1;; ++n) {
        const std::string line = p.get("COMMENT", "Line" + std::to_string(n), plugintext::kCommentEndMark);
        if (line == plugintext::kCommentEndMark) break;
        if (n > 1) out.comment += "\r\n";
        out.comment += line;
    }
    return 0;
}

int readPluginDescription(const std::string& path, PluginDescription& out, UserPrompt* prompt) {
    ProfileFile profile;
    if (!isFreePluginPlace(path)) profile.load(path);  // an unreadable file reads as empty
    const int result = readPluginDescription(profile, out);
    if (result != 0 && prompt) prompt->notice(plugintext::kErrorCaption, plugintext::kNotAPlugin);
    return result;
}

std::string pluginLibraryPath(const std::string& descriptionPath) {
    if (descriptionPath.empty() || isFreePluginPlace(descriptionPath)) return "";
    ProfileFile profile;
    profile.load(descriptionPath);
    std::string name = profile.get("PLUGININFO", "DllFileName", "", kDllNameSize);
    if (name.empty()) return "";
    std::replace(name.begin(), name.end(), '\\', '/');
    const std::string folder = folderOf(descriptionPath);
    return folder.empty() && descriptionPath.front() != '/' ? name : folder + "/" + name;
}

bool isFreePluginPlace(const std::string& path) {
    return !path.empty() && std::all_of(path.begin(), path.end(), [](char c) { return c == ' ' || c == '\t'; });
}

std::string effectEntryText(const PluginEffect& effect) {
    char number[16];
    std::snprintf(number, sizeof number, "%5d", static_cast<int>(effect.number));
    return std::string(number) + " : " + effect.name;
}

std::string cutLabelText(const std::string& utf8, std::size_t bytes) {
    std::string out;
    std::size_t used = 0, i = 0;
    while (i < utf8.size() && used < bytes) {
        std::size_t width = 0, length = 0;
        characterAt(utf8, i, width, length);
        if (used + width > bytes) {
            out += ' ';  // the lead byte of a character cut in half
            break;
        }
        out.append(utf8, i, length);
        used += width;
        i += length;
    }
    return out;
}

EffectLabel effectLabel(int32_t effect, const std::vector<std::string>& registered) {
    EffectLabel label;
    const uint16_t plugin = effectPluginNumber(effect);
    if (plugin == 0 || plugin > registered.size()) return label;
    PluginDescription d;
    if (readPluginDescription(registered[plugin - 1u], d, nullptr) != 0) return label;
    label.pluginName = d.name;
    const PluginEffect* e = d.findEffect(effectNumber(effect));
    if (!e) return label;
    label.effectEntry = effectEntryText(*e);
    label.combined = cutLabelText(label.pluginName) + "|" + cutLabelText(label.effectEntry);
    return label;
}

}  // namespace kantor
