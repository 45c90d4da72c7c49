// Checks the generated pictures, icons, sounds and score table: the files in
// assets/ must hold exactly what the generator makes (the same pixels, the
// same samples, the same text, however an encoder packs them), and each file
// must have the layout the game and the Windows build rely on.

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include "release.h"

#include <cmath>

namespace {

// The files delivered beside the program (as the build lists them), the
// design-time pictures and icons compiled in, and the menu icons.
const QStringList kGeneratedFiles = QStringLiteral(SQUIBBO_DELIVERED).split(QLatin1Char(' '))
    + QStringList{
        "icon.png", "picture1.bmp", "picture1@2x.bmp", "picture2.bmp", "picture2@2x.bmp", "squibbo.ico",
        "icons/hicolor/16x16/apps/squibbo.png", "icons/hicolor/24x24/apps/squibbo.png",
        "icons/hicolor/32x32/apps/squibbo.png", "icons/hicolor/48x48/apps/squibbo.png",
        "icons/hicolor/64x64/apps/squibbo.png", "icons/hicolor/128x128/apps/squibbo.png",
        "icons/hicolor/256x256/apps/squibbo.png",
    };

quint32 le32(const QByteArray &b, int at)
{
    return quint32(uchar(b[at])) | quint32(uchar(b[at + 1])) << 8 | quint32(uchar(b[at + 2])) << 16
           | quint32(uchar(b[at + 3])) << 24;
}

quint16 le16(const QByteArray &b, int at)
{
    return quint16(uchar(b[at]) | uchar(b[at + 1]) << 8);
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

// The samples of a 16-bit PCM wave file, with its rate and channels in
// front; empty when it is no such file.
QList<qint32> waveContent(const QByteArray &b)
{
    if (b.size() < 44 || b.left(4) != "RIFF" || b.mid(8, 4) != "WAVE")
        return {};
    QList<qint32> out{qint32(le32(b, 24)), qint32(le16(b, 22)), qint32(le16(b, 34))};
    for (int at = 12; at + 8 <= b.size();) {
        const int size = int(le32(b, at + 4));
        if (b.mid(at, 4) == "data") {
            for (int i = at + 8; i + 1 < at + 8 + size && i + 1 < b.size(); i += 2)
                out.append(qint16(le16(b, i)));
            return out;
        }
        at += 8 + size + (size & 1);
    }
    return {};
}

// What a generated file holds, in a form that does not depend on how it
// was packed: the pixels of a picture or icon, the samples of a sound, the
// bytes of anything else.
QString contentDifference(const QString &name, const QByteArray &made, const QByteArray &kept)
{
    if (name.endsWith(QLatin1String(".wav"))) {
        const QList<qint32> a = waveContent(made), b = waveContent(kept);
        return !a.isEmpty() && a == b ? QString() : QStringLiteral("the samples differ");
    }
    const QByteArray format = QFileInfo(name).suffix().toLatin1();
    const bool decodable = QImageReader::supportedImageFormats().contains(format);
    if (decodable && (format == "png" || format == "bmp" || format == "ico")) {
        QImage a = QImage::fromData(made, format.constData());
        QImage b = QImage::fromData(kept, format.constData());
        if (a.isNull() || b.isNull())
            return QStringLiteral("a picture does not decode");
        a = a.convertToFormat(QImage::Format_ARGB32);
        b = b.convertToFormat(QImage::Format_ARGB32);
        return a == b ? QString() : QStringLiteral("the pixels differ");
    }
    return made == kept ? QString() : QStringLiteral("the bytes differ");
}

int channelGap(QRgb a, QRgb b)
{
    return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b))});
}

} // namespace

class AssetsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void generatorWritesExactlyTheAssetFiles();
    void committedFilesMatchGenerator_data();
    void committedFilesMatchGenerator();
    void bitmapLayout_data();
    void bitmapLayout();
    void windowsIcon();
    void menuIcons_data();
    void menuIcons();
    void sounds_data();
    void sounds();
    void highScoreTable();
    void designResources_data();
    void designResources();

private:
    QString fresh(const QString &name) const { return out_.filePath(name); }
    QString committed(const QString &name) const { return assets_.filePath(name); }

    QTemporaryDir out_;
    QDir assets_;
};

void AssetsTest::initTestCase()
{
    QVERIFY(out_.isValid());
    const QByteArray source = qgetenv("SQUIBBO_SOURCE_DIR");
    QVERIFY2(!source.isEmpty(), "SQUIBBO_SOURCE_DIR is not set");
    assets_ = QDir(QString::fromLocal8Bit(source) + "/assets");

    QProcess gen;
    gen.start(QStringLiteral(SQUIBBO_GEN_ASSETS), {out_.path()});
    QVERIFY2(gen.waitForFinished(120000), "generator did not finish");
    QCOMPARE(gen.exitStatus(), QProcess::NormalExit);
    QVERIFY2(gen.exitCode() == 0, gen.readAllStandardError().constData());
}

void AssetsTest::generatorWritesExactlyTheAssetFiles()
{
    QStringList written;
    QDirIterator it(out_.path(), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        written << QDir(out_.path()).relativeFilePath(it.next());
    written.sort();
    QStringList expected = kGeneratedFiles;
    expected.sort();
    QCOMPARE(written, expected);
}

void AssetsTest::committedFilesMatchGenerator_data()
{
    QTest::addColumn<QString>("name");
    for (const QString &name : kGeneratedFiles)
        QTest::newRow(qPrintable(name)) << name;
}

void AssetsTest::committedFilesMatchGenerator()
{
    QFETCH(QString, name);
    const QByteArray made = readAll(fresh(name));
    const QByteArray kept = readAll(committed(name));
    QVERIFY2(!kept.isEmpty(), "missing from assets/");
    const QString difference = contentDifference(name, made, kept);
    QVERIFY2(difference.isEmpty(),
             qPrintable(difference + QStringLiteral(": assets/ is stale, rebuild the target squibbo_regen_assets")));
}

void AssetsTest::bitmapLayout_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("bits");
    QTest::addColumn<int>("grey");      // background level
    QTest::addColumn<int>("tolerance"); // per channel
    QTest::addColumn<bool>("allCorners"); // portraits have shoulders in the bottom corners
    QTest::newRow("picture1") << "picture1.bmp" << 103 << 129 << 24 << 190 << 4 << false;
    QTest::newRow("picture2") << "picture2.bmp" << 88 << 41 << 8 << 189 << 0 << true;
    QTest::newRow("wendo") << "wendo.bmp" << 105 << 129 << 24 << 190 << 4 << false;
    QTest::newRow("pied") << "pied.bmp" << 105 << 129 << 24 << 190 << 4 << false;
    QTest::newRow("picture1@2x") << "picture1@2x.bmp" << 206 << 258 << 24 << 190 << 4 << false;
    QTest::newRow("picture2@2x") << "picture2@2x.bmp" << 176 << 82 << 8 << 189 << 0 << true;
    QTest::newRow("wendo@2x") << "wendo@2x.bmp" << 210 << 258 << 24 << 190 << 4 << false;
    QTest::newRow("pied@2x") << "pied@2x.bmp" << 210 << 258 << 24 << 190 << 4 << false;
}

void AssetsTest::bitmapLayout()
{
    QFETCH(QString, name);
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, bits);
    QFETCH(int, grey);
    QFETCH(int, tolerance);
    QFETCH(bool, allCorners);

    const QByteArray b = readAll(fresh(name));
    QVERIFY(b.size() > 54);
    QCOMPARE(b.left(2), QByteArray("BM"));
    QCOMPARE(le32(b, 14), 40u); // BITMAPINFOHEADER
    QCOMPARE(int(le32(b, 18)), width);
    QCOMPARE(int(le32(b, 22)), height); // positive: stored bottom-up
    QCOMPARE(int(le16(b, 28)), bits);
    QCOMPARE(le32(b, 30), 0u); // uncompressed
    const int paletteBytes = bits == 8 ? 256 * 4 : 0;
    if (bits == 8)
        QVERIFY(le32(b, 46) == 0 || le32(b, 46) == 256);
    QCOMPARE(int(le32(b, 10)), 54 + paletteBytes);
    const int stride = (width * bits + 31) / 32 * 4;
    QCOMPARE(int(b.size()), 54 + paletteBytes + stride * height);

    QImage img;
    QVERIFY(img.load(fresh(name)));
    QCOMPARE(img.size(), QSize(width, height));
    QList<QPoint> corners = {{0, 0}, {width - 1, 0}};
    if (allCorners)
        corners += {QPoint(0, height - 1), QPoint(width - 1, height - 1)};
    for (const QPoint &c : corners)
        QVERIFY2(channelGap(img.pixel(c), qRgb(grey, grey, grey)) <= tolerance,
                 qPrintable(QStringLiteral("corner %1,%2 is #%3")
                                .arg(c.x()).arg(c.y()).arg(img.pixel(c) & 0xffffff, 6, 16, QChar('0'))));
}

void AssetsTest::windowsIcon()
{
    const QByteArray b = readAll(fresh("squibbo.ico"));
    QVERIFY(b.size() >= 22);
    QCOMPARE(le16(b, 0), quint16(0));
    QCOMPARE(le16(b, 2), quint16(1)); // icon, not cursor
    QCOMPARE(le16(b, 4), quint16(1));
    QCOMPARE(uchar(b[6]), uchar(32));
    QCOMPARE(uchar(b[7]), uchar(32));
    QCOMPARE(uchar(b[8]), uchar(0)); // 0 = 256 colours
    QCOMPARE(le16(b, 12), quint16(8));
    const int offset = int(le32(b, 18));
    const int xorBytes = 32 * 32, andBytes = 4 * 32;
    QCOMPARE(int(le32(b, 14)), 40 + 256 * 4 + xorBytes + andBytes);
    QCOMPARE(int(b.size()), offset + int(le32(b, 14)));

    QCOMPARE(le32(b, offset), 40u);
    QCOMPARE(int(le32(b, offset + 4)), 32);
    QCOMPARE(int(le32(b, offset + 8)), 64); // colour rows plus mask rows
    QCOMPARE(int(le16(b, offset + 14)), 8);
    QCOMPARE(le32(b, offset + 16), 0u);

    // Compare pixel by pixel with the PNG window icon: same shape in the
    // mask, close colours through the palette, rows the right way up.
    QImage png;
    QVERIFY(png.load(fresh("icon.png")));
    png = png.convertToFormat(QImage::Format_ARGB32);
    const int palette = offset + 40;
    const int pixels = palette + 256 * 4;
    const int mask = pixels + xorBytes;
    int transparent = 0;
    long long colourError = 0;
    for (int y = 0; y < 32; ++y) {
        const int row = 31 - y;
        for (int x = 0; x < 32; ++x) {
            const bool clear = uchar(b[mask + row * 4 + x / 8]) & (0x80 >> (x % 8));
            const QRgb want = png.pixel(x, y);
            QVERIFY2(clear == (qAlpha(want) < 128), qPrintable(QStringLiteral("mask differs at %1,%2").arg(x).arg(y)));
            if (clear) {
                ++transparent;
                continue;
            }
            const int index = uchar(b[pixels + row * 32 + x]);
            const int e = palette + index * 4;
            const QRgb got = qRgb(uchar(b[e + 2]), uchar(b[e + 1]), uchar(b[e]));
            colourError += channelGap(got, want);
        }
    }
    QVERIFY2(transparent > 32 && transparent < 32 * 32 / 2, "the face should fill most, not all, of the icon");
    QVERIFY2(colourError <= 4 * (32 * 32 - transparent), "palette colours stray too far from the picture");
}

void AssetsTest::menuIcons_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("size");
    QTest::newRow("window icon") << "icon.png" << 32;
    for (int size : rt::IconSizes)
        QTest::newRow(qPrintable(QString::number(size))) << QStringLiteral("icons/hicolor/%1x%1/apps/squibbo.png").arg(size) << size;
}

void AssetsTest::menuIcons()
{
    QFETCH(QString, name);
    QFETCH(int, size);
    QImage img;
    QVERIFY(img.load(fresh(name)));
    QCOMPARE(img.size(), QSize(size, size));
    QVERIFY(img.hasAlphaChannel());
    for (QPoint c : {QPoint(0, 0), QPoint(size - 1, 0), QPoint(0, size - 1), QPoint(size - 1, size - 1)})
        QCOMPARE(qAlpha(img.pixel(c)), 0);
    QCOMPARE(qAlpha(img.pixel(size / 2, size / 2)), 255);
}

void AssetsTest::sounds_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<double>("minSeconds");
    QTest::addColumn<double>("maxSeconds");
    QTest::newRow("whoosh") << "fling2.wav" << 0.3 << 0.5;
    QTest::newRow("splat") << "splat.wav" << 0.3 << 0.6;
}

void AssetsTest::sounds()
{
    QFETCH(QString, name);
    QFETCH(double, minSeconds);
    QFETCH(double, maxSeconds);
    const QByteArray b = readAll(fresh(name));
    QVERIFY(b.size() > 44);
    QCOMPARE(b.left(4), QByteArray("RIFF"));
    QCOMPARE(int(le32(b, 4)), int(b.size()) - 8);
    QCOMPARE(b.mid(8, 8), QByteArray("WAVEfmt "));
    QCOMPARE(le32(b, 16), 16u);
    QCOMPARE(le16(b, 20), quint16(1)); // PCM
    QCOMPARE(le16(b, 22), quint16(1)); // mono
    const int rate = int(le32(b, 24));
    QVERIFY(rate == 22050 || rate == 44100);
    QCOMPARE(int(le32(b, 28)), rate * 2);
    QCOMPARE(le16(b, 32), quint16(2));
    QCOMPARE(le16(b, 34), quint16(16));
    QCOMPARE(b.mid(36, 4), QByteArray("data"));
    const int count = int(le32(b, 40)) / 2;
    QCOMPARE(int(b.size()), 44 + count * 2);

    const double seconds = double(count) / rate;
    QVERIFY2(seconds >= minSeconds && seconds <= maxSeconds, qPrintable(QString::number(seconds)));
    int peak = 0;
    for (int i = 0; i < count; ++i)
        peak = std::max(peak, std::abs(int(qint16(le16(b, 44 + 2 * i)))));
    const double peakDb = 20 * std::log10(peak / 32768.0);
    QVERIFY2(peakDb >= -6 && peakDb <= -1, qPrintable(QString::number(peakDb)));
    // Starting or stopping away from zero clicks.
    QVERIFY(std::abs(qint16(le16(b, 44))) <= 100);
    QVERIFY(std::abs(qint16(le16(b, 44 + 2 * (count - 1)))) <= 100);
}

void AssetsTest::highScoreTable()
{
    const QByteArray b = readAll(fresh("squibbo.hi"));
    QVERIFY(b.endsWith("\r\n"));
    const QList<QByteArray> lines = b.chopped(1).split('\n');
    QCOMPARE(lines.size(), 10);
    const QRegularExpression shape(QStringLiteral("^\"[^\"\\r\\n]*\",-?\\d+$"));
    int previous = 32767;
    int negatives = 0;
    for (QByteArray line : lines) {
        QVERIFY2(line.endsWith('\r'), line.constData()); // every line ends CR LF
        line.chop(1);
        QVERIFY2(shape.match(QString::fromLatin1(line)).hasMatch(), line.constData());
        const QByteArray number = line.mid(line.lastIndexOf(',') + 1);
        QVERIFY2(number == "0" || !(number.startsWith('0') || number.startsWith("-0")), line.constData());
        bool ok = false;
        const int score = number.toInt(&ok);
        QVERIFY(ok);
        QVERIFY(score >= -32768 && score <= previous);
        previous = score;
        negatives += score < 0;
    }
    QVERIFY2(negatives >= 1 && negatives < 10, "the table should end in a few negative scores");
}

void AssetsTest::designResources_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QSize>("size");
    QTest::newRow("picture1") << "picture1.bmp" << QSize(103, 129);
    QTest::newRow("picture2") << "picture2.bmp" << QSize(88, 41);
    QTest::newRow("picture1@2x") << "picture1@2x.bmp" << QSize(206, 258);
    QTest::newRow("picture2@2x") << "picture2@2x.bmp" << QSize(176, 82);
    QTest::newRow("icon") << "icon.png" << QSize(32, 32);
    QTest::newRow("ico") << "squibbo.ico" << QSize(32, 32);
}

void AssetsTest::designResources()
{
    QFETCH(QString, name);
    QFETCH(QSize, size);
    const QString path = ":/design/" + name;
    QCOMPARE(readAll(path), readAll(committed(name)));
    if (name.endsWith(".ico") && !QImageReader::supportedImageFormats().contains("ico"))
        QSKIP("Qt's ico reader is not installed");
    QImage img;
    QVERIFY(img.load(path));
    QCOMPARE(img.size(), size);
}

QTEST_GUILESS_MAIN(AssetsTest)
#include "tst_assets.moc"
