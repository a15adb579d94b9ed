#include "app/ChannelViews.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "hub/Hub.h"

namespace kantor::app {

namespace {

QString q(const std::string& s) { return QString::fromStdString(s); }

const QColor kHeaderBack(0xec, 0xee, 0xf2);
const QColor kMeasureLine(0x9a, 0xa2, 0xb0);
const QColor kBeatLine(0xdd, 0xe1, 0xe8);
const QColor kCursor(0xd0, 0x20, 0x20);
const QColor kStart(0x1b, 0x8a, 0x3c);
const QColor kStop(0x2a, 0x5d, 0xc8);
const QColor kRangeShade(0x2a, 0x5d, 0xc8, 0x24);

// The measure numbers of the visible measures, spaced so that they never collide.
void drawMeasureNumbers(QPainter& p, const MeasureAxis& axis, int top, int height) {
    const QFontMetrics fm = p.fontMetrics();
    const int widest = fm.horizontalAdvance(QString::number(axis.span.first + axis.span.count)) + 8;
    const double colW = axis.columnWidth();
    const int every = colW <= 0 ? 1 : std::max(1, int(std::ceil(widest / colW)));
    p.setPen(QColor(0x30, 0x36, 0x40));
    for (int i = 0; i < axis.span.count; ++i) {
        const int m = axis.span.first + i;
        if (m % every != 0) continue;
        const int x = int(axis.left + i * colW);
        p.drawText(QRect(x + 3, top, widest, height), Qt::AlignVCenter | Qt::AlignLeft, QString::number(m + 1));
    }
}

// The start–stop range in the header's lower band and as thin lines over the grid, and
// the position cursor as a triangle with a line.
void drawRangeAndCursor(QPainter& p, const MeasureAxis& axis, QRect band, QRect grid, PlayRange range, uint32_t position,
                        bool cursor) {
    const double left = axis.left, right = axis.left + axis.width;
    const double xs = std::clamp(axis.xOf(range.start), left, right);
    const double xe = std::clamp(axis.xOf(range.stop), left, right);
    if (range.stop > range.start && xe > xs) p.fillRect(QRectF(xs, band.top(), xe - xs, band.height()), kRangeShade);
    auto marker = [&](uint32_t tick, const QColor& c, bool pointsRight) {
        if (!axis.shows(tick)) return;
        const double x = axis.xOf(tick);
        p.setPen(QPen(c, 1, Qt::DashLine));
        p.drawLine(QPointF(x, grid.top()), QPointF(x, grid.bottom()));
        QPainterPath path;
        const double h = band.height() - 2;
        path.moveTo(x, band.top() + 1);
        path.lineTo(x + (pointsRight ? h * 0.7 : -h * 0.7), band.top() + 1 + h / 2);
        path.lineTo(x, band.bottom());
        path.closeSubpath();
        p.fillPath(path, c);
    };
    marker(range.start, kStart, true);
    marker(range.stop, kStop, false);
    if (cursor && axis.shows(position)) {
        const double x = axis.xOf(position);
        p.setPen(QPen(kCursor, 2));
        p.drawLine(QPointF(x, band.top()), QPointF(x, grid.bottom()));
        QPainterPath path;
        const double h = band.height() - 1;
        path.moveTo(x - h * 0.55, band.top());
        path.lineTo(x + h * 0.55, band.top());
        path.lineTo(x, band.top() + h);
        path.closeSubpath();
        p.fillPath(path, kCursor);
    }
}

void drawMeasureLines(QPainter& p, const MeasureAxis& axis, const std::vector<Measure>& measures, int top, int bottom,
                      bool beats) {
    const double colW = axis.columnWidth();
    for (int i = 0; i <= axis.span.count; ++i) {
        const double x = axis.left + i * colW;
        const std::size_t m = static_cast<std::size_t>(axis.span.first + i);
        if (beats && i < axis.span.count && m < measures.size()) {
            const int n = measures[m].numerator;
            if (n > 1 && colW / n >= 6) {
                p.setPen(kBeatLine);
                for (int b = 1; b < n; ++b) p.drawLine(QPointF(x + b * colW / n, top), QPointF(x + b * colW / n, bottom));
            }
        }
        p.setPen(kMeasureLine);
        p.drawLine(QPointF(x, top), QPointF(x, bottom));
    }
}

// The first index of `order` whose event may reach `tick` (starts no earlier than
// tick - longest).
template <typename Start>
std::size_t firstReaching(std::size_t size, uint32_t tick, uint32_t longest, Start start) {
    const uint32_t from = tick > longest ? tick - longest : 0;
    std::size_t lo = 0, hi = size;
    while (lo < hi) {
        const std::size_t mid = (lo + hi) / 2;
        if (start(mid) < from) lo = mid + 1;
        else hi = mid;
    }
    return lo;
}

}  // namespace

QColor phraseGroupColour(int group) {
    static const QColor colours[6] = {QColor(0x1f, 0x6f, 0xc5), QColor(0x2e, 0x9a, 0x3f), QColor(0xd9, 0x7a, 0x0b),
                                      QColor(0x8e, 0x3f, 0xb5), QColor(0x0f, 0x93, 0x96), QColor(0xb0, 0x3a, 0x5b)};
    return colours[std::clamp(group, 0, 5)];
}

// --- Channel list grid ------------------------------------------------------------------------

ChannelGridView::ChannelGridView(Hub& hub, QWidget* parent) : QWidget(parent), hub_(hub) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::ClickFocus);
    rebuild();
}

void ChannelGridView::rebuild() {
    for (int c = 0; c < 16; ++c) {
        auto& bars = bars_[static_cast<std::size_t>(c)];
        bars.clear();
        uint32_t longest = 0;
        int low = 127, high = 0;
        const bool vox = hub_.song().isVoxChannel(c);
        bool notes = false;
        if (hub_.hasMidi()) {
            for (const auto& e : hub_.midi().channel(c))
                if (e && e->isNote()) notes = true;
        }
        if (vox) {
            for (const auto& e : hub_.song().channel(c).events) {
                if (!e) continue;
                bars.push_back({e->startTick, std::max(e->endTick, e->startTick), uint8_t(e->noteKey & 127),
                                uint8_t(e->hasSyllable() ? 1 : 0)});
            }
        } else if (notes) {
            for (const auto& e : hub_.midi().channel(c))
                if (e && e->isNote())
                    bars.push_back({e->startTick(), std::max(e->endTick(), e->startTick()),
                                    uint8_t(e->noteNumber() & 127), 0});
        }
        std::sort(bars.begin(), bars.end(), [](const Bar& a, const Bar& b) { return a.start < b.start; });
        for (const Bar& b : bars) {
            longest = std::max(longest, b.end - b.start);
            low = std::min<int>(low, b.key);
            high = std::max<int>(high, b.key);
        }
        longest_[static_cast<std::size_t>(c)] = longest;
        hasNotes_[static_cast<std::size_t>(c)] = notes;
        vox_[static_cast<std::size_t>(c)] = vox;
        lowKey_[static_cast<std::size_t>(c)] = bars.empty() ? 60 : low;
        highKey_[static_cast<std::size_t>(c)] = bars.empty() ? 60 : high;
    }
    update();
}

void ChannelGridView::setSpan(MeasureSpan s) {
    span_ = s;
    update();
}

void ChannelGridView::setRows(RowSpan r) {
    rows_ = r;
    update();
}

void ChannelGridView::setPosition(uint32_t tick, bool showCursor) {
    position_ = tick;
    showCursor_ = showCursor;
    update();
}

void ChannelGridView::setDisplay(int barPattern, int colourArea) {
    barPattern_ = barPattern == 1 ? 1 : 0;
    colourArea_ = colourArea == 1 ? 1 : 0;
    update();
}

int ChannelGridView::headerHeight() const { return 2 * (fontMetrics().height() + 3); }

QRect ChannelGridView::gridRect() const {
    const int labels = fontMetrics().horizontalAdvance("16 Vox") + 12;
    const int top = headerHeight();
    return QRect(labels, top, std::max(1, width() - labels - 1), std::max(1, height() - top - 1));
}

MeasureAxis ChannelGridView::axis() const {
    const QRect g = gridRect();
    return MeasureAxis{&hub_.tempoMap().measures(), span_, g.left(), g.width()};
}

ViewHit ChannelGridView::hitAt(QPoint p) const {
    ViewHit h;
    const QRect g = gridRect();
    h.header = p.y() < g.top();
    const MeasureAxis a = axis();
    h.hasTick = a.tickAt(p.x(), h.measure, h.tick);
    if (!h.header) h.channel = channelAt(p.y(), g.top(), g.height(), rows_);
    return h;
}

void ChannelGridView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QRect g = gridRect();
    const QFontMetrics fm = fontMetrics();
    const int band = fm.height() + 3;
    p.fillRect(rect(), Qt::white);
    p.fillRect(QRect(0, 0, width(), g.top()), kHeaderBack);
    p.fillRect(QRect(0, g.top(), g.left(), g.height() + 1), kHeaderBack);
    const MeasureAxis a = axis();
    const auto& measures = hub_.tempoMap().measures();
    const TickRange visible = visibleTicks(measures, span_);
    drawMeasureNumbers(p, a, 0, band);

    const double rowH = double(g.height()) / std::max(1, rows_.count);
    QVector<QRect> sung, plain, midi;  // whole pixels: the raster engine's fast path
    for (int r = 0; r < rows_.count; ++r) {
        const int c = rows_.first + r;
        if (c < 0 || c > 15) continue;
        const auto ci = static_cast<std::size_t>(c);
        const double y = g.top() + r * rowH;
        // The channel number, and "Vox" for a vocal channel.
        QFont f = font();
        f.setBold(vox_[ci]);
        p.setFont(f);
        p.setPen(hasNotes_[ci] ? QColor(0x20, 0x24, 0x2c) : QColor(0xa0, 0xa6, 0xb0));
        p.drawText(QRectF(4, y, g.left() - 8, rowH), Qt::AlignVCenter | Qt::AlignLeft, QString::number(c + 1));
        if (vox_[ci]) {
            p.setPen(QColor(0xc0, 0x5a, 0x00));
            p.drawText(QRectF(4, y, g.left() - 8, rowH), Qt::AlignVCenter | Qt::AlignRight, "Vox");
        }
        p.setFont(font());
        const auto& bars = bars_[ci];
        if (bars.empty()) continue;
        // The row's colour: the whole row, or only where the channel has events.
        const QColor back = vox_[ci] ? QColor(0xfd, 0xf0, 0xdc) : QColor(0xe6, 0xee, 0xf8);
        double x0 = g.left(), x1 = g.right();
        if (colourArea_ == 1) {
            uint32_t last = 0;
            for (const Bar& b : bars) last = std::max(last, b.end);
            x0 = std::clamp(a.xOf(bars.front().start), double(g.left()), double(g.right()));
            x1 = std::clamp(last >= visible.end ? double(g.right()) : a.xOf(last), double(g.left()), double(g.right()));
        }
        if (x1 > x0) p.fillRect(QRectF(x0, y + 1, x1 - x0, rowH - 1), back);
        const std::size_t from =
            firstReaching(bars.size(), visible.start, longest_[ci], [&](std::size_t i) { return bars[i].start; });
        const int span = std::max(1, highKey_[ci] - lowKey_[ci] + 1);
        const double inner = rowH - 4;
        const double barH = barPattern_ == 0 ? std::max(2.0, std::min(inner / span * 1.5, inner / 3)) : inner;
        for (std::size_t i = from; i < bars.size() && bars[i].start < visible.end; ++i) {
            const Bar& b = bars[i];
            if (b.end <= visible.start) continue;
            const double bx0 = std::max(a.xOf(b.start), double(g.left()));
            const double bx1 = std::min(a.xOf(b.end), double(g.right()));
            double by = y + 2;
            if (barPattern_ == 0) by += (inner - barH) * (span == 1 ? 0.5 : double(highKey_[ci] - b.key) / (span - 1));
            const QRectF r(bx0, by, std::max(1.0, bx1 - bx0 - 0.5), barH);
            (vox_[ci] ? (b.sung ? sung : plain) : midi).append(r.toAlignedRect());
        }
    }
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x5b, 0x7f, 0xb0));
    p.drawRects(midi);
    p.setBrush(QColor(0xf0, 0xb8, 0x70));
    p.drawRects(plain);
    p.setBrush(QColor(0xc8, 0x5a, 0x00));
    p.drawRects(sung);
    p.setBrush(Qt::NoBrush);

    // Row separators and measure lines.
    p.setPen(QColor(0xd4, 0xd8, 0xe0));
    for (int r = 0; r <= rows_.count; ++r) p.drawLine(QPointF(0, g.top() + r * rowH), QPointF(g.right(), g.top() + r * rowH));
    drawMeasureLines(p, a, measures, 0, g.bottom(), false);
    drawRangeAndCursor(p, a, QRect(g.left(), band, g.width(), band - 1), g, hub_.range(), position_, showCursor_);
}

void ChannelGridView::mousePressEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton) emit clicked(hitAt(e->position().toPoint()));
    QWidget::mousePressEvent(e);
}

void ChannelGridView::mouseDoubleClickEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton)
        emit doubleClicked(hitAt(e->position().toPoint()), e->modifiers().testFlag(Qt::ControlModifier));
}

void ChannelGridView::wheelEvent(QWheelEvent* e) {
    const int steps = e->angleDelta().y() / 120;
    if (steps != 0) emit wheelTurned(steps, e->modifiers());
    e->accept();
}

// --- Score ------------------------------------------------------------------------------------

ScoreView::ScoreView(Hub& hub, int channel, QWidget* parent) : QWidget(parent), hub_(hub), channel_(channel & 15) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    rebuild();
}

void ScoreView::rebuild() {
    snapshot();
    update();
}

void ScoreView::snapshot() {
    const Song& song = hub_.song();
    heads_ = phraseHeadsOf(song, channel_);
    const auto& events = song.channel(channel_).events;
    order_.clear();
    starts_.clear();
    phraseEnd_.clear();
    longest_ = 0;
    lowKey_ = highKey_ = -1;
    for (std::size_t i = 0; i < events.size(); ++i) {
        const VoxEvent* e = events[i].get();
        if (!e) continue;
        order_.push_back(i);
        if (e->endTick > e->startTick) longest_ = std::max(longest_, e->endTick - e->startTick);
        const int key = int(e->noteKey & 127);
        lowKey_ = lowKey_ < 0 ? key : std::min(lowKey_, key);
        highKey_ = std::max(highKey_, key);
        if (heads_[i] >= 0) {
            uint32_t& end = phraseEnd_[heads_[i]];
            end = std::max(end, e->endTick);
        }
    }
    std::stable_sort(order_.begin(), order_.end(),
                     [&](std::size_t a, std::size_t b) { return events[a]->startTick < events[b]->startTick; });
    for (std::size_t i : order_) starts_.push_back(events[i]->startTick);
    kana_.clear();
    if (selected_ >= static_cast<long>(events.size())) selected_ = -1;
    snapshotSize_ = events.size();
    lineStale_ = true;
}

void ScoreView::setPitchLine(bool on) {
    if (on == pitchLine_) return;
    pitchLine_ = on;
    update();
}

const std::vector<SungSyllable>& ScoreView::pitchLineSyllables() const {
    updatePitchLine();
    return line_;
}

void ScoreView::updatePitchLine() const {
    const ExpressionMode mode = hub_.expressionMode();
    if (!lineStale_ && mode == lineMode_) return;
    lineStale_ = false;
    lineMode_ = mode;
    const Song& song = hub_.song();
    const TempoMap& map = hub_.tempoMap();
    line_ = pitchLineOf(song, channel_, map, mode);
    // Where each syllable sounds, in ticks: from its note's start, moved by the milliseconds
    // from the note's start to the sound's start and on by its length.
    std::vector<std::pair<uint32_t, uint32_t>> ticks(line_.size());
    for (std::size_t i = 0; i < line_.size(); ++i) {
        const SungSyllable& y = line_[i];
        const VoxEvent* e = song.event(channel_, y.event);
        const uint32_t noteTick = e ? e->startTick : 0;
        const int64_t noteMs = map.millisecondsBetween(0, noteTick);
        const int64_t from = int64_t(noteTick) + map.tickOffset(y.soundStartMs() - noteMs, noteTick);
        const uint32_t start = static_cast<uint32_t>(std::clamp<int64_t>(from, 0, UINT32_MAX));
        const int64_t to = int64_t(start) + map.tickOffset(y.lengthMs, start);
        ticks[i] = {start, static_cast<uint32_t>(std::clamp<int64_t>(to, start, UINT32_MAX))};
    }
    std::vector<std::size_t> order(line_.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return ticks[a].first < ticks[b].first; });
    std::vector<SungSyllable> sorted;
    sorted.reserve(line_.size());
    lineTicks_.clear();
    lineTicks_.reserve(line_.size());
    longestLine_ = 0;
    for (std::size_t i : order) {
        sorted.push_back(line_[i]);
        lineTicks_.push_back(ticks[i]);
        longestLine_ = std::max(longestLine_, ticks[i].second - ticks[i].first);
    }
    line_ = std::move(sorted);
}

QPolygonF ScoreView::pitchLinePoints(std::size_t i) const {
    updatePitchLine();
    QPolygonF out;
    if (i >= line_.size()) return out;
    const SungSyllable& y = line_[i];
    const auto [t0, t1] = lineTicks_[i];
    const MeasureAxis a = axis();
    const KeyAxis k = keyAxis();
    const double rowH = k.rowHeight();
    const double x0 = a.xOf(t0), x1 = a.xOf(t1);
    const double len = y.lengthMs;
    // A point every two pixels, and at least eight a vibrato period so that the swing shows.
    double step = len > 0 && x1 > x0 ? 2.0 * len / (x1 - x0) : len;
    if (y.curve.vibratoDepthCents > 0 && y.curve.vibratoRateHz > 0)
        step = std::min(step, 1000.0 / y.curve.vibratoRateHz / 8);
    if (y.curve.pitchFlat()) step = len;
    step = std::max({step, 1.0, len / 4000.0});
    const double centre = k.yOf(y.key) + rowH / 2;
    auto point = [&](double t) {
        const double tick = t0 + (len > 0 ? double(t1 - t0) * t / len : 0.0);
        const double x = a.xOf(static_cast<uint32_t>(std::lround(tick)));
        return QPointF(x, centre - y.centsAt(t) / 100.0 * rowH);
    };
    for (double t = 0; t < len; t += step) out.append(point(t));
    out.append(point(len));
    return out;
}

void ScoreView::setSpan(MeasureSpan s) {
    span_ = s;
    update();
}

void ScoreView::setKeys(KeySpan k) {
    keys_ = clampKeys(k);
    update();
}

void ScoreView::setPosition(uint32_t tick, bool showCursor) {
    position_ = tick;
    showCursor_ = showCursor;
    update();
}

void ScoreView::setSelected(long event) {
    selected_ = event;
    update();
}

void ScoreView::setWordDisplay(WordDisplay d) {
    words_ = d;
    update();
}

int ScoreView::headerHeight() const { return 2 * (fontMetrics().height() + 3); }

QRect ScoreView::noteRect() const {
    const int keyboard = fontMetrics().horizontalAdvance("C-2#") + 22;
    const int top = headerHeight();
    return QRect(keyboard, top, std::max(1, width() - keyboard - 1), std::max(1, height() - top - 1));
}

MeasureAxis ScoreView::axis() const {
    const QRect r = noteRect();
    return MeasureAxis{&hub_.tempoMap().measures(), span_, r.left(), r.width()};
}

KeyAxis ScoreView::keyAxis() const {
    const QRect r = noteRect();
    return KeyAxis{keys_, r.top(), r.height()};
}

ViewHit ScoreView::hitAt(QPoint p) const {
    ViewHit h;
    const QRect r = noteRect();
    h.header = p.y() < r.top();
    h.channel = channel_ + 1;
    h.hasTick = axis().tickAt(p.x(), h.measure, h.tick);
    if (!h.header && h.hasTick) {
        const int key = keyAxis().keyAt(p.y());
        if (key >= 0) h.event = noteAt(hub_.song(), channel_, h.tick, key);
    }
    return h;
}

std::string ScoreView::kanaOf(std::size_t event, const std::string& code) const {
    const Song& song = hub_.song();
    std::string voice;
    const long head = event < heads_.size() ? heads_[event] : -1;
    const VoxEvent* h = head >= 0 ? song.event(channel_, static_cast<std::size_t>(head)) : nullptr;
    voice = h ? song.resolvePhraseSettings(channel_, h->phraseIndex).voiceName
              : song.resolveChannelSettings(channel_).voiceName;
    auto key = std::make_pair(voice, code);
    auto it = kana_.find(key);
    if (it != kana_.end()) return it->second;
    SyllableMatch m;
    std::string kana = hub_.voices().findSyllableByCode(voice, code, m) ? m.kana : std::string();
    kana_.emplace(std::move(key), kana);
    return kana;
}

QString ScoreView::wordsOf(std::size_t event) const {
    const VoxEvent* e = hub_.song().event(channel_, event);
    if (!e) return {};
    return q(noteWords(*e, words_, [&](const std::string& code) { return kanaOf(event, code); }));
}

void ScoreView::paintEvent(QPaintEvent*) {
    // Another window may have replaced the channel's events (a restored backup): the copy
    // is taken again before anything is drawn from it.
    if (hub_.song().channel(channel_).events.size() != snapshotSize_) snapshot();
    QPainter p(this);
    const QRect n = noteRect();
    const QFontMetrics fm = fontMetrics();
    const int band = fm.height() + 3;
    const MeasureAxis a = axis();
    const KeyAxis k = keyAxis();
    const auto& measures = hub_.tempoMap().measures();
    const TickRange visible = visibleTicks(measures, span_);
    const double rowH = k.rowHeight();

    p.fillRect(rect(), Qt::white);
    p.fillRect(QRect(0, 0, width(), n.top()), kHeaderBack);
    // Key rows: the sharps shaded, a line under every C.
    for (int key = keys_.low; key < keys_.low + keys_.count; ++key) {
        const double y = k.yOf(key);
        if (isSharpKey(key)) p.fillRect(QRectF(n.left(), y, n.width() + 1, rowH), QColor(0xf1, 0xf3, 0xf6));
        if (key % 12 == 0) {
            p.setPen(QColor(0xc6, 0xcc, 0xd6));
            p.drawLine(QPointF(n.left(), y + rowH), QPointF(n.right(), y + rowH));
        }
    }
    drawMeasureLines(p, a, measures, n.top(), n.bottom(), true);

    // The keyboard scale with the note names.
    QFont small = font();
    small.setPointSizeF(std::max(6.0, font().pointSizeF() * 0.85));
    p.setFont(small);
    const QFontMetrics sfm(small);
    const bool allNames = rowH >= sfm.height() * 0.8;
    for (int key = keys_.low; key < keys_.low + keys_.count; ++key) {
        const QRectF r(0, k.yOf(key), n.left() - 1, rowH);
        const bool sharp = isSharpKey(key);
        p.fillRect(r, sharp ? QColor(0x3a, 0x3f, 0x48) : QColor(0xfb, 0xfb, 0xfb));
        p.setPen(QColor(0xb8, 0xbe, 0xc8));
        p.drawLine(r.bottomLeft(), r.bottomRight());
        const std::string name = naturalNoteName(key);
        if (!name.empty() && (allNames || key % 12 == 0)) {
            p.setPen(key % 12 == 0 ? QColor(0x10, 0x14, 0x1c) : QColor(0x60, 0x66, 0x70));
            p.drawText(r.adjusted(0, -2, -4, 2), Qt::AlignVCenter | Qt::AlignRight, q(name));
        }
    }
    p.setPen(kMeasureLine);
    p.drawLine(QPointF(n.left() - 1, n.top()), QPointF(n.left() - 1, n.bottom()));
    p.setFont(font());
    drawMeasureNumbers(p, a, 0, band);

    // Phrase spans in the header's lower band, the notes, then the words over them.
    const Song& song = hub_.song();
    const auto& events = song.channel(channel_).events;
    const std::size_t from = firstReaching(order_.size(), visible.start, longest_,
                                           [&](std::size_t i) { return starts_[i]; });
    // Phrases reaching into view from an earlier head still show their span.
    for (const auto& [head, end] : phraseEnd_) {
        const VoxEvent* h = song.event(channel_, static_cast<std::size_t>(head));
        if (!h || end <= visible.start || h->startTick >= visible.end) continue;
        const double x0 = std::max(a.xOf(h->startTick), double(n.left()));
        const double x1 = std::min(a.xOf(end), double(n.right()));
        const QColor solid = phraseGroupColour(h->phraseGroup);
        QColor c = solid;
        c.setAlpha(70);
        const QRectF span(x0, band + band / 2.0, std::max(1.0, x1 - x0), band / 2.0 - 2);
        p.fillRect(span.adjusted(2, 0, 0, 0), c);
        if (h->startTick >= visible.start) p.fillRect(QRectF(x0, span.top() - 2, 3, span.height() + 2), solid);
    }
    p.setClipRect(n);
    struct Word {
        QRectF note;
        std::size_t event;
        int key;
        double room;
    };
    std::vector<Word> words;
    // Notes are gathered by colour and drawn together; heads and the selection after them.
    // Whole pixels: the raster engine fills aligned rectangles on its fast path.
    std::map<QRgb, QVector<QRect>> fills;
    std::map<QRgb, QVector<QRect>> frames;
    struct Head {
        double x, bottom;
        int group;
    };
    std::vector<Head> heads;
    QRectF chosenRect;
    for (std::size_t o = from; o < order_.size(); ++o) {
        const std::size_t i = order_[o];
        if (i >= events.size() || !events[i]) continue;
        const VoxEvent& e = *events[i];
        if (e.startTick >= visible.end) break;
        if (e.endTick <= visible.start) continue;
        const int key = int(e.noteKey & 127);
        const double x0 = a.xOf(e.startTick), x1 = a.xOf(e.endTick);
        const bool onKeys = key >= keys_.low && key < keys_.low + keys_.count;
        const QRectF r(x0, onKeys ? k.yOf(key) + 1 : 0, std::max(2.0, x1 - x0 - 1), std::max(2.0, rowH - 2));
        const QColor group = heads_[i] >= 0 ? phraseGroupColour(e.phraseGroup) : QColor(0x8a, 0x90, 0x9a);
        const bool sung = e.hasSyllable();
        if (onKeys) {
            const QRect whole = r.toAlignedRect().adjusted(0, 0, -1, -1);
            fills[(sung ? group : group.lighter(165)).rgb()].append(whole);
            // Notes too narrow for a frame are only filled.
            if (whole.width() >= 4) frames[group.darker(140).rgb()].append(whole.adjusted(0, 0, -1, -1));
            if (static_cast<long>(i) == selected_ || e.hasLyric == 2) chosenRect = r;
        }
        if (e.phraseIndex != 0) heads.push_back({x0, onKeys ? r.bottom() : double(n.bottom()), std::min<int>(e.phraseGroup, 5)});
        if (words_ != WordDisplay::Off && sung && onKeys) words.push_back({r, i, key, 0});
    }
    for (const auto& [rgb, rects] : fills) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor::fromRgb(rgb));
        p.drawRects(rects);
    }
    p.setBrush(Qt::NoBrush);
    for (const auto& [rgb, rects] : frames) {
        p.setPen(QPen(QColor::fromRgb(rgb), 1));
        p.drawRects(rects);
    }
    if (!chosenRect.isNull()) {
        p.setPen(QPen(QColor(0x10, 0x10, 0x10), 2));
        p.drawRect(chosenRect);
    }
    // A phrase head: a bold line from the top of the score down to its note, with the
    // group's letter where there is room for it.
    double lastFlag = -1e9;
    for (const Head& h : heads) {
        const QColor c = phraseGroupColour(h.group);
        p.setPen(QPen(c, 2));
        p.drawLine(QPointF(h.x, n.top()), QPointF(h.x, h.bottom));
        const QString letter = QString(QChar('A' + h.group));
        const QRectF flag(h.x, n.top(), fm.horizontalAdvance(letter) + 8, fm.height());
        if (h.x < lastFlag) continue;
        lastFlag = flag.right() + 2;
        p.fillRect(flag, c);
        p.setPen(Qt::white);
        p.drawText(flag, Qt::AlignCenter, letter);
    }
    if (pitchLine_) {
        updatePitchLine();
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setBrush(Qt::NoBrush);
        const std::size_t first = firstReaching(line_.size(), visible.start, longestLine_,
                                                [&](std::size_t i) { return lineTicks_[i].first; });
        // A pale edge above and below keeps the line clear of the notes' colours. One-pixel
        // lines take the painter's fast path, which wide ones do not.
        // Widths in device pixels: one at 100 %, as thick to the eye at any scale.
        const qreal dpr = std::max<qreal>(1.0, devicePixelRatioF());
        QPen edge(QColor(255, 255, 255, 190), dpr);
        edge.setCosmetic(true);
        QPen line(pitchLineColour(), dpr);
        line.setCosmetic(true);
        for (std::size_t i = first; i < line_.size() && lineTicks_[i].first < visible.end; ++i) {
            if (lineTicks_[i].second <= visible.start) continue;
            const QPolygonF points = pitchLinePoints(i);
            p.setPen(edge);
            p.drawPolyline(points.translated(0, -1.2));
            p.drawPolyline(points.translated(0, 1.2));
            p.setPen(line);
            p.drawPolyline(points);
            p.drawPolyline(points.translated(0, 0.5));
        }
        p.setRenderHint(QPainter::Antialiasing, false);
    }
    QFont wf = font();
    wf.setPointSizeF(font().pointSizeF() * 1.05);
    p.setFont(wf);
    const QFontMetrics wfm(wf);
    // A word sits above its note (below it at the top edge) and may use the room up to the
    // next word whose label would share its line; where there is too little, it is left out.
    auto labelTop = [&](const QRectF& note) {
        const double y = note.top() - wfm.height() - 1;
        return y < n.top() ? note.bottom() + 1 : y;
    };
    // Walking back from the right, each key keeps the left edge of the nearest word after;
    // a label's room ends at the nearest one on a key whose label line meets its own.
    std::array<double, kKeyCount> nextLeft;
    nextLeft.fill(n.right() + 1.0);
    const int near = std::max(1, int(std::ceil(wfm.height() / std::max(1.0, rowH)))) + 1;
    for (std::size_t w = words.size(); w-- > 0;) {
        const double y = labelTop(words[w].note);
        const double left = words[w].note.left();
        double next = n.right() + 1.0;
        for (int key = std::max(0, words[w].key - near); key <= std::min(kKeyCount - 1, words[w].key + near); ++key) {
            const QRectF row(left, k.yOf(key) + 1, 1, std::max(2.0, rowH - 2));
            if (std::abs(labelTop(row) - y) < wfm.height()) next = std::min(next, nextLeft[static_cast<std::size_t>(key)]);
        }
        words[w].room = std::max(words[w].note.width(), next - left - 1);
        nextLeft[static_cast<std::size_t>(words[w].key)] = left;
    }
    for (const Word& w : words) {
        if (w.room < 8) continue;
        const QString text = wfm.elidedText(wordsOf(w.event), Qt::ElideRight, int(w.room) - 4);
        if (text.isEmpty()) continue;
        const double tw = wfm.horizontalAdvance(text) + 4;
        const QRectF box(w.note.left(), labelTop(w.note), tw, wfm.height());
        p.fillRect(box, QColor(255, 255, 255, 215));
        p.setPen(QColor(0x14, 0x18, 0x22));
        p.drawText(box, Qt::AlignCenter, text);
    }
    p.setFont(font());
    p.setClipping(false);
    drawRangeAndCursor(p, a, QRect(n.left(), band, n.width(), band - 1), n, hub_.range(), position_, showCursor_);
}

void ScoreView::mousePressEvent(QMouseEvent* e) {
    setFocus();
    if (e->button() == Qt::LeftButton) emit clicked(hitAt(e->position().toPoint()));
    QWidget::mousePressEvent(e);
}

void ScoreView::mouseDoubleClickEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton)
        emit doubleClicked(hitAt(e->position().toPoint()), e->modifiers().testFlag(Qt::ControlModifier));
}

void ScoreView::wheelEvent(QWheelEvent* e) {
    const int steps = e->angleDelta().y() / 120;
    if (steps != 0) emit wheelTurned(steps, e->modifiers());
    e->accept();
}

void ScoreView::keyPressEvent(QKeyEvent* e) {
    switch (e->key()) {
        case Qt::Key_Left: case Qt::Key_Right: case Qt::Key_Up: case Qt::Key_Down: case Qt::Key_Home: case Qt::Key_End:
            emit keyPressed(e->key(), e->modifiers());
            e->accept();
            return;
        default: QWidget::keyPressEvent(e);
    }
}

}  // namespace kantor::app
