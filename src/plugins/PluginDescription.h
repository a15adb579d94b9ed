#pragma once
// Plug-in description files (.ncp): a profile text file naming an effect plug-in, its
// library, the effects it offers and a free comment.
//
//   [PLUGININFO]
//   Plugin=My Kantorellion Plugin
//   Name=Echo
//   DllFileName=libkantor-echo.so
//   FunctionName=anything
//   [EFFECT]
//   Effect1=1,Short echo
//   [COMMENT]
//   Line1=first line of the comment
//
// Also the effect references (plug-in number and effect number in one 32-bit value) and the
// labels other windows show for them.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace kantor {

class UserPrompt;
class ProfileFile;

struct PluginEffect {
    int32_t number = 0;
    std::string name;  // keeps its leading spaces
};

struct PluginDescription {
    std::string functionName;  // kept, not used
    std::string name;
    std::string dllFileName;
    std::vector<PluginEffect> effects;  // in file order
    std::string comment;                // lines joined with CR LF

    // The effect whose number equals `number` as a 16-bit value; nullptr when none.
    const PluginEffect* findEffect(uint16_t number) const;
};

// Fills `out` from a profile. Returns 0 on success, 1 when the marker is wrong.
int readPluginDescription(const ProfileFile& profile, PluginDescription& out);
// Reads a description file. On a wrong marker (or a file that cannot be read) shows
// "My Kantorellion ﾌﾟﾗｸﾞｲﾝ･ﾌｧｲﾙではありません。" titled "Error" on `prompt` when one is
// given, and returns 1; 0 on success.
int readPluginDescription(const std::string& path, PluginDescription& out, UserPrompt* prompt);

// The library a description names: its folder followed by DllFileName (at most 255 bytes,
// trailing white space removed; '\' taken as a folder separator). Empty when the
// description file name or DllFileName is empty.
std::string pluginLibraryPath(const std::string& descriptionPath);

// One effect reference: low 16 bits the plug-in number (1-based, 0 = none), high 16 bits
// the effect number.
inline uint16_t effectPluginNumber(int32_t effect) { return static_cast<uint16_t>(static_cast<uint32_t>(effect)); }
inline uint16_t effectNumber(int32_t effect) { return static_cast<uint16_t>(static_cast<uint32_t>(effect) >> 16); }
inline int32_t makeEffectReference(uint16_t plugin, uint16_t number) {
    return static_cast<int32_t>(static_cast<uint32_t>(plugin) | (static_cast<uint32_t>(number) << 16));
}

// The registered list may hold free places where plug-ins were removed, so that the numbers
// of the others stay as songs stored them: a record of white space only.
inline constexpr const char* kFreePluginPlace = " ";
bool isFreePluginPlace(const std::string& path);

// The texts shown for an effect reference.
struct EffectLabel {
    std::string pluginName;
    std::string effectEntry;  // "%5d : %s"
    std::string combined;     // "%s|%s" of the first 16 bytes of each
};

// The label of an effect reference against the registered list; the description file is
// read afresh (silently) on every call.
EffectLabel effectLabel(int32_t effect, const std::vector<std::string>& registered);
// "%5d : %s"
std::string effectEntryText(const PluginEffect& effect);
// The first `bytes` bytes of a text as cp932 counts them; a double-byte character cut in
// half leaves a space in its place.
std::string cutLabelText(const std::string& utf8, std::size_t bytes = 16);

}  // namespace kantor
