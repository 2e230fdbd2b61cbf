#include "host/RenderCommand.h"

#include "graphics/GfxTool.h"
#include "host/SaverShow.h"
#include "sequencing/Sequencer.h"
#include "util/AsciiCase.h"
#include "util/AtomicFile.h"

#include <QBuffer>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

enum class TOutputKind { Picture, Folder, Video };

int64_t ParseWhole(const std::string& option, const std::string& text, int64_t minimum, int64_t maximum)
{
    size_t used = 0;
    long long value = 0;
    try {
        value = std::stoll(text, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used != text.size() || text.empty() || value < minimum || value > maximum)
        throw std::invalid_argument(option + " needs a whole number from " + std::to_string(minimum) + " to " +
                                    std::to_string(maximum) + ", not '" + text + "'");
    return value;
}

int32_t ParseCount(const std::string& option, const std::string& text, int32_t minimum, int32_t maximum)
{
    return int32_t(ParseWhole(option, text, minimum, maximum));
}

TOutputKind OutputKind(const std::string& output)
{
    if (!output.empty() && (output.back() == '/' || fs::is_directory(output)))
        return TOutputKind::Folder;
    if (EndsWithNoCase(output, ".png") || EndsWithNoCase(output, ".bmp"))
        return TOutputKind::Picture;
    if (EndsWithNoCase(output, ".y4m"))
        return TOutputKind::Video;
    throw std::invalid_argument("the output must end in .png, .bmp or .y4m, or name a folder: '" + output + "'");
}

std::string ErrnoText(int error) { return std::strerror(error); }

// Whether the output can be written, told before any frame is drawn: the folder of a picture
// or video exists and takes files, or the output is something else writable (a device).
void CheckOutput(const std::string& output, TOutputKind kind)
{
    std::error_code error;
    if (kind == TOutputKind::Folder) {
        fs::create_directories(output, error);
        if (error)
            throw std::runtime_error("cannot make the folder '" + output + "': " + error.message());
        if (::access(output.c_str(), W_OK) != 0)
            throw std::runtime_error("cannot write into '" + output + "': " + ErrnoText(errno));
        return;
    }
    const fs::path file = FileWriteTarget(output);
    if (fs::exists(file, error) && !fs::is_regular_file(file, error)) {
        if (::access(file.c_str(), W_OK) != 0)
            throw std::runtime_error("cannot write '" + output + "': " + ErrnoText(errno));
        return;
    }
    const fs::path folder = file.has_parent_path() ? file.parent_path() : fs::path(".");
    if (!fs::is_directory(folder, error))
        throw std::runtime_error("cannot write '" + output + "': the folder '" + folder.string() + "' does not exist");
    if (::access(folder.c_str(), W_OK) != 0)
        throw std::runtime_error("cannot write '" + output + "': " + ErrnoText(errno));
}

// YUV4MPEG2 with full-range BT.601 colours and 4:2:0 chroma, which ffmpeg and mpv play.
class TY4mWriter {
public:
    TY4mWriter(const std::string& fileName, int32_t width, int32_t height, int32_t intervalMs)
        : out_(fileName, std::ios::binary), width_(width), height_(height)
    {
        if (!out_)
            throw std::runtime_error("cannot write '" + fileName + "'");
        out_ << "YUV4MPEG2 W" << width << " H" << height << " F1000:" << intervalMs << " Ip A1:1 C420jpeg XCOLORRANGE=FULL\n";
        luma_.resize(size_t(width) * height);
        chroma_.resize(size_t((width + 1) / 2) * ((height + 1) / 2) * 2);
    }

    void Write(const QImage& frame)
    {
        const int32_t cw = (width_ + 1) / 2, ch = (height_ + 1) / 2;
        uint8_t* u = chroma_.data();
        uint8_t* v = u + size_t(cw) * ch;
        for (int32_t y = 0; y < height_; ++y) {
            const auto* row = reinterpret_cast<const uint32_t*>(frame.constScanLine(y));
            for (int32_t x = 0; x < width_; ++x) {
                const int32_t r = (row[x] >> 16) & 0xFF, g = (row[x] >> 8) & 0xFF, b = row[x] & 0xFF;
                luma_[size_t(y) * width_ + x] = uint8_t((77 * r + 150 * g + 29 * b + 128) >> 8);
            }
        }
        for (int32_t y = 0; y < ch; ++y) {
            for (int32_t x = 0; x < cw; ++x) {
                int32_t r = 0, g = 0, b = 0, n = 0;
                for (int32_t dy = 0; dy < 2 && 2 * y + dy < height_; ++dy) {
                    const auto* row = reinterpret_cast<const uint32_t*>(frame.constScanLine(2 * y + dy));
                    for (int32_t dx = 0; dx < 2 && 2 * x + dx < width_; ++dx, ++n) {
                        const uint32_t p = row[2 * x + dx];
                        r += (p >> 16) & 0xFF;
                        g += (p >> 8) & 0xFF;
                        b += p & 0xFF;
                    }
                }
                r /= n, g /= n, b /= n;
                u[size_t(y) * cw + x] = uint8_t(std::clamp((-43 * r - 85 * g + 128 * b + 128) / 256 + 128, 0, 255));
                v[size_t(y) * cw + x] = uint8_t(std::clamp((128 * r - 107 * g - 21 * b + 128) / 256 + 128, 0, 255));
            }
        }
        out_ << "FRAME\n";
        out_.write(reinterpret_cast<const char*>(luma_.data()), std::streamsize(luma_.size()));
        out_.write(reinterpret_cast<const char*>(chroma_.data()), std::streamsize(chroma_.size()));
        if (!out_)
            throw std::runtime_error("writing the video failed: " + ErrnoText(errno));
    }

    // The last frames sit in the stream's buffer until here.
    void Finish()
    {
        out_.flush();
        if (!out_)
            throw std::runtime_error("writing the video failed: " + ErrnoText(errno));
        out_.close();
        if (!out_)
            throw std::runtime_error("closing the video failed: " + ErrnoText(errno));
    }

private:
    std::ofstream out_;
    int32_t width_, height_;
    std::vector<uint8_t> luma_, chroma_;
};

// Encoded in memory and written whole, so that a failed write never leaves half a picture.
void SaveFrame(const QImage& frame, const std::string& fileName)
{
    const char* format = EndsWithNoCase(fileName, ".bmp") ? "BMP" : "PNG";
    QByteArray encoded;
    QBuffer buffer(&encoded);
    buffer.open(QIODevice::WriteOnly);
    if (!frame.save(&buffer, format))
        throw std::runtime_error("cannot encode '" + fileName + "'");
    WriteFileAtomically(fileName, std::string_view(encoded.constData(), size_t(encoded.size())));
}

std::string FrameFileName(const std::string& folder, int32_t frame)
{
    char name[32];
    std::snprintf(name, sizeof name, "frame%05d.png", frame);
    return (fs::path(folder) / name).string();
}

// "frames done, frames per second, time left" on one line of a terminal.
class TProgress {
public:
    explicit TProgress(int32_t total) : total_(total), start_(std::chrono::steady_clock::now()), shown_(isatty(2)) {}
    ~TProgress()
    {
        if (shown_)
            std::fputc('\n', stderr);
    }
    void Update(int32_t done)
    {
        if (!shown_)
            return;
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
        const double rate = seconds > 0 ? done / seconds : 0;
        const double left = rate > 0 ? (total_ - done) / rate : 0;
        std::fprintf(stderr, "\rframe %d/%d, %.1f frames/s, %.0f s left   ", done, total_, rate, left);
        std::fflush(stderr);
    }

private:
    int32_t total_;
    std::chrono::steady_clock::time_point start_;
    bool shown_;
};

} // namespace

std::string RenderUsage()
{
    return "usage: lumenfall --render OUT [--size WxH] [--frames N] [--interval MS] [--seed N]\n"
           "\n"
           "Runs the show from the stored settings, as the full-screen saver would on one monitor,\n"
           "with a simulated clock, and writes frames without any display.\n"
           "  OUT            a .png or .bmp file (the last frame), a folder (existing or ending\n"
           "                 in /) for frame00001.png, frame00002.png, ..., or a .y4m video\n"
           "  --size WxH     the monitor's size in pixels (default 1920x1080)\n"
           "  --frames N     number of frames (default 1)\n"
           "  --interval MS  simulated milliseconds before each frame (default 21)\n"
           "  --seed N       seed of the random preset choices, 0 to 4294967295 (default: the clock)\n"
           "The settings come from the machine and user hives (LUMENFALL_MACHINE_HIVE and\n"
           "LUMENFALL_USER_HIVE select other files).\n";
}

TRenderOptions ParseRenderArguments(const std::vector<std::string>& arguments)
{
    TRenderOptions options;
    bool haveOutput = false;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& a = arguments[i];
        auto value = [&]() -> const std::string& {
            if (i + 1 >= arguments.size())
                throw std::invalid_argument(a + " needs a value");
            return arguments[++i];
        };
        if (a == "--size") {
            const std::string& size = value();
            const size_t x = size.find_first_of("xX");
            if (x == std::string::npos)
                throw std::invalid_argument("--size needs WIDTHxHEIGHT, not '" + size + "'");
            options.Width = ParseCount("--size", size.substr(0, x), 16, 16384);
            options.Height = ParseCount("--size", size.substr(x + 1), 16, 16384);
        } else if (a == "--frames") {
            options.Frames = ParseCount(a, value(), 1, 10000000);
        } else if (a == "--interval") {
            options.IntervalMs = ParseCount(a, value(), 1, 3600000);
        } else if (a == "--seed") {
            options.Seed = uint32_t(ParseWhole(a, value(), 0, UINT32_MAX));
        } else if (!a.empty() && a[0] == '-') {
            throw std::invalid_argument("unknown option " + a);
        } else if (!haveOutput) {
            options.Output = a;
            haveOutput = true;
        } else {
            throw std::invalid_argument("more than one output: '" + a + "'");
        }
    }
    if (!haveOutput)
        throw std::invalid_argument("no output given");
    return options;
}

int RunRenderCommand(const std::vector<std::string>& arguments)
{
    for (const std::string& a : arguments) {
        if (a == "--help" || a == "-h") {
            std::fputs(RenderUsage().c_str(), stdout);
            return 0;
        }
    }
    try {
        const TRenderOptions options = ParseRenderArguments(arguments);
        const TOutputKind kind = OutputKind(options.Output);
        CheckOutput(options.Output, kind);

        uint32_t now = 0;
        ScopedSequencerClock clock([&now] { return now; });
        TSaverShow show;
        const uint32_t seed =
            options.Seed ? *options.Seed : uint32_t(std::chrono::system_clock::now().time_since_epoch().count());
        if (!show.LoadSettings(seed)) {
            std::fprintf(stderr, "lumenfall --render: %s\n", kNotInstalledMessage);
            return 2;
        }
        // One monitor: the primary screen and the virtual desktop are the same size.
        show.PrepareWave(options.Width, options.Height, ReadWaveStartPos());
        show.BuildShow();
        for (const std::string& message : show.Messages())
            std::fprintf(stderr, "lumenfall --render: %s\n", message.c_str());

        const std::vector<TMonitor> monitors{{0, 0, options.Width, options.Height, true}};
        QImage screen(options.Width, options.Height, QImage::Format_RGB32);
        screen.fill(Qt::black);
        std::optional<TY4mWriter> video;
        if (kind == TOutputKind::Video)
            video.emplace(options.Output, options.Width, options.Height, options.IntervalMs);
        TProgress progress(options.Frames);
        for (int32_t frame = 1; frame <= options.Frames; ++frame) {
            now += uint32_t(options.IntervalMs);
            show.RenderFrame();
            {
                QPainter painter(&screen);
                show.PresentFrame(painter, monitors, options.Width, options.Height);
            }
            if (kind == TOutputKind::Folder)
                SaveFrame(screen, FrameFileName(options.Output, frame));
            else if (video)
                video->Write(screen);
            progress.Update(frame);
        }
        if (kind == TOutputKind::Picture)
            SaveFrame(screen, options.Output);
        if (video)
            video->Finish();
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "lumenfall --render: %s\n", e.what());
        return 1;
    }
}
