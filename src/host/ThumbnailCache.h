#pragma once
// Thumbnails of preset files kept on disk between runs, one PNG file per preset file. An
// entry's name comes from the preset file's path, modification time and size and the
// picture's size, so a preset that is written again gets a new entry; the older entry goes
// when the new one is stored.

#include <QImage>
#include <QSize>

#include <filesystem>
#include <string>

// $XDG_CACHE_HOME/lumenfall/thumbnails, by default ~/.cache/lumenfall/thumbnails; empty when
// neither variable names a folder.
std::filesystem::path ThumbnailCacheDirectory();

class TThumbnailCache {
public:
    // folder is made when the first picture is stored; an empty folder keeps nothing.
    explicit TThumbnailCache(std::filesystem::path folder) : folder_(std::move(folder)) {}

    // The entry for the preset file as it is now, at size; empty when there is no folder or
    // the file cannot be examined.
    std::filesystem::path Entry(const std::string& presetFile, QSize size) const;
    // The picture kept in entry; null when there is none, or it is not a readable picture of
    // size (a damaged entry is drawn again).
    static QImage Load(const std::filesystem::path& entry, QSize size);
    // Keeps the picture in entry, written atomically, and removes the other entries of the
    // same preset file. Raises EFileWriteError or std::filesystem::filesystem_error.
    static void Store(const std::filesystem::path& entry, const QImage& picture);

private:
    std::filesystem::path folder_;
};
