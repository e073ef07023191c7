#pragma once

// Qt
#include <QByteArray>
#include <QImage>

namespace glimmora {

// Decodes a file image that is one picture for one of FFmpeg's image decoders, by decoder
// name ("targa", "pcx", "gem", "pictor"). Throws EGvboxError with FFmpeg's message.
QImage decodeWithFFmpegCodec(const QByteArray& bytes, const char* decoderName);

// Decodes the first picture of a file image through one of FFmpeg's demuxers, by name ("iff",
// "msp"), for the types whose decoders need what the demuxer reads from the headers.
QImage decodeWithFFmpegDemuxer(const QByteArray& bytes, const char* demuxerName);

} // namespace glimmora
