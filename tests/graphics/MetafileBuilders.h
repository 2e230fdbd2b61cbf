#pragma once
// Windows and enhanced metafiles built record by record, for the player's tests and the
// fuzzing seeds.

#include "graphics/ByteWriter.h"

#include <QPoint>
#include <QRect>

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// A colour 0xRRGGBB as metafiles store it (0x00BBGGRR).
inline uint32_t ColorRef(uint32_t rgb) { return ((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF); }

class TWmfBuilder {
public:
    // Parameters as the file stores them (last argument first).
    TWmfBuilder& Add(uint16_t function, std::vector<uint16_t> words)
    {
        records_.push_back({function, std::move(words)});
        return *this;
    }
    TWmfBuilder& Brush(uint32_t rgb) { return Add(0x02FC, {0, Lo(ColorRef(rgb)), Hi(ColorRef(rgb)), 0}); }
    TWmfBuilder& Pen(uint16_t style, int16_t width, uint32_t rgb)
    {
        return Add(0x02FA, {style, uint16_t(width), 0, Lo(ColorRef(rgb)), Hi(ColorRef(rgb))});
    }
    TWmfBuilder& Font(int16_t height)
    {
        std::vector<uint16_t> words = {uint16_t(height), 0, 0, 0, 700, 0, 0, 0, 0};
        const char face[] = "Arial";
        for (size_t i = 0; i < sizeof face; i += 2)
            words.push_back(uint16_t(face[i] | (i + 1 < sizeof face ? face[i + 1] << 8 : 0)));
        return Add(0x02FB, words);
    }
    TWmfBuilder& Select(uint16_t index) { return Add(0x012D, {index}); }
    TWmfBuilder& Rectangle(int16_t l, int16_t t, int16_t r, int16_t b)
    {
        return Add(0x041B, {uint16_t(b), uint16_t(r), uint16_t(t), uint16_t(l)});
    }
    TWmfBuilder& TextOut(int16_t x, int16_t y, const std::string& text)
    {
        std::vector<uint16_t> words = {uint16_t(text.size())};
        for (size_t i = 0; i < text.size(); i += 2)
            words.push_back(uint16_t(uint8_t(text[i]) | (i + 1 < text.size() ? uint8_t(text[i + 1]) << 8 : 0)));
        words.push_back(uint16_t(y));
        words.push_back(uint16_t(x));
        return Add(0x0521, words);
    }

    std::vector<uint8_t> Build(std::optional<QRect> boundingBox = std::nullopt, uint16_t unitsPerInch = 1440) const
    {
        TByteWriter w;
        if (boundingBox) {
            const uint16_t words[] = {0xCDD7, 0x9AC6, 0, uint16_t(boundingBox->left()), uint16_t(boundingBox->top()),
                                      uint16_t(boundingBox->right()), uint16_t(boundingBox->bottom()), unitsPerInch,
                                      0, 0};
            uint16_t checksum = 0;
            for (uint16_t word : words) {
                w.U16(word);
                checksum ^= word;
            }
            w.U16(checksum);
        }
        uint32_t total = 9 + 3;
        for (const auto& record : records_)
            total += 3 + uint32_t(record.second.size());
        w.U16(1);
        w.U16(9);
        w.U16(0x0300);
        w.U32(total);
        w.U16(16);
        w.U32(64);
        w.U16(0);
        for (const auto& [function, words] : records_) {
            w.U32(3 + uint32_t(words.size()));
            w.U16(function);
            for (uint16_t word : words)
                w.U16(word);
        }
        w.U32(3);
        w.U16(0);
        return w.Bytes;
    }

    static uint16_t Lo(uint32_t v) { return uint16_t(v & 0xFFFF); }
    static uint16_t Hi(uint32_t v) { return uint16_t(v >> 16); }

private:
    std::vector<std::pair<uint16_t, std::vector<uint16_t>>> records_;
};

class TEmfBuilder {
public:
    TEmfBuilder& Add(uint32_t type, std::vector<uint32_t> words)
    {
        records_.push_back({type, std::move(words)});
        return *this;
    }
    TEmfBuilder& Polygon16(const std::vector<QPoint>& points)
    {
        std::vector<uint32_t> words = {0, 0, 0, 0, uint32_t(points.size())};
        for (const QPoint& p : points)
            words.push_back(uint32_t(uint16_t(p.x())) | uint32_t(uint16_t(p.y())) << 16);
        return Add(86, words);
    }
    TEmfBuilder& Text(int32_t x, int32_t y, const std::u16string& text)
    {
        constexpr uint32_t kStringOffset = 76;
        std::vector<uint32_t> words = {0, 0, 0, 0, 1, 0, 0, uint32_t(x), uint32_t(y), uint32_t(text.size()),
                                       kStringOffset, 0, 0, 0, 0, 0, 0};
        for (size_t i = 0; i < text.size(); i += 2)
            words.push_back(uint32_t(text[i]) | (i + 1 < text.size() ? uint32_t(text[i + 1]) << 16 : 0));
        return Add(84, words);
    }

    // `frame` in hundredths of a millimetre; a device of 96 pixels per inch.
    std::vector<uint8_t> Build(const QRect& frame, const QRect& bounds = QRect(0, 0, 1, 1)) const
    {
        uint32_t total = 88 + 20;
        for (const auto& record : records_)
            total += 8 + 4 * uint32_t(record.second.size());
        TByteWriter w;
        for (uint32_t v : {1u, 88u, uint32_t(bounds.left()), uint32_t(bounds.top()), uint32_t(bounds.right()),
                           uint32_t(bounds.bottom()), uint32_t(frame.left()), uint32_t(frame.top()),
                           uint32_t(frame.right()), uint32_t(frame.bottom()), 0x464D4520u, 0x10000u, total,
                           uint32_t(records_.size() + 2), 16u, 0u, 0u, 0u, 960u, 480u, 254u, 127u})
            w.U32(v);
        for (const auto& [type, words] : records_) {
            w.U32(type);
            w.U32(8 + 4 * uint32_t(words.size()));
            for (uint32_t word : words)
                w.U32(word);
        }
        for (uint32_t v : {14u, 20u, 0u, 0u, 20u})
            w.U32(v);
        return w.Bytes;
    }

private:
    std::vector<std::pair<uint32_t, std::vector<uint32_t>>> records_;
};

// One inch of 1440 units is 96 pixels: 15 units a pixel.
inline TWmfBuilder ShapesAndText()
{
    TWmfBuilder wmf;
    wmf.Add(0x020B, {0, 0})            // SetWindowOrg
        .Add(0x020C, {1440, 2880})     // SetWindowExt 2880 x 1440
        .Brush(0xFF0000)               // 0
        .Pen(5, 0, 0)                  // 1: null pen
        .Select(0)
        .Select(1)
        .Rectangle(150, 150, 900, 900) // pixels 10 .. 59
        .Pen(0, 30, 0x00FF00)          // 2: two pixels wide
        .Select(2)
        .Add(0x0214, {1200, 150})      // MoveTo (150, 1200)
        .Add(0x0213, {1200, 2700})     // LineTo (2700, 1200): row 80
        .Brush(0x0000FF)               // 3
        .Select(3)
        .Pen(5, 0, 0)                  // 4
        .Select(4)
        .Add(0x0418, {900, 2700, 150, 1950}) // Ellipse, centre pixel (155, 35)
        .Add(0x0324, {3, 1050, 1350, 1050, 1500, 1500, 1500}) // Polygon (1050,1350) (1050,1500) (1500,1500)
        .Font(-300)                    // 5: 20 pixels
        .Select(5)
        .Add(0x0209, {0xFFFF, 0x00FF})  // SetTextColor white
        .Add(0x0102, {1})               // SetBkMode transparent
        .TextOut(1050, 150, "Hi");
    return wmf;
}
