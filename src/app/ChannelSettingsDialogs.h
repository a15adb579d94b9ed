#pragma once
// "ChListｳｨﾝﾄﾞｳの設定" and "ChScoreｳｨﾝﾄﾞｳの設定": the display options of the channel list and
// of every channel score window. OK stores them in the settings (the score's pitch line, which
// the settings block has no field for, in score.conf beside it).
#include <QButtonGroup>
#include <QCheckBox>
#include <QDialog>

namespace kantor {
class Hub;
class Settings;
}

namespace kantor::app {

class ChListSettingsDialog : public QDialog {
    Q_OBJECT
public:
    explicit ChListSettingsDialog(Settings& settings, QWidget* parent = nullptr);
    QButtonGroup* barPattern() const { return bar_; }
    QButtonGroup* colourArea() const { return area_; }
    QCheckBox* autoScroll() const { return auto_; }
    void accept() override;

private:
    Settings& settings_;
    QButtonGroup* bar_;
    QButtonGroup* area_;
    QCheckBox* auto_;
};

class ChScoreSettingsDialog : public QDialog {
    Q_OBJECT
public:
    explicit ChScoreSettingsDialog(Hub& hub, QWidget* parent = nullptr);
    QButtonGroup* scrollMode() const { return mode_; }
    // "ﾋﾟｯﾁﾗｲﾝを表示する": the pitch line over the notes.
    QCheckBox* showPitchLine() const { return line_; }
    QCheckBox* showWords() const { return words_; }
    QButtonGroup* wordKind() const { return kind_; }
    QWidget* wordKindBox() const { return kindBox_; }
    void accept() override;

private:
    Hub& hub_;
    QButtonGroup* mode_;
    QCheckBox* words_;
    QCheckBox* line_;
    QButtonGroup* kind_;
    QWidget* kindBox_;
};

}  // namespace kantor::app
