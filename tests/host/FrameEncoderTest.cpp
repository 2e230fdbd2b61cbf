#include "host/FrameEncoder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

// The frame number in the first pixel, so that the bytes tell which picture was encoded.
QByteArray EncodeFirstPixel(const QImage& picture)
{
    return QByteArray::number(picture.pixel(0, 0) & 0xFFFFFF);
}

} // namespace

TEST(FrameEncoder, FramesAreWrittenInTheOrderSubmittedWhateverOrderTheyAreEncodedIn)
{
    std::mutex mutex;
    std::vector<int32_t> order;
    std::vector<QByteArray> contents;
    {
        // The early frames take longest, so the later ones are encoded first.
        TFrameEncoder encoder(
            4, 3, 3,
            [](const QImage& picture) {
                const uint32_t frame = picture.pixel(0, 0) & 0xFFFFFF;
                std::this_thread::sleep_for(std::chrono::milliseconds(frame < 6 ? 12 - 2 * frame : 0));
                return EncodeFirstPixel(picture);
            },
            [&](int32_t frame, const QByteArray& bytes) {
                std::lock_guard lock(mutex);
                order.push_back(frame);
                contents.push_back(bytes);
            });
        for (int32_t frame = 1; frame <= 20; ++frame) {
            QImage& picture = encoder.NextPicture();
            picture.setPixel(0, 0, uint32_t(frame));
            encoder.Submit(frame);
            EXPECT_LE(encoder.Written(), frame);
        }
        encoder.Finish();
        EXPECT_EQ(encoder.Written(), 20);
    }
    ASSERT_EQ(order.size(), 20u);
    for (int32_t k = 0; k < 20; ++k) {
        EXPECT_EQ(order[size_t(k)], k + 1);
        EXPECT_EQ(contents[size_t(k)], QByteArray::number(k + 1)); // each picture was its own frame's
    }
}

TEST(FrameEncoder, AFailedWriteStopsTheFramesAfterItAndIsReportedToTheRenderer)
{
    std::vector<int32_t> written;
    TFrameEncoder encoder(
        4, 3, 2, EncodeFirstPixel, [&](int32_t frame, const QByteArray&) {
            if (frame == 5)
                throw std::runtime_error("cannot write 'frame00005.png'");
            written.push_back(frame);
        });
    std::string message;
    try {
        for (int32_t frame = 1; frame <= 50; ++frame) {
            encoder.NextPicture().setPixel(0, 0, uint32_t(frame));
            encoder.Submit(frame);
        }
        encoder.Finish();
    } catch (const std::runtime_error& e) {
        message = e.what();
    }
    EXPECT_EQ(message, "cannot write 'frame00005.png'");
    EXPECT_EQ(written, (std::vector<int32_t>{1, 2, 3, 4}));
    EXPECT_EQ(encoder.Written(), 4);
    EXPECT_THROW(encoder.Finish(), std::runtime_error);
}

TEST(FrameEncoder, AFailedEncodingIsReportedAndNothingAfterItIsWritten)
{
    std::vector<int32_t> written;
    TFrameEncoder encoder(
        4, 3, 1,
        [](const QImage& picture) -> QByteArray {
            if ((picture.pixel(0, 0) & 0xFFFFFF) == 2)
                throw std::runtime_error("cannot encode a frame");
            return EncodeFirstPixel(picture);
        },
        [&](int32_t frame, const QByteArray&) { written.push_back(frame); });
    EXPECT_THROW(
        {
            for (int32_t frame = 1; frame <= 20; ++frame) {
                encoder.NextPicture().setPixel(0, 0, uint32_t(frame));
                encoder.Submit(frame);
            }
            encoder.Finish();
        },
        std::runtime_error);
    EXPECT_EQ(written, (std::vector<int32_t>{1}));
}
