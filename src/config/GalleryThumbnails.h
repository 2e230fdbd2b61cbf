#pragma once
// Thumbnails for the entries of a gallery's list box: a placeholder at once, the picture of
// the preset when the worker has drawn it. Pictures arrive through the event loop and only
// set an entry's icon, so the list keeps its order, selection and current entry, and no
// event waits for a picture.

#include "host/ThumbnailWorker.h"

#include <QIcon>
#include <QObject>

#include <functional>
#include <string>

class QListWidget;

// A thumbnail's size in device-independent pixels.
inline constexpr QSize kThumbnailSize(96, 54);

class TGalleryThumbnails : public QObject {
public:
    // fileOf names the file a listed preset is drawn from.
    TGalleryThumbnails(QListWidget& list, std::function<std::string(const std::string& name)> fileOf);

    // Gives every entry the placeholder and asks for its picture.
    void RequestAll();
    // Asks for the named entry's picture (again, after its file was written); an entry
    // without a picture shows the placeholder meanwhile.
    void Request(const std::string& name);
    const TThumbnailWorker& Worker() const { return worker_; }

private:
    void Attach(const std::string& name, const QImage& picture);

    QListWidget& list_;
    std::function<std::string(const std::string& name)> fileOf_;
    qreal ratio_;
    QIcon placeholder_;
    // Last, so that it is joined before the rest goes.
    TThumbnailWorker worker_;
};
