// Wendo and the cream pie, drawn with QPainter. Nothing here loads a picture
// or a font: every pixel comes from the shapes below, so the generator gives
// the same bytes on every run.
#pragma once

#include <QImage>

namespace squibbo::art {

// The grey behind Wendo on the board and the grey behind the pie.
inline constexpr int kWendoGrey = 190;
inline constexpr int kPieGrey = 189;

enum class Mood { Happy, Pied };

// Head-and-shoulders portrait of Wendo on the plain grey, as an RGB32 image.
// Wendo is sized by the height and centred, so twice the width and height
// give the same picture at twice the resolution.
QImage portrait(int width, int height, Mood mood);

// Side view of a cream pie in its tin on the plain grey, as an RGB32 image,
// drawn to fill the size asked for (twice 88 x 41 is the same pie, finer).
QImage pie(int width, int height);

// Wendo's face alone on a transparent square, as an ARGB32 image. Small sizes
// get a simplified face so it still reads in a menu or a title bar.
QImage faceIcon(int size);

} // namespace squibbo::art
