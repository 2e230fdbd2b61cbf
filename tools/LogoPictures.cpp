#include "LogoPictures.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cmath>
#include <numbers>

namespace {

QPointF Polar(const QPointF& centre, double radius, double angle)
{
    return centre + QPointF(std::cos(angle) * radius, std::sin(angle) * radius);
}

// A star of the given number of points between two radii, the first point straight up.
QPainterPath StarPath(const QPointF& centre, int points, double outer, double inner, double turn = 0)
{
    QPainterPath star;
    for (int i = 0; i < 2 * points; ++i) {
        const double angle = i * std::numbers::pi / points - std::numbers::pi / 2 + turn;
        const QPointF p = Polar(centre, i % 2 == 0 ? outer : inner, angle);
        i == 0 ? star.moveTo(p) : star.lineTo(p);
    }
    star.closeSubpath();
    return star;
}

} // namespace

// The grid style samples the picture on a grid of as many points as the logo has particles,
// so the picture is large enough for a fine grid, and its ground is black (those particles
// show nothing). Drawn on a 320 x 200 plan at twice that size.
QImage DrawEmblem()
{
    QImage image(640, 400, QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(2, 2);

    const QPointF sun(160, 72);
    for (int i = 0; i < 24; ++i) {
        const double angle = i * 2 * std::numbers::pi / 24;
        const double length = i % 2 == 0 ? 66 : 56;
        QLinearGradient ray(Polar(sun, 44, angle), Polar(sun, length, angle));
        ray.setColorAt(0, QColor(255, 220, 90));
        ray.setColorAt(1, QColor(255, 110, 40));
        p.setPen(QPen(QBrush(ray), 4, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(Polar(sun, 44, angle), Polar(sun, length, angle));
    }
    QRadialGradient glow(sun, 38);
    glow.setColorAt(0, QColor(255, 255, 235));
    glow.setColorAt(0.55, QColor(255, 225, 100));
    glow.setColorAt(1, QColor(255, 130, 30));
    p.setPen(Qt::NoPen);
    p.setBrush(glow);
    p.drawEllipse(sun, 38, 38);

    QFont font("Arial");
    font.setPixelSize(42);
    font.setBold(true);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 2);
    QPainterPath word;
    word.addText(0, 0, font, "LUMENFALL");
    const QRectF bounds = word.boundingRect();
    word.translate(160 - bounds.center().x(), 178 - bounds.bottom());
    QLinearGradient colours(word.boundingRect().topLeft(), word.boundingRect().topRight());
    colours.setColorAt(0, QColor(80, 230, 255));
    colours.setColorAt(0.5, QColor(170, 150, 255));
    colours.setColorAt(1, QColor(255, 110, 220));
    p.setBrush(colours);
    p.drawPath(word);
    return image;
}

// The mask style keeps only the pixels that differ from black, so the shape alone becomes
// the cloud: a sixteen-pointed star in a ring, white at the heart and violet at the tips.
QImage DrawMark()
{
    QImage image(240, 240, QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF c(120, 120);

    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(90, 170, 255), 5));
    p.drawEllipse(c, 104, 104);

    QRadialGradient fill(c, 116);
    fill.setColorAt(0, QColor(255, 255, 255));
    fill.setColorAt(0.3, QColor(140, 235, 255));
    fill.setColorAt(0.7, QColor(120, 120, 255));
    fill.setColorAt(1, QColor(210, 80, 255));
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawPath(StarPath(c, 8, 78, 30, std::numbers::pi / 8));
    p.drawPath(StarPath(c, 8, 116, 34));

    QRadialGradient core(c, 22);
    core.setColorAt(0, QColor(255, 255, 220));
    core.setColorAt(1, QColor(255, 190, 60));
    p.setBrush(core);
    p.drawEllipse(c, 20, 20);
    return image;
}
