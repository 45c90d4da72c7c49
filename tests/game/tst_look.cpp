// How the windows look. On the default light palette every pixel is as in
// the reference pictures in tests/references/qtX.Y/ for the Qt the test
// runs on: each Qt release draws the edges of its glyphs a little
// differently, and every pixel still counts. The pictures are made with
// SQUIBBO_WRITE_REFERENCES=<folder>, and looked at before they are kept.
// On a Qt without pictures of its own, the newest Qt's are compared outside
// the texts and buttons, and the test says so. On a dark desktop palette
// the texts and lines that stand for the system's text and light colours
// follow the palette and stay legible; the red warning stays red.
// SQUIBBO_SCREENSHOTS=<folder> keeps the dark pictures for a look. At the
// display scales 1, 1.5 and 2 every picture covers exactly its place.

#include "fonts.h"
#include "form2.h"
#include "frmabout.h"
#include "gamefixture.h"
#include "memoryregistry.h"
#include "scorestesting.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QPainter>
#include <QProcess>
#include <QStyleFactory>
#include <QTest>

#include <algorithm>

namespace {

const QByteArray Table = tableBytes({{"Ann", 900}, {"Bob", 800}, {"Cy", 700}, {"Dee", 600}, {"Eve", 500},
                                     {"Fay", 400}, {"Gus", 300}, {"Hal", 200}, {"Ivy", 100}, {"Jo", 0}});

// A desktop in dark colours, as Fusion's dark themes set it.
QPalette darkPalette()
{
    QPalette p;
    p.setColor(QPalette::Window, QColor(53, 53, 53));
    p.setColor(QPalette::WindowText, QColor(230, 230, 230));
    p.setColor(QPalette::Base, QColor(35, 35, 35));
    p.setColor(QPalette::Text, QColor(230, 230, 230));
    p.setColor(QPalette::Button, QColor(53, 53, 53));
    p.setColor(QPalette::ButtonText, QColor(230, 230, 230));
    p.setColor(QPalette::Light, QColor(90, 90, 90));
    p.setColor(QPalette::Midlight, QColor(70, 70, 70));
    p.setColor(QPalette::Dark, QColor(30, 30, 30));
    p.setColor(QPalette::Mid, QColor(40, 40, 40));
    return p;
}

// The windows in the states the pictures show: the main window at the
// start, at eight misses and after a game; the About window; the
// high-score window on a known table.
struct Windows {
    explicit Windows(const GameFolder &dir) : files(scores::makeSystemFileOps(dir.native()))
    {
        writeBytes(dir.file("squibbo.hi"), Table);
    }

    QImage main() { return grab(game.form.window()); }
    QImage grab(QWidget *window)
    {
        shown = window;
        return window->grab().toImage();
    }
    void misses(int n)
    {
        for (int i = 0; i < n; ++i)
            game.miss();
        // Wendo back where the window first showed him.
        game.form.Picture1->Move(2760.0f);
    }
    QImage about()
    {
        aboutForm.Show();
        // The release's number is tst_frmabout's to check; the pictures show
        // the one they were made with, so a new release needs no new ones.
        aboutForm.lblVersion->setText(QStringLiteral("Version 1.0.0"));
        return grab(aboutForm.window());
    }
    QImage scores()
    {
        scoresForm.Open();
        return grab(scoresForm.window());
    }

    Game game;
    // Empty: the About window never asks it here.
    MemoryRegistry registry;
    std::unique_ptr<scores::FileOps> files;
    frmAbout aboutForm{game.services, registry, nullptr};
    Form2 scoresForm{game.services, *files, nullptr};
    // The window last pictured.
    QWidget *shown = nullptr;
};

QImage picture(Windows &w, const QString &which)
{
    if (which == QLatin1String("main-start"))
        return w.main();
    if (which == QLatin1String("main-eight-misses")) {
        w.misses(8);
        return w.main();
    }
    if (which == QLatin1String("main-after-a-game")) {
        w.misses(10);
        return w.main();
    }
    if (which == QLatin1String("about"))
        return w.about();
    return w.scores();
}

const QStringList Pictures = {"main-start", "main-eight-misses", "main-after-a-game", "about", "high-scores"};

// How far apart two colours are to the eye, roughly: the largest channel gap.
int gap(QColor a, QColor b)
{
    return std::max({std::abs(a.red() - b.red()), std::abs(a.green() - b.green()),
                     std::abs(a.blue() - b.blue())});
}

// The colour in `area` of the picture that stands out most from `ground`.
QColor strongest(const QImage &image, const QRect &area, QColor ground)
{
    QColor best = ground;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (gap(c, ground) > gap(best, ground))
                best = c;
        }
    }
    return best;
}

QString assetFile(const QString &name)
{
    return qEnvironmentVariable("SQUIBBO_SOURCE_DIR") + QStringLiteral("/assets/") + name;
}

// What a picture box of `box` pixels shows at the display scale `scale`
// with the file `file` ("@2x" for the finer version): its grey, and the
// picture over exactly the plain picture's place, resampled smoothly where
// the file's resolution is not the screen's.
QImage boxShowing(QSize box, const QString &file, double scale)
{
    QImage source(assetFile(file));
    source.setDevicePixelRatio(file.contains(QStringLiteral("@2x")) ? 2 : 1);
    QImage want(box * scale, QImage::Format_RGB32);
    want.setDevicePixelRatio(scale);
    QPainter painter(&want);
    painter.fillRect(QRect({0, 0}, box), QColor(192, 192, 192));
    painter.setRenderHint(QPainter::SmoothPixmapTransform, source.devicePixelRatio() != scale);
    painter.drawImage(QRectF({0, 0}, QImage(assetFile(QString(file).remove(QStringLiteral("@2x")))).size()), source);
    return want;
}

} // namespace

class LookTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        rt::registerFontSubstitutes();
        QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
        m_light = QApplication::palette();
    }
    void cleanup() { QApplication::setPalette(m_light); }

    void lightPaletteLooksAsBefore_data()
    {
        QTest::addColumn<QString>("which");
        for (const QString &which : Pictures)
            QTest::newRow(qPrintable(which)) << which;
    }
    void lightPaletteLooksAsBefore()
    {
        QFETCH(QString, which);
        GameFolder dir;
        Windows windows(dir);
        const QImage got = picture(windows, which).convertToFormat(QImage::Format_RGB32);
        const QString name = which + QStringLiteral(".png");
        if (const QString out = qEnvironmentVariable("SQUIBBO_WRITE_REFERENCES"); !out.isEmpty()) {
            QVERIFY(got.save(QDir(out).filePath(name)));
            QSKIP("reference written");
        }
        const QDir references(qEnvironmentVariable("SQUIBBO_SOURCE_DIR") + QStringLiteral("/tests/references"));
        const QString own = QStringLiteral("qt%1.%2").arg(QT_VERSION_MAJOR).arg(QT_VERSION_MINOR);
        // Without pictures for this Qt, those of the newest Qt still tell
        // everything but how the glyphs and button faces are drawn: each
        // window's size, its colours, its pictures and lines.
        QString folder = own;
        QRegion unchecked;
        if (!references.exists(own)) {
            const QStringList known = references.entryList({QStringLiteral("qt6.*")}, QDir::Dirs, QDir::Name);
            QVERIFY(!known.isEmpty());
            folder = std::ranges::max(known, {}, [](const QString &f) { return f.mid(4).toInt(); });
            for (const QWidget *text : windows.shown->findChildren<QWidget *>())
                if (qobject_cast<const QLabel *>(text) || qobject_cast<const QAbstractButton *>(text))
                    unchecked += text->geometry();
        }
        const QImage want = QImage(references.filePath(folder + u'/' + name)).convertToFormat(QImage::Format_RGB32);
        QVERIFY2(!want.isNull(), qPrintable(references.filePath(folder + u'/' + name)));
        QCOMPARE(got.size(), want.size());
        int differ = 0, checked = 0;
        for (int y = 0; y < got.height(); ++y)
            for (int x = 0; x < got.width(); ++x)
                if (!unchecked.contains(QPoint(x, y))) {
                    ++checked;
                    differ += got.pixel(x, y) != want.pixel(x, y);
                }
        QCOMPARE(differ, 0);
        if (folder != own)
            qWarning("No reference pictures for Qt %d.%d: %s compared with Qt %s's in %d of its %d pixels; its "
                     "texts and buttons were not checked (look at the windows, then make pictures with "
                     "SQUIBBO_WRITE_REFERENCES=tests/references/%s).",
                     QT_VERSION_MAJOR, QT_VERSION_MINOR, qPrintable(which), qPrintable(folder.mid(2)), checked,
                     int(got.width() * got.height()), qPrintable(own));
    }

    // On a dark palette: the misses counter after a game, and the About
    // window's title, notice, disclaimer and engraved line take the
    // palette's colours; the counter's warning stays red.
    void darkPaletteStaysLegible()
    {
        const QPalette dark = darkPalette();
        QApplication::setPalette(dark);
        GameFolder dir;
        Windows windows(dir);
        const QString keep = qEnvironmentVariable("SQUIBBO_SCREENSHOTS");

        windows.misses(8);
        const QColor warning = rt::foreColor(windows.game.form.Text3);
        QCOMPARE(warning, QColor(Qt::red));
        windows.misses(2);
        const QImage main = windows.main();
        QCOMPARE(rt::foreColor(windows.game.form.Text3), dark.color(QPalette::WindowText));
        // The counter's " 0" stands out from the window as brightly as the
        // palette's text does.
        const QRect counter = windows.game.form.Text3->geometry();
        QVERIFY(gap(strongest(main, counter, dark.color(QPalette::Window)), dark.color(QPalette::Window)) > 120);

        const QImage about = windows.about();
        frmAbout &a = windows.aboutForm;
        for (QLabel *label : {a.lblTitle.data(), a.lblDescription.data(), a.lblDisclaimer.data()}) {
            QCOMPARE(rt::foreColor(label), dark.color(QPalette::WindowText));
            if (!label->text().isEmpty())
                QVERIFY2(gap(strongest(about, label->geometry(), dark.color(QPalette::Window)),
                             dark.color(QPalette::Window)) > 120,
                         qPrintable(label->objectName()));
        }
        // The light member of the engraved line is the palette's light
        // colour, no longer a white bar; the grey one above it stays.
        const QRect lightLine = a.Line1[0]->geometry();
        QCOMPARE(about.pixelColor(lightLine.center()), dark.color(QPalette::Light));
        QCOMPARE(about.pixelColor(a.Line1[1]->geometry().center()), QColor(128, 128, 128));

        if (!keep.isEmpty()) {
            QVERIFY(main.save(QDir(keep).filePath(QStringLiteral("dark-main-after-a-game.png"))));
            QVERIFY(about.save(QDir(keep).filePath(QStringLiteral("dark-about.png"))));
        }
    }

    // At every display scale each picture covers exactly its own place,
    // in the finer version on a scaled screen, and in the plain one where
    // the game folder has no finer version ("wendo@2x.bmp" here).
    void picturesFillTheirPlacesAtEveryScale_data()
    {
        QTest::addColumn<double>("scale");
        for (const char *scale : {"1", "1.5", "2"})
            QTest::newRow(scale) << QByteArray(scale).toDouble();
    }
    void picturesFillTheirPlacesAtEveryScale()
    {
        QFETCH(double, scale);
        const QString tag = QString::fromLatin1(QTest::currentDataTag());
        if (!qFuzzyCompare(qApp->devicePixelRatio(), scale)) {
            // Qt takes the scale as it starts: a copy of the test started at it checks it.
            QVERIFY2(qEnvironmentVariable("QT_SCALE_FACTOR") != tag, "Qt did not take QT_SCALE_FACTOR");
            QProcess child;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("QT_SCALE_FACTOR"), tag);
            child.setProcessEnvironment(env);
            child.setProcessChannelMode(QProcess::MergedChannels);
            child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("picturesFillTheirPlacesAtEveryScale:") + tag});
            QVERIFY(child.waitForFinished(120000));
            QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0, child.readAll().constData());
            return;
        }
        GameFolder dir;
        Windows windows(dir);
        Form1 &f = windows.game.form;
        for (const QString name : {"pied.bmp", "pied@2x.bmp", "wendo.bmp"})
            QVERIFY(QFile::copy(assetFile(name), windows.game.folder.filePath(name)));
        auto shown = [](rt::PictureBox *box) { return box->grab().toImage().convertToFormat(QImage::Format_RGB32); };
        const QString bmp = scale > 1 ? QStringLiteral("@2x.bmp") : QStringLiteral(".bmp");
        windows.about();
        QCOMPARE(shown(windows.aboutForm.picIcon), boxShowing({88, 41}, "picture2" + bmp, scale));
        QCOMPARE(shown(f.Picture2), boxShowing({88, 41}, "picture2" + bmp, scale));
        QCOMPARE(shown(f.Picture1), boxShowing({105, 129}, "picture1" + bmp, scale));
        windows.game.throwAndTick(2800.0f, 1000.0f);
        QCOMPARE(shown(f.Picture1), boxShowing({105, 129}, "pied" + bmp, scale));
        f.Timer2_Timer();
        QCOMPARE(shown(f.Picture1), boxShowing({105, 129}, QStringLiteral("wendo.bmp"), scale));
    }

private:
    QPalette m_light;
};

QTEST_MAIN(LookTest)
#include "tst_look.moc"
