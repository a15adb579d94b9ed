#pragma once
// The modal editing windows of the song: the song, channel and phrase settings, note length
// and position, the note and phrase batch changes, the phrase quick input, the phrase and
// word selection and the code list of a voice. Each shows what the core's editing
// operations (song/SongEdits.h) return and calls them.
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <array>
#include <memory>

#include "app/AppContext.h"
#include "app/ExpressionForm.h"
#include "app/TextSpin.h"
#include "song/SongEdits.h"

namespace kantor::app {

// "ｿﾝｸﾞ・ﾃﾞﾌｫﾙﾄ設定", "ﾁｬﾝﾈﾙ・ﾃﾞﾌｫﾙﾄ設定" and "ﾌﾚｰｽﾞ設定". The song and channel settings
// also hold the expression defaults of their notes ("表情のﾃﾞﾌｫﾙﾄ", kept in the spare tail
// of their record: song/Expression.h); OK stores them in the same undoable edit.
class VoiceSettingsDialog : public QDialog {
    Q_OBJECT
public:
    VoiceSettingsDialog(AppContext& ctx, SettingsEdit edit, QWidget* parent = nullptr);
    void accept() override;
    bool stored() const { return stored_; }
    // After an undo or redo underneath: the form shows the song again.
    void reload(SettingsEdit edit);

    QComboBox* voiceList() const { return voice_; }
    QLabel* infoLine(int i) const { return info_[static_cast<std::size_t>(i)]; }
    TextSpin* tuningSpin() const { return tuning_; }
    TextSpin* volumeSpin() const { return volume_; }
    TextSpin* timingSpin() const { return timing_; }
    QCheckBox* defaultBox(SettingsGroup g) const { return defaults_[static_cast<std::size_t>(g)]; }
    QPushButton* effectButton() const { return effects_; }
    // The expression defaults (none in the phrase settings).
    ExpressionForm* expressionForm() const { return expression_; }
    SettingsEdit& edit() { return edit_; }
    void chooseEffects();

private:
    void show(bool opening);
    void showInfo();

    AppContext& ctx_;
    SettingsEdit edit_;
    QComboBox* voice_;
    std::array<QLabel*, 3> info_{};
    TextSpin* tuning_;
    TextSpin* volume_;
    TextSpin* timing_;
    QLabel* effectText_;
    QPushButton* effects_;
    std::array<QCheckBox*, kSettingsGroups> defaults_{};
    ExpressionForm* expression_ = nullptr;
    bool stored_ = false;
    bool filling_ = false;
};

// "ノート長さ・位置": the note's start and end, changed live, one tick a step.
class NoteLengthPosDialog : public QDialog {
    Q_OBJECT
public:
    NoteLengthPosDialog(AppContext& ctx, int c, std::size_t event, QWidget* parent = nullptr);
    void reject() override;
    TextSpin* startSpin() const { return start_; }
    TextSpin* endSpin() const { return end_; }
    QRadioButton* lengthMode() const { return lengthMode_; }
    QRadioButton* positionMode() const { return positionMode_; }
    QLabel* minLabel() const { return min_; }
    QLabel* maxLabel() const { return max_; }
    NoteLengthPosition& model() { return model_; }
    void reopen();

signals:
    // A step was taken: the score redraws the note ("Kantor32_WM_ChangeNoteLenPos").
    void noteLengthChanged(int channel, int note);

private:
    bool step(bool start, int delta);
    void refresh();

    AppContext& ctx_;
    int c_;
    std::size_t event_;
    NoteLengthPosition model_;
    uint32_t openStart_ = 0, openEnd_ = 0;
    TextSpin* start_;
    TextSpin* end_;
    QRadioButton* lengthMode_;
    QRadioButton* positionMode_;
    QLabel* min_;
    QLabel* max_;
};

// "ﾉｰﾄ一括変更".
class NoteBatchDialog : public QDialog {
    Q_OBJECT
public:
    NoteBatchDialog(AppContext& ctx, int c, uint32_t initialPower, QWidget* parent = nullptr);
    void accept() override;
    QRadioButton* powerChoice(int i) const { return power_[static_cast<std::size_t>(i)]; }
    QLineEdit* powerValue() const { return powerValue_; }
    TextSpin* ratioSpin() const { return ratio_; }
    TextSpin* attackSpin() const { return attack_; }
    QLabel* initialLabel() const { return initial_; }
    // "ﾃﾞﾌｫﾙﾄ使用にする" (ビブラート, パワーピッチスムージング, 裏声) and "初期値にする" (時間, 音程).
    QCheckBox* defaultBox(int i) const { return defaults_[static_cast<std::size_t>(i)]; }
    QCheckBox* initialBox(int i) const { return initials_[static_cast<std::size_t>(i)]; }
    QRadioButton* attackChoice(int i) const { return attackChoice_[static_cast<std::size_t>(i)]; }

private:
    AppContext& ctx_;
    int c_;
    uint32_t initialPower_ = 1000;
    std::array<QCheckBox*, 3> defaults_{};
    std::array<QCheckBox*, 2> initials_{};
    std::array<QRadioButton*, 4> power_{};
    QLineEdit* powerValue_;
    QLabel* initial_;
    TextSpin* ratio_;
    std::array<QRadioButton*, 2> attackChoice_{};
    TextSpin* attack_;
};

// "ﾌﾚｰｽﾞ一括変更".
class PhraseBatchDialog : public QDialog {
    Q_OBJECT
public:
    PhraseBatchDialog(AppContext& ctx, int c, QWidget* parent = nullptr);
    void accept() override;
    // The check box of a setting by its Japanese name ("外部ｴﾌｪｸﾀ"), in either language.
    QCheckBox* box(const QString& text) const;
    QRadioButton* tuningSet() const { return tuningSet_; }
    TextSpin* tuningSpin() const { return tuning_; }
    QRadioButton* waveChange() const { return waveChange_; }
    QLineEdit* waveName() const { return waveName_; }

private:
    AppContext& ctx_;
    int c_;
    std::vector<QCheckBox*> boxes_;
    QRadioButton* tuningSet_;
    TextSpin* tuning_;
    QRadioButton* waveKeep_;
    QRadioButton* waveChange_;
    QRadioButton* waveClear_;
    QLineEdit* waveName_;
};

// "ﾌﾚｰｽﾞ簡易入力": the words of a whole phrase typed as one line.
class QuickInputDialog : public QDialog {
    Q_OBJECT
public:
    // `head` is the phrase head of the note the window was opened for.
    QuickInputDialog(AppContext& ctx, int c, std::size_t head, QWidget* parent = nullptr);
    void accept() override;
    void reject() override;
    void setMode(KanaMode mode);
    KanaMode mode() const { return mode_; }
    QLineEdit* input() const { return input_; }
    QString resultText() const { return result_->text(); }
    void pickPhraseWords();
    void showCodeList();

private:
    void update();

    AppContext& ctx_;
    int c_;
    std::size_t head_;
    std::string voice_;
    KanaMode mode_ = KanaMode::Romaji;
    ChannelBackup backup_;
    QLineEdit* input_;
    QLabel* result_;
    QPushButton* romaji_;
    QPushButton* hiragana_;
};

// "ﾌﾚｰｽﾞ・ﾜｰﾄﾞの選択" (choose a line) or "ﾌﾚｰｽﾞ･ﾜｰﾄﾞ一覧" (only look).
class PhraseWordDialog : public QDialog {
    Q_OBJECT
public:
    PhraseWordDialog(AppContext& ctx, int c, bool choose, QWidget* parent = nullptr);
    void accept() override;
    void setAllChannels(bool all);
    const PhraseWords& chosen() const { return chosen_; }
    QListWidget* list() const { return list_; }

private:
    AppContext& ctx_;
    int c_;
    std::vector<PhraseWords> words_;
    PhraseWords chosen_;
    QListWidget* list_;
    QRadioButton* current_;
    QRadioButton* all_;
};

}  // namespace kantor::app
