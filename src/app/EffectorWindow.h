#pragma once
// The external effector window: in its settings mode ("外部エフェクタの設定", from the
// settings menu) the registered plug-ins are added and removed; in its selection mode
// ("外部エフェクタの選択", from the song, channel and phrase settings windows) up to three
// effects are chosen for a set of effect references. The lists and messages come from the
// core's effector model.
#include <QDialog>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <array>

#include "app/AppContext.h"
#include "plugins/EffectorModel.h"

namespace kantor::app {

class EffectorWindow : public QDialog {
    Q_OBJECT
public:
    // Settings mode over the registered list of the settings.
    explicit EffectorWindow(AppContext& ctx, QWidget* parent = nullptr);
    // Selection mode for a set of three effect references.
    EffectorWindow(AppContext& ctx, const std::array<int32_t, 3>& references, QWidget* parent = nullptr);

    void accept() override;
    // The set edited in selection mode (after OK).
    const std::array<int32_t, 3>& references() const { return model_.selectionResult(); }

    void registerFile();
    EffectorModel& model() { return model_; }
    QListWidget* plugins() const { return plugins_; }
    QListWidget* effects() const { return effects_; }
    QListWidget* chosen() const { return chosen_; }

private:
    void build();
    void refresh();

    AppContext& ctx_;
    EffectorModel model_;
    QListWidget* plugins_;
    QListWidget* effects_;
    QListWidget* chosen_;
    QPlainTextEdit* comment_;
    QPushButton* register_;
    QPushButton* remove_;
    QPushButton* choose_;
    QPushButton* unchoose_;
    bool refreshing_ = false;
};

}  // namespace kantor::app
