#pragma once
// Little-endian bytes of the picture files the tests write by hand.

#include <cstdint>
#include <string>
#include <vector>

struct TByteWriter {
    std::vector<uint8_t> Bytes;

    void U8(uint32_t v) { Bytes.push_back(uint8_t(v)); }
    void U16(uint32_t v)
    {
        U8(v & 0xFF);
        U8(v >> 8);
    }
    void U32(uint32_t v)
    {
        U16(v & 0xFFFF);
        U16(v >> 16);
    }
    void Append(const std::vector<uint8_t>& more) { Bytes.insert(Bytes.end(), more.begin(), more.end()); }
    void PatchU32(size_t offset, uint32_t v)
    {
        for (int i = 0; i < 4; ++i)
            Bytes[offset + i] = uint8_t(v >> (8 * i));
    }
};

// A device-independent bitmap of 24 bits, bottom-up, with its header: `rows` top first,
// colours 0xRRGGBB.
inline std::vector<uint8_t> MakeDib24(const std::vector<std::vector<uint32_t>>& rows)
{
    const uint32_t width = uint32_t(rows[0].size()), height = uint32_t(rows.size());
    const uint32_t rowBytes = (width * 24 + 31) / 32 * 4;
    TByteWriter w;
    w.U32(40);
    w.U32(width);
    w.U32(height);
    w.U16(1);
    w.U16(24);
    w.U32(0);
    w.U32(rowBytes * height);
    w.U32(2835);
    w.U32(2835);
    w.U32(0);
    w.U32(0);
    for (uint32_t row = height; row-- > 0;) {
        for (uint32_t c : rows[row]) {
            w.U8(c & 0xFF);
            w.U8((c >> 8) & 0xFF);
            w.U8((c >> 16) & 0xFF);
        }
        for (uint32_t pad = width * 3; pad < rowBytes; ++pad)
            w.U8(0);
    }
    return w.Bytes;
}
