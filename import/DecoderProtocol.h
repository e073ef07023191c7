#pragma once

#include "catalog/ThumbnailSource.h"

// Qt
#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <functional>
#include <optional>

namespace glimmora::decoder_protocol {

// How the import talks to its decoder processes over a stream socket. Every message is a frame:
// a 4-byte little-endian payload length, then the payload.
//   request: the path's file-system bytes.
//   reply:   int32 result code; uint32 length + UTF-8 error text; the thumbnail as int32 QImage
//            format, width, height, row length, dots per metre x and y (positive); uint32
//            colour count + that many uint32 colours (palette formats only, a colour for every
//            pixel value used); the pixel rows, each of the row length: the bytes that hold
//            `width` pixels of the format, without the padding rows may have in memory. A null
//            thumbnail has format 0 and no rows.
// A decoder sends one reply with code 0 and no thumbnail as soon as it is ready.
inline constexpr int kReadyCode = 0;
inline constexpr quint32 kFrameLimit = 1 << 20;  // no request or reply comes near this
inline constexpr int kThumbnailSideLimit = 1024; // thumbnails are 60 pixels; anything far larger is damage

QByteArray frame(QByteArrayView payload);
// Takes the next complete frame's payload from the front of `buffer`; nothing when the frame is
// not complete yet. Raises std::runtime_error for a frame longer than kFrameLimit.
std::optional<QByteArray> takeFrame(QByteArray& buffer);

QByteArray encodeRequest(const QString& path);
QString decodeRequest(QByteArrayView payload);

QByteArray encodeReply(const ThumbnailResult& result);
// Nothing when the payload does not follow the layout.
std::optional<ThumbnailResult> decodeReply(QByteArrayView payload);

// The thumbnail a decoder process makes: the picture loader's silent thumbnail load, for a
// record on the volume the file lies on, as FindOrAddImage makes it.
ThumbnailResult decodeThumbnail(const QString& path);

// The decoder's loop: announces itself ready, then answers each request read from `input` on
// `output` with `decode`, until `input` ends. Returns the process exit status.
int serve(int input, int output, const std::function<ThumbnailResult(const QString&)>& decode);

} // namespace glimmora::decoder_protocol
