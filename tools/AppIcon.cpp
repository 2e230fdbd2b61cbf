// Draws the program's icon for the desktop's hicolor theme: one list of shapes written as
// SVG and painted into PNG files of the usual sizes, so that every size shows the same icon.
//
//   lumenfall_icon --output DIR
//
// DIR receives scalable/apps/lumenfall.svg and SIZExSIZE/apps/lumenfall.png.

#include <QColor>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr double kCanvas = 256;
constexpr double kCorner = 48;
constexpr int kSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};
const QColor kBackground(11, 16, 48);

struct Dot {
    double X, Y, Radius;
    QColor Colour;
};

// A closed chain of particles on a wave, as the show's intro draws it.
std::vector<Dot> Chain()
{
    constexpr int kDots = 48;
    constexpr double kPi = 3.14159265358979323846;
    std::vector<Dot> dots;
    for (int i = 0; i < kDots; ++i) {
        const double t = 2 * kPi * i / kDots;
        const double radius = 74 + 18 * std::sin(5 * t);
        const double size = 7 + 4 * std::cos(3 * t);
        dots.push_back({128 + radius * std::cos(t), 128 + radius * std::sin(t), size,
                        QColor::fromHsvF(std::fmod(0.52 + 0.45 * i / kDots, 1.0), 0.65, 1.0)});
    }
    return dots;
}

std::string Hex(const QColor& colour) { return colour.name(QColor::HexRgb).toStdString(); }

void WriteSvg(const fs::path& file, const std::vector<Dot>& dots)
{
    fs::create_directories(file.parent_path());
    std::ofstream out(file);
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"256\" height=\"256\" viewBox=\"0 0 256 256\">\n"
        << "  <rect width=\"256\" height=\"256\" rx=\"" << kCorner << "\" fill=\"" << Hex(kBackground) << "\"/>\n";
    for (const Dot& dot : dots)
        out << "  <circle cx=\"" << dot.X << "\" cy=\"" << dot.Y << "\" r=\"" << dot.Radius << "\" fill=\""
            << Hex(dot.Colour) << "\"/>\n";
    out << "</svg>\n";
    if (!out)
        throw std::runtime_error("cannot write " + file.string());
}

void WritePng(const fs::path& file, int size, const std::vector<Dot>& dots)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / kCanvas, size / kCanvas);
    painter.setPen(Qt::NoPen);
    QPainterPath background;
    background.addRoundedRect(QRectF(0, 0, kCanvas, kCanvas), kCorner, kCorner);
    painter.fillPath(background, kBackground);
    for (const Dot& dot : dots) {
        painter.setBrush(dot.Colour);
        painter.drawEllipse(QPointF(dot.X, dot.Y), dot.Radius, dot.Radius);
    }
    painter.end();
    fs::create_directories(file.parent_path());
    if (!image.save(QString::fromStdString(file.string()), "PNG"))
        throw std::runtime_error("cannot write " + file.string());
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    try {
        if (argc != 3 || std::string(argv[1]) != "--output")
            throw std::runtime_error("usage: lumenfall_icon --output DIR");
        const fs::path output = argv[2];
        const std::vector<Dot> dots = Chain();
        WriteSvg(output / "scalable" / "apps" / "lumenfall.svg", dots);
        for (int size : kSizes)
            WritePng(output / (std::to_string(size) + "x" + std::to_string(size)) / "apps" / "lumenfall.png", size, dots);
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "lumenfall_icon: %s\n", e.what());
        return 1;
    }
}
