#pragma once
// Where a restored window goes when the screen it was saved on was larger than this one.
// Coordinates are screen pixels of the primary screen; a window's left and top are those of
// its outer frame. Pure functions; any thread.

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

} // namespace velmora
