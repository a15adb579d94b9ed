#include "app/WaveVolumeWindow.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QLabel>
#include <QSignalBlocker>

#include "app/WindowPlacement.h"

namespace kantor::app {

WaveVolumeWindow::WaveVolumeWindow(AppContext& ctx, QWidget* parent) : QWidget(parent, Qt::Window), ctx_(ctx) {
    setWindowTitle("Wave Volume");
    setAttribute(Qt::WA_DeleteOnClose);
    Hub& hub = ctx_.hub;
    model_ = std::make_unique<WaveVolume>(hub.settings(), hub.waveVolumeControls(),
                                          [&hub](uint16_t l, uint16_t r) { hub.setWaveVolume(l, r); });
    auto* g = new QGridLayout(this);
    auto make = [this](int value) {
        auto* s = new QSlider(Qt::Vertical, this);
        s->setRange(0, WaveVolume::kSliderMax);
        s->setTickPosition(QSlider::TicksBothSides);
        s->setTickInterval(8192);
        s->setSingleStep(1024);
        s->setPageStep(8192);
        s->setMinimumHeight(160);
        // The slider shows the volume itself (full at the top); the model counts positions
        // from the top, as the volume's complement.
        s->setValue(WaveVolume::kSliderMax - value);
        return s;
    };
    left_ = make(model_->leftSlider());
    right_ = make(model_->rightSlider());
    g->addWidget(left_, 0, 0, Qt::AlignHCenter);
    g->addWidget(right_, 0, 1, Qt::AlignHCenter);
    g->addWidget(new QLabel("L", this), 1, 0, Qt::AlignHCenter);
    g->addWidget(new QLabel("R", this), 1, 1, Qt::AlignHCenter);
    sync_ = new QCheckBox("LRSync", this);
    sync_->setChecked(model_->sync());
    sync_->setEnabled(model_->syncChangeable());
    g->addWidget(sync_, 2, 0, 1, 2, Qt::AlignHCenter);
    connect(left_, &QSlider::valueChanged, this, [this](int v) {
        if (model_->moveLeft(WaveVolume::kSliderMax - v)) follow();
    });
    connect(right_, &QSlider::valueChanged, this, [this](int v) {
        if (model_->moveRight(WaveVolume::kSliderMax - v)) follow();
    });
    connect(sync_, &QCheckBox::toggled, this, [this](bool on) {
        model_->setSync(on);
        sync_->setChecked(model_->sync());
    });
    setMinimumWidth(170);
    adjustSize();
    restorePlacement(this, hub.settings(), WindowKind::WaveVolume, 0, false, DefaultPlace::Centred);
}

void WaveVolumeWindow::follow() {
    const QSignalBlocker bl(left_), br(right_);
    left_->setValue(WaveVolume::kSliderMax - model_->leftSlider());
    right_->setValue(WaveVolume::kSliderMax - model_->rightSlider());
}

void WaveVolumeWindow::closeEvent(QCloseEvent* e) {
    storePlacement(this, ctx_.hub.settings(), WindowKind::WaveVolume);
    model_->close();
    e->accept();
}

}  // namespace kantor::app
