// The maker's list operations: the checks and messages of adding, the duplicate question,
// blank lines, deleting, moving and changing the code.
#include <gtest/gtest.h>

#include "../song/TestPrompt.h"
#include "voicemaker/MakerTexts.h"
#include "voicemaker/ProjectEditor.h"

namespace kantor {
namespace {

struct Editing {
    VoiceProject project;
    test::RecordingPrompt prompt;
    ProjectEditor editor{project, prompt};
    std::vector<std::string> codes() const {
        std::vector<std::string> c;
        for (const auto& i : project.items) c.push_back(i->isBlank() ? "-" : i->code);
        return c;
    }
};

TEST(ProjectEditorTest, AddingChecksEachChoiceWithItsMessage) {
    Editing e;
    EXPECT_EQ(e.editor.addItem(-1, SyllablePair{"KA", "か"}), -1);
    EXPECT_EQ(e.editor.addItem(72, std::nullopt), -1);
    EXPECT_EQ(e.editor.addItem(72, SyllablePair{"  ", "か"}), -1);
    EXPECT_EQ(e.editor.addItem(72, SyllablePair{"KA", ""}), -1);
    ASSERT_EQ(e.prompt.shown.size(), 4u);
    EXPECT_EQ(e.prompt.shown[0].text, makertext::kNoPitchSelected);
    EXPECT_EQ(e.prompt.shown[1].text, makertext::kNoCodeSelected);
    EXPECT_EQ(e.prompt.shown[2].text, makertext::kEmptyCode);
    EXPECT_EQ(e.prompt.shown[3].text, makertext::kEmptyNotation);
    for (const auto& s : e.prompt.shown) EXPECT_EQ(s.caption, "ERROR");
    EXPECT_TRUE(e.project.items.empty());
    EXPECT_FALSE(e.project.isChanged());

    EXPECT_EQ(e.editor.addItem(72, SyllablePair{"KA", "か"}), 0);
    const VoiceItem& item = *e.project.items[0];
    EXPECT_EQ(item.pitchNumber, 72u);
    EXPECT_EQ(item.pitchName, "C4    (ﾄﾞ)");
    EXPECT_TRUE(e.project.isChanged());
}

TEST(ProjectEditorTest, ADuplicateIsShownAndAskedAbout) {
    Editing e;
    ASSERT_EQ(e.editor.addItem(60, SyllablePair{"KA", "か"}), 0);
    ASSERT_EQ(e.editor.addItem(62, SyllablePair{"KA", "か"}), 1);
    int same = -2;
    e.prompt.answer = PromptAnswer::No;  // Cancel
    EXPECT_EQ(e.editor.addItem(62, SyllablePair{"ka", "か"}, &same), -1);
    EXPECT_EQ(same, 1);
    EXPECT_EQ(e.prompt.shown.back().text, makertext::kDuplicateItem);
    // The text names the buttons [OK] and [ｷｬﾝｾﾙ]: the question has those two.
    EXPECT_EQ(e.prompt.shown.back().kind, "okcancel");
    EXPECT_EQ(e.project.items.size(), 2u);
    e.prompt.answer = PromptAnswer::Yes;  // OK
    EXPECT_EQ(e.editor.addItem(62, SyllablePair{"ka", "か"}, &same), 2);
    EXPECT_EQ(e.project.items.size(), 3u);
}

TEST(ProjectEditorTest, BlanksDeleteAndMoves) {
    Editing e;
    for (const char* c : {"A", "I", "U", "E", "O"}) e.editor.addItem(60, SyllablePair{c, "あ"});
    EXPECT_EQ(e.editor.insertBlank(2), 2);
    EXPECT_EQ(e.editor.insertBlank(99), 6);
    EXPECT_EQ(e.codes(), (std::vector<std::string>{"A", "I", "-", "U", "E", "O", "-"}));
    // Lines stacked at the top stay; the others move past them.
    EXPECT_EQ(e.editor.moveUp({0, 1, 4}), (std::vector<int>{0, 1, 3}));
    EXPECT_EQ(e.codes(), (std::vector<std::string>{"A", "I", "-", "E", "U", "O", "-"}));
    EXPECT_EQ(e.editor.moveDown({6, 5, 2}), (std::vector<int>{3, 5, 6}));
    EXPECT_EQ(e.codes(), (std::vector<std::string>{"A", "I", "E", "-", "U", "O", "-"}));
    EXPECT_EQ(e.editor.deleteLines({6, 3, 3, 42}), 2);
    EXPECT_EQ(e.codes(), (std::vector<std::string>{"A", "I", "E", "U", "O"}));
}

TEST(ProjectEditorTest, ChangingTheCodeKeepsTheSoundAndLimitsTheTexts) {
    Editing e;
    e.editor.addItem(60, SyllablePair{"KA", "か"});
    e.editor.insertBlank(1);
    setItemSound(*e.project.items[0], std::vector<int16_t>(44100, 5));
    EXPECT_FALSE(e.editor.changeCode(1, SyllablePair{"KI", "き"}));  // a blank line
    EXPECT_FALSE(e.editor.changeCode(0, SyllablePair{"", "き"}));
    EXPECT_EQ(e.prompt.shown.back().text, makertext::kEmptyCode);
    EXPECT_TRUE(e.editor.changeCode(0, SyllablePair{"KYAAA", "きゃきゃきゃきゃきゃ"}));
    EXPECT_EQ(e.project.items[0]->code, "KYAA");
    EXPECT_EQ(e.project.items[0]->notation, "きゃきゃき");  // ten bytes in the file
    EXPECT_TRUE(e.project.items[0]->hasData());
}

}  // namespace
}  // namespace kantor
