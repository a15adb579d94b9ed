#pragma once
// "ノート設定": the expression of one note (song/Expression.h): vibrato, pitch smoothing,
// falsetto, time, pitch, power and attack, and the power and consonant speed of its
// syllables. Each value has a "ﾃﾞﾌｫﾙﾄ使用" box: ticked, the note uses the channel's default,
// else the song's. OK writes the note's records as one undoable edit.
#include <QCheckBox>
#include <QDialog>
#include <QDoubleSpinBox>
#include <QSpinBox>
#include <array>
#include <cstddef>

#include "app/AppContext.h"
#include "song/Expression.h"

namespace kantor::app {

class NoteSettingsDialog : public QDialog {
    Q_OBJECT
public:
    NoteSettingsDialog(AppContext& ctx, int c, std::size_t event, QWidget* parent = nullptr);

    // The values as the window shows them (set bits: the boxes not ticked).
    NoteExpression noteValues() const;
    SyllableExpression syllableValues() const;
    // The "ﾃﾞﾌｫﾙﾄ使用" box of a note value (0..6 in kNoteValues order), 7 and 8 the syllable's.
    QCheckBox* defaultBox(int i) const { return defaults_[std::size_t(i)]; }
    QSpinBox* depth() const { return depth_; }
    QDoubleSpinBox* rate() const { return rate_; }
    QSpinBox* delay() const { return delay_; }
    QSpinBox* smoothing() const { return smoothing_; }
    QDoubleSpinBox* power() const { return power_; }
    QDoubleSpinBox* attack() const { return attack_; }

    void accept() override;

private:
    AppContext& ctx_;
    int c_;
    std::size_t event_;
    std::array<QCheckBox*, 9> defaults_{};
    QSpinBox *depth_, *delay_, *fade_, *smoothing_, *time_, *pitch_, *speed_;
    QDoubleSpinBox *rate_, *power_, *attack_, *sylPower_;
    QCheckBox* falsetto_;
};

}  // namespace kantor::app
