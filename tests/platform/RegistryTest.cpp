#include "platform/Registry.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string ReadFile(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteFile(const fs::path& file, std::string_view text)
{
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << text;
}

// The message of the ERegistryException that body raises, or "" when it raises none.
template <typename Body>
std::string RaisedMessage(Body body)
{
    try {
        body();
    } catch (const ERegistryException& e) {
        return e.Message();
    }
    return "";
}

// Each test gets its own pair of hive files and collects what the user would be told.
class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Unique per run too: a repeated test must not meet the notices of its earlier run.
        static int run = 0;
        folder_ = fs::temp_directory_path() /
                  ("lumenfall-registry-" + std::to_string(::getpid()) + "-" + std::to_string(++run) + "-" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder_);
        userHive_ = folder_ / "config" / "user.reg";
        machineHive_ = folder_ / "share" / "machine.reg";
        ::setenv("LUMENFALL_USER_HIVE", userHive_.c_str(), 1);
        ::setenv("LUMENFALL_MACHINE_HIVE", machineHive_.c_str(), 1);
        previousNotifier_ = SetRegistryNotifier([this](const std::string& message) { told_.push_back(message); });
    }

    void TearDown() override
    {
        SetRegistryNotifier(previousNotifier_);
        ::unsetenv("LUMENFALL_USER_HIVE");
        ::unsetenv("LUMENFALL_MACHINE_HIVE");
        fs::remove_all(folder_);
    }

    std::vector<fs::path> DamagedCopies() const
    {
        std::vector<fs::path> copies;
        for (const auto& entry : fs::directory_iterator(userHive_.parent_path()))
            if (entry.path().filename().string().starts_with("user.damaged-"))
                copies.push_back(entry.path());
        return copies;
    }

    fs::path folder_, userHive_, machineHive_;
    std::vector<std::string> told_;
    TRegistryNotifier previousNotifier_;
};

TEST_F(RegistryTest, ReadsEditorFilesWithContinuationsCommentsOddCaseAndNonAsciiText)
{
    WriteFile(userHive_, "\xEF\xBB\xBF; written by hand\r\n"
                         "Windows Registry Editor Version 5.00\r\n"
                         "\r\n"
                         "[HKEY_CURRENT_USER\\Software\\Quenwick\\ORBX]\r\n"
                         "\"FirstStart\"=dword:00000000\r\n"
                         "; a comment between values\r\n"
                         "\"WaveStartPos\"=hex:00,00,00,00,\\\r\n"
                         "    00,00,f0,3f\r\n"
                         "@=\"default\"\r\n"
                         "\"Gone\"=dword:1\r\n"
                         "\"Gone\"=-\r\n"
                         "[hkey_current_user\\SOFTWARE\\quenwick\\orbx\\Texts\\Grüße]\n"
                         "\"Text\" = \"Grüße aus \\\"Köln\\\" in C:\\\\Temp\\\\ or C:\\Windows\"\n"
                         "\"FontStyle\"=hex:5\n"
                         "\"Untyped\"=hex(0):\n"
                         "\"Multi\"=hex(7):61,00,62,00,00,00\n"
                         "[HKEY_CURRENT_USER\\Software\\Old]\n"
                         "[-HKEY_CURRENT_USER\\Software\\Old]\n");
    TRegistry reg(KEY_READ);
    ASSERT_TRUE(reg.OpenKey("software\\QUENWICK\\orbx", false));
    EXPECT_EQ(reg.ReadInteger("firststart"), 0);
    EXPECT_EQ(reg.ReadFloat("WAVESTARTPOS"), 1.0);
    EXPECT_EQ(reg.ReadString(""), "default");
    EXPECT_FALSE(reg.ValueExists("Gone"));
    EXPECT_EQ(reg.GetValueNames(), (std::vector<std::string>{"FirstStart", "WaveStartPos", ""}));
    EXPECT_EQ(reg.GetKeyNames(), std::vector<std::string>{"Texts"});
    EXPECT_FALSE(reg.KeyExists("\\Software\\Old"));

    ASSERT_TRUE(reg.OpenKey("texts\\grÜße", false));
    EXPECT_EQ(reg.CurrentPath(), "software\\QUENWICK\\orbx\\texts\\grÜße");
    EXPECT_EQ(reg.ReadString("Text"), "Grüße aus \"Köln\" in C:\\Temp\\ or C:\\Windows");
    uint8_t bytes[4] = {9, 9, 9, 9};
    EXPECT_EQ(reg.ReadBinaryData("FontStyle", bytes, 1), 1u);
    EXPECT_EQ(bytes[0], 5);
    EXPECT_EQ(reg.ReadBinaryData("Untyped", bytes, 4), 0u);
    EXPECT_EQ(reg.GetDataType("Multi"), TRegDataType::rdUnknown);
    EXPECT_EQ(reg.GetDataSize("Multi"), 6);
    EXPECT_TRUE(told_.empty());

    // Writing keeps the first spelling of every name and the unknown type as it was.
    reg.SetAccess(KEY_ALL_ACCESS);
    reg.WriteInteger("FONTSTYLE", 1);
    reg.CloseKey();
    const std::string saved = ReadFile(userHive_);
    EXPECT_TRUE(saved.starts_with("REGEDIT4\n"));
    EXPECT_NE(saved.find("[HKEY_CURRENT_USER\\Software\\Quenwick\\ORBX\\Texts\\Grüße]\n"
                         "\"Text\"=\"Grüße aus \\\"Köln\\\" in C:\\\\Temp\\\\ or C:\\\\Windows\"\n"
                         "\"FontStyle\"=dword:00000001\n"
                         "\"Untyped\"=hex(0):\n"
                         "\"Multi\"=hex(7):61,00,62,00,00,00\n"),
              std::string::npos)
        << saved;
}

TEST(HiveTest, WritesDeterministicallyAndReadsItsOwnOutputBack)
{
    THive hive(HKEY_CURRENT_USER);
    hive.SetValue("Software\\b", "Z", TRegData::Dword(30));
    hive.SetValue("Software\\B", "a", TRegData::String("x\"y\\z"));
    hive.SetValue("software\\A", "", TRegData::String("default"));
    hive.SetValue("Software\\b", "z", TRegData::Dword(31));
    std::vector<uint8_t> counting(40);
    for (size_t i = 0; i < counting.size(); ++i)
        counting[i] = uint8_t(i);
    hive.SetValue("Software\\b", "Long", TRegData::Binary(counting.data(), counting.size()));
    hive.SetValue("Software\\b", "Lines", TRegData::String("one\ntwo"));
    hive.SetValue("Software\\b", "Float", TRegData::Float(1.0));
    hive.CreateKey("Software\\_Empty");

    const std::string expected =
        "REGEDIT4\n"
        "\n[HKEY_CURRENT_USER]\n"
        "\n[HKEY_CURRENT_USER\\Software]\n"
        "\n[HKEY_CURRENT_USER\\Software\\A]\n"
        "@=\"default\"\n"
        "\n[HKEY_CURRENT_USER\\Software\\b]\n"
        "\"Z\"=dword:0000001f\n"
        "\"a\"=\"x\\\"y\\\\z\"\n"
        "\"Long\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,\\\n"
        "  16,17,18,19,1a,1b,1c,1d,1e,1f,20,21,22,23,24,25,26,27\n"
        "\"Lines\"=hex(1):6f,6e,65,0a,74,77,6f,00\n"
        "\"Float\"=hex:00,00,00,00,00,00,f0,3f\n"
        "\n[HKEY_CURRENT_USER\\Software\\_Empty]\n"
        "\n";
    EXPECT_EQ(hive.Format(), expected);
    EXPECT_EQ(THive::Parse(expected, HKEY_CURRENT_USER, "test").Format(), expected);
}

TEST_F(RegistryTest, RoundTripsEveryTypeThroughTheFile)
{
    const std::vector<std::string> texts = {"", "Ünïcödé ✓ 日本", "quote \" backslash \\ end\\",
                                            "two\nlines\r\n"};
    const std::vector<double> floats = {-0.0, 1e300, 4.9e-324, NAN};
    std::vector<uint8_t> block(300);
    for (size_t i = 0; i < block.size(); ++i)
        block[i] = uint8_t(i * 7);
    {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey("Types", true));
        reg.WriteInteger("Min", INT32_MIN);
        reg.WriteInteger("Max", INT32_MAX);
        reg.WriteBool("Yes", true);
        reg.WriteBool("No", false);
        for (size_t i = 0; i < texts.size(); ++i)
            reg.WriteString("Text" + std::to_string(i), texts[i]);
        for (size_t i = 0; i < floats.size(); ++i)
            reg.WriteFloat("Float" + std::to_string(i), floats[i]);
        reg.WriteBinaryData("Block", block.data(), block.size());
        reg.WriteBinaryData("Nothing", nullptr, 0);
        reg.WriteString("", "default");
    }
    TRegistry reg(KEY_READ);
    ASSERT_TRUE(reg.OpenKey("types", false));
    EXPECT_EQ(reg.ReadInteger("Min"), INT32_MIN);
    EXPECT_EQ(reg.ReadInteger("Max"), INT32_MAX);
    EXPECT_TRUE(reg.ReadBool("Yes"));
    EXPECT_FALSE(reg.ReadBool("No"));
    for (size_t i = 0; i < texts.size(); ++i)
        EXPECT_EQ(reg.ReadString("Text" + std::to_string(i)), texts[i]);
    EXPECT_EQ(reg.GetDataSize("Text1"), int32_t(texts[1].size() + 1));
    for (size_t i = 0; i < floats.size(); ++i)
        EXPECT_EQ(std::bit_cast<uint64_t>(reg.ReadFloat("Float" + std::to_string(i))),
                  std::bit_cast<uint64_t>(floats[i]));
    std::vector<uint8_t> read(block.size());
    EXPECT_EQ(reg.ReadBinaryData("Block", read.data(), read.size()), block.size());
    EXPECT_EQ(read, block);
    EXPECT_EQ(reg.ReadBinaryData("Nothing", read.data(), 0), 0u);
    EXPECT_EQ(reg.ReadString(""), "default");
    EXPECT_EQ(reg.GetDataType("Yes"), TRegDataType::rdInteger);
    EXPECT_EQ(reg.GetDataType("Text0"), TRegDataType::rdString);
    EXPECT_EQ(reg.GetDataType("Block"), TRegDataType::rdBinary);
}

TEST_F(RegistryTest, MissingAndMistypedValuesRaiseNamingTheValue)
{
    TRegistry reg;
    EXPECT_NE(RaisedMessage([&] { reg.ReadInteger("Width"); }).find("'Width'"), std::string::npos);
    EXPECT_EQ(reg.ReadString("Name"), "");
    ASSERT_TRUE(reg.OpenKey("Preset", true));
    const uint8_t four[4] = {0, 0, 0x80, 0x3f};
    reg.WriteBinaryData("Speed4", four, 4);
    reg.WriteInteger("SpeedDword", 1);
    reg.WriteString("Label", "x");
    uint8_t nine[9] = {};
    reg.WriteBinaryData("Waves", nine, 9);

    EXPECT_EQ(RaisedMessage([&] { reg.ReadInteger("Width"); }),
              "TRegistry.ReadInteger : Failed to get data for 'Width': no such value in \"Preset\"");
    EXPECT_EQ(RaisedMessage([&] { reg.ReadFloat("Speed4"); }),
              "TRegistry.ReadFloat : Invalid data type for 'Speed4': REG_BINARY of 4 bytes, expected REG_BINARY "
              "of 8 bytes");
    EXPECT_NE(RaisedMessage([&] { reg.ReadFloat("SpeedDword"); }).find("'SpeedDword'"), std::string::npos);
    EXPECT_NE(RaisedMessage([&] { reg.ReadFloat("Waves"); }).find("'Waves'"), std::string::npos);
    EXPECT_NE(RaisedMessage([&] { reg.ReadBool("Label"); }).find("'Label'"), std::string::npos);
    EXPECT_NE(RaisedMessage([&] { reg.ReadString("SpeedDword"); }).find("'SpeedDword'"), std::string::npos);
    EXPECT_EQ(reg.ReadString("Missing"), "");

    // A block fills the start of a larger buffer and must not overrun a smaller one.
    uint8_t buffer[8] = {7, 7, 7, 7, 7, 7, 7, 7};
    EXPECT_EQ(reg.ReadBinaryData("Speed4", buffer, sizeof buffer), 4u);
    EXPECT_EQ(buffer[3], 0x3f);
    EXPECT_EQ(buffer[4], 7);
    buffer[0] = 7;
    EXPECT_NE(RaisedMessage([&] { reg.ReadBinaryData("Waves", buffer, sizeof buffer); }).find("'Waves'"),
              std::string::npos);
    EXPECT_EQ(buffer[0], 7);
    EXPECT_NE(RaisedMessage([&] { reg.ReadBinaryData("Label", buffer, sizeof buffer); }), "");
    EXPECT_NE(RaisedMessage([&] { reg.ReadBinaryData("Absent", buffer, sizeof buffer); }).find("'Absent'"),
              std::string::npos);
}

TEST_F(RegistryTest, PathsAreRelativeToTheOpenKeyUnlessTheyStartAtTheRoot)
{
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("Software\\Quenwick", true));
    ASSERT_TRUE(reg.OpenKey("ORBX\\Logos", true));
    EXPECT_EQ(reg.CurrentPath(), "Software\\Quenwick\\ORBX\\Logos");
    EXPECT_TRUE(reg.KeyExists("\\software\\quenwick"));
    EXPECT_FALSE(reg.KeyExists("Software"));
    EXPECT_FALSE(reg.OpenKey("Missing", false));
    EXPECT_EQ(reg.CurrentPath(), "Software\\Quenwick\\ORBX\\Logos");

    for (const char* name : {"b", "_ActiveLogo", "A"})
        ASSERT_TRUE(reg.OpenKey(std::string("\\Software\\Quenwick\\ORBX\\Logos\\") + name, true));
    ASSERT_TRUE(reg.OpenKey("\\Software\\Quenwick\\ORBX\\Logos", false));
    EXPECT_EQ(reg.GetKeyNames(), (std::vector<std::string>{"A", "b", "_ActiveLogo"}));
    reg.WriteInteger("Zeta", 1);
    reg.WriteInteger("Alpha", 2);
    reg.WriteInteger("zeta", 3);
    EXPECT_EQ(reg.GetValueNames(), (std::vector<std::string>{"Zeta", "Alpha"}));
    EXPECT_TRUE(reg.DeleteValue("ALPHA"));
    EXPECT_FALSE(reg.DeleteValue("Alpha"));

    ASSERT_TRUE(reg.OpenKey("b\\Deep", true));
    EXPECT_TRUE(reg.DeleteKey("\\Software\\Quenwick\\ORBX\\Logos\\B"));
    EXPECT_FALSE(reg.KeyExists("\\Software\\Quenwick\\ORBX\\Logos\\b"));
    EXPECT_NE(RaisedMessage([&] { reg.WriteInteger("X", 1); }).find("no longer exists"), std::string::npos);
    EXPECT_FALSE(reg.DeleteKey("\\"));
    reg.CloseKey();

    TRegistry reader(KEY_READ);
    ASSERT_TRUE(reader.OpenKey("Software\\Quenwick\\ORBX\\Logos", false));
    EXPECT_EQ(reader.GetKeyNames(), (std::vector<std::string>{"A", "_ActiveLogo"}));
    EXPECT_EQ(reader.ReadInteger("zeta"), 3);
}

TEST_F(RegistryTest, ReadAccessAndTheMachineHiveRefuseChanges)
{
    const std::string machine = "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Quenwick\\ORBX]\n\"Help\"=\"h.chm\"\n";
    WriteFile(machineHive_, machine);

    TRegistry reg(KEY_READ);
    // As with the platform's read handle, a missing key is still created in the user hive.
    ASSERT_TRUE(reg.OpenKey("Software\\Quenwick\\ORBX\\Logos\\_ActiveLogo", true));
    EXPECT_NE(RaisedMessage([&] { reg.WriteInteger("X", 1); }).find("reading only"), std::string::npos);
    reg.SetAccess(KEY_ALL_ACCESS);
    reg.WriteInteger("X", 1);
    EXPECT_TRUE(reg.OpenKeyReadOnly("\\Software\\Quenwick\\ORBX\\Logos\\_ActiveLogo"));
    EXPECT_EQ(reg.Access(), KEY_READ);
    EXPECT_FALSE(reg.DeleteValue("X"));

    reg.SetRootKey(HKEY_LOCAL_MACHINE);
    EXPECT_TRUE(fs::exists(userHive_));
    reg.SetAccess(KEY_ALL_ACCESS);
    EXPECT_FALSE(reg.KeyExists("Software\\Quenwick\\ORBX\\Logos"));
    EXPECT_FALSE(reg.OpenKey("Software\\New", true));
    ASSERT_TRUE(reg.OpenKey("Software\\Quenwick\\ORBX", true));
    EXPECT_EQ(reg.ReadString("help"), "h.chm");
    EXPECT_NE(RaisedMessage([&] { reg.WriteString("Help", "x"); }).find("machine hive is read-only"),
              std::string::npos);
    EXPECT_FALSE(reg.DeleteValue("Help"));
    EXPECT_FALSE(reg.DeleteKey("\\Software\\Quenwick"));
    reg.CloseKey();
    EXPECT_EQ(ReadFile(machineHive_), machine);
}

TEST_F(RegistryTest, ChangesAreSavedOnCloseAndDestructionNotPerValue)
{
    {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey("Batch", true));
        for (int i = 0; i < 60; ++i)
            reg.WriteInteger("V" + std::to_string(i), i);
        EXPECT_FALSE(fs::exists(userHive_));
        reg.CloseKey();
        EXPECT_TRUE(fs::exists(userHive_));
        ASSERT_TRUE(reg.OpenKey("Batch", false));
        reg.WriteString("Last", "kept by the destructor");
    }
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("Batch", false));
    EXPECT_EQ(reg.GetValueNames().size(), 61u);
    EXPECT_EQ(reg.ReadString("Last"), "kept by the destructor");
}

TEST_F(RegistryTest, AHiveBehindALinkIsSavedToItsTargetWithItsModeAndLockBesideIt)
{
    const fs::path real = folder_ / "dotfiles" / "user.reg";
    WriteFile(real, "REGEDIT4\r\n");
    fs::permissions(real, fs::perms::owner_read | fs::perms::owner_write);
    fs::create_directories(userHive_.parent_path());
    fs::create_symlink("../dotfiles/user.reg", userHive_);
    {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey("Linked", true));
        reg.WriteInteger("Value", 7);
    }
    EXPECT_TRUE(fs::is_symlink(userHive_));
    EXPECT_NE(ReadFile(real).find("\"Value\"=dword:00000007"), std::string::npos);
    EXPECT_EQ(fs::status(real).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_TRUE(fs::exists(folder_ / "dotfiles" / "user.reg.lock"));
    EXPECT_TRUE(told_.empty());
}

TEST_F(RegistryTest, SavesApplyOnlyTheirOwnChangesToTheHiveAsItIsNow)
{
    TRegistry early;
    ASSERT_TRUE(early.OpenKey("Shared", true));
    early.WriteInteger("Common", 1);
    early.CloseKey();
    ASSERT_TRUE(early.OpenKey("Shared", false));
    {
        TRegistry other;
        ASSERT_TRUE(other.OpenKey("Shared", false));
        other.WriteInteger("FromOther", 2);
        other.WriteInteger("Common", 3);
        ASSERT_TRUE(other.OpenKey("\\Elsewhere", true));
    }
    early.WriteInteger("FromEarly", 4);
    early.CloseKey();

    TRegistry reg(KEY_READ);
    ASSERT_TRUE(reg.OpenKey("Shared", false));
    EXPECT_EQ(reg.ReadInteger("FromOther"), 2);
    EXPECT_EQ(reg.ReadInteger("FromEarly"), 4);
    EXPECT_EQ(reg.ReadInteger("Common"), 3);
    EXPECT_TRUE(reg.KeyExists("\\Elsewhere"));
}

TEST_F(RegistryTest, TwoProcessesWritingTheSameHiveLoseNothing)
{
    constexpr int kWrites = 40;
    auto writeValues = [](const std::string& prefix) {
        for (int i = 0; i < kWrites; ++i) {
            TRegistry reg;
            if (!reg.OpenKey("Software\\Quenwick\\ORBX", true))
                throw ERegistryException("cannot open");
            reg.WriteInteger(prefix + std::to_string(i), i);
            reg.CloseKey();
        }
    };
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        int status = 0;
        try {
            writeValues("Child");
        } catch (...) {
            status = 1;
        }
        ::_exit(status);
    }
    writeValues("Parent");
    int status = -1;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    TRegistry reg(KEY_READ);
    ASSERT_TRUE(reg.OpenKey("Software\\Quenwick\\ORBX", false));
    for (int i = 0; i < kWrites; ++i) {
        EXPECT_EQ(reg.ReadInteger("Child" + std::to_string(i)), i);
        EXPECT_EQ(reg.ReadInteger("Parent" + std::to_string(i)), i);
    }
}

TEST_F(RegistryTest, DamagedUserHiveIsKeptAsideAndTheUserTold)
{
    const std::string damaged = "REGEDIT4\n\n[HKEY_CURRENT_USER\\A]\n\"X\"=dword:1\n\"Y\"=hex:01,zz\n";
    WriteFile(userHive_, damaged);
    {
        TRegistry reg;
        EXPECT_FALSE(reg.OpenKey("A", false));
        ASSERT_EQ(told_.size(), 1u);
        EXPECT_NE(told_[0].find(userHive_.string() + "\" line 5"), std::string::npos) << told_[0];
        const std::vector<fs::path> copies = DamagedCopies();
        ASSERT_EQ(copies.size(), 1u);
        EXPECT_EQ(copies[0].extension(), ".reg");
        EXPECT_NE(told_[0].find(copies[0].string()), std::string::npos);
        EXPECT_EQ(ReadFile(copies[0]), damaged);

        ASSERT_TRUE(reg.OpenKey("A", true));
        reg.WriteInteger("X", 2);
    }
    EXPECT_EQ(THive::LoadFromFile(userHive_, HKEY_CURRENT_USER).FindValue("A", "X")->Bytes[0], 2);
    EXPECT_EQ(DamagedCopies().size(), 1u);
    EXPECT_EQ(told_.size(), 1u);
}

TEST_F(RegistryTest, DamagedHiveFoundWhenSavingIsAlsoKeptAside)
{
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("A", true));
    WriteFile(userHive_, "not a hive");
    reg.WriteInteger("X", 1);
    reg.CloseKey();
    ASSERT_EQ(DamagedCopies().size(), 1u);
    EXPECT_EQ(ReadFile(DamagedCopies()[0]), "not a hive");
    EXPECT_EQ(told_.size(), 1u);
    EXPECT_TRUE(THive::LoadFromFile(userHive_, HKEY_CURRENT_USER).FindValue("A", "X"));
}

TEST_F(RegistryTest, DamagedMachineHiveIsReportedButNeverMoved)
{
    WriteFile(machineHive_, "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software\n");
    TRegistry reg(KEY_READ);
    reg.SetRootKey(HKEY_LOCAL_MACHINE);
    EXPECT_FALSE(reg.KeyExists("Software"));
    ASSERT_EQ(told_.size(), 1u);
    EXPECT_NE(told_[0].find(machineHive_.string() + "\" line 2"), std::string::npos) << told_[0];
    EXPECT_EQ(ReadFile(machineHive_), "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software\n");
}

TEST(HiveTest, DamageIsReportedWithSourceAndLine)
{
    const struct {
        const char* text;
        int line;
    } cases[] = {
        {"[HKEY_CURRENT_USER\\A]\n", 1},
        {"REGEDIT4\n\n[HKEY_CURRENT_USER\\A]\n\"X\"=hex:01,02,\\\n  03,4g\n", 5},
        {"REGEDIT4\n\"X\"=dword:1\n", 2},
        {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n", 2},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"X\"=\"open\n", 3},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"X\"=hex:01,\\\n", 3},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"X\"=dword:123456789\n", 3},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"X\"=word:1\n", 3},
        {"\xFF\xFER\0E\0", 1},
    };
    for (const auto& c : cases) {
        const std::string message = RaisedMessage([&] { THive::Parse(c.text, HKEY_CURRENT_USER, "src.reg"); });
        EXPECT_TRUE(message.starts_with("THive.Parse : \"src.reg\" line " + std::to_string(c.line) + ": "))
            << c.text << " -> " << message;
    }
    EXPECT_EQ(THive::Parse(" \n; nothing yet\n", HKEY_CURRENT_USER, "src.reg").KeyNames(""),
              std::vector<std::string>{});
}

TEST_F(RegistryTest, HiveFilesFollowTheEnvironment)
{
    EXPECT_EQ(HiveFileName(HKEY_CURRENT_USER), userHive_.string());
    EXPECT_EQ(HiveFileName(HKEY_LOCAL_MACHINE), machineHive_.string());
    ::unsetenv("LUMENFALL_USER_HIVE");
    const char* previous = std::getenv("XDG_CONFIG_HOME");
    const std::optional<std::string> saved = previous ? std::optional<std::string>(previous) : std::nullopt;
    ::setenv("XDG_CONFIG_HOME", "/somewhere/config", 1);
    EXPECT_EQ(HiveFileName(HKEY_CURRENT_USER), "/somewhere/config/lumenfall/user.reg");
    if (saved)
        ::setenv("XDG_CONFIG_HOME", saved->c_str(), 1);
    else
        ::unsetenv("XDG_CONFIG_HOME");
}

} // namespace
