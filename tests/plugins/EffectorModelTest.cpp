// The external effector window's logic, driven as the window drives it, with scripted dialogs.
#include <gtest/gtest.h>

#include "../song/TestPrompt.h"
#include "PluginTestFiles.h"
#include "plugins/EffectorModel.h"

namespace kantor {
namespace {

using Texts = std::vector<std::string>;

class EffectorModelTest : public ::testing::Test {
protected:
    test::TempDir dir;
    std::string echo = test::writeDescription(dir, "echo.ncp", "Echo", "Effect1=1,Short\nEffect2=2,Long\n",
                                              "[COMMENT]\nLine1=Echoes.\nLine2=Two of them.\n");
    std::string tone = test::writeDescription(dir, "tone.ncp", "Tone", "Effect1=10,Low cut\n");
    std::string third = test::writeDescription(dir, "third.ncp", "Third");
    test::RecordingPrompt prompt;
    EffectorModel model{prompt};

    std::vector<std::string> shownTexts() const {
        std::vector<std::string> t;
        for (const auto& s : prompt.shown) t.push_back(s.caption + ": " + s.text);
        return t;
    }
};

TEST_F(EffectorModelTest, SettingsModeListsReadsAndReportsEachBadFileOnce) {
    model.openSettings({echo, dir.file("gone.ncp"), tone});
    EXPECT_EQ(model.title(), "外部エフェクタの設定");
    EXPECT_TRUE(model.registerEnabled() && model.removeEnabled());
    EXPECT_FALSE(model.selectionEnabled());
    EXPECT_EQ(shownTexts(), Texts{"Error: My Kantorellion ﾌﾟﾗｸﾞｲﾝ･ﾌｧｲﾙではありません。"});
    EXPECT_EQ(model.pluginRows(), (Texts{"Echo", "Tone"}));
    EXPECT_TRUE(model.effectRows().empty());

    model.selectPlugin(0);
    EXPECT_EQ(model.effectRows(), (Texts{"    1 : Short", "    2 : Long"}));
    EXPECT_EQ(model.commentText(), "Echoes.\r\nTwo of them.");
    // The bad file is dropped on OK; its place stays so that Tone keeps number 3.
    EXPECT_EQ(model.settingsResult(), (Texts{echo, kFreePluginPlace, tone}));
}

TEST_F(EffectorModelTest, RegisterSelectsAKnownPathAndIgnoresOtherExtensions) {
    model.openSettings({echo});
    model.registerFile(echo);  // already there: selected, nothing added
    EXPECT_EQ(model.pluginRows(), Texts{"Echo"});
    EXPECT_EQ(model.selectedPlugin(), 0);

    const std::string upper = test::writeDescription(dir, "upper.NCP", "Upper");
    model.registerFile(upper);  // the extension must be exactly "ncp"
    model.registerFile(dir.file("noext"));
    EXPECT_EQ(model.pluginRows(), Texts{"Echo"});

    std::string text = "[PLUGININFO]\nPlugin=Something else\n";
    model.registerFile(dir.write("foreign.ncp", std::vector<uint8_t>(text.begin(), text.end())));
    EXPECT_EQ(model.pluginRows(), Texts{"Echo"});
    EXPECT_EQ(shownTexts(), Texts{"Error: My Kantorellion ﾌﾟﾗｸﾞｲﾝ･ﾌｧｲﾙではありません。"});

    model.registerFile(tone);
    EXPECT_EQ(model.pluginRows(), (Texts{"Echo", "Tone"}));
    EXPECT_EQ(model.selectedPlugin(), 1);
    EXPECT_EQ(model.effectRows(), Texts{"   10 : Low cut"});
    EXPECT_EQ(model.settingsResult(), (Texts{echo, tone}));

    // A path the settings file cannot hold is refused, never cut to another path.
    const std::string longName = std::string(600, 'n') + ".ncp";
    model.registerFile("/tmp/" + longName);
    EXPECT_EQ(model.pluginRows().size(), 2u);
    EXPECT_EQ(prompt.shown.size(), 2u);
}

TEST_F(EffectorModelTest, RemoveKeepsTheNumbersOfThePluginsAfterIt) {
    model.openSettings({echo, tone, third});
    model.selectPlugin(1);
    model.removeSelected();
    EXPECT_EQ(model.pluginRows(), (Texts{"Echo", "Third"}));
    EXPECT_TRUE(model.effectRows().empty());
    EXPECT_EQ(model.commentText(), "");
    EXPECT_EQ(model.settingsResult(), (Texts{echo, kFreePluginPlace, third}));
    // Removing the last one shortens the list, free places before it included.
    model.selectPlugin(1);
    model.removeSelected();
    EXPECT_EQ(model.settingsResult(), Texts{echo});
    // A registered free place reads as nothing, is not reported, and keeps its place.
    prompt.shown.clear();
    model.openSettings({kFreePluginPlace, tone});
    EXPECT_TRUE(prompt.shown.empty());
    EXPECT_EQ(model.pluginRows(), Texts{"Tone"});
    EXPECT_EQ(model.settingsResult(), (Texts{kFreePluginPlace, tone}));
}

TEST_F(EffectorModelTest, SelectionModeChoosesUpToThreeEffects) {
    model.openSelection({echo, tone}, {});
    EXPECT_EQ(model.title(), "外部エフェクタの選択");
    EXPECT_FALSE(model.registerEnabled() || model.removeEnabled());
    EXPECT_TRUE(model.selectionEnabled());

    model.choose();  // nothing selected
    model.selectPlugin(1);
    model.choose();  // no effect selected
    EXPECT_EQ(shownTexts(), (Texts{"Error: エフェクタ名を選択してください。", "Error: エフェクトを選択してください。"}));

    model.selectEffect(0);
    model.choose();
    model.selectPlugin(0);
    model.selectEffect(1);
    model.choose();
    model.choose();
    EXPECT_EQ(model.chosenRows(), (Texts{"Tone |   10 : Low cut", "Echo |    2 : Long", "Echo |    2 : Long"}));
    EXPECT_EQ(model.selectionResult(),
              (std::array<int32_t, 3>{makeEffectReference(2, 10), makeEffectReference(1, 2), makeEffectReference(1, 2)}));
    prompt.shown.clear();
    model.choose();
    EXPECT_EQ(shownTexts(), Texts{"Error: 選択できるエフェクトは３個までです。"});

    // Unchoosing moves the rest to the front and zeroes the freed place.
    model.selectChosen(0);
    model.unchoose();
    EXPECT_EQ(model.selectionResult(),
              (std::array<int32_t, 3>{makeEffectReference(1, 2), makeEffectReference(1, 2), 0}));
    EXPECT_EQ(model.chosenRows().size(), 2u);
    model.unchoose();  // nothing selected after the rebuild
    EXPECT_EQ(model.chosenRows().size(), 2u);
}

TEST_F(EffectorModelTest, ChosenListStopsAtAReferenceWithoutAPlugin) {
    // The second reference names plug-in 5 of a list of two: no label, and the listing ends.
    model.openSelection({echo, tone}, {makeEffectReference(1, 1), makeEffectReference(5, 1), makeEffectReference(2, 10)});
    EXPECT_EQ(model.chosenRows(), Texts{"Echo |    1 : Short"});
    // A new choice takes the place of the new list entry.
    model.selectPlugin(1);
    model.selectEffect(0);
    model.choose();
    EXPECT_EQ(model.selectionResult()[1], makeEffectReference(2, 10));
    EXPECT_EQ(model.chosenRows().size(), 3u);
    // Positions count the registered list, bad files included: Tone stays number 3.
    EffectorModel again{prompt};
    again.openSelection({echo, dir.file("gone.ncp"), tone}, {});
    EXPECT_EQ(again.pluginRows(), (Texts{"Echo", "Tone"}));
    again.selectPlugin(1);
    again.selectEffect(0);
    again.choose();
    EXPECT_EQ(again.selectionResult()[0], makeEffectReference(3, 10));
}

}  // namespace
}  // namespace kantor
