// Writes every picture, icon, sound and the starting high-score table of
// Squibbo into one folder. The output is the same, byte for byte, on every
// run; the files in assets/ are produced by this program.
//
//   squibbo_gen_assets <output-dir>

#include "artwork.h"
#include "imagefiles.h"
#include "release.h"
#include "sound.h"

#include <QDir>
#include <QFile>
#include <QImage>

#include <cstdio>

using namespace squibbo;

namespace {

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "squibbo_gen_assets: cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

bool writeImage(const QString &path, const QImage &image, const char *format)
{
    if (!image.save(path, format)) {
        std::fprintf(stderr, "squibbo_gen_assets: cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

// The table a fresh install starts with, best first. Each line is
// "name",score followed by CR LF.
QByteArray startingHighScores()
{
    struct Entry { const char *name; int score; };
    const Entry table[] = {
        {"Captain Custard", 2475}, {"Meringue Max", 1980}, {"Bizzy", 1455},
        {"Lemon Drizzle", 1010}, {"Dollop", 640}, {"Nibs", 215},
        {"Flan Fan", -95}, {"Butterfingers", -260}, {"Crumbly", -410},
        {"Soggy Bottom", -585},
    };
    QByteArray out;
    for (const Entry &e : table)
        out += '"' + QByteArray(e.name) + "\"," + QByteArray::number(e.score) + "\r\n";
    return out;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: squibbo_gen_assets <output-dir>\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    if (!out.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "squibbo_gen_assets: cannot create %s\n", argv[1]);
        return 1;
    }
    auto at = [&out](const char *name) { return out.filePath(QString::fromLatin1(name)); };

    bool ok = true;
    // Board pictures: Wendo as drawn in the designer, the pie, and the
    // run-time Wendo before and after a hit. Each is drawn a second time at
    // twice the size, for screens scaled above 1, under the name Qt gives
    // such pictures ("wendo@2x.bmp" beside "wendo.bmp").
    const QRgb pieGrey = qRgb(art::kPieGrey, art::kPieGrey, art::kPieGrey);
    for (const int scale : {1, 2}) {
        auto board = [&](const char *name) {
            QString file = QString::fromLatin1(name);
            if (scale == 2)
                file.replace(QStringLiteral(".bmp"), QStringLiteral("@2x.bmp"));
            return out.filePath(file);
        };
        ok &= writeImage(board("picture1.bmp"), art::portrait(103 * scale, 129 * scale, art::Mood::Happy), "BMP");
        ok &= writeImage(board("picture2.bmp"), files::toIndexed8(art::pie(88 * scale, 41 * scale), pieGrey), "BMP");
        ok &= writeImage(board(rt::WendoPicture), art::portrait(105 * scale, 129 * scale, art::Mood::Happy), "BMP");
        ok &= writeImage(board(rt::PiedPicture), art::portrait(105 * scale, 129 * scale, art::Mood::Pied), "BMP");
    }

    // Window and desktop icons.
    const QImage icon32 = art::faceIcon(32);
    ok &= writeImage(at("icon.png"), icon32, "PNG");
    ok &= writeBytes(at("squibbo.ico"), files::icoFile(icon32));
    for (const int size : rt::IconSizes) {
        const QString dir = QStringLiteral("icons/hicolor/%1x%1/apps").arg(size);
        if (!out.mkpath(dir)) {
            std::fprintf(stderr, "squibbo_gen_assets: cannot create %s\n", qPrintable(out.filePath(dir)));
            return 1;
        }
        ok &= writeImage(out.filePath(dir + QStringLiteral("/squibbo.png")), art::faceIcon(size), "PNG");
    }

    ok &= writeBytes(at(rt::ThrowSound), sound::wavFile(sound::whoosh(), sound::kSampleRate));
    ok &= writeBytes(at(rt::SplatSound), sound::wavFile(sound::splat(), sound::kSampleRate));
    ok &= writeBytes(at(rt::HighScoreFile), startingHighScores());
    return ok ? 0 : 1;
}
