// Makes the machine-wide installation: the wave presets, the logo pictures, the help file
// and the machine hive that names them.
//
//   lumenfall_installdata --output DIR --help-source FILE
//
// DIR receives waves/, logos/, help/ and machine.reg. The hive names the files relative to
// its own folder, so the same folder serves the build, any installation prefix and a package.

#include "LogoPictures.h"
#include "WavePresets.h"

#include "platform/Registry.h"
#include "persistence/SettingsStore.h"

#include <QGuiApplication>
#include <QImageWriter>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace fs = std::filesystem;

namespace {

struct Options {
    fs::path output;
    fs::path helpSource;
};

Options ParseArguments(int argc, char** argv)
{
    Options options;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        if (name == "--output")
            options.output = argv[i + 1];
        else if (name == "--help-source")
            options.helpSource = argv[i + 1];
        else
            throw std::runtime_error("unknown argument " + name);
    }
    if (options.output.empty() || options.helpSource.empty())
        throw std::runtime_error("usage: lumenfall_installdata --output DIR --help-source FILE");
    return options;
}

void SavePicture(const QImage& image, const fs::path& file, const char* format)
{
    QImageWriter writer(QString::fromStdString(file.string()), format);
    if (format == std::string("jpg"))
        writer.setQuality(92);
    if (!writer.write(image))
        throw std::runtime_error("cannot write " + file.string() + ": " + writer.errorString().toStdString());
}

TLogoConfig Logo(const std::string& name, const fs::path& picture, TLogoStyle style, int32_t particles,
               TRenderMode mode, TVector3d rot)
{
    TLogoConfig logo;
    logo.Name = name;
    logo.ParticleCount = particles;
    logo.MotionBlur = 3;
    logo.RenderMode = mode;
    logo.Style = style;
    logo.ColorMask = 0x000000;
    logo.Tolerance = 48;
    logo.Angle = {0, 0, 0};
    logo.Rot = rot;
    logo.Path = picture.string();
    return logo;
}

struct TextLook {
    std::string FontName;
    int32_t FontSize;
    uint8_t FontStyle; // bit 0 bold, bit 1 italic
    uint32_t Color;    // platform colour 0x00BBGGRR
    TVector3d Angle;
};

TTextConfig Text(const std::string& name, const std::string& text, const TextLook& look)
{
    TTextConfig t;
    t.Name = name;
    t.MotionBlur = 3;
    t.RenderMode = TRenderMode::rmDrawMixMode;
    t.Angle = look.Angle;
    t.Rot = {0, 0.5f, 0};
    t.Text = text;
    t.FontName = look.FontName;
    t.FontSize = look.FontSize;
    t.FontStyle = look.FontStyle;
    t.Color = look.Color;
    return t;
}

// Everything the settings store writes for a user, written through its own operations into
// a scratch user hive.
void WriteSettings(const TWaveConfig& intro)
{
    const fs::path logos = "logos";
    TRegistry reg;
    reg.SetRootKey(HKEY_CURRENT_USER);
    reg.OpenKey(std::string("\\") + kSettingsKey, true);
    reg.WriteString("WavesDirectory", "waves");
    reg.WriteString("Help", (fs::path("help") / "index.html").string());
    reg.CloseKey();

    TBlankerSettings settings;
    settings.ActiveWave->Assign(intro);
    // The emblem spins about the vertical axis like a coin, a fine grid of full-strength dots;
    // the star turns in the screen's plane and tilts slowly, its particles glowing where
    // they crowd.
    settings.ActiveLogo = Logo("Lumenfall Emblem", logos / "lumenfall-emblem.bmp", TLogoStyle::lsBitmap, 100000,
                               TRenderMode::rmDraw, {0.0f, 0.6f, 0.0f});
    settings.ActiveText = Text("Welcome", "Welcome to Lumenfall   *   particles of light   *   ",
                               {"Arial", 48, 1, 0x0050D0FF, {12, 0, -6}});
    SaveBlankerSettings(settings);
    SaveLogoConfig(settings.ActiveLogo, kLogosKey);
    SaveLogoConfig(Logo("Lumenfall Star", logos / "lumenfall-star.jpg", TLogoStyle::lsMask, 12000,
                        TRenderMode::rmDrawMixMode, {0.15f, 0.0f, 0.5f}),
                   kLogosKey);
    SaveTextConfig(settings.ActiveText, kTextsKey);
    SaveTextConfig(Text("Night Shift", "The night is young and the particles are restless ...   ",
                        {"Times New Roman", 44, 3, 0x00FF90D0, {-10, 0, 4}}),
                   kTextsKey);
    // The first run of every user loads the intro preset from its file.
    TRegistry fresh;
    fresh.OpenKey(std::string("\\") + kSettingsKey, false);
    fresh.DeleteValue("FirstStart");
}

void CopyKey(const THive& from, THive& to, const std::string& path)
{
    to.CreateKey(path);
    for (const std::string& value : from.ValueNames(path))
        to.SetValue(path, value, *from.FindValue(path, value));
    for (const std::string& key : from.KeyNames(path))
        CopyKey(from, to, path.empty() ? key : path + "\\" + key);
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    try {
        const Options options = ParseArguments(argc, argv);
        fs::create_directories(options.output / "waves");
        fs::create_directories(options.output / "logos");
        fs::create_directories(options.output / "help");
        fs::copy_file(options.helpSource, options.output / "help" / "index.html", fs::copy_options::overwrite_existing);
        SavePicture(DrawEmblem(), options.output / "logos" / "lumenfall-emblem.bmp", "bmp");
        SavePicture(DrawMark(), options.output / "logos" / "lumenfall-star.jpg", "jpg");

        const auto presets = MakeShippedWavePresets();
        for (const auto& preset : presets)
            preset->SaveToFile((options.output / "waves" / (preset->Name + ".lmx")).string());

        const fs::path scratch = options.output / "machine.reg.user-scratch";
        fs::remove(scratch);
        setenv("LUMENFALL_USER_HIVE", scratch.c_str(), 1);
        WriteSettings(*presets.front());
        const THive user = THive::LoadFromFile(scratch.string(), HKEY_CURRENT_USER);
        THive machine(HKEY_LOCAL_MACHINE);
        CopyKey(user, machine, "");
        const fs::path hive = options.output / "machine.reg";
        machine.SaveToFile(hive.string());
        for (const fs::path& leftover : {scratch, fs::path(scratch.string() + ".lock"), fs::path(hive.string() + ".lock")})
            fs::remove(leftover);
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "lumenfall_installdata: %s\n", e.what());
        return 1;
    }
}
