// The hack's settings file for XScreenSaver: written the way its stock files are, and every
// command line that its settings program can make from it runs the hack.

#include "TestPaths.h"
#include "host/CommandLine.h"

#include <QFile>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

std::string SourceFile(const std::string& path) { return (std::filesystem::path(TestSourceFolder()) / path).string(); }

struct THackSettingsFile {
    std::string Command;
    std::vector<std::string> Switches; // arg-set and arg-unset values
    bool HasUpdater = false;
    std::string Description;
};

THackSettingsFile ReadHackSettings(const std::string& fileName)
{
    THackSettingsFile file;
    QFile xml(QString::fromStdString(fileName));
    EXPECT_TRUE(xml.open(QIODevice::ReadOnly)) << fileName;
    QXmlStreamReader reader(&xml);
    while (!reader.atEnd()) {
        if (reader.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QXmlStreamAttributes attributes = reader.attributes();
        if (reader.name() == u"command")
            file.Command = attributes.value("arg").toString().toStdString();
        else if (reader.name() == u"xscreensaver-updater")
            file.HasUpdater = true;
        else if (reader.name() == u"_description")
            file.Description = reader.readElementText().toStdString();
        for (const char* name : {"arg-set", "arg-unset", "arg"})
            if (attributes.hasAttribute(name) && reader.name() != u"command")
                file.Switches.push_back(attributes.value(name).toString().toStdString());
    }
    EXPECT_FALSE(reader.hasError()) << reader.errorString().toStdString();
    return file;
}

std::vector<std::string> Words(const std::string& text)
{
    std::vector<std::string> words;
    size_t at = 0;
    while ((at = text.find_first_not_of(' ', at)) != std::string::npos) {
        const size_t end = text.find(' ', at);
        words.push_back(text.substr(at, end - at));
        at = end;
    }
    return words;
}

TEST(XScreenSaverFilesTest, SettingsFileIsWrittenLikeTheStockOnes)
{
    const std::string fileName = SourceFile("data/xscreensaver/lumenfall.xml");
    const THackSettingsFile file = ReadHackSettings(fileName);
    EXPECT_EQ(file.Command, "--root");
    EXPECT_TRUE(file.HasUpdater);
    EXPECT_NE(file.Description.find("lumenfall -c"), std::string::npos) << "says how to open the dialog";
    ASSERT_FALSE(file.Switches.empty());
    for (const std::string& option : file.Switches)
        EXPECT_TRUE(option.starts_with("--")) << option << ": stock files use the double-dash forms only";

    // What the daemon runs, and what the settings program's preview runs.
    std::vector<std::string> arguments = Words(file.Command);
    for (const std::string& option : file.Switches)
        for (const std::string& word : Words(option))
            arguments.push_back(word);
    const TCommandLine daemon = ParseCommandLine(arguments);
    EXPECT_EQ(daemon.Mode, TStartMode::smHack);
    EXPECT_EQ(daemon.HackTarget, THackTarget::htRoot);
    EXPECT_EQ(daemon.Error, "");
    arguments.insert(arguments.end(), {"--window-id", "0x400EE6"});
    const TCommandLine preview = ParseCommandLine(arguments);
    EXPECT_EQ(preview.HackTarget, THackTarget::htWindowId);
    EXPECT_EQ(preview.HackWindow, 0x400EE6u);
    EXPECT_EQ(preview.Error, "");
}

TEST(XScreenSaverFilesTest, ProgramsLineRunsTheHackOnTheRoot)
{
    const std::string fileName = SourceFile("data/xscreensaver/lumenfall.programs.in");
    QFile file(QString::fromStdString(fileName));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const std::string line = file.readAll().toStdString();
    EXPECT_NE(line.find("@LUMENFALL_INSTALLED_PROGRAM@ --root "), std::string::npos) << line;
}

} // namespace
