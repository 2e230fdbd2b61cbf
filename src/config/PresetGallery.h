#pragma once
// The gallery of one preset kind: a sorted list box bound to the settings' list of names,
// with "Add", "Change" and "Remove". The kind supplies how a preset is loaded, written and
// deleted; the gallery asks for names, refuses bad ones and keeps list box and list equal.

#include <QObject>
#include <QString>

#include <functional>
#include <optional>
#include <string>
#include <vector>

class QListWidget;
class QWidget;
class TCfgPrompts;
class TGalleryThumbnails;

enum class TPresetRemoval {
    Removed,     // the entry goes
    StillListed, // deleted, but a preset of that name remains (the installation's)
    Refused,     // nothing deleted; the kind has said why
};

struct TPresetStore {
    // Shows the named preset in the page.
    std::function<void(const std::string& name)> Load;
    // Writes the edited preset under the name (a new or a listed one).
    std::function<void(const std::string& name)> Save;
    std::function<TPresetRemoval(const std::string& name)> Remove;
    // The file a thumbnail of the named preset is drawn from; kinds without thumbnails leave
    // it empty.
    std::function<std::string(const std::string& name)> ThumbnailFile;
};

class TPresetGallery : public QObject {
public:
    // addPrompt is the input box's question; names is the settings' list that the list
    // box shows.
    TPresetGallery(QListWidget& list, std::vector<std::string>& names, QString addPrompt, TPresetStore store,
                   TCfgPrompts*& prompts);

    // Fills the list box from the names, sorted.
    void Fill();
    void Add();
    // Both act on the selected entry and do nothing without one.
    void Change();
    void Remove();

    std::optional<std::string> Selected() const;
    // The listed spelling of a name, compared without regard to case.
    std::optional<std::string> Listed(const std::string& name) const;

private:
    QWidget* Parent() const;
    void Insert(const std::string& name);
    void LoadSelected();
    // Runs a store operation; an error becomes a message instead of leaving the event loop.
    bool Guarded(const std::function<void()>& operation);
    // Draws the named thumbnail again after the file behind the name changed.
    void RefreshThumbnail(const std::string& name);

    QListWidget& list_;
    std::vector<std::string>& names_;
    QString addPrompt_;
    TPresetStore store_;
    TCfgPrompts*& prompts_;
    // Owned by the list box; null for kinds without thumbnails.
    TGalleryThumbnails* thumbnails_ = nullptr;
    bool pressLoaded_ = false;
};
