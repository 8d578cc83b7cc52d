#pragma once

namespace vostrel {

// Whether a window can be opened at all. The window library aborts the whole process when it
// finds no display, so this is asked first: true when DISPLAY names an X server that accepts a
// connection, or, without DISPLAY, when WAYLAND_DISPLAY names a compositor socket that does.
// Touches no window library.
bool displayReachable();

}  // namespace vostrel
