#pragma once
// Helpers of the tests that work on a game folder: a temporary game folder
// per test, the files in it, and tables written into them.

#include "fileops.h"
#include "hiscorefile.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QTemporaryDir>

#include <memory>

// A fresh, empty game folder for one test, gone with everything in it at
// the end. The process's working folder is left alone: the game is told
// which folder it plays in.
class GameFolder {
public:
    bool isValid() const { return m_dir.isValid(); }
    // The folder, as an absolute path.
    QString path() const { return m_dir.path(); }
    std::string native() const { return m_dir.path().toStdString(); }
    // A file of the folder, as an absolute path.
    QString file(const QString &name) const { return m_dir.filePath(name); }
    QString file(const char *name) const { return m_dir.filePath(QString::fromUtf8(name)); }
    // The same in the system's own form, for calls that take a C string.
    QByteArray local(const char *name) const { return QFile::encodeName(file(name)); }

private:
    QTemporaryDir m_dir;
};

inline QByteArray readBytes(const QString &name)
{
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

inline bool writeBytes(const QString &name, const QByteArray &bytes)
{
    QFile file(name);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// Everything in a folder, one level into the folders in it, by name
// ("./squibbo.hi", "./sub/file").
inline QMap<QString, QByteArray> snapshot(const QString &folder, const QString &shown = QStringLiteral("."))
{
    QMap<QString, QByteArray> out;
    const QDir dir(folder);
    const auto filter = QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;
    for (const QFileInfo &info : dir.entryInfoList(filter, QDir::Name)) {
        const QString path = dir.filePath(info.fileName());
        const QString name = shown + QLatin1Char('/') + info.fileName();
        if (!info.isDir() && !info.isFile()) {
            // A FIFO or a device, or a link to one: reading it could wait
            // forever or never end.
            out[name] = "<special> " + info.symLinkTarget().toUtf8();
        } else if (!info.isDir()) {
            out[name] = readBytes(path);
        } else {
            out[name] = "<folder>";
            if (shown == QLatin1String("."))
                out.insert(snapshot(path, name));
        }
    }
    return out;
}

// A table's lines as the game writes them.
inline QByteArray tableBytes(std::initializer_list<scores::Record> records)
{
    return QByteArray::fromStdString(scores::formatRecords(records));
}
