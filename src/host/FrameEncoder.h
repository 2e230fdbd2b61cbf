#pragma once
// The frames of lumenfall --render (PNG files or video frames): encoded on worker threads
// while the show renders the next frames, and written one at a time in frame order. The only threads of the
// program; they touch nothing but their own pictures and the encoder's queue.

#include <QByteArray>
#include <QImage>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class TFrameEncoder {
public:
    // The bytes of one frame's file; raises std::exception with one clear line when it cannot.
    using TEncode = std::function<QByteArray(const QImage&)>;
    // Stores the bytes of frame n; raises std::exception with one clear line when it cannot.
    using TWrite = std::function<void(int32_t frame, const QByteArray& bytes)>;

    // workers threads (at least one) and a few more black pictures of width x height than
    // workers, which the frames take turns to use.
    TFrameEncoder(int32_t width, int32_t height, int32_t workers, TEncode encode, TWrite write);
    // Waits for the frames still queued; a failure there is lost, so call Finish first.
    ~TFrameEncoder();
    TFrameEncoder(const TFrameEncoder&) = delete;
    TFrameEncoder& operator=(const TFrameEncoder&) = delete;

    // A picture for the next frame, waiting until one is free. Raises std::runtime_error with
    // the message of the first failed frame once one has failed.
    QImage& NextPicture();
    // Hands the picture of the last NextPicture to the workers as frame n.
    void Submit(int32_t frame);
    // Waits until every submitted frame is written; raises as NextPicture.
    void Finish();
    // How many frames have been written, which are always the first ones submitted.
    int32_t Written() const;

private:
    struct TJob {
        int32_t sequence; // submission order, 0 first
        int32_t frame;
        size_t picture;
    };
    struct TEncoded {
        int32_t frame;
        QByteArray bytes;
    };

    void Work();
    // Writes the encoded frames that are next in order; only one thread writes at a time.
    void WriteReady();
    void ThrowIfFailed() const;

    TEncode encode_;
    TWrite write_;
    std::vector<QImage> pictures_;

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<size_t> free_;
    std::deque<TJob> jobs_;
    // Encoded frames waiting for those before them, by sequence.
    std::map<int32_t, TEncoded> encoded_;
    size_t current_ = 0;
    int32_t submitted_ = 0;
    int32_t written_ = 0;
    bool writing_ = false;
    bool stopping_ = false;
    std::string failure_;

    std::vector<std::thread> workers_;
};
