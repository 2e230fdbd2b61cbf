#include "LogoPictures.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cmath>
#include <numbers>

QImage DrawEmblem()
{
    QImage image(320, 200, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, 200);
    sky.setColorAt(0, QColor(10, 14, 48));
    sky.setColorAt(1, QColor(60, 20, 70));
    p.fillRect(image.rect(), sky);

    const QPointF sun(160, 82);
    for (int i = 0; i < 24; ++i) {
        const double a = i * 2 * std::numbers::pi / 24;
        p.setPen(QPen(QColor(255, 190, 80), 3));
        p.drawLine(sun + QPointF(std::cos(a) * 48, std::sin(a) * 48), sun + QPointF(std::cos(a) * 70, std::sin(a) * 70));
    }
    QRadialGradient glow(sun, 44);
    glow.setColorAt(0, QColor(255, 250, 210));
    glow.setColorAt(0.7, QColor(255, 170, 40));
    glow.setColorAt(1, QColor(230, 80, 30));
    p.setPen(Qt::NoPen);
    p.setBrush(glow);
    p.drawEllipse(sun, 42, 42);

    QFont font("Arial");
    font.setPixelSize(34);
    font.setBold(true);
    p.setFont(font);
    p.setPen(QColor(120, 220, 255));
    p.drawText(QRect(0, 148, 320, 44), Qt::AlignCenter, "LUMENFALL");
    return image;
}

QImage DrawMark()
{
    QImage image(240, 240, QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath star;
    const QPointF c(120, 120);
    for (int i = 0; i < 16; ++i) {
        const double a = i * std::numbers::pi / 8 - std::numbers::pi / 2;
        const double r = i % 2 == 0 ? 112 : 44;
        const QPointF q = c + QPointF(std::cos(a) * r, std::sin(a) * r);
        i == 0 ? star.moveTo(q) : star.lineTo(q);
    }
    star.closeSubpath();
    QRadialGradient fill(c, 112);
    fill.setColorAt(0, QColor(255, 255, 255));
    fill.setColorAt(0.35, QColor(120, 230, 255));
    fill.setColorAt(1, QColor(140, 60, 255));
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawPath(star);
    p.setBrush(QColor(255, 210, 90));
    p.drawEllipse(c, 18, 18);
    return image;
}
