#include "app/WindowPlacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <algorithm>

namespace kantor::app {

WindowRect desktopRect(const QWidget* w) {
    QScreen* s = w && w->screen() ? w->screen() : QGuiApplication::primaryScreen();
    const QRect r = s ? s->availableGeometry() : QRect(0, 0, 1280, 800);
    return {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}

void restorePlacement(QWidget* w, const Settings& settings, WindowKind kind, int index, bool takeStoredSize,
                      DefaultPlace place, const QWidget* below) {
    const WindowRect desk = desktopRect(w);
    const QSize size = w->size().expandedTo(w->minimumSizeHint());
    const WindowRect stored = settings.windowRect(kind, index);
    if (!stored.isEmpty()) {
        const WindowRect current{0, 0, size.width(), size.height()};
        const WindowRect r = restoreWindowRect(stored, current, takeStoredSize, desk);
        if (takeStoredSize) w->resize(static_cast<int>(r.width()), static_cast<int>(r.height()));
        w->move(r.left, r.top);
        return;
    }
    const int deskW = desk.right - desk.left;
    const int deskH = desk.bottom - desk.top;
    switch (place) {
        case DefaultPlace::MainPanel: w->move(desk.left + (deskW - size.width()) / 2, desk.top + 100); break;
        case DefaultPlace::Centred:
            w->move(desk.left + (deskW - size.width()) / 2, desk.top + (deskH - size.height()) / 2);
            break;
        case DefaultPlace::Below:
            if (below) w->move(below->frameGeometry().left(), below->frameGeometry().bottom() + 1);
            break;
        case DefaultPlace::Stacked: {
            const int top = below ? below->frameGeometry().top() : desk.top;
            w->move(desk.left + (deskW - size.width()) / 2, top + 10 * (index + 1));
            break;
        }
        case DefaultPlace::Keep: break;
    }
}

QPoint besidePlace(const QRect& anchor, const QSize& size, const QRect& desk) {
    const QPoint tries[] = {{anchor.left(), anchor.bottom() + 1},
                            {anchor.right() + 1, anchor.top()},
                            {anchor.left() - size.width(), anchor.top()},
                            {anchor.left(), anchor.top() - size.height()}};
    auto onDesk = [&](QPoint p) {
        p.setX(std::max(desk.left(), std::min(p.x(), desk.right() + 1 - size.width())));
        p.setY(std::max(desk.top(), std::min(p.y(), desk.bottom() + 1 - size.height())));
        return p;
    };
    QPoint best = onDesk(tries[0]);
    long long bestCover = -1;
    for (const QPoint& t : tries) {
        const QRect r(onDesk(t), size);
        const QRect cover = r.intersected(anchor);
        const long long area = cover.isEmpty() ? 0 : static_cast<long long>(cover.width()) * cover.height();
        if (area == 0 && desk.contains(r)) return r.topLeft();
        if (bestCover < 0 || area < bestCover) {
            bestCover = area;
            best = r.topLeft();
        }
    }
    return best;
}

void placeBeside(QWidget* w, const QWidget* anchor) {
    const WindowRect d = desktopRect(anchor);
    const QRect desk(QPoint(int(d.left), int(d.top)), QPoint(int(d.right) - 1, int(d.bottom) - 1));
    // The new window's frame is taken to be as thick as the anchor's.
    const QRect af = anchor->frameGeometry();
    const QSize frame = af.size() - anchor->geometry().size();
    const QSize size = w->size().expandedTo(w->minimumSizeHint()) + frame;
    w->move(besidePlace(af, size, desk));
}

void storePlacement(const QWidget* w, Settings& settings, WindowKind kind, int index) {
    // The window's place is its frame's (as move() takes it), its size the content's.
    const bool normal = !w->isMaximized() && !w->isMinimized();
    const QRect g = normal ? QRect(w->pos(), w->size()) : w->normalGeometry();
    if (!g.isValid()) return;
    settings.setWindowRect(kind, {g.left(), g.top(), g.left() + g.width(), g.top() + g.height()}, index);
}

}  // namespace kantor::app
