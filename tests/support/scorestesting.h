#pragma once
// Helpers of the tests that work on a game folder: a temporary game folder
// per test, the files in it, and file operations that fail at a chosen step.

#include "fileops.h"

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

// The system's file operations, except that operation number `failAt`
// (counted as SteppedFileOps counts them) fails. A failing write puts half
// of its bytes on the disk first, as a disk that fills up would.
class FaultyFileOps final : public scores::FileOps {
public:
    FaultyFileOps(const std::string &folder, int failAt)
        : m_inner(scores::makeSystemFileOps(folder)), m_failAt(failAt)
    {
    }

    scores::Status readStart(const std::string &name, std::string &bytes) override
    {
        return hit() ? injected() : m_inner->readStart(name, bytes);
    }
    scores::Status lock(const std::string &name, const std::string &like,
                        std::chrono::milliseconds patience) override
    {
        return hit() ? injected() : m_inner->lock(name, like, patience);
    }
    // Releasing cannot fail, so it is no step here.
    void unlock() override { m_inner->unlock(); }
    scores::Status create(const std::string &name, const std::string &like) override
    {
        return hit() ? injected() : m_inner->create(name, like);
    }
    scores::Status write(std::string_view bytes) override
    {
        if (!hit())
            return m_inner->write(bytes);
        m_inner->write(bytes.substr(0, bytes.size() / 2));
        return injected();
    }
    scores::Status sync() override { return hit() ? injected() : m_inner->sync(); }
    scores::Status close() override
    {
        const scores::Status status = m_inner->close();
        return hit() ? injected() : status;
    }
    scores::Status replace(const std::string &from, const std::string &to) override
    {
        return hit() ? injected() : m_inner->replace(from, to);
    }
    scores::Status syncFolder() override { return hit() ? injected() : m_inner->syncFolder(); }
    void remove(const std::string &name) override { m_inner->remove(name); }
    std::string displayPath(const std::string &name) override { return m_inner->displayPath(name); }

    int steps() const { return m_step; }

private:
    bool hit() { return m_step++ == m_failAt; }
    static scores::Status injected() { return scores::Status::failed("injected failure"); }

    std::unique_ptr<scores::FileOps> m_inner;
    int m_failAt;
    int m_step = 0;
};
