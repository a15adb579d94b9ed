#include "cli/Session.h"

#include <charconv>

#include "platform/BuiltinData.h"

namespace kantor::cli {

bool takeCommonOptions(Args& args, CommonOptions& options, std::ostream& err) {
    Args rest;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string* target = nullptr;
        if (args[i] == "--voice-dir") target = &options.voiceDir;
        if (args[i] == "--config-dir") target = &options.configDir;
        if (args[i] == "--data-dir") target = &options.dataDir;
        if (!target) {
            rest.push_back(args[i]);
            continue;
        }
        if (i + 1 >= args.size()) {
            err << args[i] << " needs a folder\n";
            return false;
        }
        *target = args[++i];
    }
    args = std::move(rest);
    return true;
}

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

bool parseNumber(const std::string& text, uint64_t max, uint64_t& value) {
    auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && p == text.data() + text.size() && value <= max;
}

}  // namespace kantor::cli
