#pragma once
// The external effector window without its widgets: the registered plug-in list being
// edited (settings mode), or a set of three effect references being chosen (selection
// mode). The window shows what the model gives and forwards the user's actions; messages
// go to the UserPrompt.
//
// Settings mode: openSettings(registered list); register and remove; on OK the caller
// stores settingsResult() as the new registered list (Cancel: nothing).
// Selection mode: openSelection(registered list, references); choose and unchoose; on OK
// the caller takes selectionResult().
//
// Plug-in numbers stay as songs stored them: a plug-in removed from the middle of the list
// leaves a free place (kFreePluginPlace) in settingsResult(), so the plug-ins after it keep
// their numbers; free places at the end of the list are dropped.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "plugins/PluginDescription.h"

namespace kantor {

class UserPrompt;

enum class EffectorMode { Settings, Selection };

class EffectorModel {
public:
    explicit EffectorModel(UserPrompt& prompt) : prompt_(prompt) {}

    // Settings mode: reads every registered file; one that fails is reported (the marker
    // message) and will be dropped on OK.
    void openSettings(const std::vector<std::string>& registered);
    // Selection mode: the files are read silently; `references` is the set being edited.
    void openSelection(const std::vector<std::string>& registered, const std::array<int32_t, 3>& references);

    EffectorMode mode() const { return mode_; }
    std::string title() const;
    // Register and remove work in settings mode, choose and unchoose (and the chosen-effects
    // list) in selection mode.
    bool registerEnabled() const { return mode_ == EffectorMode::Settings; }
    bool removeEnabled() const { return mode_ == EffectorMode::Settings; }
    bool selectionEnabled() const { return mode_ == EffectorMode::Selection; }

    // The plug-in list ("外部エフェクタ名"): the names of the plug-ins in list order.
    std::vector<std::string> pluginRows() const;
    // Selecting a row (-1: none) shows its effects and comment.
    void selectPlugin(int row);
    int selectedPlugin() const { return pluginRow_; }
    // The selected plug-in's effects ("エフェクト一覧"), each "%5d : %s".
    std::vector<std::string> effectRows() const;
    void selectEffect(int row);
    int selectedEffect() const { return effectRow_; }
    // The selected plug-in's comment (lines joined with CR LF).
    std::string commentText() const;
    // The chosen effects ("選択エフェクト（最大３個まで）"), each "name |" + effect entry.
    const std::vector<std::string>& chosenRows() const { return chosenRows_; }
    void selectChosen(int row);
    int selectedChosen() const { return chosenRow_; }

    // "登録(&R)": after the file dialog (filter plugintext::kFileFilter, default extension
    // "ncp", the file must exist) with the chosen path.
    void registerFile(const std::string& path);
    // "取消(&D)".
    void removeSelected();
    // "選択(&S)" or a double click in the effect list.
    void choose();
    // "選択取消(&C)" or a double click in the chosen-effects list.
    void unchoose();

    // OK in settings mode: the new registered list.
    std::vector<std::string> settingsResult() const;
    // OK in selection mode: the edited set.
    const std::array<int32_t, 3>& selectionResult() const { return references_; }

private:
    struct Entry {
        std::string path;                        // empty: a free place
        std::optional<PluginDescription> description;  // empty: not shown
    };
    void open(const std::vector<std::string>& registered, bool report);
    int positionOfRow(int row) const;
    const PluginDescription* selectedDescription() const;
    void rebuildChosen();

    UserPrompt& prompt_;
    EffectorMode mode_ = EffectorMode::Settings;
    std::vector<Entry> entries_;
    std::array<int32_t, 3> references_{};
    std::vector<std::string> chosenRows_;
    int pluginRow_ = -1;
    int effectRow_ = -1;
    int chosenRow_ = -1;
};

}  // namespace kantor
