#include "picture.h"

#include <QDir>

namespace rt {

Picture::Picture(QPixmap plain, QPixmap fine) : m_plain(std::move(plain)), m_fine(std::move(fine))
{
    if (!m_fine.isNull() && (m_plain.isNull() || m_fine.size() != 2 * m_plain.size()))
        m_fine = QPixmap();
    // Drawn at half its own size: it covers just the plain picture's place.
    m_fine.setDevicePixelRatio(2);
}

Picture ReadPicture(const QString &path)
{
    QPixmap plain;
    if (!plain.load(path))
        return {};
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    if (dot <= slash)
        dot = path.size();
    QPixmap fine; // stays null when there is no such file
    fine.load(path.left(dot) + QStringLiteral("@2x") + path.mid(dot));
    return {plain, fine};
}

std::optional<Picture> LoadPicture(const QString &folder, const QString &name)
{
    Picture picture = ReadPicture(QDir(folder).filePath(name));
    if (picture.isNull())
        return std::nullopt;
    return picture;
}

} // namespace rt
