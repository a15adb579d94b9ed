#include "app/WaveInsertWindow.h"
#include "app/PositionListView.h"

#include <QCloseEvent>
#include <algorithm>
#include <memory>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "app/WindowPlacement.h"
#include "base/FileIO.h"
#include "base/Translation.h"
#include "sound/SoundFormat.h"

namespace kantor::app {

namespace {
QString q(const std::string& s) { return QString::fromStdString(s); }
}  // namespace

WaveInsertWindow::WaveInsertWindow(AppContext& ctx, QWidget* parent) : QWidget(parent, Qt::Window), ctx_(ctx) {
    setWindowTitle(tr("Waveﾌｧｲﾙの挿入"));
    setAttribute(Qt::WA_DeleteOnClose);
    const QFont font = positionWindowFont(this->font());
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(6, 6, 6, 6);
    v->setSpacing(4);
    auto* top = new QHBoxLayout();
    position_ = makePositionLabel(this, font);
    spin_ = new UpDownSpin(this);
    auto* insert = new QPushButton(tr("Waveﾌｧｲﾙ(&W)"), this);
    auto* remove = new QPushButton(tr("取消(&C)"), this);
    insert->setObjectName("insert");
    remove->setObjectName("remove");
    top->addWidget(position_);
    top->addWidget(spin_);
    top->addStretch(1);
    top->addWidget(insert);
    top->addWidget(remove);
    v->addLayout(top);
    list_ = new PositionListView(this);
    list_->setFont(font);
    v->addWidget(list_, 1);
    connect(insert, &QPushButton::clicked, this, [this] { insertFile(); });
    connect(remove, &QPushButton::clicked, this, [this] { removeEntry(); });
    connect(spin_, &UpDownSpin::moved, this, [this](int tick) { moveTo(static_cast<uint32_t>(tick), true); });
    connect(list_, &PositionListView::rowClicked, this, [this](int i) { selectRow(i); });
    ctx_.hub.addListener(this);
    loadState();
    resize(sizeHint());
    restorePlacement(this, ctx_.hub.settings(), WindowKind::WaveInsert, 0, true, DefaultPlace::Centred);
    // The files are checked once the window is up, as it opens.
    QMetaObject::invokeMethod(this, [this] { checkFiles(); }, Qt::QueuedConnection);
}

WaveInsertWindow::~WaveInsertWindow() { ctx_.hub.removeListener(this); }

uint16_t WaveInsertWindow::outputBits() const {
    uint32_t packed = kMono16, rate = kRate44100;
    decodeSampleFormatCode(ctx_.hub.settings().outputQualityCode(), packed, rate);
    return formatBits(packed);
}

void WaveInsertWindow::refreshList() {
    std::vector<PositionListView::Row> rows;
    for (const auto& w : ctx_.hub.song().waveInserts())
        rows.push_back(w ? PositionListView::Row{q(ctx_.hub.positionText(w->position)), q(w->name)}
                         : PositionListView::Row{});
    list_->setRows(std::move(rows));
}

void WaveInsertWindow::loadState() {
    Hub& hub = ctx_.hub;
    steps_ = hub.hasMidi() ? WaveSteps::of(hub.tempoMap()) : WaveSteps{};
    current_ = steps_.step == 0 ? 0 : steps_.round(hub.currentPosition());
    if (steps_.step != 0 && current_ != hub.currentPosition()) hub.postSongPosition(current_);
    spin_->setRange(static_cast<int>(std::min<uint32_t>(steps_.end, 0x7FFFFFFF)));
    spin_->setValue(static_cast<int>(std::min<uint32_t>(current_, 0x7FFFFFFF)));
    position_->setText(q(hub.positionText(current_)));
    refreshList();
    list_->setSelected(-1);
    const long at = waveInsertAtOrBefore(hub.song(), current_);
    if (at < 0) {
        list_->setTop(0);
    } else {
        list_->setTop(at < list_->visibleRows() ? 0 : static_cast<int>(at) - list_->visibleRows() / 2);
        if (hub.song().waveInserts()[static_cast<std::size_t>(at)]->position == current_)
            list_->setSelected(static_cast<int>(at));
    }
}

void WaveInsertWindow::reload() {
    loadState();
    checkFiles();
}

void WaveInsertWindow::checkFiles() {
    if (!ctx_.hub.hasMidi()) return;
    for (const std::string& problem : insertedWaveProblems(ctx_.hub.song(), ctx_.hub.midiPath(), outputBits()))
        ctx_.prompt.warning(wavetext::kWarningCaption, problem);
}

void WaveInsertWindow::moveTo(uint32_t tick, bool post) {
    current_ = tick;
    spin_->setValue(static_cast<int>(std::min<uint32_t>(current_, 0x7FFFFFFF)));
    position_->setText(q(ctx_.hub.positionText(current_)));
    if (post) {
        editing_ = true;
        ctx_.hub.postSongPosition(current_);
        editing_ = false;
    }
}

void WaveInsertWindow::insertFile() {
    Hub& hub = ctx_.hub;
    if (!hub.hasMidi()) return;
    const std::string chosen = ctx_.files.openFile(this, q(translated(wavetext::kFilter)), folderOf(hub.midiPath()));
    if (chosen.empty()) return;
    const WaveInsertResult r =
        insertWaveFile(hub.song(), hub.midiPath(), current_, chosen, outputBits(), ctx_.prompt);
    if (!r.changed()) return;
    editing_ = true;
    hub.wavesEdited();
    editing_ = false;
    refreshList();
    list_->reveal(static_cast<int>(r.index));
    list_->setSelected(static_cast<int>(r.index));
}

void WaveInsertWindow::removeEntry() {
    const int sel = list_->selected();
    if (sel < 0) {
        ctx_.prompt.notice(wavetext::kNoticeCaption, wavetext::kNoSelection);
        return;
    }
    if (!removeWaveInsert(ctx_.hub.song(), sel)) return;
    editing_ = true;
    ctx_.hub.wavesEdited();
    editing_ = false;
    refreshList();
    list_->reveal(sel < static_cast<int>(list_->rows().size()) ? sel : sel - 1);
    list_->setSelected(sel < static_cast<int>(list_->rows().size()) ? sel : -1);
    position_->setText(q(ctx_.hub.positionText(current_)));
}

void WaveInsertWindow::selectRow(int index) {
    const auto& list = ctx_.hub.song().waveInserts();
    if (index < 0 || static_cast<std::size_t>(index) >= list.size() || !list[static_cast<std::size_t>(index)]) return;
    list_->setSelected(index);
    moveTo(list[static_cast<std::size_t>(index)]->position, true);
}

void WaveInsertWindow::wavesChanged() {
    if (!editing_) refreshList();
}

void WaveInsertWindow::positionNotify(PositionReceiver r, PositionCode, uint32_t tick, const LyricLine*) {
    if (r != PositionReceiver::MainPanel || editing_ || steps_.step == 0) return;
    moveTo(std::min(tick, steps_.end), false);
}

void WaveInsertWindow::closeEvent(QCloseEvent* e) {
    storePlacement(this, ctx_.hub.settings(), WindowKind::WaveInsert);
    e->accept();
}

}  // namespace kantor::app
