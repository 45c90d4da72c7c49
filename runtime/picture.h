#pragma once

#include <QPixmap>
#include <QString>
#include <optional>

namespace rt {

// Loads a bitmap file named relative to the working directory. Gives
// nothing when the file is missing or is not a picture.
std::optional<QPixmap> LoadPicture(const QString &relativeName);

} // namespace rt
