// Folders from a test environment: XDG folders, overrides, the documents folder, creation.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "platform/Folders.h"

namespace kantor {
namespace {

struct TempHome {
    std::string path;
    std::map<std::string, std::string> vars;
    TempHome() {
        std::string pattern = std::filesystem::temp_directory_path().string() + "/kantor-home-XXXXXX";
        path = mkdtemp(pattern.data());
        vars["HOME"] = path;
    }
    ~TempHome() { std::filesystem::remove_all(path); }
    Folders folders(const FolderOverrides& o = {}) const {
        auto env = [this](const std::string& name) -> std::optional<std::string> {
            auto it = vars.find(name);
            if (it == vars.end()) return std::nullopt;
            return it->second;
        };
        return Folders::fromEnvironment(env, o);
    }
};

TEST(Folders, DefaultsBelowTheHomeFolder) {
    TempHome h;
    Folders f = h.folders();
    EXPECT_EQ(f.homeFolder(), h.path);
    EXPECT_EQ(f.roamingDataFolder(), h.path + "/.local/share/Ardlow Software/Kantor/");
    EXPECT_EQ(f.voiceFolder(), h.path + "/.local/share/Ardlow Software/Kantor/VXB/");
    EXPECT_EQ(f.voiceFolderText(), h.path + "/.local/share/Ardlow Software/Kantor/VXB");
    EXPECT_EQ(f.localDataFolder(), h.path + "/.config/Ardlow Software/Kantor/");
    EXPECT_EQ(f.settingsFilePath(), h.path + "/.config/Ardlow Software/Kantor/Kantor.ini");
    // No Documents folder: the home folder stands in.
    EXPECT_EQ(f.documentsFolder(), h.path);
    EXPECT_EQ(f.sampleFolder(), h.path + "/Ardlow Software/Kantor/sample/");
    std::filesystem::create_directory(h.path + "/Documents");
    EXPECT_EQ(h.folders().documentsFolder(), h.path + "/Documents");
    SettingsDefaults d = h.folders().settingsDefaults();
    EXPECT_EQ(d.sampleFolder, h.path + "/Documents/Ardlow Software/Kantor/sample/");
    EXPECT_EQ(d.documentsFolder, h.path + "/Documents");
    EXPECT_FALSE(f.installFolder().empty());
    EXPECT_EQ(f.installFolder().back(), '/');
}

TEST(Folders, XdgVariablesAndUserDirs) {
    TempHome h;
    h.vars["XDG_DATA_HOME"] = h.path + "/data/";
    h.vars["XDG_CONFIG_HOME"] = h.path + "/conf";
    std::filesystem::create_directories(h.path + "/conf");
    std::ofstream(h.path + "/conf/user-dirs.dirs") << "# written by xdg-user-dirs-update\n"
                                                      "XDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
                                                      "XDG_DOCUMENTS_DIR=\"$HOME/ドキュメント\"\n";
    Folders f = h.folders();
    EXPECT_EQ(f.roamingDataFolder(), h.path + "/data/Ardlow Software/Kantor/");
    EXPECT_EQ(f.localDataFolder(), h.path + "/conf/Ardlow Software/Kantor/");
    EXPECT_EQ(f.documentsFolder(), h.path + "/ドキュメント");
    // Relative XDG values are ignored, as the XDG rules say.
    h.vars["XDG_DATA_HOME"] = "relative/data";
    EXPECT_EQ(h.folders().roamingDataFolder(), h.path + "/.local/share/Ardlow Software/Kantor/");

    EXPECT_EQ(documentsDirFromUserDirs("XDG_DOCUMENTS_DIR=\"/srv/docs/\"\n", "/h"), "/srv/docs");
    EXPECT_EQ(documentsDirFromUserDirs("XDG_DOCUMENTS_DIR=\"$HOME/\"\n", "/h"), std::nullopt);
    EXPECT_EQ(documentsDirFromUserDirs("XDG_DOCUMENTS_DIR=\"$HOME/a \\\"b\\\"\"", "/h"), "/h/a \"b\"");
    EXPECT_EQ(documentsDirFromUserDirs("XDG_DOCUMENTS_DIR=\"rel\"\n#XDG_DOCUMENTS_DIR=\"/x\"", "/h"),
              std::nullopt);
    EXPECT_EQ(documentsDirFromUserDirs("XDG_DOCUMENTS_DIR=\"/unterminated\n", "/h"), std::nullopt);
}

TEST(Folders, OverridesWinOverVariablesAndXdg) {
    TempHome h;
    h.vars["KANTOR_DATA_DIR"] = "/v/data";
    h.vars["KANTOR_CONFIG_DIR"] = "/v/config/";
    h.vars["KANTOR_DOCUMENTS_DIR"] = "/v/docs";
    h.vars["XDG_DATA_HOME"] = "/xdg/data";
    Folders f = h.folders();
    EXPECT_EQ(f.roamingDataFolder(), "/v/data/");
    EXPECT_EQ(f.voiceFolder(), "/v/data/VXB/");
    EXPECT_EQ(f.settingsFilePath(), "/v/config/Kantor.ini");
    EXPECT_EQ(f.documentsFolder(), "/v/docs");
    EXPECT_EQ(f.sampleFolder(), "/v/docs/Ardlow Software/Kantor/sample/");

    h.vars["KANTOR_VOICE_DIR"] = "/v/voices";
    h.vars["KANTOR_SAMPLE_DIR"] = "/v/songs";
    h.vars["KANTOR_CONFIG_DIR"] = "";  // empty counts as unset
    f = h.folders();
    EXPECT_EQ(f.voiceFolder(), "/v/voices/");
    EXPECT_EQ(f.sampleFolder(), "/v/songs/");
    EXPECT_EQ(f.localDataFolder(), h.path + "/.config/Ardlow Software/Kantor/");

    FolderOverrides o;
    o.voiceDir = "/p/voices";
    o.configDir = "/p/config";
    f = h.folders(o);
    EXPECT_EQ(f.voiceFolder(), "/p/voices/");
    EXPECT_EQ(f.localDataFolder(), "/p/config/");
    EXPECT_EQ(f.roamingDataFolder(), "/v/data/");
}

TEST(Folders, CreatesMissingFolders) {
    TempHome h;
    Folders f = h.folders();
    ASSERT_TRUE(f.createFolders()) << f.lastError();
    for (const std::string& dir : {f.roamingDataFolder(), f.voiceFolder(), f.localDataFolder(), f.sampleFolder()})
        EXPECT_TRUE(std::filesystem::is_directory(dir)) << dir;
    EXPECT_TRUE(f.createFolders());  // already there

    std::ofstream(h.path + "/blocker") << "a file";
    FolderOverrides o;
    o.voiceDir = h.path + "/blocker/VXB";
    Folders g = h.folders(o);
    EXPECT_FALSE(g.createFolders());
    EXPECT_NE(g.lastError().find("blocker"), std::string::npos);
}

}  // namespace
}  // namespace kantor
