#include "host/FrameEncoder.h"

#include <algorithm>
#include <exception>
#include <stdexcept>
#include <utility>

namespace {

// Pictures beyond one per worker: one being rendered, one queued.
constexpr int32_t kSparePictures = 2;

} // namespace

TFrameEncoder::TFrameEncoder(int32_t width, int32_t height, int32_t workers, TEncode encode, TWrite write)
    : encode_(std::move(encode)), write_(std::move(write))
{
    workers = std::max(workers, 1);
    for (int32_t k = 0; k < workers + kSparePictures; ++k) {
        pictures_.emplace_back(width, height, QImage::Format_RGB32);
        pictures_.back().fill(Qt::black);
        free_.push_back(size_t(k));
    }
    current_ = free_.front();
    free_.pop_front();
    for (int32_t k = 0; k < workers; ++k)
        workers_.emplace_back([this] { Work(); });
}

TFrameEncoder::~TFrameEncoder()
{
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return jobs_.empty(); });
        stopping_ = true;
    }
    changed_.notify_all();
    for (std::thread& worker : workers_)
        worker.join();
}

void TFrameEncoder::ThrowIfFailed() const
{
    if (!failure_.empty())
        throw std::runtime_error(failure_);
}

QImage& TFrameEncoder::NextPicture()
{
    std::lock_guard lock(mutex_);
    ThrowIfFailed();
    return pictures_[current_];
}

void TFrameEncoder::Submit(int32_t frame)
{
    std::unique_lock lock(mutex_);
    ThrowIfFailed();
    jobs_.push_back({submitted_++, frame, current_});
    changed_.notify_all();
    changed_.wait(lock, [this] { return !free_.empty() || !failure_.empty(); });
    ThrowIfFailed();
    current_ = free_.front();
    free_.pop_front();
}

void TFrameEncoder::Finish()
{
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return written_ == submitted_ || !failure_.empty(); });
    ThrowIfFailed();
}

int32_t TFrameEncoder::Written() const
{
    std::lock_guard lock(mutex_);
    return written_;
}

void TFrameEncoder::Work()
{
    for (;;) {
        TJob job{};
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
            if (jobs_.empty())
                return;
            job = jobs_.front();
            jobs_.pop_front();
            changed_.notify_all();
        }
        QByteArray bytes;
        std::string failure;
        try {
            bytes = encode_(pictures_[job.picture]);
        } catch (const std::exception& e) {
            failure = e.what();
        }
        {
            std::lock_guard lock(mutex_);
            free_.push_back(job.picture);
            if (!failure.empty() && failure_.empty())
                failure_ = failure;
            encoded_.emplace(job.sequence, TEncoded{job.frame, std::move(bytes)});
        }
        changed_.notify_all();
        WriteReady();
    }
}

void TFrameEncoder::WriteReady()
{
    std::unique_lock lock(mutex_);
    if (writing_)
        return; // the thread that writes takes this frame too when its turn comes
    writing_ = true;
    for (auto next = encoded_.find(written_); next != encoded_.end() && failure_.empty();
         next = encoded_.find(written_)) {
        TEncoded frame = std::move(next->second);
        encoded_.erase(next);
        lock.unlock();
        std::string failure;
        try {
            write_(frame.frame, frame.bytes);
        } catch (const std::exception& e) {
            failure = e.what();
        }
        lock.lock();
        if (!failure.empty() && failure_.empty())
            failure_ = failure;
        else
            ++written_;
        changed_.notify_all();
    }
    writing_ = false;
}
