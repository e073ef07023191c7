#include "picturecontrol/FFmpegPictureDecoder.h"

#include "picturecontrol/FFmpegSupport.h"
#include "picturecontrol/PictureError.h"
#include "picturecontrol/PictureFile.h"
#include "picturecontrol/PictureLimits.h"

#include <cstring>
#include <memory>

// FFmpeg
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/pixdesc.h>
}

namespace glimmora {

namespace {

struct IoContextFree {
    void operator()(AVIOContext* io) const
    {
        av_freep(&io->buffer);
        avio_context_free(&io);
    }
};

void throwOnError(int result)
{
    if (result < 0)
        throw EGvboxError(ffmpegErrorText(result));
}

CodecContextPtr openPictureDecoder(const AVCodec* codec, const AVCodecParameters* parameters)
{
    if (!codec)
        throw EGvboxError(QStringLiteral("No decoder for this picture type is installed."));
    CodecContextPtr context(avcodec_alloc_context3(codec));
    if (!context)
        throw EGvboxError(QStringLiteral("Not enough memory for the picture."));
    throwOnError(openDecoder(context.get(), codec, parameters, picturelimits::kMaxPixels));
    return context;
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
    // In memory BGRA is QImage's ARGB32 on a little-endian machine, and BGR0 its RGB32.
    const bool transparent = mayBeTransparent(AVPixelFormat(frame.format));
    const FrameTarget target{QSize(frame.width, frame.height), transparent ? AV_PIX_FMT_BGRA : AV_PIX_FMT_BGR0,
                             transparent ? QImage::Format_ARGB32 : QImage::Format_RGB32, SWS_POINT};
    ConvertedFrame converted = frameToImage(frame, target);
    if (converted.fault == FrameConversionFault::NoMemory)
        throw EGvboxError(QStringLiteral("Not enough memory for the picture."));
    if (converted.fault != FrameConversionFault::None)
        throw EGvboxError(QStringLiteral("The picture's pixel format cannot be converted."));
    return converted.image;
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

PacketPtr makePacket()
{
    PacketPtr packet(av_packet_alloc());
    if (!packet)
        throw EGvboxError(QStringLiteral("Not enough memory for the picture."));
    return packet;
}

FramePtr makeFrame()
{
    FramePtr frame(av_frame_alloc());
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
        case AVSEEK_SIZE: return size;
        case SEEK_SET: target = offset; break;
        case SEEK_CUR: target = input->position + offset; break;
        case SEEK_END: target = size + offset; break;
        default: return AVERROR(EINVAL);
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
    quietFFmpeg();
    CodecContextPtr context = openPictureDecoder(avcodec_find_decoder_by_name(decoderName), nullptr);
    PacketPtr packet = makePacket();
    throwOnError(av_new_packet(packet.get(), int(bytes.size())));
    std::memcpy(packet->data, bytes.constData(), size_t(bytes.size()));
    FramePtr frame = makeFrame();
    if (receivePicture(context.get(), packet.get(), frame.get()) || receivePicture(context.get(), nullptr, frame.get()))
        return toImage(*frame);
    throw EGvboxError(noPictureMessage());
}

QImage decodeWithFFmpegDemuxer(const QByteArray& bytes, const char* demuxerName)
{
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
    OpenedInput confined = openConfinedInput(opened, demuxerName, QByteArray());
    if (confined.error == AVERROR_DEMUXER_NOT_FOUND)
        throw EGvboxError(QStringLiteral("No reader for this picture type is installed."));
    throwOnError(confined.error);
    const FormatContextPtr format = std::move(confined.context);

    const int stream = av_find_best_stream(format.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (stream < 0)
        throw EGvboxError(noPictureMessage());
    const AVCodecParameters* parameters = format->streams[stream]->codecpar;
    CodecContextPtr context = openPictureDecoder(avcodec_find_decoder(parameters->codec_id), parameters);
    PacketPtr packet = makePacket();
    FramePtr frame = makeFrame();
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
