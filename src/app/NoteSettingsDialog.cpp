#include "app/NoteSettingsDialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "hub/Hub.h"

namespace kantor::app {

NoteSettingsDialog::NoteSettingsDialog(AppContext& ctx, int c, std::size_t event, QWidget* parent)
    : QDialog(parent), ctx_(ctx), c_(c), event_(event) {
    setWindowTitle(QString("ノート設定( %1 )").arg(event + 1));
    const Song& song = ctx_.hub.song();
    const VoxEvent* e = song.event(c, event);
    NoteExpression n;
    SyllableExpression s;
    if (e) {
        if (const NoteSettings* rec = song.noteSettings(c, e->noteSettingsIndex))
            n = NoteExpression::decode(*rec).value_or(NoteExpression{});
        for (int k = 0; k < VoxEvent::kSlots; ++k) {
            const SyllableSettings* rec = song.syllableSettings(c, e->syllableSettingsIndex[std::size_t(k)]);
            if (e->syllableLength[std::size_t(k)] != 0 && rec) {
                s = SyllableExpression::decode(*rec).value_or(SyllableExpression{});
                break;
            }
        }
    }
    // What the note sings when a box is ticked: the channel's default, else the song's.
    NoteExpression inherited = noteDefaultsOf(song.channelDefaults(c));
    inherited.inheritFrom(noteDefaultsOf(song.songDefaults()));
    NoteExpression shown = n;
    shown.inheritFrom(inherited);

    auto* v = new QVBoxLayout(this);
    auto* grid = new QGridLayout();
    int row = 0;
    auto spin = [this](int lo, int hi, int value, const char* suffix) {
        auto* b = new QSpinBox(this);
        b->setRange(lo, hi);
        b->setValue(value);
        b->setSuffix(suffix);
        return b;
    };
    auto dspin = [this](double lo, double hi, int decimals, double step, double value, const char* suffix) {
        auto* b = new QDoubleSpinBox(this);
        b->setRange(lo, hi);
        b->setDecimals(decimals);
        b->setSingleStep(step);
        b->setValue(value);
        b->setSuffix(suffix);
        return b;
    };
    auto line = [&](int i, const char* label, std::initializer_list<QWidget*> fields, bool own) {
        grid->addWidget(new QLabel(label, this), row, 0);
        auto* h = new QHBoxLayout();
        for (QWidget* w : fields) h->addWidget(w);
        h->addStretch(1);
        grid->addLayout(h, row, 1);
        auto* box = new QCheckBox("ﾃﾞﾌｫﾙﾄ使用", this);
        box->setChecked(!own);
        grid->addWidget(box, row, 2);
        defaults_[std::size_t(i)] = box;
        const std::vector<QWidget*> list(fields);
        auto sync = [list, box] {
            for (QWidget* w : list) w->setEnabled(!box->isChecked());
        };
        connect(box, &QCheckBox::toggled, this, sync);
        sync();
        ++row;
    };
    depth_ = spin(0, 200, shown.vibratoDepthCents, " cent");
    rate_ = dspin(0, 15, 2, 0.1, shown.vibratoRateCentiHz / 100.0, " Hz");
    delay_ = spin(0, 10000, shown.vibratoDelayMs, " ms");
    fade_ = spin(0, 10000, shown.vibratoFadeMs, " ms");
    line(0, "ビブラート", {new QLabel("深さ", this), depth_, new QLabel("速さ", this), rate_, new QLabel("遅れ", this),
                          delay_, new QLabel("ﾌｪｰﾄﾞｲﾝ", this), fade_},
         n.has(NoteValue::Vibrato));
    smoothing_ = spin(0, 1000, shown.smoothingMs, " ms");
    line(1, "ピッチスムージング", {smoothing_}, n.has(NoteValue::Smoothing));
    falsetto_ = new QCheckBox("裏声で歌う", this);
    falsetto_->setChecked(shown.falsetto);
    line(2, "裏声", {falsetto_}, n.has(NoteValue::Falsetto));
    time_ = spin(-1000, 1000, shown.timeMs, " ms");
    line(3, "時間", {time_}, n.has(NoteValue::Time));
    pitch_ = spin(-1200, 1200, shown.detuneCents, " cent");
    line(4, "音程", {pitch_}, n.has(NoteValue::Pitch));
    power_ = dspin(0.001, 10.0, 3, 0.1, shown.has(NoteValue::Power) ? shown.power / 1000.0 : 1.0, "");
    line(5, "パワー", {power_}, n.has(NoteValue::Power));
    attack_ = dspin(0, 1.0, 2, 0.01, shown.attackCs / 100.0, " s");
    line(6, "アタック", {attack_}, n.has(NoteValue::Attack));
    sylPower_ = dspin(0.001, 10.0, 3, 0.1, s.has(SyllableValue::Power) ? s.power / 1000.0 : 1.0, "");
    line(7, "音節のパワー", {sylPower_}, s.has(SyllableValue::Power));
    speed_ = spin(25, 400, s.has(SyllableValue::ConsonantSpeed) ? s.consonantSpeed : 100, " %");
    line(8, "子音の速さ", {speed_}, s.has(SyllableValue::ConsonantSpeed));
    v->addLayout(grid);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Cancel)->setText("ｷｬﾝｾﾙ");
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    v->addWidget(buttons);
}

NoteExpression NoteSettingsDialog::noteValues() const {
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

SyllableExpression NoteSettingsDialog::syllableValues() const {
    SyllableExpression s;
    s.mark(SyllableValue::Power, !defaults_[7]->isChecked());
    s.power = uint16_t(std::clamp<long>(std::lround(sylPower_->value() * 1000), 1, 10000));
    s.mark(SyllableValue::ConsonantSpeed, !defaults_[8]->isChecked());
    s.consonantSpeed = uint16_t(speed_->value());
    return s;
}

void NoteSettingsDialog::accept() {
    Hub& hub = ctx_.hub;
    const NoteExpression n = noteValues();
    const SyllableExpression s = syllableValues();
    std::string error;
    hub.history().begin(hub.song(), c_);
    const bool ok = setNoteExpression(hub.song(), c_, event_, event_, n, uint16_t(~n.set & 0x7F), error) &&
                    setSyllableExpression(hub.song(), c_, event_, event_, s, uint16_t(~s.set & 0x3), error);
    const bool changed = hub.history().end(hub.song());
    if (changed) hub.edited(c_);
    if (!ok) {
        ctx_.prompt.warning("警告", error);
        return;
    }
    QDialog::accept();
}

}  // namespace kantor::app
