#include "cli/Session.h"

#include <charconv>

#include "platform/BuiltinData.h"

namespace kantor::cli {

namespace {
Folders makeFolders(const CommonOptions& o) {
    FolderOverrides f;
    f.voiceDir = o.voiceDir;
    f.configDir = o.configDir;
    f.dataDir = o.dataDir;
    return Folders::fromEnvironment(f);
}
}  // namespace

CliSession::CliSession(const CommonOptions& options)
    : folders_(makeFolders(options)),
      settings_(folders_.settingsDefaults()),
      voices_(folders_.voiceFolder()),
      loader_(voices_),
      session_(song_, midi_, tempoMap_, prompt_, stream_, loader_),
      effects_(effectLoader_, prompt_, [this] { return settings_.pluginFiles(); }),
      engine_(voices_, tempoMap_) {
    // The first start puts the built-in voices and the demo song into the user's folders.
    folders_.createFolders();
    installBuiltinData(folders_);
    settings_.load(folders_.settingsFilePath());
    engine_.setMidiDelayCorrection(settings_.midiDelayCorrection());
    engine_.setEffects(&effects_);
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
