#include "picturecontrol/FFmpegPictureDecoder.h"

#include "picturecontrol/PictureError.h"
#include "picturecontrol/PictureFile.h"
#include "picturecontrol/PictureLimits.h"

#include <cstring>
#include <memory>
#include <mutex>

// FFmpeg
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

namespace glimmora {

namespace {

struct CodecContextFree {
    void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct FrameFree {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct PacketFree {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct FormatContextClose {
    void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
struct IoContextFree {
    void operator()(AVIOContext* io) const
    {
        av_freep(&io->buffer);
        avio_context_free(&io);
    }
};
struct ScaleContextFree {
    void operator()(SwsContext* context) const { sws_freeContext(context); }
};

using CodecContext = std::unique_ptr<AVCodecContext, CodecContextFree>;
using Frame = std::unique_ptr<AVFrame, FrameFree>;
using Packet = std::unique_ptr<AVPacket, PacketFree>;

QString ffmpegMessage(int error)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(error, text, sizeof text);
    return QString::fromUtf8(text);
}

void throwOnError(int result)
{
    if (result < 0)
        throw EGvboxError(ffmpegMessage(result));
}

// The decoders log every damaged file on stderr; their errors reach the user as messages.
void silenceFFmpeg()
{
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_level(AV_LOG_QUIET); });
}

CodecContext openDecoder(const AVCodec* codec, const AVCodecParameters* parameters)
{
    if (!codec)
        throw EGvboxError(QStringLiteral("No decoder for this picture type is installed."));
    CodecContext context(avcodec_alloc_context3(codec));
    if (!context)
        throw EGvboxError(QStringLiteral("Not enough memory for the picture."));
    if (parameters)
        throwOnError(avcodec_parameters_to_context(context.get(), parameters));
    context->max_pixels = picturelimits::kMaxPixels;
    context->thread_count = 1;
    throwOnError(avcodec_open2(context.get(), codec, nullptr));
    return context;
}

void freeWithFFmpeg(void* data) { av_free(data); }

// swscale's vector code writes whole blocks of pixels, past the end of a row whose width is not
// a multiple of the block; rows padded to 64 bytes, and 64 bytes beyond the last, take that.
QImage paddedImage(int width, int height, QImage::Format format)
{
    constexpr int kPadding = 64;
    const qsizetype bytesPerLine = (qsizetype(width) * 4 + kPadding - 1) / kPadding * kPadding;
    auto* pixels = static_cast<uchar*>(av_mallocz(size_t(bytesPerLine * height + kPadding)));
    if (!pixels)
        throw EGvboxError(QStringLiteral("Not enough memory for the picture."));
    return QImage(pixels, width, height, bytesPerLine, format, freeWithFFmpeg, pixels);
}

// Palettes may carry transparency; other formats say whether they have an alpha channel.
bool mayBeTransparent(AVPixelFormat format)
{
    const AVPixFmtDescriptor* descriptor = av_pix_fmt_desc_get(format);
    return !descriptor || (descriptor->flags & (AV_PIX_FMT_FLAG_ALPHA | AV_PIX_FMT_FLAG_PAL));
}

QImage toImage(const AVFrame& frame)
{
    checkPictureSize(QSize(frame.width, frame.height));
    const auto format = AVPixelFormat(frame.format);
    // In memory BGRA is QImage's ARGB32 on a little-endian machine, and BGR0 its RGB32.
    const bool transparent = mayBeTransparent(format);
    QImage image = paddedImage(frame.width, frame.height,
                               transparent ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    std::unique_ptr<SwsContext, ScaleContextFree> scaler(
        sws_getContext(frame.width, frame.height, format, frame.width, frame.height,
                       transparent ? AV_PIX_FMT_BGRA : AV_PIX_FMT_BGR0, SWS_POINT, nullptr, nullptr, nullptr));
    if (!scaler)
        throw EGvboxError(QStringLiteral("The picture's pixel format cannot be converted."));
    uint8_t* target[4] = {image.bits(), nullptr, nullptr, nullptr};
    const int targetStride[4] = {int(image.bytesPerLine()), 0, 0, 0};
    sws_scale(scaler.get(), frame.data, frame.linesize, 0, frame.height, target, targetStride);
    return image;
}

// Sends what the packet holds (nullptr: end of input) and returns the first picture, if any.
bool receivePicture(AVCodecContext* context, const AVPacket* packet, AVFrame* frame)
{
    const int sent = avcodec_send_packet(context, packet);
    if (sent < 0 && sent != AVERROR_EOF)
        throwOnError(sent);
    const int received = avcodec_receive_frame(context, frame);
    if (received == AVERROR(EAGAIN) || received == AVERROR_EOF)
        return false;
    throwOnError(received);
    return true;
}

Packet makePacket()
{
    Packet packet(av_packet_alloc());
    if (!packet)
        throw EGvboxError(QStringLiteral("Not enough memory for the picture."));
    return packet;
}

Frame makeFrame()
{
    Frame frame(av_frame_alloc());
    if (!frame)
        throw EGvboxError(QStringLiteral("Not enough memory for the picture."));
    return frame;
}

const QString& noPictureMessage()
{
    static const QString message = QStringLiteral("The file holds no picture.");
    return message;
}

// A read-only view of the file image for a demuxer, with seeking.
struct MemoryInput {
    const QByteArray& bytes;
    qint64 position = 0;

    static int read(void* opaque, uint8_t* buffer, int size)
    {
        auto* input = static_cast<MemoryInput*>(opaque);
        const qint64 count = std::min<qint64>(size, input->bytes.size() - input->position);
        if (count <= 0)
            return AVERROR_EOF;
        std::memcpy(buffer, input->bytes.constData() + input->position, size_t(count));
        input->position += count;
        return int(count);
    }

    static int64_t seek(void* opaque, int64_t offset, int whence)
    {
        auto* input = static_cast<MemoryInput*>(opaque);
        const qint64 size = input->bytes.size();
        qint64 target;
        switch (whence & ~AVSEEK_FORCE) {
        case AVSEEK_SIZE:
            return size;
        case SEEK_SET:
            target = offset;
            break;
        case SEEK_CUR:
            target = input->position + offset;
            break;
        case SEEK_END:
            target = size + offset;
            break;
        default:
            return AVERROR(EINVAL);
        }
        if (target < 0 || target > size)
            return AVERROR(EINVAL);
        input->position = target;
        return target;
    }
};

} // namespace

QImage decodeWithFFmpegCodec(const QByteArray& bytes, const char* decoderName)
{
    silenceFFmpeg();
    CodecContext context = openDecoder(avcodec_find_decoder_by_name(decoderName), nullptr);
    Packet packet = makePacket();
    throwOnError(av_new_packet(packet.get(), int(bytes.size())));
    std::memcpy(packet->data, bytes.constData(), size_t(bytes.size()));
    Frame frame = makeFrame();
    if (receivePicture(context.get(), packet.get(), frame.get()) || receivePicture(context.get(), nullptr, frame.get()))
        return toImage(*frame);
    throw EGvboxError(noPictureMessage());
}

QImage decodeWithFFmpegDemuxer(const QByteArray& bytes, const char* demuxerName)
{
    silenceFFmpeg();
    const AVInputFormat* demuxer = av_find_input_format(demuxerName);
    if (!demuxer)
        throw EGvboxError(QStringLiteral("No reader for this picture type is installed."));

    constexpr int kIoBufferSize = 64 * 1024;
    MemoryInput input{bytes};
    auto* ioBuffer = static_cast<unsigned char*>(av_malloc(kIoBufferSize));
    std::unique_ptr<AVIOContext, IoContextFree> io(
        avio_alloc_context(ioBuffer, kIoBufferSize, 0, &input, &MemoryInput::read, nullptr, &MemoryInput::seek));
    if (!io) {
        av_free(ioBuffer);
        throw EGvboxError(QStringLiteral("Not enough memory for the picture."));
    }
    AVFormatContext* opened = avformat_alloc_context();
    if (!opened)
        throw EGvboxError(QStringLiteral("Not enough memory for the picture."));
    opened->pb = io.get();
    opened->flags |= AVFMT_FLAG_CUSTOM_IO;
    throwOnError(avformat_open_input(&opened, nullptr, demuxer, nullptr)); // frees opened on failure
    std::unique_ptr<AVFormatContext, FormatContextClose> format(opened);

    const int stream = av_find_best_stream(format.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (stream < 0)
        throw EGvboxError(noPictureMessage());
    const AVCodecParameters* parameters = format->streams[stream]->codecpar;
    CodecContext context = openDecoder(avcodec_find_decoder(parameters->codec_id), parameters);
    Packet packet = makePacket();
    Frame frame = makeFrame();
    while (av_read_frame(format.get(), packet.get()) >= 0) {
        const bool ours = packet->stream_index == stream;
        const bool decoded = ours && receivePicture(context.get(), packet.get(), frame.get());
        av_packet_unref(packet.get());
        if (decoded)
            return toImage(*frame);
    }
    if (receivePicture(context.get(), nullptr, frame.get()))
        return toImage(*frame);
    throw EGvboxError(noPictureMessage());
}

} // namespace glimmora
