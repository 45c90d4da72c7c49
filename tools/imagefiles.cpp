#include "imagefiles.h"
#include "littleendian.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <vector>

namespace squibbo::files {
namespace {

struct Shade {
    QRgb rgb;
    int64_t count;
};

int channel(QRgb c, int ch)
{
    return ch == 0 ? qRed(c) : ch == 1 ? qGreen(c) : qBlue(c);
}

int widestChannel(const std::vector<Shade> &box, int *range)
{
    int best = 0;
    *range = -1;
    for (int ch = 0; ch < 3; ++ch) {
        int lo = 255, hi = 0;
        for (const Shade &s : box) {
            lo = std::min(lo, channel(s.rgb, ch));
            hi = std::max(hi, channel(s.rgb, ch));
        }
        if (hi - lo > *range) {
            *range = hi - lo;
            best = ch;
        }
    }
    return best;
}

// Median cut: keep splitting the busiest, most spread-out box of colours at
// its weighted median until there are `entries` boxes, then average each box.
std::vector<QRgb> medianCut(const std::map<QRgb, int64_t> &histogram, size_t entries)
{
    std::vector<QRgb> palette;
    if (histogram.size() <= entries) {
        for (const auto &[rgb, count] : histogram)
            palette.push_back(rgb);
        return palette;
    }

    std::vector<std::vector<Shade>> boxes(1);
    for (const auto &[rgb, count] : histogram)
        boxes[0].push_back({rgb, count});

    while (boxes.size() < entries) {
        size_t pick = boxes.size();
        int64_t bestScore = 0;
        for (size_t i = 0; i < boxes.size(); ++i) {
            if (boxes[i].size() < 2)
                continue;
            int range = 0;
            widestChannel(boxes[i], &range);
            int64_t pixels = 0;
            for (const Shade &s : boxes[i])
                pixels += s.count;
            const int64_t score = int64_t(range + 1) * pixels;
            if (score > bestScore) {
                bestScore = score;
                pick = i;
            }
        }
        if (pick == boxes.size())
            break;

        std::vector<Shade> &box = boxes[pick];
        int range = 0;
        const int ch = widestChannel(box, &range);
        std::stable_sort(box.begin(), box.end(),
                         [ch](const Shade &a, const Shade &b) { return channel(a.rgb, ch) < channel(b.rgb, ch); });
        int64_t total = 0;
        for (const Shade &s : box)
            total += s.count;
        int64_t running = 0;
        size_t cut = 1;
        for (; cut < box.size() - 1; ++cut) {
            running += box[cut - 1].count;
            if (2 * running >= total)
                break;
        }
        std::vector<Shade> upper(box.begin() + cut, box.end());
        box.resize(cut);
        boxes.push_back(std::move(upper));
    }

    for (const std::vector<Shade> &box : boxes) {
        int64_t r = 0, g = 0, b = 0, n = 0;
        for (const Shade &s : box) {
            r += qRed(s.rgb) * s.count;
            g += qGreen(s.rgb) * s.count;
            b += qBlue(s.rgb) * s.count;
            n += s.count;
        }
        palette.push_back(qRgb(int((r + n / 2) / n), int((g + n / 2) / n), int((b + n / 2) / n)));
    }
    return palette;
}

int nearest(const QList<QRgb> &palette, QRgb c)
{
    int best = 0;
    int bestDist = INT32_MAX;
    for (int i = 0; i < palette.size(); ++i) {
        const int dr = qRed(c) - qRed(palette[i]);
        const int dg = qGreen(c) - qGreen(palette[i]);
        const int db = qBlue(c) - qBlue(palette[i]);
        const int dist = 3 * dr * dr + 4 * dg * dg + 2 * db * db;
        if (dist < bestDist) {
            bestDist = dist;
            best = i;
        }
    }
    return best;
}

} // namespace

QImage toIndexed8(const QImage &source, QRgb keep)
{
    const QImage rgb = source.convertToFormat(QImage::Format_RGB32);
    keep |= 0xff000000u;
    std::map<QRgb, int64_t> histogram;
    for (int y = 0; y < rgb.height(); ++y) {
        const QRgb *line = reinterpret_cast<const QRgb *>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x)
            if (line[x] != keep)
                ++histogram[line[x]];
    }

    QList<QRgb> palette{keep};
    for (QRgb c : medianCut(histogram, 255))
        palette.append(c);
    while (palette.size() < 256)
        palette.append(qRgb(0, 0, 0));

    QImage out(rgb.size(), QImage::Format_Indexed8);
    out.setColorTable(palette);
    out.setDotsPerMeterX(rgb.dotsPerMeterX());
    out.setDotsPerMeterY(rgb.dotsPerMeterY());
    std::map<QRgb, int> lookup{{keep, 0}};
    for (int y = 0; y < rgb.height(); ++y) {
        const QRgb *in = reinterpret_cast<const QRgb *>(rgb.constScanLine(y));
        uchar *line = out.scanLine(y);
        for (int x = 0; x < rgb.width(); ++x) {
            auto it = lookup.find(in[x]);
            if (it == lookup.end())
                it = lookup.emplace(in[x], nearest(palette, in[x])).first;
            line[x] = uchar(it->second);
        }
    }
    return out;
}

QByteArray icoFile(const QImage &source)
{
    const QImage argb = source.convertToFormat(QImage::Format_ARGB32);
    const int w = argb.width();
    const int h = argb.height();

    // Transparent pixels turn black so they share palette entry 0.
    QImage opaque(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const QRgb c = argb.pixel(x, y);
            opaque.setPixel(x, y, qAlpha(c) >= 128 ? (c | 0xff000000u) : qRgb(0, 0, 0));
        }
    const QImage indexed = toIndexed8(opaque, qRgb(0, 0, 0));

    const int xorStride = (w + 3) / 4 * 4;
    const int andStride = (w + 31) / 32 * 4;
    const int imageBytes = 40 + 256 * 4 + (xorStride + andStride) * h;

    QByteArray out;
    // ICONDIR: reserved, type 1 = icon, one picture.
    put16(out, 0);
    put16(out, 1);
    put16(out, 1);
    // ICONDIRENTRY: size (0 means 256), colour count 0 = 256 colours,
    // reserved, planes, bits per pixel, byte count and offset.
    out.append(char(w >= 256 ? 0 : w));
    out.append(char(h >= 256 ? 0 : h));
    out.append(char(0));
    out.append(char(0));
    put16(out, 1);
    put16(out, 8);
    put32(out, imageBytes);
    put32(out, 6 + 16);

    // BITMAPINFOHEADER: the height counts the colour rows and the mask rows.
    put32(out, 40);
    put32(out, w);
    put32(out, 2 * h);
    put16(out, 1);
    put16(out, 8);
    put32(out, 0); // BI_RGB
    put32(out, (xorStride + andStride) * h);
    put32(out, 0);
    put32(out, 0);
    put32(out, 0); // all 256 colours used
    put32(out, 0);

    const QList<QRgb> palette = indexed.colorTable();
    for (int i = 0; i < 256; ++i) {
        out.append(char(qBlue(palette[i])));
        out.append(char(qGreen(palette[i])));
        out.append(char(qRed(palette[i])));
        out.append(char(0));
    }

    // Colour rows, bottom row first.
    for (int y = h - 1; y >= 0; --y) {
        const uchar *line = indexed.constScanLine(y);
        for (int x = 0; x < xorStride; ++x)
            out.append(char(x < w ? line[x] : 0));
    }
    // Mask rows, bottom row first, a set bit marks a see-through pixel.
    for (int y = h - 1; y >= 0; --y) {
        std::vector<uint8_t> row(size_t(andStride), 0);
        for (int x = 0; x < w; ++x)
            if (qAlpha(argb.pixel(x, y)) < 128)
                row[size_t(x / 8)] |= uint8_t(0x80 >> (x % 8));
        out.append(reinterpret_cast<const char *>(row.data()), andStride);
    }
    return out;
}

} // namespace squibbo::files
