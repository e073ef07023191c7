// Feeds arbitrary bytes to the import's reader of decoder replies, as a stream that arrives in
// pieces: the frames are taken from the buffer as they complete and each payload is parsed as a
// reply. Whatever a decoder process sends, the reader refuses it or gives a thumbnail that fits
// the protocol's limits.
#include "import/DecoderProtocol.h"

#include <cstdint>
#include <cstdlib>
#include <stdexcept>

namespace {

void checkReply(const QByteArray& payload)
{
    using namespace glimmora::decoder_protocol;
    const std::optional<glimmora::ThumbnailResult> reply = decodeReply(payload);
    if (!reply || reply->thumbnail.isNull())
        return;
    if (reply->thumbnail.width() > kThumbnailSideLimit || reply->thumbnail.height() > kThumbnailSideLimit)
        std::abort();
    // What was read is sent and read again unchanged, whatever padding or table the reply had.
    const std::optional<glimmora::ThumbnailResult> again = decodeReply(encodeReply(*reply));
    if (!again || again->code != reply->code || again->errorText != reply->errorText
        || again->thumbnail != reply->thumbnail || again->thumbnail.colorTable() != reply->thumbnail.colorTable())
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The payload alone, as a frame's content.
    checkReply(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    // The bytes as a stream that arrives in pieces of up to 7 bytes.
    QByteArray buffer;
    try {
        for (size_t at = 0; at < size; at += 7) {
            buffer.append(reinterpret_cast<const char*>(data + at), qsizetype(std::min<size_t>(7, size - at)));
            while (std::optional<QByteArray> payload = glimmora::decoder_protocol::takeFrame(buffer))
                checkReply(*payload);
        }
    } catch (const std::runtime_error&) {
        // a frame longer than any reply: the pool stops that decoder
    }
    return 0;
}
