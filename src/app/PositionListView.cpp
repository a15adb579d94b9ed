#include "app/PositionListView.h"

#include "midi/TempoMap.h"

#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>

namespace kantor::app {

QFont positionWindowFont(const QFont& base) {
    QFont f = base;
    f.setFamilies({"ＭＳ Ｐゴシック", "MS PGothic", "Noto Sans CJK JP", "IPAPGothic", base.family()});
    f.setPointSize(10);
    return f;
}

QLabel* makePositionLabel(QWidget* parent, const QFont& font) {
    auto* l = new QLabel(kNoPositionText, parent);
    l->setObjectName("position");
    l->setFont(font);
    l->setFrameShape(QFrame::Panel);
    l->setFrameShadow(QFrame::Sunken);
    l->setAlignment(Qt::AlignCenter);
    l->setMinimumWidth(QFontMetrics(font).horizontalAdvance("000 : 0 : 000   ") + 8);
    return l;
}

PositionListView::PositionListView(QWidget* parent) : QAbstractScrollArea(parent) {
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFrameShape(QFrame::StyledPanel);
    setFrameShadow(QFrame::Sunken);
    measure();
}

void PositionListView::measure() {
    const QFontMetrics m(font());
    rowHeight_ = m.height();
    columnWidth_ = m.horizontalAdvance("000 : 0 : 000   ");
    verticalScrollBar()->setSingleStep(1);
    updateScrollBar();
}

void PositionListView::changeEvent(QEvent* e) {
    if (e->type() == QEvent::FontChange) measure();
    QAbstractScrollArea::changeEvent(e);
}

QSize PositionListView::sizeHint() const {
    return {columnWidth_ * 3 + verticalScrollBar()->sizeHint().width(), rowHeight_ * 10 + 4 + 2 * frameWidth()};
}

int PositionListView::visibleRows() const { return std::max(1, viewport()->height() / std::max(1, rowHeight_)); }

void PositionListView::setRows(std::vector<Row> rows) {
    rows_ = std::move(rows);
    if (selected_ >= static_cast<int>(rows_.size())) selected_ = -1;
    updateScrollBar();
    viewport()->update();
}

void PositionListView::setSelected(int index) {
    selected_ = index >= 0 && index < static_cast<int>(rows_.size()) ? index : -1;
    viewport()->update();
}

void PositionListView::setTop(int top) {
    const int limit = std::max(0, static_cast<int>(rows_.size()) - visibleRows());
    top_ = std::clamp(top, 0, limit);
    updateScrollBar();
    viewport()->update();
}

void PositionListView::centre(int index) {
    if (index < 0) return;
    setTop(index - visibleRows() / 2);
}

void PositionListView::reveal(int index) {
    if (index < 0) return;
    if (index < top_ || index >= top_ + visibleRows()) setTop(index);
}

int PositionListView::rowAt(const QPoint& p) const {
    if (p.y() < 0) return -1;
    const int row = p.y() / std::max(1, rowHeight_);
    if (row >= visibleRows()) return -1;
    const int index = top_ + row;
    return index < static_cast<int>(rows_.size()) ? index : -1;
}

void PositionListView::updateScrollBar() {
    syncing_ = true;
    QScrollBar* bar = verticalScrollBar();
    const int visible = visibleRows();
    bar->setRange(0, std::max(0, static_cast<int>(rows_.size()) - visible));
    bar->setPageStep(visible);
    top_ = std::clamp(top_, 0, bar->maximum());
    bar->setValue(top_);
    syncing_ = false;
}

void PositionListView::scrollContentsBy(int, int) {
    if (syncing_) return;
    top_ = verticalScrollBar()->value();
    viewport()->update();
}

void PositionListView::resizeEvent(QResizeEvent* e) {
    QAbstractScrollArea::resizeEvent(e);
    updateScrollBar();
}

void PositionListView::paintEvent(QPaintEvent*) {
    QPainter p(viewport());
    p.fillRect(viewport()->rect(), Qt::white);
    const int w = viewport()->width();
    const int visible = visibleRows();
    for (int r = 0; r < visible; ++r) {
        const int index = top_ + r;
        if (index >= static_cast<int>(rows_.size())) break;
        const QRect line(0, r * rowHeight_, w, rowHeight_);
        const bool sel = index == selected_;
        if (sel) p.fillRect(line, QColor(0, 0, 128));
        p.setPen(sel ? Qt::white : Qt::black);
        p.drawText(QRect(0, line.top(), columnWidth_, rowHeight_), Qt::AlignCenter, rows_[index].position);
        const QRect text(columnWidth_, line.top(), w - columnWidth_ - 2, rowHeight_);
        p.drawText(text, Qt::AlignLeft | Qt::AlignVCenter,
                   p.fontMetrics().elidedText(rows_[index].text, Qt::ElideRight, text.width()));
    }
}

void PositionListView::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return;
    const int index = rowAt(e->position().toPoint());
    if (index >= 0) emit rowClicked(index);
}

void PositionListView::mouseDoubleClickEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return;
    const int index = rowAt(e->position().toPoint());
    if (index >= 0) emit rowDoubleClicked(index);
}

}  // namespace kantor::app
