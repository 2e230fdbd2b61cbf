// Renders every wave preset of a folder as the saver shows it and lays one frame of each,
// with the preset's name, into one picture: how the gallery is judged and documented.
//
//   lumenfall_contactsheet --waves DIR --output FILE.png [--screen WxH] [--tile WxH]
//                          [--frames N] [--interval MS] [--columns N]
//
// Each preset runs alone (no logo, no text) in a scratch installation whose user settings
// hold it as the active wave, on one monitor of the screen's size (1920x1080 unless given)
// with a simulated clock; its last frame is scaled down to the tile, so the sheet shows the
// density and trails of a real screen. One line per preset goes to stdout: the share of
// particles that left the drawing area (worst frame) and the time of a frame.

#include "host/FPUControl.h"
#include "host/SaverShow.h"
#include "kinds/LumenfallCfg.h"
#include "kinds/ParticleWaves.h"
#include "platform/Registry.h"
#include "persistence/SettingsStore.h"
#include "sequencing/Sequencer.h"
#include "util/CPUUtility.h"

#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include <unistd.h>

namespace fs = std::filesystem;

namespace {

struct Options {
    fs::path waves;
    fs::path output;
    int32_t screenWidth = 1920;
    int32_t screenHeight = 1080;
    int32_t tileWidth = 640;
    int32_t tileHeight = 360;
    int32_t frames = 150;
    int32_t intervalMs = 21;
    int32_t columns = 4;
};

constexpr int32_t kLabelHeight = 30;
constexpr int32_t kGap = 6;

int32_t ParsePositive(const std::string& option, const std::string& text)
{
    size_t used = 0;
    int value = 0;
    try {
        value = std::stoi(text, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used != text.size() || value < 1)
        throw std::runtime_error(option + " needs a positive whole number, not '" + text + "'");
    return value;
}

void ParseSize(const std::string& option, const std::string& text, int32_t& width, int32_t& height)
{
    const size_t x = text.find('x');
    if (x == std::string::npos)
        throw std::runtime_error(option + " needs WIDTHxHEIGHT, not '" + text + "'");
    width = ParsePositive(option, text.substr(0, x));
    height = ParsePositive(option, text.substr(x + 1));
}

Options ParseArguments(int argc, char** argv)
{
    Options options;
    for (int i = 1; i < argc; i += 2) {
        const std::string name = argv[i];
        if (i + 1 >= argc)
            throw std::runtime_error(name + " needs a value");
        const std::string value = argv[i + 1];
        if (name == "--waves") {
            options.waves = value;
        } else if (name == "--output") {
            options.output = value;
        } else if (name == "--screen") {
            ParseSize(name, value, options.screenWidth, options.screenHeight);
        } else if (name == "--tile") {
            ParseSize(name, value, options.tileWidth, options.tileHeight);
        } else if (name == "--frames") {
            options.frames = ParsePositive(name, value);
        } else if (name == "--interval") {
            options.intervalMs = ParsePositive(name, value);
        } else if (name == "--columns") {
            options.columns = ParsePositive(name, value);
        } else {
            throw std::runtime_error("unknown argument " + name);
        }
    }
    if (options.waves.empty() || options.output.empty())
        throw std::runtime_error("usage: lumenfall_contactsheet --waves DIR --output FILE.png [--screen WxH] "
                                 "[--tile WxH] [--frames N] [--interval MS] [--columns N]");
    return options;
}

std::vector<fs::path> PresetFiles(const fs::path& folder)
{
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.is_regular_file() && entry.path().extension() == ".lmx")
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    if (files.empty())
        throw std::runtime_error("no .lmx presets in " + folder.string());
    return files;
}

// Points both hives at a fresh folder for the life of the object: a machine hive that names
// the waves folder and a user hive whose active wave is the preset, shown alone. The show
// samples its logo even when the logo is off, so a blank one keeps the frames free of the
// missing file's message.
class ScratchInstallation {
public:
    ScratchInstallation(const fs::path& wavesFolder, const TWaveConfig& preset)
        : folder_(fs::temp_directory_path() / ("lumenfall-contactsheet-" + std::to_string(::getpid())))
    {
        fs::remove_all(folder_);
        fs::create_directories(folder_);
        setenv("LUMENFALL_MACHINE_HIVE", (folder_ / "machine.reg").c_str(), 1);
        setenv("LUMENFALL_USER_HIVE", (folder_ / "user.reg").c_str(), 1);
        THive machine(HKEY_LOCAL_MACHINE);
        machine.SetValue(kSettingsKey, "WavesDirectory", TRegData::String(wavesFolder.string() + "/"));
        machine.SaveToFile((folder_ / "machine.reg").string());

        TBlankerSettings settings;
        settings.ActiveWave->Assign(preset);
        settings.LogoEnabled = false;
        settings.TextEnabled = false;
        settings.WaveDuration = kMaxDurationSeconds;
        settings.ActiveLogo.ParticleCount = 1;
        settings.ActiveLogo.Path = (folder_ / "blank.bmp").string();
        QImage blank(2, 2, QImage::Format_RGB32);
        blank.fill(Qt::black);
        if (!blank.save(QString::fromStdString(settings.ActiveLogo.Path), "BMP"))
            throw std::runtime_error("cannot write " + settings.ActiveLogo.Path);
        SaveBlankerSettings(settings);
    }
    ~ScratchInstallation()
    {
        unsetenv("LUMENFALL_MACHINE_HIVE");
        unsetenv("LUMENFALL_USER_HIVE");
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }
    ScratchInstallation(const ScratchInstallation&) = delete;
    ScratchInstallation& operator=(const ScratchInstallation&) = delete;

private:
    fs::path folder_;
};

// The last frame of the preset as a monitor of the screen's size shows it, scaled to the tile.
QImage RenderTile(const Options& options, const fs::path& file)
{
    TWaveConfig preset;
    preset.LoadFromFile(file.string());
    ScratchInstallation installation(options.waves, preset);

    uint32_t now = 0;
    ScopedSequencerClock clock([&now] { return now; });
    TSaverShow show;
    if (!show.LoadSettings(1))
        throw std::runtime_error("the scratch installation of " + file.string() + " did not load");
    show.PrepareWave(options.screenWidth, options.screenHeight, 0);
    show.BuildShow();

    double worstOutside = 0;
    // Processor time, so that other work on the machine does not count.
    const std::clock_t start = std::clock();
    for (int32_t frame = 0; frame < options.frames; ++frame) {
        now += uint32_t(options.intervalMs);
        show.RenderFrame();
        worstOutside = std::max(worstOutside, show.WaveSystem()->ShareOutsideRaster());
    }
    const double ms = 1000.0 * double(std::clock() - start) / CLOCKS_PER_SEC;
    std::printf("%-24s %6d particles  %5.2f%% outside at worst  %6.2f ms/frame\n", preset.Name.c_str(),
                preset.ParticleCount, 100 * worstOutside, ms / options.frames);

    QImage screen(options.screenWidth, options.screenHeight, QImage::Format_RGB32);
    screen.fill(Qt::black);
    {
        QPainter painter(&screen);
        show.PresentFrame(painter, {{0, 0, options.screenWidth, options.screenHeight, true}}, options.screenWidth,
                          options.screenHeight);
    }
    return screen.scaled(options.tileWidth, options.tileHeight, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

QImage ComposeSheet(const Options& options, const std::vector<fs::path>& files)
{
    const int32_t columns = std::min<int32_t>(options.columns, int32_t(files.size()));
    const int32_t rows = (int32_t(files.size()) + columns - 1) / columns;
    const int32_t cellWidth = options.tileWidth + kGap, cellHeight = options.tileHeight + kLabelHeight + kGap;
    QImage sheet(columns * cellWidth + kGap, rows * cellHeight + kGap, QImage::Format_RGB32);
    sheet.fill(QColor(24, 24, 28));
    QPainter painter(&sheet);
    QFont font("Arial");
    font.setPixelSize(17);
    painter.setFont(font);
    painter.setPen(QColor(225, 225, 230));
    for (size_t i = 0; i < files.size(); ++i) {
        const int32_t x = kGap + int32_t(i) % columns * cellWidth;
        const int32_t y = kGap + int32_t(i) / columns * cellHeight;
        painter.drawImage(x, y, RenderTile(options, files[i]));
        painter.drawText(QRect(x, y + options.tileHeight, options.tileWidth, kLabelHeight), Qt::AlignCenter,
                         QString::fromStdString(files[i].stem().string()));
    }
    return sheet;
}

} // namespace

int main(int argc, char** argv)
{
    // As the program itself starts: single precision, truncation, the packed paths.
    SetProgramFloatingPointMode();
    InitCPUFeatures();
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    try {
        const Options options = ParseArguments(argc, argv);
        const QImage sheet = ComposeSheet(options, PresetFiles(options.waves));
        if (!sheet.save(QString::fromStdString(options.output.string()), "PNG"))
            throw std::runtime_error("cannot write " + options.output.string());
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "lumenfall_contactsheet: %s\n", e.what());
        return 1;
    }
}
