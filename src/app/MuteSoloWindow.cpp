#include "app/MuteSoloWindow.h"

#include <QCloseEvent>
#include <algorithm>
#include <memory>
#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>

#include "app/WindowPlacement.h"

namespace kantor::app {

MuteSoloView::MuteSoloView(QWidget* parent) : QWidget(parent) {
    setObjectName("grid");
    measure();
}

void MuteSoloView::measure() {
    const QFontMetrics m(font());
    columnWidth_ = std::max(m.horizontalAdvance("0123456789") / 10 * 3 + 8, m.height() + 6);
    rowHeight_ = m.height() + 6;
    headerHeight_ = m.height() + 4;
    labelWidth_ = 0;
    for (const char* name : ChannelFlags::kRowNames) labelWidth_ = std::max(labelWidth_, m.horizontalAdvance(name));
    labelWidth_ += 12;
    updateGeometry();
}

void MuteSoloView::changeEvent(QEvent* e) {
    if (e->type() == QEvent::FontChange) measure();
    QWidget::changeEvent(e);
}

QSize MuteSoloView::sizeHint() const {
    return {labelWidth_ + std::max(grid_.count, 1) * columnWidth_ + 1, headerHeight_ + 4 * rowHeight_ + 1};
}

void MuteSoloView::setState(const MuteSoloGrid& grid, const ChannelFlags& flags) {
    const bool resized = grid.count != grid_.count;
    grid_ = grid;
    flags_ = flags;
    if (resized) updateGeometry();
    update();
}

QRect MuteSoloView::cellRect(int row, int channel) const {
    return {labelWidth_ + (channel - grid_.first) * columnWidth_, headerHeight_ + row * rowHeight_, columnWidth_,
            rowHeight_};
}

bool MuteSoloView::cellAt(const QPoint& p, int& row, int& channel) const {
    if (p.y() < headerHeight_ || p.x() < 0) return false;
    row = (p.y() - headerHeight_) / rowHeight_;
    if (row >= ChannelFlags::kRows) return false;
    if (p.x() < labelWidth_) {
        channel = -1;
        return true;
    }
    const int column = (p.x() - labelWidth_) / columnWidth_;
    if (column >= grid_.count) return false;
    channel = grid_.first + column;
    return true;
}

void MuteSoloView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QPalette& pal = palette();
    p.fillRect(rect(), pal.window());
    const QColor unavailable = pal.color(QPalette::Mid);
    const QColor set(200, 30, 30);
    const QColor clear = pal.color(QPalette::Base);
    p.setPen(pal.color(QPalette::WindowText));
    for (int i = 0; i < grid_.count; ++i) {
        const int c = grid_.first + i;
        p.drawText(QRect(labelWidth_ + i * columnWidth_, 0, columnWidth_, headerHeight_), Qt::AlignCenter,
                   QString::number(c + 1));
    }
    for (int r = 0; r < ChannelFlags::kRows; ++r) {
        p.setPen(pal.color(QPalette::WindowText));
        p.drawText(QRect(4, headerHeight_ + r * rowHeight_, labelWidth_ - 6, rowHeight_), Qt::AlignLeft | Qt::AlignVCenter,
                   ChannelFlags::kRowNames[r]);
        for (int i = 0; i < grid_.count; ++i) {
            const int c = grid_.first + i;
            const QRect cell = cellRect(r, c).adjusted(0, 0, -1, -1);
            const bool on = flags_.get(static_cast<ChannelFlags::Row>(r), c);
            p.fillRect(cell, !grid_.available(r, c) ? unavailable : on ? set : clear);
            p.setPen(pal.color(QPalette::Dark));
            p.drawRect(cell);
        }
    }
}

void MuteSoloView::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return;
    int row = 0, channel = 0;
    if (cellAt(e->position().toPoint(), row, channel) && channel >= 0) emit cellClicked(row, channel);
}

void MuteSoloView::mouseDoubleClickEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return;
    int row = 0, channel = 0;
    if (cellAt(e->position().toPoint(), row, channel) && channel < 0) emit labelDoubleClicked(row);
}

MuteSoloWindow::MuteSoloWindow(AppContext& ctx, QWidget* parent) : QWidget(parent, Qt::Window), ctx_(ctx) {
    setWindowTitle("Mute & Solo");
    setAttribute(Qt::WA_DeleteOnClose);
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(8, 8, 8, 8);
    view_ = new MuteSoloView(this);
    v->addWidget(view_);
    v->setSizeConstraint(QLayout::SetFixedSize);
    connect(view_, &MuteSoloView::cellClicked, this, [this](int r, int c) { toggle(r, c); });
    connect(view_, &MuteSoloView::labelDoubleClicked, this, [this](int r) { clearRow(r); });
    ctx_.hub.addListener(this);
    refresh();
    restorePlacement(this, ctx_.hub.settings(), WindowKind::MuteSolo, 0, false, DefaultPlace::Centred);
}

MuteSoloWindow::~MuteSoloWindow() { ctx_.hub.removeListener(this); }

void MuteSoloWindow::refresh() {
    Hub& hub = ctx_.hub;
    grid_ = hub.hasMidi() ? MuteSoloGrid::of(hub.midi(), hub.song()) : MuteSoloGrid{};
    view_->setState(grid_, hub.song().channelFlags());
    adjustSize();
}

void MuteSoloWindow::toggle(int row, int channel) {
    if (!grid_.toggle(ctx_.hub.song().channelFlags(), row, channel)) return;
    ctx_.hub.channelFlagsEdited();
}

void MuteSoloWindow::clearRow(int row) {
    if (!MuteSoloGrid::clearRow(ctx_.hub.song().channelFlags(), row)) return;
    ctx_.hub.channelFlagsEdited();
}

void MuteSoloWindow::changeEvent(QEvent* e) {
    if (e->type() == QEvent::ActivationChange && isActiveWindow()) refresh();
    QWidget::changeEvent(e);
}

void MuteSoloWindow::closeEvent(QCloseEvent* e) {
    storePlacement(this, ctx_.hub.settings(), WindowKind::MuteSolo);
    e->accept();
}

}  // namespace kantor::app
