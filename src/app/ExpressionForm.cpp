#include "app/ExpressionForm.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <algorithm>
#include <cmath>
#include <vector>

namespace kantor::app {

ExpressionForm::ExpressionForm(const NoteExpression& note, const SyllableExpression& syllable,
                               const NoteExpression& inheritedNote, const SyllableExpression& inheritedSyllable,
                               QWidget* parent)
    : QWidget(parent) {
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    int row = 0;
    auto spin = [this](int lo, int hi, const char* suffix) {
        auto* b = new QSpinBox(this);
        b->setRange(lo, hi);
        b->setSuffix(suffix);
        return b;
    };
    auto dspin = [this](double lo, double hi, int decimals, double step, const char* suffix) {
        auto* b = new QDoubleSpinBox(this);
        b->setRange(lo, hi);
        b->setDecimals(decimals);
        b->setSingleStep(step);
        b->setSuffix(suffix);
        return b;
    };
    auto line = [&](int i, const QString& label, std::initializer_list<QWidget*> fields) {
        grid->addWidget(new QLabel(label, this), row, 0);
        auto* h = new QHBoxLayout();
        for (QWidget* w : fields) h->addWidget(w);
        h->addStretch(1);
        grid->addLayout(h, row, 1);
        auto* box = new QCheckBox(tr("ﾃﾞﾌｫﾙﾄ使用"), this);
        grid->addWidget(box, row, 2);
        defaults_[std::size_t(i)] = box;
        auto* mark = new QLabel(tr("自動"), this);
        QFont italic = mark->font();
        italic.setItalic(true);
        mark->setFont(italic);
        mark->setToolTip(tr("このノートは「表情をつける」の値で歌われます（設定 → 音質の設定）。"));
        mark->setVisible(false);
        grid->addWidget(mark, row, 3);
        autoMarks_[std::size_t(i)] = mark;
        fields_[std::size_t(i)] = std::vector<QWidget*>(fields);
        const std::vector<QWidget*> list(fields);
        connect(box, &QCheckBox::toggled, this, [list](bool ticked) {
            for (QWidget* w : list) w->setEnabled(!ticked);
        });
        ++row;
    };
    depth_ = spin(0, 200, " cent");
    rate_ = dspin(0, 15, 2, 0.1, " Hz");
    delay_ = spin(0, 10000, " ms");
    fade_ = spin(0, 10000, " ms");
    line(0, tr("ビブラート"), {new QLabel(tr("深さ"), this), depth_, new QLabel(tr("速さ"), this), rate_, new QLabel(tr("遅れ"), this),
                          delay_, new QLabel(tr("ﾌｪｰﾄﾞｲﾝ"), this), fade_});
    smoothing_ = spin(0, 1000, " ms");
    line(1, tr("ピッチスムージング"), {smoothing_});
    falsetto_ = new QCheckBox(tr("裏声で歌う"), this);
    line(2, tr("裏声"), {falsetto_});
    time_ = spin(-1000, 1000, " ms");
    line(3, tr("時間"), {time_});
    pitch_ = spin(-1200, 1200, " cent");
    line(4, tr("音程"), {pitch_});
    power_ = dspin(0.001, 10.0, 3, 0.1, "");
    line(5, tr("パワー"), {power_});
    attack_ = dspin(0, 1.0, 2, 0.01, " s");
    line(6, tr("アタック"), {attack_});
    sylPower_ = dspin(0.001, 10.0, 3, 0.1, "");
    line(7, tr("音節のパワー"), {sylPower_});
    speed_ = spin(25, 400, " %");
    line(8, tr("子音の速さ"), {speed_});
    setValues(note, syllable, inheritedNote, inheritedSyllable);
}

void ExpressionForm::setValues(const NoteExpression& note, const SyllableExpression& syllable,
                               const NoteExpression& inheritedNote, const SyllableExpression& inheritedSyllable) {
    NoteExpression n = note;
    n.inheritFrom(inheritedNote);
    SyllableExpression s = syllable;
    s.inheritFrom(inheritedSyllable);
    depth_->setValue(n.vibratoDepthCents);
    rate_->setValue(n.vibratoRateCentiHz / 100.0);
    delay_->setValue(n.vibratoDelayMs);
    fade_->setValue(n.vibratoFadeMs);
    smoothing_->setValue(n.smoothingMs);
    falsetto_->setChecked(n.falsetto);
    time_->setValue(n.timeMs);
    pitch_->setValue(n.detuneCents);
    power_->setValue(n.has(NoteValue::Power) ? n.power / 1000.0 : 1.0);
    attack_->setValue(n.attackCs / 100.0);
    sylPower_->setValue(s.has(SyllableValue::Power) ? s.power / 1000.0 : 1.0);
    speed_->setValue(s.has(SyllableValue::ConsonantSpeed) ? s.consonantSpeed : 100);
    for (std::size_t i = 0; i < std::size(kNoteValues); ++i) {
        // Set the box twice so that its fields follow it even when it does not change.
        defaults_[i]->setChecked(note.has(kNoteValues[i]));
        defaults_[i]->setChecked(!note.has(kNoteValues[i]));
    }
    const SyllableValue syl[2] = {SyllableValue::Power, SyllableValue::ConsonantSpeed};
    for (std::size_t i = 0; i < 2; ++i) {
        defaults_[7 + i]->setChecked(syllable.has(syl[i]));
        defaults_[7 + i]->setChecked(!syllable.has(syl[i]));
    }
}

void ExpressionForm::setAutoValues(uint16_t noteBits) {
    for (std::size_t i = 0; i < std::size(kNoteValues); ++i) {
        const bool on = (noteBits & static_cast<uint16_t>(kNoteValues[i])) != 0;
        autoMarks_[i]->setVisible(on);
        for (QWidget* w : fields_[i]) {
            QFont f = w->font();
            f.setItalic(on);
            w->setFont(f);
        }
    }
}

NoteExpression ExpressionForm::noteValues() const {
    NoteExpression n;
    auto own = [this](int i) { return !defaults_[std::size_t(i)]->isChecked(); };
    n.mark(NoteValue::Vibrato, own(0));
    n.vibratoDepthCents = uint16_t(depth_->value());
    n.vibratoRateCentiHz = uint16_t(std::lround(rate_->value() * 100));
    n.vibratoDelayMs = uint16_t(delay_->value());
    n.vibratoFadeMs = uint16_t(fade_->value());
    n.mark(NoteValue::Smoothing, own(1));
    n.smoothingMs = uint16_t(smoothing_->value());
    n.mark(NoteValue::Falsetto, own(2));
    n.falsetto = falsetto_->isChecked();
    n.mark(NoteValue::Time, own(3));
    n.timeMs = int16_t(time_->value());
    n.mark(NoteValue::Pitch, own(4));
    n.detuneCents = int16_t(pitch_->value());
    n.mark(NoteValue::Power, own(5));
    n.power = uint16_t(std::clamp<long>(std::lround(power_->value() * 1000), 1, 10000));
    n.mark(NoteValue::Attack, own(6));
    n.attackCs = uint16_t(std::lround(attack_->value() * 100));
    return n;
}

SyllableExpression ExpressionForm::syllableValues() const {
    SyllableExpression s;
    s.mark(SyllableValue::Power, !defaults_[7]->isChecked());
    s.power = uint16_t(std::clamp<long>(std::lround(sylPower_->value() * 1000), 1, 10000));
    s.mark(SyllableValue::ConsonantSpeed, !defaults_[8]->isChecked());
    s.consonantSpeed = uint16_t(speed_->value());
    return s;
}

}  // namespace kantor::app
