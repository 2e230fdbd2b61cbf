// Draws the pictures of the configuration dialog and its about box, which the program
// carries as resources:
//
//   lumenfall_dialogart --output DIR
//
// DIR receives title.png (the word mark over the big preview), bar.png (the rule under it)
// and maker.png (the maker's logo that the about box shows as water).

#include <QColor>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cmath>
#include <cstdio>
#include <numbers>
#include <random>
#include <string>

namespace {

QLinearGradient Spectrum(const QPointF& from, const QPointF& to)
{
    QLinearGradient colours(from, to);
    colours.setColorAt(0, QColor(80, 230, 255));
    colours.setColorAt(0.5, QColor(170, 150, 255));
    colours.setColorAt(1, QColor(255, 110, 220));
    return colours;
}

QPainterPath Word(const QString& text, const QFont& font, const QPointF& centre)
{
    QPainterPath word;
    word.addText(0, 0, font, text);
    const QRectF bounds = word.boundingRect();
    word.translate(centre - bounds.center());
    return word;
}

// A chain of dots along a sine wave, like a wave system seen from the side.
void DrawChain(QPainter& p, const QRectF& area, double periods, double phase, int dots)
{
    for (int i = 0; i < dots; ++i) {
        const double t = double(i) / (dots - 1);
        const double x = area.left() + t * area.width();
        const double y = area.center().y() + std::sin(t * periods * 2 * std::numbers::pi + phase) * area.height() / 2;
        QColor c = QColor::fromHsvF(0.5 + 0.4 * t, 0.6, 1.0);
        p.setBrush(c);
        p.drawEllipse(QPointF(x, y), 1.3, 1.3);
    }
}

// 409 x 40: the word mark between two particle chains on the night blue of the show.
QImage DrawTitle()
{
    QImage image(409, 40, QImage::Format_RGB32);
    QLinearGradient ground(0, 0, 0, 40);
    ground.setColorAt(0, QColor(8, 12, 34));
    ground.setColorAt(1, QColor(20, 28, 70));
    QPainter p(&image);
    p.fillRect(image.rect(), ground);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    DrawChain(p, QRectF(6, 8, 110, 24), 1.5, 0, 40);
    DrawChain(p, QRectF(293, 8, 110, 24), 1.5, std::numbers::pi, 40);
    QFont font("Arial");
    font.setPixelSize(26);
    font.setBold(true);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 3);
    const QPainterPath word = Word("LUMENFALL", font, QPointF(204.5, 20));
    p.setBrush(Spectrum(word.boundingRect().topLeft(), word.boundingRect().topRight()));
    p.drawPath(word);
    return image;
}

// 409 x 4: a rule in the colours of the word mark.
QImage DrawBar()
{
    QImage image(409, 4, QImage::Format_RGB32);
    QPainter p(&image);
    p.fillRect(image.rect(), Spectrum(QPointF(0, 0), QPointF(409, 0)));
    return image;
}

// 320 x 120 on black: the maker's name over a field of stars, so that the water has
// something to bend.
QImage DrawMaker()
{
    QImage image(320, 120, QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    std::mt19937 random(7);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (int i = 0; i < 260; ++i) {
        const int grey = 60 + int(unit(random) * 150);
        p.setBrush(QColor(grey, grey, std::min(255, grey + 40)));
        p.drawEllipse(QPointF(unit(random) * 320, unit(random) * 120), 0.9, 0.9);
    }
    QRadialGradient glow(QPointF(160, 58), 120);
    glow.setColorAt(0, QColor(40, 60, 140));
    glow.setColorAt(1, QColor(0, 0, 0, 0));
    p.setBrush(glow);
    p.drawEllipse(QPointF(160, 58), 150, 50);
    QFont font("Times New Roman");
    font.setPixelSize(50);
    font.setItalic(true);
    font.setBold(true);
    const QPainterPath word = Word("Quenwick", font, QPointF(160, 54));
    p.setBrush(Spectrum(word.boundingRect().topLeft(), word.boundingRect().bottomRight()));
    p.drawPath(word);
    p.setBrush(QColor(200, 220, 255));
    DrawChain(p, QRectF(40, 92, 240, 12), 3, 0, 90);
    return image;
}

bool Save(const QImage& image, const std::string& folder, const char* name)
{
    const std::string file = folder + "/" + name;
    if (image.save(QString::fromStdString(file), "png"))
        return true;
    std::fprintf(stderr, "lumenfall_dialogart: cannot write %s\n", file.c_str());
    return false;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 3 || std::string(argv[1]) != "--output") {
        std::fprintf(stderr, "usage: lumenfall_dialogart --output DIR\n");
        return 1;
    }
    const std::string folder = argv[2];
    return Save(DrawTitle(), folder, "title.png") && Save(DrawBar(), folder, "bar.png") &&
                   Save(DrawMaker(), folder, "maker.png")
               ? 0
               : 1;
}
