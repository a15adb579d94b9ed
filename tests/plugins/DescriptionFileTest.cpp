// Description files: the profile-string rules, the effect and comment lists, the effect label.
#include <gtest/gtest.h>

#include "../song/TestPrompt.h"
#include "PluginTestFiles.h"
#include "base/Codepage.h"
#include "plugins/PluginDescription.h"
#include "plugins/PluginTexts.h"
#include "plugins/ProfileFile.h"

namespace kantor {
namespace {

ProfileFile profileOf(const std::string& text) {
    ProfileFile p;
    p.loadFromBytes(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
    return p;
}

PluginDescription describe(const std::string& effects, const std::string& comment = "") {
    PluginDescription d;
    EXPECT_EQ(readPluginDescription(profileOf("[PLUGININFO]\nPlugin=My Kantorellion Plugin\nName=N\n[EFFECT]\n" +
                                              effects + "[COMMENT]\n" + comment),
                                    d),
              0);
    return d;
}

TEST(ProfileFile, ReadsValuesAsProfileStringsAre) {
    const ProfileFile p = profileOf(
        "; comment\r\n[Info]\r\nKey = value with trailing blanks \t \r\nkey=second of the same name\r\n"
        "Empty=\r\n[info]\r\nOther=in a repeated section\r\n[Long]\r\nText=" +
        std::string(600, 'x') + "\n");
    EXPECT_EQ(p.get("INFO", "KEY"), "value with trailing blanks");  // names without regard to case, first wins
    EXPECT_TRUE(p.has("info", "empty"));
    EXPECT_EQ(p.get("info", "empty", "fallback"), "");
    EXPECT_FALSE(p.has("info", "Other"));
    EXPECT_EQ(p.get("info", "missing", "fallback  "), "fallback");
    EXPECT_EQ(p.get("nosection", "key", "d"), "d");
    EXPECT_EQ(p.get("Long", "Text").size(), 511u);
    EXPECT_EQ(p.get("Long", "Text", "", 256).size(), 255u);
}

TEST(ProfileFile, TakesCp932AndUtf8TextAndCutsOnCharacters) {
    // "Name=エコー" in cp932: not valid UTF-8, so taken as cp932.
    const std::string cp932 = "[A]\nName=" + utf8ToCp932("エコー") + "\nCut=a" + utf8ToCp932("あああ") + "\n";
    const ProfileFile p = profileOf(cp932);
    EXPECT_EQ(p.get("A", "Name"), "エコー");
    EXPECT_EQ(p.get("A", "Cut", "", 5), "aあ");  // 4 bytes: the second あ would be cut in half
    const ProfileFile u = profileOf("\xEF\xBB\xBF[A]\nName=エコー\n");
    EXPECT_EQ(u.get("A", "Name"), "エコー");
    EXPECT_EQ(u.get("A", "Name", "", 5), "エ");
}

TEST(PluginDescription, EffectEntriesEndAtTheFirstBadOne) {
    // A second entry that begins with a comma ends the list.
    PluginDescription d = describe("Effect1=12,Echo\nEffect2=,Bad\nEffect3=3,Never\n");
    ASSERT_EQ(d.effects.size(), 1u);
    EXPECT_EQ(d.effects[0].number, 12);
    EXPECT_EQ(d.effects[0].name, "Echo");
    // A missing second entry: the third is never read.
    EXPECT_EQ(describe("Effect1=1,A\nEffect3=3,C\n").effects.size(), 1u);
    // No comma, an empty number or name part end it too; names keep their leading spaces.
    EXPECT_EQ(describe("Effect1=1,  Spaced\nEffect2=2 Nocomma\n").effects.at(0).name, "  Spaced");
    EXPECT_EQ(describe("Effect1=1,A\nEffect2=  ,B\n").effects.size(), 1u);
    EXPECT_EQ(describe("Effect1=1,A\nEffect2=2,   \n").effects.size(), 1u);
    EXPECT_TRUE(describe("Effect1=\n").effects.empty());
    // The number is read as atoi reads it.
    EXPECT_EQ(describe("Effect1= 70000x,Big\n").effects.at(0).number, 70000);
}

TEST(PluginDescription, CommentLinesRunUpToTheFirstMissingKey) {
    EXPECT_EQ(describe("", "Line1=\nLine2=x\nLine4=never\n").comment, "\r\nx");
    EXPECT_EQ(describe("", "").comment, "");
    EXPECT_EQ(describe("", "Line1=one  \nLine2=two\n").comment, "one\r\ntwo");
}

TEST(PluginDescription, AFileWithoutTheMarkerIsReportedOnce) {
    test::TempDir dir;
    test::RecordingPrompt prompt;
    PluginDescription d;
    const std::string wrongCase = dir.write("x.ncp", {});
    std::string text = "[PLUGININFO]\nPlugin=my kantorellion plugin\nName=X\n";
    dir.write("case.ncp", std::vector<uint8_t>(text.begin(), text.end()));
    EXPECT_EQ(readPluginDescription(dir.file("case.ncp"), d, &prompt), 1);
    EXPECT_EQ(readPluginDescription(dir.file("missing.ncp"), d, &prompt), 1);
    EXPECT_EQ(readPluginDescription(wrongCase, d, nullptr), 1);
    ASSERT_EQ(prompt.shown.size(), 2u);
    EXPECT_EQ(prompt.shown[0].caption, "Error");
    EXPECT_EQ(prompt.shown[0].text, "My Kantorellion ﾌﾟﾗｸﾞｲﾝ･ﾌｧｲﾙではありません。");
    EXPECT_EQ(readPluginDescription(test::writeDescription(dir, "ok.ncp", "Fine"), d, &prompt), 0);
    EXPECT_EQ(d.name, "Fine");
    EXPECT_EQ(d.dllFileName, "lib.so");
}

TEST(PluginDescription, LibraryPathIsBesideTheDescription) {
    test::TempDir dir;
    std::string text = "[PLUGININFO]\nDllFileName=sub\\fx.so   \n";
    const std::string ncp = dir.write("p.ncp", std::vector<uint8_t>(text.begin(), text.end()));
    EXPECT_EQ(pluginLibraryPath(ncp), dir.path() + "/sub/fx.so");
    EXPECT_EQ(pluginLibraryPath(test::writeDescription(dir, "empty.ncp", "E", "", "[PLUGININFO]\n")),
              dir.path() + "/lib.so");
    text = "[PLUGININFO]\nName=NoLibrary\n";
    EXPECT_EQ(pluginLibraryPath(dir.write("n.ncp", std::vector<uint8_t>(text.begin(), text.end()))), "");
    EXPECT_EQ(pluginLibraryPath(""), "");
    EXPECT_EQ(pluginLibraryPath(kFreePluginPlace), "");
}

TEST(EffectLabel, NamesTheEntryAndCutsEachHalfAt16Bytes) {
    test::TempDir dir;
    const std::vector<std::string> registered = {
        test::writeDescription(dir, "a.ncp", "Echo", "Effect1=3,Short\nEffect2=65538,Wrapped\n"),
        test::writeDescription(dir, "b.ncp", "ABCDEFGHIJKLMNOエコー", "Effect1=1,ﾃｽﾄ effect with a long name\n"),
        dir.file("gone.ncp")};
    EffectLabel l = effectLabel(makeEffectReference(1, 3), registered);
    EXPECT_EQ(l.pluginName, "Echo");
    EXPECT_EQ(l.effectEntry, "    3 : Short");
    EXPECT_EQ(l.combined, "Echo|    3 : Short");
    // Numbers compare as 16-bit values: 65538 is effect 2.
    EXPECT_EQ(effectLabel(makeEffectReference(1, 2), registered).effectEntry, "65538 : Wrapped");
    // 15 single bytes and a double-byte character: its lead byte becomes a space.
    // Half-width katakana count one byte each.
    l = effectLabel(makeEffectReference(2, 1), registered);
    EXPECT_EQ(l.combined, "ABCDEFGHIJKLMNO |    1 : ﾃｽﾄ effe");
    EXPECT_EQ(cutLabelText("ABCDEFGHIJKLMNエコ"), "ABCDEFGHIJKLMNエ");
    // No such effect: the name only. No such plug-in, or plug-in 0: nothing.
    l = effectLabel(makeEffectReference(1, 9), registered);
    EXPECT_EQ(l.pluginName, "Echo");
    EXPECT_TRUE(l.effectEntry.empty() && l.combined.empty());
    for (int32_t ref : {makeEffectReference(0, 3), makeEffectReference(3, 1), makeEffectReference(4, 1)}) {
        l = effectLabel(ref, registered);
        EXPECT_TRUE(l.pluginName.empty() && l.effectEntry.empty() && l.combined.empty()) << ref;
    }
}

}  // namespace
}  // namespace kantor
