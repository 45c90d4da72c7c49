// The end of a game and the high-score window, on real files in a
// temporary working directory and with the dialogs doubled.

#include "form2.h"
#include "gameover.h"
#include "hiscorestore.h"
#include "scorestesting.h"

#include "fonts.h"
#include "testdoubles.h"
#include "twips.h"

#include <QtTest>

namespace {

using Row = std::pair<const char *, int>;

QByteArray records(std::initializer_list<Row> rows)
{
    QByteArray out;
    for (const auto &[name, score] : rows)
        out += '"' + QByteArray(name) + "\"," + QByteArray::number(score) + "\r\n";
    return out;
}

const QByteArray Standard = records({{"Ann", 900}, {"Bob", 800}, {"Cy", 700}, {"Dee", 600}, {"Eve", 500},
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

// One game's worth of doubles and a fresh high-score window.
struct Game {
    rt::testing::Doubles doubles;
    rt::Services services = doubles.services();
    Form2 form2{services, nullptr};

    QString rankText(int k) const { return label(k + 1); }
    QString scoreText(int k) const { return label(k + 11); }
    QString label(int number) const
    {
        auto *l = form2.window()->findChild<QLabel *>(QStringLiteral("Label%1").arg(number));
        return l ? l->text() : QStringLiteral("<no label>");
    }
    int messages() const { return int(doubles.messageBox->shown.size()); }
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
    TempWorkDir dir;
    QVERIFY(dir.entered());
    QVERIFY(writeBytes("squibbo.hi", before));
    Game game;
    game.doubles.inputBox->answers = {typed};

    scores::GameOverHighScoreStep(game.services, game.form2, std::int16_t(score));

    QCOMPARE(readBytes("squibbo.hi"), after);
    QCOMPARE(snapshot().keys(), QStringList{"./squibbo.hi"});
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

    // Every proper prefix of a valid file: empty, cut inside a line, or
    // fewer than ten records.
    for (int n = 0; n < Standard.size(); ++n) {
        const QString what = n == 0 ? "is empty" : "the table needs ten";
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
}

// A high-score file that cannot be used never ends the game: the end of a
// game and the window each tell the player once what is wrong with which
// file, and nothing on disk changes.
void HighScoresTest::badFileIsReportedAndLeftAlone()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, what);
    TempWorkDir dir;
    QVERIFY(dir.entered());
    if (content == "<folder>")
        QVERIFY(QDir().mkdir("squibbo.hi") && writeBytes("squibbo.hi/inside", Standard));
    else if (content != "<missing>")
        QVERIFY(writeBytes("squibbo.hi", content));
    const auto before = snapshot();
    Game game;
    game.doubles.inputBox->answers = {"Zed"};

    scores::GameOverHighScoreStep(game.services, game.form2, 30000);
    QCOMPARE(game.messages(), 1);
    const QString message = game.doubles.messageBox->shown[0].text;
    QVERIFY2(message.contains(QDir::current().absoluteFilePath("squibbo.hi")), qPrintable(message));
    QVERIFY2(message.contains(what), qPrintable(message));
    QVERIFY(game.doubles.inputBox->asked.empty());
    QVERIFY(!game.form2.isLoaded());

    // "High Scores": the first opening runs into the file in the creation
    // fill, a later one in the activation fill.
    game.form2.Load();
    game.form2.Show();
    QCOMPARE(game.messages(), 2);
    QVERIFY(!game.form2.isLoaded());
    game.form2.Show();
    QTRY_VERIFY(!game.form2.isLoaded());
    QTest::qWait(20);
    QCOMPARE(game.messages(), 3);
    QCOMPARE(game.doubles.messageBox->shown[2].text, game.doubles.messageBox->shown[1].text);
    QCOMPARE(snapshot(), before);
}

void HighScoresTest::failedStepKeepsOldTable_data()
{
    QTest::addColumn<int>("failAt");
    const char *steps[] = {"read", "create", "write 1", "write 2", "write 3", "write 4", "write 5", "write 6",
                           "write 7", "write 8", "write 9", "write 10", "write 11", "sync", "close", "rename",
                           "sync folder"};
    for (int i = 0; i < int(std::size(steps)); ++i)
        QTest::addRow("%s fails", steps[i]) << i;
}

// Any failing step of the replacement is told to the player. Up to the
// rename the old table stays byte for byte and xxx is gone; a failing
// folder sync comes after the new table is in place.
void HighScoresTest::failedStepKeepsOldTable()
{
    QFETCH(int, failAt);
    TempWorkDir dir;
    QVERIFY(dir.entered());
    QVERIFY(writeBytes("squibbo.hi", Standard));
    QVERIFY(writeBytes("xxx", "\"stale\",1\r\n\"ha"));
    const auto before = snapshot();
    Game game;
    game.doubles.inputBox->answers = {"Kim"};
    FaultyFileOps files(failAt);

    scores::GameOverHighScoreStep(game.services, game.form2, 650, files);

    QVERIFY(files.steps() > failAt);
    QCOMPARE(game.messages(), 1);
    const QString message = game.doubles.messageBox->shown[0].text;
    QVERIFY2(message.contains("injected failure") && message.contains("squibbo.hi"), qPrintable(message));
    if (failAt == 0) {
        QCOMPARE(snapshot(), before);
        QVERIFY(!game.form2.isLoaded());
        return;
    }
    QCOMPARE(readBytes("squibbo.hi"), failAt < 16 ? Standard : standardWith(3, "\"Kim\",650"));
    QVERIFY2(message.contains(failAt < 16 ? "is unchanged" : "are in"), qPrintable(message));
    QVERIFY(!QFile::exists("xxx"));
    QVERIFY(game.form2.isVisible());
    QCOMPARE(game.rankText(4), failAt < 16 ? QStringLiteral("#4 - Dee") : QStringLiteral("#4 - Kim"));
}

void HighScoresTest::windowFollowsItsDesign()
{
    TempWorkDir dir;
    QVERIFY(dir.entered());
    QVERIFY(writeBytes("squibbo.hi", Standard));
    Game game;
    game.form2.Load();
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

void HighScoresTest::windowListsFirstTenRecords()
{
    TempWorkDir dir;
    QVERIFY(dir.entered());
    QVERIFY(writeBytes("squibbo.hi", records({{"Champ", 1250}, {"", -300}, {"Zero", 0}, {"D", -1}, {"E", -2},
                                              {"F", -3}, {"G", -4}, {"H", -5}, {"I", -6}, {"Last", -32768},
                                              {"Hidden", -32768}})));
    Game game;
    game.form2.Show();
    const QStringList ranks = {"#1 - Champ", "#2 - ", "#3 - Zero", "#4 - D", "#5 - E",
                               "#6 - F", "#7 - G", "#8 - H", "#9 - I", "#10 - Last"};
    const QStringList scores = {" 1250", "-300", " 0", "-1", "-2", "-3", "-4", "-5", "-6", "-32768"};
    for (int k = 1; k <= 10; ++k) {
        QCOMPARE(game.rankText(k), ranks[k - 1]);
        QCOMPARE(game.scoreText(k), scores[k - 1]);
    }
}

void HighScoresTest::activationRereadsFile()
{
    TempWorkDir dir;
    QVERIFY(dir.entered());
    QVERIFY(writeBytes("squibbo.hi", Standard));
    Game game;
    QWidget other;
    other.show();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    game.form2.Show();
    QVERIFY(QTest::qWaitForWindowActive(game.form2.window()));
    QCOMPARE(game.rankText(1), QStringLiteral("#1 - Ann"));

    // The player goes to another window; the file changes meanwhile.
    other.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    QVERIFY(writeBytes("squibbo.hi", QByteArray(Standard).replace("\"Ann\",900", "\"New\",-7")));
    QCOMPARE(game.rankText(1), QStringLiteral("#1 - Ann"));
    game.form2.window()->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(game.form2.window()));
    QCOMPARE(game.rankText(1), QStringLiteral("#1 - New"));
    QCOMPARE(game.scoreText(1), QStringLiteral("-7"));

    // "High Scores" again while it is open brings it up and rereads it.
    other.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    QVERIFY(writeBytes("squibbo.hi", Standard));
    game.form2.Show();
    QTRY_COMPARE(game.rankText(1), QStringLiteral("#1 - Ann"));
    QCOMPARE(game.messages(), 0);
}

// The message box hands the activation back to the window when it closes;
// that must not start another fill, another message and so on forever.
void HighScoresTest::damagedFileOnActivationIsToldOnce()
{
    TempWorkDir dir;
    QVERIFY(dir.entered());
    QVERIFY(writeBytes("squibbo.hi", Standard));
    Game game;
    QWidget other;
    other.show();
    game.form2.Show();
    QVERIFY(QTest::qWaitForWindowActive(game.form2.window()));
    other.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    QVERIFY(writeBytes("squibbo.hi", Standard.left(20)));
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
    QVERIFY(writeBytes("squibbo.hi", Standard));
    game.form2.Show();
    QVERIFY(QTest::qWaitForWindowActive(game.form2.window()));
    QCOMPARE(game.rankText(10), QStringLiteral("#10 - Jo"));
    QCOMPARE(game.messages(), 1);
}

void HighScoresTest::okAndEnterCloseWindow()
{
    TempWorkDir dir;
    QVERIFY(dir.entered());
    QVERIFY(writeBytes("squibbo.hi", Standard));
    Game game;
    game.form2.Show();
    QTest::mouseClick(game.form2.window()->findChild<QPushButton *>("Command1"), Qt::LeftButton);
    QVERIFY(!game.form2.isLoaded());
    game.form2.Show();
    QVERIFY(QTest::qWaitForWindowActive(game.form2.window()));
    QCOMPARE(game.scoreText(1), QStringLiteral(" 900"));
    QTest::keyClick(game.form2.window(), Qt::Key_Return);
    QVERIFY(!game.form2.isLoaded());
}

QTEST_MAIN(HighScoresTest)
#include "tst_highscores.moc"
