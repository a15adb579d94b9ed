#pragma once
// The build's target window ("Voice Data 作成"): a new voice ("新規作成") or the
// replacement of an installed voice ("入れ替え（上書き保存）") chosen from a list.
#include <QComboBox>
#include <QDialog>
#include <QRadioButton>
#include <string>
#include <vector>

namespace kantor {
class VoiceBank;
}

namespace kantor::app {

class VoiceBuildTargetDialog : public QDialog {
    Q_OBJECT
public:
    VoiceBuildTargetDialog(VoiceBank& bank, QWidget* parent = nullptr);
    // "" for a new voice, else the identifier to replace.
    std::string replaceIdentifier() const;
    QRadioButton* replaceButton() const { return replace_; }
    QComboBox* voices() const { return voices_; }

private:
    QRadioButton* create_;
    QRadioButton* replace_;
    QComboBox* voices_;
    std::vector<std::string> ids_;
};

}  // namespace kantor::app
