#include "host/ScreenSaverUtils.h"

#include "host/MouseCursor.h"
#include "host/formPassword.h"
#include "platform/Registry.h"
#include "persistence/TemporaryHives.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

void SetUsePassword(TRegData data)
{
    THive hive(HKEY_CURRENT_USER);
    hive.SetValue("Control Panel\\desktop", "ScreenSaveUsePassword", std::move(data));
    hive.SaveToFile(HiveFileName(HKEY_CURRENT_USER));
}

// Runs check on the next modal window that opens and closes it.
template <typename Check>
void OnNextModal(Check check)
{
    QTimer::singleShot(0, [check] {
        QWidget* modal = QApplication::activeModalWidget();
        ASSERT_NE(modal, nullptr);
        check(modal);
        modal->close();
    });
}

TEST(ScreenSaverUtilsTest, UsePasswordFromTheUserSettings)
{
    TTemporaryHives hives("usepassword");
    EXPECT_FALSE(ScreenSaveUsePassword()) << "no key";
    SetUsePassword(TRegData::Dword(1));
    EXPECT_TRUE(ScreenSaveUsePassword());
    SetUsePassword(TRegData::Dword(0));
    EXPECT_FALSE(ScreenSaveUsePassword());
    SetUsePassword(TRegData::String("1"));
    EXPECT_FALSE(ScreenSaveUsePassword()) << "malformed";
}

TEST(ScreenSaverUtilsTest, MissingPasswordServiceSaysWhatToInstall)
{
    try {
        LoginPasswordValid("secret", "lumenfall-no-such-service");
        FAIL() << "no exception";
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "VerifyPassword : The password service \"lumenfall-no-such-service\" is not set up; "
                               "copy etc/pam.d/lumenfall of the installation to /etc/pam.d/lumenfall-no-such-service");
    }
}

TEST(ScreenSaverUtilsTest, ChangePasswordTellsWhereToChangeIt)
{
    QString text;
    OnNextModal([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        text = box->text();
    });
    ChangePassword();
    EXPECT_EQ(text.toStdString(), kChangePasswordMessage);
}

TEST(ScreenSaverUtilsTest, VerifyPasswordShowsTheCursorOnlyWhileAsking)
{
    ShowCursor(false);
    bool visibleWhileAsking = false;
    OnNextModal([&](QWidget*) { visibleWhileAsking = CursorVisible(); });
    EXPECT_FALSE(VerifyPassword(nullptr)) << "cancelled";
    EXPECT_TRUE(visibleWhileAsking);
    EXPECT_FALSE(CursorVisible());
    ShowCursor(true);
}

} // namespace
