#include "kinds/LumenfallCfg.h"

#include <bit>
#include <cerrno>
#include <concepts>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <type_traits>
#include <vector>

#include "util/AtomicFile.h"

namespace {

constexpr const char* RenderModeNames[] = {"rmDraw", "rmDrawMixMode", "rmDrawStars"};
constexpr const char* TransMapModeNames[] = {"tmmApplyBefore", "tmmApplyAfter"};
constexpr const char* TransMapStyleNames[] = {"tmsWaved", "tmsWavedZoom", "tmsWavedZoomOverlay",
                                              "tmsWavedZoomCombined"};

const TReflectiveClassRegistration<TWaveConfig> waveConfigRegistration;

// ---- blocks of Singles ----

template <class T, class U>
concept TMaybeConst = std::same_as<std::remove_const_t<T>, U>;

template <TMaybeConst<TWaveComponent> T, class F>
void VisitSingles(T& c, F&& f)
{
    f(c.Phase);
    f(c.AMBase);
    f(c.AMAmplitude);
    f(c.AMFrequency);
    f(c.FMBase);
    f(c.FMAmplitude);
    f(c.FMFrequency);
}

template <TMaybeConst<TWaveComponents> T, class F>
void VisitSingles(T& waves, F&& f)
{
    for (auto& wave : waves)
        for (auto& component : wave)
            VisitSingles(component, f);
}

template <TMaybeConst<TSinMagicParams> T, class F>
void VisitSingles(T& params, F&& f)
{
    for (auto& row : params)
        for (auto& value : row)
            f(value);
}

template <TMaybeConst<TVector3d> T, class F>
void VisitSingles(T& v, F&& f)
{
    f(v.X);
    f(v.Y);
    f(v.Z);
}

void PutUInt32(std::vector<uint8_t>& out, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(uint8_t(value >> (8 * i)));
}

uint32_t GetUInt32(const uint8_t* bytes)
{
    return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24;
}

template <class Block>
std::vector<uint8_t> EncodeSingles(const Block& block)
{
    std::vector<uint8_t> bytes;
    VisitSingles(block, [&](float value) { PutUInt32(bytes, std::bit_cast<uint32_t>(value)); });
    return bytes;
}

template <class Block>
void DecodeSingles(Block& block, std::span<const uint8_t> bytes)
{
    size_t position = 0;
    VisitSingles(block, [&](float& value) {
        if (position + 4 <= bytes.size())
            value = std::bit_cast<float>(GetUInt32(bytes.data() + position));
        position += 4;
    });
}

// Registry doubles may hold anything; a double beyond the Single range becomes an
// infinity, as the conversion instruction gives, instead of undefined behaviour.
float NarrowToSingle(double value)
{
    if (value > std::numeric_limits<float>::max())
        return std::numeric_limits<float>::infinity();
    if (value < -std::numeric_limits<float>::max())
        return -std::numeric_limits<float>::infinity();
    return float(value);
}

// ---- the four archives of the preset layout ----

// The ".lmx" file. Fields are read only whole; once the file ends nothing more is read.
class TFileReader {
public:
    explicit TFileReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}

    void Int32(const char*, int32_t& value)
    {
        if (const uint8_t* p = Take(4))
            value = int32_t(GetUInt32(p));
    }
    void Bool(const char*, bool& value)
    {
        if (const uint8_t* p = Take(1))
            value = *p != 0;
    }
    template <class E>
    void ByteEnum(const char*, E& value)
    {
        if (const uint8_t* p = Take(1))
            value = E(*p);
    }
    // The field is one byte; the low byte of the Int32 is what it can hold.
    template <class E>
    void Int32Enum(const char*, E& value)
    {
        if (const uint8_t* p = Take(4))
            value = E(p[0]);
    }
    void Single(const char*, float& value)
    {
        if (const uint8_t* p = Take(4))
            value = std::bit_cast<float>(GetUInt32(p));
    }
    template <class TBlock>
    void Block(const char*, TBlock& block)
    {
        VisitSingles(block, [this](float& value) { Single(nullptr, value); });
    }

private:
    const uint8_t* Take(size_t size)
    {
        if (bytes_.size() - position_ < size) {
            position_ = bytes_.size();
            return nullptr;
        }
        const uint8_t* p = bytes_.data() + position_;
        position_ += size;
        return p;
    }

    std::span<const uint8_t> bytes_;
    size_t position_ = 0;
};

class TFileWriter {
public:
    void Int32(const char*, int32_t value) { PutUInt32(bytes_, uint32_t(value)); }
    void Bool(const char*, bool value) { bytes_.push_back(value ? 1 : 0); }
    template <class E>
    void ByteEnum(const char*, E value)
    {
        bytes_.push_back(uint8_t(value));
    }
    template <class E>
    void Int32Enum(const char*, E value)
    {
        PutUInt32(bytes_, uint8_t(value));
    }
    void Single(const char*, float value) { PutUInt32(bytes_, std::bit_cast<uint32_t>(value)); }
    template <class TBlock>
    void Block(const char*, const TBlock& block)
    {
        const std::vector<uint8_t> encoded = EncodeSingles(block);
        bytes_.insert(bytes_.end(), encoded.begin(), encoded.end());
    }

    const std::vector<uint8_t>& Bytes() const { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
};

// A key of the registry: a missing or malformed value raises ERegistryException, except
// for the binary blocks, which may be missing.
class TRegistryReader {
public:
    explicit TRegistryReader(TRegistry& registry) : registry_(registry) {}

    void Int32(const char* name, int32_t& value) { value = registry_.ReadInteger(name); }
    void Bool(const char* name, bool& value) { value = registry_.ReadBool(name); }
    template <class E>
    void ByteEnum(const char* name, E& value)
    {
        value = E(uint8_t(registry_.ReadInteger(name)));
    }
    template <class E>
    void Int32Enum(const char* name, E& value)
    {
        ByteEnum(name, value);
    }
    void Single(const char* name, float& value) { value = NarrowToSingle(registry_.ReadFloat(name)); }
    // A shorter block fills the start of the field.
    template <class TBlock>
    void Block(const char* name, TBlock& block)
    {
        if (!registry_.ValueExists(name))
            return;
        std::vector<uint8_t> bytes = EncodeSingles(block);
        registry_.ReadBinaryData(name, bytes.data(), bytes.size());
        DecodeSingles(block, bytes);
    }

private:
    TRegistry& registry_;
};

class TRegistryWriter {
public:
    explicit TRegistryWriter(TRegistry& registry) : registry_(registry) {}

    void Int32(const char* name, int32_t value) { registry_.WriteInteger(name, value); }
    void Bool(const char* name, bool value) { registry_.WriteBool(name, value); }
    template <class E>
    void ByteEnum(const char* name, E value)
    {
        registry_.WriteInteger(name, uint8_t(value));
    }
    template <class E>
    void Int32Enum(const char* name, E value)
    {
        ByteEnum(name, value);
    }
    void Single(const char* name, float value) { registry_.WriteFloat(name, double(value)); }
    template <class TBlock>
    void Block(const char* name, const TBlock& block)
    {
        const std::vector<uint8_t> bytes = EncodeSingles(block);
        registry_.WriteBinaryData(name, bytes.data(), bytes.size());
    }

private:
    TRegistry& registry_;
};

// The one layout of a preset, in the order of both the registry key and the file. Config
// is const for the writers.
template <TMaybeConst<TWaveConfig> Config, class Archive>
void TransferWaveConfig(Config& c, Archive& a)
{
    int32_t version = WaveFormatVersion;
    a.Int32("FormatVersion", version);
    a.Int32("ParticleCount", c.ParticleCount);
    a.Int32("MotionBlur", c.MotionBlur);
    a.Bool("SmoothFilter", c.SmoothFilter);
    a.Bool("TransMapFilter", c.TransMapFilter);
    a.ByteEnum("RenderMode", c.RenderMode);
    a.Int32Enum("TransMapMode", c.TransMapMode);
    if (version >= 2) {
        a.Int32Enum("TransMapStyle", c.TransMapStyle);
        a.Int32("ZoomCenterX", c.ZoomCenterX);
        a.Int32("ZoomCenterY", c.ZoomCenterY);
    } else if constexpr (!std::is_const_v<Config>) {
        // Version 1 knew only the shift map.
        c.TransMapStyle = TTransMapStyle::tmsWaved;
        c.ZoomCenterX = 50;
        c.ZoomCenterY = 50;
    }
    a.Block("SinMagicParams", c.SinMagicParams);
    if (version >= 3)
        a.Block("SinMagicParams2", c.SinMagicParams2);
    a.Block("Waves", c.Waves);
    a.Single("Speed", c.Speed);
    a.Single("Pos", c.Pos);
    a.Single("BaseRed", c.BaseRed);
    a.Single("BaseGreen", c.BaseGreen);
    a.Single("BaseBlue", c.BaseBlue);
    a.Single("AmpRed", c.AmpRed);
    a.Single("AmpGreen", c.AmpGreen);
    a.Single("AmpBlue", c.AmpBlue);
    a.Single("FreqRed", c.FreqRed);
    a.Single("FreqGreen", c.FreqGreen);
    a.Single("FreqBlue", c.FreqBlue);
    a.Single("ShiftRed", c.ShiftRed);
    a.Single("ShiftGreen", c.ShiftGreen);
    a.Single("ShiftBlue", c.ShiftBlue);
    a.Single("Angle.X", c.Angle.X);
    a.Single("Angle.Y", c.Angle.Y);
    a.Single("Angle.Z", c.Angle.Z);
    a.Single("Rot.X", c.Rot.X);
    a.Single("Rot.Y", c.Rot.Y);
    a.Single("Rot.Z", c.Rot.Z);
    a.Int32("Width", c.Width);
    a.Int32("Height", c.Height);
}

// ---- inner properties in a bag ----

template <class Block>
void WriteBlock(TPropertyBag& bag, const std::string& name, const Block& block)
{
    const std::vector<uint8_t> bytes = EncodeSingles(block);
    bag.WriteData(name, std::as_bytes(std::span(bytes)));
}

template <class Block>
void ReadBlock(TPropertyBag& bag, const std::string& name, Block& block)
{
    std::vector<uint8_t> bytes = EncodeSingles(block);
    bag.ReadData(name, std::as_writable_bytes(std::span(bytes)));
    DecodeSingles(block, bytes);
}

// ---- files and keys ----

std::string SystemErrorText(int error) { return std::strerror(error); }

std::vector<uint8_t> ReadPresetFile(const std::string& fileName)
{
    static constexpr const char* operation = "TWaveConfig.LoadFromFile";
    std::FILE* file = std::fopen(fileName.c_str(), "rb");
    if (file == nullptr)
        throw EWaveConfigError(std::string(operation) + " : Cannot open file \"" + fileName + "\". " +
                               SystemErrorText(errno));
    // Anything past the layout of the newest version is not read.
    std::vector<uint8_t> bytes(WaveFileSize);
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file));
    const int error = std::ferror(file) ? errno : 0;
    std::fclose(file);
    if (error != 0)
        throw EWaveConfigError(std::string(operation) + " : Cannot read file \"" + fileName + "\". " +
                               SystemErrorText(error));
    return bytes;
}

// A failed save leaves the old preset as it was.
void WritePresetFile(const std::string& fileName, const std::vector<uint8_t>& bytes)
{
    try {
        WriteFileAtomically(fileName, std::span<const uint8_t>(bytes));
    } catch (const EFileWriteError& e) {
        throw EWaveConfigError("TWaveConfig.SaveToFile : Cannot create file \"" + fileName + "\". " + e.Cause());
    }
}

// The file name without folder and without its last four characters (the extension).
std::string PresetNameOfFile(const std::string& fileName)
{
    const std::string name = std::filesystem::path(fileName).filename().string();
    return name.substr(0, name.size() < 4 ? 0 : name.size() - 4);
}

// A preset name is one key: an empty one would write into the parent key, a separator
// would reach another key.
void CheckKeyName(const char* operation, const std::string& name)
{
    if (name.empty() || name.find('\\') != std::string::npos)
        throw EWaveConfigError(std::string(operation) + " : \"" + name + "\" cannot name a registry key");
}

std::string RootKeyName(TRootKey root)
{
    return root == HKEY_LOCAL_MACHINE ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER";
}

} // namespace

std::span<const char* const> EnumNames(TRenderMode) { return RenderModeNames; }
std::span<const char* const> EnumNames(TTransMapMode) { return TransMapModeNames; }
std::span<const char* const> EnumNames(TTransMapStyle) { return TransMapStyleNames; }

void TWaveConfig::DeclareProperties(TPropertyDeclarer<TWaveConfig>& p)
{
    p.Field("Name", &TWaveConfig::Name)
        .Field("ParticleCount", &TWaveConfig::ParticleCount)
        .Field("MotionBlur", &TWaveConfig::MotionBlur)
        .Field("SmoothFilter", &TWaveConfig::SmoothFilter)
        .Field("TransMapFilter", &TWaveConfig::TransMapFilter)
        .Field("RenderMode", &TWaveConfig::RenderMode)
        .Field("TransMapMode", &TWaveConfig::TransMapMode)
        .Field("TransMapStyle", &TWaveConfig::TransMapStyle)
        .Field("ZoomCenterX", &TWaveConfig::ZoomCenterX)
        .Field("ZoomCenterY", &TWaveConfig::ZoomCenterY)
        .Field("Speed", &TWaveConfig::Speed)
        .Field("Pos", &TWaveConfig::Pos)
        .Field("BaseRed", &TWaveConfig::BaseRed)
        .Field("BaseGreen", &TWaveConfig::BaseGreen)
        .Field("BaseBlue", &TWaveConfig::BaseBlue)
        .Field("AmpRed", &TWaveConfig::AmpRed)
        .Field("AmpGreen", &TWaveConfig::AmpGreen)
        .Field("AmpBlue", &TWaveConfig::AmpBlue)
        .Field("FreqRed", &TWaveConfig::FreqRed)
        .Field("FreqGreen", &TWaveConfig::FreqGreen)
        .Field("FreqBlue", &TWaveConfig::FreqBlue)
        .Field("ShiftRed", &TWaveConfig::ShiftRed)
        .Field("ShiftGreen", &TWaveConfig::ShiftGreen)
        .Field("ShiftBlue", &TWaveConfig::ShiftBlue)
        .Field("Width", &TWaveConfig::Width)
        .Field("Height", &TWaveConfig::Height);
}

TWaveConfig::TWaveConfig()
{
    // A circle of radius 128 in the X-Y plane.
    Waves[0][waX] = {90.0f, 128.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f};
    Waves[0][waY] = {0.0f, 128.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f};
}

void TWaveConfig::AssignInner(const TReflectivePersistent& source)
{
    const auto& config = static_cast<const TWaveConfig&>(source);
    Waves = config.Waves;
    Rot = config.Rot;
    Angle = config.Angle;
    SinMagicParams = config.SinMagicParams;
    SinMagicParams2 = config.SinMagicParams2;
}

void TWaveConfig::ReadInnerProperties(TPropertyBag& bag)
{
    ReadBlock(bag, "Waves", Waves);
    ReadBlock(bag, "Angle", Angle);
    ReadBlock(bag, "Rot", Rot);
    ReadBlock(bag, "SinMagicParams", SinMagicParams);
    ReadBlock(bag, "SinMagicParams2", SinMagicParams2);
}

void TWaveConfig::WriteInnerProperties(TPropertyBag& bag) const
{
    WriteBlock(bag, "Waves", Waves);
    WriteBlock(bag, "Angle", Angle);
    WriteBlock(bag, "Rot", Rot);
    WriteBlock(bag, "SinMagicParams", SinMagicParams);
    WriteBlock(bag, "SinMagicParams2", SinMagicParams2);
}

void TWaveConfig::Rescale(float oldWidth, float oldHeight)
{
    const float width = float(Width);
    const float height = float(Height);
    const float factors[WaveAxisCount] = {width / oldWidth, height / oldHeight,
                                          ((width + height) / 2.0f) / ((oldWidth + oldHeight) / 2.0f)};
    for (auto& wave : Waves) {
        for (size_t axis = 0; axis < WaveAxisCount; ++axis) {
            wave[axis].AMBase = wave[axis].AMBase * factors[axis];
            wave[axis].AMAmplitude = wave[axis].AMAmplitude * factors[axis];
        }
    }
}

void TWaveConfig::SaveToRegistry(const std::string& parentPath) const
{
    static constexpr const char* operation = "TWaveConfig.SaveToRegistry";
    CheckKeyName(operation, Name);
    const std::string key = parentPath + "\\" + Name;
    TRegistry registry(KEY_ALL_ACCESS);
    if (!registry.OpenKey(key, true))
        throw EWaveConfigError(std::string(operation) + " : Cannot open the key \"" +
                               RootKeyName(HKEY_CURRENT_USER) + "\\" + key + "\"");
    TRegistryWriter writer(registry);
    TransferWaveConfig(*this, writer);
    registry.CloseKey();
}

void TWaveConfig::LoadFromRegistry(TRootKey root, const std::string& parentPath, const std::string& presetName)
{
    static constexpr const char* operation = "TWaveConfig.LoadFromRegistry";
    CheckKeyName(operation, presetName);
    const std::string key = parentPath + "\\" + presetName;
    const std::unique_ptr<TReflectivePersistent> copy = Clone();
    auto& loaded = static_cast<TWaveConfig&>(*copy);
    loaded.Name = presetName;
    {
        TRegistry registry(KEY_READ);
        registry.SetRootKey(root);
        try {
            if (registry.OpenKey(key, true)) {
                TRegistryReader reader(registry);
                TransferWaveConfig(loaded, reader);
            }
        } catch (const ERegistryException&) {
            // Reading stops at the first missing or malformed value; what was read stays.
        }
    }
    loaded.CheckLimits(operation, "\"" + RootKeyName(root) + "\\" + key + "\"");
    Assign(loaded);
}

void TWaveConfig::SaveToFile(const std::string& fileName) const
{
    TFileWriter writer;
    TransferWaveConfig(*this, writer);
    WritePresetFile(fileName, writer.Bytes());
}

void TWaveConfig::LoadFromFile(const std::string& fileName)
{
    static constexpr const char* operation = "TWaveConfig.LoadFromFile";
    const std::vector<uint8_t> bytes = ReadPresetFile(fileName);
    const std::unique_ptr<TReflectivePersistent> copy = Clone();
    auto& loaded = static_cast<TWaveConfig&>(*copy);
    loaded.Name = PresetNameOfFile(fileName);
    TFileReader reader(bytes);
    TransferWaveConfig(loaded, reader);
    loaded.CheckLimits(operation, "\"" + fileName + "\"");
    Assign(loaded);
}

void TWaveConfig::CheckLimits(const char* operation, const std::string& source) const
{
    if (ParticleCount < 1 || ParticleCount > MaxWaveParticleCount)
        throw EWaveConfigError(std::string(operation) + " : The wave preset " + source + " has " +
                               std::to_string(ParticleCount) + " particles; it can have 1 to " +
                               std::to_string(MaxWaveParticleCount));
    if (Width < 1 || Width > MaxWaveAreaSize || Height < 1 || Height > MaxWaveAreaSize)
        throw EWaveConfigError(std::string(operation) + " : The wave preset " + source +
                               " has a drawing area of " + std::to_string(Width) + " x " + std::to_string(Height) +
                               "; each side can be 1 to " + std::to_string(MaxWaveAreaSize));
}
