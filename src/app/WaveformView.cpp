#include "app/WaveformView.h"

#include <QPainter>
#include <algorithm>
#include <cstdlib>

namespace kantor::app {

WaveformView::WaveformView(QWidget* parent) : QWidget(parent) {
    setMinimumSize(160, 70);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void WaveformView::setSamples(std::vector<int16_t> samples) {
    samples_ = std::move(samples);
    update();
}

void WaveformView::setRange(int64_t first, int64_t last) {
    first_ = first;
    last_ = std::max(first + 1, last);
    update();
}

void WaveformView::setMarkers(const Markers& m) {
    markers_ = m;
    update();
}

void WaveformView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QRect r = rect().adjusted(0, 0, -1, -1);
    p.fillRect(r, QColor(16, 24, 32));
    const int w = std::max(1, r.width());
    const double mid = r.top() + r.height() / 2.0;
    double full = 32768.0;
    if (autoScale_) {
        int peak = 0;
        for (int64_t i = std::max<int64_t>(first_, 0); i < last_ && i < int64_t(samples_.size()); ++i)
            peak = std::max(peak, std::abs(int(samples_[static_cast<std::size_t>(i)])));
        full = std::max(peak, 256) * 1.1;
    }
    const double half = r.height() / 2.0 - 2;
    p.setPen(QColor(60, 70, 80));
    p.drawLine(r.left(), int(mid), r.right(), int(mid));
    // One vertical stroke per column from the column's lowest to its highest sample.
    p.setPen(QColor(90, 220, 140));
    const double per = double(last_ - first_) / w;
    for (int x = 0; x < w; ++x) {
        const int64_t a = first_ + int64_t(x * per);
        const int64_t b = std::max(a + 1, first_ + int64_t((x + 1) * per));
        int lo = 0, hi = 0;
        bool any = false;
        for (int64_t i = std::max<int64_t>(a, 0); i < b && i < int64_t(samples_.size()); ++i) {
            const int s = samples_[static_cast<std::size_t>(i)];
            lo = any ? std::min(lo, s) : s;
            hi = any ? std::max(hi, s) : s;
            any = true;
        }
        if (!any) continue;
        p.drawLine(r.left() + x, int(mid - hi / full * half), r.left() + x, int(mid - lo / full * half));
    }
    // The end of the data.
    if (int64_t(samples_.size()) < last_) {
        const int x = r.left() + int((int64_t(samples_.size()) - first_) / per);
        if (x < r.right()) p.fillRect(QRect(QPoint(std::max(x, r.left()), r.top()), r.bottomRight()), QColor(60, 30, 30, 160));
    }
    const struct {
        uint32_t at;
        const char* name;
        QColor colour;
    } marks[] = {{markers_.a, "A", QColor(255, 200, 60)},
                 {markers_.b, "B", QColor(255, 120, 60)},
                 {markers_.c, "C", QColor(90, 170, 255)},
                 {markers_.d, "D", QColor(200, 120, 255)}};
    const QFontMetrics fm(font());
    for (const auto& m : marks) {
        if (int64_t(m.at) < first_ || int64_t(m.at) > last_) continue;
        const int x = r.left() + int((int64_t(m.at) - first_) / per);
        p.setPen(m.colour);
        p.drawLine(x, r.top(), x, r.bottom());
        p.drawText(std::min(x + 2, r.right() - fm.horizontalAdvance(m.name)), r.top() + fm.ascent() + 1, m.name);
    }
}

}  // namespace kantor::app
