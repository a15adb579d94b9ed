#include "app/score/ScoreEditController.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

#include "app/ChannelViews.h"
#include "app/EditCommands.h"

namespace kantor::app {
namespace {

// Paints what the controller shows over the score: the selection and the drag.
class EditOverlay : public QWidget {
public:
    EditOverlay(ScoreEditController& c, ScoreView* view, const Hub& hub) : QWidget(view), c_(c), view_(view), hub_(hub) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        setGeometry(view->rect());
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setClipRect(view_->noteRect());
        const Song& song = hub_.song();
        const MeasureAxis a = view_->axis();
        const KeyAxis k = view_->keyAxis();
        p.setPen(QPen(QColor(0x10, 0x60, 0xe0), 2));
        p.setBrush(Qt::NoBrush);
        for (std::size_t i : c_.selection()) {
            const VoxEvent* e = song.event(view_->channel(), i);
            if (!e) continue;
            const double x0 = a.xOf(e->startTick), x1 = a.xOf(e->endTick);
            p.drawRect(QRectF(x0, k.yOf(int(e->noteKey & 127)), std::max(3.0, x1 - x0), k.rowHeight()));
        }
        const ScoreEditController::Preview pv = c_.preview();
        if (!pv.active) return;
        QColor fill(0x10, 0x60, 0xe0, 90);
        p.setPen(QPen(QColor(0x10, 0x60, 0xe0), 1, Qt::DashLine));
        p.setBrush(fill);
        for (const QRectF& r : pv.notes) p.drawRect(r);
        if (!pv.band.isNull()) {
            p.setBrush(QColor(0x10, 0x60, 0xe0, 40));
            p.drawRect(pv.band);
        }
    }

private:
    ScoreEditController& c_;
    ScoreView* view_;
    const Hub& hub_;
};

}  // namespace

ScoreEditController::ScoreEditController(AppContext& ctx, ScoreView* view, QWidget* window)
    : QObject(window), ctx_(ctx), view_(view), window_(window) {
    bar_ = new QWidget(window);
    auto* row = new QHBoxLayout(bar_);
    row->setContentsMargins(4, 0, 4, 0);
    mode_ = new QToolButton(bar_);
    mode_->setObjectName("editMode");
    mode_->setText(tr("ノート編集"));
    mode_->setToolTip(tr("ノートを書く・動かす・伸ばす（Alt+クリックで分割、Delete で削除）"));
    mode_->setCheckable(true);
    auto* label = new QLabel(tr("グリッド"), bar_);
    grid_ = new QComboBox(bar_);
    grid_->setObjectName("grid");
    grid_->addItems({tr("4分"), tr("8分"), tr("16分"), tr("32分"), tr("8分3連"), tr("16分3連"), tr("なし")});
    grid_->setCurrentIndex(Sixteenth);
    label->setBuddy(grid_);
    row->addWidget(mode_);
    row->addSpacing(8);
    row->addWidget(label);
    row->addWidget(grid_);
    row->addStretch(1);
    overlay_ = new EditOverlay(*this, view, ctx.hub);
    overlay_->show();
    view->installEventFilter(this);
    connect(mode_, &QToolButton::toggled, this, [this](bool on) {
        view_->setCursor(on ? Qt::CrossCursor : Qt::ArrowCursor);
        if (!on) selection_.clear();
        overlay_->update();
    });
}

ScoreEditController::~ScoreEditController() = default;

bool ScoreEditController::editMode() const { return mode_->isChecked(); }
void ScoreEditController::setEditMode(bool on) { mode_->setChecked(on); }
void ScoreEditController::setGrid(Grid g) { grid_->setCurrentIndex(int(g)); }

uint32_t ScoreEditController::gridTicks() const {
    const uint32_t q = std::max<uint32_t>(1, ctx_.hub.midi().division());
    switch (Grid(grid_->currentIndex())) {
        case Quarter: return q;
        case Eighth: return std::max<uint32_t>(1, q / 2);
        case Sixteenth: return std::max<uint32_t>(1, q / 4);
        case ThirtySecond: return std::max<uint32_t>(1, q / 8);
        case EighthTriplet: return std::max<uint32_t>(1, q / 3);
        case SixteenthTriplet: return std::max<uint32_t>(1, q / 6);
        case Off: break;
    }
    return 1;
}

uint32_t ScoreEditController::snap(uint32_t tick) const {
    const uint32_t g = gridTicks();
    return (tick + g / 2) / g * g;
}

bool ScoreEditController::tickAt(int x, uint32_t& tick) const {
    long measure = -1;
    return view_->axis().tickAt(x, measure, tick);
}

void ScoreEditController::setSelection(std::set<std::size_t> s) {
    selection_ = std::move(s);
    if (selection_.size() == 1) view_->setSelected(long(*selection_.begin()));
    overlay_->update();
}

void ScoreEditController::songChanged() {
    const std::size_t n = ctx_.hub.song().channel(view_->channel()).events.size();
    for (auto it = selection_.begin(); it != selection_.end();) it = *it >= n ? selection_.erase(it) : std::next(it);
    overlay_->update();
}

QRectF ScoreEditController::rectOf(uint32_t start, uint32_t end, int key) const {
    const MeasureAxis a = view_->axis();
    const KeyAxis k = view_->keyAxis();
    const double x0 = a.xOf(start), x1 = a.xOf(end);
    return QRectF(x0, k.yOf(key), std::max(3.0, x1 - x0), k.rowHeight());
}

ScoreEditController::Preview ScoreEditController::preview() const {
    Preview pv;
    if (drag_ == Drag::None) return pv;
    pv.active = true;
    const Song& song = ctx_.hub.song();
    const int c = view_->channel();
    const KeyAxis k = view_->keyAxis();
    uint32_t tick = pressTick_;
    tickAt(now_.x(), tick);
    const int key = std::clamp(k.keyAt(now_.y()) < 0 ? pressKey_ : k.keyAt(now_.y()), 0, 127);
    switch (drag_) {
        case Drag::Draw: {
            const uint32_t end = std::max(snap(tick), pressTick_ + gridTicks());
            pv.notes.push_back(rectOf(pressTick_, end, pressKey_));
            break;
        }
        case Drag::Move: {
            const VoxEvent* g = song.event(c, std::size_t(grabbed_));
            if (!g) break;
            const int64_t dt = int64_t(snap(uint32_t(std::max<int64_t>(0, int64_t(g->startTick) + int64_t(tick) - pressTick_)))) -
                               int64_t(g->startTick);
            const int dk = key - pressKey_;
            for (std::size_t i : selection_)
                if (const VoxEvent* e = song.event(c, i))
                    pv.notes.push_back(rectOf(uint32_t(std::max<int64_t>(0, e->startTick + dt)),
                                              uint32_t(std::max<int64_t>(1, e->endTick + dt)),
                                              std::clamp(int(e->noteKey) + dk, 0, 127)));
            break;
        }
        case Drag::Stretch:
            if (const VoxEvent* e = song.event(c, std::size_t(grabbed_)))
                pv.notes.push_back(rectOf(e->startTick, std::max(snap(tick), e->startTick + 1), int(e->noteKey & 127)));
            break;
        case Drag::Band: pv.band = QRect(pressAt_, now_).normalized(); break;
        case Drag::None: break;
    }
    return pv;
}

bool ScoreEditController::eventFilter(QObject* watched, QEvent* e) {
    if (watched != view_) return false;
    switch (e->type()) {
        case QEvent::Resize: overlay_->setGeometry(view_->rect()); break;
        case QEvent::MouseButtonPress:
            if (editMode()) return mousePress(static_cast<QMouseEvent*>(e));
            break;
        case QEvent::MouseButtonDblClick:
            return editMode() && !view_->hitAt(static_cast<QMouseEvent*>(e)->position().toPoint()).header;
        case QEvent::MouseMove:
            if (drag_ != Drag::None) {
                mouseMove(static_cast<QMouseEvent*>(e));
                return true;
            }
            break;
        case QEvent::MouseButtonRelease:
            if (drag_ != Drag::None) {
                mouseRelease(static_cast<QMouseEvent*>(e));
                return true;
            }
            break;
        case QEvent::KeyPress: return keyPress(static_cast<QKeyEvent*>(e));
        default: break;
    }
    return false;
}

bool ScoreEditController::mousePress(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return false;
    view_->setFocus();
    const QPoint p = e->position().toPoint();
    const ViewHit hit = view_->hitAt(p);
    if (hit.header || !hit.hasTick) return false;  // the header keeps its clicks
    const int key = view_->keyAxis().keyAt(p.y());
    if (key < 0) return false;
    pressAt_ = now_ = p;
    pressTick_ = hit.tick;
    pressKey_ = key;
    const Qt::KeyboardModifiers mods = e->modifiers();
    const bool adding = mods.testFlag(Qt::ShiftModifier) || mods.testFlag(Qt::ControlModifier);
    if (hit.event >= 0) {
        const std::size_t n = std::size_t(hit.event);
        if (mods.testFlag(Qt::AltModifier)) {
            setSelection({n});
            splitSelectedAt(snap(hit.tick));
            return true;
        }
        if (adding) {
            std::set<std::size_t> s = selection_;
            if (!s.erase(n)) s.insert(n);
            setSelection(std::move(s));
            return true;
        }
        if (!selection_.count(n)) setSelection({n});
        grabbed_ = hit.event;
        const VoxEvent* ev = ctx_.hub.song().event(view_->channel(), n);
        drag_ = ev && view_->axis().xOf(ev->endTick) - p.x() <= 5 ? Drag::Stretch : Drag::Move;
        view_->setSelected(hit.event);
        return true;
    }
    if (adding) {
        drag_ = Drag::Band;
    } else {
        setSelection({});
        pressTick_ = hit.tick - hit.tick % gridTicks();  // the grid step the click falls in
        drag_ = Drag::Draw;
    }
    overlay_->update();
    return true;
}

void ScoreEditController::mouseMove(QMouseEvent* e) {
    now_ = e->position().toPoint();
    overlay_->update();
}

void ScoreEditController::mouseRelease(QMouseEvent* e) {
    now_ = e->position().toPoint();
    const Preview pv = preview();
    const Drag d = drag_;
    drag_ = Drag::None;
    const int c = view_->channel();
    const Song& song = ctx_.hub.song();
    uint32_t tick = pressTick_;
    tickAt(now_.x(), tick);
    const KeyAxis k = view_->keyAxis();
    const int key = std::clamp(k.keyAt(now_.y()) < 0 ? pressKey_ : k.keyAt(now_.y()), 0, 127);
    switch (d) {
        case Drag::Draw: {
            const uint32_t end = std::max(snap(tick), pressTick_ + gridTicks());
            const uint32_t start = pressTick_;
            const int noteKey = pressKey_;
            if (ctx_.hub.editNotes(c, [&](NoteEdits& n) { return n.add(c, start, end - start, noteKey, ""); }))
                reselect({{start, noteKey}});
            break;
        }
        case Drag::Move: {
            const VoxEvent* g = song.event(c, std::size_t(grabbed_));
            if (!g) break;
            const int64_t dt =
                int64_t(snap(uint32_t(std::max<int64_t>(0, int64_t(g->startTick) + int64_t(tick) - pressTick_)))) -
                int64_t(g->startTick);
            if (dt != 0 || key != pressKey_) moveSelection(dt, key - pressKey_);
            break;
        }
        case Drag::Stretch: {
            const VoxEvent* ev = song.event(c, std::size_t(grabbed_));
            if (!ev) break;
            const uint32_t start = ev->startTick, end = std::max(snap(tick), ev->startTick + 1);
            const std::size_t n = std::size_t(grabbed_);
            const int noteKey = int(ev->noteKey);
            if (end != ev->endTick &&
                ctx_.hub.editNotes(c, [&](NoteEdits& ed) { return ed.resize(c, n, end - start); }))
                reselect({{start, noteKey}});
            break;
        }
        case Drag::Band: {
            std::set<std::size_t> s = selection_;
            const auto& events = song.channel(c).events;
            for (std::size_t i = 0; i < events.size(); ++i) {
                const VoxEvent* ev = events[i].get();
                if (ev && rectOf(ev->startTick, ev->endTick, int(ev->noteKey & 127)).intersects(QRectF(pv.band)))
                    s.insert(i);
            }
            setSelection(std::move(s));
            break;
        }
        case Drag::None: break;
    }
    grabbed_ = -1;
    overlay_->update();
}

bool ScoreEditController::keyPress(QKeyEvent* e) {
    const Qt::KeyboardModifiers mods = e->modifiers();
    const bool alt = mods.testFlag(Qt::AltModifier);
    if (!editMode()) {
        // Alt+Up/Down transpose the selected note in either mode.
        if (alt && (e->key() == Qt::Key_Up || e->key() == Qt::Key_Down) && view_->selected() >= 0) {
            setSelection({std::size_t(view_->selected())});
            moveSelection(0, e->key() == Qt::Key_Up ? 1 : -1);
            return true;
        }
        return false;
    }
    // Undo and redo where the keys are typed (the window's shortcuts do the same elsewhere).
    if (mods.testFlag(Qt::ControlModifier) && (e->key() == Qt::Key_Z || e->key() == Qt::Key_Y)) {
        if (e->key() == Qt::Key_Z) ctx_.hub.undo();
        else ctx_.hub.redo();
        songChanged();
        return true;
    }
    if (selection_.empty() && view_->selected() >= 0) selection_.insert(std::size_t(view_->selected()));
    switch (e->key()) {
        case Qt::Key_Left: moveSelection(-int64_t(gridTicks()), 0); return true;
        case Qt::Key_Right: moveSelection(int64_t(gridTicks()), 0); return true;
        case Qt::Key_Up: moveSelection(0, 1); return true;
        case Qt::Key_Down: moveSelection(0, -1); return true;
        case Qt::Key_Delete:
        case Qt::Key_Backspace: deleteSelection(); return true;
        case Qt::Key_J: joinSelected(); return true;
        case Qt::Key_S: splitSelectedAt(view_->position()); return true;
        default: return false;
    }
}

void ScoreEditController::reselect(const std::vector<std::pair<uint32_t, int>>& notes) {
    const Song& song = ctx_.hub.song();
    const auto& events = song.channel(view_->channel()).events;
    std::set<std::size_t> s;
    for (const auto& [start, key] : notes)
        for (std::size_t i = 0; i < events.size(); ++i)
            if (events[i] && events[i]->startTick == start && int(events[i]->noteKey) == key) s.insert(i);
    setSelection(std::move(s));
}

bool ScoreEditController::moveSelection(int64_t ticks, int semitones) {
    if (selection_.empty()) return false;
    const int c = view_->channel();
    const Song& song = ctx_.hub.song();
    std::vector<std::pair<uint32_t, int>> after;
    for (std::size_t i : selection_)
        if (const VoxEvent* e = song.event(c, i))
            after.emplace_back(uint32_t(std::max<int64_t>(0, int64_t(e->startTick) + ticks)), int(e->noteKey) + semitones);
    const std::vector<std::size_t> notes(selection_.begin(), selection_.end());
    if (!ctx_.hub.editNotes(c, [&](NoteEdits& n) { return n.move(c, notes, ticks, semitones); })) return false;
    reselect(after);
    return true;
}

bool ScoreEditController::deleteSelection() {
    if (selection_.empty()) return false;
    const int c = view_->channel();
    const std::vector<std::size_t> notes(selection_.begin(), selection_.end());
    if (!ctx_.hub.editNotes(c, [&](NoteEdits& n) { return n.remove(c, notes); })) return false;
    setSelection({});
    view_->setSelected(-1);
    return true;
}

bool ScoreEditController::joinSelected() {
    if (selection_.empty()) return false;
    const int c = view_->channel();
    const std::size_t n = *selection_.begin();
    if (!ctx_.hub.editNotes(c, [&](NoteEdits& e) { return e.join(c, n); })) return false;
    setSelection({n});
    return true;
}

bool ScoreEditController::splitSelectedAt(uint32_t tick) {
    if (selection_.empty()) return false;
    const int c = view_->channel();
    const std::size_t n = *selection_.begin();
    if (!ctx_.hub.editNotes(c, [&](NoteEdits& e) { return e.split(c, n, tick); })) return false;
    setSelection({n + 1});
    return true;
}

}  // namespace kantor::app
