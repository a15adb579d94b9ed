#pragma once
// The folders the program uses, from the XDG base directories of the user:
//
//   roaming data folder  $XDG_DATA_HOME/Ardlow Software/Kantor/   (default ~/.local/share/...)
//   voice folder         roaming data folder + "VXB/"
//   local data folder    $XDG_CONFIG_HOME/Ardlow Software/Kantor/ (default ~/.config/...);
//                        the settings file "Kantor.ini" lives here
//   documents folder     XDG_DOCUMENTS_DIR of $XDG_CONFIG_HOME/user-dirs.dirs, else
//                        ~/Documents when it exists, else the home folder (no trailing '/')
//   sample folder        documents folder + "/Ardlow Software/Kantor/sample/"
//   install folder       the folder of the running program
//
// Every folder can be set explicitly (FolderOverrides) or by an environment variable, so
// that tests and scripts never touch the user's own folders:
//
//   KANTOR_DATA_DIR       the roaming data folder itself (the voice folder is below it)
//   KANTOR_CONFIG_DIR     the local data folder itself (holds Kantor.ini)
//   KANTOR_DOCUMENTS_DIR  the documents folder (the sample folder is below it)
//   KANTOR_VOICE_DIR      the voice folder itself
//   KANTOR_SAMPLE_DIR     the sample folder itself
//
// An explicit override wins over the variable, the variable over the XDG folders. Empty
// values count as unset. Folders other than the documents folder end with '/'.
#include <functional>
#include <optional>
#include <string>

#include "base/LastError.h"
#include "settings/Settings.h"

namespace kantor {

struct FolderOverrides {
    std::string dataDir;
    std::string configDir;
    std::string documentsDir;
    std::string voiceDir;
    std::string sampleDir;
};

class Folders : public LastError {
public:
    // Looks up an environment variable; nullopt when unset.
    using Environment = std::function<std::optional<std::string>(const std::string& name)>;

    // The folders of this process's environment.
    static Folders fromEnvironment(const FolderOverrides& overrides = {});
    // The folders for a given environment (tests pass their own).
    static Folders fromEnvironment(const Environment& env, const FolderOverrides& overrides = {});

    const std::string& homeFolder() const { return home_; }
    const std::string& roamingDataFolder() const { return roamingData_; }
    const std::string& localDataFolder() const { return localData_; }
    const std::string& documentsFolder() const { return documents_; }
    const std::string& sampleFolder() const { return sample_; }
    const std::string& voiceFolder() const { return voice_; }
    const std::string& installFolder() const { return install_; }

    // The settings file: local data folder + "Kantor.ini".
    std::string settingsFilePath() const;
    // The voice folder as the settings record keeps it (without the trailing '/').
    std::string voiceFolderText() const;
    // The folders that the settings' defaults are made of.
    SettingsDefaults settingsDefaults() const;

    // Creates the roaming data, voice, local data and sample folders (with their parents)
    // where missing. False with lastError() when one cannot be made.
    bool createFolders();

private:
    std::string home_;
    std::string roamingData_;
    std::string localData_;
    std::string documents_;
    std::string sample_;
    std::string voice_;
    std::string install_;
};

// Creates a folder and its missing parents (mode 0755). False with `error` set on failure.
bool makeFolders(const std::string& path, std::string* error = nullptr);

// The XDG_DOCUMENTS_DIR entry of a user-dirs.dirs text, with "$HOME" replaced by `home`;
// nullopt when there is none or it names the home folder itself (which disables it).
std::optional<std::string> documentsDirFromUserDirs(const std::string& text, const std::string& home);

}  // namespace kantor
