#pragma once
// The values of singing with expression (song/Expression.h) as a form: vibrato, pitch
// smoothing, falsetto, time, pitch, power and attack of a note, and the power and consonant
// speed of its syllables, each with its "ﾃﾞﾌｫﾙﾄ使用" box. Ticked, the value is not set here
// and the one inherited (the channel's default, else the song's; none for the song) applies.
// Used by the note settings window and by the channel and song settings windows.
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QSpinBox>
#include <QWidget>
#include <array>
#include <vector>

#include "song/Expression.h"

namespace kantor::app {

class ExpressionForm : public QWidget {
    Q_OBJECT
public:
    // `note` and `syllable`: the values set here (their set bits untick the boxes);
    // `inherited...`: what applies where a box is ticked, shown in its fields.
    ExpressionForm(const NoteExpression& note, const SyllableExpression& syllable, const NoteExpression& inheritedNote,
                   const SyllableExpression& inheritedSyllable, QWidget* parent = nullptr);

    // Shows other values (after an undo underneath).
    void setValues(const NoteExpression& note, const SyllableExpression& syllable, const NoteExpression& inheritedNote,
                   const SyllableExpression& inheritedSyllable);
    // Marks the note values (NoteValue bits) the note takes from the automatic expression:
    // "自動" beside them, their fields in italics. 0 clears the marks.
    void setAutoValues(uint16_t noteBits);
    QLabel* autoMark(int i) const { return autoMarks_[std::size_t(i)]; }
    // The values as the form shows them (set bits: the boxes not ticked).
    NoteExpression noteValues() const;
    SyllableExpression syllableValues() const;

    // The "ﾃﾞﾌｫﾙﾄ使用" box of a note value (0..6 in kNoteValues order), 7 and 8 the syllable's.
    static constexpr int kBoxes = 9;
    QCheckBox* defaultBox(int i) const { return defaults_[std::size_t(i)]; }
    QSpinBox* depth() const { return depth_; }
    QDoubleSpinBox* rate() const { return rate_; }
    QSpinBox* delay() const { return delay_; }
    QSpinBox* fade() const { return fade_; }
    QSpinBox* smoothing() const { return smoothing_; }
    QCheckBox* falsetto() const { return falsetto_; }
    QSpinBox* time() const { return time_; }
    QSpinBox* pitch() const { return pitch_; }
    QDoubleSpinBox* power() const { return power_; }
    QDoubleSpinBox* attack() const { return attack_; }
    QDoubleSpinBox* syllablePower() const { return sylPower_; }
    QSpinBox* consonantSpeed() const { return speed_; }

private:
    std::array<QCheckBox*, kBoxes> defaults_{};
    std::array<QLabel*, kBoxes> autoMarks_{};
    std::array<std::vector<QWidget*>, kBoxes> fields_{};
    QSpinBox *depth_, *delay_, *fade_, *smoothing_, *time_, *pitch_, *speed_;
    QDoubleSpinBox *rate_, *power_, *attack_, *sylPower_;
    QCheckBox* falsetto_;
};

}  // namespace kantor::app
