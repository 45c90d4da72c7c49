// The compiled-in design pictures and icons.

#include "appicon.h"

namespace assets {

QIcon appIcon()
{
    QIcon icon(QStringLiteral(":/design/icon.png"));
    for (const char *size : {"16", "24", "48", "64", "128", "256"})
        icon.addFile(QStringLiteral(":/design/icons/%1.png").arg(QLatin1String(size)));
    return icon;
}

} // namespace assets
