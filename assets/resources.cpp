// The compiled-in design pictures and icons.

#include "appicon.h"
#include "release.h"

namespace assets {

QIcon appIcon()
{
    QIcon icon;
    for (const int size : rt::IconSizes)
        icon.addFile(QStringLiteral(":/design/icons/%1.png").arg(size));
    return icon;
}

} // namespace assets
