#include "app/SyncCorrectionDialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QRadioButton>
#include <QVBoxLayout>

#include "base/Translation.h"
#include "platform/EngineWave.h"
#include "settings/SoundSettings.h"

namespace kantor::app {

namespace {
// A text of the core, in the chosen language.
QString shown(std::string_view text) { return QString::fromStdString(translated(text)); }
}  // namespace

SyncCorrectionDialog::SyncCorrectionDialog(AppContext& ctx, QWidget* parent) : QDialog(parent), ctx_(ctx) {
    setWindowTitle(shown(SyncCorrection::kWindowTitle));
    Hub& hub = ctx_.hub;
    hub.stop();  // the test pattern plays on the same synthesizer
    // Devices of its own: they stay alive when the hub lets its own go (exit, a new MIDI output).
    if ((devices_ = hub.devices())) {
        stream_ = devices_->makeStream();
        waveOut_ = devices_->makeWaveOut();
    }
    if (stream_ && waveOut_) {
        model_ = std::make_unique<SyncCorrection>(*stream_, *waveOut_, ctx_.prompt, SyncSounds::make(hub.voices()),
                                                  &devices_->queue());
    }

    auto* v = new QVBoxLayout(this);
    auto* row = new QHBoxLayout();
    row->addWidget(new QLabel(shown(SyncCorrection::kDelayLabel), this));
    value_ = new QLabel(this);
    value_->setObjectName("value");
    value_->setFrameShape(QFrame::Panel);
    value_->setFrameShadow(QFrame::Sunken);
    value_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    value_->setMinimumWidth(value_->fontMetrics().horizontalAdvance("-500  msec") + 14);
    row->addWidget(value_);
    spin_ = new UpDownSpin(this);
    spin_->setRange(SyncCorrection::kMaxCorrection - SyncCorrection::kMinCorrection);
    row->addWidget(spin_);
    row->addStretch(1);
    v->addLayout(row);

    auto group = [&](const char* title, auto names, QButtonGroup*& g) {
        auto* box = new QGroupBox(title, this);
        auto* l = new QVBoxLayout(box);
        g = new QButtonGroup(this);
        int id = 0;
        for (const char* n : names) {
            auto* r = new QRadioButton(n, box);
            g->addButton(r, id++);
            l->addWidget(r);
        }
        l->addStretch(1);
        g->button(0)->setChecked(true);
        return box;
    };
    auto* sounds = new QHBoxLayout();
    sounds->addWidget(group("Midi", SyncCorrection::kMidiSoundNames, midiSound_));
    sounds->addWidget(group("Wave", SyncCorrection::kWaveSoundNames, waveSound_));
    v->addLayout(sounds);

    auto* buttons = new QHBoxLayout();
    play_ = new QPushButton("Play", this);
    stop_ = new QPushButton("Stop", this);
    buttons->addWidget(play_);
    buttons->addWidget(stop_);
    buttons->addStretch(1);
    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    box->button(QDialogButtonBox::Cancel)->setText(tr("ｷｬﾝｾﾙ"));
    buttons->addWidget(box);
    v->addLayout(buttons);

    connect(play_, &QPushButton::clicked, this, &SyncCorrectionDialog::play);
    connect(stop_, &QPushButton::clicked, this, &SyncCorrectionDialog::stopPattern);
    connect(box, &QDialogButtonBox::accepted, this, &SyncCorrectionDialog::accept);
    connect(box, &QDialogButtonBox::rejected, this, &SyncCorrectionDialog::reject);
    connect(spin_, &UpDownSpin::moved, this, [this](int p) {
        const int32_t want = p + SyncCorrection::kMinCorrection;
        step(want - (model_ ? model_->correction() : 0));
    });
    // The pattern ends by itself: the Play button follows the devices' notifications.
    follow_.setInterval(100);
    connect(&follow_, &QTimer::timeout, this, &SyncCorrectionDialog::follow);

    if (model_) {
        model_->open(hub.settings().soundSettings());
        value_->setText(QString::fromStdString(model_->valueText()));
        spin_->setValue(model_->correction() - SyncCorrection::kMinCorrection);
    } else {
        const int32_t c = hub.settings().midiDelayCorrection();
        value_->setText(QString::fromStdString(SyncCorrection::openingText(c)));
        spin_->setValue(c - SyncCorrection::kMinCorrection);
        play_->setEnabled(false);
        stop_->setEnabled(false);
        spin_->setEnabled(false);
    }
    adjustSize();
}

SyncCorrectionDialog::~SyncCorrectionDialog() { finish(); }

void SyncCorrectionDialog::finish() {
    if (finished_) return;
    finished_ = true;
    follow_.stop();
    if (model_) model_->close();
    model_.reset();
    waveOut_.reset();
    stream_.reset();
}

void SyncCorrectionDialog::step(int delta) {
    if (!model_ || delta == 0) return;
    model_->spin(model_->correction(), delta);
    value_->setText(QString::fromStdString(model_->valueText()));
    spin_->setValue(model_->correction() - SyncCorrection::kMinCorrection);
}

void SyncCorrectionDialog::play() {
    if (!model_) return;
    model_->play(midiSound_->checkedId(), waveSound_->checkedId());
    follow();
    follow_.start();
}

void SyncCorrectionDialog::stopPattern() {
    if (!model_) return;
    model_->stop();
    follow();
}

void SyncCorrectionDialog::follow() {
    if (!model_) return;
    play_->setEnabled(model_->playEnabled());
    if (model_->playEnabled() && !model_->waveMode()) follow_.stop();
}

void SyncCorrectionDialog::accept() {
    if (model_) {
        SoundSettings s = ctx_.hub.settings().soundSettings();
        model_->accept(s);
        ctx_.hub.settings().setSoundSettings(s);
        ctx_.hub.applySoundSettings();
    }
    finish();
    QDialog::accept();
}

void SyncCorrectionDialog::reject() {
    finish();
    QDialog::reject();
}

}  // namespace kantor::app
