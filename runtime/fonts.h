#pragma once

namespace rt {

// The windows ask for "MS Sans Serif". Where the platform lacks it, Qt is
// told to use Liberation Sans, whose widths come close; left alone,
// fontconfig would pick a much wider face. The program calls this once at
// its start, before any window is made.
void registerFontSubstitutes();

} // namespace rt
