#pragma once
// Draws thumbnails of wave preset files on a thread of its own and hands each finished
// picture to a receiver on the receiver's thread, through its event loop. The thread has
// its own show objects (src/host/WaveThumbnail); it shares nothing with the receiver's
// thread but the queue of requests, so the show itself stays single-threaded.

#include "host/ThumbnailCache.h"

#include <QImage>
#include <QSize>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

class QObject;

class TThumbnailWorker {
public:
    // Runs on the receiver's thread once per request, with the picture, or a null picture
    // when the preset could not be read or drawn.
    using TDeliver = std::function<void(const std::string& name, const QImage& picture)>;

    // Pictures of size pixels, kept in cache. receiver must outlive the worker; what is
    // delivered after it has gone is dropped with its events.
    TThumbnailWorker(QObject& receiver, TDeliver deliver, QSize size, TThumbnailCache cache);
    // Drops the queued requests, stops the picture being drawn between two frames and joins.
    ~TThumbnailWorker();
    TThumbnailWorker(const TThumbnailWorker&) = delete;
    TThumbnailWorker& operator=(const TThumbnailWorker&) = delete;

    // Queues a picture of the preset file for name; a request for a name still queued is
    // replaced, so that it is drawn once, from the newest file.
    void Request(const std::string& name, const std::string& file);
    // How many pictures were drawn rather than read from the cache.
    int32_t Drawn() const { return drawn_; }

private:
    struct TRequest {
        std::string name;
        std::string file;
    };

    void Work();
    QImage Picture(const std::string& file);

    QObject& receiver_;
    TDeliver deliver_;
    QSize size_;
    TThumbnailCache cache_;

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<TRequest> queue_;
    std::atomic<bool> stopping_ = false;
    std::atomic<int32_t> drawn_ = 0;
    std::thread thread_;
};
