#pragma once
// The configuration dialog's pages and what the dialog shares with them: the records being
// edited, the loading flag, the small live preview, "Apply" and the help. Pages never talk
// to each other; everything they share goes through the dialog.

#include "persistence/SettingsStore.h"

#include <QWidget>

// Topics of the user guide (anchors of the installed HTML guide). Unknown contexts open the
// guide's beginning.
enum THelpContext : int {
    hcWaveComponent = 8, // F1 in a wave panel
    hcOverview = 15,     // the title image; F1 on "Big Preview"
    hcAboutText = 17,    // the about text
    hcLogoPicture = 18,  // the logo's picture path
    hcGeneral = 20,
    hcWaves = 21,
    hcLogos = 22,
    hcTexts = 23,
};

// A control (or a group of them) whose F1 opens another topic than its page's carries the
// context in this dynamic property: widget->setProperty(kHelpContextProperty, hcWaveComponent).
inline constexpr const char* kHelpContextProperty = "helpContext";

class TCfgDialogContext {
public:
    virtual ~TCfgDialogContext() = default;

    // The settings record; its WaveList, LogoList and TextList are the galleries' lists.
    virtual TBlankerSettings& Settings() = 0;
    // The working copies that the preset pages edit; "Ok" makes them the active presets.
    virtual TWaveConfig& EditedWave() = 0;
    virtual TLogoConfig& EditedLogo() = 0;
    virtual TTextConfig& EditedText() = 0;

    // Set while a preset is copied into the controls: change handlers do nothing then.
    virtual bool Loading() const = 0;
    virtual void SetLoading(bool loading) = 0;

    // Shows the edited wave preset in both previews. "Apply" and "Ok" first take the focus
    // from the focused field, so a field that stores its text when it is left has done so.
    virtual void Apply() = 0;
    // The small live preview; the wave page moves it onto its current sub-page.
    virtual QWidget& SmallPreview() = 0;
    // Uniform in [0, 1), from the dialog's generator (seeded when the dialog starts).
    virtual float Random() = 0;
    // Opens the user guide at the topic of a help context.
    virtual void ShowHelp(int context) = 0;
};

// Sets the dialog's loading flag for one scope.
class TLoadingScope {
public:
    explicit TLoadingScope(TCfgDialogContext& dialog) : dialog_(dialog), was_(dialog.Loading())
    {
        dialog_.SetLoading(true);
    }
    ~TLoadingScope() { dialog_.SetLoading(was_); }
    TLoadingScope(const TLoadingScope&) = delete;
    TLoadingScope& operator=(const TLoadingScope&) = delete;

private:
    TCfgDialogContext& dialog_;
    bool was_;
};

// One main page of the dialog.
class TCfgPage : public QWidget {
public:
    explicit TCfgPage(TCfgDialogContext& dialog, QWidget* parent = nullptr) : QWidget(parent), dialog_(dialog) {}

    // Copies the settings (and the active presets) into the controls when the dialog starts.
    virtual void LoadPage() = 0;
    // "Ok": copies what the page holds outside the edited presets back into the settings.
    virtual void SavePage() {}
    // The help context that F1 opens while the page is shown.
    virtual int HelpContext() const = 0;

protected:
    TCfgDialogContext& dialog_;
};
