// The voice library: identifiers, import, export and delete, and the two built-in
// voices that can be neither exported nor deleted.
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "../song/TestPrompt.h"
#include "VoiceTestFiles.h"
#include "base/FileIO.h"
#include "voice/VoiceBank.h"
#include "voice/VoiceLibrary.h"

namespace kantor {
namespace {

std::vector<uint8_t> voiceBytes(const std::string& name) {
    VoiceFileHeader h;
    h.voiceName = name;
    std::vector<std::unique_ptr<VoiceSample>> samples;
    samples.push_back(testing::makeSample("A", "あ", 60, std::vector<int16_t>(100, 5), 10, 20, 40));
    return buildVoiceFile(h, samples);
}

std::vector<uint8_t> contentOf(const std::string& path) {
    std::vector<uint8_t> b;
    readWholeFile(path, b);
    return b;
}

struct Library : ::testing::Test {
    test::TempDir dir;
    std::string folder = dir.path() + "/VXB/";
    void SetUp() override {
        std::filesystem::create_directories(folder);
        dir.write("VXB/MaleVox.vxb", voiceBytes("male"));
        dir.write("VXB/FemaleVox.vxb", voiceBytes("female"));
    }
};

TEST_F(Library, IdentifierRule) {
    uint32_t ticks[] = {300000005, 300000005, 12};
    std::size_t next = 0;
    TickSource tick = [&] { return ticks[std::min<std::size_t>(next++, 2)]; };
    EXPECT_EQ(newVoiceIdentifier(folder, tick), "vxb5");
    dir.write("VXB/vxb5.vxb", voiceBytes("x"));
    dir.write("VXB/vxb6.vxb", voiceBytes("x"));
    next = 0;
    EXPECT_EQ(newVoiceIdentifier(folder, tick), "vxb12");  // 5 taken, the stuck clock's 6 too
    std::string a = newVoiceIdentifier(folder);
    EXPECT_EQ(a.rfind("vxb", 0), 0u);
    EXPECT_LE(a.size(), 11u);  // at most eight digits
}

TEST_F(Library, OnlyBuiltInVoicesOfferNothing) {
    VoiceBank bank(folder);
    ASSERT_TRUE(bank.enumerateVoiceFiles());
    EXPECT_EQ(bank.voiceFileCount(), 2);
    EXPECT_TRUE(VoiceLibrary::offeredVoices(bank).empty());
    dir.write("VXB/vxb77.vxb", voiceBytes("mine"));
    ASSERT_TRUE(bank.enumerateVoiceFiles());
    EXPECT_EQ(VoiceLibrary::offeredVoices(bank), std::vector<std::string>{"vxb77"});
}

TEST_F(Library, ImportingTwiceGivesTwoVoices) {
    std::string source = dir.write("mine.VXB", voiceBytes("mine"));
    VoiceLibrary lib(folder);
    uint32_t t = 1000;
    TickSource tick = [&] { return t; };
    std::string first, second;
    ASSERT_EQ(lib.importVoice(source, first, tick), Outcome::Done) << lib.lastError();
    ASSERT_EQ(lib.importVoice(source, second, tick), Outcome::Done);
    EXPECT_EQ(first, "vxb1000");
    EXPECT_EQ(second, "vxb1001");
    EXPECT_EQ(contentOf(lib.voicePath(second)), voiceBytes("mine"));
    VoiceBank bank(folder);
    ASSERT_TRUE(bank.ensureVoiceLoaded(second));
}

TEST_F(Library, ImportRefusals) {
    VoiceLibrary lib(folder);
    std::string id;
    EXPECT_EQ(lib.importVoice(dir.write("a.wav", voiceBytes("x")), id), Outcome::Cancelled);
    EXPECT_EQ(lib.lastError(), "");
    EXPECT_EQ(lib.importVoice(dir.file("gone.vxb"), id), Outcome::Failed);
    EXPECT_EQ(lib.lastError(), "ｺﾋﾟｰ元ﾌｧｲﾙ(" + dir.file("gone.vxb") + ")\nが見つかりません。");
    EXPECT_EQ(lib.importVoice(dir.write("junk.vxb", std::vector<uint8_t>(600, 'x')), id), Outcome::Failed);
    EXPECT_EQ(lib.lastError(), dir.file("junk.vxb") + ": My Kantorellion Voice Dataﾌｧｲﾙではありません。");
    std::vector<uint8_t> cut = voiceBytes("x");
    cut.resize(cut.size() - 10);
    EXPECT_EQ(lib.importVoice(dir.write("cut.vxb", cut), id), Outcome::Failed);
    EXPECT_EQ(lib.lastError(), dir.file("cut.vxb") + ": Voice データの読み込みに失敗しました。");
    EXPECT_EQ(id, "");
    // A folder is not "not found".
    std::filesystem::create_directories(dir.file("folder.vxb"));
    EXPECT_EQ(lib.importVoice(dir.file("folder.vxb"), id), Outcome::Failed);
    EXPECT_EQ(lib.lastError(), dir.file("folder.vxb") + ": 通常のファイルではありません");
    VoiceBank bank(folder);
    ASSERT_TRUE(bank.enumerateVoiceFiles());
    EXPECT_EQ(bank.voiceFileCount(), 2) << "nothing was added";
}

TEST_F(Library, Export) {
    dir.write("VXB/vxb1.vxb", voiceBytes("mine"));
    test::RecordingPrompt prompt;
    prompt.answer = PromptAnswer::No;
    VoiceLibrary lib(folder, &prompt);
    for (const char* builtIn : {"MaleVox", "FemaleVox"}) {
        EXPECT_EQ(lib.exportVoice(builtIn, dir.file("out.vxb"), false), Outcome::Failed);
        EXPECT_FALSE(fileExists(dir.file("out.vxb")));
    }
    EXPECT_EQ(lib.exportVoice("vxb1", dir.file("out.txt"), false), Outcome::Cancelled);
    ASSERT_EQ(lib.exportVoice("vxb1", dir.file("out.vxb"), false), Outcome::Done);
    EXPECT_EQ(contentOf(dir.file("out.vxb")), voiceBytes("mine"));
    // An existing target: asked, No keeps it.
    dir.write("other.vxb", {1, 2, 3});
    EXPECT_EQ(lib.exportVoice("vxb1", dir.file("other.vxb"), true), Outcome::Cancelled);
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0].text, "ｺﾋﾟｰ先ﾌｧｲﾙ(" + dir.file("other.vxb") + ")\nが既に存在します。上書きしますか？");
    EXPECT_EQ(contentOf(dir.file("other.vxb")), (std::vector<uint8_t>{1, 2, 3}));
    prompt.answer = PromptAnswer::Yes;
    EXPECT_EQ(lib.exportVoice("vxb1", dir.file("other.vxb"), true), Outcome::Done);
    EXPECT_EQ(contentOf(dir.file("other.vxb")), voiceBytes("mine"));
    EXPECT_EQ(lib.exportVoice("vxb2", dir.file("x.vxb"), false), Outcome::Failed);
    EXPECT_EQ(lib.lastError(), "ｺﾋﾟｰ元ﾌｧｲﾙ(" + lib.voicePath("vxb2") + ")\nが見つかりません。");
}

TEST_F(Library, TheBuiltInVoicesCannotBeReplacedByAnExport) {
    dir.write("VXB/vxb1.vxb", voiceBytes("mine"));
    const std::vector<uint8_t> male = contentOf(dir.file("VXB/MaleVox.vxb"));
    test::RecordingPrompt prompt;
    prompt.answer = PromptAnswer::Yes;
    VoiceLibrary lib(folder, &prompt);
    // By its path, through another spelling of the folder, and through a link to the file.
    std::filesystem::create_symlink(dir.file("VXB/MaleVox.vxb"), dir.file("link.vxb"));
    for (const std::string& target : {dir.file("VXB/MaleVox.vxb"), dir.file("VXB/../VXB/FemaleVox.vxb"),
                                      dir.file("link.vxb")}) {
        SCOPED_TRACE(target);
        EXPECT_EQ(lib.exportVoice("vxb1", target, false), Outcome::Failed);
        EXPECT_EQ(lib.lastError(), librarytext::kBuiltInVoice);
    }
    EXPECT_EQ(contentOf(dir.file("VXB/MaleVox.vxb")), male);
    EXPECT_FALSE(lib.isBuiltInVoicePath(dir.file("VXB/vxb1.vxb")));
}

TEST_F(Library, ImportsRunningTogetherNeverShareAnIdentifier) {
    const std::string source = dir.write("mine.vxb", voiceBytes("mine"));
    // Every import reads the same ticks: each must still end with a file of its own.
    std::vector<std::string> ids(6);
    std::vector<std::thread> threads;
    for (std::string& id : ids) {
        threads.emplace_back([&, target = &id] {
            VoiceLibrary lib(folder);
            uint32_t clock = 5000;
            EXPECT_EQ(lib.importVoice(source, *target, [&] { return clock++; }), Outcome::Done) << lib.lastError();
        });
    }
    for (auto& t : threads) t.join();
    std::sort(ids.begin(), ids.end());
    EXPECT_EQ(std::unique(ids.begin(), ids.end()), ids.end());
    for (const std::string& id : ids) EXPECT_EQ(contentOf(folder + "/" + id + ".vxb"), voiceBytes("mine"));
}

TEST_F(Library, Delete) {
    dir.write("VXB/vxb1.vxb", voiceBytes("mine"));
    dir.write("outside.vxb", voiceBytes("outside"));
    VoiceBank bank(folder);
    ASSERT_TRUE(bank.enumerateVoiceFiles());
    ASSERT_TRUE(bank.ensureVoiceLoaded("vxb1"));
    ASSERT_TRUE(bank.ensureVoiceLoaded("MaleVox"));
    VoiceLibrary lib(folder);
    for (const char* refused : {"MaleVox", "FemaleVox", "../outside", "", ".."}) {
        SCOPED_TRACE(refused);
        EXPECT_FALSE(lib.deleteVoice(refused, &bank));
        EXPECT_FALSE(lib.lastError().empty());
    }
    EXPECT_TRUE(fileExists(dir.file("VXB/MaleVox.vxb")));
    EXPECT_TRUE(fileExists(dir.file("outside.vxb")));
    EXPECT_NE(bank.findVoice("MaleVox"), nullptr);
    ASSERT_TRUE(lib.deleteVoice("vxb1", &bank)) << lib.lastError();
    EXPECT_FALSE(fileExists(dir.file("VXB/vxb1.vxb")));
    EXPECT_EQ(bank.findVoice("vxb1"), nullptr);
    EXPECT_EQ(bank.findVoiceFile("vxb1"), -1);
    EXPECT_FALSE(lib.deleteVoice("vxb1", &bank));
    EXPECT_EQ(lib.lastError(), "Voice(vxb1)が見つかりません。");
}

}  // namespace
}  // namespace kantor
