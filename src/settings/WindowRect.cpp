#include "settings/WindowRect.h"

#include <algorithm>
#include <limits>

namespace kantor {
namespace {

// Rectangles come from a file and may hold any values: the arithmetic runs in 64 bits and
// the result is brought back into the 32-bit range.
int32_t clamp32(int64_t v) {
    return static_cast<int32_t>(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

WindowRect make(int64_t left, int64_t top, int64_t width, int64_t height) {
    return WindowRect{clamp32(left), clamp32(top), clamp32(left + width), clamp32(top + height)};
}

}  // namespace

WindowRect keepOnDesktop(const WindowRect& r, const WindowRect& desktop) {
    // A damaged rectangle with a negative size is taken as empty.
    int64_t w = std::max<int64_t>(r.width(), 0);
    int64_t h = std::max<int64_t>(r.height(), 0);
    int64_t left = r.left;
    int64_t top = r.top;
    if (top + h > desktop.bottom) top = desktop.bottom - h;
    if (left + w > desktop.right) left = desktop.right - w;
    if (top < desktop.top) top = desktop.top;
    if (left < desktop.left) left = desktop.left;
    return make(left, top, w, h);
}

WindowRect restoreWindowRect(const WindowRect& stored, const WindowRect& current, bool takeStoredSize,
                             const WindowRect& desktop) {
    WindowRect r = takeStoredSize ? stored : make(stored.left, stored.top, current.width(), current.height());
    return keepOnDesktop(r, desktop);
}

}  // namespace kantor
