// kantor-cli voice: list, info, import, export, delete, build and automark on a voice
// folder given by --voice-dir.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "SyntheticVowel.h"
#include "base/FileIO.h"
#include "support/CliRun.h"
#include "support/TempDir.h"
#include "voice/VoiceFile.h"
#include "voicemaker/VoiceProject.h"

namespace kantor {
namespace {

using test::runCli;

TEST(VoiceCommandTest, MakeAVoiceAndManageIt) {
    test::TempDir dir;
    const std::string voices = dir.path() + "/voices";
    // A project whose items have sound but no markers yet.
    VoiceProject p;
    p.voiceName = "CLI voice";
    p.comment = "made by a test";
    for (int pitch : {60, 67}) {
        test::SyntheticVowel v;
        v.f0 = 440.0 * std::pow(2.0, (pitch - 81) / 12.0);
        auto item = VoiceItem::make("KA", "か", pitch);
        ASSERT_TRUE(setItemSound(*item, v.render()));
        p.items.push_back(std::move(item));
    }
    p.items.push_back(VoiceItem::blank());
    const std::string project = dir.file("cli.vxbprj");
    ASSERT_TRUE(p.save(project));

    auto r = runCli({"voice", "--voice-dir", voices, "build", project});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("ﾌﾟﾛﾊﾟﾃｨ が設定されてません。"), std::string::npos) << r.err;

    r = runCli({"voice", "automark", project});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "marked 2 items\n");
    VoiceProject marked;
    ASSERT_TRUE(marked.load(project));
    EXPECT_TRUE(marked.items[0]->hasProperties());

    r = runCli({"voice", "--voice-dir", voices, "build", project});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string id = r.out.substr(0, r.out.size() - 1);
    EXPECT_EQ(id.rfind("vxb", 0), 0u);
    EXPECT_TRUE(fileExists(voices + "/" + id + ".vxb"));
    // A voice of the user's is replaced; a built-in one never, by build or by export.
    r = runCli({"voice", "--voice-dir", voices, "build", project, "--replace", id});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, id + "\n");
    // --replace of a voice that is not there makes no voice of that name.
    r = runCli({"voice", "--voice-dir", voices, "build", project, "--replace", "vxbNOSUCH"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("there is no voice vxbNOSUCH in"), std::string::npos) << r.err;
    EXPECT_FALSE(fileExists(voices + "/vxbNOSUCH.vxb"));
    // A file or a FIFO where the voice folder should be is refused, and so is a file for the
    // settings folder.
    const std::string plain = voices + "/a-file", fifo = voices + "/a-fifo";
    std::ofstream(plain) << "x";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& where : {plain, fifo}) {
        r = runCli({"voice", "--voice-dir", where, "list"});
        EXPECT_EQ(r.status, 2) << where;
        EXPECT_NE(r.err.find(where + " is a"), std::string::npos) << r.err;
    }
    r = runCli({"render", voices + "/none.uta", "--config-dir", plain});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find(plain + " is a file, not a folder"), std::string::npos) << r.err;
    // Builds without the generated voices have none: a stand-in takes its place.
    if (!fileExists(voices + "/MaleVox.vxb")) std::filesystem::copy_file(voices + "/" + id + ".vxb", voices + "/MaleVox.vxb");
    std::vector<uint8_t> male;
    ASSERT_EQ(readWholeFile(voices + "/MaleVox.vxb", male), ReadStatus::Ok);
    r = runCli({"voice", "--voice-dir", voices, "build", project, "--replace", "MaleVox"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("MaleVox is a built-in voice"), std::string::npos) << r.err;
    r = runCli({"voice", "--voice-dir", voices, "export", id, voices + "/MaleVox.vxb", "--force"});
    EXPECT_EQ(r.status, 1);
    std::vector<uint8_t> now;
    ASSERT_EQ(readWholeFile(voices + "/MaleVox.vxb", now), ReadStatus::Ok);
    EXPECT_EQ(now, male);

    r = runCli({"voice", "--voice-dir", voices, "list"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("MaleVox\t"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("(built-in)"), std::string::npos);
    EXPECT_NE(r.out.find(id + "\tCLI voice\t"), std::string::npos);

    r = runCli({"voice", "--voice-dir", voices, "info", id});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Voice名: CLI voice"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Samples: 3"), std::string::npos) << r.out;

    const std::string exported = dir.file("copy.vxb");
    r = runCli({"voice", "--voice-dir", voices, "export", id, exported});
    ASSERT_EQ(r.status, 0) << r.err;
    r = runCli({"voice", "--voice-dir", voices, "export", id, exported});
    EXPECT_EQ(r.status, 1) << "an existing target needs --force";
    r = runCli({"voice", "--voice-dir", voices, "export", id, exported, "--force"});
    EXPECT_EQ(r.status, 0) << r.err;
    r = runCli({"voice", "--voice-dir", voices, "export", "MaleVox", dir.file("male.vxb")});
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(fileExists(dir.file("male.vxb")));

    r = runCli({"voice", "--voice-dir", voices, "import", exported});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string imported = r.out.substr(0, r.out.size() - 1);
    EXPECT_NE(imported, id);

    r = runCli({"voice", "--voice-dir", voices, "delete", "MaleVox"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(fileExists(voices + "/MaleVox.vxb"));
    r = runCli({"voice", "--voice-dir", voices, "delete", imported});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(fileExists(voices + "/" + imported + ".vxb"));

    EXPECT_EQ(runCli({"voice", "--voice-dir", voices, "info", "../x"}).status, 2);
    EXPECT_EQ(runCli({"voice", "frobnicate"}).status, 2);
    EXPECT_EQ(runCli({"voice", "--voice-dir"}).status, 2);
}

// The built-in voices are read where they were installed: listed and shown beside the user's
// own, never copied into the user's voice folder; a user's file of the same title wins.
TEST(VoiceCommandTest, BuiltInVoicesAreReadInPlace) {
    test::TempDir dir;
    VoiceFileHeader male;
    male.voiceName = "installed male";
    std::filesystem::create_directories(dir.file("share/voices"));
    std::filesystem::create_directories(dir.file("home/VXB"));
    dir.write("share/voices/MaleVox.vxb", buildVoiceFile(male, {}));
    ::setenv("KANTOR_BUILTIN_DIR", dir.file("share").c_str(), 1);
    const std::string voices = dir.file("home/VXB");
    auto r = runCli({"voice", "--voice-dir", voices, "list"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("MaleVox\tinstalled male\t"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("(built-in)"), std::string::npos) << r.out;
    EXPECT_FALSE(fileExists(voices + "/MaleVox.vxb"));
    r = runCli({"voice", "--voice-dir", voices, "info", "MaleVox"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("installed male"), std::string::npos) << r.out;

    VoiceFileHeader own;
    own.voiceName = "my male";
    dir.write("home/VXB/MaleVox.vxb", buildVoiceFile(own, {}));
    r = runCli({"voice", "--voice-dir", voices, "list"});
    ::unsetenv("KANTOR_BUILTIN_DIR");
    EXPECT_NE(r.out.find("MaleVox\tmy male\t"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("installed male"), std::string::npos) << r.out;
}

TEST(VoiceCommandTest, VoiceFolderFromTheEnvironment) {
    test::TempDir dir;
    ::setenv("KANTOR_VOICE_DIR", dir.path().c_str(), 1);
    dir.write("vxb5.vxb", {});
    dir.write("vxb6.vxb", buildVoiceFile(VoiceFileHeader{}, {}));
    auto r = runCli({"voice", "list"});
    ::unsetenv("KANTOR_VOICE_DIR");
    // The empty file cannot be read: a warning names it, and the other voices are listed.
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("vxb5.vxb: Voice データの読み込みに失敗しました。"), std::string::npos) << r.err;
    EXPECT_NE(r.out.find("vxb6\t"), std::string::npos) << r.out;
}

}  // namespace
}  // namespace kantor
