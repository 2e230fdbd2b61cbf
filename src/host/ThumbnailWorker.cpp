#include "host/ThumbnailWorker.h"

#include "host/WaveThumbnail.h"
#include "kinds/LumenfallCfg.h"

#include <QMetaObject>
#include <QObject>

#include <algorithm>
#include <exception>

#include <sys/resource.h>
#include <unistd.h>

namespace {

constexpr int kNiceness = 10;

} // namespace

TThumbnailWorker::TThumbnailWorker(QObject& receiver, TDeliver deliver, QSize size, TThumbnailCache cache)
    : receiver_(receiver), deliver_(std::move(deliver)), size_(size), cache_(std::move(cache)),
      thread_([this] { Work(); })
{
}

TThumbnailWorker::~TThumbnailWorker()
{
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
        queue_.clear();
    }
    wake_.notify_one();
    thread_.join();
}

void TThumbnailWorker::Request(const std::string& name, const std::string& file)
{
    {
        const std::lock_guard lock(mutex_);
        const auto queued = std::find_if(queue_.begin(), queue_.end(), [&](const TRequest& r) { return r.name == name; });
        if (queued != queue_.end())
            queued->file = file;
        else
            queue_.push_back({name, file});
    }
    wake_.notify_one();
}

void TThumbnailWorker::Work()
{
    // Pictures wait for the user interface, not the other way round (on Linux the priority of
    // a thread id is that thread's alone).
    ::setpriority(PRIO_PROCESS, id_t(::gettid()), kNiceness);
    for (;;) {
        TRequest request;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
            if (stopping_)
                return;
            request = std::move(queue_.front());
            queue_.pop_front();
        }
        const QImage picture = Picture(request.file);
        if (stopping_)
            return;
        QMetaObject::invokeMethod(
            &receiver_, [deliver = deliver_, name = std::move(request.name), picture] { deliver(name, picture); },
            Qt::QueuedConnection);
    }
}

QImage TThumbnailWorker::Picture(const std::string& file)
{
    // Nothing may leave the thread: an exception there would end the program.
    try {
        // The entry is named before the file is read, so a file written meanwhile is drawn
        // again next time instead of showing older contents under its newer name.
        const std::filesystem::path entry = cache_.Entry(file, size_);
        if (!entry.empty())
            if (QImage kept = TThumbnailCache::Load(entry, size_); !kept.isNull())
                return kept;
        TWaveConfig preset;
        preset.LoadFromFile(file);
        QImage picture = RenderWaveThumbnail(preset, size_, [this] { return stopping_.load(); });
        if (picture.isNull())
            return picture;
        ++drawn_;
        if (!entry.empty()) {
            try {
                TThumbnailCache::Store(entry, picture);
            } catch (const std::exception&) {
                // Not kept: drawn again next time.
            }
        }
        return picture;
    } catch (const std::exception&) {
        return {};
    }
}
