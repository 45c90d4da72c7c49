#pragma once

#include <QPixmap>
#include <QString>
#include <optional>

namespace rt {

// Loads the bitmap file `name` from the game folder `folder`. Gives nothing
// when the file is missing or is not a picture.
std::optional<QPixmap> LoadPicture(const QString &folder, const QString &name);

} // namespace rt
