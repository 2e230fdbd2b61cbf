// Writes the seed corpora of the fuzz entries from the project's own builders:
//   LUMENFALL_WRITE_FUZZ_SEEDS=tests/fuzz/corpus build/tests/lumenfall_tests --gtest_filter=FuzzSeeds.*
// Skipped otherwise. The seeds are small on purpose: the fuzzers grow their own corpora.

#include "graphics/ByteWriter.h"
#include "graphics/MetafileBuilders.h"
#include "graphics/PictureBuilders.h"
#include "kinds/LumenfallCfg.h"
#include "platform/Registry.h"
#include "persistence/SettingsStore.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

class TSeedWriter {
public:
    explicit TSeedWriter(fs::path root) : root_(std::move(root)) {}

    void Write(const std::string& entry, const std::string& name, const std::vector<uint8_t>& bytes) const
    {
        fs::create_directories(root_ / entry);
        std::ofstream out(root_ / entry / name, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        ASSERT_TRUE(out.good()) << entry << "/" << name;
    }
    void Write(const std::string& entry, const std::string& name, const std::string& text) const
    {
        Write(entry, name, std::vector<uint8_t>(text.begin(), text.end()));
    }

private:
    fs::path root_;
};

std::vector<uint8_t> PresetBytes(const TWaveConfig& wave)
{
    const fs::path file = fs::temp_directory_path() / "lumenfall-seed.lmx";
    wave.SaveToFile(file.string());
    std::ifstream in(file, std::ios::binary);
    std::vector<uint8_t> bytes(std::istreambuf_iterator<char>(in), {});
    fs::remove(file);
    return bytes;
}

// The same preset in an older layout: version 2 lacks the second matrix, version 1 also
// the style and the zoom centre.
std::vector<uint8_t> OlderPreset(std::vector<uint8_t> bytes, int32_t version)
{
    bytes.erase(bytes.begin() + 95, bytes.begin() + 159);
    if (version == 1)
        bytes.erase(bytes.begin() + 19, bytes.begin() + 31);
    bytes[0] = uint8_t(version);
    return bytes;
}

void WriteWavePresets(const TSeedWriter& seeds)
{
    TWaveConfig wave;
    seeds.Write("wave_preset", "default.lmx", PresetBytes(wave));
    SetBuiltInWave(wave);
    seeds.Write("wave_preset", "built-in.lmx", PresetBytes(wave));
    wave.TransMapFilter = true;
    wave.SmoothFilter = true;
    wave.SinMagicParams = {{{5, 2, 0, 0}, {1, 3, 0, 0}, {4, 1, 0, 0}, {2, 1, 0, 0}}};
    wave.SinMagicParams2 = {{{0.2f, 0, 0, 0}, {1, 0, 0, 0}, {0.1f, 0, 0, 0}, {2, 0, 0, 0}}};
    wave.ZoomCenterX = wave.ZoomCenterY = 50;
    for (const TTransMapStyle style : {TTransMapStyle::tmsWaved, TTransMapStyle::tmsWavedZoom,
                                       TTransMapStyle::tmsWavedZoomOverlay, TTransMapStyle::tmsWavedZoomCombined}) {
        wave.TransMapStyle = style;
        wave.RenderMode = TRenderMode(uint8_t(style) % 3);
        seeds.Write("wave_preset", "style" + std::to_string(int(style)) + ".lmx", PresetBytes(wave));
    }
    const std::vector<uint8_t> current = PresetBytes(wave);
    seeds.Write("wave_preset", "version2.lmx", OlderPreset(current, 2));
    seeds.Write("wave_preset", "version1.lmx", OlderPreset(current, 1));
}

void WriteHives(const TSeedWriter& seeds)
{
    THive hive(HKEY_LOCAL_MACHINE);
    hive.SetValue(kSettingsKey, "WavesDirectory", TRegData::String("/usr/share/lumenfall/waves"));
    hive.SetValue(kSettingsKey, "ScreenMode", TRegData::Dword(uint32_t(-1)));
    hive.SetValue(kSettingsKey, "WaveStartPos", TRegData::Float(12.5));
    hive.SetValue(kWavesKey, "Duration", TRegData::Dword(30));
    const uint8_t style = 3;
    hive.SetValue(std::string(kTextsKey) + "\\Hello", "FontStyle", TRegData::Binary(&style, 1));
    hive.SetValue(std::string(kTextsKey) + "\\Hello", "Text", TRegData::String("Grüße \"quoted\" \\ back\nslash"));
    seeds.Write("hive_text", "settings.reg", hive.Format());

    THive user(HKEY_CURRENT_USER);
    user.CreateKey(std::string(kWavesKey) + "\\_ActiveWave");
    user.SetValue(std::string(kLogosKey) + "\\Sun", "Path", TRegData::String("/usr/share/lumenfall/logos/sun.wmf"));
    user.SetValue(std::string(kLogosKey) + "\\Sun", "ColorMask", TRegData::Dword(0x00FF00FF));
    seeds.Write("hive_text", "user.reg", user.Format());
}

void WritePictures(const TSeedWriter& seeds)
{
    const std::vector<uint32_t> palette = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0x808080,
                                           0xFFFF00, 0x00FFFF, 0xFF00FF, 0x800000, 0x008000, 0x000080,
                                           0x808000, 0x008080, 0x800080, 0xC0C0C0};
    const auto checker = [](int x, int y) { return uint32_t((x / 2 + y / 2) % 16); };
    const auto colours = [](int x, int y) { return uint32_t(x * 40) << 16 | uint32_t(y * 40) << 8 | 0x80; };
    std::vector<uint8_t> dib8;
    for (const int bits : {1, 4, 8, 24, 32}) {
        const bool indexed = bits <= 8;
        const std::vector<uint32_t> used(palette.begin(), palette.begin() + (bits == 1 ? 2 : 16));
        const std::vector<uint8_t> file = MakeBitmapFile(6, 5, bits, bits == 8, indexed ? used : std::vector<uint32_t>{},
                                                         indexed ? std::function<uint32_t(int, int)>(
                                                                       [&](int x, int y) { return checker(x, y) % used.size(); })
                                                                 : colours);
        seeds.Write("bitmap_file", "depth" + std::to_string(bits) + ".bmp", file);
        if (bits == 8)
            dib8.assign(file.begin() + 14, file.end());
    }
    const std::vector<uint8_t> dib24 = MakeDib24({{0xFF0000, 0x00FF00, 0x0000FF}, {0xFFFFFF, 0x000000, 0x808080}});
    seeds.Write("packed_dib", "depth24.dib", dib24);
    seeds.Write("packed_dib", "depth8.dib", dib8);
    for (const auto& [name, dib] : {std::pair{"depth24.dib", dib24}, std::pair{"depth8.dib", dib8}}) {
        const size_t infoSize = dib == dib24 ? 40 : 40 + 16 * 4;
        std::vector<uint8_t> split = {uint8_t(infoSize & 0xFF), uint8_t(infoSize >> 8)};
        split.insert(split.end(), dib.begin(), dib.end());
        seeds.Write("split_dib", name, split);
    }
    seeds.Write("icon", "two-sizes.ico", MakeIconFile({IconImage(4, 0xFFFF0000, 0), IconImage(8, 0x800000FF, 3)}));
    seeds.Write("jpeg", "baseline.jpg", Encode(Quadrants(QImage::Format_RGB32).scaled(16, 12), "JPEG"));
    seeds.Write("jpeg", "progressive.jpg", Encode(Quadrants(QImage::Format_RGB32).scaled(16, 12), "JPEG", true));
    seeds.Write("jpeg", "grey.jpg", Encode(Quadrants(QImage::Format_Grayscale8).scaled(16, 12), "JPEG"));
    seeds.Write("jpeg", "cmyk.jpg", CmykJpeg());
    seeds.Write("wmf", "shapes.wmf", ShapesAndText().Build());
    seeds.Write("wmf", "placeable.wmf", ShapesAndText().Build(QRect(0, 0, 2880, 1440)));
    TEmfBuilder emf;
    emf.Add(39, {1, 0, ColorRef(0x00FF00), 0})  // CreateBrushIndirect
        .Add(37, {1})                           // SelectObject
        .Polygon16({{1, 1}, {30, 1}, {1, 20}})
        .Add(17, {8})                           // SetMapMode anisotropic
        .Add(9, {100, 50})                      // SetWindowExtEx
        .Add(11, {32, 16})                      // SetViewportExtEx
        .Add(43, {50, 25, 100, 50})             // Rectangle
        .Add(38, {9, 0, 3, 0, ColorRef(0xFF00FF)}) // CreatePen
        .Add(37, {9})
        .Add(27, {10, 40})                      // MoveToEx
        .Add(54, {90, 40})                      // LineTo
        .Text(2, 2, u"E");
    seeds.Write("emf", "shapes.emf", emf.Build(QRect(QPoint(0, 0), QPoint(846, 423))));
}

} // namespace

TEST(FuzzSeeds, WrittenWhenAsked)
{
    const char* folder = std::getenv("LUMENFALL_WRITE_FUZZ_SEEDS");
    if (!folder || !*folder)
        GTEST_SKIP() << "set LUMENFALL_WRITE_FUZZ_SEEDS to the corpus folder to write the seeds";
    const TSeedWriter seeds{fs::path(folder)};
    WriteWavePresets(seeds);
    WriteHives(seeds);
    WritePictures(seeds);
}
