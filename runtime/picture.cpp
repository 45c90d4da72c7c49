#include "picture.h"

#include <QDir>

namespace rt {

std::optional<QPixmap> LoadPicture(const QString &relativeName)
{
    QPixmap picture;
    if (!picture.load(QDir::current().absoluteFilePath(relativeName)))
        return std::nullopt;
    return picture;
}

} // namespace rt
