// The Debian package that scripts/package leaves in the build folder: its control data, its
// contents, the program unpacked from it rendering a frame, and lintian's verdict. Without a
// package the tests are skipped.

#include "TestPaths.h"

#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace fs = std::filesystem;

namespace {

struct TOutput {
    int Status = -1;
    QString Text;
};

TOutput Capture(const QString& program, const QStringList& arguments,
                const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForStarted() || !process.waitForFinished(300000))
        return {};
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAll())};
}

class PackageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const std::string build = TestBuildFolder();
        if (QStandardPaths::findExecutable("dpkg-deb").isEmpty())
            GTEST_SKIP() << "dpkg-deb is missing";
        const std::string architecture = Capture("dpkg", {"--print-architecture"}).Text.trimmed().toStdString();
        package_ = QString::fromStdString(
            (fs::path(build) / ("lumenfall_" LUMENFALL_VERSION "_" + architecture + ".deb")).string());
        if (!fs::exists(package_.toStdString()))
            GTEST_SKIP() << "no " << package_.toStdString() << ": scripts/package builds it";
    }

    QString Field(const char* name) const { return Capture("dpkg-deb", {"-f", package_, name}).Text.trimmed(); }

    QString package_;
};

TEST_F(PackageTest, DescribesItselfAndHoldsEverythingTheDesktopAndXScreenSaverUse)
{
    EXPECT_EQ(Field("Package"), "lumenfall");
    EXPECT_EQ(Field("Version"), LUMENFALL_VERSION);
    EXPECT_EQ(Field("Section"), "x11");
    const QString depends = Field("Depends");
    for (const char* library : {"libc6", "libqt6widgets6", "libqt6gui6", "libjpeg62-turbo", "libpam0g", "libx11-6"})
        EXPECT_TRUE(depends.contains(library)) << library << " missing from " << depends.toStdString();
    const QStringList description = Field("Description").split('\n');
    ASSERT_GE(description.size(), 3) << "a synopsis and a long description";
    EXPECT_FALSE(description[0].isEmpty());

    const QString contents = Capture("dpkg-deb", {"-c", package_}).Text;
    for (const char* file : {" ./usr/bin/lumenfall\n", " ./usr/libexec/xscreensaver/lumenfall -> ../../bin/lumenfall\n",
                             " ./usr/share/xscreensaver/config/lumenfall.xml\n",
                             " ./usr/share/applications/lumenfall-settings.desktop\n",
                             " ./usr/share/applications/screensavers/lumenfall.desktop\n",
                             " ./usr/share/icons/hicolor/scalable/apps/lumenfall.svg\n",
                             " ./usr/share/icons/hicolor/256x256/apps/lumenfall.png\n",
                             " ./usr/share/icons/hicolor/16x16/apps/lumenfall.png\n",
                             " ./usr/share/man/man6/lumenfall.6.gz\n", " ./usr/share/lumenfall/machine.reg\n",
                             " ./usr/share/doc/lumenfall/copyright\n", " ./etc/pam.d/lumenfall\n"})
        EXPECT_TRUE(contents.contains(file)) << file;
    EXPECT_EQ(Capture("dpkg-deb", {"-I", package_, "conffiles"}).Text.trimmed(), "/etc/pam.d/lumenfall");
}

TEST_F(PackageTest, TheUnpackedProgramRendersTheShowFromItsOwnData)
{
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    ASSERT_EQ(Capture("dpkg", {"-x", package_, root.path()}).Status, 0);
    const QString program = root.filePath("usr/bin/lumenfall");
    const QString file = Capture("file", {program}).Text;
    EXPECT_TRUE(file.contains(", stripped")) << file.toStdString();

    // Nothing points at the unpacked data but the program's own place.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("LUMENFALL_MACHINE_HIVE");
    environment.insert("LUMENFALL_USER_HIVE", root.filePath("user.reg"));
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    const QString frame = root.filePath("frame.png");
    const TOutput rendered = Capture(program, {"--render", frame, "--size", "320x240", "--frames", "60", "--seed", "1"},
                                     environment);
    ASSERT_EQ(rendered.Status, 0) << rendered.Text.toStdString();
    QImage image(frame);
    ASSERT_EQ(image.size(), QSize(320, 240));
    int lit = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            lit += (image.pixel(x, y) & 0xFFFFFF) != 0;
    EXPECT_GT(lit, 200) << "the show drew its wave";
    EXPECT_EQ(Capture(root.filePath("usr/libexec/xscreensaver/lumenfall"), {"--version"}, environment).Status, 0);
}

TEST_F(PackageTest, LintianFindsNoErrors)
{
    if (QStandardPaths::findExecutable("lintian").isEmpty())
        GTEST_SKIP() << "lintian is missing (scripts/setup installs it)";
    const TOutput verdict = Capture("lintian", {"--fail-on", "error", package_});
    EXPECT_EQ(verdict.Status, 0) << verdict.Text.toStdString();
}

} // namespace
