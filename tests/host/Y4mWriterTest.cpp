#include "host/Y4mWriter.h"

#include <QImage>
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace {

// The conversion pixel by pixel and block by block, as the formulas state it.
void ReferenceYuv420(const QImage& picture, std::vector<uint8_t>& y, std::vector<uint8_t>& u, std::vector<uint8_t>& v)
{
    const int32_t w = picture.width(), h = picture.height(), cw = (w + 1) / 2, ch = (h + 1) / 2;
    y.assign(size_t(w * h), 0);
    u.assign(size_t(cw * ch), 0);
    v.assign(size_t(cw * ch), 0);
    for (int32_t j = 0; j < h; ++j)
        for (int32_t i = 0; i < w; ++i) {
            const QRgb p = picture.pixel(i, j);
            y[size_t(j * w + i)] = uint8_t((77 * qRed(p) + 150 * qGreen(p) + 29 * qBlue(p) + 128) >> 8);
        }
    for (int32_t j = 0; j < ch; ++j)
        for (int32_t i = 0; i < cw; ++i) {
            int32_t r = 0, g = 0, b = 0, n = 0;
            for (int32_t dy = 0; dy < 2 && 2 * j + dy < h; ++dy)
                for (int32_t dx = 0; dx < 2 && 2 * i + dx < w; ++dx, ++n) {
                    const QRgb p = picture.pixel(2 * i + dx, 2 * j + dy);
                    r += qRed(p), g += qGreen(p), b += qBlue(p);
                }
            r /= n, g /= n, b /= n;
            u[size_t(j * cw + i)] = uint8_t(std::clamp((-43 * r - 85 * g + 128 * b + 128) / 256 + 128, 0, 255));
            v[size_t(j * cw + i)] = uint8_t(std::clamp((128 * r - 107 * g - 21 * b + 128) / 256 + 128, 0, 255));
        }
}

} // namespace

TEST(Y4mWriter, PackedConversionEqualsTheFormulasAtEvenAndOddSizes)
{
    std::mt19937 random(3);
    // Noise, and the extremes of each channel, whose chroma sums reach the ends of the range.
    const QRgb extremes[] = {0xFF0000FF, 0xFFFF0000, 0xFF00FF00, 0xFFFFFFFF, 0xFF000000, 0xFFFFFF00};
    for (auto [w, h] : {std::pair{16, 16}, std::pair{17, 9}, std::pair{30, 2}, std::pair{1, 1}, std::pair{33, 35}}) {
        for (int fill = -1; fill < int(std::size(extremes)); ++fill) {
            QImage picture(w, h, QImage::Format_RGB32);
            for (int32_t j = 0; j < h; ++j)
                for (int32_t i = 0; i < w; ++i)
                    picture.setPixel(i, j, fill < 0 ? random() : extremes[fill]);
            std::vector<uint8_t> y, u, v;
            ReferenceYuv420(picture, y, u, v);
            std::vector<uint8_t> py(y.size()), pu(u.size()), pv(v.size());
            ConvertToYuv420(picture, py.data(), pu.data(), pv.data());
            EXPECT_EQ(py, y) << w << "x" << h << " fill " << fill;
            EXPECT_EQ(pu, u) << w << "x" << h << " fill " << fill;
            EXPECT_EQ(pv, v) << w << "x" << h << " fill " << fill;
        }
    }
}

TEST(Y4mWriter, FileSizeIsTheHeaderAndEveryFrame)
{
    EXPECT_EQ(TY4mWriter::FileSize(64, 48, 21, 2),
              int64_t(std::string("YUV4MPEG2 W64 H48 F1000:21 Ip A1:1 C420jpeg XCOLORRANGE=FULL\n").size()) +
                  2 * (6 + 64 * 48 * 3 / 2));
    EXPECT_EQ(TY4mWriter::FileSize(3, 3, 40, 1) - TY4mWriter::FileSize(3, 3, 40, 0), 6 + 9 + 2 * 4);
}
