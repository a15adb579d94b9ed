#pragma once
// Window rectangles kept in the settings: a window takes its stored place when it is made
// (kept on the desktop) and stores its normal rectangle when it goes.
#include <QWidget>

#include "settings/Settings.h"

namespace kantor::app {

// Where a window goes with no stored place. Stacked: centred across the desktop, with its
// top 10 × (index + 1) pixels below the top of the reference window (the channel scores
// under the channel list, each channel a step lower).
enum class DefaultPlace { Keep, Centred, MainPanel, Below, Stacked };

// Applies the stored rectangle of (kind, index), or the default place when none is stored.
// `below` is the window a Below placement goes under, and a Stacked one's reference.
void restorePlacement(QWidget* w, const Settings& settings, WindowKind kind, int index, bool takeStoredSize,
                      DefaultPlace place, const QWidget* below = nullptr);
void storePlacement(const QWidget* w, Settings& settings, WindowKind kind, int index = 0);

// Where a window of frame size `size` goes beside `anchor` (a frame rectangle) on `desk`: the
// first of below, right, left and above that fits on the desk without covering the anchor;
// else, kept on the desk, the one covering least of it. Returns the frame's top left.
QPoint besidePlace(const QRect& anchor, const QSize& size, const QRect& desk);
// Moves `w` (not shown yet) beside `anchor` (a shown window) on the anchor's screen.
void placeBeside(QWidget* w, const QWidget* anchor);

// The desktop's available area as the settings' rectangles count.
WindowRect desktopRect(const QWidget* w);

}  // namespace kantor::app
