#include "app/EditDialogs.h"

#include "song/Expression.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QShortcut>
#include <QVBoxLayout>
#include <algorithm>

#include "app/EditCommands.h"
#include "app/EffectorWindow.h"
#include "app/RomajiListWindow.h"
#include "base/FileIO.h"
#include "plugins/PluginDescription.h"
#include "voice/VoiceBank.h"
#include "voice/VoiceLibrary.h"

namespace kantor::app {

namespace {

QString q(const std::string& s) { return QString::fromStdString(s); }

// OK and the dialog's own word for Cancel.
QDialogButtonBox* okCancel(QDialog* d, const QString& cancelText) {
    auto* b = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, d);
    b->button(QDialogButtonBox::Cancel)->setText(cancelText);
    QObject::connect(b, &QDialogButtonBox::accepted, d, &QDialog::accept);
    QObject::connect(b, &QDialogButtonBox::rejected, d, &QDialog::reject);
    return b;
}

}  // namespace

// --- settings ------------------------------------------------------------------------------------

VoiceSettingsDialog::VoiceSettingsDialog(AppContext& ctx, SettingsEdit edit, QWidget* parent)
    : QDialog(parent), ctx_(ctx), edit_(std::move(edit)) {
    switch (edit_.kind()) {
        case SettingsEdit::Kind::Song: setWindowTitle(tr("ｿﾝｸﾞ・ﾃﾞﾌｫﾙﾄ設定")); break;
        case SettingsEdit::Kind::Channel: setWindowTitle(edit::channelTitle(tr("ﾁｬﾝﾈﾙ・ﾃﾞﾌｫﾙﾄ設定"), edit_.channel())); break;
        case SettingsEdit::Kind::Phrase: setWindowTitle(edit::channelTitle(tr("ﾌﾚｰｽﾞ設定"), edit_.channel())); break;
    }
    const bool boxes = edit_.hasDefaultBoxes();
    auto* grid = new QGridLayout();
    grid->setHorizontalSpacing(10);
    auto defaultBox = [&](SettingsGroup g, int row) {
        auto* b = new QCheckBox(tr("ﾃﾞﾌｫﾙﾄ"), this);
        defaults_[static_cast<std::size_t>(g)] = b;
        b->setVisible(boxes);
        grid->addWidget(b, row, 2, Qt::AlignTop);
        connect(b, &QCheckBox::toggled, this, [this, g](bool on) {
            if (filling_) return;
            edit_.setUseDefault(g, on);
            show(false);
        });
    };
    grid->addWidget(new QLabel("Voice", this), 0, 0, Qt::AlignTop);
    auto* voiceBox = new QVBoxLayout();
    voice_ = new QComboBox(this);
    voice_->setMinimumContentsLength(20);
    voiceBox->addWidget(voice_);
    for (auto& l : info_) {
        l = new QLabel(this);
        l->setStyleSheet("color: palette(dark);");
        voiceBox->addWidget(l);
    }
    grid->addLayout(voiceBox, 0, 1);
    defaultBox(SettingsGroup::Voice, 0);
    // Listed by name (the identifier only where two share a name); the song keeps the identifier.
    ctx_.hub.voices().enumerateVoiceFiles();
    for (const VoiceChoice& c : voiceChoices(ctx_.hub.voices())) voice_->addItem(q(c.label), q(c.identifier));
    connect(voice_, &QComboBox::currentIndexChanged, this, [this](int i) {
        if (filling_ || i < 0) return;
        edit_.values().voiceName = voice_->itemData(i).toString().toStdString();
        showInfo();
    });

    tuning_ = new TextSpin(kTuningSpinMin, kTuningSpinMax, 0, this);
    tuning_->step = [this](int v, int) {
        edit_.values().tuning = tuningOfSpinPosition(v);
        tuning_->setText(q(tuningText(edit_.values().tuning)));
        return true;
    };
    grid->addWidget(new QLabel(tr("ﾁｭｰﾆﾝｸﾞ（A=）"), this), 1, 0);
    grid->addWidget(tuning_, 1, 1, Qt::AlignLeft);
    defaultBox(SettingsGroup::Tuning, 1);

    volume_ = new TextSpin(kVolumeMin, kVolumeMax, 100, this);
    volume_->step = [this](int v, int) {
        edit_.values().phraseVolume = static_cast<uint16_t>(v);
        volume_->setText(QString::number(v));
        return true;
    };
    grid->addWidget(new QLabel(tr("ﾌﾚｰｽﾞ音量(%)"), this), 2, 0);
    grid->addWidget(volume_, 2, 1, Qt::AlignLeft);
    defaultBox(SettingsGroup::Volume, 2);

    timing_ = new TextSpin(kTimingMin, kTimingMax, 0, this);
    timing_->setMinimumTextWidth(11);
    timing_->step = [this](int v, int) {
        edit_.values().timingOffset = v;
        timing_->setText(q(timingTextAfterStep(v)));
        return true;
    };
    grid->addWidget(new QLabel(tr("前ノリ(-)・後ノリ(+)"), this), 3, 0);
    grid->addWidget(timing_, 3, 1, Qt::AlignLeft);
    defaultBox(SettingsGroup::Timing, 3);

    auto* fx = new QHBoxLayout();
    effects_ = new QPushButton(tr("外部ｴﾌｪｸﾀ"), this);
    effectText_ = new QLabel(this);
    effectText_->setStyleSheet("color: palette(dark);");
    fx->addWidget(effects_);
    fx->addWidget(effectText_, 1);
    connect(effects_, &QPushButton::clicked, this, [this] { chooseEffects(); });
    grid->addLayout(fx, 4, 0, 1, 2);
    defaultBox(SettingsGroup::Effects, 4);
    grid->setColumnStretch(1, 1);

    auto* v = new QVBoxLayout(this);
    v->addLayout(grid);
    if (edit_.kind() != SettingsEdit::Kind::Phrase) {
        auto* box = new QGroupBox(tr("表情のﾃﾞﾌｫﾙﾄ"), this);
        auto* bv = new QVBoxLayout(box);
        expression_ = new ExpressionForm({}, {}, {}, {}, box);
        bv->addWidget(expression_);
        v->addWidget(box);
    }
    v->addWidget(okCancel(this, tr("ｷｬﾝｾﾙ")));
    edit::installUndoKeys(this, ctx_, [this] {
        // The form follows the song after an undo or redo underneath.
        switch (edit_.kind()) {
            case SettingsEdit::Kind::Song: reload(SettingsEdit::forSong(ctx_.hub.song())); break;
            case SettingsEdit::Kind::Channel: reload(SettingsEdit::forChannel(ctx_.hub.song(), edit_.channel())); break;
            case SettingsEdit::Kind::Phrase: break;
        }
    });
    show(true);
}

void VoiceSettingsDialog::reload(SettingsEdit edit) {
    edit_ = std::move(edit);
    show(true);
}

void VoiceSettingsDialog::show(bool opening) {
    filling_ = true;
    const VoiceSettings& s = edit_.values();
    const QString name = q(s.voiceName);
    if (voice_->findData(name) < 0) voice_->addItem(name, name);
    voice_->setCurrentIndex(voice_->findData(name));
    tuning_->setValue(tuningSpinPosition(s.tuning));
    tuning_->setText(q(tuningText(s.tuning)));
    volume_->setValue(s.phraseVolume);
    volume_->setText(QString::number(s.phraseVolume));
    timing_->setValue(s.timingOffset);
    timing_->setText(q(opening ? timingTextOnOpen(s.timingOffset) : timingTextAfterStep(s.timingOffset)));
    QWidget* controls[kSettingsGroups] = {voice_, tuning_, volume_, timing_, effects_};
    for (int g = 0; g < kSettingsGroups; ++g) {
        const bool def = edit_.hasDefaultBoxes() && edit_.useDefault(static_cast<SettingsGroup>(g));
        defaults_[static_cast<std::size_t>(g)]->setChecked(def);
        controls[g]->setEnabled(!def);
    }
    QStringList fx;
    for (int32_t ref : s.effect) {
        if ((ref & 0xFFFF) == 0) break;
        const EffectLabel l = effectLabel(ref, ctx_.hub.settings().pluginFiles());
        if (l.pluginName.empty()) break;
        fx << q(l.combined);
    }
    effectText_->setText(fx.isEmpty() ? tr("(なし)") : fx.join("  "));
    if (expression_) {
        // A channel's ticked box shows the song's default; the song's shows none.
        const bool channel = edit_.kind() == SettingsEdit::Kind::Channel;
        const VoiceSettings& song = ctx_.hub.song().songDefaults();
        expression_->setValues(noteDefaultsOf(s), syllableDefaultsOf(s), channel ? noteDefaultsOf(song) : NoteExpression{},
                               channel ? syllableDefaultsOf(song) : SyllableExpression{});
    }
    filling_ = false;
    showInfo();
}

void VoiceSettingsDialog::showInfo() {
    VoiceBank& b = ctx_.hub.voices();
    const int i = b.findVoiceFile(edit_.values().voiceName);
    info_[0]->setText(q(b.voiceFileComment(i)));
    info_[1]->setText(q(b.voiceFileComment2(i)));
    info_[2]->setText(q(b.voiceFileDescription(i)));
}

void VoiceSettingsDialog::chooseEffects() {
    std::array<int32_t, 3> refs{};
    for (std::size_t i = 0; i < 3; ++i) refs[i] = edit_.values().effect[i];
    EffectorWindow w(ctx_, refs, this);
    if (w.exec() != QDialog::Accepted) return;
    const auto& r = w.references();
    for (std::size_t i = 0; i < 3; ++i) edit_.values().effect[i] = r[i];
    show(false);
}

void VoiceSettingsDialog::accept() {
    Hub& hub = ctx_.hub;
    if (expression_) {
        // Only the values set here are kept; the record's tail changes only when they do,
        // so that bytes another program left there stay as they were.
        NoteExpression note;
        note.inheritFrom(expression_->noteValues());
        SyllableExpression syllable;
        syllable.inheritFrom(expression_->syllableValues());
        VoiceSettings& rec = edit_.values();
        if (const std::string bad = note.check() + syllable.check(); !bad.empty()) {
            ctx_.prompt.notice(edittext::kError, bad);
            return;
        }
        if (!(note == noteDefaultsOf(rec))) setNoteDefaults(rec, note);
        if (!(syllable == syllableDefaultsOf(rec))) setSyllableDefaults(rec, syllable);
    }
    const int scope = edit_.kind() == SettingsEdit::Kind::Song ? EditHistory::kSongDefaults : edit_.channel();
    std::string error;
    hub.history().begin(hub.song(), scope);
    const bool ok = edit_.apply(hub.song(), hub.voices(), error, stored_);
    hub.history().end(hub.song());
    if (!ok) {
        ctx_.prompt.notice(edittext::kError, error);
        return;
    }
    if (stored_) hub.edited(scope);
    QDialog::accept();
}

// --- note length and position ----------------------------------------------------------------

NoteLengthPosDialog::NoteLengthPosDialog(AppContext& ctx, int c, std::size_t event, QWidget* parent)
    : QDialog(parent), ctx_(ctx), c_(c), event_(event) {
    setWindowTitle(edit::channelTitle(tr("ノート長さ・位置"), c));
    const VoxEvent* e = ctx_.hub.song().event(c, event);
    if (e) {
        openStart_ = e->startTick;
        openEnd_ = e->endTick;
    }
    model_.open(ctx_.hub.song(), ctx_.hub.midi(), ctx_.hub.tempoMap(), c, event);
    auto* v = new QVBoxLayout(this);
    auto* modes = new QHBoxLayout();
    lengthMode_ = new QRadioButton(tr("長さ調整"), this);
    positionMode_ = new QRadioButton(tr("位置調整"), this);
    positionMode_->setChecked(true);
    modes->addWidget(lengthMode_);
    modes->addWidget(positionMode_);
    modes->addStretch(1);
    v->addLayout(modes);
    min_ = new QLabel(this);
    max_ = new QLabel(this);
    v->addWidget(min_);
    v->addWidget(max_);
    auto* form = new QFormLayout();
    start_ = new TextSpin(NoteLengthPosition::kSpinMin, NoteLengthPosition::kSpinMax, 0, this);
    end_ = new TextSpin(NoteLengthPosition::kSpinMin, NoteLengthPosition::kSpinMax, 0, this);
    for (TextSpin* s : {start_, end_}) s->setMinimumTextWidth(22);
    start_->step = [this](int, int d) { return step(true, d); };
    end_->step = [this](int, int d) { return step(false, d); };
    form->addRow(tr("開始"), start_);
    form->addRow(tr("終了"), end_);
    v->addLayout(form);
    v->addWidget(okCancel(this, tr("ｷｬﾝｾﾙ")));
    connect(lengthMode_, &QRadioButton::toggled, this, [this](bool on) {
        model_.mode = on ? NoteLengthPosition::Mode::Length : NoteLengthPosition::Mode::Position;
        refresh();
    });
    edit::installUndoKeys(this, ctx_, [this] { reopen(); });
    refresh();
}

void NoteLengthPosDialog::reopen() {
    const auto mode = model_.mode;
    model_.open(ctx_.hub.song(), ctx_.hub.midi(), ctx_.hub.tempoMap(), c_, event_);
    model_.mode = mode;
    start_->setValue(0);
    end_->setValue(0);
    refresh();
}

bool NoteLengthPosDialog::step(bool start, int delta) {
    Hub& hub = ctx_.hub;
    EditScope scope(hub.history(), hub.song(), c_);
    const bool ok = start ? model_.stepStart(hub.song(), delta) : model_.stepEnd(hub.song(), delta);
    if (!ok) {
        scope.cancel();
        return false;
    }
    scope.end();
    hub.edited(c_);
    emit noteLengthChanged(c_, static_cast<int>(event_));
    QMetaObject::invokeMethod(this, [this] { refresh(); }, Qt::QueuedConnection);
    return true;
}

void NoteLengthPosDialog::refresh() {
    const TempoMap& map = ctx_.hub.tempoMap();
    min_->setText(q("Min = " + map.positionText(model_.minTick())));
    max_->setText(q("Max = " + map.positionText(model_.maxTick())));
    const VoxEvent* e = ctx_.hub.song().event(c_, event_);
    if (!e) return;
    start_->setText(q(map.positionText(e->startTick)) + QString("  (%1)").arg(e->startTick));
    end_->setText(q(map.positionText(e->endTick)) + QString("  (%1)").arg(e->endTick));
    end_->setEnabled(model_.mode == NoteLengthPosition::Mode::Length);
    const bool any = model_.lastBarStart() != 0;
    start_->arrows()->setEnabled(any);
    end_->arrows()->setEnabled(any && model_.mode == NoteLengthPosition::Mode::Length);
}

void NoteLengthPosDialog::reject() {
    // Cancel puts the note back where it was.
    Hub& hub = ctx_.hub;
    VoxEvent* e = hub.song().event(c_, event_);
    if (e && (e->startTick != openStart_ || e->endTick != openEnd_)) {
        EditScope scope(hub.history(), hub.song(), c_);
        e->startTick = openStart_;
        e->endTick = openEnd_;
        scope.end();
        hub.edited(c_);
        emit noteLengthChanged(c_, static_cast<int>(event_));
    }
    QDialog::reject();
}

// --- batch changes ---------------------------------------------------------------------------

NoteBatchDialog::NoteBatchDialog(AppContext& ctx, int c, uint32_t initialPower, QWidget* parent)
    : QDialog(parent), ctx_(ctx), c_(c), initialPower_(initialPower) {
    setWindowTitle(edit::channelTitle(tr("ﾉｰﾄ一括変更"), c));
    auto* v = new QVBoxLayout(this);
    auto* defaults = new QGroupBox(tr("ﾃﾞﾌｫﾙﾄ使用にする"), this);
    auto* dl = new QHBoxLayout(defaults);
    int k = 0;
    for (const char* t : {QT_TR_NOOP("ビブラート"), QT_TR_NOOP("パワーピッチスムージング"), QT_TR_NOOP("裏声")}) {
        defaults_[static_cast<std::size_t>(k++)] = new QCheckBox(tr(t), defaults);
        dl->addWidget(defaults_[static_cast<std::size_t>(k - 1)]);
    }
    v->addWidget(defaults);
    auto* initial = new QGroupBox(tr("初期値にする"), this);
    auto* il = new QHBoxLayout(initial);
    k = 0;
    for (const char* t : {QT_TR_NOOP("時間"), QT_TR_NOOP("音程")}) {
        initials_[static_cast<std::size_t>(k++)] = new QCheckBox(tr(t), initial);
        il->addWidget(initials_[static_cast<std::size_t>(k - 1)]);
    }
    il->addStretch(1);
    v->addWidget(initial);

    auto* power = new QGroupBox(tr("パワー比"), this);
    auto* pg = new QGridLayout(power);
    const char* choices[4] = {QT_TR_NOOP("変更なし"), QT_TR_NOOP("初期値"), QT_TR_NOOP("数値変更"),
                              QT_TR_NOOP("比率変更")};
    auto* group = new QButtonGroup(this);
    for (int i = 0; i < 4; ++i) {
        power_[static_cast<std::size_t>(i)] = new QRadioButton(tr(choices[i]), power);
        group->addButton(power_[static_cast<std::size_t>(i)]);
        pg->addWidget(power_[static_cast<std::size_t>(i)], i, 0);
    }
    power_[0]->setChecked(true);
    initial_ = new QLabel(tr("初期値(%1)").arg(q(powerText(initialPower))), power);
    pg->addWidget(initial_, 1, 1);
    powerValue_ = new QLineEdit(q(powerText(initialPower)), power);
    powerValue_->setMaximumWidth(90);
    pg->addWidget(powerValue_, 2, 1);
    ratio_ = new TextSpin(1, 400, 100, power);
    ratio_->setText("100 %");
    ratio_->step = [this](int v, int) {
        ratio_->setText(QString("%1 %").arg(v));
        return true;
    };
    pg->addWidget(ratio_, 3, 1, Qt::AlignLeft);
    v->addWidget(power);

    auto* attack = new QGroupBox(tr("アタックタイム"), this);
    auto* al = new QHBoxLayout(attack);
    attackChoice_[0] = new QRadioButton(tr("変更なし"), attack);
    attackChoice_[1] = new QRadioButton(tr("数値変更"), attack);
    attackChoice_[0]->setChecked(true);
    attack_ = new TextSpin(0, 100, 0, attack);
    attack_->setText("0.00");
    attack_->step = [this](int v, int) {
        attack_->setText(QString::asprintf("%d.%02d", v / 100, v % 100));
        return true;
    };
    al->addWidget(attackChoice_[0]);
    al->addWidget(attackChoice_[1]);
    al->addWidget(attack_);
    al->addStretch(1);
    v->addWidget(attack);
    v->addWidget(okCancel(this, tr("ｷｬﾝｾﾙ")));
}

void NoteBatchDialog::accept() {
    if (power_[2]->isChecked()) {
        uint32_t value = 0;
        if (!parsePowerValue(powerValue_->text().toStdString(), value)) {
            ctx_.prompt.notice(edittext::kError, edittext::kBadPower);
            powerValue_->setFocus();
            powerValue_->selectAll();
            return;
        }
    }
    // The choices go into the expression records of every note (song/Expression.h).
    NoteBatchExpression batch;
    const NoteValue toDefault[] = {NoteValue::Vibrato, NoteValue::Smoothing, NoteValue::Falsetto};
    for (std::size_t i = 0; i < 3; ++i)
        if (defaults_[i]->isChecked()) batch.toDefault = uint16_t(batch.toDefault | uint16_t(toDefault[i]));
    batch.initialTime = initials_[0]->isChecked();
    batch.initialPitch = initials_[1]->isChecked();
    uint32_t value = initialPower_;
    if (power_[1]->isChecked()) {
        batch.power = NoteBatchExpression::Power::Initial;
    } else if (power_[2]->isChecked()) {
        batch.power = NoteBatchExpression::Power::Value;
        parsePowerValue(powerValue_->text().toStdString(), value);
    } else if (power_[3]->isChecked()) {
        batch.power = NoteBatchExpression::Power::Ratio;
        batch.ratioPercent = uint16_t(std::clamp(ratio_->value(), 1, 400));
    }
    batch.powerValue = uint16_t(std::clamp<uint32_t>(value, 1, 10000));
    batch.setAttack = attackChoice_[1]->isChecked();
    batch.attackCs = uint16_t(std::clamp(attack_->value(), 0, 100));
    Hub& hub = ctx_.hub;
    std::string error;
    hub.history().begin(hub.song(), c_);
    const bool ok = noteBatchChange(hub.song(), c_, error) && noteBatchExpression(hub.song(), c_, batch, error);
    hub.history().end(hub.song());
    if (!ok) {
        ctx_.prompt.warning(edittext::kWarning, error);
        if (!hub.song().isVoxChannel(c_)) return;
    }
    hub.edited(c_);
    QDialog::accept();
}

PhraseBatchDialog::PhraseBatchDialog(AppContext& ctx, int c, QWidget* parent) : QDialog(parent), ctx_(ctx), c_(c) {
    setWindowTitle(edit::channelTitle(tr("ﾌﾚｰｽﾞ一括変更"), c));
    auto* v = new QVBoxLayout(this);
    auto* defaults = new QGroupBox(tr("ﾃﾞﾌｫﾙﾄ使用にする"), this);
    auto* dg = new QGridLayout(defaults);
    const char* names[] = {QT_TR_NOOP("性別"), QT_TR_NOOP("声質"), QT_TR_NOOP("サビフレーズ"), QT_TR_NOOP("裏声"),
                           QT_TR_NOOP("ラップ"), QT_TR_NOOP("せりふ"), QT_TR_NOOP("前ノリ(-)・後ノリ(+)"),
                           QT_TR_NOOP("パワーピッチスムージング"), QT_TR_NOOP("ｸﾚｯｼｪﾝﾄﾞ/ﾃﾞｸﾚｯｼｪﾝﾄﾞ"), QT_TR_NOOP("外部ｴﾌｪｸﾀ")};
    int i = 0;
    for (const char* n : names) {
        auto* b = new QCheckBox(tr(n), defaults);
        // box() finds it by its Japanese name in either language.
        b->setProperty("source", QString(n));
        const QString t(n);
        b->setEnabled(t != "サビフレーズ" && t != "裏声" && t != "ラップ" && t != "せりふ");
        boxes_.push_back(b);
        dg->addWidget(b, i / 2, i % 2);
        ++i;
    }
    v->addWidget(defaults);

    auto* tuning = new QGroupBox(tr("ﾁｭｰﾆﾝｸﾞ（A=）"), this);
    auto* tl = new QHBoxLayout(tuning);
    auto* keep = new QRadioButton(tr("変更なし"), tuning);
    keep->setChecked(true);
    tuningSet_ = new QRadioButton(tr("数値変更"), tuning);
    tuning_ = new TextSpin(kTuningSpinMin, kTuningSpinMax, 0, tuning);
    tuning_->setText(q(tuningText(kDefaultTuning)));
    tuning_->step = [this](int p, int) {
        tuning_->setText(q(tuningText(tuningOfSpinPosition(p))));
        return true;
    };
    tl->addWidget(keep);
    tl->addWidget(tuningSet_);
    tl->addWidget(tuning_);
    tl->addStretch(1);
    v->addWidget(tuning);

    auto* wave = new QGroupBox(tr("ﾌﾚｰｽﾞWaveﾌｧｲﾙ名"), this);
    auto* wl = new QGridLayout(wave);
    waveKeep_ = new QRadioButton(tr("変更なし"), wave);
    waveKeep_->setChecked(true);
    waveChange_ = new QRadioButton(tr("変更する"), wave);
    waveClear_ = new QRadioButton(tr("クリアする"), wave);
    waveName_ = new QLineEdit(wave);
    waveName_->setMaxLength(20);
    wl->addWidget(waveKeep_, 0, 0);
    wl->addWidget(waveChange_, 1, 0);
    wl->addWidget(waveName_, 1, 1);
    wl->addWidget(new QLabel(tr("＋ 001 ～ 999"), wave), 1, 2);
    wl->addWidget(waveClear_, 2, 0);
    v->addWidget(wave);
    v->addWidget(okCancel(this, tr("ｷｬﾝｾﾙ")));
}

QCheckBox* PhraseBatchDialog::box(const QString& text) const {
    for (QCheckBox* b : boxes_)
        if (b->property("source").toString() == text) return b;
    return nullptr;
}

void PhraseBatchDialog::accept() {
    PhraseBatchOptions o;
    o.timingDefault = box("前ノリ(-)・後ノリ(+)")->isChecked();
    o.effectsDefault = box("外部ｴﾌｪｸﾀ")->isChecked();
    o.setTuning = tuningSet_->isChecked();
    o.tuning = tuningOfSpinPosition(tuning_->value());
    if (waveChange_->isChecked()) {
        o.waveName = PhraseBatchOptions::WaveName::Change;
        o.waveNameText = waveName_->text().toStdString();
        const std::string m = checkPhraseWaveName(folderOf(ctx_.hub.midiPath()), o.waveNameText);
        if (!m.empty()) {
            ctx_.prompt.warning(edittext::kWarning, m);
            waveName_->setFocus();
            return;
        }
    } else if (waveClear_->isChecked()) {
        o.waveName = PhraseBatchOptions::WaveName::Clear;
    }
    Hub& hub = ctx_.hub;
    std::string error;
    hub.history().begin(hub.song(), c_);
    const bool ok = phraseBatchChange(hub.song(), c_, o, error);
    hub.history().end(hub.song());
    if (!ok) {
        ctx_.prompt.warning(edittext::kWarning, error);
        return;
    }
    hub.edited(c_);
    QDialog::accept();
}

// --- quick input -----------------------------------------------------------------------------

QuickInputDialog::QuickInputDialog(AppContext& ctx, int c, std::size_t head, QWidget* parent)
    : QDialog(parent), ctx_(ctx), c_(c), head_(head) {
    setWindowTitle(edit::channelTitle(tr("ﾌﾚｰｽﾞ簡易入力"), c));
    Hub& hub = ctx_.hub;
    voice_ = phraseVoiceOf(hub.song(), c, head);
    if (!backup_.backup(hub.song(), c)) ctx_.prompt.warning(edittext::kWarning, edittext::kNoMemory);
    auto* v = new QVBoxLayout(this);
    input_ = new QLineEdit(q(phraseLine(hub.song(), hub.voices(), c, head, KanaMode::Romaji)), this);
    input_->setMaxLength(256);
    input_->setMinimumWidth(input_->fontMetrics().horizontalAdvance(QString(48, QChar('M'))));
    v->addWidget(input_);
    auto* r = new QHBoxLayout();
    r->addWidget(new QLabel("Result", this));
    result_ = new QLabel(this);
    result_->setFrameShape(QFrame::StyledPanel);
    result_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    r->addWidget(result_, 1);
    v->addLayout(r);
    auto* buttons = new QHBoxLayout();
    romaji_ = new QPushButton(tr("ローマ字"), this);
    hiragana_ = new QPushButton(tr("ひらがな"), this);
    for (QPushButton* b : {romaji_, hiragana_}) {
        b->setCheckable(true);
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    auto* codes = new QPushButton(tr("入力ﾛｰﾏ字一覧"), this);
    auto* pick = new QPushButton(tr("ﾌﾚｰｽﾞ・ﾜｰﾄﾞの参照選択"), this);
    for (QPushButton* b : {codes, pick}) {
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    buttons->addStretch(1);
    v->addLayout(buttons);
    v->addWidget(okCancel(this, tr("ｷｬﾝｾﾙ")));
    connect(romaji_, &QPushButton::clicked, this, [this] { setMode(KanaMode::Romaji); });
    connect(hiragana_, &QPushButton::clicked, this, [this] { setMode(KanaMode::Hiragana); });
    connect(codes, &QPushButton::clicked, this, [this] { showCodeList(); });
    connect(pick, &QPushButton::clicked, this, [this] { pickPhraseWords(); });
    connect(input_, &QLineEdit::textChanged, this, [this] { update(); });
    setMode(KanaMode::Romaji);
}

void QuickInputDialog::setMode(KanaMode mode) {
    // A line still as it was prefilled is shown in the new mode's writing.
    const std::string romaji = phraseLine(ctx_.hub.song(), ctx_.hub.voices(), c_, head_, KanaMode::Romaji);
    const std::string kana = phraseLine(ctx_.hub.song(), ctx_.hub.voices(), c_, head_, KanaMode::Hiragana);
    const std::string now = input_->text().toStdString();
    if (mode != mode_ && now == (mode_ == KanaMode::Romaji ? romaji : kana))
        input_->setText(q(mode == KanaMode::Romaji ? romaji : kana));
    mode_ = mode;
    romaji_->setChecked(mode == KanaMode::Romaji);
    hiragana_->setChecked(mode == KanaMode::Hiragana);
    update();
}

void QuickInputDialog::update() {
    const auto syl = parseQuickLine(input_->text().toStdString(), ctx_.hub.voices(), voice_);
    result_->setText(q(quickResultLine(syl, mode_)));
}

void QuickInputDialog::pickPhraseWords() {
    PhraseWordDialog d(ctx_, c_, true, this);
    if (d.exec() != QDialog::Accepted) return;
    input_->setText(q(mode_ == KanaMode::Romaji ? d.chosen().romaji : d.chosen().kana));
}

void QuickInputDialog::showCodeList() {
    RomajiListWindow::open(ctx_, voice_, this);
    activateWindow();
}

void QuickInputDialog::accept() {
    Hub& hub = ctx_.hub;
    const auto syl = parseQuickLine(input_->text().toStdString(), hub.voices(), voice_);
    hub.history().begin(hub.song(), c_);
    applyQuickInput(hub.song(), c_, head_, syl);
    const bool changed = hub.history().end(hub.song());
    backup_.drop();
    if (changed) hub.edited(c_);
    QDialog::accept();
}

void QuickInputDialog::reject() {
    std::string error;
    if (!backup_.restore(ctx_.hub.song(), error)) ctx_.prompt.warning(edittext::kWarning, error);
    QDialog::reject();
}

// --- phrase and word selection ---------------------------------------------------------------

PhraseWordDialog::PhraseWordDialog(AppContext& ctx, int c, bool choose, QWidget* parent)
    : QDialog(parent), ctx_(ctx), c_(c) {
    setWindowTitle(choose ? tr("ﾌﾚｰｽﾞ・ﾜｰﾄﾞの選択") : tr("ﾌﾚｰｽﾞ･ﾜｰﾄﾞ一覧"));
    auto* v = new QVBoxLayout(this);
    auto* which = new QHBoxLayout();
    current_ = new QRadioButton(tr("現在のﾁｬﾝﾈﾙ"), this);
    all_ = new QRadioButton(tr("すべてのﾁｬﾝﾈﾙ"), this);
    current_->setChecked(true);
    which->addWidget(current_);
    which->addWidget(all_);
    which->addStretch(1);
    v->addLayout(which);
    list_ = new QListWidget(this);
    list_->setAlternatingRowColors(true);
    list_->setMinimumSize(460, 260);
    v->addWidget(list_, 1);
    auto* b = new QDialogButtonBox(this);
    if (choose) {
        b->addButton(tr("選択(&S)"), QDialogButtonBox::AcceptRole);
        b->addButton(tr("ｷｬﾝｾﾙ"), QDialogButtonBox::RejectRole);
    } else {
        b->addButton(tr("閉じる"), QDialogButtonBox::RejectRole);
    }
    connect(b, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(b, &QDialogButtonBox::rejected, this, &QDialog::reject);
    v->addWidget(b);
    connect(all_, &QRadioButton::toggled, this, [this](bool on) { setAllChannels(on); });
    if (choose) connect(list_, &QListWidget::itemDoubleClicked, this, [this] { accept(); });
    setAllChannels(false);
}

void PhraseWordDialog::setAllChannels(bool all) {
    all_->setChecked(all);
    words_ = kantor::phraseWordList(ctx_.hub.song(), ctx_.hub.voices(), all ? -1 : c_);
    list_->clear();
    for (const PhraseWords& w : words_) {
        QString text = q(w.romaji) + "\n" + q(w.kana);
        if (all) text = QString("%1: ").arg(w.channel + 1) + text;
        auto* item = new QListWidgetItem(text, list_);
        // Both lines in view: the romaji and, below it, the kana.
        item->setSizeHint(QSize(list_->fontMetrics().horizontalAdvance(text.section('\n', 0, 0)) + 16,
                                2 * list_->fontMetrics().lineSpacing() + 8));
    }
}

void PhraseWordDialog::accept() {
    const int row = list_->currentRow();
    if (row < 0 || static_cast<std::size_t>(row) >= words_.size() || !list_->currentItem()->isSelected()) {
        ctx_.prompt.warning(edittext::kWarning, edittext::kChooseLine);
        return;
    }
    chosen_ = words_[static_cast<std::size_t>(row)];
    QDialog::accept();
}

}  // namespace kantor::app
