// kantor-cli effect: the registered effect plug-ins, and the effects a song uses.
//
//   effect list                  the registered description files, numbered as songs refer
//                                to them, with their effects
//   effect add FILE.ncp          registers a description file
//   effect remove N              removes plug-in N; the ones after it keep their numbers
//   effect set SONG.uta [--channel C [--note N]] [P:E ...]
//                                sets the song defaults', a channel's or a phrase's effects
//                                (up to three plug-in:effect pairs; none clears them)
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <ostream>

#include "base/FileIO.h"
#include "base/FileLock.h"
#include "base/PrintableText.h"
#include "base/Translation.h"
#include "cli/Commands.h"
#include "cli/Session.h"
#include "platform/StderrPrompt.h"
#include "plugins/PluginDescription.h"
#include "plugins/PluginTexts.h"

namespace kantor::cli {
namespace {

// The settings of the command: read from the settings file; written back only when the file
// was read, or did not exist (a file of another version is never replaced from here). A
// command that changes them holds the settings file's lock from before the read until after
// the save, so that commands run at once each keep their change.
struct SettingsFile {
    std::string path;
    Settings settings;
    bool writable = false;
    std::string readError;  // why a settings file that is there could not be read
    std::optional<FileLock> lock;

    SettingsFile(const CommonOptions& o, bool forChange) {
        FolderOverrides f;
        f.configDir = o.configDir;
        f.dataDir = o.dataDir;
        f.voiceDir = o.voiceDir;
        Folders folders = Folders::fromEnvironment(f);
        path = folders.settingsFilePath();
        settings = Settings(folders.settingsDefaults());
        if (forChange) {
            std::string error;
            if (makeFolders(folderOf(path), &error)) lock.emplace(path);
        }
        // Anything by that name (a file, a folder) that cannot be read is not "no settings".
        struct stat st {};
        writable = settings.load(path) || (::lstat(path.c_str(), &st) != 0 && errno == ENOENT);
        if (!writable) readError = settings.lastError();
    }
    bool save(std::ostream& err) {
        if (lock && !lock->locked()) {
            err << "effect: " << translated(lock->error()) << "\n";
            return false;
        }
        if (!writable) {
            err << "effect: " << translated(readError) << "; the settings file is left as it is\n";
            return false;
        }
        std::string folder = folderOf(path), error;
        if (!makeFolders(folder, &error) || !settings.save(path)) {
            err << "effect: " << translated(error.empty() ? settings.lastError() : error) << "\n";
            return false;
        }
        return true;
    }
};

// The registered list without free places at its end.
void dropTrailingFreePlaces(std::vector<std::string>& list) {
    while (!list.empty() && (list.back().empty() || isFreePluginPlace(list.back()))) list.pop_back();
}

int list(SettingsFile& f, std::ostream& out) {
    const std::vector<std::string>& files = f.settings.pluginFiles();
    if (files.empty()) out << "no effect plug-ins registered\n";
    for (std::size_t i = 0; i < files.size(); ++i) {
        std::string number = std::to_string(i + 1);
        if (number.size() < 2) number.insert(0, 1, ' ');
        if (files[i].empty() || isFreePluginPlace(files[i])) {
            out << number << "  (free)\n";
            continue;
        }
        PluginDescription d;
        if (readPluginDescription(files[i], d, nullptr) != 0) {
            out << number << "  (not a plug-in description file)  " << printableText(files[i], 1000) << "\n";
            continue;
        }
        // The names come from the description files: escaped, one line each.
        out << number << "  " << printableText(d.name) << "  " << printableText(files[i], 1000) << "\n";
        if (pluginLibraryPath(files[i]).empty() || !fileExists(pluginLibraryPath(files[i])))
            out << "      (its library " << printableText(d.dllFileName) << " is missing)\n";
        for (const PluginEffect& e : d.effects) out << "    " << printableText(effectEntryText(e)) << "\n";
    }
    return 0;
}

int add(SettingsFile& f, const std::string& given, std::ostream& out, std::ostream& err) {
    std::error_code ec;
    const std::string path = std::filesystem::absolute(given, ec).lexically_normal().string();
    const std::size_t dot = path.find_last_of('.');
    if (ec || dot == std::string::npos || path.substr(dot + 1) != "ncp" || path.find('/', dot) != std::string::npos) {
        err << "effect add: a description file ends in .ncp\n";
        return 2;
    }
    if (!fileExists(path)) {
        err << "effect add: no such file: " << path << "\n";
        return 1;
    }
    std::vector<std::string> files = f.settings.pluginFiles();
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (files[i] == path) {
            out << "already registered as plug-in " << i + 1 << "\n";
            return 0;
        }
    }
    if (!Settings::isStorableText(path)) {
        err << "[" << translated(plugintext::kErrorCaption) << "] " << translated(plugintext::kPathNotStorable) << "\n";
        return 1;
    }
    PluginDescription d;
    if (readPluginDescription(path, d, nullptr) != 0) {
        err << "[" << translated(plugintext::kErrorCaption) << "] " << translated(plugintext::kNotAPlugin) << "\n";
        return 1;
    }
    dropTrailingFreePlaces(files);
    if (files.size() >= 0xFFFF) {
        err << "effect add: the list is full\n";
        return 1;
    }
    files.push_back(path);
    f.settings.setPluginFiles(files);
    if (!f.save(err)) return 1;
    out << "registered as plug-in " << files.size() << ": " << printableText(d.name) << "\n";
    return 0;
}

int remove(SettingsFile& f, const std::string& which, std::ostream& out, std::ostream& err) {
    std::vector<std::string> files = f.settings.pluginFiles();
    uint64_t n = 0;
    if (!parseNumber(which, 0xFFFF, n) || n == 0 || n > files.size() || files[n - 1].empty() ||
        isFreePluginPlace(files[n - 1])) {
        err << "effect remove: no plug-in " << which << "\n";
        return 1;
    }
    // Songs refer to plug-ins by number: the place stays, so the later ones keep theirs.
    files[n - 1] = std::string(kFreePluginPlace);
    dropTrailingFreePlaces(files);
    f.settings.setPluginFiles(files);
    if (!f.save(err)) return 1;
    out << "removed plug-in " << n << "\n";
    return 0;
}

bool parseReference(const std::string& text, int32_t& ref) {
    const std::size_t colon = text.find(':');
    uint64_t plugin = 0, number = 0;
    if (colon == std::string::npos || !parseNumber(text.substr(0, colon), 0xFFFF, plugin) || plugin == 0 ||
        !parseNumber(text.substr(colon + 1), 0xFFFF, number))
        return false;
    ref = makeEffectReference(static_cast<uint16_t>(plugin), static_cast<uint16_t>(number));
    return true;
}

int set(const EffectArgs& a, std::ostream& out, std::ostream& err) {
    const std::string& song = a.file;
    const uint64_t channel = a.channel, note = a.note;
    const CommonOptions& common = a.common;
    std::array<int32_t, 3> refs{};
    if (a.references.size() > refs.size()) {
        err << "effect set: at most three effects\n";
        return 2;
    }
    for (std::size_t i = 0; i < a.references.size(); ++i) {
        if (!parseReference(a.references[i], refs[i])) {
            err << "effect set: " << a.references[i] << " is not PLUGIN:EFFECT\n";
            return 2;
        }
    }
    if (note != 0 && channel == 0) {
        err << "effect set: --note needs its --channel\n";
        return 2;
    }
    CliSession s(common);
    const int status = editSong(s, song, "effect set", err, [&] {
        Song& sg = s.song();
        VoiceSettings* target = &sg.songDefaults();
        if (channel != 0) {
            const int c = static_cast<int>(channel) - 1;
            target = &sg.channelDefaults(c);
            if (note != 0) {
                const auto& events = sg.channel(c).events;
                const VoxEvent* e = note <= events.size() ? events[note - 1].get() : nullptr;
                target = e && e->phraseIndex != 0 ? sg.phraseSettings(c, e->phraseIndex) : nullptr;
                if (!target) {
                    err << "effect set: note " << note << " of channel " << channel << " does not begin a phrase\n";
                    return 1;
                }
            }
        }
        target->ownEffects = 1;
        target->effect = refs;
        return 0;
    });
    if (status == 0) out << "effects " << refs[0] << " " << refs[1] << " " << refs[2] << "\n";
    return status;
}

}  // namespace

int effect(const EffectArgs& a, std::ostream& out, std::ostream& err) {
    if (a.command == "set") return set(a, out, err);
    SettingsFile f(a.common, a.command != "list");
    if (f.lock && !f.lock->locked()) {
        err << "effect " << a.command << ": " << translated(f.lock->error()) << "\n";
        return 1;
    }
    // A settings file that is there but cannot be read is not "no plug-ins".
    if (a.command == "list" && !f.writable) {
        err << "effect list: " << translated(f.readError) << "\n";
        return 1;
    }
    if (a.command == "list") return list(f, out);
    if (a.command == "add") return add(f, a.file, out, err);
    if (a.command == "remove") return remove(f, a.which, out, err);
    return 2;
}

}  // namespace kantor::cli
