#pragma once
// Where a restored window goes when the screen it was saved on was larger than this one, or
// is gone. Coordinates are screen pixels of the desktop, whose origin is the primary screen's
// top left corner; a window's left and top are those of its outer frame. Pure functions; any
// thread.

#include <algorithm>
#include <span>

namespace velmora {

struct ScreenSize {
    int width = 0;
    int height = 0;
};

struct WindowPlace {
    int left = 0;
    int top = 0;
    friend bool operator==(const WindowPlace&, const WindowPlace&) = default;
};

// The main window is pulled back until its right and bottom edges are on the screen, flush
// with the screen's edges. A window left of or above the screen stays where it was.
constexpr WindowPlace PlaceMainWindow(WindowPlace saved, int width, int height, ScreenSize screen)
{
    WindowPlace place = saved;
    if (place.left > screen.width - width) place.left = screen.width - width;
    if (place.top > screen.height - height) place.top = screen.height - height;
    return place;
}

// The frequency display and the frequency slider come back only when their left or top edge
// lies beyond the screen: a window entirely right of the screen returns at its left edge,
// one entirely below it returns flush with its bottom.
constexpr WindowPlace PlaceToolWindow(WindowPlace saved, int height, ScreenSize screen)
{
    WindowPlace place = saved;
    if (place.left > screen.width) place.left = 0;
    if (place.top > screen.height) place.top = screen.height - height;
    return place;
}

// A screen's area in desktop pixels (the part windows may use).
struct ScreenRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

// Whether a window at `place`, `width` wide, can still be taken by its title bar (the top
// `titleHeight` pixels of its frame): enough of that strip - half its height, and 40 pixels
// or the whole width of a narrower window - lies on one of `screens`.
constexpr bool TitleBarOnScreen(WindowPlace place, int width, int titleHeight, std::span<const ScreenRect> screens)
{
    const int rows = std::max(1, titleHeight / 2);
    const int columns = std::max(1, std::min(width, 40));
    for (const ScreenRect& s : screens) {
        const int across = std::min(place.left + width, s.left + s.width) - std::max(place.left, s.left);
        const int down = std::min(place.top + titleHeight, s.top + s.height) - std::max(place.top, s.top);
        if (across >= columns && down >= rows) return true;
    }
    return false;
}

// The place nearest to `place` at which the window lies on `screen`; a window larger than the
// screen keeps its top left corner on it.
constexpr WindowPlace PlaceOnScreen(WindowPlace place, int width, int height, ScreenRect screen)
{
    WindowPlace on = place;
    on.left = std::max(screen.left, std::min(on.left, screen.left + screen.width - width));
    on.top = std::max(screen.top, std::min(on.top, screen.top + screen.height - height));
    return on;
}

// Where a window opened from another one at `from` goes: `step` pixels right and down of it,
// so that both title bars show; back at the top left of `screen` when the window would no
// longer fit there.
constexpr WindowPlace CascadePlace(WindowPlace from, int width, int height, ScreenRect screen, int step = 30)
{
    WindowPlace next{from.left + step, from.top + step};
    if (next.left + width > screen.left + screen.width || next.top + height > screen.top + screen.height ||
        next.left < screen.left || next.top < screen.top)
        next = {screen.left, screen.top};
    return next;
}

} // namespace velmora
