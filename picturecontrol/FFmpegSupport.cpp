#include "picturecontrol/FFmpegSupport.h"

// FFmpeg
extern "C" {
#include <libavutil/dict.h>
#include <libavutil/error.h>
#include <libavutil/log.h>
#include <libavutil/mem.h>
}

#include <cstring>
#include <mutex>

namespace glimmora {

namespace {

void freeWithFFmpeg(void* data) { av_free(data); }

// swscale's vector code writes whole blocks of pixels, past the end of a row whose width is not
// a multiple of the block (up to 16 pixels, 64 bytes, at once), and past the last row. Each row
// is therefore padded to 64 bytes and one whole padded row, at least 64 bytes, lies beyond the
// last. The memory is FFmpeg's own, aligned as its vector code likes it, and zeroed.
QImage paddedImage(QSize size, QImage::Format format)
{
    constexpr qsizetype kPadding = 64;
    const qsizetype bytesPerLine = (qsizetype(size.width()) * 4 + kPadding - 1) / kPadding * kPadding;
    const qsizetype rows = qsizetype(size.height()) + 1;
    // swscale takes the row length as an int.
    if (size.width() <= 0 || size.height() <= 0 || bytesPerLine > std::numeric_limits<int>::max()
        || bytesPerLine > std::numeric_limits<qsizetype>::max() / rows)
        return QImage();
    auto* pixels = static_cast<uchar*>(av_mallocz(size_t(bytesPerLine * rows)));
    if (!pixels)
        return QImage();
    QImage image(pixels, size.width(), size.height(), bytesPerLine, format, freeWithFFmpeg, pixels);
    if (image.isNull())
        av_free(pixels);
    return image;
}

// What a confined context may open: the url it was opened on, through FFmpeg's own opener.
struct AllowedInput {
    QByteArray url;
    int (*defaultOpen)(AVFormatContext*, AVIOContext**, const char*, int, AVDictionary**);
};

int openOnlyAllowedInput(AVFormatContext* context, AVIOContext** io, const char* url, int flags, AVDictionary** options)
{
    const auto* allowed = static_cast<const AllowedInput*>(context->opaque);
    if (!allowed || allowed->url.isEmpty() || (flags & AVIO_FLAG_WRITE) || std::strcmp(url, allowed->url.constData()))
        return AVERROR(EPERM);
    return allowed->defaultOpen(context, io, url, flags, options);
}

} // namespace

void quietFFmpeg()
{
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_level(AV_LOG_QUIET); });
}

OpenedInput openConfinedInput(AVFormatContext* context, const char* demuxerName, const QByteArray& url)
{
    quietFFmpeg();
    const AVInputFormat* demuxer = av_find_input_format(demuxerName);
    if (!demuxer) {
        avformat_free_context(context);
        return {nullptr, AVERROR_DEMUXER_NOT_FOUND};
    }
    // The context's opaque pointer is ours to use. The url may be opened while the input is
    // opened; afterwards nothing may be (no opaque pointer: every open is refused).
    AllowedInput allowed{url, context->io_open};
    context->opaque = &allowed;
    context->io_open = openOnlyAllowedInput;
    AVDictionary* options = nullptr;
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    av_dict_set(&options, "format_whitelist", demuxer->name, 0);
    // On failure avformat_open_input frees the context itself.
    const int error = avformat_open_input(&context, url.isEmpty() ? nullptr : url.constData(), demuxer, &options);
    av_dict_free(&options);
    if (error < 0)
        return {nullptr, error};
    context->opaque = nullptr;
    return {FormatContextPtr(context), 0};
}

QString ffmpegErrorText(int error)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(error, text, sizeof text);
    return QString::fromUtf8(text);
}

int openDecoder(AVCodecContext* decoder, const AVCodec* codec, const AVCodecParameters* parameters,
                std::int64_t maxPixels)
{
    if (parameters) {
        if (const int error = avcodec_parameters_to_context(decoder, parameters); error < 0)
            return error;
    }
    decoder->max_pixels = maxPixels;
    decoder->thread_count = 1;
    return avcodec_open2(decoder, codec, nullptr);
}

ConvertedFrame frameToImage(const AVFrame& frame, const FrameTarget& target)
{
    QImage image = paddedImage(target.size, target.imageFormat);
    if (image.isNull())
        return {QImage(), FrameConversionFault::NoMemory};
    const ScaleContextPtr scaler(sws_getContext(frame.width, frame.height, AVPixelFormat(frame.format),
                                                target.size.width(), target.size.height(), target.pixelFormat,
                                                target.scaleFlags, nullptr, nullptr, nullptr));
    if (!scaler)
        return {QImage(), FrameConversionFault::NoConverter};
    uint8_t* planes[4] = {image.bits(), nullptr, nullptr, nullptr};
    const int strides[4] = {int(image.bytesPerLine()), 0, 0, 0};
    if (sws_scale(scaler.get(), frame.data, frame.linesize, 0, frame.height, planes, strides) <= 0)
        return {QImage(), FrameConversionFault::ScaleFailed};
    return {image, FrameConversionFault::None};
}

} // namespace glimmora
