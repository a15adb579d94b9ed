#include "app/ChannelListWindow.h"

#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QShortcut>

#include "app/ChannelScoreWindow.h"
#include "app/MainPanel.h"
#include "app/WindowPlacement.h"
#include "base/Translation.h"
#include "hub/SongImport.h"

namespace kantor::app {

QGridLayout* layOutChannelWindow(QWidget* window, QWidget* view, QScrollBar* h, QScrollBar* v,
                                 const std::array<std::pair<int, QString>, 4>& zoomButtons,
                                 const std::function<void(int)>& press, std::map<int, QToolButton*>& buttons) {
    auto* g = new QGridLayout(window);
    g->setContentsMargins(2, 2, 2, 2);
    g->setSpacing(1);
    g->addWidget(view, 0, 0);
    g->addWidget(v, 0, 1);
    auto* bottom = new QHBoxLayout();
    bottom->setSpacing(1);
    bottom->addWidget(h, 1);
    int kind = 0;
    for (const auto& [id, tip] : zoomButtons) {
        auto* b = new QToolButton(window);
        b->setIcon(zoomIcon(kind++));
        b->setIconSize(QSize(16, 16));
        b->setToolTip(tip);
        b->setAutoRaise(true);
        const int control = id;
        QObject::connect(b, &QToolButton::clicked, window, [press, control] { press(control); });
        buttons[id] = b;
        bottom->addWidget(b);
    }
    g->addLayout(bottom, 1, 0, 1, 2);
    return g;
}

QIcon zoomIcon(int kind) {
    QPixmap pm(32, 32);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor c(0x33, 0x3a, 0x46);
    p.setPen(QPen(c, 2.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    const bool horizontal = kind < 2;
    const bool more = kind == 1 || kind == 3;
    // Two arrows apart (more) or together (fewer) along the axis, with a bar between.
    auto arrow = [&](QPointF tip, QPointF dir) {
        const QPointF n(-dir.y(), dir.x());
        QPainterPath path;
        path.moveTo(tip);
        path.lineTo(tip - dir * 7 + n * 6);
        path.lineTo(tip - dir * 7 - n * 6);
        path.closeSubpath();
        p.fillPath(path, c);
    };
    if (horizontal) {
        p.drawLine(QPointF(16, 6), QPointF(16, 26));
        if (more) {
            arrow({29, 16}, {1, 0});
            arrow({3, 16}, {-1, 0});
        } else {
            arrow({13, 16}, {1, 0});
            arrow({19, 16}, {-1, 0});
        }
    } else {
        p.drawLine(QPointF(6, 16), QPointF(26, 16));
        if (more) {
            arrow({16, 29}, {0, 1});
            arrow({16, 3}, {0, -1});
        } else {
            arrow({16, 13}, {0, 1});
            arrow({16, 19}, {0, -1});
        }
    }
    return QIcon(pm);
}

ChannelListWindow::ChannelListWindow(AppContext& ctx, MainPanel* panel, QWidget* parent)
    : QWidget(parent, Qt::Window), ctx_(ctx), panel_(panel) {
    setWindowTitle("ChList");
    setAttribute(Qt::WA_DeleteOnClose);
    view_ = new ChannelGridView(ctx.hub, this);
    hbar_ = new QScrollBar(Qt::Horizontal, this);
    vbar_ = new QScrollBar(Qt::Vertical, this);
    layOutChannelWindow(this, view_, hbar_, vbar_,
                        {{{FewerMeasures, tr("表示する小節を減らす")},
                          {MoreMeasures, tr("表示する小節を増やす")},
                          {FewerRows, tr("表示するﾁｬﾝﾈﾙを減らす")},
                          {MoreRows, tr("表示するﾁｬﾝﾈﾙを増やす")}}},
                        [this](int control) { press(control); }, buttons_);
    connect(hbar_, &QScrollBar::valueChanged, this, [this](int v) {
        if (syncing_) return;
        MeasureSpan s = view_->span();
        s.first = v;
        setSpan(s);
    });
    connect(vbar_, &QScrollBar::valueChanged, this, [this](int v) {
        if (syncing_) return;
        RowSpan r = view_->rows();
        r.first = v;
        setRows(r);
    });
    connect(view_, &ChannelGridView::clicked, this, &ChannelListWindow::click);
    connect(view_, &ChannelGridView::doubleClicked, this, &ChannelListWindow::doubleClick);
    connect(view_, &ChannelGridView::wheelTurned, this, &ChannelListWindow::handleWheel);
    for (const char* key : {"Ctrl+D", "F8"})
        connect(new QShortcut(QKeySequence(key), this), &QShortcut::activated, this,
                [this] { runCommand(ShowPanel, -1, -1); });

    ctx_.hub.addListener(this);
    const auto& measures = ctx_.hub.tempoMap().measures();
    view_->setSpan(clampMeasures({0, 16}, measureLimit(measures.size())));
    applySettings();
    view_->setPosition(ctx_.hub.currentPosition(), true);
    syncBars();
    resize(sizeHint());
    restorePlacement(this, ctx_.hub.settings(), WindowKind::ChannelList, 0, true, DefaultPlace::Below, panel_);
}

ChannelListWindow::~ChannelListWindow() { ctx_.hub.removeListener(this); }

ChannelScoreWindow* ChannelListWindow::scoreWindow(int c) const {
    return c >= 0 && c < 16 ? scores_[static_cast<std::size_t>(c)].data() : nullptr;
}

void ChannelListWindow::syncBars() {
    syncing_ = true;
    const MeasureSpan s = view_->span();
    const int limit = measureLimit(ctx_.hub.tempoMap().measures().size());
    hbar_->setRange(0, std::max(0, limit - s.count));
    hbar_->setPageStep(s.count);
    hbar_->setValue(s.first);
    const RowSpan r = view_->rows();
    vbar_->setRange(0, 16 - r.count);
    vbar_->setPageStep(r.count);
    vbar_->setValue(r.first);
    syncing_ = false;
}

void ChannelListWindow::setSpan(MeasureSpan s) {
    view_->setSpan(clampMeasures(s, measureLimit(ctx_.hub.tempoMap().measures().size())));
    syncBars();
}

void ChannelListWindow::setRows(RowSpan r) {
    r.count = std::clamp(r.count, 1, 16);
    r.first = std::clamp(r.first, 0, 16 - r.count);
    view_->setRows(r);
    syncBars();
}

bool ChannelListWindow::press(int control) {
    const int limit = measureLimit(ctx_.hub.tempoMap().measures().size());
    switch (control) {
        case FewerMeasures: setSpan(fewerMeasures(view_->span())); return true;
        case MoreMeasures: setSpan(moreMeasures(view_->span(), limit)); return true;
        case FewerRows: setRows(fewerRows(view_->rows())); return true;
        case MoreRows: setRows(moreRows(view_->rows())); return true;
        default: return false;
    }
}

void ChannelListWindow::handleWheel(int steps, Qt::KeyboardModifiers mods) {
    if (mods.testFlag(Qt::ControlModifier)) {
        for (int i = 0; i < std::abs(steps); ++i) press(steps > 0 ? FewerMeasures : MoreMeasures);
    } else if (mods.testFlag(Qt::ShiftModifier)) {
        RowSpan r = view_->rows();
        r.first -= steps;
        setRows(r);
    } else {
        MeasureSpan s = view_->span();
        s.first -= steps;
        setSpan(s);
    }
}

void ChannelListWindow::click(const ViewHit& hit) {
    if (!hit.hasTick || !ctx_.hub.hasMidi()) return;
    // Shown here first, so that the position coming back from the owner changes nothing.
    view_->setPosition(hit.tick, true);
    ctx_.hub.movePosition(hit.tick);
    for (auto& s : scores_)
        if (s) s->showPosition(hit.tick, kFromList);
}

void ChannelListWindow::doubleClick(const ViewHit& hit, bool ctrl) {
    if (hit.header) {
        runCommand(ctrl ? WaveInsert : LyricInsert, -1, -1);
        return;
    }
    if (hit.channel < 1 || !hit.hasTick) return;
    // The clicked tick is the position (the first click of the two has set it already
    // when the pointer did not move).
    if (hit.tick != view_->position()) click(hit);
    openScore(hit.channel - 1, hit.measure, hit.tick);
}

ChannelScoreWindow* ChannelListWindow::openScore(int c, long measure, uint32_t tick, bool evenEmpty) {
    if (c < 0 || c > 15 || !ctx_.hub.hasMidi() || (!evenEmpty && !view_->channelHasNotes(c))) return nullptr;
    auto& slot = scores_[static_cast<std::size_t>(c)];
    if (!slot) {
        if (!ctx_.hub.song().isVoxChannel(c) && view_->channelHasNotes(c)) {
            if (!ctx_.hub.session().makeVoxChannel(c)) return nullptr;
            ctx_.hub.setModified(true);
            offerMidiLyrics(c);
            view_->rebuild();
        }
        slot = new ChannelScoreWindow(ctx_, *this, c);
    }
    ChannelScoreWindow* w = slot.data();
    if (w->isMinimized()) w->showNormal();
    w->show();
    w->raise();
    w->activateWindow();
    if (measure >= 0) w->scrollTo(measure, tick);
    return w;
}

void ChannelListWindow::offerMidiLyrics(int c) {
    // A MIDI or karaoke file that carries lyrics for the channel: offer to sing them.
    if (!midiHasLyricsFor(ctx_.hub, c)) return;
    const QString text = tr("Midiﾌｧｲﾙに歌詞があります。ﾁｬﾝﾈﾙ %1 の歌詞にしますか？").arg(c + 1);
    if (ctx_.prompt.askYesNo(tr("確認").toStdString(), text.toStdString()) != PromptAnswer::Yes) return;
    std::vector<std::string> told;
    std::string error;
    if (!takeMidiLyrics(ctx_.hub, c, told, error)) {
        ctx_.prompt.warning(tr("警告").toStdString(), translated(error));
        return;
    }
    ctx_.hub.edited(c);
    // Melismas, silent notes and lyrics on no note: said once, in the core's words.
    std::string summary;
    for (const std::string& line : told) summary += (summary.empty() ? "" : "\n") + line;
    if (!summary.empty()) ctx_.prompt.notice(tr("確認").toStdString(), summary);
}

void ChannelListWindow::scorePositionSet(int channel, uint32_t tick) {
    const Follow f = followPosition(ctx_.hub.tempoMap().measures(), view_->span(),
                                    measureLimit(ctx_.hub.tempoMap().measures().size()), tick,
                                    ctx_.hub.settings().block().channelListAutoScroll ? AutoScroll::Always
                                                                                    : AutoScroll::Never,
                                    true);
    if (!(f.span == view_->span())) setSpan(f.span);
    view_->setPosition(tick, f.showCursor);
    ctx_.hub.movePosition(tick);
    for (auto& s : scores_)
        if (s && s->channel() + 1 != channel) s->showPosition(tick, channel);
}

void ChannelListWindow::showPosition(uint32_t tick, int code) {
    const auto& measures = ctx_.hub.tempoMap().measures();
    if (tick == view_->position() && code != 0) return;
    const Follow f = followPosition(measures, view_->span(), measureLimit(measures.size()), tick,
                                    ctx_.hub.settings().block().channelListAutoScroll ? AutoScroll::Always
                                                                                    : AutoScroll::Never,
                                    code != 0);
    if (!(f.span == view_->span())) setSpan(f.span);
    view_->setPosition(tick, f.showCursor);
    for (auto& s : scores_)
        if (s) s->showPosition(tick, code);
}

void ChannelListWindow::positionNotify(PositionReceiver r, PositionCode c, uint32_t tick, const LyricLine*) {
    if (r != PositionReceiver::ChannelList) return;
    showPosition(tick, c == PositionCode::Position ? 0 : kFromPanel);
}

void ChannelListWindow::betweenChanged(uint32_t, uint32_t) {
    view_->update();
    for (auto& s : scores_)
        if (s) s->view()->update();
}

void ChannelListWindow::songEdited(int) {
    refresh();
    for (auto& sc : scores_)
        if (sc) sc->refresh();
}

void ChannelListWindow::songChanged() {
    view_->rebuild();
    setSpan(view_->span());
    view_->setPosition(ctx_.hub.currentPosition(), true);
    for (int c = 0; c < 16; ++c) {
        auto& s = scores_[static_cast<std::size_t>(c)];
        if (!s) continue;
        // A score whose channel is no longer a vocal channel of the song goes.
        if (!ctx_.hub.hasMidi() || !ctx_.hub.song().isVoxChannel(c)) s->close();
        else s->refresh();
    }
}

void ChannelListWindow::refresh() {
    view_->rebuild();
    for (auto& s : scores_)
        if (s) s->refresh();
}

void ChannelListWindow::applySettings() {
    const SettingsBlock& b = ctx_.hub.settings().block();
    view_->setDisplay(b.channelListBarPattern, b.channelListEventColourArea);
    for (auto& s : scores_)
        if (s) s->applySettings();
}

bool ChannelListWindow::canRun(int command) const {
    switch (command) {
        case LyricInsert: case ChannelScoreWindow::LyricInsert:
            return panel_ && panel_->hasWindowFactory(MainPanel::LyricWindow);
        case WaveInsert: case ChannelScoreWindow::WaveInsert:
            return panel_ && panel_->hasWindowFactory(MainPanel::WaveInsertWindow);
        case ShowPanel: return panel_ != nullptr;
        default: {
            auto it = hooks_.commands.find(command);
            return it != hooks_.commands.end() && it->second;
        }
    }
}

bool ChannelListWindow::runCommand(int command, int channel, long event) {
    if (!canRun(command) || !ctx_.hub.hasMidi()) return false;
    switch (command) {
        case LyricInsert: case ChannelScoreWindow::LyricInsert:
            return panel_->openWindow(MainPanel::LyricWindow) != nullptr;
        case WaveInsert: case ChannelScoreWindow::WaveInsert:
            return panel_->openWindow(MainPanel::WaveInsertWindow) != nullptr;
        case ShowPanel:
            if (panel_->isMinimized()) panel_->showNormal();
            panel_->raise();
            panel_->activateWindow();
            return true;
        default: hooks_.commands[command](channel, event); return true;
    }
}

QMenu* ChannelListWindow::contextMenu() {
    if (!menu_) {
        menu_ = new QMenu(this);
        const std::pair<int, QString> items[] = {{SongDefaults, tr("ｿﾝｸﾞﾃﾞﾌｫﾙﾄの設定(&D)")},
                                                 {LyricInsert, tr("歌詞の挿入(&L)")},
                                                 {WaveInsert, tr("Waveﾌｧｲﾙの挿入(&W)")},
                                                 {PhraseWordList, tr("ﾌﾚｰｽﾞ・ﾜｰﾄﾞ一覧表示（&W）")}};
        for (const auto& [id, text] : items) {
            QAction* a = menu_->addAction(text);
            a->setData(id);
            const int command = id;
            connect(a, &QAction::triggered, this, [this, command] { runCommand(command, -1, -1); });
        }
    }
    for (QAction* a : menu_->actions()) a->setEnabled(ctx_.hub.hasMidi() && canRun(a->data().toInt()));
    return menu_;
}

void ChannelListWindow::contextMenuEvent(QContextMenuEvent* e) { contextMenu()->popup(e->globalPos()); }

void ChannelListWindow::changeEvent(QEvent* e) {
    // Edits made in other windows show when the list comes back to the front.
    if (e->type() == QEvent::ActivationChange && isActiveWindow()) view_->rebuild();
    QWidget::changeEvent(e);
}

void ChannelListWindow::closeEvent(QCloseEvent* e) {
    for (auto& s : scores_)
        if (s) s->close();
    storePlacement(this, ctx_.hub.settings(), WindowKind::ChannelList);
    e->accept();
}

}  // namespace kantor::app
