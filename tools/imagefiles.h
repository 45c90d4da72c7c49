// Picture file helpers for the asset generator: palette reduction and the
// Windows icon container, written byte by byte so the format is exactly what
// the Windows resource compiler expects.
#pragma once

#include <QByteArray>
#include <QColor>
#include <QImage>

namespace squibbo::files {

// Reduces an RGB picture to 8 bits per pixel with a full 256-entry palette.
// Entry 0 is `keep`, and every pixel of exactly that colour maps to it, so a
// plain background survives the reduction untouched.
QImage toIndexed8(const QImage &rgb, QRgb keep);

// A 256-colour .ico holding one picture: 8 bits per pixel plus a 1-bit
// transparency mask. Pixels with alpha below one half become transparent.
QByteArray icoFile(const QImage &argb);

} // namespace squibbo::files
