#include "util/AtomicFile.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class AtomicFileTest : public ::testing::Test {
protected:
    AtomicFileTest() : folder_(fs::temp_directory_path() / ("lumenfall-atomic-" + std::to_string(::getpid())))
    {
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }
    ~AtomicFileTest() override { fs::remove_all(folder_); }

    std::string Path(const std::string& name) const { return (folder_ / name).string(); }

    static std::string Read(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }

    // Every name in the folder: a failed or finished write leaves no temporary file behind.
    std::vector<std::string> Names() const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder_))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    static mode_t Mode(const std::string& path)
    {
        struct stat s {};
        EXPECT_EQ(::lstat(path.c_str(), &s), 0) << path;
        return s.st_mode;
    }

    fs::path folder_;
};

std::string RaisedMessage(const std::function<void()>& action)
{
    try {
        action();
    } catch (const EFileWriteError& e) {
        return e.Message();
    }
    return "";
}

TEST_F(AtomicFileTest, CreatesAndReplacesWholeFilesWithNothingLeftBeside)
{
    WriteFileAtomically(Path("a.reg"), std::string_view("first contents, long"));
    EXPECT_EQ(Read(Path("a.reg")), "first contents, long");
    const std::vector<uint8_t> bytes = {0, 1, 2, 0xFF};
    WriteFileAtomically(Path("a.reg"), std::span<const uint8_t>(bytes));
    EXPECT_EQ(Read(Path("a.reg")), std::string("\0\1\2\xFF", 4));
    WriteFileAtomically(Path("a.reg"), std::string_view());
    EXPECT_EQ(Read(Path("a.reg")), "");
    EXPECT_EQ(Names(), std::vector<std::string>{"a.reg"});
}

TEST_F(AtomicFileTest, KeepsTheModeOfTheFileItReplacesAndGivesNewFilesTheUsualOne)
{
    WriteFileAtomically(Path("private.reg"), std::string_view("secret"));
    ASSERT_EQ(::chmod(Path("private.reg").c_str(), 0640), 0);
    WriteFileAtomically(Path("private.reg"), std::string_view("more secret"));
    EXPECT_EQ(Mode(Path("private.reg")) & 07777, 0640u);

    const mode_t mask = ::umask(022);
    WriteFileAtomically(Path("fresh.reg"), std::string_view("x"));
    ::umask(mask);
    EXPECT_EQ(Mode(Path("fresh.reg")) & 07777, 0644u);
}

TEST_F(AtomicFileTest, WritesThroughSymbolicLinksToTheirTargetAndKeepsTheLinks)
{
    fs::create_directories(folder_ / "real");
    WriteFileAtomically(Path("real/target.lmx"), std::string_view("old"));
    ASSERT_EQ(::chmod(Path("real/target.lmx").c_str(), 0600), 0);
    // A relative link to a relative link: each resolves against its own folder.
    fs::create_symlink("real/target.lmx", folder_ / "middle.lmx");
    fs::create_symlink("middle.lmx", folder_ / "link.lmx");
    EXPECT_EQ(FileWriteTarget(Path("link.lmx")), Path("real/target.lmx"));

    WriteFileAtomically(Path("link.lmx"), std::string_view("new"));
    EXPECT_TRUE(S_ISLNK(Mode(Path("link.lmx"))));
    EXPECT_TRUE(S_ISLNK(Mode(Path("middle.lmx"))));
    EXPECT_EQ(Read(Path("real/target.lmx")), "new");
    EXPECT_EQ(Mode(Path("real/target.lmx")) & 07777, 0600u);
    EXPECT_EQ(Names(), (std::vector<std::string>{"link.lmx", "middle.lmx", "real"}));

    // A dangling link gets its target created.
    fs::create_symlink("real/later.lmx", folder_ / "dangling.lmx");
    WriteFileAtomically(Path("dangling.lmx"), std::string_view("created"));
    EXPECT_TRUE(S_ISLNK(Mode(Path("dangling.lmx"))));
    EXPECT_EQ(Read(Path("real/later.lmx")), "created");
}

TEST_F(AtomicFileTest, FailuresNameThePathAndTheCauseAndLeaveTheOldContents)
{
    WriteFileAtomically(Path("kept.reg"), std::string_view("old contents"));
    // A file size limit makes the write itself fail (root passes every permission check).
    struct sigaction ignore {}, previous {};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGXFSZ, &ignore, &previous);
    rlimit saved {};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = 4;
    ::setrlimit(RLIMIT_FSIZE, &small);
    const std::string message = RaisedMessage([&] { WriteFileAtomically(Path("kept.reg"), std::string_view("new contents")); });
    ::setrlimit(RLIMIT_FSIZE, &saved);
    ::sigaction(SIGXFSZ, &previous, nullptr);
    EXPECT_EQ(message, "WriteFileAtomically : Cannot write \"" + Path("kept.reg") + "\": File too large");
    EXPECT_EQ(Read(Path("kept.reg")), "old contents");
    EXPECT_EQ(Names(), std::vector<std::string>{"kept.reg"});

    EXPECT_EQ(RaisedMessage([&] { WriteFileAtomically(Path("no folder/x.reg"), std::string_view("x")); }),
              "WriteFileAtomically : Cannot write \"" + Path("no folder/x.reg") + "\": No such file or directory");
    fs::create_directories(folder_ / "folder");
    EXPECT_NE(RaisedMessage([&] { WriteFileAtomically(Path("folder"), std::string_view("x")); }), "");
    EXPECT_TRUE(fs::is_directory(folder_ / "folder"));
    fs::create_symlink("loop", folder_ / "loop");
    EXPECT_NE(RaisedMessage([&] { WriteFileAtomically(Path("loop"), std::string_view("x")); }), "");
}

TEST_F(AtomicFileTest, DevicesBehindLinksAreWrittenInPlaceAndNeverReplaced)
{
    // A full device fails at the write; the device must survive the attempt.
    fs::create_symlink("/dev/full", folder_ / "full.reg");
    EXPECT_EQ(RaisedMessage([&] { WriteFileAtomically(Path("full.reg"), std::string_view("data")); }),
              "WriteFileAtomically : Cannot write \"/dev/full\": No space left on device");
    EXPECT_TRUE(S_ISCHR(Mode("/dev/full")));
    EXPECT_TRUE(S_ISLNK(Mode(Path("full.reg"))));
    EXPECT_EQ(Names(), std::vector<std::string>{"full.reg"});

    fs::create_symlink("/dev/null", folder_ / "null.reg");
    WriteFileAtomically(Path("null.reg"), std::string_view("discarded"));
    EXPECT_TRUE(S_ISCHR(Mode("/dev/null")));
}

TEST_F(AtomicFileTest, PipesAreWrittenInPlaceAndOneWithoutReaderFailsAtOnce)
{
    ASSERT_EQ(::mkfifo(Path("pipe").c_str(), 0600), 0);
    EXPECT_EQ(RaisedMessage([&] { WriteFileAtomically(Path("pipe"), std::string_view("x")); }),
              "WriteFileAtomically : Cannot write \"" + Path("pipe") + "\": No such device or address");

    const int reader = ::open(Path("pipe").c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    WriteFileAtomically(Path("pipe"), std::string_view("through the pipe"));
    char buffer[64] = {};
    const ssize_t n = ::read(reader, buffer, sizeof buffer);
    ::close(reader);
    EXPECT_EQ(std::string(buffer, size_t(std::max<ssize_t>(n, 0))), "through the pipe");
    EXPECT_TRUE(S_ISFIFO(Mode(Path("pipe"))));
    EXPECT_EQ(Names(), std::vector<std::string>{"pipe"});
}

} // namespace
