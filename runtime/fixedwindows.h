#pragma once
// Windows that cannot be resized keep their size. The game's windows and
// its message boxes have a fixed size, yet a window manager or the title
// bar that Qt draws itself on Wayland may still offer to maximize them;
// a maximized window that kept its size would be cut off by a strict
// Wayland compositor, and under X11 the game would sit in a corner of a
// grey field. Such a request is withdrawn at once.

namespace rt {

// Watches every top-level window of the application from now on. Called
// once, at program start.
void keepFixedWindowsAtTheirSize();

} // namespace rt
