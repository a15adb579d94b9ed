#include "app/RecordingWindow.h"

#include "voicemaker/PitchNames.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>
#include <algorithm>

#include "app/MidiInstrumentDialog.h"
#include "midi/GmInstruments.h"

namespace kantor::app {
namespace {
QString q(const std::string& s) { return QString::fromStdString(s); }
}  // namespace

RecordingWindow::RecordingWindow(AppContext& ctx, VoiceProject& project, QWidget* parent)
    : QDialog(parent), ctx_(ctx), project_(project) {
    setWindowTitle(tr("レコーディング"));
    ctx_.hub.stop();
    // Devices of its own: they stay alive when the hub lets its own go (exit, a new MIDI output).
    if ((devices_ = ctx_.hub.devices())) {
        stream_ = devices_->makeStream();
        waveIn_ = devices_->makeWaveIn();
        waveOut_ = devices_->makeWaveOut();
        if (stream_ && waveIn_ && waveOut_) {
            run_ = std::make_unique<RecordingRun>(project_, *stream_, *waveIn_, *waveOut_, ctx_.prompt,
                                                  &devices_->queue());
            run_->setGuideInstrument(ctx_.hub.settings().soundSettings().guideInstrument());
            if (!run_->allocate()) ctx_.prompt.notice("Error", run_->takeError());
        }
    }

    auto* h = new QHBoxLayout(this);
    list_ = new QListWidget(this);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    QFont mono("Monospace");
    mono.setStyleHint(QFont::TypeWriter);
    list_->setFont(mono);
    list_->setMinimumWidth(QFontMetrics(mono).horizontalAdvance(QString(52, 'M')));
    list_->setMinimumHeight(QFontMetrics(mono).height() * 14);
    h->addWidget(list_, 1);

    auto* side = new QVBoxLayout();
    auto button = [&](const QString& text) {
        auto* b = new QPushButton(text, this);
        side->addWidget(b);
        return b;
    };
    all_ = button(tr("すべて選択"));
    reverse_ = button(tr("逆順"));
    auto* moves = new QHBoxLayout();
    up_ = new QPushButton("↑", this);
    down_ = new QPushButton("↓", this);
    moves->addWidget(up_);
    moves->addWidget(down_);
    side->addLayout(moves);
    side->addSpacing(8);
    auto* guide = button(tr("ｶﾞｲﾄﾞ設定"));
    side->addSpacing(8);
    side->addWidget(new QLabel(tr("入力ﾃﾞﾊﾞｲｽ"), this));
    input_ = new QComboBox(this);
    input_->addItem(tr("既定の入力ﾃﾞﾊﾞｲｽ"));
    if (devices_) {
        AudioEngine& engine = devices_->engine();
        for (const std::string& name : engine.inputDeviceNames()) input_->addItem(q(name));
        if (!engine.inputDevice().empty()) input_->setCurrentText(q(engine.inputDevice()));
    }
    input_->setEnabled(input_->count() > 1);
    side->addWidget(input_);
    side->addWidget(new QLabel(tr("入力ﾚﾍﾞﾙ"), this));
    meter_ = new QProgressBar(this);
    meter_->setRange(0, 100);
    meter_->setTextVisible(false);
    meter_->setMaximumHeight(14);
    side->addWidget(meter_);
    status_ = new QLabel(this);
    status_->setWordWrap(true);
    status_->setMinimumWidth(fontMetrics().horizontalAdvance(tr("ｶﾞｲﾄﾞ: %1").arg("Acoustic Grand Piano")) + 8);
    side->addWidget(status_);
    side->addStretch(1);
    rec_ = button("Rec.");
    play_ = button("Play");
    stop_ = button("Stop");
    side->addSpacing(8);
    auto* close = button(tr("閉じる"));
    h->addLayout(side);

    connect(input_, &QComboBox::activated, this, [this](int index) {
        if (!devices_) return;
        const std::string name = index <= 0 ? std::string() : input_->itemText(index).toStdString();
        if (!devices_->engine().setInputDevice(name)) {
            ctx_.prompt.notice("Error", tr("ウェーブ入力デバイスを開けません。").toStdString());
            const std::string now = devices_->engine().inputDevice();
            input_->setCurrentIndex(now.empty() ? 0 : std::max(0, input_->findText(q(now))));
        }
    });
    connect(all_, &QPushButton::clicked, this, &RecordingWindow::selectAll);
    connect(reverse_, &QPushButton::clicked, this, &RecordingWindow::reverse);
    connect(up_, &QPushButton::clicked, this, [this] { moveSelected(-1); });
    connect(down_, &QPushButton::clicked, this, [this] { moveSelected(+1); });
    connect(guide, &QPushButton::clicked, this, &RecordingWindow::chooseGuide);
    connect(rec_, &QPushButton::clicked, this, &RecordingWindow::record);
    connect(play_, &QPushButton::clicked, this, &RecordingWindow::play);
    connect(stop_, &QPushButton::clicked, this, &RecordingWindow::stop);
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    follow_.setInterval(50);
    connect(&follow_, &QTimer::timeout, this, &RecordingWindow::follow);

    for (std::size_t i = 0; i < project_.items.size(); ++i) order_.push_back(static_cast<int>(i));
    fill();
    enableButtons();
    status_->setText(run_ ? tr("ｶﾞｲﾄﾞ: %1").arg(kGmInstrumentNames[run_->guideInstrument() & 0x7F])
                          : tr("ｻｳﾝﾄﾞﾃﾞﾊﾞｲｽがありません。"));
}

RecordingWindow::~RecordingWindow() { finish(); }

void RecordingWindow::finish() {
    if (finished_) return;
    finished_ = true;
    follow_.stop();
    if (run_) run_->stop();
    run_.reset();
    waveIn_.reset();
    waveOut_.reset();
    stream_.reset();
}

void RecordingWindow::closeEvent(QCloseEvent* e) {
    if (run_) run_->stop();
    follow();
    QDialog::closeEvent(e);
}

void RecordingWindow::fill() {
    std::vector<bool> selected(order_.size(), false);
    for (int r = 0; r < list_->count() && r < int(order_.size()); ++r) selected[std::size_t(r)] = list_->item(r)->isSelected();
    list_->clear();
    for (std::size_t r = 0; r < order_.size(); ++r) {
        const auto& item = project_.items[std::size_t(order_[r])];
        list_->addItem(q(item ? shownPitchText(item->listLine()) : std::string()));
        list_->item(int(r))->setSelected(selected[r]);
    }
}

std::vector<int> RecordingWindow::selectedLines() const {
    std::vector<int> lines;
    for (int r = 0; r < list_->count(); ++r)
        if (list_->item(r)->isSelected()) lines.push_back(order_[std::size_t(r)]);
    return lines;
}

void RecordingWindow::selectAll() { list_->selectAll(); }

void RecordingWindow::reverse() {
    std::vector<bool> selected;
    for (int r = 0; r < list_->count(); ++r) selected.push_back(list_->item(r)->isSelected());
    std::reverse(order_.begin(), order_.end());
    std::reverse(selected.begin(), selected.end());
    fill();
    for (int r = 0; r < list_->count(); ++r) list_->item(r)->setSelected(selected[std::size_t(r)]);
}

void RecordingWindow::moveSelected(int direction) {
    std::vector<bool> selected;
    for (int r = 0; r < list_->count(); ++r) selected.push_back(list_->item(r)->isSelected());
    const int n = int(order_.size());
    auto swapRows = [&](int a, int b) {
        std::swap(order_[std::size_t(a)], order_[std::size_t(b)]);
        const bool t = selected[std::size_t(a)];
        selected[std::size_t(a)] = selected[std::size_t(b)];
        selected[std::size_t(b)] = t;
    };
    if (direction < 0) {
        for (int r = 1; r < n; ++r)
            if (selected[std::size_t(r)] && !selected[std::size_t(r - 1)]) swapRows(r, r - 1);
    } else {
        for (int r = n - 2; r >= 0; --r)
            if (selected[std::size_t(r)] && !selected[std::size_t(r + 1)]) swapRows(r, r + 1);
    }
    fill();
    for (int r = 0; r < list_->count(); ++r) list_->item(r)->setSelected(selected[std::size_t(r)]);
}

void RecordingWindow::chooseGuide() {
    MidiInstrumentDialog d(ctx_.hub.settings().soundSettings().guideInstrument(), this);
    if (d.exec() != QDialog::Accepted) return;
    SoundSettings s = ctx_.hub.settings().soundSettings();
    s.setGuideInstrument(d.program());
    ctx_.hub.settings().setSoundSettings(s);
    if (run_) run_->setGuideInstrument(d.program());
    status_->setText(tr("ｶﾞｲﾄﾞ: %1").arg(kGmInstrumentNames[d.program() & 0x7F]));
}

void RecordingWindow::record() {
    if (!run_ || run_->running()) return;
    const std::vector<int> lines = selectedLines();
    if (!run_->record(lines)) {
        const std::string e = run_->takeError();
        if (!e.empty()) ctx_.prompt.notice("Error", e);
        return;
    }
    list_->clearSelection();
    lastLine_ = -1;
    follow_.start();
    follow();
}

void RecordingWindow::play() {
    if (!run_ || run_->running()) return;
    if (!run_->play(selectedLines())) {
        const std::string e = run_->takeError();
        if (!e.empty()) ctx_.prompt.notice("Error", e);
        return;
    }
    list_->clearSelection();
    lastLine_ = -1;
    follow_.start();
    follow();
}

void RecordingWindow::stop() {
    if (run_) run_->stop();
    follow();
}

void RecordingWindow::enableButtons() {
    const bool idle = !run_ || !run_->running();
    for (QPushButton* b : {all_, reverse_, up_, down_}) b->setEnabled(idle);
    rec_->setEnabled(run_ && idle);
    play_->setEnabled(run_ && idle);
    stop_->setEnabled(run_ && !idle);
    input_->setEnabled(idle && input_->count() > 1);
}

void RecordingWindow::follow() {
    if (!run_) return;
    for (int changed = run_->takeChangedLine(); changed >= 0; changed = run_->takeChangedLine()) {
        for (std::size_t r = 0; r < order_.size(); ++r)
            if (order_[r] == changed) list_->item(int(r))->setText(q(shownPitchText(project_.items[std::size_t(changed)]->listLine())));
        emit itemsChanged();
    }
    const int line = run_->currentLine();
    if (line != lastLine_) {
        for (std::size_t r = 0; r < order_.size(); ++r) {
            const bool current = order_[r] == line;
            list_->item(int(r))->setSelected(current);
            if (current) list_->scrollToItem(list_->item(int(r)));
        }
        lastLine_ = line;
    }
    const std::string e = run_->takeError();
    if (!e.empty()) ctx_.prompt.notice("Error", e);
    const int peak = run_->inputPeak();
    meter_->setValue(peak * 100 / 32767);
    if (run_->running()) {
        const QString what = run_->mode() == RecordingRun::Mode::Record ? tr("録音中") : tr("再生中");
        status_->setText(tr("%1  %2 byte").arg(what).arg(run_->recordedBytes()));
    } else if (follow_.isActive()) {
        follow_.stop();
        meter_->setValue(0);
        status_->setText(tr("ｶﾞｲﾄﾞ: %1").arg(kGmInstrumentNames[run_->guideInstrument() & 0x7F]));
    }
    enableButtons();
}

}  // namespace kantor::app
