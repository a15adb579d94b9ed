#pragma once
// Window rectangles as the settings file keeps them, and how a restored window is kept
// on the desktop.
#include <cstdint>

namespace kantor {

// Left, top, right, bottom of a window's normal (restored) position. All zero = none stored.
struct WindowRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;

    bool isEmpty() const { return left == 0 && top == 0 && right == 0 && bottom == 0; }
    int64_t width() const { return int64_t{right} - left; }
    int64_t height() const { return int64_t{bottom} - top; }
    friend bool operator==(const WindowRect&, const WindowRect&) = default;
};

// The rectangle a window takes when it is created with a stored slot that is not empty.
// With takeStoredSize the stored rectangle is taken whole; otherwise the window keeps the
// size of `current` and moves to the stored left and top. The result is then kept on
// `desktop`: a bottom below the desktop moves the window up, a right edge beyond it moves
// it left, and finally a top or left before the desktop's moves it down or right, so that
// the window's top-left corner (and its caption) is always reachable. The size is kept.
WindowRect restoreWindowRect(const WindowRect& stored, const WindowRect& current, bool takeStoredSize,
                             const WindowRect& desktop);

// Moves `r` onto `desktop` as above without changing its size (a damaged rectangle with a
// negative width or height is taken as having none).
WindowRect keepOnDesktop(const WindowRect& r, const WindowRect& desktop);

}  // namespace kantor
