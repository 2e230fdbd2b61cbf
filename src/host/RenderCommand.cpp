#include "host/RenderCommand.h"

#include "graphics/GfxTool.h"
#include "host/SaverShow.h"
#include "sequencing/Sequencer.h"
#include "util/AsciiCase.h"
#include "util/AtomicFile.h"

#include "host/FrameEncoder.h"
#include "host/PngEncoder.h"
#include "host/Y4mWriter.h"

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
#include <stdexcept>
#include <thread>
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

// A frame's file, written whole through a temporary file, so that a failed write never
// leaves half a picture.
void WriteFile(const std::string& fileName, const QByteArray& bytes)
{
    WriteFileAtomically(fileName, std::string_view(bytes.constData(), size_t(bytes.size())));
}

void SaveFrame(const QImage& frame, const std::string& fileName, int32_t compression)
{
    if (!EndsWithNoCase(fileName, ".bmp")) {
        WriteFile(fileName, EncodePng(frame, compression));
        return;
    }
    QByteArray encoded;
    QBuffer buffer(&encoded);
    buffer.open(QIODevice::WriteOnly);
    if (!frame.save(&buffer, "BMP"))
        throw std::runtime_error("cannot encode '" + fileName + "'");
    WriteFile(fileName, encoded);
}

std::string FrameFileName(const std::string& folder, int32_t frame)
{
    char name[32];
    std::snprintf(name, sizeof name, "frame%05d.png", frame);
    return (fs::path(folder) / name).string();
}

// "frames done, frames per second, time left": on a terminal one line kept up to date, else
// a line at every tenth of the frames.
class TProgress {
public:
    TProgress(int32_t total, bool quiet)
        : total_(total), start_(std::chrono::steady_clock::now()), terminal_(isatty(2)), quiet_(quiet)
    {
    }
    ~TProgress()
    {
        if (terminal_ && !quiet_ && shown_ > 0)
            std::fputc('\n', stderr);
    }
    void Update(int32_t done)
    {
        if (quiet_ || done <= shown_)
            return;
        const int32_t tenth = int32_t(int64_t(done) * 10 / total_);
        if (!terminal_ && tenth == int32_t(int64_t(shown_) * 10 / total_))
            return;
        shown_ = done;
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
        const double rate = seconds > 0 ? done / seconds : 0;
        const double left = rate > 0 ? (total_ - done) / rate : 0;
        if (terminal_)
            std::fprintf(stderr, "\rframe %d/%d, %.1f frames/s, %.0f s left   ", done, total_, rate, left);
        else
            std::fprintf(stderr, "lumenfall --render: frame %d/%d (%d %%), %.1f frames/s, %.0f s left\n", done,
                         total_, tenth * 10, rate, left);
        std::fflush(stderr);
    }

private:
    int32_t total_;
    std::chrono::steady_clock::time_point start_;
    bool terminal_;
    bool quiet_;
    int32_t shown_ = 0;
};

// A video longer than this much show time announces its size first.
constexpr int64_t kLongVideoMs = 10000;

std::string ByteText(int64_t bytes)
{
    char text[32];
    if (bytes >= (int64_t(1) << 30))
        std::snprintf(text, sizeof text, "%.1f GiB", double(bytes) / double(int64_t(1) << 30));
    else
        std::snprintf(text, sizeof text, "%.1f MiB", double(bytes) / double(1 << 20));
    return text;
}

} // namespace

std::string RenderUsage()
{
    return "usage: lumenfall --render OUT [--size WxH] [--frames N] [--interval MS] [--seed N]\n"
           "                        [--png-compression 0..9] [--quiet]\n"
           "\n"
           "Runs the show from the stored settings, as the full-screen saver would on one monitor,\n"
           "with a simulated clock, and writes frames without any display.\n"
           "  OUT            a .png or .bmp file (the last frame), a folder (existing or ending\n"
           "                 in /) for frame00001.png, frame00002.png, ..., or a .y4m video\n"
           "  --size WxH     the monitor's size in pixels (default 1920x1080)\n"
           "  --frames N     number of frames (default 1)\n"
           "  --interval MS  simulated milliseconds before each frame (default 21)\n"
           "  --seed N       seed of the random preset choices, 0 to 4294967295 (default: the clock)\n"
           "  --png-compression L\n"
           "                 zlib level of PNG frames, 0 (none) to 9 (smallest, slowest); default 1\n"
           "  --quiet        no progress and no size of the video on stderr, only errors\n"
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
        } else if (a == "--png-compression") {
            options.PngCompression = ParseCount(a, value(), 0, 9);
        } else if (a == "--quiet") {
            options.Quiet = true;
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
        auto present = [&](QImage& screen) {
            QPainter painter(&screen);
            show.PresentFrame(painter, monitors, options.Width, options.Height);
        };
        TProgress progress(options.Frames, options.Quiet);
        // The frames are encoded on the other cores while the show renders the next ones.
        auto renderEncoded = [&](TFrameEncoder::TEncode encode, TFrameEncoder::TWrite write) {
            const int32_t workers = int32_t(std::max(1u, std::thread::hardware_concurrency()));
            TFrameEncoder encoder(options.Width, options.Height, workers, std::move(encode), std::move(write));
            for (int32_t frame = 1; frame <= options.Frames; ++frame) {
                now += uint32_t(options.IntervalMs);
                show.RenderFrame();
                present(encoder.NextPicture());
                // Counted when rendered: the encoding is at most a few pictures behind.
                encoder.Submit(frame);
                progress.Update(frame);
            }
            encoder.Finish();
        };
        if (kind == TOutputKind::Folder) {
            renderEncoded([&options](const QImage& frame) { return EncodePng(frame, options.PngCompression); },
                          [&options](int32_t frame, const QByteArray& bytes) {
                              WriteFile(FrameFileName(options.Output, frame), bytes);
                          });
            return 0;
        }
        if (kind == TOutputKind::Video) {
            TY4mWriter video(options.Output, options.Width, options.Height, options.IntervalMs);
            if (!options.Quiet && int64_t(options.Frames) * options.IntervalMs > kLongVideoMs)
                std::fprintf(stderr, "lumenfall --render: %d frames of %dx%d into '%s', %s\n", options.Frames,
                             options.Width, options.Height, options.Output.c_str(),
                             ByteText(TY4mWriter::FileSize(options.Width, options.Height, options.IntervalMs,
                                                           options.Frames))
                                 .c_str());
            renderEncoded(TY4mWriter::EncodeFrame, [&video](int32_t, const QByteArray& bytes) { video.Append(bytes); });
            video.Finish();
            return 0;
        }
        QImage screen(options.Width, options.Height, QImage::Format_RGB32);
        screen.fill(Qt::black);
        for (int32_t frame = 1; frame <= options.Frames; ++frame) {
            now += uint32_t(options.IntervalMs);
            show.RenderFrame();
            present(screen);
            progress.Update(frame);
        }
        SaveFrame(screen, options.Output, options.PngCompression);
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "lumenfall --render: %s\n", e.what());
        return 1;
    }
}
