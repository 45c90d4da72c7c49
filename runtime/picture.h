#pragma once

#include <QPixmap>
#include <QString>
#include <optional>
#include <utility>

namespace rt {

// A picture as a picture box shows it: the picture itself and, where it was
// also drawn at twice the resolution, that finer version for screens scaled
// above 1. Both cover the same place: the size of the picture itself, in
// device-independent pixels.
class Picture {
public:
    Picture() = default;
    // A picture in one resolution only.
    explicit Picture(QPixmap plain) : m_plain(std::move(plain)) {}
    // The picture with its finer version; a `fine` that is not twice the
    // size of `plain` is left out.
    Picture(QPixmap plain, QPixmap fine);

    bool isNull() const { return m_plain.isNull(); }
    QSize size() const { return m_plain.size(); }
    const QPixmap &plain() const { return m_plain; }
    bool hasFine() const { return !m_fine.isNull(); }
    // The version to draw where a device-independent pixel is `ratio`
    // device pixels wide.
    const QPixmap &forRatio(qreal ratio) const { return ratio > 1 && hasFine() ? m_fine : m_plain; }

private:
    QPixmap m_plain;
    QPixmap m_fine;
};

// Reads the picture file at `path` (a file or a ":/" resource) and the
// finer version beside it, named as Qt names such files ("wendo@2x.bmp"
// beside "wendo.bmp"). Without a readable finer version of exactly twice
// the size the picture has the one resolution. Null when `path` itself is
// missing or is not a picture.
Picture ReadPicture(const QString &path);

// Reads the bitmap file `name`, and its finer version, from the game folder
// `folder`. Gives nothing when the file is missing or is not a picture.
std::optional<Picture> LoadPicture(const QString &folder, const QString &name);

} // namespace rt
