#include "gamefolder.h"

#include "release.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace rt {
namespace {

bool sameBytes(const QString &a, const QString &b)
{
    QFile fa(a), fb(b);
    if (!fa.open(QIODevice::ReadOnly) || !fb.open(QIODevice::ReadOnly) || fa.size() != fb.size())
        return false;
    return fa.readAll() == fb.readAll();
}

// Copies `from` to `to` under a temporary name first, so that a file or a
// link already at `to` is replaced, never written through.
bool replaceWithCopy(const QString &from, const QString &to)
{
    const QString temporary = to + QStringLiteral(".new");
    QFile::remove(temporary);
    if (!QFile::copy(from, temporary))
        return false;
    QFile::remove(to);
    if (QFile::rename(temporary, to))
        return true;
    QFile::remove(temporary);
    return false;
}

} // namespace

QString prepareGameFolder(const QString &delivered, const QString &folder)
{
    const QDir from(delivered);
    const QDir to(folder);
    if (!QDir().mkpath(folder))
        return QStringLiteral("The game folder %1 cannot be made.").arg(QDir::toNativeSeparators(folder));
    for (const char *file : DeliveredFiles) {
        const QString name = QString::fromLatin1(file);
        const QString source = from.filePath(name);
        const QString target = to.filePath(name);
        if (!QFileInfo::exists(source))
            return QStringLiteral("The delivered file %1 is missing.").arg(QDir::toNativeSeparators(source));
        const QFileInfo there(target);
        const bool present = there.exists() || there.isSymLink();
        if (name == QLatin1String(HighScoreFile)) {
            // The player's own table is never touched. QFile::copy does
            // not replace an existing file, so two starts at once cannot
            // both seed it.
            if (!present && !QFile::copy(source, target) && !QFileInfo::exists(target))
                return QStringLiteral("The high-score table cannot be put into %1.")
                    .arg(QDir::toNativeSeparators(folder));
            continue;
        }
        if (present && there.isFile() && sameBytes(source, target))
            continue;
        // A folder the player made read-only still plays with what it has.
        // A finer picture (name@2x.bmp) serves scaled screens only, and the
        // game draws the plain one in its place.
        if (!replaceWithCopy(source, target) && !QFileInfo(target).isFile()) {
            const QString plain = QString(name).replace(QStringLiteral("@2x."), QStringLiteral("."));
            if (plain != name && QFileInfo(to.filePath(plain)).isFile())
                continue;
            return QStringLiteral("%1 cannot be put into the game folder %2.")
                .arg(name, QDir::toNativeSeparators(folder));
        }
    }
    return {};
}

} // namespace rt
