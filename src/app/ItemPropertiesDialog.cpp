#include "app/ItemPropertiesDialog.h"

#include "voicemaker/PitchNames.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/MidiInstrumentDialog.h"
#include "voicemaker/AutoMarker.h"

namespace kantor::app {
namespace {

constexpr const char* kNames[4] = {"A", "B", "C", "D"};
constexpr int kZoomHalf = 1500;  // samples each side of a zoomed marker

QString q(const std::string& s) { return QString::fromStdString(s); }

MarkerId idOf(int i) { return static_cast<MarkerId>(i); }

int stepOf(const QComboBox* c) { return c->currentText().toInt(); }

}  // namespace

ItemPropertiesDialog::ItemPropertiesDialog(AppContext& ctx, VoiceProject& project, int line, QWidget* parent)
    : QDialog(parent),
      ctx_(ctx),
      project_(project),
      item_(*project.items.at(static_cast<std::size_t>(line))),
      markers_(markersForEditing(item_)),
      sampleCount_(item_.sampleCount()) {
    setWindowTitle(q("Properties :: " + shownPitchText(item_.listLine(false))));
    if ((devices_ = ctx_.hub.devices())) {
        stream_ = devices_->makeStream();
        waveOut_ = devices_->makeWaveOut();
        if (stream_ && waveOut_) player_ = std::make_unique<PerformancePlayer>(*stream_, *waveOut_, &devices_->queue());
    }
    const std::vector<int16_t> samples = item_.data.samples();

    auto* v = new QVBoxLayout(this);
    whole_ = new WaveformView(this);
    whole_->setObjectName("whole");
    whole_->setSamples(samples);
    whole_->setRange(0, kMarkerRange);
    whole_->setMinimumHeight(120);
    v->addWidget(whole_, 2);

    auto* sliders = new QGridLayout();
    for (int i = 0; i < 4; ++i) {
        auto* s = new QSlider(Qt::Horizontal, this);
        s->setRange(0, int(kMarkerRange));
        s->setPageStep(441);
        sliders_[std::size_t(i)] = s;
        values_[std::size_t(i)] = new QLabel(this);
        values_[std::size_t(i)]->setMinimumWidth(fontMetrics().horizontalAdvance("D = 88200") + 8);
        sliders->addWidget(new QLabel(QString("%1:").arg(kNames[i]), this), i, 0);
        sliders->addWidget(s, i, 1);
        sliders->addWidget(values_[std::size_t(i)], i, 2);
        connect(s, &QSlider::valueChanged, this, [this, i](int value) {
            if (!updating_) moveTo(idOf(i), value);
        });
    }
    v->addLayout(sliders);

    // The zoomed pair with its fine-adjust buttons.
    auto* zoom = new QGridLayout();
    auto stepper = [this](bool right) {
        auto* w = new QWidget(this);
        auto* l = new QVBoxLayout(w);
        l->setContentsMargins(0, 0, 0, 0);
        l->setSpacing(1);
        auto* up = new QToolButton(w);
        up->setArrowType(Qt::UpArrow);
        auto* down = new QToolButton(w);
        down->setArrowType(Qt::DownArrow);
        l->addWidget(up);
        l->addWidget(down);
        auto id = [this, right] { return zoomCD_ ? (right ? MarkerId::D : MarkerId::C) : (right ? MarkerId::B : MarkerId::A); };
        connect(up, &QToolButton::clicked, this, [this, id] { step(id(), +1); });
        connect(down, &QToolButton::clicked, this, [this, id] { step(id(), -1); });
        return w;
    };
    auto stepChoice = [this] {
        auto* c = new QComboBox(this);
        c->addItems({"100", "10", "1"});
        c->setCurrentIndex(1);
        return c;
    };
    zoomLeft_ = new WaveformView(this);
    zoomRight_ = new WaveformView(this);
    for (WaveformView* z : {zoomLeft_, zoomRight_}) {
        z->setSamples(samples);
        z->setAutoScale(true);
    }
    zoomLeftText_ = new QLabel(this);
    zoomRightText_ = new QLabel(this);
    leftStep_ = stepChoice();
    rightStep_ = stepChoice();
    zoom->addWidget(zoomLeftText_, 0, 0, 1, 3);
    zoom->addWidget(zoomRightText_, 0, 3, 1, 3);
    zoom->addWidget(zoomLeft_, 1, 0, 2, 1);
    zoom->addWidget(stepper(false), 1, 1);
    zoom->addWidget(leftStep_, 2, 1);
    zoom->addWidget(zoomRight_, 1, 3, 2, 1);
    zoom->addWidget(stepper(true), 1, 4);
    zoom->addWidget(rightStep_, 2, 4);
    zoom->setColumnStretch(0, 1);
    zoom->setColumnStretch(3, 1);
    v->addLayout(zoom, 1);

    auto* distances = new QHBoxLayout();
    abText_ = new QLabel(this);
    cdText_ = new QLabel(this);
    distances->addWidget(abText_);
    distances->addSpacing(20);
    distances->addWidget(cdText_);
    distances->addStretch(1);
    auto* autoButton = new QPushButton("Auto", this);
    autoButton->setToolTip(tr("ﾏｰｶｰを自動で置きます"));
    connect(autoButton, &QPushButton::clicked, this, [this] { autoMarkers(); });
    distances->addWidget(autoButton);
    v->addLayout(distances);

    auto* lower = new QHBoxLayout();
    auto* level = new QGroupBox("Level", this);
    auto* ll = new QVBoxLayout(level);
    normalize_ = new QCheckBox("Normalize", level);
    normalize_->setChecked(item_.normalize == 1);
    auto* vr = new QHBoxLayout();
    vr->addWidget(new QLabel(tr("Volume(%)： "), level));
    volume_ = new QSpinBox(level);
    volume_->setRange(0, 300);
    volume_->setValue(item_.volume);
    vr->addWidget(volume_);
    ll->addWidget(normalize_);
    ll->addLayout(vr);
    ll->addStretch(1);
    volume_->setEnabled(!normalize_->isChecked());
    connect(normalize_, &QCheckBox::toggled, this, [this](bool on) { volume_->setEnabled(!on); });
    lower->addWidget(level);

    auto* test = new QGroupBox("Test", this);
    auto* tg = new QGridLayout(test);
    times_ = new QComboBox(test);
    for (int t : kPreviewTimes) times_->addItem(QString::number(t));
    transpose_ = new QComboBox(test);
    for (const char* n : kTransposeNames) transpose_->addItem(n);
    length_ = new QComboBox(test);
    for (const auto& l : kPreviewLengths) length_->addItem(l.name);
    length_->setCurrentIndex(kDefaultPreviewLength);
    instrument_ = new QCheckBox("Instrument", test);
    instrument_->setChecked(true);
    drum_ = new QCheckBox("Drum", test);
    drum_->setChecked(true);
    drumKind_ = new QComboBox(test);
    for (const char* n : kPreviewDrumNames) drumKind_->addItem(n);
    drumKind_->setCurrentIndex(2);
    auto* inst = new QPushButton("Inst.", test);
    play_ = new QPushButton("Play", test);
    auto* stop = new QPushButton("Stop", test);
    tg->addWidget(new QLabel("times", test), 0, 0);
    tg->addWidget(times_, 0, 1);
    tg->addWidget(new QLabel("transpose", test), 1, 0);
    tg->addWidget(transpose_, 1, 1);
    tg->addWidget(new QLabel("length", test), 2, 0);
    tg->addWidget(length_, 2, 1);
    tg->addWidget(instrument_, 0, 2);
    tg->addWidget(inst, 0, 3);
    tg->addWidget(drum_, 1, 2);
    tg->addWidget(drumKind_, 1, 3);
    tg->addWidget(play_, 2, 2);
    tg->addWidget(stop, 2, 3);
    lower->addWidget(test, 1);
    v->addLayout(lower);
    connect(inst, &QPushButton::clicked, this, [this] {
        MidiInstrumentDialog d(ctx_.hub.settings().soundSettings().guideInstrument(), this);
        if (d.exec() != QDialog::Accepted) return;
        SoundSettings s = ctx_.hub.settings().soundSettings();
        s.setGuideInstrument(d.program());
        ctx_.hub.settings().setSoundSettings(s);
    });
    connect(play_, &QPushButton::clicked, this, &ItemPropertiesDialog::preview);
    connect(stop, &QPushButton::clicked, this, &ItemPropertiesDialog::stopPreview);
    if (!player_) {
        play_->setEnabled(false);
        stop->setEnabled(false);
    }

    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    box->button(QDialogButtonBox::Cancel)->setText(tr("ｷｬﾝｾﾙ"));
    connect(box, &QDialogButtonBox::accepted, this, &ItemPropertiesDialog::accept);
    connect(box, &QDialogButtonBox::rejected, this, &ItemPropertiesDialog::reject);
    v->addWidget(box);

    follow_.setInterval(100);
    connect(&follow_, &QTimer::timeout, this, &ItemPropertiesDialog::follow);
    showMarkers();
    resize(640, 560);
}

ItemPropertiesDialog::~ItemPropertiesDialog() { finish(); }

void ItemPropertiesDialog::finish() {
    if (finished_) return;
    finished_ = true;
    follow_.stop();
    player_.reset();
    waveOut_.reset();
    stream_.reset();
}

void ItemPropertiesDialog::moveTo(MarkerId id, int64_t value) {
    moveMarker(markers_, id, value, sampleCount_);
    zoomCD_ = id == MarkerId::C || id == MarkerId::D;
    showMarkers();
}

void ItemPropertiesDialog::step(MarkerId id, int direction) {
    const bool right = id == MarkerId::B || id == MarkerId::D;
    stepMarker(markers_, id, int64_t(direction) * stepOf(right ? rightStep_ : leftStep_), sampleCount_);
    zoomCD_ = id == MarkerId::C || id == MarkerId::D;
    showMarkers();
}

bool ItemPropertiesDialog::autoMarkers() {
    VoiceItem probe;
    probe.data = item_.data;
    probe.pitchNumber = item_.pitchNumber;
    std::string why;
    if (!autoMark(probe, &why)) {
        ctx_.prompt.notice("Error", why);
        return false;
    }
    markers_ = probe.markers();
    showMarkers();
    return true;
}

void ItemPropertiesDialog::showMarkers() {
    updating_ = true;
    const uint32_t m[4] = {markers_.a, markers_.b, markers_.c, markers_.d};
    for (int i = 0; i < 4; ++i) {
        sliders_[std::size_t(i)]->setValue(int(m[i]));
        values_[std::size_t(i)]->setText(QString::asprintf("%s = %d", kNames[i], int(m[i])));
    }
    updating_ = false;
    whole_->setMarkers(markers_);
    const int l = zoomCD_ ? 2 : 0;
    for (int k = 0; k < 2; ++k) {
        WaveformView* z = k == 0 ? zoomLeft_ : zoomRight_;
        z->setMarkers(markers_);
        z->setRange(int64_t(m[l + k]) - kZoomHalf, int64_t(m[l + k]) + kZoomHalf);
        (k == 0 ? zoomLeftText_ : zoomRightText_)->setText(QString::asprintf(" %s : %d", kNames[l + k], int(m[l + k])));
    }
    const auto ms = [](int64_t n) { return int((n * 1000 + 22050) / 44100); };
    const int64_t ab = int64_t(markers_.b) - markers_.a, cd = int64_t(markers_.d) - markers_.c;
    abText_->setText(QString::asprintf("A-B = %d (%dms)", int(ab), ms(ab)));
    cdText_->setText(QString::asprintf("C-D = %d (%dms)", int(cd), ms(cd)));
}

void ItemPropertiesDialog::preview() {
    if (!player_ || !markersWithinData(markers_, sampleCount_)) return;
    ctx_.hub.stop();
    VoiceItem probe;
    probe.data = item_.data;
    probe.code = item_.code;
    probe.notation = item_.notation;
    probe.pitchNumber = item_.pitchNumber;
    probe.setMarkers(markers_);
    probe.normalize = normalize_->isChecked() ? 1 : 0;
    probe.volume = static_cast<uint16_t>(volume_->value());
    MakerSound sound;
    Performance p;
    const int times = kPreviewTimes[std::size_t(std::max(0, times_->currentIndex()))];
    if (!sound.preview(probe, project_.tuning, times, static_cast<Transpose>(transpose_->currentIndex()),
                       length_->currentIndex(), ctx_.hub.playbackDelayCorrection(), p)) {
        ctx_.prompt.notice("Error", sound.lastError());
        return;
    }
    const int drum = drum_->isChecked() ? drumKind_->currentIndex() : -1;
    const int program = instrument_->isChecked() ? ctx_.hub.settings().soundSettings().guideInstrument() : -1;
    if (!player_->play(std::move(p), drum, program)) {
        ctx_.prompt.notice("Error", player_->lastError());
        return;
    }
    follow_.start();
    follow();
}

void ItemPropertiesDialog::stopPreview() {
    if (player_) player_->stop();
    follow();
}

void ItemPropertiesDialog::follow() {
    if (!player_) return;
    const std::string e = player_->takeError();
    if (!e.empty()) ctx_.prompt.notice("Error", e);
    play_->setEnabled(!player_->isPlaying());
    if (!player_->isPlaying()) follow_.stop();
}

void ItemPropertiesDialog::accept() {
    // Markers past the data cannot be cut into a sample: the window stays open.
    if (!markersWithinData(markers_, sampleCount_)) return;
    item_.setMarkers(markers_);
    item_.normalize = normalize_->isChecked() ? 1 : 0;
    item_.volume = static_cast<uint16_t>(volume_->value());
    project_.markItemsEdited();
    finish();
    QDialog::accept();
}

void ItemPropertiesDialog::reject() {
    finish();
    QDialog::reject();
}

}  // namespace kantor::app
