#include "app/ChannelScoreWindow.h"

#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QShortcut>

#include "app/ChannelListWindow.h"
#include "app/EditCommands.h"
#include "app/WindowPlacement.h"

namespace kantor::app {

ChannelScoreWindow::ChannelScoreWindow(AppContext& ctx, ChannelListWindow& list, int channel)
    : QWidget(&list, Qt::Window), ctx_(ctx), list_(list), channel_(channel & 15) {
    setWindowTitle(QString("ChScore ( %1 )").arg(channel_ + 1));
    setAttribute(Qt::WA_DeleteOnClose);
    view_ = new ScoreView(ctx.hub, channel_, this);
    hbar_ = new QScrollBar(Qt::Horizontal, this);
    vbar_ = new QScrollBar(Qt::Vertical, this);
    status_ = new QLabel(this);
    status_->setObjectName("status");
    status_->setContentsMargins(4, 0, 4, 0);
    QGridLayout* g = layOutChannelWindow(this, view_, hbar_, vbar_,
                                         {{{FewerMeasures, tr("表示する小節を減らす")},
                                           {MoreMeasures, tr("表示する小節を増やす")},
                                           {FewerKeys, tr("表示する音域を狭める")},
                                           {MoreKeys, tr("表示する音域を広げる")}}},
                                         [this](int control) { press(control); }, buttons_);
    g->addWidget(status_, 2, 0, 1, 2);
    edit_ = new ScoreEditController(ctx, view_, this);
    g->addWidget(edit_->toolBar(), 3, 0, 1, 2);
    edit::installUndoKeys(this, ctx_);
    connect(hbar_, &QScrollBar::valueChanged, this, [this](int v) {
        if (syncing_) return;
        MeasureSpan s = view_->span();
        s.first = v;
        setSpan(s);
    });
    connect(vbar_, &QScrollBar::valueChanged, this, [this](int v) {
        if (syncing_) return;
        KeySpan k = view_->keys();
        k.low = kKeyCount - k.count - v;  // the bar runs from the highest keys down
        setKeys(k);
    });
    connect(view_, &ScoreView::clicked, this, &ChannelScoreWindow::onClick);
    connect(view_, &ScoreView::doubleClicked, this, [this](const ViewHit& hit, bool ctrl) {
        if (hit.header) list_.runCommand(ctrl ? ChannelListWindow::WaveInsert : ChannelListWindow::LyricInsert, channel_, -1);
    });
    connect(view_, &ScoreView::wheelTurned, this, &ChannelScoreWindow::handleWheel);
    connect(view_, &ScoreView::keyPressed, this, [this](int key, Qt::KeyboardModifiers) { handleKey(key); });
    for (const char* key : {"Ctrl+D", "F8"})
        connect(new QShortcut(QKeySequence(key), this), &QShortcut::activated, this,
                [this] { list_.runCommand(ChannelListWindow::ShowPanel, channel_, -1); });

    const auto [low, high] = view_->keyExtent();
    view_->setKeys(low < 0 ? KeySpan{48, 36} : keysFor(low, high));
    view_->setSpan(clampMeasures({0, 8}, measureLimit(ctx_.hub.tempoMap().measures().size())));
    applySettings();
    view_->setPosition(ctx_.hub.currentPosition(), true);
    syncBars();
    showStatus();
    resize(sizeHint());
    restorePlacement(this, ctx_.hub.settings(), WindowKind::ChannelScore, channel_, true, DefaultPlace::Stacked, &list);
}

ChannelScoreWindow::~ChannelScoreWindow() = default;

void ChannelScoreWindow::syncBars() {
    syncing_ = true;
    const MeasureSpan s = view_->span();
    const int limit = measureLimit(ctx_.hub.tempoMap().measures().size());
    hbar_->setRange(0, std::max(0, limit - s.count));
    hbar_->setPageStep(s.count);
    hbar_->setValue(s.first);
    const KeySpan k = view_->keys();
    vbar_->setRange(0, kKeyCount - k.count);
    vbar_->setPageStep(k.count);
    vbar_->setValue(kKeyCount - k.count - k.low);
    syncing_ = false;
}

void ChannelScoreWindow::setSpan(MeasureSpan s) {
    view_->setSpan(clampMeasures(s, measureLimit(ctx_.hub.tempoMap().measures().size())));
    syncBars();
}

void ChannelScoreWindow::setKeys(KeySpan k) {
    view_->setKeys(k);
    syncBars();
}

void ChannelScoreWindow::refresh() {
    view_->rebuild();
    edit_->songChanged();
    setSpan(view_->span());
    showStatus();
}

void ChannelScoreWindow::applySettings() {
    view_->setWordDisplay(wordDisplayOf(ctx_.hub.settings().block().channelScoreVoxWordDisplay));
    view_->setPitchLine(ctx_.hub.scoreChoice().pitchLine);
}

void ChannelScoreWindow::showPosition(uint32_t tick, int code) {
    const auto& measures = ctx_.hub.tempoMap().measures();
    const Follow f = followPosition(measures, view_->span(), measureLimit(measures.size()), tick,
                                    autoScrollOf(ctx_.hub.settings().block().channelScoreAutoScrollMode), code != 0);
    if (!(f.span == view_->span())) setSpan(f.span);
    view_->setPosition(tick, f.showCursor);
}

void ChannelScoreWindow::scrollTo(long measure, uint32_t tick) {
    MeasureSpan s = view_->span();
    s.first = static_cast<int>(measure);
    setSpan(s);
    view_->setPosition(tick, true);
}

bool ChannelScoreWindow::press(int control) {
    const int limit = measureLimit(ctx_.hub.tempoMap().measures().size());
    switch (control) {
        case FewerMeasures: zoomMeasures(fewerMeasures(view_->span()).count); return true;
        case MoreMeasures: zoomMeasures(moreMeasures(view_->span(), limit).count); return true;
        case FewerKeys: setKeys(fewerKeys(view_->keys())); return true;
        case MoreKeys: setKeys(moreKeys(view_->keys())); return true;
        default: return false;
    }
}

// --- Zoom: the selected note (else the position) keeps its place on the screen -------------

void ChannelScoreWindow::zoomMeasures(int count) {
    const auto& measures = ctx_.hub.tempoMap().measures();
    const MeasureSpan s = view_->span();
    const TickRange shown = visibleTicks(measures, s);
    uint32_t anchor = view_->position();
    const long at = view_->selected();
    if (const VoxEvent* e = at >= 0 ? ctx_.hub.song().event(channel_, static_cast<std::size_t>(at)) : nullptr)
        if (shown.contains(e->startTick) || !shown.contains(anchor)) anchor = e->startTick;
    setSpan(zoomAround(measures, s, count, measureLimit(measures.size()), anchor));
}

void ChannelScoreWindow::handleWheel(int steps, Qt::KeyboardModifiers mods) {
    if (mods.testFlag(Qt::ControlModifier)) {
        for (int i = 0; i < std::abs(steps); ++i) press(steps > 0 ? FewerMeasures : MoreMeasures);
    } else if (mods.testFlag(Qt::ShiftModifier)) {
        KeySpan k = view_->keys();
        k.low += 3 * steps;
        setKeys(k);
    } else {
        MeasureSpan s = view_->span();
        s.first -= steps;
        setSpan(s);
    }
}

void ChannelScoreWindow::onClick(const ViewHit& hit) {
    if (!hit.hasTick || !ctx_.hub.hasMidi()) return;
    if (hit.event >= 0 && !hit.header) {
        selectNote(hit.event);
        return;
    }
    view_->setPosition(hit.tick, true);
    list_.scorePositionSet(channel_ + 1, hit.tick);
    showStatus();
}

bool ChannelScoreWindow::selectNote(long event) {
    const VoxEvent* e = event >= 0 ? ctx_.hub.song().event(channel_, static_cast<std::size_t>(event)) : nullptr;
    if (!e) return false;
    // The note voice window may refuse the note; the batch commands act on the selection,
    // so it moves only once the note voice window has moved.
    const bool hadKeyboard = isActiveWindow();
    // A refusal leaves the keys with the note voice window, on the code to mend.
    if (list_.hooks().noteSelected && !list_.hooks().noteSelected(channel_, static_cast<std::size_t>(event)))
        return false;
    showNote(event);
    keepKeyboard(hadKeyboard);
    return true;
}

// --- Focus: the note voice window follows the selection without taking the keys -------------

void ChannelScoreWindow::keepKeyboard(bool hadKeyboard) {
    // The note voice window shows itself without activation, but some platforms (and window
    // managers) activate every new window: give the keys back to the score, where they were.
    if (!hadKeyboard) return;
    if (!isActiveWindow()) {
        raise();
        activateWindow();
    }
    view_->setFocus(Qt::OtherFocusReason);
}

void ChannelScoreWindow::showNote(long event) {
    const VoxEvent* e = event >= 0 ? ctx_.hub.song().event(channel_, static_cast<std::size_t>(event)) : nullptr;
    if (!e) return;
    view_->setSelected(event);
    // The note comes into view, and the position moves to its start.
    const auto& measures = ctx_.hub.tempoMap().measures();
    const Follow f = followPosition(measures, view_->span(), measureLimit(measures.size()), e->startTick,
                                    AutoScroll::Always, false);
    if (!(f.span == view_->span())) setSpan(f.span);
    const int key = int(e->noteKey & 127);
    KeySpan k = view_->keys();
    if (key < k.low || key >= k.low + k.count) {
        k.low = key - k.count / 2;
        setKeys(k);
    }
    view_->setPosition(e->startTick, f.showCursor);
    list_.scorePositionSet(channel_ + 1, e->startTick);
    showStatus();
}

void ChannelScoreWindow::handleKey(int key) {
    const Song& song = ctx_.hub.song();
    const long at = view_->selected();
    long next = -1;
    switch (key) {
        case Qt::Key_Left: next = stepNote(song, channel_, at, -1); break;
        case Qt::Key_Right: next = stepNote(song, channel_, at, 1); break;
        case Qt::Key_Up: next = stepPhraseHead(song, channel_, at, -1); break;
        case Qt::Key_Down: next = stepPhraseHead(song, channel_, at, 1); break;
        case Qt::Key_Home: next = stepNote(song, channel_, -1, 1); break;
        case Qt::Key_End: next = stepNote(song, channel_, -1, -1); break;
        default: break;
    }
    if (next >= 0) selectNote(next);
}

void ChannelScoreWindow::showStatus() {
    const long at = view_->selected();
    const VoxEvent* e = at >= 0 ? ctx_.hub.song().event(channel_, static_cast<std::size_t>(at)) : nullptr;
    if (!e) {
        status_->setText(QString::fromStdString(ctx_.hub.positionText(view_->position())));
        return;
    }
    QString text = QString("%1   %2   No.%3")
                       .arg(QString::fromStdString(ctx_.hub.positionText(e->startTick)))
                       .arg(QString::fromStdString(noteName(int(e->noteKey & 127))))
                       .arg(e->noteNumber);
    const WordDisplay shown = view_->wordDisplay();
    view_->setWordDisplay(shown == WordDisplay::Off ? WordDisplay::Hiragana : shown);
    const QString words = view_->wordsOf(static_cast<std::size_t>(at));
    view_->setWordDisplay(shown);
    if (!words.isEmpty()) text += "   " + words;
    if (e->phraseIndex != 0) text += "   " + tr("ﾌﾚｰｽﾞ %1").arg(QChar('A' + std::min<int>(e->phraseGroup, 5)));
    status_->setText(text);
}

bool ChannelScoreWindow::runCommand(int command) {
    const bool needsSelection = command == PhraseBatch || command == NoteBatch;
    if (needsSelection && view_->selected() < 0) return false;
    return list_.runCommand(command, channel_, view_->selected());
}

QMenu* ChannelScoreWindow::contextMenu() {
    if (!menu_) {
        menu_ = new QMenu(this);
        const std::pair<int, QString> items[] = {{ChannelDefaults, tr("ﾁｬﾝﾈﾙﾃﾞﾌｫﾙﾄの設定(&D)")},
                                                 {LyricInsert, tr("歌詞の挿入(&L)")},
                                                 {WaveInsert, tr("Waveﾌｧｲﾙの挿入(&W)")},
                                                 {PhraseWordList, tr("ﾌﾚｰｽﾞ・ﾜｰﾄﾞ一覧表示（&W）")},
                                                 {PhraseBatch, tr("ﾌﾚｰｽﾞ一括変更(&P)")},
                                                 {NoteBatch, tr("ﾉｰﾄ一括変更(&N)")}};
        for (const auto& [id, text] : items) {
            if (id == PhraseBatch) menu_->addSeparator();
            QAction* a = menu_->addAction(text);
            a->setData(id);
            const int command = id;
            connect(a, &QAction::triggered, this, [this, command] { runCommand(command); });
        }
    }
    for (QAction* a : menu_->actions()) {
        const int id = a->data().toInt();
        const bool selection = id != PhraseBatch && id != NoteBatch ? true : view_->selected() >= 0;
        a->setEnabled(ctx_.hub.hasMidi() && selection && list_.canRun(id));
    }
    return menu_;
}

void ChannelScoreWindow::contextMenuEvent(QContextMenuEvent* e) { contextMenu()->popup(e->globalPos()); }

void ChannelScoreWindow::closeEvent(QCloseEvent* e) {
    storePlacement(this, ctx_.hub.settings(), WindowKind::ChannelScore, channel_);
    e->accept();
}

}  // namespace kantor::app
