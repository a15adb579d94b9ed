#include "app/TextSpin.h"

#include <QHBoxLayout>
#include <algorithm>

namespace kantor::app {

TextSpin::TextSpin(int lo, int hi, int value, QWidget* parent)
    : QWidget(parent), text_(new QLabel(this)), arrows_(new UpDownSpin(this)), lo_(lo), hi_(std::max(lo, hi)),
      value_(std::clamp(value, lo, hi_)) {
    auto* l = new QHBoxLayout(this);
    l->setContentsMargins(0, 0, 0, 0);
    l->setSpacing(2);
    text_->setFrameShape(QFrame::StyledPanel);
    text_->setFrameShadow(QFrame::Sunken);
    text_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    text_->setMargin(2);
    l->addWidget(text_, 1);
    l->addWidget(arrows_);
    arrows_->setRange(hi_ - lo_);
    arrows_->setValue(value_ - lo_);
    connect(arrows_, &UpDownSpin::moved, this, [this](int v) {
        const int delta = v + lo_ - value_;
        arrows_->setValue(value_ - lo_);
        stepBy(delta);
    });
    setMinimumTextWidth(6);
    // As tall as its arrows, wherever a row puts it.
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void TextSpin::setMinimumTextWidth(int chars) {
    text_->setMinimumWidth(text_->fontMetrics().horizontalAdvance(QString(chars, QChar('0'))) + 8);
}

void TextSpin::setValue(int v) {
    value_ = std::clamp(v, lo_, hi_);
    arrows_->setValue(value_ - lo_);
}

bool TextSpin::stepBy(int delta) {
    const long v = static_cast<long>(value_) + delta;
    if (delta == 0 || v < lo_ || v > hi_) return false;
    if (step && !step(static_cast<int>(v), delta)) return false;
    setValue(static_cast<int>(v));
    emit stepped(value_);
    return true;
}

}  // namespace kantor::app
