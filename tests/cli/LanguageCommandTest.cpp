// The language of kantor-cli's messages: --lang, language.conf beside the settings file, and
// the language command that keeps the choice.
#include <gtest/gtest.h>

#include <fstream>

#include "base/Translation.h"
#include "settings/LanguageChoice.h"
#include "support/CliRun.h"
#include "support/ScratchFolders.h"
#include "support/SyntheticVoice.h"
#include "support/TempDir.h"

namespace kantor {
namespace {

using test::runCli;

constexpr const char* kMissingJa = "Utaﾌｧｲﾙが見つかりません。";
constexpr const char* kMissingEn = "Song file (.uta) not found.";

void writeLanguageFile(const std::string& configDir, const std::string& text) {
    std::filesystem::create_directories(configDir);
    std::ofstream(configDir + "/" + LanguageChoice::kFileName) << text;
}

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// The reader's message, then the file on a line of its own.
std::string missingSong(const char* message, const std::string& path) { return std::string(message) + "\n" + path + "\n"; }

TEST(LanguageCommand, LangEnGivesEnglishErrorsWhereverItStands) {
    test::ScratchFolders scratch;
    test::TempDir dir;
    const std::string song = dir.file("missing.uta");
    for (const cli::Args& args : {cli::Args{"--lang", "en", "info", song}, cli::Args{"info", song, "--lang", "en"},
                                  cli::Args{"info", "--lang=en", song}}) {
        const auto r = runCli(args);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, missingSong(kMissingEn, song)) << args[0];
    }
    // The song commands show the core's message through their prompt: caption and text.
    const auto r = runCli({"render", song, "-o", dir.file("o.wav"), "--lang", "en"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(has(r.err, kMissingEn)) << r.err;
    EXPECT_FALSE(has(r.err, kMissingJa)) << r.err;
    // A file that is there but damaged: the reader's text, in English.
    const std::string bad = dir.write("bad.mid", {'a', 'b', 'c', 'd', 'e'});
    const auto m = runCli({"--lang", "en", "pos", bad, "0"});
    EXPECT_EQ(m.status, 1);
    EXPECT_EQ(m.err.rfind("Invalid file format.\n", 0), 0u) << m.err;
}

TEST(LanguageCommand, WithoutAChoiceTheMessagesStayJapanese) {
    test::ScratchFolders scratch;
    test::TempDir dir;
    const std::string song = dir.file("missing.uta");
    auto r = runCli({"info", song});
    EXPECT_EQ(r.err, missingSong(kMissingJa, song));
    r = runCli({"--lang", "ja", "info", song});
    EXPECT_EQ(r.err, missingSong(kMissingJa, song));
    // A run in English leaves the next run's language alone.
    runCli({"--lang", "en", "info", song});
    r = runCli({"info", song});
    EXPECT_EQ(r.err, missingSong(kMissingJa, song));
}

TEST(LanguageCommand, LanguageConfBesideTheSettingsFileChoosesAndLangWins) {
    test::ScratchFolders scratch;
    test::TempDir dir;
    const std::string song = dir.file("missing.uta");
    // The environment's settings folder (KANTOR_CONFIG_DIR).
    writeLanguageFile(scratch.folder("config"), "language=en\n");
    auto r = runCli({"info", song});
    EXPECT_EQ(r.err, missingSong(kMissingEn, song));
    r = runCli({"info", song, "--lang", "ja"});
    EXPECT_EQ(r.err, missingSong(kMissingJa, song));
    // A command's --config-dir names the folder whose language.conf counts.
    const std::string own = dir.file("config");
    writeLanguageFile(own, "language=ja\n");
    r = runCli({"render", song, "-o", dir.file("o.wav"), "--config-dir", own});
    EXPECT_TRUE(has(r.err, kMissingJa)) << r.err;
    // A damaged file is Japanese.
    writeLanguageFile(scratch.folder("config"), "language=klingon\n");
    r = runCli({"info", song});
    EXPECT_EQ(r.err, missingSong(kMissingJa, song));
}

TEST(LanguageCommand, LanguageCommandKeepsTheChoice) {
    test::ScratchFolders scratch;
    test::TempDir dir;
    const std::string config = dir.file("config");  // not there yet: made when written
    auto r = runCli({"language", "--config-dir", config});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "ja\n");
    r = runCli({"language", "en", "--config-dir", config});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(LanguageChoice::load(config + "/language.conf").language, Language::English);
    r = runCli({"language", "--config-dir", config});
    EXPECT_EQ(r.out, "en\n");
    const std::string song = dir.file("missing.uta");
    r = runCli({"render", song, "-o", dir.file("o.wav"), "--config-dir", config});
    EXPECT_TRUE(has(r.err, kMissingEn)) << r.err;
    r = runCli({"language", "ja", "--config-dir", config});
    EXPECT_EQ(LanguageChoice::load(config + "/language.conf").language, Language::Japanese);
    // Without --config-dir: beside the environment's settings file.
    r = runCli({"language", "english"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(LanguageChoice::load(scratch.folder("config") + "/language.conf").language, Language::English);
}

TEST(LanguageCommand, UnknownLanguagesAreUsageErrors) {
    test::ScratchFolders scratch;
    for (const cli::Args& args : {cli::Args{"--lang", "fr", "info", "a.mid"}, cli::Args{"info", "a.mid", "--lang"},
                                  cli::Args{"language", "fr"}}) {
        const auto r = runCli(args);
        EXPECT_EQ(r.status, 2) << args[0] << " " << args[1];
        EXPECT_TRUE(has(r.err, "en or ja")) << r.err;
    }
    EXPECT_TRUE(has(runCli({"--help"}).out, "--lang en|ja"));
}

TEST(LanguageCommand, VoiceInfoLabelsFollowTheLanguage) {
    test::ScratchFolders scratch;
    test::TempDir dir;
    const std::string voice = test::writeSyntheticVoice(dir.path(), "LabelVox", {{"A", "あ", 60}});
    auto r = runCli({"info", voice});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(has(r.out, "Voice名: LabelVox")) << r.out;
    r = runCli({"info", voice, "--lang", "en"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(has(r.out, "Voice name: LabelVox")) << r.out;
    EXPECT_TRUE(has(r.out, "Comment: ")) << r.out;
    EXPECT_FALSE(has(r.out, "ｺﾒﾝﾄ")) << r.out;
}

}  // namespace
}  // namespace kantor
