#include "kinds/LumenfallCfg.h"

#include "persistence/RegistryPropertyBag.h"
#include "persistence/TemporaryHives.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>

namespace fs = std::filesystem;

namespace {

const std::string kWavesKey = "Software\\Quenwick\\ORBX\\Waves";

// The registry values of a preset in the order they are written and read.
const std::vector<std::string> kRegistryOrder = {
    "FormatVersion", "ParticleCount", "MotionBlur",  "SmoothFilter", "TransMapFilter", "RenderMode",
    "TransMapMode",  "TransMapStyle", "ZoomCenterX", "ZoomCenterY",  "SinMagicParams", "SinMagicParams2",
    "Waves",         "Speed",         "Pos",         "BaseRed",      "BaseGreen",      "BaseBlue",
    "AmpRed",        "AmpGreen",      "AmpBlue",     "FreqRed",      "FreqGreen",      "FreqBlue",
    "ShiftRed",      "ShiftGreen",    "ShiftBlue",   "Angle.X",      "Angle.Y",        "Angle.Z",
    "Rot.X",         "Rot.Y",         "Rot.Z",       "Width",        "Height"};


// Every field different from its default and from every other field.
std::unique_ptr<TWaveConfig> MakeConfig()
{
    auto c = std::make_unique<TWaveConfig>();
    c->Name = "Spiral";
    c->ParticleCount = 4321;
    c->MotionBlur = 5;
    c->SmoothFilter = true;
    c->TransMapFilter = true;
    // Outside its names: kept as read everywhere.
    c->RenderMode = TRenderMode(7);
    c->TransMapMode = TTransMapMode::tmmApplyAfter;
    c->TransMapStyle = TTransMapStyle::tmsWavedZoomCombined;
    c->ZoomCenterX = 33;
    c->ZoomCenterY = 66;
    float next = 0.125f;
    for (float* f : {&c->Speed, &c->Pos, &c->BaseRed, &c->BaseGreen, &c->BaseBlue, &c->AmpRed, &c->AmpGreen,
                     &c->AmpBlue, &c->FreqRed, &c->FreqGreen, &c->FreqBlue, &c->ShiftRed, &c->ShiftGreen,
                     &c->ShiftBlue, &c->Angle.X, &c->Angle.Y, &c->Angle.Z, &c->Rot.X, &c->Rot.Y, &c->Rot.Z}) {
        *f = next;
        next += 1.1f;
    }
    for (auto& wave : c->Waves)
        for (TWaveComponent& w : wave) {
            w = {next, next + 1, next + 2, next + 3, next + 4, next + 5, next + 6};
            next += 7.3f;
        }
    for (size_t row = 0; row < 4; ++row)
        for (size_t column = 0; column < 4; ++column) {
            c->SinMagicParams[row][column] = float(row * 4 + column) + 0.5f;
            c->SinMagicParams2[row][column] = -float(row * 4 + column) - 0.25f;
        }
    c->Width = 640;
    c->Height = 480;
    return c;
}

TSinMagicParams Marker(float value)
{
    TSinMagicParams params{};
    for (auto& row : params)
        row.fill(value);
    return params;
}

void ExpectSameVector(const TVector3d& a, const TVector3d& b)
{
    EXPECT_EQ(a.X, b.X);
    EXPECT_EQ(a.Y, b.Y);
    EXPECT_EQ(a.Z, b.Z);
}

// Published properties by their text, then the inner state.
void ExpectSameConfig(const TWaveConfig& actual, const TWaveConfig& expected)
{
    for (int i = 0; i < expected.PropertyCount(); ++i)
        EXPECT_EQ(PropertyValueToText(actual.GetPropertyValue(i)), PropertyValueToText(expected.GetPropertyValue(i)))
            << expected.PropertyInfo(i).Name();
    EXPECT_EQ(actual.Waves, expected.Waves);
    ExpectSameVector(actual.Angle, expected.Angle);
    ExpectSameVector(actual.Rot, expected.Rot);
    EXPECT_EQ(actual.SinMagicParams, expected.SinMagicParams);
    EXPECT_EQ(actual.SinMagicParams2, expected.SinMagicParams2);
}

std::vector<uint8_t> ReadBytes(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const fs::path& file, const std::vector<uint8_t>& bytes)
{
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

int32_t Int32At(const std::vector<uint8_t>& bytes, size_t offset)
{
    return int32_t(bytes[offset] | bytes[offset + 1] << 8 | bytes[offset + 2] << 16 | uint32_t(bytes[offset + 3]) << 24);
}

float SingleAt(const std::vector<uint8_t>& bytes, size_t offset) { return std::bit_cast<float>(Int32At(bytes, offset)); }

void PutInt32At(std::vector<uint8_t>& bytes, size_t offset, int32_t value)
{
    for (size_t i = 0; i < 4; ++i)
        bytes[offset + i] = uint8_t(uint32_t(value) >> (8 * i));
}

template <class F>
std::string RaisedMessage(F body)
{
    try {
        body();
    } catch (const EWaveConfigError& e) {
        return e.Message();
    }
    return "";
}

class LumenfallCfgTest : public ::testing::Test {
protected:
    fs::path File(const std::string& name) const { return hives_.Folder() / name; }

    // The stored preset's key, changed in place.
    void EditKey(const std::string& name, const std::function<void(TRegistry&)>& change)
    {
        TRegistry registry;
        ASSERT_TRUE(registry.OpenKey(kWavesKey + "\\" + name, false));
        change(registry);
        registry.CloseKey();
    }

    TTemporaryHives hives_{"waves"};
};

TEST_F(LumenfallCfgTest, NewPresetFileHasTheVersionThreeLayout)
{
    const TWaveConfig config;
    config.SaveToFile(File("Fresh.lmx"));
    const std::vector<uint8_t> bytes = ReadBytes(File("Fresh.lmx"));
    ASSERT_EQ(bytes.size(), WaveFileSize);
    EXPECT_EQ(Int32At(bytes, 0), 3);
    EXPECT_EQ(Int32At(bytes, 4), 200);
    EXPECT_EQ(SingleAt(bytes, 159), 90.0f);       // wave 0, X, Phase
    EXPECT_EQ(SingleAt(bytes, 159 + 28 + 4), 128.0f); // wave 0, Y, AMBase
    EXPECT_EQ(SingleAt(bytes, 411), 0.05f);       // Speed
    EXPECT_EQ(Int32At(bytes, 491), 256);
    EXPECT_EQ(Int32At(bytes, 495), 256);

    const std::unique_ptr<TWaveConfig> source = MakeConfig();
    source->SaveToFile(File("Spiral Galaxy.lmx"));
    const std::vector<uint8_t> full = ReadBytes(File("Spiral Galaxy.lmx"));
    EXPECT_EQ(full[12], 1);
    EXPECT_EQ(full[14], 7);
    EXPECT_EQ(Int32At(full, 15), int32_t(TTransMapMode::tmmApplyAfter));
    EXPECT_EQ(Int32At(full, 19), int32_t(TTransMapStyle::tmsWavedZoomCombined));
    EXPECT_EQ(SingleAt(full, 411 + 4 * 14), source->Angle.X);

    TWaveConfig read;
    read.LoadFromFile(File("Spiral Galaxy.lmx"));
    source->Name = "Spiral Galaxy";
    ExpectSameConfig(read, *source);
}

TEST_F(LumenfallCfgTest, OlderFileVersionsReadWithTheirDefaults)
{
    const std::unique_ptr<TWaveConfig> source = MakeConfig();
    source->SaveToFile(File("v3.lmx"));
    std::vector<uint8_t> v2 = ReadBytes(File("v3.lmx"));
    PutInt32At(v2, 0, 2);
    v2.erase(v2.begin() + 95, v2.begin() + 159);
    std::vector<uint8_t> v1 = v2;
    PutInt32At(v1, 0, 1);
    v1.erase(v1.begin() + 19, v1.begin() + 31);
    ASSERT_EQ(v2.size(), 435u);
    ASSERT_EQ(v1.size(), 423u);
    WriteBytes(File("v2.lmx"), v2);
    WriteBytes(File("v1.lmx"), v1);

    TWaveConfig read;
    read.SinMagicParams2 = Marker(7.0f);
    read.LoadFromFile(File("v2.lmx"));
    source->Name = "v2";
    source->SinMagicParams2 = Marker(7.0f);
    ExpectSameConfig(read, *source);

    read.LoadFromFile(File("v1.lmx"));
    source->Name = "v1";
    source->TransMapStyle = TTransMapStyle::tmsWaved;
    source->ZoomCenterX = 50;
    source->ZoomCenterY = 50;
    ExpectSameConfig(read, *source);
}

TEST_F(LumenfallCfgTest, ShortFileLeavesTheFieldsPastItsEndUnchanged)
{
    const std::unique_ptr<TWaveConfig> source = MakeConfig();
    source->SaveToFile(File("cut.lmx"));
    std::vector<uint8_t> bytes = ReadBytes(File("cut.lmx"));
    // Speed whole, Pos cut in the middle.
    bytes.resize(417);
    WriteBytes(File("cut.lmx"), bytes);

    TWaveConfig read;
    read.LoadFromFile(File("cut.lmx"));
    EXPECT_EQ(read.Name, "cut");
    EXPECT_EQ(read.Waves, source->Waves);
    EXPECT_EQ(read.Speed, source->Speed);
    EXPECT_EQ(read.Pos, 0.0f);
    EXPECT_EQ(read.ShiftBlue, 0.3f);
    EXPECT_EQ(read.Width, 256);
}

TEST_F(LumenfallCfgTest, FilesThatCannotBeUsedRaiseNamingTheFileAndChangeNothing)
{
    TWaveConfig config;
    const std::string missing = File("missing.lmx").string();
    EXPECT_EQ(RaisedMessage([&] { config.LoadFromFile(missing); }),
              "TWaveConfig.LoadFromFile : Cannot open file \"" + missing + "\". No such file or directory");
    const std::string noFolder = File("no folder/x.lmx").string();
    EXPECT_EQ(RaisedMessage([&] { config.SaveToFile(noFolder); }),
              "TWaveConfig.SaveToFile : Cannot create file \"" + noFolder + "\". No such file or directory");
    EXPECT_NE(RaisedMessage([&] { config.LoadFromFile(hives_.Folder().string()); }), "");

    const std::unique_ptr<TWaveConfig> source = MakeConfig();
    source->SaveToFile(File("bad.lmx"));
    std::vector<uint8_t> bytes = ReadBytes(File("bad.lmx"));
    for (const auto& [offset, value] : std::vector<std::pair<size_t, int32_t>>{{4, 0}, {4, 1000001}, {491, 0},
                                                                               {495, 16385}}) {
        std::vector<uint8_t> bad = bytes;
        PutInt32At(bad, offset, value);
        WriteBytes(File("bad.lmx"), bad);
        const std::string message = RaisedMessage([&] { config.LoadFromFile(File("bad.lmx")); });
        EXPECT_NE(message.find("The wave preset \"" + File("bad.lmx").string() + "\" has"), std::string::npos)
            << message;
        ExpectSameConfig(config, TWaveConfig());
    }
    PutInt32At(bytes, 4, 1000000);
    WriteBytes(File("bad.lmx"), bytes);
    config.LoadFromFile(File("bad.lmx"));
    EXPECT_EQ(config.ParticleCount, 1000000);
}

TEST_F(LumenfallCfgTest, SavingThroughALinkKeepsTheLinkAndTheFileMode)
{
    const std::unique_ptr<TWaveConfig> source = MakeConfig();
    fs::create_directories(File("shared"));
    source->SaveToFile(File("shared/Spiral.lmx"));
    fs::permissions(File("shared/Spiral.lmx"), fs::perms::owner_read | fs::perms::owner_write);
    fs::create_symlink("shared/Spiral.lmx", File("Spiral.lmx"));

    TWaveConfig changed;
    changed.Name = "Spiral"; // a loaded preset is named after its file
    changed.SaveToFile(File("Spiral.lmx"));
    EXPECT_TRUE(fs::is_symlink(File("Spiral.lmx")));
    EXPECT_EQ(fs::status(File("shared/Spiral.lmx")).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    TWaveConfig loaded;
    loaded.LoadFromFile(File("shared/Spiral.lmx"));
    ExpectSameConfig(loaded, changed);
}

TEST_F(LumenfallCfgTest, RegistryPresetRoundTripsInTheTableLayout)
{
    const std::unique_ptr<TWaveConfig> source = MakeConfig();
    source->SaveToRegistry(kWavesKey);

    const THive hive = THive::LoadFromFile(hives_.UserHive().string(), HKEY_CURRENT_USER);
    const std::string key = kWavesKey + "\\Spiral";
    EXPECT_EQ(hive.ValueNames(key), kRegistryOrder);
    EXPECT_EQ(*hive.FindValue(key, "FormatVersion"), TRegData::Dword(3));
    EXPECT_EQ(*hive.FindValue(key, "RenderMode"), TRegData::Dword(7));
    EXPECT_EQ(*hive.FindValue(key, "Speed"), TRegData::Float(double(source->Speed)));
    EXPECT_EQ(hive.FindValue(key, "Waves")->Bytes.size(), 252u);
    EXPECT_EQ(hive.FindValue(key, "SinMagicParams")->Type, REG_BINARY);

    TWaveConfig read;
    read.LoadFromRegistry(HKEY_CURRENT_USER, kWavesKey, "Spiral");
    ExpectSameConfig(read, *source);

    // The machine hive reads the same way.
    THive machine(HKEY_LOCAL_MACHINE);
    for (const std::string& name : hive.ValueNames(key))
        machine.SetValue(kWavesKey + "\\Installed", name, *hive.FindValue(key, name));
    machine.SaveToFile(hives_.MachineHive().string());
    TWaveConfig installed;
    installed.LoadFromRegistry(HKEY_LOCAL_MACHINE, kWavesKey, "Installed");
    source->Name = "Installed";
    ExpectSameConfig(installed, *source);
}

TEST_F(LumenfallCfgTest, OlderRegistryVersionsReadWithTheirDefaults)
{
    const std::unique_ptr<TWaveConfig> source = MakeConfig();
    source->SaveToRegistry(kWavesKey);
    // A version 2 key does not read "SinMagicParams2" even when it is there.
    EditKey("Spiral", [](TRegistry& r) { r.WriteInteger("FormatVersion", 2); });
    TWaveConfig read;
    read.SinMagicParams2 = Marker(7.0f);
    read.LoadFromRegistry(HKEY_CURRENT_USER, kWavesKey, "Spiral");
    source->SinMagicParams2 = Marker(7.0f);
    ExpectSameConfig(read, *source);

    EditKey("Spiral", [](TRegistry& r) {
        r.WriteInteger("FormatVersion", 1);
        for (const char* name : {"TransMapStyle", "ZoomCenterX", "ZoomCenterY"})
            r.DeleteValue(name);
    });
    read.LoadFromRegistry(HKEY_CURRENT_USER, kWavesKey, "Spiral");
    source->TransMapStyle = TTransMapStyle::tmsWaved;
    source->ZoomCenterX = 50;
    source->ZoomCenterY = 50;
    ExpectSameConfig(read, *source);
}

// The value of that name and all after it keep the contents of a default object.
void KeepDefaultsFrom(TWaveConfig& config, const std::string& first)
{
    const TWaveConfig defaults;
    const auto from = std::find(kRegistryOrder.begin(), kRegistryOrder.end(), first);
    ASSERT_NE(from, kRegistryOrder.end());
    for (auto name = from; name != kRegistryOrder.end(); ++name) {
        int index = 0;
        if (config.FindProperty(*name, index))
            config.SetPropertyValue(index, defaults.GetPropertyValue(index));
        else if (*name == "Waves")
            config.Waves = defaults.Waves;
        else if (*name == "SinMagicParams")
            config.SinMagicParams = defaults.SinMagicParams;
        else if (*name == "SinMagicParams2")
            config.SinMagicParams2 = defaults.SinMagicParams2;
        else {
            // "Angle.X" to "Rot.Z"; both default to zero.
            TVector3d& v = name->starts_with("Angle.") ? config.Angle : config.Rot;
            (name->back() == 'X' ? v.X : name->back() == 'Y' ? v.Y : v.Z) = 0.0f;
        }
    }
}

// A damage of the stored "Spiral": the first value no longer read, and what else differs.
struct TRegistryDamage {
    const char* Name;
    std::function<void(TRegistry&)> Change;
    std::string StopsAt;
    std::function<void(TWaveConfig&)> Also;
};

std::vector<TRegistryDamage> RegistryDamages()
{
    const auto nothing = [](TWaveConfig&) {};
    return {
        {"missing FormatVersion", [](TRegistry& r) { r.DeleteValue("FormatVersion"); }, "FormatVersion", nothing},
        {"missing Width", [](TRegistry& r) { r.DeleteValue("Width"); }, "Width", nothing},
        {"Waves too long",
         [](TRegistry& r) {
             const std::vector<uint8_t> bytes(256);
             r.WriteBinaryData("Waves", bytes.data(), bytes.size());
         },
         "Waves", nothing},
        {"float as 4-byte binary",
         [](TRegistry& r) {
             const float pos = 1.0f;
             r.WriteBinaryData("Pos", &pos, sizeof pos);
         },
         "Pos", nothing},
        {"float as DWORD", [](TRegistry& r) { r.WriteInteger("Rot.Z", 1); }, "Rot.Z", nothing},
        {"missing Waves", [](TRegistry& r) { r.DeleteValue("Waves"); }, "",
         [](TWaveConfig& e) { e.Waves = TWaveConfig().Waves; }},
        {"short SinMagicParams",
         [](TRegistry& r) {
             const float first[2] = {-1.0f, -2.0f};
             r.WriteBinaryData("SinMagicParams", first, sizeof first);
         },
         "",
         [](TWaveConfig& e) {
             e.SinMagicParams = {};
             e.SinMagicParams[0][0] = -1.0f;
             e.SinMagicParams[0][1] = -2.0f;
         }},
        {"float beyond Single", [](TRegistry& r) { r.WriteFloat("Speed", -1e300); }, "",
         [](TWaveConfig& e) { e.Speed = -INFINITY; }},
    };
}

TEST_F(LumenfallCfgTest, RegistryReadingStopsAtTheFirstBrokenValue)
{
    const std::unique_ptr<TWaveConfig> source = MakeConfig();
    for (const TRegistryDamage& damage : RegistryDamages()) {
        SCOPED_TRACE(damage.Name);
        source->SaveToRegistry(kWavesKey);
        EditKey("Spiral", damage.Change);
        TWaveConfig expected;
        expected.Assign(*source);
        if (!damage.StopsAt.empty())
            KeepDefaultsFrom(expected, damage.StopsAt);
        damage.Also(expected);
        TWaveConfig read;
        read.LoadFromRegistry(HKEY_CURRENT_USER, kWavesKey, "Spiral");
        ExpectSameConfig(read, expected);
    }
}

TEST_F(LumenfallCfgTest, KeysThatCannotBeReadOrWrittenAndPresetsOutsideTheLimits)
{
    TWaveConfig config;
    config.LoadFromRegistry(HKEY_LOCAL_MACHINE, kWavesKey, "Nowhere");
    TWaveConfig expected;
    expected.Name = "Nowhere";
    ExpectSameConfig(config, expected);
    config.LoadFromRegistry(HKEY_CURRENT_USER, kWavesKey, "Nobody");
    expected.Name = "Nobody";
    ExpectSameConfig(config, expected);

    config.Name = "";
    EXPECT_EQ(RaisedMessage([&] { config.SaveToRegistry(kWavesKey); }),
              "TWaveConfig.SaveToRegistry : \"\" cannot name a registry key");
    EXPECT_NE(RaisedMessage([&] { config.LoadFromRegistry(HKEY_CURRENT_USER, kWavesKey, "a\\b"); }), "");

    MakeConfig()->SaveToRegistry(kWavesKey);
    EditKey("Spiral", [](TRegistry& r) { r.WriteInteger("Height", 0); });
    config.Name = "Unchanged";
    EXPECT_EQ(RaisedMessage([&] { config.LoadFromRegistry(HKEY_CURRENT_USER, kWavesKey, "Spiral"); }),
              "TWaveConfig.LoadFromRegistry : The wave preset \"HKEY_CURRENT_USER\\" + kWavesKey +
                  "\\Spiral\" has a drawing area of 640 x 0; each side can be 1 to 16384");
    EXPECT_EQ(config.Name, "Unchanged");
    EditKey("Spiral", [](TRegistry& r) {
        r.WriteInteger("Height", 480);
        r.WriteInteger("ParticleCount", -5);
    });
    EXPECT_EQ(RaisedMessage([&] { config.LoadFromRegistry(HKEY_CURRENT_USER, kWavesKey, "Spiral"); }),
              "TWaveConfig.LoadFromRegistry : The wave preset \"HKEY_CURRENT_USER\\" + kWavesKey +
                  "\\Spiral\" has -5 particles; it can have 1 to 1000000");
}

TEST_F(LumenfallCfgTest, AssignCloneAndBagGoThroughTheClassRegistry)
{
    const std::unique_ptr<TWaveConfig> source = MakeConfig();
    const TReflectiveClass* reference = FindReflectiveClass("twaveconfig");
    ASSERT_NE(reference, nullptr);
    std::unique_ptr<TReflectivePersistent> made = reference->Create();
    made->Assign(*source);
    ASSERT_NE(dynamic_cast<TWaveConfig*>(made.get()), nullptr);
    ExpectSameConfig(static_cast<TWaveConfig&>(*made), *source);
    EXPECT_EQ(static_cast<TWaveConfig&>(*made).Name, "Spiral");

    const std::unique_ptr<TReflectivePersistent> clone = source->Clone();
    ExpectSameConfig(static_cast<TWaveConfig&>(*clone), *source);
    TReflectiveObjectList list;
    EXPECT_THROW(made->Assign(list), EReflectivePersistentError);

    TRegistryPropertyBag bag(HKEY_CURRENT_USER, "Software\\Quenwick\\ORBX\\Bag");
    bag.WriteObject(source.get());
    std::unique_ptr<TReflectivePersistent> read;
    ASSERT_TRUE(bag.ReadObject(read));
    ASSERT_NE(dynamic_cast<TWaveConfig*>(read.get()), nullptr);
    ExpectSameConfig(static_cast<TWaveConfig&>(*read), *source);
}

TEST(WaveConfigTest, RescaleScalesTheAmplitudesOfEachAxisByItsSides)
{
    TWaveConfig config;
    for (auto& wave : config.Waves)
        for (TWaveComponent& c : wave)
            c = {10.0f, 100.0f, 20.0f, 3.0f, 4.0f, 5.0f, 6.0f};
    config.Width = 512;
    config.Height = 256;
    config.Rescale(256.0f, 256.0f);
    for (const auto& wave : config.Waves) {
        EXPECT_EQ(wave[waX], (TWaveComponent{10.0f, 200.0f, 40.0f, 3.0f, 4.0f, 5.0f, 6.0f}));
        EXPECT_EQ(wave[waY], (TWaveComponent{10.0f, 100.0f, 20.0f, 3.0f, 4.0f, 5.0f, 6.0f}));
        EXPECT_EQ(wave[waZ], (TWaveComponent{10.0f, 150.0f, 30.0f, 3.0f, 4.0f, 5.0f, 6.0f}));
    }
}

} // namespace
