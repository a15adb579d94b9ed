#include "app/RomajiListWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QVBoxLayout>
#include <algorithm>

#include "app/WindowPlacement.h"
#include "base/Translation.h"
#include "voice/Voice.h"
#include "voice/VoiceBank.h"

namespace kantor::app {

RomajiListView::RomajiListView(QWidget* parent) : QAbstractScrollArea(parent) {
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QFont f = font();
    f.setFamilies({"ＭＳ ゴシック", "MS Gothic", "Noto Sans Mono CJK JP", "IPAGothic", "monospace"});
    f.setStyleHint(QFont::TypeWriter);
    f.setPointSize(10);
    setFont(f);
    measure();
}

void RomajiListView::measure() {
    const QFontMetrics m(font());
    charWidth_ = m.horizontalAdvance('A');
    rowHeight_ = m.height() + 1;
    updateScrollBar();
}

void RomajiListView::changeEvent(QEvent* e) {
    if (e->type() == QEvent::FontChange) measure();
    QAbstractScrollArea::changeEvent(e);
}

QSize RomajiListView::sizeHint() const {
    // Kana of three characters fit after the code: cells of 16 character widths hold them.
    return {kRomajiPerRow * 16 * charWidth_ + verticalScrollBar()->sizeHint().width() + 2 * frameWidth(),
            rowHeight_ * 20 + 2 * frameWidth()};
}

int RomajiListView::visibleRows() const { return std::max(1, viewport()->height() / std::max(1, rowHeight_)); }

void RomajiListView::setEntries(std::vector<RomajiEntry> entries) {
    entries_ = std::move(entries);
    top_ = 0;
    updateScrollBar();
    viewport()->update();
}

void RomajiListView::updateScrollBar() {
    QScrollBar* bar = verticalScrollBar();
    const QSignalBlocker block(bar);
    bar->setRange(0, std::max(0, romajiRows(entries_.size()) - 1));
    bar->setPageStep(visibleRows());
    bar->setSingleStep(1);
    top_ = std::clamp(top_, 0, bar->maximum());
    bar->setValue(top_);
}

void RomajiListView::scrollContentsBy(int, int) {
    top_ = verticalScrollBar()->value();
    viewport()->update();
}

void RomajiListView::resizeEvent(QResizeEvent* e) {
    QAbstractScrollArea::resizeEvent(e);
    updateScrollBar();
}

void RomajiListView::paintEvent(QPaintEvent*) {
    QPainter p(viewport());
    const QColor back = palette().color(QPalette::Window);
    p.fillRect(viewport()->rect(), back);
    const int cell = 16 * charWidth_;
    // The second and fourth columns stand on white.
    for (int col : {1, 3}) p.fillRect(QRect(col * cell, 0, cell, viewport()->height()), Qt::white);
    const int rows = visibleRows() + 1;
    for (int r = 0; r < rows; ++r) {
        for (int col = 0; col < kRomajiPerRow; ++col) {
            const std::size_t i = static_cast<std::size_t>((top_ + r) * kRomajiPerRow + col);
            if (i >= entries_.size()) break;
            const RomajiEntry& e = entries_[i];
            if (e.code.empty()) continue;
            p.setPen(e.usable ? Qt::black : Qt::gray);
            const int y = r * rowHeight_;
            p.drawText(QRect(col * cell + charWidth_, y, 7 * charWidth_, rowHeight_), Qt::AlignLeft | Qt::AlignVCenter,
                       QString::fromStdString(e.code));
            p.drawText(QRect(col * cell + 8 * charWidth_, y, 8 * charWidth_, rowHeight_),
                       Qt::AlignLeft | Qt::AlignVCenter, QString::fromStdString(e.kana));
        }
    }
}

RomajiListWindow::RomajiListWindow(AppContext& ctx, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      ctx_(ctx) {
    setWindowTitle(tr("入力ﾛｰﾏ字一覧"));
    setAttribute(Qt::WA_DeleteOnClose);
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(0, 0, 0, 0);
    view_ = new RomajiListView(this);
    v->addWidget(view_);
    resize(view_->sizeHint());
    restorePlacement(this, ctx_.hub.settings(), WindowKind::RomajiList, 0, true, DefaultPlace::Centred);
}

namespace {

QPointer<RomajiListWindow> theList;

QWidget* outermost(QWidget* w) {
    while (w && w->parentWidget()) w = w->parentWidget();
    return w;
}

}  // namespace

RomajiListWindow* RomajiListWindow::current() { return theList.data(); }

RomajiListWindow* RomajiListWindow::open(AppContext& ctx, const std::string& voice, QWidget* parent) {
    QWidget* home = outermost(parent);
    QWidget* modal = QApplication::activeModalWidget();
    QWidget* owner = modal ? modal : home;
    RomajiListWindow* w = theList.data();
    if (w && &w->ctx_ != &ctx) {
        // Left over from another program object (tests make several).
        delete w;
        w = nullptr;
    }
    if (!w) {
        w = new RomajiListWindow(ctx, owner);
        theList = w;
    } else if (w->parentWidget() != owner) {
        w->moveUnder(owner);
    }
    w->home_ = home;
    if (modal && modal != home) modal->installEventFilter(w);
    w->showVoice(voice);
    if (w->isMinimized()) w->showNormal();
    w->show();
    w->raise();
    return w;
}

void RomajiListWindow::moveUnder(QWidget* parent) {
    const QPoint at = pos();
    setParent(parent, windowFlags());
    move(at);
    show();
}

bool RomajiListWindow::eventFilter(QObject* o, QEvent* e) {
    // The modal dialog that held the list is going: the list stays, under its home window.
    if (e->type() == QEvent::Hide && o == parentWidget() && o != home_.data()) {
        o->removeEventFilter(this);
        moveUnder(home_.data());
    }
    return QWidget::eventFilter(o, e);
}

void RomajiListWindow::showVoice(const std::string& name) {
    setWindowTitle(QString::fromStdString(translated(romajiListTitle(name))));
    view_->setEntries({});
    VoiceBank& bank = ctx_.hub.voices();
    if (!bank.ensureVoiceLoaded(name)) {
        ctx_.prompt.notice("Error", bank.lastError());
        return;
    }
    const Voice* voice = bank.findVoice(name);
    if (voice) view_->setEntries(romajiEntries(*voice));
}

void RomajiListWindow::closeEvent(QCloseEvent* e) {
    storePlacement(this, ctx_.hub.settings(), WindowKind::RomajiList);
    e->accept();
}

}  // namespace kantor::app
