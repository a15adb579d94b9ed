#include "app/UpDownSpin.h"

#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>

namespace kantor::app {

UpDownSpin::UpDownSpin(QWidget* parent) : QWidget(parent), up_(new QToolButton(this)), down_(new QToolButton(this)) {
    auto* l = new QVBoxLayout(this);
    l->setContentsMargins(0, 0, 0, 0);
    l->setSpacing(0);
    for (QToolButton* b : {up_, down_}) {
        b->setAutoRepeat(true);
        b->setAutoRepeatInterval(60);
        b->setFixedSize(18, 12);
        b->setFocusPolicy(Qt::NoFocus);
        l->addWidget(b);
    }
    up_->setArrowType(Qt::UpArrow);
    down_->setArrowType(Qt::DownArrow);
    connect(up_, &QToolButton::clicked, this, [this] { stepBy(1); });
    connect(down_, &QToolButton::clicked, this, [this] { stepBy(-1); });
    setFocusPolicy(Qt::NoFocus);
}

void UpDownSpin::setRange(int maximum) {
    max_ = std::max(0, maximum);
    value_ = std::clamp(value_, 0, max_);
}

void UpDownSpin::setValue(int v) { value_ = std::clamp(v, 0, max_); }

void UpDownSpin::stepBy(int steps) {
    const int v = std::clamp(value_ + steps, 0, max_);
    if (v == value_) return;
    value_ = v;
    emit moved(v);
}

void UpDownSpin::wheelEvent(QWheelEvent* e) {
    const int d = e->angleDelta().y();
    if (d != 0) stepBy(d > 0 ? 1 : -1);
    e->accept();
}

}  // namespace kantor::app
