#include "config/GalleryThumbnails.h"

#include <QListWidget>
#include <QPainter>
#include <QPixmap>

#include <cmath>

namespace {

QIcon IconOf(QPixmap pixmap, qreal ratio)
{
    pixmap.setDevicePixelRatio(ratio);
    QIcon icon(pixmap);
    // The selected entry shows its picture as it is, not tinted with the highlight.
    icon.addPixmap(pixmap, QIcon::Selected);
    return icon;
}

QSize DevicePixels(QSize size, qreal ratio)
{
    return {int(std::ceil(size.width() * ratio)), int(std::ceil(size.height() * ratio))};
}

// A dark frame of the thumbnail's size, so that rows keep their height when pictures come.
QIcon Placeholder(qreal ratio)
{
    QPixmap pixmap(DevicePixels(kThumbnailSize, ratio));
    pixmap.fill(QColor(24, 24, 28));
    QPainter painter(&pixmap);
    painter.setPen(QColor(72, 72, 80));
    painter.drawRect(pixmap.rect().adjusted(0, 0, -1, -1));
    painter.end();
    return IconOf(pixmap, ratio);
}

} // namespace

TGalleryThumbnails::TGalleryThumbnails(QListWidget& list, std::function<std::string(const std::string& name)> fileOf)
    : QObject(&list), list_(list), fileOf_(std::move(fileOf)), ratio_(list.devicePixelRatioF()),
      placeholder_(Placeholder(ratio_)),
      worker_(*this, [this](const std::string& name, const QImage& picture) { Attach(name, picture); },
              DevicePixels(kThumbnailSize, ratio_), TThumbnailCache(ThumbnailCacheDirectory()))
{
    list_.setIconSize(kThumbnailSize);
    // Names wrap beside their pictures instead of widening the list.
    list_.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list_.setWordWrap(true);
    list_.setResizeMode(QListView::Adjust);
}

void TGalleryThumbnails::RequestAll()
{
    for (int row = 0; row < list_.count(); ++row)
        list_.item(row)->setIcon(placeholder_);
    for (int row = 0; row < list_.count(); ++row) {
        const std::string name = list_.item(row)->text().toStdString();
        worker_.Request(name, fileOf_(name));
    }
}

void TGalleryThumbnails::Request(const std::string& name)
{
    for (QListWidgetItem* item : list_.findItems(QString::fromStdString(name), Qt::MatchExactly | Qt::MatchCaseSensitive))
        if (item->icon().isNull())
            item->setIcon(placeholder_);
    worker_.Request(name, fileOf_(name));
}

void TGalleryThumbnails::Attach(const std::string& name, const QImage& picture)
{
    if (picture.isNull())
        return;
    const QIcon icon = IconOf(QPixmap::fromImage(picture), ratio_);
    for (QListWidgetItem* item : list_.findItems(QString::fromStdString(name), Qt::MatchExactly | Qt::MatchCaseSensitive))
        item->setIcon(icon);
}
