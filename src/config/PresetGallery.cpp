#include "config/PresetGallery.h"

#include "config/CfgPrompts.h"
#include "config/GalleryThumbnails.h"
#include "config/PresetName.h"
#include "util/AsciiCase.h"

#include <QApplication>
#include <QListWidget>

#include <algorithm>
#include <exception>

TPresetGallery::TPresetGallery(QListWidget& list, std::vector<std::string>& names, QString addPrompt,
                               TPresetStore store, TCfgPrompts*& prompts)
    : QObject(&list), list_(list), names_(names), addPrompt_(std::move(addPrompt)), store_(std::move(store)),
      prompts_(prompts)
{
    list_.setSelectionMode(QAbstractItemView::SingleSelection);
    if (store_.ThumbnailFile)
        thumbnails_ = new TGalleryThumbnails(list_, store_.ThumbnailFile);
    // Keys, clicks and assistive technology (which selects without moving the current entry)
    // all load the entry; the click that selected an entry loads it once.
    connect(&list_, &QListWidget::itemSelectionChanged, this, [this] {
        pressLoaded_ = QApplication::mouseButtons() != Qt::NoButton;
        LoadSelected();
    });
    connect(&list_, &QListWidget::itemClicked, this, [this] {
        if (!pressLoaded_)
            LoadSelected();
        pressLoaded_ = false;
    });
}

QWidget* TPresetGallery::Parent() const { return list_.window(); }

void TPresetGallery::Fill()
{
    std::stable_sort(names_.begin(), names_.end(), TNoCaseLess());
    const QSignalBlocker quiet(list_);
    list_.clear();
    for (const std::string& name : names_)
        list_.addItem(QString::fromStdString(name));
    if (thumbnails_)
        thumbnails_->RequestAll();
}

std::optional<std::string> TPresetGallery::Selected() const
{
    const QList<QListWidgetItem*> selected = list_.selectedItems();
    if (selected.isEmpty())
        return std::nullopt;
    return selected.front()->text().toStdString();
}

std::optional<std::string> TPresetGallery::Listed(const std::string& name) const
{
    const auto found = std::find_if(names_.begin(), names_.end(),
                                    [&](const std::string& listed) { return SameNoCase(listed, name); });
    return found == names_.end() ? std::nullopt : std::optional<std::string>(*found);
}

void TPresetGallery::RefreshThumbnail(const std::string& name)
{
    if (thumbnails_)
        thumbnails_->Request(name);
}

bool TPresetGallery::Guarded(const std::function<void()>& operation)
{
    try {
        operation();
        return true;
    } catch (const std::exception& e) {
        prompts_->Inform(Parent(), QString::fromStdString(e.what()));
    }
    return false;
}

void TPresetGallery::LoadSelected()
{
    if (const auto name = Selected())
        Guarded([&] { store_.Load(*name); });
}

void TPresetGallery::Insert(const std::string& name)
{
    const auto at = std::upper_bound(names_.begin(), names_.end(), name, TNoCaseLess());
    const int row = int(at - names_.begin());
    names_.insert(at, name);
    const QSignalBlocker quiet(list_);
    list_.insertItem(row, QString::fromStdString(name));
}

void TPresetGallery::Add()
{
    const std::optional<QString> answer = prompts_->AskName(Parent(), addPrompt_);
    if (!answer)
        return;
    if (const auto problem = PresetNameProblem(*answer)) {
        prompts_->Inform(Parent(), *problem);
        return;
    }
    const std::string name = answer->toStdString();
    if (const auto listed = Listed(name)) {
        if (prompts_->ConfirmOverwrite(Parent()) && Guarded([&] { store_.Save(*listed); }))
            RefreshThumbnail(*listed);
        return;
    }
    // Listed only once it is written, so that the list never names a preset that is not there.
    if (Guarded([&] { store_.Save(name); })) {
        Insert(name);
        RefreshThumbnail(name);
    }
}

void TPresetGallery::Change()
{
    const auto name = Selected();
    if (name && Guarded([&] { store_.Save(*name); }))
        RefreshThumbnail(*name);
}

void TPresetGallery::Remove()
{
    const auto name = Selected();
    if (!name)
        return;
    TPresetRemoval removal = TPresetRemoval::Refused;
    if (!Guarded([&] { removal = store_.Remove(*name); }) || removal == TPresetRemoval::Refused)
        return;
    // The entry now shows the installation's preset.
    if (removal == TPresetRemoval::StillListed) {
        RefreshThumbnail(*name);
        return;
    }
    const int row = list_.row(list_.selectedItems().front());
    std::erase(names_, *name);
    const QSignalBlocker quiet(list_);
    delete list_.takeItem(row);
    list_.clearSelection();
    list_.setCurrentRow(-1);
}
