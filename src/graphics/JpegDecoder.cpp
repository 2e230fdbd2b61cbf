#include "graphics/JpegDecoder.h"

#include <csetjmp>
#include <cstdio> // jpeglib.h needs FILE and size_t declared first
#include <jerror.h>
#include <jpeglib.h>

#include <string>

namespace {

// libjpeg's working memory (coefficient buffers of progressive pictures) beyond the
// picture itself.
constexpr long kMaxWorkingBytes = long(1) << 30;
// Real progressive pictures have about ten scans; thousands only make decoding crawl.
constexpr int kMaxScans = 1000;

// libjpeg reports errors through callbacks that must not return: they jump back to the
// setjmp of the step in progress. Only plain data lives in the frames they jump over.
struct TJpegSession {
    jpeg_decompress_struct Info{};
    jpeg_error_mgr Errors{};
    jpeg_progress_mgr Progress{};
    std::jmp_buf Jump{};
    char Message[JMSG_LENGTH_MAX] = {};
    bool Created = false;

    ~TJpegSession()
    {
        if (Created)
            jpeg_destroy_decompress(&Info);
    }
};

TJpegSession& SessionOf(j_common_ptr info)
{
    return *static_cast<TJpegSession*>(info->client_data);
}

[[noreturn]] void AbortWith(j_common_ptr info)
{
    TJpegSession& session = SessionOf(info);
    (*info->err->format_message)(info, session.Message);
    std::longjmp(session.Jump, 1);
}

void ErrorExit(j_common_ptr info) { AbortWith(info); }

// Warnings about odd but readable data are ignored; running out of data is not.
void EmitMessage(j_common_ptr info, int level)
{
    if (level < 0 && info->err->msg_code == JWRN_JPEG_EOF)
        AbortWith(info);
}

void OutputMessage(j_common_ptr) {}

void CheckScanCount(j_common_ptr info)
{
    const auto* decompress = reinterpret_cast<j_decompress_ptr>(info);
    if (decompress->input_scan_number > kMaxScans) {
        std::snprintf(SessionOf(info).Message, JMSG_LENGTH_MAX, "More than %d scans", kMaxScans);
        std::longjmp(SessionOf(info).Jump, 1);
    }
}

[[noreturn]] void Fail(const std::string& text) { throw EJpegError("JpegDecoder.DecodeJpeg : " + text); }

bool ReadHeader(TJpegSession& session, const uint8_t* data, size_t size)
{
    if (setjmp(session.Jump))
        return false;
    session.Info.err = jpeg_std_error(&session.Errors);
    session.Errors.error_exit = ErrorExit;
    session.Errors.emit_message = EmitMessage;
    session.Errors.output_message = OutputMessage;
    session.Created = true; // the zeroed structure is safe to destroy even if creation fails
    jpeg_create_decompress(&session.Info);
    session.Info.client_data = &session;
    session.Info.mem->max_memory_to_use = kMaxWorkingBytes;
    session.Progress.progress_monitor = CheckScanCount;
    session.Info.progress = &session.Progress;
    jpeg_mem_src(&session.Info, data, static_cast<unsigned long>(size));
    jpeg_read_header(&session.Info, TRUE);
    return true;
}

bool ReadPixels(TJpegSession& session, uint8_t* bits, size_t bytesPerLine)
{
    if (setjmp(session.Jump))
        return false;
    j_decompress_ptr info = &session.Info;
    info->out_color_space = JCS_RGB;
    jpeg_start_decompress(info);
    JSAMPARRAY row = (*info->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(info), JPOOL_IMAGE,
                                                info->output_width * info->output_components, 1);
    while (info->output_scanline < info->output_height) {
        uint32_t* out = reinterpret_cast<uint32_t*>(bits + size_t(info->output_scanline) * bytesPerLine);
        jpeg_read_scanlines(info, row, 1);
        const JSAMPLE* in = row[0];
        for (JDIMENSION x = 0; x < info->output_width; ++x, in += 3)
            out[x] = 0xFF000000u | (uint32_t(in[0]) << 16) | (uint32_t(in[1]) << 8) | in[2];
    }
    jpeg_finish_decompress(info);
    return true;
}

} // namespace

QImage DecodeJpeg(std::span<const uint8_t> data)
{
    TJpegSession session;
    if (!ReadHeader(session, data.data(), data.size()))
        Fail(session.Message);
    const jpeg_decompress_struct& info = session.Info;
    if (info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK)
        Fail("CMYK pictures are not supported");
    if (!PictureSizeAllowed(info.image_width, info.image_height))
        Fail(RefusedPictureSize(info.image_width, info.image_height));
    QImage image(int(info.image_width), int(info.image_height), QImage::Format_RGB32);
    if (image.isNull())
        Fail("Out of memory for the picture");
    if (!ReadPixels(session, image.bits(), size_t(image.bytesPerLine())))
        Fail(session.Message);
    return image;
}
