// The preset galleries driven as assistive technology drives them: controls found by their
// accessible names and pressed through their accessible actions, the name typed into the
// input box through its accessible text.

#include "CfgDialogSupport.h"

#include "ui_formCfgLumenfall.h"

#include <QAccessible>
#include <QInputDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>

#include <functional>

namespace {

// The first accessible object below root with that name and role, depth first.
QAccessibleInterface* Find(QAccessibleInterface* root, const QString& name, QAccessible::Role role)
{
    if (!root)
        return nullptr;
    if (root->role() == role && root->text(QAccessible::Name) == name && !root->state().invisible)
        return root;
    for (int i = 0; i < root->childCount(); ++i)
        if (QAccessibleInterface* found = Find(root->child(i), name, role))
            return found;
    return nullptr;
}

QAccessibleInterface* Accessible(QWidget* widget) { return QAccessible::queryAccessibleInterface(widget); }

void Press(QAccessibleInterface* button)
{
    ASSERT_NE(button, nullptr);
    ASSERT_NE(button->actionInterface(), nullptr);
    button->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
}

// Answers the next input box with the name, through the box's accessible tree.
void AnswerNameWith(QTimer& watcher, const QString& name)
{
    watcher.setInterval(10);
    QObject::disconnect(&watcher, nullptr, nullptr, nullptr);
    QObject::connect(&watcher, &QTimer::timeout, [&watcher, name] {
        auto* box = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
        if (!box)
            return;
        watcher.stop();
        QAccessibleInterface* field = nullptr;
        for (QLineEdit* edit : box->findChildren<QLineEdit*>())
            field = Accessible(edit);
        ASSERT_NE(field, nullptr);
        ASSERT_NE(field->editableTextInterface(), nullptr);
        const QString old = field->text(QAccessible::Value);
        field->editableTextInterface()->replaceText(0, int(old.size()), name);
        Press(Find(Accessible(box), "OK", QAccessible::PushButton));
    });
    watcher.start();
}

struct PresetPagesAccessibility : ::testing::Test {
    void SetUp() override
    {
        setup.Install();
        dialog = std::make_unique<TfrmCfgLumenfall>(setup.Environment());
        ASSERT_TRUE(dialog->Installed());
        dialog->show();
    }
    void ShowPage(QWidget* page) { dialog->Controls().pgMain->setCurrentWidget(page); }
    QAccessibleInterface* Button(QWidget* page, const QString& name)
    {
        return Find(Accessible(page), name, QAccessible::PushButton);
    }
    static bool UserKeyExists(const std::string& key)
    {
        TRegistry reg(KEY_READ);
        reg.SetRootKey(HKEY_CURRENT_USER);
        return reg.KeyExists("\\" + key);
    }

    CfgInstallation setup;
    std::unique_ptr<TfrmCfgLumenfall> dialog;
    QTimer watcher;
};

TEST_F(PresetPagesAccessibility, AddingAWaveWritesItIntoTheUsersFolder)
{
    QWidget* waves = dialog->Controls().tshWaves;
    ShowPage(waves);
    AnswerNameWith(watcher, "Made by ear");
    Press(Button(waves, "Add"));
    const std::filesystem::path file = std::filesystem::path(UserWavesDirectory()) / "Made by ear.lmx";
    // Accessible presses are animated clicks: they happen in the event loop.
    ASSERT_TRUE(QTest::qWaitFor([&] { return std::filesystem::exists(file); }, 10000));
    EXPECT_EQ(std::filesystem::file_size(file), WaveFileSize);
    QAccessibleInterface* list = Find(Accessible(waves), "Wave Presets", QAccessible::List);
    ASSERT_NE(list, nullptr);
    QStringList names;
    for (int i = 0; i < list->childCount(); ++i)
        names << list->child(i)->text(QAccessible::Name);
    EXPECT_TRUE(names.contains("Made by ear")) << names.join(",").toStdString();
}

TEST_F(PresetPagesAccessibility, LogoAndTextPresetsAreAddedAndRemovedByName)
{
    struct Kind {
        QWidget* page;
        const char* key;
        const char* list;
    };
    for (const Kind& kind : {Kind{dialog->Controls().tshLogos, kLogosKey, "lstLogoSchemes"},
                             Kind{dialog->Controls().tshTexts, kTextsKey, "lstTextSchemes"}}) {
        ShowPage(kind.page);
        AnswerNameWith(watcher, "Spoken");
        Press(Button(kind.page, "Add"));
        const std::string added = std::string(kind.key) + "\\Spoken";
        ASSERT_TRUE(QTest::qWaitFor([&] { return UserKeyExists(added); }, 10000)) << kind.key;

        auto* list = kind.page->findChild<QListWidget*>(kind.list);
        const QList<QListWidgetItem*> items = list->findItems("Spoken", Qt::MatchExactly);
        ASSERT_EQ(items.size(), 1);
        list->setCurrentItem(items.front());
        Press(Button(kind.page, "Remove"));
        EXPECT_TRUE(QTest::qWaitFor([&] { return !UserKeyExists(added); }, 10000)) << kind.key;
        EXPECT_TRUE(list->findItems("Spoken", Qt::MatchExactly).isEmpty());
    }
    EXPECT_TRUE(UserKeyExists(std::string(kLogosKey) + "\\_ActiveLogo")) << "nothing else deleted";
}

} // namespace
