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
#include <cstdint>

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

// Where a frame lies in the movie, in the stream's time base; none for a frame without one.
std::int64_t timestampOf(const AVFrame& frame) { return frame.best_effort_timestamp; }

FramePtr referenceTo(const AVFrame* frame)
{
    FramePtr copy(av_frame_clone(frame));
    if (!copy)
        throw EMovieFrameError("Not enough memory for the movie frame");
    return copy;
}

constexpr double kUnknownFrameRate = 25;

} // namespace

struct TMovieReader::Movie {
    QString path;
    MovieContainer container;
    Clock::time_point deadline;
    FormatContextPtr format;
    CodecContextPtr decoder;
    AVStream* stream = nullptr;
    int streamIndex = -1;
    PacketPtr packet{av_packet_alloc()};
    FramePtr frame{av_frame_alloc()};
    bool drained = false;        // told the decoder the file ended; a seek or reopening undoes it
    int lastError = AVERROR_EOF; // the last read or decoding error met on the way
    int readError = AVERROR_EOF; // a read of the file that failed, which ends the movie early

    QImage current;
    std::int64_t currentTimestamp = AV_NOPTS_VALUE;
    std::int64_t currentIndex = 0; // counted from the start; kept only for movies without timestamps
    std::int64_t firstTimestamp = AV_NOPTS_VALUE;
    bool timestamped = false;
    FramePtr pending; // a frame decoded past the current one, which the next move gives

    Movie(const QString& moviePath, MovieContainer kind) : path(moviePath), container(kind)
    {
        if (!packet || !frame)
            fail(container, Step::Begin, AVERROR(ENOMEM));
        open();
    }

    // Opens (again) from the start; the next frame decoded is the first.
    void open()
    {
        deadline = Clock::now() + std::chrono::milliseconds(MovieFrameLimits::decodeMilliseconds);
        format.reset();
        decoder.reset();
        format = openContainer(path, container, &deadline);
        const AVCodec* codec = nullptr;
        streamIndex = av_find_best_stream(format.get(), AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
        if (streamIndex == AVERROR_STREAM_NOT_FOUND)
            fail(container, Step::VideoStream, streamIndex);
        if (streamIndex < 0 || !codec)
            fail(container, Step::FrameOpen, streamIndex < 0 ? streamIndex : AVERROR_DECODER_NOT_FOUND);
        stream = format->streams[streamIndex];
        decoder = openMovieDecoder(container, stream, codec);
        drained = false;
        lastError = readError = AVERROR_EOF;
        pending.reset();
    }

    // The next frame the decoder puts out (decoders give frames in display order), or none at
    // the end of the movie; damaged data and the time and packet limits raise the failure.
    AVFrame* decode()
    {
        deadline = Clock::now() + std::chrono::milliseconds(MovieFrameLimits::decodeMilliseconds);
        for (int packets = 0; packets < MovieFrameLimits::maxPackets && Clock::now() <= deadline;) {
            const int received = avcodec_receive_frame(decoder.get(), frame.get());
            if (received == 0)
                return checkedSize(frame.get());
            if (received == AVERROR_EOF || (received == AVERROR(EAGAIN) && drained)) {
                // A read that failed ended the movie early: that is no end of the movie.
                if (readError != AVERROR_EOF)
                    fail(container, Step::Begin, readError);
                return nullptr;
            }
            if (received != AVERROR(EAGAIN))
                fail(container, Step::Begin, received);
            const int read = av_read_frame(format.get(), packet.get());
            if (read < 0) {
                if (read != AVERROR_EOF)
                    lastError = readError = read;
                avcodec_send_packet(decoder.get(), nullptr); // drain what the decoder still holds
                drained = true;
                continue;
            }
            if (packet->stream_index == streamIndex) {
                ++packets;
                if (const int sent = avcodec_send_packet(decoder.get(), packet.get());
                    sent < 0 && sent != AVERROR(EAGAIN))
                    lastError = sent;
            }
            av_packet_unref(packet.get());
        }
        fail(container, Step::Begin, Clock::now() > deadline ? AVERROR_EXIT : lastError);
    }

    AVFrame* checkedSize(AVFrame* decoded) const
    {
        if (decoded->width <= 0 || decoded->height <= 0 || decoded->width > MovieFrameLimits::maxSide
            || decoded->height > MovieFrameLimits::maxSide)
            fail(container, Step::Begin, AVERROR_INVALIDDATA);
        return decoded;
    }

    QImage picture(AVFrame* decoded) const
    {
        return applyRotation(stream, toImage(container, *decoded, displaySize(format.get(), stream, decoded)));
    }

    void makeCurrent(AVFrame* decoded)
    {
        current = picture(decoded);
        currentTimestamp = timestampOf(*decoded);
    }

    // The frame after the current one, from what was decoded ahead or from the decoder.
    bool advance()
    {
        if (pending) {
            makeCurrent(pending.get());
            pending.reset();
        } else if (AVFrame* decoded = decode()) {
            makeCurrent(decoded);
        } else {
            return false;
        }
        ++currentIndex;
        return true;
    }

    // Goes to the key frame at or before `timestamp`; false when the demuxer cannot seek.
    bool seekBefore(std::int64_t timestamp)
    {
        if (av_seek_frame(format.get(), streamIndex, timestamp, AVSEEK_FLAG_BACKWARD) < 0)
            return false;
        avcodec_flush_buffers(decoder.get());
        drained = false;
        pending.reset();
        return true;
    }

    // Decodes on to the frame at `target`: the one just before it becomes current and the one
    // at it is kept to be given next. False when no frame before it was decoded.
    bool stopBefore(std::int64_t target)
    {
        FramePtr before;
        while (AVFrame* decoded = decode()) {
            if (timestampOf(*decoded) >= target) {
                pending = referenceTo(decoded);
                break;
            }
            before = referenceTo(decoded);
        }
        if (!before)
            return false;
        makeCurrent(before.get());
        return true;
    }

    // The frame before the current one, found from its timestamp.
    bool backByTimestamp()
    {
        const std::int64_t target = currentTimestamp;
        if (seekBefore(target - 1) && stopBefore(target))
            return true;
        open(); // the demuxer found no earlier key frame: from the start
        return stopBefore(target);
    }

    // The frame before the current one, counted from the start.
    bool backByCounting()
    {
        const std::int64_t target = currentIndex - 1;
        open();
        currentIndex = -1;
        while (currentIndex < target)
            if (!advance())
                return false;
        return true;
    }

    // The timestamp just past the last frame, where the movie says how long it is.
    std::int64_t endTimestamp() const
    {
        if (!timestamped || stream->duration <= 0)
            return AV_NOPTS_VALUE;
        return (stream->start_time != AV_NOPTS_VALUE ? stream->start_time : 0) + stream->duration;
    }

    // Decodes to the end, from the last key frame where the movie can seek there; the last frame
    // becomes current.
    void toEnd()
    {
        FramePtr last;
        const std::int64_t end = endTimestamp();
        if (end == AV_NOPTS_VALUE || !seekBefore(end)) {
            last = std::move(pending);
            currentIndex += last ? 1 : 0;
        }
        while (AVFrame* decoded = decode()) {
            last = referenceTo(decoded);
            ++currentIndex;
        }
        if (last)
            makeCurrent(last.get());
        else if (end != AV_NOPTS_VALUE)
            backToCurrent(); // the seek led past every frame
    }

    // Decodes from the start again up to the current frame, which stays current.
    void backToCurrent()
    {
        const std::int64_t target = currentTimestamp;
        open();
        while (AVFrame* decoded = decode())
            if (timestampOf(*decoded) >= target)
                return;
    }
};

TMovieReader::TMovieReader(const QString& path, MovieContainer container)
    : movie_(std::make_unique<Movie>(path, container))
{
    AVFrame* first = movie_->decode();
    if (!first)
        fail(container, Step::Begin, movie_->lastError);
    movie_->makeCurrent(first);
    movie_->firstTimestamp = movie_->currentTimestamp;
    movie_->timestamped = movie_->firstTimestamp != AV_NOPTS_VALUE;
}

TMovieReader::~TMovieReader() = default;

const QImage& TMovieReader::currentFrame() const { return movie_->current; }

QImage TMovieReader::nextFrame() { return movie_->advance() ? movie_->current : QImage(); }

QImage TMovieReader::previousFrame()
{
    if (atFirstFrame())
        return QImage();
    const bool moved = movie_->timestamped ? movie_->backByTimestamp() : movie_->backByCounting();
    return moved ? movie_->current : QImage();
}

QImage TMovieReader::firstFrame()
{
    if (atFirstFrame())
        return movie_->current;
    movie_->open();
    movie_->currentIndex = -1;
    return nextFrame();
}

QImage TMovieReader::lastFrame()
{
    movie_->toEnd();
    return movie_->current;
}

bool TMovieReader::atFirstFrame() const
{
    return movie_->timestamped ? movie_->currentTimestamp == movie_->firstTimestamp : movie_->currentIndex == 0;
}

double TMovieReader::framesPerSecond() const
{
    AVRational rate = movie_->stream->avg_frame_rate;
    if (rate.num <= 0 || rate.den <= 0)
        rate = movie_->stream->r_frame_rate;
    const double perSecond = rate.num > 0 && rate.den > 0 ? av_q2d(rate) : 0;
    return perSecond > 0 && perSecond <= 1000 ? perSecond : kUnknownFrameRate;
}

QImage readFirstMovieFrame(const QString& path, MovieContainer container)
{
    return TMovieReader(path, container).currentFrame();
}

} // namespace glimmora
