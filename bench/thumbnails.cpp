// Makes the stored thumbnail of every file named on the command line, as an import does for
// each new record: the picture control decodes the file in thumbnail mode and the 60 × 60
// thumbnail is encoded as the BMP image the image store keeps. Prints the number of files, the
// failures and the seconds taken; bench/thumbnails.sh runs it beside the reference tools.
#include "picturecontrol/GvboxCtrl.h"

// Qt
#include <QBuffer>
#include <QByteArray>
#include <QElapsedTimer>
#include <QStringList>

#include <cstdio>

int main(int argc, char** argv)
{
    // No application object: decoding and scaling a JPEG needs none, and a per-file process
    // should cost no more to start than the reference tools do.
    QStringList files;
    for (int i = 1; i < argc; ++i)
        files << QString::fromLocal8Bit(argv[i]);

    QElapsedTimer timer;
    timer.start();
    glimmora::TGvboxCtrl control;
    control.setThumbnail(60);
    qint64 failures = 0;
    qint64 thumbnailBytes = 0;
    for (const QString& file : files) {
        try {
            control.setFileName(file);
            QByteArray bmp;
            QBuffer buffer(&bmp);
            buffer.open(QIODevice::WriteOnly);
            control.Picture().save(&buffer, "BMP");
            thumbnailBytes += bmp.size();
        } catch (const glimmora::EGvboxError& error) {
            std::fprintf(stderr, "%s\n", error.what());
            ++failures;
        }
        control.setFileName(QString());
    }
    std::printf("files %lld failures %lld bytes %lld seconds %.3f\n", qint64(files.size()), failures, thumbnailBytes,
                double(timer.nsecsElapsed()) / 1e9);
    return failures == 0 ? 0 : 1;
}
