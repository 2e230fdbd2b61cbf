#pragma once
// A stand-in for the configuration dialog and its prompts: the records the pages edit, the
// loading flag, a preview widget, a scripted generator, and answers to the questions.

#include "config/CfgPage.h"
#include "config/CfgPrompts.h"

#include <QStringList>
#include <QWidget>

#include <deque>
#include <optional>
#include <string>
#include <vector>

class TFakeCfgDialog : public TCfgDialogContext {
public:
    TFakeCfgDialog() { preview.resize(209, 185); }

    TBlankerSettings& Settings() override { return settings; }
    TWaveConfig& EditedWave() override { return editedWave; }
    TLogoConfig& EditedLogo() override { return editedLogo; }
    TTextConfig& EditedText() override { return editedText; }
    bool Loading() const override { return loading; }
    void SetLoading(bool on) override { loading = on; }
    void Apply() override { ++applied; }
    QWidget& SmallPreview() override { return preview; }
    float Random() override
    {
        if (randoms.empty())
            return 0.5f;
        const float r = randoms.front();
        randoms.pop_front();
        ++randomsDrawn;
        return r;
    }
    void ShowHelp(int context) override { helpContexts.push_back(context); }

    TBlankerSettings settings;
    TWaveConfig editedWave;
    TLogoConfig editedLogo;
    TTextConfig editedText;
    bool loading = false;
    int applied = 0;
    QWidget preview;
    std::deque<float> randoms;
    int randomsDrawn = 0;
    std::vector<int> helpContexts;
};

class TFakePrompts : public TCfgPrompts {
public:
    std::optional<QString> AskName(QWidget*, const QString& prompt) override
    {
        askedPrompts.push_back(prompt);
        return name;
    }
    bool ConfirmOverwrite(QWidget*) override
    {
        ++overwriteQuestions;
        return overwrite;
    }
    void Inform(QWidget*, const QString& text) override { messages.push_back(text); }
    std::optional<QString> ChooseLogoFile(QWidget*, const QString& initial) override
    {
        initialFile = initial;
        return file;
    }
    std::optional<QFont> ChooseFont(QWidget*, const QFont&) override { return font; }
    std::optional<QColor> ChooseColor(QWidget*, const QColor&) override { return color; }
    void Beep() override { ++beeps; }

    std::optional<QString> name;
    bool overwrite = false;
    std::optional<QString> file;
    std::optional<QFont> font;
    std::optional<QColor> color;
    QStringList askedPrompts;
    QString initialFile;
    int overwriteQuestions = 0;
    QStringList messages;
    int beeps = 0;
};
