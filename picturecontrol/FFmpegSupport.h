#pragma once

// Qt
#include <QImage>
#include <QSize>
#include <QString>

// FFmpeg
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include <cstdint>
#include <limits>
#include <memory>

// The FFmpeg plumbing shared by the still-picture decoder and the movie reader: owners for
// FFmpeg's objects, its error texts, opening a decoder and turning a decoded frame into a QImage.
namespace glimmora {

struct FormatContextClose {
    void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
struct CodecContextFree {
    void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct PacketFree {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct FrameFree {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct ScaleContextFree {
    void operator()(SwsContext* context) const { sws_freeContext(context); }
};

using FormatContextPtr = std::unique_ptr<AVFormatContext, FormatContextClose>;
using CodecContextPtr = std::unique_ptr<AVCodecContext, CodecContextFree>;
using PacketPtr = std::unique_ptr<AVPacket, PacketFree>;
using FramePtr = std::unique_ptr<AVFrame, FrameFree>;
using ScaleContextPtr = std::unique_ptr<SwsContext, ScaleContextFree>;

// FFmpeg's description of one of its error codes.
QString ffmpegErrorText(int error);

// Keeps FFmpeg's log off the terminal for the whole process: a damaged file makes its decoders
// and demuxers print lines that mean nothing to the user, whose errors reach them as messages.
void quietFFmpeg();

// Opens `url` with exactly one demuxer (`demuxerName`, as av_find_input_format knows it) on a
// context whose inputs are confined: the demuxer may read the one input it was opened on and
// nothing else, so a playlist, a reference movie or a concat list never makes it open another
// file or an address. `url` is read through the file protocol alone; with a custom AVIO context
// already set on `context` (pass an empty url) no other input can be opened at all. Takes
// ownership of `context`; returns it open, or FFmpeg's error code with the context freed.
struct OpenedInput {
    FormatContextPtr context;
    int error = 0;
};
OpenedInput openConfinedInput(AVFormatContext* context, const char* demuxerName, const QByteArray& url);

// Sets up an allocated decoder from a stream's parameters (nullptr: the codec's defaults) and
// opens it for `codec`. It decodes on the calling thread (one picture is wanted; threads would
// only add latency) and refuses frames of more than maxPixels (FFmpeg's own default: INT_MAX).
// Returns 0 or FFmpeg's error code.
int openDecoder(AVCodecContext* decoder, const AVCodec* codec, const AVCodecParameters* parameters,
                std::int64_t maxPixels = std::numeric_limits<int>::max());

// What a frame is converted into: swscale writes `pixelFormat`, which must be laid out in memory
// as the 32-bit `imageFormat` is, at `size` (the frame's own size, or another to scale it).
struct FrameTarget {
    QSize size;
    AVPixelFormat pixelFormat;
    QImage::Format imageFormat;
    int scaleFlags; // SWS_POINT converts pixel for pixel; SWS_BICUBIC for a picture that is resized
};

enum class FrameConversionFault { None, NoMemory, NoConverter, ScaleFailed };

struct ConvertedFrame {
    QImage image; // null unless fault is None
    FrameConversionFault fault = FrameConversionFault::None;
};

// The frame as a QImage of target.size in target.imageFormat. Its rows are padded in FFmpeg's
// memory so that swscale's block writes stay inside the buffer (see FFmpegSupport.cpp); the
// image's bytesPerLine may therefore exceed width * 4. Faults are reported, never thrown, so each
// caller keeps its own messages.
ConvertedFrame frameToImage(const AVFrame& frame, const FrameTarget& target);

} // namespace glimmora
