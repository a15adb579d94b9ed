#pragma once
// "ノート設定": the expression of one note (song/Expression.h): vibrato, pitch smoothing,
// falsetto, time, pitch, power and attack, and the power and consonant speed of its
// syllables. Each value has a "ﾃﾞﾌｫﾙﾄ使用" box: ticked, the note uses the channel's default,
// else the song's. OK writes the note's records as one undoable edit.
#include <QDialog>
#include <QLabel>
#include <cstddef>

#include "app/AppContext.h"
#include "app/ExpressionForm.h"

namespace kantor::app {

class NoteSettingsDialog : public QDialog {
    Q_OBJECT
public:
    NoteSettingsDialog(AppContext& ctx, int c, std::size_t event, QWidget* parent = nullptr);

    // The values as the window shows them (set bits: the boxes not ticked).
    NoteExpression noteValues() const { return form_->noteValues(); }
    SyllableExpression syllableValues() const { return form_->syllableValues(); }
    ExpressionForm* form() const { return form_; }
    // The "ﾃﾞﾌｫﾙﾄ使用" box of a note value (0..6 in kNoteValues order), 7 and 8 the syllable's.
    QCheckBox* defaultBox(int i) const { return form_->defaultBox(i); }
    QSpinBox* depth() const { return form_->depth(); }
    QDoubleSpinBox* rate() const { return form_->rate(); }
    QSpinBox* delay() const { return form_->delay(); }
    QSpinBox* smoothing() const { return form_->smoothing(); }
    QDoubleSpinBox* power() const { return form_->power(); }
    QDoubleSpinBox* attack() const { return form_->attack(); }

    void accept() override;
    // The line "表情をつける: 入 / 切" above the form.
    QLabel* autoState() const { return autoState_; }
    // Shows again what the ticked boxes stand for (after the sound quality settings changed).
    void showInherited();

private:
    AppContext& ctx_;
    int c_;
    std::size_t event_;
    ExpressionForm* form_ = nullptr;
    QLabel* autoState_ = nullptr;
    NoteExpression own_;
    SyllableExpression ownSyllable_;
};

}  // namespace kantor::app
