#pragma once
// The voice library window in its three modes ("ｴｸｽﾎﾟｰﾄ", "ｲﾝﾎﾟｰﾄ", "削除"): the voices of
// the voice folder except the two built-in ones, with the voice's two property texts and
// its description; OK gives the chosen voice's identifier. And the three commands of the
// main panel's voice menu that use it.
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <string>
#include <vector>

#include "app/AppContext.h"

namespace kantor::app {

class VoiceLibraryDialog : public QDialog {
    Q_OBJECT
public:
    enum class Mode { Export, Import, Delete };
    // The bank re-reads the voice folder first; `preselect` names a voice to show.
    VoiceLibraryDialog(AppContext& ctx, Mode mode, const std::string& preselect = {}, QWidget* parent = nullptr);

    // The chosen identifier ("" when the list is empty).
    std::string identifier() const;
    QComboBox* combo() const { return combo_; }
    QString line(int i) const { return lines_[i]->text(); }

private:
    void showVoice();

    AppContext& ctx_;
    QComboBox* combo_;
    QLabel* lines_[3];
    std::vector<std::string> ids_;
};

// The voice menu's commands; each stops playback first and does nothing more when that
// fails. They return true when something was done.
bool exportVoiceCommand(AppContext& ctx, QWidget* parent);
bool importVoiceCommand(AppContext& ctx, QWidget* parent);
bool deleteVoiceCommand(AppContext& ctx, QWidget* parent);

}  // namespace kantor::app
