#include "app/WindowPlacement.h"

#include <QGuiApplication>
#include <QScreen>

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

void storePlacement(const QWidget* w, Settings& settings, WindowKind kind, int index) {
    // The window's place is its frame's (as move() takes it), its size the content's.
    const bool normal = !w->isMaximized() && !w->isMinimized();
    const QRect g = normal ? QRect(w->pos(), w->size()) : w->normalGeometry();
    if (!g.isValid()) return;
    settings.setWindowRect(kind, {g.left(), g.top(), g.left() + g.width(), g.top() + g.height()}, index);
}

}  // namespace kantor::app
