// The compiled-in design pictures and icons.

#include "appicon.h"
#include "release.h"

#include <QCoreApplication>
#include <QImage>
#include <QPixmap>

#include <future>
#include <system_error>

namespace assets {
namespace {

QList<QImage> readIconSizes()
{
    QList<QImage> sizes;
    for (const int size : rt::IconSizes)
        sizes.append(QImage(QStringLiteral(":/design/icons/%1.png").arg(size), "PNG"));
    return sizes;
}

// The sizes being read on another thread, once asked for.
std::future<QList<QImage>> &sizesAhead()
{
    static std::future<QList<QImage>> ahead;
    return ahead;
}

QIcon &madeIcon()
{
    static QIcon icon;
    return icon;
}

} // namespace

void readAppIconAhead()
{
    if (sizesAhead().valid() || !madeIcon().isNull())
        return;
    try {
        sizesAhead() = std::async(std::launch::async, readIconSizes);
    } catch (const std::system_error &) {
        // No thread to be had: appIcon() reads them itself.
    }
}

QIcon appIcon()
{
    QIcon &icon = madeIcon();
    if (icon.isNull()) {
        const QList<QImage> pictures = sizesAhead().valid() ? sizesAhead().get() : readIconSizes();
        for (const QImage &picture : pictures)
            icon.addPixmap(QPixmap::fromImage(picture));
        // Its pixmaps go with the application that made them.
        qAddPostRoutine([] { madeIcon() = QIcon(); });
    }
    return icon;
}

} // namespace assets
