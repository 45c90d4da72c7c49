#pragma once
// Windows that cannot be resized keep their size. The game's windows and
// its message boxes have a fixed size, yet a window manager, a compositor or
// the title bar that Qt draws itself on Wayland may still maximize one or
// make it full screen. The game then lets the window take the size it is
// given (a Wayland compositor insists on it), shows its content whole in the
// larger window (see FormWindow), and asks for the normal state at once; when
// that is confirmed, the window is held to its own size again.

namespace rt {

// Watches every top-level window of the application from now on. Called
// once, at program start.
void keepFixedWindowsAtTheirSize();

} // namespace rt
