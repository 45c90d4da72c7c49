// The player's own game folder, filled from the files delivered beside the
// program: what is brought in, what is never touched, and what is told.

#include "gamefolder.h"
#include "release.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

QByteArray bytesOf(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<none>");
}

void put(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

} // namespace

class GameFolderTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("delivered")));
        for (const char *name : rt::DeliveredFiles)
            put(delivered(QString::fromLatin1(name)), QByteArray("delivered ") + name);
    }

    void fillsTheFolder_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("table");
        QTest::newRow("a new player") << "" << "delivered squibbo.hi";
        QTest::newRow("the player's own table stays") << "own table" << "own table";
        QTest::newRow("an old picture is replaced") << "old picture" << "own table";
        QTest::newRow("a picture linking elsewhere is replaced, not written through") << "linked picture" << "own table";
        QTest::newRow("a dangling link as the table is not followed") << "dangling table" << "<none>";
        QTest::newRow("a finer picture that cannot be added is done without") << "blocked finer" << "own table";
    }
    void fillsTheFolder()
    {
        QFETCH(QString, before);
        QFETCH(QString, table);
        const QString outside = m_dir->filePath(QStringLiteral("outside.bmp"));
        QVERIFY(QDir().mkpath(game(QString())));
        if (!before.isEmpty() && before != QLatin1String("dangling table"))
            put(game(QStringLiteral("squibbo.hi")), "own table");
        if (before == QLatin1String("old picture"))
            put(game(QStringLiteral("wendo.bmp")), "old picture");
        if (before == QLatin1String("linked picture")) {
            put(outside, "not the game's");
            QVERIFY(QFile::link(outside, game(QStringLiteral("wendo.bmp"))));
        }
        if (before == QLatin1String("dangling table"))
            QVERIFY(QFile::link(outside, game(QStringLiteral("squibbo.hi"))));
        // A folder in its place stops even root, as a read-only game folder
        // stops a player.
        const QString blocked = before == QLatin1String("blocked finer") ? QStringLiteral("pied@2x.bmp") : QString();
        if (!blocked.isEmpty())
            QVERIFY(QDir().mkpath(game(blocked + QStringLiteral("/in the way"))));

        QCOMPARE(rt::prepareGameFolder(delivered(QString()), game(QString())), QString());

        for (const char *file : rt::DeliveredFiles) {
            const QString name = QString::fromLatin1(file);
            if (name != QLatin1String(rt::HighScoreFile) && name != blocked)
                QCOMPARE(bytesOf(game(name)), bytesOf(delivered(name)));
        }
        QCOMPARE(bytesOf(game(QStringLiteral("squibbo.hi"))), table.toUtf8());
        QVERIFY(!QFileInfo(game(QStringLiteral("wendo.bmp"))).isSymLink());
        if (before == QLatin1String("linked picture"))
            QCOMPARE(bytesOf(outside), QByteArray("not the game's"));
        if (before == QLatin1String("dangling table"))
            QVERIFY(!QFile::exists(outside));
        QVERIFY(!QFile::exists(game(QStringLiteral("wendo.bmp.new"))));
    }

    void tellsWhatCannotBeDone_data()
    {
        QTest::addColumn<QString>("trouble");
        QTest::addColumn<QString>("told");
        QTest::newRow("a delivered file is missing") << "missing" << "splat.wav is missing";
        QTest::newRow("the folder cannot be made") << "blocked" << "cannot be made";
    }
    void tellsWhatCannotBeDone()
    {
        QFETCH(QString, trouble);
        QFETCH(QString, told);
        QString folder = game(QString());
        if (trouble == QLatin1String("missing"))
            QVERIFY(QFile::remove(delivered(QStringLiteral("splat.wav"))));
        if (trouble == QLatin1String("blocked")) {
            // A file where a folder of the path should be stops even root.
            put(m_dir->filePath(QStringLiteral("file")), "x");
            folder = m_dir->filePath(QStringLiteral("file/Squibbo"));
        }
        const QString problem = rt::prepareGameFolder(delivered(QString()), folder);
        QVERIFY2(problem.contains(told), qPrintable(problem));
    }

private:
    QString delivered(const QString &name) const { return m_dir->filePath(QStringLiteral("delivered/") + name); }
    QString game(const QString &name) const { return m_dir->filePath(QStringLiteral("AppData/Squibbo/") + name); }

    std::unique_ptr<QTemporaryDir> m_dir;
};

QTEST_GUILESS_MAIN(GameFolderTest)
#include "tst_gamefolder.moc"
