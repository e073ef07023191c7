#include "import/MovieFrame.h"

#include "picturecontrol/FFmpegSupport.h"

// Qt
#include <QFile>
#include <QTransform>

// FFmpeg
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/display.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <chrono>
#include <cmath>

namespace glimmora {

namespace {

using Clock = std::chrono::steady_clock;

// The steps at which reading can fail; an avi names the step with the program's own texts,
// a mov with FFmpeg's description of the error.
enum class Step { Open, VideoStream, FrameOpen, Begin };

[[noreturn]] void fail(MovieContainer container, Step step, int error)
{
    if (container == MovieContainer::Avi) {
        switch (step) {
        case Step::Open: throw EMovieFrameError("Unable to open AVI file");
        case Step::VideoStream: throw EMovieFrameError("Audio file--unsupported");
        case Step::FrameOpen: throw EMovieFrameError("Error on frame open");
        case Step::Begin: throw EMovieFrameError("Error on AVIBegin");
        }
    }
    throw EMovieFrameError(ffmpegErrorText(error).toStdString());
}

int stopAtDeadline(void* deadline) { return Clock::now() > *static_cast<Clock::time_point*>(deadline) ? 1 : 0; }

// The one demuxer each extension is read with: a file that is something else (a playlist or a
// concat list named like a movie, say) is refused rather than handed to whichever demuxer
// recognises it.
const char* demuxerOf(MovieContainer container) { return container == MovieContainer::Avi ? "avi" : "mov"; }

FormatContextPtr openContainer(const QString& path, MovieContainer container, Clock::time_point* deadline)
{
    AVFormatContext* raw = avformat_alloc_context();
    if (!raw)
        fail(container, Step::Open, AVERROR(ENOMEM));
    raw->interrupt_callback = AVIOInterruptCB{stopAtDeadline, deadline};
    // Named with its protocol, so that a file name with a colon is never taken for another one.
    OpenedInput input = openConfinedInput(raw, demuxerOf(container), "file:" + QFile::encodeName(path));
    if (input.error < 0)
        fail(container, Step::Open, input.error);
    FormatContextPtr format = std::move(input.context);
    if (const int error = avformat_find_stream_info(format.get(), nullptr); error < 0)
        fail(container, Step::Open, error);
    return format;
}

CodecContextPtr openMovieDecoder(MovieContainer container, const AVStream* stream, const AVCodec* codec)
{
    const AVCodecParameters* parameters = stream->codecpar;
    if (parameters->width <= 0 || parameters->height <= 0 || parameters->width > MovieFrameLimits::maxSide
        || parameters->height > MovieFrameLimits::maxSide)
        fail(container, Step::FrameOpen, AVERROR_INVALIDDATA);
    CodecContextPtr decoder(avcodec_alloc_context3(codec));
    if (!decoder)
        fail(container, Step::FrameOpen, AVERROR(ENOMEM));
    if (const int error = openDecoder(decoder.get(), codec, parameters); error < 0)
        fail(container, Step::FrameOpen, error);
    return decoder;
}

// The first frame the decoder puts out (decoders give frames in display order), or the error
// that ended the search.
FramePtr firstFrame(MovieContainer container, AVFormatContext* format, AVCodecContext* decoder, int streamIndex,
                    const Clock::time_point& deadline)
{
    PacketPtr packet(av_packet_alloc());
    FramePtr frame(av_frame_alloc());
    if (!packet || !frame)
        fail(container, Step::Begin, AVERROR(ENOMEM));
    int lastError = AVERROR_EOF;
    bool flushed = false;
    for (int packets = 0; packets < MovieFrameLimits::maxPackets && Clock::now() <= deadline;) {
        const int received = avcodec_receive_frame(decoder, frame.get());
        if (received == 0)
            return frame;
        if (received != AVERROR(EAGAIN))
            fail(container, Step::Begin, received == AVERROR_EOF ? lastError : received);
        if (flushed)
            break;
        const int read = av_read_frame(format, packet.get());
        if (read < 0) {
            if (read != AVERROR_EOF)
                lastError = read;
            avcodec_send_packet(decoder, nullptr); // drain what the decoder still holds
            flushed = true;
            continue;
        }
        if (packet->stream_index == streamIndex) {
            ++packets;
            if (const int sent = avcodec_send_packet(decoder, packet.get()); sent < 0 && sent != AVERROR(EAGAIN))
                lastError = sent;
        }
        av_packet_unref(packet.get());
    }
    fail(container, Step::Begin, Clock::now() > deadline ? AVERROR_EXIT : lastError);
}

// The coded size stretched by the sample aspect ratio, as a player shows it.
QSize displaySize(AVFormatContext* format, AVStream* stream, AVFrame* frame)
{
    const AVRational sar = av_guess_sample_aspect_ratio(format, stream, frame);
    double width = frame->width;
    if (sar.num > 0 && sar.den > 0)
        width = width * sar.num / sar.den;
    return QSize(std::clamp(static_cast<int>(std::lround(width)), 1, MovieFrameLimits::maxSide), frame->height);
}

QImage toImage(MovieContainer container, const AVFrame& frame, QSize size)
{
    const ConvertedFrame converted =
        frameToImage(frame, FrameTarget{size, AV_PIX_FMT_RGB32, QImage::Format_RGB32, SWS_BICUBIC});
    if (converted.fault == FrameConversionFault::ScaleFailed)
        fail(container, Step::Begin, AVERROR(EINVAL));
    if (converted.fault != FrameConversionFault::None)
        fail(container, Step::Begin, AVERROR(ENOMEM));
    // Handed on in Qt's own memory with packed rows, as pictures from Qt are; the padded buffer
    // is freed here.
    return converted.image.copy();
}

// Movies from phones and cameras store their orientation as a display matrix.
QImage applyRotation(const AVStream* stream, const QImage& image)
{
    const auto* matrix =
        reinterpret_cast<const int32_t*>(av_stream_get_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, nullptr));
    if (!matrix)
        return image;
    const double counterClockwise = av_display_rotation_get(matrix);
    if (!std::isfinite(counterClockwise))
        return image;
    const int clockwise = ((-static_cast<int>(std::lround(counterClockwise / 90)) * 90) % 360 + 360) % 360;
    return clockwise == 0 ? image : image.transformed(QTransform().rotate(clockwise));
}

} // namespace

QImage readFirstMovieFrame(const QString& path, MovieContainer container)
{
    Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(MovieFrameLimits::decodeMilliseconds);
    const FormatContextPtr format = openContainer(path, container, &deadline);

    const AVCodec* codec = nullptr;
    const int streamIndex = av_find_best_stream(format.get(), AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
    if (streamIndex == AVERROR_STREAM_NOT_FOUND)
        fail(container, Step::VideoStream, streamIndex);
    if (streamIndex < 0 || !codec)
        fail(container, Step::FrameOpen, streamIndex < 0 ? streamIndex : AVERROR_DECODER_NOT_FOUND);
    AVStream* stream = format->streams[streamIndex];

    const CodecContextPtr decoder = openMovieDecoder(container, stream, codec);
    const FramePtr frame = firstFrame(container, format.get(), decoder.get(), streamIndex, deadline);
    if (frame->width <= 0 || frame->height <= 0 || frame->width > MovieFrameLimits::maxSide
        || frame->height > MovieFrameLimits::maxSide)
        fail(container, Step::Begin, AVERROR_INVALIDDATA);
    return applyRotation(stream, toImage(container, *frame, displaySize(format.get(), stream, frame.get())));
}

} // namespace glimmora
