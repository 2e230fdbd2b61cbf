#include "util/WindowsTool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

struct ScratchFolder {
    ScratchFolder() : path(fs::temp_directory_path() / ("lumenfall-test-" + std::to_string(::getpid())))
    {
        fs::remove_all(path);
        fs::create_directories(path);
    }
    ~ScratchFolder() { fs::remove_all(path); }
    void Touch(const std::string& name, const std::string& content = "x") const
    {
        std::ofstream(path / name, std::ios::binary) << content;
    }
    fs::path path;
};

void PutLE(std::string& s, size_t at, uint64_t v, int width)
{
    for (int i = 0; i < width; ++i)
        s[at + i] = char((v >> (8 * i)) & 0xFF);
}

// A minimal 64-bit ELF file holding one section with the given name and contents.
std::string ElfWithSection(const std::string& name, const std::string& contents)
{
    const std::string names = std::string("\0", 1) + name + '\0' + ".shstrtab" + '\0';
    std::string f(64, '\0');
    f.replace(0, 4, "\x7F" "ELF");
    f[4] = 2; // 64-bit
    f[5] = 1; // little-endian
    f[6] = 1;
    const size_t dataAt = f.size();
    f += contents;
    const size_t namesAt = f.size();
    f += names;
    const size_t headersAt = f.size();
    f += std::string(3 * 64, '\0');
    PutLE(f, 0x28, headersAt, 8);
    PutLE(f, 0x3A, 64, 2);
    PutLE(f, 0x3C, 3, 2);
    PutLE(f, 0x3E, 2, 2);
    auto section = [&](int index, uint32_t nameAt, size_t offset, size_t size) {
        const size_t h = headersAt + size_t(index) * 64;
        PutLE(f, h, nameAt, 4);
        PutLE(f, h + 0x18, offset, 8);
        PutLE(f, h + 0x20, size, 8);
    };
    section(1, 1, dataAt, contents.size());
    section(2, uint32_t(2 + name.size()), namesAt, names.size());
    return f;
}

std::string Entry(const std::string& key, const std::string& value)
{
    std::string e;
    e += char(key.size() & 0xFF);
    e += char(key.size() >> 8);
    e += key;
    e += char(value.size() & 0xFF);
    e += char(value.size() >> 8);
    e += value;
    return e;
}

struct VersionStrings {
    std::string v[8] = {"a", "b", "c", "d", "e", "f", "g", "h"};
    bool Read(const std::string& file)
    {
        return ReadVersionInfo(file, v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7]);
    }
    bool Unchanged() const { return v[0] == "a" && v[3] == "d" && v[7] == "h"; }
};

} // namespace

TEST(WindowsTool, ShowLastErrorUsesTheInstalledDisplay)
{
    std::string shown;
    SetErrorDisplay([&](const std::string& text) { shown = text; });
    EXPECT_FALSE(ShowLastError("Somewhere", 0));
    EXPECT_TRUE(shown.empty());
    EXPECT_TRUE(ShowLastError("Somewhere", ENOENT));
    EXPECT_EQ(shown, std::string("Somewhere\r\n") + std::strerror(ENOENT));
    SetErrorDisplay([](const std::string& text) { std::printf("%s\n", text.c_str()); });
}

TEST(WindowsTool, VersionComesFromTheKernel)
{
    const TWindowsVersionInfo info = GetWindowsVersion();
    EXPECT_EQ(info.Platform, 1);
    EXPECT_GE(info.MajorVersion, 2u);
    EXPECT_FALSE(info.CSDVersion.empty());
    EXPECT_LE(info.CSDVersion.size(), 128u);
}

TEST(WindowsTool, ReadVersionInfoOfTheProgramFile)
{
    VersionStrings s;
    ASSERT_TRUE(s.Read("/proc/self/exe"));
    EXPECT_EQ(s.v[6], "Lumenfall");
    EXPECT_EQ(s.v[2], LUMENFALL_VERSION);
    EXPECT_EQ(s.v[5], "lumenfall");
    EXPECT_NE(s.v[4].find("Copyright"), std::string::npos);
}

TEST(WindowsTool, ReadVersionInfoWithoutDataOrTranslation)
{
    ScratchFolder folder;
    VersionStrings s;
    folder.Touch("plain.txt", "no version data here");
    EXPECT_FALSE(s.Read((folder.path / "plain.txt").string()));
    EXPECT_FALSE(s.Read((folder.path / "missing").string()));
    folder.Touch("other.elf", ElfWithSection(".text", "code"));
    EXPECT_FALSE(s.Read((folder.path / "other.elf").string()));
    EXPECT_TRUE(s.Unchanged());

    // Version data whose strings exist but without a translation entry.
    const std::string blob = "LFVI" + Entry("\\StringFileInfo\\040904E4\\ProductName", "Other") + std::string(2, '\0');
    folder.Touch("untranslated.elf", ElfWithSection(kVersionSectionName, blob));
    EXPECT_TRUE(s.Read((folder.path / "untranslated.elf").string()));
    EXPECT_TRUE(s.Unchanged());

    // Zero bytes are dropped from the strings; missing strings leave their output alone.
    const std::string translated = "LFVI" + Entry("\\VarFileInfo\\Translation", std::string("\x07\x04\xB0\x04", 4)) +
                                   Entry("\\StringFileInfo\\040704B0\\ProductName", std::string("Li\0cht\0", 7)) +
                                   std::string(2, '\0');
    folder.Touch("german.elf", ElfWithSection(kVersionSectionName, translated));
    EXPECT_TRUE(s.Read((folder.path / "german.elf").string()));
    EXPECT_EQ(s.v[6], "Licht");
    EXPECT_EQ(s.v[0], "a");

    // A damaged file is no version data, not a crash.
    std::string damaged = ElfWithSection(kVersionSectionName, translated);
    damaged.resize(damaged.size() - 100);
    folder.Touch("damaged.elf", damaged);
    VersionStrings fresh;
    EXPECT_FALSE(fresh.Read((folder.path / "damaged.elf").string()));
}

TEST(WindowsTool, ListFilesMatchesMasksAndAppends)
{
    ScratchFolder folder;
    folder.Touch("A.lmx");
    folder.Touch("Long name.lmx");
    folder.Touch("Upper.LMX");
    folder.Touch("notes.txt");
    folder.Touch(".hidden.lmx");
    fs::create_directory(folder.path / "dir.lmx");

    std::vector<std::string> list = {"kept"};
    ListFiles((folder.path / "*.zzz").string(), faAnyFile & ~faDirectory, list);
    EXPECT_EQ(list, std::vector<std::string>{"kept"});

    ListFiles((folder.path / "*.lmx").string(), faArchive, list);
    std::sort(list.begin(), list.end());
    EXPECT_EQ(list, (std::vector<std::string>{"A.lmx", "Long name.lmx", "Upper.LMX", "kept"}));

    list.clear();
    ListFiles((folder.path / "*.lmx").string(), faAnyFile, list);
    EXPECT_EQ(list.size(), 5u);

    list.clear();
    ListFiles((folder.path / "?.lmx").string(), faAnyFile, list);
    EXPECT_EQ(list, std::vector<std::string>{"A.lmx"});

    list.clear();
    ListFiles((folder.path / "nowhere" / "*").string(), faAnyFile, list);
    EXPECT_TRUE(list.empty());
}

TEST(WindowsTool, TempDirectoryEndsWithADelimiter)
{
    const std::string temp = GetTempDirectory();
    ASSERT_FALSE(temp.empty());
    EXPECT_EQ(temp.back(), '/');
    EXPECT_TRUE(fs::is_directory(temp));
}
