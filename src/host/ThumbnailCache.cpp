#include "host/ThumbnailCache.h"

#include "util/AtomicFile.h"
#include "util/BaseDirectory.h"

#include <QBuffer>
#include <QCryptographicHash>

#include <string_view>
#include <system_error>

namespace fs = std::filesystem;

namespace {

// Raised when the pictures are drawn differently, so that older entries are not shown.
constexpr int kPictureVersion = 1;

std::string Digest(const std::string& text)
{
    const QByteArray hash = QCryptographicHash::hash(QByteArray::fromStdString(text), QCryptographicHash::Sha1);
    return hash.toHex().left(20).toStdString();
}

// Entries are named "<digest of the path>-<digest of the contents' stamp>.png".
std::string PathPart(const fs::path& entry)
{
    const std::string name = entry.filename().string();
    return name.substr(0, name.find('-') + 1);
}

} // namespace

fs::path ThumbnailCacheDirectory()
{
    const fs::path base = UserBaseDirectory("XDG_CACHE_HOME", ".cache");
    return base.empty() ? base : base / "lumenfall" / "thumbnails";
}

fs::path TThumbnailCache::Entry(const std::string& presetFile, QSize size) const
{
    std::error_code error;
    const fs::path file = fs::absolute(presetFile, error);
    if (folder_.empty() || error || !fs::is_regular_file(file, error))
        return {};
    const auto modified = fs::last_write_time(file, error);
    const auto bytes = error ? 0 : fs::file_size(file, error);
    if (error)
        return {};
    const std::string stamp = std::to_string(modified.time_since_epoch().count()) + " " + std::to_string(bytes) + " " +
                              std::to_string(size.width()) + "x" + std::to_string(size.height()) + " v" +
                              std::to_string(kPictureVersion);
    return folder_ / (Digest(file.string()) + "-" + Digest(stamp) + ".png");
}

QImage TThumbnailCache::Load(const fs::path& entry, QSize size)
{
    QImage picture;
    if (!picture.load(QString::fromStdString(entry.string()), "PNG") || picture.size() != size)
        return {};
    return picture;
}

void TThumbnailCache::Store(const fs::path& entry, const QImage& picture)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!picture.save(&buffer, "PNG"))
        throw EFileWriteError(entry.string(), "the picture could not be encoded");
    fs::create_directories(entry.parent_path());
    WriteFileAtomically(entry.string(), std::string_view(bytes.constData(), size_t(bytes.size())));
    const std::string sameFile = PathPart(entry);
    for (const fs::directory_entry& other : fs::directory_iterator(entry.parent_path())) {
        const std::string name = other.path().filename().string();
        std::error_code ignored;
        if (name != entry.filename().string() && name.starts_with(sameFile) && name.ends_with(".png"))
            fs::remove(other.path(), ignored);
    }
}
