#include "picture.h"

#include <QDir>

namespace rt {

std::optional<QPixmap> LoadPicture(const QString &folder, const QString &name)
{
    QPixmap picture;
    if (!picture.load(QDir(folder).filePath(name)))
        return std::nullopt;
    return picture;
}

} // namespace rt
