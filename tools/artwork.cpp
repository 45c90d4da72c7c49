#include "artwork.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace squibbo::art {
namespace {

constexpr double kPi = std::numbers::pi;

// Wendo's palette.
const QColor kInk(74, 42, 28);            // outlines
const QColor kSkin(247, 200, 158);
const QColor kSkinLight(255, 225, 196);
const QColor kSkinShade(226, 160, 118);
const QColor kHair(150, 74, 30);
const QColor kHairLight(206, 120, 52);
const QColor kHairDark(104, 48, 20);
const QColor kIris(46, 128, 196);
const QColor kIrisDark(22, 70, 130);
const QColor kMouth(128, 30, 36);
const QColor kTongue(236, 110, 118);
const QColor kShirt(52, 120, 214);
const QColor kShirtDark(30, 76, 150);
const QColor kBowTie(214, 40, 48);
const QColor kCream(255, 253, 246);
const QColor kCreamShade(214, 220, 232);
const QColor kCreamInk(140, 146, 160);
const QColor kCrust(236, 178, 84);
const QColor kCrustDark(184, 112, 40);
const QColor kTinInk(84, 90, 100);

QPen inkPen(const QColor &c, double width)
{
    QPen pen(c, width);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    return pen;
}

QColor withAlpha(QColor c, int alpha)
{
    c.setAlpha(alpha);
    return c;
}

// Closed smooth curve through the points (Catmull-Rom turned into cubics).
QPainterPath smoothLoop(const std::vector<QPointF> &pts)
{
    QPainterPath path;
    const size_t n = pts.size();
    path.moveTo(pts[0]);
    for (size_t i = 0; i < n; ++i) {
        const QPointF &p0 = pts[(i + n - 1) % n];
        const QPointF &p1 = pts[i];
        const QPointF &p2 = pts[(i + 1) % n];
        const QPointF &p3 = pts[(i + 2) % n];
        path.cubicTo(p1 + (p2 - p0) / 6.0, p2 - (p3 - p1) / 6.0, p2);
    }
    path.closeSubpath();
    return path;
}

// Draws Wendo in "head units": the face is two units wide, the centre of the
// face is the origin, the chin sits at y = 1.12 and the quiff reaches y = -1.5.
class WendoPainter {
public:
    WendoPainter(QPainter &p, double pxPerUnit)
        : p_(p), unit_(pxPerUnit), simple_(pxPerUnit < 13.0)
    {
    }

    void shoulders();
    void head(Mood mood);
    void creamSplat();
    void tinSlidingOff();

private:
    // Line width in units that never drops below a visible pixel width.
    double lw(double units) const { return std::max(units, (simple_ ? 0.9 : 0.7) / unit_); }

    void ears();
    void face();
    void hair();
    void cheeks();
    void nose();
    void smile();
    void chin();
    void brows(double lift);
    void eyes(bool startled);

    QPainter &p_;
    double unit_;
    bool simple_;
};

QPainterPath facePath()
{
    QPainterPath path;
    path.moveTo(0, 1.12);
    path.cubicTo(0.58, 1.12, 0.97, 0.72, 1.0, 0.12);
    path.cubicTo(1.04, -0.56, 0.6, -1.06, 0, -1.06);
    path.cubicTo(-0.6, -1.06, -1.04, -0.56, -1.0, 0.12);
    path.cubicTo(-0.97, 0.72, -0.58, 1.12, 0, 1.12);
    path.closeSubpath();
    return path;
}

void WendoPainter::shoulders()
{
    // Shirt: broad rounded shoulders running off the bottom of the picture.
    QPainterPath shirt;
    shirt.moveTo(-1.85, 2.8);
    shirt.lineTo(-1.78, 2.15);
    shirt.cubicTo(-1.72, 1.7, -1.2, 1.52, -0.42, 1.42);
    shirt.lineTo(0.42, 1.42);
    shirt.cubicTo(1.2, 1.52, 1.72, 1.7, 1.78, 2.15);
    shirt.lineTo(1.85, 2.8);
    shirt.closeSubpath();
    QLinearGradient shirtFill(QPointF(-1.6, 1.4), QPointF(1.4, 2.6));
    shirtFill.setColorAt(0, kShirt.lighter(118));
    shirtFill.setColorAt(0.55, kShirt);
    shirtFill.setColorAt(1, kShirtDark);
    p_.setPen(inkPen(kInk, lw(0.06)));
    p_.setBrush(shirtFill);
    p_.drawPath(shirt);

    // Arm creases.
    p_.setPen(inkPen(withAlpha(kShirtDark, 200), lw(0.04)));
    p_.setBrush(Qt::NoBrush);
    QPainterPath creases;
    creases.moveTo(-1.32, 2.8);
    creases.quadTo(-1.36, 2.3, -1.22, 1.98);
    creases.moveTo(1.32, 2.8);
    creases.quadTo(1.36, 2.3, 1.22, 1.98);
    p_.drawPath(creases);

    // Neck, with the shadow the chin throws on it.
    QPainterPath neck;
    neck.moveTo(-0.36, 0.7);
    neck.lineTo(-0.38, 1.62);
    neck.lineTo(0.38, 1.62);
    neck.lineTo(0.36, 0.7);
    neck.closeSubpath();
    p_.setPen(inkPen(kInk, lw(0.06)));
    p_.setBrush(kSkin.darker(104));
    p_.drawPath(neck);
    p_.save();
    p_.setClipPath(neck);
    p_.setPen(Qt::NoPen);
    p_.setBrush(kSkinShade);
    p_.drawEllipse(QPointF(0, 1.05), 0.62, 0.26);
    p_.restore();

    // White collar points either side of the neck.
    p_.setPen(inkPen(kInk, lw(0.05)));
    p_.setBrush(QColor(250, 250, 252));
    for (int side : {-1, 1}) {
        QPainterPath collar;
        collar.moveTo(side * 0.44, 1.36);
        collar.lineTo(side * 0.05, 1.78);
        collar.lineTo(side * 0.62, 1.9);
        collar.quadTo(side * 0.66, 1.6, side * 0.44, 1.36);
        collar.closeSubpath();
        p_.drawPath(collar);
    }

    // Bow tie with a knot in the middle.
    QPainterPath bow;
    bow.moveTo(0, 1.76);
    bow.lineTo(-0.42, 1.56);
    bow.quadTo(-0.5, 1.78, -0.42, 2.0);
    bow.closeSubpath();
    bow.moveTo(0, 1.76);
    bow.lineTo(0.42, 1.56);
    bow.quadTo(0.5, 1.78, 0.42, 2.0);
    bow.closeSubpath();
    QLinearGradient bowFill(QPointF(0, 1.55), QPointF(0, 2.0));
    bowFill.setColorAt(0, kBowTie.lighter(125));
    bowFill.setColorAt(1, kBowTie.darker(125));
    p_.setBrush(bowFill);
    p_.drawPath(bow);
    p_.setBrush(kBowTie.darker(110));
    p_.drawEllipse(QPointF(0, 1.77), 0.11, 0.12);
    // Polka dots.
    p_.setPen(Qt::NoPen);
    p_.setBrush(QColor(255, 236, 236));
    for (QPointF d : {QPointF(-0.3, 1.7), QPointF(-0.22, 1.87), QPointF(0.3, 1.7), QPointF(0.22, 1.87)})
        p_.drawEllipse(d, 0.04, 0.04);
}

void WendoPainter::ears()
{
    for (int side : {-1, 1}) {
        QPointF c(side * 0.98, 0.14);
        p_.setPen(inkPen(kInk, lw(0.06)));
        p_.setBrush(kSkin);
        p_.drawEllipse(c, 0.2, 0.27);
        if (!simple_) {
            p_.setPen(inkPen(kSkinShade.darker(110), lw(0.045)));
            p_.setBrush(Qt::NoBrush);
            QPainterPath inner;
            inner.moveTo(c + QPointF(side * 0.06, -0.14));
            inner.quadTo(c + QPointF(side * -0.1, -0.02), c + QPointF(side * 0.02, 0.14));
            p_.drawPath(inner);
        }
    }
}

void WendoPainter::face()
{
    QRadialGradient fill(QPointF(-0.25, -0.3), 1.6, QPointF(-0.35, -0.45));
    fill.setColorAt(0, kSkinLight);
    fill.setColorAt(0.55, kSkin);
    fill.setColorAt(1, kSkinShade);
    p_.setPen(inkPen(kInk, lw(0.065)));
    p_.setBrush(fill);
    p_.drawPath(facePath());
}

void WendoPainter::hair()
{
    // The mop: one shape from temple to temple, with a spiky fringe across
    // the forehead.
    QPainterPath mop;
    mop.moveTo(-1.02, 0.02);
    mop.cubicTo(-1.22, -0.62, -0.82, -1.24, 0.0, -1.24);
    mop.cubicTo(0.82, -1.24, 1.22, -0.62, 1.02, 0.02);
    // Right sideburn, then the fringe from right to left: five locks that
    // sweep to the left, shorter towards the temples.
    const QPointF roots[] = {{0.86, -0.52}, {0.52, -0.72}, {0.17, -0.78}, {-0.18, -0.78}, {-0.53, -0.72}, {-0.88, -0.5}};
    const QPointF tips[] = {{0.6, -0.44}, {0.26, -0.5}, {-0.09, -0.52}, {-0.44, -0.5}, {-0.78, -0.42}};
    mop.quadTo(0.94, -0.3, roots[0].x(), roots[0].y());
    for (int k = 0; k < 5; ++k) {
        mop.quadTo(QPointF(roots[k].x() - 0.02, tips[k].y() - 0.04), tips[k]);
        mop.quadTo(QPointF(tips[k].x() + 0.03, (tips[k].y() + roots[k + 1].y()) / 2), roots[k + 1]);
    }
    mop.quadTo(-0.96, -0.26, -1.02, 0.02);
    mop.closeSubpath();

    // The quiff that sticks up on top.
    QPainterPath quiff;
    quiff.moveTo(-0.3, -1.16);
    quiff.cubicTo(-0.28, -1.5, 0.22, -1.64, 0.36, -1.4);
    quiff.cubicTo(0.2, -1.46, 0.04, -1.4, 0.12, -1.16);
    quiff.closeSubpath();
    const QPainterPath all = mop.united(quiff);

    QLinearGradient fill(QPointF(-0.6, -1.5), QPointF(0.6, -0.2));
    fill.setColorAt(0, kHairLight);
    fill.setColorAt(0.5, kHair);
    fill.setColorAt(1, kHairDark);
    p_.setPen(inkPen(kInk, lw(0.065)));
    p_.setBrush(fill);
    p_.drawPath(all);

    if (!simple_) {
        // A few strands and a shine so the hair doesn't look like a helmet.
        p_.setPen(inkPen(withAlpha(kHairDark, 220), lw(0.035)));
        p_.setBrush(Qt::NoBrush);
        QPainterPath strands;
        strands.moveTo(-0.5, -1.05);
        strands.quadTo(-0.62, -0.85, -0.56, -0.6);
        strands.moveTo(0.05, -1.12);
        strands.quadTo(0.1, -0.9, 0.02, -0.75);
        strands.moveTo(0.55, -1.0);
        strands.quadTo(0.66, -0.85, 0.6, -0.65);
        p_.drawPath(strands);
        p_.setPen(inkPen(withAlpha(QColor(255, 200, 140), 170), lw(0.05)));
        QPainterPath shine;
        shine.moveTo(-0.72, -0.86);
        shine.quadTo(-0.5, -1.1, -0.2, -1.14);
        p_.drawPath(shine);
    }
}

void WendoPainter::cheeks()
{
    for (int side : {-1, 1}) {
        QPointF c(side * 0.64, 0.42);
        QRadialGradient blush(c, 0.24);
        blush.setColorAt(0, QColor(240, 120, 120, simple_ ? 120 : 150));
        blush.setColorAt(1, QColor(240, 120, 120, 0));
        p_.setPen(Qt::NoPen);
        p_.setBrush(blush);
        p_.drawEllipse(c, 0.24, 0.2);
    }
}

void WendoPainter::nose()
{
    p_.setPen(inkPen(kSkinShade.darker(125), lw(0.045)));
    p_.setBrush(kSkin.darker(106));
    p_.drawEllipse(QPointF(0.0, 0.3), 0.13, 0.1);
    if (!simple_) {
        p_.setPen(Qt::NoPen);
        p_.setBrush(withAlpha(Qt::white, 190));
        p_.drawEllipse(QPointF(-0.04, 0.27), 0.04, 0.03);
    }
}

void WendoPainter::smile()
{
    // A wide open grin: flat-ish top lip, round bottom.
    QPainterPath mouth;
    mouth.moveTo(-0.44, 0.5);
    mouth.quadTo(0, 0.6, 0.44, 0.5);
    mouth.cubicTo(0.38, 0.98, -0.38, 0.98, -0.44, 0.5);
    mouth.closeSubpath();

    p_.setPen(Qt::NoPen);
    p_.setBrush(kMouth);
    p_.drawPath(mouth);
    p_.save();
    p_.setClipPath(mouth);
    p_.setBrush(kTongue);
    p_.drawEllipse(QPointF(0.04, 0.92), 0.26, 0.15);
    if (!simple_) {
        p_.setBrush(Qt::white);
        QPainterPath teeth;
        teeth.moveTo(-0.44, 0.46);
        teeth.quadTo(0, 0.56, 0.44, 0.46);
        teeth.lineTo(0.44, 0.62);
        teeth.quadTo(0, 0.72, -0.44, 0.62);
        teeth.closeSubpath();
        p_.drawPath(teeth);
    }
    p_.restore();
    p_.setPen(inkPen(kInk, lw(0.06)));
    p_.setBrush(Qt::NoBrush);
    p_.drawPath(mouth);

    if (!simple_) {
        // Dimples at the corners of the grin.
        QPainterPath dimples;
        dimples.moveTo(-0.5, 0.44);
        dimples.quadTo(-0.47, 0.5, -0.5, 0.56);
        dimples.moveTo(0.5, 0.44);
        dimples.quadTo(0.47, 0.5, 0.5, 0.56);
        p_.setPen(inkPen(kInk, lw(0.04)));
        p_.drawPath(dimples);
    }
}

void WendoPainter::chin()
{
    if (simple_)
        return;
    // A little curve to mark the chin - that's where the pies should land.
    p_.setPen(inkPen(withAlpha(kSkinShade.darker(115), 220), lw(0.04)));
    p_.setBrush(Qt::NoBrush);
    QPainterPath c;
    c.moveTo(-0.16, 1.0);
    c.quadTo(0, 1.05, 0.16, 1.0);
    p_.drawPath(c);
}

void WendoPainter::brows(double lift)
{
    p_.setPen(inkPen(kHairDark, lw(simple_ ? 0.1 : 0.075)));
    p_.setBrush(Qt::NoBrush);
    for (int side : {-1, 1}) {
        QPainterPath b;
        b.moveTo(side * 0.2, -0.39 - lift * 0.6);
        b.quadTo(side * 0.38, -0.52 - lift, side * 0.56, -0.37 - lift * 0.6);
        p_.drawPath(b);
    }
}

void WendoPainter::eyes(bool startled)
{
    if (simple_) {
        // At icon sizes an outlined eye turns to grey mush; shiny dark
        // ovals read much better.
        for (int side : {-1, 1}) {
            const QPointF c(side * 0.36, 0.04);
            p_.setPen(Qt::NoPen);
            p_.setBrush(QColor(30, 22, 24));
            p_.drawEllipse(c, 0.14, 0.19);
            p_.setBrush(Qt::white);
            p_.drawEllipse(c + QPointF(-0.04, -0.06), 0.05, 0.05);
        }
        return;
    }
    const double rx = 0.21;
    const double ry = 0.26;
    for (int side : {-1, 1}) {
        const QPointF c(side * 0.37, 0.02);
        QPainterPath white;
        white.addEllipse(c, rx, ry);
        p_.setPen(Qt::NoPen);
        p_.setBrush(Qt::white);
        p_.drawPath(white);

        // Happy Wendo looks down at the player; a pied one stares, pupils
        // shrunk to dots and a bit cross-eyed.
        const QPointF look = startled ? QPointF(-side * 0.05, 0.0) : QPointF(0.015, 0.06);
        const QPointF ic = c + look;
        p_.save();
        p_.setClipPath(white);
        const double ir = startled ? 0.1 : 0.165;
        QRadialGradient iris(ic, ir, ic + QPointF(0, ir * 0.4));
        iris.setColorAt(0, kIris.lighter(135));
        iris.setColorAt(1, kIrisDark);
        p_.setBrush(iris);
        p_.drawEllipse(ic, ir, ir * 1.06);
        p_.setBrush(QColor(20, 16, 20));
        const double pr = startled ? 0.05 : 0.09;
        p_.drawEllipse(ic, pr, pr * 1.08);
        p_.setBrush(Qt::white);
        p_.drawEllipse(ic + QPointF(-0.05, -0.06), 0.055, 0.055);
        p_.drawEllipse(ic + QPointF(0.055, 0.06), 0.025, 0.025);
        p_.restore();

        p_.setPen(inkPen(kInk, lw(0.045)));
        p_.setBrush(Qt::NoBrush);
        p_.drawPath(white);
        if (!startled) {
            // Heavier upper lid.
            p_.setPen(inkPen(kInk, lw(0.075)));
            p_.drawArc(QRectF(c.x() - rx, c.y() - ry, 2 * rx, 2 * ry), 25 * 16, 130 * 16);
        }
    }
}

void WendoPainter::head(Mood mood)
{
    ears();
    face();
    cheeks();
    nose();
    smile();
    chin();
    hair();
    if (mood == Mood::Happy) {
        brows(0.0);
        eyes(false);
    }
}

void WendoPainter::creamSplat()
{
    // The splash: a lumpy blob over most of the face, squirting out in
    // spikes where the cream escaped past the tin, with drips running down
    // the chin.
    const QPointF centre(0.02, 0.32);
    struct Spike { double angle, length; };
    const Spike spikes[] = {{-2.75, 0.22}, {-2.05, 0.3}, {-1.45, 0.2}, {-0.95, 0.32}, {-0.3, 0.22},
                            {0.3, 0.16}, {2.8, 0.2}};
    std::vector<QPointF> rim;
    constexpr int kPoints = 96;
    for (int i = 0; i < kPoints; ++i) {
        const double t = 2 * kPi * i / kPoints - kPi;
        double r = 1.0 + 0.06 * std::sin(5 * t + 0.7) + 0.04 * std::sin(9 * t + 2.1);
        for (const Spike &s : spikes) {
            const double d = (t - s.angle) / 0.17;
            r += s.length * std::exp(-d * d);
        }
        rim.emplace_back(centre.x() + 0.95 * r * std::cos(t), centre.y() + 0.78 * r * std::sin(t));
    }
    QPainterPath splash = smoothLoop(rim);
    // A blob of cream just breaking away beyond each spike.
    std::vector<QPointF> blobs;
    for (const Spike &s : spikes) {
        const double r = 1.0 + s.length + 0.2;
        blobs.emplace_back(centre.x() + 0.95 * r * std::cos(s.angle), centre.y() + 0.78 * r * std::sin(s.angle));
    }

    struct Drip { double x, top, bottom, width; };
    const Drip drips[] = {{-0.56, 0.85, 1.28, 0.12}, {-0.08, 0.95, 1.58, 0.15}, {0.48, 0.9, 1.22, 0.1}};
    for (const Drip &d : drips) {
        QPainterPath drip;
        drip.moveTo(d.x - d.width, d.top);
        drip.quadTo(d.x - d.width * 0.6, (d.top + d.bottom) / 2, d.x - d.width * 0.75, d.bottom);
        drip.cubicTo(d.x - d.width * 1.6, d.bottom + d.width * 2.2, d.x + d.width * 1.6,
                     d.bottom + d.width * 2.2, d.x + d.width * 0.75, d.bottom);
        drip.quadTo(d.x + d.width * 0.6, (d.top + d.bottom) / 2, d.x + d.width, d.top);
        drip.closeSubpath();
        splash = splash.united(drip);
    }

    QRadialGradient fill(centre + QPointF(-0.4, -0.45), 1.9);
    fill.setColorAt(0, Qt::white);
    fill.setColorAt(0.6, kCream);
    fill.setColorAt(1, kCreamShade);
    const QPen creamPen = inkPen(kCreamInk, lw(0.045));
    p_.setPen(creamPen);
    p_.setBrush(fill);
    p_.drawPath(splash);

    // Flecks that flew off in every direction.
    struct Fleck { double x, y, r; };
    const Fleck flecks[] = {
        {-1.4, -0.42, 0.08}, {-1.5, 0.34, 0.06}, {-1.3, 0.9, 0.09}, {1.38, -0.5, 0.07},
        {1.46, 0.36, 0.09}, {-0.86, -1.22, 0.06}, {0.98, -1.12, 0.07}, {-1.56, -0.9, 0.045},
        {1.6, -0.1, 0.045},
    };
    p_.setPen(Qt::NoPen);
    p_.setBrush(kCream);
    for (const Fleck &f : flecks)
        p_.drawEllipse(QPointF(f.x, f.y), f.r, f.r * 0.9);
    for (const QPointF &b : blobs)
        p_.drawEllipse(b, 0.075, 0.07);

    // Glossy highlights and a few folds in the cream.
    p_.setPen(Qt::NoPen);
    p_.setBrush(Qt::white);
    p_.drawEllipse(QPointF(-0.6, 0.55), 0.13, 0.06);
    p_.drawEllipse(QPointF(0.5, 0.76), 0.09, 0.045);
    p_.drawEllipse(QPointF(-0.11, 1.6), 0.035, 0.08);
    p_.setPen(inkPen(withAlpha(kCreamInk, 150), lw(0.035)));
    p_.setBrush(Qt::NoBrush);
    QPainterPath folds;
    folds.moveTo(0.62, 0.42);
    folds.quadTo(0.74, 0.52, 0.7, 0.68);
    folds.moveTo(-0.2, 1.0);
    folds.quadTo(-0.14, 1.14, -0.16, 1.3);
    folds.moveTo(-0.76, 0.2);
    folds.quadTo(-0.82, 0.38, -0.7, 0.58);
    p_.drawPath(folds);

    // Crumbs of crust stuck in the cream.
    p_.setPen(inkPen(kCrustDark, lw(0.03)));
    p_.setBrush(kCrust);
    for (QPointF c : {QPointF(-0.82, 0.78), QPointF(0.16, 1.0), QPointF(0.84, 0.3), QPointF(-0.36, -0.34)})
        p_.drawEllipse(c, 0.07, 0.05);

    // Wendo's eyes peek out of the cream, stunned.
    p_.setPen(Qt::NoPen);
    p_.setBrush(withAlpha(kCreamShade.darker(108), 200));
    for (int side : {-1, 1})
        p_.drawEllipse(QPointF(side * 0.37 + 0.02, 0.06), 0.27, 0.31);
    eyes(true);
}

void WendoPainter::tinSlidingOff()
{
    // The empty tin tumbling off Wendo's shoulder, its bottom towards us.
    p_.save();
    p_.translate(1.14, 1.78);
    p_.rotate(-34);
    const double rx = 0.56, ry = 0.4;
    QLinearGradient metal(QPointF(-rx, -ry), QPointF(rx, ry));
    metal.setColorAt(0, QColor(245, 247, 250));
    metal.setColorAt(0.45, QColor(176, 182, 192));
    metal.setColorAt(0.7, QColor(226, 230, 236));
    metal.setColorAt(1, QColor(128, 134, 146));
    p_.setPen(inkPen(kTinInk, lw(0.05)));
    p_.setBrush(metal);
    p_.drawEllipse(QPointF(0, 0), rx, ry);
    QLinearGradient base(QPointF(-rx, -ry), QPointF(rx, ry));
    base.setColorAt(0, QColor(160, 166, 176));
    base.setColorAt(1, QColor(232, 236, 240));
    p_.setBrush(base);
    p_.drawEllipse(QPointF(0.02, 0.02), rx * 0.7, ry * 0.7);
    p_.setPen(inkPen(withAlpha(kTinInk, 140), lw(0.03)));
    p_.setBrush(Qt::NoBrush);
    p_.drawEllipse(QPointF(0.02, 0.02), rx * 0.45, ry * 0.45);
    // A smear of cream left in it.
    p_.setPen(inkPen(kCreamInk, lw(0.03)));
    p_.setBrush(kCream);
    QPainterPath smear;
    smear.moveTo(-0.3, -0.05);
    smear.cubicTo(-0.25, -0.22, 0.1, -0.2, 0.2, -0.08);
    smear.cubicTo(0.3, 0.05, 0.05, 0.12, -0.05, 0.06);
    smear.cubicTo(-0.15, 0.12, -0.34, 0.08, -0.3, -0.05);
    smear.closeSubpath();
    p_.drawPath(smear);
    p_.restore();
}

QImage blank(int width, int height, QImage::Format format, QColor fill)
{
    QImage img(width, height, format);
    img.fill(fill);
    // Fixed resolution so the files never depend on the screen of the machine.
    img.setDotsPerMeterX(3780);
    img.setDotsPerMeterY(3780);
    return img;
}

} // namespace

QImage portrait(int width, int height, Mood mood)
{
    QImage img = blank(width, height, QImage::Format_RGB32, QColor(kWendoGrey, kWendoGrey, kWendoGrey));
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    // Keep the proportions of the 103 x 129 board picture; wider boxes just
    // get more grey at the sides.
    const double unit = height * 30.0 / 129.0;
    p.translate(width / 2.0, height * 52.0 / 129.0);
    p.scale(unit, unit);
    WendoPainter wendo(p, unit);
    wendo.shoulders();
    wendo.head(mood);
    if (mood == Mood::Pied) {
        wendo.creamSplat();
        wendo.tinSlidingOff();
    }
    return img;
}

QImage faceIcon(int size)
{
    QImage img = blank(size, size, QImage::Format_ARGB32_Premultiplied, Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    // The head spans x -1.22..1.22 (ears) and y -1.5..1.12 (quiff to chin).
    const double unit = size * 0.96 / 2.66;
    p.translate(size / 2.0, size / 2.0 + unit * 0.19);
    p.scale(unit, unit);
    WendoPainter wendo(p, unit);
    wendo.head(Mood::Happy);
    p.end();
    // Qt's own conversion rounds differently on processors with other
    // vector units, and the icon files would change with the machine: the
    // exact division, one pixel at a time.
    QImage straight(img.size(), QImage::Format_ARGB32);
    for (int y = 0; y < img.height(); ++y) {
        const auto *from = reinterpret_cast<const QRgb *>(img.constScanLine(y));
        auto *to = reinterpret_cast<QRgb *>(straight.scanLine(y));
        for (int x = 0; x < img.width(); ++x)
            to[x] = qUnpremultiply(from[x]);
    }
    return straight;
}

QImage pie(int width, int height)
{
    QImage img = blank(width, height, QImage::Format_RGB32, QColor(kPieGrey, kPieGrey, kPieGrey));
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    // Drawn for 88 x 41 and scaled to whatever box is asked for.
    p.scale(width / 88.0, height / 41.0);

    // Soft shadow on the table.
    QRadialGradient shadow(QPointF(44, 38.5), 40);
    shadow.setColorAt(0, QColor(150, 150, 150, 160));
    shadow.setColorAt(1, QColor(150, 150, 150, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(shadow);
    p.drawEllipse(QPointF(44, 38.5), 40, 2.2);

    // The tin: a fluted trapezoid, shiny in the middle, darker at the sides.
    QPainterPath tin;
    tin.moveTo(5, 25);
    tin.lineTo(83, 25);
    tin.lineTo(77.5, 36.5);
    tin.quadTo(76.5, 38.5, 74, 38.5);
    tin.lineTo(14, 38.5);
    tin.quadTo(11.5, 38.5, 10.5, 36.5);
    tin.closeSubpath();
    QLinearGradient metal(QPointF(5, 0), QPointF(83, 0));
    metal.setColorAt(0.0, QColor(118, 124, 134));
    metal.setColorAt(0.22, QColor(236, 239, 244));
    metal.setColorAt(0.4, QColor(184, 190, 198));
    metal.setColorAt(0.62, QColor(224, 228, 234));
    metal.setColorAt(1.0, QColor(104, 110, 120));
    p.setPen(inkPen(kTinInk, 1.0));
    p.setBrush(metal);
    p.drawPath(tin);
    p.save();
    p.setClipPath(tin);
    p.setPen(inkPen(QColor(110, 116, 128, 150), 0.8));
    for (int i = 1; i < 13; ++i) {
        const double top = 5 + 78.0 * i / 13;
        const double bottom = 11 + 66.0 * i / 13;
        p.drawLine(QPointF(top, 25), QPointF(bottom, 38.5));
    }
    p.restore();

    // The cream, heaped up in soft dollops with a curl on top.
    QPainterPath cream;
    cream.moveTo(6, 22);
    cream.cubicTo(4, 16, 10, 12, 16, 13);
    cream.cubicTo(18, 7, 28, 6, 31, 10);
    cream.cubicTo(34, 4, 42, 2, 45, 3.5);
    cream.cubicTo(51, 2, 57, 5, 58, 10);
    cream.cubicTo(63, 6, 71, 8, 72, 13);
    cream.cubicTo(79, 12, 84, 16, 82, 22);
    cream.closeSubpath();
    QLinearGradient creamFill(QPointF(30, 3), QPointF(50, 23));
    creamFill.setColorAt(0, Qt::white);
    creamFill.setColorAt(0.6, kCream);
    creamFill.setColorAt(1, kCreamShade);
    p.setPen(inkPen(kCreamInk, 0.9));
    p.setBrush(creamFill);
    p.drawPath(cream);
    p.setPen(inkPen(QColor(170, 176, 190), 0.8));
    p.setBrush(Qt::NoBrush);
    QPainterPath folds;
    folds.moveTo(16, 13);
    folds.quadTo(20, 15, 22, 19);
    folds.moveTo(31, 10);
    folds.quadTo(35, 13, 36, 18);
    folds.moveTo(58, 10);
    folds.quadTo(55, 14, 55, 18);
    folds.moveTo(72, 13);
    folds.quadTo(68, 15, 67, 19);
    folds.moveTo(41, 6);
    folds.quadTo(46, 5, 48, 8);
    p.drawPath(folds);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(40, 7), 2.5, 1.3);
    p.drawEllipse(QPointF(22, 11.5), 2, 1);
    p.drawEllipse(QPointF(63, 10), 1.8, 0.9);

    // Golden crust rim crimped all round, sitting on the lip of the tin.
    QPainterPath rim;
    rim.moveTo(3, 24.5);
    constexpr int kCrimps = 11;
    for (int i = 0; i < kCrimps; ++i) {
        const double x0 = 3 + 82.0 * i / kCrimps;
        const double x1 = 3 + 82.0 * (i + 1) / kCrimps;
        rim.cubicTo(x0 + 0.5, 17.5, x1 - 0.5, 17.5, x1, 21.5 + (i + 1 == kCrimps ? 3 : 0));
    }
    rim.quadTo(86, 27, 82, 27.5);
    rim.lineTo(6, 27.5);
    rim.quadTo(2, 27, 3, 24.5);
    rim.closeSubpath();
    QLinearGradient crust(QPointF(0, 18), QPointF(0, 28));
    crust.setColorAt(0, kCrust.lighter(115));
    crust.setColorAt(0.5, kCrust);
    crust.setColorAt(1, kCrustDark);
    p.setPen(inkPen(kCrustDark.darker(130), 0.9));
    p.setBrush(crust);
    p.drawPath(rim);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 226, 160));
    for (int i = 0; i < kCrimps; ++i)
        p.drawEllipse(QPointF(3 + 82.0 * (i + 0.5) / kCrimps - 1, 21.5), 1.6, 0.8);
    return img;
}

} // namespace squibbo::art
