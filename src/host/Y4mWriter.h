#pragma once
// The video of lumenfall --render: YUV4MPEG2 with full-range BT.601 colours and 4:2:0
// chroma, which ffmpeg and mpv play.

#include <QByteArray>

#include <cstdint>
#include <fstream>
#include <string>

class QImage;

// The planes of one RGB32 picture of width x height: luma (77 R + 150 G + 29 B + 128) >> 8 per
// pixel; per block of two by two pixels (fewer at an odd last row or column) the means of R,
// G and B, and from them U then V, width and height rounded up to even and halved.
void ConvertToYuv420(const QImage& picture, uint8_t* luma, uint8_t* u, uint8_t* v);

class TY4mWriter {
public:
    // Raises std::runtime_error when the file cannot be created.
    TY4mWriter(const std::string& fileName, int32_t width, int32_t height, int32_t intervalMs);

    // Bytes of a video of this many frames.
    static int64_t FileSize(int32_t width, int32_t height, int32_t intervalMs, int32_t frames);

    // One frame's bytes in the file: its marker and planes. Touches nothing but the picture,
    // so frames can be converted on other threads while the show renders.
    static QByteArray EncodeFrame(const QImage& frame);
    // Appends the bytes of EncodeFrame; raises std::runtime_error when writing fails.
    void Append(const QByteArray& frame);
    // Writes what the stream still holds and closes the file; raises as Append.
    void Finish();

private:
    static std::string Header(int32_t width, int32_t height, int32_t intervalMs);

    std::ofstream out_;
};
