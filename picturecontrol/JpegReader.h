#pragma once

// Qt
#include <QByteArray>
#include <QByteArrayView>
#include <QImage>
#include <QSize>
#include <QString>

#include <csetjmp>
#include <cstdio>

// libjpeg
#include <jpeglib.h>

namespace glimmora {

// One libjpeg decompression of a JPEG from an open file or from memory, in two steps: the
// markers up to the first scan (the header, which is all that a file's size, colour space and
// EXIF block take), then, if wanted, the picture itself scaled for a thumbnail. libjpeg's
// errors come back as a false result and message(); its warnings (corrupt or missing data,
// which it fills in) are only counted.
class JpegReader {
public:
    // Reads `file` from its current position; the file stays open and belongs to the caller.
    explicit JpegReader(std::FILE* file);
    // Reads `bytes`, which must outlive the reader.
    explicit JpegReader(QByteArrayView bytes);
    ~JpegReader();
    JpegReader(const JpegReader&) = delete;
    JpegReader& operator=(const JpegReader&) = delete;

    // Reads the markers up to the first scan, keeping the EXIF block.
    bool readHeader();

    QSize size() const { return QSize(int(info_.image_width), int(info_.image_height)); }
    int components() const { return info_.num_components; }
    // CMYK and YCCK pictures, which need the general reader's colour conversion.
    bool isCmyk() const;
    // What decoding the picture holds besides its output: for a file of several scans, a buffer
    // of every DCT coefficient of the whole picture, however far the output is scaled down.
    qint64 coefficientBufferBytes() const { return coefficientBytes_; }
    // The first APP1 block that holds EXIF data, from its "Exif" identifier on; empty if none.
    QByteArrayView exifBlock() const;

    // Decodes the picture at the largest of the DCT scales 1/8, 1/4, 1/2 and 1 that still
    // yields at least the size it takes in a thumbnail of thumbnailSize, into `image`
    // (Format_RGB32, the scaled size rounded up).
    bool decodeForThumbnail(int thumbnailSize, QImage* image);

    const char* message() const { return errors_.message; }
    // Whether libjpeg met damage it worked around: data missing, corrupt, or past the end.
    bool warned() const { return errors_.warnings > 0; }

private:
    // libjpeg reports fatal errors by calling error_exit, which must not return: it jumps back
    // to the step that called libjpeg, with the formatted message.
    struct ErrorManager {
        jpeg_error_mgr base;
        std::jmp_buf jump;
        char message[JMSG_LENGTH_MAX];
        int warnings;
    };

    [[noreturn]] static void jumpOnError(j_common_ptr info);
    static void countWarning(j_common_ptr info, int level);
    void create();

    jpeg_decompress_struct info_{};
    ErrorManager errors_{};
    bool created_ = false;
    qint64 coefficientBytes_ = 0;
    std::FILE* file_ = nullptr;
    QByteArrayView bytes_;
};

} // namespace glimmora
