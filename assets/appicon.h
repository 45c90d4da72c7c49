#pragma once

#include <QIcon>

namespace assets {

// The game's icon in every size it is drawn at, from 16 to 256 pixels: the
// window frame, the task bar and a high-density screen each take the one
// that fits. At 32 pixels it is the icon of the main window's design.
// Made once, for all the windows of the application.
QIcon appIcon();

// Starts reading the icon's pictures on another thread while the program
// starts, so that the first window need not wait for them.
void readAppIconAhead();

} // namespace assets
