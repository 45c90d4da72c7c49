// The end of a game and the high-score window, on real files in a
// temporary game folder and with the dialogs doubled.

#include "form2.h"
#include "gameover.h"
#include "hiscorestore.h"
#include "scorestesting.h"
#include "steppedfileops.h"

#include "fonts.h"
#include "testdoubles.h"
#include "twips.h"

#include <QClipboard>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QScopeGuard>
#include <QtTest>

#include <map>

#include <sys/stat.h>
#ifdef __linux__
#include <sys/mount.h>
#include <unistd.h>
#endif

namespace {

const QByteArray Standard = tableBytes({{"Ann", 900}, {"Bob", 800}, {"Cy", 700}, {"Dee", 600}, {"Eve", 500},
                                     {"Fay", 400}, {"Gus", 300}, {"Hal", 200}, {"Ivy", 100}, {"Jo", 0}});

// The standard table with one more line before line `before` (0-based).
QByteArray standardWith(int before, const QByteArray &line)
{
    QByteArray out = Standard;
    int at = 0;
    for (int i = 0; i < before; ++i)
        at = out.indexOf('\n', at) + 1;
    return out.insert(at, line + "\r\n");
}

// One game's worth of doubles and a fresh high-score window, playing in
// the game folder `dir`.
struct Game {
    explicit Game(const QString &folderPath) : folder(folderPath) {}
    explicit Game(const GameFolder &dir) : Game(dir.path()) {}

    QString folder;
    rt::testing::Doubles doubles;
    rt::Services services = doubles.services(folder);
    std::unique_ptr<scores::FileOps> files = scores::makeSystemFileOps(folder.toStdString());
    Form2 form2{services, *files, nullptr};

    QString rankText(int k) const { return label(k + 1); }
    QString scoreText(int k) const { return label(k + 11); }
    QString label(int number) const
    {
        auto *l = form2.window()->findChild<QLabel *>(QStringLiteral("Label%1").arg(number));
        return l ? l->text() : QStringLiteral("<no label>");
    }
    int messages() const { return int(doubles.messageBox->shown.size()); }
};

// Looks at every modal dialog that opens while it lives, the way a player
// would meet it, and hands it to `look`, which is to close it.
class DialogWatch {
public:
    explicit DialogWatch(std::function<void(QWidget *)> look)
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this, look] {
            QWidget *dialog = QApplication::activeModalWidget();
            if (!dialog || dialog == m_last)
                return;
            m_last = dialog;
            look(dialog);
        });
        m_timer.start(10);
    }

private:
    QTimer m_timer;
    QPointer<QWidget> m_last;
};

} // namespace

class HighScoresTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { rt::registerFontSubstitutes(); }
    void gameOverStoresEntryAtItsRank_data();
    void gameOverStoresEntryAtItsRank();
    void badFileIsReportedAndLeftAlone_data();
    void badFileIsReportedAndLeftAlone();
    void failedStepKeepsOldTable_data();
    void failedStepKeepsOldTable();
    void otherGameSavesDuringThePrompt_data();
    void otherGameSavesDuringThePrompt();
    void richTextIsShownAsPlainText_data();
    void richTextIsShownAsPlainText();
    void gameOverBoxBelongsToTheMainWindow();
    void nameLimitCountsCharacters_data();
    void nameLimitCountsCharacters();
    void fullDiskKeepsOldTable();
    void windowFollowsItsDesign();
    void windowListsFirstTenRecords();
    void activationRereadsFile();
    void damagedFileOnActivationIsToldOnce();
    void okAndEnterCloseWindow();
};

void HighScoresTest::gameOverStoresEntryAtItsRank_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<int>("score");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QByteArray>("after");
    QTest::addColumn<bool>("prompted");

    const QByteArray eleven = Standard + "\"Old\",-5\r\n";
    QTest::newRow("950 goes first") << Standard << 950 << "Ace" << standardWith(0, "\"Ace\",950") << true;
    QTest::newRow("650 between 700 and 600") << Standard << 650 << "Kim" << standardWith(3, "\"Kim\",650") << true;
    QTest::newRow("700 after the equal 700") << Standard << 700 << "Kim" << standardWith(3, "\"Kim\",700") << true;
    QTest::newRow("150 between 200 and 100") << Standard << 150 << "Kim" << standardWith(8, "\"Kim\",150") << true;
    QTest::newRow("50 beats only the tenth") << Standard << 50 << "" << Standard << false;
    QTest::newRow("-1000 ten misses") << Standard << -1000 << "" << Standard << false;
    QTest::newRow("cancelled prompt") << Standard << 650 << "" << standardWith(3, "\"\",650") << true;
    QTest::newRow("comma in the name") << Standard << 650 << "Smith, J" << standardWith(3, "\"Smith, J\",650") << true;
    QTest::newRow("double quote in the name") << Standard << 650 << "Say \"hi\"" << standardWith(3, "\"Say 'hi'\",650") << true;
    QTest::newRow("line break in the name") << Standard << 650 << "Al\r\nDo" << standardWith(3, "\"AlDo\",650") << true;
    QTest::newRow("eleven records, no entry") << eleven << 50 << "" << Standard << false;
    QTest::newRow("eleven records, entry") << eleven << 650 << "Kim" << standardWith(3, "\"Kim\",650") << true;
    QByteArray latin = Standard;
    QTest::newRow("windows-1252 name rewritten as UTF-8")
        << latin.replace("Ann", "Jos\xE9") << -5 << "" << QByteArray(Standard).replace("Ann", "Jos\xC3\xA9") << false;
    QTest::newRow("bare LF rewritten with CR LF") << QByteArray(Standard).replace("\r\n", "\n") << -5 << "" << Standard << false;
}

void HighScoresTest::gameOverStoresEntryAtItsRank()
{
    QFETCH(QByteArray, before);
    QFETCH(int, score);
    QFETCH(QString, typed);
    QFETCH(QByteArray, after);
    QFETCH(bool, prompted);
    GameFolder dir;
    QVERIFY(dir.isValid());
    QVERIFY(writeBytes(dir.file("squibbo.hi"), before));
    Game game(dir);
    game.doubles.inputBox->answers = {typed};

    scores::GameOverHighScoreStep(game.services, game.form2, std::int16_t(score), *game.files);

    QCOMPARE(readBytes(dir.file("squibbo.hi")), after);
    QCOMPARE(snapshot(dir.path()).keys(), (QStringList{"./squibbo.hi", "./squibbo.lock"}));
    const auto &asked = game.doubles.inputBox->asked;
    QCOMPARE(int(asked.size()), prompted ? 1 : 0);
    if (prompted) {
        QCOMPARE(asked[0].prompt, QStringLiteral("Enter your name:"));
        QCOMPARE(asked[0].title, QStringLiteral("You got a high score!"));
        QCOMPARE(asked[0].maxLength, 32);
    }
    const auto &shown = game.doubles.messageBox->shown;
    QCOMPARE(int(shown.size()), prompted ? 0 : 1);
    if (!prompted) {
        QCOMPARE(shown[0].text, QStringLiteral("Game Over!"));
        QCOMPARE(shown[0].title, QStringLiteral("Squibbo"));
    }
    // The window opens on the first ten lines of the new file.
    QVERIFY(game.form2.isVisible());
    const QList<QByteArray> lines = after.split('\n');
    for (int k = 1; k <= 10; ++k) {
        const QList<QByteArray> fields = lines[k - 1].chopped(1).split(',');
        const QString name = QString::fromUtf8(lines[k - 1].mid(1, lines[k - 1].lastIndexOf('"') - 1));
        QCOMPARE(game.rankText(k), QStringLiteral("#%1 - ").arg(k) + name);
        QCOMPARE(game.scoreText(k).trimmed(), QString::fromLatin1(fields.last()));
    }
}

void HighScoresTest::badFileIsReportedAndLeftAlone_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("what");

    // Every proper prefix of a valid file: empty, cut inside a line, fewer
    // than ten records, or a tenth record cut short. The tenth record
    // without its line end is whole (a text editor saves it so).
    const int tenth = Standard.lastIndexOf("\"Jo\"");
    for (int n = 0; n < Standard.size(); ++n) {
        if (n == Standard.size() - 2)
            continue;
        const QString what = n == 0 ? "is empty" : n <= tenth ? "the table needs ten" : "line 10: ";
        QTest::addRow("prefix of %d bytes", n) << Standard.left(n) << what;
    }
    const QByteArray nine = Standard.left(Standard.lastIndexOf("\"Jo\""));
    auto line1 = [](const QByteArray &line) { return QByteArray(Standard).replace("\"Ann\",900", line); };
    QTest::newRow("nine records") << nine << "only 9 records";
    QTest::newRow("nine records and a blank line") << nine + "\r\n" << "line 10: the line is empty";
    QTest::newRow("missing opening quote") << line1("Ann\",900") << "line 1: the line does not start";
    QTest::newRow("missing closing quote") << line1("\"Ann,900") << "line 1: the name has no closing";
    QTest::newRow("quote inside the name") << line1("\"An\"n\",900") << "line 1: the name holds a double quote";
    QTest::newRow("NUL inside the name") << line1(QByteArray("\"A\0n\",900", 9)) << "line 1: the name holds a NUL";
    QTest::newRow("CR inside the name") << line1("\"A\rn\",900") << "line 1: the name holds a carriage return";
    for (const char *byte : {"\x81", "\x8D", "\x8F", "\x90", "\x9D"})
        QTest::addRow("byte %02X: neither UTF-8 nor Windows-1252", uchar(*byte))
            << line1("\"A" + QByteArray(byte) + "\",900") << "line 1: the line is neither UTF-8";
    QTest::newRow("32768") << line1("\"Ann\",32768") << "line 1: the score 32768 is outside";
    QTest::newRow("-32769") << line1("\"Ann\",-32769") << "line 1: the score -32769 is outside";
    QTest::newRow("11 digits") << line1("\"Ann\",99999999999") << "is outside";
    QTest::newRow("+5") << line1("\"Ann\",+5") << "line 1: the score \"+5\" is not a whole number";
    QTest::newRow("leading zero") << line1("\"Ann\",0900") << "not a whole number";
    QTest::newRow("-0") << line1("\"Ann\",-0") << "not a whole number";
    QTest::newRow("blank before the score") << line1("\"Ann\", 900") << "not a whole number";
    QTest::newRow("trailing garbage") << line1("\"Ann\",900x") << "not a whole number";
    QTest::newRow("trailing blank") << line1("\"Ann\",900 ") << "not a whole number";
    QTest::newRow("no score") << line1("\"Ann\",") << "line 1: the score is missing";
    QTest::newRow("no comma") << line1("\"Ann\"900") << "not followed by a comma";
    QTest::newRow("leading blank") << line1(" \"Ann\",900") << "does not start with a double quote";
    QTest::newRow("byte order mark") << "\xEF\xBB\xBF" + Standard << "does not start with a double quote";
    QTest::newRow("CR line ends only") << QByteArray(Standard).replace("\r\n", "\r") << "the table needs ten";
    QTest::newRow("damaged tenth record") << QByteArray(Standard).replace("\"Jo\",0", "\"Jo\",zero") << "line 10:";
    QTest::newRow("missing file") << QByteArray("<missing>") << "is missing";
    QTest::newRow("folder in its place") << QByteArray("<folder>") << "is a folder";
    QTest::newRow("FIFO in its place") << QByteArray("<fifo>") << "is not a regular file but a FIFO";
    QTest::newRow("link to /dev/zero") << QByteArray("<zero>") << "is not a regular file but a device";
}

// A high-score file that cannot be used never ends the game: the end of a
// game and the window each tell the player once what is wrong with which
// file, and nothing on disk changes.
void HighScoresTest::badFileIsReportedAndLeftAlone()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, what);
    GameFolder dir;
    QVERIFY(dir.isValid());
    if (content == "<folder>")
        QVERIFY(QDir(dir.path()).mkdir("squibbo.hi") && writeBytes(dir.file("squibbo.hi/inside"), Standard));
    else if (content == "<fifo>")
        QVERIFY(::mkfifo(QFile::encodeName(dir.file("squibbo.hi")).constData(), 0644) == 0);
    else if (content == "<zero>")
        QVERIFY(QFile::link("/dev/zero", dir.file("squibbo.hi")));
    else if (content != "<missing>")
        QVERIFY(writeBytes(dir.file("squibbo.hi"), content));
    const auto before = snapshot(dir.path());
    Game game(dir);
    game.doubles.inputBox->answers = {"Zed"};

    scores::GameOverHighScoreStep(game.services, game.form2, 30000, *game.files);
    QCOMPARE(game.messages(), 1);
    const QString message = game.doubles.messageBox->shown[0].text;
    QVERIFY2(message.contains(dir.file("squibbo.hi")), qPrintable(message));
    QVERIFY2(message.contains(what), qPrintable(message));
    QVERIFY(game.doubles.inputBox->asked.empty());
    QVERIFY(!game.form2.isLoaded());

    // "High Scores": the first opening runs into the file in the creation
    // fill, a later one in the activation fill.
    game.form2.Open();
    QCOMPARE(game.messages(), 2);
    QVERIFY(!game.form2.isLoaded());
    game.form2.Open();
    QTRY_VERIFY(!game.form2.isLoaded());
    QTest::qWait(20);
    QCOMPARE(game.messages(), 3);
    QCOMPARE(game.doubles.messageBox->shown[2].text, game.doubles.messageBox->shown[1].text);
    QCOMPARE(snapshot(dir.path()), before);
}

void HighScoresTest::failedStepKeepsOldTable_data()
{
    QTest::addColumn<int>("failAt");
    const char *steps[] = {"read", "lock", "read again", "create", "write 1", "write 2", "write 3", "write 4",
                           "write 5", "write 6", "write 7", "write 8", "write 9", "write 10", "write 11", "sync",
                           "close", "rename", "sync folder"};
    for (int i = 0; i < int(std::size(steps)); ++i)
        QTest::addRow("%s fails", steps[i]) << i;
}

// Any failing step of the replacement is told to the player. Up to the
// rename the old table stays byte for byte, and xxx is gone once the save
// had started writing it; a failing folder sync comes after the new table
// is in place. A table that cannot be read, before the prompt or under the
// lock, is told once and the window stays shut.
void HighScoresTest::failedStepKeepsOldTable()
{
    QFETCH(int, failAt);
    GameFolder dir;
    QVERIFY(dir.isValid());
    QVERIFY(writeBytes(dir.file("squibbo.hi"), Standard));
    QVERIFY(writeBytes(dir.file("xxx"), "\"stale\",1\r\n\"ha"));
    Game game(dir);
    game.doubles.inputBox->answers = {"Kim"};
    const auto system = scores::makeSystemFileOps(dir.native());
    scores::SteppedFileOps files(*system, {}, failAt);

    scores::GameOverHighScoreStep(game.services, game.form2, 650, files);

    const int lock = 1, readAgain = 2, create = 3, rename = 17;
    QVERIFY(files.steps() > failAt);
    QCOMPARE(game.messages(), 1);
    const QString message = game.doubles.messageBox->shown[0].text;
    QVERIFY2(message.contains("injected failure") && message.contains("squibbo.hi"), qPrintable(message));
    QCOMPARE(readBytes(dir.file("squibbo.hi")), failAt <= rename ? Standard : standardWith(3, "\"Kim\",650"));
    QCOMPARE(QFile::exists(dir.file("xxx")), failAt < create);
    if (failAt == 0 || failAt == readAgain) {
        QVERIFY2(message.contains("cannot be read") && message.contains("was not recorded"), qPrintable(message));
        QVERIFY(!game.form2.isLoaded());
        return;
    }
    QVERIFY2(message.contains(failAt == lock ? "locking" : failAt <= rename ? "is unchanged" : "are in"),
             qPrintable(message));
    QVERIFY(game.form2.isVisible());
    QCOMPARE(game.rankText(4), failAt <= rename ? QStringLiteral("#4 - Dee") : QStringLiteral("#4 - Kim"));
}

void HighScoresTest::otherGameSavesDuringThePrompt_data()
{
    QTest::addColumn<QList<int>>("others");
    QTest::addColumn<int>("score");
    QTest::addColumn<QByteArray>("after");
    QTest::addColumn<bool>("crowdedOut");

    QTest::newRow("both entries kept")
        << QList<int>{750} << 650
        << tableBytes({{"Ann", 900}, {"Bob", 800}, {"O1", 750}, {"Cy", 700}, {"Kim", 650}, {"Dee", 600},
                    {"Eve", 500}, {"Fay", 400}, {"Gus", 300}, {"Hal", 200}, {"Ivy", 100}})
        << false;
    QTest::newRow("three entries kept, in order")
        << QList<int>{120, 650} << 650
        << tableBytes({{"Ann", 900}, {"Bob", 800}, {"Cy", 700}, {"O2", 650}, {"Kim", 650}, {"Dee", 600},
                    {"Eve", 500}, {"Fay", 400}, {"Gus", 300}, {"Hal", 200}, {"O1", 120}})
        << false;
    QTest::newRow("crowded out of the table")
        << QList<int>{950} << 150
        << tableBytes({{"O1", 950}, {"Ann", 900}, {"Bob", 800}, {"Cy", 700}, {"Dee", 600}, {"Eve", 500},
                    {"Fay", 400}, {"Gus", 300}, {"Hal", 200}, {"Ivy", 100}})
        << true;
}

// Other copies of the game save while this one's name prompt is up: the
// entry goes in at its rank in the table as they left it, and every entry
// they made stays. When theirs push it out of the table, the player is
// told so in plain words.
void HighScoresTest::otherGameSavesDuringThePrompt()
{
    QFETCH(QList<int>, others);
    QFETCH(int, score);
    QFETCH(QByteArray, after);
    QFETCH(bool, crowdedOut);
    GameFolder dir;
    QVERIFY(dir.isValid());
    QVERIFY(writeBytes(dir.file("squibbo.hi"), Standard));
    Game game(dir);
    game.doubles.inputBox->answers = {"Kim"};
    game.doubles.inputBox->onAsk = [&] {
        const auto otherCopy = scores::makeSystemFileOps(dir.native());
        for (int i = 0; i < others.size(); ++i) {
            const scores::Record entry{"O" + std::to_string(i + 1), std::int16_t(others[i])};
            QVERIFY(scores::storeGame(*otherCopy, entry).ok);
        }
    };

    scores::GameOverHighScoreStep(game.services, game.form2, std::int16_t(score), *game.files);

    QCOMPARE(readBytes(dir.file("squibbo.hi")), after);
    QCOMPARE(game.messages(), crowdedOut ? 1 : 0);
    if (crowdedOut)
        QCOMPARE(game.doubles.messageBox->shown[0].text,
                 QStringLiteral("While you typed your name, another game saved better scores: your score of "
                                "%1 no longer earns a place among the ten best.")
                     .arg(score));
    QVERIFY(game.form2.isVisible());
    QCOMPARE(game.rankText(1), QStringLiteral("#1 - ") + QString::fromLatin1(after.mid(1, after.indexOf('"', 1) - 1)));
}

void HighScoresTest::richTextIsShownAsPlainText_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("shown");

    QTest::newRow("markup in a damaged score") << QByteArray("\"Ann\",<b>x</b>") << "\"<b>x</b>\" is not";
    QTest::newRow("a picture in a damaged score")
        << QByteArray("\"Ann\",<img src=no.png>") << "\"<img src=no.png>\" is not";
    QTest::newRow("markup in a name") << QByteArray("\"<b>Ann</b>\",900") << "#1 - <b>Ann</b>";
    QTest::newRow("a picture in a name") << QByteArray("\"<img src=no.png>\",900") << "#1 - <img src=no.png>";
    QTest::newRow("an entity in a name") << QByteArray("\"&lt;Ann&gt;\",900") << "#1 - &lt;Ann&gt;";
}

// Text from the file reaches the player as it is, never as markup: in the
// real message box that tells of a damaged table, and in the high-score
// window's rows. (A picture named in markup would be loaded: a score of
// <img src=/dev/zero> once made the game read that device until memory ran
// out. The pictures named here do not exist, so a fault shows, not hurts.)
void HighScoresTest::richTextIsShownAsPlainText()
{
    QFETCH(QByteArray, line);
    QFETCH(QString, shown);
    GameFolder dir;
    QVERIFY(dir.isValid());
    QVERIFY(writeBytes(dir.file("squibbo.hi"), QByteArray(Standard).replace("\"Ann\",900", line)));
    QVERIFY(Qt::mightBeRichText(shown.mid(shown.indexOf('<'))));
    Game game(dir);
    game.services.messageBox = rt::makeDialogMessageBox();
    QStringList texts;
    QList<Qt::TextFormat> formats;
    QWidget owner;
    owner.show();
    DialogWatch watch([&](QWidget *dialog) {
        auto *box = qobject_cast<QMessageBox *>(dialog);
        auto *label = box ? box->findChild<QLabel *>("qt_msgbox_label") : nullptr;
        if (label) {
            texts << label->text();
            formats << label->textFormat();
            // Over the window that asked for the high scores.
            QCOMPARE(box->windowHandle()->transientParent(), owner.windowHandle());
        }
        if (box)
            box->accept();
    });

    game.form2.Open(&owner);

    if (shown.startsWith("#1")) {
        QVERIFY(texts.isEmpty());
        auto *label = game.form2.window()->findChild<QLabel *>("Label2");
        QCOMPARE(label->text(), shown);
        QCOMPARE(label->textFormat(), Qt::PlainText);
        return;
    }
    QCOMPARE(texts.size(), 1);
    QVERIFY2(texts[0].contains(shown), qPrintable(texts[0]));
    QCOMPARE(formats[0], Qt::PlainText);
}

// The real "Game Over!" box is transient for the main window, so that the
// desktop puts it there, and wide enough for a title bar to show
// "Squibbo" whole beside the frame's icon and buttons.
void HighScoresTest::gameOverBoxBelongsToTheMainWindow()
{
    GameFolder dir;
    QVERIFY(writeBytes(dir.file("squibbo.hi"), Standard));
    Game game(dir);
    game.services.messageBox = rt::makeDialogMessageBox();
    QWidget mainWindow;
    mainWindow.show();
    QWindow *parent = nullptr;
    int width = 0, titleWidth = 0;
    DialogWatch watch([&](QWidget *dialog) {
        if (auto *box = qobject_cast<QMessageBox *>(dialog)) {
            parent = box->windowHandle()->transientParent();
            QFont titleFont = box->font();
            titleFont.setBold(true);
            titleWidth = QFontMetrics(titleFont).horizontalAdvance(box->windowTitle());
            width = box->width();
            box->accept();
        }
    });

    scores::GameOverHighScoreStep(game.services, game.form2, -1000, *game.files, &mainWindow);

    QCOMPARE(parent, mainWindow.windowHandle());
    QVERIFY2(width >= titleWidth + 120, qPrintable(QStringLiteral("%1 px wide for a title of %2 px").arg(width).arg(titleWidth)));
}

void HighScoresTest::nameLimitCountsCharacters_data()
{
    const QString emoji = QStringLiteral("\U0001F600");
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<QString>("pasted");
    QTest::addColumn<QString>("stored");

    const QString none;
    QTest::newRow("an emoji as the 32nd character") << QStringList{QString(31, 'a'), emoji} << none
                                                    << QString(31, 'a') + emoji;
    QTest::newRow("an emoji after 32 letters") << QStringList{QString(32, 'a'), emoji} << none << QString(32, 'a');
    QTest::newRow("letters after an emoji at 31") << QStringList{QString(30, 'a'), emoji, "bcd"} << none
                                                  << QString(30, 'a') + emoji + 'b';
    QTest::newRow("33 emoji") << QStringList(33, emoji) << none << emoji.repeated(32);
    QTest::newRow("markup") << QStringList{"<b>Kim</b>"} << none << "<b>Kim</b>";
    // Pasted: as much of its start as fits, in whole characters, without
    // its control characters.
    const QString e = QStringLiteral("e\u0301"), alef = QStringLiteral("\u05D0");
    QTest::newRow("paste 40 e + accent") << QStringList{} << e.repeated(40) << e.repeated(32);
    QTest::newRow("paste 40 Hebrew letters") << QStringList{} << alef.repeated(40) << alef.repeated(32);
    QTest::newRow("paste 10000 x") << QStringList{} << QString(10000, 'x') << QString(32, 'x');
    QTest::newRow("paste a and 5000 emoji") << QStringList{} << "a" + emoji.repeated(5000) << "a" + emoji.repeated(31);
    QTest::newRow("paste a line break") << QStringList{} << "ab\r\ncd" << "abcd";
    QTest::newRow("paste a lone half of a pair") << QStringList{} << "a" + QString(QChar(0xD83D)) + "b" << "ab";
    // A full name takes no more keys and loses nothing; a paste goes in
    // where the cursor is and leaves it after what it put in.
    const QString full = QStringLiteral("abcdefghijklmnopqrstuvwxyzABCDEF");
    QTest::newRow("a key into a full name") << QStringList{full, "<home>", "<right>", "Z"} << none << full;
    QTest::newRow("a key after a paste without its tab") << QStringList{"XY", "<left>", "<paste>", "Z"} << "a\tb" << "XabZY";
    // No more than a line of the table holds, in whole characters.
    const QString heavy = 'a' + QString(200, QChar(0x0301));
    QTest::newRow("paste 32 letters with 200 accents each") << QStringList{} << heavy.repeated(32) << heavy.repeated(10);
    QTest::newRow("paste controls that turn the text around")
        << QStringList{"Ann"} << QStringLiteral("\u202E\u2067x\u2069\u202C") << "Annx";
}

// The real name prompt keeps to 32 characters, an emoji or a letter with
// its accent being one, and never stores half of one: typed into the
// dialog key by key (an emoji comes as one key press with both halves, as
// an input method sends it; "<home>", "<left>", "<right>" and "<paste>" are
// those keys) or pasted from the clipboard at the end, accepted with Enter,
// and read back from the file's bytes, which hold what the prompt showed.
void HighScoresTest::nameLimitCountsCharacters()
{
    QFETCH(QStringList, keys);
    QFETCH(QString, pasted);
    QFETCH(QString, stored);
    GameFolder dir;
    QVERIFY(dir.isValid());
    QVERIFY(writeBytes(dir.file("squibbo.hi"), Standard));
    Game game(dir);
    game.services.inputBox = rt::makeDialogInputBox();
    QString prompt, shown;
    Qt::TextFormat promptFormat = Qt::AutoText;
    int titleWidth = 0, dialogWidth = 0;
    QWidget mainWindow, *promptOwner = nullptr;
    DialogWatch watch([&](QWidget *dialog) {
        auto *input = qobject_cast<QInputDialog *>(dialog);
        auto *edit = input ? input->findChild<QLineEdit *>() : nullptr;
        if (!edit)
            return;
        prompt = input->labelText();
        promptOwner = input->parentWidget();
        promptFormat = input->findChild<QLabel *>()->textFormat();
        QFont titleFont = input->font();
        titleFont.setBold(true);
        titleWidth = QFontMetrics(titleFont).horizontalAdvance(input->windowTitle());
        dialogWidth = input->width();
        const std::map<QString, Qt::Key> moves{{"<home>", Qt::Key_Home}, {"<left>", Qt::Key_Left}, {"<right>", Qt::Key_Right}};
        const auto paste = [&] {
            QGuiApplication::clipboard()->setText(pasted);
            QTest::keySequence(edit, QKeySequence::Paste);
        };
        for (const QString &key : keys) {
            if (key == QLatin1String("<paste>"))
                paste();
            else if (moves.count(key))
                QTest::keyClick(edit, moves.at(key));
            else if (key.size() == 2 && key.at(0).isHighSurrogate())
                QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, key, Qt::NoModifier);
            else
                QTest::keyClicks(edit, key);
        }
        if (!pasted.isEmpty() && !keys.contains(QStringLiteral("<paste>")))
            paste();
        shown = edit->text();
        QTest::keyClick(edit, Qt::Key_Return);
    });

    scores::GameOverHighScoreStep(game.services, game.form2, 650, *game.files, &mainWindow);

    QCOMPARE(prompt, QStringLiteral("Enter your name:"));
    QCOMPARE(promptOwner, &mainWindow);
    QCOMPARE(promptFormat, Qt::PlainText);
    // Wide enough for a title bar to show "You got a high score!" whole,
    // beside the frame's icon and its buttons.
    QVERIFY2(dialogWidth >= titleWidth + 120, qPrintable(QStringLiteral("%1 px wide for a title of %2 px").arg(dialogWidth).arg(titleWidth)));
    QCOMPARE(shown, stored);
    QCOMPARE(readBytes(dir.file("squibbo.hi")), standardWith(3, "\"" + stored.toUtf8() + "\",650"));
}

// A disk with no room left: the save fails with the system's words, xxx
// goes, and the old table stays byte for byte. Needs a small tmpfs of its
// own, so only where the test may mount one.
void HighScoresTest::fullDiskKeepsOldTable()
{
#ifdef __linux__
    if (::geteuid() != 0)
        QSKIP("mounting a small tmpfs needs root");
    QTemporaryDir mountPoint;
    QVERIFY(mountPoint.isValid());
    const QByteArray where = mountPoint.path().toLocal8Bit();
    if (::mount("tmpfs", where.constData(), "tmpfs", MS_NOSUID | MS_NODEV, "size=64k") != 0)
        QSKIP("this machine does not let the test mount a tmpfs");
    auto unmount = qScopeGuard([&] { ::umount2(where.constData(), MNT_DETACH); });
    const QDir disk(mountPoint.path());
    QVERIFY(writeBytes(disk.filePath("squibbo.hi"), Standard));
    // Fills the disk to the last byte.
    {
        QFile filler(disk.filePath("filler"));
        QVERIFY(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        const QByteArray block(4096, 'f');
        while (filler.write(block) == block.size()) {
        }
    }
    Game game(disk.path());
    game.doubles.inputBox->answers = {"Kim"};

    scores::GameOverHighScoreStep(game.services, game.form2, 650, *game.files);

    QCOMPARE(game.messages(), 1);
    const QString message = game.doubles.messageBox->shown[0].text;
    QVERIFY2(message.contains("No space left on device") && message.contains("is unchanged"), qPrintable(message));
    QCOMPARE(readBytes(disk.filePath("squibbo.hi")), Standard);
    QVERIFY(!QFile::exists(disk.filePath("xxx")));
    QCOMPARE(game.rankText(4), QStringLiteral("#4 - Dee"));
#else
    QSKIP("needs Linux mounts");
#endif
}

void HighScoresTest::windowFollowsItsDesign()
{
    GameFolder dir;
    QVERIFY(dir.isValid());
    QVERIFY(writeBytes(dir.file("squibbo.hi"), Standard));
    Game game(dir);
    game.form2.Open();
    rt::FormWindow *w = game.form2.window();
    QCOMPARE(w->windowTitle(), QStringLiteral(" "));
    QCOMPARE(w->minimumSize(), QSize(312, 273));
    QCOMPARE(w->maximumSize(), QSize(312, 273));
    QVERIFY(!(w->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));

    auto check = [&](const QString &name, int left, int top, int width, int height, int tab, double points) {
        auto *c = w->findChild<QWidget *>(name);
        QVERIFY2(c, qPrintable(name));
        QCOMPARE(c->geometry(), rt::twipsRect(left, top, width, height));
        QCOMPARE(c->property("TabIndex").toInt(), tab);
        QCOMPARE(c->font().pointSizeF(), points);
    };
    check("Label1", 1320, 120, 2175, 615, 0, 18);
    const int rankWidths[] = {1935, 1935, 1815, 1935, 1935, 1815, 1815, 1815, 1815, 1815};
    const int scoreWidths[] = {1095, 1095, 1215, 1215, 1335, 1335, 1335, 1455, 1455, 1455};
    for (int k = 1; k <= 10; ++k) {
        const int top = 840 + 240 * (k - 1);
        check(QStringLiteral("Label%1").arg(k + 1), 1200, top, rankWidths[k - 1], 255, k, 8.25);
        check(QStringLiteral("Label%1").arg(k + 11), 2760, top, scoreWidths[k - 1], k == 6 ? 375 : 255, k + 11, 8.25);
    }
    check("Command1", 1560, 3600, 1575, 375, 11, 8.25);
    QCOMPARE(w->findChild<QPushButton *>("Command1")->text(), QStringLiteral("OK"));
    QCOMPARE(w->findChild<QLabel *>("Label1")->text(), QStringLiteral("High Scores"));
}

// Each name keeps its direction to itself: the controls that would turn
// the text after it around are left out of its row and of what is read,
// and a name written from right to left leaves its rank at the left.
void HighScoresTest::windowListsFirstTenRecords()
{
    GameFolder dir;
    QVERIFY(dir.isValid());
    QVERIFY(writeBytes(dir.file("squibbo.hi"), tableBytes({{"Champ", 1250}, {"", -300}, {"Zero", 0}, {"D", -1}, {"E", -2},
                                              {"F", -3}, {"\u202EG\u2066", -4}, {"\u05D7\u05D9\u05D4", -5}, {"I", -6}, {"Last", -32768},
                                              {"Hidden", -32768}})));
    Game game(dir);
    game.form2.Open();
    const QStringList ranks = {"#1 - Champ", "#2 - ", "#3 - Zero", "#4 - D", "#5 - E",
                               "#6 - F", "#7 - G", "", "#9 - I", "#10 - Last"};
    const QStringList scores = {" 1250", "-300", " 0", "-1", "-2", "-3", "-4", "-5", "-6", "-32768"};
    for (int k = 1; k <= 10; ++k) {
        if (!ranks[k - 1].isEmpty())
            QCOMPARE(game.rankText(k), ranks[k - 1]);
        QCOMPARE(game.scoreText(k), scores[k - 1]);
    }
    const auto *row7 = game.form2.window()->findChild<QLabel *>("Label8");
    QCOMPARE(row7->accessibleName(), QStringLiteral("7, G, -4"));
    QVERIFY(game.form2.window()->accessibleDescription().contains(QStringLiteral(" 7, G, -4. 8, \u05D7\u05D9\u05D4, -5. 9,")));
    // The eighth row starts at the left edge, as the others do.
    const QImage row8 = game.form2.window()->findChild<QLabel *>("Label9")->grab().toImage();
    int left = row8.width();
    for (int x = 0; x < row8.width() && left == row8.width(); ++x)
        for (int y = 0; y < row8.height(); ++y)
            if (qGray(row8.pixel(x, y)) < 128)
                left = x;
    QVERIFY2(left < 4, qPrintable(QStringLiteral("the row's text starts %1 px from its left").arg(left)));
}

void HighScoresTest::activationRereadsFile()
{
    GameFolder dir;
    QVERIFY(dir.isValid());
    QVERIFY(writeBytes(dir.file("squibbo.hi"), Standard));
    Game game(dir);
    QWidget other;
    other.show();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    game.form2.Open();
    QVERIFY(QTest::qWaitForWindowActive(game.form2.window()));
    QCOMPARE(game.rankText(1), QStringLiteral("#1 - Ann"));

    // The player goes to another window; the file changes meanwhile.
    other.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    QVERIFY(writeBytes(dir.file("squibbo.hi"), QByteArray(Standard).replace("\"Ann\",900", "\"New\",-7")));
    QCOMPARE(game.rankText(1), QStringLiteral("#1 - Ann"));
    game.form2.window()->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(game.form2.window()));
    QCOMPARE(game.rankText(1), QStringLiteral("#1 - New"));
    QCOMPARE(game.scoreText(1), QStringLiteral("-7"));

    // "High Scores" again while it is open brings it up and rereads it.
    other.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    QVERIFY(writeBytes(dir.file("squibbo.hi"), Standard));
    game.form2.Open();
    QTRY_COMPARE(game.rankText(1), QStringLiteral("#1 - Ann"));
    QCOMPARE(game.messages(), 0);
}

// The message box hands the activation back to the window when it closes;
// that must not start another fill, another message and so on forever.
void HighScoresTest::damagedFileOnActivationIsToldOnce()
{
    GameFolder dir;
    QVERIFY(dir.isValid());
    QVERIFY(writeBytes(dir.file("squibbo.hi"), Standard));
    Game game(dir);
    QWidget other;
    other.show();
    game.form2.Open();
    QVERIFY(QTest::qWaitForWindowActive(game.form2.window()));
    other.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    QVERIFY(writeBytes(dir.file("squibbo.hi"), Standard.left(20)));
    // The box takes the activation while it is up and gives it back when
    // it closes (a few rounds at most, should the window loop).
    game.doubles.messageBox->onShow = [&] {
        if (game.messages() > 3 || !game.form2.window())
            return;
        other.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&other));
        game.form2.window()->activateWindow();
        QTest::qWait(20);
    };
    game.form2.window()->activateWindow();
    QTRY_VERIFY(!game.form2.isLoaded());
    QTest::qWait(50);
    QCOMPARE(game.messages(), 1);

    // Repaired, the file shows again at the next opening.
    QVERIFY(writeBytes(dir.file("squibbo.hi"), Standard));
    game.form2.Open();
    QVERIFY(QTest::qWaitForWindowActive(game.form2.window()));
    QCOMPARE(game.rankText(10), QStringLiteral("#10 - Jo"));
    QCOMPARE(game.messages(), 1);
}

void HighScoresTest::okAndEnterCloseWindow()
{
    GameFolder dir;
    QVERIFY(dir.isValid());
    QVERIFY(writeBytes(dir.file("squibbo.hi"), Standard));
    Game game(dir);
    game.form2.Open();
    QTest::mouseClick(game.form2.window()->findChild<QPushButton *>("Command1"), Qt::LeftButton);
    QVERIFY(!game.form2.isLoaded());
    game.form2.Open();
    QVERIFY(QTest::qWaitForWindowActive(game.form2.window()));
    QCOMPARE(game.scoreText(1), QStringLiteral(" 900"));
    QTest::keyClick(game.form2.window(), Qt::Key_Return);
    QVERIFY(!game.form2.isLoaded());
}

QTEST_MAIN(HighScoresTest)
#include "tst_highscores.moc"
